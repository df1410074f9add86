// The sentences kept for the words of each bank: the table review_sentence
// of the word file, keyed by bank and word, at most kSentencesPerWord rows
// per word in the order they were met. The banks' own tables are not
// touched (their sentence_id column stays as it was), so older builds still
// open the file; the table's name is one of the file's own (review_*), so
// it is never listed as a bank.
//
// Every text is GBK bytes. The writes run in the caller's batch, or in one
// of their own (StoreSentences); the reads return nothing when the file has
// no such table. Window thread (the connection's owner).
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/status.h"
#include "wordstore/sentence_keeper.h"
#include "wordstore/word_database.h"

namespace quorvo {

inline constexpr char kSentenceTable[] = "review_sentence";

// Adds the keeper's sentences of the words in onlyWords (all of them when
// null) to the bank, in one batch: a word that has sentences already gains
// new ones up to the limit; a sentence it has already is not added again.
// A word's bundled example goes in the same batch: the learner's own
// sentences replace it.
Status StoreSentences(WordDatabase& db, std::string_view bank, const SentenceKeeper& keeper,
                      const std::unordered_set<std::string>* onlyWords = nullptr);
// One sentence for a word in one batch (as StoreSentences stores it).
Status AddSentence(WordDatabase& db, std::string_view bank, std::string_view word, const KeptSentence& sentence);

// A word and the bundled example it is to get.
using BundledExample = std::pair<std::string, KeptSentence>;
// Gives each word its example (kept as bundled), in one batch, only where
// the word has no sentence in the bank: a sentence of the learner's texts,
// or an example it got before, stays.
Status StoreBundledExamples(WordDatabase& db, std::string_view bank, const std::vector<BundledExample>& examples);
// The same inside the caller's batch.
Status AddBundledExamples(WordDatabase& db, std::string_view bank, const std::vector<BundledExample>& examples);

// The sentences of one word of a bank, first kept first.
std::vector<KeptSentence> SentencesOf(WordDatabase& db, std::string_view bank, std::string_view word);
// Every word of the bank that has sentences, with them.
std::unordered_map<std::string, std::vector<KeptSentence>> BankSentences(WordDatabase& db, std::string_view bank);

// Inside the caller's batch: the bank's sentences go (the bank is dropped).
Status DropBankSentences(WordDatabase& db, std::string_view bank);
// Inside the caller's batch: the word's sentences of from are given to the
// word in to, up to the limit (a word copied to the recitation list).
Status CopySentences(WordDatabase& db, std::string_view from, std::string_view to, std::string_view word);
// Inside the caller's batch: the sentences of the bank's word from become
// the word to's, after its own (one it has already is not doubled). Rows of
// one family merged into one row keep every sentence they had, so to may
// hold more than a run keeps of a word.
Status MoveSentences(WordDatabase& db, std::string_view bank, std::string_view from, std::string_view to);

}  // namespace quorvo
