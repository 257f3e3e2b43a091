// Every kind of finding the checks report, in one table: a stable code
// grouped by area, the severity that decides how its line reads, the effect
// on the table, and the text. A finding is a record (Finding.h); its line in
// a report is made from this table, and nowhere else is its text typed.
//
// Codes never change meaning once given: reports read by scripts (the
// verify run's JSON) name them. A new kind takes the next free code of its
// area.
#ifndef REMDO_REPAIR_FINDINGS_FINDINGKINDS_H_
#define REMDO_REPAIR_FINDINGS_FINDINGKINDS_H_

#include <cstdint>
#include <span>
#include <string_view>

namespace remdo::repair {

enum class TFindingArea : std::uint8_t {
  kDataFile,        // 1xx: the data file's header and block walk
  kLayout,          // 2xx: the record layout against the built-in structure
  kKeys,            // 3xx: key order and uniqueness
  kPrimaryIndex,    // 4xx: the primary index and every index tree
  kSecondaryIndex,  // 5xx: secondary index files against the records
  kMemo,            // 6xx: the memo file against the records' references
  kFolder,          // 7xx: the data folder, leftovers, refused writes
  kRepairStep,      // 8xx: what a repair does or would do
};

enum class TSeverity : std::uint8_t {
  kDetail,   // a fact: "    records found      : 12"
  kDamage,   // damage: "  -- 2 records not found"
  kLogOnly,  // the log file only
};

// What the finding says about its table, the worst of a table's findings
// being its verdict.
enum class TTableEffect : std::uint8_t { kSound, kRepairable, kLoss, kUnreadable };

enum class TFindingCode : std::uint16_t {
  kHeaderRecords = 101,
  kRecordsFound = 102,
  kRecordsNotFound = 103,
  kRecordsPastHeaderCount = 104,
  kBlocksPassedOver = 105,
  kEmptyBlocks = 106,
  kPartialBlock = 107,
  kUnreadableTable = 108,
  kUnreadableTableFormat = 109,
  kMarkedEncrypted = 110,
  kEncryptionMarkOverPlainBlocks = 111,
  kTableNotFound = 112,

  kLayoutAsStructure = 201,
  kEarlierFolderLayout = 202,
  kIncorrectTableFormat = 203,

  kKeyOrderUnknown = 301,
  kKeysOutOfOrder = 302,
  kDuplicateKeys = 303,

  kIndexesNotChecked = 401,
  kPrimaryIndexMissing = 402,
  kPrimaryIndexUnreadable = 403,
  kTreeLinksOutsideFile = 404,
  kTreeBlocksReachedTwice = 405,
  kTreeBlocksImpossibleCount = 406,
  kTreeBlocksWithoutEntries = 407,
  kTreeTooManyLevels = 408,
  kTreeEntryCountDiffers = 409,
  kTreeKeyWidthDiffers = 410,
  kEntriesPointingAtNoBlock = 411,
  kEntriesPointingAtSharedBlock = 412,
  kEntriesPointingOutsideChain = 413,
  kEntriesPointingAtDamagedBlock = 414,
  kEntriesKeyNotBlocksFirst = 415,
  kEntriesRecordCountDiffers = 416,
  kRecordsIndexDoesNotReach = 417,

  kSecondaryIndexMissing = 501,
  kSecondaryEntryFileMissing = 502,
  kSecondaryTreeFileMissing = 503,
  kSecondaryIndexUnreadable = 504,
  kSecondaryIndexMisfit = 505,
  kSecondaryIndexOfUnkeyedTable = 506,
  kSecondaryRecordsNotHeld = 507,
  kSecondaryEntriesForNoRecord = 508,

  kMemoFileMissing = 601,
  kMemoFileUnreadable = 602,
  kMemoHeaderDamaged = 603,
  kMemoPartsUnreadable = 604,
  kMemoReferencesIntoMissingFile = 605,
  kMemoReferencesNotFollowed = 606,
  kMemoReferencesRelinkable = 607,
  kMemoReferencesAmbiguous = 608,
  kMemoReferencesLost = 609,
  kMemoValuesUnreferenced = 610,
  kMemoNewFilePrediction = 611,
  kMemoFileRewritten = 612,

  kNoDataFolder = 701,
  kWriteRefused = 702,

  kRepairWould = 801,
  kRecordsWouldBeMissing = 802,
  kRepairWouldTakeSavedCopy = 803,
  kRepairWouldNotCheck = 804,
  kRepairRunWouldFail = 805,
};

// How the line is laid out: a table line stands alone under the table's
// heading; a file line names the file first and may carry a count and the
// first few examples ("Books.PX: entries pointing at no block: 2 (block 7,
// block 9)").
enum class TFindingForm : std::uint8_t { kTableLine, kFileLine };

struct TFindingKind {
  TFindingCode code;
  TFindingArea area;
  TSeverity severity;
  TTableEffect effect;
  TFindingForm form;
  // "short_name": the finding's name in machine-readable reports.
  std::string_view name;
  // The text. "{0}", "{1}" ... stand for the finding's arguments; "{0:word}"
  // for argument 0 as a count of words ("1 record", "3 records").
  std::string_view text;
};

// Every kind, in code order.
std::span<const TFindingKind> FindingKinds();
// The kind of a code; every code has one.
const TFindingKind& KindOf(TFindingCode code);

std::string_view AreaName(TFindingArea area);
std::string_view SeverityName(TSeverity severity);
std::string_view EffectName(TTableEffect effect);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_FINDINGS_FINDINGKINDS_H_
