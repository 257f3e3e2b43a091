// What remdo-table's commands share about one table file: opening it with
// the raw reader, the names of its level, file type, field types and sort
// order, the code page its texts are in, and its family's other files.
#ifndef REMDO_TOOLS_REMDO_TABLE_TABLEFILE_H_
#define REMDO_TOOLS_REMDO_TABLE_TABLEFILE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/PxObject.h"

namespace remdo::tools {

// Opens path read-only with the raw reader. Throws ECommandFailure naming
// the file when it cannot be opened or is shorter than 4 bytes.
std::unique_ptr<paradox::TPxObject> OpenTableFile(env::TFileSystem& fileSystem, const std::string& path);

// Throws ECommandFailure naming the file unless the reader found a header
// whose file type is one of the table family's (0 to 8).
void RequireTableHeader(const paradox::TPxObject& reader, const std::string& path);

// Runs work and turns the reader's and the file system's errors into
// ECommandFailure with the file's name in front of their message.
void WithTableFile(const std::string& path, const std::function<void()>& work);

// "3", "3.5", "4", "5", "7" or "unknown" for a version code.
std::string LevelName(int versionCode);
// "keyed table", "primary index", ... for a file type byte.
std::string FileTypeName(int fileType);
// The field type's letter (A, D, S, I, $, N, L, M, B, F, O, G, T, @, +, #, Y),
// or '?' for an unknown code.
char FieldTypeLetter(std::uint8_t typeCode);

// True when the header records a code page (files with extended header).
bool HasCodePage(const paradox::TPxObject& reader);
// The code page of the table's texts: the recorded one, else 437 (level 3
// and 3.5 tables of DOS record none).
std::uint16_t TableCodePage(const paradox::TPxObject& reader);
// The language driver's name stored in the header, or a name known for the
// sort-order byte, or "" when neither is available.
std::string SortOrderName(const paradox::TPxObject& reader);

// The other files of the table's family (same base name, any extension),
// as names without folder, sorted.
std::vector<std::string> CompanionFiles(env::TFileSystem& fileSystem, const std::string& path);

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_REMDO_TABLE_TABLEFILE_H_
