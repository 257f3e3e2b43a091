// The proportions below are a plausible private collection: most books have
// one author, one to four genres and one release; some are in a series,
// some in a folder or two, and a few carry long titles.
#include "generator/CatalogueModel.h"

#include <algorithm>

namespace remdo::tools {

namespace {

std::int32_t AtLeast(std::int32_t low, std::int32_t value) { return std::max(low, value); }

constexpr int kHighestToken = 120;

}  // namespace

TCatalogueModel::TCatalogueModel(const TCatalogueOptions& options)
    : options_(options), seed_(MixSeed(options.seed, options.currentLayout ? 1 : 2)) {
  const std::int32_t books = options.books;
  authors_ = AtLeast(8, books / 4);
  series_ = AtLeast(4, books / 20);
  // Groups, locales and publishers are short integers in some tables.
  groups_ = std::min<std::int32_t>(AtLeast(3, books / 100), 30000);
  locales_ = std::min<std::int32_t>(AtLeast(3, books / 200), 30000);
  publishers_ = std::clamp<int>(books / 50, 5, 2000);
  contacts_ = AtLeast(3, books / 100);
}

TRandom TCatalogueModel::Stream(TStream kind, std::int64_t id) const {
  return TRandom(MixSeed(MixSeed(seed_, static_cast<std::uint64_t>(kind)), static_cast<std::uint64_t>(id)));
}

TBookFacts TCatalogueModel::Book(std::int32_t book) const {
  TRandom random = Stream(TStream::kBook, book);
  TBookFacts facts;
  facts.book = book;
  facts.releases = random.PerMille(750) ? 1 : random.Between(2, 3);
  facts.genreCount = random.PerMille(50) ? 0 : random.PerMille(100) ? random.Between(5, 8) : random.Between(1, 4);
  for (int i = 0; i < facts.genreCount; ++i) {
    std::int16_t token = 0;
    do {
      token = static_cast<std::int16_t>(random.Between(1, kHighestToken));
    } while (std::find(facts.genres.begin(), facts.genres.begin() + i, token) != facts.genres.begin() + i);
    facts.genres[static_cast<std::size_t>(i)] = token;
  }
  facts.date = random.Between(1950, 2023) * 10000 + random.Between(1, 12) * 100 + random.Between(1, 28);
  facts.expandedTitle = random.PerMille(150);
  facts.authorCount = random.PerMille(800) ? 1 : 2;
  facts.authors[0] = static_cast<std::int32_t>(random.Below(static_cast<std::uint32_t>(authors_))) + 1;
  facts.authors[1] = facts.authors[0] % authors_ + 1;
  if (random.PerMille(250)) {
    facts.series = static_cast<std::int32_t>(random.Below(static_cast<std::uint32_t>(series_))) + 1;
    facts.seriesNumber = random.Between(1, 12);
  }
  facts.characters = random.PerMille(300) ? random.Between(1, 3) : 0;
  if (random.PerMille(200)) facts.group = static_cast<std::int32_t>(random.Below(static_cast<std::uint32_t>(groups_))) + 1;
  if (random.PerMille(150)) facts.locale = static_cast<std::int32_t>(random.Below(static_cast<std::uint32_t>(locales_))) + 1;
  facts.publisher = random.Between(1, publishers_);
  facts.blurb = HasMemo(random);
  facts.personalNotes = random.PerMille(400);
  facts.images = random.PerMille(150) ? random.Between(1, 2) : 0;
  facts.calendarEvents = random.PerMille(50) ? random.Between(1, 2) : 0;
  const int folders = options_.folders;
  if (folders > 0) {
    const int share = random.Between(1, 1000);
    facts.folderCount = share <= 400 ? 0 : (share <= 850 || folders == 1) ? 1 : 2;
    for (int i = 0; i < facts.folderCount; ++i) {
      TFolderEntry& entry = facts.folders[static_cast<std::size_t>(i)];
      do {
        entry.folder = random.Between(1, folders);
      } while (i == 1 && entry.folder == facts.folders[0].folder);
      entry.release = random.Between(1, facts.releases);
    }
    if (facts.folderCount == 2 && facts.folders[1].folder < facts.folders[0].folder) {
      std::swap(facts.folders[0], facts.folders[1]);
    }
  }
  return facts;
}

TTitle TCatalogueModel::Title(std::int32_t book, bool expanded) const {
  TRandom random = Stream(TStream::kTitle, book);
  return MakeTitle(random, expanded);
}

std::int32_t TCatalogueModel::ReleaseDate(const TBookFacts& facts, int release) const {
  if (release <= 1) return facts.date;
  const int year = std::min(facts.date / 10000 + 2 * (release - 1), 2024);
  return year * 10000 + facts.date % 10000;
}

TAuthorFacts TCatalogueModel::Author(std::int32_t as) const {
  TRandom random = Stream(TStream::kAuthor, as);
  TAuthorFacts facts;
  facts.as = as;
  facts.author = as > 1 && random.PerMille(100) ? static_cast<std::int32_t>(random.Below(static_cast<std::uint32_t>(as - 1))) + 1 : as;
  facts.name = MakePersonName(random);
  facts.notes = HasMemo(random);
  facts.favourite = random.PerMille(100);
  return facts;
}

std::string TCatalogueModel::SeriesName(std::int32_t series) const {
  TRandom random = Stream(TStream::kSeries, series);
  return MakeSeriesName(random);
}

bool TCatalogueModel::HasMemo(TRandom& random) const { return random.PerMille(options_.memoPerMille); }

std::string TCatalogueModel::MemoText(TRandom& random, std::size_t leaderSize, std::size_t nth) const {
  static constexpr int kKindOfFirst[] = {1, 50, 100};
  const int drawn = random.Between(1, 100);
  const int kind = nth < 3 ? kKindOfFirst[nth] : drawn;
  std::size_t length = 0;
  if (kind <= 8) {
    length = static_cast<std::size_t>(random.Between(1, static_cast<int>(std::max<std::size_t>(leaderSize, 1))));
  } else if (kind <= 96) {
    length = static_cast<std::size_t>(random.Between(20, 1200));
  } else {
    length = static_cast<std::size_t>(random.Between(2100, 6000));
  }
  return MakeMemoText(random, length);
}

std::string DateText(std::int32_t yyyymmdd) {
  const std::string digits = std::to_string(yyyymmdd);
  if (digits.size() != 8) return digits;
  return digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2);
}

}  // namespace remdo::tools
