#include "catalogue/FieldSpec.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace remdo::catalogue {

// Readable failure output (found by argument-dependent lookup, so it lives
// in the field spec's namespace).
static void PrintTo(const TFieldSpec& f, std::ostream* out) {
  *out << "{" << f.number << " '" << f.name << "' " << (f.letter ? f.letter : '0') << " " << f.engineType << " size "
       << f.size << (f.isKey ? " key" : "") << (f.hasIndex ? " index" : "") << (f.isEmpty ? " empty" : "") << "}";
}

namespace {

TFieldSpec Field(int number, std::string name, char letter, std::uint16_t type, int size, bool key, bool index) {
  TFieldSpec f;
  f.number = number;
  f.name = std::move(name);
  f.letter = letter;
  f.engineType = type;
  f.size = size;
  f.isKey = key;
  f.hasIndex = index;
  return f;
}

TFieldSpec Empty(bool key, bool index) {
  TFieldSpec f;
  f.isKey = key;
  f.hasIndex = index;
  f.isEmpty = true;
  return f;
}

TEST(FieldSpec, ReadsTheNotation) {
  struct Case {
    std::string text;
    TFieldSpec expected;
  };
  const Case cases[] = {
      {"Sort Title, A24+", Field(3, "Sort Title", 'A', kPdxFieldAlpha, 24, false, true)},
      {"Token, S*+", Field(3, "Token", 'S', kPdxFieldShort, 0, true, true)},
      {"Sort1, I+*", Field(3, "Sort1", 'I', kPdxFieldLong, 0, true, true)},
      {"Book, N*", Field(3, "Book", 'N', kPdxFieldNumber, 0, true, false)},
      // Only the last blank splits: the blank inside the name stays.
      {"Entry Date, S", Field(3, "Entry Date", 'S', kPdxFieldShort, 0, false, false)},
      {"Price1, $", Field(3, "Price1", '$', kPdxFieldMoney, 0, false, false)},
      {"Blurb, M4", Field(3, "Blurb", 'M', kPdxFieldMemo, 4, false, false)},
      {"ent, L", Field(3, "ent", 'L', kPdxFieldLogical, 0, false, false)},
      {"Birthday, D", Field(3, "Birthday", 'D', kPdxFieldDate, 0, false, false)},
      // The letter is compared without regard to case; a comma alone splits.
      {"name,a12", Field(3, "name", 'A', kPdxFieldAlpha, 12, false, false)},
      {"Name , ,A12", Field(3, "Name", 'A', kPdxFieldAlpha, 12, false, false)},
      // An unknown letter keeps number, name and size.
      {"Odd, Q5", Field(3, "Odd", 'Q', 0, 5, false, false)},
      // A size that is not plain decimal digits gives 0.
      {"Bad, A1x", Field(3, "Bad", 'A', kPdxFieldAlpha, 0, false, false)},
      {"Neg, A-5", Field(3, "Neg", 'A', kPdxFieldAlpha, 0, false, false)},
      {"Huge, A99999999999", Field(3, "Huge", 'A', kPdxFieldAlpha, 0, false, false)},
      // No blank or comma: all of it is the type part, the name is empty.
      {"A24", Field(3, "", 'A', kPdxFieldAlpha, 24, false, false)},
      // Nothing left once the flags are gone: an empty descriptor that still
      // reports its flags ("+" alone cannot declare an autoincrement field).
      {"Id, +", Empty(false, true)},
      {"Id, *+", Empty(true, true)},
      {"Id, ", Empty(false, false)},
      {"", Empty(false, false)},
      // Only two flags are taken off; a third stays as the type letter.
      {"X, S+*+", Field(3, "X", 'S', kPdxFieldShort, 0, true, true)},
      {"X, +**", Field(3, "X", '+', kPdxFieldAutoIncrement, 0, true, true)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadFieldSpec(c.text, 3), c.expected) << c.text;
  }
}

TEST(FieldSpec, OnlyTheFirst80CharactersCount) {
  const std::string name(74, 'x');
  const TFieldSpec whole = ReadFieldSpec(name + ", A24+", 1);  // exactly 80
  EXPECT_TRUE(whole.hasIndex);
  EXPECT_EQ(whole.size, 24);
  const TFieldSpec cut = ReadFieldSpec(name + "x, A24+", 1);  // the "+" is character 81
  EXPECT_FALSE(cut.hasIndex);
  EXPECT_EQ(cut.size, 24);
  EXPECT_EQ(cut.name.size(), kFieldNameMaxLength);  // names hold at most 31 characters
  EXPECT_EQ(cut.name, std::string(kFieldNameMaxLength, 'x'));
}

TEST(FieldSpec, KeyLengthIsThePositionOfTheLastKeyField) {
  const std::vector<std::string> keyed = {"Book, I*", "Token, S*+", "Prop, S", "Sort, A10+"};
  const TFieldSpecReading reading = ReadFieldSpecs(keyed);
  ASSERT_EQ(reading.fields.size(), 4u);
  EXPECT_EQ(reading.keyLength, 2);
  EXPECT_EQ(reading.fields[3].number, 4);
  EXPECT_EQ(reading.IndexedFields(), (std::vector<int>{2, 4}));

  const std::vector<std::string> gap = {"A, S", "B, S*", "C, S"};
  EXPECT_EQ(ReadFieldSpecs(gap).keyLength, 2);
}

TEST(FieldSpec, ATableWithoutKeyGetsNoIndexEvenForFlaggedFields) {
  const std::vector<std::string> unkeyed = {"A, S+", "B, A10+"};
  const TFieldSpecReading reading = ReadFieldSpecs(unkeyed);
  EXPECT_EQ(reading.keyLength, 0);
  EXPECT_TRUE(reading.fields[0].hasIndex);
  EXPECT_TRUE(reading.IndexedFields().empty());
  EXPECT_TRUE(ReadFieldSpecs({}).fields.empty());
}

}  // namespace
}  // namespace remdo::catalogue
