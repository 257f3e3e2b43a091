// Book and genre recovery on small catalogues built through the engine:
// titles refilled from the expanded titles or the sort title, dates from
// the reissues, genre lists from Genre, folder titles never taken for
// books, and the Genre records the books call for made again.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "damage/Damage.h"
#include "repair/BookRecovery.h"
#include "repair/RepairFixture.h"

namespace remdo::repair {
namespace {

using testing::TRepairTest;
using TRow = std::vector<std::pair<std::string, paradox::TValue>>;

// Structures of the current and the earlier layout.
constexpr int kBooks = 31, kExpTitle = 32, kReissues = 30, kGenre = 27;
constexpr int kBooksOld = 2, kExpTitleOld = 4, kReissuesOld = 5, kGenreOld = 8;

struct TBookRow {
  std::string title;
  std::int32_t date = 0;
  std::int32_t prime = 0;
  std::vector<std::int32_t> genres;  // G0 to G7 (empty in the earlier layout)
};

class BookRecoveryTest : public TRepairTest {
 protected:
  // Creates an empty table of a structure and appends the rows through
  // the engine, field by name.
  void Table(std::string_view name, int structure, const std::vector<TRow>& rows) {
    MakeTable(name, structure, {});
    Append(name, rows);
  }
  void Append(std::string_view name, const std::vector<TRow>& rows) {
    paradox::TTable table;
    table.SetDatabaseName(test::kDataFolder);
    table.SetTableName(std::string(name));
    table.Open();
    for (const auto& row : rows) {
      table.Append();
      for (const auto& [field, value] : row) table.FieldByName(field).SetValue(value);
      table.Post();
    }
    table.Close();
  }

  std::map<std::int32_t, TBookRow> ReadBooks() {
    std::map<std::int32_t, TBookRow> books;
    paradox::TTable table;
    table.SetDatabaseName(test::kDataFolder);
    table.SetTableName("Books");
    table.Open();
    for (table.First(); !table.Eof(); table.Next()) {
      TBookRow& row = books[table.Fields(0).AsInteger()];
      row.title = table.FieldByName("Title").AsString();
      row.date = table.FieldByName("Date").AsInteger();
      if (auto* prime = table.FindField("Prime")) row.prime = prime->AsInteger();
      for (int g = 0; g < 8; ++g) {
        if (auto* field = table.FindField("G" + std::to_string(g))) row.genres.push_back(field->AsInteger());
      }
    }
    table.Close();
    return books;
  }

  std::vector<std::pair<std::int32_t, std::int32_t>> ReadGenre() {
    std::vector<std::pair<std::int32_t, std::int32_t>> records;
    paradox::TTable table;
    table.SetDatabaseName(test::kDataFolder);
    table.SetTableName("Genre");
    table.Open();
    for (table.First(); !table.Eof(); table.Next()) {
      records.emplace_back(table.Fields(0).AsInteger(), table.Fields(1).AsInteger());
    }
    table.Close();
    return records;
  }

  static TRow Book(int number, std::string title, std::string sortTitle, TRow more = {}) {
    TRow row{{"Book", number}, {"Title", std::move(title)}, {"Sort Title", std::move(sortTitle)}};
    row.insert(row.end(), more.begin(), more.end());
    return row;
  }
  static std::vector<std::int32_t> Genres(std::vector<std::int32_t> first) {
    first.resize(8, 0);
    return first;
  }
};

TEST_F(BookRecoveryTest, CurrentLayoutRefillsTitleDateAndGenres) {
  Table("Books", kBooks,
        {Book(1, "", "Hobbit, The"), Book(2, "", "", {{"Date", 77}, {"G0", 9}}), Book(3, "Kept", "Other words"),
         Book(4, "", "Dune Messiah", {{"Prime", 5}, {"G3", 9}}), Book(5, "", "Emma"), Book(6, "", "Big Sleep, The"),
         Book(7, "", "Ulysses"), Book(8, "Eight", "Eight"), Book(40000, "", "Far off")});
  Table("Reissues", kReissues,
        {{{"Book", 4}, {"Release", 2}, {"Date", 1}},
         {{"Book", 4}, {"Release", 1}, {"Date", 718000}},
         {{"Book", 40000}, {"Release", 1}, {"Date", 5}}});
  std::vector<TRow> genre;
  for (int token : {3, 17, 200}) genre.push_back({{"Book", 4}, {"Token", token}});
  for (int token = 1; token <= 10; ++token) genre.push_back({{"Book", 5}, {"Token", token}});
  for (int token : {150, 151}) genre.push_back({{"Book", 6}, {"Token", token}});
  genre.push_back({{"Book", 7}, {"Token", 5}});
  genre.push_back({{"Book", 8}, {"Token", 6}});
  genre.push_back({{"Book", 40000}, {"Token", 12}});
  Table("Genre", kGenre, genre);
  Table("ExpTitle", kExpTitle, {});

  RecoverBooks(*context);

  EXPECT_EQ(run.lines, std::vector<std::string>{"  -- recovering books"});
  EXPECT_EQ(run.messages, std::vector<std::string>{"Recovering books..."});
  EXPECT_EQ(run.message, "");
  ASSERT_FALSE(run.progress.empty());
  EXPECT_EQ(run.progress.front(), 0);
  EXPECT_EQ(run.progress.back(), 100);

  auto books = ReadBooks();
  // Sort title up to its first blank, comma and all; no reissue: date 0.
  EXPECT_EQ(books[1].title, "Hobbit,");
  EXPECT_EQ(books[1].date, 0);
  EXPECT_EQ(books[1].genres, Genres({}));
  // Empty sort title or a title present: untouched.
  EXPECT_EQ(books[2].title, "");
  EXPECT_EQ(books[2].date, 77);
  EXPECT_EQ(books[2].genres, Genres({9}));
  EXPECT_EQ(books[3].title, "Kept");
  // The first reissue's date; tokens up to the first above 127; Prime 0.
  EXPECT_EQ(books[4].title, "Dune");
  EXPECT_EQ(books[4].date, 718000);
  EXPECT_EQ(books[4].prime, 0);
  EXPECT_EQ(books[4].genres, Genres({3, 17}));
  EXPECT_EQ(books[5].genres, Genres({1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(books[6].genres, Genres({150}));
  // The walk stops at the next book's record.
  EXPECT_EQ(books[7].title, "Ulysses");
  EXPECT_EQ(books[7].genres, Genres({5}));
  EXPECT_EQ(books[8].title, "Eight");
  EXPECT_EQ(books[8].genres, Genres({}));
  // Above what ExpTitle's short first key field holds: no expanded title.
  EXPECT_EQ((std::pair{books[40000].title, books[40000].date}), (std::pair<std::string, std::int32_t>{"Far", 5}));
  EXPECT_EQ(books[40000].genres, Genres({12}));
  ExpectReadable("Books", 9);
}

TEST_F(BookRecoveryTest, EarlierLayoutTakesTheExpandedTitle) {
  Table("Books", kBooksOld,
        {Book(10, "", "Hobbit, The", {{"Genre", 4}}), Book(11, "", "Emma Woodhouse"), Book(1, "", "Persuasion")});
  Table("ExpTitle", kExpTitleOld,
        {{{"Book", 10}, {"Title", "The Hobbit, or There and Back Again"}},
         {{"Book", 11}, {"Title", ""}},
         {{"Book", -1}, {"Title", "First folder"}}});
  Table("Reissues", kReissuesOld, {{{"Book", 10}, {"Release", 1}, {"Date", 1937}}});
  Table("Genre", kGenreOld, {{{"Book", 10}, {"Token", 3}}});

  RecoverBooks(*context);

  auto books = ReadBooks();
  // Cut to the 30 characters of Books' title.
  EXPECT_EQ(books[10].title, "The Hobbit, or There and Back ");
  EXPECT_EQ(books[10].date, 1937);
  // An expanded title record without a title gives nothing.
  EXPECT_EQ(books[11].title, "Emma");
  EXPECT_EQ(books[1].title, "Persuasion");
  ExpectReadable("Books", 3);
}

// The current ExpTitle is keyed by Info and Book; a search with the book
// number alone lands on Info = book number, which for book 2 is the folder
// titles. A book never gets a folder's name.
TEST_F(BookRecoveryTest, FolderTitlesAreNeverTakenForBooks) {
  struct TCase {
    std::vector<TRow> expTitle;
    std::string title;
  };
  const std::vector<TCase> cases = {
      {{{{"Info", 2}, {"Book", 1}, {"Title", "Folder one"}}, {{"Info", 2}, {"Book", 2}, {"Title", "Folder two"}}},
       "Second"},
      {{{{"Info", 2}, {"Book", 2}, {"Title", "Folder two"}}}, "Second"},
      {{{{"Info", 2}, {"Book", 3}, {"Title", "Folder three"}}, {{"Info", 2}, {"Book", 2}, {"Title", "Folder two"}}},
       "Second"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    Table("Books", kBooks, {Book(2, "", "Second book")});
    Table("ExpTitle", kExpTitle, cases[i].expTitle);
    RecoverBooks(*context);
    EXPECT_EQ(ReadBooks()[2].title, cases[i].title) << "case " << i;
  }
}

TEST_F(BookRecoveryTest, TheBooksOwnExpandedTitleIsTaken) {
  Table("Books", kBooks, {Book(1, "", "Sorted one")});
  Table("ExpTitle", kExpTitle,
        {{{"Info", 1}, {"Book", 1}, {"Title", "Expanded one"}}, {{"Info", 2}, {"Book", 1}, {"Title", "Folder"}}});
  RecoverBooks(*context);
  EXPECT_EQ(ReadBooks()[1].title, "Expanded one");
}

TEST_F(BookRecoveryTest, MissingLookupTablesContributeNothing) {
  Table("Books", kBooks, {Book(1, "", "Alone here", {{"G0", 4}})});
  RecoverBooks(*context);
  const auto books = ReadBooks();
  EXPECT_EQ(books.at(1).title, "Alone");
  EXPECT_EQ(books.at(1).genres, Genres({}));
}

// A lookup table the engine cannot open is left out; its books are filled
// once it has been checked (here: put back whole).
TEST_F(BookRecoveryTest, UnopenableLookupTablesAreFilledAfterTheirChecks) {
  Table("Books", kBooks, {Book(4, "", "Dune Messiah")});
  Table("Genre", kGenre, {{{"Book", 4}, {"Token", 3}}, {{"Book", 4}, {"Token", 17}}});
  Table("Reissues", kReissues, {{{"Book", 4}, {"Release", 1}, {"Date", 718000}}});
  const auto genre = test::ReadWholeFile(Data("Genre.db")), reissues = test::ReadWholeFile(Data("Reissues.db"));
  for (const char* name : {"Genre.db", "Reissues.db"})
    tools::Damage(tools::TDamageKind::kTrailingPartBlock, Data(name), {});
  RecoverBooks(*context);
  EXPECT_EQ(ReadBooks()[4].title, "Dune");
  test::WriteWholeFile(Data("Genre.db"), genre);
  test::WriteWholeFile(Data("Reissues.db"), reissues);
  FillAwaitedGenres(*context);
  FillAwaitedReissueDates(*context);
  EXPECT_EQ(ReadBooks()[4].genres, Genres({3, 17}));
  EXPECT_EQ(ReadBooks()[4].date, 718000);
  tools::Damage(tools::TDamageKind::kTrailingPartBlock, Data("Books.db"), {});
  RecoverGenres(*context);  // a Books beyond opening gives nothing
  EXPECT_EQ(run.lines.back().rfind("~    Books left out of the recovery: ", 0), 0u) << run.lines.back();
}

TEST_F(BookRecoveryTest, CancelStopsTheWalk) {
  Table("Books", kBooks, {Book(1, "", "One"), Book(2, "", "Two"), Book(3, "", "Three")});
  run.stopAfter = 2;  // the third KeepGoing says stop
  RecoverBooks(*context);
  const auto books = ReadBooks();
  EXPECT_EQ(books.at(1).title, "One");
  EXPECT_EQ(books.at(2).title, "Two");
  EXPECT_EQ(books.at(3).title, "");
  EXPECT_EQ(run.message, "");
}

TEST_F(BookRecoveryTest, AnEngineErrorOnOneBookIsAbsorbed) {
  // A Books table whose date is a short: the engine refuses the first
  // book's reissue date; that book is left alone and the walk goes on.
  auto schema = catalogue::GetTableSchema(kBooks);
  for (auto& spec : schema) {
    if (spec == "Date, I") spec = "Date, S";
  }
  ASSERT_TRUE(catalogue::CreateParadoxTable(database.Handle(), "Books.db", catalogue::SchemaLanguageDriver(kBooks), schema,
                                          catalogue::SchemaLevel(kBooks)));
  Append("Books", {Book(1, "", "Refused book", {{"Date", 12}}), Book(2, "", "Second book")});
  Table("Reissues", kReissues, {{{"Book", 1}, {"Release", 1}, {"Date", 100000}}});

  RecoverBooks(*context);

  EXPECT_EQ(run.lines, std::vector<std::string>{"  -- recovering books"});
  const auto books = ReadBooks();
  EXPECT_EQ(books.at(1).title, "");
  EXPECT_EQ(books.at(1).date, 12);
  EXPECT_EQ(books.at(2).title, "Second");
  ExpectReadable("Books", 2);
}

TEST_F(BookRecoveryTest, GenresTheBooksCallForAreRecreated) {
  Table("Books", kBooks,
        {Book(1, "One", "One", {{"G0", 5}, {"G1", 0}, {"G2", 7}}), Book(2, "Two", "Two", {{"G0", 3}, {"G1", 3}}),
         Book(3, "Three", "Three")});
  Table("Genre", kGenre, {{{"Book", 1}, {"Token", 7}, {"Prop", 42}}, {{"Book", 9}, {"Token", 1}}});

  RecoverGenres(*context);

  EXPECT_EQ(run.lines, std::vector<std::string>{"  -- recovering genres"});
  EXPECT_EQ(run.messages, std::vector<std::string>{"Recovering genres..."});
  EXPECT_EQ(run.message, "");
  EXPECT_EQ(run.progress.back(), 100);
  const std::vector<std::pair<std::int32_t, std::int32_t>> expected = {{1, 5}, {1, 7}, {2, 3}, {9, 1}};
  EXPECT_EQ(ReadGenre(), expected);
  ExpectReadable("Genre", 4);
}

TEST_F(BookRecoveryTest, GenreRecoveryStopsOnCancel) {
  Table("Books", kBooks, {Book(1, "One", "One", {{"G0", 5}}), Book(2, "Two", "Two", {{"G0", 6}})});
  Table("Genre", kGenre, {});
  run.stopAfter = 1;
  RecoverGenres(*context);
  const std::vector<std::pair<std::int32_t, std::int32_t>> expected = {{1, 5}};
  EXPECT_EQ(ReadGenre(), expected);
}

}  // namespace
}  // namespace remdo::repair
