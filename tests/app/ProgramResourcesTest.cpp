// The resources of the built Windows program, read back from remdo.exe with
// the program's own PE reader: the version Explorer shows is the program's
// version, and the manifest asks for what the program relies on. Built in
// the Windows test program only, which knows where remdo.exe is.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <regex>
#include <string>

#include "app/Version.h"
#include "env/PeVersion.h"
#include "support/TestSupport.h"

#ifdef REMDO_PROGRAM_FILE

namespace remdo::app {
namespace {

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kRtManifest = 24;

std::string Text(const std::vector<std::byte>& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A text as the version resource's string table holds it (UTF-16).
std::string Utf16(std::string_view text) {
  std::string wide;
  for (const char c : text) wide += std::string{c, '\0'};
  return wide;
}

TEST(ProgramResources, TheVersionResourceIsTheProgramsVersion) {
  const auto image = test::ReadWholeFile(REMDO_PROGRAM_FILE);
  const auto version = env::ParseFileVersion(image);
  ASSERT_TRUE(version);
  std::smatch parts;
  const std::string program(kProgramVersion);
  ASSERT_TRUE(std::regex_match(program, parts, std::regex(R"((\d+)\.(\d+)\.(\d+))")));
  EXPECT_EQ(version->Major(), std::stoul(parts[1]));
  EXPECT_EQ(version->Minor(), std::stoul(parts[2]));
  EXPECT_EQ(version->Release(), std::stoul(parts[3]));
  EXPECT_EQ(version->Build(), 0u);
  EXPECT_EQ(version->productVersionMS, version->fileVersionMS);
  EXPECT_EQ(version->productVersionLS, version->fileVersionLS);
  // The texts Explorer shows beside the numbers.
  const auto info = env::ParseResource(image, kRtVersion, 1);
  ASSERT_TRUE(info);
  const std::string strings = Text(*info);
  for (const std::string_view value : {std::string_view("FENRO Remdo"), std::string_view("remdo.exe"), kProgramVersion}) {
    EXPECT_NE(strings.find(Utf16(value)), std::string::npos) << value;
  }
}

TEST(ProgramResources, TheManifestAsksForCommonControlsAndDpiAwarenessButNoExecutionLevel) {
  const auto manifest = env::ParseResource(test::ReadWholeFile(REMDO_PROGRAM_FILE), kRtManifest, 1);
  ASSERT_TRUE(manifest);
  // The comments explain what is left out; only the elements count.
  const std::string elements = std::regex_replace(Text(*manifest), std::regex("<!--[^]*?-->"), "");
  EXPECT_TRUE(std::regex_search(elements, std::regex(R"(name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0")")))
      << elements;
  EXPECT_TRUE(std::regex_search(elements, std::regex(R"(<dpiAware[^>]*>\s*true\s*</dpiAware>)"))) << elements;
  EXPECT_TRUE(std::regex_search(elements, std::regex(R"(<dpiAwareness[^>]*>\s*system\s*</dpiAwareness>)")));
  // Windows 7 is the oldest system the program declares.
  EXPECT_NE(elements.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos);
  EXPECT_EQ(elements.find("requestedExecutionLevel"), std::string::npos);
  EXPECT_EQ(elements.find("requestedPrivileges"), std::string::npos);
}

std::uint32_t Little(const std::vector<std::byte>& image, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | std::to_integer<std::uint32_t>(image.at(at + i));
  return value;
}

// The program is 32-bit like the catalogue and its engine, and may use up to
// 4 GB of address space on 64-bit Windows.
TEST(ProgramResources, TheProgramIs32BitAndLargeAddressAware) {
  if (sizeof(void*) != 4) {
    GTEST_SKIP() << "a 64-bit test build, made because this host cannot execute 32-bit code; the package test "
                    "checks the shipped 32-bit program's header";
  }
  const auto image = test::ReadWholeFile(REMDO_PROGRAM_FILE);
  const std::size_t pe = Little(image, 0x3C, 4);
  ASSERT_EQ(Little(image, pe, 4), 0x4550u);  // "PE\0\0"
  EXPECT_EQ(Little(image, pe + 4, 2), 0x14Cu);   // i386
  EXPECT_EQ(Little(image, pe + 24, 2), 0x10Bu);  // PE32 optional header
  EXPECT_NE(Little(image, pe + 22, 2) & 0x20u, 0u) << "not large-address-aware";
}

}  // namespace
}  // namespace remdo::app

#endif  // REMDO_PROGRAM_FILE
