// The generator's driver: checks the options, writes every table of the
// layout that the options ask for, then the folder tables and the save
// folder.
#include "generator/CatalogueGenerator.h"

#include <string>

#include "catalogue/TableCatalogue.h"
#include "env/Errors.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Text.h"
#include "generator/CatalogueModel.h"
#include "generator/TableFillers.h"
#include "paradox/components/Database.h"
#include "paradox/components/TableOptions.h"

namespace remdo::tools {

namespace {

// The files the catalogue's automatic backup copies, in its order; the
// folder tables (Fldr0001 to Fldr0999) go where kFolderTables stands.
constexpr std::string_view kFolderTables = "Fldr0???.db";
constexpr std::string_view kCurrentBackup[] = {
    "Auth0001.db", "AuthX.db",   "AuthX.mb",    "BkSeries.db", "BookInfo.db", "BookInfo.mb", "BookInx.db",
    "BookRef.db",  "Books.db",   "Books.mb",    "Calendar.db", "CharX.db",    "Contact.db",  "Contact.mb",
    "ExpTitle.db", kFolderTables, "Folders.db", "Genre.db",    "GrpNames.db", "Images.db",   "ISBNs.db",
    "LocNames.db", "Prices.db",  "Pubs.db",     "Reissues.db"};
constexpr std::string_view kEarlierBackup[] = {
    "AuthX.db", "AuthX.mb",    "BkSeries.db", "BookGrp.db", "BookInfo.db", "BookInfo.mb",
    "BookLoc.db", "BookRef.db", "Books.db",   "Books.mb",   "CharX.db",    "ExpTitle.db",
    kFolderTables, "Genre.db",  "GrpNames.db", "LocNames.db", "Prices.db", "Reissues.db"};

// Sets the process-wide group name width for the life of the object (0:
// leaves it alone).
class TGroupNameWidth {
 public:
  explicit TGroupNameWidth(int width) : saved_(catalogue::GroupNameWidth()), set_(width > 0) {
    if (set_) catalogue::SetGroupNameWidth(width);
  }
  ~TGroupNameWidth() {
    if (set_) catalogue::SetGroupNameWidth(saved_);
  }
  TGroupNameWidth(const TGroupNameWidth&) = delete;
  TGroupNameWidth& operator=(const TGroupNameWidth&) = delete;

 private:
  const int saved_;
  const bool set_;
};

void CheckOptions(const TCatalogueOptions& options) {
  if (options.books < 1 || options.books > 2000000000) {
    throw EGeneratorError("The number of books must be 1 to 2000000000, not " + std::to_string(options.books));
  }
  if (options.folders < 0 || options.folders > 9999) {
    throw EGeneratorError("The number of folders must be 0 to 9999, not " + std::to_string(options.folders));
  }
  if (options.groupNameWidth < 0 || options.groupNameWidth > 255) {
    throw EGeneratorError("The group name width must be 1 to 255, not " + std::to_string(options.groupNameWidth));
  }
  if (options.memoPerMille < 0 || options.memoPerMille > 1000) {
    throw EGeneratorError("The memo share must be 0 to 1000 thousandths, not " +
                          std::to_string(options.memoPerMille));
  }
}

bool Wanted(const TCatalogueOptions& options, std::string_view table) {
  if (options.onlyTables.empty()) return true;
  for (const std::string& pattern : options.onlyTables) {
    if (env::WildcardMatch(pattern, table)) return true;
  }
  return false;
}

std::vector<std::string> CopyIntoSaveFolder(const std::string& folder, bool currentLayout) {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const std::string save = SaveFolderName(currentLayout, folder);
  if (!fileSystem.FolderExists(save)) {
    const env::TIoResult made = fileSystem.MakeFolder(save);
    if (!made) throw EGeneratorError("Could not create the folder " + save + ": " + made.reason);
  }
  std::vector<std::string> names;
  const std::span<const std::string_view> list = currentLayout ? std::span<const std::string_view>(kCurrentBackup)
                                                               : std::span<const std::string_view>(kEarlierBackup);
  for (const std::string_view entry : list) {
    if (entry == kFolderTables) {
      for (const env::TFindEntry& found : fileSystem.Find(folder + std::string(kFolderTables), 0)) {
        names.push_back(found.name);
      }
    } else if (fileSystem.FileExists(folder + std::string(entry))) {
      names.emplace_back(entry);
    }
  }
  for (const std::string& name : names) {
    if (!paradox::CopyFileContents(folder + name, save + name)) throw env::EWriteError("Could not save " + name);
  }
  return names;
}

}  // namespace

std::int64_t TGeneratedCatalogue::Records(std::string_view table) const {
  for (const TGeneratedTable& entry : tables) {
    if (env::SameText(entry.name, table)) return entry.records;
  }
  return -1;
}

std::string SaveFolderName(bool currentLayout, std::string_view dataFolder) {
  const std::string folder = env::IncludeTrailingSeparator(dataFolder);
  return folder + (currentLayout ? "Save" : "SaveFenr") + env::SeparatorOf(folder);
}

TGeneratedCatalogue GenerateCatalogue(std::string_view dataFolder, const TCatalogueOptions& options) {
  CheckOptions(options);
  TGeneratedCatalogue result;
  result.folder = env::IncludeTrailingSeparator(dataFolder);
  const TCatalogueModel model(options);
  paradox::TDatabase database;
  database.SetDatabaseName(result.folder);
  database.Open();
  const std::vector<TTablePlan> plan =
      options.currentLayout ? CurrentLayoutPlan(options) : EarlierLayoutPlan();
  for (const TTablePlan& table : plan) {
    if (!Wanted(options, table.name)) continue;
    const TGroupNameWidth width(table.structure == 11 ? options.groupNameWidth : 0);
    TTableWriter writer(database, std::string(table.name), table.structure);
    table.fill(writer, model);
    result.tables.push_back({std::string(table.name), table.structure, writer.Finish()});
  }
  for (TGeneratedTable& folder :
       WriteFolderTables(database, model, [&options](std::string_view name) { return Wanted(options, name); })) {
    result.tables.push_back(std::move(folder));
  }
  database.Close();
  if (options.saveFolder) result.savedFiles = CopyIntoSaveFolder(result.folder, options.currentLayout);
  return result;
}

}  // namespace remdo::tools
