// Blob values for the dump, read with the engine's memo file checks
// (paradox/MemoFile.h): every reference is checked against the file before
// anything is read, so a damaged file or record costs one value, never the
// dump.
#include "remdo-table/BlobValues.h"

#include <utility>

#include "env/Errors.h"
#include "env/Path.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/family/TableFiles.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/memo/MemoFile.h"

namespace remdo::tools {

namespace {

// Where the memo file of the table at dataPath is when it is not found.
std::string ExpectedMemoPath(const std::string& dataPath) { return env::ChangeExtension(dataPath, ".MB"); }

}  // namespace

TBlobValues::TBlobValues(env::TFileSystem& fileSystem, std::string dataPath)
    : fileSystem_(&fileSystem), dataPath_(std::move(dataPath)), memoPath_(ExpectedMemoPath(dataPath_)) {}

TBlobValues::TBlobValues(std::unique_ptr<env::TFile> memoFile) : file_(std::move(memoFile)) {
  memoPath_ = file_ ? file_->Path() : std::string("(none)");
}

TBlobValues::~TBlobValues() = default;

void TBlobValues::OpenMemoFile() {
  if (fileSystem_ != nullptr) {
    const paradox::TTableFiles files = paradox::FindTableFiles(*fileSystem_, dataPath_);
    if (!files.memo.empty()) {
      memoPath_ = files.folder + files.memo;
      file_ = fileSystem_->Open(memoPath_, env::TOpenMode::kRead);
    }
  }
  if (!file_) {
    throw env::EDBEngineError(paradox::kDbiErrBlobFileMissing, "The memo file " + memoPath_ + " is missing");
  }
  size_ = paradox::CheckMemoHeader(*file_);
}

env::TFile& TBlobValues::MemoFile() {
  if (!opened_) {
    opened_ = true;
    try {
      OpenMemoFile();
    } catch (const env::ERemdoError&) {
      // Kept, so that each value that needs the file gets the same reason
      // without the file being looked up again.
      fileProblem_ = std::current_exception();
    }
  }
  if (fileProblem_) std::rethrow_exception(fileProblem_);
  return *file_;
}

std::optional<std::vector<std::byte>> TBlobValues::Read(std::span<const std::byte> field, std::string& problem) {
  bool counted = false;
  try {
    if (auto inRecord = paradox::ValueInRecord(field, memoPath_)) {
      if (!inRecord->empty()) ++valuesRead_;
      return inRecord;
    }
    ++valuesRead_;
    counted = true;
    env::TFile& file = MemoFile();
    return paradox::ReadStoredBlob(file, size_, paradox::DescriptorOfField(field));
  } catch (const env::ERemdoError& e) {
    // The reference itself may be what is damaged (a field too short for
    // it, a leader-only length beyond the leader): counted here as well.
    if (!counted) ++valuesRead_;
    ++unreadable_;
    problem = e.what();
    return std::nullopt;
  }
}

}  // namespace remdo::tools
