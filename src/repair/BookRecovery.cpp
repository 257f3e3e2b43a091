// Book and genre recovery. A book record that lost its title (a record
// recovered from an index file holds little more than its key and sort
// title) gets a title from the expanded titles or from its sort title, its
// date from its first reissue and its genre tokens from Genre. The genre
// recovery then makes the Genre records that the books' genre fields call
// for. Both walk Books through the engine's ordinary table access.
#include "repair/BookRecovery.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/Errors.h"
#include "env/FileSystem.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/components/Table.h"
#include "paradox/engine/DbiCalls.h"
#include "repair/CatalogTables.h"
#include "repair/Helpers.h"

namespace remdo::repair {

namespace {

using paradox::TTable;

constexpr std::size_t kGenreSlots = 8;
constexpr std::array<std::string_view, kGenreSlots> kGenreFields = {"G0", "G1", "G2", "G3", "G4", "G5", "G6", "G7"};
// Genre records with a larger token are not genres of the book's own list.
constexpr std::int32_t kLastListedToken = 127;
// In the current layout ExpTitle keeps the folders' titles as its records
// with Info 2 (Book is then the folder number); the earlier layout keeps
// them as records with a negative Book.
constexpr std::int32_t kFolderTitleInfo = 2;

using TTokens = std::array<std::int32_t, kGenreSlots>;

// A table of the data folder opened on its primary index, or nothing when
// its data file is missing: a missing table has nothing to give. A table
// that is present but cannot be opened throws EDBEngineError.
std::unique_ptr<TTable> OpenIfPresent(std::string_view tableName) {
  const std::string path = TRepairContext::DataFolder() + std::string(tableName) + ".db";
  if (TRepairContext::DataFolder().empty() || !env::DefaultFileSystem().FileExists(path)) return nullptr;
  return OpenCatalogTable(tableName, {});
}

// A table the recovery only looks things up in. It may not have been
// checked yet, so it may be damaged: one the engine cannot open is left
// out, with a line in the log file, and unavailable tells the caller so.
std::unique_ptr<TTable> OpenLookupTable(TRunReporter& run, std::string_view tableName, bool& unavailable) {
  unavailable = false;
  try {
    return OpenIfPresent(tableName);
  } catch (const env::EDBEngineError& error) {
    run.LogLine("~    " + std::string(tableName) + " left out of the recovery: " + error.what());
    unavailable = true;
    return nullptr;
  }
}

void CloseTable(std::unique_ptr<TTable>& table) {
  if (table) table->Close();
}

// The expanded title of a book. The key search gives the book number as
// the only value, which the earlier layout matches against Book; in the
// current layout the first key field is Info, so the search lands on some
// record of another kind (a folder's title, for book number 2). Only a
// record of this very book that is not a folder's title is taken, and only
// when it holds a title.
std::optional<std::string> ExpandedTitle(TTable* expTitle, std::int32_t book) {
  if (expTitle == nullptr || !FindKeyIfHeld(*expTitle, {book})) return std::nullopt;
  if (expTitle->FieldByName("Book").AsInteger() != book) return std::nullopt;
  const paradox::TField* info = expTitle->FindField("Info");
  const bool folderTitle = info != nullptr ? info->AsInteger() == kFolderTitleInfo : book < 0;
  if (folderTitle) return std::nullopt;
  std::string title = expTitle->FieldByName("Title").AsString();
  if (title.empty()) return std::nullopt;
  return title;
}

// The date of the book's first reissue; 0 without one.
std::int32_t ReissueDate(TTable* reissues, std::int32_t book) {
  if (reissues == nullptr || !FindKeyIfHeld(*reissues, {book})) return 0;
  return reissues->FieldByName("Date").AsInteger();
}

// The book's genre tokens in key order: the first whatever its value, then
// up to seven more until another book's record or a token above 127.
TTokens GenreTokens(TTable* genre, std::int32_t book) {
  TTokens tokens{};
  if (genre == nullptr || !FindKeyIfHeld(*genre, {book})) return tokens;
  paradox::TField& token = genre->FieldByName("Token");
  tokens[0] = token.AsInteger();
  for (std::size_t count = 1; count < kGenreSlots; ++count) {
    genre->Next();
    if (genre->Eof() || genre->Fields(0).AsInteger() != book) break;
    const std::int32_t value = token.AsInteger();
    if (value > kLastListedToken) break;
    tokens[count] = value;
  }
  return tokens;
}

struct TRecoveredBook {
  std::string title;
  std::int32_t date = 0;
  TTokens tokens{};
};

void SetIfPresent(TTable& table, std::string_view name, std::int32_t value) {
  if (paradox::TField* field = table.FindField(name)) field->SetAsInteger(value);
}

// Writes the recovered values into the current Books record. A record the
// engine refuses is left as it was and the walk goes on. The earlier
// layout's Books has no "Prime" and no genre list; those are skipped.
void WriteBook(TTable& books, const TRecoveredBook& book) {
  try {
    books.Edit();
    books.FieldByName("Title").SetAsString(book.title);
    books.FieldByName("Date").SetAsInteger(book.date);
    SetIfPresent(books, "Prime", 0);
    for (std::size_t i = 0; i < kGenreSlots; ++i) SetIfPresent(books, kGenreFields[i], book.tokens[i]);
    books.Post();
  } catch (const env::EDBEngineError&) {
    books.Cancel();
  }
}

struct TBookTables {
  std::unique_ptr<TTable> genre;
  std::unique_ptr<TTable> expTitle;
  std::unique_ptr<TTable> reissues;
  std::unique_ptr<TTable> books;
  bool genreUnavailable = false;
  bool reissuesUnavailable = false;
};

void RecoverBook(TBookTables& tables, TRunState& state) {
  TTable& books = *tables.books;
  const std::string sortTitle = books.FieldByName("Sort Title").AsString();
  if (!books.FieldByName("Title").AsString().empty() || sortTitle.empty()) return;
  const std::int32_t number = books.Fields(0).AsInteger();
  TRecoveredBook book;
  book.title = sortTitle.substr(0, sortTitle.find(' '));
  if (auto expanded = ExpandedTitle(tables.expTitle.get(), number)) book.title = std::move(*expanded);
  book.date = ReissueDate(tables.reissues.get(), number);
  book.tokens = GenreTokens(tables.genre.get(), number);
  WriteBook(books, book);
  if (tables.genreUnavailable) state.BooksAwaitingGenres.push_back(number);
  if (tables.reissuesUnavailable) state.BooksAwaitingReissueDates.push_back(number);
}

// Writes the awaited values into the Books record of each book; a book
// the engine refuses is left as it is.
template <typename Fill>
void FillAwaitedBooks(TRunReporter& run, const std::vector<std::int32_t>& numbers, Fill fill) {
  std::unique_ptr<TTable> books = OpenIfPresent("Books");
  if (!books) return;
  for (const std::int32_t number : numbers) {
    if (!run.KeepGoing()) break;
    if (!FindKeyIfHeld(*books, {number})) continue;
    try {
      books->Edit();
      fill(*books, number);
      books->Post();
    } catch (const env::EDBEngineError&) {
      books->Cancel();
    }
  }
  books->Close();
}

// Appends the Genre records that the current book's genre fields call for
// and Genre lacks, each saved at once.
void AddMissingGenres(TTable& books, TTable& genre) {
  const std::int32_t number = books.Fields(0).AsInteger();
  for (const std::string_view name : kGenreFields) {
    const paradox::TField* field = books.FindField(name);
    if (field == nullptr) continue;
    const std::int32_t token = field->AsInteger();
    if (token <= 0 || FindKeyIfHeld(genre, {number, token})) continue;
    genre.AppendRecord({number, token});
    paradox::CheckEngineResult(paradox::DbiSaveChanges(genre.Handle()), "Saving the new records of Genre");
  }
}

}  // namespace

void RecoverBooks(TRepairContext& context) {
  TRunReporter& run = context.Run();
  run.SetMessage("Recovering books...");
  run.LogLine("  -- recovering books");
  run.SetProgress(0);
  TBookTables tables;
  bool expTitleUnavailable = false;
  tables.genre = OpenLookupTable(run, "Genre", tables.genreUnavailable);
  tables.expTitle = OpenLookupTable(run, "ExpTitle", expTitleUnavailable);
  tables.reissues = OpenLookupTable(run, "Reissues", tables.reissuesUnavailable);
  tables.books = OpenIfPresent("Books");
  if (tables.books) {
    TTable& books = *tables.books;
    const long total = books.RecordCount();
    long done = 0;
    books.First();
    while (run.KeepGoing() && !books.Eof()) {
      ++done;
      if (total > 0) run.SetProgress(ProgressPercent(done, total));
      RecoverBook(tables, context.State());
      books.Next();
    }
  }
  // Books first: it holds the changes, and a failure to write them must
  // not wait behind the lookups.
  CloseTable(tables.books);
  CloseTable(tables.reissues);
  CloseTable(tables.expTitle);
  CloseTable(tables.genre);
  run.SetMessage("");
}

void FillAwaitedGenres(TRepairContext& context) {
  TRunReporter& run = context.Run();
  std::vector<std::int32_t> numbers = std::move(context.State().BooksAwaitingGenres);
  context.State().BooksAwaitingGenres.clear();
  if (numbers.empty()) return;
  bool unavailable = false;
  std::unique_ptr<TTable> genre = OpenLookupTable(run, "Genre", unavailable);
  if (!genre) return;
  FillAwaitedBooks(run, numbers, [&genre](TTable& books, std::int32_t number) {
    const TTokens tokens = GenreTokens(genre.get(), number);
    for (std::size_t i = 0; i < kGenreSlots; ++i) SetIfPresent(books, kGenreFields[i], tokens[i]);
  });
  genre->Close();
}

void FillAwaitedReissueDates(TRepairContext& context) {
  TRunReporter& run = context.Run();
  std::vector<std::int32_t> numbers = std::move(context.State().BooksAwaitingReissueDates);
  context.State().BooksAwaitingReissueDates.clear();
  if (numbers.empty()) return;
  bool unavailable = false;
  std::unique_ptr<TTable> reissues = OpenLookupTable(run, "Reissues", unavailable);
  if (!reissues) return;
  FillAwaitedBooks(run, numbers, [&reissues](TTable& books, std::int32_t number) {
    books.FieldByName("Date").SetAsInteger(ReissueDate(reissues.get(), number));
  });
  reissues->Close();
}

void RecoverGenres(TRepairContext& context) {
  TRunReporter& run = context.Run();
  run.SetMessage("Recovering genres...");
  run.LogLine("  -- recovering genres");
  run.SetProgress(0);
  // A taken-back Genre is recovered even when Books failed its check, so
  // Books may be beyond opening here.
  bool booksUnavailable = false;
  std::unique_ptr<TTable> genre = OpenIfPresent("Genre");
  std::unique_ptr<TTable> books = OpenLookupTable(run, "Books", booksUnavailable);
  if (genre && books) {
    const long total = books->RecordCount();
    long done = 0;
    books->First();
    while (run.KeepGoing() && !books->Eof()) {
      ++done;
      if (total > 0) run.SetProgress(ProgressPercent(done, total));
      AddMissingGenres(*books, *genre);
      books->Next();
    }
  }
  CloseTable(genre);
  CloseTable(books);
  run.SetMessage("");
}

}  // namespace remdo::repair
