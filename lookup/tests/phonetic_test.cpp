// Phonetics from the page to the word's row: the cutting of the phonetic
// element and its storage beside the translation.
#include <gtest/gtest.h>

#include <string>

#include "base/code_page.h"
#include "lookup/page_fetch.h"
#include "lookup/phonetic_extract.h"
#include "lookup/translation_task.h"
#include "testing/loopback_dictionary.h"
#include "testing/scoped_dictionary_host.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"

namespace quorvo {
namespace {

const std::string E(kEndMarker);
const std::string Part = "<li><span class=\"blue12other\">n.<span>  apple<br/></li>";

std::string Span(const std::string& text) { return "<span class=\"phonetic\">" + text + "</span>"; }

TEST(ExtractPhoneticTest, Rules) {
  struct Case {
    const char* name;
    std::string page;
    std::string expected;
  } cases[] = {
      {"after the last part", Part + Span("/ˈæp.əl/") + E, "/ˈæp.əl/"},
      {"blanks around are dropped", Part + Span("  /rʌn/\t") + E, "/rʌn/"},
      {"none on the page", Part + E, ""},
      {"after the end marker is not the word's", Part + E + Span("/x/"), ""},
      {"no end marker: a page cut short", Part + Span("/x/"), ""},
      {"not closed before the end marker", Part + "<span class=\"phonetic\">/x/" + E + "</span>", ""},
      {"another element inside", Part + Span("/a<b>b</b>/") + E, ""},
      {"empty", Part + Span("") + E, ""},
      {"only blanks", Part + Span("   ") + E, ""},
      {"a line break inside", Part + Span("/a\nb/") + E, ""},
      {"120 bytes is the most", Part + Span(std::string(120, 'a')) + E, std::string(120, 'a')},
      {"121 bytes is not a phonetic", Part + Span(std::string(121, 'a')) + E, ""},
      {"a NUL byte ends the page", Part + "<span class=\"phonetic\">/x" + std::string(1, '\0') + "/</span>" + E, ""},
      {"an empty page", "", ""},
  };
  for (const auto& c : cases) {
    std::string out = "left over";
    EXPECT_EQ(!c.expected.empty(), ExtractPhonetic(c.page, &out)) << c.name;
    EXPECT_EQ(c.expected, out) << c.name;
  }
}

TEST(ExtractPhoneticTest, NeverReadsPastTheEndOfThePage) {
  // What follows each page in memory would complete the element.
  struct Case {
    const char* name;
    std::string page;
    std::string beyond;
  } cases[] = {
      {"ends inside the opening tag", E + "<span class=\"phon", "etic\">/x/</span>"},
      {"ends inside the text", "<span class=\"phonetic\">/x", "/</span>" + E},
      {"ends inside the closing tag", "<span class=\"phonetic\">/x/</sp", "an>" + E},
  };
  for (const auto& c : cases) {
    std::string memory = c.page + c.beyond;
    std::string out;
    EXPECT_FALSE(ExtractPhonetic(std::string_view(memory).substr(0, c.page.size()), &out)) << c.name;
    EXPECT_EQ("", out) << c.name;
  }
}

class PhoneticRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(path));
    testing::CreateBanks(db, {"main_word"});
    dictionary.SetPhonetics({{"apple", "/ˈæp.əl/"}, {"thing", "/θɪŋ/"}, {"shut", "/ʃʌt/"}});
  }
  static std::optional<testing::LoopbackDictionary::Parts> Entry(const std::string& word) {
    if (word == "nope") return std::nullopt;
    return testing::LoopbackDictionary::Parts{{"n.", word + "义"}};
  }

  testing::TempDir dir;
  std::string path = dir.File("dict_main.db");
  WordDatabase db;
  testing::LoopbackDictionary dictionary{Entry};
  testing::ScopedDictionaryHost host{dictionary.HostPort()};
};

TEST_F(PhoneticRoadTest, ThePagesPhoneticIsStoredBesideTheTranslation) {
  testing::PutWord(db, "main_word", "shut", "旧义", 4);
  for (const char* word : {"apple", "thing", "shut", "plain", "nope"})
    LookupWordTask(MakeTranslationTask(word, 2, &db, "main_word"));

  struct Expected {
    const char* value;
    std::string transUtf8;
    std::string phoneticStored;  // GB18030 bytes
    std::string phoneticUtf8;
    const char* hot;
  } expected[] = {
      {"apple", "n. apple义\n", "/\x81\x30\xB7\x34\x81\x30\x8A\x33p.\x81\x30\xAC\x35l/", "/ˈæp.əl/", "2"},
      {"nope", "not found, please try to update the word", "", "", "2"},
      {"plain", "n. plain义\n", "", "", "2"},
      {"shut", "n. shut义\n", "/\x81\x30\xB0\x36\x81\x30\xB1\x35t/", "/ʃʌt/", "4"},
      {"thing", "n. thing义\n", "/\xA6\xC8\x81\x30\xAE\x31\x81\x30\x92\x37/", "/θɪŋ/", "2"},
  };
  auto rows = testing::ReadBank(path, "main_word");
  ASSERT_EQ(std::size(expected), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& e = expected[i];
    EXPECT_EQ(e.value, rows[i].value);
    EXPECT_EQ(e.transUtf8, Utf8(rows[i].trans)) << e.value;
    EXPECT_EQ(e.phoneticStored, rows[i].phonetic) << e.value;
    EXPECT_EQ(e.phoneticUtf8, Utf8(rows[i].phonetic)) << e.value;
    EXPECT_EQ(e.hot, rows[i].hot) << e.value;
  }
}

TEST_F(PhoneticRoadTest, ALookupWithoutAPhoneticKeepsTheOneStored) {
  LookupWordTask(MakeTranslationTask("apple", 1, &db, "main_word"));
  dictionary.SetPhonetics({});
  LookupWordTask(MakeTranslationTask("apple", 1, &db, "main_word"));
  auto rows = testing::ReadBank(path, "main_word");
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ("/ˈæp.əl/", Utf8(rows[0].phonetic));
  EXPECT_EQ(2, dictionary.RequestedWords()["apple"]);
}

}  // namespace
}  // namespace quorvo
