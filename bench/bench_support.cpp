#include "bench/bench_support.h"

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unordered_set>

#include "base/message_boxes.h"
#include "wordstore/word_bank.h"

namespace quorvo::bench {
namespace {

long StatusKib(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  size_t length = std::strlen(field);
  while (std::getline(status, line))
    if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':')
      return std::strtol(line.c_str() + length + 1, nullptr, 10);
  return -1;
}

}  // namespace

void OpenWordFile(WordDatabase& db) {
  if (!db.Open("dict_main.db")) std::abort();
  SilentBoxes silent;
  if (!CreateBank(db, kMainWord, silent).ok() || !CreateBank(db, kMainRemember, silent).ok()) std::abort();
}

ScratchFolder::ScratchFolder(bool enter) {
  std::string pattern = (std::filesystem::temp_directory_path() / "quorvo-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::abort();
  }
  path_ = pattern;
  if (!enter) return;
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd)) oldDir_ = cwd;
  if (chdir(path_.c_str()) != 0) {
    std::perror("chdir");
    std::abort();
  }
}

ScratchFolder::~ScratchFolder() {
  if (!oldDir_.empty() && chdir(oldDir_.c_str()) != 0) std::perror("chdir");
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

bool RunShell(const std::string& command) {
  int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

long ResidentKib() { return StatusKib("VmRSS"); }
long PeakResidentKib() { return StatusKib("VmHWM"); }

bool ResetPeakResident() {
  std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
  if (!refs) return false;
  bool ok = std::fputs("5", refs) >= 0;
  return std::fclose(refs) == 0 && ok;
}

uint64_t SeededRandom::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::vector<std::string> DistinctWords(size_t count, uint64_t seed) {
  SeededRandom random(seed);
  std::unordered_set<std::string> seen;
  std::vector<std::string> words;
  words.reserve(count);
  while (words.size() < count) {
    std::string word(4 + random.Below(9), 'a');
    for (char& c : word) c = static_cast<char>('a' + random.Below(26));
    if (seen.insert(word).second) words.push_back(std::move(word));
  }
  return words;
}

int RunWidgetBenchmarks(int argc, char** argv, const std::function<void()>& teardown) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  teardown();
  return 0;
}

}  // namespace quorvo::bench
