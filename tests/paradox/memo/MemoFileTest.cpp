#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "env/Errors.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/memo/MemoFile.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "support/FaultFileSystem.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

using test::ReadWholeFile;
using test::WriteWholeFile;

std::vector<std::byte> Pattern(std::size_t length, int seed) {
  std::vector<std::byte> out(length);
  for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<std::byte>((i * 7 + seed) & 0xFF);
  return out;
}

// A memo file with a 100-byte value in a shared block at 0x1000 (entry 63)
// and a 5000-byte value with a block of its own at 0x2000 (two units).
class MemoFileRead : public ::testing::Test {
 protected:
  void SetUp() override {
    TMemoFileBuilder builder(env::DefaultFileSystem(), path_);
    small_ = builder.Add(TBlobKind::kMemo, Pattern(100, 1), 10);
    large_ = builder.Add(TBlobKind::kMemo, Pattern(5000, 2), 10);
    builder.Finish();
    ASSERT_EQ(small_, (TBlobDescriptor{0x1000, 63, 100, 1}));
    ASSERT_EQ(large_, (TBlobDescriptor{0x2000, 0xFF, 5000, 1}));
    bytes_ = ReadWholeFile(path_);
    ASSERT_EQ(bytes_.size(), 4u * 4096);
  }

  // Expects reading the descriptor to fail with the code and a message
  // that contains the fragment.
  void ExpectError(const TBlobDescriptor& d, std::uint16_t code, const std::string& fragment) {
    TMemoFile memo(env::DefaultFileSystem(), path_);
    try {
      (void)memo.ReadStored(d);
      ADD_FAILURE() << "no error for " << fragment;
    } catch (const env::EDBEngineError& e) {
      EXPECT_EQ(e.Code(), code) << e.what();
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(path_), std::string::npos) << e.what();
    }
  }

  void Damage(std::size_t offset, std::initializer_list<int> values) {
    auto bytes = bytes_;
    for (const int v : values) bytes[offset++] = static_cast<std::byte>(v);
    WriteWholeFile(path_, bytes);
  }

  test::TScratchFolder folder_;
  std::string path_ = folder_ / "T.MB";
  TBlobDescriptor small_, large_;
  std::vector<std::byte> bytes_;
};

TEST_F(MemoFileRead, ReadsSharedAndSingleValues) {
  TMemoFile memo(env::DefaultFileSystem(), path_);
  EXPECT_EQ(memo.ReadStored(small_), Pattern(100, 1));
  EXPECT_EQ(memo.ReadStored(large_), Pattern(5000, 2));
}

TEST_F(MemoFileRead, BadReferencesAreReportedWithTheirCode) {
  struct Case {
    TBlobDescriptor d;
    std::uint16_t code;
    const char* fragment;
  };
  const Case cases[] = {
      {{0x10000, 0xFF, 5000, 1}, kDbiErrInvalidBlobOffset, "beyond the end of the file"},
      {{0x1800, 0xFF, 5000, 1}, kDbiErrInvalidBlobOffset, "not the start of a memo block"},
      {{0x1000, 0x40, 100, 1}, kDbiErrInvalidBlobOffset, "entries run from 0 to 63"},
      {{0, 0xFF, 100, 1}, kDbiErrInvalidBlobOffset, "offset 0 is the header"},
      {{0x1000, 10, 100, 1}, kDbiErrInvalidBlobOffset, "entry 10 of the block at offset 0x1000 is not in use"},
      {{0x2000, 63, 100, 1}, kDbiErrMemoCorrupt, "is a single-value block, not a shared block"},
      {{0x1000, 0xFF, 100, 1}, kDbiErrMemoCorrupt, "is a shared block, not a single-value block"},
      {{0x1000, 63, 101, 1}, kDbiErrMemoCorrupt, "holds 100 bytes, but the record's reference says 101"},
      {{0x2000, 0xFF, 4999, 1}, kDbiErrMemoCorrupt, "holds 5000 bytes"},
      {{0x1000, 63, 100, 2}, kDbiErrMemoCorrupt, "modification number 1"},
      {{0x2000, 0xFF, 5000, 7}, kDbiErrMemoCorrupt, "(the reference is stale)"},
      {{}, kDbiErrInvalidBlobOffset, "a blank reference"},
  };
  for (const auto& c : cases) ExpectError(c.d, c.code, c.fragment);
}

TEST_F(MemoFileRead, DamagedBlocksAreReportedNotReadOutsideTheFile) {
  struct Case {
    std::size_t offset;
    std::initializer_list<int> bytes;
    const TBlobDescriptor* d;
    std::uint16_t code;
    const char* fragment;
  };
  const Case cases[] = {
      // The single block freed, or of a type that does not exist.
      {0x2000, {4}, &large_, kDbiErrMemoCorrupt, "is a free block"},
      {0x2000, {9}, &large_, kDbiErrMemoCorrupt, "unknown type 9"},
      // Its unit count too small for its length, or zero.
      {0x2001, {1, 0}, &large_, kDbiErrMemoCorrupt, "claims 5000 bytes in 1 units"},
      {0x2001, {0, 0}, &large_, kDbiErrMemoCorrupt, "in 0 units"},
      // A length of 200 000 000 bytes in 65535 units: consistent, but past
      // the end of the file; nothing of that size is allocated.
      {0x2001, {0xFF, 0xFF, 0x00, 0xC2, 0xEB, 0x0B}, nullptr, kDbiErrMemoCorrupt, "runs past the end"},
      // Entry 63 pointing outside the data area.
      {0x1000 + 12 + 63 * 5, {250, 7}, &small_, kDbiErrMemoCorrupt, "outside the block's data area"},
      {0x1000 + 12 + 63 * 5, {10}, &small_, kDbiErrMemoCorrupt, "outside the block's data area"},
      {0x1000 + 12 + 63 * 5 + 4, {17}, &small_, kDbiErrMemoCorrupt, "outside the block's data area"},
      // The shared block overwritten by a single block header.
      {0x1000, {2}, &small_, kDbiErrMemoCorrupt, "not a shared block"},
  };
  const TBlobDescriptor huge{0x2000, 0xFF, 200000000, 1};
  for (const auto& c : cases) {
    Damage(c.offset, c.bytes);
    ExpectError(c.d ? *c.d : huge, c.code, c.fragment);
  }
}

TEST_F(MemoFileRead, MissingShortOrForeignFilesAreReported) {
  ASSERT_TRUE(env::DefaultFileSystem().Remove(path_));
  ExpectError(small_, kDbiErrBlobFileMissing, "is missing");

  WriteWholeFile(path_, std::vector<std::byte>(bytes_.begin(), bytes_.begin() + 4000));
  ExpectError(small_, kDbiErrMemoCorrupt, "shorter than its 4096-byte header");

  Damage(0, {0x3D});  // an encrypted file starts with ciphertext
  ExpectError(small_, kDbiErrMemoCorrupt, "damaged or encrypted");
}

TEST_F(MemoFileRead, ATruncatedFileStillGivesTheValuesItHolds) {
  // Cut in the middle of the single block: the size is no multiple of 4096.
  WriteWholeFile(path_, std::vector<std::byte>(bytes_.begin(), bytes_.begin() + 0x2000 + 3000));
  TMemoFile memo(env::DefaultFileSystem(), path_);
  EXPECT_EQ(memo.ReadStored(small_), Pattern(100, 1));
  ExpectError(large_, kDbiErrMemoCorrupt, "runs past the end of the file (11192 bytes, not a multiple of 4096)");
  // Cut inside the shared block's entry table.
  WriteWholeFile(path_, std::vector<std::byte>(bytes_.begin(), bytes_.begin() + 0x1000 + 100));
  ExpectError(small_, kDbiErrMemoCorrupt, "runs past the end");
}

TEST_F(MemoFileRead, FieldsReadFromTheRecordNeedNoFile) {
  ASSERT_TRUE(env::DefaultFileSystem().Remove(path_));
  TMemoFile memo(env::DefaultFileSystem(), path_);
  std::vector<std::byte> field(14);
  EXPECT_TRUE(memo.ReadField(field).empty());  // blank
  EncodeBlobField(field, TBlobKind::kMemo, test::Bytes("abc"), {0, 0, 3, 0});
  EXPECT_EQ(memo.ReadField(field), test::Bytes("abc"));
  // A stored value needs the file; its absence stops only this value.
  EncodeBlobField(field, TBlobKind::kMemo, Pattern(100, 1), small_);
  try {
    (void)memo.ReadField(field);
    FAIL() << "no error";
  } catch (const env::EDBEngineError& e) {
    EXPECT_EQ(e.Code(), kDbiErrBlobFileMissing);
  }
  // A leader-only reference longer than the leader.
  EncodeBlobField(field, TBlobKind::kMemo, test::Bytes("abc"), {0, 0, 5, 0});
  try {
    (void)memo.ReadField(field);
    FAIL() << "no error";
  } catch (const env::EDBEngineError& e) {
    EXPECT_EQ(e.Code(), kDbiErrInvalidBlobOffset);
    EXPECT_NE(std::string(e.what()).find("leader holds only 4"), std::string::npos) << e.what();
  }
}

TEST_F(MemoFileRead, FailuresOfTheOperatingSystemPassThrough) {
  test::TFaultFileSystem faults;
  for (long nth = 1;; ++nth) {
    TMemoFile memo(faults, path_);
    faults.Arm(nth, test::TFault::kFail);
    try {
      EXPECT_EQ(memo.ReadStored(large_), Pattern(5000, 2));
    } catch (const env::EReadError&) {
      EXPECT_TRUE(faults.Triggered());
    } catch (const env::EFOpenError&) {
      EXPECT_TRUE(faults.Triggered());
    }
    if (!faults.Triggered()) break;
  }
}

}  // namespace
}  // namespace remdo::paradox
