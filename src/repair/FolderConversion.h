// Carrying records of the earlier folder layout (structure 14: Book as a
// number, Release, Sort Title, Key, Series) into a table of the current
// folder layout (structures 21 and 22), field by field: the two layouts
// differ in field order, types and widths, so a record image of one cannot
// be inserted into the other.
#ifndef REMDO_REPAIR_FOLDERCONVERSION_H_
#define REMDO_REPAIR_FOLDERCONVERSION_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "paradox/components/Table.h"
#include "paradox/format/FieldType.h"

namespace remdo::paradox {
class TPxObject;
}

namespace remdo::repair {

// The structure of the earlier layout's folder tables, and its fields that
// the current layout carries on, in record order.

// The statements that give the fields the earlier layout lacks their
// defaults, for a converted table of structure 21 or 22, in order.
std::vector<std::string> FolderConversionStatements(std::int32_t structureNumber);

class TFolderRecordConverter {
 public:
  // scratch: the open table of the new layout; reader: the raw reader on
  // the old table file, on a record. Throws env::EReadError when the file
  // lacks one of the five fields (the reader's read error), EDBEngineError
  // when the scratch table lacks one.
  TFolderRecordConverter(paradox::TTable& scratch, paradox::TPxObject& reader, std::int32_t structureNumber);

  // The reader's current record in the new layout: Book as a long integer
  // (rounded), Release as it was, the texts translated into the new table's
  // code page and cut to their new widths; every other field blank. Valid
  // until the next call. Throws env::EReadError as the reader does.
  std::span<const std::byte> Convert(paradox::TPxObject& reader);

 private:
  struct TCarried {
    int source = 0;  // 0-based field number in the old file
    std::size_t offset = 0;
    std::size_t width = 0;
    paradox::TFieldType type = paradox::TFieldType::kAlpha;
  };

  std::vector<TCarried> carried_;
  std::vector<std::byte> record_;
  std::uint16_t sourceCodePage_ = 0;
  std::uint16_t targetCodePage_ = 0;
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_FOLDERCONVERSION_H_
