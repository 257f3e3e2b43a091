// remdo-table verify FILE: the verify-only run's findings for one table
// file, in the run log's style, as a verify-only run writes them under the
// table's "Checking" line. The table's built-in structure is chosen by its
// name, in the layout of the Books.db beside it (the current layout when
// there is none). Exit status 0 for a sound table, 1 when damage was
// found or the file could not be read.
#include <optional>
#include <span>
#include <string>

#include "catalogue/TableCatalogue.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Text.h"
#include "remdo-table/Commands.h"
#include "repair/verify/TableFindings.h"

namespace remdo::tools {

namespace {

// Header offset of the type byte of the first field of a Books.db with the
// extended header; 4 (long integer) marks the current layout.
constexpr std::uint64_t kBooksFirstFieldTypeOffset = 120;

bool BesideCurrentLayout(env::TFileSystem& fileSystem, const std::string& path) {
  const std::string books = std::string(env::FolderPart(path)) + "Books.db";
  if (!fileSystem.FileExists(books)) return true;
  std::byte type{};
  const auto file = fileSystem.Open(books, env::TOpenMode::kRead);
  if (file->ReadAt(kBooksFirstFieldTypeOffset, std::span<std::byte>(&type, 1)) != 1) return true;
  return std::to_integer<int>(type) == catalogue::kCurrentLayoutMarker;
}

}  // namespace

int RunVerify(TCommandContext& context) {
  RequireArguments(context, 1);
  const std::string& path = context.arguments[0];
  if (!context.fileSystem.FileExists(path)) throw ECommandFailure(path + ": file not found");
  std::string name(env::NamePart(path));
  if (const auto dot = name.rfind('.'); dot != std::string::npos) name.resize(dot);
  const std::int32_t structure = repair::StructureOfTable(name, BesideCurrentLayout(context.fileSystem, path));
  const repair::TTableFindings findings = repair::FindTableDamage(path, structure);
  context.out << "Checking " << env::Cp1252ToUtf8(name) << "...\n";
  if (structure == 0) context.out << "    layout             : not compared (no built-in structure of this name)\n";
  for (const auto& line : repair::FindingLines(findings.findings)) context.out << env::Cp1252ToUtf8(line) << "\n";
  return findings.damaged ? kExitFailure : kExitOk;
}

}  // namespace remdo::tools
