// Checks a single-field or composite secondary index: the entries of its
// entry file (.Xnn/.XGn) against a keyed table's records by primary key,
// and its tree (.Ynn/.YGn) against the entries' blocks.
#ifndef REMDO_REPAIR_VERIFY_SECONDARYAUDIT_H_
#define REMDO_REPAIR_VERIFY_SECONDARYAUDIT_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/TableHeader.h"
#include "repair/verify/FindingTally.h"
#include "repair/verify/IndexMemoAudit.h"

namespace remdo::repair {

// The primary keys of the table's records, with how many records carry
// each (a damaged table can hold a key twice), gathered during the scan of
// the data file.
class TKeyCensus {
 public:
  explicit TKeyCensus(std::size_t keyWidth) : keyWidth_(keyWidth) {}

  std::size_t KeyWidth() const { return keyWidth_; }
  void AddRecord(std::uint32_t block, std::size_t slot, std::span<const std::byte> record);
  // Counts an index entry's key; false when no record is left for it.
  bool TakeEntry(std::span<const std::byte> key);
  // The records no entry was taken for since the last Reset, with the first
  // few of them as examples.
  std::size_t Untaken(std::vector<TPlace>& examples, std::size_t maxExamples) const;
  void Reset();

 private:
  struct TKey {
    std::uint32_t records = 0;
    std::uint32_t taken = 0;
    std::uint32_t block = 0;  // where the first record with the key lies
    std::size_t slot = 0;
  };
  const std::size_t keyWidth_;
  std::unordered_map<std::string, std::size_t> index_;
  std::vector<TKey> keys_;  // in the order of the data file
};

// Checks the index whose entry file is dataPath and tree file treePath
// (empty when absent); findings are tallied under the files' names. census
// holds the keys of a keyed table; null for a table without key, whose
// index entries are not compared with its records.
void AuditSecondaryIndex(env::TFileSystem& fileSystem, const std::string& dataPath, const std::string& treePath,
                         const paradox::TTableHeader& table, TKeyCensus* census, TFindingTally& tally,
                         TIndexMemoCounts& counts);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_VERIFY_SECONDARYAUDIT_H_
