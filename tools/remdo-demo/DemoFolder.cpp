// remdo-demo-folder: makes a demo data folder for Remdo, holding one empty
// table of every current-layout structure under the file name the catalogue
// application gives it (two folder tables among them), each created by the
// engine from its built-in structure. The demo then runs Remdo on it.
//
//   remdo-demo-folder DIR
//
// DIR is created when missing; tables of the same names in it are replaced.
// Exit status 0 when every table was made, 1 otherwise, 2 for a usage error.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "env/Errors.h"
#include "env/FileCopy.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/Database.h"
#include "paradox/Engine.h"
#include "paradox/EngineCodes.h"
#include "paradox/EngineErrors.h"
#include "paradox/TableCatalogue.h"
#include "paradox/TableCreation.h"

namespace {

struct TDemoTable {
  std::string_view fileName;
  int structure;
};

// The tables of a current-layout data set, in the order a run checks them.
constexpr TDemoTable kTables[] = {
    {"AuthX.db", 34},    {"ExpTitle.db", 32}, {"Books.db", 31},    {"BookRef.db", 26},  {"Genre.db", 27},
    {"BkSeries.db", 28}, {"Reissues.db", 30}, {"CharX.db", 7},     {"GrpNames.db", 37}, {"LocNames.db", 38},
    {"BookInx.db", 36},  {"Calendar.db", 33}, {"Pubs.db", 23},     {"ISBNs.db", 24},    {"Contact.db", 25},
    {"Images.db", 29},   {"BookInfo.db", 3},  {"Prices.db", 13},   {"Auth0001.db", 39}, {"Folders.db", 35},
    {"Fldr0001.db", 21}, {"Fldr0003.db", 22},
};

bool MakeTables(const std::string& folder) {
  using namespace remdo;
  paradox::TDbiEnv environment;
  environment.langName = "0009";
  const std::uint16_t code = paradox::DbiInit(&environment);
  if (code != paradox::kDbiErrNone && code != paradox::kDbiErrMultipleInit) {
    throw paradox::EngineError(code, "Starting the database engine");
  }
  bool allMade = true;
  {
    paradox::TDatabase database;
    database.SetDatabaseName(folder);
    database.Open();
    for (const auto& table : kTables) {
      const bool made = paradox::CreateParadoxTable(database.Handle(), table.fileName,
                                                    paradox::SchemaLanguageDriver(table.structure),
                                                    paradox::GetTableSchema(table.structure),
                                                    paradox::SchemaLevel(table.structure));
      std::printf("  %-12s structure %2d  %s\n", std::string(table.fileName).c_str(), table.structure,
                  made ? "created" : "NOT created");
      allMade = allMade && made;
    }
  }
  paradox::CheckEngineResult(paradox::DbiExit(), "Shutting the database engine down");
  return allMade;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace remdo;
  if (argc != 2 || std::string_view(argv[1]).empty()) {
    std::fputs("usage: remdo-demo-folder DIR\n", stderr);
    return 2;
  }
  try {
    const std::string folder = env::IncludeTrailingSeparator(env::Utf8ToCp1252(argv[1]));
    if (!env::MakeFolders(env::DefaultFileSystem(), folder)) {
      throw env::EFCreateError("Cannot create the folder " + folder + ".");
    }
    std::printf("Demo data folder %s:\n", argv[1]);
    return MakeTables(folder) ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "remdo-demo-folder: %s\n", env::Cp1252ToUtf8(e.what()).c_str());
    return 1;
  }
}
