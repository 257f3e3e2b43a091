// Field values read and written as text, integer, floating, logical and
// date-time, in the stored encodings.
#include "paradox/format/FieldValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "env/Errors.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"

namespace remdo::paradox {
namespace {

struct TSlot {
  THeaderField field;
  std::vector<std::byte> bytes;
  std::uint16_t codePage = 1252;

  TSlot(TFieldType type, int size, std::uint16_t page = 1252)
      : field{type, static_cast<std::uint8_t>(size), "F", 1}, bytes(static_cast<std::size_t>(FieldWidth(type, size))),
        codePage(page) {}
  TFieldRef Ref() { return {field, bytes.data(), codePage}; }
  std::vector<unsigned> Hex() const {
    std::vector<unsigned> out;
    for (const std::byte b : bytes) out.push_back(std::to_integer<unsigned>(b));
    return out;
  }
};

TEST(FieldValue, DayNumbersFollowTheProlepticGregorianCalendar) {
  EXPECT_EQ(DayNumber(1, 1, 1), 1);
  EXPECT_EQ(DayNumber(100, 1, 1), 36160);
  EXPECT_EQ(DayNumber(1996, 5, 4), 728783);
  EXPECT_EQ(DayNumber(2000, 1, 1), 730120);
  EXPECT_EQ(DayNumber(1899, 12, 30), kDateDelta);
  for (const std::int32_t day : {1, 59, 60, 61, 730120, 730179, 3652059}) {
    int y = 0, m = 0, d = 0;
    CalendarDate(day, y, m, d);
    EXPECT_EQ(DayNumber(y, m, d), day);
  }
}

TEST(FieldValue, TextRoundTripsThroughEveryType) {
  struct TCase {
    TFieldType type;
    int size;
    const char* text;
  };
  const TCase cases[] = {
      {TFieldType::kAlpha, 10, "Hello"},       {TFieldType::kShort, 2, "-32767"},
      {TFieldType::kLong, 4, "2147483647"},    {TFieldType::kAutoIncrement, 4, "17"},
      {TFieldType::kNumber, 8, "-1.25"},       {TFieldType::kMoney, 8, "1234.5"},
      {TFieldType::kLogical, 1, "True"},       {TFieldType::kLogical, 1, "False"},
      {TFieldType::kDate, 4, "1996-05-04"},    {TFieldType::kTime, 4, "01:00:01"},
      {TFieldType::kTimestamp, 8, "2020-02-01 01:00:01"}, {TFieldType::kBcd, 2, "-1.23"},
      {TFieldType::kBcd, 0, "123456789"},      {TFieldType::kBytes, 3, "abc"},
  };
  for (const TCase& c : cases) {
    TSlot slot(c.type, c.size);
    SetFieldText(slot.Ref(), c.text);
    EXPECT_EQ(GetFieldText(slot.Ref()), c.text);
    EXPECT_FALSE(FieldIsNull(slot.Ref()));
    SetFieldText(slot.Ref(), "");
    EXPECT_TRUE(FieldIsNull(slot.Ref())) << c.text;
  }
}

TEST(FieldValue, StoredEncodingsMatchTheFormat) {
  TSlot bcd(TFieldType::kBcd, 2);
  SetFieldFloat(bcd.Ref(), 1.23);
  EXPECT_EQ(bcd.Hex(), (std::vector<unsigned>{0xC2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x23}));
  SetFieldFloat(bcd.Ref(), -1.23);
  EXPECT_EQ(bcd.Hex(), (std::vector<unsigned>{0x42, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                              0xFF, 0xFF, 0xFF, 0xFE, 0xDC}));
  TSlot stamp(TFieldType::kTimestamp, 8);
  SetFieldText(stamp.Ref(), "2020-02-01 01:00:01");
  EXPECT_EQ(stamp.Hex(), (std::vector<unsigned>{0xC2, 0xCC, 0xF9, 0x8A, 0xCB, 0x19, 0x34, 0x00}));
  TSlot logical(TFieldType::kLogical, 1);
  SetFieldBoolean(logical.Ref(), false);
  EXPECT_EQ(logical.Hex(), std::vector<unsigned>{0x80});
  TSlot time(TFieldType::kTime, 4);
  SetFieldText(time.Ref(), "01:00:01");
  EXPECT_EQ(time.Hex(), (std::vector<unsigned>{0x80, 0x36, 0xF2, 0x68}));
}

TEST(FieldValue, DateTimesUseTheClassLibraryEpoch) {
  TSlot date(TFieldType::kDate, 4);
  SetFieldDateTime(date.Ref(), 2.75);  // 1 January 1900, the time is dropped
  EXPECT_EQ(GetFieldText(date.Ref()), "1900-01-01");
  EXPECT_EQ(GetFieldDateTime(date.Ref()), 2.0);
  EXPECT_EQ(GetFieldInteger(date.Ref()), DayNumber(1900, 1, 1));
  TSlot stamp(TFieldType::kTimestamp, 8);
  SetFieldDateTime(stamp.Ref(), 36526.5);  // 1 January 2000, noon
  EXPECT_EQ(GetFieldText(stamp.Ref()), "2000-01-01 12:00:00");
  TSlot time(TFieldType::kTime, 4);
  SetFieldDateTime(time.Ref(), 10.25);
  EXPECT_EQ(GetFieldText(time.Ref()), "06:00:00");
}

TEST(FieldValue, AlphaTextIsTranslatedToTheTablesCodePage) {
  TSlot alpha(TFieldType::kAlpha, 8, 437);
  SetFieldText(alpha.Ref(), "M\xFCller");  // u-umlaut in Windows-1252
  EXPECT_EQ(alpha.Hex()[1], 0x81u);        // the same letter in code page 437
  EXPECT_EQ(GetFieldText(alpha.Ref()), "M\xFCller");
  SetFieldText(alpha.Ref(), "much too long for it");
  EXPECT_EQ(GetFieldText(alpha.Ref()), "much too");
}

TEST(FieldValue, ConversionsThatCannotBeDoneAreEngineErrors) {
  struct TCase {
    const char* name;
    TFieldType type;
    int size;
    std::function<void(const TFieldRef&)> action;
    std::uint16_t code;
  };
  const TCase cases[] = {
      {"short too large", TFieldType::kShort, 2, [](const TFieldRef& r) { SetFieldInteger(r, 32768); }, kDbiErrOutOfRange},
      {"short blank value", TFieldType::kShort, 2, [](const TFieldRef& r) { SetFieldInteger(r, -32768); },
       kDbiErrOutOfRange},
      {"text in a long", TFieldType::kLong, 4, [](const TFieldRef& r) { SetFieldText(r, "12a"); }, kDbiErrInvalidFldXform},
      {"bad date", TFieldType::kDate, 4, [](const TFieldRef& r) { SetFieldText(r, "2001-02-30"); },
       kDbiErrInvalidFldXform},
      {"infinite number", TFieldType::kNumber, 8, [](const TFieldRef& r) { SetFieldFloat(r, INFINITY); },
       kDbiErrOutOfRange},
      {"bcd too wide", TFieldType::kBcd, 20, [](const TFieldRef& r) { SetFieldFloat(r, 1e20); }, kDbiErrOutOfRange},
      {"memo beyond the leader", TFieldType::kMemo, 14, [](const TFieldRef& r) { SetFieldText(r, "longer text"); },
       kDbiErrNotSupported},
  };
  for (const TCase& c : cases) {
    TSlot slot(c.type, c.size);
    try {
      c.action(slot.Ref());
      ADD_FAILURE() << c.name << ": no error";
    } catch (const env::EDBEngineError& error) {
      EXPECT_EQ(error.Code(), c.code) << c.name;
      EXPECT_TRUE(FieldIsNull(slot.Ref())) << c.name;
    }
  }
  TSlot memo(TFieldType::kMemo, 14);
  SetFieldText(memo.Ref(), "tiny");  // fits the 4-byte leader: lives in the record
  EXPECT_EQ(GetFieldText(memo.Ref()), "tiny");
  EXPECT_EQ(GetU32(memo.bytes.data() + 4 + 4), 4u);
}

}  // namespace
}  // namespace remdo::paradox
