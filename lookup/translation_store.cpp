#include "lookup/translation_store.h"

#include <cstdio>
#include <string>

#include "base/code_page.h"
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
Written Write(WordDatabase* connection, std::string_view word, std::string_view bank, std::string_view translation,
              int hot, bool onlyMissing, std::string_view phonetic) {
  if (!connection || !connection->IsOpen() || word.empty()) return Written::Refused;
  if (word.size() + translation.size() >= kMaxWordAndTranslation) return Written::Refused;
  std::string update = onlyMissing ? UpdateMissingTranslationStatement(bank, translation, word, kNotFoundTranslation)
                                   : UpdateTranslationStatement(bank, translation, word);
  std::string insert = InsertTranslationStatement(bank, word, translation, hot);
  if (update.size() > kMaxStatementChars || insert.size() > kMaxStatementChars) return Written::Refused;
  std::string setPhonetic;
  if (!phonetic.empty() && phonetic.size() <= kMaxStoredPhoneticBytes)
    setPhonetic = UpdatePhoneticStatement(bank, phonetic, word);
  Written written = Written::Untouched;
  connection->WriteInGroup([&] {
    int changed = 0;
    connection->ExecuteCountingChanges(update, &changed);
    if (changed > 0) {
      written = Written::Updated;
    } else {
      // A word that is there with a translation of its own makes the insert
      // fail on the unique value: it is left as it is.
      int inserted = 0;
      connection->ExecuteCountingChanges(insert, &inserted);
      if (inserted > 0) written = Written::Inserted;
    }
    if (written != Written::Untouched && !setPhonetic.empty()) connection->Execute(setPhonetic);
  });
  return written;
}

}  // namespace

StoreResult StoreLookup(WordDatabase* connection, std::string_view word, std::string_view bank, int hot,
                        std::string_view page, bool fetchFailed) {
  std::string translation;
  ExtractTranslation(page, &translation);
  bool found = !translation.empty();
  if (!found) translation = kNotFoundTranslation;
  std::optional<std::string> gbk = Utf8ToGbk(translation);
  if (!gbk) {
    std::printf("~~~utf8toansi failed!!!\n");
    std::fflush(stdout);
    return {};
  }
  std::string phonetic;
  std::optional<std::string> storedPhonetic;
  if (ExtractPhonetic(page, &phonetic)) storedPhonetic = Utf8ToGbk(phonetic);
  Written written =
      Write(connection, word, bank, *gbk, hot, fetchFailed || !found, storedPhonetic ? *storedPhonetic : std::string());
  StoreResult result;
  result.inserted = written == Written::Inserted;
  if (written == Written::Refused)
    result.outcome = StoreOutcome::Refused;
  else if (written == Written::Untouched)
    result.outcome = StoreOutcome::Kept;
  else
    result.outcome = found ? StoreOutcome::Translated : StoreOutcome::NotFound;
  return result;
}

int StoreTranslation(WordDatabase* connection, std::string_view word, std::string_view bank,
                     std::string_view translation, int hot, std::string_view phonetic) {
  return Write(connection, word, bank, translation, hot, false, phonetic) == Written::Refused ? 0 : 1;
}

}  // namespace quorvo
