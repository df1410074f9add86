// quorvo's command line, read before the application object exists so that
// --version and --help work without a display.
#pragma once

#include <string>
#include <vector>

namespace quorvo {

struct CommandLineAction {
  enum Kind { Run, Print, Fail } kind = Run;
  std::string text;  // Print: for standard output; Fail: for standard error
  int exitCode = 0;  // Print: 0; Fail: 2
};

// args holds argv[1..]. --version and --help (also -h, -v) print and end;
// the toolkit's own options (-platform NAME, -style NAME, -reverse...) are
// left to it; anything else is refused with exit code 2.
CommandLineAction ReadCommandLine(const std::vector<std::string>& args, const std::string& version);

}  // namespace quorvo
