#include "review/fsrs_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <tuple>
#include <unordered_map>

#include "review/fsrs_model.h"
#include "review/review_store.h"

namespace quorvo {
namespace {

constexpr int kN = kFsrsWeightCount;

// ---- a number that carries its derivatives by the 21 weights --------------

struct Dual {
  double v = 0;
  std::array<double, kN> d{};

  Dual() = default;
  Dual(double x) : v(x) {}  // a constant NOLINT(google-explicit-constructor)
};

double Value(const Dual& x) { return x.v; }

// out.d = a * x.d + b * y.d
inline void Combine(Dual& out, double a, const Dual& x, double b, const Dual& y) {
  for (int k = 0; k < kN; ++k) out.d[k] = a * x.d[k] + b * y.d[k];
}
inline void Scale(Dual& out, double a, const Dual& x) {
  for (int k = 0; k < kN; ++k) out.d[k] = a * x.d[k];
}

Dual operator+(const Dual& x, const Dual& y) {
  Dual out(x.v + y.v);
  Combine(out, 1, x, 1, y);
  return out;
}
Dual operator-(const Dual& x, const Dual& y) {
  Dual out(x.v - y.v);
  Combine(out, 1, x, -1, y);
  return out;
}
Dual operator*(const Dual& x, const Dual& y) {
  Dual out(x.v * y.v);
  Combine(out, y.v, x, x.v, y);
  return out;
}
Dual operator/(const Dual& x, const Dual& y) {
  Dual out(x.v / y.v);
  Combine(out, 1 / y.v, x, -x.v / (y.v * y.v), y);
  return out;
}
Dual operator-(const Dual& x) {
  Dual out(-x.v);
  Scale(out, -1, x);
  return out;
}
Dual operator+(const Dual& x, double c) {
  Dual out = x;
  out.v += c;
  return out;
}
Dual operator+(double c, const Dual& x) { return x + c; }
Dual operator-(const Dual& x, double c) { return x + -c; }
Dual operator-(double c, const Dual& x) {
  Dual out(c - x.v);
  Scale(out, -1, x);
  return out;
}
Dual operator*(const Dual& x, double c) {
  Dual out(x.v * c);
  Scale(out, c, x);
  return out;
}
Dual operator*(double c, const Dual& x) { return x * c; }
Dual operator/(const Dual& x, double c) { return x * (1 / c); }
Dual operator/(double c, const Dual& x) {
  Dual out(c / x.v);
  Scale(out, -c / (x.v * x.v), x);
  return out;
}
Dual exp(const Dual& x) {
  Dual out(std::exp(x.v));
  Scale(out, out.v, x);
  return out;
}
// x ^ y = e^(y ln x)
Dual pow(const Dual& x, const Dual& y) {
  Dual out(std::pow(x.v, y.v));
  Combine(out, out.v * y.v / x.v, x, out.v * std::log(x.v), y);
  return out;
}

// ---- the log, flattened ----------------------------------------------------

struct Flat {
  std::vector<int> start;     // of each card in grade/elapsed, plus the end
  std::vector<int8_t> grade;  // 1..4
  std::vector<int> elapsed;   // days
  std::vector<int> targets;   // predicted reviews of each card
  int totalTargets = 0;
};

bool IsTarget(const CardReviews& card, size_t i) { return i > 0 && card.reviews[i].elapsedDays > 0; }

// A card given with a grade outside 1..4 (not one of GroupReviewLog's) is
// left out whole.
bool Usable(const CardReviews& card) {
  return !card.reviews.empty() && std::all_of(card.reviews.begin(), card.reviews.end(),
                                              [](const auto& r) { return r.grade >= 1 && r.grade <= 4; });
}

Flat Flatten(const std::vector<CardReviews>& cards) {
  Flat f;
  for (const auto& card : cards) {
    if (!Usable(card)) continue;
    f.start.push_back(static_cast<int>(f.grade.size()));
    int targets = 0;
    for (size_t i = 0; i < card.reviews.size(); ++i) {
      f.grade.push_back(static_cast<int8_t>(card.reviews[i].grade));
      f.elapsed.push_back(i == 0 ? 0 : std::max(0, card.reviews[i].elapsedDays));
      targets += IsTarget(card, i);
    }
    f.targets.push_back(targets);
    f.totalTargets += targets;
  }
  f.start.push_back(static_cast<int>(f.grade.size()));
  return f;
}

// Keeps a predicted recall off 0 and 1, so that a surprise costs much but
// not infinitely much.
double Bounded(double r) { return std::clamp(r, 1e-9, 1 - 1e-9); }

// ---- evaluation ------------------------------------------------------------

// The published tools' bins: interval, number of reviews on later days, and
// lapses, each on a logarithmic scale.
std::tuple<int, int, int> Bin(int elapsed, int longTermReviews, int lapses) {
  auto logBin = [](double x, double base, double scale) {
    return static_cast<int>(std::lround(scale * std::pow(base, std::floor(std::log(x) / std::log(base)))));
  };
  int intervalBin = logBin(elapsed, 3.62, 248);
  int lengthBin = logBin(longTermReviews + 1, 1.89, 1.99);
  int lapseBin = lapses == 0 ? 0 : logBin(lapses, 1.73, 1.65);
  return {intervalBin, lengthBin, lapseBin};
}

}  // namespace

std::vector<CardReviews> GroupReviewLog(std::vector<LoggedReview> rows, int utcOffsetSeconds) {
  std::erase_if(rows, [](const LoggedReview& r) { return r.grade < 1 || r.grade > 4; });
  std::stable_sort(rows.begin(), rows.end(),
                   [](const LoggedReview& a, const LoggedReview& b) { return a.reviewedAt < b.reviewedAt; });
  std::map<std::pair<std::string, std::string>, size_t> index;  // (bank, word) -> card
  std::vector<CardReviews> cards;
  std::vector<int> lastDay;
  for (const auto& row : rows) {
    auto [it, added] = index.try_emplace({row.bank, row.word}, cards.size());
    int day = LocalDay(row.reviewedAt, utcOffsetSeconds);
    if (added) {
      cards.emplace_back();
      lastDay.push_back(day);
    }
    size_t c = it->second;
    cards[c].reviews.push_back({row.grade, cards[c].reviews.empty() ? 0 : day - lastDay[c]});
    lastDay[c] = day;
  }
  return cards;
}

int CountFitReviews(const std::vector<CardReviews>& cards) {
  int n = 0;
  for (const auto& card : cards)
    for (size_t i = 0; Usable(card) && i < card.reviews.size(); ++i) n += IsTarget(card, i);
  return n;
}

FitMetrics EvaluateWeights(const FsrsWeights& weights, const std::vector<CardReviews>& cards) {
  fsrs_model::Constants<double> c(weights.data());
  struct BinSums {
    double predicted = 0, actual = 0, count = 0;
  };
  std::map<std::tuple<int, int, int>, BinSums> bins;
  FitMetrics m;
  double loss = 0;
  for (const auto& card : cards) {
    if (!Usable(card)) continue;
    double s = 0, d = 0;
    fsrs_model::FirstReview(c, card.reviews[0].grade, &s, &d);
    int longTerm = 0, lapses = 0;
    for (size_t i = 1; i < card.reviews.size(); ++i) {
      const auto& review = card.reviews[i];
      int elapsed = std::max(0, review.elapsedDays);
      double r = fsrs_model::NextReview(c, elapsed, review.grade, &s, &d);
      if (elapsed == 0) continue;
      bool recalled = review.grade > 1;
      double p = Bounded(r);
      loss -= recalled ? std::log(p) : std::log(1 - p);
      ++m.reviews;
      ++longTerm;
      BinSums& bin = bins[Bin(elapsed, longTerm, lapses)];
      bin.predicted += r;
      bin.actual += recalled;
      bin.count += 1;
      lapses += !recalled;
    }
  }
  if (m.reviews == 0) return m;
  m.logLoss = loss / m.reviews;
  double sum = 0, weight = 0;
  for (const auto& [key, bin] : bins) {
    double diff = (bin.predicted - bin.actual) / bin.count;
    sum += diff * diff * bin.count;
    weight += bin.count;
  }
  m.rmseBins = std::sqrt(sum / weight);
  return m;
}

namespace {

// ---- the fit ---------------------------------------------------------------

// The pull towards the starting weights: (w - start)^2 / spread^2 summed
// over the weights costs as much as that many reviews' log-loss, so it
// matters on a small log and fades on a large one. The spreads are the
// published optimizer's (how far learners' weights lie apart).
constexpr std::array<double, kN> kWeightSpread{6.43, 9.66, 17.58, 27.85, 0.57, 0.28, 0.6,  0.12, 0.39, 0.18, 0.33,
                                               0.3,  0.09, 0.16,  0.57,  0.25, 1.03, 0.31, 0.32, 0.14, 0.27};
constexpr int kBatchReviews = 512;
constexpr double kLearningRate = 0.04;
// At least kMinEpochs passes over the log, and as many more (up to
// kMaxEpochs) as make kTargetSteps steps on a small log.
constexpr int kMinEpochs = 5;
constexpr int kMaxEpochs = 60;
constexpr int kTargetSteps = 1000;

uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// 0 .. n-1, the same on every platform.
size_t Below(uint64_t& state, size_t n) {
  uint64_t limit = UINT64_MAX - UINT64_MAX % n;
  uint64_t x;
  do x = SplitMix(state);
  while (x >= limit);
  return static_cast<size_t>(x % n);
}

// The first-review stability of each grade fitted on its own: the recall at
// the second review of cards whose second review came on a later day, by a
// golden-section search over log S. Grades with fewer than 20 such cards
// keep the default; the four are then made non-decreasing.
void FitFirstStabilities(const Flat& f, FsrsWeights* w) {
  std::array<std::vector<std::pair<int, bool>>, 4> seen;  // (elapsed, recalled) by first grade
  for (size_t card = 0; card + 1 < f.start.size(); ++card) {
    int first = f.start[card];
    if (f.start[card + 1] - first < 2 || f.elapsed[first + 1] <= 0) continue;
    seen[f.grade[first] - 1].push_back({f.elapsed[first + 1], f.grade[first + 1] > 1});
  }
  FsrsWeights probe = *w;
  for (int g = 0; g < 4; ++g) {
    if (seen[g].size() < 20) continue;
    auto loss = [&](double logS) {
      probe[g] = std::exp(logS);
      fsrs_model::Constants<double> c(probe.data());
      double sum = 0;
      for (auto [elapsed, recalled] : seen[g]) {
        double r = Bounded(fsrs_model::Retrievability(c, elapsed, probe[g]));
        sum -= recalled ? std::log(r) : std::log(1 - r);
      }
      return sum;
    };
    double lo = std::log(fsrs_model::kMinInitialStability), hi = std::log(kFsrsWeightBounds[g].high);
    const double phi = (std::sqrt(5.0) - 1) / 2;
    double a = hi - phi * (hi - lo), b = lo + phi * (hi - lo);
    double la = loss(a), lb = loss(b);
    for (int i = 0; i < 60; ++i) {
      if (la < lb) {
        hi = b, b = a, lb = la;
        a = hi - phi * (hi - lo), la = loss(a);
      } else {
        lo = a, a = b, la = lb;
        b = lo + phi * (hi - lo), lb = loss(b);
      }
    }
    (*w)[g] = std::exp((lo + hi) / 2);
  }
  for (int g = 1; g < 4; ++g) (*w)[g] = std::max((*w)[g], (*w)[g - 1]);
}

// Adds the log-loss of one card's predicted reviews and its derivatives.
void CardLoss(const fsrs_model::Constants<Dual>& c, const Flat& f, size_t card, double* loss,
              std::array<double, kN>* gradient) {
  int begin = f.start[card], end = f.start[card + 1];
  Dual s, d;
  fsrs_model::FirstReview(c, f.grade[begin], &s, &d);
  for (int i = begin + 1; i < end; ++i) {
    Dual r = fsrs_model::NextReview(c, f.elapsed[i], f.grade[i], &s, &d);
    if (f.elapsed[i] == 0) continue;
    double p = Bounded(r.v);
    // d(-ln p)/dp = -1/p; d(-ln(1 - p))/dp = 1/(1 - p)
    double slope;
    if (f.grade[i] > 1) {
      *loss -= std::log(p);
      slope = -1 / p;
    } else {
      *loss -= std::log(1 - p);
      slope = 1 / (1 - p);
    }
    for (int k = 0; k < kN; ++k) (*gradient)[k] += slope * r.d[k];
  }
}

}  // namespace

FitResult FitWeights(const std::vector<CardReviews>& cards, const FitOptions& options) {
  FitResult result;
  result.reviews = CountFitReviews(cards);
  result.before = EvaluateWeights(options.current, cards);
  if (result.reviews < kMinFitReviews) {
    result.status = FitStatus::kTooFewReviews;
    result.reviewsNeeded = kMinFitReviews - result.reviews;
    return result;
  }
  Flat f = Flatten(cards);
  FsrsWeights start = kDefaultFsrsWeights;
  FitFirstStabilities(f, &start);
  FsrsWeights w = start;

  // Cards that predict something, in a fixed order the batches shuffle.
  std::vector<size_t> order;
  for (size_t card = 0; card < f.targets.size(); ++card)
    if (f.targets[card] > 0) order.push_back(card);
  int batchesPerEpoch = std::max(1, (f.totalTargets + kBatchReviews - 1) / kBatchReviews);
  int epochs = std::clamp((kTargetSteps + batchesPerEpoch - 1) / batchesPerEpoch, kMinEpochs, kMaxEpochs);
  double totalWork = static_cast<double>(epochs) * f.totalTargets;
  int totalSteps = epochs * batchesPerEpoch;  // for the learning rate's schedule

  std::array<double, kN> m{}, v{};
  const double beta1 = 0.9, beta2 = 0.999, epsilon = 1e-8;
  int step = 0;
  uint64_t random = options.seed;
  double done = 0;
  for (int epoch = 0; epoch < epochs; ++epoch) {
    for (size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[Below(random, i)]);
    size_t next = 0;
    while (next < order.size()) {
      // A batch: whole cards until it holds kBatchReviews predicted reviews.
      std::array<Dual, kN> wd;
      for (int k = 0; k < kN; ++k) {
        wd[k].v = w[k];
        wd[k].d[k] = 1;
      }
      fsrs_model::Constants<Dual> c(wd.data());
      double loss = 0;
      std::array<double, kN> gradient{};
      int n = 0;
      while (next < order.size() && n < kBatchReviews) {
        CardLoss(c, f, order[next], &loss, &gradient);
        n += f.targets[order[next]];
        ++next;
      }
      // The batch's summed log-loss plus its share of the pull to the start.
      double share = static_cast<double>(n) / f.totalTargets;
      for (int k = 0; k < kN; ++k) gradient[k] += 2 * share * (w[k] - start[k]) / (kWeightSpread[k] * kWeightSpread[k]);
      ++step;
      double rate = kLearningRate * 0.5 * (1 + std::cos(std::numbers::pi * std::min(step, totalSteps) / totalSteps));
      double correction1 = 1 - std::pow(beta1, step), correction2 = 1 - std::pow(beta2, step);
      for (int k = 0; k < kN; ++k) {
        m[k] = beta1 * m[k] + (1 - beta1) * gradient[k];
        v[k] = beta2 * v[k] + (1 - beta2) * gradient[k] * gradient[k];
        w[k] -= rate * (m[k] / correction1) / (std::sqrt(v[k] / correction2) + epsilon);
        w[k] = std::clamp(w[k], kFsrsWeightBounds[k].low, kFsrsWeightBounds[k].high);
      }
      done += n;
      if (options.progress && !options.progress(done / totalWork)) {
        result.status = FitStatus::kCancelled;
        return result;
      }
    }
  }
  result.status = FitStatus::kFitted;
  result.weights = w;
  result.after = EvaluateWeights(w, cards);
  return result;
}

}  // namespace quorvo
