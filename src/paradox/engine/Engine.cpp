// The session and the engine's start and stop.
#include "paradox/engine/Engine.h"

#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/engine/OpenTable.h"
#include "paradox/family/FamilyCommit.h"
#include "paradox/family/Journal.h"
#include "paradox/family/TableFiles.h"

namespace remdo::paradox {

namespace {

// Folds the journal of every table a crash left open: the table is loaded
// (which replays its saved changes) and written anew. A table that cannot be
// folded now keeps its journal; opening it replays the journal again.
void FoldJournals(env::TFileSystem& fileSystem, const std::string& folder) {
  for (const auto& entry : fileSystem.Find(folder + "*" + std::string(kJournalExtension), 0)) {
    const std::string base = entry.name.substr(0, entry.name.size() - kJournalExtension.size());
    for (const auto& data : fileSystem.Find(folder + base + ".db", 0)) {
      try {
        auto table = TOpenTable::Load(fileSystem, folder + data.name);
        if (table->IsDirty()) table->WriteFamily(TWriteMode::kRewrite);
      } catch (const env::EDBEngineError&) {
      }
    }
  }
}

}  // namespace

std::string PathKey(std::string_view path) {
  std::string key = env::UpperCase(path);
  for (char& c : key) {
    if (c == '\\') c = '/';
  }
  return key;
}

TEngineSession& TEngineSession::Instance() {
  static TEngineSession session;
  return session;
}

std::uint16_t TEngineSession::Stop() {
  std::uint16_t result = kDbiErrNone;
  for (auto& [key, table] : tables_) {
    if (!table->IsDirty()) continue;
    try {
      table->WriteFamily(TWriteMode::kRewrite);
    } catch (const env::EDBEngineError& error) {
      result = error.Code();
    }
  }
  started_ = false;
  return result;
}

TDbConnection& TEngineSession::Connect(std::string_view folder) {
  const std::string path = env::IncludeTrailingSeparator(folder);
  const std::string key = PathKey(path);
  auto it = connections_.find(key);
  if (it == connections_.end() || it->second->users == 0) {
    env::TFileSystem& fileSystem = env::DefaultFileSystem();
    if (path.empty() || !fileSystem.FolderExists(path)) {
      throw EngineError(kDbiErrInvalidDir, "The folder " + path + " does not exist");
    }
    SettleFamilyCommits(fileSystem, path, warnings_);
    FoldJournals(fileSystem, path);
    if (it == connections_.end()) it = connections_.emplace(key, std::make_unique<TDbConnection>(path)).first;
  }
  ++it->second->users;
  return *it->second;
}

// A connection nobody uses stays as an object, so that a database handle
// taken from it stays valid; connecting again settles the folder again.
void TEngineSession::Disconnect(TDbConnection& connection) noexcept {
  if (connection.users > 0) --connection.users;
}

TConnectionLease TEngineSession::Lease(std::string_view folder) {
  if (!started_) Start();
  return TConnectionLease(Connect(folder));
}

TConnectionLease& TConnectionLease::operator=(TConnectionLease&& other) noexcept {
  if (this != &other) {
    Release();
    connection_ = other.connection_;
    other.connection_ = nullptr;
  }
  return *this;
}

void TConnectionLease::Release() noexcept {
  if (connection_ != nullptr) TEngineSession::Instance().Disconnect(*connection_);
  connection_ = nullptr;
}

TOpenTable* TEngineSession::FindOpenTable(std::string_view dataPath) {
  const auto it = tables_.find(PathKey(dataPath));
  return it == tables_.end() ? nullptr : it->second.get();
}

void TEngineSession::MarkScratchTable(std::string_view dataPath) { scratchTables_.insert(PathKey(dataPath)); }

bool TEngineSession::IsScratchTable(std::string_view dataPath) const {
  return scratchTables_.contains(PathKey(dataPath));
}

TOpenTable& TEngineSession::AcquireTable(std::string_view dataPath, bool exclusive) {
  const std::string key = PathKey(dataPath);
  auto it = tables_.find(key);
  if (it != tables_.end()) {
    if (it->second->exclusive || exclusive) {
      throw EngineError(kDbiErrFileLocked, "The table " + std::string(dataPath) + " is in use");
    }
  } else {
    it = tables_.emplace(key, TOpenTable::Load(env::DefaultFileSystem(), dataPath)).first;
  }
  TOpenTable& table = *it->second;
  ++table.users;
  table.exclusive = exclusive;
  return table;
}

void TEngineSession::ReleaseTable(TOpenTable& table) {
  if (--table.users > 0) return;
  auto it = tables_.begin();
  while (it->second.get() != &table) ++it;
  std::unique_ptr<TOpenTable> owned = std::move(it->second);
  tables_.erase(it);
  if (owned->IsDirty()) owned->WriteFamily(TWriteMode::kRewrite);
}

std::uint16_t DbiInit(const TDbiEnv* /*environment*/) {
  TEngineSession& session = TEngineSession::Instance();
  if (session.Started()) return kDbiErrMultipleInit;
  session.Start();
  return kDbiErrNone;
}

std::uint16_t DbiExit() {
  TEngineSession& session = TEngineSession::Instance();
  if (!session.Started()) return kDbiErrNotInitialized;
  return session.Stop();
}

}  // namespace remdo::paradox
