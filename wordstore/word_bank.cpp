#include "wordstore/word_bank.h"

#include <sqlite3.h>

#include <climits>

#include "base/code_page.h"
#include "wordstore/sql.h"
#include "wordstore/texts.h"
#include "wordstore/word_sentences.h"

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
    if (db.LoadTable("select value from " + BankIdentifier(name) + " where known is null or cast(known as text) <> '0'",
                     &words) != SQLITE_OK)
      continue;
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

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Tables of the file's own: the review history and SQLite's.
bool IsOwnTable(std::string_view name) {
  return StartsIgnoringCase(name, "review_") || StartsIgnoringCase(name, "sqlite_") ||
         EqualsIgnoringCase(name, "known_log");
}

}  // namespace

BankNameProblem CheckBankName(std::string_view name) {
  bool blank = true;
  for (char c : name)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') blank = false;
  if (blank || name.size() > kMaxBankNameBytes) return BankNameProblem::kBlankOrLong;
  if (IsOwnTable(name)) return BankNameProblem::kReserved;
  return BankNameProblem::kNone;
}

bool IsAcceptableBankName(std::string_view name) { return CheckBankName(name) == BankNameProblem::kNone; }

std::string BankNameRefusal(BankNameProblem problem, std::string_view name) {
  if (problem == BankNameProblem::kReserved)
    return "“" + Utf8(name) + "”是词库文件自用的名字（review_ 和 sqlite_ 开头的名字、known_log），请换一个词库名";
  return texts::kBadBankName;
}

bool BankExists(WordDatabase& db, std::string_view name) {
  Statement s(db.handle(), "select 1 from sqlite_master where type = 'table' and name = ? collate nocase");
  s.Bind(1, name);
  Result<bool> row = s.Step();
  return row.ok() && *row;
}

Status CreateBank(WordDatabase& db, std::string_view bank, MessageBoxes& boxes) {
  BankNameProblem problem = CheckBankName(bank);
  if (problem != BankNameProblem::kNone) {
    boxes.Show(BoxKind::Application, Gbk(BankNameRefusal(problem, bank)));
    return Status(StatusCode::kRefused, "bank name refused");
  }
  WordDatabase::Batch batch(db);
  if (!batch.began().ok()) return batch.began();
  if (db.ExecuteLogged(CreateBankStatement(bank)) != 0) {
    // The table being there already is what usually fails; anything else
    // (a full disk, a read-only file) is told as it is.
    Status made = SqliteStatus(sqlite3_errcode(db.handle()), db.handle(), "create");
    return made.ok() ? Status(StatusCode::kRejected, "create") : made;
  }
  return batch.Commit();
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
    if (!IsReviewHistoryTable(name ? name : "") && !IsOwnTable(name ? name : "")) names.emplace_back(name ? name : "");
  });
  return names;
}

namespace {

// Runs body inside a batch of its own and commits it; the first failure
// (of the beginning, of a statement, of the commit) leaves nothing applied.
Status InBatch(WordDatabase& db, const std::function<Status()>& body) {
  WordDatabase::Batch batch(db);
  if (!batch.began().ok()) return batch.began();
  Status done = body();
  if (!done.ok()) return done;  // the batch rolls back as it goes
  return batch.Commit();
}

// One statement per word, stopping at the first that fails.
Status EachWord(WordDatabase& db, const std::vector<std::string>& words,
                const std::function<std::string(const std::string&)>& statement) {
  for (const auto& word : words) {
    Status ran = db.Run(statement(word));
    if (!ran.ok()) return ran;
  }
  return Status::Ok();
}

}  // namespace

Status DeleteWords(WordDatabase& db, std::string_view bank, const std::vector<std::string>& words,
                   MessageBoxes& boxes) {
  Status done = InBatch(
      db, [&] { return EachWord(db, words, [&](const std::string& w) { return DeleteWordStatement(bank, w); }); });
  if (done.ok()) boxes.Show(BoxKind::Application, Gbk(texts::kUpdatedPleaseRefresh));
  return done;
}

Status DropBank(WordDatabase& db, std::string_view bank, std::string_view currentBank, MessageBoxes& boxes) {
  // The refusals say why nothing happened; there is nothing to choose.
  if (bank == currentBank) {
    boxes.Show(BoxKind::Plain, Gbk(texts::kCannotDropBankInUse));
    return Status(StatusCode::kRefused, "bank in use");
  }
  if (bank.find(kMainWord) != std::string_view::npos) {
    boxes.Show(BoxKind::Plain, Gbk(texts::kCannotDropMainWord));
    return Status(StatusCode::kRefused, "main_word");
  }
  Status done = InBatch(db, [&] {
    Status dropped = db.Run(DropBankStatement(bank));
    return dropped.ok() ? DropBankSentences(db, bank) : dropped;
  });
  if (done.ok()) boxes.Show(BoxKind::Application, Gbk(texts::kDropped));
  return done;
}

Status SetHot(WordDatabase& db, std::string_view bank, const std::vector<std::string>& words, std::string_view hotText,
              MessageBoxes& boxes) {
  int hot = LeadingDigitsValue(hotText);
  if (hot <= 0) {
    boxes.Show(BoxKind::Plain, Gbk(texts::kEnterHotValue));
    return Status(StatusCode::kRefused, "no hot value");
  }
  return InBatch(
      db, [&] { return EachWord(db, words, [&](const std::string& w) { return SetHotStatement(bank, hot, w); }); });
}

Status MarkKnown(WordDatabase& db, std::string_view bank, const std::vector<std::string>& words,
                 const AroundUpdates& around) {
  return InBatch(db, [&] {
    auto updates = [&] {
      return EachWord(db, words, [&](const std::string& w) { return MarkKnownStatement(bank, w); });
    };
    return around ? around(updates) : updates();
  });
}

bool HasWord(WordDatabase& db, std::string_view bank, std::string_view word) {
  if (!db.IsOpen()) return false;
  Statement find(db.handle(), "select 1 from " + BankIdentifier(bank) + " where value = ?");
  if (!find.prepared().ok()) return false;
  find.Bind(1, word);
  Result<bool> row = find.Step();
  return row.ok() && *row;
}

Status AddToRecitationList(WordDatabase& db, const std::vector<RecitationCells>& rows, MessageBoxes& boxes,
                           const std::function<void()>& notifyChanged, std::string_view fromBank) {
  WordDatabase::Batch batch(db);
  if (!batch.began().ok()) return batch.began();
  for (const auto& cells : rows) {
    Status inserted = db.Run(AddToRecitationStatement(cells));
    if (inserted.ok() && !fromBank.empty()) inserted = CopySentences(db, fromBank, kMainRemember, cells[0]);
    if (inserted.ok()) continue;
    if (inserted.code() != StatusCode::kRejected) return inserted;  // nothing of the batch stays
    // The list refused the row (a word it has already, or no list at all):
    // the rows before it stay, as they always have.
    Status committed = batch.Commit();
    if (!committed.ok()) return committed;
    boxes.Show(BoxKind::Application, Gbk(texts::kRecitationAddFailed));
    return Status(StatusCode::kRefused, inserted.message());
  }
  Status committed = batch.Commit();
  if (!committed.ok()) return committed;
  if (notifyChanged) notifyChanged();
  boxes.Show(BoxKind::Application, Gbk(texts::kRecitationAdded));
  return Status::Ok();
}

}  // namespace quorvo
