#include "wordstore/word_database.h"

#include <cstdio>
#include <system_error>
#include <utility>

#include "base/code_page.h"
#include "wordstore/texts.h"

namespace quorvo {

const char* RowView::Text(int column) const {
  if (column < 0 || column >= columns_) return nullptr;
  return reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
}

TableSnapshot& TableSnapshot::operator=(TableSnapshot&& other) noexcept {
  if (this != &other) {
    Reset();
    cells_ = std::exchange(other.cells_, nullptr);
    rows_ = std::exchange(other.rows_, 0);
    columns_ = std::exchange(other.columns_, 0);
  }
  return *this;
}

const char* TableSnapshot::Cell(int index) const {
  if (!cells_ || index < 0 || index >= (rows_ + 1) * columns_) return nullptr;
  return cells_[index];
}

void TableSnapshot::Reset() {
  if (cells_) sqlite3_free_table(cells_);
  cells_ = nullptr;
  rows_ = 0;
  columns_ = 0;
}

WordDatabase::WordDatabase(MessageBoxes* boxes) : boxes_(boxes) {}

WordDatabase::~WordDatabase() { Close(); }

bool WordDatabase::Open(const std::string& fileName) {
  Close();
  if (!sqlite3_threadsafe()) {
    // The lookup workers share this connection; without the library's
    // serialized mode that would corrupt memory, so refuse outright.
    std::fputs("sqlite was built without thread safety; cannot open the word database\n", stderr);
    return false;
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(fileName.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  // Another program holding the file briefly should not fail a statement.
  sqlite3_busy_timeout(db, 2000);
  db_ = db;
  return true;
}

void WordDatabase::Close() {
  StopCommitter();
  if (db_) {
    sqlite3_mutex_enter(sqlite3_db_mutex(db_));
    CommitWriteGroupLocked();
    sqlite3_mutex_leave(sqlite3_db_mutex(db_));
  }
  if (slot_) {
    sqlite3_finalize(slot_);
    slot_ = nullptr;
  }
  if (db_) {
    sqlite3_close(db_);
    db_ = nullptr;
  }
}

int WordDatabase::Execute(const std::string& sql) {
  if (!db_) return SQLITE_MISUSE;
  return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
}

int WordDatabase::ExecuteLogged(const std::string& sql) {
  int rc = SQLITE_MISUSE;
  if (db_) {
    char* error = nullptr;
    rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
    sqlite3_free(error);
  }
  std::printf("%s\n", rc == SQLITE_OK ? texts::kCreatedTable : texts::kCreateTableFailed);
  std::fflush(stdout);
  return rc == SQLITE_OK ? 0 : -1;
}

int WordDatabase::ExecuteCountingChanges(const std::string& sql, int* changes) {
  *changes = 0;
  if (!db_) return SQLITE_MISUSE;
  // The connection's own (recursive) mutex keeps every other thread's
  // statement out between the statement and the reading of its count.
  sqlite3_mutex* mutex = sqlite3_db_mutex(db_);
  sqlite3_mutex_enter(mutex);
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  *changes = rc == SQLITE_OK ? sqlite3_changes(db_) : 0;
  sqlite3_mutex_leave(mutex);
  return rc;
}

bool WordDatabase::BeginBatch() {
  if (!db_) return false;
  // Held across both steps, so no store can open a new group in between.
  sqlite3_mutex* mutex = sqlite3_db_mutex(db_);
  sqlite3_mutex_enter(mutex);
  CommitWriteGroupLocked();
  // The group's commit failed (or some other transaction is open): a batch
  // begun now would join it, and its rollback would take the group along.
  bool begun = sqlite3_get_autocommit(db_) && Execute("begin transaction;") == SQLITE_OK;
  if (begun) {
    std::lock_guard lock(batchMutex_);
    batchOwner_ = std::this_thread::get_id();
  }
  sqlite3_mutex_leave(mutex);
  return begun;
}

bool WordDatabase::CommitBatch() {
  if (!db_) return false;
  sqlite3_mutex* mutex = sqlite3_db_mutex(db_);
  sqlite3_mutex_enter(mutex);
  bool committed = Execute("commit transaction;") == SQLITE_OK;
  if (!committed && !sqlite3_get_autocommit(db_)) {
    // The commit could not finish (another program kept reading the file
    // past the busy wait) and the transaction is still open. Left so, every
    // later statement on this connection would join it and be lost when the
    // connection closes. Try once more, then give the batch up so that the
    // connection writes straight to the file again.
    committed = Execute("commit transaction;") == SQLITE_OK;
    if (!committed && !sqlite3_get_autocommit(db_)) Execute("rollback transaction;");
  }
  {
    std::lock_guard lock(batchMutex_);
    batchOwner_.reset();
  }
  sqlite3_mutex_leave(mutex);
  batchEnded_.notify_all();
  return committed;
}

void WordDatabase::SetBusyTimeout(int ms) {
  if (db_) sqlite3_busy_timeout(db_, ms);
}

void WordDatabase::WriteInGroup(const std::function<void()>& write) {
  if (!db_) return;
  sqlite3_mutex* mutex = sqlite3_db_mutex(db_);
  for (;;) {
    sqlite3_mutex_enter(mutex);
    std::unique_lock lock(batchMutex_);
    if (!batchOwner_ || *batchOwner_ == std::this_thread::get_id()) break;
    // Another thread's batch is open: wait for it to end (without the
    // connection, which the batch needs) rather than join it.
    sqlite3_mutex_leave(mutex);
    batchEnded_.wait(lock, [this] { return !batchOwner_; });
  }
  // A group that something else ended (a failed commit rolled back, say).
  if (groupOpen_ && sqlite3_get_autocommit(db_)) groupOpen_ = false;
  // With a batch open, the write joins it; otherwise it goes into a group.
  if (!groupOpen_ && sqlite3_get_autocommit(db_) &&
      sqlite3_exec(db_, "begin transaction;", nullptr, nullptr, nullptr) == SQLITE_OK) {
    groupOpen_ = true;
    std::lock_guard lock(committerMutex_);
    groupDeadline_ = std::chrono::steady_clock::now() + groupWindow_;
    if (!committer_.joinable() && !committerStop_) {
      try {
        committer_ = std::thread([this] { CommitterLoop(); });
      } catch (const std::system_error&) {
        // No thread to commit later: this write commits its group itself.
      }
    }
    committerWake_.notify_one();
  }
  write();
  bool committerRuns;
  {
    std::lock_guard lock(committerMutex_);
    committerRuns = committer_.joinable();
  }
  // With no write announced to follow, waiting would gain nothing.
  if (!committerRuns || expectedWrites_.load() <= 0) CommitWriteGroupLocked();
  sqlite3_mutex_leave(mutex);
}

void WordDatabase::CommitWriteGroup() {
  if (!db_) return;
  sqlite3_mutex* mutex = sqlite3_db_mutex(db_);
  sqlite3_mutex_enter(mutex);
  CommitWriteGroupLocked();
  sqlite3_mutex_leave(mutex);
}

bool WordDatabase::WriteGroupOpen() {
  if (!db_) return false;
  sqlite3_mutex* mutex = sqlite3_db_mutex(db_);
  sqlite3_mutex_enter(mutex);
  bool open = groupOpen_ && !sqlite3_get_autocommit(db_);
  sqlite3_mutex_leave(mutex);
  return open;
}

void WordDatabase::SetWriteGroupWindow(std::chrono::milliseconds window) {
  std::lock_guard lock(committerMutex_);
  groupWindow_ = window;
}

void WordDatabase::CommitWriteGroupLocked() {
  if (!groupOpen_) return;
  sqlite3_exec(db_, "commit transaction;", nullptr, nullptr, nullptr);
  // A commit that could not finish (another program holding the file past
  // the busy time-out) leaves the group open for the next try.
  if (!sqlite3_get_autocommit(db_)) {
    std::lock_guard lock(committerMutex_);
    groupDeadline_ = std::chrono::steady_clock::now() + groupWindow_;
    return;
  }
  groupOpen_ = false;
  std::lock_guard lock(committerMutex_);
  groupDeadline_.reset();
}

void WordDatabase::CommitterLoop() {
  std::unique_lock lock(committerMutex_);
  while (!committerStop_) {
    if (!groupDeadline_) {
      committerWake_.wait(lock);
      continue;
    }
    if (committerWake_.wait_until(lock, *groupDeadline_) != std::cv_status::timeout) continue;
    if (!groupDeadline_ || std::chrono::steady_clock::now() < *groupDeadline_) continue;
    lock.unlock();  // the connection's mutex comes first
    CommitWriteGroup();
    lock.lock();
  }
}

void WordDatabase::StopCommitter() {
  std::thread committer;
  {
    std::lock_guard lock(committerMutex_);
    committerStop_ = true;
    committer.swap(committer_);
  }
  committerWake_.notify_all();
  if (committer.joinable()) committer.join();
  std::lock_guard lock(committerMutex_);
  committerStop_ = false;
}

int WordDatabase::QueryRows(const std::string& sql, const RowSink& sink) {
  if (slot_) {
    sqlite3_finalize(slot_);
    slot_ = nullptr;
  }
  if (!db_ || sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &slot_, nullptr) != SQLITE_OK ||
      !slot_) {
    if (slot_) {
      sqlite3_finalize(slot_);
      slot_ = nullptr;
    }
    if (boxes_) boxes_->Show(BoxKind::Plain, Gbk(texts::kSyntaxError));
    return 0;
  }
  int rows = 0;
  int rc = sqlite3_step(slot_);
  int columns = sqlite3_column_count(slot_);
  while (rc == SQLITE_ROW) {
    ++rows;
    if (sink) sink(rows, RowView(slot_, columns));
    rc = sqlite3_step(slot_);
  }
  sqlite3_reset(slot_);
  return rows;
}

int WordDatabase::LoadTable(const std::string& sql, TableSnapshot* snapshot) {
  snapshot->Reset();
  if (!db_) return SQLITE_MISUSE;
  char** cells = nullptr;
  int rows = 0;
  int columns = 0;
  int rc = sqlite3_get_table(db_, sql.c_str(), &cells, &rows, &columns, nullptr);
  if (rc != SQLITE_OK) {
    if (cells) sqlite3_free_table(cells);
    return rc;
  }
  snapshot->cells_ = cells;
  snapshot->rows_ = rows;
  snapshot->columns_ = columns;
  return rc;
}

}  // namespace quorvo
