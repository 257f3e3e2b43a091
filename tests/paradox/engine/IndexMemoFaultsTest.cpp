// Crash and I/O-failure safety of a family with a secondary index and memo
// values: every file-system call of a change is failed (kFail) or made the
// last before a crash (kStop) in turn. Afterwards, once a database on the
// folder has settled what was left, the data file, primary index and .X02/
// .Y02 are wholly old or wholly new, and the memo file serves every value
// of whichever records are on disk (it is edited in place, so it may hold
// more than the old values, never less).
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/EngineFixture.h"
#include "paradox/IndexCheck.h"
#include "paradox/components/Table.h"
#include "support/FaultFileSystem.h"

namespace remdo::paradox {
namespace {

using remdo::test::TFault;
using remdo::test::TFaultFileSystem;
using testing::Fld;

using TFiles = std::map<std::string, std::vector<std::byte>>;

TFiles ReadFiles(const std::string& folder) {
  TFiles files;
  for (const auto& entry : env::RealFileSystem().Find(folder + "T.*", 0)) {
    const std::string name = env::UpperCase(entry.name);
    const std::string extension(env::ExtensionPart(name));
    if (extension == ".MB" || extension == ".NEW" || extension == ".OLD" || extension == ".COMMIT") continue;
    files[name] = remdo::test::ReadWholeFile(folder + entry.name);
  }
  return files;
}

std::string Note(int key, int round) {
  return std::string(static_cast<std::size_t>(120 + key % 7 * 90), static_cast<char>('a' + (key + round) % 26));
}

void OpenT(TTable& table, const std::string& folder) {
  table.SetDatabaseName(folder);
  table.SetTableName("T");
  table.Open();
}

// Keys 1-120, Name indexed, Notes holding the round-0 notes.
void MakeOld(const std::string& folder) {
  TDatabase database;
  database.SetDatabaseName(folder);
  database.Open();
  TCrTblDesc desc = testing::TableDesc("T.db", {Fld("Key", 'I'), Fld("Name", 'A', 12), Fld("Notes", 'M', 4)}, 1);
  TIdxDesc index;
  index.name = "Name";
  index.maintained = true;
  index.keyFields = {2};
  desc.indexes.push_back(index);
  ASSERT_EQ(DbiCreateTable(database.Handle(), true, desc), 0);
  TTable table;
  OpenT(table, folder);
  for (int key = 1; key <= 120; ++key) table.AppendRecord({key, "n" + std::to_string(key % 13), Note(key, 0)});
  table.Close();
}

// The notes of the records on disk, by key.
std::map<int, std::string> Notes(const std::string& folder) {
  std::map<int, std::string> notes;
  TTable table;
  OpenT(table, folder);
  for (table.First(); !table.Eof() && !table.IsEmpty(); table.Next()) {
    notes[table.Fields(0).AsInteger()] = table.FieldByName("Notes").AsString();
  }
  table.Close();
  return notes;
}

// New records with notes, and new notes for some old ones.
void Change(const std::string& folder, const std::function<void()>& armed) {
  TTable table;
  OpenT(table, folder);
  armed();
  for (int key = 121; key <= 160; ++key) table.AppendRecord({key, "m" + std::to_string(key % 5), Note(key, 1)});
  for (int key = 1; key <= 30; key += 3) {
    if (!table.FindKey({key})) continue;
    table.Edit();
    table.FieldByName("Notes").SetAsString(Note(key, 1));
    table.Post();
  }
  table.Close();
}

void Restructure(const std::string& folder, const std::function<void()>& armed) {
  TDatabase database;
  database.SetDatabaseName(folder);
  database.Open();
  TCrTblDesc desc = testing::OptionDesc("T.db", "BLOCK SIZE", "4096");
  desc.pack = true;
  armed();
  const std::uint16_t code = DbiDoRestructure(database.Handle(), 1, &desc, {}, {}, {}, false);
  if (code != 0) throw env::EDBEngineError(code, "restructuring T");
}

std::map<int, std::string> ExpectedAfterChange() {
  std::map<int, std::string> notes;
  for (int key = 1; key <= 160; ++key) notes[key] = Note(key, key > 120 || (key <= 30 && key % 3 == 1) ? 1 : 0);
  return notes;
}

class IndexMemoFaults : public ::testing::TestWithParam<TFault> {};

TEST_P(IndexMemoFaults, IndexesAndMemoValuesAreWhollyOldOrNew) {
  struct TScenario {
    const char* name;
    std::function<void(const std::string&, const std::function<void()>&)> change;
    bool blockSizeChanges;
  };
  const TScenario scenarios[] = {{"change", Change, false}, {"restructure", Restructure, true}};
  (void)DbiInit(nullptr);
  for (const TScenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    int oldSeen = 0;
    int newSeen = 0;
    std::map<int, std::string> oldNotes;
    for (long nth = 1;; ++nth) {
      remdo::test::TScratchFolder folder;
      MakeOld(folder.Path());
      const TFiles old = ReadFiles(folder.Path());
      if (oldNotes.empty()) oldNotes = Notes(folder.Path());
      TFaultFileSystem faults;
      const bool triggered = remdo::test::RunFaulted(
          faults, nth, GetParam(), [&](const std::function<void()>& arm) { scenario.change(folder.Path(), arm); });
      SCOPED_TRACE("call " + std::to_string(nth) + ": " + faults.FailedCall());
      {
        TDatabase settle;
        settle.SetDatabaseName(folder.Path());
        settle.Open();
      }
      const TFiles now = ReadFiles(folder.Path());
      ASSERT_EQ(now.size(), old.size());
      if (now == old) {
        EXPECT_EQ(Notes(folder.Path()), oldNotes);
        ++oldSeen;
      } else {
        for (const auto& [name, bytes] : now) EXPECT_NE(bytes, old.at(name)) << name << " is still the old one";
        EXPECT_EQ(testing::ReadTableFile(folder / "T.X02").records, testing::ExpectedEntries(folder / "T.db", 2));
        testing::CheckIndexTree(folder / "T.Y02", folder / "T.X02");
        testing::CheckIndexTree(folder / "T.PX", folder / "T.db");
        // A failed post leaves the records posted before it, which the close
        // writes: every record holds one of its two notes, whole.
        const std::map<int, std::string> notes = Notes(folder.Path());
        const std::map<int, std::string> expected = scenario.blockSizeChanges ? oldNotes : ExpectedAfterChange();
        if (!triggered) {
          EXPECT_EQ(notes, expected);
        }
        for (const auto& [key, note] : notes) {
          EXPECT_TRUE(note == Note(key, 0) || note == Note(key, 1)) << key;
        }
        EXPECT_GE(notes.size(), 120u);
        ++newSeen;
      }
      remdo::test::ExpectNoCommitLeftovers(folder.Path());
      if (!triggered) break;
    }
    EXPECT_GT(oldSeen, 5);
    EXPECT_GE(newSeen, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(FailAndStop, IndexMemoFaults, ::testing::Values(TFault::kFail, TFault::kStop),
                         remdo::test::FaultName);

}  // namespace
}  // namespace remdo::paradox
