// 今日复习 and 统计 over a long history, against the sqlite3 shell running the
// same queries:
//   - choosing the due cards of a recitation list of 10,000 words with
//     100,000 logged reviews (ReviewSession::Load: the review tables, the
//     list's cards, the daily limit, the choice and order);
//   - opening the 统计 tab over the same history (CStatsPage::Refresh:
//     the queries, the series, the four charts), once without and once with
//     drawing the page;
//   - the sqlite3 command-line shell running the same statements, rows to
//     /dev/null (starting the shell included).
// The history: 8,000 of the words reviewed, 100,000 log lines spread over
// the last 120 days, 3,000 known-flag changes; made from fixed seeds.
#include <benchmark/benchmark.h>

#include <QDateTime>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "review/review_session.h"
#include "review/review_store.h"
#include "wordapp/stats_page.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"

namespace {

constexpr int kWords = 10000;
constexpr int kReviewed = 8000;
constexpr int kLogLines = 100000;
constexpr int kKnownChanges = 3000;
constexpr int64_t kDay = 86400;

void MakeDatabase(int64_t now) {
  quorvo::WordDatabase db;
  quorvo::bench::OpenWordFile(db);
  quorvo::ReviewStore store(db, 0);
  if (!store.EnsureTables().ok()) std::abort();
  std::vector<std::string> words = quorvo::bench::DistinctWords(kWords, 7);
  quorvo::bench::SeededRandom random(11);
  int today = quorvo::LocalDay(now, quorvo::LocalUtcOffset(now));
  sqlite3* h = db.handle();
  sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
  for (const auto& w : words) {
    db.Execute("insert into main_remember (value, phonetic, trans, sentence_id, known, hot) values('" + w +
               "', '', 'trans', '', '" + std::to_string(random.Below(4) == 0) + "', '1')");
    db.Execute("insert into main_word (value, trans, known, hot) values('" + w + "', 'trans', 0, 1)");
  }
  sqlite3_stmt* card = nullptr;
  sqlite3_prepare_v2(h,
                     "insert into review_card (word, bank, due, stability, difficulty, reps, lapses, last_review, "
                     "introduced) values (?, 'main_remember', ?, ?, 5.0, 3, 0, ?, ?)",
                     -1, &card, nullptr);
  for (int i = 0; i < kReviewed; ++i) {
    int last = today - static_cast<int>(random.Below(60));
    int interval = 1 + static_cast<int>(random.Below(40));
    sqlite3_bind_text(card, 1, words[i].c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(card, 2, last + interval);
    sqlite3_bind_double(card, 3, interval);
    sqlite3_bind_int(card, 4, last);
    sqlite3_bind_int(card, 5, last - 60);
    sqlite3_step(card);
    sqlite3_reset(card);
  }
  sqlite3_finalize(card);
  sqlite3_stmt* log = nullptr;
  sqlite3_prepare_v2(
      h, "insert into review_log (word, bank, grade, reviewed_at, interval) values (?, 'main_remember', ?, ?, ?)", -1,
      &log, nullptr);
  for (int i = 0; i < kLogLines; ++i) {
    sqlite3_bind_text(log, 1, words[random.Below(kReviewed)].c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(log, 2, 1 + static_cast<int>(random.Below(4)));
    sqlite3_bind_int64(log, 3, now - static_cast<int64_t>(random.Below(120 * kDay)));
    sqlite3_bind_int(log, 4, 1 + static_cast<int>(random.Below(40)));
    sqlite3_step(log);
    sqlite3_reset(log);
  }
  sqlite3_finalize(log);
  sqlite3_stmt* known = nullptr;
  sqlite3_prepare_v2(
      h, "insert into known_log (word, bank, known, changed_at, source) values (?, 'main_remember', 1, ?, 'review')",
      -1, &known, nullptr);
  for (int i = 0; i < kKnownChanges; ++i) {
    sqlite3_bind_text(known, 1, words[random.Below(kWords)].c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(known, 2, now - static_cast<int64_t>(random.Below(120 * kDay)));
    sqlite3_step(known);
    sqlite3_reset(known);
  }
  sqlite3_finalize(known);
  sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
  db.Close();
}

struct Fixture {
  Fixture() : folder(true), now(QDateTime::currentSecsSinceEpoch()) {
    MakeDatabase(now);
    if (!db.Open("dict_main.db")) std::abort();
    quorvo::TableSnapshot snapshot;
    db.LoadTable(quorvo::SelectAllStatement(quorvo::kMainRemember), &snapshot);
    for (int row = 1; row <= snapshot.Rows(); ++row)
      listWords.emplace_back(snapshot.Cell(row * snapshot.Columns() + quorvo::kColValue));
    offset = quorvo::LocalUtcOffset(now);
    today = quorvo::LocalDay(now, offset);
    ops.clock = [this] { return now; };
    stats = std::make_unique<quorvo::CStatsPage>(ops);
    stats->resize(820, 540);
    stats->show();
  }

  quorvo::bench::ScratchFolder folder;
  int64_t now;
  int offset = 0;
  int today = 0;
  quorvo::WordDatabase db;
  std::vector<std::string> listWords;
  quorvo::WindowOps ops;
  std::unique_ptr<quorvo::CStatsPage> stats;
};

std::unique_ptr<Fixture> shared;
Fixture& Shared() {
  if (!shared) shared = std::make_unique<Fixture>();
  return *shared;
}

bool Shell(benchmark::State& state, const std::string& sql) {
  return quorvo::bench::RunShell("sqlite3 dict_main.db " + quorvo::bench::ShellQuote(sql) + " > /dev/null") ||
         (state.SkipWithError("the sqlite3 shell failed"), false);
}

void BM_ChooseDue_Quorvo(benchmark::State& state) {
  Fixture& f = Shared();
  quorvo::ReviewSession session(f.db, [&f] { return f.now; });
  for (auto _ : state) {
    if (!session.Load(quorvo::kMainRemember, f.listWords).ok()) std::abort();
    benchmark::DoNotOptimize(session.Count());
  }
  state.counters["due_cards"] = session.Count();
  if (session.Count() < 20) state.SkipWithError("too few due cards");
}
BENCHMARK(BM_ChooseDue_Quorvo)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ChooseDue_Sqlite3Shell(benchmark::State& state) {
  Shared();
  const std::string sql =
      "select count(*) from sqlite_master where type = 'table' and name = 'review_card';"
      "select word, due, stability, difficulty, reps, lapses, last_review, introduced from review_card "
      "where bank = 'main_remember';"
      "select value from review_setting where key = 'new_per_day';";
  for (auto _ : state)
    if (!Shell(state, sql)) return;
}
BENCHMARK(BM_ChooseDue_Sqlite3Shell)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenStats_Quorvo(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    f.stats->Refresh();
    benchmark::DoNotOptimize(f.stats->Series().reviews.size());
  }
  if (!f.stats->Series().hasReviews) state.SkipWithError("no reviews read");
}
BENCHMARK(BM_OpenStats_Quorvo)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenStats_QuorvoAndDraw(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    f.stats->Refresh();
    QPixmap shown = f.stats->grab();
    benchmark::DoNotOptimize(shown.cacheKey());
  }
}
BENCHMARK(BM_OpenStats_QuorvoAndDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenStats_Sqlite3Shell(benchmark::State& state) {
  Fixture& f = Shared();
  std::string off = std::to_string(f.offset);
  std::string from = std::to_string(int64_t{f.today - 29} * kDay - f.offset);
  const std::string sql =
      "select * from sqlite_master WHERE type = 'table' and name != 'main_remember';"
      "select count(*), coalesce(sum(cast(known as text) = '0'), 0) from main_word;"
      "select count(*), coalesce(sum(cast(known as text) = '0'), 0) from main_remember;"
      "select count(*) from sqlite_master where type = 'table' and name = 'review_card';"
      "select (reviewed_at + " +
      off +
      ") / 86400 as day, count(*), sum(grade > 1) from review_log "
      "where reviewed_at >= " +
      from +
      " group by day order by day;"
      "select (changed_at + " +
      off +
      ") / 86400 as day, sum(case when known then 1 else -1 end) from known_log "
      "where changed_at >= " +
      from +
      " group by day order by day;"
      "select due, count(*) from review_card where due < " +
      std::to_string(f.today + 14) + " group by due order by due;";
  for (auto _ : state)
    if (!Shell(state, sql)) return;
}
BENCHMARK(BM_OpenStats_Sqlite3Shell)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return quorvo::bench::RunWidgetBenchmarks(argc, argv, [] { shared.reset(); });
}
