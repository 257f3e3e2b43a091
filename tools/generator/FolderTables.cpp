// Folder tables: one per folder, holding the books that Folders puts in it
// (the same Book and Release), with the book's sort title, a sort key of
// author and title, and its series. All folder tables are open at once and
// filled in one pass over the books, which keeps each in key order.
#include <memory>
#include <string>

#include "env/Text.h"
#include "generator/TableFillers.h"

namespace remdo::tools {

namespace {

constexpr std::int32_t kEntryDateBase = 1800000000;
constexpr std::string_view kConditions[] = {"Fine", "Very good", "Good", "Fair", "Reading copy"};

struct TFolderColumns {
  int book = -1, release = -1, num = -1, sortTitle = -1, key = -1, series = -1, byDate = -1;
  int condition = -1, price = -1, qty = -1, entryDate = -1, prop = -1, e = -1;
};

struct TFolderWriter {
  int structure = 0;
  std::unique_ptr<TTableWriter> table;
  TFolderColumns columns;
};

int FolderStructure(const TCatalogueModel& model, int folder) {
  if (!model.Options().currentLayout || model.Options().earlierFolderTables) return 14;
  return folder == 3 ? 22 : 21;
}

TFolderColumns ColumnsOf(const TTableWriter& table, int structure) {
  TFolderColumns c;
  c.book = table.Column("Book");
  c.release = table.Column("Release");
  c.sortTitle = table.Column("Sort Title");
  c.key = table.Column("Key");
  c.series = table.Column("Series");
  if (structure == 14) return c;
  c.num = table.Column("Num");
  c.byDate = table.Column("ByDate");
  c.condition = table.Column("Condition");
  c.price = table.Column("Price");
  c.qty = table.Column("Qty");
  c.entryDate = table.Column("EntryDate");
  c.prop = table.Column("Prop");
  if (structure == 22) c.e = table.Column("E");
  return c;
}

void AddFolderRow(TFolderWriter& writer, const TCatalogueModel& model, const TBookFacts& facts,
                  const TFolderEntry& entry, const TTitle& titles, const std::string& key,
                  const std::string& series) {
  const TFolderColumns& c = writer.columns;
  TRandom random = model.Stream(TStream::kFolderRow, static_cast<std::int64_t>(facts.book) * 10000 + entry.folder);
  TRecordBuilder& record = writer.table->NewRecord();
  record.SetInteger(c.book, facts.book);
  record.SetInteger(c.release, entry.release);
  record.SetText(c.sortTitle, titles.sortTitle);
  record.SetText(c.key, key);
  record.SetText(c.series, series);
  if (writer.structure != 14) {
    record.SetInteger(c.num, 1);
    record.SetText(c.byDate, DateText(model.ReleaseDate(facts, entry.release)));
    record.SetText(c.condition, random.Pick(kConditions));
    record.SetFloat(c.price, random.Between(100, 9999) / 100.0);
    record.SetInteger(c.qty, 1);
    record.SetInteger(c.entryDate, kEntryDateBase + facts.book);
    record.SetInteger(c.prop, 0);
    if (c.e >= 0 && random.PerMille(300)) record.SetText(c.e, "Shelved with the " + titles.title);
  }
  writer.table->Insert();
}

}  // namespace

std::string FolderTableFileStem(int folder) {
  std::string digits = std::to_string(folder < 0 ? -folder : folder);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return "Fldr" + digits;
}

std::vector<TGeneratedTable> WriteFolderTables(paradox::TDatabase& database, const TCatalogueModel& model,
                                               const std::function<bool(std::string_view)>& wanted) {
  std::vector<std::unique_ptr<TFolderWriter>> writers(static_cast<std::size_t>(model.Folders()) + 1);
  bool any = false;
  for (int folder = 1; folder <= model.Folders(); ++folder) {
    const std::string name = FolderTableFileStem(folder);
    if (!wanted(name)) continue;
    auto writer = std::make_unique<TFolderWriter>();
    writer->structure = FolderStructure(model, folder);
    writer->table = std::make_unique<TTableWriter>(database, name, writer->structure);
    writer->columns = ColumnsOf(*writer->table, writer->structure);
    writers[static_cast<std::size_t>(folder)] = std::move(writer);
    any = true;
  }
  if (!any) return {};
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    if (facts.folderCount == 0) continue;
    const TTitle titles = model.Title(b, facts.expandedTitle);
    const TAuthorFacts author = model.Author(facts.authors[0]);
    const std::string key = env::UpperCase(author.name.last + " " + author.name.first + " " + titles.sortTitle);
    const std::string series = facts.series == 0 ? std::string() : model.SeriesName(facts.series);
    for (int i = 0; i < facts.folderCount; ++i) {
      const TFolderEntry& entry = facts.folders[static_cast<std::size_t>(i)];
      TFolderWriter* writer = writers[static_cast<std::size_t>(entry.folder)].get();
      if (writer != nullptr) AddFolderRow(*writer, model, facts, entry, titles, key, series);
    }
  }
  std::vector<TGeneratedTable> written;
  for (const auto& writer : writers) {
    if (!writer) continue;
    written.push_back({writer->table->TableName(), writer->structure, writer->table->Finish()});
  }
  return written;
}

}  // namespace remdo::tools
