// The raw reader over every engine-written sample table: the file-order walk
// finds exactly the header's record count in every unencrypted data and
// secondary index file, and no file makes it fail other than by its read
// error.
#include "paradox/format/PxObject.h"

#include <gtest/gtest.h>

#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/codes/Coding.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

void CollectAll(const std::string& folder, std::vector<std::string>& out) {
  for (const auto& entry : env::DefaultFileSystem().Find(folder + "*", env::attr::kDirectory)) {
    const std::string path = folder + entry.name;
    if ((entry.attributes & env::attr::kDirectory) != 0) {
      CollectAll(env::IncludeTrailingSeparator(path), out);
    } else {
      out.push_back(path);
    }
  }
}

std::vector<std::string> AllFiles(const std::string& folder) {
  std::vector<std::string> out;
  CollectAll(folder, out);
  std::sort(out.begin(), out.end());
  return out;
}

// .DB and the secondary index data files .Xnn and .XGn.
bool IsWalkable(const std::string& path) {
  const std::string ext = env::UpperCase(env::ExtensionPart(path));
  return ext == ".DB" || (ext.size() == 4 && ext[1] == 'X');
}

std::unique_ptr<TPxObject> Open(const std::string& path) {
  return std::make_unique<TPxObject>(env::TFileStream(env::DefaultFileSystem(), path, env::TOpenMode::kRead));
}

std::int64_t CountRecords(TPxObject& reader) {
  std::int64_t count = 0;
  if (reader.FirstRecord()) {
    do ++count;
    while (reader.NextRecord());
  }
  return count;
}

TEST(PxObjectSamples, WalkFindsTheHeaderCountInEveryUnencryptedTable) {
  REMDO_SAMPLES_OR_SKIP(samples);
  int walked = 0;
  int encrypted = 0;
  for (const auto& path : AllFiles(samples)) {
    if (!IsWalkable(path)) continue;
    auto reader = Open(path);
    ASSERT_TRUE(reader->HasHeader()) << path;
    EXPECT_TRUE(reader->HasFields()) << path;
    if (reader->IsEncrypted()) {
      ++encrypted;
      continue;
    }
    EXPECT_EQ(CountRecords(*reader), reader->RecordCount()) << path;
    ++walked;
  }
  EXPECT_EQ(encrypted, 3);
  EXPECT_GE(walked, 90);  // the folder holds 99 such files
}

TEST(PxObjectSamples, TrailingPartBlockOfZipcodesIsRead) {
  REMDO_SAMPLES_OR_SKIP(samples);
  auto reader = Open(samples + "paradoxdriver/areas/ZIPCODES.DB");
  EXPECT_EQ(reader->BlockCount(), 685);
  EXPECT_TRUE(reader->HasTrailingPartBlock());
  std::int64_t inWholeBlocks = 0;
  int inPartBlock = 0;
  while (reader->NextBlock()) {
    if (reader->CurrentBlock() < reader->BlockCount()) {
      inWholeBlocks += reader->BlockRecordCount();
    } else {
      inPartBlock = reader->BlockRecordCount();
    }
  }
  EXPECT_EQ(inWholeBlocks, 43155);
  EXPECT_EQ(inPartBlock, 30);
  EXPECT_EQ(CountRecords(*reader), 43185);
  EXPECT_EQ(reader->RecordCount(), 43185);
}

TEST(PxObjectSamples, NonMaintainedCompositeIndexHasTheExtendedHeader) {
  REMDO_SAMPLES_OR_SKIP(samples);
  auto reader = Open(samples + "paradoxdriver/joins/indexed.xg0");
  EXPECT_EQ(reader->FileType(), 6);
  EXPECT_TRUE(reader->HasExtendedHeader());
  ASSERT_TRUE(reader->HasFields());
  ASSERT_EQ(reader->FieldCount(), 4);
  EXPECT_EQ(reader->FieldByNumber(1).Name(), "Tup No");
  EXPECT_EQ(reader->FieldByNumber(3).Name(), "Tup Offset");
  // The word at 37 holds the level-4 marker, not a checksum: read without
  // the extended header, the file would pass for encrypted and fieldless.
  EXPECT_EQ(GetU32(reader->HeaderBytes().data() + pxheader::kEncryption), 0xFF00FF00u);
  EXPECT_FALSE(reader->IsEncrypted());
}

TEST(PxObjectSamples, NoFileMakesTheReaderFailOtherThanByItsReadError) {
  REMDO_SAMPLES_OR_SKIP(samples);
  for (const auto& path : AllFiles(samples)) {
    try {
      auto reader = Open(path);
      (void)reader->IsEncrypted();
      if (!reader->FirstRecord()) continue;
      do {
        for (const auto* field = reader->FirstField(); field != nullptr; field = field->Next()) {
          TFieldValue value{};
          field->DecodeValue(value);
          (void)field->AsFloat();
          (void)field->AsInteger();
          (void)field->AsText();
          (void)field->IsEmpty();
        }
      } while (reader->NextRecord());
    } catch (const env::EReadError&) {
      // Files of other formats (memo files, validity checks) may end here.
    }
  }
}

}  // namespace
}  // namespace remdo::paradox
