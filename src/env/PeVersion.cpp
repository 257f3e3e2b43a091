// The version resource of a PE file, found without the OS:
//
//   DOS header        "MZ" ... +0x3C u32 offset of the PE header
//   PE header         "PE\0\0", COFF header (20 bytes: +2 u16 section
//                     count, +16 u16 optional header size)
//   optional header   +0 u16 magic 0x10B (PE32) or 0x20B (PE32+); data
//                     directories at +96 / +112, 8 bytes each (u32 RVA,
//                     u32 size), the resource directory third, its count at
//                     +92 / +108
//   section table     40 bytes each: +8 u32 virtual size, +12 u32 RVA,
//                     +16 u32 raw size, +20 u32 raw offset
//   resource tree     three levels (type, name, language); a directory is
//                     16 bytes (+12 u16 named entries, +14 u16 id entries)
//                     and its 8-byte entries (u32 name or id; u32 offset
//                     from the tree's start, high bit set for a directory);
//                     a leaf is u32 RVA, u32 size of the data
//   VS_VERSIONINFO    u16 length, u16 value length, u16 type,
//                     "VS_VERSION_INFO\0" in UTF-16, padding to 4 bytes,
//                     then VS_FIXEDFILEINFO: u32 signature 0xFEEF04BD,
//                     u32 structure version, u32 file version MS and LS,
//                     u32 product version MS and LS, ...
//
// The type RT_VERSION (16) is looked up among the first level's entries;
// below it the first name and the first language are taken, as the system's
// version query does. Other resources are looked up by type and id alike. Every offset is checked against what was read.
#include "env/PeVersion.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "env/Errors.h"

namespace remdo::env {

namespace {

using TReader = std::function<bool(std::uint64_t offset, std::span<std::byte> out)>;

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kMaxSections = 96;
constexpr std::size_t kMaxEntries = 4096;
constexpr std::size_t kFixedInfoOffset = 40;  // 6 + 32 bytes of key, padded to 4
constexpr std::size_t kFixedInfoSize = 52;
constexpr std::uint32_t kMaxResourceSize = 16u << 20;

std::uint16_t U16(const std::vector<std::byte>& b, std::size_t at) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(b[at]) | std::to_integer<unsigned>(b[at + 1]) << 8);
}

std::uint32_t U32(const std::vector<std::byte>& b, std::size_t at) {
  return static_cast<std::uint32_t>(U16(b, at)) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

struct TSection {
  std::uint32_t rva = 0;
  std::uint32_t span = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawOffset = 0;
};

class TPeReader {
 public:
  explicit TPeReader(TReader read) : read_(std::move(read)) {}

  std::optional<TFileVersion> Version() {
    if (!ReadHeaders()) return std::nullopt;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
    if (!FindData(kRtVersion, std::nullopt, offset, size)) return std::nullopt;
    return ParseVersionInfo(offset, size);
  }

  std::optional<std::vector<std::byte>> Resource(std::uint32_t type, std::uint32_t id) {
    if (!ReadHeaders()) return std::nullopt;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
    std::vector<std::byte> data;
    if (!FindData(type, id, offset, size) || size > kMaxResourceSize || !Read(offset, size, data)) return std::nullopt;
    return data;
  }

 private:
  bool Read(std::uint64_t offset, std::size_t size, std::vector<std::byte>& out) {
    out.assign(size, std::byte{0});
    return read_(offset, out);
  }

  bool ReadHeaders() {
    std::vector<std::byte> b;
    if (!Read(0, 64, b) || b[0] != std::byte{'M'} || b[1] != std::byte{'Z'}) return false;
    const std::uint32_t pe = U32(b, 0x3C);
    if (!Read(pe, 24, b) || std::memcmp(b.data(), "PE\0\0", 4) != 0) return false;
    const std::size_t sections = U16(b, 6);
    const std::size_t optionalSize = U16(b, 20);
    if (sections == 0 || sections > kMaxSections) return false;
    std::vector<std::byte> opt;
    if (optionalSize < 2 || !Read(std::uint64_t{pe} + 24, optionalSize, opt)) return false;
    const std::uint16_t magic = U16(opt, 0);
    const std::size_t countAt = magic == 0x10B ? 92 : magic == 0x20B ? 108 : 0;
    if (countAt == 0 || optionalSize < countAt + 4) return false;
    const std::size_t dirs = countAt + 4;
    if (U32(opt, countAt) < 3 || optionalSize < dirs + 3 * 8) return false;
    resourceRva_ = U32(opt, dirs + 16);
    if (resourceRva_ == 0) return false;
    std::vector<std::byte> table;
    if (!Read(std::uint64_t{pe} + 24 + optionalSize, sections * 40, table)) return false;
    for (std::size_t i = 0; i < sections; ++i) {
      const std::size_t at = i * 40;
      const std::uint32_t virtualSize = U32(table, at + 8);
      const std::uint32_t rawSize = U32(table, at + 16);
      sections_.push_back({U32(table, at + 12), std::max(virtualSize, rawSize), rawSize, U32(table, at + 20)});
    }
    return true;
  }

  // The file offset of size bytes at rva, when they lie in one section's
  // raw data.
  std::optional<std::uint64_t> Offset(std::uint64_t rva, std::uint64_t size) const {
    for (const TSection& s : sections_) {
      if (rva < s.rva || rva + size > std::uint64_t{s.rva} + s.span) continue;
      if (rva - s.rva + size > s.rawSize) return std::nullopt;
      return std::uint64_t{s.rawOffset} + (rva - s.rva);
    }
    return std::nullopt;
  }

  // The offset field of the entry wanted in the directory at treeOffset
  // (an offset from the tree's start): the one of the given id, or the
  // first entry when id is empty.
  std::optional<std::uint32_t> Entry(std::uint32_t treeOffset, std::optional<std::uint32_t> id) {
    const auto at = Offset(std::uint64_t{resourceRva_} + treeOffset, 16);
    std::vector<std::byte> b;
    if (!at || !Read(*at, 16, b)) return std::nullopt;
    const std::size_t named = U16(b, 12);
    const std::size_t count = named + U16(b, 14);
    if (count == 0 || count > kMaxEntries) return std::nullopt;
    const auto entries = Offset(std::uint64_t{resourceRva_} + treeOffset + 16, count * 8);
    if (!entries || !Read(*entries, count * 8, b)) return std::nullopt;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t name = U32(b, i * 8);
      if (!id || (i >= named && (name & kHighBit) == 0 && name == *id)) return U32(b, i * 8 + 4);
    }
    return std::nullopt;
  }

  // The data of the resource of typeId and nameId (the first name when
  // empty), in its first language.
  bool FindData(std::uint32_t typeId, std::optional<std::uint32_t> nameId, std::uint64_t& offset,
                std::uint32_t& size) {
    const auto type = Entry(0, typeId);
    if (!type || (*type & kHighBit) == 0) return false;
    const auto name = Entry(*type & ~kHighBit, nameId);
    if (!name || (*name & kHighBit) == 0) return false;
    const auto language = Entry(*name & ~kHighBit, std::nullopt);
    if (!language || (*language & kHighBit) != 0) return false;
    const auto leaf = Offset(std::uint64_t{resourceRva_} + *language, 8);
    std::vector<std::byte> b;
    if (!leaf || !Read(*leaf, 8, b)) return false;
    size = U32(b, 4);
    const auto data = Offset(U32(b, 0), size);
    if (!data) return false;
    offset = *data;
    return true;
  }

  std::optional<TFileVersion> ParseVersionInfo(std::uint64_t offset, std::uint32_t size) {
    constexpr std::size_t kNeeded = kFixedInfoOffset + kFixedInfoSize;
    std::vector<std::byte> b;
    if (size < kNeeded || !Read(offset, kNeeded, b)) return std::nullopt;
    if (U16(b, 0) < kNeeded || U16(b, 2) < kFixedInfoSize) return std::nullopt;
    constexpr std::string_view kKey = "VS_VERSION_INFO";
    for (std::size_t i = 0; i <= kKey.size(); ++i) {
      const std::uint16_t unit = U16(b, 6 + 2 * i);
      if (unit != (i < kKey.size() ? static_cast<std::uint16_t>(kKey[i]) : 0)) return std::nullopt;
    }
    if (U32(b, kFixedInfoOffset) != kFixedInfoSignature) return std::nullopt;
    TFileVersion version;
    version.fileVersionMS = U32(b, kFixedInfoOffset + 8);
    version.fileVersionLS = U32(b, kFixedInfoOffset + 12);
    version.productVersionMS = U32(b, kFixedInfoOffset + 16);
    version.productVersionLS = U32(b, kFixedInfoOffset + 20);
    return version;
  }

  const TReader read_;
  std::uint32_t resourceRva_ = 0;
  std::vector<TSection> sections_;
};

}  // namespace

std::optional<TFileVersion> ParseFileVersion(std::span<const std::byte> image) {
  return TPeReader([image](std::uint64_t offset, std::span<std::byte> out) {
           if (offset > image.size() || out.size() > image.size() - offset) return false;
           std::memcpy(out.data(), image.data() + offset, out.size());
           return true;
         })
      .Version();
}

std::optional<TFileVersion> ReadFileVersion(TFileSystem& fileSystem, std::string_view path) {
  try {
    auto file = fileSystem.Open(path, TOpenMode::kRead);
    return TPeReader([&file](std::uint64_t offset, std::span<std::byte> out) {
             return file->ReadAt(offset, out) == out.size();
           })
        .Version();
  } catch (const ERemdoError&) {
    return std::nullopt;
  }
}

std::optional<std::vector<std::byte>> ParseResource(std::span<const std::byte> image, std::uint32_t type,
                                                    std::uint32_t id) {
  return TPeReader([image](std::uint64_t offset, std::span<std::byte> out) {
           if (offset > image.size() || out.size() > image.size() - offset) return false;
           std::memcpy(out.data(), image.data() + offset, out.size());
           return true;
         })
      .Resource(type, id);
}

}  // namespace remdo::env
