// ReviewSession: one day's 今日复习 over the recitation list: the due cards
// in order, the current one, and the grading of it.
//
// A grade is stored at once through the ReviewStore. When the file is held
// by another program (kBusy, or any other failed write) the review is
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
  // being data row 1) and starts at the most overdue. When the review
  // history cannot be read (a held file), no card is offered and the
  // failure is returned: a reviewed word is never taken for a new one.
  Status Load(const std::string& bank, const std::vector<std::string>& listWords);
  int Count() const { return static_cast<int>(cards_.size()); }
  // True once the day the cards were chosen on is over.
  bool Stale() const { return LocalDay(clock_(), store_.UtcOffset()) != loadedDay_; }
  // The current card, or null when nothing is due.
  const DueCard* Current() const { return cards_.empty() ? nullptr : &cards_[index_]; }
  // Move through the due cards; both wrap.
  void Next();
  void Previous();
  // Grades the current card and drops it from today's cards. Ok when it
  // (and everything kept before it) is stored; otherwise the failure, and
  // the review waits in Pending().
  Status GradeCurrent(Grade grade);
  // Stores the kept reviews; Ok when none is left.
  Status RetryPending();
  int Pending() const { return static_cast<int>(pending_.size()); }
  // A review given but not yet stored.
  struct PendingReview {
    std::string bank;
    std::string word;
    Grade grade;
    int64_t at;
  };
  // The kept reviews, oldest first, and giving them up (when quorvo ends and
  // they have been saved elsewhere).
  std::vector<PendingReview> TakePending();

  ReviewStore& Store() { return store_; }
  int64_t Now() const { return clock_(); }

 private:
  std::function<int64_t()> clock_;
  ReviewStore store_;
  std::string bank_;
  std::vector<DueCard> cards_;
  size_t index_ = 0;
  int loadedDay_ = 0;
  std::deque<PendingReview> pending_;
};

}  // namespace quorvo
