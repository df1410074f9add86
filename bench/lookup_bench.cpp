// Word lookups end to end, as the add-words run queues them: four pool
// workers, each lookup fetching its page from a loopback dictionary over a
// fresh connection, cutting the translation out and storing it in a new
// bank of dict_main.db (an update that finds no row, then an insert).
//   - a dictionary that answers at once: words stored per second;
//   - one that answers 50 ms after the request: against the four workers'
//     limit of 4 / 50 ms = 80 words per second.
// To tell where the time goes, the same fetches without the stores, and the
// same stores without the fetches (four threads, sharing commits or a commit
// each), are measured as well.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/code_page.h"
#include "bench/bench_support.h"
#include "lookup/dictionary_host.h"
#include "lookup/page_fetch.h"
#include "lookup/task_pool.h"
#include "lookup/translation_store.h"
#include "lookup/translation_task.h"
#include "testing/loopback_dictionary.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"

namespace {

using quorvo::testing::LoopbackDictionary;

constexpr char kBank[] = "book";

LoopbackDictionary::Lookup Answering(std::chrono::milliseconds delay) {
  return [delay](const std::string& word) -> std::optional<LoopbackDictionary::Parts> {
    if (delay.count() > 0) std::this_thread::sleep_for(delay);
    return LoopbackDictionary::Parts{{"n.", "词 " + word}, {"v.", "第二个意思"}};
  };
}

// The page's connection on dict_main.db of a fresh folder, with an empty
// bank to fill.
struct Store {
  Store() {
    if (!db.Open(folder.File("dict_main.db"))) std::abort();
    quorvo::SilentBoxes boxes;
    if (!quorvo::CreateBank(db, quorvo::kMainWord, boxes).ok() || !quorvo::CreateBank(db, kBank, boxes).ok())
      std::abort();
  }
  void Empty() { db.Execute(std::string("delete from ") + kBank); }
  int Rows() {
    int rows = 0;
    db.QueryRows(std::string("select count(*) from ") + kBank,
                 [&rows](int, const quorvo::RowView& row) { rows = std::atoi(row.Text(0)); });
    return rows;
  }
  quorvo::bench::ScratchFolder folder;
  quorvo::WordDatabase db;
};

void RunLookups(benchmark::State& state, std::chrono::milliseconds delay, size_t words) {
  LoopbackDictionary dictionary(Answering(delay));
  setenv(quorvo::kDictionaryHostVariable, dictionary.HostPort().c_str(), 1);
  Store store;
  const std::vector<std::string> list = quorvo::bench::DistinctWords(words, 4);
  for (auto _ : state) {
    state.PauseTiming();
    store.Empty();
    state.ResumeTiming();
    quorvo::TaskPool pool;
    int hot = 0;
    for (const std::string& word : list)
      pool.Submit(quorvo::LookupWordTask, quorvo::MakeTranslationTask(word, ++hot, &store.db, kBank),
                  quorvo::ReleaseTranslationTask);
    pool.Shutdown();  // every queued lookup has run
  }
  if (store.Rows() != static_cast<int>(words)) state.SkipWithError("not every word was stored");
  state.counters["words_per_second"] = benchmark::Counter(
      static_cast<double>(words) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  unsetenv(quorvo::kDictionaryHostVariable);
}

void BM_Lookups_AtOnce(benchmark::State& state) { RunLookups(state, std::chrono::milliseconds(0), 2000); }
BENCHMARK(BM_Lookups_AtOnce)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_Lookups_After50ms(benchmark::State& state) { RunLookups(state, std::chrono::milliseconds(50), 400); }
BENCHMARK(BM_Lookups_After50ms)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The fetches alone: four workers, the same pages, nothing stored.
void FetchOnly(void* argument) {
  std::unique_ptr<std::string> url(static_cast<std::string*>(argument));
  std::vector<char> page(quorvo::kPageBufferBytes, '\0');
  quorvo::FetchDictionaryPage(*url, page.data());
}

void RunFetches(benchmark::State& state, std::chrono::milliseconds delay, size_t words) {
  LoopbackDictionary dictionary(Answering(delay));
  const std::vector<std::string> list = quorvo::bench::DistinctWords(words, 4);
  for (auto _ : state) {
    quorvo::TaskPool pool;
    for (const std::string& word : list)
      pool.Submit(FetchOnly, new std::string(quorvo::LookupUrl(dictionary.HostPort(), word)));
    pool.Shutdown();
  }
  if (dictionary.RequestCount() != static_cast<int>(list.size() * state.iterations()))
    state.SkipWithError("not every page was fetched");
  state.counters["words_per_second"] = benchmark::Counter(
      static_cast<double>(list.size()) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_FetchesOnly_AtOnce(benchmark::State& state) { RunFetches(state, std::chrono::milliseconds(0), 2000); }
BENCHMARK(BM_FetchesOnly_AtOnce)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_FetchesOnly_After50ms(benchmark::State& state) { RunFetches(state, std::chrono::milliseconds(50), 400); }
BENCHMARK(BM_FetchesOnly_After50ms)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The stores alone: four threads storing new words through the shared
// connection, announced as queued lookups announce theirs (sharing
// commits), or not announced (a commit per store, as every lookup's store
// once was).
void RunStores(benchmark::State& state, bool announced, size_t words) {
  Store store;
  const std::vector<std::string> list = quorvo::bench::DistinctWords(words, 4);
  const std::string translation = quorvo::Gbk("n. 词\nv. 第二个意思\n");
  for (auto _ : state) {
    state.PauseTiming();
    store.Empty();
    state.ResumeTiming();
    std::vector<std::thread> threads;
    for (size_t t = 0; t < 4; ++t) {
      if (announced) store.db.ExpectGroupWrite();
      threads.emplace_back([&, t] {
        for (size_t i = t; i < list.size(); i += 4) quorvo::StoreTranslation(&store.db, list[i], kBank, translation, 1);
        if (announced) store.db.GroupWriteDone();
      });
    }
    for (auto& thread : threads) thread.join();
  }
  if (store.Rows() != static_cast<int>(list.size())) state.SkipWithError("not every word was stored");
  state.counters["words_per_second"] = benchmark::Counter(
      static_cast<double>(list.size()) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_StoresOnly_Grouped(benchmark::State& state) { RunStores(state, true, 2000); }
BENCHMARK(BM_StoresOnly_Grouped)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_StoresOnly_CommitEach(benchmark::State& state) { RunStores(state, false, 400); }
BENCHMARK(BM_StoresOnly_CommitEach)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
