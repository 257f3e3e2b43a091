#include "repair/UnlinkedMemoValues.h"

#include <cstdio>

#include "catalogue/TableCreation.h"
#include "env/CodePage.h"
#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/components/Database.h"
#include "paradox/components/Table.h"
#include "paradox/format/BlobDescriptor.h"

namespace remdo::repair {

namespace {

std::string Escaped(std::span<const std::byte> value) {
  std::string text;
  for (const std::byte b : value) {
    const auto c = std::to_integer<unsigned char>(b);
    if (c == '\\') {
      text += "\\\\";
    } else if (c < 0x20 && c != '\r' && c != '\n' && c != '\t') {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      text += hex;
    } else {
      text += static_cast<char>(c);
    }
  }
  return text;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

void WriteUnlinkedValues(const std::string& path, env::TFile& memo, const paradox::TMemoInventory& inventory,
                         std::span<const std::size_t> values, std::uint16_t codePage) {
  auto file = env::DefaultFileSystem().Open(path, env::TOpenMode::kCreate);
  std::uint64_t end = 0;
  const auto write = [&](const std::string& text) {
    file->WriteAt(end, std::as_bytes(std::span<const char>(text.data(), text.size())));
    end += text.size();
  };
  write("Offset,Entry,Length,Modification,Value\r\n");
  for (const std::size_t index : values) {
    const paradox::TStoredValue& value = inventory.Values().at(index);
    const auto bytes = paradox::ReadStoredValue(memo, value);
    std::string text = Escaped(bytes);
    if (codePage != 0) text = env::ConvertCodePage(text, codePage, env::kCodePageWindowsLatin1);
    write(std::to_string(value.blockOffset) + "," +
          (value.slot == paradox::TBlobDescriptor::kSingleBlockIndex ? "" : std::to_string(value.slot)) + "," +
          std::to_string(value.length) + "," + std::to_string(value.modification) + "," +
          env::Cp1252ToUtf8(Quoted(text)) + "\r\n");
  }
  file->Flush();
  file->Close();
}

void WriteUnlinkedValuesTable(const std::string& tablePath, env::TFile& memo, const paradox::TMemoInventory& inventory,
                              std::span<const std::size_t> values, const std::string& languageDriver) {
  // The first level with long integer fields (Modification).
  constexpr int kLevel = 5;
  const std::string folder(env::FolderPart(tablePath));
  const std::string fileName(env::NamePart(tablePath));
  {
    paradox::TDatabase database;
    database.SetDatabaseName(folder);
    database.Open();
    if (!catalogue::CreateParadoxTable(database.Handle(), fileName, languageDriver,
                                       {"Offset, N", "Entry, S", "Length, N", "Modification, I", "Value, M40"},
                                       kLevel)) {
      throw env::EFCreateError("Cannot create the table " + tablePath + ".");
    }
  }
  paradox::TTable table;
  table.SetDatabaseName(folder);
  table.SetTableName(fileName);
  table.SetExclusive(true);
  table.Open();
  for (const std::size_t index : values) {
    const paradox::TStoredValue& value = inventory.Values().at(index);
    table.Append();
    table.FieldByName("Offset").SetAsFloat(value.blockOffset);
    if (value.slot != paradox::TBlobDescriptor::kSingleBlockIndex) table.FieldByName("Entry").SetAsInteger(value.slot);
    table.FieldByName("Length").SetAsFloat(value.length);
    table.FieldByName("Modification").SetAsInteger(value.modification);
    table.FieldByName("Value").SetAsBytes(paradox::ReadStoredValue(memo, value));
    table.Post();
  }
  table.Close();
}

}  // namespace remdo::repair
