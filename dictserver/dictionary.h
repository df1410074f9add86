// Dictionary: the English-Chinese data quorvo-dictd serves, read once from
// its tab-separated file, and the rules that lead an inflected form to the
// headword it comes from.
//
// File format (UTF-8, one headword a line, "#" lines are comments):
//   word<TAB>pos. 义；义<TAB>pos. 义     a headword and its parts
//   word<TAB>/ipa/<TAB>pos. 义           the same with the word's phonetic
//   word<TAB>=base<TAB>pos. 复数         an irregular form of base: the part
//                                        it belongs to and the kind of form
//   word<TAB>=base                       another spelling of base
//   word<TAB>/ipa/                       only the phonetic of a form the
//                                        rules lead to its base (cats)
// A part is its part-of-speech head, one blank, and its senses separated by
// "；". Load() keeps only what a page can carry safely (see DictPart).
//
// After Load() the object is only read: any number of threads may call its
// const members at once.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvo::dictd {

// One part of a translation: "n." and "苹果；苹果树". Neither holds "<", ">",
// "&", a control character or a blank at either end, so the page can carry it
// unchanged and the lookup engine cuts it back out whole.
struct DictPart {
  std::string head;
  std::string senses;
};

// A word's translation never grows past this many bytes of UTF-8 ("head
// senses" of every part, with a line feed between parts): quorvo keeps a
// translation of at most 1023 characters, word included.
inline constexpr size_t kMaxTranslationBytes = 900;
// A page carries at most this many parts.
inline constexpr size_t kMaxParts = 8;
// Longest word looked up; quorvo's words are at most 127 letters.
inline constexpr size_t kMaxWordBytes = 127;

// A phonetic is at most this many bytes ("/" and "/" included).
inline constexpr size_t kMaxPhoneticBytes = 96;

// How a form relates to its base: the part of speech it belongs to ("v.")
// and the kind of form ("过去式"). Both empty for a headword itself or
// another spelling.
struct FormNote {
  std::string head;
  std::string kind;
};

// The headword that answers a word, and what kind of form the word is.
struct Resolution {
  std::string headword;  // "" when the data does not know the word
  FormNote form;
};

struct LoadReport {
  size_t headwords = 0;
  size_t aliases = 0;
  size_t phonetics = 0;
  size_t skippedLines = 0;  // malformed lines, or lines with nothing usable
};

class Dictionary {
 public:
  // Reads the file; false when it cannot be read or holds no headword.
  bool Load(const std::string& path, LoadReport* report = nullptr);
  // Reads the file's content from memory (for tests and tools).
  bool LoadText(std::string_view text, LoadReport* report = nullptr);

  // The parts of a headword as stored; nullptr when it is not one.
  const std::vector<DictPart>* Entry(std::string_view headword) const;
  // The headword that answers a word: the word itself, the base named by an
  // irregular form, or the first base of InflectionCandidates() the data
  // knows; "" when none. The word is taken lower-cased.
  std::string Resolve(std::string_view word) const;
  // The same, with the kind of form the word is of that headword.
  Resolution ResolveForm(std::string_view word) const;
  // The parts a page shows for a word: its headword's parts, and for a form
  // the part it belongs to first, naming the base ("跑（run 的现在分词）");
  // empty when the data does not know the word.
  std::vector<DictPart> PartsFor(std::string_view word) const;
  // The word's phonetic ("/ˈæp.əl/"); "" when the data has none.
  std::string Phonetic(std::string_view word) const;

  size_t headwordCount() const { return entries_.size(); }
  size_t aliasCount() const { return aliases_.size(); }

 private:
  Resolution ResolveOnce(const std::string& word) const;

  struct Alias {
    std::string base;
    FormNote form;
  };
  std::unordered_map<std::string, std::vector<DictPart>> entries_;
  std::unordered_map<std::string, Alias> aliases_;
  std::unordered_map<std::string, std::string> phonetics_;
};

// What kind of form a word is of the base the inflection rules led it to:
// fishermen of fisherman is "n." "复数"; cats of cat "n." "复数" when the
// base's parts hold a noun, else "v." "第三人称单数"; walking "v." "现在分词";
// walked "v." "过去式或过去分词"; nicer "adj." "比较级"; nicest "adj." "最高级".
FormNote RegularForm(std::string_view word, std::string_view base, const std::vector<DictPart>& baseParts);

// The parts for a form: the first part with the form's head moved to the
// front with "（base 的kind）" after its senses, all cut to the budget.
// Unchanged when the note's kind is empty.
std::vector<DictPart> PartsForForm(const std::vector<DictPart>& parts, std::string_view base, const FormNote& form);

// The base words an inflected form may come from, most likely first:
// plurals of compounds in -men (fishermen), plurals and third persons
// (cats, boxes, flies), -ing (walking, hoping,
// running, lying), -ed (liked, walked, tried, stopped), -er and -est (nicer,
// taller, happier, bigger). Candidates are not checked against any data.
// The converter that builds the data (dictserver/tools/build_dict_data.py,
// inflection_bases) uses the same rules in the same order.
std::vector<std::string> InflectionCandidates(std::string_view word);

// The parts cut to the translation budget: senses are dropped from the end
// of a part, then whole parts, so that the text fits kMaxTranslationBytes
// and there are at most kMaxParts parts.
std::vector<DictPart> FitParts(const std::vector<DictPart>& parts, size_t maxBytes = kMaxTranslationBytes);

// The translation as quorvo stores it: "head senses" per part, joined by
// line feeds.
std::string TranslationText(const std::vector<DictPart>& parts);

}  // namespace quorvo::dictd
