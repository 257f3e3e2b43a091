#include "paradox/format/HeaderReading.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "paradox/codes/Coding.h"

namespace remdo::paradox {

TTableHeader ReadFileHeader(env::TFile& file, std::uint64_t fileSize, std::string_view path) {
  // The fixed part first; it says how long the whole header is.
  std::vector<std::byte> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, TTableHeader::kFixedSize)));
  bytes.resize(file.ReadAt(0, bytes));
  if (bytes.size() == TTableHeader::kFixedSize) {
    const std::size_t headerSize = GetU16(bytes.data() + 2);
    if (headerSize > bytes.size() && headerSize <= fileSize) {
      bytes.resize(headerSize);
      bytes.resize(file.ReadAt(0, bytes));
    }
  }
  return TTableHeader::DecodeFrom(bytes, fileSize, path);
}

}  // namespace remdo::paradox
