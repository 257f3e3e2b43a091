#include "repair/findings/FindingKinds.h"

#include <algorithm>
#include <array>

namespace remdo::repair {

namespace {

using A = TFindingArea;
using C = TFindingCode;
using E = TTableEffect;
using F = TFindingForm;
using S = TSeverity;

// The texts are the run log's own, word for word.
constexpr std::array kKinds = {
    TFindingKind{C::kHeaderRecords, A::kDataFile, S::kDetail, E::kSound, F::kTableLine, "header_records",
                 "header records     : {0}"},
    TFindingKind{C::kRecordsFound, A::kDataFile, S::kDetail, E::kSound, F::kTableLine, "records_found",
                 "records found      : {0}"},
    TFindingKind{C::kRecordsNotFound, A::kDataFile, S::kDamage, E::kRepairable, F::kTableLine, "records_not_found",
                 "{0:record} not found"},
    TFindingKind{C::kRecordsPastHeaderCount, A::kDataFile, S::kDamage, E::kRepairable, F::kTableLine,
                 "records_past_header_count", "{0:record} past the header count"},
    TFindingKind{C::kBlocksPassedOver, A::kDataFile, S::kDamage, E::kRepairable, F::kTableLine, "blocks_passed_over",
                 "{0:block} passed over"},
    TFindingKind{C::kEmptyBlocks, A::kDataFile, S::kDetail, E::kSound, F::kTableLine, "empty_blocks",
                 "empty blocks       : {0}"},
    TFindingKind{C::kPartialBlock, A::kDataFile, S::kDamage, E::kRepairable, F::kTableLine, "partial_block",
                 "partial block: {0}"},
    TFindingKind{C::kUnreadableTable, A::kDataFile, S::kDamage, E::kUnreadable, F::kTableLine, "unreadable_table",
                 "unreadable table: {0}"},
    TFindingKind{C::kUnreadableTableFormat, A::kDataFile, S::kDamage, E::kUnreadable, F::kTableLine,
                 "unreadable_table_format", "unreadable table format"},
    TFindingKind{C::kMarkedEncrypted, A::kDataFile, S::kDamage, E::kUnreadable, F::kTableLine, "marked_encrypted",
                 "file marked as encrypted"},
    TFindingKind{C::kEncryptionMarkOverPlainBlocks, A::kDataFile, S::kDamage, E::kRepairable, F::kTableLine,
                 "encryption_mark_over_plain_blocks", "encryption mark over plain data blocks: header damage"},
    TFindingKind{C::kTableNotFound, A::kDataFile, S::kDamage, E::kRepairable, F::kTableLine, "table_not_found",
                 "table not found: {0}"},

    TFindingKind{C::kLayoutAsStructure, A::kLayout, S::kDetail, E::kSound, F::kTableLine, "layout_as_structure",
                 "layout             : as structure {0}"},
    TFindingKind{C::kEarlierFolderLayout, A::kLayout, S::kDetail, E::kRepairable, F::kTableLine,
                 "earlier_folder_layout", "layout             : earlier folder layout (structure 14)"},
    TFindingKind{C::kIncorrectTableFormat, A::kLayout, S::kDamage, E::kRepairable, F::kTableLine,
                 "incorrect_table_format", "incorrect table format"},

    TFindingKind{C::kKeyOrderUnknown, A::kKeys, S::kDetail, E::kSound, F::kTableLine, "key_order_unknown",
                 "key order          : not established (the language driver's order is not known)"},
    TFindingKind{C::kKeysOutOfOrder, A::kKeys, S::kDetail, E::kSound, F::kTableLine, "keys_out_of_order",
                 "keys out of order  : {0}"},
    TFindingKind{C::kDuplicateKeys, A::kKeys, S::kDetail, E::kSound, F::kTableLine, "duplicate_keys",
                 "duplicate keys     : {0}"},

    TFindingKind{C::kIndexesNotChecked, A::kPrimaryIndex, S::kDamage, E::kSound, F::kTableLine,
                 "indexes_not_checked", "Indexes and memo file not checked: {0}"},
    TFindingKind{C::kPrimaryIndexMissing, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "primary_index_missing", "missing"},
    TFindingKind{C::kPrimaryIndexUnreadable, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "primary_index_unreadable", "cannot be read: {0}"},
    TFindingKind{C::kTreeLinksOutsideFile, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "tree_links_outside_file", "tree links to blocks the file does not have"},
    TFindingKind{C::kTreeBlocksReachedTwice, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "tree_blocks_reached_twice", "tree blocks reached twice (a loop)"},
    TFindingKind{C::kTreeBlocksImpossibleCount, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "tree_blocks_impossible_count", "tree blocks with an impossible entry count"},
    TFindingKind{C::kTreeBlocksWithoutEntries, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "tree_blocks_without_entries", "tree blocks without entries"},
    TFindingKind{C::kTreeTooManyLevels, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "tree_too_many_levels", "the header states {0} levels, more than a tree can have"},
    TFindingKind{C::kTreeEntryCountDiffers, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "tree_entry_count_differs", "the header counts {0} entries, the tree holds {1}"},
    TFindingKind{C::kTreeKeyWidthDiffers, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "tree_key_width_differs",
                 "its keys are {0} bytes wide, the file it indexes has {1}-byte keys; its entries were not compared"},
    TFindingKind{C::kEntriesPointingAtNoBlock, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "entries_pointing_at_no_block", "entries pointing at no block of the file"},
    TFindingKind{C::kEntriesPointingAtSharedBlock, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "entries_pointing_at_shared_block", "entries pointing at a block another entry points at"},
    TFindingKind{C::kEntriesPointingOutsideChain, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "entries_pointing_outside_chain", "entries pointing at a block outside the file's chain"},
    TFindingKind{C::kEntriesPointingAtDamagedBlock, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "entries_pointing_at_damaged_block", "entries pointing at a damaged or empty block"},
    TFindingKind{C::kEntriesKeyNotBlocksFirst, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "entries_key_not_blocks_first", "entries whose key is not their block's first key"},
    TFindingKind{C::kEntriesRecordCountDiffers, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "entries_record_count_differs", "entries whose record count differs from their block's"},
    TFindingKind{C::kRecordsIndexDoesNotReach, A::kPrimaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "records_index_does_not_reach", "records the index does not reach"},

    TFindingKind{C::kSecondaryIndexMissing, A::kSecondaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "secondary_index_missing", "missing"},
    TFindingKind{C::kSecondaryEntryFileMissing, A::kSecondaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "secondary_entry_file_missing", "its entry file is missing"},
    TFindingKind{C::kSecondaryTreeFileMissing, A::kSecondaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "secondary_tree_file_missing", "its tree file is missing"},
    TFindingKind{C::kSecondaryIndexUnreadable, A::kSecondaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "secondary_index_unreadable", "cannot be read: {0}"},
    TFindingKind{C::kSecondaryIndexMisfit, A::kSecondaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "secondary_index_misfit", "does not fit the table: {0}"},
    TFindingKind{C::kSecondaryIndexOfUnkeyedTable, A::kSecondaryIndex, S::kDamage, E::kSound, F::kFileLine,
                 "secondary_index_of_unkeyed_table",
                 "an index of a table without key: its entries were not compared with the records"},
    TFindingKind{C::kSecondaryRecordsNotHeld, A::kSecondaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "secondary_records_not_held", "records of the table it does not hold"},
    TFindingKind{C::kSecondaryEntriesForNoRecord, A::kSecondaryIndex, S::kDamage, E::kRepairable, F::kFileLine,
                 "secondary_entries_for_no_record", "entries for no record of the table"},

    TFindingKind{C::kMemoFileMissing, A::kMemo, S::kDamage, E::kRepairable, F::kFileLine, "memo_file_missing",
                 "missing"},
    TFindingKind{C::kMemoFileUnreadable, A::kMemo, S::kDamage, E::kRepairable, F::kFileLine,
                 "memo_file_unreadable", "cannot be read: {0}"},
    TFindingKind{C::kMemoHeaderDamaged, A::kMemo, S::kDamage, E::kRepairable, F::kFileLine, "memo_header_damaged",
                 "its header block is damaged"},
    TFindingKind{C::kMemoPartsUnreadable, A::kMemo, S::kDamage, E::kRepairable, F::kFileLine,
                 "memo_parts_unreadable", "parts that cannot be read"},
    TFindingKind{C::kMemoReferencesIntoMissingFile, A::kMemo, S::kDamage, E::kLoss, F::kFileLine,
                 "memo_references_into_missing_file", "references to values in the missing file"},
    TFindingKind{C::kMemoReferencesNotFollowed, A::kMemo, S::kDamage, E::kLoss, F::kFileLine,
                 "memo_references_not_followed", "references that cannot be followed"},
    TFindingKind{C::kMemoReferencesRelinkable, A::kMemo, S::kDamage, E::kRepairable, F::kFileLine,
                 "memo_references_relinkable", "references whose value a repair finds again by its leader"},
    TFindingKind{C::kMemoReferencesAmbiguous, A::kMemo, S::kDamage, E::kLoss, F::kFileLine,
                 "memo_references_ambiguous", "references that more than one stored value fits"},
    TFindingKind{C::kMemoReferencesLost, A::kMemo, S::kDamage, E::kLoss, F::kFileLine, "memo_references_lost",
                 "references whose value is lost"},
    TFindingKind{C::kMemoValuesUnreferenced, A::kMemo, S::kDamage, E::kRepairable, F::kFileLine,
                 "memo_values_unreferenced", "stored values no record refers to"},
    TFindingKind{C::kMemoNewFilePrediction, A::kMemo, S::kDamage, E::kRepairable, F::kFileLine,
                 "memo_new_file_prediction",
                 "a repair writes a new memo file: {0:value} intact, {1} re-linked, {2} cut to their leader, {3} "
                 "unlinked"},
    TFindingKind{C::kMemoFileRewritten, A::kMemo, S::kDamage, E::kRepairable, F::kTableLine, "memo_file_rewritten",
                 "memo file {0} damaged; a new one was written: {1:value} intact, {2} re-linked, {3} cut to their "
                 "leader, {4} unlinked"},

    TFindingKind{C::kNoDataFolder, A::kFolder, S::kDamage, E::kUnreadable, F::kTableLine, "no_data_folder",
                 "no data folder to verify"},
    TFindingKind{C::kWriteRefused, A::kFolder, S::kDamage, E::kSound, F::kTableLine, "write_refused",
                 "refused, as this run writes nothing: {0}"},

    TFindingKind{C::kRepairWould, A::kRepairStep, S::kDamage, E::kSound, F::kTableLine, "repair_would",
                 "a repair would {0}"},
    TFindingKind{C::kRecordsWouldBeMissing, A::kRepairStep, S::kDamage, E::kLoss, F::kTableLine,
                 "records_would_be_missing", "{0:record} would be missing"},
    TFindingKind{C::kRepairWouldTakeSavedCopy, A::kRepairStep, S::kDamage, E::kRepairable, F::kTableLine,
                 "repair_would_take_saved_copy", "a repair would take it back from the saved copy"},
    TFindingKind{C::kRepairWouldNotCheck, A::kRepairStep, S::kDamage, E::kSound, F::kTableLine,
                 "repair_would_not_check", "a repair would not check it"},
    TFindingKind{C::kRepairRunWouldFail, A::kRepairStep, S::kDamage, E::kLoss, F::kTableLine,
                 "repair_run_would_fail", "a repair run would end with an error: {0}"},
};

}  // namespace

std::span<const TFindingKind> FindingKinds() { return kKinds; }

const TFindingKind& KindOf(TFindingCode code) {
  const auto it = std::lower_bound(kKinds.begin(), kKinds.end(), code,
                                   [](const TFindingKind& kind, TFindingCode c) { return kind.code < c; });
  // The kinds test keeps every code in the table, in order.
  return it != kKinds.end() && it->code == code ? *it : kKinds.front();
}

std::string_view AreaName(TFindingArea area) {
  constexpr std::array<std::string_view, 8> kNames = {"data_file", "layout", "keys",   "primary_index",
                                                      "secondary_index", "memo", "folder", "repair_step"};
  return kNames[static_cast<std::size_t>(area)];
}

std::string_view SeverityName(TSeverity severity) {
  constexpr std::array<std::string_view, 3> kNames = {"detail", "damage", "log_only"};
  return kNames[static_cast<std::size_t>(severity)];
}

std::string_view EffectName(TTableEffect effect) {
  constexpr std::array<std::string_view, 4> kNames = {"sound", "repairable", "loss", "unreadable"};
  return kNames[static_cast<std::size_t>(effect)];
}

}  // namespace remdo::repair
