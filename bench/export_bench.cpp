// "导出" of a list of 100,000 words to a CSV file, against the sqlite3
// shell writing the same rows in its ".mode csv".
//   - quorvo: the page shows the bank (every word, by hot), the save dialog
//     answers at once with the file name, and Export() collects the shown
//     rows, turns them into UTF-8 CSV and writes the file;
//   - the peer: `sqlite3 -header -csv` of the bank's rows in the same order
//     into a file (the shell neither converts nor holds a list).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "bench/bench_support.h"
#include "wordapp/page1.h"
#include "wordapp/window_ops.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"

namespace {

constexpr int kWords = 100000;

class AnswerAtOnce : public quorvo::FilePicker {
 public:
  QString OpenFile(QWidget*, const QString&) override { return {}; }
  QString SaveFile(QWidget*, const QString&, const QString&) override { return name; }
  QString name;
};

struct Fixture {
  Fixture() : folder(true) {
    quorvo::WordDatabase db;
    quorvo::bench::OpenWordFile(db);
    std::vector<std::string> words = quorvo::bench::DistinctWords(kWords, 11);
    const std::string trans = quorvo::Gbk("n. 丈夫；先生，\"夫\"\nv. 节约");
    if (!db.BeginBatch().ok()) std::abort();
    for (int i = 0; i < kWords; ++i)
      db.Execute(quorvo::InsertTranslationStatement(quorvo::kMainWord, words[static_cast<size_t>(i)], trans, i % 5000));
    if (!db.CommitBatch().ok()) std::abort();
    db.Close();
    files.name = QString::fromStdString(folder.File("out.csv"));
    ops.boxes = &boxes;
    ops.files = &files;
    page = std::make_unique<quorvo::CPage1>(ops);
    page->Refresh();
    if (page->WordModel().rowCount() != kWords) std::abort();
  }
  quorvo::bench::ScratchFolder folder;
  quorvo::SilentBoxes boxes;
  AnswerAtOnce files;
  quorvo::WindowOps ops;
  std::unique_ptr<quorvo::CPage1> page;
};

std::unique_ptr<Fixture> shared;
Fixture& Shared() {
  if (!shared) shared = std::make_unique<Fixture>();
  return *shared;
}

void BM_Export_Quorvo(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) f.page->Export();
  state.SetItemsProcessed(state.iterations() * kWords);
}
BENCHMARK(BM_Export_Quorvo)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_Export_Sqlite3Shell(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string command = "sqlite3 -header -csv dict_main.db " +
                              quorvo::bench::ShellQuote(
                                  "select value, phonetic, trans, known, hot from main_word where value like '%%' "
                                  "order by hot desc") +
                              " > " + quorvo::bench::ShellQuote(f.folder.File("peer.csv"));
  for (auto _ : state) {
    if (!quorvo::bench::RunShell(command)) {
      state.SkipWithError("the sqlite3 shell failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kWords);
}
BENCHMARK(BM_Export_Sqlite3Shell)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  return quorvo::bench::RunWidgetBenchmarks(argc, argv, [] { shared.reset(); });
}
