// Words out to Anki and back in from a spreadsheet, on a bank of 100,000
// words:
//   - the Anki deck: the bank's rows read (ReadExportRows) and written as an
//     .apkg (the collection built in memory, zipped, put in place whole);
//   - the import: a 100,000-line CSV with translations (quorvo's own export
//     of the bank) read, decoded and written into a new bank in one batch
//     (ReadImportFile, WriteImport), against the sqlite3 shell's
//     `.import --csv` of the same file into a table of its five columns,
//     the word unique as in a bank.
// Each import starts from a database file of its own, ours and the shell's.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "bench/bench_support.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"
#include "wordstore/word_export.h"
#include "wordstore/word_import.h"

namespace {

constexpr int kWords = 100000;

struct Fixture {
  Fixture() : folder(true) {
    quorvo::bench::OpenWordFile(db);
    std::vector<std::string> words = quorvo::bench::DistinctWords(kWords, 15);
    const std::string trans = quorvo::Gbk("n. 丈夫；先生，\"夫\"\nv. 节约");
    if (!db.BeginBatch().ok()) std::abort();
    for (int i = 0; i < kWords; ++i)
      db.Execute(quorvo::InsertTranslationStatement(quorvo::kMainWord, words[static_cast<size_t>(i)], trans, i % 5000));
    if (!db.CommitBatch().ok()) std::abort();
    auto rows = quorvo::ReadExportRows(db, quorvo::kMainWord);
    if (!rows.ok() || rows->size() != kWords) std::abort();
    csv = folder.File("words.csv");
    if (!quorvo::WriteExport(csv, *rows, quorvo::ExportFormat::Csv, quorvo::kMainWord).ok()) std::abort();
  }
  quorvo::bench::ScratchFolder folder;
  quorvo::WordDatabase db;
  std::string csv;
};

std::unique_ptr<Fixture> shared;
Fixture& Shared() {
  if (!shared) shared = std::make_unique<Fixture>();
  return *shared;
}

void BM_Decks_ApkgExport(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string path = f.folder.File("words.apkg");
  for (auto _ : state) {
    auto rows = quorvo::ReadExportRows(f.db, quorvo::kMainWord);
    if (!rows.ok() || !quorvo::WriteExport(path, *rows, quorvo::ExportFormat::AnkiPackage, quorvo::kMainWord).ok()) {
      state.SkipWithError("the deck was not written");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kWords);
}
BENCHMARK(BM_Decks_ApkgExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Decks_CsvImport_Quorvo(benchmark::State& state) {
  Fixture& f = Shared();
  int run = 0;
  for (auto _ : state) {
    state.PauseTiming();
    quorvo::WordDatabase target;
    std::string file = f.folder.File("ours-" + std::to_string(run++) + ".db");
    if (!target.Open(file)) std::abort();
    state.ResumeTiming();
    auto words = quorvo::ReadImportFile(f.csv);
    auto counts = words.ok() ? quorvo::WriteImport(target, "imported", *words) : words.status();
    if (!counts.ok() || counts->added != kWords) {
      state.SkipWithError("the import did not add every word");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kWords);
}
BENCHMARK(BM_Decks_CsvImport_Quorvo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Decks_CsvImport_Sqlite3Shell(benchmark::State& state) {
  Fixture& f = Shared();
  int run = 0;
  for (auto _ : state) {
    std::string file = f.folder.File("peer-" + std::to_string(run++) + ".db");
    // A table of the file's five columns, the word unique as in a bank.
    const std::string command =
        "sqlite3 " + quorvo::bench::ShellQuote(file) + " " +
        quorvo::bench::ShellQuote(
            "create table imported (value VARCHAR(56) UNIQUE NULL, phonetic VARCHAR(28) NULL, trans VARCHAR(1024) "
            "NULL, known BOOLEAN NULL, hot INTEGER NULL);") +
        " " + quorvo::bench::ShellQuote(".import --csv --skip 1 " + f.csv + " imported");
    if (!quorvo::bench::RunShell(command)) {
      state.SkipWithError("the sqlite3 shell failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kWords);
}
BENCHMARK(BM_Decks_CsvImport_Sqlite3Shell)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
