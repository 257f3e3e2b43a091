// The relocation's file list and its copy with the cover pictures.
#include "env/RelocationList.h"

#include "env/FileList.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/SystemInfo.h"

namespace remdo::env {

namespace {

constexpr std::string_view kPatterns[] = {"*.db", "*.mb", "*.px", "*.x0?", "*.y0?"};
constexpr std::string_view kCompanions[] = {"FENRO notes.txt", "FenroRemdo.exe", "UpdateWatcher.exe", "FeJumper.exe",
                                            "FENROreinstaller.exe"};
constexpr std::string_view kPictureFolder = "CoverPix";

}  // namespace

std::vector<std::string> BuildRelocationList(std::string_view folder) {
  const std::string base = IncludeTrailingSeparator(folder);
  std::vector<std::string> entries;
  for (const std::string_view pattern : kPatterns) entries.push_back(base + std::string(pattern));
  for (const std::string_view name : kCompanions) {
    const std::string path = base + std::string(name);
    if (DefaultFileSystem().FileExists(path)) entries.push_back(path);
  }
  entries.push_back(GetProgramPath());
  return entries;
}

bool CopyWithPictures(const std::vector<std::string>& entries, std::string_view target) {
  if (!FirstMatchingFile(entries)) return true;
  const bool copied = CopyFileList(entries, target, false);
  const std::string pictures = std::string(FolderPart(entries.front())) + std::string(kPictureFolder);
  if (DefaultFileSystem().FolderExists(pictures)) {
    (void)CopyFileList({pictures + "\\*.*"}, IncludeTrailingSeparator(target) + std::string(kPictureFolder) + "\\",
                       false);
  }
  return copied;
}

}  // namespace remdo::env
