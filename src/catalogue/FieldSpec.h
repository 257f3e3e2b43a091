// The field spec notation of the built-in table structures, and how one spec
// text becomes the engine's field descriptor when a table is created.
//
// A field spec is "name, type part", for example "Sort Title, A24+". The type
// part is a type letter, an optional decimal size and up to two trailing flags:
// "*" marks a primary key field, "+" asks for a single-field secondary index
// named like the field. Reading a spec:
//   1. Only the first 80 characters count.
//   2. The last blank or comma splits the text: what follows is the type part;
//      what precedes it, without trailing blanks and commas, is the field name
//      (so names may hold blanks: "Entry Date"). A text without blank or comma
//      is all type part with an empty name. Names longer than 31 characters
//      are cut to 31, the most an engine field name holds.
//   3. A trailing "*" makes the field a key field, a trailing "+" flags it; the
//      last character is looked at and removed twice, so "*+" and "+*" both
//      work.
//   4. When nothing remains, the descriptor is empty: no number, name, type or
//      size (the flags read in step 3 are still reported). A type part of "+"
//      alone is such a spec; the notation cannot declare an autoincrement
//      field, because a trailing "+" is always the index flag.
//   5. The first remaining character, upper-cased, is the type letter; a letter
//      the engine does not know gives engine type 0 but keeps number, name and
//      size.
//   6. Characters after the letter are the size, read as plain decimal digits;
//      anything else (a sign, a blank, a letter, a value beyond int) gives 0.
//   7. The field gets a secondary index when the type part as written (before
//      step 3) contains "+".
// Reading never fails and never throws: every text yields a descriptor.
#ifndef REMDO_CATALOGUE_FIELDSPEC_H_
#define REMDO_CATALOGUE_FIELDSPEC_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace remdo::catalogue {

inline constexpr std::size_t kFieldSpecMaxLength = 80;
inline constexpr std::size_t kFieldNameMaxLength = 31;

// The engine's Paradox field type codes, as passed when creating a table.
inline constexpr std::uint16_t kPdxFieldAlpha = 257;
inline constexpr std::uint16_t kPdxFieldNumber = 258;
inline constexpr std::uint16_t kPdxFieldMoney = 259;
inline constexpr std::uint16_t kPdxFieldDate = 260;
inline constexpr std::uint16_t kPdxFieldShort = 261;
inline constexpr std::uint16_t kPdxFieldMemo = 262;
inline constexpr std::uint16_t kPdxFieldBlob = 263;
inline constexpr std::uint16_t kPdxFieldFormattedMemo = 264;
inline constexpr std::uint16_t kPdxFieldOle = 265;
inline constexpr std::uint16_t kPdxFieldGraphic = 266;
inline constexpr std::uint16_t kPdxFieldLong = 267;
inline constexpr std::uint16_t kPdxFieldTime = 268;
inline constexpr std::uint16_t kPdxFieldTimestamp = 269;
inline constexpr std::uint16_t kPdxFieldLogical = 270;
inline constexpr std::uint16_t kPdxFieldAutoIncrement = 271;
inline constexpr std::uint16_t kPdxFieldBytes = 272;
inline constexpr std::uint16_t kPdxFieldBcd = 273;

// The engine type code of a type letter (without regard to case), 0 for a
// letter that names no type.
std::uint16_t EngineFieldType(char letter);

// One field spec, read. For an empty descriptor number, name, letter,
// engineType and size are all zero or empty and isEmpty is set; isKey and
// hasIndex still say what the flags asked for.
struct TFieldSpec {
  int number = 0;                // 1-based position in the record; 0 when empty
  std::string name;              // at most kFieldNameMaxLength characters
  char letter = '\0';            // the type letter, upper-cased; '\0' when empty
  std::uint16_t engineType = 0;  // kPdxField... code; 0 when empty or unknown
  int size = 0;                  // the number after the letter; 0 when none
  bool isKey = false;            // flagged "*"
  bool hasIndex = false;         // the type part as written contains "+"
  bool isEmpty = false;          // nothing was left of the type part

  bool operator==(const TFieldSpec&) const = default;
};

// Reads one spec text as field number `position` (1-based).
TFieldSpec ReadFieldSpec(std::string_view text, int position);

// A whole field list, read in order. A list holding an empty descriptor
// describes no valid table (a field without name or type); the built-in
// catalogue holds none.
struct TFieldSpecReading {
  std::vector<TFieldSpec> fields;  // fields[i] is field i + 1
  // k: the primary key is fields 1 to k, k being the position of the last
  // field flagged "*"; 0 when no field is (the table gets no index at all).
  int keyLength = 0;

  // Positions (1-based, in order) of the fields that receive their own
  // secondary index: those with hasIndex, and only when keyLength > 0,
  // because a table without primary key gets no index at all.
  std::vector<int> IndexedFields() const;
};

TFieldSpecReading ReadFieldSpecs(std::span<const std::string> specs);

}  // namespace remdo::catalogue

#endif  // REMDO_CATALOGUE_FIELDSPEC_H_
