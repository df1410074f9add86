// make_dict_db WORDS.tsv REMEMBER.tsv OUT.db [DICT.tsv]
//
// Builds the database installed with quorvo: main_word from WORDS.tsv and
// main_remember from REMEMBER.tsv, both created from the bank layout.
// Lines are "word<TAB>hot<TAB>translation" in UTF-8, "\n" in a translation
// separating senses; lines starting with "#" are comments. Texts are stored
// in GBK. With DICT.tsv (quorvo-dictd's data), each word that has a phonetic
// there gets it, as a lookup would store it (GB18030 keeps the IPA). An
// existing OUT.db is never touched.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "base/code_page.h"
#include "dictserver/dictionary.h"
#include "lookup/translation_store.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"

namespace {

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool Fill(quorvo::WordDatabase& db, const char* bank, const char* path, const quorvo::dictd::Dictionary* dictionary) {
  std::ifstream in(path);
  if (!in) {
    std::cerr << "make_dict_db: cannot read " << path << "\n";
    return false;
  }
  std::string line;
  quorvo::WordDatabase::Batch batch(db);
  if (!batch.began().ok()) return false;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t a = line.find('\t');
    size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
    if (b == std::string::npos) continue;
    std::string word = line.substr(0, a);
    int hot = quorvo::LeadingDigitsValue(line.substr(a + 1, b - a - 1));
    std::string trans = quorvo::Gbk(Unescape(line.substr(b + 1)));
    if (!db.Run(quorvo::InsertTranslationStatement(bank, word, trans, hot)).ok()) return false;
    std::string phonetic = dictionary ? dictionary->Phonetic(word) : std::string();
    std::optional<std::string> stored = quorvo::Utf8ToGbk(phonetic);
    if (!phonetic.empty() && stored && stored->size() <= quorvo::kMaxStoredPhoneticBytes)
      if (!db.Run(quorvo::UpdatePhoneticStatement(bank, *stored, word)).ok()) return false;
  }
  return batch.Commit().ok();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::cerr << "usage: make_dict_db WORDS.tsv REMEMBER.tsv OUT.db [DICT.tsv]\n";
    return 2;
  }
  struct stat st;
  if (stat(argv[3], &st) == 0) return 0;  // a user's file: keep it as it is
  quorvo::dictd::Dictionary dictionary;
  if (argc == 5 && !dictionary.Load(argv[4])) {
    std::cerr << "make_dict_db: cannot read " << argv[4] << "\n";
    return 1;
  }
  const quorvo::dictd::Dictionary* phonetics = argc == 5 ? &dictionary : nullptr;

  std::string temp = std::string(argv[3]) + ".part";
  std::remove(temp.c_str());
  {
    quorvo::WordDatabase db;
    if (!db.Open(temp)) {
      std::cerr << "make_dict_db: cannot create " << temp << "\n";
      return 1;
    }
    quorvo::SilentBoxes boxes;
    if (!quorvo::CreateBank(db, quorvo::kMainWord, boxes).ok() ||
        !quorvo::CreateBank(db, quorvo::kMainRemember, boxes).ok() ||
        !Fill(db, quorvo::kMainWord, argv[1], phonetics) || !Fill(db, quorvo::kMainRemember, argv[2], phonetics)) {
      db.Close();
      std::remove(temp.c_str());
      return 1;
    }
  }
  if (std::rename(temp.c_str(), argv[3]) != 0) {
    std::perror("make_dict_db: rename");
    return 1;
  }
  return 0;
}
