#include "review/review_session.h"

namespace quorvo {

ReviewSession::ReviewSession(WordDatabase& db, std::function<int64_t()> clock)
    : clock_(std::move(clock)), store_(db, LocalUtcOffset(clock_())) {}

void ReviewSession::Load(const std::string& bank, const std::vector<std::string>& listWords) {
  bank_ = bank;
  std::vector<ReviewCard> cards;
  // A file that never saw a review has no cards: every word is new.
  if (store_.HasTables() && store_.LoadCards(bank, &cards) != SQLITE_OK) cards.clear();
  int today = LocalDay(clock_(), store_.UtcOffset());
  loadedDay_ = today;
  // Words graded today but not yet stored are done for today.
  cards_ = ChooseDueCards(listWords, cards, today, store_.NewCardsPerDay());
  std::erase_if(cards_, [this](const DueCard& c) {
    for (const auto& p : pending_)
      if (p.bank == bank_ && p.word == c.word) return true;
    return false;
  });
  index_ = 0;
}

void ReviewSession::Next() {
  if (!cards_.empty()) index_ = (index_ + 1) % cards_.size();
}

void ReviewSession::Previous() {
  if (!cards_.empty()) index_ = (index_ + cards_.size() - 1) % cards_.size();
}

int ReviewSession::RetryPending() {
  while (!pending_.empty()) {
    const PendingReview& p = pending_.front();
    int rc = store_.RecordReview(p.bank, p.word, p.grade, p.at, nullptr);
    if (rc != SQLITE_OK) return rc;
    pending_.pop_front();
  }
  return SQLITE_OK;
}

int ReviewSession::GradeCurrent(Grade grade) {
  if (cards_.empty()) return SQLITE_MISUSE;
  pending_.push_back({bank_, cards_[index_].word, grade, clock_()});
  cards_.erase(cards_.begin() + static_cast<std::ptrdiff_t>(index_));
  if (index_ >= cards_.size()) index_ = 0;
  return RetryPending();
}

}  // namespace quorvo
