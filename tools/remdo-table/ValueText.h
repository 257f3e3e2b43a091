// Field values as text for remdo-table's CSV output: numbers in their
// shortest exact form, dates and times in ISO 8601, logical values as
// true/false, BCD as decimal text, bytes as hexadecimal, alpha and memo
// texts converted from the table's code page to UTF-8, binary, OLE and
// graphic values as their size. Blank fields are empty texts.
#ifndef REMDO_TOOLS_REMDO_TABLE_VALUETEXT_H_
#define REMDO_TOOLS_REMDO_TABLE_VALUETEXT_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/PxFieldObject.h"
#include "remdo-table/BlobValues.h"

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

// A memo's text in UTF-8: every byte of the value converted from the code
// page, except control bytes other than tab, CR and LF (a memo's line
// breaks), which are shown as \xNN so that the dump stays readable text.
std::string MemoText(std::span<const std::byte> value, std::uint16_t codePage);
// The text of a whole blob value: memo and formatted memo values as
// MemoText, binary, OLE and graphic values as "<N bytes>" (N the value's
// length, an OLE or graphic value's 8-byte prefix included); a blank value
// (length 0) as the empty text.
std::string BlobText(paradox::TBlobKind kind, std::span<const std::byte> value, std::uint16_t codePage);
// What stands for a value that cannot be read: "<memo unreadable: why>",
// "<graphic unreadable: why>", ... (why in Windows-1252, shown as UTF-8).
std::string UnreadableText(paradox::TBlobKind kind, std::string_view why);

// The CSV text of a field of the reader's current record (UTF-8). Blob
// fields show their whole value as blobs reads it (BlobText), or
// UnreadableText when it cannot be read (blobs counts those). Throws what
// the field's decoders throw; a blob value's problems are never thrown.
std::string FieldText(const paradox::TPxFieldObject& field, std::uint16_t codePage, TBlobValues& blobs);

// One CSV field (RFC 4180): quoted when it holds a comma, a quote, CR or LF,
// with quotes doubled.
std::string CsvField(std::string_view text);

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_REMDO_TABLE_VALUETEXT_H_
