// Value texts of remdo-table's CSV: calendar conversion at its edges, times,
// timestamps, BCD in both signs and with the engine's junk digits, memo
// and BLOB values, CSV quoting.
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

TEST(ValueText, MemoTextKeepsLineBreaksAndShowsOtherControlBytes) {
  struct Case { test::TBytes value; std::uint16_t codePage; std::string text; };
  const Case cases[] = {
      {Raw({'a', '\r', '\n', 'b', '\t', 'c'}), 1252, "a\r\nb\tc"},
      {Raw({'x', 0x00, 0x07, 0x1B, 0x7F, 'y'}), 1252, "x\\x00\\x07\\x1B\\x7Fy"},
      {Raw({0xE9, '\\', 'n'}), 1252, "\xC3\xA9\\n"},  // e acute; a backslash stays as it is
      {Raw({0x81, 0x01}), 437, "\xC3\xBC\\x01"},        // u umlaut; 437's glyph for 01 is not used
      {{}, 1252, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MemoText(c.value, c.codePage), c.text) << c.text;
}

TEST(ValueText, BlobValuesByKind) {
  using paradox::TBlobKind;
  const auto text = Raw({'h', 'i', 0x00});
  EXPECT_EQ(BlobText(TBlobKind::kMemo, text, 1252), "hi\\x00");
  EXPECT_EQ(BlobText(TBlobKind::kFormattedMemo, text, 1252), "hi\\x00");
  EXPECT_EQ(BlobText(TBlobKind::kBinary, text, 1252), "<3 bytes>");
  EXPECT_EQ(BlobText(TBlobKind::kGraphic, test::TBytes(10000), 1252), "<10000 bytes>");
  EXPECT_EQ(BlobText(TBlobKind::kOle, Raw({1}), 1252), "<1 byte>");
  EXPECT_EQ(BlobText(TBlobKind::kBinary, {}, 1252), "");  // blank, whatever the leader holds
  EXPECT_EQ(UnreadableText(TBlobKind::kMemo, "The memo file C:\\D\xE9j\\A.MB is missing"),
            "<memo unreadable: The memo file C:\\D\xC3\xA9j\\A.MB is missing>");  // e acute in UTF-8
  EXPECT_EQ(UnreadableText(TBlobKind::kGraphic, "why"), "<graphic unreadable: why>");
}

}  // namespace
}  // namespace remdo::tools
