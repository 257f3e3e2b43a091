// The complete data set test and the check of a copied data set. Both list
// a folder once and compare names without regard to case, whatever the file
// system's own rule.
#include "installation/CompleteDataSet.h"

#include <cstdint>
#include <map>

#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Text.h"

namespace remdo::installation {

namespace {

struct TListedFile {
  std::string name;  // as listed
  std::uint64_t size = 0;
};

// The plain files of a folder that match pattern, by upper-cased name.
std::map<std::string, TListedFile> FilesOf(std::string_view folder, std::string_view pattern) {
  std::map<std::string, TListedFile> files;
  for (const env::TFindEntry& entry : env::DefaultFileSystem().Find(
           env::IncludeTrailingSeparator(folder) + std::string(pattern), env::attr::kAnyFile)) {
    if ((entry.attributes & env::attr::kDirectory) == 0) files[env::UpperCase(entry.name)] = {entry.name, entry.size};
  }
  return files;
}

}  // namespace

const std::vector<std::string_view> kCompleteDataSetFiles = {
    "Auth0001.db", "AuthX.db",    "AuthX.MB",    "BkSeries.db", "BookInfo.db", "BookInfo.MB", "BookInx.DB",
    "BookRef.db",  "Books.db",    "Books.MB",    "Calendar.DB", "CharX.DB",    "Contact.db",  "Contact.MB",
    "ExpTitle.db", "Fldr0001.db", "Fldr0002.db", "Folders.DB",  "Genre.db",    "GrpNames.DB", "Images.db",
    "ISBNs.db",    "LocNames.DB", "Prices.db",   "Pubs.db",     "Reissues.DB",
};

bool HasCompleteDataSet(std::string_view folder) {
  if (folder.empty() || !env::DefaultFileSystem().FolderExists(env::ExcludeTrailingSeparator(folder))) return false;
  const auto files = FilesOf(folder, "*");
  for (const std::string_view name : kCompleteDataSetFiles) {
    if (files.count(env::UpperCase(name)) == 0) return false;
  }
  return true;
}

std::vector<std::string> FilesNotCopiedWhole(const std::vector<std::string>& entries, std::string_view target) {
  std::map<std::string, TListedFile> expected;
  for (const std::string& entry : entries) {
    for (auto& [key, file] : FilesOf(env::FolderPart(entry), env::NamePart(entry))) expected[key] = std::move(file);
  }
  const auto arrived = FilesOf(target, "*");
  std::vector<std::string> notWhole;
  for (const auto& [key, source] : expected) {
    const auto it = arrived.find(key);
    if (it == arrived.end() || it->second.size != source.size) notWhole.push_back(source.name);
  }
  return notWhole;
}

}  // namespace remdo::installation
