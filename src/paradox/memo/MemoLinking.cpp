#include "paradox/memo/MemoLinking.h"

#include <algorithm>
#include <optional>
#include <tuple>

#include "paradox/format/MemoFormat.h"
#include "paradox/memo/MemoLooseLinking.h"

namespace remdo::paradox {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::string Where(const TBlobDescriptor& d) {
  return "offset " + std::to_string(d.blockOffset) +
         (d.IsSingleBlock() ? std::string() : " entry " + std::to_string(d.index));
}

// Why a reference that needs the file does not find its value there; nothing
// when it does.
std::optional<std::string> FaultOf(const TMemoInventory& inventory, const TMemoReference& ref,
                                   const TBlobDescriptor& d, std::size_t& value) {
  const auto leader = ref.field.first(ref.field.size() - TBlobDescriptor::kSize);
  if (d.IsLeaderOnly()) return "the value of " + std::to_string(d.length) + " bytes is said to fit its leader";
  if (d.blockOffset < memo::kUnit) return "the reference points into the header block";
  if (d.blockOffset >= inventory.FileSize()) return "the reference points past the end of the file";
  const TStoredValue* found = inventory.Find(d.blockOffset, d.index);
  if (found == nullptr) return "no value of its kind was found at " + Where(d);
  value = static_cast<std::size_t>(found - inventory.Values().data());
  if (found->length != d.length) {
    return "the value at " + Where(d) + " is " + std::to_string(found->length) + " bytes long, not " +
           std::to_string(d.length);
  }
  if (found->modification != d.modification) return "the value at " + Where(d) + " is of another modification";
  if (!LeaderMatches(ref.kind, leader, inventory.FirstBytes(*found), found->length)) {
    return "the value at " + Where(d) + " does not begin as the record's leader";
  }
  return std::nullopt;
}

// The values no sound reference uses, ordered by length and modification
// number for the search of a broken reference's value.
struct TCandidates {
  std::vector<std::size_t> order;
  const TMemoInventory& inventory;

  static auto Key(const TStoredValue& v) { return std::tuple{v.length, v.modification}; }

  std::span<const std::size_t> Fitting(const TBlobDescriptor& d) const {
    const auto key = std::tuple{d.length, d.modification};
    const auto& values = inventory.Values();
    const auto lo = std::lower_bound(order.begin(), order.end(), key,
                                     [&](std::size_t i, const auto& k) { return Key(values[i]) < k; });
    const auto hi = std::upper_bound(lo, order.end(), key,
                                     [&](const auto& k, std::size_t i) { return k < Key(values[i]); });
    return {lo, hi};
  }
};

}  // namespace

bool LeaderMatches(TBlobKind kind, std::span<const std::byte> leader, std::span<const std::byte> firstBytes,
                   std::uint32_t length) {
  const auto payload = BlobPayload(kind, firstBytes);
  const std::size_t payloadLength = HasBlobPrefix(kind) && length >= kBlobPrefixSize ? length - kBlobPrefixSize
                                    : HasBlobPrefix(kind)                            ? 0
                                                                                     : length;
  const std::size_t compared = std::min(leader.size(), payloadLength);
  if (payload.size() < compared) return false;
  return std::equal(leader.begin(), leader.begin() + static_cast<std::ptrdiff_t>(compared), payload.begin());
}

TMemoLinks LinkReferences(const TMemoInventory& inventory, std::span<const TMemoReference> references) {
  TMemoLinks result;
  result.links.resize(references.size());
  std::vector<bool> used(inventory.Values().size(), false);
  // The broken references, with their descriptors.
  std::vector<std::size_t> broken;
  std::vector<TBlobDescriptor> descriptors;
  for (std::size_t r = 0; r < references.size(); ++r) {
    TReferenceLink& link = result.links[r];
    const TMemoReference& ref = references[r];
    if (ref.field.size() < TBlobDescriptor::kSize) {
      link = {TLinkState::kUnresolved, 0, "the field is shorter than a reference"};
      ++result.lost;
      continue;
    }
    const TBlobDescriptor d = DescriptorOfField(ref.field);
    const std::size_t leaderSize = ref.field.size() - TBlobDescriptor::kSize;
    if (d.IsBlank() || (d.IsLeaderOnly() && d.length <= leaderSize)) continue;
    std::size_t value = kNone;
    if (auto fault = FaultOf(inventory, ref, d, value)) {
      link.fault = std::move(*fault);
      broken.push_back(r);
      descriptors.push_back(d);
      continue;
    }
    link = {TLinkState::kSound, value, {}};
    used[value] = true;
    ++result.sound;
  }

  TCandidates candidates{{}, inventory};
  for (std::size_t v = 0; v < used.size(); ++v) {
    if (!used[v]) candidates.order.push_back(v);
  }
  std::stable_sort(candidates.order.begin(), candidates.order.end(), [&](std::size_t a, std::size_t b) {
    return TCandidates::Key(inventory.Values()[a]) < TCandidates::Key(inventory.Values()[b]);
  });
  // How many broken references each value fits, and the one value each
  // broken reference fits.
  std::vector<std::uint32_t> fitsOf(used.size(), 0);
  std::vector<std::size_t> choice(broken.size(), kNone);
  std::vector<std::uint32_t> fitCount(broken.size(), 0);
  for (std::size_t b = 0; b < broken.size(); ++b) {
    const TMemoReference& ref = references[broken[b]];
    const auto leader = ref.field.first(ref.field.size() - TBlobDescriptor::kSize);
    for (const std::size_t v : candidates.Fitting(descriptors[b])) {
      const TStoredValue& value = inventory.Values()[v];
      if (!LeaderMatches(ref.kind, leader, inventory.FirstBytes(value), value.length)) continue;
      ++fitsOf[v];
      ++fitCount[b];
      choice[b] = v;
    }
  }
  // The references no value fits exactly, for the looser tier.
  std::vector<std::size_t> unfitting;
  std::vector<TBlobDescriptor> unfittingDescriptors;
  for (std::size_t b = 0; b < broken.size(); ++b) {
    TReferenceLink& link = result.links[broken[b]];
    if (fitCount[b] == 1 && fitsOf[choice[b]] == 1) {
      link.state = TLinkState::kRelinked;
      link.value = choice[b];
      used[choice[b]] = true;
      continue;
    }
    if (fitCount[b] == 0) {
      link.state = TLinkState::kUnresolved;
      unfitting.push_back(broken[b]);
      unfittingDescriptors.push_back(descriptors[b]);
    } else {
      link.state = TLinkState::kAmbiguous;
      link.fault += fitCount[b] > 1 ? "; " + std::to_string(fitCount[b]) + " stored values fit it equally"
                                    : "; the one value that fits it fits another record too";
    }
  }
  // A value some reference fits exactly is never offered to a looser fit.
  std::vector<std::size_t> free;
  for (std::size_t v = 0; v < used.size(); ++v) {
    if (!used[v] && fitsOf[v] == 0) free.push_back(v);
  }
  LinkLoosely(inventory, references, unfitting, unfittingDescriptors, free, used, result.links);
  for (const std::size_t r : broken) {
    if (result.links[r].state == TLinkState::kRelinked) {
      ++result.relinked;
    } else {
      ++result.lost;
    }
  }
  for (std::size_t v = 0; v < used.size(); ++v) {
    if (!used[v]) result.unlinked.push_back(v);
  }
  return result;
}

}  // namespace remdo::paradox
