// The database component: a counted use of the session's connection.
#include "paradox/components/Database.h"

namespace remdo::paradox {

void TDatabase::Open() {
  if (connection_.Get() == nullptr) connection_ = TEngineSession::Instance().Lease(databaseName_);
}

void TDatabase::Close() { connection_.Release(); }

}  // namespace remdo::paradox
