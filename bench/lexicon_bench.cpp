// Word families over a large text: every token of the corpus looked up in
// the lexicon (Lexicon::BaseOf), against the same tokenising with no lookup
// and with a lookup in a plain std::unordered_map<std::string, std::string>
// of the same forms; and the loading of quorvo-lexicon.tsv.
//
// The corpus is the file named by QUORVO_BENCH_CORPUS (bench/run.sh makes
// it), read into memory before the timing; the tokens are runs of ASCII
// letters of 3 to 127, lower-cased, as the word counter takes them.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>

#include "bench/bench_support.h"
#include "lexicon/lexicon.h"

namespace {

const std::string& CorpusText() {
  static const std::string text = [] {
    std::ifstream in(quorvo::bench::EnvOr("QUORVO_BENCH_CORPUS", ""), std::ios::binary);
    std::ostringstream out;
    if (in) out << in.rdbuf();
    return std::move(out).str();
  }();
  return text;
}

const quorvo::Lexicon& Bundled() {
  static const quorvo::Lexicon lexicon = [] {
    quorvo::Lexicon loaded;
    loaded.Load(QUORVO_LEXICON_DATA);
    return loaded;
  }();
  return lexicon;
}

bool Ready(benchmark::State& state) {
  if (CorpusText().empty()) {
    state.SkipWithError("set QUORVO_BENCH_CORPUS to a readable text file");
    return false;
  }
  if (Bundled().wordCount() == 0) {
    state.SkipWithError("cannot read " QUORVO_LEXICON_DATA);
    return false;
  }
  return true;
}

template <typename Each>
size_t ForEachToken(const std::string& text, Each each) {
  size_t tokens = 0;
  char word[128];
  size_t length = 0;
  auto flush = [&] {
    if (length >= 3 && length <= 127) {
      each(std::string_view(word, length));
      ++tokens;
    }
    length = 0;
  };
  for (char c : text) {
    if (c >= 'a' && c <= 'z') {
      if (length < sizeof word) word[length] = c;
      ++length;
    } else if (c >= 'A' && c <= 'Z') {
      if (length < sizeof word) word[length] = static_cast<char>(c - 'A' + 'a');
      ++length;
    } else if (length) {
      flush();
    }
  }
  if (length) flush();
  return tokens;
}

void Finish(benchmark::State& state, size_t tokens) {
  state.counters["tokens"] = static_cast<double>(tokens);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CorpusText().size()));
}

void BM_Lexicon_TokensOnly(benchmark::State& state) {
  if (!Ready(state)) return;
  size_t tokens = 0, letters = 0;
  for (auto _ : state) tokens = ForEachToken(CorpusText(), [&](std::string_view t) { letters += t.size(); });
  benchmark::DoNotOptimize(letters);
  Finish(state, tokens);
}
BENCHMARK(BM_Lexicon_TokensOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Lexicon_BaseOfEveryToken(benchmark::State& state) {
  if (!Ready(state)) return;
  const quorvo::Lexicon& lexicon = Bundled();
  size_t tokens = 0, letters = 0;
  for (auto _ : state)
    tokens = ForEachToken(CorpusText(), [&](std::string_view t) { letters += lexicon.BaseOf(t).size(); });
  benchmark::DoNotOptimize(letters);
  Finish(state, tokens);
}
BENCHMARK(BM_Lexicon_BaseOfEveryToken)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: the first base of every form in an unordered_map keyed by
// std::string, looked up with a std::string made of each token.
void BM_Lexicon_PlainMapEveryToken(benchmark::State& state) {
  if (!Ready(state)) return;
  std::unordered_map<std::string, std::string> bases;
  std::ifstream in(QUORVO_LEXICON_DATA);
  for (std::string line; std::getline(in, line);) {
    size_t tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
    size_t end = line.find_first_of(",\t", tab + 1);
    std::string base = line.substr(tab + 1, end == std::string::npos ? end : end - tab - 1);
    if (!base.empty()) bases.emplace(line.substr(0, tab), base);
  }
  size_t tokens = 0, letters = 0;
  for (auto _ : state)
    tokens = ForEachToken(CorpusText(), [&](std::string_view t) {
      auto it = bases.find(std::string(t));
      letters += it == bases.end() ? t.size() : it->second.size();
    });
  benchmark::DoNotOptimize(letters);
  Finish(state, tokens);
}
BENCHMARK(BM_Lexicon_PlainMapEveryToken)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Lexicon_Load(benchmark::State& state) {
  for (auto _ : state) {
    quorvo::Lexicon lexicon;
    if (!lexicon.Load(QUORVO_LEXICON_DATA)) {
      state.SkipWithError("cannot read " QUORVO_LEXICON_DATA);
      return;
    }
    benchmark::DoNotOptimize(lexicon.wordCount());
  }
}
BENCHMARK(BM_Lexicon_Load)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
