// Storing a looked-up translation in a word bank.
//
// StoreTranslation updates the word's row and, when no row changed, inserts
// the word with its hot value. The update, the reading of its count of
// changed rows and the insert run as one step of the connection's write
// group (WordDatabase::WriteInGroup), so the four lookup workers and the
// window thread sharing it never skip or double-insert a word, and many
// stores share one commit. Texts are spliced through the bank statements, which
// double single quotes and quote odd bank names: text from the network is
// stored as text and never becomes a statement.
//
// Threads: any; the connection is shared as WordDatabase allows.
#pragma once

#include <functional>
#include <string_view>

#include "base/status.h"
#include "wordstore/word_database.h"

namespace quorvo {

// Stored when a page yields no translation (plain ASCII, so the same in GBK).
inline constexpr char kNotFoundTranslation[] = "not found, please try to update the word";
// Word and translation together stay below this many characters.
inline constexpr size_t kMaxWordAndTranslation = 1024;
// A statement fits 1151 characters.
inline constexpr size_t kMaxStatementChars = 1151;

// What one lookup left in the bank.
enum class StoreOutcome {
  Translated,  // a translation was stored (over whatever the word had)
  NotFound,    // the word has the not-found text now
  Kept,        // nothing usable came; the word's earlier translation stays
  Refused,     // nothing stored (no connection, too long, no conversion)
};
struct StoreResult {
  StoreOutcome outcome = StoreOutcome::Refused;
  bool inserted = false;  // the word was new to the bank
};

// How a lookup's store ended: called once, when the write group it went
// into is committed (outcome Ok) or lost (why), with what the store did.
using StoreSettled = std::function<void(const StoreResult& result, const Status& outcome)>;

// Cuts the translation and the phonetic out of the page (UTF-8), converts
// them to the stored code page and stores them. fetchFailed says the page is
// not the dictionary's whole answer (refused, timed out, error marker, cut).
// A page with a translation that came whole replaces what the word had.
// Otherwise, and whenever no translation could be cut, the not-found text
// (or what a broken page still yielded) goes only to a word that has no
// translation yet: a lookup that failed never destroys a good translation.
// A phonetic found on the page is set with the translation whenever the
// word's row is written.
//
// Returns the write's own status. When Ok, *result says what the store did
// and settled (may be empty) is told once how its write group ended; a
// store that wrote nothing (Refused, Kept) is settled at once. When the
// write failed (a held file, a full disk), nothing was stored and settled
// is never called: the caller may try again.
Status StoreLookup(WordDatabase* connection, std::string_view word, std::string_view bank, int hot,
                   std::string_view page, bool fetchFailed, StoreResult* result, const StoreSettled& settled = {});

// A stored phonetic fits this many bytes; a longer one is not stored.
inline constexpr size_t kMaxStoredPhoneticBytes = 255;

// 1 when its statements ran; 0 when it refused: no open connection, an
// empty word, word and translation of 1024 characters or more, or a
// statement longer than 1151 characters. A non-empty phonetic is set on the
// word's row in the same step, after the translation; an empty one leaves
// the row's phonetic as it is (empty for a new row).
int StoreTranslation(WordDatabase* connection, std::string_view word, std::string_view bank,
                     std::string_view translation, int hot, std::string_view phonetic = {});

}  // namespace quorvo
