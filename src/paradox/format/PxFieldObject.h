// One field of a raw table file's record, as the raw reader (TPxObject)
// describes it: type code, name, position and size from the file header, and
// decoders that turn the field's bytes in the reader's current record into a
// number or a text.
//
// Field values inside records are stored big-endian with a modified sign bit
// (see paradox/Coding.h); DecodeValue turns them into little-endian values of
// the machine's order, which AsShort, AsLong and AsDouble then read.
//
// Every accessor of the field's bytes goes through the owning reader's
// RecordData and so can throw what RecordData throws (env::EReadError).
// A field that the header places beyond the end of the record raises
// env::EReadError as well; no decoder ever reads outside the record.
#ifndef REMDO_PARADOX_FORMAT_PXFIELDOBJECT_H_
#define REMDO_PARADOX_FORMAT_PXFIELDOBJECT_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "paradox/format/FieldType.h"

namespace remdo::paradox {

class TPxObject;

// Field type codes as stored in a table header. The reader works on the
// raw byte, since a damaged header may hold a byte that names no type; the
// codes themselves are those of TFieldType.
namespace fieldtype {
constexpr std::uint8_t Code(TFieldType type) { return static_cast<std::uint8_t>(type); }
constexpr std::uint8_t kAlpha = Code(TFieldType::kAlpha);
constexpr std::uint8_t kDate = Code(TFieldType::kDate);
constexpr std::uint8_t kShort = Code(TFieldType::kShort);
constexpr std::uint8_t kLong = Code(TFieldType::kLong);
constexpr std::uint8_t kMoney = Code(TFieldType::kMoney);
constexpr std::uint8_t kNumber = Code(TFieldType::kNumber);
constexpr std::uint8_t kLogical = Code(TFieldType::kLogical);
constexpr std::uint8_t kMemo = Code(TFieldType::kMemo);
constexpr std::uint8_t kBlob = Code(TFieldType::kBlob);
constexpr std::uint8_t kFormattedMemo = Code(TFieldType::kFormattedMemo);
constexpr std::uint8_t kOle = Code(TFieldType::kOle);
constexpr std::uint8_t kGraphic = Code(TFieldType::kGraphic);
constexpr std::uint8_t kTime = Code(TFieldType::kTime);
constexpr std::uint8_t kTimestamp = Code(TFieldType::kTimestamp);
constexpr std::uint8_t kAutoIncrement = Code(TFieldType::kAutoIncrement);
constexpr std::uint8_t kBcd = Code(TFieldType::kBcd);
constexpr std::uint8_t kBytes = Code(TFieldType::kBytes);

// Width of a BCD field in the record, whatever its size byte says.
using paradox::kBcdWidth;

// Memo, BLOB, formatted memo, OLE and graphic: a leader in the record
// followed by a 10-byte descriptor of the data in the memo file.
constexpr bool IsBlob(std::uint8_t type) { return type >= kMemo && type <= kGraphic; }
// Types stored in the numeric scheme (big-endian, sign bit flipped).
constexpr bool IsNumeric(std::uint8_t type) {
  return (type >= kDate && type <= kNumber) || (type >= kTime && type <= kAutoIncrement);
}
// Numeric types that hold an 8-byte floating value.
constexpr bool IsFloating(std::uint8_t type) {
  return type == kMoney || type == kNumber || type == kTimestamp;
}
}  // namespace fieldtype

// The largest width a field can have (its size byte is one byte).
constexpr std::size_t kMaxFieldWidth = 255;

// A decoded field value; bytes past the field's width are zero.
using TFieldValue = std::array<std::byte, kMaxFieldWidth + 1>;

class TPxFieldObject {
 public:
  // owner may be null: such a field has no bytes (RawBytes is empty).
  TPxFieldObject(TPxObject* owner, std::uint8_t typeCode, std::string name, int number, std::uint8_t sizeByte,
                 int offset);
  TPxFieldObject(const TPxFieldObject&) = delete;
  TPxFieldObject& operator=(const TPxFieldObject&) = delete;

  std::uint8_t TypeCode() const { return typeCode_; }
  const std::string& Name() const { return name_; }
  // 0-based position in the record.
  int Number() const { return number_; }
  std::uint8_t SizeByte() const { return sizeByte_; }
  // Offset of the field's first byte within the record: the sum of the
  // widths of the fields before it.
  int Offset() const { return offset_; }
  // Bytes the field occupies: 17 for BCD, else the size byte.
  int Width() const;
  TPxObject* Owner() const { return owner_; }
  const TPxFieldObject* Previous() const { return previous_; }
  const TPxFieldObject* Next() const { return next_; }

  // The field's Width() bytes in the owner's current record, valid until the
  // reader moves. Empty without owner or for width 0. Throws env::EReadError
  // when the field lies beyond the end of the record, and whatever the
  // owner's RecordData throws.
  std::span<const std::byte> RawBytes() const;
  // True when the width is 0 or all the field's bytes are zero (blank).
  bool IsEmpty() const;

  // Writes the value in the machine's order into destination and zeroes the
  // rest of it. Numeric types that are not blank are turned from big-endian
  // with the flipped sign bit into little-endian; a negative floating value
  // (money, number, timestamp: top bit clear) has all its bytes inverted.
  // Other types, and blank values, are copied unchanged.
  void DecodeValue(TFieldValue& destination) const;
  // The first 2, 4 or 8 bytes of the decoded value read as that type.
  std::int16_t AsShort() const;
  std::int32_t AsLong() const;
  double AsDouble() const;
  // True when the low seven bits of the value's first byte are not all zero.
  bool AsLogical() const;
  // The field's bytes, cut before the first NUL byte (in the table's code
  // page; no conversion).
  std::string AsText() const;

  // The field's value as a number, by type code:
  //  alpha: the trimmed text read as a decimal number, 0 when it is not one;
  //  date, long, time, autoincrement: the signed 32-bit value;
  //  short: the signed 16-bit value;
  //  money, number, timestamp: the 8-byte floating value (a timestamp counts
  //    milliseconds since the start of day 0);
  //  logical: 1 or 0; every other type (blob types, BCD, bytes, unknown): 0.
  // AsInteger rounds floating values to the nearest integer, ties to even,
  // and saturates at the limits of its type (NaN gives 0).
  double AsFloat() const;
  std::int64_t AsInteger() const;

 private:
  friend class TPxObject;  // links the fields into their list

  TPxObject* const owner_;
  const std::uint8_t typeCode_;
  const std::string name_;
  const int number_;
  const std::uint8_t sizeByte_;
  const int offset_;
  const TPxFieldObject* previous_ = nullptr;
  const TPxFieldObject* next_ = nullptr;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FORMAT_PXFIELDOBJECT_H_
