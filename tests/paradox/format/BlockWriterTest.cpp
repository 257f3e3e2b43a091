// The block writer: every block lands where its number says when full
// buffers go out on another thread, and a failed write there is reported.
#include "paradox/format/BlockWriter.h"

#include <gtest/gtest.h>

#include <cstring>

#include "env/Errors.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

// 3,000 blocks of 4 KB fill the buffer eleven times over. A file opened
// for reading fails every write.
TEST(BlockWriter, WritesEveryBlockInPlaceOrReportsTheFailedWrite) {
  constexpr std::uint32_t kHeaderSize = 2048;
  constexpr std::uint32_t kBlockSize = 4096;
  constexpr std::uint32_t kBlocks = 3000;
  test::TScratchFolder folder;
  const std::string path = folder / "T.db";
  env::RealFileSystem().Open(path, env::TOpenMode::kCreate)->Close();
  for (const env::TOpenMode mode : {env::TOpenMode::kRead, env::TOpenMode::kReadWrite}) {
    const auto file = env::RealFileSystem().Open(path, mode);
    auto writeAll = [&] {
      TBlockWriter writer(*file, kHeaderSize, kBlockSize);
      for (std::uint32_t number = 1; number <= kBlocks; ++number) {
        std::memcpy(writer.NewBlock(), &number, sizeof number);
        if (std::byte* previous = writer.Previous()) std::memcpy(previous + 4, &number, sizeof number);
      }
      writer.Finish();
    };
    if (mode == env::TOpenMode::kRead) {
      EXPECT_THROW(writeAll(), env::EWriteError);
      continue;
    }
    writeAll();
    file->Close();
    const std::vector<std::byte> bytes = test::ReadWholeFile(path);
    ASSERT_EQ(bytes.size(), kHeaderSize + std::size_t{kBlocks} * kBlockSize);
    for (std::uint32_t number = 1; number <= kBlocks; ++number) {
      std::uint32_t stampAndNext[2];
      std::memcpy(stampAndNext, bytes.data() + kHeaderSize + std::size_t{number - 1} * kBlockSize, 8);
      ASSERT_EQ(stampAndNext[0], number);
      ASSERT_EQ(stampAndNext[1], number < kBlocks ? number + 1 : 0);
    }
  }
}

}  // namespace
}  // namespace remdo::paradox
