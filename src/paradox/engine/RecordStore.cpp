// The record store. Costs: insert O(1) (hash probe, slot copy, append to the
// order or the pending list); ordered access after out-of-order inserts one
// sort of the pending entries and one merge; removal O(n) for the order
// vector's move, which the repair's rare deletions can afford.
#include "paradox/engine/RecordStore.h"

#include <algorithm>
#include <cstring>

namespace remdo::paradox {

namespace {
constexpr std::size_t kChunkBytes = 1 << 20;
constexpr std::uint64_t kTombstone = ~std::uint64_t{0};
constexpr std::uint64_t kSlotMask = 0xFFFFFFFFull;
}  // namespace

TRecordStore::TRecordStore(std::size_t recordSize, TKeyOrder order, bool ordered)
    : recordSize_(recordSize),
      keyOrder_(std::move(order)),
      keyWidth_(keyOrder_.Width()),
      ordered_(ordered),
      perChunk_(std::max<std::size_t>(1, kChunkBytes / recordSize)) {}

TRecordStore::TRecordStore(std::size_t recordSize, std::size_t keyWidth, bool byteOrdered)
    : TRecordStore(recordSize, TKeyOrder(keyWidth), byteOrdered) {}

TRecordStore::TEntry TRecordStore::EntryOf(std::uint32_t slot) const { return {keyOrder_.Prefix(Slot(slot)), slot}; }

bool TRecordStore::SameKey(const std::byte* a, const std::byte* b) const {
  return keyWidth_ == 0 || std::memcmp(a, b, keyWidth_) == 0;
}

bool TRecordStore::Less(const TEntry& a, const TEntry& b) const {
  if (a.prefix != b.prefix) return a.prefix < b.prefix;
  return !keyOrder_.PrefixDecides() && keyOrder_.Compare(Slot(a.slot), Slot(b.slot)) < 0;
}

std::uint32_t TRecordStore::NewSlot(std::span<const std::byte> record) {
  std::uint32_t slot = 0;
  if (!freeSlots_.empty()) {
    slot = freeSlots_.back();
    freeSlots_.pop_back();
  } else {
    slot = slotsUsed_++;
    if (slot / perChunk_ >= chunks_.size()) chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(perChunk_ * recordSize_));
  }
  std::memcpy(Slot(slot), record.data(), recordSize_);
  return slot;
}

void TRecordStore::LoadAppend(std::span<const std::byte> record) {
  order_.push_back(EntryOf(NewSlot(record)));
  // A lookup before the load (into the then empty store) built the hash;
  // it is rebuilt with the loaded records at the next lookup.
  hashBuilt_ = false;
}

void TRecordStore::KeepLoadOrder() {
  Order();
  ordered_ = false;
  ++version_;
}

bool TRecordStore::Loaded() {
  ++version_;
  if (!IsKeyed() || !ordered_) return true;
  for (std::size_t i = 1; i < order_.size(); ++i) {
    if (!Less(order_[i - 1], order_[i])) return false;
  }
  return true;
}

void TRecordStore::Order() {
  if (pending_.empty()) return;
  auto less = [this](const TEntry& a, const TEntry& b) { return Less(a, b); };
  if (order_.size() < pending_.size()) {
    // Mostly new records (a load in random order): one sort of everything
    // needs no second vector.
    pending_.insert(pending_.end(), order_.begin(), order_.end());
    std::sort(pending_.begin(), pending_.end(), less);
    order_.swap(pending_);
    std::vector<TEntry>().swap(pending_);
    ++version_;
    return;
  }
  std::sort(pending_.begin(), pending_.end(), less);
  std::vector<TEntry> merged;
  merged.reserve(order_.size() + pending_.size());
  std::merge(order_.begin(), order_.end(), pending_.begin(), pending_.end(), std::back_inserter(merged), less);
  order_.swap(merged);
  std::vector<TEntry>().swap(pending_);
  ++version_;
}

bool TRecordStore::Insert(std::span<const std::byte> record, std::size_t position, std::uint32_t* slotOut) {
  ++version_;
  if (!IsKeyed()) {
    const std::uint32_t slot = NewSlot(record);
    if (slotOut != nullptr) *slotOut = slot;
    order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(std::min(position, order_.size())), EntryOf(slot));
    return true;
  }
  if (!hashBuilt_) BuildHash();
  if (2 * (hashUsed_ + 1) > hash_.size()) GrowHash();
  const std::uint64_t hash = HashKey(record.data());
  bool found = false;
  const std::size_t at = HashProbe(record.data(), hash, found);
  if (found) return false;
  const std::uint32_t slot = NewSlot(record);
  if (slotOut != nullptr) *slotOut = slot;
  if (hash_[at] == 0) ++hashUsed_;
  hash_[at] = (hash & ~kSlotMask) | (static_cast<std::uint64_t>(slot) + 1);
  const TEntry entry = EntryOf(slot);
  if (pending_.empty() && (order_.empty() || Less(order_.back(), entry))) {
    order_.push_back(entry);
  } else {
    pending_.push_back(entry);
  }
  return true;
}

std::span<const std::byte> TRecordStore::At(std::size_t position) {
  Order();
  return {Slot(order_[position].slot), recordSize_};
}

std::size_t TRecordStore::LowerBound(std::span<const std::byte> prefix) {
  Order();
  const std::size_t length = std::min(prefix.size(), keyWidth_);
  const auto it = std::partition_point(order_.begin(), order_.end(), [&](const TEntry& e) {
    return keyOrder_.ComparePrefix(Slot(e.slot), prefix.data(), length) < 0;
  });
  return static_cast<std::size_t>(it - order_.begin());
}

std::size_t TRecordStore::PositionOfSlot(std::uint32_t slot) {
  Order();
  if (IsKeyed() && ordered_) {
    const TEntry probe = EntryOf(slot);
    const auto it = std::lower_bound(order_.begin(), order_.end(), probe,
                                     [this](const TEntry& a, const TEntry& b) { return Less(a, b); });
    return static_cast<std::size_t>(it - order_.begin());
  }
  for (std::size_t i = 0; i < order_.size(); ++i) {
    if (order_[i].slot == slot) return i;
  }
  return order_.size();
}

std::uint32_t TRecordStore::SlotAt(std::size_t position) {
  Order();
  return order_[position].slot;
}

std::optional<std::size_t> TRecordStore::Find(std::span<const std::byte> key) {
  if (!IsKeyed()) return std::nullopt;
  if (!hashBuilt_) BuildHash();
  const auto slot = HashFind(key.data());
  if (!slot) return std::nullopt;
  return PositionOfSlot(*slot);
}

bool TRecordStore::Contains(std::span<const std::byte> key) {
  if (!IsKeyed()) return false;
  if (!hashBuilt_) BuildHash();
  return HashFind(key.data()).has_value();
}

void TRecordStore::Remove(std::size_t position) {
  Order();
  const std::uint32_t slot = order_[position].slot;
  if (IsKeyed() && hashBuilt_) HashErase(slot);
  order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(position));
  freeSlots_.push_back(slot);
  ++version_;
}

bool TRecordStore::Replace(std::size_t position, std::span<const std::byte> record, std::size_t* moved) {
  Order();
  const std::uint32_t slot = order_[position].slot;
  if (!IsKeyed() || SameKey(Slot(slot), record.data())) {
    std::memcpy(Slot(slot), record.data(), recordSize_);
    if (moved != nullptr) *moved = position;
    return true;
  }
  if (!hashBuilt_) BuildHash();
  if (HashFind(record.data())) return false;
  HashErase(slot);
  order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(position));
  std::memcpy(Slot(slot), record.data(), recordSize_);
  HashInsert(slot);
  const TEntry entry = EntryOf(slot);
  const auto it = std::lower_bound(order_.begin(), order_.end(), entry,
                                   [this](const TEntry& a, const TEntry& b) { return Less(a, b); });
  const auto at = order_.insert(it, entry);
  if (moved != nullptr) *moved = static_cast<std::size_t>(at - order_.begin());
  ++version_;
  return true;
}

// --- Hash of keys ------------------------------------------------------------

std::uint64_t TRecordStore::HashKey(const std::byte* key) const {
  std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ keyWidth_;
  for (std::size_t i = 0; i < keyWidth_; ++i) {
    hash = (hash ^ std::to_integer<std::uint64_t>(key[i])) * 0x100000001B3ull;
  }
  hash ^= hash >> 29;
  hash *= 0xBF58476D1CE4E5B9ull;
  return hash ^ (hash >> 32);
}

void TRecordStore::BuildHash() {
  std::size_t capacity = 16;
  while (capacity < 2 * (Count() + 1)) capacity *= 2;
  hash_.assign(capacity, 0);
  hashUsed_ = 0;
  hashBuilt_ = true;
  for (const auto& entry : order_) HashInsert(entry.slot);
  for (const auto& entry : pending_) HashInsert(entry.slot);
}

void TRecordStore::GrowHash() {
  std::vector<std::uint64_t> old;
  old.swap(hash_);
  std::size_t capacity = std::max<std::size_t>(16, old.size());
  while (capacity < 2 * (Count() + 1)) capacity *= 2;
  hash_.assign(capacity, 0);
  hashUsed_ = 0;
  const std::size_t mask = capacity - 1;
  for (const std::uint64_t bucket : old) {
    if (bucket == 0 || bucket == kTombstone) continue;
    std::size_t i = (bucket >> 32) & mask;
    while (hash_[i] != 0) i = (i + 1) & mask;
    hash_[i] = bucket;
    ++hashUsed_;
  }
}

std::size_t TRecordStore::HashProbe(const std::byte* key, std::uint64_t hash, bool& found) const {
  const std::size_t mask = hash_.size() - 1;
  std::size_t free = hash_.size();
  for (std::size_t i = (hash >> 32) & mask;; i = (i + 1) & mask) {
    const std::uint64_t bucket = hash_[i];
    if (bucket == 0) {
      found = false;
      return free < hash_.size() ? free : i;
    }
    if (bucket == kTombstone) {
      if (free == hash_.size()) free = i;
      continue;
    }
    if ((bucket & ~kSlotMask) == (hash & ~kSlotMask) &&
        SameKey(Slot(static_cast<std::uint32_t>((bucket & kSlotMask) - 1)), key)) {
      found = true;
      return i;
    }
  }
}

void TRecordStore::HashInsert(std::uint32_t slot) {
  if (2 * (hashUsed_ + 1) > hash_.size()) GrowHash();
  const std::uint64_t hash = HashKey(Slot(slot));
  bool found = false;
  const std::size_t at = HashProbe(Slot(slot), hash, found);
  if (hash_[at] == 0) ++hashUsed_;
  hash_[at] = (hash & ~kSlotMask) | (static_cast<std::uint64_t>(slot) + 1);
}

std::optional<std::uint32_t> TRecordStore::HashFind(const std::byte* key) const {
  if (hash_.empty()) return std::nullopt;
  bool found = false;
  const std::size_t at = HashProbe(key, HashKey(key), found);
  if (!found) return std::nullopt;
  return static_cast<std::uint32_t>((hash_[at] & kSlotMask) - 1);
}

void TRecordStore::HashErase(std::uint32_t slot) {
  bool found = false;
  const std::size_t at = HashProbe(Slot(slot), HashKey(Slot(slot)), found);
  if (found) hash_[at] = kTombstone;
}

}  // namespace remdo::paradox
