#include "wordstore/word_sentences.h"

#include <algorithm>
#include <utility>

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

// A word that has no row yet: its sentences (at most three, repeats left
// out by the caller) go in as they are.
const char kInsertNew[] =
    "INSERT INTO review_sentence (bank, word, sentence, source, bundled) VALUES (?1, ?2, ?3, ?4, ?5)";

// Adds a bundled example unless the word has a sentence.
const char kInsertBundled[] =
    "INSERT INTO review_sentence (bank, word, sentence, source, bundled) "
    "SELECT ?1, ?2, ?3, ?4, 1 WHERE NOT EXISTS (SELECT 1 FROM review_sentence WHERE bank = ?1 AND word = ?2)";

// A word's bundled example goes when a sentence of the learner's comes.
const char kDeleteBundled[] = "DELETE FROM review_sentence WHERE bank = ?1 AND word = ?2 AND bundled = 1";

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

// The statements that put a word's sentences in: the learner's own replace
// a bundled example, which only goes to a word with no sentence.
struct Inserts {
  explicit Inserts(WordDatabase& db)
      : plain(db.handle(), kInsert), bundled(db.handle(), kInsertBundled), dropBundled(db.handle(), kDeleteBundled) {}
  Status prepared() const {
    for (const Statement* statement : {&plain, &bundled, &dropBundled})
      if (!statement->prepared().ok()) return statement->prepared();
    return Status::Ok();
  }
  // The word's sentences, in the order given.
  template <typename Sentences, typename Of>
  Status Put(std::string_view bank, std::string_view word, const Sentences& sentences, const Of& of) {
    bool own = false;
    for (const auto& each : sentences) own = own || !of(each).bundled;
    if (own) {
      dropBundled.Reset();
      dropBundled.Bind(1, bank).Bind(2, word);
      if (Status dropped = dropBundled.Run(); !dropped.ok()) return dropped;
    }
    for (const auto& each : sentences) {
      const KeptSentence& sentence = of(each);
      Status done = sentence.bundled ? Insert(bundled, bank, word, sentence) : Insert(plain, bank, word, sentence);
      if (!done.ok()) return done;
    }
    return Status::Ok();
  }

  Statement plain;
  Statement bundled;
  Statement dropBundled;
};

// The table is looked for before the batch begins: a statement of the batch
// that only reads (CREATE TABLE IF NOT EXISTS of a table that is there)
// would open its read transaction, and the first write after it could not
// wait for another program that holds the file for a moment.
Status InOwnBatch(WordDatabase& db, const std::function<Status()>& body) {
  bool exists = TableExists(db);
  WordDatabase::Batch batch(db);
  if (!batch.began().ok()) return batch.began();
  Status done = exists ? Status::Ok() : db.Run(kCreate);
  if (done.ok()) done = body();
  if (!done.ok()) return done;
  return batch.Commit();
}

Status InsertBundled(WordDatabase& db, std::string_view bank, const std::vector<BundledExample>& examples) {
  Statement insert(db.handle(), kInsertBundled);
  if (!insert.prepared().ok()) return insert.prepared();
  for (const auto& [word, example] : examples)
    if (Status done = Insert(insert, bank, word, example); !done.ok()) return done;
  return Status::Ok();
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
    // Words of the bank with sentences already: theirs are checked against
    // the limit and for repeats, and replace a bundled example; the others
    // (all of them, in a new bank) take theirs as they come.
    std::unordered_set<std::string> stored;
    {
      // A write first: a batch that began by reading could not wait for
      // another program that holds the file for a moment at its first write.
      if (Status taken = db.Run("DELETE FROM review_sentence WHERE 0"); !taken.ok()) return taken;
      Statement select(db.handle(), "SELECT DISTINCT word FROM review_sentence WHERE bank = ?");
      if (!select.prepared().ok()) return select.prepared();
      select.Bind(1, bank);
      for (;;) {
        Result<bool> row = select.Step();
        if (!row.ok()) return row.status();
        if (!*row) break;
        stored.insert(select.Text(0));
      }
    }
    Inserts inserts(db);
    if (Status prepared = inserts.prepared(); !prepared.ok()) return prepared;
    Statement fresh(db.handle(), kInsertNew);
    if (!fresh.prepared().ok()) return fresh.prepared();
    // In word order: the index on (bank, word) then grows at its end
    // instead of at random pages.
    std::vector<std::pair<const std::string*, std::vector<const KeptSentence*>>> words;
    words.reserve(keeper.Words());
    keeper.ForEach([&](const std::string& word, const std::vector<const KeptSentence*>& sentences) {
      if (!sentences.empty() && (!onlyWords || onlyWords->count(word))) words.emplace_back(&word, sentences);
    });
    std::sort(words.begin(), words.end(), [](const auto& a, const auto& b) { return *a.first < *b.first; });
    Status failed = Status::Ok();
    for (const auto& [wordAt, sentences] : words) {
      const std::string& word = *wordAt;
      if (!stored.empty() && stored.count(word) != 0) {
        failed = inserts.Put(bank, word, sentences,
                             [](const KeptSentence* sentence) -> const KeptSentence& { return *sentence; });
        if (!failed.ok()) return failed;
        continue;
      }
      for (size_t k = 0; k < sentences.size(); ++k) {
        const KeptSentence* sentence = sentences[k];
        // The same sentence met twice in the text is kept once.
        bool repeat = false;
        for (size_t before = 0; before < k; ++before) repeat = repeat || sentences[before]->text == sentence->text;
        if (repeat) continue;
        failed = Insert(fresh, bank, word, *sentence);
        if (!failed.ok()) return failed;
      }
    }
    return failed;
  });
}

Status AddSentence(WordDatabase& db, std::string_view bank, std::string_view word, const KeptSentence& sentence) {
  return InOwnBatch(db, [&] {
    Inserts inserts(db);
    if (Status prepared = inserts.prepared(); !prepared.ok()) return prepared;
    return inserts.Put(bank, word, std::vector<const KeptSentence*>{&sentence},
                       [](const KeptSentence* each) -> const KeptSentence& { return *each; });
  });
}

Status StoreBundledExamples(WordDatabase& db, std::string_view bank, const std::vector<BundledExample>& examples) {
  if (examples.empty()) return Status::Ok();
  return InOwnBatch(db, [&] { return InsertBundled(db, bank, examples); });
}

Status AddBundledExamples(WordDatabase& db, std::string_view bank, const std::vector<BundledExample>& examples) {
  if (examples.empty()) return Status::Ok();
  if (!TableExists(db))
    if (Status created = db.Run(kCreate); !created.ok()) return created;
  return InsertBundled(db, bank, examples);
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
  Inserts inserts(db);
  if (Status prepared = inserts.prepared(); !prepared.ok()) return prepared;
  return inserts.Put(to, word, sentences, [](const KeptSentence& sentence) -> const KeptSentence& { return sentence; });
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
