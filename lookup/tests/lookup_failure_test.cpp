// Lookups that fail (nothing listens, no answer in time, the error marker,
// an empty or cut answer) tell the failure from "the dictionary does not
// know the word", and never replace a translation the bank holds; a word
// that has none gets the not-found text as before.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "lookup/lookup_run.h"
#include "lookup/page_fetch.h"
#include "lookup/task_pool.h"
#include "lookup/translation_store.h"
#include "lookup/translation_task.h"
#include "testing/loopback_dictionary.h"
#include "testing/loopback_server.h"
#include "testing/scoped_dictionary_host.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

using testing::LoopbackConnection;
using testing::LoopbackDictionary;
using testing::LoopbackServer;

const std::string kHeader = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n\r\n";
const std::string kGoodPage = LoopbackDictionary::Answer(LoopbackDictionary::Parts{{"n.", "丈夫"}});

struct FailureCase {
  const char* what;
  // Serves one connection; null: nothing listens on the port.
  std::function<void(LoopbackConnection&)> serve;
  FetchFailure failure;
};

std::vector<FailureCase> Cases() {
  auto answer = [](const std::string& bytes) {
    return [bytes](LoopbackConnection& c) {
      c.ReadRequestHead();
      c.Send(bytes);
    };
  };
  std::string page = kGoodPage;
  std::string cut = page.substr(0, page.find("id=\"listtrans\"") - 10);
  return {
      {"nothing listens", nullptr, FetchFailure::Refused},
      {"closes without a byte", [](LoopbackConnection& c) { c.ReadRequestHead(); }, FetchFailure::Cut},
      {"error marker", answer(kHeader + "<p>" + std::string(kErrorMarker) + "</p>"), FetchFailure::ErrorMarker},
      {"cut inside the translation", answer(cut), FetchFailure::Cut},
      {"no answer in time",
       [](LoopbackConnection& c) {
         c.ReadRequestHead();
         c.WaitForPeerClose();
       },
       FetchFailure::TimedOut},
      // Answers: the dictionary speaks, with or without a translation.
      {"whole page", answer(page), FetchFailure::None},
      {"unknown word", answer(LoopbackDictionary::Answer(std::nullopt)), FetchFailure::None},
      {"end marker, then slow to close",
       [page](LoopbackConnection& c) {
         c.ReadRequestHead();
         c.Send(page);
         c.WaitForPeerClose();
       },
       FetchFailure::None},
  };
}

TEST(FetchFailureTest, EachWayOfFailingIsToldApartFromAnAnswer) {
  for (const FailureCase& c : Cases()) {
    SCOPED_TRACE(c.what);
    auto server = std::make_unique<LoopbackServer>([&c](LoopbackConnection& conn) {
      if (c.serve) c.serve(conn);
    });
    std::string host = server->HostPort();
    if (!c.serve) server.reset();  // the port is free again: refused
    FetchOptions options;
    options.receiveTimeoutMs = 200;
    char page[kPageBufferBytes];
    FetchFailure failure = FetchFailure::Cut;
    FetchDictionaryPage(host + kLookupTarget + "husband", page, options, &failure);
    EXPECT_EQ(static_cast<int>(c.failure), static_cast<int>(failure));
  }
}

class FailedLookupStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(path));
    testing::CreateBanks(db, {kMainWord});
    testing::PutWord(db, kMainWord, "husband", "n. 丈夫；先生；夫；良人", 7, 1);
    testing::PutWord(db, kMainWord, "wife", kNotFoundTranslation, 2);
    testing::PutWord(db, kMainWord, "child", "", 3);
  }
  std::map<std::string, testing::StoredWord> Rows() {
    std::map<std::string, testing::StoredWord> rows;
    for (const auto& row : testing::ReadBank(path, kMainWord)) rows[row.value] = row;
    return rows;
  }

  testing::TempDir dir;
  std::string path = dir.File("dict_main.db");
  WordDatabase db;
};

// Over a bank with a good translation, a not-found one and an empty one,
// plus a word new to the bank: the good one stays, the others get the
// not-found text, and the run counts what happened.
TEST_F(FailedLookupStoreTest, AFailedFetchReplacesNoTranslation) {
  for (const FailureCase& c : Cases()) {
    if (c.failure == FetchFailure::None || c.failure == FetchFailure::TimedOut) continue;  // time-outs: above
    SCOPED_TRACE(c.what);
    auto server = std::make_unique<LoopbackServer>([&c](LoopbackConnection& conn) {
      if (c.serve) c.serve(conn);
    });
    std::string hostPort = server->HostPort();
    testing::ScopedDictionaryHost host(hostPort);
    if (!c.serve) server.reset();
    auto run = std::make_shared<LookupRun>(4);
    for (const char* word : {"husband", "wife", "child"})
      LookupWordTask(MakeTranslationTask(word, 1, &db, kMainWord, run));
    LookupWordTask(MakeTranslationTask("newword", 5, &db, kMainWord, run));
    EXPECT_TRUE(run->Finished());
    EXPECT_EQ(1, run->Kept());
    // A dictionary never reached did not say "not found": counted apart.
    bool reached = c.failure != FetchFailure::Refused && c.failure != FetchFailure::Unreachable;
    EXPECT_EQ(reached ? 3 : 0, run->NotFound());
    EXPECT_EQ(reached ? 0 : 3, run->Unreachable());
    EXPECT_EQ(reached ? "" : hostPort, run->UnreachableHost());
    EXPECT_EQ(0, run->Translated());
    auto rows = Rows();
    EXPECT_EQ(Gbk("n. 丈夫；先生；夫；良人"), rows["husband"].trans);
    EXPECT_EQ("7", rows["husband"].hot);
    EXPECT_EQ("1", rows["husband"].known);
    EXPECT_EQ(kNotFoundTranslation, rows["wife"].trans);
    EXPECT_EQ(kNotFoundTranslation, rows["child"].trans);
    EXPECT_EQ(kNotFoundTranslation, rows["newword"].trans);
    EXPECT_EQ("5", rows["newword"].hot);
  }
  EXPECT_EQ(4u, Rows().size());
}

// Once the dictionary answers again, the words are translated, the new one
// counted as added only the first time.
TEST_F(FailedLookupStoreTest, AWholeAnswerReplacesWhatTheWordHad) {
  LoopbackDictionary dictionary([](const std::string& word) -> std::optional<LoopbackDictionary::Parts> {
    if (word == "zzzq") return std::nullopt;
    return LoopbackDictionary::Parts{{"n.", "新" + word}};
  });
  testing::ScopedDictionaryHost host(dictionary.HostPort());
  auto run = std::make_shared<LookupRun>(5);
  for (const char* word : {"husband", "wife", "child", "owl", "zzzq"})
    LookupWordTask(MakeTranslationTask(word, 1, &db, kMainWord, run));
  EXPECT_EQ(4, run->Translated());
  EXPECT_EQ(1, run->NotFound());
  EXPECT_EQ(2, run->Added());
  auto rows = Rows();
  EXPECT_EQ(Gbk("n. 新husband\n"), rows["husband"].trans);
  EXPECT_EQ(Gbk("n. 新wife\n"), rows["wife"].trans);
  EXPECT_EQ(Gbk("n. 新owl\n"), rows["owl"].trans);
  EXPECT_EQ(kNotFoundTranslation, rows["zzzq"].trans);
  EXPECT_EQ((std::vector<std::string>{"zzzq"}), WordsWithTranslation(db, kMainWord, kNotFoundTranslation));
}

// The run tells its end once, from the worker that counts the last lookup
// done, when every store is in the file; setting the call after the end
// calls nothing.
TEST_F(FailedLookupStoreTest, TheRunTellsItsEndOnceWithEveryStoreInTheFile) {
  LoopbackDictionary dictionary([](const std::string& word) -> std::optional<LoopbackDictionary::Parts> {
    return LoopbackDictionary::Parts{{"n.", "新" + word}};
  });
  testing::ScopedDictionaryHost host(dictionary.HostPort());
  const std::vector<std::string> words = {"owl", "cat", "dog", "fox", "hen", "elk", "yak"};
  auto run = std::make_shared<LookupRun>(static_cast<int>(words.size()));
  std::atomic<int> calls{0};
  std::promise<size_t> rowsAtEnd;
  run->SetOnFinished([&] {
    if (calls.fetch_add(1) == 0) rowsAtEnd.set_value(Rows().size());
  });
  {
    TaskPool pool;
    for (const auto& word : words)
      pool.Submit(LookupWordTask, MakeTranslationTask(word, 1, &db, kMainWord, run), ReleaseTranslationTask);
    auto told = rowsAtEnd.get_future();
    ASSERT_EQ(std::future_status::ready, told.wait_for(std::chrono::seconds(20)));
    // Read through a connection of its own: what was committed.
    EXPECT_EQ(3u + words.size(), told.get());
  }
  EXPECT_EQ(1, calls.load());
  EXPECT_TRUE(run->Finished());

  bool called = false;
  run->SetOnFinished([&] { called = true; });
  run->TaskDone();  // past the total: not a second end
  EXPECT_FALSE(called);
}

}  // namespace
}  // namespace quorvo
