#include "wordstore/word_counter.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "base/code_page.h"
#include "base/diagnostics.h"
#include "wordstore/sentence_keeper.h"
#include "wordstore/texts.h"

namespace quorvo {
namespace {

bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// What a character outside ASCII means to the tokenizer.
enum class Kind : unsigned char {
  Separator,   // Chinese, punctuation, symbols, bytes that are no character
  Letter,      // a letter outside ASCII: the run it touches is no English word
  Apostrophe,  // ’ or ʼ: an apostrophe when it stands between letters
};

Kind KindOfCodePoint(uint32_t cp) {
  if (cp == 0x2019 || cp == 0x02BC) return Kind::Apostrophe;
  if (cp >= 0xC0 && cp <= 0x24F) return (cp == 0xD7 || cp == 0xF7) ? Kind::Separator : Kind::Letter;
  if (cp >= 0x250 && cp <= 0x2AF) return Kind::Letter;    // IPA letters
  if (cp >= 0x300 && cp <= 0x36F) return Kind::Letter;    // combining accents (e + ´)
  if (cp >= 0x370 && cp <= 0x52F) return Kind::Letter;    // Greek, Cyrillic
  if (cp >= 0x1E00 && cp <= 0x1EFF) return Kind::Letter;  // Latin with more accents
  if (cp >= 0xFB00 && cp <= 0xFB06) return Kind::Letter;  // ligatures (ﬁ)
  return Kind::Separator;
}

size_t Utf8Length(unsigned char c) {
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Reads the character outside ASCII at p (at most avail bytes, a zero byte
// ends the text). A character cut off by the end of a chunk, or the rest of
// one at its start, may have been a letter: it counts as one, so the word it
// touches is not left as a piece.
Kind ReadUtf8(const unsigned char* p, size_t avail, bool chunkStart, size_t* length) {
  *length = 1;
  if (IsContinuation(p[0])) return chunkStart ? Kind::Letter : Kind::Separator;
  size_t n = Utf8Length(p[0]);
  if (n == 0) return Kind::Separator;
  uint32_t cp = p[0] & (0xFF >> (n + 1));
  for (size_t k = 1; k < n; ++k) {
    if (k >= avail || p[k] == 0) return Kind::Letter;  // cut off by the chunk's end
    if (!IsContinuation(p[k])) return Kind::Separator;
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  *length = n;
  return KindOfCodePoint(cp);
}

// The same for GB18030: two-byte characters (GBK) and four-byte ones. The
// two-byte letters are GBK's pinyin (āáǎà...), Greek and Cyrillic rows.
Kind ReadGb18030(const unsigned char* p, size_t avail, size_t* length) {
  *length = 1;
  unsigned char lead = p[0];
  if (lead < 0x81 || lead > 0xFE || avail < 2 || p[1] == 0) return Kind::Separator;
  unsigned char second = p[1];
  if (second >= 0x30 && second <= 0x39) {
    if (avail < 4 || p[2] < 0x81 || p[2] > 0xFE || p[3] < 0x30 || p[3] > 0x39) return Kind::Separator;
    *length = 4;
    // Rare in text: ask the converter which character it is.
    auto utf8 = GbkToUtf8(std::string_view(reinterpret_cast<const char*>(p), 4));
    if (!utf8 || utf8->empty()) return Kind::Separator;
    size_t unused = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8->data());
    return bytes[0] < 0x80 ? Kind::Separator : ReadUtf8(bytes, utf8->size(), false, &unused);
  }
  if (second < 0x40 || second == 0x7F || second == 0xFF) return Kind::Separator;
  *length = 2;
  if ((lead == 0xA6 && second >= 0xA1 && second <= 0xF8) || (lead == 0xA7 && second >= 0xA1 && second <= 0xF1) ||
      (lead == 0xA8 && second >= 0xA1 && second <= 0xC0))
    return Kind::Letter;
  return Kind::Separator;
}

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
  size_t before = size_;
  return Count(token) && size_ > before;
}

WordCount* WordCounter::Count(std::string_view token) {
  if (token.size() > kMaxWordBytes || token.size() <= 2) return nullptr;
  if (!keepContractions_ && token.find('\'') != std::string_view::npos) return nullptr;
  uint32_t hash = HashOf(token);
  if (!index_.empty()) {
    IndexSlot& found = FindSlot(token, hash);
    if (found.entry) {
      ++found.entry->count;
      return found.entry;
    }
  }
  if (!ReserveIndexSlot()) return nullptr;
  auto* entry = new (std::nothrow) WordCount{};
  if (!entry) return nullptr;
  std::memcpy(entry->word, token.data(), token.size());
  entry->word[token.size()] = '\0';
  entry->count = 1;
  WordCount*& head = buckets_[hash % kBucketCount];
  entry->next = head;
  head = entry;
  FindSlot(token, hash) = IndexSlot{hash, entry};
  ++size_;
  return entry;
}

void WordCounter::ScanText(char* buffer, size_t size, Bytes bytes) {
  auto* text = reinterpret_cast<unsigned char*>(buffer);
  size_t i = 0;
  // The token is written back over its own bytes, lower-cased, with "'"
  // for a typographic apostrophe: never ahead of where it is read. The
  // keeper reads a copy of the bytes as they were, up to the end of a word
  // it wants a sentence for, then that word.
  size_t fed = 0;
  if (keeper_) keeperText_.assign(buffer, strnlen(buffer, size));
  auto feed = [&](size_t to) {
    if (to > fed) {
      keeper_->FeedCounted(std::string_view(keeperText_).substr(fed, to - fed));
      fed = to;
    }
  };
  size_t start = 0;
  size_t write = 0;
  bool inToken = false;
  bool foreign = false;
  auto finish = [&](size_t end) {
    if (inToken) {
      inToken = false;
      if (!foreign) {
        std::string_view token(buffer + start, write - start);
        if (keepContractions_) {
          while (!token.empty() && token.front() == '\'') token.remove_prefix(1);
          while (!token.empty() && token.back() == '\'') token.remove_suffix(1);
        }
        WordCount* entry = Count(token);
        if (entry && keeper_) {
          if (entry->sentenceId == 0) entry->sentenceId = keeper_->WordId(token) + 1;
          if (keeper_->WantsSentence(entry->sentenceId - 1)) {
            feed(end);
            keeper_->NoteWord(entry->sentenceId - 1);
          }
        }
      }
      if (end < size) text[write] = '\0';
    }
  };
  auto begin = [&] {
    if (inToken) return;
    inToken = true;
    foreign = false;
    start = write = i;
  };
  while (i < size && text[i] != 0) {
    unsigned char c = text[i];
    if (c < 0x80) {
      if (IsAsciiLetter(c) || c == '\'') {
        // The rest of the run of ASCII letters in one go.
        begin();
        do {
          text[write++] = (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
          if (++i >= size) break;
          c = text[i];
        } while (IsAsciiLetter(c) || c == '\'');
      } else {
        finish(i);
        ++i;
      }
      continue;
    }
    size_t length = 1;
    Kind kind =
        bytes == Bytes::Utf8 ? ReadUtf8(text + i, size - i, i == 0, &length) : ReadGb18030(text + i, size - i, &length);
    if (kind == Kind::Apostrophe) {
      // Between letters it joins them (don’t); otherwise it is a quote.
      size_t after = i + length;
      bool letterBefore = inToken && write > start && IsAsciiLetter(text[write - 1]);
      bool letterAfter = after < size && IsAsciiLetter(text[after]);
      if (letterBefore && letterAfter) {
        text[write++] = '\'';
        i = after;
        continue;
      }
      kind = Kind::Separator;
    }
    if (kind == Kind::Letter) {
      begin();
      foreign = true;
      i += length;
      continue;
    }
    finish(i);
    i += length;
  }
  finish(i);
  if (keeper_) feed(keeperText_.size());
}

namespace {

// Whether the chunk (up to its first zero byte) is UTF-8: true or false once
// it holds a byte outside ASCII, unknown while it holds none. A character
// cut off by the chunk's end does not count against it.
enum class Verdict : unsigned char { Unknown, Utf8, NotUtf8 };

Verdict JudgeUtf8(const unsigned char* p, size_t size) {
  Verdict verdict = Verdict::Unknown;
  for (size_t i = 0; i < size && p[i] != 0;) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    size_t n = Utf8Length(p[i]);
    if (n == 0) return Verdict::NotUtf8;
    for (size_t k = 1; k < n; ++k) {
      if (i + k >= size || p[i + k] == 0) return verdict;
      if (!IsContinuation(p[i + k])) return Verdict::NotUtf8;
    }
    verdict = Verdict::Utf8;
    i += n;
  }
  return verdict;
}

// A file without BOM is UTF-16 when most of its first code units have a
// zero byte on the same side (English text: 'a' is 61 00 little-endian).
// 1: little-endian, 2: big-endian, 0: no UTF-16.
int Utf16WithoutBom(const unsigned char* p, size_t size) {
  size_t pairs = size / 2;
  if (pairs < 2) return 0;
  size_t zeroEven = 0;
  size_t zeroOdd = 0;
  for (size_t k = 0; k < pairs; ++k) {
    zeroEven += p[2 * k] == 0 ? 1 : 0;
    zeroOdd += p[2 * k + 1] == 0 ? 1 : 0;
  }
  if (zeroOdd * 2 >= pairs && zeroEven * 8 < pairs) return 1;
  if (zeroEven * 2 >= pairs && zeroOdd * 8 < pairs) return 2;
  return 0;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

void WordCounter::ScanFile(const std::string& path) {
  File file = OpenSourceText(path);
  if (!file) {
    Diagnostic(texts::kOpenFileFailed);
    return;
  }
  unsigned char head[512];
  size_t headSize = std::fread(head, 1, sizeof head, file.get());
  long skip = 0;
  Bytes bytes = Bytes::Gb18030;
  bool decided = false;  // UTF-8 or GB18030, for the whole file
  if (headSize >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
    skip = 3;
    bytes = Bytes::Utf8;
    decided = true;
  } else if (headSize >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF))) {
    std::fseek(file.get(), 2, SEEK_SET);
    ScanUtf16File(file.get(), head[0] == 0xFE);
    return;
  } else if (int order = Utf16WithoutBom(head, headSize); order != 0) {
    std::rewind(file.get());
    ScanUtf16File(file.get(), order == 2);
    return;
  }
  std::fseek(file.get(), skip, SEEK_SET);
  char chunk[kFileChunkBytes + 1];
  for (;;) {
    std::memset(chunk, 0, sizeof chunk);
    if (!std::fgets(chunk, sizeof chunk, file.get())) break;
    if (!decided) {
      // Decided by the first line that holds a character outside ASCII.
      Verdict verdict = JudgeUtf8(reinterpret_cast<unsigned char*>(chunk), sizeof chunk);
      if (verdict != Verdict::Unknown) {
        bytes = verdict == Verdict::Utf8 ? Bytes::Utf8 : Bytes::Gb18030;
        decided = true;
      }
    }
    ScanText(chunk, sizeof chunk, bytes);
  }
}

void WordCounter::ScanUtf16File(std::FILE* file, bool bigEndian) {
  // UTF-8 lines, cut like the chunks of an 8-bit file but never inside a
  // character.
  std::string line;
  line.reserve(kFileChunkBytes + 1);
  auto flush = [&] {
    if (line.empty()) return;
    line += '\0';
    ScanText(line.data(), line.size(), Bytes::Utf8);
    line.clear();
  };
  unsigned char block[8192];
  uint32_t highSurrogate = 0;
  size_t carried = 0;  // an odd byte left from the previous block
  for (;;) {
    size_t got = std::fread(block + carried, 1, sizeof block - carried, file);
    if (got == 0) break;
    size_t total = got + carried;
    size_t k = 0;
    for (; k + 1 < total; k += 2) {
      uint32_t unit = bigEndian ? (uint32_t{block[k]} << 8 | block[k + 1]) : (uint32_t{block[k + 1]} << 8 | block[k]);
      uint32_t cp = unit;
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        highSurrogate = unit;
        continue;
      }
      if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (highSurrogate == 0) continue;
        cp = 0x10000 + ((highSurrogate - 0xD800) << 10) + (unit - 0xDC00);
      }
      highSurrogate = 0;
      if (cp == 0) cp = ' ';  // a zero unit would end the line's scan
      AppendUtf8(line, cp);
      if (cp == '\n' || line.size() + 4 >= kFileChunkBytes) flush();
    }
    carried = total - k;
    if (carried != 0) block[0] = block[k];
  }
  flush();
}

void WordCounter::SetSentenceKeeper(SentenceKeeper* keeper) {
  if (keeper == keeper_) return;
  keeper_ = keeper;
  // Ids belong to one keeper.
  for (WordCount* entry : buckets_)
    for (; entry; entry = entry->next) entry->sentenceId = 0;
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
