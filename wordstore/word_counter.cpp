#include "wordstore/word_counter.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "base/diagnostics.h"
#include "wordstore/sentence_keeper.h"
#include "wordstore/texts.h"

namespace quorvo {
namespace {

bool IsWordByte(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '\''; }

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Opens a source text for reading. A missing file is created empty (so it
// yields no words); an existing file is only read, so a file the user may
// read but not write still gives its words.
File OpenSourceText(const std::string& path) {
  File file(std::fopen(path.c_str(), "r"));
  if (!file && errno == ENOENT) file.reset(std::fopen(path.c_str(), "a+"));
  if (!file) return nullptr;
  struct stat info {};
  if (fstat(fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) return nullptr;
  return file;
}

// Fibonacci hashing: every bit of the hash reaches the slot number.
size_t SlotOf(uint32_t hash, size_t mask) {
  return static_cast<size_t>((uint64_t{hash} * 0x9E3779B97F4A7C15ull) >> 32) & mask;
}

}  // namespace

uint32_t WordCounter::HashOf(std::string_view word) {
  uint32_t h = 0;
  for (char c : word) h = h * 131u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c)));
  return h;
}

int WordCounter::BucketOf(std::string_view word) { return static_cast<int>(HashOf(word) % kBucketCount); }

WordCounter::IndexSlot& WordCounter::FindSlot(std::string_view word, uint32_t hash) {
  // The low bits of the hash are the bucket, shared by many words; the
  // slot comes from all 32 bits. Linear probing.
  size_t mask = index_.size() - 1;
  size_t slot = SlotOf(hash, mask);
  for (;; slot = (slot + 1) & mask) {
    IndexSlot& candidate = index_[slot];
    if (!candidate.entry) return candidate;
    if (candidate.hash == hash && std::memcmp(candidate.entry->word, word.data(), word.size()) == 0 &&
        candidate.entry->word[word.size()] == '\0')
      return candidate;
  }
}

bool WordCounter::ReserveIndexSlot() {
  static constexpr size_t kFirstIndexSlots = 1024;
  if (!index_.empty() && (size_ + 1) * 2 <= index_.size()) return true;
  std::vector<IndexSlot> grown;
  try {
    grown.assign(index_.empty() ? kFirstIndexSlots : index_.size() * 2, IndexSlot{0, nullptr});
  } catch (const std::bad_alloc&) {
    // Go on in the old index while a free slot is left to end every probe.
    return !index_.empty() && size_ + 2 <= index_.size();
  }
  index_.swap(grown);
  size_t mask = index_.size() - 1;
  for (const IndexSlot& old : grown) {
    if (!old.entry) continue;
    size_t slot = SlotOf(old.hash, mask);
    while (index_[slot].entry) slot = (slot + 1) & mask;
    index_[slot] = old;
  }
  return true;
}

void WordCounter::ReleaseIndex() { std::vector<IndexSlot>().swap(index_); }

bool WordCounter::AddWord(std::string_view token) {
  if (token.size() > kMaxWordBytes || token.size() <= 2) return false;
  if (token.find('\'') != std::string_view::npos) return false;
  uint32_t hash = HashOf(token);
  if (!index_.empty()) {
    IndexSlot& found = FindSlot(token, hash);
    if (found.entry) {
      ++found.entry->count;
      return false;
    }
  }
  if (!ReserveIndexSlot()) return false;
  auto* entry = new (std::nothrow) WordCount{};
  if (!entry) return false;
  std::memcpy(entry->word, token.data(), token.size());
  entry->word[token.size()] = '\0';
  entry->count = 1;
  WordCount*& head = buckets_[hash % kBucketCount];
  entry->next = head;
  head = entry;
  FindSlot(token, hash) = IndexSlot{hash, entry};
  ++size_;
  return true;
}

void WordCounter::ScanText(char* buffer, size_t size) {
  if (keeper_) keeper_->Feed(std::string_view(buffer, strnlen(buffer, size)));
  size_t i = 0;
  while (i < size) {
    while (i < size && buffer[i] != '\0' && !IsWordByte(buffer[i])) ++i;
    if (i >= size || buffer[i] == '\0') return;
    size_t start = i;
    for (; i < size && IsWordByte(buffer[i]); ++i)
      if (buffer[i] >= 'A' && buffer[i] <= 'Z') buffer[i] = static_cast<char>(buffer[i] - 'A' + 'a');
    size_t length = i - start;
    if (i < size) buffer[i] = '\0';
    AddWord(std::string_view(buffer + start, length));
    ++i;  // past the zero that ended the token
  }
}

void WordCounter::ScanFile(const std::string& path) {
  File file = OpenSourceText(path);
  if (!file) {
    Diagnostic(texts::kOpenFileFailed);
    return;
  }
  char chunk[kFileChunkBytes + 1];
  for (;;) {
    std::memset(chunk, 0, sizeof chunk);
    if (!std::fgets(chunk, sizeof chunk, file.get())) break;
    ScanText(chunk, sizeof chunk);
  }
}

void WordCounter::Clear() {
  ReleaseIndex();
  for (WordCount*& head : buckets_) {
    while (head) {
      WordCount* next = head->next;
      delete head;
      head = next;
    }
  }
  size_ = 0;
}

void WordCounter::Drain(const std::function<void(const WordCount& entry)>& sink) {
  // Every entry leaves; the index would only point at released ones.
  ReleaseIndex();
  for (WordCount*& head : buckets_) {
    while (head) {
      WordCount* entry = head;
      head = entry->next;
      --size_;
      std::unique_ptr<WordCount> owner(entry);
      sink(*entry);
    }
  }
}

}  // namespace quorvo
