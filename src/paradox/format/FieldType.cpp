// Field type facts in one table, so that widths, levels and creation codes
// cannot drift apart.
#include "paradox/format/FieldType.h"

#include <array>

namespace remdo::paradox {

namespace {

struct TTypeFacts {
  TFieldType type;
  int fixedWidth;         // 0 for sized types
  int minimumLevel;
  std::uint16_t engineCode;
};

constexpr std::array<TTypeFacts, 17> kFacts{{
    {TFieldType::kAlpha, 0, 3, 257},
    {TFieldType::kNumber, 8, 3, 258},
    {TFieldType::kMoney, 8, 3, 259},
    {TFieldType::kDate, 4, 3, 260},
    {TFieldType::kShort, 2, 3, 261},
    {TFieldType::kMemo, 0, 4, 262},
    {TFieldType::kBlob, 0, 4, 263},
    {TFieldType::kFormattedMemo, 0, 4, 264},
    {TFieldType::kOle, 0, 4, 265},
    {TFieldType::kGraphic, 0, 4, 266},
    {TFieldType::kLong, 4, 5, 267},
    {TFieldType::kTime, 4, 5, 268},
    {TFieldType::kTimestamp, 8, 5, 269},
    {TFieldType::kLogical, 1, 5, 270},
    {TFieldType::kAutoIncrement, 4, 5, 271},
    {TFieldType::kBytes, 0, 5, 272},
    {TFieldType::kBcd, 0, 5, 273},
}};

const TTypeFacts* FactsOf(TFieldType type) {
  for (const auto& facts : kFacts) {
    if (facts.type == type) return &facts;
  }
  return nullptr;
}

}  // namespace

std::optional<TFieldType> FieldTypeFromByte(std::uint8_t code) {
  const auto type = static_cast<TFieldType>(code);
  if (FactsOf(type) == nullptr) return std::nullopt;
  return type;
}

bool IsBlobType(TFieldType type) {
  switch (type) {
    case TFieldType::kMemo:
    case TFieldType::kBlob:
    case TFieldType::kFormattedMemo:
    case TFieldType::kOle:
    case TFieldType::kGraphic: return true;
    default: return false;
  }
}

bool IsNumericType(TFieldType type) {
  return type != TFieldType::kAlpha && type != TFieldType::kBytes && !IsBlobType(type);
}

int FixedWidth(TFieldType type) {
  const TTypeFacts* facts = FactsOf(type);
  return facts != nullptr ? facts->fixedWidth : 0;
}

bool IsValidFieldSize(TFieldType type, int size) {
  switch (type) {
    case TFieldType::kAlpha:
    case TFieldType::kBytes: return size >= 1 && size <= 255;
    case TFieldType::kMemo: return size >= kBlobReferenceSize + 1 && size <= 250;
    case TFieldType::kBlob:
    case TFieldType::kFormattedMemo:
    case TFieldType::kOle:
    case TFieldType::kGraphic: return size >= kBlobReferenceSize && size <= 250;
    case TFieldType::kBcd: return size >= 0 && size <= 32;
    default: return size == FixedWidth(type);
  }
}

int FieldWidth(TFieldType type, int size) { return type == TFieldType::kBcd ? kBcdWidth : size; }

int MinimumLevel(TFieldType type) {
  const TTypeFacts* facts = FactsOf(type);
  return facts != nullptr ? facts->minimumLevel : 7;
}

std::optional<TFieldType> FieldTypeFromEngineCode(std::uint16_t engineCode) {
  for (const auto& facts : kFacts) {
    if (facts.engineCode == engineCode) return facts.type;
  }
  return std::nullopt;
}

std::uint16_t EngineCodeOfType(TFieldType type) {
  const TTypeFacts* facts = FactsOf(type);
  return facts != nullptr ? facts->engineCode : 0;
}

}  // namespace remdo::paradox
