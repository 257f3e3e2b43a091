#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "env/MemoryFile.h"
#include "paradox/codes/Coding.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "paradox/memo/MemoInventory.h"
#include "paradox/memo/MemoLinking.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

using S = TLinkState;

constexpr std::size_t kLeader = 10;

std::vector<std::byte> Pattern(std::size_t length, int seed) {
  std::vector<std::byte> out(length);
  for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<std::byte>((i * 7 + seed) & 0xFF);
  return out;
}

// Values A (100 bytes) and D (200) share the block at 0x1000 (entries 63
// and 62), B (5000) has 0x2000-0x3FFF, C (3000) 0x4000 and its twin E (the
// same bytes) 0x5000. The records' fields are damaged beside the file.
struct TMemoCatalogue {
  std::vector<std::byte> file;
  std::vector<std::vector<std::byte>> values;
  std::vector<std::vector<std::byte>> fields;
};

TMemoCatalogue Build() {
  test::TScratchFolder folder;
  const std::string path = folder / "T.MB";
  TMemoCatalogue c;
  c.values = {Pattern(100, 1), Pattern(5000, 2), Pattern(3000, 3), Pattern(200, 4), Pattern(3000, 3)};
  TMemoFileBuilder builder(env::DefaultFileSystem(), path);
  for (const auto& value : c.values) {
    c.fields.emplace_back(kLeader + TBlobDescriptor::kSize);
    builder.AddToField(c.fields.back(), TBlobKind::kMemo, value);
  }
  builder.Finish();
  c.file = test::ReadWholeFile(path);
  return c;
}

void SetDescriptor(std::vector<std::byte>& field, const std::function<void(TBlobDescriptor&)>& change) {
  TBlobDescriptor d = DescriptorOfField(field);
  change(d);
  d.EncodeTo(field.data() + kLeader);
}

struct TCase {
  const char* name;
  std::function<void(TMemoCatalogue&)> damage;
  std::size_t valuesFound;
  std::size_t regions;
  bool headerDamaged;
  std::vector<S> states;  // A B C D E
  std::size_t unlinked;
};

TEST(MemoInventory, FindsWhatSurvivesAndLinksWhatFitsOneToOne) {
  const auto zero = [](std::size_t from, std::size_t length) {
    return [=](TMemoCatalogue& c) { std::fill_n(c.file.begin() + static_cast<std::ptrdiff_t>(from), length, std::byte{0}); };
  };
  const auto moveC = [](TBlobDescriptor& d) { d.blockOffset = 0x7000; };
  const std::vector<TCase> cases = {
      {"sound", [](TMemoCatalogue&) {}, 5, 0, false, {S::kSound, S::kSound, S::kSound, S::kSound, S::kSound}, 0},
      {"header zeroed", zero(0, 4096), 5, 0, true, {S::kSound, S::kSound, S::kSound, S::kSound, S::kSound}, 0},
      {"B's first unit zeroed: C and E beyond it still found", zero(0x2000, 4096), 4, 1, false,
       {S::kSound, S::kUnresolved, S::kSound, S::kSound, S::kSound}, 0},
      {"cut inside E", [](TMemoCatalogue& c) { c.file.resize(0x5800); }, 5 - 1, 1, false,
       {S::kSound, S::kSound, S::kSound, S::kSound, S::kUnresolved}, 0},
      {"entry 63 damaged", [](TMemoCatalogue& c) { c.file[0x1000 + memo::kEntryTable + 63 * 5 + 1] = std::byte{0}; },
       4, 1, false, {S::kUnresolved, S::kSound, S::kSound, S::kSound, S::kSound}, 0},
      {"C's reference moved: relinked", [&](TMemoCatalogue& c) { SetDescriptor(c.fields[2], moveC); }, 5, 0, false,
       {S::kSound, S::kSound, S::kRelinked, S::kSound, S::kSound}, 0},
      {"C's and E's references moved: twins, neither linked",
       [&](TMemoCatalogue& c) {
         SetDescriptor(c.fields[2], moveC);
         SetDescriptor(c.fields[4], moveC);
       },
       5, 0, false, {S::kSound, S::kSound, S::kAmbiguous, S::kSound, S::kAmbiguous}, 2},
      // Damaged descriptor fields: the looser tier links by the leader and
      // the place, the length or (beside a leader of 8 bytes or more) the
      // modification number, one to one.
      {"D's modification changed: place and length agree",
       [&](TMemoCatalogue& c) { SetDescriptor(c.fields[3], [](TBlobDescriptor& d) { d.modification = 9; }); }, 5, 0,
       false, {S::kSound, S::kSound, S::kSound, S::kRelinked, S::kSound}, 0},
      {"B's length changed: the place agrees",
       [&](TMemoCatalogue& c) { SetDescriptor(c.fields[1], [](TBlobDescriptor& d) { d.length ^= 0x10100; }); }, 5, 0,
       false, {S::kSound, S::kRelinked, S::kSound, S::kSound, S::kSound}, 0},
      {"D's place and length changed: the modification agrees",
       [&](TMemoCatalogue& c) { SetDescriptor(c.fields[3], [&](TBlobDescriptor& d) { d.length = 7; moveC(d); }); },
       5, 0, false, {S::kSound, S::kSound, S::kSound, S::kRelinked, S::kSound}, 0},
      {"B's place, length and modification changed: in a whole file its leader alone links it",
       [&](TMemoCatalogue& c) {
         SetDescriptor(c.fields[1], [&](TBlobDescriptor& d) { d.length = 7, d.modification = 9, moveC(d); });
       },
       5, 0, false, {S::kSound, S::kRelinked, S::kSound, S::kSound, S::kSound}, 0},
      {"the same with the file cut inside E: a 10-byte leader alone links nothing",
       [&](TMemoCatalogue& c) {
         SetDescriptor(c.fields[1], [&](TBlobDescriptor& d) { d.length = 7, d.modification = 9, moveC(d); });
         c.file.resize(0x5800);
       },
       4, 1, false, {S::kSound, S::kUnresolved, S::kSound, S::kSound, S::kUnresolved}, 1},
      {"C's and E's places and lengths changed: twins, neither linked",
       [&](TMemoCatalogue& c) {
         for (const int twin : {2, 4}) SetDescriptor(c.fields[twin], [&](TBlobDescriptor& d) { d.length = 7; moveC(d); });
       },
       5, 0, false, {S::kSound, S::kSound, S::kAmbiguous, S::kSound, S::kAmbiguous}, 2},
      {"D's length changed and its leader too: nothing agrees enough",
       [&](TMemoCatalogue& c) {
         SetDescriptor(c.fields[3], [](TBlobDescriptor& d) { d.length = 7; });
         c.fields[3][0] ^= std::byte{1};
       },
       5, 0, false, {S::kSound, S::kSound, S::kSound, S::kUnresolved, S::kSound}, 1},
      {"B's leader changed", [](TMemoCatalogue& c) { c.fields[1][0] ^= std::byte{1}; }, 5, 0, false,
       {S::kSound, S::kUnresolved, S::kSound, S::kSound, S::kSound}, 1},
      {"B's offset into the header, E's type byte changed",
       [&](TMemoCatalogue& c) {
         SetDescriptor(c.fields[1], [](TBlobDescriptor& d) { d.blockOffset = 0; });
         SetDescriptor(c.fields[4], [](TBlobDescriptor& d) { d.index = 5; });
       },
       5, 0, false, {S::kSound, S::kRelinked, S::kSound, S::kSound, S::kRelinked}, 0},
  };
  for (const TCase& tc : cases) {
    SCOPED_TRACE(tc.name);
    TMemoCatalogue c = Build();
    ASSERT_EQ(c.file.size(), 6u * 4096);
    tc.damage(c);
    env::TMemoryFile file(c.file, "T.MB");
    const TMemoInventory inventory(file);
    EXPECT_EQ(inventory.Values().size(), tc.valuesFound);
    EXPECT_EQ(inventory.Unreadable().size(), tc.regions);
    EXPECT_EQ(inventory.HeaderDamaged(), tc.headerDamaged);
    EXPECT_EQ(inventory.Sound(), tc.regions == 0 && !tc.headerDamaged);
    std::vector<TMemoReference> refs;
    for (const auto& field : c.fields) refs.push_back({TBlobKind::kMemo, field});
    const TMemoLinks links = LinkReferences(inventory, refs);
    ASSERT_EQ(links.links.size(), tc.states.size());
    for (std::size_t r = 0; r < refs.size(); ++r) {
      SCOPED_TRACE(r);
      const TReferenceLink& link = links.links[r];
      EXPECT_EQ(link.state, tc.states[r]) << link.fault;
      EXPECT_EQ(link.fault.empty(), link.state == S::kSound);
      if (link.state == S::kSound || link.state == S::kRelinked) {
        EXPECT_EQ(ReadStoredValue(file, inventory.Values()[link.value]), c.values[r]);
      }
    }
    EXPECT_EQ(links.unlinked.size(), tc.unlinked);
    EXPECT_EQ(links.lost, static_cast<std::size_t>(std::count(tc.states.begin(), tc.states.end(), S::kAmbiguous) +
                                                   std::count(tc.states.begin(), tc.states.end(), S::kUnresolved)));
  }
}

}  // namespace
}  // namespace remdo::paradox
