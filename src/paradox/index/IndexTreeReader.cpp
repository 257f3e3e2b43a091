// The walk keeps its own stack of (block, level) pairs instead of recursing,
// so a damaged header that states many levels cannot exhaust the call stack;
// a bitmap of the blocks read keeps every block to one visit.
#include "paradox/index/IndexTreeReader.h"

#include <algorithm>
#include <utility>

#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/format/BlockHeader.h"
#include "paradox/format/HeaderReading.h"

namespace remdo::paradox {

namespace {

constexpr std::size_t kEntryTrailer = 6;
// With at least two entries a block and at most 65535 blocks a tree has no
// more levels than this.
constexpr int kMaxLevels = 16;

// A block number is stored as a short field value would be: big-endian with
// the top bit flipped. Numbers above 32767 come out negative that way, and
// 32768 as all zeros; read unsigned, they are the block numbers up to 65535
// a file can have, as this engine's index builder writes them (no genuine
// file that large was seen).
std::uint32_t BlockNumberAt(const std::byte* p) { return static_cast<std::uint32_t>(GetBigEndian(p, 2) ^ 0x8000u); }

class TTreeWalk {
 public:
  TTreeWalk(env::TFile& file, std::uint64_t fileSize, TIndexTree& tree)
      : file_(file),
        tree_(tree),
        header_(tree.header),
        entrySize_(header_.recordSize),
        blockCount_(fileSize > header_.headerSize
                        ? (fileSize - header_.headerSize + header_.blockSize - 1) / header_.blockSize
                        : 0),
        visited_(static_cast<std::size_t>(blockCount_) + 1, false),
        block_(header_.blockSize) {}

  void Run() {
    if (header_.indexLevels > kMaxLevels) return Fault(TTreeFaultKind::kTooDeep, header_.indexLevels);
    if (header_.indexLevels > 0) pending_.emplace_back(header_.indexRoot, header_.indexLevels);
    while (!pending_.empty()) {
      const auto [number, level] = pending_.back();
      pending_.pop_back();
      Visit(number, level);
    }
    if (tree_.faults.empty() && entries_ != header_.recordCount) Fault(TTreeFaultKind::kEntryCount, entries_);
  }

 private:
  void Fault(TTreeFaultKind kind, std::uint32_t block) { tree_.faults.push_back({kind, block}); }

  void Visit(std::uint32_t number, int level) {
    if (number == 0 || number > blockCount_) return Fault(TTreeFaultKind::kBlockOutside, number);
    if (visited_[number]) return Fault(TTreeFaultKind::kBlockRevisited, number);
    visited_[number] = true;
    const std::uint64_t offset = header_.headerSize + std::uint64_t{number - 1} * header_.blockSize;
    const std::size_t got = file_.ReadAt(offset, block_);
    const auto count = TBlockHeader::DecodeFrom(block_.data()).RecordCount(entrySize_, header_.blockSize);
    if (got < TBlockHeader::kSize || !count || TBlockHeader::kSize + *count * entrySize_ > got) {
      return Fault(TTreeFaultKind::kBlockDamaged, number);
    }
    if (*count == 0) return Fault(TTreeFaultKind::kBlockEmpty, number);
    entries_ += static_cast<std::uint32_t>(*count);
    const std::size_t firstPending = pending_.size();
    for (std::size_t i = 0; i < *count; ++i) {
      const std::byte* entry = block_.data() + TBlockHeader::kSize + i * entrySize_;
      const std::byte* numbers = entry + tree_.leaves.keyWidth;
      const std::uint32_t child = BlockNumberAt(numbers);
      if (level == 1) {
        const auto records = static_cast<std::uint32_t>(std::max<std::int64_t>(0, DecodeFieldInteger(numbers + 2, 2)));
        tree_.leaves.Add(entry, child, records);
      } else {
        pending_.emplace_back(child, level - 1);
      }
    }
    // The stack hands children out last first; turn them round so that the
    // leaves come out in key order.
    std::reverse(pending_.begin() + static_cast<std::ptrdiff_t>(firstPending), pending_.end());
  }

  env::TFile& file_;
  TIndexTree& tree_;
  const TTableHeader& header_;
  const std::size_t entrySize_;
  const std::uint64_t blockCount_;
  std::vector<bool> visited_;
  std::vector<std::byte> block_;
  std::vector<std::pair<std::uint32_t, int>> pending_;
  std::uint32_t entries_ = 0;
};

}  // namespace

TIndexTree ReadIndexTree(env::TFile& file, std::string_view path) {
  const std::uint64_t size = file.Size();
  TIndexTree tree;
  tree.header = ReadFileHeader(file, size, path);
  if (!tree.header.IsIndexTree() || tree.header.recordSize < kEntryTrailer + 1) {
    throw EngineError(kDbiErrHeaderCorrupt, "The file " + std::string(path) + " is not an index tree");
  }
  tree.leaves.keyWidth = tree.header.recordSize - kEntryTrailer;
  TTreeWalk(file, size, tree).Run();
  return tree;
}

}  // namespace remdo::paradox
