#include "lexicon/lexicon.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "lexicon/data_lines.h"

namespace quorvo {

namespace {

// Longest word looked up; quorvo's words are at most 127 letters.
constexpr size_t kMaxWordBytes = 127;

struct ExamText {
  const char* code;
  const char* name;
};
constexpr std::array<ExamText, kExamCount> kExamTexts = {{
    {"zk", "中考"},
    {"gk", "高考"},
    {"cet4", "CET-4"},
    {"cet6", "CET-6"},
    {"ky", "考研"},
    {"ielts", "IELTS"},
    {"toefl", "TOEFL"},
    {"gre", "GRE"},
}};

bool IsWord(std::string_view word) {
  if (word.empty() || word.size() > kMaxWordBytes) return false;
  return std::all_of(word.begin(), word.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// Calls `each` with every piece of the text between separators; an empty
// text has no piece. Stops and returns false when `each` does.
template <typename Each>
bool ForEachPiece(std::string_view text, char separator, Each each) {
  if (text.empty()) return true;
  size_t start = 0;
  while (true) {
    size_t at = text.find(separator, start);
    if (!each(text.substr(start, at == std::string_view::npos ? at : at - start))) return false;
    if (at == std::string_view::npos) return true;
    start = at + 1;
  }
}

// FNV-1a over the word's bytes (already lower case).
uint32_t HashWord(std::string_view word) {
  uint32_t hash = 2166136261u;
  for (char c : word) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash;
}

bool ParseRank(std::string_view field, uint32_t* rank) {
  *rank = 0;
  if (field.empty()) return true;
  auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), *rank);
  return error == std::errc() && end == field.data() + field.size();
}

}  // namespace

const char* ExamName(Exam exam) { return kExamTexts[static_cast<size_t>(exam)].name; }

const char* ExamCode(Exam exam) { return kExamTexts[static_cast<size_t>(exam)].code; }

bool ExamFromCode(std::string_view code, Exam* exam) {
  for (Exam candidate : kAllExams) {
    if (code == ExamCode(candidate)) {
      *exam = candidate;
      return true;
    }
  }
  return false;
}

Lexicon::Lexicon() = default;
Lexicon::Lexicon(Lexicon&&) noexcept = default;
Lexicon& Lexicon::operator=(Lexicon&&) noexcept = default;
Lexicon::~Lexicon() = default;

void Lexicon::Clear() {
  entries_.clear();
  formSlots_.clear();
  bases_.clear();
  forms_.clear();
  for (auto& words : examWords_) words.clear();
  text_.reset();
}

bool Lexicon::Load(const std::string& path, LexiconLoadReport* report) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Clear();
    if (report) *report = {};
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return LoadText(std::move(text).str(), report);
}

bool Lexicon::LoadText(std::string text, LexiconLoadReport* report) {
  Clear();
  text_ = std::make_unique<std::string>(std::move(text));
  const std::string_view all(*text_);
  LexiconLoadReport counts;
  std::vector<std::pair<std::string_view, std::string_view>> baseForms;  // (base, form)
  size_t lines = static_cast<size_t>(std::count(all.begin(), all.end(), '\n')) + 1;
  entries_.reserve(lines);
  size_t slots = 16;
  while (slots < 2 * lines) slots *= 2;
  formSlots_.assign(slots, FormSlot());
  size_t start = 0;
  std::string_view line;
  while (NextDataLine(all, &start, &line)) {
    std::string_view fields[4];
    size_t fieldCount = 0;
    ForEachPiece(line, '\t', [&](std::string_view piece) {
      if (fieldCount < 4) fields[fieldCount] = piece;
      return ++fieldCount <= 4;
    });
    size_t baseCount = 0;
    uint32_t rank = 0;
    bool good = fieldCount <= 4 && IsWord(fields[0]) && ParseRank(fields[2], &rank) &&
                ForEachPiece(fields[1], ',',
                             [&](std::string_view base) {
                               ++baseCount;
                               return IsWord(base);
                             }) &&
                baseCount <= UINT16_MAX;
    ExamSet exams = 0;
    ForEachPiece(fields[3], ',', [&](std::string_view code) {
      Exam exam;
      if (ExamFromCode(code, &exam)) exams |= ExamBit(exam);  // a code a later file adds is passed over
      return true;
    });
    if (!good) {
      ++counts.skippedLines;
      continue;
    }
    Entry& entry = Slot(fields[0]);
    if (entry.hasLine) {
      ++counts.skippedLines;
      continue;
    }
    entry.hasLine = true;
    entry.rank = rank;
    entry.exams = exams;
    entry.basesAt = static_cast<uint32_t>(bases_.size());
    entry.basesCount = static_cast<uint16_t>(baseCount);
    ForEachPiece(fields[1], ',', [&](std::string_view base) {
      if (bases_.size() == entry.basesAt) AddForm(fields[0], base);
      bases_.push_back(base);
      baseForms.emplace_back(base, fields[0]);
      return true;
    });
    for (Exam exam : kAllExams)
      if (HasExam(exams, exam)) examWords_[static_cast<size_t>(exam)].push_back(fields[0]);
  }

  std::sort(baseForms.begin(), baseForms.end());
  baseForms.erase(std::unique(baseForms.begin(), baseForms.end()), baseForms.end());
  forms_.reserve(baseForms.size());
  for (size_t i = 0; i < baseForms.size();) {
    Entry& base = Slot(baseForms[i].first);
    base.formsAt = static_cast<uint32_t>(forms_.size());
    size_t j = i;
    for (; j < baseForms.size() && baseForms[j].first == baseForms[i].first; ++j) forms_.push_back(baseForms[j].second);
    base.formsCount = static_cast<uint16_t>(std::min<size_t>(j - i, UINT16_MAX));
    i = j;
  }
  for (auto& words : examWords_) std::sort(words.begin(), words.end());

  counts.words = entries_.size();
  for (const auto& [word, entry] : entries_) {
    counts.forms += entry.basesCount > 0;
    counts.ranked += entry.rank > 0;
    counts.tagged += entry.exams != 0;
  }
  if (report) *report = counts;
  return !entries_.empty();
}

Lexicon::Entry& Lexicon::Slot(std::string_view word) { return entries_[word]; }

template <typename Map>
const typename Map::mapped_type* Lexicon::Find(const Map& map, std::string_view word) {
  if (word.empty() || word.size() > kMaxWordBytes) return nullptr;
  char lower[kMaxWordBytes];
  bool folded = false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
      folded = true;
    }
    lower[i] = c;
  }
  auto it = map.find(folded ? std::string_view(lower, word.size()) : word);
  return it == map.end() ? nullptr : &it->second;
}

void Lexicon::AddForm(std::string_view form, std::string_view base) {
  uint32_t hash = HashWord(form);
  size_t mask = formSlots_.size() - 1;
  for (size_t at = hash & mask;; at = (at + 1) & mask) {
    FormSlot& slot = formSlots_[at];
    if (slot.length == 0) {
      form.copy(slot.head, std::min(form.size(), sizeof slot.head));
      slot.word = form.data();
      slot.base = base;
      slot.hash = hash;
      slot.length = static_cast<uint8_t>(form.size());
      return;
    }
    if (slot.hash == hash && std::string_view(slot.word, slot.length) == form) return;  // a repeat: the first stays
  }
}

const Lexicon::FormSlot* Lexicon::FindForm(std::string_view word) const {
  if (word.empty() || word.size() > kMaxWordBytes || formSlots_.empty()) return nullptr;
  char lower[kMaxWordBytes + 16] = {};
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    lower[i] = c;
    hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  }
  size_t mask = formSlots_.size() - 1;
  for (size_t at = hash & mask;; at = (at + 1) & mask) {
    const FormSlot& slot = formSlots_[at];
    if (slot.length == 0) return nullptr;
    if (slot.hash == hash && slot.length == word.size() && std::memcmp(slot.head, lower, sizeof slot.head) == 0 &&
        (word.size() <= sizeof slot.head ||
         std::memcmp(slot.word + sizeof slot.head, lower + sizeof slot.head, word.size() - sizeof slot.head) == 0))
      return &slot;
  }
}

std::string_view Lexicon::BaseOf(std::string_view word) const {
  const FormSlot* slot = FindForm(word);
  return slot ? slot->base : word;
}

std::span<const std::string_view> Lexicon::BasesOf(std::string_view word) const {
  const Entry* entry = Find(entries_, word);
  if (!entry || entry->basesCount == 0) return {};
  return {bases_.data() + entry->basesAt, entry->basesCount};
}

std::span<const std::string_view> Lexicon::FormsOf(std::string_view base) const {
  const Entry* entry = Find(entries_, base);
  if (!entry || entry->formsCount == 0) return {};
  return {forms_.data() + entry->formsAt, entry->formsCount};
}

ExamSet Lexicon::ExamsOf(std::string_view word) const {
  const Entry* entry = Find(entries_, word);
  return entry ? entry->exams : 0;
}

uint32_t Lexicon::FrequencyRank(std::string_view word) const {
  const Entry* entry = Find(entries_, word);
  return entry ? entry->rank : 0;
}

std::span<const std::string_view> Lexicon::WordsOf(Exam exam) const {
  const auto& words = examWords_[static_cast<size_t>(exam)];
  return {words.data(), words.size()};
}

bool KnownByFamily(const std::unordered_set<std::string>& known, const Lexicon* lexicon, std::string_view word) {
  if (known.count(std::string(word)) > 0) return true;
  if (!lexicon) return false;
  std::string_view base = lexicon->BaseOf(word);
  return base != word && known.count(std::string(base)) > 0;
}

std::array<ExamProgress, kExamCount> CountExamProgress(const Lexicon& lexicon,
                                                       const std::function<bool(std::string_view)>& isKnown) {
  std::array<ExamProgress, kExamCount> progress{};
  for (size_t i = 0; i < kExamCount; ++i) {
    for (std::string_view word : lexicon.WordsOf(kAllExams[i])) {
      ++progress[i].total;
      if (isKnown(word)) ++progress[i].known;
    }
  }
  return progress;
}

}  // namespace quorvo
