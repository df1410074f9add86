// The word commands of the command line, run without a window on the word
// bank file quorvo would open: --export, --import and --list-banks.
//
// Texts on the command line and on the terminal are UTF-8; the banks keep
// GBK. Messages for people go to err ("quorvo: ..." lines, and the progress
// of the lookups), the result to out (the bank list, the summary). The exit
// status is 0 only when everything was written: a failure says what it was
// and that nothing of it was kept.
//
// Runs on the calling thread; an import's lookups run on a pool of their
// own, waited for before it returns.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "startup/command_line.h"

namespace quorvo {

// keepDictionary (may be empty) brings the dictionary service up before
// lookups and back after a refused connection; false when it cannot.
int RunWordCommand(const CommandLineAction& action, const std::string& bankFile,
                   const std::function<bool()>& keepDictionary, FILE* out, FILE* err);

}  // namespace quorvo
