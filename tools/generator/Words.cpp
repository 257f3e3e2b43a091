// Word lists and the small grammar that strings them together.
#include "generator/Words.h"

#include <array>

#include "env/Text.h"

namespace remdo::tools {

namespace {

constexpr std::string_view kAdjectives[] = {
    "Silent", "Golden", "Hidden", "Last",   "Broken", "Distant", "Burning", "Frozen",  "Crimson", "Lost",
    "Secret", "Quiet",  "Wild",   "Bitter", "Final",  "Dark",    "Bright",  "Endless", "Sleeping", "Iron",
    "Glass",  "Stolen", "Winter", "Summer", "Hollow", "Ancient", "Eternal", "Restless", "Shining", "Twisted"};
constexpr std::string_view kNouns[] = {
    "River",   "Garden", "Tower",  "Crown",   "Shadow",  "Harbour", "Kingdom", "Mirror", "Island",  "Letter",
    "Journey", "Empire", "Forest", "Machine", "Station", "Witness", "Promise", "Voyage", "Orchard", "Engine",
    "Citadel", "Lantern", "Meadow", "Bridge", "Compass", "Archive", "Frontier", "Harvest", "Signal", "Thief"};
constexpr std::string_view kPlaces[] = {"the North", "the Sea",    "Avalon",  "the Moon", "Dunmore",
                                        "the Deep",  "Eldermoor",  "the Past", "Kestrel Bay", "the Stars"};
constexpr std::string_view kSubtitles[] = {"A Novel", "A Mystery", "Book One", "Stories", "A Chronicle",
                                           "The Complete Edition", "Collected Tales", "A Romance"};
constexpr std::string_view kFirstNames[] = {
    "Anna",  "Brian",   "Clara", "David",  "Edith", "Frank",  "Grace", "Henry",  "Irene", "James",
    "Karen", "Leonard", "Maria", "Nathan", "Olive", "Peter",  "Ruth",  "Samuel", "Tessa", "Victor",
    "Wendy", "Arthur",  "Helen", "Oscar",  "Julia", "Thomas", "Agnes", "Philip", "Rosa",  "Walter"};
constexpr std::string_view kLastNames[] = {
    "Abbott", "Barker",  "Carver",  "Dalton",  "Ellison", "Fletcher", "Garland", "Hughes", "Ingram",   "Jarvis",
    "Keller", "Lambert", "Mercer",  "Norris",  "Osborne", "Prescott", "Quinn",   "Rowe",   "Sinclair", "Thorne",
    "Upton",  "Vaughan", "Whitley", "Yardley", "Ashford", "Blackwood", "Crane",  "Dunbar", "Everett",  "Fairfax",
    "Gilbert", "Hawkins", "Kendrick", "Lockwood", "Marlowe", "Pemberton", "Radcliffe", "Stanton", "Tennant", "Wexley"};
constexpr std::string_view kTowns[] = {"London", "Boston",  "Dublin",  "Toronto", "Sydney",    "Leeds",
                                       "Denver", "Seattle", "Glasgow", "Bristol", "Melbourne", "Chicago"};
constexpr std::string_view kPublisherWords[] = {"House", "Press", "Books", "Publishing", "Editions", "& Sons"};
constexpr std::string_view kGroupWords[] = {"Award winners", "Book club", "Classics", "First editions", "Signed",
                                            "Series starters", "Holiday reading", "Shortlist", "Reference"};
constexpr std::string_view kFolderTitles[] = {"Read",      "To read",  "Wish list", "Favourites", "Lent out",
                                              "Signed copies", "Audio books", "Borrowed", "Sold", "Gifts"};
constexpr std::string_view kMemoWords[] = {
    "story",  "follows", "young",  "old",    "family", "secret", "city",    "years", "war",   "love",
    "finds",  "between", "across", "begins", "letter", "house",  "voyage",  "truth", "after", "before",
    "the",    "a",       "of",     "and",    "in",     "to",     "with",    "her",   "his",   "their",
    "friend", "stranger", "night", "winter", "harbour", "mystery", "promise", "lost", "home", "world"};

std::string Joined(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (const std::string_view part : parts) {
    if (part.empty()) continue;
    if (!text.empty()) text += ' ';
    text += part;
  }
  return text;
}

char SoundexDigit(char c) {
  switch (env::UpperChar(c)) {
    case 'B': case 'F': case 'P': case 'V': return '1';
    case 'C': case 'G': case 'J': case 'K': case 'Q': case 'S': case 'X': case 'Z': return '2';
    case 'D': case 'T': return '3';
    case 'L': return '4';
    case 'M': case 'N': return '5';
    case 'R': return '6';
    default: return '0';
  }
}

}  // namespace

TTitle MakeTitle(TRandom& random, bool longTitle) {
  const bool withArticle = random.PerMille(600);
  const std::string_view article = !withArticle ? std::string_view() : random.PerMille(750) ? "The" : "A";
  std::string body = Joined({random.Pick(kAdjectives), random.Pick(kNouns)});
  if (random.PerMille(400) || longTitle) body += " of " + std::string(random.Pick(kPlaces));
  if (longTitle) body += ": " + std::string(random.Pick(kSubtitles));
  TTitle title;
  title.title = Joined({article, body});
  title.sortTitle = withArticle ? body + ", " + std::string(article) : body;
  return title;
}

TPersonName MakePersonName(TRandom& random) {
  TPersonName name;
  name.first = std::string(random.Pick(kFirstNames));
  name.last = std::string(random.Pick(kLastNames));
  return name;
}

std::string Soundex(std::string_view name) {
  std::string code;
  char last = '\0';
  for (const char c : name) {
    const char upper = env::UpperChar(c);
    if (upper < 'A' || upper > 'Z') continue;
    const char digit = SoundexDigit(upper);
    if (code.empty()) {
      code += upper;
    } else if (digit != '0' && digit != last) {
      code += digit;
    }
    if (upper != 'H' && upper != 'W') last = digit;
    if (code.size() == 4) break;
  }
  if (!code.empty()) code.resize(4, '0');
  return code;
}

std::string MakeSeriesName(TRandom& random) {
  return Joined({random.Pick(kAdjectives), random.Pick(kNouns)}) + " Cycle";
}

std::string MakePlaceName(TRandom& random) {
  return Joined({random.Pick(kAdjectives), random.Pick(kNouns), "shelf,", random.Pick(kTowns)});
}

std::string MakeTown(TRandom& random) { return std::string(random.Pick(kTowns)); }

std::string MakePublisherName(TRandom& random) {
  return Joined({random.Pick(kLastNames), random.Pick(kPublisherWords)});
}

std::string MakeGroupName(TRandom& random) {
  return Joined({random.Pick(kGroupWords), random.Pick(kAdjectives)});
}

std::string FolderTitle(int folder) {
  constexpr int kNamed = static_cast<int>(std::size(kFolderTitles));
  if (folder >= 1 && folder <= kNamed) return std::string(kFolderTitles[folder - 1]);
  return "Shelf " + std::to_string(folder);
}

std::string MakeMemoText(TRandom& random, std::size_t length) {
  std::string text;
  text.reserve(length + 16);
  bool sentenceStart = true;
  while (text.size() < length) {
    std::string word(random.Pick(kMemoWords));
    if (sentenceStart) word[0] = env::UpperChar(word[0]);
    if (!text.empty()) text += ' ';
    text += word;
    sentenceStart = random.PerMille(120);
    if (sentenceStart) text += random.PerMille(150) ? ".\r\n" : ".";
  }
  text.resize(length);
  return text;
}

std::string MakeIsbn(TRandom& random, int publisher) {
  std::string digits = "0" + std::to_string(100 + publisher % 900);
  while (digits.size() < 9) digits += static_cast<char>('0' + random.Below(10));
  int sum = 0;
  for (std::size_t i = 0; i < 9; ++i) sum += static_cast<int>(10 - i) * (digits[i] - '0');
  const int check = (11 - sum % 11) % 11;
  return digits + (check == 10 ? 'X' : static_cast<char>('0' + check));
}

}  // namespace remdo::tools
