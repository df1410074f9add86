// ConvertWords: the add-words run. Creates the new bank when one is named,
// counts every distinct word of the file and the typed text, and queues one
// lookup per word on the pool with its count as hot value. Runs on the window
// thread and waits for none of the lookups.
//
// With request.families the words are counted by family: every form (and a
// contraction or possessive: don't, john's) goes to its base, one lookup per
// base with the sum of its forms' counts; a form of two families goes to the
// more frequent one; the forms seen are kept with the bank (word_forms.h)
// before anything is queued. Without it the counts are the counter's, word by word.
// Either way a word counts as known when it or its family's base is marked
// known (会背) in some bank.
//
// A new bank name that CreateBank refuses (blank, or longer than the 55
// bytes the page can read back) ends the run before anything is counted or
// queued; a bank that exists already is filled as it is.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/message_boxes.h"
#include "lexicon/example_sentences.h"
#include "lexicon/lexicon.h"
#include "lookup/lookup_run.h"
#include "lookup/task_pool.h"
#include "wordstore/add_words_request.h"
#include "wordstore/word_database.h"
#include "wordstore/word_forms.h"
#include "wordstore/word_sentences.h"

namespace quorvo {

// One word of the text as the run counted it (a family's base when counted
// by family).
struct TextWord {
  std::string word;
  int count = 0;
  bool known = false;
};

// What a run queued and what the text holds, for the page's summary.
struct ConvertSummary {
  bool counted = false;            // sources were read (false: refused name, or no source)
  std::string bank;                // the bank that receives the words
  int distinct = 0;                // distinct words of the text
  int known = 0;                   // of them, marked known in some bank
  int queued = 0;                  // lookups queued
  std::vector<TextWord> words;     // every word counted, in queue order
  std::shared_ptr<LookupRun> run;  // the queued lookups; empty when none
  Status failure;                  // why the new bank, or the forms seen, could not be stored (nothing was queued)
  Status sentences;                // how keeping the words' sentences and examples went; the lookups go on
};

struct ConvertOptions {
  // Words known (会背) in any bank are not queued (request.onlyUnknown
  // asks for the same).
  bool onlyUnknown = false;
  // Handed to the run: revives the dictionary after a refused connection.
  std::function<bool()> dictionaryKeeper;
  // Keeps each queued word's first sentences of the text (word_sentences.h);
  // a word the text gave none and that has none in the bank gets its
  // bundled example.
  bool keepSentences = true;
  // The bundled examples, asked for only when a run keeps sentences and
  // some queued word got none from the text; unset or null: none.
  std::function<const ExampleSentences*()> examples;
  // Word families; none: every word is its own family.
  const Lexicon* lexicon = nullptr;
};

// The source a bundled example is kept with.
inline constexpr char kBundledExampleSource[] = "WordNet 3.0";
// The bundled examples of those words that have one, as GBK sentences
// marked bundled.
std::vector<BundledExample> BundledExamplesFor(const ExampleSentences& examples, const std::vector<std::string>& words);

// The base of the word's family (the word itself without a lexicon).
std::string FamilyBase(const Lexicon* lexicon, std::string_view word);
// Whether a word counts as known: KnownByFamily (lexicon.h).

ConvertSummary ConvertWords(const AddWordsRequest& request, WordDatabase& db, const std::string& currentBank,
                            TaskPool& pool, MessageBoxes& boxes, const ConvertOptions& options = ConvertOptions());

}  // namespace quorvo
