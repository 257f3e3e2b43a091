// Family lookup by wildcard search; the data file keeps the spelling it has
// on disk, so that rewriting a table never renames it.
#include "paradox/family/TableFiles.h"

#include "env/Path.h"
#include "env/Text.h"
#include "paradox/family/Journal.h"

namespace remdo::paradox {

std::string TableDataPath(std::string_view folder, std::string_view tableName) {
  std::string path = env::JoinPath(folder, tableName);
  if (env::ExtensionPart(tableName).empty()) path += ".db";
  return path;
}

bool IsSecondaryIndexExtension(std::string_view extension) {
  if (extension.size() != 3) return false;
  const char first = env::UpperChar(extension[0]);
  return first == 'X' || first == 'Y';
}

bool IsFamilyExtension(std::string_view extension) {
  for (const std::string_view own : {"DB", "PX", "MB", "VAL"}) {
    if (env::SameText(extension, own)) return true;
  }
  return IsSecondaryIndexExtension(extension);
}

std::string SecondaryIndexFileName(std::string_view baseName, int fieldNumber, char kind) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string name(baseName);
  name += '.';
  name += kind;
  name += kDigits[(fieldNumber >> 4) & 0xF];
  name += kDigits[fieldNumber & 0xF];
  return name;
}

std::vector<std::string> TTableFiles::Family() const {
  std::vector<std::string> names;
  for (const std::string* name : {&primaryIndex, &memo, &validity, &journal}) {
    if (!name->empty()) names.push_back(*name);
  }
  names.insert(names.end(), secondary.begin(), secondary.end());
  return names;
}

TTableFiles FindTableFiles(env::TFileSystem& fileSystem, std::string_view dataPath) {
  TTableFiles files;
  files.folder = std::string(env::FolderPart(dataPath));
  const std::string_view dataName = env::NamePart(dataPath);
  const std::string_view dataExtension = env::ExtensionPart(dataName);
  files.baseName = std::string(dataName.substr(0, dataName.size() - dataExtension.size()));
  files.dataName = std::string(dataName);
  for (const auto& entry : fileSystem.Find(files.folder + files.baseName + ".*", 0)) {
    const std::string_view name = entry.name;
    const std::string_view extension = env::ExtensionPart(name);
    if (!env::SameText(name.substr(0, name.size() - extension.size()), files.baseName) || extension.empty()) continue;
    const std::string_view bare = extension.substr(1);
    if (env::SameText(extension, dataExtension)) {
      files.dataName = entry.name;
    } else if (env::SameText(bare, "PX")) {
      files.primaryIndex = entry.name;
    } else if (env::SameText(bare, "MB")) {
      files.memo = entry.name;
    } else if (env::SameText(bare, "VAL")) {
      files.validity = entry.name;
    } else if (env::SameText(extension, kJournalExtension)) {
      files.journal = entry.name;
    } else if (IsSecondaryIndexExtension(bare)) {
      files.secondary.push_back(entry.name);
    }
  }
  return files;
}

}  // namespace remdo::paradox
