// MisspellingBook (错题本): every word misspelt in a spelling drill, with how
// often and when, kept in the word file (review_misspelling, and one row per
// mistake in review_misspelling_log for the 统计 tab).
//
// A word leaves the book after kRightDaysToLeave right drills in a row on
// different local days: a right drill on a day that already counted adds
// nothing, a mistake starts the count again. Days are the learner's local
// days (LocalDay with the offset given).
//
// Writes are one transaction each and say why they failed (a held file, a
// full disk); reads of a file without the tables are empty. Window thread
// (it uses the page's connection).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/status.h"
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
  Status RecordRight(std::string_view bank, std::string_view word, int64_t at);
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

}  // namespace quorvo
