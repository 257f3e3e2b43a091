// In-memory file over a byte vector.
#include "env/MemoryFile.h"

#include <algorithm>
#include <cstring>

namespace remdo::env {

TMemoryFile::TMemoryFile(std::vector<std::byte> bytes, std::string path)
    : bytes_(std::move(bytes)), path_(std::move(path)) {}

TMemoryFile::TMemoryFile(std::span<const std::byte> bytes, std::string path)
    : bytes_(bytes.begin(), bytes.end()), path_(std::move(path)) {}

std::size_t TMemoryFile::ReadAt(std::uint64_t offset, std::span<std::byte> out) {
  if (out.empty() || offset >= bytes_.size()) return 0;
  const std::size_t count = std::min<std::uint64_t>(out.size(), bytes_.size() - offset);
  std::memcpy(out.data(), bytes_.data() + offset, count);
  return count;
}

void TMemoryFile::WriteAt(std::uint64_t offset, std::span<const std::byte> data) {
  if (data.empty()) return;
  if (offset + data.size() > bytes_.size()) bytes_.resize(offset + data.size());
  std::memcpy(bytes_.data() + offset, data.data(), data.size());
}

void TMemoryFile::Truncate(std::uint64_t size) { bytes_.resize(size); }

}  // namespace remdo::env
