// WordCounter: counts the distinct English words of a text, for the
// add-words run.
//
// A fixed table of 1024 buckets, each the head of a chain of WordCount
// entries; a new word goes to the head of its bucket's chain, and the chains
// give the order in which the words are queued. A book has tens of thousands
// of distinct words, so the chains grow long: a word's entry is found through
// an open-addressing index over the entries (keyed by the full hash, at most
// half full), never by walking its chain. The index holds two words per slot
// and grows with the distinct words; Clear and Drain release it. Words are runs
// of ASCII letters, lower-cased, 3 to 127 letters long; a run that holds an
// apostrophe is dropped whole. The counter is empty before and after every
// add-words run: the run fills it and Drain() empties it in queue order.
//
// Texts come as GB18030 (GBK; the typed text), UTF-8 or UTF-16; ScanFile
// tells them apart by their BOM or their bytes. A run of letters that touches
// a letter outside ASCII (café, naïve, Привет) is dropped whole instead of
// leaving its ASCII pieces as words, and a typographic apostrophe between
// letters (don’t) is an apostrophe like "'". Chinese characters, digits and
// punctuation separate words. With KeepContractions on (word families), a
// token with an apostrophe inside (don't, john's) is kept, as written with
// "'", and its quotes at either end are dropped ('dogs'' gives dogs); the
// caller decides which word it stands for.
//
// A SentenceKeeper, when one is set, is fed every byte the counter reads,
// before it is cut into tokens, and told each word right after its bytes,
// so the text is read once and each word found once for both.
//
// Threads: one object belongs to one thread (the window thread); nothing in
// it is shared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvo {

class SentenceKeeper;

struct WordCount {
  char word[128];       // lower case, zero-terminated, at most 127 bytes
  int count;            // occurrences so far, starting at 1
  uint32_t sentenceId;  // 1 + the word's id in the sentence keeper; 0: none yet
  WordCount* next;      // next entry of the same bucket
};

class WordCounter {
 public:
  static constexpr int kBucketCount = 1024;
  static constexpr size_t kMaxWordBytes = 127;
  // ScanFile reads lines in chunks of at most this many bytes.
  static constexpr size_t kFileChunkBytes = 1023;

  WordCounter() = default;
  ~WordCounter() { Clear(); }
  WordCounter(const WordCounter&) = delete;
  WordCounter& operator=(const WordCounter&) = delete;

  // How the bytes of a text are to be read.
  enum class Bytes : unsigned char { Gb18030, Utf8 };

  // Counts one token. True when it became a new distinct word; false when it
  // was rejected (too short, too long, holds an apostrophe while contractions
  // are not kept), counted again, or dropped for lack of memory.
  bool AddWord(std::string_view token);

  // Off (the default): a token with an apostrophe is dropped. On: it is kept.
  void SetKeepContractions(bool keep) { keepContractions_ = keep; }

  // Cuts the writable buffer of size bytes (terminating zero included) into
  // tokens in place, lower-cases them and counts them. Never reads or writes
  // at or past buffer + size. The typed text is GB18030.
  void ScanText(char* buffer, size_t size, Bytes bytes = Bytes::Gb18030);

  // Scans the file line chunk by line chunk (a UTF-16 file is turned into
  // UTF-8 lines of at most as many bytes first). A missing file is created empty
  // and yields no words; a file that cannot be opened prints
  // "open file failed." on standard output.
  void ScanFile(const std::string& path);

  // Releases every entry.
  void Clear();

  // The keeper fed the text from now on; nullptr for none. Not owned.
  void SetSentenceKeeper(SentenceKeeper* keeper);

  // Hands every entry to sink in queue order (bucket 0 to 1023, within a
  // bucket the most recently added word first) and releases it; the counter
  // is empty afterwards.
  void Drain(const std::function<void(const WordCount& entry)>& sink);

  // Number of distinct words held.
  size_t Size() const { return size_; }

  // The bucket of a word: h = h * 131 + b over its bytes taken as signed
  // 8-bit values, with wrapping unsigned arithmetic; the low 10 bits.
  static int BucketOf(std::string_view word);
  // The hash before it is cut to a bucket (BucketOf is its low 10 bits).
  static uint32_t HashOf(std::string_view word);

 private:
  struct IndexSlot {
    uint32_t hash;     // HashOf(entry->word)
    WordCount* entry;  // nullptr: the slot is free
  };

  // Counts the token (AddWord's rules); its entry, or nullptr when it was
  // rejected or memory ran out.
  WordCount* Count(std::string_view token);

  // The slot holding word, or the free slot where it would go.
  IndexSlot& FindSlot(std::string_view word, uint32_t hash);
  // Makes room for one more entry; false when memory ran out and the index
  // cannot take it.
  bool ReserveIndexSlot();
  void ReleaseIndex();

  void ScanUtf16File(std::FILE* file, bool bigEndian);

  WordCount* buckets_[kBucketCount] = {};
  bool keepContractions_ = false;
  std::vector<IndexSlot> index_;  // a power of two slots, or none
  size_t size_ = 0;
  SentenceKeeper* keeper_ = nullptr;
  std::string keeperText_;  // the chunk under way as it was read, for the keeper
};

}  // namespace quorvo
