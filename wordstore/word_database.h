// WordDatabase: the one access path to a word database file (dict_main.db).
//
// Holds one SQLite connection, opened in serialized mode so that the
// word-bank page and the four lookup workers may share it, and one reusable
// statement slot used by QueryRows. Statements are whole SQL texts in GBK
// bytes, built by word_bank.h.
//
// The lookup workers' stores go through a write group (WriteInGroup): while
// more stores are announced (one per queued lookup, ExpectGroupWrite), they
// gather in one transaction, committed when the last announced store is done
// or by a committer thread kWriteGroupWindow after the group began, and
// before a batch begins or the connection closes. Committing waits for the
// disk; a commit per store would hold the lookups to the disk's sync rate,
// a group costs one. A store with none announced after it commits at once.
// The file keeps its rollback journal: other programs read it as before and
// see a group's rows once it is committed. A crash loses at most the group
// not yet committed.
//
// Threads: Execute, ExecuteCountingChanges, WriteInGroup, CommitWriteGroup
// and the batch calls may be called from any thread. QueryRows,
// LoadTable, Open and Close belong to the thread that owns the object (the
// window thread).
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/message_boxes.h"

namespace quorvo {

// One result row handed to a RowSink: the texts of its columns.
class RowView {
 public:
  RowView(sqlite3_stmt* stmt, int columns) : stmt_(stmt), columns_(columns) {}
  int ColumnCount() const { return columns_; }
  // The column's text, or nullptr for NULL (and for an index out of range).
  const char* Text(int column) const;

 private:
  sqlite3_stmt* stmt_;
  int columns_;
};

// Receives row number n (1, 2, ...) and the row.
using RowSink = std::function<void(int rowNumber, const RowView& row)>;

// The result of LoadTable: (rows + 1) x columns cell texts; row 0 holds the
// column names. Owns the library's table and frees it.
class TableSnapshot {
 public:
  TableSnapshot() = default;
  ~TableSnapshot() { Reset(); }
  TableSnapshot(TableSnapshot&& other) noexcept { *this = std::move(other); }
  TableSnapshot& operator=(TableSnapshot&& other) noexcept;
  TableSnapshot(const TableSnapshot&) = delete;
  TableSnapshot& operator=(const TableSnapshot&) = delete;

  bool Valid() const { return cells_ != nullptr; }
  int Rows() const { return rows_; }
  int Columns() const { return columns_; }
  // Cell at position row * columns + column; nullptr for NULL or out of range.
  const char* Cell(int index) const;
  void Reset();

 private:
  friend class WordDatabase;
  char** cells_ = nullptr;
  int rows_ = 0;
  int columns_ = 0;
};

class WordDatabase {
 public:
  // How long a write group gathers stores before it is committed.
  static constexpr std::chrono::milliseconds kWriteGroupWindow{250};

  // boxes shows "语法错误，请检查" when a query cannot be prepared; may be null.
  explicit WordDatabase(MessageBoxes* boxes = nullptr);
  ~WordDatabase();
  WordDatabase(const WordDatabase&) = delete;
  WordDatabase& operator=(const WordDatabase&) = delete;

  // Opens (and creates when missing) the file; false leaves no connection.
  bool Open(const std::string& fileName);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }

  // Runs every statement of the text; the library's result code.
  int Execute(const std::string& sql);
  // Runs a table creation and prints its diagnostic line; 0 or -1.
  int ExecuteLogged(const std::string& sql);
  // Runs sql and reads the count of rows it changed, with no other thread's
  // statement in between. Returns the result code; *changes gets the count.
  int ExecuteCountingChanges(const std::string& sql, int* changes);
  // A batch is a transaction of its own: an open write group is committed
  // first, and when that commit fails (another program holding the file)
  // the batch is refused (false) and nothing begins, so the batch can
  // neither join the group nor throw its stores away. While the batch is
  // open, the write group's stores of other threads wait for it to end
  // instead of joining it.
  bool BeginBatch();
  // Commits the batch; false when it could not be committed. A commit that
  // cannot finish even when tried twice (another program holding the file)
  // gives the batch up rather than leave the connection inside a
  // transaction that later statements would join.
  bool CommitBatch();
  // How long a statement waits for another program's lock (2000 ms unless
  // set; tests make it short).
  void SetBusyTimeout(int ms);
  // Runs write (statements on this connection) as one step, with no other
  // thread's statement in between, inside the write group: begins the group
  // when none is open, or joins a batch that is. The group is committed at
  // once when no further write is announced (ExpectGroupWrite), else by the
  // committer thread at its deadline or by the last announced writer.
  void WriteInGroup(const std::function<void()>& write);
  // Commits the open write group now, if there is one.
  void CommitWriteGroup();
  // A writer announces a write to come (a queued lookup) and says when it
  // is done, written or not. When no announced write is left, the group is
  // committed at once instead of at its deadline, so that a finished run of
  // lookups is in the file when its last lookup ends.
  void ExpectGroupWrite() { expectedWrites_.fetch_add(1); }
  void GroupWriteDone() {
    if (expectedWrites_.fetch_sub(1) == 1) CommitWriteGroup();
  }
  // True while a write group is open (for tests).
  bool WriteGroupOpen();
  // How long later groups may gather before the committer ends them (tests
  // make it long, to see a group open, or short).
  void SetWriteGroupWindow(std::chrono::milliseconds window);
  // Runs the first statement of sql and hands each row to sink; the number of
  // rows delivered. A statement that cannot be prepared shows "语法错误，请检查".
  int QueryRows(const std::string& sql, const RowSink& sink);
  // sqlite3_get_table into *snapshot (released first); the result code.
  int LoadTable(const std::string& sql, TableSnapshot* snapshot);

  sqlite3* handle() const { return db_; }

 private:
  // Callers hold the connection's mutex.
  void CommitWriteGroupLocked();
  void CommitterLoop();
  void StopCommitter();

  MessageBoxes* boxes_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* slot_ = nullptr;

  std::atomic<int> expectedWrites_{0};
  // The thread whose batch is open, if any: other threads' group writes
  // wait on batchEnded_ until it ends. Guarded by batchMutex_; set and
  // cleared while holding the connection's mutex as well.
  std::mutex batchMutex_;
  std::condition_variable batchEnded_;
  std::optional<std::thread::id> batchOwner_;
  // Whether the open transaction is the write group's; guarded by the
  // connection's mutex (sqlite3_db_mutex).
  bool groupOpen_ = false;

  // The committer thread waits for a group's deadline. Lock order: the
  // connection's mutex before committerMutex_.
  std::mutex committerMutex_;
  std::condition_variable committerWake_;
  std::optional<std::chrono::steady_clock::time_point> groupDeadline_;  // guarded by committerMutex_
  bool committerStop_ = false;                                          // guarded by committerMutex_
  std::chrono::milliseconds groupWindow_ = kWriteGroupWindow;           // guarded by committerMutex_
  std::thread committer_;  // started by the first WriteInGroup, joined by Close
};

}  // namespace quorvo
