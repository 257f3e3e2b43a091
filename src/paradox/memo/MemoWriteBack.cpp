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
  if (at + data.size() > run.size()) run.resize(at + data.size());
  std::copy(data.begin(), data.end(), run.begin() + static_cast<std::ptrdiff_t>(at));
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
    bytes_ -= it->second.size();
    runs_.erase(it);
  }
}

}  // namespace remdo::paradox
