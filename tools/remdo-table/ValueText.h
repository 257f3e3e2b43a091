// Field values as text for remdo-table's CSV output: numbers in their
// shortest exact form, dates and times in ISO 8601, logical values as
// true/false, BCD as decimal text, bytes as hexadecimal, alpha and memo
// texts converted from the table's code page to UTF-8. Blank fields are
// empty texts.
#ifndef REMDO_TOOLS_REMDO_TABLE_VALUETEXT_H_
#define REMDO_TOOLS_REMDO_TABLE_VALUETEXT_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "paradox/PxFieldObject.h"

namespace remdo::tools {

// A date field's day number (1 = 0001-01-01) as "YYYY-MM-DD"; numbers
// outside the years 1 to 9999 as the plain number.
std::string DateText(std::int64_t days);
// Milliseconds since midnight as "HH:MM:SS" or "HH:MM:SS.mmm"; values
// outside one day as the plain number.
std::string TimeText(std::int64_t milliseconds);
// Milliseconds since the start of day 0 as "YYYY-MM-DDTHH:MM:SS[.mmm]";
// values outside the years 1 to 9999 as a plain number.
std::string TimestampText(double milliseconds);
// The shortest text that reads back as the same double.
std::string NumberText(double value);
// A 17-byte BCD value: sign, integer digits, and as many fraction digits as
// its first byte gives; digit nibbles above 9 (the engine leaves them
// beyond about 20 significant digits) end the text. Blank (empty text) when
// bit 6 of the first byte, set in every value, is clear.
std::string BcdText(std::span<const std::byte> bytes);
// Upper-case hexadecimal, two digits per byte.
std::string HexText(std::span<const std::byte> bytes);

// The CSV text of a field of the reader's current record (UTF-8). Memo and
// formatted memo fields show the text of their in-record leader, the other
// blob types the leader's bytes in hexadecimal. Throws what the field's
// decoders throw.
std::string FieldText(const paradox::TPxFieldObject& field, std::uint16_t codePage);

// One CSV field (RFC 4180): quoted when it holds a comma, a quote, CR or LF,
// with quotes doubled.
std::string CsvField(std::string_view text);

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_REMDO_TABLE_VALUETEXT_H_
