// WordDatabase: the one access path to a word database file (dict_main.db).
//
// Holds one SQLite connection, opened in serialized mode so that the
// word-bank page and the four lookup workers may share it, and one reusable
// statement slot used by QueryRows. Statements are whole SQL texts in GBK
// bytes, built by the bank statements of word_bank.h; values that are not
// part of such a text go through wordstore/sql.h's bound statements.
//
// Batches. BeginBatch opens a transaction of its own; the caller runs its
// statements and ends it with CommitBatch, or RollbackBatch when a
// statement failed: a batch is applied whole or not at all. Batch (below)
// does both ends for a scope.
//
// The lookup workers' stores go through a write group (WriteInGroup): while
// more stores are announced (one per queued lookup, ExpectGroupWrite), they
// gather in one transaction, committed when the last announced store is done
// or by a committer thread kWriteGroupWindow after the group began, and
// before a batch begins or the connection closes. Committing waits for the
// disk; a commit per store would hold the lookups to the disk's sync rate,
// a group costs one. A store with none announced after it commits at once.
// Every write of a group is told how its group ended (settled): committed,
// or lost with the reason (a full disk, say), so that nothing is counted as
// stored before it is in the file. A group whose commit meets a file held by
// another program stays open and is tried again. The statements of the
// open group are kept, so that a group that still cannot be written when
// quorvo ends can be saved elsewhere and written at the next start
// (AbandonWriteGroup). A crash loses at most the group not yet committed.
//
// Threads: Execute, Run, ExecuteCountingChanges, WriteInGroup,
// CommitWriteGroup, AbandonWriteGroup and the batch calls may be called
// from any thread. QueryRows, LoadTable, Open and Close belong to the thread
// that owns the object (the window thread). Settle calls run on whichever
// thread ends the group, with the connection's mutex held: they must be
// short and must not wait for another thread that uses the connection.
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
#include <vector>

#include "base/message_boxes.h"
#include "base/status.h"

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

// How a write of the write group ended: Ok once its group is committed,
// otherwise why it was lost.
using GroupSettled = std::function<void(const Status& outcome)>;

class WordDatabase {
 public:
  // How long a write group gathers stores before it is committed.
  static constexpr std::chrono::milliseconds kWriteGroupWindow{250};
  // How long a group whose commit met a held file waits before it tries again.
  static constexpr std::chrono::milliseconds kHeldGroupRetry{2000};
  // How long a statement waits for another program's lock unless set.
  static constexpr int kDefaultBusyTimeoutMs = 2000;

  // boxes shows "语法错误，请检查" when a query cannot be prepared; may be null.
  explicit WordDatabase(MessageBoxes* boxes = nullptr);
  ~WordDatabase();
  WordDatabase(const WordDatabase&) = delete;
  WordDatabase& operator=(const WordDatabase&) = delete;

  // Opens (and creates when missing) the file; false leaves no connection.
  bool Open(const std::string& fileName);
  // Opens an existing file for reading only (a file the learner may not
  // write); nothing is created.
  bool OpenReadOnly(const std::string& fileName);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }
  // True when the connection was opened for reading only.
  bool ReadOnly() const { return readOnly_; }

  // Runs every statement of the text; the library's result code.
  int Execute(const std::string& sql);
  // The same, told as a Status.
  Status Run(const std::string& sql);
  // Runs a table creation and reports its diagnostic line; 0 or -1.
  int ExecuteLogged(const std::string& sql);
  // Runs sql and reads the count of rows it changed, with no other thread's
  // statement in between.
  Status ExecuteCountingChanges(const std::string& sql, int* changes);

  // A batch is a transaction of its own: an open write group is committed
  // first, and when that commit fails the batch is refused and nothing
  // begins, so the batch can neither join the group nor throw its stores
  // away. While the batch is open, the write group's stores of other
  // threads wait for it to end instead of joining it.
  Status BeginBatch();
  // Commits the batch. A commit that fails gives the batch up (rolls it
  // back) rather than leave the connection inside a transaction that later
  // statements would join.
  Status CommitBatch();
  // Gives the open batch up: none of its statements stay.
  void RollbackBatch();
  // A batch for a scope: begun by the constructor, rolled back by the
  // destructor unless Commit() went through.
  class Batch {
   public:
    explicit Batch(WordDatabase& db) : db_(db), began_(db.BeginBatch()) {}
    ~Batch() {
      if (began_.ok() && !ended_) db_.RollbackBatch();
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    const Status& began() const { return began_; }
    Status Commit() {
      ended_ = true;
      return began_.ok() ? db_.CommitBatch() : began_;
    }

   private:
    WordDatabase& db_;
    Status began_;
    bool ended_ = false;
  };

  // How long a statement waits for another program's lock (tests make it
  // short).
  void SetBusyTimeout(int ms);
  int BusyTimeout() const { return busyTimeoutMs_; }

  // Runs write (statements on this connection) as one step, with no other
  // thread's statement in between, inside the write group: begins the group
  // when none is open, or joins a batch that is. The group is committed at
  // once when no further write is announced (ExpectGroupWrite), else by the
  // committer thread at its deadline or by the last announced writer.
  // Returns write's own status. When it went through, settled (may be
  // empty) is told later how the group ended for it; when it failed,
  // settled is never called. The statements write ran (through Execute, Run
  // or ExecuteCountingChanges on this thread) are kept with the group until
  // it ends.
  Status WriteInGroup(const std::function<Status()>& write, GroupSettled settled = {});
  // Commits the open write group now, if there is one; Ok when nothing is
  // left open.
  Status CommitWriteGroup();
  // Gives the open write group up after a last commit has failed: rolls it
  // back, settles its writes with outcome, and returns the statements its
  // writes ran, in order, to be saved and run again later.
  std::vector<std::string> AbandonWriteGroup(const Status& outcome);
  // A writer announces a write to come (a queued lookup) and says when it
  // is done, written or not. When no announced write is left, the group is
  // committed at once instead of at its deadline, so that a finished run of
  // lookups is in the file when its last lookup ends.
  void ExpectGroupWrite() { expectedWrites_.fetch_add(1); }
  void GroupWriteDone() {
    if (expectedWrites_.fetch_sub(1) == 1) CommitWriteGroup().IgnoreError();
  }
  // True while a write group is open (for tests and for the end of quorvo).
  bool WriteGroupOpen();
  // How long later groups may gather before the committer ends them (tests
  // make it long, to see a group open, or short).
  void SetWriteGroupWindow(std::chrono::milliseconds window);

  // Runs the first statement of sql and hands each row to sink; the number of
  // rows delivered. A statement the file rejects (a missing bank, a text
  // that is no statement) shows "语法错误，请检查"; a file that cannot be
  // read now shows nothing here.
  // readStatus, when given, tells whether every row could be read: a read
  // that fails part-way (a file held by another program, a damaged page)
  // ends the rows early and is not an empty bank.
  int QueryRows(const std::string& sql, const RowSink& sink, Status* readStatus = nullptr);
  // sqlite3_get_table into *snapshot (released first); the result code.
  int LoadTable(const std::string& sql, TableSnapshot* snapshot);

  sqlite3* handle() const { return db_; }

 private:
  bool OpenWith(const std::string& fileName, int flags);
  // Callers hold the connection's mutex.
  Status CommitWriteGroupLocked();
  void SettleGroupLocked(const Status& outcome);
  void NoteStatement(const std::string& sql);
  void CommitterLoop();
  void StopCommitter();

  MessageBoxes* boxes_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* slot_ = nullptr;
  bool readOnly_ = false;
  int busyTimeoutMs_ = kDefaultBusyTimeoutMs;

  std::atomic<int> expectedWrites_{0};
  // The thread whose batch is open, if any: other threads' group writes
  // wait on batchEnded_ until it ends. Guarded by batchMutex_; set and
  // cleared while holding the connection's mutex as well.
  std::mutex batchMutex_;
  std::condition_variable batchEnded_;
  std::optional<std::thread::id> batchOwner_;
  // Guarded by the connection's mutex (sqlite3_db_mutex): whether the open
  // transaction is the write group's, the settle calls of its writes (and
  // of writes that joined the open batch), the statements its writes ran,
  // and the thread whose write is recording statements.
  bool groupOpen_ = false;
  std::vector<GroupSettled> pendingSettles_;
  std::vector<std::string> groupStatements_;
  std::optional<std::thread::id> recordingThread_;

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
