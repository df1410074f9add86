// Helpers for tests that need a real word database of the fixed layout.
#pragma once

#include <string>
#include <vector>

#include "wordstore/word_database.h"

namespace quorvo::testing {

struct StoredWord {
  std::string value;
  std::string trans;  // as stored (GBK)
  std::string known;
  std::string hot;
  std::string phonetic;  // as stored; empty also for NULL
};

// Creates the banks (from the fixed layout) in an open database.
void CreateBanks(WordDatabase& db, const std::vector<std::string>& banks);
// Inserts a row directly; translation given in UTF-8 and stored as GBK.
void PutWord(WordDatabase& db, const std::string& bank, const std::string& word, const std::string& transUtf8, int hot,
             int known = 0);
// Every row of the bank ordered by value, read with a second connection so
// the test sees what is committed in the file.
std::vector<StoredWord> ReadBank(const std::string& dbPath, const std::string& bank);
// Names of every table of the file.
std::vector<std::string> TableNames(const std::string& dbPath);
// Every row of every table, in table and row order, as text: two files with
// the same dump hold the same data. Opened read-write, so that a journal a
// failed write left behind is rolled back first, as any reader would.
std::string DumpFile(const std::string& dbPath);

}  // namespace quorvo::testing
