// The before/after comparison of a data folder, record by record.
#include "remdo-table/FolderCompare.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "env/Errors.h"
#include "env/FileStream.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/format/PxObject.h"
#include "remdo-table/BlobValues.h"
#include "remdo-table/TableFile.h"
#include "remdo-table/ValueText.h"

namespace remdo::tools {

namespace {

constexpr char kUnitSeparator = '\x1F';
constexpr const char* kRejectedFolder = "Rejected";
constexpr const char* kOriginalFolder = "Original";

// Names of the tables a run makes for itself and removes again.
bool IsScratchTable(const std::string& upperName) { return upperName == "TEMPTBL1" || upperName == "RECTBL"; }

// Base names of the *.db files of a folder, keyed by their upper case.
std::map<std::string, std::string> TableNames(env::TFileSystem& fileSystem, const std::string& folder) {
  std::map<std::string, std::string> names;
  for (const auto& entry : fileSystem.Find(folder + "*.db", 0)) {
    const std::string base = entry.name.substr(0, entry.name.size() - 3);
    const std::string upper = env::UpperCase(base);
    if (!IsScratchTable(upper)) names.emplace(upper, base);
  }
  return names;
}

// The subfolders of folder, as paths with a trailing separator.
std::vector<std::string> SubFolders(env::TFileSystem& fileSystem, const std::string& folder) {
  std::vector<std::string> folders;
  for (const auto& entry : fileSystem.Find(folder + "*", env::attr::kDirectory)) {
    if ((entry.attributes & env::attr::kDirectory) != 0) folders.push_back(folder + entry.name + "\\");
  }
  std::sort(folders.begin(), folders.end());
  return folders;
}

// True when name (a base name, upper case) is table or table + "_" + digits.
bool IsKeptName(const std::string& name, const std::string& table) {
  if (name.compare(0, table.size(), table) != 0) return false;
  if (name.size() == table.size()) return true;
  return name.size() > table.size() + 1 && name[table.size()] == '_' &&
         name.find_first_not_of("0123456789", table.size() + 1) == std::string::npos;
}

// The files the run kept for its tables: every *.db in the Rejected
// subfolders (kept originals apart), relative to the data folder.
struct TKeptFiles {
  std::vector<std::string> rejected;
  std::vector<std::string> originals;
};

TKeptFiles KeptFiles(env::TFileSystem& fileSystem, const std::string& folder) {
  TKeptFiles kept;
  const std::string rejectedFolder = folder + kRejectedFolder + "\\";
  for (const auto& run : SubFolders(fileSystem, rejectedFolder)) {
    const std::string relative = run.substr(folder.size());
    for (const auto& [upper, base] : TableNames(fileSystem, run)) kept.rejected.push_back(relative + base + ".db");
    const std::string originals = run + kOriginalFolder + "\\";
    for (const auto& [upper, base] : TableNames(fileSystem, originals)) {
      kept.originals.push_back(originals.substr(folder.size()) + base + ".db");
    }
  }
  return kept;
}

using TRecordCounts = std::unordered_map<std::string, std::int64_t>;

// Takes the records of texts out of counts where it holds them; returns how
// many of texts it held.
std::int64_t TakeMatches(TRecordCounts& counts, const std::vector<std::string>& texts) {
  std::int64_t matched = 0;
  for (const auto& text : texts) {
    auto found = counts.find(text);
    if (found == counts.end() || found->second == 0) continue;
    --found->second;
    ++matched;
  }
  return matched;
}

void AddNote(TTableComparison& table, const std::string& which, const std::string& error) {
  if (error.empty()) return;
  if (!table.note.empty()) table.note += "; ";
  table.note += which + ": " + error;
}

// The rows of every kept file of the table among files (relative paths).
std::vector<std::string> KeptRows(env::TFileSystem& fileSystem, const std::string& folder,
                                  const std::vector<std::string>& files, const std::string& upperTable,
                                  TTableComparison& table) {
  std::vector<std::string> rows;
  for (const auto& file : files) {
    const std::string base(env::NamePart(file));
    if (!IsKeptName(env::UpperCase(base.substr(0, base.size() - 3)), upperTable)) continue;
    std::string error;
    auto texts = RecordTexts(fileSystem, folder + file, error);
    AddNote(table, file, error);
    rows.insert(rows.end(), std::make_move_iterator(texts.begin()), std::make_move_iterator(texts.end()));
  }
  return rows;
}

TTableComparison CompareTable(env::TFileSystem& fileSystem, const std::string& before, const std::string& after,
                              const TKeptFiles& kept, const std::string& upper, const std::string& name) {
  TTableComparison table;
  table.name = name;
  std::string error;
  const auto beforeRows = RecordTexts(fileSystem, before + name + ".db", error);
  AddNote(table, "before", error);
  error.clear();
  const auto afterRows = RecordTexts(fileSystem, after + name + ".db", error);
  AddNote(table, "after", error);
  table.before = static_cast<std::int64_t>(beforeRows.size());
  table.after = static_cast<std::int64_t>(afterRows.size());

  TRecordCounts counts;
  for (const auto& row : beforeRows) ++counts[row];
  table.recovered = table.after - TakeMatches(counts, afterRows);
  const auto rejectedRows = KeptRows(fileSystem, after, kept.rejected, upper, table);
  const auto originalRows = KeptRows(fileSystem, after, kept.originals, upper, table);
  table.rejected = static_cast<std::int64_t>(rejectedRows.size());
  table.original = static_cast<std::int64_t>(originalRows.size());
  TakeMatches(counts, rejectedRows);
  TakeMatches(counts, originalRows);
  for (const auto& [row, count] : counts) table.lost += count;
  return table;
}

}  // namespace

std::vector<std::string> RecordTexts(env::TFileSystem& fileSystem, const std::string& path, std::string& error) {
  std::vector<std::string> rows;
  error.clear();
  if (!fileSystem.FileExists(path)) return rows;
  paradox::TPxObject reader(env::TFileStream(fileSystem, path, env::TOpenMode::kRead));
  if (!reader.HasHeader() || !reader.HasFields() || reader.IsEncrypted()) {
    error = "the table's header or field descriptions cannot be read";
    return rows;
  }
  const std::uint16_t codePage = TableCodePage(reader);
  // Memo values are compared by their whole text, wherever they are stored.
  TBlobValues blobs(fileSystem, path);
  try {
    if (!reader.FirstRecord()) return rows;
    std::string row;
    do {
      row.clear();
      for (const auto* field = reader.FirstField(); field != nullptr; field = field->Next()) {
        if (field != reader.FirstField()) row += kUnitSeparator;
        row += FieldText(*field, codePage, blobs);
      }
      rows.push_back(row);
    } while (reader.NextRecord());
  } catch (const env::EReadError& e) {
    error = e.what();
  }
  return rows;
}

TFolderComparison CompareFolders(env::TFileSystem& fileSystem, const std::string& before, const std::string& after) {
  const std::string beforeFolder = env::IncludeTrailingSeparator(before);
  const std::string afterFolder = env::IncludeTrailingSeparator(after);
  std::map<std::string, std::string> names = TableNames(fileSystem, beforeFolder);
  for (const auto& [upper, base] : TableNames(fileSystem, afterFolder)) names[upper] = base;

  TFolderComparison comparison;
  const TKeptFiles kept = KeptFiles(fileSystem, afterFolder);
  for (const auto& [upper, name] : names) {
    comparison.tables.push_back(CompareTable(fileSystem, beforeFolder, afterFolder, kept, upper, name));
  }
  comparison.keptFiles = kept.rejected;
  comparison.keptFiles.insert(comparison.keptFiles.end(), kept.originals.begin(), kept.originals.end());
  return comparison;
}

}  // namespace remdo::tools
