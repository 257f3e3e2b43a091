// The catalogue's table structures as literal field spec lists, one per
// structure number, and the file lists of the two data-set layouts.
#include "catalogue/TableCatalogue.h"

#include <algorithm>
#include <span>

#include "env/Text.h"

namespace remdo::catalogue {

namespace {

struct TCatalogueEntry {
  int number;
  std::span<const char* const> specs;
};

// Earlier layout: book numbers are floating point (N). Current layout: book
// numbers are long integers (I). Memo columns are alpha columns of the memo's
// full in-record width: entries 1, 2, 3, 25, 31, 34 and their repeats.
// 1: AuthX.db
constexpr const char* kAuthorsOld[] = {"As, N*",       "Author, N",   "Main, N",    "Name, A12+", "ExtName, A24",
                                       "Soundex, A5+", "Birthday, D", "Special, S", "Changed, S", "Notes, A14"};
// 2: Books.db
constexpr const char* kBooksOld[] = {"Book, N*",  "Sort Title, A20+", "Title, A30", "password, A5",
                                     "Genre, S+", "Date, S",          "ISBN, A10+", "Pub, S",
                                     "Type, S",   "Special, S",       "Blurb, A14"};
// 3: BookInfo.db
constexpr const char* kPersonalNotes[] = {"Book, N*",   "Rating, A8",  "Read, A8",   "User A, A8",
                                          "User B, A8", "User C, A16", "Special, S", "Notes, A26"};
// 4: ExpTitle.db
constexpr const char* kExpandedTitlesOld[] = {"Book, N*", "Title, A80"};
// 5: Reissues.db
constexpr const char* kReissuesOld[] = {"Book, N*", "Release, S*", "Date, S", "Special, S", "AsBook, N", "ISBN, A10+"};
// 6: BkSeries.db
constexpr const char* kSeriesOld[] = {"Book, N*", "Release, S*", "Series, A10+"};
// 7: CharX.db
constexpr const char* kCharacters[] = {"Book, N*",     "Role, S*",     "Name, A14", "ExtName, A38",
                                       "SoundexA, A5", "SoundexB, A5", "Status, S", "Changed, S"};
// 8: Genre.db
constexpr const char* kGenresOld[] = {"Book, N*", "Token, S*+"};
// 9: BookRef.db
constexpr const char* kBookIndexingOld[] = {"Book, N*", "Order, S*", "As, N+"};
// 10: BookGrp.db and BookLoc.db
constexpr const char* kGroupIndexingOld[] = {"Book, N*", "Group, S*", "Volume, S"};
// 12: LocNames.db
constexpr const char* kLocalesOld[] = {"Number, S*", "ShortName, A25+", "Name, A50", "Status, S"};
// 13: Prices.db
constexpr const char* kPrices[] = {"Book, N*", "Release, S*", "Qty, S", "Price1, $", "Price2, $", "Price3, $"};
// 14: Fldr####.db (folder tables)
constexpr const char* kFolderOld[] = {"Book, N*", "Release, S*", "Sort Title, A20+", "Key, A42+", "Series, A20+"};
// 15: Books.db (memo variant)
constexpr const char* kBooksMemoOld[] = {"Book, N*",  "Sort Title, A20+", "Title, A30", "password, A5",
                                         "Genre, S+", "Date, S",          "ISBN, A10+", "Pub, S",
                                         "Type, S",   "Special, S",       "Blurb, M4"};
// 21: Fldr####.db (every folder table except Fldr0003)
constexpr const char* kFolder[] = {"Book, I*",  "Release, S*",  "Num, S*",       "Sort Title, A24+",
                                   "Key, A42+", "Series, A42+", "ByDate, A20+",  "Condition, A20",
                                   "Price, N",  "Qty, S",       "EntryDate, I+", "Prop, S"};
// 22: Fldr0003.db
constexpr const char* kFolder3[] = {"Book, I*",      "Release, S*",  "Num, S*",        "Sort Title, A24+", "Key, A42+",
                                    "Series, A42+",  "ByDate, A20+", "Condition, A20", "Price, N",         "Qty, S",
                                    "EntryDate, I+", "Prop, S",      "E, A120"};
// 23: Pubs.db
constexpr const char* kPublishers[] = {"Number, S*", "ShortName, A25+", "Name, A50", "Main, I",
                                       "Prop, S",    "Owner, S",        "Changed, S"};
// 24: ISBNs.db
constexpr const char* kIsbns[] = {"Pub, S*", "n, S*", "ISBN, A12+"};
// 25: Contact.db
constexpr const char* kContacts[] = {"Number, I*", "Info, S*",     "Main, I",    "Prop, S",
                                     "EMail, A60", "Website, A60", "Changed, S", "Address, A14",
                                     "ccode, S+",  "stcode, S",    "City, A20"};
// 26: BookRef.db
constexpr const char* kBookIndexing[] = {"Book, I*", "Release, S*", "Order, S*", "As, I+", "Code, S", "Prop, S"};
// 27: Genre.db
constexpr const char* kGenres[] = {"Book, I*", "Token, S*+", "Prop, S"};
// 28: BkSeries.db
constexpr const char* kSeries[] = {"Book, I*",  "Release, S*", "SortSeries, A10+", "Series, A4",
                                   "Number, I", "Code, A1",    "Prop, S",          "C, S"};
// 29: Images.db
constexpr const char* kImageLinks[] = {"Book, I*",   "Release, S*", "Num, S*",  "Pic, S*",
                                       "Text, A120", "Prop, S",     "Status, S"};
// 30: Reissues.db
constexpr const char* kReissues[] = {"Book, I*",    "Release, S*", "Main, S",      "Date, I+",    "ISBN, A12+",
                                     "chk, A1",     "ent, L",      "AsBook, I",    "ModF, S",     "Binding, S",
                                     "Link, S",     "Section, S",  "Pages, S",     "Pub, S",      "Type, S",
                                     "Special1, I", "Special2, S", "EntryDate, S", "EntrySpec, S"};
// 31: Books.db
constexpr const char* kBooks[] = {"Book, I*",    "Main, I+",    "Prime, S",      "Sort Title, A24+",
                                  "Title, A30",  "Date, I",     "G0, S",         "G1, S",
                                  "G2, S",       "G3, S",       "G4, S",         "G5, S",
                                  "G6, S",       "G7, S",       "PG, S",         "Prop, S",
                                  "Special1, S", "Special2, I", "Entry Date, S", "Blurb Date, S",
                                  "Blurb, A11"};
// 32: ExpTitle.db
constexpr const char* kExpandedTitles[] = {"Info, S*", "Book, I*", "Title, A144", "Prop, S"};
// 33: Calendar.db
constexpr const char* kCalendar[] = {"Book, I*", "Sort1, I*+", "Sort2, S+",        "Item, I",   "Main, I",
                                     "Cal, S",   "Prop, S",    "Description, A60", "Changed, S"};
// 34: AuthX.db
constexpr const char* kAuthors[] = {"As, I*",          "Author, I+", "Main, I",   "Combo1, I",   "Combo2, I",
                                    "Combo3, I",       "Combo4, I",  "Combo5, I", "Prime, I",    "Prop, S",
                                    "Sort Name, A14+", "Name, A48",  "Num, S",    "Soundex, A5", "d, I",
                                    "Changed, S",      "Notes, A11"};
// 35: Folders.db
constexpr const char* kFolderIndexing[] = {"Book, I*", "Folder, S*+", "Release, S*", "Prop, S"};
// 36: BookInx.db
constexpr const char* kGroupIndexing[] = {"Book, I*", "Item, S*", "Group, I*+", "Volume, S", "Prop, I"};
// 37: GrpNames.db
constexpr const char* kGroups[] = {"Number, I*", "ShortName, A25+", "Name, A80", "Main, I+", "Status, S", "Prop, I"};
// 38: LocNames.db
constexpr const char* kLocales[] = {"Number, I*", "ShortName, A25+", "Name, A80", "Main, I",
                                    "Prop, I",    "Owner, I",        "Map, A24",  "Status, S"};
// 39: Auth0001.db
constexpr const char* kFavoriteAuthors[] = {"As, I*", "Sort Name, A14+", "Prop, S", "EntryDate, I+"};
// 40: Fldr####.db (second retry)
constexpr const char* kFolderRetry[] = {"Book, I*",  "Release, S*",  "Num, S*",       "Sort Title, A24+",
                                        "Key, A42+", "Series, A42+", "ByDate, A20+",  "Condition, A20",
                                        "Price, N",  "Qty, S",       "EntryDate, I+", "Prop, S"};
// 41: Fldr0003.db (second retry)
constexpr const char* kFolder3Retry[] = {
    "Book, I*",       "Release, S*", "Num, S*", "Sort Title, A24+", "Key, A42+", "Series, A42+", "ByDate, A20+",
    "Condition, A20", "Price, N",    "Qty, S",  "EntryDate, I+",    "Prop, S",   "E, A120"};
// 42: Books.db
constexpr const char* kBooksMemo[] = {"Book, I*",    "Main, I+",    "Prime, S",      "Sort Title, A24+",
                                      "Title, A30",  "Date, I",     "G0, S",         "G1, S",
                                      "G2, S",       "G3, S",       "G4, S",         "G5, S",
                                      "G6, S",       "G7, S",       "PG, S",         "Prop, S",
                                      "Special1, S", "Special2, I", "Entry Date, S", "Blurb Date, S",
                                      "Blurb, A11"};

constexpr TCatalogueEntry kEntries[] = {
    {1, kAuthorsOld},      {2, kBooksOld},    {3, kPersonalNotes},    {4, kExpandedTitlesOld}, {5, kReissuesOld},
    {6, kSeriesOld},       {7, kCharacters},  {8, kGenresOld},        {9, kBookIndexingOld},   {10, kGroupIndexingOld},
    {12, kLocalesOld},     {13, kPrices},     {14, kFolderOld},       {15, kBooksMemoOld},     {21, kFolder},
    {22, kFolder3},        {23, kPublishers}, {24, kIsbns},           {25, kContacts},         {26, kBookIndexing},
    {27, kGenres},         {28, kSeries},     {29, kImageLinks},      {30, kReissues},         {31, kBooks},
    {32, kExpandedTitles}, {33, kCalendar},   {34, kAuthors},         {35, kFolderIndexing},   {36, kGroupIndexing},
    {37, kGroups},         {38, kLocales},    {39, kFavoriteAuthors}, {40, kFolderRetry},      {41, kFolder3Retry},
    {42, kBooksMemo}};

// Structure 11 is built at run time around the group name width; these are
// its fixed fields.
constexpr int kGroupsOldNumber = 11;
constexpr const char* kGroupsOldHead[] = {"Number, S*", "ShortName, A25+"};
constexpr const char* kGroupsOldNamePrefix = "Name, A";
constexpr const char* kGroupsOldTail[] = {"Status, S"};

constexpr int kLastOldLayoutNumber = 14;

constexpr int kMaxAlphaWidth = 255;

// The files of a data set in their fixed order; kFolderTablesPattern stands
// for the folder tables.
// clang-format off
constexpr const char* kCurrentLayoutFiles[] = {
    "Auth0001.db", "AuthX.db", "AuthX.mb", "BkSeries.db", "BookInfo.db", "BookInfo.mb", "BookInx.db",
    "BookRef.db", "Books.db", "Books.mb", "Calendar.db", "CharX.db", "Contact.db", "Contact.mb",
    "ExpTitle.db", "Folders.db", kFolderTablesPattern.data(), "Genre.db", "GrpNames.db", "Images.db",
    "ISBNs.db", "LocNames.db", "Prices.db", "Pubs.db", "Reissues.db"};

constexpr const char* kEarlierLayoutFiles[] = {
    "AuthX.db", "AuthX.mb", "BkSeries.db", "BookGrp.db", "BookInfo.db", "BookInfo.mb", "BookLoc.db",
    "BookRef.db", "Books.db", "Books.mb", "CharX.db", "ExpTitle.db", "Genre.db", "GrpNames.db",
    "LocNames.db", "Prices.db", "Reissues.db", kFolderTablesPattern.data()};
// clang-format on

struct TTableLabel {
  const char* table;
  const char* label;
};

// The same table has the same label in both layouts.
// clang-format off
constexpr TTableLabel kTableLabels[] = {
    {"Auth0001", "Favorite authors"}, {"AuthX", "Authors"}, {"BkSeries", "Series"},
    {"BookGrp", "Group indexing"}, {"BookInfo", "Personal notes"}, {"BookInx", "Group indexing"},
    {"BookLoc", "Locale indexing"}, {"BookRef", "Book indexing"}, {"Books", "Books"},
    {"Calendar", "Timeline calendar"}, {"CharX", "Characters"}, {"Contact", "Contacts"},
    {"ExpTitle", "Expanded Titles"}, {"Folders", "Folder indexing"}, {"Genre", "Genres"},
    {"GrpNames", "Groups"}, {"Images", "Image links"}, {"ISBNs", "ISBNs"}, {"LocNames", "Locales"},
    {"Prices", "Prices"}, {"Pubs", "Publishers"}, {"Reissues", "Reissues"}};
// clang-format on

constexpr std::string_view kFolderPrefix = "Fldr";
constexpr std::string_view kTableExtension = ".db";
constexpr std::size_t kFolderMinDigits = 4;
// More digits than an int holds safely cannot be a folder of the catalogue.
constexpr std::size_t kFolderMaxDigits = 9;

int groupNameWidth = kDefaultGroupNameWidth;
int booksFormatMarker = kCurrentLayoutMarker;

TFieldSpecList GroupsOldSchema() {
  TFieldSpecList list(std::begin(kGroupsOldHead), std::end(kGroupsOldHead));
  list.push_back(kGroupsOldNamePrefix + std::to_string(groupNameWidth));
  list.insert(list.end(), std::begin(kGroupsOldTail), std::end(kGroupsOldTail));
  return list;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void SetGroupNameWidth(int width) {
  groupNameWidth = width >= 1 && width <= kMaxAlphaWidth ? width : kDefaultGroupNameWidth;
}
int GroupNameWidth() { return groupNameWidth; }

void SetBooksFormatMarker(int marker) { booksFormatMarker = marker; }
int BooksFormatMarker() { return booksFormatMarker; }

void ResetCatalogueSettings() {
  groupNameWidth = kDefaultGroupNameWidth;
  booksFormatMarker = kCurrentLayoutMarker;
}

bool IsCurrentLayout() { return booksFormatMarker == kCurrentLayoutMarker; }

TFieldSpecList GetTableSchema(int structureNumber) {
  if (structureNumber == kGroupsOldNumber) return GroupsOldSchema();
  for (const auto& entry : kEntries) {
    if (entry.number == structureNumber) return TFieldSpecList(entry.specs.begin(), entry.specs.end());
  }
  return {};
}

int SchemaLevel(int structureNumber) { return structureNumber <= kLastOldLayoutNumber ? 4 : 5; }

std::string SchemaLanguageDriver(int structureNumber) {
  return structureNumber <= kLastOldLayoutNumber ? "intl" : "DBWINUS0";
}

std::vector<std::string> DataSetFiles(bool currentLayout) {
  if (currentLayout) return {std::begin(kCurrentLayoutFiles), std::end(kCurrentLayoutFiles)};
  return {std::begin(kEarlierLayoutFiles), std::end(kEarlierLayoutFiles)};
}

std::optional<int> FolderTableNumber(std::string_view fileName) {
  const std::size_t fixed = kFolderPrefix.size() + kTableExtension.size();
  if (fileName.size() < fixed + kFolderMinDigits) return std::nullopt;
  if (!env::SameText(fileName.substr(0, kFolderPrefix.size()), kFolderPrefix)) return std::nullopt;
  if (!env::SameText(fileName.substr(fileName.size() - kTableExtension.size()), kTableExtension)) return std::nullopt;
  const std::string_view digits = fileName.substr(kFolderPrefix.size(), fileName.size() - fixed);
  if (digits.size() > kFolderMaxDigits || !std::all_of(digits.begin(), digits.end(), IsDigit)) return std::nullopt;
  // Zero-padded to four digits and no further: "Fldr00003.db" is not folder 3.
  if (digits.size() > kFolderMinDigits && digits.front() == '0') return std::nullopt;
  int number = 0;
  for (const char c : digits) number = number * 10 + (c - '0');
  return number;
}

bool IsFolderTableFile(std::string_view fileName) { return FolderTableNumber(fileName).has_value(); }

bool IsDataSetFile(std::string_view fileName, bool currentLayout) {
  if (IsFolderTableFile(fileName)) return true;
  const std::span<const char* const> files = currentLayout ? std::span<const char* const>(kCurrentLayoutFiles)
                                                           : std::span<const char* const>(kEarlierLayoutFiles);
  return std::any_of(files.begin(), files.end(),
                     [&](const char* name) { return name != kFolderTablesPattern && env::SameText(name, fileName); });
}

std::string_view TableLabel(std::string_view tableName) {
  for (const auto& entry : kTableLabels) {
    if (env::SameText(entry.table, tableName)) return entry.label;
  }
  return {};
}

std::optional<int> MemoFieldNumber(std::int32_t structureNumber) {
  switch (structureNumber) {
    case 1: return 10;
    case 2: return 11;
    case 3: return 8;
    case 25: return 8;
    case 31: return 21;
    case 34: return 17;
    case 42: return 21;
    default: return std::nullopt;
  }
}

}  // namespace remdo::catalogue
