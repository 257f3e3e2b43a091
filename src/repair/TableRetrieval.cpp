// The judgement of an unusable data file and the take-back that sets it
// aside first.
#include "repair/TableRetrieval.h"

#include <vector>

#include "env/Errors.h"
#include "env/FileStream.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "paradox/format/PxObject.h"
#include "repair/RejectedFiles.h"
#include "repair/RepairContext.h"
#include "repair/RunReporter.h"
#include "repair/TableSequence.h"

namespace remdo::repair {

bool IsUnusableDataFile(const std::string& path) {
  try {
    const paradox::TPxObject reader(env::TFileStream(env::DefaultFileSystem(), path, env::TOpenMode::kRead));
    return !reader.HasFields();
  } catch (const env::EFOpenError&) {
    return false;
  } catch (const env::EReadError&) {
    return true;
  }
}

bool DataFolderLacksUsable(std::string_view name) {
  return !DataFolderHolds(name) || IsUnusableDataFile(TRepairContext::DataFolder() + std::string(name));
}

void TakeBackTable(TRepairContext& context, std::string_view name) {
  if (DataFolderHolds(name)) {
    const std::string table(name.substr(0, name.size() - env::ExtensionPart(name).size()));
    std::vector<std::string> family;
    for (const auto& entry :
         env::DefaultFileSystem().Find(TRepairContext::DataFolder() + table + ".*", env::attr::kAnyFile)) {
      if (IsTableFamilyFile(entry.name)) family.push_back(entry.name);
    }
    const std::string where = MoveOriginalFiles(context, table, family);
    context.Run().LogLine("~    unusable " + std::string(name) + " moved to " + where);
    if (SaveFolderHolds(table + ".mb")) TakeBackFromSaveFolder(table + ".mb");
  }
  TakeBackFromSaveFolder(name);
}

}  // namespace remdo::repair
