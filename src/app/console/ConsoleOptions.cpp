// The console program's options.
#include "app/console/ConsoleOptions.h"

namespace remdo::app::console {

namespace {

// "--name" or "--name=...".
bool TakesFolder(const std::string& arg, const std::string& name) {
  return arg == name || arg.rfind(name + "=", 0) == 0;
}

// The folder of an option given as "--name DIR" or "--name=DIR"; a missing,
// empty or second different folder is a usage error.
void TakeFolder(const std::vector<std::string>& args, std::size_t& i, const std::string& name, std::string& folder,
                std::string& error, const std::string& noun = "a folder") {
  std::string value;
  if (args[i] == name) {
    if (i + 1 >= args.size()) {
      error = name + " needs " + noun;
      return;
    }
    value = args[++i];
  } else {
    value = args[i].substr(name.size() + 1);
  }
  if (value.empty()) error = name + " needs " + noun;
  if (!folder.empty() && folder != value) error = name + " given twice";
  folder = value;
}

}  // namespace

TConsoleOptions ParseConsoleOptions(const std::vector<std::string>& args) {
  TConsoleOptions options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      options.params.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--yes" || arg == "--no") {
      const bool yes = arg == "--yes";
      if (options.answer && *options.answer != yes) options.error = "--yes and --no exclude each other";
      options.answer = yes;
    } else if (TakesFolder(arg, "--data-folder")) {
      TakeFolder(args, i, "--data-folder", options.dataFolder, options.error);
    } else if (TakesFolder(arg, "--prefix")) {
      TakeFolder(args, i, "--prefix", options.prefix, options.error);
    } else if (TakesFolder(arg, "--report")) {
      TakeFolder(args, i, "--report", options.reportFile, options.error, "a file");
    } else if (arg == "--undo") {
      options.params.push_back("UNDO");
    } else if (arg == "--verify" || arg == "--dry-run") {
      options.params.push_back("VERIFY");
    } else if (arg == "--help") {
      options.help = true;
    } else {
      options.error = "unknown option " + arg;
    }
    if (!options.error.empty()) break;
  }
  return options;
}

std::string UsageText() {
  return "Usage: remdo [--yes | --no] [--data-folder DIR] [--prefix DIR] [--undo]\n"
         "             [--verify | --dry-run [--report FILE]] [PARAMETER...]\n"
         "\n"
         "Repairs and recovers the FENRO book catalogue's data set: every table is\n"
         "rebuilt from its raw file, lost records are recovered, and the run is\n"
         "logged to Remdo.log and RemdLogs.txt in the data folder.\n"
         "\n"
         "  --yes, --no         repair, and answer every question Yes or No; without\n"
         "                      either, questions are asked on the terminal, and\n"
         "                      answered No when there is no terminal. --no does not\n"
         "                      mean \"look only\": that is --verify\n"
         "  --data-folder DIR   repair the data set in DIR instead of locating it\n"
         "  --prefix DIR        the catalogue lives in the Wine prefix DIR: its data\n"
         "                      folder, settings and engine are found there as the\n"
         "                      Windows program finds them (default: $WINEPREFIX when\n"
         "                      neither option is given)\n"
         "  --undo              put the data set back as it was before the last run\n"
         "                      (the run option UNDO)\n"
         "  --verify, --dry-run look only: report what is wrong with each table and\n"
         "                      what a repair would do, changing nothing (the run\n"
         "                      option VERIFY); exit status 0 all sound, 1 damage\n"
         "  --report FILE       with --verify, also save the report as FILE\n"
         "  --help              show this text\n"
         "\n"
         "Parameters are the run options of the Windows program (STRICT, PACK,\n"
         "NOPACK, PACKMEMO, TABLENAME with table names, INSTALLING, REMD, UNDO, VERIFY,\n"
         "+!, +U, +X).\n"
         "Ctrl-C asks whether to stop the run.\n"
         "\n"
         "Exit status: 0 run without failures, 1 tables failed, 2 usage error,\n"
         "3 the run could not start or an error ended it, 4 stopped by the user.\n";
}

}  // namespace remdo::app::console
