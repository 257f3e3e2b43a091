// The block writer: every block lands where its number says when full
// buffers go out on another thread, and a failed write there is reported.
#include "paradox/format/BlockWriter.h"

#include <gtest/gtest.h>

#include <cstring>

#include "env/Errors.h"
#include "support/FaultFileSystem.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

constexpr std::uint32_t kHeader = 2048, kBlock = 4096, kBlocks = 3000;

// 3,000 blocks of 4 KB, each holding its number and its successor's.
void WriteBlocks(env::TFile& file) {
  TBlockWriter writer(file, kHeader, kBlock);
  for (std::uint32_t number = 1; number <= kBlocks; ++number) {
    std::memcpy(writer.NewBlock(), &number, 4);
    if (std::byte* previous = writer.Previous()) std::memcpy(previous + 4, &number, 4);
  }
  writer.Finish();
}

// A file opened for reading refuses every write.
TEST(BlockWriter, WritesEveryBlockInPlaceOrReportsTheFailedWrite) {
  test::TScratchFolder folder;
  env::RealFileSystem().Open(folder / "T.db", env::TOpenMode::kCreate)->Close();
  for (const env::TOpenMode mode : {env::TOpenMode::kRead, env::TOpenMode::kReadWrite}) {
    const auto file = env::RealFileSystem().Open(folder / "T.db", mode);
    const auto writeAll = [&] { WriteBlocks(*file); };
    if (mode == env::TOpenMode::kRead) {
      EXPECT_THROW(writeAll(), env::EWriteError);
      continue;
    }
    writeAll();
    file->Close();
    const std::vector<std::byte> bytes = test::ReadWholeFile(folder / "T.db");
    ASSERT_EQ(bytes.size(), kHeader + std::size_t{kBlocks} * kBlock);
    for (std::uint32_t number = 1; number <= kBlocks; ++number) {
      std::uint32_t stampAndNext[2];
      std::memcpy(stampAndNext, bytes.data() + kHeader + std::size_t{number - 1} * kBlock, 8);
      ASSERT_EQ(stampAndNext[0], number);
      ASSERT_EQ(stampAndNext[1], number < kBlocks ? number + 1 : 0);
    }
  }
}

// Every write but Finish's own goes out on the write thread; whichever of
// them fails, once or for good (a crash), the writer throws and never
// returns as if all were written.
TEST(BlockWriter, ReportsEveryFailedWriteOnItsThread) {
  test::TScratchFolder folder;
  test::TFaultFileSystem faults;
  faults.WriteOnAnyThread(true);
  const auto file = faults.Open(folder / "T.db", env::TOpenMode::kCreate);
  ASSERT_TRUE(file->WritesOnAnyThread());
  faults.Arm(0, test::TFault::kFail);
  WriteBlocks(*file);
  const long writes = faults.Calls();
  ASSERT_GT(writes, 3);
  for (const test::TFault fault : {test::TFault::kFail, test::TFault::kStop}) {
    for (long nth = 1; nth < writes; ++nth) {
      faults.Arm(nth, fault);
      EXPECT_THROW(WriteBlocks(*file), env::EWriteError) << "write " << nth;
      EXPECT_TRUE(faults.Triggered());
    }
  }
}

}  // namespace
}  // namespace remdo::paradox
