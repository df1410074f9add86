#include "translation_store.h"

#include <cstdio>
#include <string>

#include "code_page.h"
#include "phonetic_extract.h"
#include "translation_extract.h"
#include "word_bank.h"

namespace quorvo {

int StoreTranslationFromPage(WordDatabase* connection, std::string_view word, std::string_view bank, int hot,
                             std::string_view page) {
  std::string translation;
  ExtractTranslation(page, &translation);
  if (translation.empty()) translation = kNotFoundTranslation;
  std::optional<std::string> gbk = Utf8ToGbk(translation);
  if (!gbk) {
    std::printf("~~~utf8toansi failed!!!\n");
    std::fflush(stdout);
    return -1;
  }
  std::string phonetic;
  std::optional<std::string> storedPhonetic;
  if (ExtractPhonetic(page, &phonetic)) storedPhonetic = Utf8ToGbk(phonetic);
  StoreTranslation(connection, word, bank, *gbk, hot, storedPhonetic ? *storedPhonetic : std::string());
  return 1;
}

int StoreTranslation(WordDatabase* connection, std::string_view word, std::string_view bank,
                     std::string_view translation, int hot, std::string_view phonetic) {
  if (!connection || !connection->IsOpen() || word.empty()) return 0;
  if (word.size() + translation.size() >= kMaxWordAndTranslation) return 0;
  std::string update = UpdateTranslationStatement(bank, translation, word);
  std::string insert = InsertTranslationStatement(bank, word, translation, hot);
  if (update.size() > kMaxStatementChars || insert.size() > kMaxStatementChars) return 0;
  std::string setPhonetic;
  if (!phonetic.empty() && phonetic.size() <= kMaxStoredPhoneticBytes)
    setPhonetic = UpdatePhoneticStatement(bank, phonetic, word);
  // Update, count and insert as one step of the connection's write group:
  // no other statement comes between them, and many stores share a commit.
  connection->WriteInGroup([&] {
    int changed = 0;
    connection->ExecuteCountingChanges(update, &changed);
    if (changed == 0) connection->Execute(insert);
    if (!setPhonetic.empty()) connection->Execute(setPhonetic);
  });
  return 1;
}

}  // namespace quorvo
