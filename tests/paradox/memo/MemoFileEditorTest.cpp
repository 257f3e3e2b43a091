#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "env/Errors.h"
#include "env/Host.h"
#include "paradox/MemoCheck.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/memo/MemoFile.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "paradox/memo/MemoFileEditor.h"
#include "support/FaultFileSystem.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

using test::CheckMemoStructure;
using test::ReadWholeFile;
using TProblems = std::vector<std::string>;

std::vector<std::byte> Pattern(std::size_t length, int seed) {
  std::vector<std::byte> out(length);
  for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<std::byte>((i * 11 + seed) & 0xFF);
  return out;
}

class MemoFileEditing : public ::testing::Test {
 protected:
  // Builds the starting file from values of the given lengths.
  std::vector<TBlobDescriptor> Build(std::initializer_list<std::size_t> lengths) {
    TMemoFileBuilder builder(env::DefaultFileSystem(), path_);
    std::vector<TBlobDescriptor> out;
    int seed = 100;
    for (const std::size_t n : lengths) out.push_back(builder.Add(TBlobKind::kMemo, Pattern(n, seed++), 0));
    builder.Finish();
    return out;
  }
  TProblems Check(bool exact = true) { return CheckMemoStructure(ReadWholeFile(path_), exact); }

  test::TScratchFolder folder_;
  std::string path_ = folder_ / "T.MB";
};

TEST_F(MemoFileEditing, NewValuesGoIntoRoomLeftAndTakeTheCountersStamp) {
  const auto built = Build({100});
  TMemoFileEditor editor(env::DefaultFileSystem(), path_);
  const auto a = editor.Store(TBlobKind::kMemo, Pattern(300, 1), 0);
  const auto b = editor.Store(TBlobKind::kMemo, Pattern(3000, 2), 0);
  const auto c = editor.Store(TBlobKind::kMemo, Pattern(3, 3), 4);
  EXPECT_EQ(a, (TBlobDescriptor{0x1000, 62, 300, 1}));
  EXPECT_EQ(b, (TBlobDescriptor{0x2000, 0xFF, 3000, 2}));
  EXPECT_EQ(c, (TBlobDescriptor{0, 0, 3, 0}));
  editor.Close();
  const auto f = ReadWholeFile(path_);
  EXPECT_EQ(GetU16(&f[3]), 3);  // the next stamp
  EXPECT_EQ(CheckMemoStructure(f), TProblems{});
  TMemoFile memo(env::DefaultFileSystem(), path_);
  EXPECT_EQ(memo.ReadStored(built[0]), Pattern(100, 100));
  EXPECT_EQ(memo.ReadStored(a), Pattern(300, 1));
  EXPECT_EQ(memo.ReadStored(b), Pattern(3000, 2));
}

TEST_F(MemoFileEditing, ReleasedSpaceIsMergedAndReused) {
  // Single blocks of 1, 2 and 3 units at 0x1000, 0x2000, 0x4000.
  const auto v = Build({3000, 5000, 9000});
  TMemoFileEditor editor(env::DefaultFileSystem(), path_);
  EXPECT_TRUE(editor.Release(v[0]));
  EXPECT_TRUE(editor.Release(v[2]));
  EXPECT_FALSE(editor.Release(v[2]));  // already free: left alone
  EXPECT_TRUE(editor.Release(v[1]));   // joins both neighbours
  editor.Flush();
  auto f = ReadWholeFile(path_);
  EXPECT_EQ(CheckMemoStructure(f), TProblems{});
  EXPECT_EQ(std::to_integer<int>(f[0x1000]), 4);
  EXPECT_EQ(GetU16(&f[0x1001]), 6);
  EXPECT_EQ(GetU32(&f[0x38]), 0x1003u);  // hint: free block of 6 units
  EXPECT_EQ(GetU16(&f[0x3C]), 6);
  // A small value takes the first unit, a large one the next two; the rest
  // stays free.
  const auto small = editor.Store(TBlobKind::kMemo, Pattern(50, 1), 0);
  const auto large = editor.Store(TBlobKind::kMemo, Pattern(6000, 2), 0);
  EXPECT_EQ(small.blockOffset, 0x1000u);
  EXPECT_EQ(large.blockOffset, 0x2000u);
  editor.Close();
  f = ReadWholeFile(path_);
  EXPECT_EQ(f.size(), 7u * 4096);
  EXPECT_EQ(CheckMemoStructure(f), TProblems{});
  EXPECT_EQ(std::to_integer<int>(f[0x4000]), 4);
  EXPECT_EQ(GetU16(&f[0x4001]), 3);
}

TEST_F(MemoFileEditing, AnEmptiedSharedBlockBecomesFree) {
  const auto v = Build({10, 20, 5000});
  TMemoFileEditor editor(env::DefaultFileSystem(), path_);
  EXPECT_TRUE(editor.Release(v[0]));
  EXPECT_EQ(ReadWholeFile(path_)[0x1000], std::byte{3});
  EXPECT_TRUE(editor.Release(v[1]));
  editor.Close();
  const auto f = ReadWholeFile(path_);
  EXPECT_EQ(f[0x1000], std::byte{4});
  EXPECT_EQ(CheckMemoStructure(f), TProblems{});
  TMemoFile memo(env::DefaultFileSystem(), path_);
  EXPECT_EQ(memo.ReadStored(v[2]), Pattern(5000, 102));
  EXPECT_THROW((void)memo.ReadStored(v[0]), env::EDBEngineError);
}

TEST_F(MemoFileEditing, AFragmentedSharedBlockIsCompactedWithoutMovingReferences) {
  // Ten values of 20 chunks (chunks 21-220), then every other one released:
  // 35 + 5 * 20 chunks free, but no run longer than 35.
  std::vector<TBlobDescriptor> v;
  {
    TMemoFileBuilder builder(env::DefaultFileSystem(), path_);
    for (int i = 0; i < 10; ++i) v.push_back(builder.Add(TBlobKind::kMemo, Pattern(320, i), 0));
    builder.Finish();
  }
  TMemoFileEditor editor(env::DefaultFileSystem(), path_);
  for (int i = 0; i < 10; i += 2) ASSERT_TRUE(editor.Release(v[i]));
  const auto big = editor.Store(TBlobKind::kMemo, Pattern(1500, 77), 0);  // 94 chunks
  EXPECT_EQ(big.blockOffset, 0x1000u);
  editor.Close();
  EXPECT_EQ(Check(), TProblems{});
  TMemoFile memo(env::DefaultFileSystem(), path_);
  for (int i = 1; i < 10; i += 2) EXPECT_EQ(memo.ReadStored(v[i]), Pattern(320, i));
  EXPECT_EQ(memo.ReadStored(big), Pattern(1500, 77));
}

TEST_F(MemoFileEditing, ASharedBlockFilledBehindTheEditorsBackKeepsItsHeader) {
  if (env::CurrentHost() != env::THost::kPosix) {
    GTEST_SKIP() << "Windows lets one writer alone open the file, so no other can fill a block behind its back";
  }
  // a counts on 228 free chunks in the block at 0x1000; b leaves it 3.
  const auto v = Build({100, 100});
  TMemoFileEditor a(env::DefaultFileSystem(), path_);
  ASSERT_TRUE(a.Release(v[0]));
  std::vector<TBlobDescriptor> stored;
  TMemoFileEditor b(env::DefaultFileSystem(), path_);
  for (const int n : {2000, 1600}) stored.push_back(b.Store(TBlobKind::kMemo, Pattern(n, n), 0));
  b.Close();
  stored.push_back(a.Store(TBlobKind::kMemo, Pattern(1000, 1000), 0));
  a.Close();
  EXPECT_EQ(Check(false), TProblems{});
  TMemoFile memo(env::DefaultFileSystem(), path_);
  EXPECT_EQ(memo.ReadStored(v[1]), Pattern(100, 101));
  for (const auto& d : stored) EXPECT_EQ(memo.ReadStored(d), Pattern(d.length, static_cast<int>(d.length)));
}

TEST_F(MemoFileEditing, StaleOrForeignReferencesAreNotReleased) {
  const auto v = Build({100, 5000});
  const auto before = ReadWholeFile(path_);
  TMemoFileEditor editor(env::DefaultFileSystem(), path_);
  const TBlobDescriptor stale[] = {
      {0x1000, 63, 100, 9},
      {0x1000, 63, 99, 1},
      {0x1000, 5, 100, 1},
      {0x2000, 63, 100, 1},
      {0x9000, 0xFF, 1, 1},
      {0, 0, 5, 0},
      {},
      {0x1000, 0xFF, 100, 1},
  };
  for (const auto& d : stale) EXPECT_FALSE(editor.Release(d));
  editor.Close();
  EXPECT_EQ(ReadWholeFile(path_), before);
}

TEST_F(MemoFileEditing, MissingAndForeignFilesAreRefused) {
  try {
    TMemoFileEditor editor(env::DefaultFileSystem(), path_);
    FAIL() << "opened a missing file";
  } catch (const env::EDBEngineError& e) {
    EXPECT_EQ(e.Code(), kDbiErrBlobFileMissing);
  }
  test::WriteWholeFile(path_, std::vector<std::byte>(4096, std::byte{0x3D}));
  try {
    TMemoFileEditor editor(env::DefaultFileSystem(), path_);
    FAIL() << "opened a foreign file";
  } catch (const env::EDBEngineError& e) {
    EXPECT_EQ(e.Code(), kDbiErrMemoCorrupt);
  }
}

TEST_F(MemoFileEditing, ADamagedTailIsLeftAloneAndNewValuesGoAfterIt) {
  const auto v = Build({100, 5000});
  auto bytes = ReadWholeFile(path_);
  bytes.resize(bytes.size() + 5000, std::byte{0x99});  // garbage, not a whole unit
  test::WriteWholeFile(path_, bytes);
  TMemoFileEditor editor(env::DefaultFileSystem(), path_);
  const auto added = editor.Store(TBlobKind::kMemo, Pattern(50, 5), 0);
  EXPECT_EQ(added.blockOffset, 0x1000u);  // room in the walked part is used
  const auto after = editor.Store(TBlobKind::kMemo, Pattern(7000, 6), 0);
  EXPECT_EQ(after.blockOffset, 6u * 4096);  // past the garbage, on a unit
  EXPECT_FALSE(editor.Release({5u * 4096, 0xFF, 1, 1}));
  editor.Close();
  TMemoFile memo(env::DefaultFileSystem(), path_);
  EXPECT_EQ(memo.ReadStored(v[0]), Pattern(100, 100));
  EXPECT_EQ(memo.ReadStored(v[1]), Pattern(5000, 101));
  EXPECT_EQ(memo.ReadStored(added), Pattern(50, 5));
  EXPECT_EQ(memo.ReadStored(after), Pattern(7000, 6));
}

TEST_F(MemoFileEditing, ALongRunOfChangesKeepsEveryLiveValue) {
  Build({});
  std::mt19937 random(11);
  std::map<int, std::pair<TBlobDescriptor, std::size_t>> live;
  TMemoFileEditor editor(env::DefaultFileSystem(), path_);
  for (int step = 0; step < 3000; ++step) {
    if (!live.empty() && random() % 5 < 2) {
      auto it = live.begin();
      std::advance(it, random() % live.size());
      ASSERT_TRUE(editor.Release(it->second.first)) << step;
      live.erase(it);
      continue;
    }
    const std::size_t length = random() % 6 == 0 ? 2049 + random() % 15000 : 1 + random() % 900;
    live[step] = {editor.Store(TBlobKind::kMemo, Pattern(length, step), 0), length};
    if (step % 500 == 0) {
      ASSERT_EQ(Check(), TProblems{}) << step;
    }
  }
  editor.Close();
  ASSERT_EQ(Check(), TProblems{});
  TMemoFile memo(env::DefaultFileSystem(), path_);
  for (const auto& [seed, value] : live) ASSERT_EQ(memo.ReadStored(value.first), Pattern(value.second, seed));
}

TEST_F(MemoFileEditing, ValuesStoredOneAfterAnotherCostAFewCallsOfTheOs) {
  Build({});
  std::vector<std::pair<TBlobDescriptor, std::size_t>> stored;
  test::TFaultFileSystem counted;
  {
    TMemoFileEditor editor(counted, path_);
    for (std::size_t i = 0; i < 2000; ++i) {
      const std::size_t length = i % 4 == 0 ? 2049 + i * 7 % 9000 : 1 + i * 13 % 900;
      stored.push_back({editor.Store(TBlobKind::kMemo, Pattern(length, static_cast<int>(i)), 0), length});
    }
    editor.Close();
  }
  EXPECT_LT(counted.Calls(), 40);
  ASSERT_EQ(Check(), TProblems{});
  const long before = counted.Calls();
  TMemoFile memo(counted, path_);
  for (std::size_t i = 0; i < stored.size(); ++i) {
    ASSERT_EQ(memo.ReadStored(stored[i].first), Pattern(stored[i].second, static_cast<int>(i))) << i;
  }
  // The values of a shared block, and a one-unit block's header and value,
  // come from one read; and read in the file's order, from a few long reads.
  EXPECT_LT(counted.Calls() - before, static_cast<long>(stored.size()) / 10);
}

TEST_F(MemoFileEditing, ACrashAtAnyWriteLeavesASoundFileWithItsValues) {
  const auto v = Build({100, 200, 5000, 9000});
  const auto original = ReadWholeFile(path_);
  for (long nth = 1;; ++nth) {
    test::WriteWholeFile(path_, original);
    test::TFaultFileSystem faults;
    // Stored values are in the file once a call that writes them out
    // (a release, the close) has returned.
    std::vector<std::pair<TBlobDescriptor, int>> held;
    std::vector<std::pair<TBlobDescriptor, int>> stored;
    const auto written = [&] { stored.insert(stored.end(), held.begin(), held.end()), held.clear(); };
    bool released = false;
    faults.Arm(nth, test::TFault::kStop);
    try {
      TMemoFileEditor editor(faults, path_);
      held.push_back({editor.Store(TBlobKind::kMemo, Pattern(300, 1), 0), 1});
      held.push_back({editor.Store(TBlobKind::kMemo, Pattern(4000, 2), 0), 2});
      released = editor.Release(v[2]);
      written();
      held.push_back({editor.Store(TBlobKind::kMemo, Pattern(3000, 3), 0), 3});
      released = released && editor.Release(v[0]);
      written();
      held.push_back({editor.Store(TBlobKind::kMemo, Pattern(20, 4), 0), 4});
      editor.Close();
      written();
    } catch (const env::ERemdoError&) {
    }
    ASSERT_EQ(Check(false), TProblems{}) << "crash at " << faults.FailedCall();
    TMemoFile memo(env::DefaultFileSystem(), path_);
    EXPECT_EQ(memo.ReadStored(v[1]), Pattern(200, 101));
    EXPECT_EQ(memo.ReadStored(v[3]), Pattern(9000, 103));
    for (const auto& [d, seed] : stored) EXPECT_EQ(memo.ReadStored(d), Pattern(d.length, seed));
    if (!faults.Triggered()) {
      EXPECT_TRUE(released);
      EXPECT_EQ(Check(true), TProblems{});
      break;
    }
  }
}

}  // namespace
}  // namespace remdo::paradox
