// Reading the header of a table-format file (.DB, .PX, .Xnn, .Ynn) that is
// already open, for readers that look at files without opening them as
// tables.
#ifndef REMDO_PARADOX_FORMAT_HEADERREADING_H_
#define REMDO_PARADOX_FORMAT_HEADERREADING_H_

#include <cstdint>
#include <string_view>

#include "env/FileSystem.h"
#include "paradox/format/TableHeader.h"

namespace remdo::paradox {

// Reads and decodes the header; fileSize is the file's size. Throws
// EDBEngineError (header corrupt) for bytes that are no header this engine
// can read, and the file's read error when the OS fails.
TTableHeader ReadFileHeader(env::TFile& file, std::uint64_t fileSize, std::string_view path);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FORMAT_HEADERREADING_H_
