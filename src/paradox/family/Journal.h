// The save-changes journal of a table: the changes made since the table's
// files were last written, appended on every save so that a save costs in
// proportion to the change. The journal names the data file it belongs to
// by a stamp (a hash of that file's header); a journal whose stamp does not
// match the data file beside it belongs to an earlier table and is never
// replayed. The close of the table folds the journal into new files and
// removes it in the same family commit.
#ifndef REMDO_PARADOX_FAMILY_JOURNAL_H_
#define REMDO_PARADOX_FAMILY_JOURNAL_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::paradox {

inline constexpr std::string_view kJournalExtension = ".journal";
inline constexpr std::string_view kStaleJournalSuffix = ".stale";
// The most bytes of changes (TJournalOp::Bytes) a table lets its journal
// gather: a save with more waiting writes the whole table instead. A
// journal larger than this and one entry is none the engine wrote.
inline constexpr std::size_t kMaxJournalChanges = std::size_t{8} << 20;

enum class TJournalOpKind : std::uint8_t { kInsert = 1, kModify = 2, kDelete = 3 };

// One change. position is the record's place in table order (used for
// tables without key, whose records have no other identity).
struct TJournalOp {
  TJournalOpKind kind = TJournalOpKind::kInsert;
  std::uint32_t position = 0;
  std::vector<std::byte> before;  // modify, delete: the record as it was
  std::vector<std::byte> after;   // insert, modify: the record as it is

  std::size_t Bytes() const { return before.size() + after.size() + 16; }
};

// A hash of a data file's header bytes: the stamp that ties a journal to it.
std::uint64_t JournalStamp(std::span<const std::byte> headerBytes);

class TJournal {
 public:
  TJournal(env::TFileSystem& fileSystem, std::string path, std::uint64_t stamp, std::uint16_t recordSize);
  ~TJournal();
  TJournal(const TJournal&) = delete;
  TJournal& operator=(const TJournal&) = delete;

  const std::string& Path() const { return path_; }

  // The changes of an existing journal whose stamp and record size match,
  // up to the first entry a crash cut short; empty when there is no journal.
  // A journal of another file, or one larger than the engine ever writes,
  // is renamed <journal>.stale (.stale2, ... when that is taken), never
  // replayed, and named in a text added
  // to warnings. Later appends go after the last whole entry. Throws the
  // file's read or write error.
  std::vector<TJournalOp> Load(std::vector<std::string>& warnings);

  // Appends ops and hands them to the OS (no flush: a crash of the program
  // loses nothing written; the table's close makes everything durable).
  // Creates the journal on first use. Throws the file's errors.
  void Append(std::span<const TJournalOp> ops);

  // Closes the file (before the family commit removes it).
  void Close() noexcept;

 private:
  void OpenForAppend();
  // Renames the journal <journal>.stale and says why in warnings.
  void KeepAside(std::string_view why, std::vector<std::string>& warnings);

  env::TFileSystem& fileSystem_;
  const std::string path_;
  const std::uint64_t stamp_;
  const std::uint16_t recordSize_;
  std::unique_ptr<env::TFile> file_;
  std::uint64_t end_ = 0;  // where the next entry goes; 0: no valid journal yet
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FAMILY_JOURNAL_H_
