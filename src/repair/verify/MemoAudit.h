// Checks the memo references of a table's records against what its memo
// file still holds (the memo inventory, which reads past damaged parts):
// references that find their value, that a repair would link again, and
// that it would cut to their leader, parts of the file that cannot be
// read, and stored values no record refers to. Fed record by record during
// the scan of the data file; Finish foretells what a repair's salvage does
// with the memo file.
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
#include "paradox/format/BlobDescriptor.h"
#include "paradox/memo/MemoInventory.h"
#include "repair/verify/FindingTally.h"
#include "repair/verify/IndexMemoAudit.h"

namespace remdo::repair {

class TMemoAudit {
 public:
  // memoPath: the memo file's path, empty when the table has none on disk.
  // Takes the file's inventory at once; a memo file that cannot be read is
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
    paradox::TBlobKind kind = paradox::TBlobKind::kMemo;
  };
  // A reference to a stored value, its field copied into fields_.
  struct TStoredReference {
    paradox::TBlobKind kind = paradox::TBlobKind::kMemo;
    std::size_t at = 0;
    std::size_t width = 0;
    TPlace where;
  };

  void Foretell(std::size_t intact, std::size_t relinked, std::size_t cut, std::size_t unlinked);

  const std::string subject_;
  TFindingTally& tally_;
  TIndexMemoCounts& counts_;
  std::vector<TBlobField> blobFields_;
  std::unique_ptr<env::TFile> file_;
  std::unique_ptr<paradox::TMemoInventory> inventory_;
  bool missing_ = false;
  bool fileDamaged_ = false;
  std::vector<std::byte> fields_;
  std::vector<TStoredReference> references_;
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_VERIFY_MEMOAUDIT_H_
