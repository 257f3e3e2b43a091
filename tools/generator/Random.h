// The generator's source of chance: a small, fixed pseudo-random sequence
// (splitmix64) that gives the same numbers on every platform and compiler,
// so that a seed always yields the same catalogue. Only integer arithmetic
// is used; nothing here depends on the standard library's distributions,
// whose results differ between implementations.
#ifndef REMDO_TOOLS_GENERATOR_RANDOM_H_
#define REMDO_TOOLS_GENERATOR_RANDOM_H_

#include <cstdint>
#include <span>
#include <string_view>

namespace remdo::tools {

// Mixes a value into a seed: the seed of an independent stream (one per
// book, one per table, ...).
std::uint64_t MixSeed(std::uint64_t seed, std::uint64_t value);

class TRandom {
 public:
  explicit TRandom(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next();
  // 0 to n - 1; n must be above 0.
  std::uint32_t Below(std::uint32_t n);
  // low to high, both included.
  int Between(int low, int high);
  // True with the given chance in thousandths (0 never, 1000 always).
  bool PerMille(int chance);
  // One of the words.
  std::string_view Pick(std::span<const std::string_view> words);

 private:
  std::uint64_t state_;
};

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_GENERATOR_RANDOM_H_
