// Value texts of remdo-table's CSV: calendar conversion at its edges, times,
// timestamps, BCD in both signs and with the engine's junk digits, CSV
// quoting.
#include "remdo-table/ValueText.h"

#include <gtest/gtest.h>

#include "paradox/TableImage.h"

namespace remdo::tools {
namespace {

using test::Raw;

TEST(ValueText, DatesAreProlepticGregorianFromDayOne) {
  struct Case { std::int64_t days; const char* text; };
  const Case cases[] = {
      {1, "0001-01-01"},      {59, "0001-02-28"},     {60, "0001-03-01"},     {36160, "0100-01-01"},
      {719163, "1970-01-01"}, {728783, "1996-05-04"}, {730120, "2000-01-01"}, {730179, "2000-02-29"},
      {730180, "2000-03-01"}, {737456, "2020-02-01"}, {3652059, "9999-12-31"},
      {0, "0"},               {-5, "-5"},             {3652060, "3652060"},
  };
  for (const auto& c : cases) EXPECT_EQ(DateText(c.days), c.text) << c.days;
}

TEST(ValueText, TimesAndTimestamps) {
  EXPECT_EQ(TimeText(0), "00:00:00");
  EXPECT_EQ(TimeText(3601000), "01:00:01");
  EXPECT_EQ(TimeText(86399999), "23:59:59.999");
  EXPECT_EQ(TimeText(86400000), "86400000");
  EXPECT_EQ(TimeText(-1), "-1");
  EXPECT_EQ(TimestampText(63716202001000.0), "2020-02-01T01:00:01");
  EXPECT_EQ(TimestampText(63716202001250.0), "2020-02-01T01:00:01.250");
  EXPECT_EQ(TimestampText(86400000.0), "0001-01-01T00:00:00");
  EXPECT_EQ(TimestampText(5.0), "5");
  EXPECT_EQ(TimestampText(-1.5), "-1.5");
}

TEST(ValueText, NumbersInTheirShortestExactForm) {
  EXPECT_EQ(NumberText(333.33), "333.33");
  EXPECT_EQ(NumberText(-222.22), "-222.22");
  EXPECT_EQ(NumberText(0.0), "0");
  EXPECT_EQ(NumberText(1e21), "1e+21");
}

TEST(ValueText, BcdWithSignDecimalsAndJunkDigits) {
  auto bcd = [](int head, std::initializer_list<int> tail, bool negative = false) {
    test::TBytes bytes(17, std::byte{static_cast<unsigned char>(negative ? 0xFF : 0x00)});
    bytes[0] = static_cast<std::byte>(head);
    std::size_t at = 17 - tail.size();
    for (const int v : tail) bytes[at++] = static_cast<std::byte>(v);
    return bytes;
  };
  EXPECT_EQ(BcdText(bcd(0xC2, {0x01, 0x23})), "1.23");
  EXPECT_EQ(BcdText(bcd(0x42, {0xFE, 0xDC}, true)), "-1.23");
  EXPECT_EQ(BcdText(bcd(0xC2, {})), "0.00");
  EXPECT_EQ(BcdText(bcd(0xC0, {0x01})), "1");
  EXPECT_EQ(BcdText(bcd(0xC0, {0x12, 0x34, 0x56})), "123456");
  // 32 decimals, digits after the first nibble above 9 are the engine's junk.
  const auto junk = Raw({0xE0, 0x12, 0x29, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x98, 0x0B, 0x00, 0xE0, 0x00,
                         0x00, 0xBF, 0x4A});
  EXPECT_EQ(BcdText(junk), "0.1229999999999999980");
  const auto negativeJunk = Raw({0x60, 0xED, 0xD6, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x67, 0xF4, 0xFF, 0x1F,
                                 0xFF, 0xFF, 0x40, 0xB5});
  EXPECT_EQ(BcdText(negativeJunk), "-0.1229999999999999980");
  EXPECT_EQ(BcdText(bcd(0xC0, {0xA1})), "C0" + std::string(30, '0') + "A1");  // not a decimal at all
  EXPECT_EQ(BcdText(bcd(0x06, {})), "");  // blank, as the engine leaves a field of 6 decimals
}

TEST(ValueText, CsvQuotingFollowsRfc4180) {
  EXPECT_EQ(CsvField("plain text"), "plain text");
  EXPECT_EQ(CsvField(""), "");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
  EXPECT_EQ(CsvField("one\nline"), "\"one\nline\"");
}

TEST(ValueText, HexIsUpperCaseTwoDigitsPerByte) {
  EXPECT_EQ(HexText(Raw({0x00, 0x0A, 0xFF, 0x31})), "000AFF31");
  EXPECT_EQ(HexText({}), "");
}

}  // namespace
}  // namespace remdo::tools
