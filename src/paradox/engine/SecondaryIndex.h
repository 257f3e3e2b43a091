// A maintained single-field secondary index of a keyed table, as the engine
// holds it while the table is open. Its entries order the records by the
// indexed field (alpha fields in the driver's collation) and then by the
// primary key; on disk they are the .Xnn file (a keyed table of the indexed
// field, the primary key fields and the number of the data block holding the
// record) and its tree, the .Ynn file (see SecondaryIndexBuilder.h).
//
// In memory the index is an order of the record store's slots, built on
// first use (a cursor opened on the index, a key search through it) and then
// kept up to date by the table on every insert, change and delete. Tables
// that never use an index for access pay nothing for it until their files
// are written.
#ifndef REMDO_PARADOX_ENGINE_SECONDARYINDEX_H_
#define REMDO_PARADOX_ENGINE_SECONDARYINDEX_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "paradox/engine/RecordStore.h"
#include "paradox/format/TableHeader.h"
#include "paradox/index/KeyOrder.h"

namespace remdo::paradox {

class TSecondaryIndex {
 public:
  // field: 0-based position of the indexed field in header.fields;
  // offsets: every field's offset in the record; entryOrder: the order of
  // an entry key (indexed field, then the primary key fields).
  TSecondaryIndex(const TTableHeader& header, std::span<const std::size_t> offsets, std::size_t field,
                  TKeyOrder entryOrder);

  std::size_t Field() const { return field_; }
  int FieldNumber() const { return static_cast<int>(field_) + 1; }
  // The index's name: the indexed field's name.
  const std::string& Name() const { return name_; }
  // File names on disk (as found, or as they will be created).
  std::string dataFile;
  std::string treeFile;

  // An entry key: the indexed field's bytes, then the primary key's.
  const TKeyOrder& EntryOrder() const { return entryOrder_; }
  std::size_t EntryKeyWidth() const { return entryOrder_.Width(); }
  std::size_t FieldWidth() const { return fieldWidth_; }
  void EntryKeyOf(const std::byte* record, std::byte* key) const;

  // The in-memory order.
  bool Built() const { return built_; }
  void Invalidate();
  void Build(TRecordStore& records);
  // A record that was just inserted (in its slot), or that is about to be
  // removed or changed (still as it is in its slot); nothing unless built.
  void Add(TRecordStore& records, std::uint32_t slot);
  void Remove(TRecordStore& records, std::uint32_t slot);

  std::size_t Count() const { return slots_.size(); }
  std::uint32_t SlotAt(std::size_t position) const { return slots_[position]; }
  // The first position whose entry key is not below key in its leading
  // whole fields covering length bytes (Count() when none).
  std::size_t LowerBound(const TRecordStore& records, const std::byte* key, std::size_t length) const;
  // The position of the record in slot (Count() when it is not indexed).
  std::size_t PositionOf(const TRecordStore& records, std::uint32_t slot) const;

 private:
  int CompareSlotWithKey(const TRecordStore& records, std::uint32_t slot, const std::byte* key,
                         std::size_t length) const;

  const std::size_t field_;
  const std::string name_;
  const std::size_t fieldOffset_;
  const std::size_t fieldWidth_;
  const std::size_t primaryWidth_;
  const TKeyOrder entryOrder_;
  bool built_ = false;
  std::vector<std::uint32_t> slots_;
};

// Sorts n keys of width bytes laid out one after the other in keys (the
// ith key at i * stride) by order and gives their indexes in sorted order;
// equal keys keep their order.
std::vector<std::uint32_t> SortedKeyOrder(std::span<const std::byte> keys, std::size_t stride, std::size_t n,
                                          const TKeyOrder& order);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_SECONDARYINDEX_H_
