// A simulated learner whose memory follows FSRS-6 with known weights, for
// testing and measuring the weight fit (fsrs_fit.h): it makes review_log
// rows as quorvo would log them, from a seed.
//
// Each day the learner may be away (now and then for weeks); on the other
// days they review the cards they planned for that day or before and take
// up to newPerDay new ones. A review is recalled with the probability the
// true model gives (then Hard, Good or Easy at random, else Again); the
// scheduler, run with the true weights, gives the interval, and the learner
// comes back early, on time, late or very late at random. Half the cards
// failed are reviewed once more the same day. Pure; any thread.
//
// The text form (FormatReviewLogTsv / ParseReviewLogTsv) is what
// quorvo-fsrs-simulate writes and the reference scripts read:
//   # comment lines
//   #weights<TAB>21 weights separated by spaces   (the true ones, if known)
//   #utc_offset<TAB>seconds east of UTC
//   word<TAB>bank<TAB>grade<TAB>reviewed_at        (one row per review)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "review/fsrs.h"
#include "review/fsrs_fit.h"

namespace quorvo {

struct SimulationOptions {
  FsrsWeights weights = kDefaultFsrsWeights;  // the learner's true memory
  int cards = 1000;
  int reviews = 20000;  // the log stops at this many reviews
  int newPerDay = 20;
  int maxDays = 36500;  // or after this many days
  uint64_t seed = 1;
  int utcOffsetSeconds = 8 * 3600;
  int firstDay = 19723;  // local day number of the first day (2024-01-01)
  std::string bank = "main_remember";
};

// The log in time order.
std::vector<LoggedReview> SimulateReviewLog(const SimulationOptions& options);

std::string FormatReviewLogTsv(const std::vector<LoggedReview>& rows, int utcOffsetSeconds,
                               const FsrsWeights* trueWeights, const std::string& comment);
// False when a line is not of the form above (then *error says which).
bool ParseReviewLogTsv(const std::string& text, std::vector<LoggedReview>* rows, int* utcOffsetSeconds,
                       FsrsWeights* trueWeights, bool* hasTrueWeights, std::string* error);

}  // namespace quorvo
