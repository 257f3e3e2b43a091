#include "env/Text.h"

#include <gtest/gtest.h>

#include "env/CodePage.h"

namespace remdo::env {
namespace {

TEST(Text, EveryByteSurvivesUtf16AndUtf8RoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(all)), all);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(Text, UnassignedBytesMapToTheirC1Controls) {
  for (const unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    EXPECT_EQ(Cp1252ToUtf16(std::string(1, static_cast<char>(b)))[0], b);
  }
  EXPECT_EQ(Cp1252ToUtf16("\x97")[0], u'\u2014');  // em dash
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
}

TEST(Text, CaseFoldingCoversAccentedLetters) {
  EXPECT_EQ(UpperCase("books.db \xE9\xFF\x9A"), "BOOKS.DB \xC9\x9F\x8A");
  EXPECT_EQ(LowerCase("\xD7\xC0"), "\xD7\xE0");  // the multiplication sign has no case
  EXPECT_TRUE(SameText("Fldr0003.DB", "fldr0003.db"));
  EXPECT_FALSE(SameText("Books.db", "Books.d"));
}

TEST(Text, TrimRemovesBlanksAndControls) {
  EXPECT_EQ(Trim("  12 \t"), "12");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("   "), "");
}

TEST(CodePage, DosTablesConvertThroughUnicode) {
  EXPECT_EQ(ConvertCodePage("\x81", 437, 1252), "\xFC");   // u with diaeresis
  EXPECT_EQ(ConvertCodePage("\xFC", 1252, 437), "\x81");
  EXPECT_EQ(ConvertCodePage("\xC4", 437, 1252), "?");      // a box-drawing line has no 1252 byte
  EXPECT_EQ(CodePageToUtf8("\x8F", 865), "\xC3\x85");      // A with ring
  EXPECT_EQ(CodePageToUtf8("\xC0", 1251), "\xD0\x90");     // Cyrillic A
  EXPECT_EQ(CodePageToUtf8("\xE9", 9999), "\xC3\xA9");     // unknown: Latin-1
  EXPECT_FALSE(IsKnownCodePage(936));
}

TEST(CodePage, MalformedUtf8BecomesQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");
  EXPECT_EQ(Utf8ToCp1252("\xE2\x82"), "??");
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80"), "?");
}

}  // namespace
}  // namespace remdo::env
