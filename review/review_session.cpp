#include "review/review_session.h"

namespace quorvo {

ReviewSession::ReviewSession(WordDatabase& db, std::function<int64_t()> clock)
    : clock_(std::move(clock)), store_(db, LocalUtcOffset(clock_())) {}

Status ReviewSession::Load(const std::string& bank, const std::vector<std::string>& listWords) {
  bank_ = bank;
  cards_.clear();
  index_ = 0;
  std::vector<ReviewCard> cards;
  // A file that never saw a review has no cards: every word is new. One
  // whose cards cannot be read offers nothing until they can.
  Status loaded = store_.LoadCards(bank, &cards);
  if (!loaded.ok()) return loaded;
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
  return Status::Ok();
}

void ReviewSession::Next() {
  if (!cards_.empty()) index_ = (index_ + 1) % cards_.size();
}

void ReviewSession::Previous() {
  if (!cards_.empty()) index_ = (index_ + cards_.size() - 1) % cards_.size();
}

Status ReviewSession::RetryPending() {
  while (!pending_.empty()) {
    const PendingReview& p = pending_.front();
    Status stored = store_.RecordReview(p.bank, p.word, p.grade, p.at, nullptr);
    if (!stored.ok()) return stored;
    pending_.pop_front();
  }
  return Status::Ok();
}

std::vector<ReviewSession::PendingReview> ReviewSession::TakePending() {
  std::vector<PendingReview> taken(pending_.begin(), pending_.end());
  pending_.clear();
  return taken;
}

Status ReviewSession::GradeCurrent(Grade grade) {
  if (cards_.empty()) return Status(StatusCode::kRefused, "no card to grade");
  pending_.push_back({bank_, cards_[index_].word, grade, clock_()});
  cards_.erase(cards_.begin() + static_cast<std::ptrdiff_t>(index_));
  if (index_ >= cards_.size()) index_ = 0;
  return RetryPending();
}

}  // namespace quorvo
