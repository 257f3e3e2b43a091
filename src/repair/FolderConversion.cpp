// The conversion of a folder table of the earlier layout: a second rebuild
// into a scratch table of the new layout, carrying the five old fields
// across by name, then statements that give the added fields their values.
// The old file is kept beside the table as "temp-" + name + ".db".
#include "repair/FolderConversion.h"

#include <algorithm>
#include <limits>

#include "catalogue/TableCatalogue.h"
#include "env/CodePage.h"
#include "env/FileStream.h"
#include "env/FileSystem.h"
#include "paradox/codes/Coding.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/format/PxObject.h"
#include "paradox/index/LanguageDriver.h"
#include "repair/CatalogTables.h"
#include "repair/Helpers.h"
#include "repair/TableCheck.h"

namespace remdo::repair {

namespace {

// The old fields in record order and the new fields that receive them.
constexpr const char* kCarriedFields[] = {"Book", "Release", "Sort Title", "Key", "Series"};
// Code page of the earlier layout's driver (intl) when the file names none.
constexpr std::uint16_t kEarlierCodePage = 437;

std::uint16_t SourceCodePage(const paradox::TPxObject& reader) {
  const auto header = reader.HeaderBytes();
  if (reader.HasExtendedHeader() && header.size() >= paradox::pxheader::kCodePage + 2) {
    const std::uint16_t codePage = paradox::GetU16(header.data() + paradox::pxheader::kCodePage);
    if (env::IsKnownCodePage(codePage)) return codePage;
  }
  return kEarlierCodePage;
}

}  // namespace

std::vector<std::string> FolderConversionStatements(std::int32_t structureNumber) {
  std::vector<std::string> statements = {
      "Update 'temptbl1' as D set D.\"Condition\" = \"\"",
      "Update 'temptbl1' as D set D.\"Price\" = 0",
      "Update 'temptbl1' as D set D.\"Qty\" = 0",
      "Update 'temptbl1' as D set D.\"EntryDate\" = 1863105790",
      "Update 'temptbl1' as D set D.\"Prop\" = 0",
  };
  if (structureNumber == catalogue::kFolderThreeStructure) statements.push_back("Update 'temptbl1' as D set D.\"E\" = \"\"");
  return statements;
}

TFolderRecordConverter::TFolderRecordConverter(paradox::TTable& scratch, paradox::TPxObject& reader,
                                               std::int32_t structureNumber)
    : record_(static_cast<std::size_t>(scratch.ActiveBuffer().size())), sourceCodePage_(SourceCodePage(reader)) {
  const paradox::TLanguageDriver* driver =
      paradox::FindLanguageDriver(catalogue::SchemaLanguageDriver(structureNumber));
  targetCodePage_ = driver == nullptr ? env::kCodePageWindowsLatin1 : driver->codePage;
  for (int i = 0; i < static_cast<int>(std::size(kCarriedFields)); ++i) {
    (void)reader.FieldByNumber(i);  // the old field must be there
    paradox::TField& field = scratch.FieldByName(kCarriedFields[i]);
    const auto width = static_cast<std::size_t>(paradox::FieldWidth(field.DataType(), field.Size()));
    carried_.push_back({i, static_cast<std::size_t>(field.Offset()), width, field.DataType()});
  }
}

std::span<const std::byte> TFolderRecordConverter::Convert(paradox::TPxObject& reader) {
  std::fill(record_.begin(), record_.end(), std::byte{0});
  for (const TCarried& carried : carried_) {
    const paradox::TPxFieldObject& source = reader.FieldByNumber(carried.source);
    if (source.IsEmpty() || carried.offset + carried.width > record_.size()) continue;
    std::byte* target = record_.data() + carried.offset;
    if (carried.type == paradox::TFieldType::kAlpha) {
      const std::string text = env::ConvertCodePage(source.AsText(), sourceCodePage_, targetCodePage_);
      std::copy_n(reinterpret_cast<const std::byte*>(text.data()), std::min(text.size(), carried.width), target);
    } else {
      // Book (a number in the old layout) and Release: whole numbers,
      // rounded and kept inside the new field's range.
      const int bits = static_cast<int>(carried.width) * 8;
      const std::int64_t limit = (std::int64_t{1} << (bits - 1)) - 1;
      const std::int64_t value = std::clamp<std::int64_t>(source.AsInteger(), -limit, limit);
      paradox::EncodeFieldInteger(target, value, static_cast<int>(carried.width));
    }
  }
  return record_;
}

bool TTableCheck::ConversionDue() const {
  return State().ConvertFolderTables && request_.StructureNumber == catalogue::kEarlierFolderStructure;
}

// RecTbl has the earlier layout, as the table file it was recovered for, so
// its records convert as the file's own do. Records the new table refuses
// are kept with the rebuild's.
std::int64_t TTableCheck::ConvertRecoveredRecords() {
  paradox::TPxObject reader(
      env::TFileStream(env::DefaultFileSystem(), DataPath(kRecoveryTable), env::TOpenMode::kRead));
  std::int64_t inserted = 0;
  if (!reader.FirstRecord()) return 0;
  TFolderRecordConverter converter(context_.Table1, reader, request_.StructureNumber);
  do {
    const std::span<const std::byte> record = converter.Convert(reader);
    if (paradox::DbiInsertRecord(context_.Table1.Handle(), paradox::TDbiLock::kNoLock, record) == 0) {
      ++inserted;
    } else {
      rejected_.Add(record);
    }
  } while (reader.NextRecord());
  return inserted;
}

bool TTableCheck::ConvertFolderTable(std::int32_t firstHeaderCount) {
  request_.StructureNumber = request_.TableName == FolderTableName(3) ? catalogue::kFolderThreeStructure : catalogue::kFolderStructure;
  // Creating the new scratch table replaces the first rebuild's, so when it
  // fails there is no rebuilt table left to swap in.
  if (!CreateScratchTable(kScratchTable)) {
    Reporter().LogLine("  -- folder table could not be converted");
    return false;
  }
  restoreRequested_ = false;
  request_.VerifyMissing = false;
  request_.RestoreFromSave = false;
  request_.MissingTolerance = 1;
  converting_ = true;
  bool result = false;
  try {
    result = RebuildTable();
  } catch (...) {
    converting_ = false;
    throw;
  }
  converting_ = false;
  result = result && Reporter().KeepGoing();
  if (result && recoveredConverted_ > 0) {
    Reporter().LogLine("  -- fields recovered");
    AppendToNameList(State().RecoveredTables, request_.TableName);
  }
  if (result && State().ConvertFolderTables && firstHeaderCount > 0) {
    for (const auto& statement : FolderConversionStatements(request_.StructureNumber)) {
      RunSqlStatement(context_, statement);
    }
  }
  CopyFileOrFail(TablePath(), DataPath("temp-" + request_.TableName + ".db"));
  return result;
}

}  // namespace remdo::repair
