// Field decoding of the raw reader: the numeric scheme with its sign
// handling, blanks, logical bytes, alpha texts read as numbers and rounding.
#include "paradox/format/PxFieldObject.h"

#include <gtest/gtest.h>

#include <cmath>

#include "paradox/TableImage.h"

namespace remdo::paradox {
namespace {

using test::OpenImage;
using test::Raw;
using test::TBytes;
using test::TTableImage;

// A one-field table whose first record holds the given bytes. A second
// record of other bytes follows: a block of zero bytes alone is a zeroed
// block, passed over as damage, not one blank record.
std::unique_ptr<TPxObject> OneValue(std::uint8_t type, TBytes value) {
  TTableImage t;
  t.fields = {{type, static_cast<std::uint8_t>(type == fieldtype::kBcd ? 2 : value.size()), "F"}};
  if (type == fieldtype::kBcd) value.resize(17);
  t.blocks = {{value, TBytes(value.size(), std::byte{0x80})}};
  auto reader = OpenImage(t.Build());
  EXPECT_TRUE(reader->FirstRecord());
  return reader;
}

TEST(PxFieldObject, IntegerTypesDecodeFromBigEndianWithTheSignBitFlipped) {
  struct Case { std::uint8_t type; TBytes bytes; std::int64_t value; bool empty; };
  const Case cases[] = {
      {fieldtype::kShort, Raw({0x80, 0x05}), 5, false},
      {fieldtype::kShort, Raw({0x7F, 0xFB}), -5, false},
      {fieldtype::kShort, Raw({0x00, 0x00}), 0, true},
      {fieldtype::kShort, Raw({0xFF, 0xFF}), 32767, false},
      {fieldtype::kLong, Raw({0x80, 0x01, 0x00, 0x00}), 65536, false},
      {fieldtype::kLong, Raw({0x7F, 0xFF, 0xFF, 0xFE}), -2, false},
      {fieldtype::kDate, Raw({0x80, 0x0B, 0x1E, 0xCF}), 728783, false},  // 4 May 1996
      {fieldtype::kTime, Raw({0x80, 0x36, 0xF2, 0x68}), 3601000, false},
      {fieldtype::kAutoIncrement, Raw({0x80, 0x00, 0x00, 0x03}), 3, false},
      {fieldtype::kLogical, Raw({0x81}), 1, false},
      {fieldtype::kLogical, Raw({0x80}), 0, false},
      {fieldtype::kLogical, Raw({0x00}), 0, true},
      {fieldtype::kBytes, Raw({0x80, 0x05}), 0, false},
      {fieldtype::kMemo, Raw({'a', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0, false},
      {fieldtype::kBcd, Raw({0xC2, 0x01}), 0, false},
      {7, Raw({0x80, 0x05}), 0, false},  // unknown type code
  };
  for (const auto& c : cases) {
    auto reader = OneValue(c.type, c.bytes);
    const auto& field = reader->FieldByNumber(0);
    EXPECT_EQ(field.AsInteger(), c.value) << int(c.type) << " " << c.value;
    EXPECT_EQ(field.AsFloat(), static_cast<double>(c.value)) << int(c.type) << " " << c.value;
    EXPECT_EQ(field.IsEmpty(), c.empty) << int(c.type) << " " << c.value;
  }
}

TEST(PxFieldObject, LogicalIsTrueForAnyLowBit) {
  EXPECT_TRUE(OneValue(fieldtype::kLogical, Raw({0x81}))->FieldByNumber(0).AsLogical());
  EXPECT_FALSE(OneValue(fieldtype::kLogical, Raw({0x80}))->FieldByNumber(0).AsLogical());
  EXPECT_FALSE(OneValue(fieldtype::kLogical, Raw({0x00}))->FieldByNumber(0).AsLogical());
}

TEST(PxFieldObject, NegativeFloatingValuesHaveAllBytesInverted) {
  struct Case { std::uint8_t type; double value; std::int64_t rounded; };
  const Case cases[] = {
      {fieldtype::kNumber, -1.25, -1},   {fieldtype::kNumber, 1.25, 1},    {fieldtype::kMoney, -2.5, -2},
      {fieldtype::kMoney, -3.5, -4},     {fieldtype::kMoney, 2.5, 2},      {fieldtype::kNumber, 0.0, 0},
      {fieldtype::kNumber, -1e300, INT64_MIN}, {fieldtype::kNumber, 1e300, INT64_MAX},
      {fieldtype::kNumber, -123456.789, -123457},
      {fieldtype::kTimestamp, 63716202001000.0, 63716202001000},  // 2020-02-01 01:00:01
  };
  for (const auto& c : cases) {
    auto reader = OneValue(c.type, test::Float(c.value));
    const auto& field = reader->FieldByNumber(0);
    EXPECT_EQ(field.AsFloat(), c.value);
    EXPECT_EQ(field.AsDouble(), c.value);
    EXPECT_EQ(field.AsInteger(), c.rounded) << c.value;
    EXPECT_FALSE(field.IsEmpty());  // zero is stored as 80 00..., not blank
  }
  // The stored form of -1.25 as the format gives it.
  auto reader = OneValue(fieldtype::kNumber, Raw({0x40, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(reader->FieldByNumber(0).AsFloat(), -1.25);
  EXPECT_EQ(OneValue(fieldtype::kNumber, TBytes(8))->FieldByNumber(0).AsFloat(), 0.0);
}

TEST(PxFieldObject, DecodeValueGivesTheLittleEndianValueAndZeroesTheRest) {
  auto reader = OneValue(fieldtype::kLong, Raw({0x80, 0x01, 0x02, 0x03}));
  TFieldValue value;
  value.fill(std::byte{0xEE});
  reader->FieldByNumber(0).DecodeValue(value);
  EXPECT_EQ(value[0], std::byte{0x03});
  EXPECT_EQ(value[1], std::byte{0x02});
  EXPECT_EQ(value[2], std::byte{0x01});
  EXPECT_EQ(value[3], std::byte{0x00});
  EXPECT_EQ(value[4], std::byte{0x00});
  EXPECT_EQ(value[kMaxFieldWidth], std::byte{0x00});
  auto text = OneValue(fieldtype::kAlpha, Raw({'a', 'b'}));
  text->FieldByNumber(0).DecodeValue(value);
  EXPECT_EQ(value[0], std::byte{'a'});  // non-numeric types are copied unchanged
  EXPECT_EQ(value[1], std::byte{'b'});
}

TEST(PxFieldObject, AlphaTextReadAsANumber) {
  struct Case { std::string text; double value; std::int64_t rounded; };
  const Case cases[] = {
      {"12 ", 12, 12},    {" 12", 12, 12},     {"abc", 0, 0},       {"", 0, 0},          {"2.5", 2.5, 2},
      {"3.5", 3.5, 4},    {"-7", -7, -7},      {"+4", 4, 4},        {"1e3", 1000, 1000}, {"12abc", 0, 0},
      {"inf", 0, 0},      {"nan", 0, 0},       {"-", 0, 0},         {"+-5", 0, 0},       {"1e999", 0, 0},
      {".5", 0.5, 0},
  };
  for (const auto& c : cases) {
    auto reader = OneValue(fieldtype::kAlpha, test::Alpha(c.text, 8));
    const auto& field = reader->FieldByNumber(0);
    EXPECT_EQ(field.AsText(), c.text);
    EXPECT_EQ(field.AsFloat(), c.value) << "'" << c.text << "'";
    EXPECT_EQ(field.AsInteger(), c.rounded) << "'" << c.text << "'";
  }
}

TEST(PxFieldObject, TextStopsAtTheFirstNul) {
  auto reader = OneValue(fieldtype::kAlpha, Raw({'a', 'b', 0, 'c'}));
  EXPECT_EQ(reader->FieldByNumber(0).AsText(), "ab");
  EXPECT_EQ(reader->FieldByNumber(0).RawBytes().size(), 4u);
}

TEST(PxFieldObject, FieldWithoutOwnerHasNoBytes) {
  const TPxFieldObject field(nullptr, fieldtype::kShort, "Loose", 0, 2, 0);
  EXPECT_TRUE(field.RawBytes().empty());
  EXPECT_TRUE(field.IsEmpty());
  EXPECT_EQ(field.AsInteger(), 0);
}

}  // namespace
}  // namespace remdo::paradox
