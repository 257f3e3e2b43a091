// The sorting load. A run is sorted through an array of (key prefix, index)
// pairs, by a radix sort of the prefixes (then by the key order among equal
// prefixes when the prefix does not decide), its records written out in that order through a 1 MiB buffer, and
// its keys kept in order for the exact check. The merge keeps a 256 KiB
// window of every spilled run and a small heap of the runs' current keys.
// The Bloom filter holds 16 bits per key and sets 3 of them in one word,
// which leaves about one key in 100 to the binary searches.
#include "paradox/engine/SortingLoad.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "env/Errors.h"

namespace remdo::paradox {

namespace {

constexpr std::size_t kWriteBytes = 1 << 20;
constexpr std::size_t kWindowBytes = 256 << 10;
constexpr std::size_t kBloomBitsPerKey = 16;

struct TPrefixed {
  std::uint64_t prefix;
  std::uint32_t index;
};

// Keys are a few bytes: compared inline rather than through memcmp.
bool SameKey(const std::byte* a, const std::byte* b, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Sorts by prefix, least significant byte first; a byte that every prefix
// shares costs no pass, so small whole-number keys take two or three.
void RadixSort(std::vector<TPrefixed>& items) {
  constexpr std::size_t kDigits = 8;
  std::array<std::array<std::uint32_t, 256>, kDigits> counts{};
  for (const TPrefixed& item : items) {
    for (std::size_t digit = 0; digit < kDigits; ++digit) ++counts[digit][(item.prefix >> (8 * digit)) & 0xFF];
  }
  std::vector<TPrefixed> other(items.size());
  for (std::size_t digit = 0; digit < kDigits; ++digit) {
    std::array<std::uint32_t, 256>& count = counts[digit];
    if (std::find(count.begin(), count.end(), items.size()) != count.end()) continue;
    std::uint32_t start = 0;
    for (std::uint32_t& c : count) start += std::exchange(c, start);
    for (const TPrefixed& item : items) other[count[(item.prefix >> (8 * digit)) & 0xFF]++] = item;
    items.swap(other);
  }
}

}  // namespace

TSortingLoad::TSortingLoad(env::TFileSystem& fileSystem, std::string scratchPath, std::size_t recordSize,
                           std::size_t keyWidth, std::size_t runBytes)
    : TSortingLoad(fileSystem, std::move(scratchPath), recordSize, TKeyOrder(keyWidth), runBytes) {}

TSortingLoad::TSortingLoad(env::TFileSystem& fileSystem, std::string scratchPath, std::size_t recordSize,
                           TKeyOrder order, std::size_t runBytes)
    : fileSystem_(fileSystem),
      scratchPath_(std::move(scratchPath)),
      recordSize_(recordSize),
      order_(std::move(order)),
      keyWidth_(order_.Width()),
      runCapacity_(std::clamp<std::size_t>(runBytes / recordSize, 4, 65535)),
      run_(runCapacity_ * recordSize) {
  std::size_t buckets = 1;
  while (buckets < 2 * runCapacity_) buckets *= 2;
  runHash_.assign(buckets, 0);
  GrowBloom();
}

TSortingLoad::~TSortingLoad() {
  if (!scratch_) return;
  try {
    scratch_->Close();
  } catch (const env::ERemdoError&) {
  }
  scratch_.reset();
  (void)fileSystem_.Remove(scratchPath_);
}

std::uint64_t TSortingLoad::Hash(const std::byte* key) const {
  std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ keyWidth_;
  for (std::size_t i = 0; i < keyWidth_; ++i) hash = (hash ^ std::to_integer<std::uint64_t>(key[i])) * 0x100000001B3ull;
  hash ^= hash >> 29;
  hash *= 0xBF58476D1CE4E5B9ull;
  return hash ^ (hash >> 32);
}

// A blocked filter: the three bits of a key lie in one 64-bit word, so a
// test costs one memory access.
void TSortingLoad::BloomAdd(std::uint64_t hash) {
  const std::uint64_t bits = (std::uint64_t{1} << (hash >> 40 & 63)) | (std::uint64_t{1} << (hash >> 46 & 63)) |
                             (std::uint64_t{1} << (hash >> 52 & 63));
  bloom_[(hash >> 8) & (bloom_.size() - 1)] |= bits;
}

bool TSortingLoad::BloomMayContain(std::uint64_t hash) const {
  const std::uint64_t bits = (std::uint64_t{1} << (hash >> 40 & 63)) | (std::uint64_t{1} << (hash >> 46 & 63)) |
                             (std::uint64_t{1} << (hash >> 52 & 63));
  return (bloom_[(hash >> 8) & (bloom_.size() - 1)] & bits) == bits;
}

// Doubles the keys the filter is sized for and adds every key again: the
// spilled runs' keys and the current run's.
void TSortingLoad::GrowBloom() {
  bloomCapacity_ = std::max<std::size_t>(2 * bloomCapacity_, runCapacity_);
  std::size_t words = 1;
  while (words * 64 < bloomCapacity_ * kBloomBitsPerKey) words *= 2;
  bloom_.assign(words, 0);
  for (const TRun& run : runs_) {
    for (std::size_t i = 0; i < run.count; ++i) BloomAdd(Hash(run.keys.data() + i * keyWidth_));
  }
  for (std::size_t i = 0; i < inRun_; ++i) BloomAdd(Hash(RunRecord(i)));
}

bool TSortingLoad::InRunHash(const std::byte* key, std::uint64_t hash, std::size_t& bucket) const {
  const std::size_t mask = runHash_.size() - 1;
  const std::uint32_t tag = static_cast<std::uint32_t>(hash >> 48) << 16;
  for (bucket = hash & mask;; bucket = (bucket + 1) & mask) {
    const std::uint32_t entry = runHash_[bucket];
    if (entry == 0) return false;
    if ((entry & 0xFFFF0000u) == tag && SameKey(RunRecord((entry & 0xFFFFu) - 1), key, keyWidth_)) return true;
  }
}

bool TSortingLoad::InSpilledRuns(const std::byte* key) const {
  for (const TRun& run : runs_) {
    std::size_t low = 0;
    std::size_t high = run.count;
    while (low < high) {
      const std::size_t mid = (low + high) / 2;
      const int order = order_.Compare(run.keys.data() + mid * keyWidth_, key);
      if (order == 0) return true;
      if (order < 0) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
  }
  return false;
}

bool TSortingLoad::Add(std::span<const std::byte> record) {
  const std::byte* key = record.data();
  const std::uint64_t hash = Hash(key);
  std::size_t bucket = 0;
  if (InRunHash(key, hash, bucket)) return false;
  if (!runs_.empty() && BloomMayContain(hash) && InSpilledRuns(key)) return false;
  std::memcpy(run_.data() + inRun_ * recordSize_, record.data(), recordSize_);
  runHash_[bucket] = static_cast<std::uint32_t>(hash >> 48) << 16 | static_cast<std::uint32_t>(++inRun_);
  ++count_;
  if (count_ > bloomCapacity_) {
    GrowBloom();
  } else {
    BloomAdd(hash);
  }
  if (inRun_ == runCapacity_) Spill();
  return true;
}

std::vector<std::uint32_t> TSortingLoad::SortedRunOrder() const {
  std::vector<TPrefixed> keys(inRun_);
  for (std::size_t i = 0; i < inRun_; ++i) keys[i] = {order_.Prefix(RunRecord(i)), static_cast<std::uint32_t>(i)};
  RadixSort(keys);
  if (!order_.PrefixDecides()) {
    for (auto first = keys.begin(); first != keys.end();) {
      const auto last = std::find_if(first, keys.end(), [&](const TPrefixed& k) { return k.prefix != first->prefix; });
      if (last - first > 1) {
        std::sort(first, last, [this](const TPrefixed& a, const TPrefixed& b) {
          return order_.Compare(RunRecord(a.index), RunRecord(b.index)) < 0;
        });
      }
      first = last;
    }
  }
  std::vector<std::uint32_t> order(inRun_);
  for (std::size_t i = 0; i < inRun_; ++i) order[i] = keys[i].index;
  return order;
}

void TSortingLoad::Spill() {
  if (!scratch_) scratch_ = fileSystem_.Open(scratchPath_, env::TOpenMode::kCreate);
  TRun run;
  run.offset = scratchEnd_;
  run.count = inRun_;
  run.keys.resize(inRun_ * keyWidth_);
  std::vector<std::byte> buffer;
  buffer.reserve(kWriteBytes);
  const std::vector<std::uint32_t> order = SortedRunOrder();
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::byte* record = RunRecord(order[i]);
    std::memcpy(run.keys.data() + i * keyWidth_, record, keyWidth_);
    buffer.insert(buffer.end(), record, record + recordSize_);
    if (buffer.size() + recordSize_ > kWriteBytes || i + 1 == order.size()) {
      scratch_->WriteAt(scratchEnd_, buffer);
      scratchEnd_ += buffer.size();
      buffer.clear();
    }
  }
  runs_.push_back(std::move(run));
  inRun_ = 0;
  std::fill(runHash_.begin(), runHash_.end(), 0);
}

void TSortingLoad::Merge(const std::function<void(std::span<const std::byte>)>& emit) {
  // Sources: every spilled run through a window, and the current run in
  // memory, last.
  struct TSource {
    std::vector<std::byte> window;
    std::uint64_t next = 0;      // scratch offset of the next window
    std::size_t left = 0;        // records not yet taken
    std::size_t at = 0;          // record within the window
    std::size_t inWindow = 0;
  };
  const std::vector<std::uint32_t> memoryOrder = SortedRunOrder();
  std::vector<TSource> sources(runs_.size());
  const std::size_t perWindow = std::max<std::size_t>(1, kWindowBytes / recordSize_);
  auto refill = [&](TSource& source) {
    source.inWindow = std::min(perWindow, source.left);
    source.window.resize(source.inWindow * recordSize_);
    if (scratch_->ReadAt(source.next, source.window) != source.window.size()) {
      throw env::EReadError("Cannot read file \"" + scratchPath_ + "\". It ends early.");
    }
    source.next += source.window.size();
    source.at = 0;
  };
  for (std::size_t r = 0; r < runs_.size(); ++r) {
    sources[r].next = runs_[r].offset;
    sources[r].left = runs_[r].count;
    refill(sources[r]);
  }
  std::size_t memoryAt = 0;
  auto current = [&](std::size_t r) -> const std::byte* {
    return r < sources.size() ? sources[r].window.data() + sources[r].at * recordSize_ : RunRecord(memoryOrder[memoryAt]);
  };
  // The heap holds each source's current key prefix, so that most
  // comparisons need no record.
  struct THead {
    std::uint64_t prefix;
    std::size_t source;
  };
  auto later = [&](const THead& a, const THead& b) {
    if (a.prefix != b.prefix) return a.prefix > b.prefix;
    return !order_.PrefixDecides() && order_.Compare(current(a.source), current(b.source)) > 0;
  };
  std::vector<THead> heap;
  auto push = [&](std::size_t r) {
    heap.push_back({order_.Prefix(current(r)), r});
    std::push_heap(heap.begin(), heap.end(), later);
  };
  for (std::size_t r = 0; r < sources.size(); ++r) push(r);
  if (!memoryOrder.empty()) push(sources.size());
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), later);
    const std::size_t r = heap.back().source;
    heap.pop_back();
    emit(std::span<const std::byte>(current(r), recordSize_));
    if (r == sources.size()) {
      if (++memoryAt < memoryOrder.size()) push(r);
      continue;
    }
    TSource& source = sources[r];
    --source.left;
    if (++source.at == source.inWindow && source.left > 0) refill(source);
    if (source.left > 0) push(r);
  }
}

}  // namespace remdo::paradox
