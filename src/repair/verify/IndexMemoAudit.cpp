// One scan of the data file feeds every check: each record goes to the memo
// check and, when the table has secondary indexes, into the census of its
// keys; the blocks gathered are what the primary index is compared with.
// The secondary index files are then read one by one.
#include "repair/verify/IndexMemoAudit.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/family/TableFiles.h"
#include "paradox/format/HeaderReading.h"
#include "paradox/index/IndexTreeReader.h"
#include "repair/verify/DataFileScan.h"
#include "repair/verify/FindingTally.h"
#include "repair/verify/MemoAudit.h"
#include "repair/verify/SecondaryAudit.h"
#include "repair/verify/TreeAudit.h"

namespace remdo::repair {

namespace {

using paradox::TTableHeader;

struct TIndexPair {
  std::string data;  // .Xnn / .XGn path
  std::string tree;  // .Ynn / .YGn path, empty when absent
};

// The secondary indexes on disk, paired by the characters after X and Y; a
// tree without its data file is tallied as such.
std::vector<TIndexPair> PairIndexes(const paradox::TTableFiles& files, TFindingTally& tally, TIndexMemoCounts& counts) {
  std::vector<TIndexPair> pairs;
  const auto suffix = [](const std::string& name) {
    return env::UpperCase(std::string(env::ExtensionPart(name)).substr(2));
  };
  const auto kind = [](const std::string& name) {
    return env::UpperCase(std::string(env::ExtensionPart(name)).substr(1, 1));
  };
  std::vector<std::string> names = files.secondary;
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (kind(name) != "X") continue;
    TIndexPair pair{files.folder + name, {}};
    for (const std::string& other : files.secondary) {
      if (kind(other) == "Y" && suffix(other) == suffix(name)) pair.tree = files.folder + other;
    }
    pairs.push_back(pair);
  }
  for (const std::string& name : files.secondary) {
    if (kind(name) != "Y") continue;
    const bool paired = std::any_of(pairs.begin(), pairs.end(), [&](const TIndexPair& p) {
      return suffix(std::string(env::NamePart(p.data))) == suffix(name);
    });
    if (paired) continue;
    tally.Note(name, TFindingCode::kSecondaryEntryFileMissing);
    ++counts.missingFiles;
  }
  return pairs;
}

class TAudit {
 public:
  TAudit(env::TFileSystem& fileSystem, std::string_view dataPath, const TIndexMemoOptions& options)
      : fileSystem_(fileSystem),
        files_(paradox::FindTableFiles(fileSystem, dataPath)),
        dataPath_(dataPath),
        options_(options) {}

  TIndexMemoAudit Run() {
    try {
      Check();
    } catch (const env::ERemdoError& e) {
      // Only the data file's own failures get here; it is the verify
      // report's business, the indexes and memo cannot be judged without it.
      result_.findings.push_back(MakeFinding(TFindingCode::kIndexesNotChecked, {e.what()}));
      return std::move(result_);
    }
    const auto& found = tally_.Findings();
    result_.findings.insert(result_.findings.end(), found.begin(), found.end());
    return std::move(result_);
  }

 private:
  void Check() {
    auto file = fileSystem_.Open(dataPath_, env::TOpenMode::kRead);
    const std::uint64_t size = file->Size();
    const TTableHeader table = paradox::ReadFileHeader(*file, size, dataPath_);
    if (table.IsEncrypted() && !options_.encryptionMarkIsDamage) {
      result_.findings.push_back(MakeFinding(TFindingCode::kIndexesNotChecked, {"the table is encrypted"}));
      return;
    }
    std::size_t keyWidth = 0;
    for (int i = 0; i < table.keyFieldCount; ++i) keyWidth += static_cast<std::size_t>(table.fields[i].Width());
    const bool keyed = table.fileType == paradox::TFileType::kKeyedTable && keyWidth > 0;
    TMemoAudit memo(fileSystem_, files_.memo.empty() ? std::string() : files_.folder + files_.memo, MemoName(), table,
                    tally_, result_.counts);
    const std::vector<TIndexPair> indexes = PairIndexes(files_, tally_, result_.counts);
    std::optional<TKeyCensus> census;
    if (keyed && !indexes.empty()) census.emplace(keyWidth);
    const TDataFileMap blocks = ScanDataFile(*file, size, table, keyWidth,
                                             [&](std::uint32_t block, std::size_t slot, std::span<const std::byte> r) {
                                               if (memo.Wanted()) memo.Record(block, slot, r);
                                               if (census) census->AddRecord(block, slot, r);
                                             });
    file->Close();
    memo.Finish();
    if (keyed) CheckPrimary(blocks);
    for (const TIndexPair& pair : indexes) {
      AuditSecondaryIndex(fileSystem_, pair.data, pair.tree, table, census ? &*census : nullptr, tally_,
                          result_.counts);
    }
    if (keyed) CheckExpectedIndexes();
  }

  std::string MemoName() const { return files_.memo.empty() ? files_.baseName + ".MB" : files_.memo; }

  void CheckPrimary(const TDataFileMap& blocks) {
    if (files_.primaryIndex.empty()) {
      tally_.Note(files_.baseName + ".PX", TFindingCode::kPrimaryIndexMissing);
      ++result_.counts.missingFiles;
      return;
    }
    const std::string path = files_.folder + files_.primaryIndex;
    try {
      auto file = fileSystem_.Open(path, env::TOpenMode::kRead);
      AuditTree(paradox::ReadIndexTree(*file, path), blocks, files_.primaryIndex, tally_, result_.counts);
    } catch (const env::ERemdoError& e) {
      tally_.Note(files_.primaryIndex, TFindingCode::kPrimaryIndexUnreadable, {e.what()});
      ++result_.counts.unreadableFiles;
    }
  }

  void CheckExpectedIndexes() {
    for (const int field : options_.indexedFields) {
      const std::string name = paradox::SecondaryIndexFileName(files_.baseName, field, 'X');
      if (fileSystem_.FileExists(files_.folder + name)) continue;
      tally_.Note(name, TFindingCode::kSecondaryIndexMissing);
      ++result_.counts.missingFiles;
    }
  }

  env::TFileSystem& fileSystem_;
  const paradox::TTableFiles files_;
  const std::string dataPath_;
  const TIndexMemoOptions& options_;
  TFindingTally tally_;
  TIndexMemoAudit result_;
};

}  // namespace

TIndexMemoAudit AuditIndexesAndMemo(env::TFileSystem& fileSystem, std::string_view dataPath,
                                    const TIndexMemoOptions& options) {
  return TAudit(fileSystem, dataPath, options).Run();
}

}  // namespace remdo::repair
