// The scratch data file is read with the raw reader (it was just written by
// our engine, so every record is where its block says) and its blob fields
// are kept in memory, a copy per record, with the record's place in the
// file. The fields are rewritten in place: their width does not change and
// no index is built over a blob field.
#include "repair/MemoSalvage.h"
#include "repair/RunReporter.h"
#include "repair/UnlinkedMemoValues.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>

#include "env/FileStream.h"
#include "env/FileSystem.h"
#include "env/MemoryFile.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/PxFieldObject.h"
#include "paradox/format/PxObject.h"
#include "env/Errors.h"
#include "paradox/memo/MemoFile.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "paradox/memo/MemoInventory.h"
#include "paradox/memo/MemoLinking.h"
#include "paradox/memo/MemoPack.h"
#include "paradox/memo/UnitCachedFile.h"

namespace remdo::repair {

namespace {

struct TBlobColumn {
  std::size_t offset = 0;
  std::size_t width = 0;
  paradox::TBlobKind kind = paradox::TBlobKind::kMemo;
};

// Every record's blob fields, one record after another.
struct TScratchFields {
  std::vector<TBlobColumn> columns;
  std::size_t recordSize = 0;
  std::size_t perRecord = 0;
  std::vector<std::int64_t> recordOffsets;
  std::vector<std::byte> bytes;
};

std::unique_ptr<paradox::TPxObject> OpenReader(const std::string& path) {
  return std::make_unique<paradox::TPxObject>(
      env::TFileStream(env::DefaultFileSystem(), path, env::TOpenMode::kRead));
}

TScratchFields ReadBlobFields(const std::string& dataPath) {
  TScratchFields scratch;
  const auto reader = OpenReader(dataPath);
  scratch.recordSize = static_cast<std::size_t>(reader->RecordSize());
  for (const paradox::TPxFieldObject* f = reader->FirstField(); f != nullptr; f = f->Next()) {
    const auto kind = paradox::BlobKindOf(f->TypeCode());
    if (!kind) continue;
    const auto width = static_cast<std::size_t>(f->Width());
    scratch.columns.push_back({static_cast<std::size_t>(f->Offset()), width, *kind});
    scratch.perRecord += width;
  }
  if (scratch.columns.empty() || !reader->FirstRecord()) return scratch;
  do {
    const auto record = reader->RecordData();
    scratch.recordOffsets.push_back(reader->RecordFileOffset());
    for (const TBlobColumn& column : scratch.columns) {
      const auto field = record.subspan(column.offset, column.width);
      scratch.bytes.insert(scratch.bytes.end(), field.begin(), field.end());
    }
  } while (reader->NextRecord());
  return scratch;
}

// The records' blob fields written back into the data file, a run of
// adjacent records at a time (a block holds its records one after another):
// one read and one write a run rather than a write a field.
void WriteFieldsBack(const std::string& dataPath, const TScratchFields& scratch) {
  constexpr std::size_t kMostRecordsARun = 4096;
  auto data = env::DefaultFileSystem().Open(dataPath, env::TOpenMode::kReadWrite);
  const auto& offsets = scratch.recordOffsets;
  std::vector<std::byte> run;
  for (std::size_t first = 0; first < offsets.size();) {
    std::size_t end = first + 1;
    while (end < offsets.size() && end - first < kMostRecordsARun &&
           offsets[end] == offsets[end - 1] + static_cast<std::int64_t>(scratch.recordSize)) {
      ++end;
    }
    run.resize((end - first) * scratch.recordSize);
    const auto at = static_cast<std::uint64_t>(offsets[first]);
    if (data->ReadAt(at, run) != run.size()) throw env::EReadError("Cannot read the records of " + dataPath + ".");
    for (std::size_t r = first; r < end; ++r) {
      const std::byte* fields = scratch.bytes.data() + r * scratch.perRecord;
      std::byte* record = run.data() + (r - first) * scratch.recordSize;
      for (const TBlobColumn& column : scratch.columns) {
        std::copy_n(fields, column.width, record + column.offset);
        fields += column.width;
      }
    }
    data->WriteAt(at, run);
    first = end;
  }
  data->Close();
}

// A record's key as a person reads it: its key fields, separated by "/".
std::string KeyText(const paradox::TPxObject& reader) {
  std::string text;
  const paradox::TPxFieldObject* field = reader.FirstField();
  for (int i = 0; i < std::max(reader.KeyFieldCount(), 1) && field != nullptr; ++i, field = field->Next()) {
    if (i > 0) text += "/";
    if (field->TypeCode() == paradox::fieldtype::kAlpha) {
      text += field->AsText();
    } else if (paradox::fieldtype::IsFloating(field->TypeCode()) && std::trunc(field->AsFloat()) != field->AsFloat()) {
      text += std::to_string(field->AsFloat());
    } else {
      text += std::to_string(field->AsInteger());
    }
  }
  return text;
}

// The keys of the records whose fields were cut, with the reason.
std::vector<std::string> CutRecords(const std::string& dataPath, const TScratchFields& scratch,
                                    const paradox::TMemoLinks& links) {
  std::vector<std::string> keys;
  const auto reader = OpenReader(dataPath);
  const std::size_t columns = scratch.columns.size();
  std::size_t record = 0;
  if (!reader->FirstRecord()) return keys;
  do {
    for (std::size_t c = 0; c < columns; ++c) {
      const paradox::TReferenceLink& link = links.links[record * columns + c];
      if (link.state == paradox::TLinkState::kAmbiguous || link.state == paradox::TLinkState::kUnresolved) {
        keys.push_back(KeyText(*reader) + ": " + link.fault);
      }
    }
    ++record;
  } while (record < scratch.recordOffsets.size() && reader->NextRecord());
  return keys;
}

bool NeedsMemoFile(std::span<const paradox::TMemoReference> refs) {
  for (const auto& ref : refs) {
    if (ref.field.size() < paradox::TBlobDescriptor::kSize) continue;
    const auto d = paradox::DescriptorOfField(ref.field);
    if (!d.IsBlank() && !(d.IsLeaderOnly() && d.length <= ref.field.size() - paradox::TBlobDescriptor::kSize)) {
      return true;
    }
  }
  return false;
}

std::vector<std::string> Findings(const paradox::TMemoInventory& inventory, const paradox::TMemoLinks& links,
                                  bool missing) {
  std::vector<std::string> findings;
  if (missing) {
    findings.push_back("the memo file is missing");
  } else if (inventory.HeaderDamaged()) {
    findings.push_back("its header block is damaged");
  }
  for (const auto& region : inventory.Unreadable()) {
    findings.push_back(region.reason + " (" + std::to_string(region.length) + " bytes not read)");
  }
  const std::size_t broken = links.relinked + links.lost;
  if (broken > 0) findings.push_back(std::to_string(broken) + " references do not find their values");
  return findings;
}

}  // namespace

TMemoSalvage SalvageMemoFile(const TMemoSalvageRequest& request) {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const std::string& dataPath = request.dataPath;
  const std::string& memoPath = request.memoPath;
  TMemoSalvage salvage;
  TScratchFields scratch = ReadBlobFields(dataPath);
  if (scratch.columns.empty()) return salvage;
  std::vector<paradox::TMemoReference> refs;
  std::vector<paradox::TBlobFieldRef> fields;
  for (std::size_t at = 0; at < scratch.bytes.size(); at += scratch.perRecord) {
    std::size_t offset = at;
    for (const TBlobColumn& column : scratch.columns) {
      const std::span<std::byte> field(scratch.bytes.data() + offset, column.width);
      refs.push_back({column.kind, field});
      fields.push_back({column.kind, field});
      offset += column.width;
    }
  }
  const bool missing = !fileSystem.FileExists(memoPath);
  if (missing && !NeedsMemoFile(refs)) return salvage;
  // Read through kept stretches: the walk and the values go through the
  // file about in its order.
  std::unique_ptr<env::TFile> old =
      missing ? std::unique_ptr<env::TFile>(std::make_unique<env::TMemoryFile>())
              : std::make_unique<paradox::TUnitCachedFile>(fileSystem.Open(memoPath, env::TOpenMode::kRead));
  // Of each value only as many first bytes as the longest leader compares.
  std::size_t longestLeader = 0;
  for (const TBlobColumn& column : scratch.columns) {
    longestLeader = std::max(longestLeader, column.width - std::min(column.width, paradox::TBlobDescriptor::kSize));
  }
  const paradox::TMemoInventory inventory(*old, longestLeader + paradox::kBlobPrefixSize);
  paradox::TMemoLinks links = paradox::LinkReferences(inventory, refs);
  if (missing) {
    for (auto& link : links.links) {
      if (!link.fault.empty()) link.fault = "the memo file is missing";
    }
  }
  salvage.findings = Findings(inventory, links, missing);
  salvage.intact = links.sound;
  salvage.relinked = links.relinked;
  salvage.unlinked = links.unlinked.size();
  if (salvage.findings.empty()) return salvage;

  paradox::TMemoFileBuilder builder(fileSystem, request.newMemoPath);
  salvage.cut = paradox::WriteLinkedValues(*old, inventory, links, builder, fields);
  builder.Finish();
  if (!links.unlinked.empty() && request.unlinkedPath) {
    const std::string base = request.unlinkedPath();
    salvage.unlinkedTable = base + ".db";
    salvage.unlinkedFile = base + ".csv";
    WriteUnlinkedValuesTable(salvage.unlinkedTable, *old, inventory, links.unlinked, request.languageDriver);
    WriteUnlinkedValues(salvage.unlinkedFile, *old, inventory, links.unlinked, request.codePage);
  }
  old->Close();
  WriteFieldsBack(dataPath, scratch);
  salvage.written = true;
  if (salvage.cut > 0) salvage.cutRecords = CutRecords(dataPath, scratch, links);
  return salvage;
}

std::vector<std::string> ValuesAPackWouldCut(const std::string& dataPath, const std::string& memoPath) {
  std::vector<std::string> cut;
  const auto reader = OpenReader(dataPath);
  std::vector<TBlobColumn> columns;
  for (const paradox::TPxFieldObject* f = reader->FirstField(); f != nullptr; f = f->Next()) {
    if (const auto kind = paradox::BlobKindOf(f->TypeCode())) {
      columns.push_back({static_cast<std::size_t>(f->Offset()), static_cast<std::size_t>(f->Width()), *kind});
    }
  }
  if (columns.empty() || !reader->FirstRecord()) return cut;
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  // What stops every stored value at once: no file, or no memo header.
  std::string fileFault;
  std::unique_ptr<env::TFile> memo;
  std::uint64_t size = 0;
  if (!fileSystem.FileExists(memoPath)) {
    fileFault = "the memo file is missing";
  } else {
    memo = fileSystem.Open(memoPath, env::TOpenMode::kRead);
    try {
      size = paradox::CheckMemoHeader(*memo);
    } catch (const env::EDBEngineError& e) {
      fileFault = e.what();
    }
  }
  do {
    const auto record = reader->RecordData();
    for (const TBlobColumn& column : columns) {
      const auto field = record.subspan(column.offset, column.width);
      try {
        if (paradox::ValueInRecord(field, memoPath)) continue;
        if (fileFault.empty()) {
          (void)paradox::LocateBlob(*memo, size, paradox::DescriptorOfField(field));
          continue;
        }
        cut.push_back(KeyText(*reader) + ": " + fileFault);
      } catch (const env::EDBEngineError& e) {
        cut.push_back(KeyText(*reader) + ": " + e.what());
      }
    }
  } while (reader->NextRecord());
  return cut;
}

void LogCutRecords(TRunReporter& run, const std::vector<std::string>& records, const std::string& heading) {
  // Records named on screen; the log file names all.
  constexpr std::size_t kVisible = 5;
  if (records.empty()) return;
  if (!heading.empty()) run.LogLine("  -- " + heading + std::to_string(records.size()) + (records.size() == 1 ? " memo value" : " memo values") + " to their leader");
  for (std::size_t i = 0; i < records.size(); ++i) {
    run.LogLine(std::string(i < kVisible ? "" : "~") + "     value cut, record " + records[i]);
  }
  if (records.size() > kVisible) {
    run.LogLine("     (" + std::to_string(records.size() - kVisible) + " more records in the log file)");
  }
}

}  // namespace remdo::repair
