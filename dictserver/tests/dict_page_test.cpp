#include "dictserver/dict_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

#include "base/code_page.h"
#include "dictserver/tests/dictd_process.h"
#include "dictserver/tests/program_reader.h"

namespace quorvo::dictd {
namespace {

using testing::CutTranslation;
using testing::KeptPage;
using testing::ProgramRequest;

int StatusOf(const std::string& answer) {
  return answer.compare(0, 9, "HTTP/1.1 ") == 0 ? std::atoi(answer.c_str() + 9) : -1;
}

TEST(DictPageTest, RequestHeadIsCompleteTooLongOrNotYet) {
  const std::string longLine(kMaxLineBytes + 10, 'a');
  std::string manyHeaders = "GET / HTTP/1.1\r\n";
  while (manyHeaders.size() < kMaxHeadBytes) manyHeaders += "X-Filler: " + std::string(100, 'x') + "\r\n";
  const struct {
    std::string received;
    HeadState state;
    size_t headBytes;
  } cases[] = {
      {"", HeadState::Incomplete, 0},
      {"GET /m/search?q=cat HTTP/1.1\r\nHost: x\r\n", HeadState::Incomplete, 0},
      {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", HeadState::Complete, 27},
      {"GET / HTTP/1.1\nHost: x\n\nextra", HeadState::Complete, 24},
      {"\r\n", HeadState::Complete, 2},
      {"GET /" + longLine, HeadState::TooLong, 0},
      {"GET / HTTP/1.1\r\nX: " + longLine + "\r\n\r\n", HeadState::TooLong, 0},
      {manyHeaders, HeadState::TooLong, 0},
  };
  for (const auto& c : cases) {
    size_t headBytes = 0;
    EXPECT_EQ(CheckRequestHead(c.received, &headBytes), c.state) << c.received.substr(0, 40);
    EXPECT_EQ(headBytes, c.headBytes) << c.received.substr(0, 40);
  }
}

TEST(DictPageTest, AnswersByRequest) {
  Dictionary dictionary;
  ASSERT_TRUE(dictionary.LoadText("cat\tn. 猫；猫科动物\tv. 吊锚\nrun\tv. 跑\n"));
  const struct {
    std::string request;
    int status;
    const char* translation;  // what quorvo cuts out of the answer
  } cases[] = {
      {ProgramRequest(8666, "cat"), 200, "n. 猫；猫科动物\nv. 吊锚"},
      {ProgramRequest(8666, "cats"), 200, "n. 猫；猫科动物（cat 的复数）\nv. 吊锚"},
      {ProgramRequest(8666, "running"), 200, "v. 跑（run 的现在分词）"},
      {"GET /m/search?q=%63at HTTP/1.0\r\n\r\n", 200, "n. 猫；猫科动物\nv. 吊锚"},
      {ProgramRequest(8666, "zzyzx"), 404, ""},
      {ProgramRequest(8666, "don't"), 404, ""},
      {"GET /m/search?vendor=%24vendor&keyfrom=dict.mresult HTTP/1.1\r\n\r\n", 400, ""},
      {"GET /m/search?vendor=%24vendor&q= HTTP/1.1\r\n\r\n", 400, ""},
      {"GET /m/search?q HTTP/1.1\r\n\r\n", 400, ""},
      {"GET /m/search?q=%zzcat HTTP/1.1\r\n\r\n", 400, ""},
      {"GET /m/search?q=cat% HTTP/1.1\r\n\r\n", 400, ""},
      {"GET /m/search HTTP/1.1\r\n\r\n", 400, ""},
      {"GET /other?q=cat HTTP/1.1\r\n\r\n", 404, ""},
      {"POST /m/search?q=cat HTTP/1.1\r\n\r\n", 405, ""},
      {"GET /m/search?q=cat HTTP/2\r\n\r\n", 400, ""},
      {"GET /m/search?q=cat\r\n\r\n", 400, ""},
      {"GET  /m/search?q=cat HTTP/1.1\r\n\r\n", 400, ""},
      {"GET http://x/m/search?q=cat HTTP/1.1\r\n\r\n", 400, ""},
      {"\r\n", 400, ""},
      {std::string("GET /m/search?q=c\0t HTTP/1.1\r\n\r\n", 32), 404, ""},
  };
  for (const auto& c : cases) {
    Answer answer = AnswerRequest(dictionary, c.request);
    EXPECT_EQ(answer.status, c.status) << c.request;
    EXPECT_EQ(StatusOf(answer.bytes), c.status) << c.request;
    EXPECT_NE(answer.bytes.find("\r\nConnection: close\r\n"), std::string::npos) << c.request;
    EXPECT_EQ(CutTranslation(KeptPage(answer.bytes)), c.translation) << c.request;
  }
}

// The phonetic stands in its own element between the last part and the end
// marker, where quorvo keeps it and the translation is cut as before.
TEST(DictPageTest, PhoneticStandsBeforeTheEndMarker) {
  Dictionary dictionary;
  ASSERT_TRUE(dictionary.LoadText("apple\t/ˈæpəl/\tn. 苹果\tv. 摘苹果\npear\tn. 梨\n"));
  const struct {
    const char* word;
    const char* element;  // "" for none
    const char* translation;
  } cases[] = {
      {"apple", "<span class=\"phonetic\">/ˈæpəl/</span>", "n. 苹果\nv. 摘苹果"},
      {"pear", "", "n. 梨"},
      {"apples", "", "n. 苹果（apple 的复数）\nv. 摘苹果"},  // a form without its own
  };
  for (const auto& c : cases) {
    Answer answer = AnswerRequest(dictionary, ProgramRequest(8666, c.word));
    ASSERT_EQ(answer.status, 200) << c.word;
    std::string kept = KeptPage(answer.bytes);
    EXPECT_EQ(CutTranslation(kept), c.translation) << c.word;
    size_t lastPart = kept.rfind("</li>");
    size_t end = kept.find("id=\"listtrans\"");
    size_t element = kept.find("class=\"phonetic\"");
    if (*c.element) {
      ASSERT_NE(kept.find(c.element), std::string::npos) << kept;
      EXPECT_GT(kept.find(c.element), lastPart);
      EXPECT_LT(kept.find(c.element) + strlen(c.element), end);
      EXPECT_EQ(kept.find("class=\"phonetic\"", element + 1), std::string::npos) << "one element only";
    } else {
      EXPECT_EQ(element, std::string::npos) << kept;
    }
    EXPECT_LE(answer.bytes.find(kStartMarker) + kStartMarker.size(), kFirstChunkBytes);
  }
}

TEST(DictPageTest, NotFoundPageNeverHoldsTheMarkers) {
  Dictionary dictionary;
  ASSERT_TRUE(dictionary.LoadText("cat\tn. 猫\n"));
  for (const char* word : {"blue12other%22%3E", "id=%22listtrans%22", "%3Cb%3Eblue12other\">"}) {
    Answer answer = AnswerRequest(dictionary, ProgramRequest(8666, word));
    EXPECT_EQ(answer.status, 404) << word;
    EXPECT_EQ(answer.bytes.find(kStartMarker), std::string::npos) << word;
    EXPECT_EQ(answer.bytes.find(kEndMarker), std::string::npos) << word;
  }
}

// Every headword of the bundled data, as quorvo receives it: the first start
// marker inside the first chunk, the answer within what quorvo keeps, and
// the cut translation exactly the stored parts, storable in GBK.
TEST(DictPageTest, EveryBundledHeadwordReachesQuorvoWhole) {
  Dictionary dictionary;
  LoadReport report;
  ASSERT_TRUE(dictionary.Load(testing::BundledDataPath(), &report));
  EXPECT_EQ(report.skippedLines, 0u);

  std::ifstream in(testing::BundledDataPath());
  std::string line;
  size_t checked = 0;
  size_t formLines = 0;
  size_t longestAnswer = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::string word = line.substr(0, line.find('\t'));
    const std::vector<DictPart> parts = dictionary.PartsFor(word);
    ASSERT_FALSE(parts.empty()) << word;
    // "cats<TAB>/kæts/": the phonetic of a form the rules answer.
    if (std::count(line.begin(), line.end(), '\t') == 1 && line[line.find('\t') + 1] == '/') ++formLines;

    Answer answer = AnswerRequest(dictionary, ProgramRequest(8666, word));
    ASSERT_EQ(answer.status, 200) << word;
    size_t start = answer.bytes.find(kStartMarker);
    ASSERT_LE(start + kStartMarker.size(), kFirstChunkBytes) << word;
    ASSERT_LE(answer.bytes.size(), kMaxAnswerBytes) << word;
    longestAnswer = std::max(longestAnswer, answer.bytes.size());

    std::string translation = CutTranslation(KeptPage(answer.bytes));
    ASSERT_EQ(translation, TranslationText(parts)) << word;
    ASSERT_LE(translation.size(), kMaxTranslationBytes) << word;
    std::optional<std::string> gbk = Utf8ToGbk(translation);
    ASSERT_TRUE(gbk.has_value()) << word;
    ASSERT_EQ(GbkToUtf8(*gbk), translation) << word << ": a character GBK lacks";
    ++checked;
  }
  EXPECT_EQ(checked, report.headwords + report.aliases + formLines);
  EXPECT_LT(longestAnswer, 3071u);
}

// The data covers what a learner reads: the 5,000 most frequent words of
// three letters or more (names included) and at least 30,000 headwords.
TEST(DictPageTest, BundledDataCoversTheFrequentWords) {
  Dictionary dictionary;
  ASSERT_TRUE(dictionary.Load(testing::BundledDataPath()));
  EXPECT_GE(dictionary.headwordCount(), 30000u);

  std::ifstream in(std::string(QUORVO_DICTSERVER_DIR) + "/data/english-top5000.txt");
  std::string word;
  size_t words = 0;
  size_t known = 0;
  std::string missing;
  while (std::getline(in, word)) {
    if (word.empty() || word[0] == '#') continue;
    ++words;
    if (!dictionary.Resolve(word).empty())
      ++known;
    else if (missing.size() < 400)
      missing += word + " ";
  }
  ASSERT_EQ(words, 5000u);
  EXPECT_GE(known * 100, words * 95) << "missing: " << missing;
  std::printf("coverage of the 5000 most frequent words: %zu (%.1f%%); headwords: %zu\n", known, 100.0 * known / words,
              dictionary.headwordCount());

  // Without names: 99% of the 10,000 most frequent everyday words.
  std::ifstream common(std::string(QUORVO_DICTSERVER_DIR) + "/data/english-common10000.txt");
  words = 0;
  known = 0;
  missing.clear();
  while (std::getline(common, word)) {
    if (word.empty() || word[0] == '#') continue;
    ++words;
    if (!dictionary.Resolve(word).empty())
      ++known;
    else if (missing.size() < 600)
      missing += word + " ";
  }
  ASSERT_EQ(words, 10000u);
  EXPECT_GE(known * 100, words * 99) << "missing: " << missing;
  std::printf("coverage of the 10000 most frequent words that are not names: %zu (%.2f%%)\n", known,
              100.0 * known / words);
}

}  // namespace
}  // namespace quorvo::dictd
