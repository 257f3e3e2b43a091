// Helpers of the generator and damage tool tests: one generated catalogue of
// each layout per test program (made on first use, removed at exit), and a
// table read back with the raw reader, its records decoded by field name.
#ifndef REMDO_TESTS_TOOLS_GENERATEDCATALOGUE_H_
#define REMDO_TESTS_TOOLS_GENERATEDCATALOGUE_H_

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"
#include "env/Text.h"
#include "generator/CatalogueGenerator.h"
#include "paradox/codes/Coding.h"
#include "paradox/format/PxObject.h"
#include "support/PassThroughFileSystem.h"
#include "support/TestSupport.h"

namespace remdo::tools::testing {

using TRecordBytes = std::vector<std::byte>;

// The options of the shared catalogues: enough books for tables of several
// blocks, a folder 3 (structure 22) and memo values of every size.
inline TCatalogueOptions SharedOptions(bool currentLayout) {
  TCatalogueOptions options;
  options.currentLayout = currentLayout;
  options.books = 1500;
  options.folders = 6;
  options.memoPerMille = 400;
  options.seed = 7;
  return options;
}

// Generates a catalogue without waiting for the disk: the shared
// catalogues are scratch data whose durability no test looks at, and every
// test program makes its own.
inline TGeneratedCatalogue GenerateUnsynced(const std::string& folder, const TCatalogueOptions& options) {
  test::TPassThroughFileSystem unsynced(env::RealFileSystem(), false);
  const test::TInstalledFileSystem installed(unsynced);
  return GenerateCatalogue(folder, options);
}

struct TSharedCatalogue {
  test::TScratchFolder folder;
  TGeneratedCatalogue generated;
};

// The catalogue of the layout, generated once per test program.
inline const TSharedCatalogue& SharedCatalogue(bool currentLayout) {
  static std::unique_ptr<TSharedCatalogue> catalogues[2];
  std::unique_ptr<TSharedCatalogue>& slot = catalogues[currentLayout ? 0 : 1];
  if (!slot) {
    slot = std::make_unique<TSharedCatalogue>();
    slot->generated = GenerateUnsynced(slot->folder.Path(), SharedOptions(currentLayout));
  }
  return *slot;
}

struct TRawField {
  std::string name;
  int type = 0;
  int width = 0;
  int offset = 0;
};

// A table as the raw reader sees it.
struct TRawTable {
  std::int32_t headerCount = 0;
  int keyFields = 0;
  std::vector<TRawField> fields;
  std::vector<TRecordBytes> records;

  const TRawField& Field(std::string_view name) const {
    for (const TRawField& field : fields) {
      if (env::SameText(field.name, name)) return field;
    }
    ADD_FAILURE() << "no field " << name;
    return fields.front();
  }
  // Integer, short, long, date and number fields as a whole number.
  std::int64_t Integer(std::size_t record, std::string_view name) const {
    const TRawField& field = Field(name);
    const std::byte* p = records[record].data() + field.offset;
    if (field.type == 5 || field.type == 6) return static_cast<std::int64_t>(paradox::DecodeFieldDouble(p));
    return paradox::DecodeFieldInteger(p, field.width);
  }
  std::string Text(std::size_t record, std::string_view name) const {
    const TRawField& field = Field(name);
    const char* p = reinterpret_cast<const char*>(records[record].data() + field.offset);
    std::string text(p, static_cast<std::size_t>(field.width));
    return text.substr(0, text.find('\0'));
  }
  std::span<const std::byte> Bytes(std::size_t record, std::string_view name) const {
    const TRawField& field = Field(name);
    return std::span<const std::byte>(records[record])
        .subspan(static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width));
  }
};

inline TRawTable ReadRaw(const std::string& path) {
  paradox::TPxObject reader(env::DefaultFileSystem().Open(path, env::TOpenMode::kRead));
  TRawTable table;
  table.headerCount = reader.RecordCount();
  table.keyFields = reader.KeyFieldCount();
  for (const paradox::TPxFieldObject* f = reader.FirstField(); f != nullptr; f = f->Next()) {
    table.fields.push_back({f->Name(), f->TypeCode(), f->Width(), f->Offset()});
  }
  for (bool more = reader.FirstRecord(); more; more = reader.NextRecord()) {
    const std::span<const std::byte> data = reader.RecordData();
    table.records.emplace_back(data.begin(), data.end());
  }
  return table;
}

}  // namespace remdo::tools::testing

#endif  // REMDO_TESTS_TOOLS_GENERATEDCATALOGUE_H_
