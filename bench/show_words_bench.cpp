// How long the word-bank page takes to show a bank of 100,000 words: the
// search with an empty text ("搜索"), into the real list model, with and
// without drawing the list once. Runs offscreen in a temporary folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QTableView>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "code_page.h"
#include "page1.h"
#include "window_ops.h"
#include "word_bank.h"
#include "word_database.h"

namespace {

constexpr int kWords = 100000;

// A temporary folder holding dict_main.db with kWords words in main_word,
// made the working folder for as long as it lives.
class BenchFolder {
 public:
  BenchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvo-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) oldDir_ = cwd;
    if (chdir(path_.c_str()) != 0) std::abort();

    quorvo::SilentBoxes boxes;
    quorvo::WordDatabase db;
    if (!db.Open("dict_main.db")) std::abort();
    quorvo::CreateBank(db, quorvo::kMainWord, boxes);
    quorvo::CreateBank(db, quorvo::kMainRemember, boxes);
    std::string trans = quorvo::Gbk("n. 单词的释义；第二个意思\nv. 第三个意思");
    db.BeginBatch();
    for (int i = 0; i < kWords; ++i) {
      std::string word = "word" + std::to_string(i);
      db.Execute(quorvo::InsertTranslationStatement(quorvo::kMainWord, word, trans, (i * 7919) % 1000));
    }
    db.CommitBatch();
  }
  ~BenchFolder() {
    if (!oldDir_.empty() && chdir(oldDir_.c_str()) != 0) std::perror("chdir");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }

 private:
  std::string path_;
  std::string oldDir_;
};

struct Fixture {
  Fixture() {
    ops.boxes = &boxes;
    page = std::make_unique<quorvo::CPage1>(ops);
    page->show();
    list = page->findChild<QTableView*>(QStringLiteral("1001"));
  }
  BenchFolder folder;
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

void BM_SearchAllWords(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    f.page->Refresh();
    benchmark::DoNotOptimize(f.page->WordModel().rowCount());
  }
  if (f.page->WordModel().rowCount() != kWords) state.SkipWithError("the list does not hold every word");
  state.SetItemsProcessed(state.iterations() * kWords);
}
BENCHMARK(BM_SearchAllWords)->Unit(benchmark::kMillisecond);

void BM_SearchAllWordsAndDraw(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    f.page->Refresh();
    QPixmap shown = f.list->grab();
    benchmark::DoNotOptimize(shown.cacheKey());
  }
  state.SetItemsProcessed(state.iterations() * kWords);
}
BENCHMARK(BM_SearchAllWordsAndDraw)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  shared.reset();
  return 0;
}
