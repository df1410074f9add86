#include "review/review_stats.h"

#include "wordstore/word_bank.h"

namespace quorvo {

std::vector<DayReviews> FillReviewDays(const std::vector<DayReviews>& grouped, int today, int days) {
  std::vector<DayReviews> out;
  int first = today - days + 1;
  for (int d = first; d <= today; ++d) out.push_back({d, 0, 0});
  for (const auto& g : grouped) {
    if (g.day < first || g.day > today) continue;
    out[g.day - first].total += g.total;
    out[g.day - first].correct += g.correct;
  }
  return out;
}

std::vector<DayCount> KnownOverTime(const std::vector<DayCount>& changes, int knownNow, int today, int days) {
  std::vector<DayCount> out(days);
  int known = knownNow;
  size_t next = changes.size();
  // From today backwards: the count at the end of day d is the count now
  // less every change made after d.
  for (int i = days - 1; i >= 0; --i) {
    int day = today - (days - 1 - i);
    while (next > 0 && changes[next - 1].day > day) known -= changes[--next].count;
    out[i] = {day, known < 0 ? 0 : known};
  }
  return out;
}

std::vector<DayCount> DueForecast(const std::vector<DayCount>& dueByDay, int today, int days) {
  std::vector<DayCount> out;
  for (int d = 0; d < days; ++d) out.push_back({today + d, 0});
  for (const auto& g : dueByDay) {
    int index = g.day <= today ? 0 : g.day - today;
    if (index < days) out[index].count += g.count;
  }
  return out;
}

Status LoadStats(ReviewStore& store, const std::vector<std::string>& banks, int64_t nowSeconds, StatsSeries* out,
                 const Lexicon* lexicon) {
  *out = StatsSeries();
  int today = LocalDay(nowSeconds, store.UtcOffset());
  out->today = today;
  const std::unordered_set<std::string> marked = KnownWords(store.Database());
  auto isKnown = [&](std::string_view word) { return KnownByFamily(marked, lexicon, word); };
  Status status = store.BanksProgress(banks, isKnown, &out->banks);
  if (lexicon) out->exams = CountExamProgress(*lexicon, isKnown);
  int knownNow = 0;
  for (const auto& b : out->banks) knownNow += b.known;
  out->knownNow = knownNow;

  std::vector<DayReviews> reviews;
  std::vector<DayCount> known;
  std::vector<DayCount> due;
  // A table that is not there (a file that never saw a review, or saw only
  // some) gives an empty history; a file that cannot be read is a failure.
  auto read = [&status](Status got) {
    if (status.ok() && got.code() != StatusCode::kRejected) status = std::move(got);
  };
  if (status.ok()) read(store.ReviewsByDay(today - kReviewChartDays + 1, &reviews));
  if (status.ok()) read(store.KnownChangesByDay(today - kReviewChartDays + 1, &known));
  if (status.ok()) read(store.DueByDay(today + kDueChartDays, &due));
  out->reviews = FillReviewDays(reviews, today, kReviewChartDays);
  out->known = KnownOverTime(known, knownNow, today, kReviewChartDays);
  out->due = DueForecast(due, today, kDueChartDays);
  out->hasReviews = !reviews.empty();
  out->hasKnownHistory = !known.empty();
  out->hasDue = !due.empty();
  return status;
}

}  // namespace quorvo
