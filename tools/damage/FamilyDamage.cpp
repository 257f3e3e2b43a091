// Damage to whole files of a table's family: missing or stale index files,
// a missing table, read-only files and a foreign file under the table's
// name.
#include <string>
#include <vector>

#include "damage/DamageSteps.h"
#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/family/TableFiles.h"

namespace remdo::tools {

namespace {

// Header bytes of the index files that tie them to the table: 0x15, the
// indexed field of an .X file; 0x2E and 0x2F, the .X file's copies of the
// table's change counter and the primary index's stamp; 0x2C, the .Y
// file's copy of its .X file's counter.
constexpr std::uint64_t kIndexedField = 0x15;
constexpr std::uint64_t kXTableStamp = 0x2E;
constexpr std::uint64_t kXPrimaryStamp = 0x2F;
constexpr std::uint64_t kYStamp = 0x2C;

std::string Extension(const std::string& name) { return std::string(env::ExtensionPart(name).substr(1)); }

int ReadByte(env::TFile& file, std::uint64_t offset) {
  std::byte value{0};
  file.ReadAt(offset, std::span<std::byte>(&value, 1));
  return std::to_integer<int>(value);
}

void Remove(TDamageContext& context, const std::string& name) {
  const env::TIoResult removed = context.fileSystem.Remove(context.Folder() + name);
  if (!removed) throw env::EWriteError("Could not delete " + context.Folder() + name + ". " + removed.reason);
  context.report.removedFiles.push_back(name);
}

// The secondary index files the options select: every .X?? and .Y??, or
// those of one field (the .X file whose header names it, and the .Y file
// with the same two characters).
std::vector<std::string> SelectedIndexFiles(TDamageContext& context) {
  std::vector<std::string> all;
  for (const std::string& name : context.FamilyFiles()) {
    const std::string extension = Extension(name);
    if (paradox::IsSecondaryIndexExtension(extension) && extension.size() == 3) all.push_back(name);
  }
  if (!context.options.field) return all;
  std::string suffix;
  for (const std::string& name : all) {
    if (env::UpperChar(Extension(name)[0]) != 'X') continue;
    auto file = context.fileSystem.Open(context.Folder() + name, env::TOpenMode::kRead);
    if (ReadByte(*file, kIndexedField) == *context.options.field) suffix = env::UpperCase(Extension(name).substr(1));
  }
  std::vector<std::string> selected;
  for (const std::string& name : all) {
    if (!suffix.empty() && env::UpperCase(Extension(name).substr(1)) == suffix) selected.push_back(name);
  }
  return selected;
}

void MarkStale(TDamageContext& context, const std::string& name) {
  auto file = context.fileSystem.Open(context.Folder() + name, env::TOpenMode::kReadWrite);
  const bool isX = env::UpperChar(Extension(name)[0]) == 'X';
  for (const std::uint64_t offset : isX ? std::vector<std::uint64_t>{kXTableStamp, kXPrimaryStamp}
                                        : std::vector<std::uint64_t>{kYStamp}) {
    const auto value = static_cast<std::byte>((ReadByte(*file, offset) + 1 + context.random.Below(200)) & 0xFF);
    file->WriteAt(offset, std::span<const std::byte>(&value, 1));
  }
  file->Close();
  context.report.changedFiles.push_back(name);
}

// A short text, which no reader takes for a table: its header would be
// longer than the file, so every header value reads 0.
std::vector<std::byte> ForeignText(TDamageContext& context) {
  static constexpr std::string_view kLines[] = {"Shelf list, living room\r\n", "Books to return\r\n",
                                                "Reading group notes\r\n", "Catalogue export\r\n"};
  std::string text = "This is not a table.\r\n";
  while (text.size() < 1500) text += kLines[context.random.Below(4)];
  const auto* begin = reinterpret_cast<const std::byte*>(text.data());
  return std::vector<std::byte>(begin, begin + text.size());
}

std::vector<std::byte> ReadWhole(env::TFileSystem& fileSystem, const std::string& path) {
  auto file = fileSystem.Open(path, env::TOpenMode::kRead);
  std::vector<std::byte> bytes(static_cast<std::size_t>(file->Size()));
  bytes.resize(file->ReadAt(0, bytes));
  return bytes;
}

}  // namespace

void DamageMissingPrimaryIndex(TDamageContext& context) {
  for (const std::string& name : context.FamilyFiles()) {
    if (env::SameText(Extension(name), "px")) {
      Remove(context, name);
      context.report.summary = name + " deleted";
      return;
    }
  }
  throw EDamageError("The table " + context.path + " has no primary index file");
}

void DamageIndexes(TDamageContext& context, bool remove) {
  const std::vector<std::string> files = SelectedIndexFiles(context);
  if (files.empty()) throw EDamageError("The table " + context.path + " has no such secondary index files");
  std::string names;
  for (const std::string& name : files) {
    remove ? Remove(context, name) : MarkStale(context, name);
    names += (names.empty() ? "" : ", ") + name;
  }
  context.report.summary = remove ? names + " deleted" : "stamps of " + names + " no longer match the table";
}

void DamageMissingTable(TDamageContext& context) {
  const std::vector<std::string> files = context.FamilyFiles();
  if (files.empty()) throw EDamageError("There is no table " + context.path);
  context.Unreachable(0, context.report.recordsBefore);
  for (const std::string& name : files) Remove(context, name);
  context.report.summary = std::to_string(files.size()) + " file(s) of the table deleted";
}

void DamageReadOnly(TDamageContext& context) {
  const std::vector<std::string> files = context.FamilyFiles();
  if (files.empty()) throw EDamageError("There is no table " + context.path);
  for (const std::string& name : files) {
    const std::string path = context.Folder() + name;
    const std::uint32_t bits = context.fileSystem.Attributes(path).value_or(env::attr::kArchive);
    const env::TIoResult set = context.fileSystem.SetAttributes(path, bits | env::attr::kReadOnly);
    if (!set) throw env::EWriteError("Could not mark " + path + " read-only. " + set.reason);
    context.report.changedFiles.push_back(name);
  }
  context.report.summary = std::to_string(files.size()) + " file(s) of the table marked read-only";
}

void DamageForeignFile(TDamageContext& context) {
  const bool fromSource = !context.options.source.empty();
  const std::vector<std::byte> bytes =
      fromSource ? ReadWhole(context.fileSystem, context.options.source) : ForeignText(context);
  context.Unreachable(0, context.report.recordsBefore);
  auto file = context.fileSystem.Open(context.path, env::TOpenMode::kCreate);
  file->WriteAt(0, bytes);
  file->Close();
  context.report.changedFiles.push_back(std::string(env::NamePart(context.path)));
  context.report.offset = 0;
  // The records a foreign table brings are found by the walk but belong to
  // no record of this table.
  auto check = context.fileSystem.Open(context.path, env::TOpenMode::kRead);
  const TTableMap image = TTableMap::Read(*check);
  context.report.phantomRecords = image.Walkable() ? image.Records() : 0;
  context.report.summary = fromSource ? "data file replaced by a copy of " + context.options.source
                                      : "data file replaced by a " + std::to_string(bytes.size()) + "-byte text";
}

}  // namespace remdo::tools
