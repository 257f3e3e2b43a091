// Replaces the files of one table family so that a crash or a failed file
// operation at any moment leaves either the whole old family or the whole
// new one on disk, never a mixture.
//
// The new files are written under temporary names (final name + ".new") and
// flushed; a commit marker (table name + ".commit") listing every step is
// written and flushed; the old files are moved aside (final name + ".old"),
// the new ones renamed in; the folder is synced (the point of commit); the
// aside files are deleted and the marker goes last. A failure before the
// point of commit rolls everything back and is thrown; a marker left behind
// by a crash is settled by SettleFamilyCommits: rolled forward when every
// new file is in place, back otherwise.
//
// A scratch family (a table rebuilt on the side, worth nothing after a
// crash) is committed the same way but without the flushes and folder
// syncs; they would cost most of a repair's time. The durable commit that
// adopts its files (the swap) flushes them before its marker is written.
#ifndef REMDO_PARADOX_FAMILY_FAMILYCOMMIT_H_
#define REMDO_PARADOX_FAMILY_FAMILYCOMMIT_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/family/CommitMarker.h"

namespace remdo::paradox {

inline constexpr std::string_view kNewSuffix = ".new";
inline constexpr std::string_view kAsideSuffix = ".old";
// The engine's other temporary files, before kNewSuffix: a memo file packed
// for a restructure ("Books.mb.pack.new"), a sorting load's runs
// ("Books.db.runs.new").
inline constexpr std::string_view kMemoPackSuffix = ".pack";
inline constexpr std::string_view kSortRunsSuffix = ".runs";

enum class TDurability { kDurable, kScratch };

class TFamilyCommit {
 public:
  // folder has a trailing separator; tableName is the base name of the
  // family ("Books"), which names the marker.
  TFamilyCommit(env::TFileSystem& fileSystem, std::string folder, std::string tableName,
                TDurability durability = TDurability::kDurable);
  ~TFamilyCommit();
  TFamilyCommit(const TFamilyCommit&) = delete;
  TFamilyCommit& operator=(const TFamilyCommit&) = delete;

  // Creates the temporary file that becomes fileName (no folder) and returns
  // it for writing; the commit owns it. Throws EFCreateError.
  env::TFile& Create(std::string_view fileName);
  // Names a file of the family that goes without a new counterpart (a stale
  // index file, the journal). Files that do not exist are skipped.
  void Remove(std::string_view fileName);
  // Makes an existing, complete file of the folder (sourceName, for example
  // a rebuilt scratch table's "temptbl1.DB") become fileName: the swap of a
  // rebuilt table. A durable commit flushes it first. A roll-back renames
  // it back; it is never deleted.
  void Adopt(std::string_view sourceName, std::string_view fileName);

  bool Durable() const { return durability_ == TDurability::kDurable; }

  // Carries the commit out, after settling a marker a crash left for this
  // table. Throws EDBEngineError (write error) naming the file that failed,
  // after rolling back to the old family, or when a marker in the way is
  // refused (the family and that marker stay as they are); a failure after
  // the point of commit is not thrown (the new family is in place and the
  // marker stays for the next settlement to finish the clean-up).
  void Commit();

  // Which step made the last Commit fail, for callers that report the file
  // in their own words: an old file that could not be moved from its place
  // (kAside), a new file that could not be renamed in (kRenameIn), or
  // anything else (writing, the marker, the folder sync: kOther).
  enum class TFailedStep { kNone, kAside, kRenameIn, kOther };
  struct TFailure {
    TFailedStep step = TFailedStep::kNone;
    std::string name;    // final file name of the failed step
    std::string source;  // an adopted file's name; empty otherwise
  };
  const TFailure& Failure() const { return failure_; }

 private:
  struct TEntry {
    std::string name;                  // final file name
    std::unique_ptr<env::TFile> file;  // the temporary file we write; null otherwise
    std::string source;                // an adopted file; empty otherwise
    bool existed = false;              // the final file existed: it goes aside
    bool asideDone = false;
    bool renameDone = false;
  };

  std::string PathOf(std::string_view name) const { return folder_ + std::string(name); }
  // Where an entry's new file waits: its temporary or adopted file.
  std::string NewPathOf(const TEntry& entry) const;
  static bool HasNew(const TEntry& entry) { return entry.file != nullptr || !entry.source.empty(); }
  void FlushNewFiles();
  void WriteMarker();
  void Apply();
  void SyncFolder();
  void RollBack() noexcept;
  void DiscardTemporaries() noexcept;

  env::TFileSystem& fileSystem_;
  const std::string folder_;
  const std::string tableName_;
  const TDurability durability_;
  std::vector<TEntry> entries_;
  bool committed_ = false;
  TFailure failure_;
};

// What settling one table's marker came to.
enum class TSettleOutcome {
  kNoMarker,
  kSettled,  // rolled forward or back; the marker is gone
  kLeft,     // a step failed or the marker could not be read: it stays for the next attempt
  kRefused,  // the marker names a file it may not (CommitMarker.h) or is too large: nothing touched
};

// Settles the marker of one table, if there is one: rolled forward when
// every new file is in place, back otherwise; a marker cut short only loses
// its temporary files. A refused marker adds a warning text and leaves
// every file, the marker included, as it is. Nothing is thrown.
TSettleOutcome SettleFamilyCommit(env::TFileSystem& fileSystem, std::string_view folder, std::string_view tableName,
                                  std::vector<std::string>& warnings);

// Settles every commit marker in folder (trailing separator) that a crash
// left behind, then removes the engine's temporary files that no marker in
// the folder may need, each with a warning text; files of any other name
// stay. Returns the names of the tables whose marker was settled.
std::vector<std::string> SettleFamilyCommits(env::TFileSystem& fileSystem, std::string_view folder,
                                             std::vector<std::string>& warnings);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FAMILY_FAMILYCOMMIT_H_
