// Path text helpers that need no OS: both '\' and '/' count as separators, so
// Windows-form paths ("C:\Data\Orders.db") and host paths work alike.
#ifndef REMDO_ENV_PATH_H_
#define REMDO_ENV_PATH_H_

#include <string>
#include <string_view>

namespace remdo::env {

bool IsPathSeparator(char c);

// The separator a path already uses ('/' for a path with '/' and no '\',
// else '\').
char SeparatorOf(std::string_view path);

// The path with exactly one separator at its end (the empty path stays empty).
std::string IncludeTrailingSeparator(std::string_view path);
// The path without separators at its end (a lone root such as "/" or "C:\"
// keeps its separator).
std::string ExcludeTrailingSeparator(std::string_view path);

// The folder part of a path, with its trailing separator ("" for a bare name).
std::string_view FolderPart(std::string_view path);
// The last name of a path.
std::string_view NamePart(std::string_view path);
// The extension of the last name, dot included ("" when it has none).
std::string_view ExtensionPart(std::string_view path);
// The path with its extension replaced by extension (which carries its dot).
std::string ChangeExtension(std::string_view path, std::string_view extension);
// folder + name, with one separator between them.
std::string JoinPath(std::string_view folder, std::string_view name);

// True when pattern ('*' and '?') matches name without regard to case.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace remdo::env

#endif  // REMDO_ENV_PATH_H_
