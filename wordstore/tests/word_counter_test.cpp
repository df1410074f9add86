#include "wordstore/word_counter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/code_page.h"
#include "testing/temp_dir.h"

namespace quorvo {
namespace {

using Counts = std::map<std::string, int>;
using Queue = std::vector<std::pair<std::string, int>>;

Queue DrainAll(WordCounter& counter) {
  Queue queue;
  counter.Drain([&](const WordCount& entry) { queue.emplace_back(entry.word, entry.count); });
  return queue;
}

Counts ToCounts(const Queue& queue) {
  Counts counts;
  for (const auto& [word, count] : queue) {
    EXPECT_EQ(0u, counts.count(word)) << word << " drained twice";
    counts[word] = count;
  }
  return counts;
}

std::string ScanFileOutput(WordCounter& counter, const std::string& path) {
  ::testing::internal::CaptureStdout();
  counter.ScanFile(path);
  return ::testing::internal::GetCapturedStdout();
}

Counts CountText(std::string text) {
  WordCounter counter;
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  counter.ScanText(buffer.data(), buffer.size());
  return ToCounts(DrainAll(counter));
}

TEST(WordCounterTest, TextsGiveTheirWordsAndCounts) {
  const std::string letters127(127, 'q');
  const std::string letters128(128, 'z');
  struct Case {
    std::string text;
    Counts expected;
  } cases[] = {
      {"Hello hello HELLO", {{"hello", 3}}},
      {"Don't stop", {{"stop", 1}}},
      {"a an to is I", {}},
      {"abc123def", {{"abc", 1}, {"def", 1}}},
      {"well-known", {{"well", 1}, {"known", 1}}},
      {Gbk("中文 English 单词words，标点！more") + "\r\n", {{"english", 1}, {"words", 1}, {"more", 1}}},
      {letters127 + " " + letters128, {{letters127, 1}}},
      {"'''' it's rock'n'roll ROCK", {{"rock", 1}}},
      {"  \t\n\r", {}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, CountText(c.text)) << c.text;
}

// Texts as learners have them: letters outside ASCII, typographic
// apostrophes, contractions kept only when asked for. The typed text is
// GB18030; files are read in whatever they were saved as.
TEST(WordCounterTest, WordsTouchingForeignLettersOrApostrophesAreNotCutIntoPieces) {
  struct Case {
    const char* name;
    std::string text;
    WordCounter::Bytes bytes;
    bool keepContractions;
    Counts expected;
  } cases[] = {
      {"utf-8 accents", "café naïve résumé Zoë cafe", WordCounter::Bytes::Utf8, false, {{"cafe", 1}}},
      {"utf-8 combining accent", "cafe\xCC\x81 bar", WordCounter::Bytes::Utf8, false, {{"bar", 1}}},
      {"utf-8 cyrillic and chinese",
       "Привет hello世界world",
       WordCounter::Bytes::Utf8,
       false,
       {{"hello", 1}, {"world", 1}}},
      {"typographic apostrophe, off", "don’t stop don't", WordCounter::Bytes::Utf8, false, {{"stop", 1}}},
      {"typographic quotes stay quotes",
       "‘hello’ she said’",
       WordCounter::Bytes::Utf8,
       false,
       {{"hello", 1}, {"she", 1}, {"said", 1}}},
      {"contractions kept",
       "don’t don't John's dogs' 'quoted' rock'n'roll",
       WordCounter::Bytes::Utf8,
       true,
       {{"don't", 2}, {"john's", 1}, {"dogs", 1}, {"quoted", 1}, {"rock'n'roll", 1}}},
      {"gbk pinyin letters", Gbk("café 中文café bar"), WordCounter::Bytes::Gb18030, false, {{"bar", 1}}},
      {"gb18030 four-byte letter", Gbk("naïve bar"), WordCounter::Bytes::Gb18030, false, {{"bar", 1}}},
      // A GBK trail byte in the ASCII range is part of its character, not a
      // letter: 丂 is 81 40, 乊 is 81 4A ("J").
      {"gbk trail byte is no letter",
       "ab\x81\x4A"
       "cd open",
       WordCounter::Bytes::Gb18030,
       false,
       {{"open", 1}}},
  };
  for (const auto& c : cases) {
    WordCounter counter;
    counter.SetKeepContractions(c.keepContractions);
    std::vector<char> buffer(c.text.begin(), c.text.end());
    buffer.push_back('\0');
    counter.ScanText(buffer.data(), buffer.size(), c.bytes);
    EXPECT_EQ(c.expected, ToCounts(DrainAll(counter))) << c.name;
  }
}

std::string Utf16(const std::string& ascii, bool bigEndian, bool bom) {
  std::string out;
  if (bom) out += bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char c : ascii) {
    if (bigEndian) out += '\0';
    out += c;
    if (!bigEndian) out += '\0';
  }
  return out;
}

TEST(WordCounterTest, FilesAreReadInTheirOwnEncoding) {
  const std::string lines = "Second line, second LINE\ncafe here\n";
  const Counts expected = {{"second", 2}, {"line", 2}, {"cafe", 1}, {"here", 1}};
  struct Case {
    const char* name;
    std::string bytes;
    Counts expected;
  } cases[] = {
      {"utf-16le with bom", Utf16(lines, false, true), expected},
      {"utf-16be with bom", Utf16(lines, true, true), expected},
      {"utf-16le without bom", Utf16(lines, false, false), expected},
      {"utf-16be without bom", Utf16(lines, true, false), expected},
      // é is E9 00 in UTF-16LE; a surrogate pair (😀) separates.
      {"utf-16le accent and emoji",
       std::string("\xFF\xFE"
                   "c\0a\0f\0\xE9\0 \0o\0k\0a\0y\0=\xD8\x00\xDE"
                   "b\0a\0r\0",
                   30),
       {{"okay", 1}, {"bar", 1}}},
      {"utf-8 with bom", "\xEF\xBB\xBF" + lines + "café\n", expected},
      {"utf-8 without bom", lines + "naïve café\n", expected},
      {"gb18030", lines + Gbk("中文 café 单词") + "\n", expected},
  };
  for (const auto& c : cases) {
    testing::TempDir dir;
    dir.Write("text.txt", c.bytes);
    WordCounter counter;
    EXPECT_EQ("", ScanFileOutput(counter, dir.File("text.txt"))) << c.name;
    EXPECT_EQ(c.expected, ToCounts(DrainAll(counter))) << c.name;
  }
}

TEST(WordCounterTest, AddWordTellsNewFromRepeatedAndRejected) {
  WordCounter counter;
  EXPECT_TRUE(counter.AddWord("word"));
  EXPECT_FALSE(counter.AddWord("word"));
  EXPECT_FALSE(counter.AddWord("wo"));
  EXPECT_FALSE(counter.AddWord("can't"));
  EXPECT_FALSE(counter.AddWord(std::string(128, 'a')));
  EXPECT_TRUE(counter.AddWord(std::string(127, 'a')));
  EXPECT_EQ(2u, counter.Size());
  counter.Clear();
  EXPECT_EQ(0u, counter.Size());
  EXPECT_TRUE(counter.AddWord("word"));  // counted afresh after Clear
  EXPECT_EQ((Queue{{"word", 1}}), DrainAll(counter));
}

TEST(WordCounterTest, BucketsFollowTheMultiplierOnSignedBytes) {
  // Values worked out by hand: abc = ((97*131 + 98)*131 + 99) mod 1024.
  EXPECT_EQ(242, WordCounter::BucketOf("abc"));
  EXPECT_EQ(654, WordCounter::BucketOf("hello"));
  // 0x80 and 0xFF count as -128 and -1, not as 128 and 255.
  EXPECT_EQ(380, WordCounter::BucketOf("\x80\xff"
                                       "ab"));
  EXPECT_EQ(0, WordCounter::BucketOf("bbh"));
  EXPECT_EQ(1023, WordCounter::BucketOf("bbg"));
}

TEST(WordCounterTest, DrainsBucketByBucketNewestFirstAndEndsEmpty) {
  WordCounter counter;
  // abc, eyz and gut share bucket 242; bbg is in the last bucket, bbh in the first.
  for (const char* word : {"bbg", "abc", "eyz", "gut", "bbh", "eyz"}) counter.AddWord(word);
  EXPECT_EQ((Queue{{"bbh", 1}, {"gut", 1}, {"eyz", 2}, {"abc", 1}, {"bbg", 1}}), DrainAll(counter));
  EXPECT_EQ(0u, counter.Size());
  EXPECT_TRUE(DrainAll(counter).empty());
}

// Enough words for long chains and several growths of the index: the counts
// and the queue order must be those of walking each chain.
TEST(WordCounterTest, ManyWordsKeepTheirCountsAndTheChainOrder) {
  std::vector<std::string> distinct;
  for (int i = 0; i < 30000; ++i) {
    std::string word;
    for (int n = i; word.size() < 3 || n > 0; n /= 26) word += static_cast<char>('a' + n % 26);
    distinct.push_back(word);
  }
  // Pairs with the same full hash (not only the same bucket).
  for (const char* twin : {"buspbwqg", "pwppnffj", "waidbzwh", "nypxrzob"}) distinct.insert(distinct.begin(), twin);
  ASSERT_EQ(WordCounter::HashOf("buspbwqg"), WordCounter::HashOf("pwppnffj"));
  ASSERT_EQ(WordCounter::HashOf("waidbzwh"), WordCounter::HashOf("nypxrzob"));
  // Reference: per bucket, words with their counts, the newest first.
  std::vector<Queue> buckets(WordCounter::kBucketCount);
  WordCounter counter;
  uint32_t seed = 12345;
  for (int round = 0; round < 100000; ++round) {
    seed = seed * 1103515245u + 12345u;
    // Early words come back often, so both new and repeated words are
    // looked up while the index grows.
    size_t pick = (seed >> 8) % (round < 30000 ? static_cast<size_t>(round) + 1 : distinct.size());
    const std::string& word = distinct[pick];
    Queue& chain = buckets[static_cast<size_t>(WordCounter::BucketOf(word))];
    auto known = std::find_if(chain.begin(), chain.end(), [&](const auto& entry) { return entry.first == word; });
    EXPECT_EQ(known == chain.end(), counter.AddWord(word)) << word;
    if (known == chain.end())
      chain.insert(chain.begin(), {word, 1});
    else
      ++known->second;
  }
  Queue expected;
  for (const Queue& chain : buckets) expected.insert(expected.end(), chain.begin(), chain.end());
  EXPECT_EQ(expected.size(), counter.Size());
  EXPECT_EQ(expected, DrainAll(counter));
  // Emptied by the drain, the counter starts afresh.
  EXPECT_TRUE(counter.AddWord(distinct.back()));
  EXPECT_FALSE(counter.AddWord(distinct.back()));
  EXPECT_EQ((Queue{{distinct.back(), 2}}), DrainAll(counter));
}

TEST(WordCounterTest, ScanTextStaysInsideItsBuffer) {
  // The buffer holds no terminating zero: the last token runs to its end.
  char memory[16];
  std::memset(memory, '#', sizeof memory);
  std::memcpy(memory, "one TWO three", 13);  // NOLINT(bugprone-not-null-terminated-result): on purpose
  WordCounter counter;
  counter.ScanText(memory, 13);
  EXPECT_EQ((Counts{{"one", 1}, {"two", 1}, {"three", 1}}), ToCounts(DrainAll(counter)));
  EXPECT_EQ(std::string(3, '#'), std::string(memory + 13, 3));
  // Tokens are cut and lower-cased in place.
  EXPECT_EQ(0, std::memcmp(memory, "one\0two\0three", 13));
}

TEST(WordCounterTest, ScanFileReadsLinesInChunksOf1023Bytes) {
  testing::TempDir dir;
  // The first line's chunk ends inside "abcdef", which so counts as two
  // tokens; the following lines are read whole.
  std::string text = std::string(1020, ' ') + "abcdef\nSecond line, second LINE\n" + Gbk("最后一行 last") + "\n";
  dir.Write("book.txt", text);
  WordCounter counter;
  EXPECT_EQ("", ScanFileOutput(counter, dir.File("book.txt")));
  EXPECT_EQ((Counts{{"abc", 1}, {"def", 1}, {"second", 2}, {"line", 2}, {"last", 1}}), ToCounts(DrainAll(counter)));
  EXPECT_EQ(text, dir.Read("book.txt"));  // read, never written
}

TEST(WordCounterTest, MissingFileIsCreatedEmptyAndUnopenableOneIsReported) {
  testing::TempDir dir;
  WordCounter counter;
  EXPECT_EQ("", ScanFileOutput(counter, dir.File("new.txt")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("new.txt")));
  EXPECT_EQ("open file failed.\n", ScanFileOutput(counter, dir.File("no/such/folder.txt")));
  EXPECT_EQ("open file failed.\n", ScanFileOutput(counter, dir.path()));
  EXPECT_EQ(0u, counter.Size());
}

// Makes the file unwritable even for root, as far as the system allows.
bool MakeUnwritable(const std::string& path) {
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  if (geteuid() != 0) return true;
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags |= FS_IMMUTABLE_FL;
  ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  ::close(fd);
  return ok;
}

void MakeWritable(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  int flags = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
    flags &= ~FS_IMMUTABLE_FL;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
  }
  ::close(fd);
}

TEST(WordCounterTest, ReadOnlyFileStillGivesItsWords) {
  testing::TempDir dir;
  dir.Write("shared.txt", "borrowed words\n");
  if (!MakeUnwritable(dir.File("shared.txt"))) GTEST_SKIP() << "cannot make a file unwritable here";
  WordCounter counter;
  std::string output = ScanFileOutput(counter, dir.File("shared.txt"));
  MakeWritable(dir.File("shared.txt"));
  EXPECT_EQ("", output);
  EXPECT_EQ((Counts{{"borrowed", 1}, {"words", 1}}), ToCounts(DrainAll(counter)));
}

}  // namespace
}  // namespace quorvo
