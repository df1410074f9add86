#include "wordstore/word_forms.h"

#include "base/code_page.h"
#include "wordstore/sql.h"

namespace quorvo {

Status StoreWordForms(WordDatabase& db, std::string_view bank, const std::vector<WordForm>& forms) {
  if (forms.empty()) return Status::Ok();
  Transaction txn(db.handle());
  if (!txn.began().ok()) return txn.began();
  Statement create(db.handle(), std::string("create table if not exists ") + kWordFormsTable +
                                    " (bank text not null, word text not null, form text not null,"
                                    " count integer not null, counted_under text not null,"
                                    " primary key (bank, word, form))");
  if (!create.prepared().ok()) return create.prepared();
  if (Status made = create.Run(); !made.ok()) return made;
  Statement put(db.handle(), std::string("insert into ") + kWordFormsTable +
                                 " (bank, word, form, count, counted_under) values (?, ?, ?, ?, ?)"
                                 " on conflict (bank, word, form) do update set count = count + excluded.count,"
                                 " counted_under = excluded.counted_under");
  if (!put.prepared().ok()) return put.prepared();
  for (const WordForm& form : forms) {
    put.Bind(1, bank).Bind(2, form.word).Bind(3, form.form).Bind(4, form.count).Bind(5, form.countedUnder);
    if (Status stored = put.Run(); !stored.ok()) return stored;
    put.Reset();
  }
  return txn.Commit();
}

Status RelistWordForms(WordDatabase& db, std::string_view bank, std::string_view from, std::string_view to) {
  if (from == to) return Status::Ok();
  Statement probe(db.handle(),
                  std::string("select 1 from sqlite_master where type = 'table' and name = '") + kWordFormsTable + "'");
  if (!probe.prepared().ok()) return probe.prepared();
  Result<bool> exists = probe.Step();
  if (!exists.ok()) return exists.status();
  if (!*exists) return Status::Ok();
  const std::string table = kWordFormsTable;
  for (const std::string& sql :
       {"insert into " + table +
            " (bank, word, form, count, counted_under) select bank, ?3, form, count, case counted_under when ?2 then"
            " ?3 else counted_under end from " +
            table +
            " where bank = ?1 and word = ?2 on conflict (bank, word, form) do update set count = count +"
            " excluded.count",
        "delete from " + table + " where bank = ?1 and word = ?2",
        "update " + table + " set counted_under = ?3 where bank = ?1 and counted_under = ?2"}) {
    Statement step(db.handle(), sql);
    if (!step.prepared().ok()) return step.prepared();
    step.Bind(1, bank).Bind(2, from).Bind(3, to);
    if (Status done = step.Run(); !done.ok()) return done;
  }
  return Status::Ok();
}

std::map<std::string, std::vector<WordForm>> LoadWordForms(WordDatabase& db, std::string_view bank) {
  std::map<std::string, std::vector<WordForm>> forms;
  ConnectionLock lock(db.handle());
  Statement read(db.handle(), std::string("select word, form, count, counted_under from ") + kWordFormsTable +
                                  " where bank = ? order by word, count desc, form");
  if (!read.prepared().ok()) return forms;
  read.Bind(1, bank);
  for (;;) {
    Result<bool> row = read.Step();
    if (!row.ok() || !*row) break;
    WordForm form{read.Text(0), read.Text(1), static_cast<int>(read.Int(2)), read.Text(3)};
    forms[form.word].push_back(std::move(form));
  }
  return forms;
}

std::string FormsText(const std::vector<WordForm>& forms) {
  std::string text;
  for (const WordForm& form : forms) {
    if (!text.empty()) text += "、";
    text += Utf8(form.form) + " " + std::to_string(form.count);
    if (form.countedUnder != form.word) text += "（计入 " + Utf8(form.countedUnder) + "）";
  }
  return text;
}

}  // namespace quorvo
