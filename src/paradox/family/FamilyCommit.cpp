// Marker format (Windows-1252 text, CR LF line ends):
//   REMDO FAMILY COMMIT 1
//   <final name>|<N or ->|<A or ->[|<source>]
//                                       one line per file: N = a new file
//                                       comes in (from <source> when given,
//                                       else from <final name>.new), A = the
//                                       old one goes aside
//   END <lines> <FNV-1a of everything before this line, hex>
// Names hold no '|' (Windows forbids it in file names). A marker that does
// not end in a matching END line was cut short by a crash before any file
// was moved, so settling it only discards the temporary files.
#include "paradox/family/FamilyCommit.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "env/Errors.h"
#include "env/Text.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"

namespace remdo::paradox {

namespace {

constexpr std::string_view kMarkerTitle = "REMDO FAMILY COMMIT 1";

struct TMarkerLine {
  std::string name;
  bool hasNew = false;
  bool goesAside = false;
  std::string source;  // an adopted file; empty: name + ".new"
};

std::uint32_t Fnv1a(std::string_view text) {
  std::uint32_t hash = 2166136261u;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

std::string Hex(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

std::string EncodeMarker(const std::vector<TMarkerLine>& lines) {
  std::string body = std::string(kMarkerTitle) + "\r\n";
  for (const auto& line : lines) {
    body += line.name + "|" + (line.hasNew ? "N" : "-") + "|" + (line.goesAside ? "A" : "-") +
            (line.source.empty() ? "" : "|" + line.source) + "\r\n";
  }
  return body + "END " + std::to_string(lines.size()) + " " + Hex(Fnv1a(body)) + "\r\n";
}

std::optional<std::vector<TMarkerLine>> DecodeMarker(std::string_view text) {
  const std::size_t end = text.rfind("END ");
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view body = text.substr(0, end);
  std::vector<TMarkerLine> lines;
  std::size_t at = 0;
  bool first = true;
  while (at < body.size()) {
    const std::size_t eol = body.find("\r\n", at);
    if (eol == std::string_view::npos) return std::nullopt;
    const std::string_view line = body.substr(at, eol - at);
    at = eol + 2;
    if (first) {
      if (line != kMarkerTitle) return std::nullopt;
      first = false;
      continue;
    }
    const std::size_t bar1 = line.find('|');
    const std::size_t bar2 = bar1 == std::string_view::npos ? bar1 : line.find('|', bar1 + 1);
    if (bar2 == std::string_view::npos || bar2 != bar1 + 2 || bar2 + 2 > line.size()) return std::nullopt;
    std::string source;
    if (bar2 + 2 < line.size()) {
      if (line[bar2 + 2] != '|') return std::nullopt;
      source = std::string(line.substr(bar2 + 3));
    }
    lines.push_back({std::string(line.substr(0, bar1)), line[bar1 + 1] == 'N', line[bar2 + 1] == 'A', source});
  }
  const std::string expected = "END " + std::to_string(lines.size()) + " " + Hex(Fnv1a(body)) + "\r\n";
  if (first || text.substr(end) != expected) return std::nullopt;
  return lines;
}

std::optional<std::string> ReadSmallFile(env::TFileSystem& fs, const std::string& path) {
  try {
    auto file = fs.Open(path, env::TOpenMode::kRead);
    const std::uint64_t size = file->Size();
    if (size > (1u << 20)) return std::nullopt;
    std::string text(static_cast<std::size_t>(size), '\0');
    const std::size_t got = file->ReadAt(0, std::as_writable_bytes(std::span<char>(text)));
    text.resize(got);
    return text;
  } catch (const env::ERemdoError&) {
    return std::nullopt;
  }
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
void TFamilyCommit::FlushNewFiles() {
  for (auto& entry : entries_) {
    if (entry.file) {
      if (Durable()) entry.file->Flush();
      entry.file->Close();
    } else if (!entry.source.empty() && Durable()) {
      auto adopted = fileSystem_.Open(PathOf(entry.source), env::TOpenMode::kReadWrite);
      adopted->Flush();
      adopted->Close();
    }
  }
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
  SettleFamilyCommit(fileSystem_, folder_, tableName_);
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

void SettleFamilyCommit(env::TFileSystem& fileSystem, std::string_view folder, std::string_view tableName) {
  const std::string folderText(folder);
  const std::string markerPath = folderText + std::string(tableName) + std::string(kMarkerExtension);
  if (!fileSystem.FileExists(markerPath)) return;
  const auto text = ReadSmallFile(fileSystem, markerPath);
  if (!text) return;  // unreadable now; the next attempt settles it
  const auto lines = DecodeMarker(*text);
  bool ok = true;
  if (lines) {
    ok = SettleLines(fileSystem, folderText, *lines);
  } else {
    // Cut short before any file moved: only temporary files may exist.
    for (const auto& entry : fileSystem.Find(folderText + std::string(tableName) + ".*" + std::string(kNewSuffix), 0)) {
      ok = fileSystem.Remove(folderText + entry.name).ok && ok;
    }
  }
  if (ok && fileSystem.Remove(markerPath).ok) fileSystem.SyncFolder(folderText);
}

std::vector<std::string> SettleFamilyCommits(env::TFileSystem& fileSystem, std::string_view folder) {
  std::vector<std::string> settled;
  const std::string folderText(folder);
  for (const auto& entry : fileSystem.Find(folderText + "*" + std::string(kMarkerExtension), 0)) {
    const std::string table = entry.name.substr(0, entry.name.size() - kMarkerExtension.size());
    SettleFamilyCommit(fileSystem, folderText, table);
    settled.push_back(table);
  }
  // Temporary files of a commit that stopped before its marker was written:
  // the old family is complete, the half-made new one goes.
  for (const auto& entry : fileSystem.Find(folderText + "*" + std::string(kNewSuffix), 0)) {
    const std::string_view final = std::string_view(entry.name).substr(0, entry.name.size() - kNewSuffix.size());
    const std::string_view base = final.substr(0, final.rfind('.'));
    if (final.find('.') == std::string_view::npos ||
        fileSystem.FileExists(folderText + std::string(base) + std::string(kMarkerExtension))) {
      continue;
    }
    fileSystem.Remove(folderText + entry.name);
  }
  return settled;
}

}  // namespace remdo::paradox
