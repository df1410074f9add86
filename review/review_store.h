// ReviewStore: the review history of the recitation list, kept in the word
// database next to the banks.
//
// Three tables of their own, made on first use (EnsureTables), so a file
// that never saw a review is left exactly as it was:
//   review_card(word, bank, due, stability, difficulty, reps, lapses,
//               last_review, introduced)  one row per reviewed word and bank;
//               due, last_review and introduced are local day numbers
//   review_log(word, bank, grade, reviewed_at, interval)  one row per review;
//               reviewed_at in seconds since 1970 (UTC)
//   known_log(word, bank, known, changed_at, source)  every change of a
//               word's known flag: source 'review' when a word's interval
//               passed kKnownAfterDays, 'hand' for the word-bank page
// plus review_setting(key, value) for the number of new words a day and the
// scheduler's settings.
//
// The store borrows an open WordDatabase and uses its connection on the
// caller's thread (the window thread of the recitation page). Values are
// bound, never spliced; bank names go in through BankIdentifier. Results are
// Status: kBusy when another program holds the file, in which case nothing
// of the review was written and the caller may retry. The tables are made
// together, in one transaction; a file that has only some of them (an
// older build, a write cut short) gets the rest.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "review/fsrs.h"
#include "review/fsrs_fit.h"
#include "wordstore/word_database.h"

namespace quorvo {

// An interval longer than this marks the word 会背 in its bank.
inline constexpr int kKnownAfterDays = 90;
inline constexpr int kDefaultNewCardsPerDay = 20;

// The local calendar day of a moment: days since 1970-01-01 in the zone
// utcOffsetSeconds east of UTC.
int LocalDay(int64_t unixSeconds, int utcOffsetSeconds);
// This machine's offset east of UTC at the given moment.
int LocalUtcOffset(int64_t unixSeconds);

struct ReviewCard {
  std::string word;
  int due = 0;  // day number
  MemoryState state;
  int reps = 0;
  int lapses = 0;
  int lastReview = 0;  // day number
  int introduced = 0;  // day of the first review
};

// What one stored review did.
struct ReviewOutcome {
  ReviewCard card;
  int intervalDays = 0;
  bool markedKnown = false;  // the interval passed kKnownAfterDays just now
};

// One day of the review log, grouped.
struct DayReviews {
  int day = 0;
  int total = 0;
  int correct = 0;  // graded Hard, Good or Easy
};

struct DayCount {
  int day = 0;
  int count = 0;
};

struct BankProgress {
  std::string bank;
  int known = 0;
  int unknown = 0;
};

class ReviewStore {
 public:
  ReviewStore(WordDatabase& db, int utcOffsetSeconds, Fsrs fsrs = Fsrs());

  // Creates whichever review tables are missing, all in one transaction.
  Status EnsureTables();
  // Whether every review table is there (without making them); a failure
  // to read the file is a failure, never "no history".
  Result<bool> HasTables();

  // Every card of the bank.
  Status LoadCards(const std::string& bank, std::vector<ReviewCard>* cards);
  // Grades the word as of nowSeconds: schedules it, stores card and log line
  // and, when the interval passes kKnownAfterDays, sets known = 1 in the
  // bank and logs that; all in one transaction (nothing written on failure).
  Status RecordReview(const std::string& bank, const std::string& word, Grade grade, int64_t nowSeconds,
                      ReviewOutcome* outcome);
  // Logs a change of the known flag made by hand on the word-bank page.
  Status LogKnownChanges(const std::string& bank, const std::vector<std::string>& words, bool known,
                         int64_t nowSeconds);

  // The word-bank page's "会背": MarkKnown as always, with a log line for
  // each word that was not known before, in the same batch: the flags and
  // their log are committed, or given up, together.
  Status MarkKnownAndLog(const std::string& bank, const std::vector<std::string>& words, int64_t nowSeconds);

  int NewCardsPerDay();
  Status SetNewCardsPerDay(int count);

  // ---- the scheduler's settings ------------------------------------------
  // Kept in review_setting beside new_per_day, so that a file of an older
  // build stays readable by it (it reads only its own key):
  //   fsrs_weights       the learner's fitted weights, as text (21 numbers,
  //                      FormatFsrsWeights); SQLite keeps text that is not one
  //                      number as text in the integer column
  //   retention_permille the desired retention in thousandths (900)
  // A value that does not read back as valid counts as absent.
  //
  // The fitted weights, found or not.
  Status FittedWeights(FsrsWeights* weights, bool* found);
  // kRefused for weights ValidFsrsWeights refuses.
  Status SetFittedWeights(const FsrsWeights& weights);
  // Back to the published defaults.
  Status ClearFittedWeights();
  // kDefaultDesiredRetention when none is stored.
  double DesiredRetention();
  // kRefused outside kMinDesiredRetention..kMaxDesiredRetention.
  Status SetDesiredRetention(double retention);
  // The scheduler RecordReview uses: the one given at construction with the
  // stored weights and retention in place of its own where stored.
  Fsrs CurrentScheduler();
  // Every review_log row in time order (empty without review tables).
  Status LoadReviewLog(std::vector<LoggedReview>* rows);

  // ---- history for the charts (grouped by local day) --------------------
  Status ReviewsByDay(int fromDay, std::vector<DayReviews>* days);
  // Net change of known words per day (+1 known, -1 unknown) from fromDay on.
  Status KnownChangesByDay(int fromDay, std::vector<DayCount>* days);
  // Cards due before untilDay, counted per due day: only cards whose word
  // is still in its bank (a word deleted from the recitation list is not
  // due any more).
  Status DueByDay(int untilDay, std::vector<DayCount>* days);
  // Known and unknown words of each bank (the recitation list included),
  // each row's word judged by isKnown (LoadStats gives it KnownByFamily).
  Status BanksProgress(const std::vector<std::string>& banks, const std::function<bool(std::string_view)>& isKnown,
                       std::vector<BankProgress>* progress);

  int UtcOffset() const { return utcOffset_; }
  WordDatabase& Database() const { return db_; }
  // The scheduler given at construction (CurrentScheduler adds the stored
  // settings).
  const Fsrs& Scheduler() const { return fsrs_; }

 private:
  Status LoadCard(const std::string& bank, const std::string& word, ReviewCard* card, bool* found);
  bool StoredRetention(double* retention);

  WordDatabase& db_;
  int utcOffset_;
  Fsrs fsrs_;
};

}  // namespace quorvo
