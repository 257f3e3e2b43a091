// The sorting load. Records are sorted through an array of (key prefix,
// record) pairs, by a radix sort of the prefixes (then by the key order among
// equal prefixes when the prefix does not decide). In memory, every record
// of the load is sorted at once and handed out through that array, fetched a
// few records ahead. A spilled run is written out in key order through a
// 1 MiB buffer with its keys kept in order for the exact check; the merge
// keeps a 256 KiB window of every spilled run and a small heap of the runs'
// current keys. The Bloom filter holds 16 bits per key and sets 3 of them in
// one word, which leaves about one key in 100 to the exact checks.
#include "paradox/engine/SortingLoad.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <utility>

#include "env/Errors.h"
#include "env/LargeBuffer.h"

namespace remdo::paradox {

namespace {

constexpr std::size_t kWriteBytes = 1 << 20;
constexpr std::size_t kWindowBytes = 256 << 10;
constexpr std::size_t kBloomBitsPerKey = 16;
constexpr std::size_t kFetchAhead = 8;  // records fetched ahead of the in-memory merge

struct TPrefixed {
  std::uint64_t prefix;
  const std::byte* record;
};
// Sixteen bytes a record: megabytes for a large load.
using TPrefixedArray = std::vector<TPrefixed, env::TLargeAllocator<TPrefixed>>;

// Keys are a few bytes: compared inline rather than through memcmp.
bool SameKey(const std::byte* a, const std::byte* b, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Sorts by prefix, least significant digit first. A digit is up to 11 bits
// starting at a bit in which the prefixes differ, so bits that are the same
// throughout cost nothing: whole-number keys below 4 M take two passes.
// other: room for the items, given so that its pages can be made ready
// beforehand.
void RadixSort(TPrefixedArray& items, TPrefixedArray other) {
  constexpr unsigned kDigitBits = 11;
  if (items.size() < 2) return;
  std::uint64_t varying = 0;
  for (const TPrefixed& item : items) varying |= item.prefix ^ items.front().prefix;
  std::vector<unsigned> shifts;
  for (unsigned shift = 0; shift < 64;) {
    if ((varying >> shift & 1) == 0) {
      ++shift;
    } else {
      shifts.push_back(shift);
      shift += kDigitBits;
    }
  }
  constexpr std::uint64_t kDigitMask = (std::uint64_t{1} << kDigitBits) - 1;
  std::vector<std::array<std::uint32_t, kDigitMask + 1>> counts(shifts.size());
  for (auto& c : counts) c.fill(0);
  for (const TPrefixed& item : items) {
    for (std::size_t d = 0; d < shifts.size(); ++d) ++counts[d][item.prefix >> shifts[d] & kDigitMask];
  }
  other.resize(items.size());
  for (std::size_t d = 0; d < shifts.size(); ++d) {
    std::uint32_t start = 0;
    for (std::uint32_t& c : counts[d]) start += std::exchange(c, start);
    for (const TPrefixed& item : items) other[counts[d][item.prefix >> shifts[d] & kDigitMask]++] = item;
    items.swap(other);
  }
}

void SortByKey(TPrefixedArray& items, const TKeyOrder& order, TPrefixedArray other = {}) {
  RadixSort(items, std::move(other));
  if (order.PrefixDecides()) return;
  for (auto first = items.begin(); first != items.end();) {
    const auto last = std::find_if(first, items.end(), [&](const TPrefixed& k) { return k.prefix != first->prefix; });
    if (last - first > 1) {
      std::sort(first, last,
                [&](const TPrefixed& a, const TPrefixed& b) { return order.Compare(a.record, b.record) < 0; });
    }
    first = last;
  }
}

// Records per run: as many as runBytes holds, at most 65535 (a run's hash
// numbers its records in 16 bits). A run of megabytes is cut to whole large
// pages, all of which the system can then back with large pages: a part
// page at its end would take a small-page fault for every 4 KiB.
std::size_t RunCapacity(std::size_t runBytes, std::size_t recordSize) {
  std::size_t bytes = std::min(runBytes, 65535 * recordSize);
  if (bytes >= env::kLargePageBytes) bytes = bytes / env::kLargePageBytes * env::kLargePageBytes;
  return std::clamp<std::size_t>(bytes / recordSize, 4, 65535);
}

// A run's memory: up to the large page its records end in (less than a
// record more than they need, by RunCapacity).
std::size_t WholeLargePages(std::size_t bytes) {
  if (bytes < env::kLargePageBytes) return bytes;
  return (bytes + env::kLargePageBytes - 1) / env::kLargePageBytes * env::kLargePageBytes;
}

}  // namespace

TSortingLoad::TSortingLoad(env::TFileSystem& fileSystem, std::string scratchPath, std::size_t recordSize,
                           std::size_t keyWidth, std::size_t runBytes, std::size_t keptBytes)
    : TSortingLoad(fileSystem, std::move(scratchPath), recordSize, TKeyOrder(keyWidth), runBytes, keptBytes) {}

TSortingLoad::TSortingLoad(env::TFileSystem& fileSystem, std::string scratchPath, std::size_t recordSize,
                           TKeyOrder order, std::size_t runBytes, std::size_t keptBytes)
    : fileSystem_(fileSystem),
      scratchPath_(std::move(scratchPath)),
      recordSize_(recordSize),
      order_(std::move(order)),
      keyWidth_(order_.Width()),
      runCapacity_(RunCapacity(runBytes, recordSize)),
      keptRuns_(keptBytes / (runCapacity_ * recordSize)) {
  TRunMemory memory = NewRunMemory();
  run_ = std::move(memory.records);
  runHash_ = std::move(memory.hash);
  GrowBloom();
}

TSortingLoad::TRunMemory TSortingLoad::NewRunMemory() const {
  std::size_t buckets = 1;
  while (buckets < 2 * runCapacity_) buckets *= 2;
  return {env::NewLargeBuffer(WholeLargePages(runCapacity_ * recordSize_)),
          std::vector<std::uint32_t>(buckets, 0)};
}

// Touches a byte of every page of the next run's records; the hash is
// zeroed as it is made.
void TSortingLoad::PrepareNextRun() {
  constexpr std::size_t kPageBytes = 4096;
  nextRun_ = std::async(std::launch::async, [this] {
    TRunMemory memory = NewRunMemory();
    const std::size_t bytes = runCapacity_ * recordSize_;
    for (std::size_t at = 0; at < bytes; at += kPageBytes) memory.records[at] = std::byte{0};
    return memory;
  });
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

// Doubles the keys the filter is sized for and adds every key again. A key
// is its record's first bytes.
void TSortingLoad::GrowBloom() {
  bloomCapacity_ = std::max<std::size_t>(2 * bloomCapacity_, runCapacity_);
  std::size_t words = 1;
  while (words * 64 < bloomCapacity_ * kBloomBitsPerKey) words *= 2;
  bloom_.assign(words, 0);
  for (const TRun& run : runs_) {
    for (std::size_t i = 0; i < run.count; ++i) {
      BloomAdd(Hash(run.records ? run.records.get() + i * recordSize_ : run.keys.get() + i * keyWidth_));
    }
  }
  for (std::size_t i = 0; i < inRun_; ++i) BloomAdd(Hash(run_.get() + i * recordSize_));
}

// Looks the key up in a run's hash; bucket is where it would go.
bool TSortingLoad::InHash(const std::vector<std::uint32_t>& buckets, const std::byte* records, const std::byte* key,
                          std::uint64_t hash, std::size_t& bucket) const {
  const std::size_t mask = buckets.size() - 1;
  const std::uint32_t tag = static_cast<std::uint32_t>(hash >> 48) << 16;
  for (bucket = hash & mask;; bucket = (bucket + 1) & mask) {
    const std::uint32_t entry = buckets[bucket];
    if (entry == 0) return false;
    if ((entry & 0xFFFF0000u) == tag && SameKey(records + ((entry & 0xFFFFu) - 1) * recordSize_, key, keyWidth_)) {
      return true;
    }
  }
}

bool TSortingLoad::InEarlierRuns(const std::byte* key, std::uint64_t hash) const {
  for (const TRun& run : runs_) {
    if (run.records) {
      std::size_t bucket = 0;
      if (InHash(run.hash, run.records.get(), key, hash, bucket)) return true;
      continue;
    }
    std::size_t low = 0;
    std::size_t high = run.count;
    while (low < high) {
      const std::size_t mid = (low + high) / 2;
      const int order = order_.Compare(run.keys.get() + mid * keyWidth_, key);
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
  // Both lookups miss the cache on a large load; the filter's word is
  // fetched while the run's hash is probed.
  __builtin_prefetch(&bloom_[(hash >> 8) & (bloom_.size() - 1)]);
  std::size_t bucket = 0;
  if (InHash(runHash_, run_.get(), key, hash, bucket)) return false;
  if (!runs_.empty() && BloomMayContain(hash) && InEarlierRuns(key, hash)) return false;
  std::memcpy(run_.get() + inRun_ * recordSize_, record.data(), recordSize_);
  runHash_[bucket] = static_cast<std::uint32_t>(hash >> 48) << 16 | static_cast<std::uint32_t>(++inRun_);
  ++count_;
  if (count_ > bloomCapacity_) {
    GrowBloom();
  } else {
    BloomAdd(hash);
  }
  if (inRun_ == runCapacity_ / 2 && !nextRun_.valid() && runs_.size() < keptRuns_) PrepareNextRun();
  if (inRun_ == runCapacity_) Keep();
  return true;
}

std::vector<const std::byte*> TSortingLoad::SortedOrder(const std::byte* records, std::size_t count) const {
  TPrefixedArray items(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::byte* record = records + i * recordSize_;
    items[i] = {order_.Prefix(record), record};
  }
  SortByKey(items, order_);
  std::vector<const std::byte*> order(count);
  for (std::size_t i = 0; i < count; ++i) order[i] = items[i].record;
  return order;
}

// A full run is kept as it is; once the load passes its bound every kept run
// goes to the scratch file, and every later one after it.
void TSortingLoad::Keep() {
  TRun run;
  run.count = inRun_;
  TRunMemory memory = nextRun_.valid() ? nextRun_.get() : NewRunMemory();
  run.records = std::exchange(run_, std::move(memory.records));
  run.hash = std::exchange(runHash_, std::move(memory.hash));
  inRun_ = 0;
  runs_.push_back(std::move(run));
  if (runs_.size() <= keptRuns_) return;
  for (TRun& kept : runs_) {
    if (kept.records) Spill(kept);
  }
}

void TSortingLoad::Spill(TRun& run) {
  if (!scratch_) scratch_ = fileSystem_.Open(scratchPath_, env::TOpenMode::kCreate);
  const std::vector<const std::byte*> order = SortedOrder(run.records.get(), run.count);
  run.offset = scratchEnd_;
  run.keys = std::make_unique_for_overwrite<std::byte[]>(run.count * keyWidth_);
  std::vector<std::byte> buffer;
  buffer.reserve(kWriteBytes);
  for (std::size_t i = 0; i < order.size(); ++i) {
    std::memcpy(run.keys.get() + i * keyWidth_, order[i], keyWidth_);
    buffer.insert(buffer.end(), order[i], order[i] + recordSize_);
    if (buffer.size() + recordSize_ > kWriteBytes || i + 1 == order.size()) {
      scratch_->WriteAt(scratchEnd_, buffer);
      scratchEnd_ += buffer.size();
      buffer.clear();
    }
  }
  run.records.reset();
  std::vector<std::uint32_t>().swap(run.hash);
}

void TSortingLoad::Merge(const std::function<void(std::span<const std::byte>)>& emit) {
  nextRun_ = {};  // no run comes after the merge
  if (scratch_) {
    MergeRuns(emit);
  } else {
    MergeInMemory(emit);
  }
}

void TSortingLoad::MergeInMemory(const std::function<void(std::span<const std::byte>)>& emit) {
  // No key comes after the merge: the hashes and the filter go first, and
  // the sort's arrays may reuse their pages.
  for (TRun& run : runs_) std::vector<std::uint32_t>().swap(run.hash);
  std::vector<std::uint32_t>().swap(runHash_);
  std::vector<std::uint64_t>().swap(bloom_);
  // A large load's second sort array is made ready on another thread while
  // the prefixes are gathered.
  std::future<TPrefixedArray> other;
  if (!runs_.empty()) {
    other = std::async(std::launch::async, [count = count_] { return TPrefixedArray(count); });
  }
  TPrefixedArray items;
  items.reserve(count_);
  auto gather = [&](const std::byte* records, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::byte* record = records + i * recordSize_;
      items.push_back({order_.Prefix(record), record});
    }
  };
  for (const TRun& run : runs_) gather(run.records.get(), run.count);
  gather(run_.get(), inRun_);
  SortByKey(items, order_, other.valid() ? other.get() : TPrefixedArray{});
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (k + kFetchAhead < items.size()) __builtin_prefetch(items[k + kFetchAhead].record);
    emit(std::span<const std::byte>(items[k].record, recordSize_));
  }
}

// Every full run is spilled; the current one is sorted in memory.
void TSortingLoad::MergeRuns(const std::function<void(std::span<const std::byte>)>& emit) {
  struct TSource {
    std::vector<std::byte> window;
    std::uint64_t next = 0;  // scratch offset of the next window
    std::size_t left = 0;    // records not yet taken
    std::size_t at = 0;      // record within the window
    std::size_t inWindow = 0;
  };
  const std::vector<const std::byte*> memoryOrder = SortedOrder(run_.get(), inRun_);
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
    return r < sources.size() ? sources[r].window.data() + sources[r].at * recordSize_ : memoryOrder[memoryAt];
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
  // The taken source's next key replaces the top and sinks: half the
  // comparisons of a pop and a push.
  auto sinkTop = [&] {
    for (std::size_t at = 0;;) {
      std::size_t child = 2 * at + 1;
      if (child >= heap.size()) return;
      if (child + 1 < heap.size() && later(heap[child], heap[child + 1])) ++child;
      if (!later(heap[at], heap[child])) return;
      std::swap(heap[at], heap[child]);
      at = child;
    }
  };
  while (!heap.empty()) {
    const std::size_t r = heap.front().source;
    emit(std::span<const std::byte>(current(r), recordSize_));
    bool more = false;
    if (r == sources.size()) {
      more = ++memoryAt < memoryOrder.size();
    } else {
      TSource& source = sources[r];
      --source.left;
      if (++source.at == source.inWindow && source.left > 0) refill(source);
      more = source.left > 0;
    }
    if (more) {
      heap.front().prefix = order_.Prefix(current(r));
      sinkTop();
    } else {
      std::pop_heap(heap.begin(), heap.end(), later);
      heap.pop_back();
    }
  }
}

}  // namespace remdo::paradox
