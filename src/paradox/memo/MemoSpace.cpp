#include "paradox/memo/MemoSpace.h"

#include <algorithm>
#include <iterator>

namespace remdo::paradox {

namespace {

bool HasRoom(const TMemoSpace::TBlock& b) {
  return b.type == memo::TBlockType::kSubAllocated && b.freeEntries > 0 && b.freeChunks > 0;
}

}  // namespace

const TMemoSpace::TBlock* TMemoSpace::Find(std::uint32_t offset) const {
  const auto it = blocks_.find(offset);
  return it == blocks_.end() ? nullptr : &it->second;
}

const TMemoSpace::TBlock* TMemoSpace::Before(std::uint32_t offset) const {
  const auto it = blocks_.lower_bound(offset);
  return it == blocks_.begin() ? nullptr : &std::prev(it)->second;
}

const TMemoSpace::TBlock* TMemoSpace::After(std::uint32_t offset) const {
  const auto it = blocks_.upper_bound(offset);
  return it == blocks_.end() ? nullptr : &it->second;
}

const TMemoSpace::TBlock* TMemoSpace::Last() const { return blocks_.empty() ? nullptr : &blocks_.rbegin()->second; }

const TMemoSpace::TBlock* TMemoSpace::LargestFree() const {
  return free_.empty() ? nullptr : Find(free_.begin()->second);
}

const TMemoSpace::TBlock* TMemoSpace::RoomiestShared() const {
  return shared_.empty() ? nullptr : Find(shared_.begin()->second);
}

void TMemoSpace::Put(const TBlock& block) {
  // Blocks are mostly added, and then filled, at the end of the file: the
  // last block is looked at first, and the hint makes adding one constant
  // time.
  auto it = !blocks_.empty() && std::prev(blocks_.end())->first == block.offset ? std::prev(blocks_.end())
                                                                                : blocks_.find(block.offset);
  if (it != blocks_.end()) {
    Unindex(it->second);
    it->second = block;
  } else {
    blocks_.emplace_hint(blocks_.end(), block.offset, block);
  }
  if (block.type == memo::TBlockType::kFree) free_.emplace(block.units, block.offset);
  if (HasRoom(block)) shared_.emplace(block.freeChunks, block.offset);
}

void TMemoSpace::Erase(std::uint32_t offset) {
  const auto it = blocks_.find(offset);
  if (it == blocks_.end()) return;
  Unindex(it->second);
  blocks_.erase(it);
}

// A block is in at most one of the orders, and only when its kind and room
// put it there: the searches of the others are spared.
void TMemoSpace::Unindex(const TBlock& block) {
  if (block.type == memo::TBlockType::kFree) free_.erase({block.units, block.offset});
  if (HasRoom(block)) shared_.erase({block.freeChunks, block.offset});
}

std::vector<memo::TFreeHint> TMemoSpace::HintCandidates(std::size_t perKind) const {
  std::vector<memo::TFreeHint> hints;
  for (auto it = free_.begin(); it != free_.end() && hints.size() < perKind; ++it) {
    hints.push_back({it->second, memo::THintKind::kFree, static_cast<std::uint16_t>(it->first)});
  }
  const std::size_t frees = hints.size();
  for (auto it = shared_.begin(); it != shared_.end() && hints.size() < frees + perKind; ++it) {
    hints.push_back({it->second, memo::THintKind::kSubAllocated, static_cast<std::uint16_t>(it->first)});
  }
  std::sort(hints.begin(), hints.end(), [](const auto& a, const auto& b) { return a.blockOffset < b.blockOffset; });
  return hints;
}

}  // namespace remdo::paradox
