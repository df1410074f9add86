// WordDatabase: the one access path to a word database file (dict_main.db).
//
// Holds one SQLite connection, opened in serialized mode so that the
// word-bank page and the four lookup workers may share it, and one reusable
// statement slot used by QueryRows. Statements are whole SQL texts in GBK
// bytes, built by word_bank_statements.h.
//
// Threads: Execute, ExecuteCountingChanges, ChangedRows and the batch calls
// may be called from any thread. QueryRows, LoadTable, Open and Close belong
// to the thread that owns the object (the window thread).
#pragma once

#include <sqlite3.h>

#include <functional>
#include <string>

#include "message_boxes.h"

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
  // boxes shows "语法错误，请检查" when a query cannot be prepared; may be null.
  explicit WordDatabase(MessageBoxes* boxes = nullptr);
  ~WordDatabase();
  WordDatabase(const WordDatabase&) = delete;
  WordDatabase& operator=(const WordDatabase&) = delete;

  void SetMessageBoxes(MessageBoxes* boxes) { boxes_ = boxes; }

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
  void BeginBatch();
  // Commits the batch. A commit that cannot finish even when tried twice
  // (another program holding the file) gives the batch up rather than leave
  // the connection inside a transaction that later statements would join.
  void CommitBatch();
  // Runs the first statement of sql and hands each row to sink; the number of
  // rows delivered. A statement that cannot be prepared shows "语法错误，请检查".
  int QueryRows(const std::string& sql, const RowSink& sink);
  // sqlite3_get_table into *snapshot (released first); the result code.
  int LoadTable(const std::string& sql, TableSnapshot* snapshot);
  int ChangedRows();

  sqlite3* handle() const { return db_; }

 private:
  MessageBoxes* boxes_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* slot_ = nullptr;
};

}  // namespace quorvo
