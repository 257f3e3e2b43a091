// The relocation's file list and its copy with the cover pictures.
#include "installation/RelocationList.h"

#include "env/FileList.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/SystemInfo.h"

namespace remdo::installation {

namespace {

constexpr std::string_view kPatterns[] = {"*.db", "*.mb", "*.px", "*.x0?", "*.y0?"};
constexpr std::string_view kCompanions[] = {"FENRO notes.txt", "FenroRemdo.exe", "UpdateWatcher.exe", "FeJumper.exe",
                                            "FENROreinstaller.exe"};
constexpr std::string_view kPictureFolder = "CoverPix";

}  // namespace

std::vector<std::string> BuildRelocationList(std::string_view folder) {
  const std::string base = env::IncludeTrailingSeparator(folder);
  std::vector<std::string> entries;
  for (const std::string_view pattern : kPatterns) entries.push_back(base + std::string(pattern));
  for (const std::string_view name : kCompanions) {
    const std::string path = base + std::string(name);
    if (env::DefaultFileSystem().FileExists(path)) entries.push_back(path);
  }
  entries.push_back(env::GetProgramPath());
  return entries;
}

bool CopyWithPictures(const std::vector<std::string>& entries, std::string_view target) {
  if (!env::FirstMatchingFile(entries)) return true;
  const bool copied = env::CopyFileList(entries, target, false);
  const std::string pictures = std::string(env::FolderPart(entries.front())) + std::string(kPictureFolder);
  if (env::DefaultFileSystem().FolderExists(pictures)) {
    (void)env::CopyFileList({pictures + "\\*.*"},
                            env::IncludeTrailingSeparator(target) + std::string(kPictureFolder) + "\\", false);
  }
  return copied;
}

}  // namespace remdo::installation
