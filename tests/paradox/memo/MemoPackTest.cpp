#include <gtest/gtest.h>

#include <vector>

#include "paradox/MemoCheck.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/memo/MemoFile.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "paradox/memo/MemoPack.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

std::vector<std::byte> Pattern(std::size_t length, int seed) {
  std::vector<std::byte> out(length);
  for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<std::byte>('a' + (i + seed) % 26);
  return out;
}

TEST(MemoPack, KeepsReferencedValuesAndSalvagesTheLostOnes) {
  test::TScratchFolder folder;
  const std::string oldPath = folder / "OLD.MB";
  // Fields of 14 bytes (leader 4): a stored memo, a stored graphic, and the
  // same shared value referred to twice.
  std::vector<std::vector<std::byte>> fields(8, std::vector<std::byte>(14));
  const auto memo = Pattern(300, 1);
  auto graphic = Pattern(5000, 2);
  {
    TMemoFileBuilder builder(env::DefaultFileSystem(), oldPath);
    (void)builder.Add(TBlobKind::kMemo, Pattern(700, 9), 4);  // referred to by no field: dropped
    builder.AddToField(fields[0], TBlobKind::kMemo, memo);
    builder.AddToField(fields[1], TBlobKind::kGraphic, graphic);
    builder.AddToField(fields[2], TBlobKind::kMemo, test::Bytes("abc"));  // leader-only
    builder.Finish();
  }
  fields[3] = fields[0];  // shared reference
  fields[4] = fields[0];
  TBlobDescriptor{0x1000, 40, 300, 1}.EncodeTo(fields[4].data() + 4);  // unused entry
  fields[5] = fields[1];
  TBlobDescriptor{0x2000, 0xFF, 5000, 9}.EncodeTo(fields[5].data() + 4);  // stale stamp
  // fields[6] blank; fields[7] a leader-only reference longer than its leader.
  fields[7] = fields[2];
  TBlobDescriptor{0, 0, 9, 0}.EncodeTo(fields[7].data() + 4);
  const TBlobKind kinds[] = {TBlobKind::kMemo, TBlobKind::kGraphic, TBlobKind::kMemo, TBlobKind::kMemo,
                             TBlobKind::kMemo, TBlobKind::kGraphic, TBlobKind::kMemo, TBlobKind::kMemo};
  std::vector<TBlobFieldRef> refs;
  for (std::size_t i = 0; i < fields.size(); ++i) refs.push_back({kinds[i], fields[i]});

  const auto failures = PackMemoFile(env::DefaultFileSystem(), oldPath, folder / "NEW.MB", refs);
  ASSERT_EQ(failures.size(), 3u);
  EXPECT_EQ(failures[0].fieldIndex, 4u);
  EXPECT_EQ(failures[0].code, kDbiErrInvalidBlobOffset);
  EXPECT_EQ(failures[1].fieldIndex, 5u);
  EXPECT_EQ(failures[1].code, kDbiErrMemoCorrupt);
  EXPECT_EQ(failures[2].fieldIndex, 7u);

  EXPECT_EQ(test::CheckMemoStructure(test::ReadWholeFile(folder / "NEW.MB")), std::vector<std::string>{});
  TMemoFile packed(env::DefaultFileSystem(), folder / "NEW.MB");
  EXPECT_EQ(packed.ReadField(fields[0]), memo);
  EXPECT_EQ(packed.ReadField(fields[1]), graphic);
  EXPECT_EQ(packed.ReadField(fields[2]), test::Bytes("abc"));
  EXPECT_EQ(packed.ReadField(fields[3]), memo);
  EXPECT_NE(DescriptorOfField(fields[3]), DescriptorOfField(fields[0]));  // a copy each
  // The lost memos keep the four bytes their leader held; the lost graphic
  // becomes blank.
  EXPECT_EQ(packed.ReadField(fields[4]), std::vector<std::byte>(memo.begin(), memo.begin() + 4));
  EXPECT_EQ(packed.ReadField(fields[7]), test::Bytes(std::string_view("abc\0", 4)));
  EXPECT_EQ(fields[5], std::vector<std::byte>(14));
  EXPECT_TRUE(packed.ReadField(fields[6]).empty());
}

TEST(MemoPack, AMissingMemoFileLosesOnlyTheStoredValues) {
  test::TScratchFolder folder;
  std::vector<std::vector<std::byte>> fields(2, std::vector<std::byte>(14));
  EncodeBlobField(fields[0], TBlobKind::kMemo, Pattern(300, 1), {0x1000, 63, 300, 1});
  EncodeBlobField(fields[1], TBlobKind::kMemo, test::Bytes("ok"), {0, 0, 2, 0});
  std::vector<TBlobFieldRef> refs{{TBlobKind::kMemo, fields[0]}, {TBlobKind::kMemo, fields[1]}};
  const auto failures = PackMemoFile(env::DefaultFileSystem(), folder / "GONE.MB", folder / "NEW.MB", refs);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].code, kDbiErrBlobFileMissing);
  TMemoFile packed(env::DefaultFileSystem(), folder / "NEW.MB");
  EXPECT_EQ(packed.ReadField(fields[0]), Pattern(4, 1));
  EXPECT_EQ(packed.ReadField(fields[1]), test::Bytes("ok"));
  EXPECT_EQ(test::ReadWholeFile(folder / "NEW.MB").size(), 4096u);
}

}  // namespace
}  // namespace remdo::paradox
