// Field decoding of the raw table reader.
//
// Stored numeric values (date, short, long, money, number, time, timestamp,
// autoincrement) are big-endian. Integers have the top bit of their first
// byte flipped; floating values have it set when the value is 0 or more and
// all their bytes inverted when it is negative. All zero bytes mean blank.
// DecodeValue undoes the sign scheme and reverses the bytes, so the result
// is the little-endian value.
#include "paradox/format/PxFieldObject.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <utility>

#include "env/Errors.h"
#include "env/Text.h"
#include "paradox/codes/Coding.h"
#include "paradox/format/PxObject.h"

namespace remdo::paradox {

namespace {

// Reads a whole text as a decimal number ("12", "-3.5", "+1e3"); nothing else
// counts, so words, "inf" and "nan" are not numbers.
bool ParseDecimal(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return false;
  }
  bool digit = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E') {
      return false;
    }
  }
  if (!digit) return false;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

// Nearest integer, ties to even, held inside the range of std::int64_t.
std::int64_t RoundToInteger(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (value >= kLimit) return INT64_MAX;
  if (value < -kLimit) return INT64_MIN;
  // The default rounding mode rounds halves to even.
  return static_cast<std::int64_t>(std::nearbyint(value));
}

}  // namespace

TPxFieldObject::TPxFieldObject(TPxObject* owner, std::uint8_t typeCode, std::string name, int number,
                               std::uint8_t sizeByte, int offset)
    : owner_(owner), typeCode_(typeCode), name_(std::move(name)), number_(number), sizeByte_(sizeByte),
      offset_(offset) {}

int TPxFieldObject::Width() const { return typeCode_ == fieldtype::kBcd ? fieldtype::kBcdWidth : sizeByte_; }

std::span<const std::byte> TPxFieldObject::RawBytes() const {
  if (owner_ == nullptr) return {};
  const std::span<const std::byte> record = owner_->RecordData();
  const auto width = static_cast<std::size_t>(Width());
  if (static_cast<std::size_t>(offset_) + width > record.size()) {
    throw env::EReadError("Field \"" + name_ + "\" (offset " + std::to_string(offset_) + ", width " +
                          std::to_string(width) + ") lies beyond the end of the " +
                          std::to_string(record.size()) + "-byte record.");
  }
  return record.subspan(static_cast<std::size_t>(offset_), width);
}

bool TPxFieldObject::IsEmpty() const {
  if (Width() == 0) return true;
  const auto bytes = RawBytes();
  return IsAllZero(bytes.data(), bytes.size());
}

void TPxFieldObject::DecodeValue(TFieldValue& destination) const {
  destination.fill(std::byte{0});
  const auto bytes = RawBytes();
  const std::size_t width = bytes.size();
  if (width == 0) return;
  if (!fieldtype::IsNumeric(typeCode_) || IsAllZero(bytes.data(), width)) {
    std::memcpy(destination.data(), bytes.data(), width);
    return;
  }
  // A floating value with its top bit clear is negative: every byte was
  // inverted when it was stored. Otherwise only the top bit was flipped.
  const bool invertAll = fieldtype::IsFloating(typeCode_) && (bytes[0] & std::byte{0x80}) == std::byte{0};
  for (std::size_t i = 0; i < width; ++i) {
    std::byte b = bytes[i];
    if (invertAll) {
      b = ~b;
    } else if (i == 0) {
      b ^= std::byte{0x80};
    }
    destination[width - 1 - i] = b;
  }
}

std::int16_t TPxFieldObject::AsShort() const {
  TFieldValue value{};
  DecodeValue(value);
  return GetS16(value.data());
}

std::int32_t TPxFieldObject::AsLong() const {
  TFieldValue value{};
  DecodeValue(value);
  return GetS32(value.data());
}

double TPxFieldObject::AsDouble() const {
  TFieldValue value{};
  DecodeValue(value);
  const std::uint64_t bits = GetU32(value.data()) | (static_cast<std::uint64_t>(GetU32(value.data() + 4)) << 32);
  return std::bit_cast<double>(bits);
}

bool TPxFieldObject::AsLogical() const {
  TFieldValue value{};
  DecodeValue(value);
  return (value[0] & std::byte{0x7F}) != std::byte{0};
}

std::string TPxFieldObject::AsText() const {
  const auto bytes = RawBytes();
  std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const auto nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

double TPxFieldObject::AsFloat() const {
  switch (typeCode_) {
    case fieldtype::kAlpha: {
      double value = 0;
      return ParseDecimal(env::Trim(AsText()), value) ? value : 0.0;
    }
    case fieldtype::kDate:
    case fieldtype::kLong:
    case fieldtype::kTime:
    case fieldtype::kAutoIncrement: return AsLong();
    case fieldtype::kShort: return AsShort();
    case fieldtype::kMoney:
    case fieldtype::kNumber:
    case fieldtype::kTimestamp: return AsDouble();
    case fieldtype::kLogical: return AsLogical() ? 1.0 : 0.0;
    default: return 0.0;
  }
}

std::int64_t TPxFieldObject::AsInteger() const {
  switch (typeCode_) {
    case fieldtype::kDate:
    case fieldtype::kLong:
    case fieldtype::kTime:
    case fieldtype::kAutoIncrement: return AsLong();
    case fieldtype::kShort: return AsShort();
    case fieldtype::kLogical: return AsLogical() ? 1 : 0;
    case fieldtype::kAlpha:
    case fieldtype::kMoney:
    case fieldtype::kNumber:
    case fieldtype::kTimestamp: return RoundToInteger(AsFloat());
    default: return 0;
  }
}

}  // namespace remdo::paradox
