// Writing and reading the manifest of a run.
#include "repair/UndoManifest.h"

#include <charconv>
#include <chrono>
#include <span>
#include <utility>

#include "env/Errors.h"
#include "env/Text.h"

namespace remdo::repair {

namespace {

constexpr std::string_view kTitle = "REMDO UNDO 1";
constexpr std::size_t kFieldCount = 8;

std::span<const std::byte> AsBytes(std::string_view text) {
  return std::as_bytes(std::span<const char>(text.data(), text.size()));
}

std::string StateFields(const std::optional<TFileState>& state, bool withAttributes) {
  if (!state) return withAttributes ? "||" : "|";
  std::string text = std::to_string(state->size) + "|" + std::to_string(state->time);
  if (withAttributes) text += "|" + std::to_string(state->attributes);
  return text;
}

std::string Line(std::string_view kind, const TManifestEntry& entry) {
  return std::string(kind) + "|" + entry.path + "|" + entry.keptAt + "|" + StateFields(entry.before, true) + "|" +
         StateFields(entry.after, false) + "\r\n";
}

template <typename T>
std::optional<T> Number(std::string_view text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (true) {
    const std::size_t bar = line.find('|', at);
    fields.push_back(line.substr(at, bar == std::string_view::npos ? bar : bar - at));
    if (bar == std::string_view::npos) return fields;
    at = bar + 1;
  }
}

std::optional<TFileState> StateFrom(std::string_view size, std::string_view time, std::string_view attributes) {
  const auto sizeValue = Number<std::int64_t>(size);
  const auto timeValue = Number<std::int64_t>(time);
  if (!sizeValue || !timeValue) return std::nullopt;
  return TFileState{*sizeValue, *timeValue, Number<std::uint32_t>(attributes).value_or(0)};
}

// Merges one line into the manifest; the earliest before values and kept
// copy of a path win (a second run in the same second appends to it).
void Merge(TManifest& manifest, std::string_view line) {
  const auto fields = Fields(line);
  if (fields.size() < 2 || fields[1].empty()) return;
  const std::string key = env::UpperCase(fields[1]);
  if (fields[0] == "undone") {
    manifest.undone.insert(key);
    return;
  }
  if (fields.size() != kFieldCount) return;
  TManifestEntry& entry = manifest.entries[key];
  entry.path = std::string(fields[1]);
  if (entry.keptAt.empty()) entry.keptAt = std::string(fields[2]);
  if (!entry.before) entry.before = StateFrom(fields[3], fields[4], fields[5]);
  if (const auto after = StateFrom(fields[6], fields[7], "")) entry.after = after;
  if (fields[0] == "created") entry.created = true;
}

}  // namespace

TFileState StateOf(env::TFileSystem& fileSystem, std::string_view path) {
  const auto attributes = fileSystem.Attributes(path);
  if (!attributes) return {};
  TFileState state;
  state.attributes = *attributes;
  state.time = fileSystem.ModifiedTime(path).value_or(0);
  try {
    state.size = static_cast<std::int64_t>(fileSystem.Open(path, env::TOpenMode::kRead)->Size());
  } catch (const env::ERemdoError&) {
    state.size = 0;  // there but unreadable: compared by its time alone
  }
  return state;
}

std::optional<TManifest> ReadManifest(env::TFileSystem& fileSystem, std::string_view path) {
  std::string text;
  try {
    auto file = fileSystem.Open(path, env::TOpenMode::kRead);
    text.resize(static_cast<std::size_t>(file->Size()));
    text.resize(file->ReadAt(0, std::as_writable_bytes(std::span<char>(text))));
  } catch (const env::ERemdoError&) {
    return std::nullopt;
  }
  if (text.compare(0, kTitle.size(), kTitle) != 0) return std::nullopt;
  TManifest manifest;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t eol = text.find("\r\n", at);
    // A last line cut short by a crash is left out.
    if (eol == std::string::npos) break;
    Merge(manifest, std::string_view(text).substr(at, eol - at));
    at = eol + 2;
  }
  return manifest;
}

TManifestWriter::TManifestWriter(env::TFileSystem& fileSystem, std::string path)
    : fileSystem_(fileSystem), path_(std::move(path)) {
  if (fileSystem_.FileExists(path_)) {
    file_ = fileSystem_.Open(path_, env::TOpenMode::kReadWrite);
    size_ = file_->Size();
    return;
  }
  file_ = fileSystem_.Open(path_, env::TOpenMode::kCreate);
  Append(std::string(kTitle) + "\r\n");
}

void TManifestWriter::Append(std::string_view line, bool flush) {
  file_->WriteAt(size_, AsBytes(line));
  size_ += line.size();
  pending_ = true;
  if (flush) Flush();
}

void TManifestWriter::Flush() {
  if (!pending_) return;
  file_->Flush();
  pending_ = false;
}

void TManifestWriter::Touch() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  (void)fileSystem_.SetModifiedTime(path_, std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

void TManifestWriter::Listed(const std::vector<std::string>& paths, const std::vector<TFileState>& before) {
  std::string text;
  for (std::size_t i = 0; i < paths.size(); ++i) text += Line("listed", {paths[i], {}, false, before[i], std::nullopt});
  Append(text);
}

void TManifestWriter::Kept(std::string_view path, std::string_view keptAt, const std::optional<TFileState>& before,
                           bool flush) {
  Append(Line("kept", {std::string(path), std::string(keptAt), false, before, std::nullopt}), flush);
}

void TManifestWriter::Undone(std::string_view group) { Append("undone|" + std::string(group) + "\r\n"); }

void TManifestWriter::Rewrite(const TManifest& manifest) {
  std::string text = std::string(kTitle) + "\r\n";
  for (const auto& [key, entry] : manifest.entries) {
    if (!entry.keptAt.empty()) {
      text += Line("kept", entry);
    } else if (entry.created) {
      text += Line("created", entry);
    } else if (entry.before && entry.after && !(*entry.before == *entry.after)) {
      text += Line("changed", entry);
    }
  }
  for (const auto& group : manifest.undone) text += "undone|" + group + "\r\n";
  const std::string temporary = path_ + ".new";
  {
    auto file = fileSystem_.Open(temporary, env::TOpenMode::kCreate);
    file->WriteAt(0, AsBytes(text));
    file->Flush();
    file->Close();
  }
  file_->Close();
  const auto renamed = fileSystem_.Rename(temporary, path_, true);
  if (!renamed) throw env::EWriteError("Cannot replace " + path_ + ". " + renamed.reason);
  file_ = fileSystem_.Open(path_, env::TOpenMode::kReadWrite);
  size_ = text.size();
}

void TManifestWriter::Close() {
  if (file_) file_->Close();
}

}  // namespace remdo::repair
