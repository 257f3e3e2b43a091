// The repair context: components, connection and the run's folder of
// rejected records.
#include "repair/RepairContext.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "env/Path.h"
#include "installation/DataFolder.h"

namespace remdo::repair {

std::string TRepairContext::DataFolder() { return installation::GetDataFolder(); }

const std::string& TRepairContext::RejectedFolderName() {
  if (rejectedFolderName_.empty()) {
    std::int64_t start = State().RunStartTime;
    if (start == 0) {
      start =
          std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
      State().RunStartTime = start;
    }
    const char separator = env::SeparatorOf(DataFolder());
    rejectedFolderName_ = "Rejected" + std::string(1, separator) + RunStampText(start) + separator;
  }
  return rejectedFolderName_;
}

std::string RunStampText(std::int64_t unixSeconds) {
  const std::time_t time = static_cast<std::time_t>(unixSeconds);
  // The program has one thread, so the C library's shared result is safe.
  const std::tm* local = std::localtime(&time);
  if (local == nullptr) return "00000000-000000";
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", local->tm_year + 1900, local->tm_mon + 1,
                local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec);
  return text;
}

}  // namespace remdo::repair
