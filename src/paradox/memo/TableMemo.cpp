// The table's memo file: a reader until the first value is stored, then
// the editor, which reads as well.
#include "paradox/memo/TableMemo.h"

#include <array>

#include "env/Errors.h"
#include "paradox/format/MemoFormat.h"
#include "paradox/memo/MemoFile.h"
#include "paradox/memo/MemoFileEditor.h"

namespace remdo::paradox {

namespace {

// A new, empty memo file whose counter is above every stamp in use.
void CreateMemoFile(env::TFileSystem& fileSystem, const std::string& path, std::uint16_t highestStamp) {
  memo::THeaderBlock header;
  header.modificationCounter = highestStamp >= 0xFFFE ? 1 : static_cast<std::uint16_t>(highestStamp + 1);
  std::array<std::byte, memo::kUnit> raw{};
  header.EncodeTo(raw.data());
  auto file = fileSystem.Open(path, env::TOpenMode::kCreate);
  file->WriteAt(0, raw);
  file->Flush();
  file->Close();
}

}  // namespace

TTableMemo::TTableMemo(env::TFileSystem& fileSystem, std::string path)
    : fileSystem_(fileSystem), path_(std::move(path)) {}

TTableMemo::~TTableMemo() = default;

std::vector<std::byte> TTableMemo::Read(std::span<const std::byte> field) {
  if (editor_) return editor_->ReadField(field);
  if (!reader_) reader_ = std::make_unique<TMemoFile>(fileSystem_, path_);
  return reader_->ReadField(field);
}

TMemoFileEditor& TTableMemo::Editor(std::uint16_t highestStamp) {
  if (editor_) return *editor_;
  reader_.reset();
  if (!fileSystem_.FileExists(path_)) CreateMemoFile(fileSystem_, path_, highestStamp);
  editor_ = std::make_unique<TMemoFileEditor>(fileSystem_, path_);
  return *editor_;
}

TBlobDescriptor TTableMemo::Store(std::span<std::byte> field, TBlobKind kind, std::span<const std::byte> value,
                                  std::uint16_t highestStamp) {
  const std::size_t leader = LeaderSizeOf(field.size());
  TBlobDescriptor d;
  if (!value.empty() && !FitsInLeader(kind, value.size(), leader)) {
    d = Editor(highestStamp).Store(kind, value, leader);
  } else if (!value.empty()) {
    d = {0, 0, static_cast<std::uint32_t>(value.size()), 0};
  }
  EncodeBlobField(field, kind, value, d);
  return d;
}

void TTableMemo::Discard(const TBlobDescriptor& stored) {
  if (!IsStoredBlob(stored) || !editor_) return;
  try {
    (void)editor_->Release(stored);
  } catch (const env::ERemdoError&) {
    // Only space is lost; the next pack frees it.
  }
}

void TTableMemo::ReleaseLater(const TBlobDescriptor& old) {
  if (IsStoredBlob(old)) releases_.push_back(old);
}

void TTableMemo::WritePending() {
  if (editor_) editor_->WritePending();
}

void TTableMemo::Flush() {
  if (editor_) editor_->Flush();
}

void TTableMemo::ReleaseAfterCommit(const std::set<TBlobPlace>& stillReferenced) {
  std::vector<TBlobDescriptor> releases;
  releases.swap(releases_);
  if (releases.empty() || (!editor_ && !fileSystem_.FileExists(path_))) return;
  try {
    TMemoFileEditor& editor = Editor(0);
    for (const TBlobDescriptor& d : releases) {
      if (stillReferenced.count({d.blockOffset, d.index}) == 0) (void)editor.Release(d);
    }
  } catch (const env::ERemdoError&) {
    // A missing or damaged file, or a failing disk: the values stay where
    // they are, unreferenced, until the next pack.
  }
}

void TTableMemo::Close() {
  reader_.reset();
  if (!editor_) return;
  std::unique_ptr<TMemoFileEditor> editor = std::move(editor_);
  try {
    editor->Close();
  } catch (const env::ERemdoError&) {
  }
}

}  // namespace remdo::paradox
