// HeldFile: another program holding a word database, for tests of what
// quorvo does meanwhile. A python3 process (its sqlite3 module: a real
// second program, with locks of its own) opens the file and holds it in a
// transaction of the given kind until released:
//   kExclusive  nobody else may read or write (BEGIN EXCLUSIVE);
//   kWriting    others may read but not write (BEGIN IMMEDIATE);
//   kReading    others may read, and write up to their commit (a read
//               transaction).
// ReleaseAfter() lets go after a while on a thread of its own, for holds
// that end while quorvo waits.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <thread>

namespace quorvo::testing {

class HeldFile {
 public:
  enum class Kind { kExclusive, kWriting, kReading };
  HeldFile(const std::string& path, Kind kind);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // True once the other process holds the file.
  bool held() const { return held_; }
  // Commits the other process's transaction; true once it has.
  bool Release();
  // Releases after delay, from a thread of its own (joined by the destructor).
  void ReleaseAfter(std::chrono::milliseconds delay);

 private:
  std::string ReadLine();
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  bool held_ = false;
  std::thread releaser_;
};

}  // namespace quorvo::testing
