// Case-blind lookups of names in host folders. A missing name is looked up
// in its folder's listing, and a run looks up hundreds of missing names in
// the same few folders, so listings of folders on local file systems are
// kept between lookups. A kept listing is watched through inotify and every
// change the kernel reports is applied to it before it is used: it answers
// as a fresh listing would, whoever changed the folder. Folders that cannot
// be watched, or whose file system may change without the kernel seeing it
// (network, FUSE), are listed afresh every time. Private to env.
#ifndef REMDO_ENV_POSIX_FOLDERLISTINGS_H_
#define REMDO_ENV_POSIX_FOLDERLISTINGS_H_

#include <optional>
#include <string>
#include <string_view>

namespace remdo::env::posix {

// A host name (UTF-8) as the case-blind lookups compare it: upper case
// Windows-1252.
std::string CaselessKey(std::string_view hostName);

// The entry of folder (a host path; empty for the current folder) whose
// CaselessKey is wanted; nothing when there is none or the folder cannot be
// read. Safe to call from any thread.
std::optional<std::string> FindEntryCaseless(const std::string& folder, const std::string& wanted);

// Whether folder's listing is kept at the moment (for tests).
bool ListingKept(const std::string& folder);

}  // namespace remdo::env::posix

#endif  // REMDO_ENV_POSIX_FOLDERLISTINGS_H_
