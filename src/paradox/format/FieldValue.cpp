// Field value conversions. Numbers are stored in the order-keeping encoding
// of Coding.h; dates are day numbers, times milliseconds of the day,
// timestamps milliseconds since day 0; BCD holds 32 decimal digits.
#include "paradox/format/FieldValue.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "env/CodePage.h"
#include "env/Text.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"

namespace remdo::paradox {

namespace {

constexpr std::int32_t kMaxDayNumber = 3652059;  // 31 December 9999

[[noreturn]] void Refuse(const TFieldRef& ref, std::uint16_t code, std::string_view what) {
  throw EngineError(code, "Field \"" + ref.field.name + "\": " + std::string(what));
}

int Width(const TFieldRef& ref) { return ref.field.Width(); }

bool IsIntegerStored(TFieldType type) {
  switch (type) {
    case TFieldType::kShort:
    case TFieldType::kLong:
    case TFieldType::kAutoIncrement:
    case TFieldType::kDate:
    case TFieldType::kTime:
    case TFieldType::kLogical: return true;
    default: return false;
  }
}

bool IsFloatStored(TFieldType type) {
  return type == TFieldType::kNumber || type == TFieldType::kMoney || type == TFieldType::kTimestamp;
}

std::int64_t RoundHalfEven(const TFieldRef& ref, double value) {
  if (!std::isfinite(value) || std::fabs(value) > 9.2e18) Refuse(ref, kDbiErrOutOfRange, "value out of range");
  return static_cast<std::int64_t>(std::nearbyint(value));
}

void PutInteger(const TFieldRef& ref, std::int64_t value) {
  std::int64_t low = 0;
  std::int64_t high = 0;
  switch (ref.field.type) {
    case TFieldType::kShort: low = -32767, high = 32767; break;
    case TFieldType::kLong:
    case TFieldType::kAutoIncrement: low = -2147483647, high = 2147483647; break;
    case TFieldType::kDate: low = 1, high = kMaxDayNumber; break;
    case TFieldType::kTime: low = 0, high = 86399999; break;
    default: low = 0, high = 1; break;  // logical
  }
  if (ref.field.type == TFieldType::kLogical) value = value != 0 ? 1 : 0;
  if (value < low || value > high) Refuse(ref, kDbiErrOutOfRange, "value " + std::to_string(value) + " out of range");
  EncodeFieldInteger(ref.bytes, value, Width(ref));
}

std::string FormatFloat(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

std::string TwoDigits(int value) { return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10); }

std::string DateText(std::int32_t dayNumber) {
  int year = 0, month = 0, day = 0;
  CalendarDate(dayNumber, year, month, day);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

std::string TimeText(std::int64_t milliseconds) {
  const auto seconds = static_cast<int>(milliseconds / 1000);
  return TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60);
}

bool ParseInteger(std::string_view text, std::int64_t& value) {
  text = env::Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool ParseFloat(std::string_view text, double& value) {
  const std::string trimmed(env::Trim(text));
  if (trimmed.empty()) return false;
  char* end = nullptr;
  value = std::strtod(trimmed.c_str(), &end);
  return end == trimmed.c_str() + trimmed.size() && std::isfinite(value);
}

bool ParseDate(std::string_view text, std::int32_t& dayNumber) {
  int year = 0, month = 0, day = 0;
  char tail = 0;
  const std::string trimmed(env::Trim(text));
  if (std::sscanf(trimmed.c_str(), "%d-%d-%d%c", &year, &month, &day, &tail) != 3) return false;
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return false;
  dayNumber = DayNumber(year, month, day);
  int y = 0, m = 0, d = 0;
  CalendarDate(dayNumber, y, m, d);
  return d == day;
}

bool ParseTime(std::string_view text, std::int64_t& milliseconds) {
  int hours = 0, minutes = 0, seconds = 0;
  char tail = 0;
  const std::string trimmed(env::Trim(text));
  const int got = std::sscanf(trimmed.c_str(), "%d:%d:%d%c", &hours, &minutes, &seconds, &tail);
  if (got < 2 || got > 3 || hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59) {
    return false;
  }
  milliseconds = ((hours * 60LL + minutes) * 60 + seconds) * 1000;
  return true;
}

// --- BCD: byte 0 sign (bit 7 set = positive), bit 6 set, bits 0-5 decimals;
// bytes 1-16 hold 32 digits, complemented for negative values.
std::string BcdText(const TFieldRef& ref) {
  const auto head = std::to_integer<unsigned>(ref.bytes[0]);
  const bool negative = (head & 0x80) == 0;
  const int decimals = static_cast<int>(head & 0x3F);
  std::string digits;
  for (int i = 0; i < 32; ++i) {
    unsigned byte = std::to_integer<unsigned>(ref.bytes[1 + i / 2]);
    if (negative) byte ^= 0xFF;
    const unsigned digit = i % 2 == 0 ? byte >> 4 : byte & 0x0F;
    digits.push_back(static_cast<char>('0' + (digit > 9 ? 0 : digit)));
  }
  std::string whole = digits.substr(0, static_cast<std::size_t>(32 - std::min(decimals, 32)));
  const std::string fraction = digits.substr(whole.size());
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  if (whole.empty()) whole = "0";
  const bool zero = whole == "0" && fraction.find_first_not_of('0') == std::string::npos;
  return std::string(negative && !zero ? "-" : "") + whole + (fraction.empty() ? "" : "." + fraction);
}

void PutBcd(const TFieldRef& ref, double value) {
  const int decimals = std::min<int>(ref.field.size, 32);
  char text[400];
  std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(value));
  std::string digits;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c != '.') digits.push_back(*c);
  }
  if (!std::isfinite(value) || digits.size() > 32) Refuse(ref, kDbiErrOutOfRange, "value out of range");
  digits.insert(0, 32 - digits.size(), '0');
  const bool negative = value < 0 && digits.find_first_not_of('0') != std::string::npos;
  ref.bytes[0] = static_cast<std::byte>((negative ? 0x00 : 0x80) | 0x40 | decimals);
  for (int i = 0; i < 16; ++i) {
    unsigned byte = static_cast<unsigned>((digits[2 * i] - '0') << 4 | (digits[2 * i + 1] - '0'));
    if (negative) byte ^= 0xFF;
    ref.bytes[1 + i] = static_cast<std::byte>(byte);
  }
}

// --- Blob fields: only values that live in the record itself (no longer than
// the leader) are handled here; values in the memo file need the memo file.
std::size_t LeaderSize(const TFieldRef& ref) { return static_cast<std::size_t>(Width(ref) - kBlobReferenceSize); }

std::string BlobText(const TFieldRef& ref) {
  const std::byte* reference = ref.bytes + LeaderSize(ref);
  const std::uint32_t length = GetU32(reference + 4);
  if (GetU32(reference) != 0 || length > LeaderSize(ref)) {
    Refuse(ref, kDbiErrNotSupported, "the value is kept in the memo file, which this engine does not read yet");
  }
  return std::string(reinterpret_cast<const char*>(ref.bytes), length);
}

void PutBlobText(const TFieldRef& ref, std::string_view text) {
  if (text.size() > LeaderSize(ref)) {
    Refuse(ref, kDbiErrNotSupported, "values longer than the field's leader need the memo file, not written yet");
  }
  std::memset(ref.bytes, 0, static_cast<std::size_t>(Width(ref)));
  std::memcpy(ref.bytes, text.data(), text.size());
  PutU32(ref.bytes + LeaderSize(ref) + 4, static_cast<std::uint32_t>(text.size()));
}

std::string ToTableText(const TFieldRef& ref, std::string_view text) { return TextToTable(text, ref.codePage); }

std::string FromTableText(const TFieldRef& ref, std::string_view text) { return TextFromTable(text, ref.codePage); }

}  // namespace

std::string TextToTable(std::string_view text, std::uint16_t codePage) {
  if (codePage == 0 || codePage == env::kCodePageWindowsLatin1) return std::string(text);
  return env::ConvertCodePage(text, env::kCodePageWindowsLatin1, codePage);
}

std::string TextFromTable(std::string_view text, std::uint16_t codePage) {
  if (codePage == 0 || codePage == env::kCodePageWindowsLatin1) return std::string(text);
  return env::ConvertCodePage(text, codePage, env::kCodePageWindowsLatin1);
}

// Days from the civil calendar: the proleptic Gregorian count with day 1 on
// 1 January 0001.
std::int32_t DayNumber(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = y / 400;
  const int yearOfEra = y - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 305;
}

void CalendarDate(std::int32_t dayNumber, int& year, int& month, int& day) {
  const std::int32_t z = dayNumber + 305;
  const std::int32_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int32_t dayOfEra = z - era * 146097;
  const std::int32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int32_t mp = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

bool FieldIsNull(const TFieldRef& ref) { return IsAllZero(ref.bytes, static_cast<std::size_t>(Width(ref))); }

void ClearField(const TFieldRef& ref) { std::memset(ref.bytes, 0, static_cast<std::size_t>(Width(ref))); }

std::string GetFieldText(const TFieldRef& ref) {
  if (FieldIsNull(ref)) return {};
  const TFieldType type = ref.field.type;
  switch (type) {
    case TFieldType::kAlpha: {
      const auto* text = reinterpret_cast<const char*>(ref.bytes);
      return FromTableText(ref, std::string_view(text, strnlen(text, static_cast<std::size_t>(Width(ref)))));
    }
    case TFieldType::kBytes: return std::string(reinterpret_cast<const char*>(ref.bytes), static_cast<std::size_t>(Width(ref)));
    case TFieldType::kLogical: return GetFieldBoolean(ref) ? "True" : "False";
    case TFieldType::kDate: return DateText(static_cast<std::int32_t>(GetFieldInteger(ref)));
    case TFieldType::kTime: return TimeText(GetFieldInteger(ref));
    case TFieldType::kTimestamp: {
      const double ms = DecodeFieldDouble(ref.bytes);
      const auto days = static_cast<std::int32_t>(std::floor(ms / kMillisecondsPerDay));
      return DateText(days) + " " + TimeText(static_cast<std::int64_t>(ms - days * kMillisecondsPerDay));
    }
    case TFieldType::kBcd: return BcdText(ref);
    case TFieldType::kNumber:
    case TFieldType::kMoney: return FormatFloat(DecodeFieldDouble(ref.bytes));
    default:
      if (IsBlobType(type)) return FromTableText(ref, BlobText(ref));
      return std::to_string(DecodeFieldInteger(ref.bytes, Width(ref)));
  }
}

void SetFieldText(const TFieldRef& ref, std::string_view text) {
  const TFieldType type = ref.field.type;
  if (text.empty()) return ClearField(ref);
  if (type == TFieldType::kAlpha || type == TFieldType::kBytes) {
    const std::string stored = type == TFieldType::kAlpha ? ToTableText(ref, text) : std::string(text);
    ClearField(ref);
    std::memcpy(ref.bytes, stored.data(), std::min(stored.size(), static_cast<std::size_t>(Width(ref))));
    return;
  }
  if (IsBlobType(type)) return PutBlobText(ref, ToTableText(ref, text));
  std::int64_t integer = 0;
  double number = 0;
  std::int32_t dayNumber = 0;
  switch (type) {
    case TFieldType::kLogical: {
      const std::string_view value = env::Trim(text);
      if (env::SameText(value, "True") || value == "1") return SetFieldBoolean(ref, true);
      if (env::SameText(value, "False") || value == "0") return SetFieldBoolean(ref, false);
      break;
    }
    case TFieldType::kDate:
      if (ParseDate(text, dayNumber)) return PutInteger(ref, dayNumber);
      break;
    case TFieldType::kTime:
      if (ParseTime(text, integer)) return PutInteger(ref, integer);
      break;
    case TFieldType::kTimestamp: {
      const std::string_view trimmed = env::Trim(text);
      const std::size_t blank = trimmed.find(' ');
      if (ParseDate(trimmed.substr(0, blank), dayNumber) &&
          (blank == std::string_view::npos || ParseTime(trimmed.substr(blank + 1), integer))) {
        return EncodeFieldDouble(ref.bytes, dayNumber * kMillisecondsPerDay + static_cast<double>(integer));
      }
      break;
    }
    default:
      if (IsFloatStored(type) || type == TFieldType::kBcd) {
        if (ParseFloat(text, number)) return SetFieldFloat(ref, number);
      } else if (ParseInteger(text, integer)) {
        return PutInteger(ref, integer);
      }
      break;
  }
  Refuse(ref, kDbiErrInvalidFldXform, "'" + std::string(text) + "' is not a valid value");
}

std::int64_t GetFieldInteger(const TFieldRef& ref) {
  const TFieldType type = ref.field.type;
  if (FieldIsNull(ref)) return 0;
  if (IsIntegerStored(type)) return DecodeFieldInteger(ref.bytes, Width(ref));
  if (type == TFieldType::kNumber || type == TFieldType::kMoney || type == TFieldType::kBcd) {
    return RoundHalfEven(ref, GetFieldFloat(ref));
  }
  if (type == TFieldType::kAlpha) {
    std::int64_t value = 0;
    if (!ParseInteger(GetFieldText(ref), value)) Refuse(ref, kDbiErrInvalidFldXform, "the text is not an integer");
    return value;
  }
  Refuse(ref, kDbiErrInvalidFldXform, "the value cannot be read as an integer");
}

void SetFieldInteger(const TFieldRef& ref, std::int64_t value) {
  const TFieldType type = ref.field.type;
  if (IsIntegerStored(type)) return PutInteger(ref, value);
  if (type == TFieldType::kNumber || type == TFieldType::kMoney || type == TFieldType::kBcd) {
    return SetFieldFloat(ref, static_cast<double>(value));
  }
  if (type == TFieldType::kAlpha) return SetFieldText(ref, std::to_string(value));
  Refuse(ref, kDbiErrInvalidFldXform, "an integer cannot be stored in this field");
}

double GetFieldFloat(const TFieldRef& ref) {
  const TFieldType type = ref.field.type;
  if (FieldIsNull(ref)) return 0.0;
  switch (type) {
    case TFieldType::kNumber:
    case TFieldType::kMoney: return DecodeFieldDouble(ref.bytes);
    case TFieldType::kDate:
    case TFieldType::kTime:
    case TFieldType::kTimestamp: return GetFieldDateTime(ref);
    case TFieldType::kBcd: return std::strtod(BcdText(ref).c_str(), nullptr);
    case TFieldType::kAlpha: {
      double value = 0;
      if (!ParseFloat(GetFieldText(ref), value)) Refuse(ref, kDbiErrInvalidFldXform, "the text is not a number");
      return value;
    }
    default:
      if (IsIntegerStored(type)) return static_cast<double>(DecodeFieldInteger(ref.bytes, Width(ref)));
      Refuse(ref, kDbiErrInvalidFldXform, "the value cannot be read as a number");
  }
}

void SetFieldFloat(const TFieldRef& ref, double value) {
  const TFieldType type = ref.field.type;
  if (!std::isfinite(value)) Refuse(ref, kDbiErrOutOfRange, "value out of range");
  switch (type) {
    case TFieldType::kNumber:
    case TFieldType::kMoney: return EncodeFieldDouble(ref.bytes, value);
    case TFieldType::kDate:
    case TFieldType::kTime:
    case TFieldType::kTimestamp: return SetFieldDateTime(ref, value);
    case TFieldType::kBcd: return PutBcd(ref, value);
    case TFieldType::kAlpha: return SetFieldText(ref, FormatFloat(value));
    default:
      if (IsIntegerStored(type)) return PutInteger(ref, RoundHalfEven(ref, value));
      Refuse(ref, kDbiErrInvalidFldXform, "a number cannot be stored in this field");
  }
}

bool GetFieldBoolean(const TFieldRef& ref) {
  if (FieldIsNull(ref)) return false;
  if (ref.field.type == TFieldType::kAlpha) return env::SameText(env::Trim(GetFieldText(ref)), "True");
  return GetFieldInteger(ref) != 0;
}

void SetFieldBoolean(const TFieldRef& ref, bool value) {
  if (ref.field.type == TFieldType::kAlpha) return SetFieldText(ref, value ? "True" : "False");
  SetFieldInteger(ref, value ? 1 : 0);
}

TDateTime GetFieldDateTime(const TFieldRef& ref) {
  if (FieldIsNull(ref)) return 0.0;
  switch (ref.field.type) {
    case TFieldType::kDate: return static_cast<double>(DecodeFieldInteger(ref.bytes, 4) - kDateDelta);
    case TFieldType::kTime: return static_cast<double>(DecodeFieldInteger(ref.bytes, 4)) / kMillisecondsPerDay;
    case TFieldType::kTimestamp: return DecodeFieldDouble(ref.bytes) / kMillisecondsPerDay - kDateDelta;
    case TFieldType::kAlpha: {
      std::int32_t dayNumber = 0;
      if (!ParseDate(GetFieldText(ref), dayNumber)) Refuse(ref, kDbiErrInvalidFldXform, "the text is not a date");
      return static_cast<double>(dayNumber - kDateDelta);
    }
    default: return GetFieldFloat(ref);
  }
}

void SetFieldDateTime(const TFieldRef& ref, TDateTime value) {
  if (!std::isfinite(value)) Refuse(ref, kDbiErrOutOfRange, "value out of range");
  switch (ref.field.type) {
    case TFieldType::kDate: return PutInteger(ref, static_cast<std::int64_t>(std::floor(value)) + kDateDelta);
    case TFieldType::kTime: {
      const double fraction = value - std::floor(value);
      return PutInteger(ref, std::min<std::int64_t>(86399999, std::llround(fraction * kMillisecondsPerDay)));
    }
    case TFieldType::kTimestamp: {
      const double ms = std::round((value + kDateDelta) * kMillisecondsPerDay);
      if (ms < kMillisecondsPerDay || ms >= (kMaxDayNumber + 1.0) * kMillisecondsPerDay) {
        Refuse(ref, kDbiErrOutOfRange, "value out of range");
      }
      return EncodeFieldDouble(ref.bytes, ms);
    }
    case TFieldType::kAlpha: {
      const auto day = static_cast<std::int32_t>(std::floor(value)) + kDateDelta;
      return SetFieldText(ref, day >= 1 && day <= kMaxDayNumber ? DateText(day) : FormatFloat(value));
    }
    default: return SetFieldFloat(ref, value);
  }
}

void SetFieldValue(const TFieldRef& ref, const TValue& value) {
  switch (value.Kind()) {
    case TValue::TKind::kNull: return ClearField(ref);
    case TValue::TKind::kInteger: return SetFieldInteger(ref, value.Integer());
    case TValue::TKind::kFloat: return SetFieldFloat(ref, value.Float());
    case TValue::TKind::kBoolean: return SetFieldBoolean(ref, value.Integer() != 0);
    case TValue::TKind::kText: return SetFieldText(ref, value.Text());
  }
}

}  // namespace remdo::paradox
