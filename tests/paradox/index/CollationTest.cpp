#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "env/CodePage.h"
#include "env/Errors.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/index/Collation.h"

namespace remdo::paradox {
namespace {

// A value in the driver's code page, from UTF-8 text.
std::vector<std::byte> In(const TCollation& c, std::string_view utf8, std::size_t width = 0) {
  const std::string text = c.CodePage() == 0 ? std::string(utf8) : env::Utf8ToCodePage(utf8, c.CodePage());
  std::vector<std::byte> out(std::max(width, text.size()));
  std::transform(text.begin(), text.end(), out.begin(), [](char ch) { return static_cast<std::byte>(ch); });
  return out;
}

const TCollation& Driver(std::string_view name) {
  const TCollation* c = FindCollation(name);
  EXPECT_NE(c, nullptr) << name;
  return *c;
}

// Every text sorts strictly before the next one.
void ExpectAscending(std::string_view driver, std::vector<std::string_view> texts) {
  const TCollation& c = Driver(driver);
  for (std::size_t i = 1; i < texts.size(); ++i) {
    EXPECT_LT(c.Compare(In(c, texts[i - 1], 20), In(c, texts[i], 12)), 0)
        << driver << ": " << texts[i - 1] << " < " << texts[i];
    EXPECT_GT(c.Compare(In(c, texts[i]), In(c, texts[i - 1])), 0) << driver << ": " << texts[i];
  }
}

TEST(Collation, BinaryDriversOrderTheBytes) {
  for (const char* driver : {"ascii", "DBWINUS0", "BLROM800"}) {
    EXPECT_TRUE(Driver(driver).IsBinary());
    ExpectAscending(driver, {"", "A M F GREENSBORO", "AARON", "AARONSBURG", "AH GWAH CHING", "AH-GWAH-CHING", "AHMEEK",
                             "B'HAVEN", "BABB", "N", "NP", "Z", "[", "a", "b", "~", "\x7F"});
  }
  const TCollation& ascii = Driver("ascii");
  const std::vector<std::byte> high{std::byte{0x80}}, higher{std::byte{0xE1}};
  EXPECT_LT(ascii.Compare(high, higher), 0);
  EXPECT_LT(ascii.Compare(In(ascii, "Z"), high), 0);
  // Padding does not count: fields of different widths compare by text.
  EXPECT_EQ(ascii.Compare(In(ascii, "ABC", 10), In(ascii, "ABC", 3)), 0);
}

TEST(Collation, IntlFoldsCaseAndAccentsIntoLetters) {
  // Only characters that code page 437 has.
  ExpectAscending("intl", {
                              " ",       "0",      "9",        "@",       "a",      "\u00E1",   "\u00E0",
                              "\u00E2",  "A",      "Ab",       "abc",     "b",      "c",        "\u00E7",
                              "C",       "\u00C7", "deJesus",  "Dejesus", "e",      "\u00E9",   "\u00E8",
                              "\u00EA",  "\u00EB", "E",        "\u00C9",  "f",      "Maedchen", "M\u00E4dchen",
                              "Maf",     "n",      "\u00F1",   "N",       "\u00D1", "Strasse",  "Stra\u00DFe",
                              "Strassf", "Ue",     "\u00DC",   "Uf",      "y",      "\u00FF",   "Y",
                              "Zebra",   "\u00E5", "\u00C5re", "[x",      "^",      "{",        "~",
                              "\u00E6",  "\u00C6", "\u00A2",   "\u00A3",
                          });
  ExpectAscending("ANSIINTL", {
                                  " ",       "9",           "@",       "a",       "\u00E1",   "\u00E0",       "\u00E2",
                                  "\u00E3",  "A",           "\u00C1",  "\u00C0",  "\u00C2",   "\u00C3",       "Ab",
                                  "abc",     "b",           "deJesus", "Dejesus", "Maedchen", "M\u00E4dchen", "Maf",
                                  "o",       "\u00F8",      "O",       "\u00D8",  "oe",       "\u00F6",       "of",
                                  "Strasse", "Stra\u00DFe", "Strassf", "Zebra",   "\u00E5",   "\u00C5re",     "[x",
                                  "~",       "\u00E6",      "\u00C6",  "\u0152",  "\u00A3",
                              });
  // Length decides before case: a shorter text that agrees letter for
  // letter comes first.
  ExpectAscending("intl", {"ZZ", "zzz", "ZZZZ"});
}

TEST(Collation, AnsiIntlSpellsThornOut) {
  ExpectAscending("ANSIINTL", {"ta", "th", "\u00FE", "TH", "\u00DE", "ti", "TI"});
  // The same weights, spelled out or not: the spelled-out form first.
  const TCollation& c = Driver("ANSIINTL");
  EXPECT_LT(c.Compare(In(c, "ss"), In(c, "\u00DF")), 0);
  EXPECT_LT(c.Compare(In(c, "\u00DF"), In(c, "sS")), 0);
}

TEST(Collation, AnsiI850CountsRingAndAeAsFormsOfA) {
  ExpectAscending("ANSII850", {"a", "\u00E5", "\u00E6", "\u00AA", "A", "\u00C5", "\u00C6", "ab", "ae", "\u00E4", "af",
                               "Are", "\u00C5rf", "o", "\u00BA", "O", "Zebra", "[x"});
}

TEST(Collation, Nordan40PutsCapitalsFirstAndItsLettersAfterZ) {
  ExpectAscending("nordan40", {"A",      "a",      "B",      "O",      "o",      "U",      "u",      "Y",      "\u00DC",
                               "y",      "\u00FC", "Z",      "z",      "\u00C6", "\u00C4", "\u00E6", "\u00E4", "\u00D8",
                               "\u00D6", "\u00F8", "\u00C5", "\u00E5", "[",      "~",      "\u00DF"});
  ExpectAscending("nordan40", {"WYCLF", "\u00C5PNED"});
  // Nothing expands: the umlaut is one letter after Z, not "ae".
  ExpectAscending("nordan40", {"Af", "Az", "\u00C4a"});
}

TEST(Collation, EveryWeightedOrderIsATotalOrder) {
  std::mt19937 random(3);
  const char alphabet[] = {' ',    '-',    '0',    'A',    'a',    'E',    'e',    's',    'S',
                           'Z',    '[',    'z',    '\x84', '\x8E', '\x86', '\x8F', '\x91', '\x92',
                           '\xE1', '\xE4', '\xE5', '\xC4', '\xC5', '\xDF', '\xFE', '\x9B'};
  for (const std::string_view name : SupportedDrivers()) {
    const TCollation& c = Driver(name);
    std::vector<std::vector<std::byte>> values;
    for (int i = 0; i < 300; ++i) {
      std::vector<std::byte> v(6);
      const std::size_t length = random() % 6;
      for (std::size_t k = 0; k < length; ++k) v[k] = static_cast<std::byte>(alphabet[random() % sizeof alphabet]);
      values.push_back(v);
    }
    std::sort(values.begin(), values.end(), [&](const auto& a, const auto& b) { return c.Compare(a, b) < 0; });
    for (std::size_t i = 0; i < values.size(); ++i) {
      for (std::size_t j = i; j < values.size(); ++j) {
        const int forward = c.Compare(values[i], values[j]);
        ASSERT_LE(forward, 0) << name;
        ASSERT_EQ(forward, -c.Compare(values[j], values[i])) << name;
        ASSERT_EQ(forward == 0, values[i] == values[j]) << name;
      }
    }
  }
}

TEST(Collation, DriversAreFoundByNameOrSortByteAndTheOthersRefused) {
  EXPECT_EQ(&Driver("INTL"), FindCollationBySortOrder(0xB7));
  EXPECT_EQ(&Driver("dbwinus0"), FindCollationBySortOrder(0x4C));
  EXPECT_EQ(&Driver("ascii"), FindCollationBySortOrder(0x00));
  EXPECT_EQ(&Driver("ANSIINTL"), FindCollationBySortOrder(0x62));
  EXPECT_EQ(&Driver("ANSII850"), FindCollationBySortOrder(0x11));
  EXPECT_EQ(&Driver("nordan40"), FindCollationBySortOrder(0xE6));
  EXPECT_EQ(&Driver("BLROM800"), FindCollationBySortOrder(0x14));
  EXPECT_EQ(Driver("intl").CodePage(), 437);
  EXPECT_EQ(Driver("nordan40").CodePage(), 865);
  for (const char* unknown : {"intl850", "DBWINWE0", "nordan", "swedfin", "china", "ANSISPAN", ""}) {
    EXPECT_EQ(FindCollation(unknown), nullptr) << unknown;
  }
  EXPECT_EQ(FindCollationBySortOrder(0x54), nullptr);  // intl850
  try {
    (void)RequireCollation("DBWINWE0");
    FAIL() << "no error";
  } catch (const env::EDBEngineError& e) {
    EXPECT_EQ(e.Code(), kDbiErrNotSupported);
    EXPECT_NE(std::string(e.what()).find("'DBWINWE0'"), std::string::npos);
  }
  EXPECT_EQ(RequireCollation("intl").DriverName(), "intl");
}

// A record of an alpha field of 4 bytes, a long integer and a number.
std::vector<std::byte> Key(const TCollation& c, std::string_view text, std::int32_t number, double value) {
  auto key = In(c, text, 4);
  key.resize(4 + 4 + 8);
  EncodeFieldInteger(key.data() + 4, number, 4);
  EncodeFieldDouble(key.data() + 8, value);
  return key;
}

TEST(Collation, KeysCompareFieldByFieldAlphaByTheDriver) {
  const TKeyField fields[] = {{1, 4}, {4, 4}, {6, 8}};
  for (const char* driver : {"intl", "ascii"}) {
    const TCollation& c = Driver(driver);
    const std::vector<std::vector<std::byte>> ascending = {
        Key(c, "", 5, 0),     Key(c, "A", -7, 9),  Key(c, "A", 0, 1),     Key(c, "A", 3, -2.5),
        Key(c, "A", 3, -1.0), Key(c, "A", 3, 0.0), Key(c, "A", 3, 1e300), Key(c, "AB", -1, 0),
    };
    for (std::size_t i = 1; i < ascending.size(); ++i) {
      EXPECT_LT(CompareKeys(c, fields, ascending[i - 1].data(), ascending[i].data()), 0) << driver << i;
      EXPECT_GT(CompareKeys(c, fields, ascending[i].data(), ascending[i - 1].data()), 0) << driver << i;
    }
    EXPECT_EQ(CompareKeys(c, fields, ascending[3].data(), Key(c, "A", 3, -2.5).data()), 0);
  }
  // The alpha field decides by the driver: binary puts capitals first.
  const auto lower = Key(Driver("ascii"), "a", 9, 9);
  const auto upper = Key(Driver("ascii"), "B", 1, 1);
  EXPECT_GT(CompareKeys(Driver("ascii"), fields, lower.data(), upper.data()), 0);
  EXPECT_LT(CompareKeys(Driver("intl"), fields, lower.data(), upper.data()), 0);
}

TEST(Collation, TheFirstRecordOutOfOrderIsFound) {
  const TCollation& c = Driver("intl");
  const TKeyField fields[] = {{1, 4}, {4, 4}};
  std::vector<std::byte> run;
  for (const auto& k : {Key(c, "a", 1, 0), Key(c, "A", 1, 0), Key(c, "A", 1, 0), Key(c, "b", 0, 0)}) {
    run.insert(run.end(), k.begin(), k.end());
  }
  EXPECT_EQ(FirstOutOfOrder(c, fields, run, 16), std::nullopt);
  const auto late = Key(c, "\u00E1", 2, 0);  // a-acute sorts between a and A
  run.insert(run.end(), late.begin(), late.end());
  EXPECT_EQ(FirstOutOfOrder(c, fields, run, 16), std::optional<std::size_t>{4});
  EXPECT_EQ(FirstOutOfOrder(Driver("ascii"), fields, run, 16), std::optional<std::size_t>{1});
}

}  // namespace
}  // namespace remdo::paradox
