// On Windows drive letters are the system's own; the program cannot remap
// them, so the drive table of the posix backend has no counterpart here.
#include "env/DriveMap.h"

namespace remdo::env {

bool MapDrive(char, std::string_view) { return false; }
std::optional<std::string> MappedDrive(char) { return std::nullopt; }
void ClearDriveMap() {}

}  // namespace remdo::env
