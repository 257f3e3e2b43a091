// The configuration record's texts and the choice of library loader.
#include "env/EngineLibrary.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace remdo::env {

namespace {

TEngineLibraryLoader& InstalledLoader() {
  static TEngineLibraryLoader loader;
  return loader;
}

}  // namespace

std::string TConfigRecord::Text(std::size_t at, std::size_t size) const {
  const auto* begin = bytes_.data() + at;
  const auto* end = std::find(begin, begin + size, 0);
  return std::string(begin, end);
}

void TConfigRecord::SetText(std::size_t at, std::size_t size, std::string_view text) {
  const std::size_t length = std::min(text.size(), size - 1);
  std::memset(bytes_.data() + at, 0, size);
  std::memcpy(bytes_.data() + at, text.data(), length);
}

bool TConfigRecord::SetValue(std::string_view value) {
  if (value.size() > kMaxValueLength) return false;
  SetText(kValueAt, kValueSize, value);
  return true;
}

TEngineLibraryLoader DefaultEngineLibraryLoader() {
  return InstalledLoader() ? InstalledLoader() : RealEngineLibraryLoader();
}

void InstallEngineLibraryLoader(TEngineLibraryLoader loader) { InstalledLoader() = std::move(loader); }

}  // namespace remdo::env
