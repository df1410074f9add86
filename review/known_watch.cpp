#if defined(QUORVO_HAVE_PREUPDATE_HOOK) && !defined(SQLITE_ENABLE_PREUPDATE_HOOK)
#define SQLITE_ENABLE_PREUPDATE_HOOK 1  // declares the hook's functions
#endif
#include "review/known_watch.h"

#include <cstring>
#include <utility>

#include "wordstore/word_bank.h"

namespace quorvo {

namespace {

#ifdef QUORVO_HAVE_PREUPDATE_HOOK
// The flag as "cast(known as text) = '0'" reads it, without converting the
// hook's value in place.
bool WasNotKnown(sqlite3_value* known) {
  switch (sqlite3_value_type(known)) {
    case SQLITE_INTEGER:
      return sqlite3_value_int64(known) == 0;
    case SQLITE_TEXT:
      return sqlite3_value_bytes(known) == 1 && sqlite3_value_text(known)[0] == '0';
    case SQLITE_BLOB:
      return sqlite3_value_bytes(known) == 1 && static_cast<const char*>(sqlite3_value_blob(known))[0] == '0';
    default:
      return false;  // NULL, and a real, which reads "0.0"
  }
}

void OnPreupdate(void* watch, sqlite3*, int op, const char* database, const char* table, sqlite3_int64, sqlite3_int64) {
  static_cast<KnownWatch*>(watch)->Saw(op, database, table);
}
#endif

}  // namespace

KnownWatch::KnownWatch(sqlite3* db, std::string bank) : db_(db), bank_(std::move(bank)) {
#ifdef QUORVO_HAVE_PREUPDATE_HOOK
  if (!db_) return;
  // The columns by name: a bank made by another program may order them
  // differently.
  sqlite3_stmt* columns = nullptr;
  std::string sql = "pragma main.table_info(" + BankIdentifier(bank_) + ")";
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &columns, nullptr) == SQLITE_OK) {
    while (sqlite3_step(columns) == SQLITE_ROW) {
      const char* name = reinterpret_cast<const char*>(sqlite3_column_text(columns, 1));
      if (!name) continue;
      if (sqlite3_stricmp(name, "value") == 0) valueColumn_ = sqlite3_column_int(columns, 0);
      if (sqlite3_stricmp(name, "known") == 0) knownColumn_ = sqlite3_column_int(columns, 0);
    }
  }
  sqlite3_finalize(columns);
  if (valueColumn_ < 0 || knownColumn_ < 0) return;
  sqlite3_preupdate_hook(db_, OnPreupdate, this);
  active_ = true;
#endif
}

KnownWatch::~KnownWatch() {
#ifdef QUORVO_HAVE_PREUPDATE_HOOK
  if (active_) sqlite3_preupdate_hook(db_, nullptr, nullptr);
#endif
}

void KnownWatch::Saw(int op, const char* database, const char* table) {
#ifdef QUORVO_HAVE_PREUPDATE_HOOK
  if (op != SQLITE_UPDATE || !table || !database || std::strcmp(database, "main") != 0 ||
      sqlite3_stricmp(table, bank_.c_str()) != 0)
    return;
  sqlite3_value* known = nullptr;
  sqlite3_value* value = nullptr;
  if (sqlite3_preupdate_old(db_, knownColumn_, &known) != SQLITE_OK ||
      sqlite3_preupdate_old(db_, valueColumn_, &value) != SQLITE_OK || !known || !value)
    return;
  if (!WasNotKnown(known)) return;
  int type = sqlite3_value_type(value);
  if (type != SQLITE_TEXT && type != SQLITE_BLOB) return;
  const void* word =
      type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(value)) : sqlite3_value_blob(value);
  size_t bytes = static_cast<size_t>(sqlite3_value_bytes(value));
  changed_.emplace_back(word ? static_cast<const char*>(word) : "", word ? bytes : 0);
#else
  (void)op;
  (void)database;
  (void)table;
#endif
}

}  // namespace quorvo
