// Writing what the last run of quorvo could not: the pending journal beside
// the bank file (wordstore/pending_journal.h) is written into the file at
// start, before the windows read it, and then removed.
//
// Window-free; called once by main, on the window thread, before the
// windows open.
#pragma once

#include <string>

#include "base/status.h"

namespace quorvo {

struct ReplayOutcome {
  bool hadJournal = false;
  int statements = 0;    // lookups' statements written
  int reviews = 0;       // kept review grades written
  int misspellings = 0;  // kept drill tries written into 错题本
  Status status;         // why nothing was written (the journal then stays)
};

// Writes the journal's statements (a statement the file rejects, such as a
// word added meanwhile, is passed over), reviews (each as of the moment
// it was given) and the drills' tries for 错题本 (in order, each on the day
// it was typed) in one transaction, then removes the journal. On failure
// nothing is written and the journal stays for the next start.
ReplayOutcome ReplayPendingWrites(const std::string& bankFile);

// What the learner is told of the outcome (UTF-8); empty when there was no
// journal.
std::string ReplayMessage(const ReplayOutcome& outcome);

}  // namespace quorvo
