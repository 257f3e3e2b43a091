// The block writer: every block lands where its number says when full
// buffers go out on another thread, and a failed write there is reported.
#include "paradox/format/BlockWriter.h"

#include <gtest/gtest.h>

#include <cstring>

#include "env/Errors.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

// 3,000 blocks of 4 KB, each holding its number and its successor's; a file
// opened for reading refuses every write.
TEST(BlockWriter, WritesEveryBlockInPlaceOrReportsTheFailedWrite) {
  constexpr std::uint32_t kHeader = 2048, kBlock = 4096, kBlocks = 3000;
  test::TScratchFolder folder;
  env::RealFileSystem().Open(folder / "T.db", env::TOpenMode::kCreate)->Close();
  for (const env::TOpenMode mode : {env::TOpenMode::kRead, env::TOpenMode::kReadWrite}) {
    const auto file = env::RealFileSystem().Open(folder / "T.db", mode);
    auto writeAll = [&] {
      TBlockWriter writer(*file, kHeader, kBlock);
      for (std::uint32_t number = 1; number <= kBlocks; ++number) {
        std::memcpy(writer.NewBlock(), &number, 4);
        if (std::byte* previous = writer.Previous()) std::memcpy(previous + 4, &number, 4);
      }
      writer.Finish();
    };
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

}  // namespace
}  // namespace remdo::paradox
