// Word banks: the fixed table layout, every statement the application issues
// against a word database, and the row-wise operations of the word-bank page.
//
// A bank is one table of the layout below; a row is one English word. All
// texts are GBK bytes. Values are spliced into statement texts with their
// single quotes doubled, and a bank name is spliced as it is only when it is
// a plain identifier (otherwise it is quoted as an SQL identifier), so no
// text a user types or a server sends can break or extend a statement.
//
// The operations run on the window thread; they show their messages through
// the MessageBoxes they are given.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/message_boxes.h"
#include "base/status.h"
#include "wordstore/word_database.h"

namespace quorvo {

inline constexpr char kMainWord[] = "main_word";
inline constexpr char kMainRemember[] = "main_remember";
// Tables the review history keeps in the same file; they are not banks and
// are never listed as such.
inline constexpr const char* kReviewHistoryTables[] = {"review_card", "review_log", "known_log", "review_setting"};
bool IsReviewHistoryTable(std::string_view name);
// The page reads bank names back with a 56-byte capacity: a longer name could
// never be opened or dropped again.
inline constexpr size_t kMaxBankNameBytes = 55;

// Column positions of a WordRecord ("select *" reads them by position).
enum WordColumn { kColId = 0, kColValue, kColPhonetic, kColTrans, kColSentenceId, kColKnown, kColHot };

enum class KnownFilter { None, All, Known, Unknown };
enum class HotOrder { None, Descending, Ascending };

struct WordFilter {
  std::string searchText;  // at most 512 characters, as typed
  KnownFilter known = KnownFilter::None;
  std::string lowestHot;   // as typed
  std::string highestHot;  // as typed
  HotOrder order = HotOrder::None;
};

// The six cells of a word-list row after its number: word, phonetic,
// translation, sentence, known ("会" or "不会" in GBK), hot.
using RecitationCells = std::array<std::string, 6>;

// ---- splicing ------------------------------------------------------------
// The bank name as it goes into a statement.
std::string BankIdentifier(std::string_view name);
// A value with every single quote doubled, for use between single quotes.
std::string SqlText(std::string_view value);
// The decimal value of the leading digits (0 when there are none), capped at
// the largest int.
int LeadingDigitsValue(std::string_view text);

// ---- statements ----------------------------------------------------------
std::string CreateBankStatement(std::string_view bank);
std::string ListBanksStatement();
std::string SelectAllStatement(std::string_view bank);
std::string BuildSearchStatement(std::string_view bank, const WordFilter& filter);
std::string DeleteWordStatement(std::string_view bank, std::string_view word);
std::string DropBankStatement(std::string_view bank);
std::string SetHotStatement(std::string_view bank, int hot, std::string_view word);
std::string MarkKnownStatement(std::string_view bank, std::string_view word);
std::string AddToRecitationStatement(const RecitationCells& cells);
std::string UpdateTranslationStatement(std::string_view bank, std::string_view translation, std::string_view word);
std::string InsertTranslationStatement(std::string_view bank, std::string_view word, std::string_view translation,
                                       int hot);
// The update of a word that has no translation yet: its trans is NULL,
// empty, or placeholder (the text stored when a lookup found nothing).
std::string UpdateMissingTranslationStatement(std::string_view bank, std::string_view translation,
                                              std::string_view word, std::string_view placeholder);
// The words of a bank whose translation is exactly translation, by id.
std::string WordsWithTranslationStatement(std::string_view bank, std::string_view translation);
std::string UpdatePhoneticStatement(std::string_view bank, std::string_view phonetic, std::string_view word);

// ---- operations ----------------------------------------------------------
// Why a new bank's name is refused.
enum class BankNameProblem {
  kNone,
  kBlankOrLong,  // only blanks, or more than the 55 bytes the page reads back
  kReserved,     // a name of the file's own tables: review_*, known_log, sqlite_* (any letter case)
};
BankNameProblem CheckBankName(std::string_view name);
// A new bank's name must hold something besides blanks, fit 55 bytes and
// not be one of the file's own tables.
bool IsAcceptableBankName(std::string_view name);
// The UTF-8 text that tells the learner why the name is refused.
std::string BankNameRefusal(BankNameProblem problem, std::string_view name);
// Whether a table of that name is in the file, compared as the file
// compares table names (without regard to letter case): main_remember and
// main_word included, so "Main_Word" exists when main_word does.
bool BankExists(WordDatabase& db, std::string_view name);
// Creates the bank through ExecuteLogged, in a batch of its own. A name that
// is not acceptable is refused with an application box (kRefused) and
// nothing is made. A bank that exists already is kRejected; a file that
// cannot be written says why.
Status CreateBank(WordDatabase& db, std::string_view bank, MessageBoxes& boxes);
// The names of every table but main_remember and the file's own tables
// (the review history's and sqlite_*), in file order.
std::vector<std::string> ListBanks(WordDatabase& db);

// The batch operations below run all their statements in one transaction
// (WordDatabase::Batch): the first statement that fails ends the batch,
// which is then rolled back, and the Status says why (nothing of it stays).
// Only a committed batch shows its success text. Failures are not shown
// here: the window tells the learner (and may wait for a held file). The
// operations' own refusals show their box and return kRefused.

// Deletes the words; then "更新完毕，请刷新".
Status DeleteWords(WordDatabase& db, std::string_view bank, const std::vector<std::string>& words, MessageBoxes& boxes);
// Drops the bank, and its kept sentences, unless it is the shown one or
// contains main_word, then "删除成功" (the page then lists the banks again).
Status DropBank(WordDatabase& db, std::string_view bank, std::string_view currentBank, MessageBoxes& boxes);
// Sets hot of every word to the leading-digit value of hotText; refuses a
// value of 0 or less with "请输入要修改的热度值!".
Status SetHot(WordDatabase& db, std::string_view bank, const std::vector<std::string>& words, std::string_view hotText,
              MessageBoxes& boxes);
// Runs inside a batch and is handed the batch's own statements to run, so
// that what it writes before or after them is committed (or rolled back)
// with them. It returns the first failure of its own or of updates.
using AroundUpdates = std::function<Status(const std::function<Status()>& updates)>;
// Marks the words known in one batch, the updates run by around when given.
Status MarkKnown(WordDatabase& db, std::string_view bank, const std::vector<std::string>& words,
                 const AroundUpdates& around = {});
// Every word marked known (会背) in any table of the file, main_remember
// included, as the word list reads the flag (any value but 0). Tables that
// cannot be read (not of the word layout) are skipped.
std::unordered_set<std::string> KnownWords(WordDatabase& db);
// Whether the bank has a row of that word (false too when it cannot be read).
bool HasWord(WordDatabase& db, std::string_view bank, std::string_view word);
// The number of rows of a bank; -1 when it cannot be read.
int CountWords(WordDatabase& db, std::string_view bank);
// The words of the bank whose translation is exactly translation (the
// not-found text, say), in row order. Empty when the bank cannot be read.
std::vector<std::string> WordsWithTranslation(WordDatabase& db, std::string_view bank, std::string_view translation);
// Copies the rows into main_remember. A row the list refuses (a word it has
// already, or no recitation list at all) ends the copy: the rows before it
// stay, the failure message is shown and kRefused returned. Any other
// failure keeps none of the rows. On success calls notifyChanged (the page
// posts RecitationListChanged) and shows "成功添加到背诵列表". With fromBank,
// each word copied takes its kept sentences of that bank along.
Status AddToRecitationList(WordDatabase& db, const std::vector<RecitationCells>& rows, MessageBoxes& boxes,
                           const std::function<void()>& notifyChanged, std::string_view fromBank = {});

}  // namespace quorvo
