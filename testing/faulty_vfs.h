// FaultyVfs: an SQLite file layer for tests that fails the way a real disk
// and file system do, without a mount or root: a disk that fills up after a
// given number of bytes (every later write fails with SQLITE_FULL, as
// ENOSPC does) and database files that may only be read (opened read-only,
// as a file without write permission is).
//
// While an object lives it is the process's default file layer, so every
// connection opened meanwhile (the page's, the test's own) goes through it;
// connections must be closed before it goes. Its settings may be changed
// at any time from any thread.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstdint>

namespace quorvo::testing {

class FaultyVfs {
 public:
  FaultyVfs();
  ~FaultyVfs();
  FaultyVfs(const FaultyVfs&) = delete;
  FaultyVfs& operator=(const FaultyVfs&) = delete;

  // Bytes that may still be written before the disk is full; negative:
  // no limit (the default).
  void SetWriteBudget(int64_t bytes) { budget_.store(bytes); }
  // Database files opened from now on may only be read.
  void SetReadOnly(bool readOnly) { readOnly_.store(readOnly); }
  // Writes refused so far for want of room.
  int FullWrites() const { return fullWrites_.load(); }

  // Called by the file layer.
  bool TakeBudget(int64_t bytes);
  bool ReadOnly() const { return readOnly_.load(); }
  static FaultyVfs* OwnerOf(sqlite3_vfs* vfs);

 private:
  // The record SQLite holds, with the way back to its owner.
  struct Registered {
    sqlite3_vfs vfs;
    FaultyVfs* owner;
  };
  Registered registered_{};
  sqlite3_vfs* real_ = nullptr;
  std::atomic<int64_t> budget_{-1};
  std::atomic<bool> readOnly_{false};
  std::atomic<int> fullWrites_{0};
};

}  // namespace quorvo::testing
