// Failing or stopping each file-system call of a table's repair in turn:
// whatever happens, once the folder has been settled (as the next run's
// connection does), the table is its old family or its new one, whole.
#include <gtest/gtest.h>

#include "paradox/memo/MemoFile.h"
#include "repair/RepairFixture.h"
#include "repair/TableCheck.h"
#include "support/FaultFileSystem.h"

namespace remdo::repair {
namespace {

using testing::Record;
using testing::TRecordMaker;
using testing::TRepairTest;

constexpr std::int32_t kBooks = 31;

// What a book is, whatever memo file its record refers to.
struct TBook {
  std::string number;
  std::string title;
  std::string blurb;
  friend bool operator==(const TBook&, const TBook&) = default;
};

class FaultInjectionTest : public TRepairTest {
 protected:
  void SetUp() override {
    const TRecordMaker maker(kBooks);
    std::vector<Record> records;
    std::vector<std::string> memos;
    for (int i = 1; i <= 12; ++i) {
      records.push_back(maker.Make({{"Book", i}, {"Title", "Title " + std::to_string(i)}}));
      memos.push_back(i % 3 == 0 ? "" : "the blurb of book " + std::to_string(i) + ", stored in the memo file");
    }
    MakeMemoTable("Books", kBooks, records, memos);
    // Book 5's record becomes a copy of book 4's: refused and kept aside.
    testing::PatchFile(Data("Books.db"), testing::RecordOffsets(Data("Books.db")).at(4),
                       testing::RawRecords(Data("Books.db")).at(3));
    for (const char* name : {"Books.db", "Books.px", "Books.mb"}) original_[name] = test::ReadWholeFile(Data(name));
    oldBooks_ = BooksOnDisk();
    platform.DataFile("packmemo.ini");
  }

  std::vector<TBook> BooksOnDisk() {
    const TRecordMaker maker(kBooks);
    paradox::TMemoFile memo(env::DefaultFileSystem(), Data("Books.mb"));
    std::vector<TBook> books;
    for (const auto& record : testing::RawRecords(Data("Books.db"))) {
      const auto blurb = memo.ReadField(std::span<const std::byte>(record.data() + maker.Offset("Blurb"), 11));
      books.push_back({maker.Text(record, "Book"), maker.Text(record, "Title"),
                       std::string(reinterpret_cast<const char*>(blurb.data()), blurb.size())});
    }
    return books;
  }

  void Restore() {
    env::TFileSystem& fileSystem = env::DefaultFileSystem();
    RemoveFolderTree(Data(""));
    fileSystem.MakeFolder(Data(""));
    for (const auto& [name, bytes] : original_) test::WriteWholeFile(Data(name), bytes);
    platform.DataFile("packmemo.ini");
  }
  void RemoveFolderTree(const std::string& folder) {
    env::TFileSystem& fileSystem = env::DefaultFileSystem();
    for (const auto& entry : fileSystem.Find(folder + "*", env::attr::kDirectory | 47)) {
      if ((entry.attributes & env::attr::kDirectory) != 0) {
        RemoveFolderTree(folder + entry.name + "\\");
      } else {
        (void)fileSystem.Remove(folder + entry.name);
      }
    }
    (void)fileSystem.RemoveFolder(folder);
  }

  // Runs the check with the nth call failed or stopped; true when the call
  // was reached.
  bool RunWithFault(long n, test::TFault fault) {
    test::TFaultFileSystem faults(platform.drive.fileSystem);
    env::InstallFileSystem(&faults);
    faults.Arm(n, fault);
    try {
      (void)CheckTable(*context, "Books", "Books", kBooks, 8, false, false);
    } catch (const env::ERemdoError&) {
      // An error the check does not catch ends it, as it ends the run.
    }
    const bool triggered = faults.Triggered();
    lastCall_ = faults.FailedCall();
    faults.Disarm();
    env::InstallFileSystem(&platform.drive.fileSystem);
    return triggered;
  }

  // The state a new run finds: its connection settles the folder first.
  void Settle() {
    context = std::make_unique<TRepairContext>(run, database);
    database.Close();
    database.Open();
  }

  std::string FamilyState(long n) {
    if (test::ReadWholeFile(Data("Books.db")) == original_["Books.db"]) {
      EXPECT_EQ(test::ReadWholeFile(Data("Books.px")), original_["Books.px"]) << n;
      EXPECT_EQ(test::ReadWholeFile(Data("Books.mb")), original_["Books.mb"]) << n;
      return "old";
    }
    paradox::TTable table;
    table.SetDatabaseName(test::kDataFolder);
    table.SetTableName("Books");
    table.Open();
    EXPECT_EQ(table.RecordCount(), 11) << n << " " << lastCall_ << " " << ::testing::PrintToString(run.lines);
    table.Close();
    std::vector<TBook> expected = oldBooks_;
    expected.erase(expected.begin() + 4);
    EXPECT_EQ(BooksOnDisk(), expected) << n;
    return "new";
  }

  void RunAll(test::TFault fault) {
    std::map<std::string, int> states;
    long n = 1;
    for (; n < 5000; ++n) {
      Restore();
      Settle();
      run.state = TRunState{};
      run.lines.clear();
      run.state.Running = true;
      const bool triggered = RunWithFault(n, fault);
      Settle();
      ++states[FamilyState(n)];
      EXPECT_TRUE(Files("Books.*.new").empty() && Files("Books.*.old").empty() && Files("Books.commit").empty()) << n;
      if (!triggered) break;
      if (HasFailure()) break;
    }
    RecordProperty("calls", static_cast<int>(n));
    RecordProperty("old", states["old"]);
    RecordProperty("new", states["new"]);
    EXPECT_GT(n, 50);
    EXPECT_GT(states["old"], 0);
    EXPECT_GT(states["new"], 0);
  }

  std::map<std::string, std::vector<std::byte>> original_;
  std::vector<TBook> oldBooks_;
  std::string lastCall_;
};

TEST_F(FaultInjectionTest, EachFailedCallLeavesTheOldOrTheNewFamily) { RunAll(test::TFault::kFail); }

TEST_F(FaultInjectionTest, EachCrashLeavesTheOldOrTheNewFamily) { RunAll(test::TFault::kStop); }

}  // namespace
}  // namespace remdo::repair
