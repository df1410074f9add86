// Dictionary servers that misbehave, against the real lookup: the pool's
// workers fetch from a loopback server that stays silent, cuts the page,
// floods, sends NUL bytes, broken UTF-8, a start marker split over two
// reads, or a translation that reads like SQL. Every word must end stored
// (with the not-found text where nothing could be cut), the pool must shut
// down once the lookups are over, and no other row of the bank may change.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "lookup/dictionary_host.h"
#include "lookup/page_fetch.h"
#include "lookup/task_pool.h"
#include "lookup/translation_store.h"
#include "lookup/translation_task.h"
#include "testing/loopback_server.h"
#include "testing/recording_boxes.h"
#include "testing/scoped_dictionary_host.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

using testing::LoopbackConnection;
using testing::LoopbackServer;
using testing::StoredWord;
using namespace std::string_literals;

const std::string kStart(kStartMarker);
const std::string kEnd(kEndMarker);
const std::string kHeader = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n\r\n";
constexpr size_t kTenMegabytes = 10 * 1024 * 1024;

// One part of a page as the dictionary writes it: the lookup cuts it out as
// head + " " + body + a line feed.
std::string Part(const std::string& head, const std::string& body) {
  return "<li><span class=\"" + kStart + head + "</em>  " + body + "<br/></li>";
}
std::string Page(const std::string& parts) { return "<ul>" + parts + "</ul><div " + kEnd + "></div></html>"; }

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// What the server does for one word, and what the bank must hold after.
struct FaultCase {
  const char* word;
  const char* what;
  std::function<void(LoopbackConnection&)> serve;
  std::string stored;  // GBK
};

using testing::ScopedDictionaryHost;

std::vector<FaultCase> FaultCases() {
  const std::string notFound = kNotFoundTranslation;
  // The request is read first, so that closing sends a clean end of stream.
  auto sendAll = [](const std::string& answer) {
    return [answer](LoopbackConnection& c) {
      c.ReadRequestHead();
      c.Send(answer);
    };
  };

  // Each answer below goes out in one write of less than 64 KiB, so the
  // lookup's reads take exactly 512 bytes each: where a read ends is known.
  // The start marker straddles the first two reads:
  std::string page = Page(Part("n.", "分开"));
  std::string split = kHeader + std::string(512 - 5 - page.find(kStart) - kHeader.size(), ' ') + page;
  // Seen whole in the second read, the same kind of page is found.
  std::string later = kHeader + std::string(600, ' ') + Page(Part("n.", "后来"));
  // A NUL byte ends what is seen of a read: one in the first read (the page
  // comes in the second) and one after the end marker hide nothing; one
  // inside the translation hides the end marker of the same read.
  std::string nulAround = kHeader + "\0"s + std::string(511 - kHeader.size(), 'p') + Page(Part("n.", "零")) + "\0tail"s;
  std::string nulInside = kHeader + "<ul>" + Part("n.", "a\0b"s) + "</ul><div " + kEnd + "></div>";

  std::vector<FaultCase> cases = {
      {"silent", "accepts, reads the request and never answers",
       [](LoopbackConnection& c) {
         c.ReadRequestHead();
         c.WaitForPeerClose();  // the lookup gives up after its receive time-out
       },
       notFound},
      {"hangup", "closes at once without reading the request", [](LoopbackConnection& c) { c.Close(); }, notFound},
      {"midpage", "closes in the middle of the page, before the end marker",
       [](LoopbackConnection& c) {
         c.ReadRequestHead();
         c.Send(kHeader + "<ul>" + Part("n.", "一半") + "<li><span class=\"" + kStart + "v.</em>  ");
       },
       notFound},
      {"flood", "10 MB without a marker",
       [](LoopbackConnection& c) {
         c.ReadRequestHead();
         c.Send(kHeader + std::string(kTenMegabytes, 'x'));
       },
       notFound},
      {"floodinside", "the start marker, then 10 MB without an end marker",
       [](LoopbackConnection& c) {
         c.ReadRequestHead();
         c.Send(kHeader + "<ul>" + Part("n.", "满") + std::string(kTenMegabytes, 'x'));
       },
       notFound},
      {"nulbytes", "NUL bytes before the page and after the end marker", sendAll(nulAround), Gbk("n. 零\n")},
      {"nulinside", "a NUL byte inside the translation hides the rest of its read", sendAll(nulInside), notFound},
      {"badutf", "broken UTF-8 in the translation",
       sendAll(kHeader + Page(Part("n.",
                                   "\xFF好\xC0\xAF"
                                   "x\xE5\xA5"))),
       "n. ?" + Gbk("好") + "??x??\n"},
      {"splitmarker", "the only start marker split across two reads", sendAll(split), notFound},
      {"latermarker", "the page found whole in a later read", sendAll(later), Gbk("n. 后来\n")},
      {"sqltext", "a translation with quotes, semicolons and comment dashes",
       sendAll(kHeader + Page(Part("n.", "it's'; drop table main_word; -- \"x\""))),
       "n. it's'; drop table main_word; -- \"x\"\n"},
      {"errormarker", "the error marker (\"出错\" in GBK) before the page",
       sendAll(kHeader + std::string(kErrorMarker) + Page(Part("n.", "错"))), notFound},
      {"garbage", "100 KB of random bytes", sendAll(RandomBytes(100 * 1024, 8)), notFound},
  };
  return cases;
}

class LookupFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(path));
    testing::CreateBanks(db, {kMainWord, kMainRemember});
    testing::PutWord(db, kMainWord, "apple", "n. 苹果\n", 5, 1);
    testing::PutWord(db, kMainWord, "zebra", "n. 斑马\n", 2, 0);
    // A word that already has a good translation: the failed lookup keeps
    // it, and its hot value and known flag.
    testing::PutWord(db, kMainWord, "midpage", "n. 旧的\n", 9, 1);
    before = testing::ReadBank(path, kMainWord);
  }

  testing::TempDir dir;
  std::string path = dir.File("dict_main.db");
  testing::RecordingBoxes boxes;
  WordDatabase db{&boxes};
  std::vector<StoredWord> before;
};

std::map<std::string, StoredWord> ByWord(const std::vector<StoredWord>& rows) {
  std::map<std::string, StoredWord> map;
  for (const auto& row : rows) map[row.value] = row;
  return map;
}

TEST_F(LookupFaultTest, EveryWordEndsStoredAndNoOtherRowChanges) {
  std::vector<FaultCase> cases = FaultCases();
  std::map<std::string, const FaultCase*> byWord;
  for (const FaultCase& c : cases) byWord[c.word] = &c;

  LoopbackServer server([&](LoopbackConnection& connection) {
    // Peek at the request to learn the word, without taking it from the
    // socket for the handlers that read the request themselves.
    char head[2048];
    ssize_t n = ::recv(connection.fd(), head, sizeof head - 1, MSG_PEEK);
    std::string word = n > 0 ? testing::QueryValue(testing::RequestTarget(std::string(head, n)), "q") : "";
    auto it = byWord.find(word);
    if (it != byWord.end()) it->second->serve(connection);
  });
  ScopedDictionaryHost host(server.HostPort());

  {
    TaskPool pool;
    int hot = 100;
    for (const FaultCase& c : cases)
      ASSERT_TRUE(
          pool.Submit(LookupWordTask, MakeTranslationTask(c.word, ++hot, &db, kMainWord), ReleaseTranslationTask));
    // Returns once every lookup has ended, each within its own time-outs.
    pool.Shutdown();
  }

  auto after = ByWord(testing::ReadBank(path, kMainWord));
  int hot = 100;
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(std::string(c.word) + ": " + c.what);
    ++hot;
    auto it = after.find(c.word);
    ASSERT_NE(after.end(), it);
    if (std::string(c.word) == "midpage") {
      EXPECT_EQ(Gbk("n. 旧的\n"), it->second.trans) << Utf8(it->second.trans);
      EXPECT_EQ("9", it->second.hot);
      EXPECT_EQ("1", it->second.known);
    } else {
      EXPECT_EQ(c.stored, it->second.trans) << Utf8(it->second.trans);
      EXPECT_EQ(std::to_string(hot), it->second.hot);
      EXPECT_EQ("0", it->second.known);
    }
  }
  EXPECT_EQ(before.size() - 1 + cases.size(), after.size());
  for (const StoredWord& row : before) {
    if (row.value == "midpage") continue;
    SCOPED_TRACE(row.value);
    ASSERT_EQ(1u, after.count(row.value));
    EXPECT_EQ(row.trans, after[row.value].trans);
    EXPECT_EQ(row.hot, after[row.value].hot);
    EXPECT_EQ(row.known, after[row.value].known);
  }
  EXPECT_EQ((std::vector<std::string>{kMainRemember, kMainWord}), testing::TableNames(path));
  EXPECT_TRUE(boxes.shown.empty());
}

// The same faults into a bank whose name needs quoting: the name and the
// server's text both stay text.
TEST_F(LookupFaultTest, AnOddBankNameHoldsTheWordsAndMainWordStaysAsItWas) {
  const std::string bank = Gbk("词库'; drop table main_word; --");
  ASSERT_TRUE(CreateBank(db, bank, boxes).ok());
  LoopbackServer server([](LoopbackConnection& connection) {
    std::string head = connection.ReadRequestHead();
    std::string word = testing::QueryValue(testing::RequestTarget(head), "q");
    if (word == "quote") connection.Send(kHeader + Page(Part("n.", "'); delete from main_word; --")));
    if (word == "cut") connection.Send(kHeader + "<ul>" + Part("n.", "半"));
  });
  ScopedDictionaryHost host(server.HostPort());
  {
    TaskPool pool;
    for (const char* word : {"quote", "cut", "apple"})
      pool.Submit(LookupWordTask, MakeTranslationTask(word, 3, &db, bank), ReleaseTranslationTask);
    pool.Shutdown();
  }
  auto rows = testing::ReadBank(path, bank);
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ("apple", rows[0].value);
  EXPECT_EQ(kNotFoundTranslation, rows[0].trans);
  EXPECT_EQ("cut", rows[1].value);
  EXPECT_EQ(kNotFoundTranslation, rows[1].trans);
  EXPECT_EQ("quote", rows[2].value);
  EXPECT_EQ("n. '); delete from main_word; --\n", rows[2].trans);
  EXPECT_EQ(before.size(), testing::ReadBank(path, kMainWord).size());
  auto mainWord = ByWord(testing::ReadBank(path, kMainWord));
  EXPECT_EQ(Gbk("n. 苹果\n"), mainWord["apple"].trans);
}

}  // namespace
}  // namespace quorvo
