// An independent check of a memo file's structure for the memo tests:
// everything a sound file satisfies, written from the format and not from
// the units under test. Gives the problems found; none for a sound file.
#ifndef REMDO_TESTS_PARADOX_MEMOCHECK_H_
#define REMDO_TESTS_PARADOX_MEMOCHECK_H_

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "paradox/codes/Coding.h"

namespace remdo::test {

// With exactHints the header's hints must state the room exactly; without,
// they may promise less than there is (as after a crash during a change).
inline std::vector<std::string> CheckMemoStructure(const std::vector<std::byte>& f, bool exactHints = true) {
  using paradox::GetU16;
  using paradox::GetU32;
  std::vector<std::string> problems;
  const auto u8 = [&](std::size_t at) { return std::to_integer<unsigned>(f[at]); };
  if (f.size() < 4096 || f.size() % 4096 != 0) return {"size " + std::to_string(f.size())};
  const unsigned char constants[] = {0x82, 0x73, 0x02, 0x00, 0x29, 0x00};
  for (std::size_t i = 0; i < sizeof constants; ++i) {
    if (u8(5 + i) != constants[i]) problems.push_back("header constant at " + std::to_string(5 + i));
  }
  if (u8(0) != 0 || GetU16(&f[1]) != 1) problems.push_back("header block start");
  if (GetU16(&f[0x29]) != 0x02A1) problems.push_back("header signature A1 02");
  const unsigned counter = GetU16(&f[3]);
  struct TBlock {
    std::size_t offset;
    unsigned type, units, freeEntries, freeChunks;
  };
  std::vector<TBlock> blocks;
  for (std::size_t at = 4096; at < f.size();) {
    const unsigned type = u8(at);
    const unsigned units = GetU16(&f[at + 1]);
    const std::string name = "block " + std::to_string(at);
    if (units == 0 || at + units * std::size_t{4096} > f.size() || type < 2 || type > 4 || (type == 3 && units != 1)) {
      problems.push_back(name + " type " + std::to_string(type) + " units " + std::to_string(units));
      return problems;
    }
    TBlock block{at, type, units, 0, 0};
    if (type == 2) {
      const std::uint64_t length = GetU32(&f[at + 3]);
      if (9 + length > units * std::uint64_t{4096} || (9 + length + 4095) / 4096 != units) {
        problems.push_back(name + " length " + std::to_string(length) + " in units " + std::to_string(units));
      }
      if (GetU16(&f[at + 7]) > counter || GetU16(&f[at + 7]) == 0) problems.push_back(name + " stamp");
    }
    if (type == 3) {
      std::bitset<256> used;
      for (unsigned e = 0; e < 64; ++e) {
        const std::size_t p = at + 12 + 5 * e;
        const unsigned first = u8(p), chunks = u8(p + 1), last = u8(p + 4), stamp = GetU16(&f[p + 2]);
        if (first == 0) {
          ++block.freeEntries;
          continue;
        }
        if (first < 21 || chunks == 0 || first + chunks > 256 || last < 1 || last > 16 || stamp == 0 ||
            stamp > counter) {
          problems.push_back(name + " entry " + std::to_string(e));
          continue;
        }
        for (unsigned c = first; c < first + chunks; ++c) {
          if (used[c]) problems.push_back(name + " entry " + std::to_string(e) + " overlaps");
          used[c] = true;
        }
      }
      if (block.freeEntries == 64) problems.push_back(name + " shared block without values");
      block.freeChunks = 235 - static_cast<unsigned>(used.count());
    }
    if (type == 4 && !blocks.empty() && blocks.back().type == 4 && blocks.back().units + units <= 0xFFFF) {
      problems.push_back(name + " free block not merged with its free predecessor");
    }
    blocks.push_back(block);
    at += units * std::size_t{4096};
  }
  for (std::size_t h = 0x38; h + 6 <= 0x38 + 60; h += 6) {
    const std::uint32_t where = GetU32(&f[h]);
    if (where == 0) break;
    const unsigned kind = where & 0xFF, amount = GetU16(&f[h + 4]);
    bool ok = false;
    for (const TBlock& b : blocks) {
      if (b.offset != (where & ~0xFFu)) continue;
      const auto fits = [&](unsigned room) { return exactHints ? amount == room : amount <= room; };
      ok = (kind == 2 && b.type == 3 && b.freeEntries > 0 && amount > 0 && fits(b.freeChunks)) ||
           (kind == 3 && b.type == 4 && amount > 0 && fits(b.units));
    }
    if (!ok) problems.push_back("hint at " + std::to_string(h) + " is wrong");
  }
  return problems;
}

}  // namespace remdo::test

#endif  // REMDO_TESTS_PARADOX_MEMOCHECK_H_
