// The damage tool: spoils a table of a catalogue in one of the ways real
// catalogues get spoilt, working on the files' bytes through the platform
// interface (never through the engine), and reports exactly what it did.
//
// Records are named by their ordinal in the raw reader's walk of the
// undamaged data file (file order, 0-based); for a table the engine wrote,
// that is key order. The report says which of them the walk no longer
// finds (unreachable), which records it now finds that are none (phantom:
// the records of another table put in its place), and which records now carry their
// neighbour's key, so that tests can assert exact ranges.
//
// Where the damage goes is chosen by the seed unless the options say; the
// same seed on the same file gives the same damage.
//
// Errors: EDamageError when the damage cannot be done to this file (no
// records to damage, no index files, a table without key for duplicate
// keys); the file-system errors (EFOpenError, EReadError, EWriteError) pass
// through. A file is left unchanged when EDamageError is thrown.
#ifndef REMDO_TOOLS_DAMAGE_DAMAGE_H_
#define REMDO_TOOLS_DAMAGE_DAMAGE_H_

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::tools {

class EDamageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TDamageKind {
  kTruncatedFile,        // the file ends where a block starts: that block and all after it are gone
  kTrailingPartBlock,    // the file ends inside its last block: the records wholly before the cut stay
  kBlockNextLink,        // a block's next link points at itself or past the file
  kBlockPrevLink,        // a block's previous link points at itself or past the file
  kBlockLastOffset,      // a block's last-record offset is odd, negative, too large, or too small
  kZeroedBlock,          // a whole block is zeros
  kDuplicateKey,         // a record's key fields are copied onto the next record
  kCountTooHigh,         // the header's record count is raised
  kCountTooLow,          // the header's record count is lowered
  kCountZero,            // the header's record count is 0
  kMissingPrimaryIndex,  // the .px is deleted
  kStaleIndexes,         // the secondary index files no longer match the table's stamps
  kMissingIndexes,       // the secondary index files (.x??, .y??) are deleted
  kMissingTable,         // every file of the table is deleted
  kReadOnly,             // every file of the table is marked read-only
  kForeignFile,          // the data file is replaced by a file that is not this table
  kMemoFlippedBytes,     // bytes flipped inside a block of the .MB that holds values
  kMemoZeroedUnit,       // a 4 KiB unit of the .MB that starts a block of values is zeros
  kMemoTruncated,        // the .MB ends where a block of values starts
  kMemoHeader,           // bytes of the .MB's header block are flipped
  kMemoDescriptor,       // bytes of a record's 10-byte memo reference are flipped
  kMemoDeleted,          // the .MB is deleted
};

// Every kind, in the order above.
std::span<const TDamageKind> AllDamageKinds();
// "truncated-file", "trailing-part-block", ... as the command line names them.
std::string_view DamageKindName(TDamageKind kind);
std::optional<TDamageKind> DamageKindFromName(std::string_view name);

struct TDamageOptions {
  std::uint64_t seed = 1;
  // The block to damage (0-based, file order): the first block cut off by
  // kTruncatedFile; the block of the link, offset and zero damages. For the
  // memo kinds: the 4 KiB unit of the .MB (it must start a block of values).
  std::optional<std::int64_t> block;
  // kDuplicateKey: the ordinal of the record whose key is copied onto the
  // next one; kMemoDescriptor: the record whose memo reference is spoilt.
  std::optional<std::int64_t> record;
  // kCountTooHigh / kCountTooLow: by how much; kTrailingPartBlock: how many
  // records of the last block stay; kMemoFlippedBytes: how many bytes (1 to 64).
  std::optional<std::int64_t> amount;
  // kMissingIndexes / kStaleIndexes: only the index of this table field
  // (1-based) instead of all of them; kMemoDescriptor: the memo field.
  std::optional<int> field;
  // kForeignFile: a file whose bytes take the data file's place (another
  // table, say); empty: a short text file.
  std::string source;
};

struct TRecordRange {
  std::int64_t first = 0;
  std::int64_t count = 0;
  friend bool operator==(const TRecordRange&, const TRecordRange&) = default;
};

struct TDamageReport {
  TDamageKind kind = TDamageKind::kTruncatedFile;
  std::string path;     // the table's data file
  std::string summary;  // one line: what was changed, where
  std::vector<std::string> changedFiles;
  std::vector<std::string> removedFiles;
  // What the raw walk of the data file finds before and after; after is
  // before - unreachable + phantom (0 when the data file is gone or the walk
  // cannot run).
  std::int64_t recordsBefore = 0;
  std::int64_t recordsAfter = 0;
  bool walkableAfter = true;
  std::vector<TRecordRange> unreachable;
  std::int64_t phantomRecords = 0;
  // Ordinals of records that now carry the key of the record before them.
  std::vector<std::int64_t> duplicateKeys;
  std::int32_t headerCountBefore = 0;
  std::int32_t headerCountAfter = 0;
  std::int64_t block = -1;   // the damaged block, -1 when none
  std::int64_t offset = -1;  // file offset of the first changed byte, -1 when none

  std::int64_t UnreachableCount() const;
  bool IsUnreachable(std::int64_t ordinal) const;
};

// Damages the table whose data file is path ("...\Books.db"); the other
// files of its family are found beside it without regard to case.
TDamageReport Damage(TDamageKind kind, std::string_view path, const TDamageOptions& options = {},
                     env::TFileSystem& fileSystem = env::DefaultFileSystem());

// The report as text lines (UTF-8 free: Windows-1252 like every path).
std::string FormatDamageReport(const TDamageReport& report);

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_DAMAGE_DAMAGE_H_
