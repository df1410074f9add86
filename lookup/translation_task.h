// TranslationTask and LookupWordTask: one word's lookup, from the word to its
// stored translation. A task is made by its submitter and released by
// LookupWordTask, which runs on a TaskPool worker.
#pragma once

#include <memory>
#include <string_view>

#include "word_database.h"

namespace quorvo {

struct TranslationTask {
  char word[128];              // zero-terminated, at most 127 characters
  int hot;                     // hot value for a newly inserted row
  WordDatabase* connection;    // the word-bank page's connection
  char bank[256];              // zero-terminated, at most 255 characters
};

// Makes a zero-filled task; nullptr when the bank name does not fit. The
// word is cut to 127 characters.
TranslationTask* MakeTranslationTask(std::string_view word, int hot, WordDatabase* connection,
                                     std::string_view bank);

// The pool routine: argument is a TranslationTask*, released here.
void LookupWordTask(void* argument);

}  // namespace quorvo
