// Runs the published FSRS optimizer on review logs and reports the log-loss
// of its fit, for review/tests/fsrs_fit_test.cpp (fit_reference.tsv) and
// bench/run.sh.
//
//   node review/tests/data/fit_reference.mjs LOG.tsv... > review/tests/data/fit_reference.tsv
//   node review/tests/data/fit_reference.mjs --json LOG.tsv > result.json
//
// Two optimizers, both bindings of the published Rust optimizer (fsrs-rs):
//   - @open-spaced-repetition/binding 0.5.0: fsrs-rs 6.5.0, FSRS-6, the
//     model quorvo schedules with;
//   - fsrs-rs-nodejs 0.9.0: an older fsrs-rs, FSRS-5 (19 weights: no w19,
//     decay fixed at 0.5).
// Each is run with its defaults (short-term reviews on). A LOG.tsv is the
// text form of review/fsrs_simulator.h. This script reads it on its own: the
// reviews of a card (word and bank) in time order, days counted between the
// learner's local days (#utc_offset). A review is predicted (an item of the
// optimizer) when it is not the card's first and comes on a later day than
// the review before; the items go in the order of their reviews' times.
//
// The log-loss reported is the plain mean over the predicted reviews: each
// card's memory state is stepped through its reviews by the optimizer's own
// model (nextStates() of its FSRS class, with the fitted weights), and the
// recall predicted before a review is ts-fsrs's forgetting curve of that
// state (decay w20 for FSRS-6, 0.5 for FSRS-5). (evaluate() would weight
// recent reviews more and leave out some.) The true weights' (#weights) is
// taken the same way through the FSRS-6 binding.
import { readFileSync } from 'node:fs';
import { basename } from 'node:path';
import { installReferencePackages } from './reference_packages.mjs';

const require = installReferencePackages();
const fsrs6 = require('@open-spaced-repetition/binding');
const fsrs5 = require('fsrs-rs-nodejs');
const { forgetting_curve } = require('ts-fsrs');

function readLog(path) {
  const rows = [];
  let offset = 0;
  let truth = null;
  for (const line of readFileSync(path, 'utf8').split('\n')) {
    if (!line) continue;
    const f = line.split('\t');
    if (f[0] === '#weights') truth = f[1].split(' ').map(Number);
    else if (f[0] === '#utc_offset') offset = Number(f[1]);
    else if (!line.startsWith('#')) rows.push({ card: f[1] + '\t' + f[0], grade: Number(f[2]), at: Number(f[3]), order: rows.length });
  }
  rows.sort((a, b) => a.at - b.at || a.order - b.order);
  const cards = new Map();
  const targets = [];  // { at, reviews: [[grade, days], ...] }
  for (const r of rows) {
    if (r.grade < 1 || r.grade > 4) continue;
    const day = Math.floor((r.at + offset) / 86400);
    let card = cards.get(r.card);
    if (!card) cards.set(r.card, (card = { reviews: [], lastDay: day }));
    const days = card.reviews.length === 0 ? 0 : day - card.lastDay;
    card.reviews.push([r.grade, days]);
    card.lastDay = day;
    if (card.reviews.length > 1 && days > 0) targets.push({ at: r.at, reviews: card.reviews.slice() });
  }
  return { truth, targets, cards: [...cards.values()].map((c) => c.reviews), rows: rows.length };
}

const items6 = (targets) => targets.map((t) => new fsrs6.FSRSBindingItem(t.reviews.map(([g, d]) => new fsrs6.FSRSBindingReview(g, d))));
const items5 = (targets) => targets.map((t) => new fsrs5.FSRSItem(t.reviews.map(([g, d]) => new fsrs5.FSRSReview(g, d))));

// Mean log-loss of a model over the cards' predicted reviews.
function meanLogLoss(model, decay, cards) {
  const rating = ['again', 'hard', 'good', 'easy'];
  let sum = 0, n = 0;
  for (const reviews of cards) {
    let state = null;
    reviews.forEach(([grade, days], i) => {
      if (i > 0 && days > 0) {
        const r = forgetting_curve(decay, days, state.stability);
        sum -= grade > 1 ? Math.log(r) : Math.log(1 - r);
        ++n;
      }
      state = model.nextStates(state, 0.9, i === 0 ? 0 : days)[rating[grade - 1]].memory;
    });
  }
  return sum / n;
}

async function fit(path) {
  const log = readLog(path);
  const a = items6(log.targets), b = items5(log.targets);
  let started = performance.now();
  const w6 = await fsrs6.computeParameters(a, { enableShortTerm: true });
  const seconds6 = (performance.now() - started) / 1000;
  started = performance.now();
  const w5 = await new fsrs5.FSRS(null).computeParameters(b, true);
  const seconds5 = (performance.now() - started) / 1000;
  return {
    log: basename(path),
    rows: log.rows,
    reviews: log.targets.length,
    trueLogLoss: log.truth ? meanLogLoss(new fsrs6.FSRSBinding(log.truth), log.truth[20], log.cards) : null,
    fsrs6LogLoss: meanLogLoss(new fsrs6.FSRSBinding(w6), w6[20], log.cards),
    fsrs6Seconds: seconds6,
    fsrs6Weights: w6,
    fsrs5LogLoss: meanLogLoss(new fsrs5.FSRS(w5), 0.5, log.cards),
    fsrs5Seconds: seconds5,
    fsrs5Weights: w5,
  };
}

const args = process.argv.slice(2);
const json = args[0] === '--json';
const paths = json ? args.slice(1) : args;
if (paths.length === 0) {
  console.error('usage: fit_reference.mjs [--json] LOG.tsv...');
  process.exit(2);
}
const results = [];
for (const path of paths) results.push(await fit(path));
if (json) {
  process.stdout.write(JSON.stringify(results.length === 1 ? results[0] : results, null, 1) + '\n');
} else {
  const n = (x) => (x === null ? '-' : x.toFixed(6));
  process.stdout.write(
    '# The published optimizer on the simulated logs, made by fit_reference.mjs with\n' +
    '# @open-spaced-repetition/binding 0.5.0 (fsrs-rs 6.5.0, FSRS-6) and fsrs-rs-nodejs 0.9.0 (FSRS-5).\n' +
    '# Log-loss: mean over the predicted reviews, states stepped by each optimizer\'s own model.\n' +
    '# log\trows\tpredicted reviews\ttrue weights\tFSRS-6 fit\tFSRS-5 fit\tFSRS-6 seconds\tFSRS-5 seconds\tFSRS-6 weights\tFSRS-5 weights\n' +
    results.map((r) => [r.log, r.rows, r.reviews, n(r.trueLogLoss), n(r.fsrs6LogLoss), n(r.fsrs5LogLoss),
      r.fsrs6Seconds.toFixed(2), r.fsrs5Seconds.toFixed(2), r.fsrs6Weights.map((x) => +x.toFixed(6)).join(' '),
      r.fsrs5Weights.map((x) => +x.toFixed(6)).join(' ')].join('\t')).join('\n') + '\n');
}
