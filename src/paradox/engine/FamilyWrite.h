// A family being written by an open table (private to the open table, its
// bulk load and TableWrite.cpp): the commit that owns its new files, the data file's
// header and the writer filling its blocks, the builders of the secondary
// indexes fed record by record, and what the memo file needs to know about
// the records written.
#ifndef REMDO_PARADOX_ENGINE_FAMILYWRITE_H_
#define REMDO_PARADOX_ENGINE_FAMILYWRITE_H_

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "paradox/engine/Engine.h"
#include "paradox/engine/SecondaryIndexBuilder.h"
#include "paradox/family/FamilyCommit.h"
#include "paradox/family/TableFiles.h"
#include "paradox/format/DataFileWriter.h"
#include "paradox/format/TableHeader.h"
#include "paradox/memo/TableMemo.h"

namespace remdo::paradox {

struct TFamilyWrite {
  TFamilyWrite(env::TFileSystem& fileSystem, const TTableFiles& files)
      : commit(fileSystem, files.folder, files.baseName,
               TEngineSession::Instance().IsScratchTable(files.DataPath()) ? TDurability::kScratch
                                                                           : TDurability::kDurable) {}
  TFamilyCommit commit;
  TTableHeader data;
  env::TFile* dataFile = nullptr;  // owned by the commit
  std::unique_ptr<TDataFileWriter> writer;
  std::vector<TSecondaryIndexBuilder> builders;
  // Blob references of the records written: where stored values are (when
  // values wait to be released) and the highest modification number (when
  // the memo file is missing and a new one must start above it).
  bool trackPlaces = false;
  bool trackStamps = false;
  std::set<TBlobPlace> places;
  std::uint16_t highestStamp = 0;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_FAMILYWRITE_H_
