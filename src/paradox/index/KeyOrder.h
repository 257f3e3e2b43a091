// The order of a key made of fields laid out one after the other: the
// leading key fields of a record, or the key of a secondary index entry (the
// indexed field, then the primary key). Alpha fields follow the collation of
// the table's language driver; every other field type orders as its bytes,
// whose encoding sorts as the value does.
//
// A key whose alpha fields (if any) are under a binary collation orders as
// its bytes, and the order says so (IsBytewise): callers then use memcmp
// and whole-key hashing freely. Two keys compare equal only when their bytes
// are equal, under every collation, so a hash of the bytes finds equal keys.
#ifndef REMDO_PARADOX_INDEX_KEYORDER_H_
#define REMDO_PARADOX_INDEX_KEYORDER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "paradox/format/TableHeader.h"
#include "paradox/index/Collation.h"

namespace remdo::paradox {

class TKeyOrder {
 public:
  // A key of width bytes ordered as bytes.
  explicit TKeyOrder(std::size_t width = 0);
  // A key of these fields; collation orders the alpha fields and must be
  // given when there are any (nullptr is taken as a binary order).
  TKeyOrder(std::vector<TKeyField> fields, const TCollation* collation);

  // The order of the leading `count` fields of a table header, under the
  // collation of its driver (see KeyCollationOf). Nothing when an alpha
  // field is among them and the driver's order is not known.
  static std::optional<TKeyOrder> OfFields(std::span<const THeaderField> fields, const TCollation* collation);

  std::size_t Width() const { return width_; }
  bool IsBytewise() const { return bytewise_; }
  std::span<const TKeyField> Fields() const { return fields_; }

  // Negative, 0 or positive, as key a sorts before, with or after key b.
  int Compare(const std::byte* a, const std::byte* b) const;
  // The same for the leading whole fields that make up `length` bytes (a
  // search by the first fields of a key).
  int ComparePrefix(const std::byte* a, const std::byte* b, std::size_t length) const;

  // A 64-bit summary that orders as the keys do wherever it differs: the
  // key's first bytes up to its first alpha field of a weighted collation.
  // Equal summaries say nothing; Compare decides then. PrefixDecides tells
  // whether equal summaries mean equal keys.
  std::uint64_t Prefix(const std::byte* key) const;
  bool PrefixDecides() const { return bytewise_ && width_ <= 8; }

 private:
  std::vector<TKeyField> fields_;
  const TCollation* collation_ = nullptr;
  std::size_t width_ = 0;
  std::size_t prefixBytes_ = 0;  // bytes of the key the prefix holds
  bool bytewise_ = true;
};

// The collation a table's alpha keys follow: by the driver name the header
// records (level 4 and up) or its sort-order byte; nullptr when the order
// is not known.
const TCollation* KeyCollationOf(const TTableHeader& header);

// True when one of the fields is alpha and collation does not order it
// (nullptr: unknown driver).
bool NeedsUnknownOrder(std::span<const THeaderField> fields, const TCollation* collation);

// The key fields of header fields, as the collation unit describes them.
std::vector<TKeyField> KeyFieldsOf(std::span<const THeaderField> fields);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_INDEX_KEYORDER_H_
