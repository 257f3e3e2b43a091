// The drive-letter table of the posix backend: which host folder stands for
// a drive such as C:. Empty by default; tests map a scratch tree as C:, and a
// Wine prefix can fill it from its dosdevices. On Windows drives are real and
// mapping is not possible: MapDrive returns false there.
#ifndef REMDO_ENV_DRIVEMAP_H_
#define REMDO_ENV_DRIVEMAP_H_

#include <optional>
#include <string>
#include <string_view>

namespace remdo::env {

// Maps letter (A-Z, any case) to hostFolder; an empty hostFolder removes the
// mapping. Returns false where drives cannot be mapped.
bool MapDrive(char letter, std::string_view hostFolder);
// The host folder of a mapped drive.
std::optional<std::string> MappedDrive(char letter);
void ClearDriveMap();

}  // namespace remdo::env

#endif  // REMDO_ENV_DRIVEMAP_H_
