#include "paradox/codes/Coding.h"

#include <gtest/gtest.h>

#include <array>

namespace remdo::paradox {
namespace {

template <std::size_t N>
std::array<std::byte, N> B(std::initializer_list<int> values) {
  std::array<std::byte, N> out{};
  std::size_t i = 0;
  for (const int v : values) out[i++] = static_cast<std::byte>(v);
  return out;
}

TEST(Coding, IntegersAreBigEndianWithTheSignBitFlipped) {
  struct Case { std::int64_t value; int width; std::array<std::byte, 4> bytes; };
  const Case cases[] = {
      {1, 2, B<4>({0x80, 0x01})},  {256, 2, B<4>({0x81, 0x00})}, {-1, 2, B<4>({0x7F, 0xFF})},
      {-5, 2, B<4>({0x7F, 0xFB})}, {5, 2, B<4>({0x80, 0x05})},   {728783, 4, B<4>({0x80, 0x0B, 0x1E, 0xCF})},
      {3601000, 4, B<4>({0x80, 0x36, 0xF2, 0x68})}, {1, 1, B<4>({0x81})}, {0, 1, B<4>({0x80})},
  };
  for (const auto& c : cases) {
    std::array<std::byte, 4> out{};
    EncodeFieldInteger(out.data(), c.value, c.width);
    EXPECT_EQ(out, c.bytes) << c.value;
    EXPECT_EQ(DecodeFieldInteger(c.bytes.data(), c.width), c.value);
  }
  const auto blank = B<4>({});
  EXPECT_EQ(DecodeFieldInteger(blank.data(), 2), 0);
}

TEST(Coding, NegativeDoublesHaveAllBytesInverted) {
  const auto plus = B<8>({0xBF, 0xF4});
  const auto minus = B<8>({0x40, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(DecodeFieldDouble(plus.data()), 1.25);
  EXPECT_EQ(DecodeFieldDouble(minus.data()), -1.25);
  std::array<std::byte, 8> out{};
  EncodeFieldDouble(out.data(), -1.25);
  EXPECT_EQ(out, minus);
  EncodeFieldDouble(out.data(), 0.0);
  EXPECT_EQ(out, B<8>({0x80}));  // zero is not blank
  const auto ts = B<8>({0xC2, 0xCC, 0xF9, 0x8A, 0xCB, 0x19, 0x34, 0x00});
  EXPECT_EQ(DecodeFieldDouble(ts.data()), 63716202001000.0);  // 2020-02-01 01:00:01
}

TEST(Coding, EncodedValuesSortLikeTheirNumbers) {
  const double values[] = {-1e300, -2.5, -1.0, -0.0, 0.0, 1e-300, 1.0, 3.5, 1e300};
  for (std::size_t i = 0; i + 1 < std::size(values); ++i) {
    std::array<std::byte, 8> a{}, b{};
    EncodeFieldDouble(a.data(), values[i]);
    EncodeFieldDouble(b.data(), values[i + 1]);
    EXPECT_LE(std::memcmp(a.data(), b.data(), 8), 0) << values[i] << " " << values[i + 1];
  }
}

TEST(Coding, LittleEndianControlWords) {
  std::array<std::byte, 4> out{};
  PutU32(out.data(), 0xFF00FF00u);
  EXPECT_EQ(GetU32(out.data()), 0xFF00FF00u);
  EXPECT_EQ(GetS16(out.data() + 2), static_cast<std::int16_t>(0xFF00));
}

}  // namespace
}  // namespace remdo::paradox
