// Fuzz target for the table header decoder: any bytes as the start of a
// table-format file (.DB, .PX, .Xnn, .Ynn), taken as a file of that size and
// of a larger one. The only error allowed is the engine's (header corrupt).
// A header of a level the engine writes is encoded again, and the encoded
// bytes must decode to the same fields, key and driver.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "env/Errors.h"
#include "paradox/format/TableHeader.h"

namespace {

using remdo::paradox::TTableHeader;

bool SameLayout(const TTableHeader& a, const TTableHeader& b) {
  if (a.fields.size() != b.fields.size() || a.keyFieldCount != b.keyFieldCount || a.blockSize != b.blockSize ||
      a.fileType != b.fileType || a.sortOrder != b.sortOrder || a.codePage != b.codePage) {
    return false;
  }
  for (std::size_t i = 0; i < a.fields.size(); ++i) {
    if (a.fields[i].type != b.fields[i].type || a.fields[i].size != b.fields[i].size) return false;
  }
  return true;
}

void RoundTrip(TTableHeader header, std::uint64_t fileSize) {
  if (!remdo::paradox::IsWritableLevel(header.Level()) || header.IsEncrypted()) return;
  const TTableHeader original = header;
  const auto encoded = header.EncodeTo();
  const TTableHeader again =
      TTableHeader::DecodeFrom(encoded, std::max<std::uint64_t>(fileSize, encoded.size()), "again.db");
  if (!SameLayout(original, again)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = std::span(reinterpret_cast<const std::byte*>(data), size);
  for (const std::uint64_t fileSize : {std::uint64_t{size}, std::uint64_t{size} + 65536}) {
    try {
      const TTableHeader header = TTableHeader::DecodeFrom(bytes, fileSize, "fuzz.db");
      (void)header.UsedSize();
      (void)header.ComputedRecordSize();
      (void)header.HasFieldNames();
      (void)header.IsIndexTree();
      RoundTrip(header, fileSize);
    } catch (const remdo::env::EDBEngineError&) {
    }
  }
  return 0;
}
