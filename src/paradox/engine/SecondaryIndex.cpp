// The in-memory order of a secondary index. Entry keys of stored records
// are built on the fly into a small buffer; a search costs O(log n) key
// builds, an insert or removal that plus moving the slots behind it.
#include "paradox/engine/SecondaryIndex.h"

#include <algorithm>
#include <cstring>

namespace remdo::paradox {

namespace {

struct TPrefixed {
  std::uint64_t prefix;
  std::uint32_t index;
};

// Entry keys are at most 255 + 255 bytes; a buffer on the stack holds one.
constexpr std::size_t kMaxEntryKey = 1024;

}  // namespace

TSecondaryIndex::TSecondaryIndex(const TTableHeader& header, std::span<const std::size_t> offsets, std::size_t field,
                                 TKeyOrder entryOrder)
    : field_(field),
      name_(header.fields[field].name),
      fieldOffset_(offsets[field]),
      fieldWidth_(static_cast<std::size_t>(header.fields[field].Width())),
      primaryWidth_(entryOrder.Width() - static_cast<std::size_t>(header.fields[field].Width())),
      entryOrder_(std::move(entryOrder)) {}

void TSecondaryIndex::EntryKeyOf(const std::byte* record, std::byte* key) const {
  std::memcpy(key, record + fieldOffset_, fieldWidth_);
  std::memcpy(key + fieldWidth_, record, primaryWidth_);
}

void TSecondaryIndex::Invalidate() {
  built_ = false;
  std::vector<std::uint32_t>().swap(slots_);
}

void TSecondaryIndex::Build(TRecordStore& records) {
  const std::size_t n = records.Count();
  const std::size_t width = EntryKeyWidth();
  std::vector<std::byte> keys(n * width);
  std::vector<std::uint32_t> slotOf(n);
  for (std::size_t i = 0; i < n; ++i) {
    slotOf[i] = records.SlotAt(i);
    EntryKeyOf(records.RecordOfSlot(slotOf[i]).data(), keys.data() + i * width);
  }
  const std::vector<std::uint32_t> sorted = SortedKeyOrder(keys, width, n, entryOrder_);
  slots_.resize(n);
  for (std::size_t i = 0; i < n; ++i) slots_[i] = slotOf[sorted[i]];
  built_ = true;
}

int TSecondaryIndex::CompareSlotWithKey(const TRecordStore& records, std::uint32_t slot, const std::byte* key,
                                        std::size_t length) const {
  std::byte entry[kMaxEntryKey];
  EntryKeyOf(records.RecordOfSlot(slot).data(), entry);
  return entryOrder_.ComparePrefix(entry, key, length);
}

std::size_t TSecondaryIndex::LowerBound(const TRecordStore& records, const std::byte* key, std::size_t length) const {
  const auto it = std::partition_point(slots_.begin(), slots_.end(), [&](std::uint32_t slot) {
    return CompareSlotWithKey(records, slot, key, length) < 0;
  });
  return static_cast<std::size_t>(it - slots_.begin());
}

std::size_t TSecondaryIndex::PositionOf(const TRecordStore& records, std::uint32_t slot) const {
  std::byte key[kMaxEntryKey];
  EntryKeyOf(records.RecordOfSlot(slot).data(), key);
  const std::size_t at = LowerBound(records, key, EntryKeyWidth());
  return at < slots_.size() && slots_[at] == slot ? at : slots_.size();
}

void TSecondaryIndex::Add(TRecordStore& records, std::uint32_t slot) {
  if (!built_) return;
  std::byte key[kMaxEntryKey];
  EntryKeyOf(records.RecordOfSlot(slot).data(), key);
  const std::size_t at = LowerBound(records, key, EntryKeyWidth());
  slots_.insert(slots_.begin() + static_cast<std::ptrdiff_t>(at), slot);
}

void TSecondaryIndex::Remove(TRecordStore& records, std::uint32_t slot) {
  if (!built_) return;
  const std::size_t at = PositionOf(records, slot);
  if (at < slots_.size()) {
    slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(at));
  } else {
    Invalidate();  // cannot happen while the order is kept up to date; rebuild rather than guess
  }
}

std::vector<std::uint32_t> SortedKeyOrder(std::span<const std::byte> keys, std::size_t stride, std::size_t n,
                                          const TKeyOrder& order) {
  std::vector<TPrefixed> items(n);
  for (std::size_t i = 0; i < n; ++i)
    items[i] = {order.Prefix(keys.data() + i * stride), static_cast<std::uint32_t>(i)};
  const bool decides = order.PrefixDecides();
  std::sort(items.begin(), items.end(), [&](const TPrefixed& a, const TPrefixed& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    if (!decides) {
      const int c = order.Compare(keys.data() + a.index * stride, keys.data() + b.index * stride);
      if (c != 0) return c < 0;
    }
    return a.index < b.index;
  });
  std::vector<std::uint32_t> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = items[i].index;
  return out;
}

}  // namespace remdo::paradox
