#include "paradox/codes/EngineErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "paradox/codes/EngineCodes.h"
#include "support/ScriptedDialogs.h"

namespace remdo::paradox {
namespace {

using env::TBoxKind;
using test::TInstalledDialogs;
using test::TScriptedDialogs;

// Every category of codes: base, number of codes, first and last entry.
struct TCategory {
  std::uint16_t base;
  int count;
  int firstNumber;
  const char* firstName;
  int lastNumber;
  const char* lastName;
};

const TCategory kCategories[] = {
    {0x2100, 12, 1, "SYSFILEOPEN", 12, "MULTIPLEIDAPI"},
    {0x2200, 11, 1, "BOF", 11, "LDNOTFOUND"},
    {0x2300, 9, 1, "HEADERCORRUPT", 9, "FOREIGNINDEX"},
    {0x2400, 6, 1, "READERR", 6, "ACCESSDISABLED"},
    {0x2500, 29, 1, "NOMEMORY", 29, "LONGNAMENOTALLOWED"},
    {0x2600, 23, 1, "KEYVIOL", 23, "EXPRVALERR"},
    {0x2700, 82, 1, "OUTOFRANGE", 82, "INVALIDFLDMAP"},
    {0x2800, 20, 1, "LOCKED", 20, "OPTRECLOCKRECDEL"},
    {0x2900, 8, 1, "NOTSUFFFIELDRIGHTS", 8, "NOTSUFFSQLRIGHTS"},
    {0x2A00, 20, 1, "NOTABLOB", 20, "CONNECTNOTSHARED"},
    {0x2B00, 36, 1, "OSEINVFNC", 106, "NOSERVERSW"},
    {0x2C00, 14, 1, "NETINITERR", 14, "SERVERNOTFOUND"},
    {0x2D00, 2, 1, "REQOPTPARAM", 2, "INVALIDOPTPARAM"},
    {0x2E00, 188, 1, "AMBJOASY", 196, "USERCONSTRERR"},
    {0x2F00, 8, 1, "INTERFACEVER", 8, "TABLELEVEL"},
    {0x3000, 6, 1, "NOTSUPPORTED", 6, "NODBASEEXPR"},
    {0x3100, 6, 1, "INVALIDDBSPEC", 6, "INVALIDCFGPARAM"},
    {0x3200, 12, 1, "OBJIMPLICITLYDROPPED", 12, "FIELDMUSTBETRIMMED"},
    {0x3300, 6, 1, "FILEEXISTS", 6, "UPDATEABORT"},
    {0x3400, 3, 1, "DIFFSORTORDER", 3, "PDX35LDDRIVER"},
    {0x3500, 26, 1, "REPOSITORYCORRUPT", 26, "DATABASEOPENFAILED"},
    {0x3E00, 8, 1, "WRONGDRVNAME", 8, "DRIVERRESTRICTED"},
};

TEST(EngineErrors, TableHoldsEveryCodeOnceInOrder) {
  const auto table = EngineErrorTable();
  ASSERT_EQ(table.size(), 535u);
  std::set<std::string_view> names;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (i > 0) {
      EXPECT_LT(table[i - 1].code, table[i].code) << table[i].name;
    }
    EXPECT_TRUE(names.insert(table[i].name).second) << table[i].name;
    EXPECT_TRUE(std::all_of(table[i].name.begin(), table[i].name.end(), [](char c) {
      return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    })) << table[i].name;
  }
  // The codes fall into 22 categories (a base in steps of 0x100).
  std::set<int> bases;
  for (const auto& entry : table) bases.insert(entry.code & 0xFF00);
  EXPECT_EQ(bases.size(), std::size(kCategories));
}

TEST(EngineErrors, EveryCategoryFromFirstToLastCode) {
  int total = 0;
  for (const auto& category : kCategories) {
    const auto base = category.base;
    EXPECT_EQ(EngineErrorName(base + category.firstNumber), category.firstName) << base;
    EXPECT_EQ(EngineErrorName(base + category.lastNumber), category.lastName) << base;
    // The base itself and the code after the last one are not listed.
    EXPECT_EQ(EngineErrorName(base), "#" + std::to_string(base));
    const int after = base + category.lastNumber + 1;
    EXPECT_EQ(EngineErrorName(after), "#" + std::to_string(after));
    const auto table = EngineErrorTable();
    const auto inCategory = std::count_if(table.begin(), table.end(),
                                          [&](const TEngineErrorEntry& e) { return (e.code & 0xFF00) == base; });
    EXPECT_EQ(inCategory, category.count) << base;
    total += category.count;
  }
  EXPECT_EQ(total, 535);
}

TEST(EngineErrors, NamesByExactCodeOnly) {
  struct Case {
    std::uint16_t code;
    const char* name;
  };
  const Case cases[] = {
      {0, "OK"},
      {8449, "SYSFILEOPEN"},
      {9729, "KEYVIOL"},
      {15873, "WRONGDRVNAME"},
      {15881, "#15881"},  // base 0x3E00 + 9: not listed
      {8448, "#8448"},    // a category base itself
      {11021, "OSEINVDAT"},
      {11022, "#11022"},  // between OSEINVDAT (13) and OSENODEV (15)
      {11023, "OSENODEV"},
      {11941, "#11941"},  // between QUERYTOOLONG (161) and NOSUCHRELORALIAS (170)
      {1234, "#1234"},
      {65535, "#65535"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EngineErrorName(c.code), c.name) << c.code;
  }
  EXPECT_FALSE(FindEngineErrorName(0));
  EXPECT_EQ(FindEngineErrorName(9729).value_or(""), "KEYVIOL");
}

TEST(EngineErrors, NamedConstantsMatchTheTable) {
  struct Case {
    std::uint16_t code;
    const char* name;
  };
  // A sample of the named codes; the header was made from the table, and
  // these guard against hand edits.
  const Case cases[] = {
      {kDbiErrBof, "BOF"},
      {kDbiErrEof, "EOF"},
      {kDbiErrRecNotFound, "RECNOTFOUND"},
      {kDbiErrKeyViol, "KEYVIOL"},
      {kDbiErrInvalidBlobOffset, "INVALIDBLOBOFFSET"},
      {kDbiErrOutOfRange, "OUTOFRANGE"},
      {kDbiErrNoSuchTable, "NOSUCHTABLE"},
      {kDbiErrInvalidRestrOp, "INVALIDRESTROP"},
      {kDbiErrNeedExclAccess, "NEEDEXCLACCESS"},
      {kDbiErrMultipleInit, "MULTIPLEINIT"},
      {kDbiErrQrySyntErr, "QRYSYNTERR"},
      {kDbiErrTableExists, "TABLEEXISTS"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EngineErrorName(c.code), c.name) << c.code;
  }
  EXPECT_EQ(EngineErrorName(kDbiErrNone), "OK");
}

TEST(EngineErrors, TextShowsTheCodeInAnErrorBox) {
  TScriptedDialogs dialogs;
  const TInstalledDialogs installed(dialogs);
  EngineErrorText(kDbiErrNone);  // nothing: any box would fail the test
  EXPECT_TRUE(dialogs.Boxes().empty());

  dialogs.ExpectBox(TBoxKind::kInfo, "Error: DBIERR_SYSFILEOPEN", "Error");
  EngineErrorText(8449);
  dialogs.ExpectBox(TBoxKind::kInfo, "Error: #15881", "Error");
  EngineErrorText(15881);
  dialogs.ExpectBox(TBoxKind::kInfo, "Error: DBIERR_KEYVIOL", "Error");
  EngineErrorText(kDbiErrKeyViol);
  dialogs.Verify();
}

TEST(EngineErrors, EngineErrorCarriesTheCodeAndAClearMessage) {
  const env::EDBEngineError keyViol = EngineError(kDbiErrKeyViol, "Adding the primary index to temptbl1.db");
  EXPECT_EQ(keyViol.Code(), kDbiErrKeyViol);
  EXPECT_STREQ(keyViol.what(), "Adding the primary index to temptbl1.db: key violation (DBIERR_KEYVIOL, 9729)");
  EXPECT_STREQ(EngineError(kDbiErrInvalidRestrOp, "Restructuring Books.db").what(),
               "Restructuring Books.db: engine error DBIERR_INVALIDRESTROP (10012)");
  EXPECT_STREQ(EngineError(1234, "").what(), "Engine error #1234");

  EXPECT_NO_THROW(CheckEngineResult(kDbiErrNone, "Opening Books.db"));
  try {
    CheckEngineResult(kDbiErrNoSuchTable, "Opening Books.db");
    ADD_FAILURE() << "no error raised";
  } catch (const env::EDBEngineError& error) {
    EXPECT_EQ(error.Code(), kDbiErrNoSuchTable);
    EXPECT_STREQ(error.what(), "Opening Books.db: table not found (DBIERR_NOSUCHTABLE, 10024)");
  }
}

}  // namespace
}  // namespace remdo::paradox
