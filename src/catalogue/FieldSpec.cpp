// Reading the field spec notation of the built-in table structures.
#include "catalogue/FieldSpec.h"

#include <algorithm>
#include <charconv>

#include "env/Text.h"

namespace remdo::catalogue {

namespace {

struct TLetterType {
  char letter;
  std::uint16_t engineType;
};

constexpr TLetterType kLetterTypes[] = {
    {'A', kPdxFieldAlpha},     {'N', kPdxFieldNumber},  {'$', kPdxFieldMoney},         {'D', kPdxFieldDate},
    {'S', kPdxFieldShort},     {'M', kPdxFieldMemo},    {'B', kPdxFieldBlob},          {'F', kPdxFieldFormattedMemo},
    {'O', kPdxFieldOle},       {'G', kPdxFieldGraphic}, {'I', kPdxFieldLong},          {'T', kPdxFieldTime},
    {'@', kPdxFieldTimestamp}, {'L', kPdxFieldLogical}, {'+', kPdxFieldAutoIncrement}, {'Y', kPdxFieldBytes},
    {'#', kPdxFieldBcd},
};

bool IsSeparator(char c) { return c == ' ' || c == ','; }

// Plain decimal digits only; the catalogue's sizes are small widths, and a
// sign or stray character means the field declares no size.
int ReadSize(std::string_view digits) {
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return 0;
  }
  int value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return error == std::errc{} && end == digits.data() + digits.size() ? value : 0;
}

// Removes one trailing flag from the type part and records a key flag. The
// index flag needs no note here: the index is decided on the whole type part.
void TakeFlag(std::string_view& typePart, TFieldSpec& field) {
  if (typePart.empty() || (typePart.back() != '*' && typePart.back() != '+')) return;
  if (typePart.back() == '*') field.isKey = true;
  typePart.remove_suffix(1);
}

}  // namespace

std::uint16_t EngineFieldType(char letter) {
  const char upper = env::UpperChar(letter);
  for (const auto& entry : kLetterTypes) {
    if (entry.letter == upper) return entry.engineType;
  }
  return 0;
}

TFieldSpec ReadFieldSpec(std::string_view text, int position) {
  text = text.substr(0, std::min(text.size(), kFieldSpecMaxLength));
  TFieldSpec field;

  std::string_view name;
  std::string_view typePart = text;
  const std::size_t split = text.find_last_of(" ,");
  if (split != std::string_view::npos) {
    typePart = text.substr(split + 1);
    name = text.substr(0, split);
    while (!name.empty() && IsSeparator(name.back())) name.remove_suffix(1);
  }

  field.hasIndex = typePart.find('+') != std::string_view::npos;
  TakeFlag(typePart, field);
  TakeFlag(typePart, field);
  if (typePart.empty()) {
    field.isEmpty = true;
    return field;
  }

  field.number = position;
  field.name = std::string(name.substr(0, std::min(name.size(), kFieldNameMaxLength)));
  field.letter = env::UpperChar(typePart.front());
  field.engineType = EngineFieldType(field.letter);
  field.size = ReadSize(typePart.substr(1));
  return field;
}

std::vector<int> TFieldSpecReading::IndexedFields() const {
  std::vector<int> positions;
  if (keyLength <= 0) return positions;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].hasIndex) positions.push_back(static_cast<int>(i) + 1);
  }
  return positions;
}

TFieldSpecReading ReadFieldSpecs(std::span<const std::string> specs) {
  TFieldSpecReading reading;
  reading.fields.reserve(specs.size());
  for (const std::string& text : specs) {
    const int position = static_cast<int>(reading.fields.size()) + 1;
    reading.fields.push_back(ReadFieldSpec(text, position));
    if (reading.fields.back().isKey) reading.keyLength = position;
  }
  return reading;
}

}  // namespace remdo::catalogue
