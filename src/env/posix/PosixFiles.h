// The posix backend's file system: drive letters through a table, names
// resolved without regard to case, names converted between Windows-1252 and
// the host's UTF-8. Private to env.
#ifndef REMDO_ENV_POSIX_POSIXFILES_H_
#define REMDO_ENV_POSIX_POSIXFILES_H_

#include <string>
#include <string_view>

namespace remdo::env::posix {

// The host path (UTF-8) for a program path (Windows-1252, either form).
// Names that exist under another case resolve to the existing name; names
// that do not exist are kept as given. A drive letter without a mapping
// gives the empty string.
std::string HostPath(std::string_view path);

// The program path (Windows-1252) for a host path.
std::string ProgramPath(std::string_view hostPath);

// errno as our error text: the OS's own words.
std::string ErrorText(int error);

}  // namespace remdo::env::posix

#endif  // REMDO_ENV_POSIX_POSIXFILES_H_
