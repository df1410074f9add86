// The formulas of FSRS-6, written once over a number type T so that the
// scheduler (T = double) and the weight fit (T = a number that carries its
// derivatives, fsrs_fit.cpp) run the very same model.
//
// T needs +, -, *, / with double on either side, comparison of values
// through Value(), and exp, log, pow found by argument-dependent lookup or
// from <cmath>. Internal to review/: callers use Fsrs (fsrs.h).
#pragma once

#include <algorithm>
#include <cmath>

namespace quorvo::fsrs_model {

inline constexpr double kMinStability = 0.001;
inline constexpr double kMaxStability = 36500;
inline constexpr double kMinDifficulty = 1;
inline constexpr double kMaxDifficulty = 10;
// A first review never gives less stability than this.
inline constexpr double kMinInitialStability = 0.1;

inline double Value(double x) { return x; }

// The smaller / larger of two, derivatives included (the chosen one's).
template <typename T>
T Min(const T& a, const T& b) {
  return Value(b) < Value(a) ? b : a;
}
template <typename T>
T Max(const T& a, const T& b) {
  return Value(b) > Value(a) ? b : a;
}
template <typename T>
T Clamp(const T& x, double lo, double hi) {
  if (Value(x) < lo) return T(lo);
  if (Value(x) > hi) return T(hi);
  return x;
}

// What does not change from review to review: worked out once per set of
// weights.
template <typename T>
struct Constants {
  explicit Constants(const T* weights) : w(weights) {
    using std::exp;
    using std::log;
    // R(t, S) = (1 + factor * t / S) ^ -decay, with R(S, S) = 0.9.
    decay = w[20];
    factor = exp(-std::log(0.9) / decay) - 1.0;
    easyStartDifficulty = InitialDifficulty(4);
    recallScale = exp(w[8]);
    lapseFloor = exp(-(w[17] * w[18]));
    for (int g = 1; g <= 4; ++g) shortTerm[g - 1] = exp(w[17] * ((g - 3) + w[18]));
  }

  // D0(G), not clamped: mean reversion aims at D0(Easy) as it is.
  T InitialDifficulty(int grade) const {
    using std::exp;
    return w[4] - exp((grade - 1) * w[5]) + 1.0;
  }

  const T* w;
  T decay, factor, easyStartDifficulty, recallScale, lapseFloor;
  T shortTerm[4];
};

template <typename T>
T Retrievability(const Constants<T>& c, double elapsedDays, const T& stability) {
  using std::pow;
  return pow(1.0 + c.factor * elapsedDays / stability, -c.decay);
}

template <typename T>
void FirstReview(const Constants<T>& c, int grade, T* stability, T* difficulty) {
  *stability = Max(c.w[grade - 1], T(kMinInitialStability));
  *difficulty = Clamp(c.InitialDifficulty(grade), kMinDifficulty, kMaxDifficulty);
}

template <typename T>
T NextDifficulty(const Constants<T>& c, const T& d, int grade) {
  // The change shrinks linearly towards 10, then reverts a little towards
  // the difficulty of a first Easy.
  T delta = c.w[6] * double(3 - grade);
  T moved = d + delta * (10.0 - d) / 9.0;
  T reverted = c.w[7] * c.easyStartDifficulty + (1.0 - c.w[7]) * moved;
  return Clamp(reverted, kMinDifficulty, kMaxDifficulty);
}

template <typename T>
T RecallStability(const Constants<T>& c, const T& s, const T& d, const T& r, int grade) {
  using std::exp;
  using std::pow;
  const T* w = c.w;
  T growth = c.recallScale * (11.0 - d) * pow(s, -w[9]) * (exp((1.0 - r) * w[10]) - 1.0);
  if (grade == 2) growth = growth * w[15];
  if (grade == 4) growth = growth * w[16];
  return Clamp(s * (1.0 + growth), kMinStability, kMaxStability);
}

template <typename T>
T ForgetStability(const Constants<T>& c, const T& s, const T& d, const T& r) {
  using std::exp;
  using std::pow;
  const T* w = c.w;
  T after = w[11] * pow(d, -w[12]) * (pow(s + 1.0, w[13]) - 1.0) * exp((1.0 - r) * w[14]);
  after = Clamp(after, kMinStability, kMaxStability);
  // At most S * e^(-w17*w18): a same-day Good after the lapse (about
  // e^(w17*w18) times) does not take the card past where it was.
  T ceiling = Max(s * c.lapseFloor, T(kMinStability));
  return Min(ceiling, after);
}

template <typename T>
T ShortTermStability(const Constants<T>& c, const T& s, int grade) {
  using std::pow;
  T increase = pow(s, -c.w[19]) * c.shortTerm[grade - 1];
  // A passed same-day review never lowers the stability.
  if (grade >= 2) increase = Max(increase, T(1.0));
  return Clamp(s * increase, kMinStability, kMaxStability);
}

// One review of a card already seen, elapsedDays (whole days, 0 for the
// same day) after the last. Returns the probability of recall the model gave
// the review beforehand (1 on the same day).
template <typename T>
T NextReview(const Constants<T>& c, double elapsedDays, int grade, T* stability, T* difficulty) {
  T s = Clamp(*stability, kMinStability, kMaxStability);
  T d = Clamp(*difficulty, kMinDifficulty, kMaxDifficulty);
  T r(1.0);
  if (elapsedDays <= 0) {
    *stability = ShortTermStability(c, s, grade);
  } else {
    r = Retrievability(c, elapsedDays, s);
    *stability = grade == 1 ? ForgetStability(c, s, d, r) : RecallStability(c, s, d, r, grade);
  }
  *difficulty = NextDifficulty(c, d, grade);
  return r;
}

}  // namespace quorvo::fsrs_model
