// Table file facts for remdo-table's commands.
#include "remdo-table/TableFile.h"

#include <algorithm>
#include <string_view>

#include "env/Errors.h"
#include "env/FileStream.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/codes/Coding.h"
#include "remdo-table/Commands.h"

namespace remdo::tools {

namespace {

// Start of the extension that holds the offsets of the header's texts.
constexpr std::size_t kExtensionBase = 0x58;
// u16: offset of the language driver's name minus kExtensionBase.
constexpr std::size_t kSortNameOffset = 0x6E;
constexpr std::size_t kMaxSortNameLength = 32;
constexpr std::uint16_t kDosCodePage = 437;
constexpr int kLastFileType = 8;

struct TDriverName {
  std::uint8_t sortOrder;
  const char* name;
};

// Sort-order bytes of the language drivers seen in table headers.
constexpr TDriverName kDrivers[] = {
    {0x00, "ascii"},    {0x03, "china"},    {0x11, "ANSII850"}, {0x14, "BLROM800"}, {0x3C, "DBWINES0"},
    {0x40, "DBWINWE0"}, {0x4C, "DBWINUS0"}, {0x54, "intl850"},  {0x5D, "ANSISPAN"}, {0x62, "ANSIINTL"},
    {0x82, "nordan"},   {0xB7, "intl"},     {0xE6, "nordan40"}, {0xF0, "swedfin"},
};

// The NUL-terminated name the header stores, if it lies wholly inside it.
std::string StoredSortName(const paradox::TPxObject& reader) {
  const auto header = reader.HeaderBytes();
  if (!reader.HasExtendedHeader() || header.size() < kSortNameOffset + 2) return "";
  const std::size_t at = kExtensionBase + paradox::GetU16(header.data() + kSortNameOffset);
  std::string name;
  for (std::size_t i = at; i < header.size() && name.size() <= kMaxSortNameLength; ++i) {
    const char c = static_cast<char>(header[i]);
    if (c == '\0') return name;
    if (static_cast<unsigned char>(c) < 0x20) return "";
    name.push_back(c);
  }
  return "";
}

}  // namespace

std::unique_ptr<paradox::TPxObject> OpenTableFile(env::TFileSystem& fileSystem, const std::string& path) {
  std::unique_ptr<paradox::TPxObject> reader;
  WithTableFile(path, [&] {
    reader = std::make_unique<paradox::TPxObject>(env::TFileStream(fileSystem, path, env::TOpenMode::kRead));
  });
  return reader;
}

void RequireTableHeader(const paradox::TPxObject& reader, const std::string& path) {
  if (!reader.HasHeader()) throw ECommandFailure(path + ": no valid table header (header size not 81 to 32766).");
  if (reader.FileType() > kLastFileType) {
    throw ECommandFailure(path + ": not a Paradox table file (file type " + std::to_string(reader.FileType()) + ").");
  }
}

void WithTableFile(const std::string& path, const std::function<void()>& work) {
  try {
    work();
  } catch (const env::EFOpenError& e) {
    throw ECommandFailure(e.what());  // names the file and the OS's reason already
  } catch (const env::ERemdoError& e) {
    throw ECommandFailure(path + ": " + e.what());
  }
}

std::string LevelName(int versionCode) {
  if (versionCode == 3) return "3";
  if (versionCode == 4) return "3.5";
  if (versionCode >= 5 && versionCode <= 9) return "4";
  if (versionCode == 10 || versionCode == 11) return "5";
  if (versionCode == 12) return "7";
  return "unknown";
}

std::string FileTypeName(int fileType) {
  switch (fileType) {
    case 0: return "keyed table";
    case 1: return "primary index";
    case 2: return "unkeyed table";
    case 3: return "non-maintained secondary index data";
    case 4: return "secondary index tree";
    case 5: return "maintained secondary index data";
    case 6: return "non-maintained composite secondary index data";
    case 7: return "composite secondary index tree";
    case 8: return "maintained composite secondary index data";
    default: return "unknown";
  }
}

char FieldTypeLetter(std::uint8_t typeCode) {
  using namespace paradox::fieldtype;
  switch (typeCode) {
    case kAlpha: return 'A';
    case kDate: return 'D';
    case kShort: return 'S';
    case kLong: return 'I';
    case kMoney: return '$';
    case kNumber: return 'N';
    case kLogical: return 'L';
    case kMemo: return 'M';
    case kBlob: return 'B';
    case kFormattedMemo: return 'F';
    case kOle: return 'O';
    case kGraphic: return 'G';
    case kTime: return 'T';
    case kTimestamp: return '@';
    case kAutoIncrement: return '+';
    case kBcd: return '#';
    case kBytes: return 'Y';
    default: return '?';
  }
}

bool HasCodePage(const paradox::TPxObject& reader) {
  return reader.HasExtendedHeader() && reader.HeaderBytes().size() >= paradox::pxheader::kCodePage + 2;
}

std::uint16_t TableCodePage(const paradox::TPxObject& reader) {
  if (!HasCodePage(reader)) return kDosCodePage;
  return paradox::GetU16(reader.HeaderBytes().data() + paradox::pxheader::kCodePage);
}

std::string SortOrderName(const paradox::TPxObject& reader) {
  std::string stored = StoredSortName(reader);
  if (!stored.empty()) return stored;
  const auto header = reader.HeaderBytes();
  if (header.size() <= paradox::pxheader::kSortOrder) return "";
  const auto sortOrder = std::to_integer<std::uint8_t>(header[paradox::pxheader::kSortOrder]);
  for (const auto& driver : kDrivers) {
    if (driver.sortOrder == sortOrder) return driver.name;
  }
  return "";
}

std::vector<std::string> CompanionFiles(env::TFileSystem& fileSystem, const std::string& path) {
  const std::string_view name = env::NamePart(path);
  const std::string_view base = name.substr(0, name.size() - env::ExtensionPart(name).size());
  std::vector<std::string> names;
  for (const auto& entry : fileSystem.Find(std::string(env::FolderPart(path)) + std::string(base) + ".*", 0)) {
    if (!env::SameText(entry.name, name)) names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace remdo::tools
