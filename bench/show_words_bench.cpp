// How long the word-bank page takes to show a bank of 100,000 words, and
// what that costs in memory, against the sqlite3 shell running the same
// statement:
//   - quorvo: the search with an empty text ("搜索", ordered by hot), into
//     the real list model, offscreen; once without and once with drawing
//     the list;
//   - the sqlite3 command-line shell printing the same statement's rows to
//     /dev/null (starting the shell included).
// The resident memory growth is the peak while the page was made, showed
// the bank and searched it again, over the resident memory before.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTableView>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/code_page.h"
#include "bench/bench_support.h"
#include "wordapp/page1.h"
#include "wordapp/page1_controls.h"
#include "wordapp/window_ops.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"

namespace {

constexpr int kWords = 100000;

// dict_main.db of the working folder, with kWords words in main_word. Made
// in a child process, so that this process's memory shows only the page.
void MakeDatabase() {
  pid_t child = fork();
  if (child < 0) std::abort();
  if (child == 0) {
    quorvo::WordDatabase db;
    quorvo::bench::OpenWordFile(db);
    std::string trans = quorvo::Gbk("n. 单词的释义；第二个意思\nv. 第三个意思");
    quorvo::bench::SeededRandom random(2);
    if (!db.BeginBatch().ok()) std::abort();
    int i = 0;
    for (const std::string& word : quorvo::bench::DistinctWords(kWords, 1))
      db.Execute(quorvo::InsertTranslationStatement(quorvo::kMainWord, word, trans,
                                                    static_cast<int>(random.Below(1000)) + (i++ % 7)));
    if (!db.CommitBatch().ok()) std::abort();
    db.Close();
    _exit(0);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
}

struct Fixture {
  Fixture() : folder(true) {
    MakeDatabase();
    quorvo::bench::ResetPeakResident();
    residentBefore = quorvo::bench::ResidentKib();
    ops.boxes = &boxes;
    page = std::make_unique<quorvo::CPage1>(ops);
    page->show();
    list = page->findChild<QTableView*>(QString::number(quorvo::page1_controls::kWordList));
  }
  // Peak resident memory since before the page was made, over what there
  // was then, in MiB.
  double GrowthMiB() const { return static_cast<double>(quorvo::bench::PeakResidentKib() - residentBefore) / 1024.0; }

  quorvo::bench::ScratchFolder folder;
  long residentBefore = 0;
  quorvo::SilentBoxes boxes;
  quorvo::WindowOps ops;
  std::unique_ptr<quorvo::CPage1> page;
  QTableView* list = nullptr;
};

// Made on first use; main() ends it while the application object lives.
std::unique_ptr<Fixture> shared;

Fixture& Shared() {
  if (!shared) shared = std::make_unique<Fixture>();
  return *shared;
}

// The statement "搜索" runs with an empty search text and the controls as
// they start: every word, ordered by hot from high to low.
std::string SearchAllStatement() {
  quorvo::WordFilter filter;
  filter.known = quorvo::KnownFilter::All;
  filter.order = quorvo::HotOrder::Descending;
  return quorvo::BuildSearchStatement(quorvo::kMainWord, filter);
}

void BM_ShowWords_Quorvo(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    f.page->Refresh();
    benchmark::DoNotOptimize(f.page->WordModel().rowCount());
  }
  if (f.page->WordModel().rowCount() != kWords) state.SkipWithError("the list does not hold every word");
  state.SetItemsProcessed(state.iterations() * kWords);
  state.counters["rss_growth_MiB"] = f.GrowthMiB();
}
BENCHMARK(BM_ShowWords_Quorvo)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShowWords_QuorvoAndDraw(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    f.page->Refresh();
    QPixmap shown = f.list->grab();
    benchmark::DoNotOptimize(shown.cacheKey());
  }
  state.SetItemsProcessed(state.iterations() * kWords);
  state.counters["rss_growth_MiB"] = f.GrowthMiB();
}
BENCHMARK(BM_ShowWords_QuorvoAndDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShowWords_Sqlite3Shell(benchmark::State& state) {
  Shared();  // the database
  const std::string command =
      "sqlite3 dict_main.db " + quorvo::bench::ShellQuote(SearchAllStatement()) + " > /dev/null";
  for (auto _ : state) {
    if (!quorvo::bench::RunShell(command)) {
      state.SkipWithError("the sqlite3 shell failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kWords);
}
BENCHMARK(BM_ShowWords_Sqlite3Shell)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return quorvo::bench::RunWidgetBenchmarks(argc, argv, [] { shared.reset(); });
}
