// ConvertWords: the add-words run. Creates the new bank when one is named,
// counts every distinct word of the file and the typed text, and queues one
// lookup per word on the pool with its count as hot value. Runs on the window
// thread and waits for none of the lookups.
//
// A new bank name that CreateBank refuses (blank, or longer than the 55
// bytes the page can read back) ends the run before anything is counted or
// queued; a bank that exists already is filled as it is.
#pragma once

#include <memory>
#include <string>

#include "base/message_boxes.h"
#include "lookup/lookup_run.h"
#include "lookup/task_pool.h"
#include "wordstore/add_words_request.h"
#include "wordstore/word_database.h"

namespace quorvo {

// What a run queued and what the text holds, for the page's summary.
struct ConvertSummary {
  bool counted = false;            // sources were read (false: refused name, or no source)
  std::string bank;                // the bank that receives the words
  int distinct = 0;                // distinct words of the text
  int known = 0;                   // of them, marked known in some bank
  int queued = 0;                  // lookups queued
  std::shared_ptr<LookupRun> run;  // the queued lookups; empty when none
  Status failure;                  // why the new bank could not be made (nothing was counted)
  Status sentences;                // how keeping the words' sentences went (the lookups go on either way)
};

struct ConvertOptions {
  // Words known (会背) in any bank are not queued (request.onlyUnknown
  // asks for the same).
  bool onlyUnknown = false;
  // Handed to the run: revives the dictionary after a refused connection.
  std::function<bool()> dictionaryKeeper;
  // Keeps each queued word's first sentences of the text (word_sentences.h).
  bool keepSentences = true;
};

ConvertSummary ConvertWords(const AddWordsRequest& request, WordDatabase& db, const std::string& currentBank,
                            TaskPool& pool, MessageBoxes& boxes, const ConvertOptions& options = ConvertOptions());

}  // namespace quorvo
