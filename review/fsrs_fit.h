// Fitting the 21 FSRS-6 weights to a learner's own review log, and telling
// how well a set of weights predicts it.
//
// The log is review_log's rows (ReviewStore::LoadReviewLog), grouped per
// card (word and bank) in time order, with the whole local days between a
// card's reviews (GroupReviewLog). The fit learns from every review of a
// card after its first that comes on a later day than the review before
// (same-day reviews shape the memory state but are not predicted, as the
// published optimizer does); it needs kMinFitReviews of them.
//
// FitWeights minimises the mean log-loss of the predicted recall (recall:
// graded Hard, Good or Easy) with Adam over mini-batches of cards,
// derivatives carried forward through the scheduler's own formulas
// (fsrs_model.h), the weights kept within kFsrsWeightBounds, a small pull
// towards the starting weights that fades with the size of the log, and the
// first-review stabilities started from their own one-dimensional fit. It is
// deterministic: the same log and seed give the same weights, bit for bit.
//
// Pure functions of their arguments; any thread. A fit of 100,000 reviews
// takes seconds: run it on a worker and pass a progress callback, which is
// called on that worker and can stop it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "review/fsrs.h"

namespace quorvo {

inline constexpr int kMinFitReviews = 400;

// One review_log row.
struct LoggedReview {
  std::string word;
  std::string bank;
  int grade = 0;           // 1 Again .. 4 Easy
  int64_t reviewedAt = 0;  // seconds since 1970, UTC
};

// One card's reviews in time order.
struct CardReviews {
  struct Review {
    int grade = 0;
    int elapsedDays = 0;  // local days since the review before; 0 for the first
  };
  std::vector<Review> reviews;
};

// Groups the rows per word and bank, each card's in time order (rows of the
// same second keep their order), with elapsed days between the learner's
// local days (utcOffsetSeconds east of UTC). Rows graded outside 1..4 are
// left out. Cards come in the order of their first review.
std::vector<CardReviews> GroupReviewLog(std::vector<LoggedReview> rows, int utcOffsetSeconds);

// The reviews a fit learns from (see above).
int CountFitReviews(const std::vector<CardReviews>& cards);

struct FitMetrics {
  int reviews = 0;      // predicted reviews
  double logLoss = 0;   // mean over them, natural log
  double rmseBins = 0;  // root mean square of (predicted - actual recall)
                        // over bins of interval, review count and lapses,
                        // each bin weighted by its number of reviews
};

// How well the weights predict the cards' reviews.
FitMetrics EvaluateWeights(const FsrsWeights& weights, const std::vector<CardReviews>& cards);

struct FitOptions {
  // The weights in use now, for FitResult::before (the fit itself starts
  // from the published defaults).
  FsrsWeights current = kDefaultFsrsWeights;
  uint64_t seed = 2023;  // orders the mini-batches
  // Called on the fitting thread now and then with the share done, 0..1;
  // returning false stops the fit (FitStatus::kCancelled).
  std::function<bool(double done)> progress;
};

enum class FitStatus { kFitted, kTooFewReviews, kCancelled };

struct FitResult {
  FitStatus status = FitStatus::kTooFewReviews;
  int reviews = 0;                            // reviews the fit learns from (CountFitReviews)
  int reviewsNeeded = 0;                      // more of them needed first (kTooFewReviews)
  FsrsWeights weights = kDefaultFsrsWeights;  // the fitted weights (kFitted)
  FitMetrics before;                          // of FitOptions::current
  FitMetrics after;                           // of the fitted weights (kFitted)
};

FitResult FitWeights(const std::vector<CardReviews>& cards, const FitOptions& options = {});

}  // namespace quorvo
