// The language drivers with a known alpha-key order, each as one small table
// of its rules, and the weight tables built from them. Characters are named
// by their Unicode code points and placed through the driver's code page, so
// one rule table serves a DOS and a Windows driver alike; a character the
// code page lacks is skipped.
//
// Primary order of every international driver: the bytes 0x01-0x40
// (controls, space, punctuation, digits, : ; < = > ? @) in code order; then
// the letter groups in the driver's order, each group one primary, its
// members in secondary order as written; then [ \ ] ^ _ ` { | } ~ and DEL;
// then the driver's groups placed after those symbols; then every other
// byte from 0x80 up in code order. Expansions give a character a second
// weight, that of another character; an alias first replaces the
// character's own weight with another's (ß weighs as s, then s).
//
// Accent order inside a letter, for every driver: plain, acute, grave,
// circumflex, tilde, diaeresis, ring, ligature, ordinal indicator, stroke,
// caron.
#include <string>
#include <vector>

#include "env/CodePage.h"
#include "env/Errors.h"
#include "env/Text.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/index/Collation.h"

namespace remdo::paradox {

namespace {

struct TExpansion {
  char16_t from;
  char16_t alias;  // 0: the character keeps its own weight
  char16_t then;
};

struct TDriverRules {
  std::string_view name;
  std::uint8_t sortOrder;
  std::uint16_t codePage;
  std::span<const std::u16string_view> letters;
  std::span<const std::u16string_view> afterSymbols;
  std::span<const TExpansion> expansions;
};

// intl and ANSIINTL: lowercase before capitals, plain before accented;
// a-ring and A-ring follow Z as letters of their own, ae and AE follow the
// symbols; umlauts expand with e, sharp s to s s.
constexpr std::u16string_view kIntlLetters[] = {
    u"a\u00E1\u00E0\u00E2\u00E3\u00E4A\u00C1\u00C0\u00C2\u00C3\u00C4",
    u"bB",
    u"c\u00E7C\u00C7",
    u"d\u00F0D\u00D0",
    u"e\u00E9\u00E8\u00EA\u00EBE\u00C9\u00C8\u00CA\u00CB",
    u"fF",
    u"gG",
    u"hH",
    u"i\u00ED\u00EC\u00EE\u00EFI\u00CD\u00CC\u00CE\u00CF",
    u"jJ",
    u"kK",
    u"lL",
    u"mM",
    u"n\u00F1N\u00D1",
    u"o\u00F3\u00F2\u00F4\u00F5\u00F6\u00F8O\u00D3\u00D2\u00D4\u00D5\u00D6\u00D8",
    u"pP",
    u"qQ",
    u"rR",
    u"s\u0161S\u0160",
    u"tT",
    u"u\u00FA\u00F9\u00FB\u00FCU\u00DA\u00D9\u00DB\u00DC",
    u"vV",
    u"wW",
    u"xX",
    u"y\u00FD\u00FFY\u00DD\u0178",
    u"z\u017EZ\u017D",
    u"\u00E5",
    u"\u00C5",
};
constexpr std::u16string_view kIntlAfterSymbols[] = {u"\u00E6", u"\u00C6"};
constexpr TExpansion kIntlExpansions[] = {
    {u'\u00E4', 0, u'e'}, {u'\u00F6', 0, u'e'}, {u'\u00FC', 0, u'e'},    {u'\u00C4', 0, u'E'},
    {u'\u00D6', 0, u'E'}, {u'\u00DC', 0, u'E'}, {u'\u00DF', u's', u's'},
};
// ANSIINTL also spells thorn out as th.
constexpr TExpansion kAnsiIntlExpansions[] = {
    {u'\u00E4', 0, u'e'},    {u'\u00F6', 0, u'e'},    {u'\u00FC', 0, u'e'},
    {u'\u00C4', 0, u'E'},    {u'\u00D6', 0, u'E'},    {u'\u00DC', 0, u'E'},
    {u'\u00DF', u's', u's'}, {u'\u00FE', u't', u'h'}, {u'\u00DE', u'T', u'H'},
};

// ANSII850: as ANSIINTL, but the feminine ordinal, a-ring and ae are forms
// of A and the masculine ordinal a form of O; nothing follows Z.
constexpr std::u16string_view kAnsiI850Letters[] = {
    u"a\u00E1\u00E0\u00E2\u00E3\u00E4\u00E5\u00E6\u00AAA\u00C1\u00C0\u00C2\u00C3\u00C4\u00C5\u00C6",
    u"bB",
    u"c\u00E7C\u00C7",
    u"d\u00F0D\u00D0",
    u"e\u00E9\u00E8\u00EA\u00EBE\u00C9\u00C8\u00CA\u00CB",
    u"fF",
    u"gG",
    u"hH",
    u"i\u00ED\u00EC\u00EE\u00EFI\u00CD\u00CC\u00CE\u00CF",
    u"jJ",
    u"kK",
    u"lL",
    u"mM",
    u"n\u00F1N\u00D1",
    u"o\u00F3\u00F2\u00F4\u00F5\u00F6\u00BA\u00F8O\u00D3\u00D2\u00D4\u00D5\u00D6\u00D8",
    u"pP",
    u"qQ",
    u"rR",
    u"s\u0161S\u0160",
    u"tT",
    u"u\u00FA\u00F9\u00FB\u00FCU\u00DA\u00D9\u00DB\u00DC",
    u"vV",
    u"wW",
    u"xX",
    u"y\u00FD\u00FFY\u00DD\u0178",
    u"z\u017EZ\u017D",
};

// nordan40: capitals before lowercase; AE (with A-umlaut), O-stroke (with
// O-umlaut) and A-ring follow Z; U-umlaut is a form of Y; nothing expands,
// and sharp s is a symbol among the others.
constexpr std::u16string_view kNordan40Letters[] = {
    u"A\u00C1\u00C0\u00C2\u00C3a\u00E1\u00E0\u00E2\u00E3",
    u"Bb",
    u"C\u00C7c\u00E7",
    u"D\u00D0d\u00F0",
    u"E\u00C9\u00C8\u00CA\u00CBe\u00E9\u00E8\u00EA\u00EB",
    u"Ff",
    u"Gg",
    u"Hh",
    u"I\u00CD\u00CC\u00CE\u00CFi\u00ED\u00EC\u00EE\u00EF",
    u"Jj",
    u"Kk",
    u"Ll",
    u"Mm",
    u"N\u00D1n\u00F1",
    u"O\u00D3\u00D2\u00D4\u00D5o\u00F3\u00F2\u00F4\u00F5",
    u"Pp",
    u"Qq",
    u"Rr",
    u"S\u0160s\u0161",
    u"Tt",
    u"U\u00DA\u00D9\u00DBu\u00FA\u00F9\u00FB",
    u"Vv",
    u"Ww",
    u"Xx",
    u"Y\u00DD\u0178\u00DCy\u00FD\u00FF\u00FC",
    u"Z\u017Dz\u017E",
    u"\u00C6\u00C4\u00E6\u00E4",
    u"\u00D8\u00D6\u00F8\u00F6",
    u"\u00C5\u00E5",
};

constexpr TDriverRules kWeightedDrivers[] = {
    {"intl", 0xB7, 437, kIntlLetters, kIntlAfterSymbols, kIntlExpansions},
    {"ANSIINTL", 0x62, 1252, kIntlLetters, kIntlAfterSymbols, kAnsiIntlExpansions},
    {"ANSII850", 0x11, 1252, kAnsiI850Letters, {}, kAnsiIntlExpansions},
    {"nordan40", 0xE6, 865, kNordan40Letters, {}, {}},
};

struct TBinaryDriver {
  std::string_view name;
  std::uint8_t sortOrder;
  std::uint16_t codePage;
};
constexpr TBinaryDriver kBinaryDrivers[] = {
    {"ascii", 0x00, 437},
    {"DBWINUS0", 0x4C, 1252},
    {"BLROM800", 0x14, 0},
};

constexpr std::string_view kSupported[] = {"ascii", "DBWINUS0", "BLROM800", "intl", "ANSIINTL", "ANSII850", "nordan40"};

// Builds one driver's weight table from its rules.
class TTableBuilder {
 public:
  explicit TTableBuilder(const TDriverRules& rules) : rules_(rules) {}

  TCollation::TTable Build() {
    for (unsigned b = 1; b <= 0x40; ++b) Assign(b, {static_cast<std::uint16_t>(b), 0, 0});
    next_ = 0x41;
    AddGroups(rules_.letters);
    for (unsigned b = 0x5B; b <= 0x60; ++b) Assign(b, {next_++, 0, 0});
    for (unsigned b = 0x7B; b <= 0x7F; ++b) Assign(b, {next_++, 0, 0});
    AddGroups(rules_.afterSymbols);
    for (const TExpansion& e : rules_.expansions) AddExpansion(e);
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
      if (!assigned_[b]) Assign(b, {next_++, 0, 0});
    }
    return table_;
  }

 private:
  // The byte of a character in the driver's code page; 0 when it has none.
  std::uint8_t ByteOf(char16_t c) const { return env::UnicodeToByte(rules_.codePage, c, 0); }

  void Assign(unsigned byte, TCollation::TWeight weight) {
    table_[byte] = weight;
    assigned_[byte] = true;
  }

  void AddGroups(std::span<const std::u16string_view> groups) {
    for (const std::u16string_view group : groups) {
      for (std::size_t i = 0; i < group.size(); ++i) {
        const std::uint8_t b = ByteOf(group[i]);
        if (b != 0 && !assigned_[b]) Assign(b, {next_, static_cast<std::uint8_t>(i + 1), 0});
      }
      ++next_;
    }
  }

  void AddExpansion(const TExpansion& e) {
    const std::uint8_t from = ByteOf(e.from);
    const std::uint8_t then = ByteOf(e.then);
    if (from == 0 || then == 0) return;
    TCollation::TWeight weight = e.alias != 0 ? table_[ByteOf(e.alias)] : table_[from];
    weight.expandsTo = then;
    Assign(from, weight);
  }

  const TDriverRules& rules_;
  TCollation::TTable table_{};
  std::array<bool, 256> assigned_{};
  std::uint16_t next_ = 0;
};

const std::vector<TCollation>& AllCollations() {
  static const std::vector<TCollation> all = [] {
    std::vector<TCollation> out;
    for (const TBinaryDriver& d : kBinaryDrivers) out.emplace_back(d.name, d.sortOrder, d.codePage);
    for (const TDriverRules& rules : kWeightedDrivers) {
      out.emplace_back(rules.name, rules.sortOrder, rules.codePage, TTableBuilder(rules).Build());
    }
    return out;
  }();
  return all;
}

}  // namespace

const TCollation* FindCollation(std::string_view driverName) {
  for (const TCollation& c : AllCollations()) {
    if (env::SameText(c.DriverName(), driverName)) return &c;
  }
  return nullptr;
}

const TCollation* FindCollationBySortOrder(std::uint8_t sortOrder) {
  for (const TCollation& c : AllCollations()) {
    if (c.SortOrder() == sortOrder) return &c;
  }
  return nullptr;
}

const TCollation& RequireCollation(std::string_view driverName) {
  if (const TCollation* c = FindCollation(driverName)) return *c;
  throw env::EDBEngineError(kDbiErrNotSupported, "The sort order of language driver '" + std::string(driverName) +
                                                     "' is not supported: alpha keys cannot be placed in its order");
}

std::span<const std::string_view> SupportedDrivers() { return kSupported; }

}  // namespace remdo::paradox
