// The index and memo check on generated tables: sound ones give no finding
// and trees whose leaves count every record; each planted fault gives its
// line; the damage tool's kinds and randomly spoilt files give detail lines
// only; the engine-written samples' indexes agree with their tables.
#include "repair/verify/IndexMemoAudit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "catalogue/FieldSpec.h"
#include "catalogue/TableCatalogue.h"
#include "damage/Damage.h"
#include "env/Path.h"
#include "env/Text.h"
#include "generator/CatalogueGenerator.h"
#include "paradox/codes/Coding.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/format/TableHeader.h"
#include "paradox/index/IndexTreeReader.h"
#include "repair/RepairFixture.h"
#include "support/TestSupport.h"

namespace remdo::repair {
namespace {

using Bytes = std::vector<std::byte>;

// Byte surgery on a table-format file, by the layout of the format alone.
struct TFileBytes {
  std::string path;
  Bytes bytes;
  explicit TFileBytes(std::string p) : path(std::move(p)), bytes(test::ReadWholeFile(path)) {}
  ~TFileBytes() { test::WriteWholeFile(path, bytes); }
  std::size_t U16(std::size_t at) const { return paradox::GetU16(bytes.data() + at); }
  std::size_t Block(std::size_t number) const {
    return U16(2) + (number - 1) * std::to_integer<std::size_t>(bytes[5]) * 1024;
  }
  std::size_t EntrySize() const { return U16(0); }
  // Offset of the first leaf block of a tree, down the first entries.
  std::size_t FirstLeaf() const {
    std::size_t block = Block(U16(0x1E));
    for (int level = std::to_integer<int>(bytes[0x20]); level > 1; --level) {
      const std::size_t child =
          static_cast<std::size_t>(paradox::DecodeFieldInteger(bytes.data() + block + 6 + EntrySize() - 6, 2));
      block = Block(child);
    }
    return block;
  }
  void SetChild(std::size_t block, std::size_t entry, int child) {
    paradox::EncodeFieldInteger(bytes.data() + block + 6 + entry * EntrySize() + EntrySize() - 6, child, 2);
  }
  void DropLastEntry(std::size_t block) {
    paradox::PutU16(bytes.data() + block + 4, static_cast<std::uint16_t>(paradox::GetS16(bytes.data() + block + 4) -
                                                                         static_cast<int>(EntrySize())));
  }
};

// The descriptor of the first record of Books.db whose memo lives in the
// memo file, as an offset into the file's bytes.
std::size_t FirstStoredMemo(const TFileBytes& db) {
  const auto header = paradox::TTableHeader::DecodeFrom(db.bytes, db.bytes.size(), db.path);
  std::size_t end = 0;
  for (const auto& field : header.fields) {
    end += static_cast<std::size_t>(field.Width());
    if (field.type != paradox::TFieldType::kMemo) continue;
    for (std::size_t b = 1; db.Block(b) + header.blockSize <= db.bytes.size(); ++b) {
      const std::size_t count =
          static_cast<std::size_t>(paradox::GetS16(db.bytes.data() + db.Block(b) + 4) / header.recordSize + 1);
      for (std::size_t r = 0; r < count; ++r) {
        const std::size_t at = db.Block(b) + 6 + r * header.recordSize + end - 10;
        if (paradox::GetU32(db.bytes.data() + at) != 0) return at;
      }
    }
  }
  ADD_FAILURE() << "no stored memo in " << db.path;
  return 0;
}

struct TPlant {
  const char* name;
  std::function<void(const std::string& folder)> plant;
  const char* expected;  // text of the finding's line
};

const TPlant kPlants[] = {
    {"PxEntryPastFile",
     [](const std::string& f) {
       TFileBytes px(f + "Books.PX");
       px.SetChild(px.FirstLeaf(), 0, 999);
     },
     "Books.PX: entries pointing at no block of the file: 1 (block 999)"},
    {"RecordDroppedFromPx",
     [](const std::string& f) {
       TFileBytes px(f + "Books.PX");
       px.DropLastEntry(px.FirstLeaf());
     },
     "Books.PX: records the index does not reach"},
    {"SecondaryLeafNowhere",
     [](const std::string& f) {
       TFileBytes y(f + "Books.Y02");
       y.SetChild(y.FirstLeaf(), 0, 4000);
     },
     "Books.Y02: entries pointing at no block of the file: 1 (block 4000)"},
    {"SecondaryEntryDropped",
     [](const std::string& f) {
       TFileBytes x(f + "Books.X02");
       x.DropLastEntry(x.Block(x.U16(0x10)));
     },
     "Books.X02: records of the table it does not hold: 1"},
    {"MemoReferencePastEnd",
     [](const std::string& f) {
       TFileBytes db(f + "Books.db");
       paradox::PutU32(db.bytes.data() + FirstStoredMemo(db), 0x7FFFF0FF);
     },
     "Books.MB: references whose value a repair finds again by its leader: 1"},
    {"OrphanMemoValue",
     [](const std::string& f) {
       TFileBytes db(f + "Books.db");
       const std::size_t at = FirstStoredMemo(db);
       std::fill_n(db.bytes.begin() + static_cast<std::ptrdiff_t>(at), 10, std::byte{0});
     },
     "Books.MB: stored values no record refers to: 1"},
    {"PxLeafKeyChanged",
     [](const std::string& f) {
       TFileBytes px(f + "Books.PX");
       px.bytes[px.FirstLeaf() + 6 + px.EntrySize()] ^= std::byte{0x01};
     },
     "Books.PX: entries whose key is not their block's first key: 1 (block 2)"},
    {"MemoReferenceToWrongKind",
     [](const std::string& f) {
       TFileBytes db(f + "Books.db");
       std::byte& index = db.bytes[FirstStoredMemo(db)];
       index = index == std::byte{0xFF} ? std::byte{0} : std::byte{0xFF};
     },
     "Books.MB: references whose value a repair finds again by its leader: 1"},
    {"MemoHeaderZeroed",
     [](const std::string& f) {
       TFileBytes mb(f + "Books.MB");
       std::fill_n(mb.bytes.begin(), 4096, std::byte{0});
     },
     "Books.MB: its header block is damaged"},
    {"MemoReferenceLost",
     [](const std::string& f) {
       TFileBytes db(f + "Books.db");
       db.bytes[FirstStoredMemo(db) - 1] ^= std::byte{0x55};  // the leader's last byte
     },
     " re-linked, 1 cut to their leader, 1 unlinked"},
    {"MissingPx", [](const std::string& f) { (void)env::DefaultFileSystem().Remove(f + "Books.PX"); },
     "Books.PX: missing"},
};

// A finding's line holding text, compared without regard to case (files are
// named as found on disk).
bool HasLine(const TIndexMemoAudit& audit, std::string_view text) {
  for (const auto& line : FindingLines(audit.findings)) {
    if (env::UpperCase(line).find(env::UpperCase(text)) != std::string::npos) return true;
  }
  return false;
}

std::string Lines(const TIndexMemoAudit& audit) {
  std::string all;
  for (const auto& line : FindingLines(audit.findings)) all += line + "\n";
  return all;
}

// Every finding is of a kind the findings table knows.
void ExpectKnownKinds(const TIndexMemoAudit& audit) {
  for (const auto& finding : audit.findings) EXPECT_EQ(KindOf(finding.code).code, finding.code) << Lines(audit);
}

class IndexMemoAudit : public ::testing::TestWithParam<TPlant> {
 protected:
  static void SetUpTestSuite() { (void)paradox::DbiInit(nullptr); }
  void Generate() {
    tools::TCatalogueOptions options;
    options.books = 3000;
    options.folders = 0;
    options.seed = 7;
    options.onlyTables = {"Books"};
    tools::GenerateCatalogue(folder_.Path(), options);
  }
  test::TScratchFolder folder_;
};

TEST_P(IndexMemoAudit, PlantedFaultGivesItsLine) {
  Generate();
  const std::string books = folder_ / "Books.db";
  ASSERT_TRUE(AuditIndexesAndMemo(env::DefaultFileSystem(), books).findings.empty());
  GetParam().plant(folder_.Path());
  const TIndexMemoAudit audit = AuditIndexesAndMemo(env::DefaultFileSystem(), books);
  EXPECT_TRUE(HasLine(audit, GetParam().expected)) << Lines(audit);
  EXPECT_TRUE(audit.counts.IsDamaged());
}

INSTANTIATE_TEST_SUITE_P(Plants, IndexMemoAudit, ::testing::ValuesIn(kPlants),
                         [](const auto& info) { return std::string(info.param.name); });

// Fields of a structure that get a single-field secondary index.
std::vector<int> IndexedFields(std::int32_t structure) {
  return catalogue::ReadFieldSpecs(catalogue::GetTableSchema(structure)).IndexedFields();
}

// Sum of the record counts a tree's leaves state.
std::size_t LeafRecords(const std::string& path) {
  auto file = env::DefaultFileSystem().Open(path, env::TOpenMode::kRead);
  const paradox::TIndexTree tree = paradox::ReadIndexTree(*file, path);
  EXPECT_TRUE(tree.faults.empty()) << path;
  std::size_t sum = 0;
  for (const std::uint32_t count : tree.leaves.counts) sum += count;
  return sum;
}

class SoundCatalogue : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() { (void)paradox::DbiInit(nullptr); }
  test::TScratchFolder folder_;
};

TEST_P(SoundCatalogue, GivesNoFindingAndTreesCountEveryRecord) {
  tools::TCatalogueOptions options;
  options.currentLayout = GetParam();
  options.books = 400;
  options.folders = 2;
  options.saveFolder = false;
  const auto catalogue = tools::GenerateCatalogue(folder_.Path(), options);
  std::size_t trees = 0;
  for (const auto& table : catalogue.tables) {
    const std::string db = folder_ / (table.name + ".db");
    TIndexMemoOptions audit{IndexedFields(table.structure)};
    const TIndexMemoAudit result = AuditIndexesAndMemo(env::DefaultFileSystem(), db, audit);
    EXPECT_TRUE(result.findings.empty()) << table.name << "\n" << Lines(result);
    EXPECT_FALSE(result.counts.IsDamaged()) << table.name;
    const std::size_t records = testing::RawRecords(db).size();
    for (const auto& entry : env::DefaultFileSystem().Find(folder_ / (table.name + ".*"), 0)) {
      const std::string ext = env::UpperCase(std::string(env::ExtensionPart(entry.name)));
      const std::string path = folder_ / entry.name;
      if (ext == ".PX") {
        EXPECT_EQ(LeafRecords(path), records) << path;
      }
      if (ext.size() != 4 || ext[1] != 'Y') continue;
      const std::string entries = folder_ / (table.name + ".X" + ext.substr(2));
      EXPECT_EQ(testing::RawRecords(entries).size(), records) << entries;
      EXPECT_EQ(LeafRecords(path), records) << path;
      ++trees;
    }
  }
  EXPECT_GT(trees, 0u) << "the catalogue has no secondary index to cross-check";
}

INSTANTIATE_TEST_SUITE_P(Layouts, SoundCatalogue, ::testing::Values(true, false),
                         [](const auto& info) { return std::string(info.param ? "Current" : "Earlier"); });

// Every damage kind of the damage tool: findings are detail lines and never
// a throw; the kinds that touch what this check reads give their line.
class DamagedBooks : public ::testing::TestWithParam<tools::TDamageKind> {
 protected:
  static void SetUpTestSuite() { (void)paradox::DbiInit(nullptr); }
  test::TScratchFolder folder_;
};

std::string ExpectedFinding(tools::TDamageKind kind) {
  switch (kind) {
    case tools::TDamageKind::kTruncatedFile:
      return "Books.PX: entries pointing at no block of the file";
    case tools::TDamageKind::kBlockNextLink:
      return "Books.PX: entries pointing at a block outside the file's chain";
    case tools::TDamageKind::kZeroedBlock:
      return "Books.PX: entries pointing at";
    case tools::TDamageKind::kMissingPrimaryIndex:
      return "Books.PX: missing";
    case tools::TDamageKind::kMissingIndexes:
      return ": missing";
    default:
      return {};
  }
}

TEST_P(DamagedBooks, GiveKnownFindingsOnly) {
  tools::TCatalogueOptions options;
  options.books = 2000;
  options.folders = 0;
  options.onlyTables = {"Books"};
  tools::GenerateCatalogue(folder_.Path(), options);
  const std::string books = folder_ / "Books.db";
  tools::TDamageOptions damage;
  damage.seed = 3;
  damage.block = 2;
  try {
    tools::Damage(GetParam(), books, damage);
  } catch (const tools::EDamageError& error) {
    GTEST_SKIP() << error.what();
  }
  const TIndexMemoAudit audit = AuditIndexesAndMemo(env::DefaultFileSystem(), books, {IndexedFields(31)});
  ExpectKnownKinds(audit);
  if (const std::string expected = ExpectedFinding(GetParam()); !expected.empty()) {
    EXPECT_TRUE(HasLine(audit, expected)) << Lines(audit);
    EXPECT_TRUE(audit.counts.IsDamaged());
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamagedBooks, ::testing::ValuesIn(tools::AllDamageKinds()), [](const auto& info) {
  std::string name(tools::DamageKindName(info.param));
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
});

// Bytes spoilt at random across an index or memo file: the check ends, and
// reports findings of known kinds, whatever the bytes say.
class SpoiltFile : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() { (void)paradox::DbiInit(nullptr); }
  test::TScratchFolder folder_;
};

TEST_P(SpoiltFile, EndsWithKnownFindings) {
  tools::TCatalogueOptions options;
  options.books = 1500;
  options.folders = 0;
  options.onlyTables = {"Books"};
  tools::GenerateCatalogue(folder_.Path(), options);
  const std::string path = folder_ / GetParam();
  const Bytes sound = test::ReadWholeFile(path);
  std::mt19937 random(17);
  for (int round = 0; round < 40; ++round) {
    Bytes spoilt = sound;
    for (int i = 0; i < 1 + round; ++i) spoilt[random() % spoilt.size()] = static_cast<std::byte>(random());
    test::WriteWholeFile(path, spoilt);
    const TIndexMemoAudit audit = AuditIndexesAndMemo(env::DefaultFileSystem(), folder_ / "Books.db");
    ExpectKnownKinds(audit);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, SpoiltFile, ::testing::Values("Books.PX", "Books.X02", "Books.Y02", "Books.MB"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name;
                         });

// Engine-written sample tables: where index files are present their leaves
// agree with the data files (each leaf's key is its block's first key), and
// memo references reach their values.
TEST(IndexMemoAuditSamples, EngineWrittenIndexesAgreeWithTheirTables) {
  REMDO_SAMPLES_OR_SKIP(samples);
  for (const std::string& path : test::FilesBelow(samples, {".db"})) {
    const TIndexMemoAudit audit = AuditIndexesAndMemo(env::DefaultFileSystem(), path);
    const TIndexMemoCounts& c = audit.counts;
    EXPECT_EQ(c.unreadableFiles + c.indexEntriesAstray + c.recordsNotIndexed, 0u) << path << "\n" << Lines(audit);
    if (c.missingFiles == 0) {
      EXPECT_EQ(c.memoReferencesBroken, 0u) << path << "\n" << Lines(audit);
    }
  }
}

}  // namespace
}  // namespace remdo::repair
