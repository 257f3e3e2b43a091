// The catalogue generator: every table of both layouts read back with the
// raw reader (records equal to header counts, the fields of the built-in
// structure, memo columns as memo fields with their values in the memo
// file), the content agreeing across tables, the save folder, the options,
// and the same bytes for the same seed.
#include "generator/CatalogueGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "catalogue/FieldSpec.h"
#include "catalogue/TableCatalogue.h"
#include "env/Path.h"
#include "generator/GeneratorCommand.h"
#include "generator/TableWriter.h"
#include "paradox/components/Table.h"
#include "paradox/family/TableFiles.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/PxObject.h"
#include "paradox/memo/MemoFile.h"
#include "tools/GeneratedCatalogue.h"

namespace remdo::tools {
namespace {

using testing::ReadRaw;
using testing::SharedCatalogue;
using testing::TRawTable;

// The type code and record width a field spec stands for.
std::pair<int, int> TypeAndWidth(const catalogue::TFieldSpec& spec) {
  switch (spec.letter) {
    case 'A': return {1, spec.size};
    case 'D': return {2, 4};
    case 'S': return {3, 2};
    case 'I': return {4, 4};
    case '$': return {5, 8};
    case 'N': return {6, 8};
    case 'L': return {9, 1};
    case 'M': return {12, spec.size + 10};
    default: return {0, 0};
  }
}

std::string FolderTable(int folder) {
  std::string digits = std::to_string(folder);
  return "Fldr" + std::string(4 - digits.size(), '0') + digits;
}

class GeneratedLayout : public ::testing::TestWithParam<bool> {
 protected:
  const std::string& Folder() const { return SharedCatalogue(GetParam()).folder.Path(); }
  const TGeneratedCatalogue& Generated() const { return SharedCatalogue(GetParam()).generated; }
  TRawTable Table(std::string_view name) const { return ReadRaw(Folder() + std::string(name) + ".db"); }
};

INSTANTIATE_TEST_SUITE_P(Layouts, GeneratedLayout, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Current" : "Earlier"; });

TEST_P(GeneratedLayout, WritesEveryTableOfTheLayout) {
  std::set<std::string> expected;
  for (const std::string& file : catalogue::DataSetFiles(GetParam())) {
    if (env::SameText(env::ExtensionPart(file), ".db") && file != catalogue::kFolderTablesPattern) {
      expected.insert(env::UpperCase(file.substr(0, file.size() - 3)));
    }
  }
  for (int folder = 1; folder <= 6; ++folder) expected.insert(env::UpperCase(FolderTable(folder)));
  std::set<std::string> written;
  for (const TGeneratedTable& table : Generated().tables) written.insert(env::UpperCase(table.name));
  EXPECT_EQ(written, expected);
}

// The raw reader finds the header's count, which is what was written, and
// the fields are the structure's own: names, types and widths, with the
// memo column a memo field of the declared width.
TEST_P(GeneratedLayout, TablesReadBackWithTheStructuresFields) {
  for (const TGeneratedTable& generated : Generated().tables) {
    SCOPED_TRACE(generated.name);
    const TRawTable table = Table(generated.name);
    EXPECT_EQ(table.headerCount, generated.records);
    EXPECT_EQ(static_cast<std::int64_t>(table.records.size()), generated.records);
    EXPECT_GT(generated.records, 0);
    const catalogue::TFieldSpecList specs = catalogue::GetTableSchema(generated.structure);
    const catalogue::TFieldSpecReading reading = catalogue::ReadFieldSpecs(specs);
    ASSERT_EQ(table.fields.size(), reading.fields.size());
    EXPECT_EQ(table.keyFields, reading.keyLength);
    const int memoField = MemoFieldNumber(generated.structure);
    for (std::size_t i = 0; i < reading.fields.size(); ++i) {
      const auto [type, width] = TypeAndWidth(reading.fields[i]);
      EXPECT_EQ(table.fields[i].name, reading.fields[i].name);
      EXPECT_EQ(table.fields[i].width, width) << table.fields[i].name;
      EXPECT_EQ(table.fields[i].type, static_cast<int>(i) + 1 == memoField ? 12 : type) << table.fields[i].name;
    }
    EXPECT_EQ(env::DefaultFileSystem().FileExists(Folder() + generated.name + ".mb"), memoField != 0);
    EXPECT_TRUE(env::DefaultFileSystem().FileExists(Folder() + generated.name + ".px"));
  }
}

// Level and driver: header byte 57 (version 9 for level 4, 11 for level 5)
// and the sort byte at 41 (intl 0xB7, DBWINUS0 0x4C).
TEST_P(GeneratedLayout, TablesHaveTheStructuresLevelAndDriver) {
  for (const TGeneratedTable& generated : Generated().tables) {
    SCOPED_TRACE(generated.name);
    const std::vector<std::byte> bytes = test::ReadWholeFile(Folder() + generated.name + ".db");
    const bool level4 = catalogue::SchemaLevel(generated.structure) == 4;
    EXPECT_EQ(std::to_integer<int>(bytes[57]), level4 ? 9 : 11);
    EXPECT_EQ(std::to_integer<int>(bytes[41]), level4 ? 0xB7 : 0x4C);
  }
}

// Every memo field is blank, leader-only or a reference that the memo file
// resolves, with the leader holding the value's first bytes; every table
// holds values of every kind of storage (a block of its own past 2 KiB).
TEST_P(GeneratedLayout, MemoValuesLiveInTheMemoFile) {
  for (const TGeneratedTable& generated : Generated().tables) {
    const int memoField = MemoFieldNumber(generated.structure);
    if (memoField == 0) continue;
    SCOPED_TRACE(generated.name);
    const TRawTable table = Table(generated.name);
    auto file = env::DefaultFileSystem().Open(Folder() + generated.name + ".mb", env::TOpenMode::kRead);
    const std::uint64_t size = paradox::CheckMemoHeader(*file);
    EXPECT_EQ(size % 4096, 0u);
    int blank = 0, leaderOnly = 0, shared = 0, single = 0;
    const std::string name = table.fields[static_cast<std::size_t>(memoField - 1)].name;
    for (std::size_t r = 0; r < table.records.size(); ++r) {
      const std::span<const std::byte> field = table.Bytes(r, name);
      const paradox::TBlobDescriptor reference = paradox::DescriptorOfField(field);
      if (reference.IsBlank()) {
        ++blank;
      } else if (reference.IsLeaderOnly()) {
        ++leaderOnly;
      } else {
        const std::vector<std::byte> value = paradox::ReadStoredBlob(*file, size, reference);
        ASSERT_EQ(value.size(), reference.length);
        const std::size_t leader = field.size() - 10;
        EXPECT_TRUE(std::equal(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(leader), value.begin()));
        EXPECT_EQ(reference.IsSingleBlock(), value.size() > 2048) << "record " << r;
        ++(reference.IsSingleBlock() ? single : shared);
      }
    }
    // Every table with a memo field holds each kind of value.
    EXPECT_GT(blank, 0);
    EXPECT_GT(leaderOnly, 0);
    EXPECT_GT(shared, 0);
    EXPECT_GT(single, 0);
  }
}

// One maintained single-field index per field the structure flags "+": an
// .X file naming the field (header byte 0x15) with a record per table
// record, and its .Y file beside it.
TEST_P(GeneratedLayout, SecondaryIndexesAsTheStructureFlagsThem) {
  for (const TGeneratedTable& generated : Generated().tables) {
    SCOPED_TRACE(generated.name);
    const catalogue::TFieldSpecList specs = catalogue::GetTableSchema(generated.structure);
    const std::vector<int> wanted = catalogue::ReadFieldSpecs(specs).IndexedFields();
    std::vector<int> indexed;
    int trees = 0;
    for (const env::TFindEntry& entry : env::DefaultFileSystem().Find(Folder() + generated.name + ".*", 0)) {
      const std::string extension(env::ExtensionPart(entry.name).substr(1));
      if (!paradox::IsSecondaryIndexExtension(extension)) continue;
      EXPECT_EQ(extension, env::LowerCase(extension));
      if (extension[0] == 'y') {
        ++trees;
        continue;
      }
      paradox::TPxObject index(env::DefaultFileSystem().Open(Folder() + entry.name, env::TOpenMode::kRead));
      const auto header = index.HeaderBytes();
      EXPECT_EQ(index.FileType(), 5) << entry.name;  // maintained
      EXPECT_EQ(index.RecordCount(), generated.records) << entry.name;
      indexed.push_back(std::to_integer<int>(header[paradox::pxheader::kIndexFieldNumber]));
      EXPECT_TRUE(env::DefaultFileSystem().FileExists(Folder() + generated.name + ".y" + extension.substr(1)));
    }
    std::sort(indexed.begin(), indexed.end());
    EXPECT_EQ(indexed, wanted);
    EXPECT_EQ(trees, static_cast<int>(wanted.size()));
  }
}

// The engine opens every table, on its primary index and on each secondary
// one (whose order it walks), and reads every memo value through the memo
// field: the same text as the memo file holds for the record's reference.
TEST_P(GeneratedLayout, EngineReadsTablesIndexesAndMemoValues) {
  for (const TGeneratedTable& generated : Generated().tables) {
    SCOPED_TRACE(generated.name);
    paradox::TTable table;
    table.SetDatabaseName(Folder());
    table.SetTableName(generated.name + ".db");
    table.Open();
    EXPECT_EQ(table.RecordCount(), generated.records);
    const int memoField = MemoFieldNumber(generated.structure);
    if (memoField != 0) {
      const TRawTable raw = Table(generated.name);
      auto file = env::DefaultFileSystem().Open(Folder() + generated.name + ".mb", env::TOpenMode::kRead);
      const std::uint64_t size = file->Size();
      std::size_t r = 0;
      for (table.First(); !table.Eof(); table.Next(), ++r) {
        const std::span<const std::byte> field = raw.Bytes(r, table.Fields(memoField - 1).FieldName());
        const paradox::TBlobDescriptor reference = paradox::DescriptorOfField(field);
        std::string expected;
        if (!reference.IsBlank() && !reference.IsLeaderOnly()) {
          const std::vector<std::byte> value = paradox::ReadStoredBlob(*file, size, reference);
          expected.assign(reinterpret_cast<const char*>(value.data()), value.size());
        } else if (reference.IsLeaderOnly()) {
          expected.assign(reinterpret_cast<const char*>(field.data()), reference.length);
        }
        ASSERT_EQ(table.Fields(memoField - 1).AsString(), expected) << "record " << r;
      }
      EXPECT_EQ(r, raw.records.size());
    }
    table.Close();
    const catalogue::TFieldSpecList specs = catalogue::GetTableSchema(generated.structure);
    const catalogue::TFieldSpecReading reading = catalogue::ReadFieldSpecs(specs);
    for (const int number : reading.IndexedFields()) {
      const std::string& name = reading.fields[static_cast<std::size_t>(number - 1)].name;
      paradox::TTable ordered;
      ordered.SetDatabaseName(Folder());
      ordered.SetTableName(generated.name + ".db");
      ordered.SetIndexName(name);
      ordered.Open();
      // DBWINUS0 (every structure above 14) orders alpha values by their
      // bytes; intl has an order of its own, left to the engine's tests.
      const bool binary = catalogue::SchemaLanguageDriver(generated.structure) == "DBWINUS0";
      long count = 0;
      std::string previous;
      for (ordered.First(); !ordered.Eof(); ordered.Next(), ++count) {
        const paradox::TField& field = ordered.FieldByName(name);
        if (!binary || field.DataType() != paradox::TFieldType::kAlpha) continue;
        const std::string value = field.AsString();
        EXPECT_LE(previous, value) << name;
        previous = value;
      }
      EXPECT_EQ(count, generated.records) << name;
    }
  }
}

// The backed-up files, byte for byte, and no index files.
TEST_P(GeneratedLayout, SaveFolderHoldsCopiesOfTheBackedUpFiles) {
  const std::string save = SaveFolderName(GetParam(), Folder());
  const std::vector<std::string>& saved = Generated().savedFiles;
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(std::count(saved.begin(), saved.end(), "Books.mb"), 1);
  EXPECT_EQ(std::count(saved.begin(), saved.end(), "Fldr0003.db"), 1);
  EXPECT_EQ(std::count(saved.begin(), saved.end(), "Contact.db"), GetParam() ? 1 : 0);
  EXPECT_EQ(std::count(saved.begin(), saved.end(), "BookGrp.db"), GetParam() ? 0 : 1);
  for (const std::string& name : saved) {
    EXPECT_EQ(test::ReadWholeFile(save + name), test::ReadWholeFile(Folder() + name)) << name;
  }
  std::size_t inSave = 0;
  for (const env::TFindEntry& entry : env::DefaultFileSystem().Find(save + "*", 0)) {
    ++inSave;
    const std::string extension = env::LowerCase(env::ExtensionPart(entry.name));
    EXPECT_TRUE(extension == ".db" || extension == ".mb") << entry.name;
  }
  EXPECT_EQ(inSave, saved.size());
}

// Current layout: every Genre row's token is among its book's G0-G7 and
// every token there has its row; tokens stay below 128.
TEST(GeneratedCurrentLayout, GenreRowsMatchTheBooksTokens) {
  const std::string& folder = SharedCatalogue(true).folder.Path();
  const TRawTable books = ReadRaw(folder + "Books.db");
  const TRawTable genre = ReadRaw(folder + "Genre.db");
  std::set<std::pair<std::int64_t, std::int64_t>> fromBooks;
  for (std::size_t r = 0; r < books.records.size(); ++r) {
    ASSERT_EQ(books.Integer(r, "Book"), static_cast<std::int64_t>(r) + 1);
    EXPECT_NE(books.Text(r, "Title"), "");
    EXPECT_NE(books.Text(r, "Sort Title"), "");
    bool ended = false;
    for (int g = 0; g < 8; ++g) {
      const std::int64_t token = books.Integer(r, "G" + std::to_string(g));
      EXPECT_LT(token, 128);
      if (token == 0) ended = true;
      if (token == 0) continue;
      EXPECT_FALSE(ended) << "a token after an empty G field, book " << r + 1;
      EXPECT_TRUE(fromBooks.insert({books.Integer(r, "Book"), token}).second) << "token twice, book " << r + 1;
    }
  }
  std::set<std::pair<std::int64_t, std::int64_t>> rows;
  for (std::size_t r = 0; r < genre.records.size(); ++r) rows.insert({genre.Integer(r, "Book"), genre.Integer(r, "Token")});
  EXPECT_EQ(rows.size(), genre.records.size());
  EXPECT_EQ(rows, fromBooks);
}

// Current layout: each folder has its title (ExpTitle Info 2, Book = the
// folder) and a table holding exactly the Book and Release pairs that
// Folders gives it; folder 3 has the 13-field structure.
TEST(GeneratedCurrentLayout, FolderTablesMatchFoldersAndHaveTitles) {
  const std::string& folder = SharedCatalogue(true).folder.Path();
  const TRawTable titles = ReadRaw(folder + "ExpTitle.db");
  const TRawTable folders = ReadRaw(folder + "Folders.db");
  const TRawTable books = ReadRaw(folder + "Books.db");
  std::map<std::int64_t, std::string> folderTitles;
  for (std::size_t r = 0; r < titles.records.size(); ++r) {
    if (titles.Integer(r, "Info") == 2) {
      folderTitles[titles.Integer(r, "Book")] = titles.Text(r, "Title");
    } else {
      ASSERT_EQ(titles.Integer(r, "Info"), 1);
      const std::int64_t book = titles.Integer(r, "Book");
      ASSERT_GE(book, 1);
      ASSERT_LE(book, static_cast<std::int64_t>(books.records.size()));
      EXPECT_EQ(titles.Text(r, "Title").substr(0, 30), books.Text(static_cast<std::size_t>(book - 1), "Title"));
    }
  }
  ASSERT_EQ(folderTitles.size(), 6u);
  std::map<std::int64_t, std::multiset<std::pair<std::int64_t, std::int64_t>>> byFolder;
  for (std::size_t r = 0; r < folders.records.size(); ++r) {
    byFolder[folders.Integer(r, "Folder")].insert({folders.Integer(r, "Book"), folders.Integer(r, "Release")});
  }
  for (const auto& [number, title] : folderTitles) {
    SCOPED_TRACE(number);
    EXPECT_NE(title, "");
    const TRawTable table = ReadRaw(folder + FolderTable(static_cast<int>(number)) + ".db");
    EXPECT_EQ(table.fields.size(), number == 3 ? 13u : 12u);
    std::multiset<std::pair<std::int64_t, std::int64_t>> rows;
    for (std::size_t r = 0; r < table.records.size(); ++r) {
      const std::int64_t book = table.Integer(r, "Book");
      rows.insert({book, table.Integer(r, "Release")});
      EXPECT_EQ(table.Text(r, "Sort Title"), books.Text(static_cast<std::size_t>(book - 1), "Sort Title"));
    }
    EXPECT_FALSE(rows.empty());
    EXPECT_EQ(rows, byFolder[number]);
  }
}

// Current layout: references between tables lead somewhere.
TEST(GeneratedCurrentLayout, ReferencesBetweenTablesHold) {
  const std::string& folder = SharedCatalogue(true).folder.Path();
  const TRawTable authors = ReadRaw(folder + "AuthX.db");
  std::set<std::int64_t> as;
  for (std::size_t r = 0; r < authors.records.size(); ++r) as.insert(authors.Integer(r, "As"));
  for (const char* name : {"BookRef", "Auth0001"}) {
    const TRawTable table = ReadRaw(folder + name + ".db");
    for (std::size_t r = 0; r < table.records.size(); ++r) EXPECT_TRUE(as.count(table.Integer(r, "As"))) << name;
  }
  const TRawTable reissues = ReadRaw(folder + "Reissues.db");
  std::set<std::pair<std::int64_t, std::int64_t>> releases;
  for (std::size_t r = 0; r < reissues.records.size(); ++r) {
    releases.insert({reissues.Integer(r, "Book"), reissues.Integer(r, "Release")});
  }
  for (const char* name : {"Folders", "Prices"}) {
    const TRawTable table = ReadRaw(folder + name + ".db");
    for (std::size_t r = 0; r < table.records.size(); ++r) {
      EXPECT_TRUE(releases.count({table.Integer(r, "Book"), table.Integer(r, "Release")})) << name;
    }
  }
  const TRawTable books = ReadRaw(folder + "Books.db");
  for (std::int64_t b = 1; b <= static_cast<std::int64_t>(books.records.size()); ++b) {
    EXPECT_TRUE(releases.count({b, 1})) << "book " << b << " without release 1";
  }
}

// Earlier layout: folder titles are the expanded titles of books -1 to -6,
// each folder's table lists books that exist with a release they have, and
// every book's Genre token has its Genre row.
TEST(GeneratedEarlierLayout, FoldersTitlesAndGenresAgree) {
  const std::string& folder = SharedCatalogue(false).folder.Path();
  const TRawTable titles = ReadRaw(folder + "ExpTitle.db");
  const TRawTable books = ReadRaw(folder + "Books.db");
  std::set<std::int64_t> folderNumbers;
  for (std::size_t r = 0; r < titles.records.size(); ++r) {
    const std::int64_t book = titles.Integer(r, "Book");
    if (book < 0) {
      folderNumbers.insert(-book);
      EXPECT_NE(titles.Text(r, "Title"), "");
    } else {
      EXPECT_LE(book, static_cast<std::int64_t>(books.records.size()));
    }
  }
  EXPECT_EQ(folderNumbers, (std::set<std::int64_t>{1, 2, 3, 4, 5, 6}));
  const TRawTable reissues = ReadRaw(folder + "Reissues.db");
  std::set<std::pair<std::int64_t, std::int64_t>> releases;
  for (std::size_t r = 0; r < reissues.records.size(); ++r) {
    releases.insert({reissues.Integer(r, "Book"), reissues.Integer(r, "Release")});
  }
  for (const std::int64_t number : folderNumbers) {
    const TRawTable table = ReadRaw(folder + FolderTable(static_cast<int>(number)) + ".db");
    EXPECT_EQ(table.fields.size(), 5u);
    EXPECT_FALSE(table.records.empty());
    for (std::size_t r = 0; r < table.records.size(); ++r) {
      EXPECT_TRUE(releases.count({table.Integer(r, "Book"), table.Integer(r, "Release")}));
    }
  }
  const TRawTable genre = ReadRaw(folder + "Genre.db");
  std::set<std::pair<std::int64_t, std::int64_t>> rows;
  for (std::size_t r = 0; r < genre.records.size(); ++r) rows.insert({genre.Integer(r, "Book"), genre.Integer(r, "Token")});
  for (std::size_t r = 0; r < books.records.size(); ++r) {
    const std::int64_t token = books.Integer(r, "Genre");
    if (token != 0) {
      EXPECT_TRUE(rows.count({books.Integer(r, "Book"), token})) << "book " << r + 1;
    }
  }
}

// Two runs with one seed give the same files; only the stamps that the
// engine writes into every data file header (generation tag 0x30-0x33,
// time 0x60-0x63) may differ. Another seed gives other books.
TEST(GeneratorDeterminism, SameSeedGivesTheSameBytes) {
  TCatalogueOptions options;
  options.books = 300;
  options.folders = 4;
  options.seed = 11;
  test::TScratchFolder first, second, third;
  testing::GenerateUnsynced(first.Path(), options);
  testing::GenerateUnsynced(second.Path(), options);
  const auto names = test::FilesBelow(first.Path(), {".db", ".px", ".mb"});
  ASSERT_EQ(names.size(), test::FilesBelow(second.Path(), {".db", ".px", ".mb"}).size());
  for (const std::string& path : names) {
    const std::string relative = path.substr(first.Path().size());
    std::vector<std::byte> a = test::ReadWholeFile(path);
    std::vector<std::byte> b = test::ReadWholeFile(second.Path() + relative);
    ASSERT_EQ(a.size(), b.size()) << relative;
    if (env::SameText(env::ExtensionPart(relative), ".db")) {
      for (const std::size_t stamp : {0x30, 0x31, 0x32, 0x33, 0x60, 0x61, 0x62, 0x63}) a[stamp] = b[stamp];
    }
    EXPECT_TRUE(a == b) << relative;
  }
  options.seed = 12;
  options.onlyTables = {"Books"};
  testing::GenerateUnsynced(third.Path(), options);
  EXPECT_NE(ReadRaw(first.Path() + "Books.db").records, ReadRaw(third.Path() + "Books.db").records);
}

TEST(GeneratorOptions, OnlyTablesAndLayoutChoices) {
  test::TScratchFolder folder;
  TCatalogueOptions options;
  options.books = 50;
  options.folders = 12;
  options.saveFolder = false;
  options.earlierFolderTables = true;
  options.onlyTables = {"books", "Fldr001?"};
  const TGeneratedCatalogue generated = GenerateCatalogue(folder.Path(), options);
  std::vector<std::string> names;
  for (const TGeneratedTable& table : generated.tables) {
    names.push_back(table.name);
    if (table.name != "Books") {
      EXPECT_EQ(table.structure, 14);
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Books", "Fldr0010", "Fldr0011", "Fldr0012"}));
  EXPECT_EQ(ReadRaw(folder / "Fldr0011.db").fields.size(), 5u);
  EXPECT_FALSE(env::DefaultFileSystem().FolderExists(folder / "Save"));
  EXPECT_EQ(generated.Records("BOOKS"), 50);
  EXPECT_EQ(generated.Records("Genre"), -1);
}

// Structure 11 takes the group name width that the options give, for that
// table only.
TEST(GeneratorOptions, GroupNameWidthOfTheEarlierLayout) {
  test::TScratchFolder folder;
  TCatalogueOptions options;
  options.currentLayout = false;
  options.books = 30;
  options.saveFolder = false;
  options.groupNameWidth = 40;
  options.onlyTables = {"GrpNames", "LocNames"};
  const int before = catalogue::GroupNameWidth();
  GenerateCatalogue(folder.Path(), options);
  EXPECT_EQ(catalogue::GroupNameWidth(), before);
  EXPECT_EQ(ReadRaw(folder / "GrpNames.db").Field("Name").width, 40);
  EXPECT_EQ(ReadRaw(folder / "LocNames.db").Field("Name").width, 50);
}

TEST(GeneratorOptions, RefusesCountsThatMakeNoCatalogue) {
  test::TScratchFolder folder;
  for (const auto& change : {+[](TCatalogueOptions& o) { o.books = 0; }, +[](TCatalogueOptions& o) { o.folders = 10000; },
                             +[](TCatalogueOptions& o) { o.memoPerMille = 1001; },
                             +[](TCatalogueOptions& o) { o.groupNameWidth = 256; }}) {
    TCatalogueOptions options;
    change(options);
    EXPECT_THROW(GenerateCatalogue(folder.Path(), options), EGeneratorError);
  }
  EXPECT_TRUE(test::FilesBelow(folder.Path(), {".db"}).empty());
}

TEST(GeneratorCommand, ParsesTheCommandLine) {
  std::string folder;
  const TCatalogueOptions options =
      ParseGeneratorOptions({"--books", "2500", "C:\\FENRO\\", "--earlier", "--folders", "0", "--memo-share", "0.25",
                             "--seed", "99", "--no-save", "--no-favourites", "--only", "Books", "--only", "Fldr*",
                             "--group-name-width", "40"},
                            folder);
  EXPECT_EQ(folder, "C:\\FENRO\\");
  EXPECT_FALSE(options.currentLayout);
  EXPECT_EQ(options.books, 2500);
  EXPECT_EQ(options.folders, 0);
  EXPECT_EQ(options.memoPerMille, 250);
  EXPECT_EQ(options.seed, 99u);
  EXPECT_FALSE(options.saveFolder);
  EXPECT_FALSE(options.favouriteAuthors);
  EXPECT_EQ(options.onlyTables, (std::vector<std::string>{"Books", "Fldr*"}));
  EXPECT_EQ(options.groupNameWidth, 40);
  EXPECT_EQ(ParseGeneratorOptions({"x", "--memo-share", "1"}, folder).memoPerMille, 1000);
  EXPECT_EQ(ParseGeneratorOptions({"x", "--memo-share", ".05"}, folder).memoPerMille, 50);
}

TEST(GeneratorCommand, UsageErrorsExitWithTwo) {
  for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
           {}, {"--books", "10"}, {"a", "b"}, {"a", "--books", "0"}, {"a", "--books", "x"}, {"a", "--memo-share", "1.5"},
           {"a", "--memo-share", "-1"}, {"a", "--folders", "10000"}, {"a", "--group-name-width", "0"}, {"a", "--colour"}, {"a", "--seed"}}) {
    std::ostringstream out, err;
    EXPECT_EQ(RunGenerator(words, out, err), 2) << ::testing::PrintToString(words);
    EXPECT_NE(err.str().find("usage: remdo-generate"), std::string::npos);
  }
}

TEST(GeneratorCommand, ReportsTablesAndFailures) {
  test::TScratchFolder folder;
  std::ostringstream out, err;
  EXPECT_EQ(RunGenerator({folder.Path(), "--books", "20", "--folders", "1", "--only", "Books", "--only", "Fldr*"}, out, err), 0)
      << err.str();
  EXPECT_NE(out.str().find("Books\tstructure 31\t20 records\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("Fldr0001\tstructure 21\t"), std::string::npos) << out.str();
  std::ostringstream out2, err2;
  EXPECT_EQ(RunGenerator({folder / "missing", "--books", "5"}, out2, err2), 1);
  EXPECT_EQ(err2.str().rfind("remdo-generate: ", 0), 0u) << err2.str();
}

}  // namespace
}  // namespace remdo::tools
