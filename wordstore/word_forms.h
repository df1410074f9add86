// Word forms: the spellings a text held that a bank counts under one word
// (runs, ran, running under run), kept when words are counted by family so
// the word list can show them and an export can list them.
//
// They live in the bank file's own table review_word_forms (the review_
// prefix is the file's, so no bank can take the name): one row per bank,
// word and form, with the form's count and the word it was counted under
// (itself, or for a form of two families the more frequent one: leaves is
// listed under leaf too, counted under leave). All texts are GBK bytes.
// Window thread, on the page's connection.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "wordstore/word_database.h"

namespace quorvo {

struct WordForm {
  std::string word;          // the bank's word the form is listed under
  std::string form;          // the spelling in the text
  int count = 0;             // its occurrences
  std::string countedUnder;  // the word whose hot holds them
};

inline constexpr char kWordFormsTable[] = "review_word_forms";

// Adds the forms of one run to the bank's (counts of a form seen before add
// up), all or nothing in one transaction; a failure says why.
Status StoreWordForms(WordDatabase& db, std::string_view bank, const std::vector<WordForm>& forms);

// Inside the caller's batch: the forms listed under the bank's word from are
// listed under to (counts of a form both have add up), and forms counted
// under from are counted under to. Nothing to do without the table.
Status RelistWordForms(WordDatabase& db, std::string_view bank, std::string_view from, std::string_view to);

// The bank's forms by word; empty when none were kept (or the table is
// missing).
std::map<std::string, std::vector<WordForm>> LoadWordForms(WordDatabase& db, std::string_view bank);

// "runs 2、ran 1" (UTF-8, from GBK forms): a word's forms for a tooltip or an
// export cell; a form counted under another word says so ("leaves 1（计入
// leave）").
std::string FormsText(const std::vector<WordForm>& forms);

}  // namespace quorvo
