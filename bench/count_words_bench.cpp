// Counting the words of a large text, as the add-words run does, against
// what a user would otherwise use:
//   - quorvo: ConvertWords on the file (ScanFile and AddWord into the
//     WordCounter, then draining it into the task queue) with a pool that
//     has been shut down, so every queued lookup task is made and discarded;
//   - a plain std::unordered_map<std::string, int> counter fed by the same
//     tokenising (1023-byte line chunks, letters and apostrophes, lower case,
//     3 to 127 letters, no apostrophe), its words made into tasks and
//     discarded the same way;
//   - the shell pipeline tr | tr | awk | sort | uniq -c with LC_ALL=C.
//
// And the same run with the text counted by word family (合并词形) against
// counted word by word, both with the bundled lexicon, on an opened bank
// file (the families' run keeps the forms it saw there).
//
// The corpus is the file named by QUORVO_BENCH_CORPUS (bench/run.sh makes it).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "bench/bench_support.h"
#include "lexicon/lexicon.h"
#include "lookup/convert_words.h"
#include "lookup/task_pool.h"
#include "lookup/translation_task.h"
#include "wordstore/word_counter.h"

namespace {

std::string Corpus() { return quorvo::bench::EnvOr("QUORVO_BENCH_CORPUS", ""); }

bool CorpusReadable(benchmark::State& state) {
  std::FILE* file = std::fopen(Corpus().c_str(), "r");
  if (!file) {
    state.SkipWithError("set QUORVO_BENCH_CORPUS to a readable text file");
    return false;
  }
  std::fclose(file);
  return true;
}

// A pool that queues nothing: every task submitted is released at once.
quorvo::TaskPool& DiscardingPool() {
  static quorvo::TaskPool pool;
  pool.Shutdown();
  return pool;
}

void BM_CountWords_Quorvo(benchmark::State& state) {
  if (!CorpusReadable(state)) return;
  quorvo::AddWordsRequest request;
  request.filePath = Corpus();
  request.sources = quorvo::SourceFile;
  quorvo::WordDatabase db;  // never opened: the tasks are discarded unrun
  quorvo::SilentBoxes boxes;
  quorvo::TaskPool& pool = DiscardingPool();
  quorvo::ConvertOptions options;
  options.keepSentences = false;
  for (auto _ : state) quorvo::ConvertWords(request, db, "main_word", pool, boxes, options);
  // The distinct words, counted once more outside the timing.
  quorvo::WordCounter counter;
  counter.ScanFile(Corpus());
  state.counters["distinct_words"] = static_cast<double>(counter.Size());
}
BENCHMARK(BM_CountWords_Quorvo)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same count keeping the sentences, each round into a new bank of a
// scratch word file (the sentences are stored, the lookups discarded).
void BM_CountWords_QuorvoSentences(benchmark::State& state) {
  if (!CorpusReadable(state)) return;
  quorvo::bench::ScratchFolder folder(true);
  quorvo::WordDatabase db;
  quorvo::bench::OpenWordFile(db);
  quorvo::SilentBoxes boxes;
  quorvo::TaskPool& pool = DiscardingPool();
  quorvo::AddWordsRequest request;
  request.filePath = Corpus();
  request.sources = quorvo::SourceFile;
  quorvo::bench::ResetPeakResident();
  int round = 0;
  for (auto _ : state) {
    request.bankName = "run" + std::to_string(++round);
    quorvo::ConvertSummary summary = quorvo::ConvertWords(request, db, "main_word", pool, boxes);
    if (!summary.sentences.ok()) {
      state.SkipWithError("the sentences were not stored");
      return;
    }
  }
  state.counters["peak_rss_MiB"] = static_cast<double>(quorvo::bench::PeakResidentKib()) / 1024.0;
}
BENCHMARK(BM_CountWords_QuorvoSentences)->Unit(benchmark::kMillisecond)->UseRealTime();
const quorvo::Lexicon& Bundled() {
  static const quorvo::Lexicon lexicon = [] {
    quorvo::Lexicon loaded;
    loaded.Load(QUORVO_LEXICON_DATA);
    return loaded;
  }();
  return lexicon;
}

void CountWithFamilies(benchmark::State& state, bool families) {
  if (!CorpusReadable(state)) return;
  if (Bundled().wordCount() == 0) {
    state.SkipWithError("cannot read " QUORVO_LEXICON_DATA);
    return;
  }
  std::string path = (std::filesystem::temp_directory_path() /
                      (families ? "quorvo-bench-families-on.db" : "quorvo-bench-families-off.db"))
                         .string();
  std::filesystem::remove(path);
  quorvo::WordDatabase db;
  if (!db.Open(path) || db.Execute("create table main_word (id integer primary key, value varchar(56) unique, "
                                   "phonetic text, trans text, sentence_id int, known int, hot int)") != 0) {
    state.SkipWithError("cannot make the bank file");
    return;
  }
  quorvo::AddWordsRequest request;
  request.filePath = Corpus();
  request.sources = quorvo::SourceFile;
  request.families = families;
  quorvo::ConvertOptions options;
  options.lexicon = &Bundled();
  quorvo::SilentBoxes boxes;
  quorvo::TaskPool& pool = DiscardingPool();
  int distinct = 0;
  for (auto _ : state) {
    quorvo::ConvertSummary summary = quorvo::ConvertWords(request, db, "main_word", pool, boxes, options);
    if (!summary.failure.ok()) state.SkipWithError("the run failed");
    distinct = summary.distinct;
  }
  state.counters["distinct_words"] = distinct;
  db.Close();
  std::filesystem::remove(path);
}

void BM_CountWords_FamiliesOn(benchmark::State& state) { CountWithFamilies(state, true); }
void BM_CountWords_FamiliesOff(benchmark::State& state) { CountWithFamilies(state, false); }
BENCHMARK(BM_CountWords_FamiliesOff)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CountWords_FamiliesOn)->Unit(benchmark::kMillisecond)->UseRealTime();

// The tokenising of WordCounter::ScanFile and ScanText, feeding any counter.
bool IsWordByte(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '\''; }

template <typename Add>
void ScanChunk(char* buffer, size_t size, Add& add) {
  size_t i = 0;
  while (i < size) {
    while (i < size && buffer[i] != '\0' && !IsWordByte(buffer[i])) ++i;
    if (i >= size || buffer[i] == '\0') return;
    size_t start = i;
    for (; i < size && IsWordByte(buffer[i]); ++i)
      if (buffer[i] >= 'A' && buffer[i] <= 'Z') buffer[i] = static_cast<char>(buffer[i] - 'A' + 'a');
    size_t length = i - start;
    if (i < size) buffer[i] = '\0';
    std::string_view token(buffer + start, length);
    if (length >= 3 && length <= 127 && token.find('\'') == std::string_view::npos) add(token);
    ++i;
  }
}

template <typename Add>
void ScanFileChunks(const std::string& path, Add add) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (!file) return;
  char chunk[1024];
  for (;;) {
    std::memset(chunk, 0, sizeof chunk);
    if (!std::fgets(chunk, sizeof chunk, file)) break;
    ScanChunk(chunk, sizeof chunk, add);
  }
  std::fclose(file);
}

void BM_CountWords_UnorderedMap(benchmark::State& state) {
  if (!CorpusReadable(state)) return;
  quorvo::TaskPool& pool = DiscardingPool();
  size_t distinct = 0;
  for (auto _ : state) {
    std::unordered_map<std::string, int> counts;
    ScanFileChunks(Corpus(), [&counts](std::string_view token) { ++counts[std::string(token)]; });
    distinct = counts.size();
    for (const auto& [word, count] : counts) {
      quorvo::TranslationTask* task = quorvo::MakeTranslationTask(word, count, nullptr, "main_word");
      if (task) pool.Submit(quorvo::LookupWordTask, task, quorvo::ReleaseTranslationTask);
    }
  }
  state.counters["distinct_words"] = static_cast<double>(distinct);
}
BENCHMARK(BM_CountWords_UnorderedMap)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CountWords_ShellPipeline(benchmark::State& state) {
  if (!CorpusReadable(state)) return;
  const std::string command = "export LC_ALL=C; tr -cs \"A-Za-z'\" '\\n' < " + quorvo::bench::ShellQuote(Corpus()) +
                              " | tr A-Z a-z | awk 'length>=3 && !/\\x27/' | sort | uniq -c > /dev/null";
  for (auto _ : state) {
    if (!quorvo::bench::RunShell(command)) {
      state.SkipWithError("the pipeline failed");
      return;
    }
  }
}
BENCHMARK(BM_CountWords_ShellPipeline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
