// A small PE file built in memory for the version-resource tests: a DOS
// header, a PE32 or PE32+ header, a .text section and a .rsrc section with
// one resource tree type -> name -> language -> VS_VERSIONINFO.
#ifndef REMDO_TESTS_ENV_PEIMAGE_H_
#define REMDO_TESTS_ENV_PEIMAGE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace remdo::test {

struct TPeOptions {
  bool pe32Plus = false;
  std::array<std::uint16_t, 4> version{5, 2, 0, 2};
  std::uint32_t resourceType = 16;  // RT_VERSION
  bool fixedInfo = true;            // false: a VS_VERSIONINFO without its value
};

// Offsets in the built file, for tests that damage it.
constexpr std::size_t kPeHeaderAt = 0x80;
constexpr std::size_t kResourceAt = 0x600;
constexpr std::size_t kVersionInfoAt = kResourceAt + 0x58;
constexpr std::size_t kVersionInfoSize = 92;
constexpr std::size_t kPeSize = 0x800;

class TPeWriter {
 public:
  explicit TPeWriter(std::size_t size) : bytes_(size) {}
  void U16(std::size_t at, std::uint32_t v) {
    bytes_[at] = static_cast<std::byte>(v & 0xFF);
    bytes_[at + 1] = static_cast<std::byte>((v >> 8) & 0xFF);
  }
  void U32(std::size_t at, std::uint32_t v) {
    U16(at, v & 0xFFFF);
    U16(at + 2, v >> 16);
  }
  void Text(std::size_t at, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) bytes_[at + i] = static_cast<std::byte>(text[i]);
  }
  std::vector<std::byte> Take() { return std::move(bytes_); }

 private:
  std::vector<std::byte> bytes_;
};

inline std::vector<std::byte> BuildPe(const TPeOptions& options = {}) {
  TPeWriter w(kPeSize);
  w.Text(0, "MZ");
  w.U32(0x3C, kPeHeaderAt);
  const std::size_t coff = kPeHeaderAt + 4;
  const std::size_t optional = coff + 20;
  const std::size_t optionalSize = options.pe32Plus ? 240 : 224;
  w.Text(kPeHeaderAt, std::string_view("PE\0\0", 4));
  w.U16(coff, options.pe32Plus ? 0x8664 : 0x14C);
  w.U16(coff + 2, 2);
  w.U16(coff + 16, optionalSize);
  w.U16(optional, options.pe32Plus ? 0x20B : 0x10B);
  const std::size_t count = optional + (options.pe32Plus ? 108 : 92);
  w.U32(count, 16);
  w.U32(count + 4 + 2 * 8, 0x2000);  // resource directory RVA
  w.U32(count + 4 + 2 * 8 + 4, 0x200);
  const std::size_t sections = optional + optionalSize;
  const std::uint32_t table[2][4] = {{0x200, 0x1000, 0x200, 0x400}, {0x100, 0x2000, 0x200, kResourceAt}};
  for (std::size_t i = 0; i < 2; ++i) {
    w.Text(sections + i * 40, i == 0 ? ".text" : ".rsrc");
    for (std::size_t f = 0; f < 4; ++f) w.U32(sections + i * 40 + 8 + f * 4, table[i][f]);
  }
  // The tree: each directory has one id entry.
  const std::size_t r = kResourceAt;
  w.U16(r + 14, 1);
  w.U32(r + 16, options.resourceType);
  w.U32(r + 20, 0x80000000u | 0x18);
  w.U16(r + 0x18 + 14, 1);
  w.U32(r + 0x18 + 16, 1);
  w.U32(r + 0x18 + 20, 0x80000000u | 0x30);
  w.U16(r + 0x30 + 14, 1);
  w.U32(r + 0x30 + 16, 0x409);
  w.U32(r + 0x30 + 20, 0x48);
  w.U32(r + 0x48, 0x2000 + 0x58);
  w.U32(r + 0x4C, kVersionInfoSize);
  // VS_VERSIONINFO with its fixed file information.
  const std::size_t v = kVersionInfoAt;
  w.U16(v, kVersionInfoSize);
  w.U16(v + 2, options.fixedInfo ? 52 : 0);
  constexpr std::string_view kKey = "VS_VERSION_INFO";
  for (std::size_t i = 0; i < kKey.size(); ++i) w.U16(v + 6 + 2 * i, static_cast<std::uint8_t>(kKey[i]));
  if (options.fixedInfo) {
    const auto& n = options.version;
    w.U32(v + 40, 0xFEEF04BD);
    w.U32(v + 44, 0x10000);
    w.U32(v + 48, static_cast<std::uint32_t>(n[0]) << 16 | n[1]);
    w.U32(v + 52, static_cast<std::uint32_t>(n[2]) << 16 | n[3]);
    w.U32(v + 56, static_cast<std::uint32_t>(n[0]) << 16 | n[1]);
    w.U32(v + 60, static_cast<std::uint32_t>(n[2]) << 16 | n[3]);
  }
  return w.Take();
}

}  // namespace remdo::test

#endif  // REMDO_TESTS_ENV_PEIMAGE_H_
