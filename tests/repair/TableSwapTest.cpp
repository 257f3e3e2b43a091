// The swap of a rebuilt table and the pack step.
#include <gtest/gtest.h>

#include <algorithm>

#include "paradox/family/CommitMarker.h"
#include "paradox/format/PxFieldObject.h"
#include "repair/RepairFixture.h"
#include "repair/TableCheck.h"
#include "repair/verify/IndexMemoAudit.h"
#include "support/FaultFileSystem.h"
#include "support/LockHolder.h"
#include "support/PassThroughFileSystem.h"

namespace remdo::repair {
namespace {

using testing::Record;
using testing::TRecordMaker;
using testing::TRepairTest;

std::vector<Record> Genres(int count) {
  const TRecordMaker maker(27);
  std::vector<Record> records;
  for (int i = 1; i <= count; ++i) records.push_back(maker.Make({{"Book", i}, {"Token", 1 + i % 5}}));
  return records;
}

class TableSwapTest : public TRepairTest {
 protected:
  TTableCheck Check(std::string table, std::int32_t structure) {
    return TTableCheck(*context, {table, table, structure, 0, false, false});
  }
  std::string Text(std::string_view name) { return platform.Read(Data(name)); }
};

TEST_F(TableSwapTest, DataAndIndexFilesAreReplacedMemoAndValidityStay) {
  const TRecordMaker maker(31);
  MakeMemoTable("Books", 31, {maker.Make({{"Book", 1}, {"Title", "One"}}), maker.Make({{"Book", 2}})},
                {"the first book's blurb, longer than its leader", ""});
  platform.DataFile("Books.X02", "old index");
  platform.DataFile("Books.Y02", "old index tree");
  platform.DataFile("Books.val", "validity");
  const auto memo = test::ReadWholeFile(Data("Books.mb"));
  EXPECT_TRUE(CheckTable(*context, "Books", "Books", 31, 8, false, false));
  EXPECT_EQ(Text("Books.val"), "validity");
  EXPECT_EQ(test::ReadWholeFile(Data("Books.mb")), memo);
  // Every file of the new family comes from the scratch table, its
  // extension in lower case; the old index files are gone or replaced.
  for (const auto& name : Files("Books.*")) {
    if (name == "Books.mb" || name == "Books.val") continue;
    EXPECT_EQ(name, env::LowerCase(name).replace(0, 5, "Books")) << name;
  }
  for (const char* name : {"Books.X02", "Books.Y02"}) {
    if (Exists(name)) {
      EXPECT_NE(Text(name), "old index");
    }
  }
  EXPECT_TRUE(Files("temptbl1.*").empty());
  // The memo column is a memo column again.
  const auto header = test::ReadWholeFile(Data("Books.db"));
  EXPECT_EQ(header.at(118 + 2 * 21), std::byte{paradox::fieldtype::kMemo});
  ExpectReadable("Books", 2);
}

// A commit marker the engine refuses (a foreign name, too large) goes to the
// run's Rejected folder with a line, and the table is repaired as usual.
TEST_F(TableSwapTest, ARefusedCommitMarkerIsSetAsideAndTheTableRepaired) {
  for (const bool tooLarge : {false, true}) {
    MakeTable("Genre", 27, Genres(3));
    const std::string marker = tooLarge ? std::string(2u << 20, 'x') : paradox::EncodeMarker({{"..\\Genre.db", true}});
    platform.DataFile("Genre.commit", marker);
    EXPECT_TRUE(Check("Genre", 27).Run()) << tooLarge;
    const std::string setAside = context->RejectedFolderName() + (tooLarge ? "Genre_2.commit" : "Genre.commit");
    EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), "  -- refused commit marker moved to " + setAside), 1);
    EXPECT_TRUE(!Exists("Genre.commit") && platform.Read(Data(setAside)) == marker);
    EXPECT_EQ(testing::RawRecords(Data("Genre.db")), Genres(3));
  }
}

// While a table is checked and swapped, another program opens neither its
// files nor the folder's lock file (Windows holds them with no sharing;
// Linux holds nothing); once the check ends it can open them again.
TEST_F(TableSwapTest, AnotherProgramIsKeptOutOfATableWhileItIsSwapped) {
  MakeTable("Genre", 27, Genres(3));
  platform.DataFile("Genre.X02", "old index");
  platform.DataFile("PDOXUSRS.LCK");
  const bool holds = env::CurrentHost() == env::THost::kWindows;
  // The file as another program names it (Windows: the drive is redirected).
  auto other = [&](std::string_view name) { return holds ? platform.drive.fileSystem.Real(Data(name)) : HostPath(name); };
  int probes = 0;
  test::TPassThroughFileSystem watched(platform.drive.fileSystem);
  // Flushes of the rebuilt files before the swap, folder syncs after it.
  watched.onSync = [&](std::string_view) {
    ++probes;
    for (const char* name : {"Genre.db", "Genre.X02", "PDOXUSRS.LCK"}) {
      const test::TLockHolder holder(other(name), test::THold::kOpen, true);
      EXPECT_NE(holder.Holding(), holds) << name << " at probe " << probes;
    }
  };
  {
    const test::TInstalledFileSystem installed(watched);
    EXPECT_TRUE(Check("Genre", 27).Run());
  }
  EXPECT_GT(probes, 1);
  EXPECT_EQ(testing::RawRecords(Data("Genre.db")), Genres(3));
  const test::TLockHolder after(other("Genre.db"), test::THold::kOpen);
}

TEST_F(TableSwapTest, MemoColumnIsMarkedByStructure) {
  const struct {
    std::int32_t structure;
    std::optional<int> field;
  } cases[] = {{1, 10}, {2, 11}, {3, 8}, {25, 8}, {31, 21}, {34, 17}, {42, 21}, {15, {}}, {27, {}}, {0, {}}};
  for (const auto& c : cases) EXPECT_EQ(catalogue::MemoFieldNumber(c.structure), c.field) << c.structure;

  const TRecordMaker maker(3);
  MakeMemoTable("BookInfo", 3, {maker.Make({{"Book", 5.0}, {"Rating", "good"}})}, {"personal notes on book five"});
  EXPECT_TRUE(CheckTable(*context, "Personal notes", "BookInfo", 3, 0, true, false));
  const auto header = test::ReadWholeFile(Data("BookInfo.db"));
  EXPECT_EQ(header.at(118 + 2 * 8), std::byte{paradox::fieldtype::kMemo});
  const auto records = testing::RawRecords(Data("BookInfo.db"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(testing::MemoText(Data("BookInfo.mb"), records[0], maker.Offset("Notes"), 26),
            "personal notes on book five");
}

TEST_F(TableSwapTest, WithoutRebuiltFilesNothingIsTouched) {
  MakeTable("Genre", 27, Genres(3));
  const auto before = test::ReadWholeFile(Data("Genre.db"));
  EXPECT_FALSE(Check("Genre", 27).SwapInRebuiltTable());
  EXPECT_EQ(test::ReadWholeFile(Data("Genre.db")), before);
  EXPECT_TRUE(Exists("Genre.px"));
}

// A damaged or missing memo file: a new one holds every value found (in
// place or linked again by its leader and what else agrees); a
// value that is gone is cut to its leader with a line naming its record;
// the old memo file is kept with the old table files.
TEST_F(TableSwapTest, DamagedMemoFileIsSalvagedAndEveryCutIsNamed) {
  const TRecordMaker maker(31);
  const std::size_t blurb = maker.Offset("Blurb");
  const std::vector<std::string> memos = {std::string(3000, 'a'), std::string(500, 'b'), "", std::string(4000, 'd')};
  const auto moveReference = [&](std::vector<std::byte>& db) {
    // Book 4's reference, found by its record image, points elsewhere.
    const Record record = testing::RawRecords(Data("Books.db")).at(3);
    const auto at = std::search(db.begin(), db.end(), record.begin(), record.end()) - db.begin();
    db.at(static_cast<std::size_t>(at) + blurb + 1 + 1) ^= std::byte{0x70};
  };
  const auto spoilBookTwo = [&](std::vector<std::byte>& db) {
    const Record record = testing::RawRecords(Data("Books.db")).at(1);
    const auto at = std::search(db.begin(), db.end(), record.begin(), record.end()) - db.begin();
    for (const std::size_t b : {2, 5, 9}) db.at(static_cast<std::size_t>(at) + blurb + b) ^= std::byte{0x40};
  };
  struct TCase {
    const char* name;
    std::function<void(std::vector<std::byte>& mb, std::vector<std::byte>& db)> damage;
    std::vector<bool> whole;  // per book: the value is kept whole (else cut to its leader)
    std::string counts;
  } const cases[] = {
      {"book 1's unit zeroed", [](auto& mb, auto&) { std::fill_n(mb.begin() + 0x1000, 0x1000, std::byte{0}); },
       {false, true, true, true}, "2 values intact, 0 re-linked, 1 cut to their leader, 0 unlinked"},
      {"book 4's reference moved", [&](auto&, auto& db) { moveReference(db); }, {true, true, true, true},
       "2 values intact, 1 re-linked, 0 cut to their leader, 0 unlinked"},
      {"book 2's place, length and modification number changed: in a whole file its leader finds it",
       [&](auto&, auto& db) { spoilBookTwo(db); }, {true, true, true, true},
       "2 values intact, 1 re-linked, 0 cut to their leader, 0 unlinked"},
      {"the same beside book 1's unit zeroed: book 2's value is left unlinked",
       [&](auto& mb, auto& db) {
         spoilBookTwo(db);
         std::fill_n(mb.begin() + 0x1000, 0x1000, std::byte{0});
       },
       {false, false, true, true}, "1 value intact, 0 re-linked, 2 cut to their leader, 1 unlinked"},
      {"memo file missing", [](auto& mb, auto&) { mb.clear(); }, {false, false, true, false},
       "0 values intact, 0 re-linked, 3 cut to their leader, 0 unlinked"},
  };
  int kept = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string original = ++kept == 1 ? "Books" : "Books_" + std::to_string(kept);
    std::vector<Record> books;
    for (int i = 1; i <= 4; ++i) books.push_back(maker.Make({{"Book", i}, {"Title", "T"}}));
    MakeMemoTable("Books", 31, books, memos);
    auto mb = test::ReadWholeFile(Data("Books.mb"));
    auto db = test::ReadWholeFile(Data("Books.db"));
    const auto oldMemo = mb;
    c.damage(mb, db);
    test::WriteWholeFile(Data("Books.db"), db);
    if (mb.empty()) {
      ASSERT_TRUE(env::DefaultFileSystem().Remove(Data("Books.mb")));
    } else {
      test::WriteWholeFile(Data("Books.mb"), mb);
    }
    // The verify check foretells what the repair then does.
    const auto verify = AuditIndexesAndMemo(env::DefaultFileSystem(), Data("Books.db"));
    const auto verifyLines = FindingLines(verify.findings);
    EXPECT_TRUE(std::any_of(verifyLines.begin(), verifyLines.end(), [&](const std::string& l) {
      return l.find("a repair writes a new memo file: " + c.counts) != std::string::npos;
    })) << ::testing::PrintToString(verifyLines);
    run.lines.clear();
    EXPECT_TRUE(CheckTable(*context, "Books", "Books", 31, 8, false, false));
    const auto lines = run.FileLines();
    const auto logged = [&](const std::string& text) {
      return std::any_of(lines.begin(), lines.end(), [&](const auto& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(logged("memo file Books.mb damaged; a new one was written: " + c.counts)) << ::testing::PrintToString(lines);
    const auto rebuilt = testing::RawRecords(Data("Books.db"));
    ASSERT_EQ(rebuilt.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
      const std::string expected = c.whole[i] ? memos[i] : memos[i].substr(0, 1);
      EXPECT_EQ(testing::MemoText(Data("Books.mb"), rebuilt[i], blurb, 11), expected) << i;
      EXPECT_EQ(logged("value cut, record " + std::to_string(i + 1) + ": " + (mb.empty() ? "the memo file is missing" : "")),
                !c.whole[i])
          << i;
    }
    // The unlinked value, with its place in the old file.
    if (c.counts.ends_with("1 unlinked")) {
      const std::string csv = platform.Read(Data(context->RejectedFolderName() + "Books_memo.csv"));
      EXPECT_EQ(csv, "Offset,Entry,Length,Modification,Value\r\n8192,63,500,1,\"" + memos[1] + "\"\r\n");
      EXPECT_TRUE(logged("1 value no record refers to"));
      // And as a table, the value whole in its memo field, read by the
      // engine (the records by pxlib too).
      const std::string table = context->RejectedFolderName() + "Books_memo";
      EXPECT_TRUE(logged(table + ".db (as text: " + table + ".csv)"));
      ExpectReadable(table, 1);
      paradox::TTable unlinked;
      unlinked.SetDatabaseName(test::kDataFolder);
      unlinked.SetTableName(table);
      unlinked.Open();
      unlinked.First();
      EXPECT_EQ(unlinked.FieldByName("Offset").AsFloat(), 8192);
      EXPECT_EQ(unlinked.FieldByName("Entry").AsInteger(), 63);
      EXPECT_EQ(unlinked.FieldByName("Length").AsFloat(), 500);
      EXPECT_EQ(unlinked.FieldByName("Modification").AsInteger(), 1);
      EXPECT_EQ(unlinked.FieldByName("Value").AsString(), memos[1]);
      unlinked.Close();
    }
    if (!mb.empty()) {
      EXPECT_EQ(test::ReadWholeFile(Data(context->RejectedFolderName() + "Original\\" + original + ".mb")), mb);
    }
    ExpectReadable("Books", 4);
    for (const auto& name : Files("Books.*")) ASSERT_TRUE(env::DefaultFileSystem().Remove(Data(name)));
  }
}

// Failing each file-system call of the swap in turn: a failure rolls back
// and names the file in the box the user sees; the old family stays whole
// until the swap goes through.
TEST_F(TableSwapTest, FailedDeleteOrRenameRollsBackAndSaysWhich) {
  MakeTable("Genre", 27, Genres(40));
  MakeTable("temptbl1", 27, Genres(50));
  const auto oldData = test::ReadWholeFile(Data("Genre.db"));
  const auto oldIndex = test::ReadWholeFile(Data("Genre.px"));
  const auto newData = test::ReadWholeFile(Data("temptbl1.db"));
  test::TFaultFileSystem faults(platform.drive.fileSystem);
  std::set<std::string> texts;
  bool swapped = false;
  for (long n = 1; n < 100 && !swapped; ++n) {
    dialogs.boxes.clear();
    env::InstallFileSystem(&faults);
    faults.Arm(n, test::TFault::kFail);
    auto check = Check("Genre", 27);
    swapped = check.SwapInRebuiltTable();
    faults.Disarm();
    env::InstallFileSystem(&platform.drive.fileSystem);
    if (swapped) break;
    ASSERT_EQ(dialogs.boxes.size(), 1u) << n;
    texts.insert(dialogs.boxes[0].text);
    EXPECT_EQ(dialogs.boxes[0].caption, "! Error !");
    EXPECT_EQ(test::ReadWholeFile(Data("Genre.db")), oldData) << n;
    EXPECT_EQ(test::ReadWholeFile(Data("Genre.px")), oldIndex) << n;
    EXPECT_EQ(test::ReadWholeFile(Data("temptbl1.db")), newData) << n;
    EXPECT_TRUE(Files("*.old").empty()) << n;
    EXPECT_TRUE(Files("*.commit").empty()) << n;
  }
  ASSERT_TRUE(swapped);
  EXPECT_EQ(test::ReadWholeFile(Data("Genre.db")), newData);
  EXPECT_EQ(texts.count("Could not delete Genre.db"), 1u);
  EXPECT_EQ(texts.count("Could not delete Genre.px"), 1u);
  EXPECT_EQ(texts.count("Could not rename\rtemptbl1.db\rtoGenre.db"), 1u);
}

class PackTest : public TableSwapTest {};

TEST_F(PackTest, PackWantedFollowsTheMarkerAndTheStructure) {
  auto wanted = [&](std::int32_t structure) { return Check("Books", structure).PackWanted(); };
  for (const std::int32_t s : {1, 2, 3, 15, 25, 31, 34, 27, 21}) EXPECT_FALSE(wanted(s)) << s;
  EXPECT_TRUE(wanted(42));
  platform.DataFile("packmemo.ini");
  for (const std::int32_t s : {1, 2, 3, 15, 25, 31, 34, 42}) EXPECT_TRUE(wanted(s)) << s;
  for (const std::int32_t s : {27, 21, 14, 4}) EXPECT_FALSE(wanted(s)) << s;
  ASSERT_TRUE(env::DefaultFileSystem().Remove(Data("packmemo.ini")));
  run.options = {"PACKMEMO"};
  EXPECT_TRUE(wanted(31));
  EXPECT_FALSE(wanted(27));
}

// A pack straight on a damaged memo file (no rebuild before it) cuts what
// it cannot read to the leader and names each record it cut.
TEST_F(PackTest, APackThatCutsAValueNamesItsRecord) {
  const TRecordMaker books(31);
  MakeMemoTable("T", 31, {books.Make({{"Book", 1}}), books.Make({{"Book", 2}})},
                {std::string(3000, 'a'), "a blurb longer than one byte"});
  auto mb = test::ReadWholeFile(Data("T.mb"));
  std::fill_n(mb.begin() + 0x1000, 0x1000, std::byte{0});
  test::WriteWholeFile(Data("T.mb"), mb);
  run.options = {"PACK"};
  EXPECT_TRUE(Check("T", 31).PackTable());
  const auto lines = run.FileLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "  -- table packed.");
  EXPECT_EQ(lines[lines.size() - 2], "  -- the pack cut 1 memo value to their leader");
  EXPECT_EQ(lines.back().rfind("     value cut, record 1: ", 0), 0u) << lines.back();
  const auto packed = testing::RawRecords(Data("T.db"));
  ASSERT_EQ(packed.size(), 2u);
  EXPECT_EQ(testing::MemoText(Data("T.mb"), packed[0], books.Offset("Blurb"), 11), "a");
  EXPECT_EQ(testing::MemoText(Data("T.mb"), packed[1], books.Offset("Blurb"), 11), "a blurb longer than one byte");
}

TEST_F(PackTest, ChecksPackWhenAskedAndOnlyThen) {
  const struct {
    const char* what;
    std::set<std::string> options;
    bool marker;
    std::int32_t structure;
    bool packed;
  } cases[] = {
      {"packmemo.ini, books", {}, true, 31, true},
      {"packmemo.ini, genres", {}, true, 27, false},
      {"PACK", {"PACK"}, false, 27, true},
      {"PACK and NOPACK", {"PACK", "NOPACK"}, false, 31, false},
      {"PACK on an installation", {"PACK", "INST"}, false, 27, false},
      {"structure 42", {}, false, 42, true},
      {"nothing", {}, false, 31, false},
  };
  const TRecordMaker books(31);
  for (const auto& c : cases) {
    run.lines.clear();
    run.messages.clear();
    run.options = c.options;
    if (c.marker) platform.DataFile("packmemo.ini");
    if (c.structure == 27) {
      MakeTable("T", 27, Genres(4));
    } else {
      MakeMemoTable("T", c.structure, {books.Make({{"Book", 1}})}, {"a blurb longer than one byte"});
    }
    EXPECT_TRUE(CheckTable(*context, "T", "T", c.structure, 0, false, false)) << c.what;
    EXPECT_EQ(run.lines.back() == "  -- table packed.", c.packed) << c.what;
    EXPECT_FALSE(run.waitPanel) << c.what;
    EXPECT_TRUE(run.cancelEnabled) << c.what;
    if (c.packed) {
      EXPECT_TRUE(run.choices[TChoice::kClipboard]) << c.what;
      EXPECT_TRUE(run.choices[TChoice::kAutoClose]) << c.what;
      EXPECT_FALSE(run.choices[TChoice::kTurnOffOnlineOptions]) << c.what;
      EXPECT_EQ(std::count(run.messages.begin(), run.messages.end(), "Packing table \"T\"..."), 1) << c.what;
    }
    (void)env::DefaultFileSystem().Remove(Data("packmemo.ini"));
  }
}

}  // namespace
}  // namespace remdo::repair
