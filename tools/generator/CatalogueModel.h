// What a generated catalogue holds, worked out per book, author, group and
// so on from the seed alone: each entity has its own random stream, so any
// table can be written in its own key order without keeping the catalogue
// in memory, and every table that mentions a book sees the same facts.
#ifndef REMDO_TOOLS_GENERATOR_CATALOGUEMODEL_H_
#define REMDO_TOOLS_GENERATOR_CATALOGUEMODEL_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "generator/CatalogueGenerator.h"
#include "generator/Random.h"
#include "generator/Words.h"

namespace remdo::tools {

struct TFolderEntry {
  int folder = 0;
  int release = 0;
};

struct TBookFacts {
  std::int32_t book = 0;
  int releases = 1;                    // reissues 1 to releases
  std::array<std::int16_t, 8> genres{};  // G0 to G7; the used ones lead, 0 after them
  int genreCount = 0;
  std::int32_t date = 0;               // YYYYMMDD of release 1
  bool expandedTitle = false;          // the title is longer than the Title column
  std::array<std::int32_t, 2> authors{};
  int authorCount = 0;
  std::int32_t series = 0;             // 0: none
  int seriesNumber = 0;
  int characters = 0;
  std::int32_t group = 0;              // 0: none
  std::int32_t locale = 0;             // 0: none
  int publisher = 1;
  bool blurb = false;                  // a memo value in Books
  bool personalNotes = false;          // a BookInfo record
  int images = 0;
  int calendarEvents = 0;
  std::array<TFolderEntry, 2> folders{};  // ascending by folder
  int folderCount = 0;
};

struct TAuthorFacts {
  std::int32_t as = 0;
  std::int32_t author = 0;  // equal to as, or an earlier as for a pen name
  TPersonName name;
  bool notes = false;
  bool favourite = false;
};

// Kinds of stream, one per sort of entity or text.
enum class TStream : std::uint64_t {
  kBook = 1, kTitle, kBlurb, kNotes, kAuthor, kGroup, kLocale, kPublisher, kContact, kSeries,
  kCharacter, kFolderRow, kReissue, kCalendar,
};

class TCatalogueModel {
 public:
  explicit TCatalogueModel(const TCatalogueOptions& options);

  const TCatalogueOptions& Options() const { return options_; }
  std::int32_t Books() const { return options_.books; }
  int Folders() const { return options_.folders; }
  std::int32_t Authors() const { return authors_; }
  std::int32_t SeriesCount() const { return series_; }
  std::int32_t Groups() const { return groups_; }
  std::int32_t Locales() const { return locales_; }
  int Publishers() const { return publishers_; }
  std::int32_t Contacts() const { return contacts_; }

  TRandom Stream(TStream kind, std::int64_t id) const;

  TBookFacts Book(std::int32_t book) const;
  TTitle Title(std::int32_t book, bool expanded) const;
  // The date of a release of the book: YYYYMMDD, later releases later.
  std::int32_t ReleaseDate(const TBookFacts& facts, int release) const;
  TAuthorFacts Author(std::int32_t as) const;
  std::string SeriesName(std::int32_t series) const;

  // Whether a record of a memo table carries a memo value, and the value: of
  // a length that sometimes fits the leader, mostly shares a memo block and
  // now and then needs a block of its own.
  bool HasMemo(TRandom& random) const;
  // A memo text: held in the leader alone, suballocated (up to 2 KiB) or a
  // block of its own. The first three of a table (nth 0, 1, 2) are one of
  // each, so that every memo file holds every kind of value.
  std::string MemoText(TRandom& random, std::size_t leaderSize, std::size_t nth) const;

 private:
  const TCatalogueOptions options_;
  const std::uint64_t seed_;
  std::int32_t authors_ = 0;
  std::int32_t series_ = 0;
  std::int32_t groups_ = 0;
  std::int32_t locales_ = 0;
  int publishers_ = 0;
  std::int32_t contacts_ = 0;
};

// YYYYMMDD as "YYYY-MM-DD".
std::string DateText(std::int32_t yyyymmdd);

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_GENERATOR_CATALOGUEMODEL_H_
