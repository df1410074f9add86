// seed_review_history: gives a word database six weeks of made-up review
// history, for screenshots and for trying the 统计 tab by hand. A learner is
// played through the real scheduler: each day the due cards of
// main_remember (at most 8 new) are graded, mostly 认识, sometimes 忘记,
// 模糊 or 简单, and a few words of main_word are marked 会背 by hand. The
// grades come from a fixed seed; the learner has been away for the last two
// days, so some cards are due (and overdue) today. Given a list size, the
// recitation list first grows to that many words, taken from main_word in
// order (a long history of a larger list has enough reviews for
// "优化参数").
//
//   seed_review_history <dict_main.db> [days] [list size]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "review/review_queue.h"
#include "review/review_store.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"

namespace {

uint64_t Next(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Copies words of main_word not in the recitation list until it holds size.
bool GrowRecitationList(quorvo::WordDatabase& db, size_t size, const std::vector<std::string>& list) {
  std::vector<quorvo::RecitationCells> rows;
  db.QueryRows(quorvo::SelectAllStatement(quorvo::kMainWord), [&](int, const quorvo::RowView& row) {
    const char* word = row.Text(quorvo::kColValue);
    if (!word || list.size() + rows.size() >= size || std::find(list.begin(), list.end(), word) != list.end()) return;
    auto cell = [&row](int column) { return std::string(row.Text(column) ? row.Text(column) : ""); };
    rows.push_back({word, cell(quorvo::kColPhonetic), cell(quorvo::kColTrans), cell(quorvo::kColSentenceId), "0",
                    cell(quorvo::kColHot)});
  });
  if (!db.BeginBatch().ok()) return false;
  for (const auto& cells : rows)
    if (db.Execute(quorvo::AddToRecitationStatement(cells)) != SQLITE_OK) return false;
  return db.CommitBatch().ok();
}

std::vector<std::string> Words(quorvo::WordDatabase& db, const char* bank) {
  std::vector<std::string> words;
  db.QueryRows(quorvo::SelectAllStatement(bank), [&](int, const quorvo::RowView& row) {
    if (const char* w = row.Text(quorvo::kColValue)) words.emplace_back(w);
  });
  return words;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: seed_review_history <dict_main.db> [days] [list size]\n");
    return 2;
  }
  int days = argc > 2 ? std::atoi(argv[2]) : 42;
  quorvo::WordDatabase db;
  if (!db.Open(argv[1])) return 1;
  int64_t now = static_cast<int64_t>(std::time(nullptr));
  int offset = quorvo::LocalUtcOffset(now);
  quorvo::ReviewStore store(db, offset);
  if (!store.EnsureTables().ok()) return 1;
  std::vector<std::string> list = Words(db, quorvo::kMainRemember);
  if (argc > 3 && !GrowRecitationList(db, static_cast<size_t>(std::atoi(argv[3])), list)) return 1;
  list = Words(db, quorvo::kMainRemember);
  std::vector<std::string> bank = Words(db, quorvo::kMainWord);
  uint64_t seed = 42;
  int reviews = 0;
  for (int d = days; d >= 3; --d) {
    // Evening of that day.
    int64_t at = (static_cast<int64_t>(quorvo::LocalDay(now, offset) - d) * 86400 - offset) + 20 * 3600;
    std::vector<quorvo::ReviewCard> cards;
    if (!store.LoadCards(quorvo::kMainRemember, &cards).ok()) return 1;
    // Some days the learner does not come.
    if (Next(seed) % 7 == 0) continue;
    for (const auto& card : quorvo::ChooseDueCards(list, cards, quorvo::LocalDay(at, offset), 8)) {
      uint64_t roll = Next(seed) % 100;
      quorvo::Grade grade = roll < 12   ? quorvo::Grade::Again
                            : roll < 25 ? quorvo::Grade::Hard
                            : roll < 88 ? quorvo::Grade::Good
                                        : quorvo::Grade::Easy;
      if (!store.RecordReview(quorvo::kMainRemember, card.word, grade, at, nullptr).ok()) return 1;
      ++reviews;
      at += 20;
    }
    if (!bank.empty() && Next(seed) % 3 == 0) {
      std::vector<std::string> marked;
      for (int i = 0; i < 6; ++i) marked.push_back(bank[Next(seed) % bank.size()]);
      if (!store.MarkKnownAndLog(quorvo::kMainWord, marked, at).ok()) return 1;
    }
  }
  std::printf("%d reviews over %d days\n", reviews, days);
  return 0;
}
