// Timed tool run: inserts 1,000,000 raw records of the catalogue's Books
// structure (structure 31: level 5, 8192-byte blocks, DBWINUS0, key Book)
// into a fresh table and closes it, in key order or in random key order.
// Prints the seconds from the first insert to the end of the close, and the
// process's peak memory. scripts/bench-engine runs it and compares it with
// copying the resulting files.
//
// plain: the table as created by the rebuild before its swap (no secondary
// index, the memo column declared alpha). full: the table as the catalogue
// has it, with its two secondary indexes (Main, Sort Title) and Blurb a memo
// field; one record in ten refers to a memo value in the table's memo file,
// which is written before the timing starts (as the swap keeps the old memo
// file, raw records refer into it).
//
//   BulkInsertBench key|random plain|full FOLDER [RECORDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ProcessFigures.h"
#include "env/FileSystem.h"
#include "paradox/codes/Coding.h"
#include "paradox/components/Database.h"
#include "paradox/components/Table.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/memo/MemoFileBuilder.h"

namespace remdo::paradox {
namespace {

// Structure 31 ("Books"), the memo column declared as its in-record width.
struct TFieldSpec {
  const char* name;
  std::uint16_t type;
  int size;
};
constexpr TFieldSpec kBooks[] = {
    {"Book", 267, 0},   {"Main", 267, 0},     {"Prime", 261, 0},   {"Sort Title", 257, 24}, {"Title", 257, 30},
    {"Date", 267, 0},   {"G0", 261, 0},       {"G1", 261, 0},      {"G2", 261, 0},          {"G3", 261, 0},
    {"G4", 261, 0},     {"G5", 261, 0},       {"G6", 261, 0},      {"G7", 261, 0},          {"PG", 261, 0},
    {"Prop", 261, 0},   {"Special1", 261, 0}, {"Special2", 267, 0}, {"Entry Date", 261, 0}, {"Blurb Date", 261, 0},
    {"Blurb", 257, 11}};
constexpr std::size_t kRecordSize = 109;

TCrTblDesc BooksDesc(bool full) {
  TCrTblDesc desc;
  desc.tableName = "Books.db";
  desc.tableType = "PARADOX";
  std::uint16_t number = 1;
  for (const auto& spec : kBooks) {
    TFldDesc field;
    field.number = number++;
    field.name = spec.name;
    field.type = spec.type;
    field.units1 = static_cast<std::int16_t>(spec.size);
    desc.fields.push_back(field);
  }
  TIdxDesc primary;
  primary.primary = primary.unique = primary.maintained = true;
  primary.keyFields = {1};
  desc.indexes.push_back(primary);
  if (full) {
    desc.fields.back().type = 262;  // Blurb: a memo of leader 1
    desc.fields.back().units1 = 1;
    for (const std::uint16_t field : {2, 4}) {
      TIdxDesc index;
      index.name = desc.fields[field - 1u].name;
      index.maintained = true;
      index.keyFields = {field};
      desc.indexes.push_back(index);
    }
  }
  AddOptionalParam(desc, "LEVEL", "5");
  AddOptionalParam(desc, "BLOCK SIZE", "8192");
  AddOptionalParam(desc, "LANGDRIVER", "DBWINUS0");
  return desc;
}

// Puts "BOOK NUMBER " and the number's digits at p.
void PutTitle(std::byte* p, std::int32_t book) {
  static const char kPrefix[] = "BOOK NUMBER ";
  std::memcpy(p, kPrefix, sizeof kPrefix - 1);
  char digits[12];
  int n = 0;
  for (std::int32_t v = book; v > 0; v /= 10) digits[n++] = static_cast<char>('0' + v % 10);
  for (int i = 0; i < n; ++i) p[sizeof kPrefix - 1 + i] = static_cast<std::byte>(digits[n - 1 - i]);
}

// The memo file of the full table: a value for every tenth book, 40 to 400
// bytes long; returns the blob field of each (leader and reference).
std::vector<std::vector<std::byte>> WriteMemoFile(const std::string& path, int count) {
  TMemoFileBuilder builder(env::RealFileSystem(), path);
  std::vector<std::vector<std::byte>> fields;
  std::string text;
  for (int book = 10; book <= count; book += 10) {
    text.assign(static_cast<std::size_t>(40 + book % 361), static_cast<char>('a' + book % 26));
    std::vector<std::byte> field(11);
    builder.AddToField(field, TBlobKind::kMemo, std::as_bytes(std::span<const char>(text)));
    fields.push_back(std::move(field));
  }
  builder.Finish();
  return fields;
}

void FillRecord(std::vector<std::byte>& record, std::int32_t book) {
  std::memset(record.data(), 0, record.size());
  EncodeFieldInteger(record.data(), book, 4);
  EncodeFieldInteger(record.data() + 4, book % 977 + 1, 4);
  EncodeFieldInteger(record.data() + 8, 1, 2);
  PutTitle(record.data() + 10, book);
  PutTitle(record.data() + 34, book);
  EncodeFieldInteger(record.data() + 64, 730120 + book % 9000, 4);
  for (int g = 0; g < 3; ++g) EncodeFieldInteger(record.data() + 68 + 2 * g, (book + g) % 120 + 1, 2);
}

int Run(bool randomOrder, bool full, const std::string& folder, int count) {
  std::vector<std::int32_t> keys(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) keys[static_cast<std::size_t>(i)] = i + 1;
  if (randomOrder) std::shuffle(keys.begin(), keys.end(), std::mt19937(20240601));
  (void)DbiInit(nullptr);
  TDatabase database;
  database.SetDatabaseName(folder);
  database.Open();
  if (DbiCreateTable(database.Handle(), true, BooksDesc(full)) != 0) {
    std::fprintf(stderr, "cannot create the table\n");
    return 1;
  }
  const std::vector<std::vector<std::byte>> memos = full ? WriteMemoFile(folder + "Books.MB", count) : decltype(memos){};
  TTable table;
  table.SetDatabaseName(folder);
  table.SetTableName("Books");
  table.Open();
  std::vector<std::byte> record(kRecordSize);
  const auto start = std::chrono::steady_clock::now();
  for (const std::int32_t key : keys) {
    FillRecord(record, key);
    if (full && key % 10 == 0) std::copy(memos[static_cast<std::size_t>(key / 10 - 1)].begin(), memos[static_cast<std::size_t>(key / 10 - 1)].end(), record.end() - 11);
    if (DbiInsertRecord(table.Handle(), TDbiLock::kNoLock, record) != 0) {
      std::fprintf(stderr, "insert failed\n");
      return 1;
    }
  }
  const double inserted = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  table.Close();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("seconds %.3f inserts %.3f peak_kib %ld records %d\n", seconds, inserted, bench::PeakMemoryKiB(), count);
  return 0;
}

}  // namespace
}  // namespace remdo::paradox

int main(int argc, char** argv) {
  if (argc < 4 || (std::strcmp(argv[1], "key") != 0 && std::strcmp(argv[1], "random") != 0) ||
      (std::strcmp(argv[2], "plain") != 0 && std::strcmp(argv[2], "full") != 0)) {
    std::fprintf(stderr, "usage: BulkInsertBench key|random plain|full FOLDER [RECORDS]\n");
    return 2;
  }
  const int count = argc > 4 ? std::atoi(argv[4]) : 1000000;
  return remdo::paradox::Run(std::strcmp(argv[1], "random") == 0, std::strcmp(argv[2], "full") == 0, argv[3], count);
}
