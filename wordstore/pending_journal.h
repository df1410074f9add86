// The pending journal: writes quorvo showed as kept but could not put in the
// bank file before it ended (a full disk, a file held past the wait), kept
// in a small file beside it ("dict_main.db.pending") for the next start to
// write and then remove.
//
// It holds the statements of a lookups' write group that could not be
// committed, in the order they ran, the review grades that were kept
// ("暂存"), each with the moment it was given, and the spelling drills' first
// tries that 错题本 could not take, in the order given. The file is plain
// text, one record a line, its fields tab-separated and escaped (\\, \t,
// \n, \r), so GBK bytes go through unchanged; it is written whole through a
// temporary file and a rename, and what a journal already holds is kept.
//
// Every line after the header starts with its kind: "sql", "review",
// "misspelling". A reader passes over kinds it does not know, so the drills'
// lines came without a new header: a journal without them is what quorvo
// wrote before there were any, and a build that predates them still writes
// the statements and grades of a journal that has them (the drills' tries it
// passes over go with the journal it removes).
//
// No state; any thread (the callers run at start and at the end).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/status.h"

namespace quorvo {

struct PendingReview {
  std::string bank;
  std::string word;
  int grade = 0;   // 1 忘记 .. 4 简单
  int64_t at = 0;  // when it was given, seconds since 1970
};

// A spelling drill's first try: right or a mistake, of a word of a bank.
struct PendingMisspelling {
  std::string bank;
  std::string word;
  bool right = false;
  int64_t at = 0;  // when it was typed, seconds since 1970
  bool operator==(const PendingMisspelling&) const = default;
};

struct PendingWrites {
  std::vector<std::string> statements;
  std::vector<PendingReview> reviews;
  std::vector<PendingMisspelling> misspellings;  // oldest first
  bool empty() const { return statements.empty() && reviews.empty() && misspellings.empty(); }
};

// bankFile + ".pending".
std::string PendingJournalPath(const std::string& bankFile);
// Adds writes to the journal beside bankFile (made when missing).
Status SavePendingWrites(const std::string& bankFile, const PendingWrites& writes);
// What the journal holds; empty when there is none. Lines it cannot read
// are skipped.
Result<PendingWrites> LoadPendingWrites(const std::string& bankFile);
// Removes the journal once its writes are in the bank file.
Status RemovePendingWrites(const std::string& bankFile);

}  // namespace quorvo
