// The batch operations of the word-bank page on 10,000 ticked rows, against
// the same statements run by sqlite3_exec in one transaction.
//   - quorvo: a bank of 20,000 words is shown, every other row is ticked
//     through the list model (as a click on its check box does), the batch
//     is chosen in the batch-operation box and "确定更新" runs it: collecting the ticked rows,
//     the statements in one transaction, and the list's refresh;
//   - the peer: sqlite3_exec of the same 10,000 statements between "begin"
//     and "commit" on a connection of its own, no list at all.
// Each run starts from the same bank (put back outside the timing); the
// table takes each side's median over the rounds.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "bench/bench_support.h"
#include "wordapp/page1.h"
#include "wordapp/page1_controls.h"
#include "wordapp/window_ops.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"

namespace {

constexpr int kBankWords = 20000;
constexpr int kTicked = 10000;
const std::string kTrans = quorvo::Gbk("n. 释义");

struct Fixture {
  Fixture() : folder(true), words(quorvo::bench::DistinctWords(kBankWords, 3)) {
    quorvo::WordDatabase db;
    quorvo::bench::OpenWordFile(db);
    db.Close();
    Restore();
    ops.boxes = &boxes;
    page = std::make_unique<quorvo::CPage1>(ops);
    page->show();
  }

  // Puts the bank back as it was made: every word, unknown, hot 1 to 20000
  // (so the list, ordered by hot, holds the words in reverse order).
  void Restore() {
    quorvo::WordDatabase db;
    if (!db.Open("dict_main.db")) std::abort();
    if (!db.BeginBatch().ok()) std::abort();
    db.Execute("delete from main_word");
    for (int i = 0; i < kBankWords; ++i)
      db.Execute(quorvo::InsertTranslationStatement(quorvo::kMainWord, words[static_cast<size_t>(i)], kTrans, i + 1));
    if (!db.CommitBatch().ok()) std::abort();
  }

  // The words of the rows a round ticks: every other row of the list.
  std::vector<std::string> TickedWords() const {
    std::vector<std::string> ticked;
    for (int row = 0; row < kTicked; ++row) ticked.push_back(words[static_cast<size_t>(kBankWords - 1 - 2 * row)]);
    return ticked;
  }

  void ShowAndTick() {
    page->Refresh();
    quorvo::WordListModel& model = page->WordModel();
    for (int row = 0; row < 2 * kTicked; row += 2) model.setData(model.index(row, 0), Qt::Checked, Qt::CheckStateRole);
  }

  int CountRows(const char* where) {
    quorvo::WordDatabase db;
    if (!db.Open("dict_main.db")) return -1;
    int count = -1;
    db.QueryRows(std::string("select count(*) from main_word") + where,
                 [&count](int, const quorvo::RowView& row) { count = std::atoi(row.Text(0)); });
    return count;
  }

  quorvo::bench::ScratchFolder folder;
  std::vector<std::string> words;
  quorvo::SilentBoxes boxes;
  quorvo::WindowOps ops;
  std::unique_ptr<quorvo::CPage1> page;
};

std::unique_ptr<Fixture> shared;

Fixture& Shared() {
  if (!shared) shared = std::make_unique<Fixture>();
  return *shared;
}

// What a round must have done, and the statement the peer runs per word.
struct Job {
  quorvo::CPage1::Batch batch;
  const char* check;  // rows that satisfy this after the round: kTicked
  std::string (*statement)(const std::string& word);
};

const Job kJobs[] = {
    {quorvo::CPage1::kBatchKnown, " where known = 1",
     [](const std::string& word) { return quorvo::MarkKnownStatement(quorvo::kMainWord, word); }},
    {quorvo::CPage1::kBatchHot, " where hot = 123456",
     [](const std::string& word) { return quorvo::SetHotStatement(quorvo::kMainWord, 123456, word); }},
    {quorvo::CPage1::kBatchDelete, "",
     [](const std::string& word) { return quorvo::DeleteWordStatement(quorvo::kMainWord, word); }},
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Both in every round, taking turns at going first, so that both meet the
// same disk: a commit's wait for it varies from round to round far more
// than either side's own work.
void BM_Batch_SideBySide(benchmark::State& state) {
  Fixture& f = Shared();
  const Job& job = kJobs[state.range(0)];
  const int expected = job.batch == quorvo::CPage1::kBatchDelete ? kBankWords - kTicked : kTicked;
  f.page->findChild<QComboBox*>(QString::number(quorvo::page1_controls::kBatchOperation))->setCurrentIndex(job.batch);
  f.page->findChild<QLineEdit*>(QString::number(quorvo::page1_controls::kBatchHotValue))
      ->setText(QStringLiteral("123456"));
  std::vector<std::string> statements;
  for (const std::string& word : f.TickedWords()) statements.push_back(job.statement(word));
  sqlite3* db = nullptr;
  if (sqlite3_open("dict_main.db", &db) != SQLITE_OK) std::abort();

  using Clock = std::chrono::steady_clock;
  auto millis = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::vector<double> ours, peer;
  bool right = true;
  int round = 0;
  for (auto _ : state) {
    for (int turn = 0; turn < 2; ++turn) {
      f.Restore();
      if ((turn + round) % 2 == 0) {
        f.ShowAndTick();
        auto start = Clock::now();
        f.page->RunBatch();
        ours.push_back(millis(Clock::now() - start));
        state.SetIterationTime(ours.back() / 1000);
        right &= f.CountRows(job.check) == expected && f.page->WordModel().rowCount() == f.CountRows("");
      } else {
        auto start = Clock::now();
        sqlite3_exec(db, "begin transaction;", nullptr, nullptr, nullptr);
        for (const std::string& statement : statements) sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr);
        sqlite3_exec(db, "commit transaction;", nullptr, nullptr, nullptr);
        peer.push_back(millis(Clock::now() - start));
        right &= f.CountRows(job.check) == expected;
      }
    }
    ++round;
  }
  sqlite3_close(db);
  if (!right) state.SkipWithError("a side did not change exactly the ticked rows, or the list was not refreshed");
  state.counters["ours_ms_median"] = Median(ours);
  state.counters["peer_ms_median"] = Median(peer);
  state.SetItemsProcessed(state.iterations() * kTicked);
}
BENCHMARK(BM_Batch_SideBySide)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(15);

// Collecting the target rows alone, for lists of growing length with half
// of the rows ticked: the time per row stays flat when it is linear.
void BM_CollectTicked(benchmark::State& state) {
  Fixture& f = Shared();
  quorvo::WordListModel& model = f.page->WordModel();
  std::vector<quorvo::WordRow> rows(static_cast<size_t>(state.range(0)));
  for (size_t i = 0; i < rows.size(); ++i) {
    rows[i].word = "w" + std::to_string(i);
    rows[i].checked = i % 2 == 0;
  }
  model.Reset(std::move(rows));
  for (auto _ : state) benchmark::DoNotOptimize(f.page->TargetRows());
  state.SetItemsProcessed(state.iterations() * state.range(0));
  f.page->Refresh();
}
BENCHMARK(BM_CollectTicked)->Arg(10000)->Arg(40000)->Arg(160000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return quorvo::bench::RunWidgetBenchmarks(argc, argv, [] { shared.reset(); });
}
