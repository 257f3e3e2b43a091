// The records of one open table, held in memory in table order: key order for
// a keyed table, insertion order otherwise.
//
// Records live in fixed chunks addressed by slot, so the store never copies
// them as it grows. The order is a vector of (key prefix, slot) entries; a
// keyed store also has a hash of its keys, so that key violations and exact
// lookups cost O(1). Records inserted out of key order wait in a pending
// list and are sorted into the order in one pass when ordered access is next
// needed; records arriving in key order go straight to the end. Keys compare
// in their key order (KeyOrder.h): as bytes for numeric keys and binary
// collations, through the language driver's collation for other alpha keys.
//
// Slots are stable: a record keeps its slot while it lives, whatever moves
// around it, so that secondary orders can refer to records by slot.
#ifndef REMDO_PARADOX_ENGINE_RECORDSTORE_H_
#define REMDO_PARADOX_ENGINE_RECORDSTORE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "paradox/index/KeyOrder.h"

namespace remdo::paradox {

class TRecordStore {
 public:
  // order: the order of the leading key (width 0 for a table without key).
  // ordered: false when the key order is not known (alpha keys of a driver
  // whose order is unknown, or records that were found in another order than
  // ours): the store keeps the order it was loaded in, finds records by
  // exact key only, and must not be given inserts or key changes; the owner
  // refuses those.
  TRecordStore(std::size_t recordSize, TKeyOrder order, bool ordered = true);
  // A key of keyWidth bytes ordered as bytes.
  TRecordStore(std::size_t recordSize, std::size_t keyWidth, bool byteOrdered = true);

  std::size_t RecordSize() const { return recordSize_; }
  std::size_t KeyWidth() const { return keyWidth_; }
  bool IsKeyed() const { return keyWidth_ > 0; }
  std::size_t Count() const { return order_.size() + pending_.size(); }
  // Changes whenever positions in the order may have moved.
  std::uint64_t Version() const { return version_; }

  const TKeyOrder& KeyOrder() const { return keyOrder_; }
  bool IsOrdered() const { return ordered_; }

  // Room in the order for a load of this many records, so that the order
  // is not moved (and fresh memory touched) again and again as it grows.
  void Reserve(std::size_t records) { order_.reserve(records); }
  // Appends a record read from a file, without checks; Loaded() ends the
  // load. Returns false from Loaded() when a keyed store's records were not
  // in strictly ascending key order.
  void LoadAppend(std::span<const std::byte> record);
  bool Loaded();
  // Gives up the key order: the records stay in the order they were loaded
  // in (see the constructor's ordered).
  void KeepLoadOrder();

  // Inserts a record. Keyed: false (nothing changed) when its key is
  // present. Without key: the record goes to position (Count() appends).
  // *slot receives the new record's slot.
  bool Insert(std::span<const std::byte> record, std::size_t position, std::uint32_t* slot = nullptr);

  // The record at a position of the order (sorts pending records first).
  std::span<const std::byte> At(std::size_t position);
  // The position of the first record whose first prefixLength key bytes are
  // not below prefix (Count() when none): keyed stores only.
  std::size_t LowerBound(std::span<const std::byte> prefix);
  // The position of the record with exactly this key, if any: keyed only.
  std::optional<std::size_t> Find(std::span<const std::byte> key);
  bool Contains(std::span<const std::byte> key);

  // Slots: the slot of the record at a position, the record in a slot, and
  // the position of the record in a slot.
  std::uint32_t SlotAt(std::size_t position);
  std::span<const std::byte> RecordOfSlot(std::uint32_t slot) const { return {Slot(slot), recordSize_}; }
  std::size_t PositionOfSlot(std::uint32_t slot);

  // Removes the record at a position.
  void Remove(std::size_t position);
  // Replaces the record at a position. Keyed: when the key changes the
  // record moves to its new place; false (nothing changed) when the new key
  // belongs to another record. Returns the record's new position in *moved.
  bool Replace(std::size_t position, std::span<const std::byte> record, std::size_t* moved);

  // Calls visit(record) for every record in order.
  template <typename F>
  void ForEach(F&& visit) {
    Order();
    for (const auto& entry : order_) visit(std::span<const std::byte>(Slot(entry.slot), recordSize_));
  }

  // Sorts pending records into the order.
  void Order();

 private:
  struct TEntry {
    std::uint64_t prefix;
    std::uint32_t slot;
  };

  std::byte* Slot(std::uint32_t slot) const {
    return chunks_[slot / perChunk_].get() + static_cast<std::size_t>(slot % perChunk_) * recordSize_;
  }
  std::uint32_t NewSlot(std::span<const std::byte> record);
  TEntry EntryOf(std::uint32_t slot) const;
  bool Less(const TEntry& a, const TEntry& b) const;
  bool SameKey(const std::byte* a, const std::byte* b) const;

  // Hash of keys: bucket = (hash >> 32 << 32) | (slot + 1); 0 empty,
  // kTombstone removed. The bucket's place comes from its upper half, so the
  // table grows without reading a record.
  std::uint64_t HashKey(const std::byte* key) const;
  void BuildHash();
  void GrowHash();
  // The bucket holding key, or the free bucket where it would go.
  std::size_t HashProbe(const std::byte* key, std::uint64_t hash, bool& found) const;
  void HashInsert(std::uint32_t slot);
  void HashErase(std::uint32_t slot);
  std::optional<std::uint32_t> HashFind(const std::byte* key) const;

  const std::size_t recordSize_;
  const TKeyOrder keyOrder_;
  const std::size_t keyWidth_;
  bool ordered_;
  const std::size_t perChunk_;
  std::vector<std::unique_ptr<std::byte[]>> chunks_;
  std::uint32_t slotsUsed_ = 0;
  std::vector<std::uint32_t> freeSlots_;
  std::vector<TEntry> order_;
  std::vector<TEntry> pending_;
  std::vector<std::uint64_t> hash_;
  std::size_t hashUsed_ = 0;  // live and tombstone buckets
  bool hashBuilt_ = false;
  std::uint64_t version_ = 0;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_RECORDSTORE_H_
