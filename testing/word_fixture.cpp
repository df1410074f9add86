#include "testing/word_fixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "base/code_page.h"
#include "wordstore/word_bank.h"

namespace quorvo::testing {

void CreateBanks(WordDatabase& db, const std::vector<std::string>& banks) {
  for (const auto& bank : banks) ASSERT_EQ(SQLITE_OK, db.Execute(CreateBankStatement(bank))) << bank;
}

void PutWord(WordDatabase& db, const std::string& bank, const std::string& word, const std::string& transUtf8, int hot,
             int known) {
  std::string sql = "insert into " + BankIdentifier(bank) + " (value, trans, hot, known) values('" + SqlText(word) +
                    "', '" + SqlText(Gbk(transUtf8)) + "', " + std::to_string(hot) + ", " + std::to_string(known) + ")";
  ASSERT_EQ(SQLITE_OK, db.Execute(sql)) << sql;
}

std::vector<StoredWord> ReadBank(const std::string& dbPath, const std::string& bank) {
  std::vector<StoredWord> rows;
  WordDatabase db;
  if (!db.Open(dbPath)) return rows;
  db.QueryRows("select value, trans, known, hot, phonetic from " + BankIdentifier(bank) + " order by value",
               [&](int, const RowView& row) {
                 auto text = [&](int i) { return std::string(row.Text(i) ? row.Text(i) : ""); };
                 rows.push_back({text(0), text(1), text(2), text(3), text(4)});
               });
  return rows;
}

std::vector<std::string> TableNames(const std::string& dbPath) {
  std::vector<std::string> names;
  WordDatabase db;
  if (!db.Open(dbPath)) return names;
  db.QueryRows("select name from sqlite_master where type = 'table' order by name",
               [&](int, const RowView& row) { names.emplace_back(row.Text(0) ? row.Text(0) : ""); });
  return names;
}

std::string DumpFile(const std::string& dbPath) {
  std::string dump;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return "(cannot open)";
  }
  std::vector<std::string> tables;
  sqlite3_stmt* list = nullptr;
  if (sqlite3_prepare_v2(db, "select name from sqlite_master where type = 'table' order by name", -1, &list, nullptr) ==
      SQLITE_OK) {
    while (sqlite3_step(list) == SQLITE_ROW)
      tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list, 0)));
  }
  sqlite3_finalize(list);
  for (const auto& table : tables) {
    dump += "[" + table + "]\n";
    sqlite3_stmt* rows = nullptr;
    std::string sql = "select * from \"" + table + "\" order by rowid";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &rows, nullptr) != SQLITE_OK) {
      sqlite3_finalize(rows);
      sql = "select * from \"" + table + "\"";
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &rows, nullptr) != SQLITE_OK) dump += "(unreadable)\n";
    }
    while (rows && sqlite3_step(rows) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(rows); ++c) {
        const unsigned char* text = sqlite3_column_text(rows, c);
        dump += c ? "|" : "";
        dump += text ? reinterpret_cast<const char*>(text) : "NULL";
      }
      dump += "\n";
    }
    sqlite3_finalize(rows);
  }
  sqlite3_close(db);
  return dump;
}

}  // namespace quorvo::testing
