#include "paradox/memo/MemoLooseLinking.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

namespace remdo::paradox {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);
// Distinct byte values that make a long leader varied text rather than a
// run of one or two characters.
constexpr std::size_t kVariedBytes = 4;

std::span<const std::byte> LeaderOf(const TMemoReference& ref) {
  return ref.field.first(ref.field.size() - TBlobDescriptor::kSize);
}

// How many of the leader's bytes are compared with a value of this length.
std::size_t ComparedBytes(TBlobKind kind, std::size_t leaderSize, std::uint32_t length) {
  const std::size_t payload = !HasBlobPrefix(kind)          ? length
                              : length >= kBlobPrefixSize ? length - kBlobPrefixSize
                                                          : 0;
  return std::min(leaderSize, payload);
}

bool Blank(std::span<const std::byte> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return b == std::byte{0} || b == std::byte{' '}; });
}

bool Varied(std::span<const std::byte> bytes) {
  std::array<bool, 256> seen{};
  std::size_t distinct = 0;
  for (const std::byte b : bytes) {
    bool& s = seen[std::to_integer<std::size_t>(b)];
    if (!s) ++distinct;
    s = true;
  }
  return distinct >= kVariedBytes;
}

// Whether the reference points into a part of the file that could not be
// read: its value is then more likely lost there than named wrongly.
bool PointsIntoUnreadable(const TMemoInventory& inventory, const TBlobDescriptor& descriptor) {
  const auto& regions = inventory.Unreadable();
  return std::any_of(regions.begin(), regions.end(), [&](const TUnreadableRegion& region) {
    return descriptor.blockOffset >= region.offset && descriptor.blockOffset - region.offset < region.length;
  });
}

std::string Text(std::span<const std::byte> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The free values found by the bytes a leader of a given size and kind
// copies from them, so that a reference is compared only with values that
// begin as its leader does (and with the few values shorter than a leader,
// which every leader of that size is compared with).
class TLeaderIndex {
 public:
  TLeaderIndex(const TMemoInventory& inventory, std::span<const std::size_t> free)
      : inventory_(inventory), free_(free) {}

  // The values that may fit the leader; LooselyFits decides.
  std::vector<std::size_t> Near(TBlobKind kind, std::span<const std::byte> leader) {
    const TGroup& group = GroupOf(HasBlobPrefix(kind), leader.size());
    std::vector<std::size_t> near = group.shorter;
    if (const auto found = group.byLeader.find(Text(leader)); found != group.byLeader.end()) {
      near.insert(near.end(), found->second.begin(), found->second.end());
    }
    return near;
  }

 private:
  struct TGroup {
    std::unordered_map<std::string, std::vector<std::size_t>> byLeader;
    std::vector<std::size_t> shorter;
  };

  const TGroup& GroupOf(bool prefixed, std::size_t leaderSize) {
    const auto key = std::pair{prefixed, leaderSize};
    if (const auto found = groups_.find(key); found != groups_.end()) return found->second;
    TGroup& group = groups_[key];
    const TBlobKind kind = prefixed ? TBlobKind::kGraphic : TBlobKind::kMemo;
    for (const std::size_t v : free_) {
      const TStoredValue& value = inventory_.Values()[v];
      const auto payload = BlobPayload(kind, inventory_.FirstBytes(value));
      if (ComparedBytes(kind, leaderSize, value.length) < leaderSize || payload.size() < leaderSize) {
        group.shorter.push_back(v);
      } else {
        group.byLeader[Text(payload.first(leaderSize))].push_back(v);
      }
    }
    return group;
  }

  const TMemoInventory& inventory_;
  std::span<const std::size_t> free_;
  std::map<std::pair<bool, std::size_t>, TGroup> groups_;
};

}  // namespace

bool LooselyFits(const TMemoInventory& inventory, const TMemoReference& ref, const TBlobDescriptor& descriptor,
                 const TStoredValue& value) {
  const auto leader = LeaderOf(ref);
  const std::size_t compared = ComparedBytes(ref.kind, leader.size(), value.length);
  if (compared == 0 || Blank(leader.first(compared))) return false;
  if (!LeaderMatches(ref.kind, leader, inventory.FirstBytes(value), value.length)) return false;
  if (value.blockOffset == descriptor.blockOffset && value.slot == descriptor.index) return true;
  if (value.length == descriptor.length) return true;
  if (value.modification == descriptor.modification &&
      (compared >= kModestLeader || !PointsIntoUnreadable(inventory, descriptor))) {
    return true;
  }
  return (compared >= kDistinctiveLeader && Varied(leader.first(compared))) || inventory.Unreadable().empty();
}

void LinkLoosely(const TMemoInventory& inventory, std::span<const TMemoReference> references,
                 std::span<const std::size_t> broken, std::span<const TBlobDescriptor> descriptors,
                 std::span<const std::size_t> free, std::vector<bool>& used, std::span<TReferenceLink> links) {
  if (broken.empty() || free.empty()) return;
  TLeaderIndex index(inventory, free);
  std::unordered_map<std::size_t, std::uint32_t> fitsOf;  // references each value fits
  std::vector<std::size_t> choice(broken.size(), kNone);
  std::vector<std::uint32_t> fitCount(broken.size(), 0);
  for (std::size_t b = 0; b < broken.size(); ++b) {
    const TMemoReference& ref = references[broken[b]];
    for (const std::size_t v : index.Near(ref.kind, LeaderOf(ref))) {
      if (!LooselyFits(inventory, ref, descriptors[b], inventory.Values()[v])) continue;
      ++fitsOf[v];
      ++fitCount[b];
      choice[b] = v;
    }
  }
  for (std::size_t b = 0; b < broken.size(); ++b) {
    TReferenceLink& link = links[broken[b]];
    if (fitCount[b] == 0) continue;
    if (fitCount[b] == 1 && fitsOf[choice[b]] == 1) {
      link.state = TLinkState::kRelinked;
      link.value = choice[b];
      used[choice[b]] = true;
      continue;
    }
    link.state = TLinkState::kAmbiguous;
    link.fault += fitCount[b] > 1 ? "; " + std::to_string(fitCount[b]) + " stored values begin as its leader"
                                  : "; the one value that begins as its leader fits another record too";
  }
}

}  // namespace remdo::paradox
