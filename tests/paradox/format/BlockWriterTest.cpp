// The block writer: every block lands where its number says, whether full
// buffers are written on this thread or on another, and a failed write is
// reported whichever buffer it was.
#include "paradox/format/BlockWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "env/Errors.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

// A real file whose failAt-th write fails (0: none), as on a full disk.
class TFailingFile final : public env::TFile {
 public:
  TFailingFile(std::unique_ptr<env::TFile> file, int failAt, bool anyThread)
      : file_(std::move(file)), failAt_(failAt), anyThread_(anyThread) {}
  const std::string& Path() const override { return file_->Path(); }
  std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override { return file_->ReadAt(offset, out); }
  void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override {
    if (++writes_ == failAt_) throw env::EWriteError("Cannot write file " + Path() + ". The disk is full.");
    file_->WriteAt(offset, data);
  }
  std::uint64_t Size() override { return file_->Size(); }
  void Truncate(std::uint64_t size) override { file_->Truncate(size); }
  void Flush() override { file_->Flush(); }
  void Close() override { file_->Close(); }
  bool WritesOnAnyThread() const override { return anyThread_; }

 private:
  std::unique_ptr<env::TFile> file_;
  std::atomic<int> writes_{0};
  const int failAt_;
  const bool anyThread_;
};

struct TWriteCase {
  bool anyThread;
  int failAt;  // 0: every write succeeds
};

class BlockWriterTest : public testing::TestWithParam<TWriteCase> {};

// 3,000 blocks of 4 KB fill the largest buffer twice over; the last write
// is Finish's own.
TEST_P(BlockWriterTest, WritesEveryBlockInPlaceOrReportsTheFailedWrite) {
  constexpr std::uint32_t kHeaderSize = 2048;
  constexpr std::uint32_t kBlockSize = 4096;
  constexpr std::uint32_t kBlocks = 3000;
  test::TScratchFolder folder;
  TFailingFile file(env::RealFileSystem().Open(folder / "T.db", env::TOpenMode::kCreate), GetParam().failAt,
                    GetParam().anyThread);
  auto writeAll = [&] {
    TBlockWriter writer(file, kHeaderSize, kBlockSize);
    for (std::uint32_t number = 1; number <= kBlocks; ++number) {
      std::memcpy(writer.NewBlock(), &number, sizeof number);
      if (std::byte* previous = writer.Previous()) std::memcpy(previous + 4, &number, sizeof number);
    }
    writer.Finish();
  };
  if (GetParam().failAt != 0) {
    EXPECT_THROW(writeAll(), env::EWriteError);
    return;
  }
  writeAll();
  file.Close();
  const std::vector<std::byte> bytes = test::ReadWholeFile(folder / "T.db");
  ASSERT_EQ(bytes.size(), kHeaderSize + std::size_t{kBlocks} * kBlockSize);
  for (std::uint32_t number = 1; number <= kBlocks; ++number) {
    std::uint32_t stamp = 0;
    std::uint32_t next = 0;
    std::memcpy(&stamp, bytes.data() + kHeaderSize + std::size_t{number - 1} * kBlockSize, sizeof stamp);
    std::memcpy(&next, bytes.data() + kHeaderSize + std::size_t{number - 1} * kBlockSize + 4, sizeof next);
    ASSERT_EQ(stamp, number);
    ASSERT_EQ(next, number < kBlocks ? number + 1 : 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Writes, BlockWriterTest,
                         testing::Values(TWriteCase{false, 0}, TWriteCase{true, 0}, TWriteCase{false, 2},
                                         TWriteCase{true, 1}, TWriteCase{true, 2}, TWriteCase{true, 3}));

}  // namespace
}  // namespace remdo::paradox
