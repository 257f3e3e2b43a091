// The texts of a generated catalogue: titles, names, series, folders,
// places, publishers and memo texts, made from fixed word lists by a
// TRandom, so that a seed always gives the same texts. Every text is plain
// ASCII, which reads the same in every code page the catalogue's tables use.
#ifndef REMDO_TOOLS_GENERATOR_WORDS_H_
#define REMDO_TOOLS_GENERATOR_WORDS_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "generator/Random.h"

namespace remdo::tools {

struct TTitle {
  std::string title;      // "The Silent River of the North"
  std::string sortTitle;  // "Silent River of the North, The"
};

TTitle MakeTitle(TRandom& random, bool longTitle);

struct TPersonName {
  std::string first;
  std::string last;
  // "Last, First"
  std::string Full() const { return last + ", " + first; }
};

TPersonName MakePersonName(TRandom& random);

// The four-character soundex code of a name ("R163" for Robert).
std::string Soundex(std::string_view name);

std::string MakeSeriesName(TRandom& random);
std::string MakePlaceName(TRandom& random);
std::string MakeTown(TRandom& random);
std::string MakePublisherName(TRandom& random);
std::string MakeGroupName(TRandom& random);

// A folder's name: the catalogue's usual folders first, then made-up ones.
std::string FolderTitle(int folder);

// A memo text of about length characters (sentences of words, CR LF
// between paragraphs), never longer than length.
std::string MakeMemoText(TRandom& random, std::size_t length);

// A ten-digit ISBN with its check character.
std::string MakeIsbn(TRandom& random, int publisher);

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_GENERATOR_WORDS_H_
