// Sentences of a text for its words: SentenceSplitter cuts a byte stream
// into sentences, SentenceKeeper keeps for every distinct word the first
// sentences it occurs in, for the cards of the recitation page.
//
// The word counter feeds the keeper the text as it reads it (any chunking),
// so a text is read once and never held: the splitter keeps only the
// sentence under way, at most kMaxSentenceChars characters of it, and the
// keeper at most kSentencesPerWord sentences per word. Memory grows with the
// distinct words, as the counter's does, not with the text. The counter also
// tells the keeper which of its words each sentence holds (WordId, NoteWord),
// so a word is hashed and found once per occurrence, by the counter, and the
// keeper only looks at the words that still want a sentence; text fed with
// Feed() alone is cut into words by the keeper itself.
//
// Sentences end at ". ", "! ", "? " (closing quotes and brackets after the
// mark stay with the sentence) unless the next word starts with a lower-case
// letter; a full stop after a title (Mr, Dr, ...), an initial or a dotted
// abbreviation (e.g., U.S.) ends nothing, nor one inside a number (3.14).
// Whitespace runs, line breaks included, become one space. A blank line ends
// a sentence; a line with no letter (a number, a subtitle's timing) and a
// line of a single bare word (a word list, a heading) belong to no sentence.
// A sentence is cut at kMaxSentenceChars characters at a word boundary; one
// that never ended with a mark and outgrew that length (a text without
// punctuation) is dropped, as is one of fewer than two words.
//
// Threads: an object belongs to one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvo {

inline constexpr size_t kMaxSentenceChars = 300;
inline constexpr int kSentencesPerWord = 3;

class SentenceSplitter {
 public:
  using Sink = std::function<void(std::string_view sentence)>;
  explicit SentenceSplitter(Sink sink) : sink_(std::move(sink)) { buffer_.reserve(kMaxSentenceChars * 4 + 8); }

  // The next bytes of the text.
  void Feed(std::string_view bytes);
  // A word of the sentence under way (its bytes have been fed); the sink
  // finds the sentence's words in Words(). A line that turns out to belong
  // to no sentence takes its words with it.
  // Once a word has been noted, a sentence without a noted word is not
  // handed to the sink.
  void NoteWord(uint32_t id) {
    notesWords_ = true;
    if (!full_) words_.push_back(id);  // a word past the cut is not in the sentence
  }
  const std::vector<uint32_t>& Words() const { return words_; }
  // The end of the text: the sentence under way ends.
  void Finish();

 private:
  struct Mark {
    size_t bytes = 0;
    size_t chars = 0;
    size_t words = 0;
    bool full = false;
    int end = 0;
  };
  void Append(char c);
  // The space a whitespace run left before the next character; false when
  // the sentence is cut there.
  bool PutPendingSpace();
  void AppendRun(const char* letters, size_t count);
  void FeedOne(char c);
  void EndLine();
  void EndSentence();
  void Reset();

  Sink sink_;
  std::string buffer_;           // the sentence under way, whitespace collapsed
  std::vector<uint32_t> words_;  // the words noted in it
  bool notesWords_ = false;
  size_t chars_ = 0;   // characters in buffer_
  bool full_ = false;  // cut: further bytes are not kept
  bool pendingSpace_ = false;
  int end_ = 0;  // 0 none, 1 after a mark, 2 after a mark and a space
  bool wasCut_ = false;
  char lastToken_[8] = {};  // the letters and dots before a full stop, lower case
  size_t lastTokenLength_ = 0;
  // The line under way.
  Mark lineStart_;
  bool lineHasContent_ = false;
  bool lineHasLetter_ = false;
  bool lineHasOther_ = false;
  int lineWords_ = 0;
  bool inWord_ = false;
  bool endedInLine_ = false;
};

// One kept sentence of a word and where it came from.
struct KeptSentence {
  std::string text;      // GBK bytes
  std::string source;    // the text's name, GBK bytes
  bool bundled = false;  // from the bundled examples, not the learner's text
};

class SentenceKeeper {
 public:
  SentenceKeeper();
  SentenceKeeper(const SentenceKeeper&) = delete;
  SentenceKeeper& operator=(const SentenceKeeper&) = delete;

  // The name of the text that the next bytes come from (GBK).
  void BeginText(std::string source);
  void Feed(std::string_view bytes) { splitter_.Feed(bytes); }
  // The word counter's side: the text's bytes as it reads them, and after a
  // word's bytes the word itself, by the id WordId gave it (once per
  // distinct word). A word with its sentences all kept need not be noted.
  void FeedCounted(std::string_view bytes) {
    counted_ = true;
    splitter_.Feed(bytes);
  }
  uint32_t WordId(std::string_view word);
  bool WantsSentence(uint32_t id) const { return kept_[id] < kSentencesPerWord; }
  void NoteWord(uint32_t id) { splitter_.NoteWord(id); }
  // The end of the current text.
  void EndText() { splitter_.Finish(); }

  // The words of a sentence, as the word counter takes them: runs of ASCII
  // letters, lower-cased, 3 to 127 letters, no apostrophe.
  template <typename Visit>
  static void ForEachWord(std::string_view sentence, const Visit& visit) {
    char word[128];
    size_t i = 0;
    while (i < sentence.size()) {
      while (i < sentence.size() && !IsWordByte(sentence[i])) ++i;
      size_t length = 0;
      bool apostrophe = false;
      for (; i < sentence.size() && IsWordByte(sentence[i]); ++i) {
        char c = sentence[i];
        apostrophe = apostrophe || c == '\'';
        if (length < sizeof word) word[length] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        ++length;
      }
      if (length >= 3 && length <= 127 && !apostrophe) visit(std::string_view(word, length));
    }
  }
  static bool IsWordByte(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '\''; }

  // Every word with its sentences (first met first), in no fixed order.
  void ForEach(
      const std::function<void(const std::string& word, const std::vector<const KeptSentence*>&)>& visit) const;
  // The sentences of one word; empty when it has none.
  std::vector<const KeptSentence*> SentencesOf(std::string_view word) const;
  size_t Words() const { return entries_.size(); }
  void Clear();

 private:
  struct Entry {
    std::string word;
    uint32_t index[kSentencesPerWord] = {};
    int count = 0;
  };
  // Open addressing over entries_, as the word counter finds its words: a
  // lookup per word of every sentence is the keeper's main cost.
  struct Slot {
    uint32_t hash = 0;
    uint32_t entry = 0;  // entries_ index + 1; 0: free
  };
  static uint32_t HashOf(std::string_view word);
  Entry& Find(std::string_view word);
  const Entry* Lookup(std::string_view word) const;  // nullptr: no such word
  void Keep(std::string_view sentence);
  // Gives the sentence about to be kept as sentences_[index] to the entry;
  // false when the entry has its sentences or this one already.
  bool Give(Entry& entry, uint32_t index);

  SentenceSplitter splitter_;
  std::string source_;
  std::vector<KeptSentence> sentences_;
  std::vector<Entry> entries_;
  std::vector<uint8_t> kept_;  // entries_[i].count, packed for the counter's look per word
  std::vector<Slot> slots_;
  bool counted_ = false;  // the words come from the counter
};

}  // namespace quorvo
