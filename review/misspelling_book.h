// MisspellingBook (错题本): every word misspelt in a spelling drill, with how
// often and when, kept in the word file (review_misspelling, and one row per
// mistake in review_misspelling_log for the 统计 tab).
//
// A word leaves the book after kRightDaysToLeave right drills in a row on
// different local days: a right drill on a day that already counted adds
// nothing, a mistake starts the count again. Days are the learner's local
// days (LocalDay with the offset given).
//
// Writes are one transaction each (joining one already open, as a replay's)
// and say why they failed (a held file, a full disk); reads of a file
// without the tables are empty. Window thread (it uses the page's
// connection).
//
// MisspellingRecorder writes the drills' first tries in the order given; a
// try the file refuses is kept, with its moment, and written before any
// later one.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/status.h"
#include "wordstore/pending_journal.h"
#include "wordstore/word_database.h"

namespace quorvo {

struct Misspelling {
  std::string word;  // GBK
  int count = 0;     // mistakes so far
  int64_t lastAt = 0;
  int rightDays = 0;  // right drills in a row, on different days
};

class MisspellingBook {
 public:
  static constexpr int kRightDaysToLeave = 3;

  MisspellingBook(WordDatabase& db, int utcOffsetSeconds) : db_(db), utcOffset_(utcOffsetSeconds) {}

  Status RecordMistake(std::string_view bank, std::string_view word, int64_t at);
  // A right drill: counts for a word in the book (once a day) and takes it
  // out at the third day in a row; nothing for other words.
  // A file that cannot be read says so rather than pass for one without the
  // word.
  Status RecordRight(std::string_view bank, std::string_view word, int64_t at);
  // A try as kept: RecordRight or RecordMistake at its moment.
  Status Record(const PendingMisspelling& outcome);
  // The bank's words in the book, most often misspelt first.
  std::vector<Misspelling> Words(std::string_view bank);
  bool Contains(std::string_view bank, std::string_view word);
  // Mistakes per local day from firstDay to lastDay (days without any left
  // out), in day order.
  std::vector<std::pair<int, int>> MistakesPerDay(int firstDay, int lastDay);

 private:
  Status Prepare();
  WordDatabase& db_;
  int utcOffset_;
};

class MisspellingRecorder {
 public:
  MisspellingRecorder(WordDatabase& db, int utcOffsetSeconds) : book_(db, utcOffsetSeconds) {}

  // Writes the tries kept before this one and then it, oldest first: a right
  // try never lands before a mistake typed earlier. Ok when all are in the
  // file; otherwise the failure, and the rest wait in Pending().
  Status Record(PendingMisspelling outcome);
  // Writes the kept tries in order, stopping at the first the file refuses;
  // Ok when none is left.
  Status RetryPending();
  int Pending() const { return static_cast<int>(pending_.size()); }
  // The kept tries, oldest first, given up here (when quorvo ends and they
  // go to the pending journal).
  std::vector<PendingMisspelling> TakePending();

 private:
  MisspellingBook book_;
  std::deque<PendingMisspelling> pending_;
};

}  // namespace quorvo
