// The check of a table's index files and memo file against its data file,
// for the verify report. It reads and never writes: the primary index tree
// (.PX) against the data file's blocks, each secondary index (.Xnn/.XGn
// entries against the table's records, .Ynn/.YGn tree against the entries'
// blocks) and every record's memo references against the memo file (.MB).
// A damaged, missing or unreadable file is a finding, never an error: the
// only thing thrown is nothing at all.
//
// Findings are records, one per kind of finding and file with its count and
// the first few examples; a sound table gives none. The counts let the
// report class the table as damaged.
//
// Not established about the format, and so not checked: whether the engine
// keeps the block-number hints of secondary index entries up to date (they
// are not compared), the entries of secondary indexes of tables without key
// (record number and slot hints of unknown meaning), and the record counts
// of upper tree levels (capped by the engine in ways not seen).
#ifndef REMDO_REPAIR_VERIFY_INDEXMEMOAUDIT_H_
#define REMDO_REPAIR_VERIFY_INDEXMEMOAUDIT_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"
#include "repair/findings/Finding.h"

namespace remdo::repair {

struct TIndexMemoCounts {
  std::size_t missingFiles = 0;        // an index or memo file the table needs is absent
  std::size_t unreadableFiles = 0;     // present, but not (wholly) readable as what it should be
  std::size_t indexEntriesAstray = 0;  // entries that point nowhere or at the wrong place
  std::size_t recordsNotIndexed = 0;   // records an index does not reach or does not hold
  std::size_t memoReferencesBroken = 0;
  std::size_t memoValuesUnreferenced = 0;

  bool IsDamaged() const {
    return missingFiles + unreadableFiles + indexEntriesAstray + recordsNotIndexed + memoReferencesBroken +
               memoValuesUnreferenced !=
           0;
  }
};

struct TIndexMemoAudit {
  std::vector<TFinding> findings;
  TIndexMemoCounts counts;
};

struct TIndexMemoOptions {
  // 1-based fields of the table that must have a single-field secondary
  // index, as the structure's field specs say (TFieldSpecReading's
  // IndexedFields); an index found on disk is checked whether listed or not.
  std::vector<int> indexedFields;
  // The table's encryption mark sits over plain data blocks (header
  // damage): its indexes and memo file are checked all the same.
  bool encryptionMarkIsDamage = false;
};

// Checks the indexes and memo file of the table whose data file is dataPath.
TIndexMemoAudit AuditIndexesAndMemo(env::TFileSystem& fileSystem, std::string_view dataPath,
                                    const TIndexMemoOptions& options = {});

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_VERIFY_INDEXMEMOAUDIT_H_
