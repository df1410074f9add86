// A text of 39,000 distinct words from "确定" in 添加单词 to every word
// stored, with the bundled dictionary (quorvo-dictd of this build) answering
// on 127.0.0.1, once with the progress shown in the info box and once
// without. Each round fills a new bank; a round ends when the page has seen
// its run end (the list refreshed, the summary shown). The words are the
// dictionary's own headwords, so nearly all of them are translated. A last
// pair of rounds gives the same words in sentences of ten ("Word word ...
// word."), so that every word's sentence is kept and stored too.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "bench/bench_support.h"
#include "dictserver/dictd_launcher.h"
#include "wordapp/insert_dlg.h"
#include "wordapp/insert_dlg_controls.h"
#include "wordapp/page1.h"
#include "wordapp/page1_controls.h"
#include "wordapp/window_ops.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"
#include "wordstore/word_sentences.h"

namespace {

constexpr int kDistinct = 39000;

// The first kDistinct headwords of the dictionary's data that the counter
// keeps as they are (3 to 127 lower-case letters).
QString DictionaryText() {
  std::ifstream data(QUORVO_DICT_DATA);
  std::set<std::string> seen;
  QString text;
  std::string line;
  while (std::getline(data, line) && static_cast<int>(seen.size()) < kDistinct) {
    if (line.empty() || line[0] == '#') continue;
    std::string word = line.substr(0, line.find('\t'));
    if (word.size() < 3 || word.size() > 127) continue;
    bool letters = true;
    for (char c : word) letters = letters && c >= 'a' && c <= 'z';
    if (!letters || !seen.insert(word).second) continue;
    text += QString::fromStdString(word) + QLatin1Char(' ');
  }
  if (static_cast<int>(seen.size()) != kDistinct) std::abort();
  return text;
}

// The same words, ten to a sentence.
QString InSentences(const QString& words) {
  QStringList list = words.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  QString text;
  for (int i = 0; i < list.size(); ++i) {
    QString word = list[i];
    if (i % 10 == 0) word[0] = word[0].toUpper();
    text += word + ((i % 10 == 9 || i + 1 == list.size()) ? QStringLiteral(". ") : QStringLiteral(" "));
  }
  return text;
}

struct Fixture {
  Fixture() : folder(true), text(DictionaryText()), sentences(InSentences(text)) {
    // The lookups ask the service started here, on the port it reports.
    unsetenv("QUORVO_DICT_HOST");
    if (dictionary.Start("", QUORVO_BIN_DIR) != quorvo::BundledDictionaryState::Started) std::abort();
    quorvo::WordDatabase db;
    quorvo::bench::OpenWordFile(db);
    db.Close();
    ops.boxes = &boxes;
    ops.files = &files;
    page = std::make_unique<quorvo::CPage1>(ops);
    page->show();
  }
  struct NoFiles : quorvo::FilePicker {
    QString OpenFile(QWidget*, const QString&) override { return {}; }
  };
  quorvo::bench::ScratchFolder folder;
  QString text;
  QString sentences;
  quorvo::BundledDictionary dictionary;
  quorvo::SilentBoxes boxes;
  NoFiles files;
  quorvo::WindowOps ops;
  std::unique_ptr<quorvo::CPage1> page;
  int round = 0;
};

std::unique_ptr<Fixture> shared;
Fixture& Shared() {
  if (!shared) shared = std::make_unique<Fixture>();
  return *shared;
}

void BM_AddText(benchmark::State& state) {
  Fixture& f = Shared();
  f.page->SetProgressShown(state.range(0) != 0);
  const QString& text = state.range(0) == 2 ? f.sentences : f.text;
  for (auto _ : state) {
    QString bank = QStringLiteral("run%1").arg(++f.round);
    QTimer::singleShot(0, [&f, bank, &text] {
      auto* dialog = qobject_cast<quorvo::CInsertDlg*>(QApplication::activeModalWidget());
      if (!dialog) std::abort();
      dialog->findChild<QTextEdit*>(QString::number(quorvo::insert_dlg_controls::kText))->setPlainText(text);
      dialog->findChild<QLineEdit*>(QString::number(quorvo::insert_dlg_controls::kBankName))->setText(bank);
      // From here: "确定".
      f.page->setProperty("started",
                          QVariant::fromValue<qint64>(std::chrono::steady_clock::now().time_since_epoch().count()));
      dialog->findChild<QPushButton*>(QString::number(quorvo::insert_dlg_controls::kOk))->click();
    });
    f.page->findChild<QPushButton*>(QString::number(quorvo::page1_controls::kAddWords))->click();
    // Sleeps until an event comes: the run's end wakes the page.
    while (f.page->CurrentRun()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    auto end = std::chrono::steady_clock::now().time_since_epoch().count();
    state.SetIterationTime(std::chrono::duration<double>(
                               std::chrono::steady_clock::duration(end - f.page->property("started").toLongLong()))
                               .count());
    if (f.page->WordModel().rowCount() != kDistinct) {
      state.SkipWithError("not every word was stored");
      return;
    }
    if (state.range(0) == 2) {
      quorvo::WordDatabase check;
      if (!check.Open("dict_main.db") ||
          quorvo::BankSentences(check, bank.toStdString()).size() != static_cast<size_t>(kDistinct)) {
        state.SkipWithError("not every word kept its sentence");
        return;
      }
    }
  }
  state.counters["words"] = kDistinct;
}
// A first round, not counted, warms the service, the file and the caches.
// Then shown and hidden take turns, one round each, in the order 1 0 0 1
// twice, so that neither always goes first and a slow spell of the machine
// falls on both; the table takes each side's fastest round.
BENCHMARK(BM_AddText)->Name("BM_AddTextWarmUp")->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddText)
    ->Arg(1)
    ->Arg(0)
    ->Arg(0)
    ->Arg(1)
    ->Arg(1)
    ->Arg(0)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// 2: the words in sentences, progress shown; twice, the faster taken.
BENCHMARK(BM_AddText)
    ->Name("BM_AddTextSentences")
    ->Arg(2)
    ->Arg(2)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return quorvo::bench::RunWidgetBenchmarks(argc, argv, [] { shared.reset(); });
}
