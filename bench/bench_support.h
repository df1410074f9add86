// Helpers shared by the benchmark programs: a temporary working folder, the
// process's resident memory, shell commands for the peers, and inputs made
// from a fixed seed so that every run measures the same data; and the main()
// of the programs that show windows.
//
// Everything here runs on the benchmark's main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "wordstore/word_database.h"

namespace quorvo::bench {

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes. With enter = true it is the working
// folder while the object lives.
class ScratchFolder {
 public:
  explicit ScratchFolder(bool enter = false);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string oldDir_;
};

// Opens dict_main.db of the working folder (the program aborts when it
// cannot) and makes the two banks of a new file, main_word and main_remember.
void OpenWordFile(WordDatabase& db);

// Runs command with /bin/sh; true when it exited with status 0.
bool RunShell(const std::string& command);

// Single-quotes text for /bin/sh.
std::string ShellQuote(const std::string& text);

// The environment variable's value, or fallback when it is unset or empty.
std::string EnvOr(const char* name, const std::string& fallback);

// Resident memory of this process now, and its peak since the last
// ResetPeakResident(), in kibibytes (from /proc/self/status).
long ResidentKib();
long PeakResidentKib();
// Starts a new peak measurement (writes 5 to /proc/self/clear_refs); false
// when the system does not allow it.
bool ResetPeakResident();

// A small, fast generator with a fixed seed (splitmix64).
class SeededRandom {
 public:
  explicit SeededRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // Uniform in [0, bound).
  uint64_t Below(uint64_t bound) { return Next() % bound; }

 private:
  uint64_t state_;
};

// count distinct lower-case words of 4 to 12 letters, the same for a given
// seed on every machine.
std::vector<std::string> DistinctWords(size_t count, uint64_t seed);

// The main() of a benchmark program that shows windows: an offscreen
// QApplication (unless QT_QPA_PLATFORM says otherwise) around the benchmarks
// named on the command line. teardown runs while the application still
// exists, so the widgets a fixture kept can go first. 1 for an unknown
// argument, else 0.
int RunWidgetBenchmarks(int argc, char** argv, const std::function<void()>& teardown);

}  // namespace quorvo::bench
