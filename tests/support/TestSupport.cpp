// Test helpers; all file access goes through the platform interface, as in
// the program itself.
#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"

namespace remdo::test {

using env::DefaultFileSystem;

std::optional<std::string> SamplesFolder() {
  const std::string folder = env::JoinPath(REMDO_SHARED_HOST, "samples/paradox");
  std::string fixed = folder;
  if (env::SeparatorOf(REMDO_SHARED_HOST) == '\\') std::replace(fixed.begin(), fixed.end(), '/', '\\');
  if (!env::RealFileSystem().FolderExists(fixed)) return std::nullopt;
  return env::IncludeTrailingSeparator(fixed);
}

namespace {

void CollectFiles(const std::string& folder, const std::vector<std::string>& extensions,
                  std::vector<std::string>& out) {
  for (const auto& entry : DefaultFileSystem().Find(folder + "*", env::attr::kDirectory)) {
    const std::string path = folder + entry.name;
    if ((entry.attributes & env::attr::kDirectory) != 0) {
      CollectFiles(env::IncludeTrailingSeparator(path), extensions, out);
      continue;
    }
    const std::string ext(env::ExtensionPart(entry.name));
    for (const auto& wanted : extensions) {
      if (env::SameText(ext, wanted)) out.push_back(path);
    }
  }
}

}  // namespace

std::vector<std::string> FilesBelow(const std::string& folder, const std::vector<std::string>& extensions) {
  std::vector<std::string> out;
  CollectFiles(env::IncludeTrailingSeparator(folder), extensions, out);
  std::sort(out.begin(), out.end());
  return out;
}

TScratchFolder::TScratchFolder() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  auto& fs = env::RealFileSystem();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = fs.TempFolder() + "remdo-test-" + std::to_string(stamp % 100000000) + "-" +
                                  std::to_string(counter++);
    if (fs.MakeFolder(candidate)) {
      path_ = env::IncludeTrailingSeparator(candidate);
      return;
    }
  }
  throw env::EFCreateError("cannot create a scratch folder under " + fs.TempFolder());
}

TScratchFolder::~TScratchFolder() { RemoveTree(path_); }

void RemoveTree(const std::string& folder) {
  auto& fs = env::RealFileSystem();
  const std::string base = env::IncludeTrailingSeparator(folder);
  const auto all = env::attr::kDirectory | env::attr::kHidden | env::attr::kSystem;
  for (const auto& entry : fs.Find(base + "*", all)) {
    const std::string path = base + entry.name;
    if ((entry.attributes & env::attr::kDirectory) != 0) {
      RemoveTree(path);
    } else {
      (void)fs.SetAttributes(path, env::attr::kArchive);
      (void)fs.Remove(path);
    }
  }
  (void)fs.RemoveFolder(base);
}

std::vector<std::byte> ReadWholeFile(const std::string& path) {
  auto file = DefaultFileSystem().Open(path, env::TOpenMode::kRead);
  std::vector<std::byte> bytes(file->Size());
  bytes.resize(file->ReadAt(0, bytes));
  return bytes;
}

void WriteWholeFile(const std::string& path, const std::vector<std::byte>& bytes) {
  auto file = DefaultFileSystem().Open(path, env::TOpenMode::kCreate);
  file->WriteAt(0, bytes);
  file->Close();
}

void WriteWholeFile(const std::string& path, std::string_view text) { WriteWholeFile(path, Bytes(text)); }

std::vector<std::byte> Bytes(std::string_view text) {
  std::vector<std::byte> bytes(text.size());
  if (!text.empty()) std::memcpy(bytes.data(), text.data(), text.size());
  return bytes;
}

}  // namespace remdo::test
