#include "env/Path.h"

#include <gtest/gtest.h>

namespace remdo::env {
namespace {

TEST(Path, SplitsWindowsAndHostPaths) {
  EXPECT_EQ(FolderPart("C:\\FENRO\\Books.db"), "C:\\FENRO\\");
  EXPECT_EQ(NamePart("C:\\FENRO\\Books.db"), "Books.db");
  EXPECT_EQ(FolderPart("/tmp/x/Books.db"), "/tmp/x/");
  EXPECT_EQ(NamePart("C:Books.db"), "Books.db");
  EXPECT_EQ(ExtensionPart("C:\\a.b\\Books"), "");
  EXPECT_EQ(ExtensionPart("Books.X0B"), ".X0B");
  EXPECT_EQ(ChangeExtension("C:\\F\\temptbl1.DB", ".px"), "C:\\F\\temptbl1.px");
}

TEST(Path, TrailingSeparatorKeepsTheFormOfThePath) {
  EXPECT_EQ(IncludeTrailingSeparator("C:\\FENRO"), "C:\\FENRO\\");
  EXPECT_EQ(IncludeTrailingSeparator("/tmp/x"), "/tmp/x/");
  EXPECT_EQ(IncludeTrailingSeparator("C:\\FENRO\\"), "C:\\FENRO\\");
  EXPECT_EQ(IncludeTrailingSeparator(""), "");
  EXPECT_EQ(ExcludeTrailingSeparator("C:\\FENRO\\\\"), "C:\\FENRO");
  EXPECT_EQ(ExcludeTrailingSeparator("C:\\"), "C:\\");
  EXPECT_EQ(ExcludeTrailingSeparator("/"), "/");
  EXPECT_EQ(JoinPath("C:\\FENRO", "\\Save\\"), "C:\\FENRO\\Save\\");
}

TEST(Path, WildcardsMatchWithoutRegardToCase) {
  struct Case { const char* pattern; const char* name; bool match; };
  const Case cases[] = {
      {"Books.*", "BOOKS.DB", true},   {"Books.*", "Books", true},     {"Books.x??", "books.X0B", true},
      {"Books.x??", "Books.X1", false}, {"*.db", "Fldr0003.db", true}, {"Fldr*.db", "Fldr0003.DB", true},
      {"Fldr*.db", "Fldr0003.dbx", false}, {"*", "anything", true},   {"a*b*c", "aXbYc", true},
      {"a*b*c", "aXbYd", false},
  };
  for (const auto& c : cases) EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

}  // namespace
}  // namespace remdo::env
