// Journal layout (little-endian):
//   header, 32 bytes: "RJNL", u16 version 1, u16 record size, u64 stamp,
//                     16 bytes zero
//   entries:          u8 kind, u32 position, u32 payload length, payload
//                     (before then after), u32 FNV-1a of kind..payload
// A torn entry at the end (a crash during a save) fails its length or
// checksum and ends the replay there.
#include "paradox/family/Journal.h"

#include <algorithm>

#include "env/Errors.h"
#include "paradox/codes/Coding.h"

namespace remdo::paradox {

namespace {

constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kEntryHead = 9;

std::uint32_t Fnv1a(std::span<const std::byte> bytes) {
  std::uint32_t hash = 2166136261u;
  for (const std::byte b : bytes) {
    hash ^= std::to_integer<std::uint32_t>(b);
    hash *= 16777619u;
  }
  return hash;
}

std::vector<std::byte> EncodeHeader(std::uint64_t stamp, std::uint16_t recordSize) {
  std::vector<std::byte> header(kHeaderSize);
  const char magic[] = "RJNL";
  for (int i = 0; i < 4; ++i) header[i] = static_cast<std::byte>(magic[i]);
  PutU16(header.data() + 4, 1);
  PutU16(header.data() + 6, recordSize);
  PutU32(header.data() + 8, static_cast<std::uint32_t>(stamp));
  PutU32(header.data() + 12, static_cast<std::uint32_t>(stamp >> 32));
  return header;
}

std::size_t PayloadSize(TJournalOpKind kind, std::size_t recordSize) {
  return kind == TJournalOpKind::kModify ? 2 * recordSize : recordSize;
}

}  // namespace

std::uint64_t JournalStamp(std::span<const std::byte> headerBytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const std::byte b : headerBytes) {
    hash ^= std::to_integer<std::uint64_t>(b);
    hash *= 1099511628211ull;
  }
  return hash;
}

TJournal::TJournal(env::TFileSystem& fileSystem, std::string path, std::uint64_t stamp, std::uint16_t recordSize)
    : fileSystem_(fileSystem), path_(std::move(path)), stamp_(stamp), recordSize_(recordSize) {}

TJournal::~TJournal() { Close(); }

void TJournal::Close() noexcept {
  if (!file_) return;
  try {
    file_->Close();
  } catch (const env::ERemdoError&) {
  }
  file_.reset();
}

void TJournal::KeepAside(std::string_view why, std::vector<std::string>& warnings) {
  // An earlier journal kept aside keeps its place.
  std::string stale = path_ + std::string(kStaleJournalSuffix);
  for (int n = 2; fileSystem_.FileExists(stale); ++n) {
    stale = path_ + std::string(kStaleJournalSuffix) + std::to_string(n);
  }
  if (fileSystem_.Rename(path_, stale, false)) {
    warnings.push_back("The journal " + path_ + " " + std::string(why) + "; it was kept as " + stale +
                       " and the table opened as its data file stands.");
  } else {
    warnings.push_back("The journal " + path_ + " " + std::string(why) + " and was not replayed.");
  }
}

std::vector<TJournalOp> TJournal::Load(std::vector<std::string>& warnings) {
  std::vector<TJournalOp> ops;
  if (!fileSystem_.FileExists(path_)) return ops;
  auto file = fileSystem_.Open(path_, env::TOpenMode::kRead);
  const std::uint64_t size = file->Size();
  if (size > kHeaderSize + kMaxJournalChanges + kEntryHead + 2 * std::uint64_t{recordSize_} + 4) {
    file->Close();
    KeepAside("is larger than any the engine writes", warnings);
    return ops;
  }
  std::vector<std::byte> bytes(static_cast<std::size_t>(size));
  bytes.resize(file->ReadAt(0, bytes));
  file->Close();
  if (bytes.size() < kHeaderSize || !std::equal(bytes.begin(), bytes.begin() + kHeaderSize,
                                                EncodeHeader(stamp_, recordSize_).begin())) {
    // Another table's journal (the table was replaced after a crash): kept
    // aside, never replayed into this one.
    KeepAside("belongs to an earlier table of that name", warnings);
    return ops;
  }
  std::size_t at = kHeaderSize;
  while (at + kEntryHead <= bytes.size()) {
    const auto kind = static_cast<TJournalOpKind>(bytes[at]);
    if (kind != TJournalOpKind::kInsert && kind != TJournalOpKind::kModify && kind != TJournalOpKind::kDelete) break;
    const std::uint32_t length = GetU32(bytes.data() + at + 5);
    if (length != PayloadSize(kind, recordSize_) || at + kEntryHead + length + 4 > bytes.size()) break;
    const std::span<const std::byte> entry(bytes.data() + at, kEntryHead + length);
    if (GetU32(bytes.data() + at + kEntryHead + length) != Fnv1a(entry)) break;
    TJournalOp op;
    op.kind = kind;
    op.position = GetU32(bytes.data() + at + 1);
    const std::byte* payload = bytes.data() + at + kEntryHead;
    if (kind == TJournalOpKind::kInsert) {
      op.after.assign(payload, payload + recordSize_);
    } else {
      op.before.assign(payload, payload + recordSize_);
      if (kind == TJournalOpKind::kModify) op.after.assign(payload + recordSize_, payload + 2 * recordSize_);
    }
    ops.push_back(std::move(op));
    at += kEntryHead + length + 4;
  }
  end_ = at;
  return ops;
}

void TJournal::OpenForAppend() {
  if (file_) return;
  if (end_ == 0) {
    file_ = fileSystem_.Open(path_, env::TOpenMode::kCreate);
    file_->WriteAt(0, EncodeHeader(stamp_, recordSize_));
    end_ = kHeaderSize;
  } else {
    file_ = fileSystem_.Open(path_, env::TOpenMode::kReadWrite);
    file_->Truncate(end_);
  }
}

void TJournal::Append(std::span<const TJournalOp> ops) {
  if (ops.empty()) return;
  OpenForAppend();
  std::vector<std::byte> out;
  for (const auto& op : ops) {
    const std::size_t start = out.size();
    const std::size_t length = op.before.size() + op.after.size();
    out.resize(start + kEntryHead + length + 4);
    std::byte* p = out.data() + start;
    p[0] = static_cast<std::byte>(op.kind);
    PutU32(p + 1, op.position);
    PutU32(p + 5, static_cast<std::uint32_t>(length));
    std::copy(op.before.begin(), op.before.end(), p + kEntryHead);
    std::copy(op.after.begin(), op.after.end(), p + kEntryHead + op.before.size());
    PutU32(p + kEntryHead + length, Fnv1a(std::span<const std::byte>(p, kEntryHead + length)));
  }
  file_->WriteAt(end_, out);
  end_ += out.size();
}

}  // namespace remdo::paradox
