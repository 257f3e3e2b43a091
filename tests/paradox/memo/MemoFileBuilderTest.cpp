#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "env/Errors.h"
#include "paradox/MemoCheck.h"
#include "paradox/codes/Coding.h"
#include "paradox/memo/MemoFile.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "support/FaultFileSystem.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

using test::ReadWholeFile;

std::vector<std::byte> Pattern(std::size_t length, int seed) {
  std::vector<std::byte> out(length);
  for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<std::byte>((i * 13 + seed) & 0xFF);
  return out;
}

unsigned At(const std::vector<std::byte>& f, std::size_t offset) { return std::to_integer<unsigned>(f[offset]); }

TEST(MemoFileBuilder, SharesSmallValuesAndGivesLargeOnesABlockOfTheirOwn) {
  test::TScratchFolder folder;
  const std::string path = folder / "T.MB";
  TMemoFileBuilder builder(env::DefaultFileSystem(), path);
  struct Step {
    TBlobKind kind;
    std::size_t length;
    TBlobDescriptor expected;
  };
  const Step steps[] = {
      {TBlobKind::kMemo, 100, {0x1000, 63, 100, 1}},  // chunks 21-27
      {TBlobKind::kGraphic, 3000, {0x2000, 0xFF, 3000, 1}},
      {TBlobKind::kMemo, 2048, {0x1000, 62, 2048, 1}},      // the largest shared value: chunks 28-155
      {TBlobKind::kMemo, 2049, {0x3000, 0xFF, 2049, 1}},    // the smallest single one
      {TBlobKind::kMemo, 1700, {0x4000, 63, 1700, 1}},      // 107 chunks do not fit the 100 left
      {TBlobKind::kBinary, 8000, {0x5000, 0xFF, 8000, 1}},  // two units
      {TBlobKind::kMemo, 5, {0, 0, 5, 0}},                  // fits the leader
      {TBlobKind::kMemo, 0, {}},
  };
  int seed = 0;
  for (const auto& s : steps) EXPECT_EQ(builder.Add(s.kind, Pattern(s.length, ++seed), 10), s.expected) << s.length;
  builder.Finish();

  const auto f = ReadWholeFile(path);
  ASSERT_EQ(f.size(), 7u * 4096);
  EXPECT_EQ(test::CheckMemoStructure(f), std::vector<std::string>{});
  // Header: counter 1; hints for both shared blocks, in file order.
  EXPECT_EQ(GetU16(&f[3]), 1);
  EXPECT_EQ(GetU32(&f[0x38]), 0x1002u);
  EXPECT_EQ(GetU16(&f[0x3C]), 100);
  EXPECT_EQ(GetU32(&f[0x3E]), 0x4002u);
  EXPECT_EQ(GetU16(&f[0x42]), 128);
  EXPECT_EQ(GetU32(&f[0x44]), 0u);
  // Entry 63 of the first shared block: chunk 21, 7 chunks, stamp 1, 4 bytes
  // in the last chunk.
  const std::size_t e63 = 0x1000 + 12 + 63 * 5;
  EXPECT_EQ(At(f, e63), 21u);
  EXPECT_EQ(At(f, e63 + 1), 7u);
  EXPECT_EQ(GetU16(&f[e63 + 2]), 1);
  EXPECT_EQ(At(f, e63 + 4), 4u);
  // The 8000-byte block: type 2, two units, its length and stamp.
  EXPECT_EQ(At(f, 0x5000), 2u);
  EXPECT_EQ(GetU16(&f[0x5001]), 2);
  EXPECT_EQ(GetU32(&f[0x5003]), 8000u);
  EXPECT_EQ(GetU16(&f[0x5007]), 1);

  TMemoFile memo(env::DefaultFileSystem(), path);
  seed = 0;
  for (const auto& s : steps) {
    ++seed;
    if (s.expected.blockOffset != 0) {
      EXPECT_EQ(memo.ReadStored(s.expected), Pattern(s.length, seed));
    }
  }
}

TEST(MemoFileBuilder, ASharedBlockHoldsAtMostSixtyFourValues) {
  test::TScratchFolder folder;
  TMemoFileBuilder builder(env::DefaultFileSystem(), folder / "T.MB");
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(builder.Add(TBlobKind::kMemo, Pattern(16, i), 0),
              (TBlobDescriptor{0x1000, static_cast<std::uint8_t>(63 - i), 16, 1}));
  }
  EXPECT_EQ(builder.Add(TBlobKind::kMemo, Pattern(1, 0), 0), (TBlobDescriptor{0x2000, 63, 1, 1}));
  builder.Finish();
  const auto f = ReadWholeFile(folder / "T.MB");
  EXPECT_EQ(test::CheckMemoStructure(f), std::vector<std::string>{});
  // The full block has free chunks but no free entry: no hint for it.
  EXPECT_EQ(GetU32(&f[0x38]), 0x2002u);
  EXPECT_EQ(GetU32(&f[0x3E]), 0u);
}

TEST(MemoFileBuilder, TheEmptyFileIsOneHeaderBlock) {
  test::TScratchFolder folder;
  CreateEmptyMemoFile(env::DefaultFileSystem(), folder / "E.MB");
  const auto f = ReadWholeFile(folder / "E.MB");
  ASSERT_EQ(f.size(), 4096u);
  EXPECT_EQ(test::CheckMemoStructure(f), std::vector<std::string>{});
  const unsigned char start[] = {0, 1, 0, 1, 0, 0x82, 0x73, 2, 0, 0x29, 0, 0, 0x10, 0, 0x10, 0, 0x10, 0x40, 0, 0, 8};
  for (std::size_t i = 0; i < sizeof start; ++i) EXPECT_EQ(At(f, i), start[i]) << i;
  for (std::size_t i = sizeof start; i < f.size(); ++i) {
    EXPECT_EQ(At(f, i), i == 0x29 ? 0xA1u : i == 0x2A ? 0x02u : 0u) << i;
  }
}

TEST(MemoFileBuilder, ManyValuesOfEveryKindAndSizeReadBack) {
  test::TScratchFolder folder;
  const std::string path = folder / "T.MB";
  std::mt19937 random(5);
  std::vector<std::vector<std::byte>> fields;
  std::vector<std::vector<std::byte>> values;
  const TBlobKind kinds[] = {TBlobKind::kMemo, TBlobKind::kBinary, TBlobKind::kFormattedMemo, TBlobKind::kOle,
                             TBlobKind::kGraphic};
  {
    TMemoFileBuilder builder(env::DefaultFileSystem(), path);
    for (int i = 0; i < 600; ++i) {
      const std::size_t length = random() % 4 == 0 ? random() % 20000 : random() % 300;
      const TBlobKind kind = kinds[random() % 5];
      values.push_back(Pattern(length, i));
      fields.emplace_back(10 + random() % 60);
      builder.AddToField(fields.back(), kind, values.back());
    }
    builder.Finish();
  }
  EXPECT_EQ(test::CheckMemoStructure(ReadWholeFile(path)), std::vector<std::string>{});
  TMemoFile memo(env::DefaultFileSystem(), path);
  for (std::size_t i = 0; i < fields.size(); ++i) ASSERT_EQ(memo.ReadField(fields[i]), values[i]) << i;
}

TEST(MemoFileBuilder, WriteFailuresAreThrown) {
  test::TScratchFolder folder;
  test::TFaultFileSystem faults;
  for (long nth = 1;; ++nth) {
    faults.Arm(nth, test::TFault::kFail);
    try {
      TMemoFileBuilder builder(faults, folder / "T.MB");
      (void)builder.Add(TBlobKind::kMemo, Pattern(100, 1), 10);
      (void)builder.Add(TBlobKind::kMemo, Pattern(9000, 1), 10);
      builder.Finish();
    } catch (const env::EFCreateError&) {
    } catch (const env::EWriteError&) {
    }
    if (!faults.Triggered()) break;
  }
  EXPECT_EQ(test::CheckMemoStructure(ReadWholeFile(folder / "T.MB")), std::vector<std::string>{});
}

}  // namespace
}  // namespace remdo::paradox
