// KnownWatch: while it lives, notes every word of one bank whose known flag
// goes from not known to known on the connection, as the update happens.
//
// "会背" marks words with one update each; which of them were not known yet
// decides what goes into known_log. Watching the updates (SQLite's
// pre-update hook) reads the row each update touches anyway, where a look
// of its own before every update would search the bank a second time.
// Where the library is built without that hook the watch is not Active()
// and the caller looks itself.
//
// Threads: the hook runs on whichever thread runs a statement on the
// connection; a watch is meant for the length of one batch, whose owner
// keeps every other thread's statement out.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace quorvo {

class KnownWatch {
 public:
  KnownWatch(sqlite3* db, std::string bank);
  ~KnownWatch();
  KnownWatch(const KnownWatch&) = delete;
  KnownWatch& operator=(const KnownWatch&) = delete;

  // False when the library has no pre-update hook or the bank lacks its
  // value or known column: nothing is noted.
  bool Active() const { return active_; }
  // Words whose known flag read '0' (as text) just before an update of
  // their row, in the order of the updates.
  const std::vector<std::string>& Changed() const { return changed_; }

  // Called by the hook for a row about to change.
  void Saw(int op, const char* database, const char* table);

 private:
  sqlite3* db_;
  std::string bank_;
  int valueColumn_ = -1;
  int knownColumn_ = -1;
  bool active_ = false;
  std::vector<std::string> changed_;
};

}  // namespace quorvo
