// Paradox field types as stored in a table header (one type byte and one
// size byte per field), their widths inside a record, the table level that
// first allows each of them, and the engine's creation codes (257 to 273)
// that name them when a table is created.
#ifndef REMDO_PARADOX_FORMAT_FIELDTYPE_H_
#define REMDO_PARADOX_FORMAT_FIELDTYPE_H_

#include <cstdint>
#include <optional>

namespace remdo::paradox {

enum class TFieldType : std::uint8_t {
  kAlpha = 0x01,
  kDate = 0x02,
  kShort = 0x03,
  kLong = 0x04,
  kMoney = 0x05,
  kNumber = 0x06,
  kLogical = 0x09,
  kMemo = 0x0C,
  kBlob = 0x0D,
  kFormattedMemo = 0x0E,
  kOle = 0x0F,
  kGraphic = 0x10,
  kTime = 0x14,
  kTimestamp = 0x15,
  kAutoIncrement = 0x16,
  kBcd = 0x17,
  kBytes = 0x18,
};

// Bytes of the blob reference that follows a blob field's leader.
inline constexpr int kBlobReferenceSize = 10;
// The width of every BCD field, whatever its size byte says.
inline constexpr int kBcdWidth = 17;

// The type of a stored type byte, or nothing for a byte no table may hold.
std::optional<TFieldType> FieldTypeFromByte(std::uint8_t code);

// True for memo, BLOB, formatted memo, OLE and graphic fields.
bool IsBlobType(TFieldType type);

// True for the types whose stored bytes are a number in the order-keeping
// encoding (every type but alpha, bytes and the blob types).
bool IsNumericType(TFieldType type);

// True when a size byte is valid for the type: alpha and bytes 1 to 255,
// memo 11 to 250, the other blob types 10 to 250, BCD 0 to 32, every fixed
// type exactly its width.
bool IsValidFieldSize(TFieldType type, int size);

// The width of a field in the record: the size byte, except BCD (17).
int FieldWidth(TFieldType type, int size);

// The fixed width of a type that has one (date 4, short 2, ...), else 0.
int FixedWidth(TFieldType type);

// The lowest table level whose tables may hold the type: 3 for alpha,
// number, money, date and short; 4 for the blob types; 5 for the rest.
int MinimumLevel(TFieldType type);

// The field type named by an engine creation code (257 alpha ... 273 BCD),
// and the code of a type.
std::optional<TFieldType> FieldTypeFromEngineCode(std::uint16_t engineCode);
std::uint16_t EngineCodeOfType(TFieldType type);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FORMAT_FIELDTYPE_H_
