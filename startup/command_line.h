// quorvo's command line, read before the application object exists so that
// --version and --help work without a display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvo {

struct CommandLineAction {
  // Export, Import and ListBanks are the word commands: they run on the
  // word bank file without a window.
  enum Kind { Run, Print, Fail, Export, Import, ListBanks } kind = Run;
  std::string text;               // Print: for standard output; Fail: for standard error
  int exitCode = 0;               // Print: 0; Fail: 2
  std::string bank;               // Export, Import: the bank, as typed (UTF-8)
  std::string file;               // Export, Import: the file
  std::optional<bool> known;      // Export: --known 1 (only known words) or 0
  std::optional<int64_t> minHot;  // Export: --min-hot N
};

// args holds argv[1..]. --version and --help (also -h, -v) print and end;
// --export BANK FILE [--known 0|1] [--min-hot N], --import FILE --bank NAME
// and --list-banks ask for a word command (one per command line);
// the toolkit's own options (-platform NAME, -style NAME, -reverse...) are
// left to it; anything else is refused with exit code 2.
CommandLineAction ReadCommandLine(const std::vector<std::string>& args, const std::string& version);

}  // namespace quorvo
