// The tables of the current layout (structures 21 to 39), filled from the
// model. Folder tables are written by FolderTables.cpp.
#include <algorithm>
#include <string>

#include "env/Text.h"
#include "generator/TableFillers.h"

namespace remdo::tools {

namespace {

// Counts entry dates as the catalogue does: a large running number.
constexpr std::int32_t kEntryDateBase = 1800000000;

void FillBooks(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), main = table.Column("Main"), prime = table.Column("Prime");
  const int sortTitle = table.Column("Sort Title"), title = table.Column("Title"), date = table.Column("Date");
  const int firstGenre = table.Column("G0"), pg = table.Column("PG"), prop = table.Column("Prop");
  const int special1 = table.Column("Special1"), special2 = table.Column("Special2");
  const int entryDate = table.Column("Entry Date"), blurbDate = table.Column("Blurb Date");
  const int blurb = table.Column("Blurb");
  const auto leader = static_cast<std::size_t>(table.Width(blurb) - 10);
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    const TTitle titles = model.Title(b, facts.expandedTitle);
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(book, b);
    record.SetInteger(main, b);
    record.SetInteger(prime, 1);
    record.SetText(sortTitle, titles.sortTitle);
    record.SetText(title, titles.title);
    record.SetInteger(date, facts.date);
    for (int g = 0; g < 8; ++g) record.SetInteger(firstGenre + g, facts.genres[static_cast<std::size_t>(g)]);
    record.SetInteger(pg, facts.releases);
    record.SetInteger(prop, 0);
    record.SetInteger(special1, 0);
    record.SetInteger(special2, facts.publisher);
    record.SetInteger(entryDate, b % 30000 + 1);
    if (facts.blurb) {
      TRandom random = model.Stream(TStream::kBlurb, b);
      record.SetMemo(blurb, model.MemoText(random, leader, record.MemosSoFar()));
      record.SetInteger(blurbDate, b % 30000 + 1);
    }
    table.Insert();
  }
}

// Info 1: the expanded titles of books; Info 2: the folders' titles.
void FillExpandedTitles(TTableWriter& table, const TCatalogueModel& model) {
  const int info = table.Column("Info"), book = table.Column("Book"), title = table.Column("Title");
  const int prop = table.Column("Prop");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    if (!model.Book(b).expandedTitle) continue;
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(info, 1);
    record.SetInteger(book, b);
    record.SetText(title, model.Title(b, true).title);
    record.SetInteger(prop, 0);
    table.Insert();
  }
  for (int folder = 1; folder <= model.Folders(); ++folder) {
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(info, 2);
    record.SetInteger(book, folder);
    record.SetText(title, FolderTitle(folder));
    record.SetInteger(prop, 0);
    table.Insert();
  }
}

void FillBookReferences(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), release = table.Column("Release"), order = table.Column("Order");
  const int as = table.Column("As"), code = table.Column("Code"), prop = table.Column("Prop");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    for (int i = 0; i < facts.authorCount; ++i) {
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(book, b);
      record.SetInteger(release, 1);
      record.SetInteger(order, i + 1);
      record.SetInteger(as, facts.authors[static_cast<std::size_t>(i)]);
      record.SetInteger(code, 1);
      record.SetInteger(prop, 0);
      table.Insert();
    }
  }
}

void FillGenres(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), token = table.Column("Token"), prop = table.Column("Prop");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    TBookFacts facts = model.Book(b);
    std::sort(facts.genres.begin(), facts.genres.begin() + facts.genreCount);
    for (int i = 0; i < facts.genreCount; ++i) {
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(book, b);
      record.SetInteger(token, facts.genres[static_cast<std::size_t>(i)]);
      record.SetInteger(prop, 0);
      table.Insert();
    }
  }
}

void FillSeries(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), release = table.Column("Release"), sortSeries = table.Column("SortSeries");
  const int series = table.Column("Series"), number = table.Column("Number"), code = table.Column("Code");
  const int prop = table.Column("Prop"), c = table.Column("C");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    if (facts.series == 0) continue;
    const std::string name = model.SeriesName(facts.series);
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(book, b);
    record.SetInteger(release, 1);
    record.SetText(sortSeries, env::UpperCase(name));
    record.SetText(series, std::to_string(facts.series % 10000));
    record.SetInteger(number, facts.seriesNumber);
    record.SetText(code, "A");
    record.SetInteger(prop, 0);
    record.SetInteger(c, 0);
    table.Insert();
  }
}

void FillImages(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), release = table.Column("Release"), num = table.Column("Num");
  const int pic = table.Column("Pic"), text = table.Column("Text"), prop = table.Column("Prop");
  const int status = table.Column("Status");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    for (int p = 1; p <= facts.images; ++p) {
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(book, b);
      record.SetInteger(release, 1);
      record.SetInteger(num, 1);
      record.SetInteger(pic, p);
      record.SetText(text, "Images\\B" + std::to_string(b) + "-" + std::to_string(p) + ".jpg");
      record.SetInteger(prop, 0);
      record.SetInteger(status, 1);
      table.Insert();
    }
  }
}

void FillReissues(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), release = table.Column("Release"), main = table.Column("Main");
  const int date = table.Column("Date"), isbn = table.Column("ISBN"), chk = table.Column("chk");
  const int ent = table.Column("ent"), asBook = table.Column("AsBook"), binding = table.Column("Binding");
  const int pages = table.Column("Pages"), pub = table.Column("Pub"), type = table.Column("Type");
  const int entryDate = table.Column("EntryDate");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    TRandom random = model.Stream(TStream::kReissue, b);
    for (int r = 1; r <= facts.releases; ++r) {
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(book, b);
      record.SetInteger(release, r);
      record.SetInteger(main, r == 1 ? 1 : 0);
      record.SetInteger(date, model.ReleaseDate(facts, r));
      record.SetText(isbn, MakeIsbn(random, facts.publisher));
      record.SetText(chk, "Y");
      record.SetBoolean(ent, r == 1);
      record.SetInteger(asBook, b);
      record.SetInteger(binding, random.Between(1, 3));
      record.SetInteger(pages, random.Between(90, 900));
      record.SetInteger(pub, facts.publisher);
      record.SetInteger(type, 1);
      record.SetInteger(entryDate, b % 30000 + 1);
      table.Insert();
    }
  }
}

void FillCalendar(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), sort1 = table.Column("Sort1"), sort2 = table.Column("Sort2");
  const int item = table.Column("Item"), main = table.Column("Main"), cal = table.Column("Cal");
  const int prop = table.Column("Prop"), description = table.Column("Description");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    for (int e = 1; e <= facts.calendarEvents; ++e) {
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(book, b);
      record.SetInteger(sort1, facts.date + e);
      record.SetInteger(sort2, e);
      record.SetInteger(item, e);
      record.SetInteger(main, b);
      record.SetInteger(cal, 1);
      record.SetInteger(prop, 0);
      record.SetText(description, (e == 1 ? "Published " : "Award ") + DateText(facts.date + e));
      table.Insert();
    }
  }
}

void FillAuthors(TTableWriter& table, const TCatalogueModel& model) {
  const int as = table.Column("As"), author = table.Column("Author"), main = table.Column("Main");
  const int prime = table.Column("Prime"), prop = table.Column("Prop"), sortName = table.Column("Sort Name");
  const int name = table.Column("Name"), num = table.Column("Num"), soundex = table.Column("Soundex");
  const int notes = table.Column("Notes");
  const auto leader = static_cast<std::size_t>(table.Width(notes) - 10);
  for (std::int32_t a = 1; a <= model.Authors(); ++a) {
    const TAuthorFacts facts = model.Author(a);
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(as, a);
    record.SetInteger(author, facts.author);
    record.SetInteger(main, facts.author == a ? 1 : 0);
    record.SetInteger(prime, facts.author);
    record.SetInteger(prop, 0);
    record.SetText(sortName, env::UpperCase(facts.name.last + " " + facts.name.first));
    record.SetText(name, facts.name.Full());
    record.SetInteger(num, 1);
    record.SetText(soundex, Soundex(facts.name.last));
    if (facts.notes) {
      TRandom random = model.Stream(TStream::kNotes, -a);
      record.SetMemo(notes, model.MemoText(random, leader, record.MemosSoFar()));
    }
    table.Insert();
  }
}

void FillFolderIndex(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), folder = table.Column("Folder"), release = table.Column("Release");
  const int prop = table.Column("Prop");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    for (int i = 0; i < facts.folderCount; ++i) {
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(book, b);
      record.SetInteger(folder, facts.folders[static_cast<std::size_t>(i)].folder);
      record.SetInteger(release, facts.folders[static_cast<std::size_t>(i)].release);
      record.SetInteger(prop, 0);
      table.Insert();
    }
  }
}

void FillGroupIndex(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), item = table.Column("Item"), group = table.Column("Group");
  const int volume = table.Column("Volume"), prop = table.Column("Prop");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    if (facts.group == 0) continue;
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(book, b);
    record.SetInteger(item, 1);
    record.SetInteger(group, facts.group);
    record.SetInteger(volume, facts.seriesNumber);
    record.SetInteger(prop, 0);
    table.Insert();
  }
}

void FillGroups(TTableWriter& table, const TCatalogueModel& model) {
  const int number = table.Column("Number"), shortName = table.Column("ShortName"), name = table.Column("Name");
  const int main = table.Column("Main"), status = table.Column("Status"), prop = table.Column("Prop");
  for (std::int32_t g = 1; g <= model.Groups(); ++g) {
    TRandom random = model.Stream(TStream::kGroup, g);
    const std::string text = MakeGroupName(random);
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(number, g);
    record.SetText(shortName, text);
    record.SetText(name, text + " (group " + std::to_string(g) + ")");
    record.SetInteger(main, static_cast<std::int32_t>(random.Below(static_cast<std::uint32_t>(model.Books()))) + 1);
    record.SetInteger(status, 1);
    record.SetInteger(prop, 0);
    table.Insert();
  }
}

void FillLocales(TTableWriter& table, const TCatalogueModel& model) {
  const int number = table.Column("Number"), shortName = table.Column("ShortName"), name = table.Column("Name");
  const int main = table.Column("Main"), prop = table.Column("Prop"), owner = table.Column("Owner");
  const int map = table.Column("Map"), status = table.Column("Status");
  for (std::int32_t l = 1; l <= model.Locales(); ++l) {
    TRandom random = model.Stream(TStream::kLocale, l);
    const std::string text = MakePlaceName(random);
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(number, l);
    record.SetText(shortName, text);
    record.SetText(name, text + " (place " + std::to_string(l) + ")");
    record.SetInteger(main, 0);
    record.SetInteger(prop, 0);
    record.SetInteger(owner, 1);
    record.SetText(map, "Room " + std::to_string(random.Between(1, 9)));
    record.SetInteger(status, 1);
    table.Insert();
  }
}

void FillPublishers(TTableWriter& table, const TCatalogueModel& model) {
  const int number = table.Column("Number"), shortName = table.Column("ShortName"), name = table.Column("Name");
  const int main = table.Column("Main"), prop = table.Column("Prop"), owner = table.Column("Owner");
  for (int p = 1; p <= model.Publishers(); ++p) {
    TRandom random = model.Stream(TStream::kPublisher, p);
    const std::string text = MakePublisherName(random);
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(number, p);
    record.SetText(shortName, text);
    record.SetText(name, text + " Ltd.");
    record.SetInteger(main, p);
    record.SetInteger(prop, 0);
    record.SetInteger(owner, 0);
    table.Insert();
  }
}

void FillIsbnPrefixes(TTableWriter& table, const TCatalogueModel& model) {
  const int pub = table.Column("Pub"), n = table.Column("n"), isbn = table.Column("ISBN");
  for (int p = 1; p <= model.Publishers(); ++p) {
    TRandom random = model.Stream(TStream::kPublisher, -p);
    const int prefixes = random.Between(1, 3);
    for (int i = 1; i <= prefixes; ++i) {
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(pub, p);
      record.SetInteger(n, i);
      record.SetText(isbn, "0-" + std::to_string(100 + p % 900) + "-" + std::to_string(i));
      table.Insert();
    }
  }
}

void FillContacts(TTableWriter& table, const TCatalogueModel& model) {
  const int number = table.Column("Number"), info = table.Column("Info"), main = table.Column("Main");
  const int prop = table.Column("Prop"), email = table.Column("EMail"), website = table.Column("Website");
  const int address = table.Column("Address"), ccode = table.Column("ccode"), stcode = table.Column("stcode");
  const int city = table.Column("City");
  const auto leader = static_cast<std::size_t>(table.Width(address) - 10);
  for (std::int32_t c = 1; c <= model.Contacts(); ++c) {
    TRandom random = model.Stream(TStream::kContact, c);
    const TPersonName person = MakePersonName(random);
    const int infos = random.Between(1, 2);
    for (int i = 1; i <= infos; ++i) {
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(number, c);
      record.SetInteger(info, i);
      record.SetInteger(main, c);
      record.SetInteger(prop, 0);
      record.SetText(email, env::LowerCase(person.first + "." + person.last) + "@example.com");
      record.SetText(website, "www.example.com/" + env::LowerCase(person.last));
      if (model.HasMemo(random)) record.SetMemo(address, model.MemoText(random, leader, record.MemosSoFar()));
      record.SetInteger(ccode, random.Between(1, 50));
      record.SetInteger(stcode, random.Between(1, 60));
      record.SetText(city, MakeTown(random));
      table.Insert();
    }
  }
}

void FillFavouriteAuthors(TTableWriter& table, const TCatalogueModel& model) {
  const int as = table.Column("As"), sortName = table.Column("Sort Name"), prop = table.Column("Prop");
  const int entryDate = table.Column("EntryDate");
  for (std::int32_t a = 1; a <= model.Authors(); ++a) {
    const TAuthorFacts facts = model.Author(a);
    if (!facts.favourite) continue;
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(as, a);
    record.SetText(sortName, env::UpperCase(facts.name.last + " " + facts.name.first));
    record.SetInteger(prop, 0);
    record.SetInteger(entryDate, kEntryDateBase + a);
    table.Insert();
  }
}

}  // namespace

std::vector<TTablePlan> CurrentLayoutPlan(const TCatalogueOptions& options) {
  std::vector<TTablePlan> plan = {
      {"AuthX", 34, FillAuthors},        {"BkSeries", 28, FillSeries},        {"BookInfo", 3, FillBookInfo},
      {"BookInx", 36, FillGroupIndex},   {"BookRef", 26, FillBookReferences}, {"Books", 31, FillBooks},
      {"Calendar", 33, FillCalendar},    {"CharX", 7, FillCharacters},        {"Contact", 25, FillContacts},
      {"ExpTitle", 32, FillExpandedTitles}, {"Folders", 35, FillFolderIndex}, {"Genre", 27, FillGenres},
      {"GrpNames", 37, FillGroups},      {"Images", 29, FillImages},          {"ISBNs", 24, FillIsbnPrefixes},
      {"LocNames", 38, FillLocales},     {"Prices", 13, FillPrices},          {"Pubs", 23, FillPublishers},
      {"Reissues", 30, FillReissues},
  };
  if (options.favouriteAuthors) plan.insert(plan.begin(), TTablePlan{"Auth0001", 39, FillFavouriteAuthors});
  return plan;
}

}  // namespace remdo::tools
