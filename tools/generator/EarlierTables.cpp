// The tables of the earlier layout (structures 1 to 14): book numbers are
// Number fields, folder titles are the expanded titles with a negative book
// number, and groups and locales are short integers. Folder tables are
// written by FolderTables.cpp.
#include <algorithm>
#include <string>

#include "env/Text.h"
#include "generator/TableFillers.h"
#include "paradox/format/FieldValue.h"

namespace remdo::tools {

namespace {

void FillAuthors(TTableWriter& table, const TCatalogueModel& model) {
  const int as = table.Column("As"), author = table.Column("Author"), main = table.Column("Main");
  const int name = table.Column("Name"), extName = table.Column("ExtName"), soundex = table.Column("Soundex");
  const int birthday = table.Column("Birthday"), special = table.Column("Special");
  const int notes = table.Column("Notes");
  const auto leader = static_cast<std::size_t>(table.Width(notes) - 10);
  for (std::int32_t a = 1; a <= model.Authors(); ++a) {
    const TAuthorFacts facts = model.Author(a);
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(as, a);
    record.SetInteger(author, facts.author);
    record.SetInteger(main, facts.author == a ? 1 : 0);
    record.SetText(name, env::UpperCase(facts.name.last + " " + facts.name.first));
    record.SetText(extName, facts.name.Full());
    record.SetText(soundex, Soundex(facts.name.last));
    record.SetInteger(birthday, paradox::DayNumber(1900 + a % 90, a % 12 + 1, a % 28 + 1));
    record.SetInteger(special, 0);
    if (facts.notes) {
      TRandom random = model.Stream(TStream::kNotes, -a);
      record.SetMemo(notes, model.MemoText(random, leader, record.MemosSoFar()));
    }
    table.Insert();
  }
}

void FillBooks(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), sortTitle = table.Column("Sort Title"), title = table.Column("Title");
  const int genre = table.Column("Genre"), date = table.Column("Date"), isbn = table.Column("ISBN");
  const int pub = table.Column("Pub"), type = table.Column("Type"), special = table.Column("Special");
  const int blurb = table.Column("Blurb");
  const auto leader = static_cast<std::size_t>(table.Width(blurb) - 10);
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    const TTitle titles = model.Title(b, facts.expandedTitle);
    TRandom isbnRandom = model.Stream(TStream::kReissue, b);
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(book, b);
    record.SetText(sortTitle, titles.sortTitle);
    record.SetText(title, titles.title);
    record.SetInteger(genre, facts.genres[0]);
    record.SetInteger(date, facts.date / 10000);
    record.SetText(isbn, MakeIsbn(isbnRandom, facts.publisher));
    record.SetInteger(pub, facts.publisher);
    record.SetInteger(type, 1);
    record.SetInteger(special, 0);
    if (facts.blurb) {
      TRandom random = model.Stream(TStream::kBlurb, b);
      record.SetMemo(blurb, model.MemoText(random, leader, record.MemosSoFar()));
    }
    table.Insert();
  }
}

// Folder titles first (book -n for folder n, so -F up to -1), then the
// expanded titles of books.
void FillExpandedTitles(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), title = table.Column("Title");
  for (int folder = model.Folders(); folder >= 1; --folder) {
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(book, -folder);
    record.SetText(title, FolderTitle(folder));
    table.Insert();
  }
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    if (!model.Book(b).expandedTitle) continue;
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(book, b);
    record.SetText(title, model.Title(b, true).title);
    table.Insert();
  }
}

void FillReissues(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), release = table.Column("Release"), date = table.Column("Date");
  const int special = table.Column("Special"), asBook = table.Column("AsBook"), isbn = table.Column("ISBN");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    TRandom random = model.Stream(TStream::kReissue, b);
    for (int r = 1; r <= facts.releases; ++r) {
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(book, b);
      record.SetInteger(release, r);
      record.SetInteger(date, model.ReleaseDate(facts, r) / 10000);
      record.SetInteger(special, 0);
      record.SetInteger(asBook, b);
      record.SetText(isbn, MakeIsbn(random, facts.publisher));
      table.Insert();
    }
  }
}

void FillSeries(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), release = table.Column("Release"), series = table.Column("Series");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    if (facts.series == 0) continue;
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(book, b);
    record.SetInteger(release, 1);
    record.SetText(series, env::UpperCase(model.SeriesName(facts.series)));
    table.Insert();
  }
}

void FillGenres(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), token = table.Column("Token");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    TBookFacts facts = model.Book(b);
    std::sort(facts.genres.begin(), facts.genres.begin() + facts.genreCount);
    for (int i = 0; i < facts.genreCount; ++i) {
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(book, b);
      record.SetInteger(token, facts.genres[static_cast<std::size_t>(i)]);
      table.Insert();
    }
  }
}

void FillBookReferences(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), order = table.Column("Order"), as = table.Column("As");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    for (int i = 0; i < facts.authorCount; ++i) {
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(book, b);
      record.SetInteger(order, i + 1);
      record.SetInteger(as, facts.authors[static_cast<std::size_t>(i)]);
      table.Insert();
    }
  }
}

template <std::int32_t TBookFacts::*Member>
void FillBookLinks(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), group = table.Column("Group"), volume = table.Column("Volume");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    if (facts.*Member == 0) continue;
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(book, b);
    record.SetInteger(group, facts.*Member);
    record.SetInteger(volume, facts.seriesNumber);
    table.Insert();
  }
}

void FillGroups(TTableWriter& table, const TCatalogueModel& model) {
  const int number = table.Column("Number"), shortName = table.Column("ShortName"), name = table.Column("Name");
  const int status = table.Column("Status");
  for (std::int32_t g = 1; g <= model.Groups(); ++g) {
    TRandom random = model.Stream(TStream::kGroup, g);
    const std::string text = MakeGroupName(random);
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(number, g);
    record.SetText(shortName, text);
    record.SetText(name, text + " (group " + std::to_string(g) + ")");
    record.SetInteger(status, 1);
    table.Insert();
  }
}

void FillLocales(TTableWriter& table, const TCatalogueModel& model) {
  const int number = table.Column("Number"), shortName = table.Column("ShortName"), name = table.Column("Name");
  const int status = table.Column("Status");
  for (std::int32_t l = 1; l <= model.Locales(); ++l) {
    TRandom random = model.Stream(TStream::kLocale, l);
    const std::string text = MakePlaceName(random);
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(number, l);
    record.SetText(shortName, text);
    record.SetText(name, text + " (place " + std::to_string(l) + ")");
    record.SetInteger(status, 1);
    table.Insert();
  }
}

}  // namespace

std::vector<TTablePlan> EarlierLayoutPlan() {
  return {
      {"AuthX", 1, FillAuthors},
      {"BkSeries", 6, FillSeries},
      {"BookGrp", 10, FillBookLinks<&TBookFacts::group>},
      {"BookInfo", 3, FillBookInfo},
      {"BookLoc", 10, FillBookLinks<&TBookFacts::locale>},
      {"BookRef", 9, FillBookReferences},
      {"Books", 2, FillBooks},
      {"CharX", 7, FillCharacters},
      {"ExpTitle", 4, FillExpandedTitles},
      {"Genre", 8, FillGenres},
      {"GrpNames", 11, FillGroups},
      {"LocNames", 12, FillLocales},
      {"Prices", 13, FillPrices},
      {"Reissues", 5, FillReissues},
  };
}

}  // namespace remdo::tools
