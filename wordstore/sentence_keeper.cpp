#include "wordstore/sentence_keeper.h"

#include <array>
#include <cstring>

#include "base/code_page.h"

namespace quorvo {
namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether a full stop after token (the letters and dots before it, as
// written) is part of an abbreviation and ends no sentence.
bool IsAbbreviation(const char* token, size_t length) {
  if (length == 0 || length > 6) return false;
  char lower[8] = {};
  for (size_t i = 0; i < length; ++i) {
    if (token[i] == '.') return true;  // e.g. i.e. U.S.
    lower[i] = Lower(token[i]);
  }
  // An initial ("J. Smith"); "I." and "A." are words.
  if (length == 1) return token[0] >= 'B' && token[0] <= 'Z' && token[0] != 'I';
  struct Title {
    const char* text;
    size_t length;
  };
  static constexpr Title kTitles[] = {{"mr", 2},   {"mrs", 3}, {"ms", 2},     {"dr", 2}, {"prof", 4}, {"sr", 2},
                                      {"jr", 2},   {"st", 2},  {"vs", 2},     {"cf", 2}, {"fig", 3},  {"mt", 2},
                                      {"rev", 3},  {"gen", 3}, {"col", 3},    {"lt", 2}, {"sgt", 3},  {"capt", 4},
                                      {"dept", 4}, {"vol", 3}, {"approx", 6}, {"no", 2}};
  for (const Title& title : kTitles)
    if (title.length == length && std::memcmp(title.text, lower, length) == 0) {
      // "no." is a number sign only before a digit; the caller cannot see
      // that far, so only the capitalised "No." counts.
      return !(length == 2 && lower[0] == 'n') || token[0] == 'N';
    }
  return false;
}

enum class ByteClass : unsigned char { Other, Letter, Space, Newline };

constexpr std::array<ByteClass, 256> kByteClasses = [] {
  std::array<ByteClass, 256> classes{};
  for (int c = 'a'; c <= 'z'; ++c) classes[c] = ByteClass::Letter;
  for (int c = 'A'; c <= 'Z'; ++c) classes[c] = ByteClass::Letter;
  for (char c : {' ', '\t', '\r', '\f', '\v', '\0'}) classes[static_cast<unsigned char>(c)] = ByteClass::Space;
  classes['\n'] = ByteClass::Newline;
  return classes;
}();

int CountWordRuns(std::string_view text) {
  int runs = 0;
  bool in = false;
  for (char c : text) {
    bool letter = IsLetter(c);
    if (letter && !in) ++runs;
    in = letter;
  }
  return runs;
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t more = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : 4;
    if (more == 4 || more >= text.size() - i) return false;
    for (size_t k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += more + 1;
  }
  return true;
}

// The stored form of a sentence: GBK. A text read as UTF-8 is converted;
// anything else is taken to be GBK already.
std::string StoredText(std::string_view sentence) {
  bool ascii = true;
  for (char c : sentence) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii || !IsValidUtf8(sentence)) return std::string(sentence);
  std::optional<std::string> gbk = Utf8ToGbk(sentence);
  return gbk ? *gbk : std::string(sentence);
}

}  // namespace

bool SentenceSplitter::PutPendingSpace() {
  if (pendingSpace_ && !buffer_.empty()) {
    if (chars_ + 1 > kMaxSentenceChars) {
      full_ = true;  // at a word's end: the cut is here
      return false;
    }
    buffer_ += ' ';
    ++chars_;
  }
  pendingSpace_ = false;
  return true;
}

void SentenceSplitter::Append(char c) {
  if (full_ || !PutPendingSpace()) return;
  bool lead = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  if (lead && chars_ + 1 > kMaxSentenceChars) {
    // Inside a word: back to the space before it, when there is one.
    size_t space = buffer_.rfind(' ');
    if (space != std::string::npos && space > 0) buffer_.resize(space);
    full_ = true;
    return;
  }
  buffer_ += c;
  if (lead) ++chars_;
}

void SentenceSplitter::AppendRun(const char* letters, size_t count) {
  if (full_ || !PutPendingSpace()) return;
  if (chars_ + count <= kMaxSentenceChars) {
    buffer_.append(letters, count);  // ASCII letters: a byte a character
    chars_ += count;
    return;
  }
  for (size_t k = 0; k < count; ++k) Append(letters[k]);  // the cut falls in this word
}

void SentenceSplitter::FeedOne(char c) {
  lineHasContent_ = true;
  if (end_ == 2) {
    if (c >= 'a' && c <= 'z') {
      end_ = 0;  // "Stop!" he said.
    } else {
      EndSentence();
      endedInLine_ = true;
    }
  } else if (end_ == 1 && (IsLetter(c) || IsDigit(c))) {
    end_ = 0;  // 3.14, a.m
  }
  bool letter = IsLetter(c);
  if (letter) {
    lineHasLetter_ = true;
    if (!inWord_) ++lineWords_;
    inWord_ = true;
  } else if (!((c == '\'' || c == '-') && inWord_)) {
    inWord_ = false;
    lineHasOther_ = true;
  }
  if ((c == '.' || c == '!' || c == '?') && end_ == 0 && !(c == '.' && IsAbbreviation(lastToken_, lastTokenLength_)))
    end_ = 1;
  if (letter || c == '.') {
    if (lastTokenLength_ < sizeof lastToken_) lastToken_[lastTokenLength_] = c;
    ++lastTokenLength_;
  } else {
    lastTokenLength_ = 0;
  }
  Append(c);
}

void SentenceSplitter::Feed(std::string_view bytes) {
  const char* p = bytes.data();
  const char* const stop = p + bytes.size();
  while (p < stop) {
    ByteClass kind = kByteClasses[static_cast<unsigned char>(*p)];
    if (kind == ByteClass::Space) {
      inWord_ = false;
      lastTokenLength_ = 0;
      if (end_ == 1) end_ = 2;
      pendingSpace_ = true;
      do ++p;
      while (p < stop && kByteClasses[static_cast<unsigned char>(*p)] == ByteClass::Space);
      continue;
    }
    if (kind == ByteClass::Newline) {
      EndLine();
      ++p;
      continue;
    }
    if (kind != ByteClass::Letter || end_ != 0) {
      FeedOne(*p++);
      continue;
    }
    // A run of letters inside a sentence changes nothing but the token and
    // the sentence's text.
    const char* run = p;
    do ++p;
    while (p < stop && kByteClasses[static_cast<unsigned char>(*p)] == ByteClass::Letter);
    auto count = static_cast<size_t>(p - run);
    lineHasContent_ = lineHasLetter_ = true;
    if (!inWord_) ++lineWords_;
    inWord_ = true;
    for (size_t k = 0; k < count && lastTokenLength_ + k < sizeof lastToken_; ++k)
      lastToken_[lastTokenLength_ + k] = run[k];
    lastTokenLength_ += count;
    AppendRun(run, count);
  }
}

void SentenceSplitter::EndLine() {
  inWord_ = false;
  lastTokenLength_ = 0;
  if (!lineHasContent_) {
    if (!buffer_.empty() || end_ != 0) EndSentence();  // a blank line
  } else if (!endedInLine_ && (!lineHasLetter_ || (lineWords_ == 1 && !lineHasOther_))) {
    // A line of no letters, or of one bare word: part of no sentence.
    buffer_.resize(lineStart_.bytes);
    chars_ = lineStart_.chars;
    words_.resize(lineStart_.words);
    full_ = lineStart_.full;
    end_ = lineStart_.end;
    EndSentence();
  } else {
    if (end_ == 1) end_ = 2;
    pendingSpace_ = true;
  }
  lineHasContent_ = lineHasLetter_ = lineHasOther_ = endedInLine_ = false;
  lineWords_ = 0;
  lineStart_ = Mark{buffer_.size(), chars_, words_.size(), full_, end_};
}

void SentenceSplitter::EndSentence() {
  if (notesWords_ && words_.empty()) {
    Reset();  // no word wants it
    return;
  }
  bool terminated = end_ != 0;
  // A text that ran past the cut without ever ending is no sentence.
  if (!(full_ && !terminated) && CountWordRuns(buffer_) >= 2) sink_(buffer_);
  Reset();
}

void SentenceSplitter::Reset() {
  buffer_.clear();
  words_.clear();
  chars_ = 0;
  full_ = false;
  pendingSpace_ = false;
  end_ = 0;
  lineStart_ = Mark{};
}

void SentenceSplitter::Finish() {
  if (lineHasContent_) EndLine();
  if (!buffer_.empty() || end_ != 0) EndSentence();
  Reset();
  lineHasContent_ = lineHasLetter_ = lineHasOther_ = endedInLine_ = inWord_ = false;
  lineWords_ = 0;
  lastTokenLength_ = 0;
}

SentenceKeeper::SentenceKeeper() : splitter_([this](std::string_view sentence) { Keep(sentence); }) {}

void SentenceKeeper::BeginText(std::string source) { source_ = std::move(source); }

uint32_t SentenceKeeper::HashOf(std::string_view word) {
  uint32_t hash = 0;
  for (char c : word) hash = hash * 131u + static_cast<unsigned char>(c);
  return hash ^ (hash >> 15);
}

const SentenceKeeper::Entry* SentenceKeeper::Lookup(std::string_view word) const {
  if (slots_.empty()) return nullptr;
  uint32_t hash = HashOf(word);
  size_t mask = slots_.size() - 1;
  for (size_t at = (hash * 0x9E3779B1u) & mask;; at = (at + 1) & mask) {
    const Slot& slot = slots_[at];
    if (!slot.entry) return nullptr;
    if (slot.hash == hash && entries_[slot.entry - 1].word == word) return &entries_[slot.entry - 1];
  }
}

SentenceKeeper::Entry& SentenceKeeper::Find(std::string_view word) {
  uint32_t hash = HashOf(word);
  if ((entries_.size() + 1) * 2 > slots_.size()) {
    std::vector<Slot> grown(slots_.empty() ? 4096 : slots_.size() * 2);
    size_t mask = grown.size() - 1;
    for (const Slot& old : slots_) {
      if (!old.entry) continue;
      size_t at = (old.hash * 0x9E3779B1u) & mask;
      while (grown[at].entry) at = (at + 1) & mask;
      grown[at] = old;
    }
    slots_.swap(grown);
  }
  size_t mask = slots_.size() - 1;
  for (size_t at = (hash * 0x9E3779B1u) & mask;; at = (at + 1) & mask) {
    Slot& slot = slots_[at];
    if (!slot.entry) {
      entries_.push_back(Entry{std::string(word)});
      kept_.push_back(0);
      slot = Slot{hash, static_cast<uint32_t>(entries_.size())};
      return entries_.back();
    }
    if (slot.hash == hash && entries_[slot.entry - 1].word == word) return entries_[slot.entry - 1];
  }
}

bool SentenceKeeper::Give(Entry& entry, uint32_t index) {
  if (entry.count >= kSentencesPerWord) return false;
  if (entry.count > 0 && entry.index[entry.count - 1] == index) return false;  // twice in one sentence
  entry.index[entry.count++] = index;
  kept_[&entry - entries_.data()] = static_cast<uint8_t>(entry.count);
  return true;
}

uint32_t SentenceKeeper::WordId(std::string_view word) { return static_cast<uint32_t>(&Find(word) - entries_.data()); }

void SentenceKeeper::Keep(std::string_view sentence) {
  auto index = static_cast<uint32_t>(sentences_.size());
  bool used = false;
  if (counted_) {
    for (uint32_t id : splitter_.Words()) used = Give(entries_[id], index) || used;
  } else {
    ForEachWord(sentence, [&](std::string_view word) { used = Give(Find(word), index) || used; });
  }
  if (used) sentences_.push_back(KeptSentence{StoredText(sentence), source_, false});
}

void SentenceKeeper::ForEach(
    const std::function<void(const std::string& word, const std::vector<const KeptSentence*>&)>& visit) const {
  std::vector<const KeptSentence*> list;
  for (const Entry& entry : entries_) {
    list.clear();
    for (int i = 0; i < entry.count; ++i) list.push_back(&sentences_[entry.index[i]]);
    visit(entry.word, list);
  }
}

std::vector<const KeptSentence*> SentenceKeeper::SentencesOf(std::string_view word) const {
  std::vector<const KeptSentence*> list;
  if (const Entry* entry = Lookup(word))
    for (int i = 0; i < entry->count; ++i) list.push_back(&sentences_[entry->index[i]]);
  return list;
}

void SentenceKeeper::Clear() {
  std::vector<Entry>().swap(entries_);
  std::vector<uint8_t>().swap(kept_);
  counted_ = false;
  std::vector<Slot>().swap(slots_);
  std::vector<KeptSentence>().swap(sentences_);
}

}  // namespace quorvo
