// TranslationTask and LookupWordTask: one word's lookup, from the word to its
// stored translation. A task is made by its submitter and released by
// LookupWordTask, which runs on a TaskPool worker.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "lookup/lookup_run.h"
#include "wordstore/word_database.h"

namespace quorvo {

struct TranslationTask {
  char word[128];                  // zero-terminated, at most 127 characters
  int hot;                         // hot value for a newly inserted row
  WordDatabase* connection;        // the word-bank page's connection
  char bank[256];                  // zero-terminated, at most 255 characters
  std::shared_ptr<LookupRun> run;  // the run it belongs to; may be empty
};

// The dictionary's search target; "%24" stands in it literally.
inline constexpr char kLookupTarget[] = "/m/search?vendor=%24vendor&keyfrom=dict.mresult&q=";
// The URL (host, target and word) fits 511 characters.
inline constexpr size_t kMaxUrlChars = 511;

// Makes a zero-filled task; nullptr when the bank name does not fit. The
// word is cut to 127 characters. The task's store is announced to the
// connection's write group (WordDatabase::ExpectGroupWrite) until the task
// is released.
TranslationTask* MakeTranslationTask(std::string_view word, int hot, WordDatabase* connection, std::string_view bank,
                                     std::shared_ptr<LookupRun> run = nullptr);

// Releases a task (argument is a TranslationTask*); the discard routine of
// TaskPool::Submit for a task that never ran.
void ReleaseTranslationTask(void* argument);

// host + kLookupTarget + the word. Letters, digits and "-._~" go in as they
// are; any other byte (a blank, a line break, GBK bytes) is percent-encoded
// so a word can never break the request line. Empty when the URL would not
// fit kMaxUrlChars.
std::string LookupUrl(std::string_view host, std::string_view word);

// How long a store waits for a file another program holds before the word
// is given up as not stored.
inline constexpr std::chrono::seconds kHeldFileWait{60};

// Stores one lookup's page (StoreLookup) for the run, waiting while another
// program holds the file (up to kHeldFileWait, or until the run is
// cancelled) and telling the run how the store ended. run may be null.
// unreachable: the dictionary could not be reached at all, and a not-found
// text stored for it is counted as not looked up (LookupRun::Unreachable).
void StoreLookupWaiting(WordDatabase* connection, std::string_view word, std::string_view bank, int hot,
                        std::string_view page, bool fetchFailed, LookupRun* run, bool unreachable = false);

// The pool routine: argument is a TranslationTask*, released here. A
// lookup whose fetch fails keeps the word's translation (StoreLookup); one
// whose connection is refused asks its run to revive the dictionary and
// tries once more. A lookup of a cancelled run ends without a fetch.
void LookupWordTask(void* argument);

}  // namespace quorvo
