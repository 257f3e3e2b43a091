// The engine's session: started once per process (DbiInit), holding the
// database connections by folder and the tables open in them. Everything
// runs on the program's one thread; there are no locks. The class library's
// components start the session on first use when nobody has, as its default
// session does, so DbiInit answering "already started" is normal.
#ifndef REMDO_PARADOX_ENGINE_ENGINE_H_
#define REMDO_PARADOX_ENGINE_ENGINE_H_

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::paradox {

class TOpenTable;

// The environment record of DbiInit; the caller zeroes it and names the
// language ("0009").
struct TDbiEnv {
  std::string langName;
};

// Starts the engine: 0, or kDbiErrMultipleInit when it runs already.
[[nodiscard]] std::uint16_t DbiInit(const TDbiEnv* environment);
// Stops the engine after writing every changed open table to disk; 0, or
// the code of a write that failed (the other tables are still written).
[[nodiscard]] std::uint16_t DbiExit();

// A database connection on one folder: what the database handle stands for.
class TDbConnection {
 public:
  explicit TDbConnection(std::string folder) : folder_(std::move(folder)) {}
  // The folder, with a trailing separator.
  const std::string& Folder() const { return folder_; }
  int users = 0;

 private:
  const std::string folder_;
};

using TDbHandle = TDbConnection*;

// One use of the session's connection on a folder, given back when the
// lease ends (or by Release): what a component holds while it works on a
// folder, so that no error path can leave the connection counted as used.
class TConnectionLease {
 public:
  TConnectionLease() = default;
  TConnectionLease(TConnectionLease&& other) noexcept : connection_(other.connection_) { other.connection_ = nullptr; }
  TConnectionLease& operator=(TConnectionLease&& other) noexcept;
  ~TConnectionLease() { Release(); }

  TDbConnection* Get() const { return connection_; }
  TDbConnection& operator*() const { return *connection_; }
  TDbConnection* operator->() const { return connection_; }
  void Release() noexcept;

 private:
  friend class TEngineSession;
  explicit TConnectionLease(TDbConnection& connection) : connection_(&connection) {}
  TDbConnection* connection_ = nullptr;
};

class TEngineSession {
 public:
  static TEngineSession& Instance();

  bool Started() const { return started_; }
  void Start() { started_ = true; }
  [[nodiscard]] std::uint16_t Stop();

  // A connection on folder, shared by everyone who connects to the same
  // folder. Connecting while nobody else is connected settles the commit
  // markers a crash left in the folder and folds the journals of tables that
  // were not closed, before any table is opened. Throws EDBEngineError
  // (invalid directory) when the folder does not exist. Connection objects
  // live as long as the session, so database handles never dangle.
  TDbConnection& Connect(std::string_view folder);
  void Disconnect(TDbConnection& connection) noexcept;
  // Connect as a lease, starting the session first when nobody has.
  TConnectionLease Lease(std::string_view folder);

  // Opens the table at dataPath for a cursor, loading it unless another
  // cursor holds it. Throws EDBEngineError: the table is locked (opened
  // exclusively, or exclusive wanted while open), or what loading throws.
  TOpenTable& AcquireTable(std::string_view dataPath, bool exclusive);
  // The cursor is done with the table; the last one writes a changed table
  // (throwing the write's EDBEngineError after releasing it).
  void ReleaseTable(TOpenTable& table);
  // The table at dataPath when some cursor holds it open.
  TOpenTable* FindOpenTable(std::string_view dataPath);

  // Declares the table at dataPath a scratch table for the rest of the
  // session: a working copy that a crash may lose, so its writes skip the
  // flushes and folder syncs (TDurability::kScratch). Whatever takes its
  // files over makes them durable.
  void MarkScratchTable(std::string_view dataPath);
  bool IsScratchTable(std::string_view dataPath) const;

  // Warnings of the engine's own housekeeping that no call answers with: a
  // commit marker or journal refused, temporary files removed (texts naming
  // the file). They wait until a caller that keeps a log takes them.
  void Warn(std::string text) { warnings_.push_back(std::move(text)); }
  std::vector<std::string> TakeWarnings() { return std::exchange(warnings_, {}); }

 private:
  bool started_ = false;
  std::map<std::string, std::unique_ptr<TDbConnection>> connections_;
  std::map<std::string, std::unique_ptr<TOpenTable>> tables_;
  std::set<std::string> scratchTables_;
  std::vector<std::string> warnings_;
};

// The key under which a path is registered: upper case, '/' for separators.
std::string PathKey(std::string_view path);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_ENGINE_H_
