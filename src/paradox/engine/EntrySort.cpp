#include "paradox/engine/EntrySort.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace remdo::paradox {

namespace {

// Ranges this short are sorted by insertion: counting 256 buckets would
// cost more than the range.
constexpr std::size_t kInsertionRange = 32;
constexpr std::size_t kBuckets = 256;
// Ranges of at most this many entries are split through a copy: moving
// each entry from the copy to its bucket is a store that depends on
// nothing before it, where the moves in place form one long chain of
// loads. Larger ranges, which a copy would double in memory, move in place.
constexpr std::size_t kCopiedRange = std::size_t{1} << 18;

// How many of the first n bytes of a and b are equal; eight at a time.
[[gnu::always_inline]] inline std::size_t EqualBytes(const std::byte* a, const std::byte* b, std::size_t n) {
  std::size_t at = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; at + 8 <= n; at += 8) {
      std::uint64_t x = 0;
      std::uint64_t y = 0;
      std::memcpy(&x, a + at, 8);
      std::memcpy(&y, b + at, 8);
      if (x != y) return at + static_cast<std::size_t>(std::countr_zero(x ^ y)) / 8;
    }
  }
  while (at < n && a[at] == b[at]) ++at;
  return at;
}

// Whether the first n bytes of a order before those of b.
bool BytesBefore(const std::byte* a, const std::byte* b, std::size_t n) {
  const std::size_t equal = EqualBytes(a, b, n);
  return equal < n && a[equal] < b[equal];
}

class TEntrySorter {
 public:
  TEntrySorter(const TEntryChunks& entries, std::size_t keyWidth)
      : chunks_(entries.chunks.data()),
        shift_(entries.chunkShift),
        mask_((std::size_t{1} << entries.chunkShift) - 1),
        width_(entries.width),
        count_(entries.count),
        keyWidth_(keyWidth),
        carry_(entries.width),
        spare_(entries.width),
        copy_(std::make_unique_for_overwrite<std::byte[]>(std::min(entries.count, kCopiedRange) * entries.width)) {}

  void Sort();

 private:
  struct TRange {
    std::size_t first;
    std::size_t last;
    std::size_t depth;  // the key bytes before it are equal in the range
  };

  std::byte* At(std::size_t i) const { return chunks_[i >> shift_].get() + (i & mask_) * width_; }
  // Calls visit with each entry of [first, last), chunk by chunk.
  template <typename TVisit>
  void Visit(std::size_t first, std::size_t last, TVisit&& visit) const {
    const std::size_t width = width_;
    while (first < last) {
      const std::size_t end = std::min(last, (first | mask_) + 1);
      std::byte* entry = At(first);
      for (std::size_t n = end - first; n > 0; --n, entry += width) visit(entry);
      first = end;
    }
  }
  // Copies one entry eight bytes at a time: the width is known only at run
  // time, and a call of memcpy per entry costs more than the copy.
  void Copy(std::byte* to, const std::byte* from) const {
    const std::size_t width = width_;
    if (width < 8) {
      std::memcpy(to, from, width);
      return;
    }
    for (std::size_t at = 0; at + 8 < width; at += 8) std::memcpy(to + at, from + at, 8);
    std::memcpy(to + width - 8, from + width - 8, 8);
  }
  std::size_t SharedBytes(const TRange& range) const;
  void SortByInsertion(const TRange& range);
  void Split(const TRange& range);
  void MoveToBuckets(const TRange& range, const std::array<std::size_t, kBuckets + 1>& start);
  void CopyToBuckets(const TRange& range, const std::array<std::size_t, kBuckets + 1>& start);

  const std::unique_ptr<std::byte[]>* const chunks_;
  const std::size_t shift_;
  const std::size_t mask_;
  const std::size_t width_;
  const std::size_t count_;
  const std::size_t keyWidth_;
  std::vector<std::byte> carry_;
  std::vector<std::byte> spare_;
  std::unique_ptr<std::byte[]> copy_;
  std::vector<TRange> pending_;
};

void TEntrySorter::Sort() {
  pending_.push_back({0, count_, 0});
  while (!pending_.empty()) {
    const TRange range = pending_.back();
    pending_.pop_back();
    if (range.depth == keyWidth_) continue;
    if (range.last - range.first <= kInsertionRange) {
      SortByInsertion(range);
    } else {
      Split(range);
    }
  }
}

void TEntrySorter::SortByInsertion(const TRange& range) {
  const std::size_t depth = range.depth;
  const std::size_t compared = keyWidth_ - depth;
  for (std::size_t i = range.first + 1; i < range.last; ++i) {
    Copy(carry_.data(), At(i));
    std::size_t j = i;
    for (; j > range.first && BytesBefore(carry_.data() + depth, At(j - 1) + depth, compared); --j) {
      Copy(At(j), At(j - 1));
    }
    if (j != i) Copy(At(j), carry_.data());
  }
}

// The number of key bytes from the range's depth on that all its entries
// share; 0 as soon as two entries differ in the first of them.
std::size_t TEntrySorter::SharedBytes(const TRange& range) const {
  const std::byte* first = At(range.first) + range.depth;
  std::size_t shared = keyWidth_ - range.depth;
  for (std::size_t i = range.first + 1; i < range.last && shared > 0;) {
    const std::size_t end = std::min(range.last, (i | mask_) + 1);
    const std::byte* entry = At(i) + range.depth;
    for (; i < end && shared > 0; ++i, entry += width_) shared = EqualBytes(first, entry, shared);
  }
  return shared;
}

// Splits the range by its byte at depth and queues the buckets that need
// sorting by the next byte. A range whose first and last entries have the
// same byte there is first looked at for the bytes all its entries share,
// which are passed over in one go: runs of equal values (a title many books
// have) would otherwise cost one count per byte.
void TEntrySorter::Split(const TRange& range) {
  const std::size_t depth = range.depth;
  if (At(range.first)[depth] == At(range.last - 1)[depth]) {
    const std::size_t shared = SharedBytes(range);
    if (shared > 0) {
      pending_.push_back({range.first, range.last, depth + shared});
      return;
    }
  }
  // A range small enough is copied as it is counted, in the same pass.
  const bool copy = range.last - range.first <= kCopiedRange;
  std::array<std::size_t, kBuckets + 1> start{};
  std::byte* copied = copy_.get();
  Visit(range.first, range.last, [&](const std::byte* entry) {
    ++start[std::to_integer<std::size_t>(entry[depth]) + 1];
    if (copy) {
      Copy(copied, entry);
      copied += width_;
    }
  });
  start[0] = range.first;
  for (std::size_t b = 0; b < kBuckets; ++b) start[b + 1] += start[b];
  if (copy) {
    CopyToBuckets(range, start);
  } else {
    MoveToBuckets(range, start);
  }
  for (std::size_t b = 0; b < kBuckets; ++b) {
    if (start[b + 1] - start[b] > 1) pending_.push_back({start[b], start[b + 1], depth + 1});
  }
}

// Moves every entry of the range to its bucket: an entry out of place is
// carried to the next free slot of its bucket, and the entry found there
// is carried on, until one belongs where the first was taken from.
void TEntrySorter::MoveToBuckets(const TRange& range, const std::array<std::size_t, kBuckets + 1>& start) {
  const std::size_t depth = range.depth;
  std::array<std::size_t, kBuckets> next{};
  std::copy_n(start.begin(), kBuckets, next.begin());
  for (std::size_t b = 0; b < kBuckets; ++b) {
    while (next[b] < start[b + 1]) {
      std::byte* home = At(next[b]);
      std::size_t bucket = std::to_integer<std::size_t>(home[depth]);
      if (bucket == b) {
        ++next[b];
        continue;
      }
      Copy(carry_.data(), home);
      while (bucket != b) {
        std::byte* slot = At(next[bucket]++);
        const std::size_t displaced = std::to_integer<std::size_t>(slot[depth]);
        Copy(spare_.data(), slot);
        Copy(slot, carry_.data());
        std::swap(carry_, spare_);
        bucket = displaced;
      }
      Copy(home, carry_.data());
      ++next[b];
    }
  }
}

// The same from the copy of the range Split made, keeping the order of
// the entries of each bucket.
void TEntrySorter::CopyToBuckets(const TRange& range, const std::array<std::size_t, kBuckets + 1>& start) {
  std::array<std::size_t, kBuckets> next{};
  std::copy_n(start.begin(), kBuckets, next.begin());
  const std::size_t depth = range.depth;
  const std::byte* const copied = copy_.get() + (range.last - range.first) * width_;
  for (const std::byte* entry = copy_.get(); entry != copied; entry += width_) {
    Copy(At(next[std::to_integer<std::size_t>(entry[depth])]++), entry);
  }
}

}  // namespace

void SortEntriesByKeyBytes(const TEntryChunks& entries, std::size_t keyWidth) {
  if (entries.count < 2) return;
  TEntrySorter sorter(entries, keyWidth);
  sorter.Sort();
}

}  // namespace remdo::paradox
