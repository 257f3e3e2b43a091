// The commit's steps and their settlement; the marker's text and the rule
// for the names it may hold are in CommitMarker.cpp.
#include "paradox/family/FamilyCommit.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "env/Errors.h"
#include "env/Text.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/family/TableFiles.h"

namespace remdo::paradox {

namespace {

// A genuine marker lists one table family: far below this size.
constexpr std::uint64_t kMaxMarkerSize = 1u << 20;

struct TMarkerRead {
  std::optional<std::string> text;  // nothing: unreadable or too large
  bool tooLarge = false;
};

TMarkerRead ReadMarker(env::TFileSystem& fs, const std::string& path) {
  try {
    auto file = fs.Open(path, env::TOpenMode::kRead);
    const std::uint64_t size = file->Size();
    if (size > kMaxMarkerSize) return {std::nullopt, true};
    std::string text(static_cast<std::size_t>(size), '\0');
    const std::size_t got = file->ReadAt(0, std::as_writable_bytes(std::span<char>(text)));
    text.resize(got);
    return {std::move(text), false};
  } catch (const env::ERemdoError&) {
    return {};
  }
}

// The family (base name) of a file the engine names as its own temporary
// file: a family file's name with ".new" ("Books.db.new", "Books.X02.new"),
// a memo pack's "Books.mb.pack.new" or a sorting load's "Books.db.runs.new".
// Nothing for any other name.
std::optional<std::string_view> TemporaryFamilyOf(std::string_view name) {
  if (name.size() <= kNewSuffix.size() || !env::SameText(name.substr(name.size() - kNewSuffix.size()), kNewSuffix)) {
    return std::nullopt;
  }
  std::string_view final = name.substr(0, name.size() - kNewSuffix.size());
  std::string_view required;
  for (const auto& [suffix, extension] :
       {std::pair{kMemoPackSuffix, std::string_view("MB")}, std::pair{kSortRunsSuffix, std::string_view("DB")}}) {
    if (final.size() > suffix.size() && env::SameText(final.substr(final.size() - suffix.size()), suffix)) {
      final.remove_suffix(suffix.size());
      required = extension;
      break;
    }
  }
  const std::size_t dot = final.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::nullopt;
  const std::string_view extension = final.substr(dot + 1);
  const bool engines = required.empty() ? IsFamilyExtension(extension) : env::SameText(extension, required);
  if (!engines) return std::nullopt;
  return final.substr(0, dot);
}

// Undoes or finishes the steps a marker lists; true when the marker could go.
bool SettleLines(env::TFileSystem& fs, const std::string& folder, const std::vector<TMarkerLine>& lines) {
  // Forward when every step of the apply phase is done: each new file in
  // place of its temporary, each removed file gone from its final name.
  bool forward = true;
  auto temporaryOf = [&](const TMarkerLine& line) {
    return line.source.empty() ? folder + line.name + std::string(kNewSuffix) : folder + line.source;
  };
  for (const auto& line : lines) {
    const std::string final = folder + line.name;
    if (line.hasNew && (fs.FileExists(temporaryOf(line)) || !fs.FileExists(final))) forward = false;
    if (!line.hasNew && line.goesAside && fs.FileExists(final)) forward = false;
  }
  bool ok = true;
  for (const auto& line : lines) {
    const std::string final = folder + line.name;
    const std::string temporary = temporaryOf(line);
    const std::string aside = final + std::string(kAsideSuffix);
    if (forward) {
      if (fs.FileExists(aside)) ok = fs.Remove(aside).ok && ok;
      continue;
    }
    const bool renamedIn = line.hasNew && !fs.FileExists(temporary) && fs.FileExists(final);
    if (renamedIn && (line.goesAside || !line.source.empty())) {
      ok = fs.Rename(final, temporary, true).ok && ok;
    } else if (renamedIn && !fs.FileExists(aside)) {
      // The file is new and had no predecessor: it goes.
      ok = fs.Remove(final).ok && ok;
    }
    if (fs.FileExists(aside)) ok = fs.Rename(aside, final, true).ok && ok;
    // A temporary file goes; an adopted file stays where it was.
    if (line.source.empty() && fs.FileExists(temporary)) ok = fs.Remove(temporary).ok && ok;
  }
  return ok;
}

}  // namespace

TFamilyCommit::TFamilyCommit(env::TFileSystem& fileSystem, std::string folder, std::string tableName,
                             TDurability durability)
    : fileSystem_(fileSystem), folder_(std::move(folder)), tableName_(std::move(tableName)), durability_(durability) {}

TFamilyCommit::~TFamilyCommit() {
  if (!committed_) DiscardTemporaries();
}

env::TFile& TFamilyCommit::Create(std::string_view fileName) {
  TEntry entry;
  entry.name = std::string(fileName);
  entry.file = fileSystem_.Open(PathOf(fileName) + std::string(kNewSuffix), env::TOpenMode::kCreate);
  entries_.push_back(std::move(entry));
  return *entries_.back().file;
}

void TFamilyCommit::Remove(std::string_view fileName) {
  for (const auto& existing : entries_) {
    if (env::SameText(existing.name, fileName)) return;
  }
  TEntry entry;
  entry.name = std::string(fileName);
  entries_.push_back(std::move(entry));
}

std::string TFamilyCommit::NewPathOf(const TEntry& entry) const {
  return entry.source.empty() ? PathOf(entry.name) + std::string(kNewSuffix) : PathOf(entry.source);
}

void TFamilyCommit::Adopt(std::string_view sourceName, std::string_view fileName) {
  TEntry entry;
  entry.name = std::string(fileName);
  entry.source = std::string(sourceName);
  entries_.push_back(std::move(entry));
}

void TFamilyCommit::DiscardTemporaries() noexcept {
  for (auto& entry : entries_) {
    if (!entry.file) continue;
    try {
      entry.file->Close();
    } catch (const env::ERemdoError&) {
    }
    if (!entry.renameDone) fileSystem_.Remove(NewPathOf(entry));
  }
}

void TFamilyCommit::WriteMarker() {
  std::vector<TMarkerLine> lines;
  for (auto& entry : entries_) {
    entry.existed = fileSystem_.FileExists(PathOf(entry.name));
    lines.push_back({entry.name, HasNew(entry), entry.existed, entry.source});
  }
  const std::string text = EncodeMarker(lines);
  auto marker = fileSystem_.Open(PathOf(tableName_) + std::string(kMarkerExtension), env::TOpenMode::kCreate);
  marker->WriteAt(0, std::as_bytes(std::span<const char>(text)));
  if (Durable()) marker->Flush();
  marker->Close();
}

// Every new file is on disk before the marker names it. An adopted file was
// written by a scratch commit that did not flush it.
// All the new files in one flush, so that the file system may make them
// durable together.
void TFamilyCommit::FlushNewFiles() {
  std::vector<std::unique_ptr<env::TFile>> adopted;
  std::vector<env::TFile*> files;
  for (auto& entry : entries_) {
    if (entry.file) {
      files.push_back(entry.file.get());
    } else if (!entry.source.empty() && Durable()) {
      adopted.push_back(fileSystem_.Open(PathOf(entry.source), env::TOpenMode::kReadWrite));
      files.push_back(adopted.back().get());
    }
  }
  if (Durable()) fileSystem_.FlushFiles(files);
  for (env::TFile* file : files) file->Close();
}

void TFamilyCommit::SyncFolder() {
  if (Durable()) (void)fileSystem_.SyncFolder(folder_);
}

void TFamilyCommit::Apply() {
  auto check = [](const env::TIoResult& result, const std::string& what) {
    if (!result) throw env::EWriteError("Cannot " + what + ". " + result.reason);
  };
  for (auto& entry : entries_) {
    if (!entry.existed) continue;
    const std::string final = PathOf(entry.name);
    failure_ = {TFailedStep::kAside, entry.name, {}};
    check(fileSystem_.Rename(final, final + std::string(kAsideSuffix), true), "move " + final + " aside");
    entry.asideDone = true;
  }
  for (auto& entry : entries_) {
    if (!HasNew(entry)) continue;
    const std::string final = PathOf(entry.name);
    failure_ = {TFailedStep::kRenameIn, entry.name, entry.source};
    check(fileSystem_.Rename(NewPathOf(entry), final, false), "rename the new " + final + " into place");
    entry.renameDone = true;
  }
  failure_ = {TFailedStep::kOther, {}, {}};
  if (Durable()) check(fileSystem_.SyncFolder(folder_), "sync the folder " + folder_);
}

void TFamilyCommit::RollBack() noexcept {
  bool ok = true;
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    const std::string final = PathOf(it->name);
    if (it->renameDone) {
      ok = fileSystem_.Rename(final, NewPathOf(*it), true).ok && ok;
      it->renameDone = !ok;
    }
    if (it->asideDone) ok = fileSystem_.Rename(final + std::string(kAsideSuffix), final, true).ok && ok;
  }
  if (!ok) return;  // the marker stays; the next settlement finishes the roll-back
  DiscardTemporaries();
  fileSystem_.Remove(PathOf(tableName_) + std::string(kMarkerExtension));
  SyncFolder();
}

void TFamilyCommit::Commit() {
  std::vector<std::string> refusal;
  if (SettleFamilyCommit(fileSystem_, folder_, tableName_, refusal) == TSettleOutcome::kRefused) {
    // The marker in the way is not one of ours: it stays, and so does the family.
    committed_ = true;
    DiscardTemporaries();
    throw EngineError(kDbiErrWriteErr,
                      "The table " + folder_ + tableName_ + " could not be written. " + refusal.front());
  }
  bool markerWritten = false;
  failure_ = {TFailedStep::kOther, {}, {}};
  try {
    FlushNewFiles();
    // A removal of a file that does not exist is no step at all.
    std::erase_if(entries_, [&](const TEntry& e) { return !HasNew(e) && !fileSystem_.FileExists(PathOf(e.name)); });
    WriteMarker();
    markerWritten = true;
    Apply();
  } catch (const env::ERemdoError& error) {
    if (markerWritten) {
      RollBack();
    } else {
      DiscardTemporaries();
      fileSystem_.Remove(PathOf(tableName_) + std::string(kMarkerExtension));
    }
    committed_ = true;  // nothing left for the destructor
    throw EngineError(kDbiErrWriteErr, "The table " + folder_ + tableName_ + " could not be written. " + error.what());
  }
  committed_ = true;
  failure_ = {};
  bool clean = true;
  for (const auto& entry : entries_) {
    if (entry.asideDone) clean = fileSystem_.Remove(PathOf(entry.name) + std::string(kAsideSuffix)).ok && clean;
  }
  if (clean && fileSystem_.Remove(PathOf(tableName_) + std::string(kMarkerExtension)).ok) SyncFolder();
}

TSettleOutcome SettleFamilyCommit(env::TFileSystem& fileSystem, std::string_view folder, std::string_view tableName,
                                  std::vector<std::string>& warnings) {
  const std::string folderText(folder);
  const std::string markerPath = folderText + std::string(tableName) + std::string(kMarkerExtension);
  if (!fileSystem.FileExists(markerPath)) return TSettleOutcome::kNoMarker;
  const TMarkerRead read = ReadMarker(fileSystem, markerPath);
  if (read.tooLarge) {
    warnings.push_back("The commit marker " + markerPath + " is larger than any the engine writes; it and the " +
                       "files of " + std::string(tableName) + " were left as they are.");
    return TSettleOutcome::kRefused;
  }
  if (!read.text) return TSettleOutcome::kLeft;  // unreadable now; the next attempt settles it
  const auto lines = DecodeMarker(*read.text);
  bool ok = true;
  if (lines) {
    for (const auto& line : *lines) {
      const std::string refused = RefusedMarkerName(line, tableName);
      if (refused.empty()) continue;
      warnings.push_back("The commit marker " + markerPath + " names " + refused + ", which is not a file of " +
                         std::string(tableName) + "; it and every file it names were left as they are.");
      return TSettleOutcome::kRefused;
    }
    ok = SettleLines(fileSystem, folderText, *lines);
  } else {
    // Cut short before any file moved: only temporary files may exist.
    for (const auto& entry : fileSystem.Find(folderText + std::string(tableName) + ".*" + std::string(kNewSuffix), 0)) {
      const auto family = TemporaryFamilyOf(entry.name);
      if (!family || !env::SameText(*family, tableName)) continue;
      ok = fileSystem.Remove(folderText + entry.name).ok && ok;
    }
  }
  if (!ok || !fileSystem.Remove(markerPath).ok) return TSettleOutcome::kLeft;
  fileSystem.SyncFolder(folderText);
  return TSettleOutcome::kSettled;
}

std::vector<std::string> SettleFamilyCommits(env::TFileSystem& fileSystem, std::string_view folder,
                                             std::vector<std::string>& warnings) {
  std::vector<std::string> settled;
  const std::string folderText(folder);
  for (const auto& entry : fileSystem.Find(folderText + "*" + std::string(kMarkerExtension), 0)) {
    const std::string table = entry.name.substr(0, entry.name.size() - kMarkerExtension.size());
    if (SettleFamilyCommit(fileSystem, folderText, table, warnings) == TSettleOutcome::kSettled) {
      settled.push_back(table);
    }
  }
  // Temporary files of a commit that stopped before its marker was written:
  // the old family is complete, the half-made new one goes. Only names the
  // engine gives its own temporary files go, and none a marker still left
  // in the folder (refused, or to be settled later) may need.
  for (const auto& entry : fileSystem.Find(folderText + "*" + std::string(kNewSuffix), 0)) {
    const auto family = TemporaryFamilyOf(entry.name);
    if (!family || fileSystem.FileExists(folderText + std::string(*family) + std::string(kMarkerExtension))) continue;
    if (fileSystem.Remove(folderText + entry.name).ok) {
      warnings.push_back("Removed " + folderText + entry.name + ", left by a write that did not finish.");
    }
  }
  return settled;
}

}  // namespace remdo::paradox
