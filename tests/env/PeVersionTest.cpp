#include <gtest/gtest.h>

#include "env/PeImage.h"
#include "env/PeVersion.h"
#include "env/SystemFacts.h"
#include "env/SystemInfo.h"
#include "support/TestSupport.h"

namespace remdo::env {
namespace {

using test::BuildPe;
using test::TPeOptions;

std::optional<std::array<std::uint32_t, 4>> Numbers(const std::vector<std::byte>& image) {
  const auto v = ParseFileVersion(image);
  if (!v) return std::nullopt;
  return std::array<std::uint32_t, 4>{v->Major(), v->Minor(), v->Release(), v->Build()};
}

TEST(PeVersion, ReadsTheFixedFileVersionOfBothKinds) {
  for (const bool plus : {false, true}) {
    TPeOptions options;
    options.pe32Plus = plus;
    options.version = {4, 51, 7, 65535};
    EXPECT_EQ(Numbers(BuildPe(options)), (std::array<std::uint32_t, 4>{4, 51, 7, 65535})) << plus;
  }
}

TEST(PeVersion, NoVersionWithoutTheResourceOrItsValue) {
  TPeOptions icon;
  icon.resourceType = 3;  // RT_ICON only
  EXPECT_EQ(Numbers(BuildPe(icon)), std::nullopt);
  TPeOptions empty;
  empty.fixedInfo = false;
  EXPECT_EQ(Numbers(BuildPe(empty)), std::nullopt);
  auto badSignature = BuildPe();
  badSignature[test::kVersionInfoAt + 40] = std::byte{0};
  EXPECT_EQ(Numbers(badSignature), std::nullopt);
  auto badKey = BuildPe();
  badKey[test::kVersionInfoAt + 6] = std::byte{'X'};
  EXPECT_EQ(Numbers(badKey), std::nullopt);
}

TEST(PeVersion, FindsOtherResourcesByTypeAndId) {
  TPeOptions manifest;
  manifest.resourceType = 24;  // RT_MANIFEST; the built image's id is 1
  const auto image = BuildPe(manifest);
  const auto at = image.begin() + static_cast<std::ptrdiff_t>(test::kVersionInfoAt);
  const std::vector<std::byte> data(at, at + static_cast<std::ptrdiff_t>(test::kVersionInfoSize));
  struct TCase {
    std::uint32_t type;
    std::uint32_t id;
    bool found;
  };
  for (const TCase& c : {TCase{24, 1, true}, TCase{24, 2, false}, TCase{16, 1, false}, TCase{3, 1, false}}) {
    const auto found = ParseResource(image, c.type, c.id);
    EXPECT_EQ(found.has_value(), c.found) << c.type << " " << c.id;
    if (found) EXPECT_EQ(*found, data);
  }
  auto cut = image;
  cut.resize(test::kVersionInfoAt + test::kVersionInfoSize - 1);
  EXPECT_EQ(ParseResource(cut, 24, 1), std::nullopt);
}

TEST(PeVersion, FilesThatAreNoProgramsHaveNoVersion) {
  for (const std::string_view text : {std::string_view(""), std::string_view("MZ"),
                                      std::string_view("\x7F"
                                                       "ELF\x02\x01\x01"),
                                      std::string_view("[FENRO]\r\n")}) {
    EXPECT_EQ(ParseFileVersion(test::Bytes(text)), std::nullopt);
  }
}

TEST(PeVersion, TruncatedFilesHaveNoVersion) {
  const auto whole = BuildPe();
  for (std::size_t size = 0; size < test::kVersionInfoAt + 92; size += 7) {
    const std::vector<std::byte> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_EQ(ParseFileVersion(cut), std::nullopt) << size;
  }
}

// Every single damaged byte is read safely: the answer is no version or a
// version, never a crash or a read outside the file.
TEST(PeVersion, DamagedBytesAreReadSafely) {
  const auto whole = BuildPe();
  int found = 0;
  for (std::size_t at = 0; at < whole.size(); ++at) {
    for (const std::byte value : {std::byte{0x00}, std::byte{0xFF}, std::byte{0x80}}) {
      auto damaged = whole;
      damaged[at] = value;
      if (ParseFileVersion(damaged)) ++found;
    }
  }
  EXPECT_GT(found, 0);
}

TEST(PeVersion, ReadsAFileAndSurvivesMissingOnes) {
  test::TScratchFolder dir;
  test::WriteWholeFile(dir / "IDAPI32.DLL", BuildPe());
  const auto v = ReadFileVersion(RealFileSystem(), dir / "IDAPI32.DLL");
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->fileVersionMS, 0x00050002u);
  EXPECT_EQ(v->fileVersionLS, 0x00000002u);
  EXPECT_EQ(ReadFileVersion(RealFileSystem(), dir / "none.dll"), std::nullopt);
  EXPECT_EQ(ReadFileVersion(RealFileSystem(), dir.Path()), std::nullopt);
}

// Real files: the running test program (a PE on Windows, an ELF file on
// Linux) is read without harm; Wine's kernel32 carries a version.
TEST(PeVersion, RealFiles) {
  (void)ReadFileVersion(RealFileSystem(), RealSystemFacts().ProgramPath());
  const std::string windows = RealSystemFacts().SpecialFolder(TSpecialFolder::kWindows);
  for (const std::string& dll : {windows + "system32\\kernel32.dll",
                                 std::string("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/kernel32.dll")}) {
    if (windows.empty() && dll[0] != '/') continue;
    if (!RealFileSystem().FileExists(dll)) continue;
    const auto v = ReadFileVersion(RealFileSystem(), dll);
    ASSERT_TRUE(v.has_value()) << dll;
    EXPECT_GE(v->Major(), 5u) << dll;
  }
}

}  // namespace
}  // namespace remdo::env
