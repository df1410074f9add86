// Makes fsrs_vectors.tsv: review sequences replayed through ts-fsrs (the
// pinned version of package.json, which implements FSRS-6), with the
// stability, difficulty and interval after every review. review/tests/
// fsrs_test.cpp holds review/fsrs.* against it.
//
//   node review/tests/data/make_fsrs_vectors.mjs > review/tests/data/fsrs_vectors.tsv
//
// The scheduler is set up as quorvo schedules: whole days, no learning or
// relearning steps (a card is in review from its first grade on), same-day
// reviews by the short-term formula, no fuzz, intervals of at most 36500 days.
// Every sequence comes from a fixed seed, so the file is the same on every run.
import { installReferencePackages } from './reference_packages.mjs';

const require = installReferencePackages();
const { fsrs, createEmptyCard, default_w, FSRSVersion, CLAMP_PARAMETERS, W17_W18_Ceiling } = require('ts-fsrs');

// Small seeded generator (mulberry32).
function random(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}
const between = (rand, lo, hi) => lo + Math.floor(rand() * (hi - lo + 1));

// Weight sets besides the defaults: the defaults spread at random within the
// published bounds, rounded to 4 decimals.
const weightSets = { default: [...default_w] };
for (const [name, seed] of [['spread1', 101], ['spread2', 202]]) {
  const rand = random(seed);
  const bounds = CLAMP_PARAMETERS(W17_W18_Ceiling, true);
  weightSets[name] = default_w.map((w, i) => {
    const [lo, hi] = bounds[i];
    const v = Math.min(hi, Math.max(lo, w * Math.exp((rand() - 0.5) * 1.2)));
    return Math.round(v * 1e4) / 1e4;
  });
}

const schedulers = new Map();
function scheduler(weights, retention) {
  const key = weights + '/' + retention;
  if (!schedulers.has(key)) {
    schedulers.set(key, fsrs({
      w: weightSets[weights],
      request_retention: retention,
      maximum_interval: 36500,
      enable_fuzz: false,
      enable_short_term: true,
      learning_steps: [],
      relearning_steps: [],
    }));
  }
  return schedulers.get(key);
}

const lines = [];
const DAY = 86400000;

// Replays a sequence. next(i, lastInterval, card) gives [grade, elapsed days]
// of review i (the elapsed days of review 0 are not used), or null to stop.
function replay(name, weights, retention, next) {
  const f = scheduler(weights, retention);
  let at = Date.UTC(2024, 0, 1, 12);
  let card = createEmptyCard(new Date(at));
  const reviews = [], s = [], d = [], ivl = [];
  let interval = 0;
  for (let i = 0; ; ++i) {
    const step = next(i, interval, card);
    if (!step) break;
    const [grade, days] = step;
    if (i > 0) at += days * DAY;
    card = f.next(card, new Date(at), grade).card;
    interval = card.scheduled_days;
    reviews.push(grade + ':' + (i > 0 ? days : 0));
    s.push(String(card.stability));
    d.push(String(card.difficulty));
    ivl.push(String(interval));
  }
  lines.push([name, weights, retention, reviews.join(' '), s.join(' '), d.join(' '), ivl.join(' ')].join('\t'));
}
const fixed = (pairs) => (i) => (i < pairs.length ? pairs[i] : null);

// ---- named sequences --------------------------------------------------------
// Difficulty reverts toward D0(Easy) of the FSRS-6 formula on every review.
replay('difficulty-reversion: Good on each due day', 'default', 0.9, (i, ivl) => (i < 8 ? [3, ivl] : null));
replay('difficulty-reversion: Again, then Good on each due day', 'default', 0.9,
  (i, ivl) => (i === 0 ? [1, 0] : i < 8 ? [3, ivl] : null));
// Stability after a lapse of a card failed on its first review.
replay('post-lapse: Again, then Again after 30, 60 and 200 days', 'default', 0.9,
  fixed([[1, 0], [1, 30], [1, 60], [1, 200]]));
replay('post-lapse: Again, then Again after 3000 days (capped at S/exp(w17*w18))', 'default', 0.9,
  fixed([[1, 0], [1, 3000]]));
replay('post-lapse: Good, Good, Good on time, then Again after 30, 60, 200 days', 'default', 0.9,
  (i, ivl) => (i < 3 ? [3, ivl] : i < 6 ? [1, [30, 60, 200][i - 3]] : null));
replay('Good, then Good after 4 and 15 days', 'default', 0.9, fixed([[3, 0], [3, 4], [3, 15]]));
replay('Again, then Good the next day', 'default', 0.9, fixed([[1, 0], [3, 1]]));
replay('a first Hard', 'default', 0.9, fixed([[2, 0]]));
replay('a first Easy', 'default', 0.9, fixed([[4, 0]]));
replay('Good, then Good 100 days later', 'default', 0.9, fixed([[3, 0], [3, 100]]));
replay('Good, then Again 100 days later', 'default', 0.9, fixed([[3, 0], [1, 100]]));
replay('same day: Good, Good, Good, Again, Easy', 'default', 0.9, fixed([[3, 0], [3, 0], [3, 0], [1, 0], [4, 0]]));
for (const retention of [0.9, 0.8, 0.97]) {
  for (const grade of [2, 3, 4]) {
    // On until two reviews after the stability reached its maximum.
    let atMaximum = 0;
    replay(`to the maximum interval: grade ${grade} on each due day, retention ${retention}`, 'default', retention,
      (i, ivl, card) => (i < 60 && (atMaximum += card.stability >= 36500) <= 2 ? [grade, ivl] : null));
  }
}

// ---- generated sequences ----------------------------------------------------
// How late a review comes, relative to the interval just given.
function elapsed(rand, kind, ivl) {
  switch (kind) {
    case 'same-day': return 0;
    case 'early': return ivl > 1 ? between(rand, 1, ivl - 1) : between(rand, 0, 1);
    case 'on-time': return ivl;
    case 'late': return ivl + between(rand, 1, Math.max(1, ivl));
    case 'very-late': return Math.min(20000, ivl * between(rand, 3, 20) + between(rand, 0, 30));
    case 'long-lapse': return between(rand, 180, 4000);
  }
  throw new Error(kind);
}
const kinds = ['same-day', 'early', 'on-time', 'late', 'very-late', 'long-lapse'];

function pick(rand, weights) {
  let x = rand() * weights.reduce((a, b) => a + b, 0);
  for (let i = 0; i < weights.length; ++i) if ((x -= weights[i]) < 0) return i;
  return weights.length - 1;
}

const retentions = [0.9, 0.9, 0.9, 0.8, 0.85, 0.95, 0.97];
const weightNames = Object.keys(weightSets);
for (let n = 0; n < 1200; ++n) {
  const rand = random(1000 + n);
  const weights = n < 600 ? 'default' : weightNames[n % weightNames.length];
  const retention = retentions[between(rand, 0, retentions.length - 1)];
  const length = between(rand, 2, n % 10 === 0 ? 40 : 16);
  // Each sequence leans on one kind of timing and one kind of grade.
  const timing = [1, 1.5, 4, 1.5, 1, 0.5];
  timing[between(rand, 0, timing.length - 1)] += 3;
  const grading = [1, 1, 3, 1];
  grading[between(rand, 0, 3)] += 2;
  replay(`random ${String(n).padStart(4, '0')}`, weights, retention, (i, ivl) => {
    if (i >= length) return null;
    const grade = 1 + pick(rand, grading);
    const kind = kinds[pick(rand, timing)];
    return [grade, i === 0 ? 0 : elapsed(rand, kind, ivl)];
  });
}

process.stdout.write(
  `# FSRS reference vectors, made by make_fsrs_vectors.mjs with ts-fsrs ${FSRSVersion}.\n` +
  '# Scheduler: whole days, no learning steps, short-term formula for same-day reviews, no fuzz,\n' +
  '# maximum interval 36500 days. Lines starting with @weights name the weight sets.\n' +
  '# name\tweights\tretention\treviews (grade:elapsed days)\tstability after each\tdifficulty after each\tinterval after each\n' +
  Object.entries(weightSets).map(([k, w]) => `@weights\t${k}\t${w.join(' ')}\n`).join('') +
  lines.join('\n') + '\n');
