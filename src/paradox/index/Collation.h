// The order of alpha keys in a table's primary and secondary indexes, as the
// table's language driver defines it. Binary drivers (ascii, DBWINUS0,
// BLROM800) order NUL-padded values byte by byte. The international drivers
// intl (code page 437), ANSIINTL and ANSII850 (1252) and nordan40 (865) give
// every character a primary weight (letters of any case and accent share
// one), a secondary weight (case and accent inside a letter) and expand a
// few characters into two (ä as a-umlaut followed by e, ß as s s). Values
// compare by primary weights first, then by secondary weights, then a value
// spelled with an expanding character sorts after the same value spelled
// out, and last by their bytes, so that two different values never tie.
//
// Drivers whose order is not known here are unsupported: FindCollation
// gives nothing and RequireCollation throws, so that no index with alpha
// keys is written in an order the engine would not search.
#ifndef REMDO_PARADOX_INDEX_COLLATION_H_
#define REMDO_PARADOX_INDEX_COLLATION_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace remdo::paradox {

class TCollation {
 public:
  // One character's weights; expandsTo is the byte whose weights follow
  // (0 when the character does not expand).
  struct TWeight {
    std::uint16_t primary = 0;
    std::uint8_t secondary = 0;
    std::uint8_t expandsTo = 0;
  };
  using TTable = std::array<TWeight, 256>;

  // A binary collation, or one over a weight table.
  TCollation(std::string_view driverName, std::uint8_t sortOrder, std::uint16_t codePage);
  TCollation(std::string_view driverName, std::uint8_t sortOrder, std::uint16_t codePage, const TTable& table);

  // Compares two alpha field values: negative, 0 or positive. Trailing NUL
  // bytes are padding and ignored, so fields of different widths compare
  // by their text; 0 only for values equal after the padding.
  int Compare(std::span<const std::byte> a, std::span<const std::byte> b) const;

  const std::string& DriverName() const { return driverName_; }
  std::uint8_t SortOrder() const { return sortOrder_; }
  // The code page the driver's characters are read in.
  std::uint16_t CodePage() const { return codePage_; }
  bool IsBinary() const { return !table_.has_value(); }
  // The weights of one byte (all zero for a binary collation).
  TWeight WeightOf(std::uint8_t byte) const;

 private:
  int CompareWeighted(std::span<const std::byte> a, std::span<const std::byte> b) const;

  std::string driverName_;
  std::uint8_t sortOrder_;
  std::uint16_t codePage_;
  std::optional<TTable> table_;
};

// The collation of a language driver by the name a table header records
// (compared without regard to case), or by its sort-order byte (header
// offset 0x29, for files that carry no name). Nothing for a driver whose
// order is not known. The collations live for the whole process.
const TCollation* FindCollation(std::string_view driverName);
const TCollation* FindCollationBySortOrder(std::uint8_t sortOrder);

// As FindCollation, but throws EDBEngineError NOTSUPPORTED naming the
// driver when its order is not known.
const TCollation& RequireCollation(std::string_view driverName);

// The names of the drivers with a known order.
std::span<const std::string_view> SupportedDrivers();

// One field of a key, as the table header describes it.
struct TKeyField {
  std::uint8_t type = 0;  // field type code; 1 = alpha
  std::size_t width = 0;  // bytes in the record
};

// Compares two keys laid out field after field (a record's leading key
// fields, or an index entry's): alpha fields by the collation, every other
// field by its bytes, whose encoding sorts as its value does. The first
// field that differs decides.
int CompareKeys(const TCollation& collation, std::span<const TKeyField> fields, const std::byte* a, const std::byte* b);

// Checks a run of records (or index entries) of recordSize bytes that
// should be in ascending key order, the key being the leading fields. Gives
// the index of the first record that sorts before its predecessor, or
// nothing when all are in order. Equal neighbours count as in order.
std::optional<std::size_t> FirstOutOfOrder(const TCollation& collation, std::span<const TKeyField> fields,
                                           std::span<const std::byte> records, std::size_t recordSize);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_INDEX_COLLATION_H_
