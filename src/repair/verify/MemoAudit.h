// Checks the memo references of a table's records against its memo file:
// references that point outside the file or at a damaged block, and stored
// values no record refers to. Fed record by record during the scan of the
// data file.
#ifndef REMDO_REPAIR_VERIFY_MEMOAUDIT_H_
#define REMDO_REPAIR_VERIFY_MEMOAUDIT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/TableHeader.h"
#include "paradox/memo/MemoBlockMap.h"
#include "repair/verify/FindingTally.h"
#include "repair/verify/IndexMemoAudit.h"

namespace remdo::repair {

class TMemoAudit {
 public:
  // memoPath: the memo file's path, empty when the table has none on disk.
  // Reads the file's block map at once; a memo file that cannot be read is
  // tallied here.
  TMemoAudit(env::TFileSystem& fileSystem, const std::string& memoPath, std::string subject,
             const paradox::TTableHeader& table, TFindingTally& tally, TIndexMemoCounts& counts);
  ~TMemoAudit();

  // The table has blob fields: there is something to check.
  bool Wanted() const { return !blobFields_.empty(); }
  void Record(std::uint32_t block, std::size_t slot, std::span<const std::byte> record);
  // Tallies what only the whole walk shows.
  void Finish();

 private:
  struct TBlobField {
    std::size_t offset = 0;
    std::size_t width = 0;
    std::string name;
  };

  void Refer(const paradox::TBlobDescriptor& descriptor, const std::string& where);

  const std::string subject_;
  TFindingTally& tally_;
  TIndexMemoCounts& counts_;
  std::vector<TBlobField> blobFields_;
  std::unique_ptr<paradox::TMemoBlockMap> map_;
  bool missing_ = false;
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_VERIFY_MEMOAUDIT_H_
