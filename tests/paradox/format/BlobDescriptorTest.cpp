#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "env/Errors.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/format/BlobDescriptor.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

using test::Bytes;

std::vector<std::byte> Raw(std::initializer_list<int> values) {
  std::vector<std::byte> out;
  for (const int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

TEST(BlobDescriptor, DecodesAndEncodesTheTenLittleEndianBytes) {
  struct Case {
    std::vector<std::byte> bytes;
    TBlobDescriptor descriptor;
  };
  const Case cases[] = {
      // Entry 63 of the shared block at 0x1000, 555 bytes, stamp 1.
      {Raw({0x3F, 0x10, 0, 0, 0x2B, 0x02, 0, 0, 1, 0}), {0x1000, 63, 555, 1}},
      // A value with a block of its own at 0xE000 of 2 074 686 bytes.
      {Raw({0xFF, 0xE0, 0, 0, 0x3E, 0xA8, 0x1F, 0, 1, 0}), {0xE000, 0xFF, 2074686, 1}},
      // Leader-only, 12 bytes.
      {Raw({0, 0, 0, 0, 12, 0, 0, 0, 0, 0}), {0, 0, 12, 0}},
      // Blank.
      {Raw({0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), {}},
      // The top of the 4 GB range.
      {Raw({0x05, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), {0xFFFFF000, 5, 0xFFFFFFFF, 0xFFFF}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TBlobDescriptor::DecodeFrom(c.bytes.data()), c.descriptor);
    std::array<std::byte, TBlobDescriptor::kSize> out{};
    c.descriptor.EncodeTo(out.data());
    EXPECT_EQ(std::vector<std::byte>(out.begin(), out.end()), c.bytes);
  }
  EXPECT_TRUE(TBlobDescriptor{}.IsBlank());
  EXPECT_TRUE((TBlobDescriptor{0, 0, 12, 0}.IsLeaderOnly()));
  EXPECT_FALSE((TBlobDescriptor{0x1000, 63, 555, 1}.IsLeaderOnly()));
  EXPECT_TRUE((TBlobDescriptor{0x1000, 0xFF, 5000, 1}.IsSingleBlock()));
}

TEST(BlobDescriptor, OnlyTheFiveBlobTypesHaveAKind) {
  for (int type = 0; type < 256; ++type) {
    const auto kind = BlobKindOf(static_cast<std::uint8_t>(type));
    EXPECT_EQ(kind.has_value(), type >= 12 && type <= 16) << type;
  }
  EXPECT_FALSE(HasBlobPrefix(TBlobKind::kMemo));
  EXPECT_FALSE(HasBlobPrefix(TBlobKind::kFormattedMemo));
  EXPECT_TRUE(HasBlobPrefix(TBlobKind::kGraphic));
  EXPECT_TRUE(HasBlobPrefix(TBlobKind::kOle));
}

TEST(BlobDescriptor, ShortMemoValuesLiveInTheLeaderButGraphicsNever) {
  struct Case {
    TBlobKind kind;
    std::size_t length, leader;
    bool fits;
  };
  const Case cases[] = {
      {TBlobKind::kMemo, 0, 10, false},      {TBlobKind::kMemo, 1, 10, true},
      {TBlobKind::kMemo, 10, 10, true},      {TBlobKind::kMemo, 11, 10, false},
      {TBlobKind::kBinary, 1, 0, false},     {TBlobKind::kFormattedMemo, 169, 240, true},
      {TBlobKind::kGraphic, 20, 240, false}, {TBlobKind::kOle, 1, 240, false},
  };
  for (const auto& c : cases) EXPECT_EQ(FitsInLeader(c.kind, c.length, c.leader), c.fits) << c.length;
}

TEST(BlobDescriptor, FieldLeaderCopiesThePayloadAndIsZeroPadded) {
  std::vector<std::byte> field(14, std::byte{0x55});
  const auto memo = Bytes("ab");
  EncodeBlobField(field, TBlobKind::kMemo, memo, {0, 0, 2, 0});
  EXPECT_EQ(field, Raw({'a', 'b', 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0}));

  // A graphic's leader shows the image after the 8-byte prefix.
  const auto graphic = Raw({1, 0, 0, 1, 6, 0, 0, 0, 'B', 'M', 1, 2, 3, 4});
  EncodeBlobField(field, TBlobKind::kGraphic, graphic, {0x2000, 0xFF, 14, 3});
  EXPECT_EQ(field, Raw({'B', 'M', 1, 2, 0xFF, 0x20, 0, 0, 14, 0, 0, 0, 3, 0}));
  EXPECT_EQ(DescriptorOfField(field), (TBlobDescriptor{0x2000, 0xFF, 14, 3}));

  // A field of exactly 10 bytes has no leader at all.
  std::vector<std::byte> bare(10);
  EncodeBlobField(bare, TBlobKind::kBinary, Bytes("x"), {0x1000, 59, 1, 5});
  EXPECT_EQ(bare, Raw({59, 0x10, 0, 0, 1, 0, 0, 0, 5, 0}));
}

TEST(BlobDescriptor, FieldsNarrowerThanTheReferenceAreDamage) {
  std::vector<std::byte> field(9);
  try {
    (void)DescriptorOfField(field);
    FAIL() << "no error";
  } catch (const env::EDBEngineError& e) {
    EXPECT_EQ(e.Code(), kDbiErrMemoCorrupt);
    EXPECT_NE(std::string(e.what()).find("9 bytes"), std::string::npos);
  }
  EXPECT_THROW(EncodeBlobField(field, TBlobKind::kMemo, Bytes("x"), {}), env::EDBEngineError);
}

}  // namespace
}  // namespace remdo::paradox
