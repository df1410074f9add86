// The series of the 统计 tab, computed from the review history. The Fill and
// Known functions are pure; LoadStats reads the store (window thread).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "lexicon/lexicon.h"
#include "review/review_store.h"

namespace quorvo {

// One entry per day from today - days + 1 to today; days without reviews
// count 0.
std::vector<DayReviews> FillReviewDays(const std::vector<DayReviews>& grouped, int today, int days);
// Known words at the end of each of the last `days` days, walking back from
// knownNow through the logged changes (a change on day d counts from d on).
std::vector<DayCount> KnownOverTime(const std::vector<DayCount>& changes, int knownNow, int today, int days);
// Cards due on each of the next `days` days, today first; today also counts
// every overdue card.
std::vector<DayCount> DueForecast(const std::vector<DayCount>& dueByDay, int today, int days);

struct StatsSeries {
  int today = 0;
  std::vector<DayReviews> reviews;  // 30 days
  std::vector<DayCount> known;      // 30 days
  std::vector<DayCount> due;        // 14 days
  std::vector<BankProgress> banks;
  int knownNow = 0;  // known words of every bank together
  // Each exam's list words known (by the lexicon given to LoadStats; none
  // without one), in kAllExams order.
  std::array<ExamProgress, kExamCount> exams{};
  // Whether anything was ever reviewed or marked known.
  bool hasReviews = false;
  bool hasKnownHistory = false;
  bool hasDue = false;
};

inline constexpr int kReviewChartDays = 30;
inline constexpr int kDueChartDays = 14;

// Reads the series as of nowSeconds. A file without the review tables gives
// empty histories (and is left without them). Every known count (each
// bank's, knownNow, each exam's) takes one rule, KnownByFamily over the
// words marked 会背 in any bank (KnownWords): a form counts as known when
// its family's base is known anywhere, whether the bank was counted by
// family or not.
Status LoadStats(ReviewStore& store, const std::vector<std::string>& banks, int64_t nowSeconds, StatsSeries* out,
                 const Lexicon* lexicon = nullptr);

}  // namespace quorvo
