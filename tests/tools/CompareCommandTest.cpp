// remdo-table compare on generated tables: a folder before a run against
// the folder after it, with the after side made by hand as a run leaves it
// (records refused into Rejected\<stamp>\, old files kept in its Original
// subfolder, records recovered, records gone), and the exit status that
// tells a lost record.
#include <gtest/gtest.h>

#include <sstream>

#include "damage/Damage.h"
#include "env/FileSystem.h"
#include "remdo-table/FolderCompare.h"
#include "remdo-table/RemdoTable.h"
#include "tools/GeneratedCatalogue.h"

namespace remdo::tools {
namespace {

constexpr const char* kStamp = "Rejected\\20240131-154502\\";

class CompareCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    TCatalogueOptions options;
    options.books = 600;
    options.folders = 2;
    options.saveFolder = false;
    options.onlyTables = {"Books", "Prices"};
    testing::GenerateUnsynced(before_.Path(), options);
    testing::GenerateUnsynced(after_.Path(), options);
  }

  void MakeFolder(const std::string& relative) { env::DefaultFileSystem().MakeFolder(after_ / relative); }
  // Copies a file of the before folder into the after folder under another
  // name (relative to the after folder).
  void CopyBefore(const std::string& name, const std::string& to) {
    test::WriteWholeFile(after_ / to, test::ReadWholeFile(before_ / name));
  }
  void Truncate(const test::TScratchFolder& folder, const std::string& table) {
    Damage(TDamageKind::kTruncatedFile, folder / table, TDamageOptions{});
  }
  // A copy: callers often pass a comparison that lives only for the call.
  TTableComparison Row(const TFolderComparison& comparison, const std::string& name) {
    for (const auto& table : comparison.tables) {
      if (table.name == name) return table;
    }
    ADD_FAILURE() << "no row " << name;
    return comparison.tables.front();
  }
  TFolderComparison Compare() { return CompareFolders(env::DefaultFileSystem(), before_.Path(), after_.Path()); }

  test::TScratchFolder before_;
  test::TScratchFolder after_;
};

TEST_F(CompareCommand, EqualFoldersShowNoChange) {
  const TFolderComparison comparison = Compare();
  ASSERT_EQ(comparison.tables.size(), 2u);
  for (const auto& table : comparison.tables) {
    EXPECT_GT(table.before, 0) << table.name;
    EXPECT_EQ(table.after, table.before) << table.name;
    EXPECT_EQ(table.recovered + table.rejected + table.original + table.lost, 0) << table.name;
    EXPECT_EQ(table.note, "") << table.name;
  }
  EXPECT_TRUE(comparison.keptFiles.empty());
}

TEST_F(CompareCommand, RecordsGoneFromTheTableAreLostUnlessKept) {
  // Prices loses the records of its cut-off blocks; Books loses them too,
  // but the run kept its old files, and it set aside refused rows under a
  // second name of the table.
  Truncate(after_, "Prices.db");
  Truncate(after_, "Books.db");
  MakeFolder("Rejected");
  MakeFolder(kStamp);
  MakeFolder(std::string(kStamp) + "Original");
  CopyBefore("Books.db", std::string(kStamp) + "Original\\Books.db");
  CopyBefore("Books.mb", std::string(kStamp) + "Original\\Books.mb");  // kept with its memo values
  CopyBefore("Prices.db", std::string(kStamp) + "Prices_2.db");
  CopyBefore("Prices.db", std::string(kStamp) + "Prices_x.db");  // not a name the run gives Prices

  const TFolderComparison comparison = Compare();
  const auto& books = Row(comparison, "Books");
  EXPECT_LT(books.after, books.before);
  EXPECT_EQ(books.original, books.before);
  EXPECT_EQ(books.lost, 0);
  const auto& prices = Row(comparison, "Prices");
  EXPECT_EQ(prices.rejected, prices.before);
  EXPECT_EQ(prices.lost, 0);
  EXPECT_EQ(prices.recovered, 0);
  ASSERT_EQ(comparison.tables.size(), 2u) << "kept files are not tables of the folder";
  EXPECT_EQ(comparison.keptFiles.size(), 3u);

  // Without the rejected rows, the cut-off Prices records are lost, and
  // the command says so in its status.
  env::DefaultFileSystem().Remove(after_ / (std::string(kStamp) + "Prices_2.db"));
  const auto lostPrices = Row(Compare(), "Prices");
  EXPECT_EQ(lostPrices.lost, lostPrices.before - lostPrices.after);
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunRemdoTable({"compare", before_.Path(), after_.Path()}, out, err), 1);
  EXPECT_NE(err.str().find(std::to_string(lostPrices.lost) + " records of the before folder found nowhere"),
            std::string::npos)
      << err.str();
  EXPECT_NE(out.str().find("Prices"), std::string::npos);
}

TEST_F(CompareCommand, RecordsTheBeforeTableLackedAreRecovered) {
  Truncate(before_, "Prices.db");
  env::DefaultFileSystem().Remove(before_ / "Books.db");
  const TFolderComparison comparison = Compare();
  const auto& prices = Row(comparison, "Prices");
  EXPECT_EQ(prices.recovered, prices.after - prices.before);
  EXPECT_EQ(prices.lost, 0);
  const auto& books = Row(comparison, "Books");
  EXPECT_EQ(books.before, 0);
  EXPECT_EQ(books.recovered, books.after);

  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunRemdoTable({"compare", before_.Path(), after_.Path()}, out, err), 0) << err.str();
  EXPECT_EQ(err.str(), "");
}

TEST_F(CompareCommand, ATableThatCannotBeWalkedIsNoted) {
  test::WriteWholeFile(after_ / "Prices.db", std::string_view("not a table at all, only text"));
  const auto prices = Row(Compare(), "Prices");
  EXPECT_EQ(prices.after, 0);
  EXPECT_EQ(prices.lost, prices.before);
  EXPECT_NE(prices.note, "");
}

}  // namespace
}  // namespace remdo::tools
