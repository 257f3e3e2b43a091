// Field values as CSV text.
#include "remdo-table/ValueText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "env/CodePage.h"
#include "env/Text.h"

namespace remdo::tools {

namespace {

namespace ft = paradox::fieldtype;

constexpr std::int64_t kMsPerDay = 86400000;
constexpr std::int64_t kUnixEpochDay = 719163;  // 1970-01-01 as a date field's day number
constexpr std::int64_t kLastDay = 3652059;      // 9999-12-31

struct TCivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

// Proleptic Gregorian date of a count of days since 1970-01-01.
TCivilDate CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::string IsoDate(std::int64_t days) {
  const TCivilDate date = CivilFromDays(days - kUnixEpochDay);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year), date.month, date.day);
  return text;
}

std::string IsoTime(std::int64_t milliseconds) {
  char text[40];
  const auto seconds = milliseconds / 1000;
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  std::string out = text;
  if (milliseconds % 1000 != 0) {
    std::snprintf(text, sizeof text, ".%03d", static_cast<int>(milliseconds % 1000));
    out += text;
  }
  return out;
}

const char* BlobKindName(paradox::TBlobKind kind) {
  switch (kind) {
    case paradox::TBlobKind::kMemo: return "memo";
    case paradox::TBlobKind::kBinary: return "BLOB";
    case paradox::TBlobKind::kFormattedMemo: return "formatted memo";
    case paradox::TBlobKind::kOle: return "OLE value";
    case paradox::TBlobKind::kGraphic: return "graphic";
  }
  return "blob";
}

bool IsShownControl(unsigned char c) { return (c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F; }

}  // namespace

std::string DateText(std::int64_t days) {
  if (days < 1 || days > kLastDay) return std::to_string(days);
  return IsoDate(days);
}

std::string TimeText(std::int64_t milliseconds) {
  if (milliseconds < 0 || milliseconds >= kMsPerDay) return std::to_string(milliseconds);
  return IsoTime(milliseconds);
}

std::string TimestampText(double milliseconds) {
  if (!(milliseconds >= kMsPerDay && milliseconds < static_cast<double>((kLastDay + 1) * kMsPerDay))) {
    return NumberText(milliseconds);
  }
  const auto total = static_cast<std::int64_t>(std::llround(milliseconds));
  const std::int64_t days = total / kMsPerDay;
  if (days > kLastDay) return NumberText(milliseconds);
  return IsoDate(days) + "T" + IsoTime(total % kMsPerDay);
}

std::string NumberText(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string BcdText(std::span<const std::byte> bytes) {
  if (bytes.size() < 17) return HexText(bytes);
  const auto head = std::to_integer<unsigned>(bytes[0]);
  if ((head & 0x40) == 0) return "";  // blank: the engine keeps only the decimals count
  const bool negative = (head & 0x80) == 0;
  const unsigned decimals = std::min(head & 0x3Fu, 32u);
  std::string digits;
  for (std::size_t i = 1; i < 17; ++i) {
    const unsigned b = std::to_integer<unsigned>(bytes[i]) ^ (negative ? 0xFFu : 0u);
    digits.push_back(static_cast<char>('0' + (b >> 4)));
    digits.push_back(static_cast<char>('0' + (b & 0x0F)));
  }
  std::string integer = digits.substr(0, 32 - decimals);
  std::string fraction = digits.substr(32 - decimals);
  const auto junk = [](const std::string& s) { return s.find_first_not_of("0123456789"); };
  if (junk(integer) != std::string::npos) return HexText(bytes);  // not a decimal value at all
  if (const auto cut = junk(fraction); cut != std::string::npos) fraction.resize(cut);
  integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size()));
  if (integer.empty()) integer = "0";
  std::string text = (negative ? "-" : "") + integer;
  if (!fraction.empty()) text += "." + fraction;
  return text;
}

std::string HexText(std::span<const std::byte> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const auto b : bytes) {
    const auto v = std::to_integer<unsigned>(b);
    text.push_back(kDigits[v >> 4]);
    text.push_back(kDigits[v & 0x0F]);
  }
  return text;
}

std::string MemoText(std::span<const std::byte> value, std::uint16_t codePage) {
  std::string text;
  text.reserve(value.size());
  for (const std::byte& b : value) {
    const auto c = std::to_integer<unsigned char>(b);
    if (IsShownControl(c)) {
      text += "\\x" + HexText(std::span<const std::byte>(&b, 1));
    } else {
      text.push_back(static_cast<char>(c));
    }
  }
  return env::CodePageToUtf8(text, codePage);
}

std::string BlobText(paradox::TBlobKind kind, std::span<const std::byte> value, std::uint16_t codePage) {
  if (value.empty()) return "";
  if (kind == paradox::TBlobKind::kMemo || kind == paradox::TBlobKind::kFormattedMemo) {
    return MemoText(value, codePage);
  }
  return "<" + std::to_string(value.size()) + (value.size() == 1 ? " byte>" : " bytes>");
}

std::string UnreadableText(paradox::TBlobKind kind, std::string_view why) {
  return "<" + std::string(BlobKindName(kind)) + " unreadable: " + env::Cp1252ToUtf8(why) + ">";
}

std::string FieldText(const paradox::TPxFieldObject& field, std::uint16_t codePage, TBlobValues& blobs) {
  if (field.IsEmpty()) return "";
  if (const auto kind = paradox::BlobKindOf(field.TypeCode())) {
    std::string problem;
    const auto value = blobs.Read(field.RawBytes(), problem);
    return value ? BlobText(*kind, *value, codePage) : UnreadableText(*kind, problem);
  }
  switch (field.TypeCode()) {
    case ft::kAlpha: return env::CodePageToUtf8(field.AsText(), codePage);
    case ft::kDate: return DateText(field.AsLong());
    case ft::kShort: return std::to_string(field.AsShort());
    case ft::kLong:
    case ft::kAutoIncrement: return std::to_string(field.AsLong());
    case ft::kMoney:
    case ft::kNumber: return NumberText(field.AsDouble());
    case ft::kLogical: return field.AsLogical() ? "true" : "false";
    case ft::kTime: return TimeText(field.AsLong());
    case ft::kTimestamp: return TimestampText(field.AsDouble());
    case ft::kBcd: return BcdText(field.RawBytes());
    default: return HexText(field.RawBytes());
  }
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted.push_back('"');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

}  // namespace remdo::tools
