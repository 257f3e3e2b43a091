#include "paradox/memo/MemoWriteBack.h"

#include <algorithm>
#include <iterator>

namespace remdo::paradox {

bool TMemoWriteBack::Covers(std::uint64_t offset, std::uint64_t length) const {
  auto it = runs_.lower_bound(offset + length);
  if (it == runs_.begin()) return false;
  --it;
  return it->first + it->second.size() > offset;
}

bool TMemoWriteBack::CopyOut(std::uint64_t offset, std::span<std::byte> out) const {
  auto it = runs_.upper_bound(offset);
  if (it == runs_.begin()) return false;
  --it;
  if (it->first + it->second.size() < offset + out.size()) return false;
  std::copy_n(it->second.begin() + static_cast<std::ptrdiff_t>(offset - it->first), out.size(), out.begin());
  return true;
}

void TMemoWriteBack::Take(std::uint64_t offset, std::span<const std::byte> data) {
  // The run that starts at or before offset and reaches it takes the write;
  // otherwise it starts a run of its own.
  auto it = runs_.upper_bound(offset);
  if (it != runs_.begin() && std::prev(it)->first + std::prev(it)->second.size() >= offset) {
    --it;
  } else {
    it = runs_.emplace(offset, std::vector<std::byte>{}).first;
  }
  std::vector<std::byte>& run = it->second;
  const std::size_t at = static_cast<std::size_t>(offset - it->first);
  const std::size_t before = run.size();
  const std::size_t inside = std::min(data.size(), run.size() - at);
  std::copy_n(data.begin(), inside, run.begin() + static_cast<std::ptrdiff_t>(at));
  if (inside < data.size()) {
    if (run.size() + data.size() > kLongRun && run.capacity() < kBatchLimit) GiveRoom(run);
    run.insert(run.end(), data.begin() + static_cast<std::ptrdiff_t>(inside), data.end());
  }
  // Runs that the write reached join this one; where they overlap, the
  // write's bytes are the newer.
  const std::uint64_t end = offset + data.size();
  for (auto next = std::next(it); next != runs_.end() && next->first <= it->first + run.size();) {
    const std::uint64_t nextEnd = next->first + next->second.size();
    if (nextEnd > end) {
      const auto keep = static_cast<std::ptrdiff_t>(end - next->first);
      run.insert(run.end(), next->second.begin() + keep, next->second.end());
    }
    bytes_ -= next->second.size();
    next = runs_.erase(next);
  }
  bytes_ += run.size() - before;
}

void TMemoWriteBack::WriteTo(env::TFile& file) {
  while (!runs_.empty()) {
    const auto it = runs_.begin();
    file.WriteAt(it->first, it->second);
    // The file is flushed before the records that refer to these values
    // are committed: the disk may as well start on them now.
    if (it->second.size() >= kLongRun) file.StartWriteBack(it->first, it->second.size());
    bytes_ -= it->second.size();
    if (it->second.capacity() > spare_.capacity()) {
      spare_ = std::move(it->second);
      spare_.clear();
    }
    runs_.erase(it);
  }
}

// A run that grows long gets room for a whole batch at once, the memory of
// the last batch's longest run when there is one, so that it is neither
// moved as it grows nor taken anew from the OS for every batch.
void TMemoWriteBack::GiveRoom(std::vector<std::byte>& run) {
  if (spare_.capacity() >= kBatchLimit) {
    spare_.assign(run.begin(), run.end());
    run.swap(spare_);
    spare_ = {};
    return;
  }
  run.reserve(kBatchLimit);
}

}  // namespace remdo::paradox
