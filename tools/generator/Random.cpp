// splitmix64: one 64-bit addition and a fixed mix per number. Ranges are
// taken from the high bits by multiplication, which needs no division and
// has no bias worth speaking of for the small ranges used here.
#include "generator/Random.h"

namespace remdo::tools {

namespace {

std::uint64_t Finish(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

}  // namespace

std::uint64_t MixSeed(std::uint64_t seed, std::uint64_t value) {
  return Finish(seed ^ Finish(value + 0x9E3779B97F4A7C15ULL));
}

std::uint64_t TRandom::Next() {
  state_ += 0x9E3779B97F4A7C15ULL;
  return Finish(state_);
}

std::uint32_t TRandom::Below(std::uint32_t n) {
  return static_cast<std::uint32_t>(((Next() >> 32) * n) >> 32);
}

int TRandom::Between(int low, int high) {
  return low + static_cast<int>(Below(static_cast<std::uint32_t>(high - low + 1)));
}

bool TRandom::PerMille(int chance) { return static_cast<int>(Below(1000)) < chance; }

std::string_view TRandom::Pick(std::span<const std::string_view> words) {
  return words[Below(static_cast<std::uint32_t>(words.size()))];
}

}  // namespace remdo::tools
