// Lexicon: word families, exam levels and frequency ranks of English words,
// read once from quorvo-lexicon.tsv (beside quorvo-dict.tsv; AppLayout's
// lexiconData names it).
//
// File format (UTF-8, one word a line, "#" lines are comments):
//   word<TAB>bases<TAB>rank<TAB>exams
// bases: the words it is an inflected form of, comma-separated, most
// frequent first ("leaves<TAB>leave,leaf"), empty for a word that is no
// form; rank: its frequency rank, 0 for none; exams: exam codes,
// comma-separated (zk 中考, gk 高考, cet4, cet6, ky 考研, ielts, toefl, gre).
// Empty fields at the end of a line may be left out. Words and bases are
// lower-case ASCII letters.
//
// Lookups take a word in any case (ASCII letters) and never copy the table:
// the views they return stay valid as long as the Lexicon lives. After
// Load() the object is only read: any number of threads may call its const
// members at once. A Lexicon can be moved, not copied.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quorvo {

enum class Exam : uint8_t { Zhongkao, Gaokao, Cet4, Cet6, Kaoyan, Ielts, Toefl, Gre };
inline constexpr size_t kExamCount = 8;
inline constexpr std::array<Exam, kExamCount> kAllExams = {Exam::Zhongkao, Exam::Gaokao, Exam::Cet4,  Exam::Cet6,
                                                           Exam::Kaoyan,   Exam::Ielts,  Exam::Toefl, Exam::Gre};

// A set of exams, one bit each (bit 0 中考 ... bit 7 GRE).
using ExamSet = uint8_t;
constexpr ExamSet ExamBit(Exam exam) { return static_cast<ExamSet>(1u << static_cast<unsigned>(exam)); }
constexpr bool HasExam(ExamSet set, Exam exam) { return (set & ExamBit(exam)) != 0; }

// The exam's name as the learner reads it: "中考", "高考", "CET-4", "CET-6",
// "考研", "IELTS", "TOEFL", "GRE" (UTF-8).
const char* ExamName(Exam exam);
// The exam's code in the file ("cet4"); the code back to the exam.
const char* ExamCode(Exam exam);
bool ExamFromCode(std::string_view code, Exam* exam);

struct LexiconLoadReport {
  size_t words = 0;         // words with a line or named as a base
  size_t forms = 0;         // words with at least one base
  size_t ranked = 0;        // words with a frequency rank
  size_t tagged = 0;        // words with at least one exam
  size_t skippedLines = 0;  // malformed lines, and repeats of a word
};

class Lexicon {
 public:
  Lexicon();
  Lexicon(Lexicon&&) noexcept;
  Lexicon& operator=(Lexicon&&) noexcept;
  ~Lexicon();

  // Reads the file; false when it cannot be read or holds no usable line.
  bool Load(const std::string& path, LexiconLoadReport* report = nullptr);
  // Reads the file's content from memory (for tests and tools).
  bool LoadText(std::string text, LexiconLoadReport* report = nullptr);

  // The base of the word's family: the first of BasesOf(), or the word
  // itself, as given, when it is no form of another (a word the table does
  // not know, too).
  std::string_view BaseOf(std::string_view word) const;
  // Every base the word is a form of, most frequent first; the word itself
  // is among them when it is also a base of its own ("saw": see, saw).
  // Empty when the word is no form.
  std::span<const std::string_view> BasesOf(std::string_view word) const;
  // The forms whose bases include this word, in alphabetical order.
  std::span<const std::string_view> FormsOf(std::string_view base) const;
  // The exams whose word lists hold the word itself (not its base).
  ExamSet ExamsOf(std::string_view word) const;
  // The word's own frequency rank (1 most frequent); 0 when it has none.
  uint32_t FrequencyRank(std::string_view word) const;
  // The words of one exam's list, in alphabetical order.
  std::span<const std::string_view> WordsOf(Exam exam) const;

  size_t wordCount() const { return entries_.size(); }

 private:
  struct Entry {
    uint32_t basesAt = 0;
    uint32_t formsAt = 0;
    uint32_t rank = 0;
    uint16_t basesCount = 0;
    uint16_t formsCount = 0;
    ExamSet exams = 0;
    bool hasLine = false;
  };
  template <typename Map>
  static const typename Map::mapped_type* Find(const Map& map, std::string_view word);
  Entry& Slot(std::string_view word);
  void Clear();

  // The first base of every form, for the one lookup made for every word of
  // a text: open addressing, the first 16 letters of the form kept in its
  // slot, so that a lookup mostly reads one slot and nothing else.
  struct FormSlot {
    char head[16] = {};          // the form's first letters, zero-padded
    const char* word = nullptr;  // the whole form, for one of more than 16 letters
    std::string_view base;
    uint32_t hash = 0;
    uint8_t length = 0;  // 0: a free slot
  };
  void AddForm(std::string_view form, std::string_view base);
  const FormSlot* FindForm(std::string_view word) const;

  // The file's text; every view points into it.
  std::unique_ptr<std::string> text_;
  std::unordered_map<std::string_view, Entry> entries_;
  std::vector<FormSlot> formSlots_;  // a power of two, at most half used
  std::vector<std::string_view> bases_;
  std::vector<std::string_view> forms_;
  std::array<std::vector<std::string_view>, kExamCount> examWords_;
};

// Known against total for one exam's list.
struct ExamProgress {
  size_t known = 0;
  size_t total = 0;
};

// The one rule for "known" wherever words are counted (the add-words
// summary, the 统计 tab's banks and exams): the word, or its family's base
// (BaseOf), is in known, the words marked 会背 in any bank. Without a
// lexicon every word is its own family.
bool KnownByFamily(const std::unordered_set<std::string>& known, const Lexicon* lexicon, std::string_view word);

// For each exam (in kAllExams order), how many words of its list isKnown
// accepts, out of how many.
std::array<ExamProgress, kExamCount> CountExamProgress(const Lexicon& lexicon,
                                                       const std::function<bool(std::string_view)>& isKnown);

}  // namespace quorvo
