// The copies remdo-table makes of the sample tables, read back by pxlib (an
// independent Paradox reader): the same records as our chain walk of the
// copy, and a primary index pxlib accepts. pxlib is never given a memo file.
#define REMDO_HAVE_PXLIB 1  // this test program links pxlib

#include <gtest/gtest.h>

#include <sstream>

#include "env/Path.h"
#include "paradox/PxlibReader.h"
#include "paradox/index/KeyOrder.h"
#include "remdo-table/RemdoTable.h"
#include "support/TestSupport.h"

namespace remdo::tools {
namespace {

TEST(CopyPxlib, PxlibReadsEveryCopyOfASampleTable) {
  REMDO_SAMPLES_OR_SKIP(samples);
  int read = 0;
  for (const std::string& path : test::FilesBelow(samples, {".db"})) {
    const auto original = paradox::testing::ReadTableFile(path);
    const auto& header = original.header;
    const auto keys =
        std::span<const paradox::THeaderField>(header.fields).first(static_cast<std::size_t>(header.keyFieldCount));
    if (header.IsEncrypted() || paradox::NeedsUnknownOrder(keys, paradox::KeyCollationOf(header))) continue;
    SCOPED_TRACE(path);
    test::TScratchFolder folder;
    const std::string target = folder / std::string(env::NamePart(path));
    std::ostringstream out;
    std::ostringstream err;
    (void)RunRemdoTable({"copy", path, target}, out, err);
    const auto ours = paradox::testing::ReadTableFile(target);
    const std::string index =
        header.keyFieldCount > 0 ? std::string(env::ChangeExtension(target, ".PX")) : std::string();
    const auto pxlib = paradox::testing::ReadWithPxlib(target, index);
    ASSERT_TRUE(pxlib.has_value());
    EXPECT_EQ(pxlib->records, ours.records);
    EXPECT_EQ(pxlib->records.size(), original.records.size());
    if (!index.empty() && !ours.records.empty()) {
      EXPECT_TRUE(pxlib->indexAccepted);
    }
    ++read;
  }
  EXPECT_GE(read, 60);
}

}  // namespace
}  // namespace remdo::tools
