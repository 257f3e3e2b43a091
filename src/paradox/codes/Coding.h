// Byte-order helpers for Paradox files. Control structures (file headers,
// block headers, memo structures, blob descriptors) are little-endian. Field
// values inside records and index entries are big-endian with a modified sign
// so that a plain byte comparison orders them and all-zero means blank:
//   integers: two's complement, big-endian, top bit of the first byte flipped;
//   floating: IEEE double, big-endian; top bit set for values >= 0, all bytes
//             inverted for negative values.
// Every number of a file passes through these functions; nothing casts a
// struct over file bytes.
#ifndef REMDO_PARADOX_CODES_CODING_H_
#define REMDO_PARADOX_CODES_CODING_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace remdo::paradox {

inline std::uint16_t GetU16(const std::byte* p) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) | (std::to_integer<unsigned>(p[1]) << 8));
}
inline std::int16_t GetS16(const std::byte* p) { return static_cast<std::int16_t>(GetU16(p)); }
inline std::uint32_t GetU32(const std::byte* p) {
  return static_cast<std::uint32_t>(GetU16(p)) | (static_cast<std::uint32_t>(GetU16(p + 2)) << 16);
}
inline std::int32_t GetS32(const std::byte* p) { return static_cast<std::int32_t>(GetU32(p)); }

inline void PutU16(std::byte* p, std::uint16_t v) {
  p[0] = static_cast<std::byte>(v & 0xFF);
  p[1] = static_cast<std::byte>(v >> 8);
}
inline void PutU32(std::byte* p, std::uint32_t v) {
  PutU16(p, static_cast<std::uint16_t>(v & 0xFFFF));
  PutU16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

// Big-endian unsigned value of width bytes (1 to 8).
inline std::uint64_t GetBigEndian(const std::byte* p, int width) {
  std::uint64_t v = 0;
  for (int i = 0; i < width; ++i) v = (v << 8) | std::to_integer<std::uint64_t>(p[i]);
  return v;
}
inline void PutBigEndian(std::byte* p, std::uint64_t v, int width) {
  for (int i = width - 1; i >= 0; --i) {
    p[i] = static_cast<std::byte>(v & 0xFF);
    v >>= 8;
  }
}

inline bool IsAllZero(const std::byte* p, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    if (p[i] != std::byte{0}) return false;
  }
  return true;
}

// Integer field values of width 1, 2 or 4 bytes (logical, short, long, date,
// time, autoincrement). Blank (all zero) decodes to 0.
inline std::int64_t DecodeFieldInteger(const std::byte* p, int width) {
  if (IsAllZero(p, static_cast<std::size_t>(width))) return 0;
  const int bits = width * 8;
  const std::uint64_t raw = GetBigEndian(p, width) ^ (std::uint64_t{1} << (bits - 1));
  const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
  return (raw & sign) != 0 ? static_cast<std::int64_t>(raw) - static_cast<std::int64_t>(sign << 1)
                           : static_cast<std::int64_t>(raw);
}
inline void EncodeFieldInteger(std::byte* p, std::int64_t value, int width) {
  const int bits = width * 8;
  const std::uint64_t mask = bits == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
  const std::uint64_t raw = (static_cast<std::uint64_t>(value) & mask) ^ (std::uint64_t{1} << (bits - 1));
  PutBigEndian(p, raw, width);
}

// Floating field values (number, money, timestamp), 8 bytes. Blank decodes
// to 0.
inline double DecodeFieldDouble(const std::byte* p) {
  if (IsAllZero(p, 8)) return 0.0;
  std::uint64_t raw = GetBigEndian(p, 8);
  if ((raw & 0x8000000000000000ULL) != 0) {
    raw &= 0x7FFFFFFFFFFFFFFFULL;
  } else {
    raw = ~raw;
  }
  return std::bit_cast<double>(raw);
}
inline void EncodeFieldDouble(std::byte* p, double value) {
  std::uint64_t raw = std::bit_cast<std::uint64_t>(value);
  if ((raw & 0x8000000000000000ULL) == 0) {
    raw |= 0x8000000000000000ULL;
  } else {
    raw = ~raw;
  }
  PutBigEndian(p, raw, 8);
}

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_CODES_CODING_H_
