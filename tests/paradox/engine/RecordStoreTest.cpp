// The in-memory record store against a simple model: random inserts,
// replacements and removals in a keyed and an unkeyed store.
#include "paradox/engine/RecordStore.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "paradox/codes/Coding.h"

namespace remdo::paradox {
namespace {

using Record = std::vector<std::byte>;

// 12-byte records: an 8-or-more-byte key is what exercises the full-key
// comparison behind the 8-byte prefix; key = two longs, value = one long.
Record Make(int high, int low, int value) {
  Record record(12);
  EncodeFieldInteger(record.data(), high, 4);
  EncodeFieldInteger(record.data() + 4, low, 4);
  EncodeFieldInteger(record.data() + 8, value, 4);
  return record;
}

TEST(RecordStore, RecordsLoadedAfterALookupAreFound) {
  TRecordStore store(12, 4);
  EXPECT_FALSE(store.Find(Make(1, 0, 0)).has_value());  // builds the hash of the empty store
  store.LoadAppend(Make(1, 0, 10));
  store.LoadAppend(Make(2, 0, 20));
  EXPECT_TRUE(store.Loaded());
  EXPECT_EQ(store.Find(std::span<const std::byte>(Make(2, 0, 0)).first(4)), std::optional<std::size_t>(1));
  EXPECT_FALSE(store.Insert(Make(1, 0, 30), 0));  // a loaded key is taken
  EXPECT_TRUE(store.Insert(Make(3, 0, 30), 0));
  EXPECT_EQ(store.Count(), 3u);
}

TEST(RecordStore, KeyedStoreMatchesAnOrderedMap) {
  for (const std::size_t keyWidth : {4u, 8u, 12u}) {
    SCOPED_TRACE(keyWidth);
    TRecordStore store(12, keyWidth);
    std::map<Record, Record> model;  // key bytes -> record
    std::mt19937 random(static_cast<unsigned>(keyWidth));
    for (int step = 0; step < 20000; ++step) {
      const Record record = Make(static_cast<int>(random() % 50) - 25, static_cast<int>(random() % 40), step);
      const Record key(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(keyWidth));
      const int action = static_cast<int>(random() % 10);
      if (action < 6 || model.empty()) {
        EXPECT_EQ(store.Insert(record, 0), model.emplace(key, record).second);
      } else if (action < 8) {
        const std::size_t at = random() % store.Count();
        const auto victim = store.At(at);
        model.erase(Record(victim.begin(), victim.begin() + static_cast<std::ptrdiff_t>(keyWidth)));
        store.Remove(at);
      } else {
        const std::size_t at = random() % store.Count();
        const auto old = store.At(at);
        const Record oldKey(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(keyWidth));
        std::size_t moved = 0;
        const bool free = key == oldKey || model.count(key) == 0;
        EXPECT_EQ(store.Replace(at, record, &moved), free);
        if (free) {
          model.erase(oldKey);
          model[key] = record;
          const auto now = store.At(moved);
          EXPECT_TRUE(std::equal(now.begin(), now.end(), record.begin()));
        }
      }
      if (step % 997 == 0 || step == 19999) {
        ASSERT_EQ(store.Count(), model.size());
        std::size_t i = 0;
        for (const auto& [key, value] : model) {
          const auto stored = store.At(i++);
          ASSERT_TRUE(std::equal(stored.begin(), stored.end(), value.begin()));
        }
        const auto& [firstKey, firstValue] = *model.begin();
        EXPECT_EQ(store.Find(firstKey), std::optional<std::size_t>(0));
        EXPECT_EQ(store.LowerBound(std::span<const std::byte>(firstKey).first(4)), 0u);
      }
    }
  }
}

TEST(RecordStore, UnkeyedStoreKeepsInsertionPositions) {
  TRecordStore store(12, 0);
  EXPECT_TRUE(store.Insert(Make(1, 0, 0), 0));
  EXPECT_TRUE(store.Insert(Make(1, 0, 0), 1));  // duplicates are fine without key
  EXPECT_TRUE(store.Insert(Make(2, 0, 0), 1));
  EXPECT_TRUE(store.Insert(Make(3, 0, 0), 99));
  std::vector<std::int64_t> order;
  store.ForEach([&](std::span<const std::byte> r) { order.push_back(DecodeFieldInteger(r.data(), 4)); });
  EXPECT_EQ(order, (std::vector<std::int64_t>{1, 2, 1, 3}));
  EXPECT_FALSE(store.Find(Make(1, 0, 0)).has_value());
}

TEST(RecordStore, LoadedRecordsOutOfOrderAreReported) {
  TRecordStore store(12, 4);
  store.LoadAppend(Make(1, 0, 0));
  store.LoadAppend(Make(3, 0, 0));
  store.LoadAppend(Make(2, 0, 0));
  EXPECT_FALSE(store.Loaded());
  TRecordStore unknownOrder(12, 4, false);
  unknownOrder.LoadAppend(Make(3, 0, 0));
  unknownOrder.LoadAppend(Make(2, 0, 0));
  EXPECT_TRUE(unknownOrder.Loaded());
  EXPECT_EQ(unknownOrder.Find(Make(2, 0, 0)), std::optional<std::size_t>(1));
}

}  // namespace
}  // namespace remdo::paradox
