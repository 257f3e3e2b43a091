#include "repair/verify/DataFileScan.h"

#include <algorithm>

#include "paradox/format/BlockHeader.h"

namespace remdo::repair {

namespace {

constexpr std::size_t kWindowBytes = 1 << 20;

using paradox::TBlockHeader;

void TraceChain(const paradox::TTableHeader& header, TDataFileMap& map) {
  std::uint32_t number = header.firstBlock;
  // Each block is entered once, so a loop ends the trace.
  while (number != 0 && number <= map.blocks.size() && !map.blocks[number - 1].inChain) {
    map.blocks[number - 1].inChain = true;
    number = map.blocks[number - 1].next;
  }
}

}  // namespace

TDataFileMap ScanDataFile(env::TFile& file, std::uint64_t fileSize, const paradox::TTableHeader& header,
                          std::size_t keyWidth, const TRecordVisitor& visit) {
  TDataFileMap map;
  map.keyWidth = std::min<std::size_t>(keyWidth, header.recordSize);
  const std::size_t blockSize = header.blockSize;
  const std::size_t recordSize = header.recordSize;
  const std::uint64_t body = fileSize > header.headerSize ? fileSize - header.headerSize : 0;
  // Whole blocks, and a part block when it holds at least a block header.
  std::uint64_t count = body / blockSize + (body % blockSize >= TBlockHeader::kSize ? 1 : 0);
  count = std::min<std::uint64_t>(count, 0xFFFF);  // block numbers are 16-bit
  map.blocks.resize(static_cast<std::size_t>(count));
  map.firstKeys.assign(map.blocks.size() * map.keyWidth, std::byte{0});
  const std::size_t perWindow = std::max<std::size_t>(1, kWindowBytes / blockSize);
  std::vector<std::byte> window;
  for (std::uint32_t first = 1; first <= count; first += static_cast<std::uint32_t>(perWindow)) {
    window.resize(perWindow * blockSize);
    const std::size_t got = file.ReadAt(header.headerSize + std::uint64_t{first - 1} * blockSize, window);
    for (std::size_t i = 0; i < perWindow && first + i <= count; ++i) {
      const std::size_t start = i * blockSize;
      if (start + TBlockHeader::kSize > got) break;
      const std::uint32_t number = first + static_cast<std::uint32_t>(i);
      const std::byte* block = window.data() + start;
      const TBlockHeader blockHeader = TBlockHeader::DecodeFrom(block);
      TScannedBlock& scanned = map.blocks[number - 1];
      scanned.next = blockHeader.next;
      const auto records = blockHeader.RecordCount(recordSize, blockSize);
      if (!records) continue;
      const std::size_t inFile = (got - start - TBlockHeader::kSize) / recordSize;
      scanned.count = static_cast<int>(std::min(*records, inFile));
      for (int r = 0; r < scanned.count; ++r) {
        const std::byte* record = block + TBlockHeader::kSize + static_cast<std::size_t>(r) * recordSize;
        if (r == 0) std::copy_n(record, map.keyWidth, map.firstKeys.begin() + (number - 1) * map.keyWidth);
        visit(number, static_cast<std::size_t>(r), {record, recordSize});
      }
      map.records += static_cast<std::size_t>(scanned.count);
    }
  }
  TraceChain(header, map);
  return map;
}

}  // namespace remdo::repair
