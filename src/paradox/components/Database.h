// The database component of the class library over the engine: a
// connection on one folder, named by that folder. Connecting settles what a
// crash left in the folder (commit markers, journals) before any table of it
// is touched. Its handle is the database handle of the engine's direct calls.
#ifndef REMDO_PARADOX_COMPONENTS_DATABASE_H_
#define REMDO_PARADOX_COMPONENTS_DATABASE_H_

#include <string>

#include "paradox/engine/Engine.h"

namespace remdo::paradox {

class TDatabase {
 public:
  TDatabase() = default;
  ~TDatabase() { Close(); }
  TDatabase(const TDatabase&) = delete;
  TDatabase& operator=(const TDatabase&) = delete;

  // The folder the database works on.
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(std::string folder) { databaseName_ = std::move(folder); }

  // Connects (starting the engine when nobody has). Throws EDBEngineError
  // (invalid directory) when the folder does not exist.
  void Open();
  void Close();
  bool Connected() const { return connection_.Get() != nullptr; }
  void SetConnected(bool connected) { connected ? Open() : Close(); }

  TDbHandle Handle() const { return connection_.Get(); }

 private:
  std::string databaseName_;
  TConnectionLease connection_;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_COMPONENTS_DATABASE_H_
