#include "wordstore/word_sentences.h"

#include "wordstore/sql.h"

namespace quorvo {
namespace {

// The index holds bank and word only: sentences are long, and a word has
// at most three rows to compare.
const char kCreate[] =
    "CREATE TABLE IF NOT EXISTS review_sentence (bank TEXT NOT NULL COLLATE NOCASE, word TEXT NOT NULL, "
    "sentence TEXT NOT NULL, source TEXT NOT NULL, bundled INTEGER NOT NULL DEFAULT 0); "
    "CREATE INDEX IF NOT EXISTS review_sentence_word ON review_sentence (bank, word)";

// Adds a row unless the word has its three already, or this sentence.
const char kInsert[] =
    "INSERT INTO review_sentence (bank, word, sentence, source, bundled) "
    "SELECT ?1, ?2, ?3, ?4, ?5 WHERE (SELECT count(*) FROM review_sentence WHERE bank = ?1 AND word = ?2) < 3 "
    "AND NOT EXISTS (SELECT 1 FROM review_sentence WHERE bank = ?1 AND word = ?2 AND sentence = ?3)";

bool TableExists(WordDatabase& db) {
  Statement probe(db.handle(), "select 1 from sqlite_master where type = 'table' and name = 'review_sentence'");
  if (!probe.prepared().ok()) return false;
  Result<bool> row = probe.Step();
  return row.ok() && *row;
}

Status Insert(Statement& insert, std::string_view bank, std::string_view word, const KeptSentence& sentence) {
  insert.Reset();
  insert.Bind(1, bank).Bind(2, word).Bind(3, sentence.text).Bind(4, sentence.source).Bind(5, sentence.bundled ? 1 : 0);
  return insert.Run();
}

Status InOwnBatch(WordDatabase& db, const std::function<Status()>& body) {
  WordDatabase::Batch batch(db);
  if (!batch.began().ok()) return batch.began();
  Status done = db.Run(kCreate);
  if (done.ok()) done = body();
  if (!done.ok()) return done;
  return batch.Commit();
}

std::vector<KeptSentence> Rows(Statement& select) {
  std::vector<KeptSentence> list;
  for (;;) {
    Result<bool> row = select.Step();
    if (!row.ok() || !*row) break;
    list.push_back(KeptSentence{select.Text(0), select.Text(1), select.Int(2) != 0});
  }
  return list;
}

}  // namespace

Status StoreSentences(WordDatabase& db, std::string_view bank, const SentenceKeeper& keeper,
                      const std::unordered_set<std::string>* onlyWords) {
  if (keeper.Words() == 0) return Status::Ok();
  return InOwnBatch(db, [&] {
    Statement insert(db.handle(), kInsert);
    if (!insert.prepared().ok()) return insert.prepared();
    Status failed = Status::Ok();
    keeper.ForEach([&](const std::string& word, const std::vector<const KeptSentence*>& sentences) {
      if (!failed.ok() || (onlyWords && !onlyWords->count(word))) return;
      for (const KeptSentence* sentence : sentences) {
        failed = Insert(insert, bank, word, *sentence);
        if (!failed.ok()) return;
      }
    });
    return failed;
  });
}

Status AddSentence(WordDatabase& db, std::string_view bank, std::string_view word, const KeptSentence& sentence) {
  return InOwnBatch(db, [&] {
    Statement insert(db.handle(), kInsert);
    if (!insert.prepared().ok()) return insert.prepared();
    return Insert(insert, bank, word, sentence);
  });
}

std::vector<KeptSentence> SentencesOf(WordDatabase& db, std::string_view bank, std::string_view word) {
  if (!db.IsOpen() || !TableExists(db)) return {};
  Statement select(db.handle(),
                   "select sentence, source, bundled from review_sentence where bank = ? and word = ? order by rowid");
  if (!select.prepared().ok()) return {};
  select.Bind(1, bank).Bind(2, word);
  return Rows(select);
}

std::unordered_map<std::string, std::vector<KeptSentence>> BankSentences(WordDatabase& db, std::string_view bank) {
  std::unordered_map<std::string, std::vector<KeptSentence>> all;
  if (!db.IsOpen() || !TableExists(db)) return all;
  Statement select(db.handle(),
                   "select word, sentence, source, bundled from review_sentence where bank = ? order by rowid");
  if (!select.prepared().ok()) return all;
  select.Bind(1, bank);
  for (;;) {
    Result<bool> row = select.Step();
    if (!row.ok() || !*row) break;
    all[select.Text(0)].push_back(KeptSentence{select.Text(1), select.Text(2), select.Int(3) != 0});
  }
  return all;
}

Status DropBankSentences(WordDatabase& db, std::string_view bank) {
  if (!TableExists(db)) return Status::Ok();
  Statement drop(db.handle(), "delete from review_sentence where bank = ?");
  if (!drop.prepared().ok()) return drop.prepared();
  drop.Bind(1, bank);
  return drop.Run();
}

Status CopySentences(WordDatabase& db, std::string_view from, std::string_view to, std::string_view word) {
  if (!TableExists(db)) return Status::Ok();
  std::vector<KeptSentence> sentences = SentencesOf(db, from, word);
  if (sentences.empty()) return Status::Ok();
  Statement insert(db.handle(), kInsert);
  if (!insert.prepared().ok()) return insert.prepared();
  for (const KeptSentence& sentence : sentences) {
    Status done = Insert(insert, to, word, sentence);
    if (!done.ok()) return done;
  }
  return Status::Ok();
}

Status MoveSentences(WordDatabase& db, std::string_view bank, std::string_view from, std::string_view to) {
  if (!TableExists(db) || from == to) return Status::Ok();
  Statement move(db.handle(),
                 "insert into review_sentence (bank, word, sentence, source, bundled) "
                 "select ?1, ?3, s.sentence, s.source, s.bundled from review_sentence s where s.bank = ?1 and "
                 "s.word = ?2 and not exists (select 1 from review_sentence t where t.bank = ?1 and t.word = ?3 "
                 "and t.sentence = s.sentence) order by s.rowid");
  if (!move.prepared().ok()) return move.prepared();
  move.Bind(1, bank).Bind(2, from).Bind(3, to);
  if (Status moved = move.Run(); !moved.ok()) return moved;
  Statement drop(db.handle(), "delete from review_sentence where bank = ? and word = ?");
  if (!drop.prepared().ok()) return drop.prepared();
  drop.Bind(1, bank).Bind(2, from);
  return drop.Run();
}

}  // namespace quorvo
