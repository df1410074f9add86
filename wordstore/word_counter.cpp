#include "word_counter.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "texts.h"

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

}  // namespace

int WordCounter::BucketOf(std::string_view word) {
  uint32_t h = 0;
  for (char c : word) h = h * 131u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c)));
  return static_cast<int>(h % kBucketCount);
}

bool WordCounter::AddWord(std::string_view token) {
  if (token.size() > kMaxWordBytes || token.size() <= 2) return false;
  if (token.find('\'') != std::string_view::npos) return false;
  WordCount*& head = buckets_[BucketOf(token)];
  for (WordCount* entry = head; entry; entry = entry->next) {
    if (std::string_view(entry->word) == token) {
      ++entry->count;
      return false;
    }
  }
  auto* entry = new (std::nothrow) WordCount{};
  if (!entry) return false;
  std::memcpy(entry->word, token.data(), token.size());
  entry->word[token.size()] = '\0';
  entry->count = 1;
  entry->next = head;
  head = entry;
  ++size_;
  return true;
}

void WordCounter::ScanText(char* buffer, size_t size) {
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
    std::printf("%s\n", texts::kOpenFileFailed);
    std::fflush(stdout);
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
