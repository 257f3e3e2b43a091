// File lists for the shell's multi-file copy: several full paths or
// patterns, each followed by a NUL in the list's text form, and the copy and
// recycle-bin delete that start-up and the relocation use on them.
#ifndef REMDO_ENV_FILELIST_H_
#define REMDO_ENV_FILELIST_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace remdo::env {

// The entries of a list in text form ("a\0b\0", a final extra NUL allowed).
std::vector<std::string> SplitFileList(std::string_view text);
// The text form: each entry followed by a NUL.
std::string JoinFileList(const std::vector<std::string>& entries);

// Copies the entries into target (a folder, or a file name when one file is
// copied) through the shell without asking: existing files are overwritten.
// With replace and target an existing file, that file first goes to the
// recycle bin. True when every file arrived.
bool CopyFileList(const std::vector<std::string>& entries, std::string_view target, bool replace);

// The name of the first plain file (hidden, system, read-only and archive
// files included; never a folder) that matches the list's first entry, in
// the file system's own order; nothing for an empty list or no match. Only
// the first entry is looked at: it stands for the whole list.
std::optional<std::string> FirstMatchingFile(const std::vector<std::string>& entries);

// Moves one file to the recycle bin silently. True on success.
bool DeleteToRecycleBin(std::string_view path);

}  // namespace remdo::env

#endif  // REMDO_ENV_FILELIST_H_
