#include "catalogue/TableCatalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "catalogue/FieldSpec.h"
#include "env/Text.h"

namespace remdo::catalogue {
namespace {

using TNames = std::vector<std::string>;

class TableCatalogue : public ::testing::Test {
 protected:
  void SetUp() override { ResetCatalogueSettings(); }
  void TearDown() override { ResetCatalogueSettings(); }
};

TFieldSpecReading Read(int number) { return ReadFieldSpecs(GetTableSchema(number)); }

// Bytes a field occupies in the record: the widths of the table header's
// field types (memo: the leading characters plus the 10-byte reference).
int FieldWidth(const TFieldSpec& field) {
  switch (field.letter) {
    case 'A':
      return field.size;
    case 'N':
    case '$':
    case '@':
      return 8;
    case 'D':
    case 'I':
    case 'T':
    case '+':
      return 4;
    case 'S':
      return 2;
    case 'L':
      return 1;
    case 'M':
      return field.size + 10;
    default:
      ADD_FAILURE() << "no width for type " << field.letter;
      return 0;
  }
}

int RecordWidth(int number) {
  int width = 0;
  for (const auto& field : Read(number).fields) width += FieldWidth(field);
  return width;
}

const std::vector<int>& ListedNumbers() {
  static const std::vector<int> numbers = [] {
    std::vector<int> n;
    for (int i = 1; i <= 15; ++i) n.push_back(i);
    for (int i = 21; i <= 42; ++i) n.push_back(i);
    return n;
  }();
  return numbers;
}

// The primary key and secondary index columns of the catalogue, as the
// catalogue states them for checking.
struct TKeysAndIndexes {
  int number;
  TNames key;
  TNames indexes;
};

const TKeysAndIndexes kKeysAndIndexes[] = {
    {1, {"As"}, {"Name", "Soundex"}},
    {2, {"Book"}, {"Sort Title", "Genre", "ISBN"}},
    {3, {"Book"}, {}},
    {4, {"Book"}, {}},
    {5, {"Book", "Release"}, {"ISBN"}},
    {6, {"Book", "Release"}, {"Series"}},
    {7, {"Book", "Role"}, {}},
    {8, {"Book", "Token"}, {"Token"}},
    {9, {"Book", "Order"}, {"As"}},
    {10, {"Book", "Group"}, {}},
    {11, {"Number"}, {"ShortName"}},
    {12, {"Number"}, {"ShortName"}},
    {13, {"Book", "Release"}, {}},
    {14, {"Book", "Release"}, {"Sort Title", "Key", "Series"}},
    {15, {"Book"}, {"Sort Title", "Genre", "ISBN"}},
    {21, {"Book", "Release", "Num"}, {"Sort Title", "Key", "Series", "ByDate", "EntryDate"}},
    {22, {"Book", "Release", "Num"}, {"Sort Title", "Key", "Series", "ByDate", "EntryDate"}},
    {23, {"Number"}, {"ShortName"}},
    {24, {"Pub", "n"}, {"ISBN"}},
    {25, {"Number", "Info"}, {"ccode"}},
    {26, {"Book", "Release", "Order"}, {"As"}},
    {27, {"Book", "Token"}, {"Token"}},
    {28, {"Book", "Release"}, {"SortSeries"}},
    {29, {"Book", "Release", "Num", "Pic"}, {}},
    {30, {"Book", "Release"}, {"Date", "ISBN"}},
    {31, {"Book"}, {"Main", "Sort Title"}},
    {32, {"Info", "Book"}, {}},
    {33, {"Book", "Sort1"}, {"Sort1", "Sort2"}},
    {34, {"As"}, {"Author", "Sort Name"}},
    {35, {"Book", "Folder", "Release"}, {"Folder"}},
    {36, {"Book", "Item", "Group"}, {"Group"}},
    {37, {"Number"}, {"ShortName", "Main"}},
    {38, {"Number"}, {"ShortName"}},
    {39, {"As"}, {"Sort Name", "EntryDate"}},
    {40, {"Book", "Release", "Num"}, {"Sort Title", "Key", "Series", "ByDate", "EntryDate"}},
    {41, {"Book", "Release", "Num"}, {"Sort Title", "Key", "Series", "ByDate", "EntryDate"}},
    {42, {"Book"}, {"Main", "Sort Title"}},
};

TEST_F(TableCatalogue, KeysAndIndexesFollowFromTheFlags) {
  std::set<int> covered;
  for (const auto& expected : kKeysAndIndexes) {
    covered.insert(expected.number);
    const TFieldSpecReading reading = Read(expected.number);
    TNames key;
    for (int i = 0; i < reading.keyLength; ++i) {
      EXPECT_TRUE(reading.fields[i].isKey) << expected.number << ": key fields are the leading ones";
      key.push_back(reading.fields[i].name);
    }
    for (std::size_t i = reading.keyLength; i < reading.fields.size(); ++i) {
      EXPECT_FALSE(reading.fields[i].isKey) << expected.number;
    }
    TNames indexes;
    for (const int position : reading.IndexedFields()) indexes.push_back(reading.fields[position - 1].name);
    EXPECT_EQ(key, expected.key) << "structure " << expected.number;
    EXPECT_EQ(indexes, expected.indexes) << "structure " << expected.number;
  }
  EXPECT_EQ(covered, std::set<int>(ListedNumbers().begin(), ListedNumbers().end()));
}

TEST_F(TableCatalogue, EveryFieldIsAWellFormedColumn) {
  for (const int number : ListedNumbers()) {
    const TFieldSpecReading reading = Read(number);
    ASSERT_FALSE(reading.fields.empty()) << number;
    std::set<std::string> names;
    for (const auto& field : reading.fields) {
      const std::string where = std::to_string(number) + "/" + field.name;
      EXPECT_FALSE(field.isEmpty) << where;
      EXPECT_FALSE(field.name.empty()) << where;
      EXPECT_TRUE(names.insert(env::UpperCase(field.name)).second) << where << ": duplicate name";
      EXPECT_NE(std::string("AN$DSMIL").find(field.letter), std::string::npos) << where;
      if (field.letter == 'A') {
        EXPECT_TRUE(field.size >= 1 && field.size <= 255) << where;
      } else if (field.letter != 'M') {
        EXPECT_EQ(field.size, 0) << where;
      }
    }
  }
}

// The columns that hold a memo in the real tables; the catalogue declares
// them with the memo's whole in-record width so that raw records fit.
struct TMemoColumn {
  int number;
  int position;
  const char* name;
  int width;
};

const TMemoColumn kMemoColumns[] = {
    {1, 10, "Notes", 14},  {2, 11, "Blurb", 14},  {3, 8, "Notes", 26},   {25, 8, "Address", 14},
    {31, 21, "Blurb", 11}, {42, 21, "Blurb", 11}, {34, 17, "Notes", 11}, {15, 11, "Blurb", 14},
};

TEST_F(TableCatalogue, MemoColumnsOccupyTheMemosRecordWidth) {
  for (const auto& memo : kMemoColumns) {
    const TFieldSpecReading reading = Read(memo.number);
    ASSERT_GE(static_cast<int>(reading.fields.size()), memo.position) << memo.number;
    const TFieldSpec& field = reading.fields[memo.position - 1];
    EXPECT_EQ(field.name, memo.name) << memo.number;
    EXPECT_EQ(FieldWidth(field), memo.width) << memo.number;
    // A memo field holds at least one leading character besides its reference.
    EXPECT_TRUE(memo.width >= 11 && memo.width <= 250) << memo.number;
    EXPECT_EQ(field.letter, memo.number == 15 ? 'M' : 'A') << memo.number;
  }
  EXPECT_EQ(RecordWidth(15), RecordWidth(2));
}

TEST_F(TableCatalogue, RepeatedEntriesAreIdentical) {
  EXPECT_EQ(GetTableSchema(40), GetTableSchema(21));
  EXPECT_EQ(GetTableSchema(41), GetTableSchema(22));
  EXPECT_EQ(GetTableSchema(42), GetTableSchema(31));

  TFieldSpecList folder3 = GetTableSchema(21);
  folder3.push_back("E, A120");
  EXPECT_EQ(GetTableSchema(22), folder3);

  TFieldSpecList books = GetTableSchema(2);
  TFieldSpecList memoBooks = GetTableSchema(15);
  ASSERT_EQ(books.size(), memoBooks.size());
  EXPECT_EQ(books.back(), "Blurb, A14");
  EXPECT_EQ(memoBooks.back(), "Blurb, M4");
  books.pop_back();
  memoBooks.pop_back();
  EXPECT_EQ(books, memoBooks);
}

TEST_F(TableCatalogue, NumbersOutsideTheCatalogueGiveAnEmptyList) {
  for (const int number : {0, 16, 17, 18, 19, 20, 43, 100, -1, -21, INT_MIN, INT_MAX}) {
    EXPECT_TRUE(GetTableSchema(number).empty()) << number;
  }
}

TEST_F(TableCatalogue, GroupNamesWidthComesFromTheExistingFile) {
  auto nameField = [] { return Read(11).fields.at(2); };
  EXPECT_EQ(GroupNameWidth(), kDefaultGroupNameWidth);
  EXPECT_EQ(GetTableSchema(11).at(2), "Name, A75");

  SetGroupNameWidth(40);
  EXPECT_EQ(nameField().name, "Name");
  EXPECT_EQ(nameField().letter, 'A');
  EXPECT_EQ(nameField().size, 40);
  EXPECT_EQ(GetTableSchema(11).size(), 4u);

  // A width no alpha column can have (a damaged header byte) is not taken.
  for (const int bad : {0, 256, -1}) {
    SetGroupNameWidth(40);
    SetGroupNameWidth(bad);
    EXPECT_EQ(nameField().size, kDefaultGroupNameWidth) << bad;
  }
  SetGroupNameWidth(255);
  EXPECT_EQ(nameField().size, 255);
  ResetCatalogueSettings();
  EXPECT_EQ(nameField().size, kDefaultGroupNameWidth);
}

TEST_F(TableCatalogue, LevelAndDriverSplitAt14) {
  struct Case {
    int number;
    int level;
    const char* driver;
  };
  for (const Case& c : {Case{14, 4, "intl"}, Case{15, 5, "DBWINUS0"}, Case{1, 4, "intl"}, Case{3, 4, "intl"},
                        Case{7, 4, "intl"}, Case{13, 4, "intl"}, Case{21, 5, "DBWINUS0"}, Case{42, 5, "DBWINUS0"}}) {
    EXPECT_EQ(SchemaLevel(c.number), c.level) << c.number;
    EXPECT_EQ(SchemaLanguageDriver(c.number), c.driver) << c.number;
  }
}

TEST_F(TableCatalogue, LayoutFollowsTheFirstFieldTypeOfBooks) {
  EXPECT_TRUE(IsCurrentLayout());
  SetBooksFormatMarker(6);  // number: the earlier layout's book numbers
  EXPECT_FALSE(IsCurrentLayout());
  SetBooksFormatMarker(0);
  EXPECT_FALSE(IsCurrentLayout());
  SetBooksFormatMarker(4);
  EXPECT_TRUE(IsCurrentLayout());
}

TEST_F(TableCatalogue, FolderTableNames) {
  struct Case {
    const char* name;
    std::optional<int> number;
  };
  const Case cases[] = {
      {"Fldr0003.db", 3},        {"fldr0003.DB", 3},  {"Fldr0250.db", 250},    {"Fldr12345.db", 12345},
      {"Fldr0000.db", 0},        {"Fldr003.db", {}},  {"Fldr00003.db", {}},    {"Fldr0003", {}},
      {"Fldr0003.px", {}},       {"Fldr*.db", {}},    {"Fldr00x3.db", {}},     {"XFldr0003.db", {}},
      {"Fldr1234567890.db", {}}, {"Fldr-003.db", {}}, {"Fldr0003.db.bak", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FolderTableNumber(c.name), c.number) << c.name;
    EXPECT_EQ(IsFolderTableFile(c.name), c.number.has_value()) << c.name;
  }
}

// The tables of each layout as the run sequence uses them.
const char* const kCurrentTables[] = {"AuthX",   "ExpTitle", "Books",    "BookRef", "Genre",    "BkSeries", "Reissues",
                                      "CharX",   "GrpNames", "LocNames", "BookInx", "Calendar", "Pubs",     "ISBNs",
                                      "Contact", "Images",   "BookInfo", "Prices",  "Auth0001", "Folders"};
const char* const kEarlierTables[] = {"AuthX", "Books",   "BookInfo", "ExpTitle", "Reissues", "BkSeries", "CharX",
                                      "Genre", "BookRef", "BookGrp",  "GrpNames", "BookLoc",  "LocNames", "Prices"};

TEST_F(TableCatalogue, DataSetFilesHoldEveryTableAndTheMemoFilesOfMemoTables) {
  struct Layout {
    bool current;
    std::span<const char* const> tables;
    std::set<std::string> memoTables;
  };
  const Layout layouts[] = {{true, kCurrentTables, {"AuthX", "BookInfo", "Books", "Contact"}},
                            {false, kEarlierTables, {"AuthX", "BookInfo", "Books"}}};
  for (const auto& layout : layouts) {
    const std::vector<std::string> files = DataSetFiles(layout.current);
    std::set<std::string> tables;
    std::set<std::string> memoTables;
    for (const auto& file : files) {
      const std::string stem = file.substr(0, file.find('.'));
      if (file.ends_with(".db")) tables.insert(stem);
      if (file.ends_with(".mb")) memoTables.insert(stem);
    }
    EXPECT_EQ(memoTables, layout.memoTables) << layout.current;
    std::set<std::string> expected(layout.tables.begin(), layout.tables.end());
    expected.insert("Fldr*");
    EXPECT_EQ(tables, expected) << layout.current;
    EXPECT_EQ(std::count(files.begin(), files.end(), std::string(kFolderTablesPattern)), 1);
    for (const char* table : layout.tables) {
      EXPECT_TRUE(IsDataSetFile(env::LowerCase(std::string(table) + ".DB"), layout.current)) << table;
      EXPECT_FALSE(TableLabel(table).empty()) << table;
    }
  }
  EXPECT_TRUE(IsDataSetFile("FLDR0003.DB", true));
  EXPECT_TRUE(IsDataSetFile("Fldr0003.db", false));
  EXPECT_FALSE(IsDataSetFile("Fldr*.db", true));
  EXPECT_FALSE(IsDataSetFile("BookGrp.db", true));
  EXPECT_FALSE(IsDataSetFile("Contact.mb", false));
  EXPECT_FALSE(IsDataSetFile("Books.px", true));
  EXPECT_FALSE(IsDataSetFile("temptbl1.db", true));
}

TEST_F(TableCatalogue, LabelsNameTheTablesInTheRunLog) {
  EXPECT_EQ(TableLabel("BOOKS"), "Books");
  EXPECT_EQ(TableLabel("Auth0001"), "Favorite authors");
  EXPECT_EQ(TableLabel("BookGrp"), "Group indexing");
  EXPECT_EQ(TableLabel("BookInx"), "Group indexing");
  EXPECT_EQ(TableLabel("BookLoc"), "Locale indexing");
  EXPECT_EQ(TableLabel("Fldr0003"), "");  // a folder's label is its title
  EXPECT_EQ(TableLabel("Books.db"), "");
  EXPECT_EQ(TableLabel(""), "");
}

}  // namespace
}  // namespace remdo::catalogue
