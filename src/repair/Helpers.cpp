// The shared helpers of the repair layer.
#include "repair/Helpers.h"

#include <string>

#include "env/Errors.h"
#include "env/Path.h"
#include "installation/DataFolder.h"
#include "paradox/components/TableOptions.h"

namespace remdo::repair {

std::string FolderTableName(std::int32_t n) {
  // Widened first: the absolute value of the smallest 32-bit value does not
  // fit in 32 bits.
  const std::int64_t value = n < 0 ? -static_cast<std::int64_t>(n) : n;
  std::string digits = std::to_string(value);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return "Fldr" + digits;
}

std::string_view PluralSuffix(std::int64_t n) { return n == 1 ? std::string_view() : std::string_view("s"); }

void CopyFileOrFail(std::string_view source, std::string_view destination) {
  if (!paradox::CopyFileContents(source, destination)) {
    throw env::EWriteError("Could not copy \"" + std::string(source) + "\" to \"" + std::string(destination) + "\".");
  }
}

std::string DriveOf(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  if (path.size() >= 2 && env::IsPathSeparator(path[0]) && env::IsPathSeparator(path[1])) {
    // \\server\share: the drive is the server and the share name.
    std::size_t end = 2;
    int separators = 0;
    while (end < path.size()) {
      if (env::IsPathSeparator(path[end]) && ++separators == 2) break;
      ++end;
    }
    return std::string(path.substr(0, end));
  }
  return std::string();
}

std::string DataDrive() { return DriveOf(installation::GetDataFolder()); }

int ProgressPercent(std::int64_t done, std::int64_t total) {
  if (total <= 0 || done <= 0) return 0;
  if (done >= total) return 100;
  return static_cast<int>(done * 100 / total);
}

}  // namespace remdo::repair
