// remdo-table info FILE: what the raw reader sees in one table file, one
// "name: value" line each, then the fields and the family's other files.
// A file that cannot be walked still gets every line that can be given, and
// then the read error (exit status 1).
#include <cstdio>
#include <optional>
#include <string>

#include "env/CodePage.h"
#include "env/Errors.h"
#include "env/Text.h"
#include "paradox/format/PxObject.h"
#include "remdo-table/Commands.h"
#include "remdo-table/TableFile.h"

namespace remdo::tools {

namespace {

struct TWalkResult {
  std::int64_t found = 0;
  std::optional<std::string> error;  // the read error that stopped the walk
};

TWalkResult Walk(paradox::TPxObject& reader) {
  TWalkResult result;
  try {
    if (reader.FirstRecord()) {
      do ++result.found;
      while (reader.NextRecord());
    }
  } catch (const env::EReadError& e) {
    result.error = e.what();
  }
  return result;
}

std::string Hex2(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
  return text;
}

void WriteBlocks(const paradox::TPxObject& reader, std::ostream& out) {
  try {
    out << "block size: " << reader.BlockSize() << "\n";
    out << "blocks: " << reader.BlockCount();
    const std::int64_t rest = reader.FileSize() - static_cast<std::int64_t>(reader.HeaderBytes().size()) -
                              reader.BlockCount() * reader.BlockSize();
    if (rest > 0) out << " (and a part block of " << rest << " bytes)";
    out << "\n";
  } catch (const env::EReadError&) {
    const auto header = reader.HeaderBytes();
    out << "block size: not defined (byte 5 is " << std::to_integer<int>(header[paradox::pxheader::kBlockSizeCode])
        << ")\nblocks: unknown\n";
  }
}

void WriteLanguage(const paradox::TPxObject& reader, std::ostream& out) {
  const int sortOrder = std::to_integer<int>(reader.HeaderBytes()[paradox::pxheader::kSortOrder]);
  const std::string driver = SortOrderName(reader);
  out << "sort order: " << Hex2(sortOrder) << (driver.empty() ? "" : " " + env::Cp1252ToUtf8(driver)) << "\n";
  if (HasCodePage(reader)) {
    const std::uint16_t codePage = TableCodePage(reader);
    out << "code page: " << codePage << (env::IsKnownCodePage(codePage) ? "" : " (not supported)") << "\n";
  } else {
    out << "code page: none recorded (" << TableCodePage(reader) << " assumed)\n";
  }
}

void WriteFields(const paradox::TPxObject& reader, std::uint16_t codePage, std::ostream& out) {
  out << "fields: " << reader.FieldCount() << (reader.HasFields() ? "" : " (descriptions not readable)") << "\n";
  if (reader.HasFields()) out << "   no  type     size  offset  name\n";
  for (const auto* field = reader.FirstField(); field != nullptr; field = field->Next()) {
    char line[128];
    const std::string type = std::string(1, FieldTypeLetter(field->TypeCode())) + " (" +
                             std::to_string(field->TypeCode()) + ")";
    std::snprintf(line, sizeof line, "  %3d  %-7s  %4d  %6d  ", field->Number() + 1, type.c_str(),
                  field->SizeByte(), field->Offset());
    out << line << env::CodePageToUtf8(field->Name(), codePage) << "\n";
  }
}

void WriteCompanions(TCommandContext& context, const std::string& path) {
  context.out << "companion files:";
  const auto names = CompanionFiles(context.fileSystem, path);
  for (const auto& name : names) context.out << " " << env::Cp1252ToUtf8(name);
  context.out << (names.empty() ? " none\n" : "\n");
}

}  // namespace

int RunInfo(TCommandContext& context) {
  RequireArguments(context, 1);
  const std::string& path = context.arguments[0];
  auto reader = OpenTableFile(context.fileSystem, path);
  RequireTableHeader(*reader, path);
  auto& out = context.out;
  const bool encrypted = reader->IsEncrypted();
  const TWalkResult walk = encrypted ? TWalkResult{} : Walk(*reader);
  out << "file: " << env::Cp1252ToUtf8(path) << "\n";
  out << "level: " << LevelName(reader->FileVersion()) << " (version code " << reader->FileVersion() << ")\n";
  out << "file type: " << reader->FileType() << " (" << FileTypeName(reader->FileType()) << ")\n";
  out << "record size: " << reader->RecordSize() << "\n";
  out << "header records: " << reader->RecordCount() << "\n";
  out << "records found: ";
  if (encrypted) {
    out << "not read (encrypted)\n";
  } else {
    out << walk.found << (walk.error ? " before a read error" : "") << "\n";
  }
  out << "header size: " << reader->HeaderBytes().size() << "\n";
  WriteBlocks(*reader, out);
  WriteLanguage(*reader, out);
  out << "encrypted: " << (encrypted ? "yes" : "no") << "\n";
  out << "key fields: " << reader->KeyFieldCount() << "\n";
  WriteFields(*reader, TableCodePage(*reader), out);
  WriteCompanions(context, path);
  if (walk.error) throw ECommandFailure(path + ": " + *walk.error);
  return kExitOk;
}

}  // namespace remdo::tools
