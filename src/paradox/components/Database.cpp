// The database component: a counted use of the session's connection.
#include "paradox/components/Database.h"

namespace remdo::paradox {

void TDatabase::Open() {
  if (connection_ != nullptr) return;
  TEngineSession& session = TEngineSession::Instance();
  if (!session.Started()) session.Start();
  connection_ = &session.Connect(databaseName_);
}

void TDatabase::Close() {
  if (connection_ == nullptr) return;
  TEngineSession::Instance().Disconnect(*connection_);
  connection_ = nullptr;
}

}  // namespace remdo::paradox
