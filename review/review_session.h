// ReviewSession: one day's 今日复习 over the recitation list: the due cards
// in order, the current one, and the grading of it.
//
// A grade is stored at once through the ReviewStore. When the file is held
// by another program (SQLITE_BUSY or any other failed write) the review is
// kept, with the moment it was given, and stored by the next grade or the
// next RetryPending, in the order given; nothing a learner answered is lost
// while the session lives. Window thread (it uses the page's connection).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "review/review_queue.h"
#include "review/review_store.h"

namespace quorvo {

class ReviewSession {
 public:
  // clock gives the time in seconds since 1970 (UTC).
  ReviewSession(WordDatabase& db, std::function<int64_t()> clock);

  // Chooses the due cards among the list's words (in list order, the first
  // being data row 1) and starts at the most overdue.
  void Load(const std::string& bank, const std::vector<std::string>& listWords);
  int Count() const { return static_cast<int>(cards_.size()); }
  // True once the day the cards were chosen on is over.
  bool Stale() const { return LocalDay(clock_(), store_.UtcOffset()) != loadedDay_; }
  // The current card, or null when nothing is due.
  const DueCard* Current() const { return cards_.empty() ? nullptr : &cards_[index_]; }
  // Move through the due cards; both wrap.
  void Next();
  void Previous();
  // Grades the current card and drops it from today's cards. SQLITE_OK when
  // it (and everything kept before it) is stored; otherwise the failure, and
  // the review waits in Pending().
  int GradeCurrent(Grade grade);
  // Stores the kept reviews; SQLITE_OK when none is left.
  int RetryPending();
  int Pending() const { return static_cast<int>(pending_.size()); }

  ReviewStore& Store() { return store_; }
  int64_t Now() const { return clock_(); }

 private:
  struct PendingReview {
    std::string bank;
    std::string word;
    Grade grade;
    int64_t at;
  };

  std::function<int64_t()> clock_;
  ReviewStore store_;
  std::string bank_;
  std::vector<DueCard> cards_;
  size_t index_ = 0;
  int loadedDay_ = 0;
  std::deque<PendingReview> pending_;
};

}  // namespace quorvo
