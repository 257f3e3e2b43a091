// One pass over a data-format file (.DB, or the .Xnn of a secondary index)
// in file order, as the raw reader takes it: every block judged by its own
// header, the records of sound blocks handed to a visitor, and the block
// chain traced afterwards from the links gathered on the way, so that the
// indexes over the file can be compared with both. Read in large windows;
// every number from the file is checked before it is used.
#ifndef REMDO_REPAIR_VERIFY_DATAFILESCAN_H_
#define REMDO_REPAIR_VERIFY_DATAFILESCAN_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/TableHeader.h"

namespace remdo::repair {

struct TScannedBlock {
  static constexpr int kDamaged = -1;
  std::uint16_t next = 0;
  // Records taken from the block: those wholly inside the file; kDamaged
  // for an impossible last-record offset.
  int count = kDamaged;
  bool inChain = false;
};

struct TDataFileMap {
  std::size_t keyWidth = 0;
  std::vector<TScannedBlock> blocks;  // block b at [b - 1]; the trailing part block included
  std::vector<std::byte> firstKeys;   // keyWidth bytes a block: its first record's, zeros when it has none
  std::size_t records = 0;

  const std::byte* FirstKey(std::uint32_t number) const { return firstKeys.data() + (number - 1) * keyWidth; }
};

// Gets the block number (1-based), the record's place in its block and
// its bytes.
using TRecordVisitor = std::function<void(std::uint32_t, std::size_t, std::span<const std::byte>)>;

// Scans the file whose decoded header is given; keyWidth: leading record
// bytes kept as each block's first key. Throws the file's read error.
TDataFileMap ScanDataFile(env::TFile& file, std::uint64_t fileSize, const paradox::TTableHeader& header,
                          std::size_t keyWidth, const TRecordVisitor& visit);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_VERIFY_DATAFILESCAN_H_
