// Every kind of damage the damage tool can do, done to the Books table of a
// generated catalogue and handed to the table check: whatever the outcome,
// every record the raw reader could still see in the damaged file is
// somewhere afterwards (in the table, among the refused records kept aside,
// or in the kept original files), and a table the check calls repaired
// reads back through the engine, the raw reader and pxlib.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/FieldSpec.h"
#include "catalogue/TableCatalogue.h"
#include "damage/Damage.h"
#include "generator/CatalogueGenerator.h"
#include "repair/RepairFixture.h"

namespace remdo::repair {
namespace {

using testing::Record;
using testing::TRepairTest;

constexpr std::int32_t kBooksStructure = 31;

struct TDamageCase {
  tools::TDamageKind kind;
  // The check's flags: strict (no tolerance, nothing restored or verified)
  // or the way the run checks Books.
  bool lenient;
};

std::string CaseName(const ::testing::TestParamInfo<TDamageCase>& info) {
  std::string name(tools::DamageKindName(info.param.kind));
  std::replace(name.begin(), name.end(), '-', '_');
  return name + (info.param.lenient ? "_lenient" : "_strict");
}

std::vector<TDamageCase> AllCases() {
  std::vector<TDamageCase> cases;
  for (const auto kind : tools::AllDamageKinds()) {
    cases.push_back({kind, false});
    cases.push_back({kind, true});
  }
  return cases;
}

class DamageKinds : public TRepairTest, public ::testing::WithParamInterface<TDamageCase> {
 protected:
  // The bytes of a Books record that say who it is: the whole image but
  // the memo reference, which a rebuild and a pack rewrite.
  static Record Identity(Record record) {
    static const std::pair<std::size_t, std::size_t> memo = [] {
      const testing::TRecordMaker maker(kBooksStructure);
      const auto specs = catalogue::ReadFieldSpecs(catalogue::GetTableSchema(kBooksStructure));
      const auto& name = specs.fields[static_cast<std::size_t>(*catalogue::MemoFieldNumber(kBooksStructure) - 1)].name;
      return std::pair{maker.Offset(name), maker.Width(name)};
    }();
    const std::size_t end = memo.first + memo.second;
    if (record.size() >= end)
      std::fill(record.begin() + static_cast<std::ptrdiff_t>(end - 10),
                record.begin() + static_cast<std::ptrdiff_t>(end), std::byte{0});
    return record;
  }

  // What the raw reader sees in a data file; nothing when it is gone or is
  // no table at all.
  static std::vector<Record> Visible(const std::string& path) {
    if (!env::DefaultFileSystem().FileExists(path)) return {};
    try {
      return testing::RawRecords(path);
    } catch (const std::exception&) {
      return {};
    }
  }
};

TEST_P(DamageKinds, NoVisibleRecordIsLost) {
  const TDamageCase damageCase = GetParam();
  tools::TCatalogueOptions options;
  options.books = 600;
  options.folders = 0;
  options.seed = 11;
  options.onlyTables = {"Books"};
  tools::GenerateCatalogue(test::kDataFolder, options);
  const std::string books = Data("Books.db");

  tools::TDamageOptions damageOptions;
  damageOptions.seed = 5;
  try {
    tools::Damage(damageCase.kind, books, damageOptions);
  } catch (const tools::EDamageError& error) {
    GTEST_SKIP() << "this damage cannot be done to the table: " << error.what();
  }
  const auto visible = Visible(books);

  const bool ok = CheckTable(*context, "Books", "Books", kBooksStructure, damageCase.lenient ? 8 : 0,
                             damageCase.lenient, damageCase.lenient);

  std::vector<Record> after;
  for (const std::string& path : {books, Data(context->RejectedFolderName() + "Books.db"),
                                  Data(context->RejectedFolderName() + "Original\\Books.db")}) {
    for (auto& record : Visible(path)) after.push_back(Identity(std::move(record)));
  }
  std::sort(after.begin(), after.end());
  std::size_t lost = 0;
  for (const auto& record : visible) {
    if (!std::binary_search(after.begin(), after.end(), Identity(record))) ++lost;
  }
  EXPECT_EQ(lost, 0u) << "of " << visible.size() << " visible records; check " << (ok ? "succeeded" : "failed");
  if (ok) ExpectReadable("Books", testing::RawRecords(books).size());
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamageKinds, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
}  // namespace remdo::repair
