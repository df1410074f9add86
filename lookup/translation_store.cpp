#include "lookup/translation_store.h"

#include <memory>
#include <string>

#include "base/code_page.h"
#include "base/diagnostics.h"
#include "lookup/phonetic_extract.h"
#include "lookup/translation_extract.h"
#include "wordstore/word_bank.h"

namespace quorvo {

namespace {

enum class Written { Refused, Updated, Inserted, Untouched };

// Update (all rows, or only one without a translation when onlyMissing),
// count and insert as one step of the connection's write group: no other
// statement comes between them, and many stores share a commit. A non-empty
// phonetic is set on the row when the translation was written.
Status Write(WordDatabase* connection, std::string_view word, std::string_view bank, std::string_view translation,
             int hot, bool onlyMissing, std::string_view phonetic, Written* written, const GroupSettled& settled) {
  *written = Written::Refused;
  if (!connection || !connection->IsOpen() || word.empty()) return Status::Ok();
  if (word.size() + translation.size() >= kMaxWordAndTranslation) return Status::Ok();
  std::string update = onlyMissing ? UpdateMissingTranslationStatement(bank, translation, word, kNotFoundTranslation)
                                   : UpdateTranslationStatement(bank, translation, word);
  std::string insert = InsertTranslationStatement(bank, word, translation, hot);
  if (update.size() > kMaxStatementChars || insert.size() > kMaxStatementChars) return Status::Ok();
  std::string setPhonetic;
  if (!phonetic.empty() && phonetic.size() <= kMaxStoredPhoneticBytes)
    setPhonetic = UpdatePhoneticStatement(bank, phonetic, word);
  return connection->WriteInGroup(
      [&]() -> Status {
        *written = Written::Untouched;
        int changed = 0;
        Status status = connection->ExecuteCountingChanges(update, &changed);
        if (!status.ok()) return status;
        if (changed > 0) {
          *written = Written::Updated;
        } else {
          // A word that is there with a translation of its own makes the
          // insert fail on the unique value: it is left as it is. Any other
          // failure (a full disk, a held file) is the store's.
          int inserted = 0;
          status = connection->ExecuteCountingChanges(insert, &inserted);
          if (!status.ok() && status.code() != StatusCode::kRejected) return status;
          if (inserted > 0) *written = Written::Inserted;
        }
        if (*written != Written::Untouched && !setPhonetic.empty()) {
          status = connection->Run(setPhonetic);
          if (!status.ok()) return status;
        }
        return Status::Ok();
      },
      settled);
}

}  // namespace

Status StoreLookup(WordDatabase* connection, std::string_view word, std::string_view bank, int hot,
                   std::string_view page, bool fetchFailed, StoreResult* result, const StoreSettled& settled) {
  *result = StoreResult();
  std::string translation;
  ExtractTranslation(page, &translation);
  bool found = !translation.empty();
  if (!found) translation = kNotFoundTranslation;
  std::optional<std::string> gbk = Utf8ToGbk(translation);
  if (!gbk) {
    Diagnostic("~~~utf8toansi failed!!!");
    if (settled) settled(*result, Status::Ok());
    return Status::Ok();
  }
  std::string phonetic;
  std::optional<std::string> storedPhonetic;
  if (ExtractPhonetic(page, &phonetic)) storedPhonetic = Utf8ToGbk(phonetic);
  auto describe = [found](Written written) {
    StoreResult r;
    r.inserted = written == Written::Inserted;
    if (written == Written::Refused)
      r.outcome = StoreOutcome::Refused;
    else if (written == Written::Untouched)
      r.outcome = StoreOutcome::Kept;
    else
      r.outcome = found ? StoreOutcome::Translated : StoreOutcome::NotFound;
    return r;
  };
  // What the write did is known once it ran, before its group can end; the
  // settle call, made later on whichever thread ends the group, reads it
  // from here.
  auto written = std::make_shared<Written>(Written::Refused);
  GroupSettled groupSettled;
  if (settled)
    groupSettled = [written, settled, describe](const Status& outcome) { settled(describe(*written), outcome); };
  Status status = Write(connection, word, bank, *gbk, hot, fetchFailed || !found,
                        storedPhonetic ? *storedPhonetic : std::string(), written.get(), groupSettled);
  if (!status.ok()) return status;
  *result = describe(*written);
  // Refused before any write: nothing went to a group to wait for.
  if (*written == Written::Refused && settled) settled(*result, Status::Ok());
  return Status::Ok();
}

int StoreTranslation(WordDatabase* connection, std::string_view word, std::string_view bank,
                     std::string_view translation, int hot, std::string_view phonetic) {
  Written written = Written::Refused;
  Status status = Write(connection, word, bank, translation, hot, false, phonetic, &written, {});
  return status.ok() && written != Written::Refused ? 1 : 0;
}

}  // namespace quorvo
