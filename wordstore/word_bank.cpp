#include "wordstore/word_bank.h"

#include <sqlite3.h>

#include <climits>

#include "base/code_page.h"
#include "wordstore/texts.h"

namespace quorvo {
namespace {

bool IsPlainIdentifier(std::string_view name) {
  if (name.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(name[0])) return false;
  for (char c : name)
    if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
  // A keyword (a bank called "order", say) only works quoted.
  return !sqlite3_keyword_check(name.data(), static_cast<int>(name.size()));
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A hot bound as it goes into the search: as typed when it is all digits
// (so "05" stays "05"), otherwise its leading-digit value.
std::string HotBound(std::string_view text, int value) {
  return AllDigits(text) ? std::string(text) : std::to_string(value);
}

// Cells go into the recitation list whole, up to 1023 bytes.
constexpr size_t kMaxCellBytes = 1023;

}  // namespace

std::string BankIdentifier(std::string_view name) {
  if (IsPlainIdentifier(name)) return std::string(name);
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string SqlText(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  for (char c : value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out;
}

int LeadingDigitsValue(std::string_view text) {
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(value);
}

std::string CreateBankStatement(std::string_view bank) {
  // The double blanks belong to the layout's text.
  return "CREATE TABLE " + BankIdentifier(bank) +
         " (id INTEGER  PRIMARY KEY NOT NULL, value VARCHAR(56)  UNIQUE NULL, phonetic VARCHAR(28)  NULL, "
         "trans  VARCHAR(1024)  NULL, sentence_id INTEGER  NULL, known BOOLEAN DEFAULT '0' NULL, hot "
         "INTEGER  NULL)";
}

std::string ListBanksStatement() {
  return "select * from sqlite_master WHERE type = 'table' and name != 'main_remember'";
}

std::string SelectAllStatement(std::string_view bank) { return "select * from " + BankIdentifier(bank); }

std::string BuildSearchStatement(std::string_view bank, const WordFilter& filter) {
  std::string sql =
      "select * from " + BankIdentifier(bank) + " where value like '%" + SqlText(filter.searchText) + "%'";
  if (filter.known == KnownFilter::Known) sql += " and known = 1 ";
  if (filter.known == KnownFilter::Unknown) sql += " and known = 0 ";
  if (int low = LeadingDigitsValue(filter.lowestHot); low > 0) sql += " and hot >= " + HotBound(filter.lowestHot, low);
  if (int high = LeadingDigitsValue(filter.highestHot); high > 0)
    sql += " and hot <= " + HotBound(filter.highestHot, high);
  if (filter.order == HotOrder::Descending) sql += " order by hot desc ";
  if (filter.order == HotOrder::Ascending) sql += " order by hot asc ";
  return sql;
}

std::string DeleteWordStatement(std::string_view bank, std::string_view word) {
  return "delete from " + BankIdentifier(bank) + " where value = '" + SqlText(word) + "'";
}

std::string DropBankStatement(std::string_view bank) { return "drop table " + BankIdentifier(bank); }

std::string SetHotStatement(std::string_view bank, int hot, std::string_view word) {
  return "update " + BankIdentifier(bank) + " set hot = " + std::to_string(hot) + " where value = '" + SqlText(word) +
         "'";
}

std::string MarkKnownStatement(std::string_view bank, std::string_view word) {
  return "update " + BankIdentifier(bank) + " set known = 1 where value = '" + SqlText(word) + "'";
}

std::string AddToRecitationStatement(const RecitationCells& cells) {
  std::string sql = "insert into main_remember (value, phonetic, trans, sentence_id, known, hot) values('";
  for (size_t i = 0; i < cells.size(); ++i) {
    std::string cell = TruncateGbk(cells[i], kMaxCellBytes);
    if (i == kColKnown - 1) {
      // assign(1, c) rather than = "1": GCC 12 warns falsely (-Wrestrict)
      // about assigning a short literal here.
      if (cell == Gbk(texts::kKnownShown))
        cell.assign(1, '1');
      else if (cell == Gbk(texts::kUnknownShown))
        cell.assign(1, '0');
    }
    sql += SqlText(cell);
    sql += i + 1 < cells.size() ? "', '" : "')";
  }
  return sql;
}

std::string UpdateTranslationStatement(std::string_view bank, std::string_view translation, std::string_view word) {
  return "update " + BankIdentifier(bank) + " set trans='" + SqlText(translation) + "' where value='" + SqlText(word) +
         "'";
}

std::string InsertTranslationStatement(std::string_view bank, std::string_view word, std::string_view translation,
                                       int hot) {
  return "insert into " + BankIdentifier(bank) + " (value, trans, hot) values('" + SqlText(word) + "', '" +
         SqlText(translation) + "', " + std::to_string(hot) + ")";
}

std::string UpdateMissingTranslationStatement(std::string_view bank, std::string_view translation,
                                              std::string_view word, std::string_view placeholder) {
  return UpdateTranslationStatement(bank, translation, word) + " and (trans is null or trans = '' or trans = '" +
         SqlText(placeholder) + "')";
}

std::string WordsWithTranslationStatement(std::string_view bank, std::string_view translation) {
  return "select value from " + BankIdentifier(bank) + " where trans = '" + SqlText(translation) + "' order by id";
}

std::unordered_set<std::string> KnownWords(WordDatabase& db) {
  std::unordered_set<std::string> known;
  TableSnapshot tables;
  if (db.LoadTable("select name from sqlite_master where type = 'table'", &tables) != SQLITE_OK) return known;
  for (int t = 1; t <= tables.Rows(); ++t) {
    const char* name = tables.Cell(t * tables.Columns());
    if (!name) continue;
    TableSnapshot words;
    if (db.LoadTable("select value from " + BankIdentifier(name) + " where known = 1", &words) != SQLITE_OK) continue;
    for (int row = 1; row <= words.Rows(); ++row)
      if (const char* word = words.Cell(row * words.Columns())) known.emplace(word);
  }
  return known;
}

int CountWords(WordDatabase& db, std::string_view bank) {
  TableSnapshot table;
  if (db.LoadTable("select count(*) from " + BankIdentifier(bank), &table) != SQLITE_OK || table.Rows() < 1) return -1;
  const char* count = table.Cell(table.Columns());
  return count ? LeadingDigitsValue(count) : -1;
}

std::vector<std::string> WordsWithTranslation(WordDatabase& db, std::string_view bank, std::string_view translation) {
  std::vector<std::string> words;
  TableSnapshot table;
  if (db.LoadTable(WordsWithTranslationStatement(bank, translation), &table) != SQLITE_OK) return words;
  for (int row = 1; row <= table.Rows(); ++row) {
    const char* word = table.Cell(row * table.Columns());
    if (word && *word) words.emplace_back(word);
  }
  return words;
}

std::string UpdatePhoneticStatement(std::string_view bank, std::string_view phonetic, std::string_view word) {
  return "update " + BankIdentifier(bank) + " set phonetic='" + SqlText(phonetic) + "' where value='" + SqlText(word) +
         "'";
}

bool IsAcceptableBankName(std::string_view name) {
  if (name.size() > kMaxBankNameBytes) return false;
  for (char c : name)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return true;
  return false;
}

int CreateBank(WordDatabase& db, std::string_view bank, MessageBoxes& boxes) {
  if (!IsAcceptableBankName(bank)) {
    boxes.Show(BoxKind::Application, Gbk(texts::kBadBankName));
    return -1;
  }
  return db.ExecuteLogged(CreateBankStatement(bank));
}

bool IsReviewHistoryTable(std::string_view name) {
  for (const char* table : kReviewHistoryTables)
    if (name == table) return true;
  return false;
}

std::vector<std::string> ListBanks(WordDatabase& db) {
  std::vector<std::string> names;
  db.QueryRows(ListBanksStatement(), [&](int, const RowView& row) {
    const char* name = row.Text(1);
    if (!IsReviewHistoryTable(name ? name : "")) names.emplace_back(name ? name : "");
  });
  return names;
}

namespace {

bool BeginOrRefuse(WordDatabase& db, MessageBoxes& boxes) {
  if (db.BeginBatch()) return true;
  boxes.Show(BoxKind::Application, Gbk(texts::kBatchRefused));
  return false;
}

bool CommitOrReport(WordDatabase& db, MessageBoxes& boxes) {
  if (db.CommitBatch()) return true;
  boxes.Show(BoxKind::Application, Gbk(texts::kBatchCommitFailed));
  return false;
}

}  // namespace

bool DeleteWords(WordDatabase& db, std::string_view bank, const std::vector<std::string>& words, MessageBoxes& boxes) {
  if (!BeginOrRefuse(db, boxes)) return false;
  for (const auto& word : words) db.Execute(DeleteWordStatement(bank, word));
  if (!CommitOrReport(db, boxes)) return false;
  boxes.Show(BoxKind::Application, Gbk(texts::kUpdatedPleaseRefresh));
  return true;
}

bool DropBank(WordDatabase& db, std::string_view bank, std::string_view currentBank, MessageBoxes& boxes) {
  if (bank == currentBank) {
    boxes.Show(BoxKind::PlainOkCancel, Gbk(texts::kCannotDropBankInUse));
    return false;
  }
  if (bank.find(kMainWord) != std::string_view::npos) {
    boxes.Show(BoxKind::PlainOkCancel, Gbk(texts::kCannotDropMainWord));
    return false;
  }
  db.Execute(DropBankStatement(bank));
  boxes.Show(BoxKind::Application, Gbk(texts::kDropped));
  return true;
}

bool SetHot(WordDatabase& db, std::string_view bank, const std::vector<std::string>& words, std::string_view hotText,
            MessageBoxes& boxes) {
  int hot = LeadingDigitsValue(hotText);
  if (hot <= 0) {
    boxes.Show(BoxKind::PlainOkCancel, Gbk(texts::kEnterHotValue));
    return false;
  }
  if (!BeginOrRefuse(db, boxes)) return false;
  for (const auto& word : words) db.Execute(SetHotStatement(bank, hot, word));
  return CommitOrReport(db, boxes);
}

bool MarkKnown(WordDatabase& db, std::string_view bank, const std::vector<std::string>& words, MessageBoxes& boxes,
               const AroundUpdates& around) {
  if (!BeginOrRefuse(db, boxes)) return false;
  auto updates = [&] {
    for (const auto& word : words) db.Execute(MarkKnownStatement(bank, word));
  };
  if (around)
    around(updates);
  else
    updates();
  return CommitOrReport(db, boxes);
}

bool MarkKnown(WordDatabase& db, std::string_view bank, const std::vector<std::string>& words) {
  SilentBoxes silent;
  return MarkKnown(db, bank, words, silent);
}

bool AddToRecitationList(WordDatabase& db, const std::vector<RecitationCells>& rows, MessageBoxes& boxes,
                         const std::function<void()>& notifyChanged) {
  if (!BeginOrRefuse(db, boxes)) return false;
  for (const auto& cells : rows) {
    if (db.Execute(AddToRecitationStatement(cells)) != SQLITE_OK) {
      // The rows before it stay, as they always have.
      if (!CommitOrReport(db, boxes)) return false;
      boxes.Show(BoxKind::Application, Gbk(texts::kRecitationAddFailed));
      return false;
    }
  }
  if (!CommitOrReport(db, boxes)) return false;
  if (notifyChanged) notifyChanged();
  boxes.Show(BoxKind::Application, Gbk(texts::kRecitationAdded));
  return true;
}

}  // namespace quorvo
