// Phonetics and pronunciation in the windows: the word list's "音标" column
// and "发音" menu entry, the recitation page's phonetic and "发音" button, on
// real widgets (offscreen) with a recording speech engine.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <memory>

#include "base/code_page.h"
#include "testing/word_fixture.h"
#include "wordapp/page1.h"
#include "wordapp/page1_controls.h"
#include "wordapp/page2.h"
#include "wordapp/page2_controls.h"
#include "wordapp/tests/gui_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

using testing::Control;
using testing::TextOf;

class PhoneticSpeechTest : public testing::GuiTest {
 protected:
  void SetPhonetic(const std::string& bank, const std::string& word, const std::string& phoneticUtf8) {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ASSERT_EQ(SQLITE_OK, db.Execute(UpdatePhoneticStatement(bank, Gbk(phoneticUtf8), word)));
  }
  // The "发音" entry of the word list's menu for a row.
  std::unique_ptr<QMenu> WordMenu(CPage1& page, int row) {
    std::unique_ptr<QMenu> menu(page.MakeWordMenu(row));
    EXPECT_EQ(1, menu->actions().size());
    EXPECT_EQ("发音", menu->actions().value(0)->text().toStdString());
    return menu;
  }

  testing::FakeSpeech speech;
};

TEST_F(PhoneticSpeechTest, TheWordListShowsPhoneticsWhenTheListedRowsHaveThem) {
  Put(kMainWord, "apple", "苹果", 9);
  Put(kMainWord, "banana", "香蕉", 5);
  Put(kMainRemember, "learn", "学习", 2);
  CPage1 page(ops);
  page.show();
  auto* words = Control<QTableView>(&page, page1_controls::kWordList);
  EXPECT_TRUE(words->isColumnHidden(2));

  SetPhonetic(kMainWord, "apple", "/ˈæp.əl/");
  page.Refresh();
  EXPECT_FALSE(words->isColumnHidden(2));
  EXPECT_GT(words->columnWidth(2), 0);
  EXPECT_EQ("音标", page.WordModel().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString().toStdString());
  // By hot: apple, banana.
  EXPECT_EQ("/ˈæp.əl/", page.WordModel().data(page.WordModel().index(0, 2), Qt::DisplayRole).toString().toStdString());
  EXPECT_EQ("", page.WordModel().data(page.WordModel().index(1, 2), Qt::DisplayRole).toString().toStdString());

  // Copied to the recitation list with the word, where the cards show it.
  page.WordModel().setData(page.WordModel().index(0, 0), Qt::Checked, Qt::CheckStateRole);
  page.WordModel().setData(page.WordModel().index(1, 0), Qt::Checked, Qt::CheckStateRole);
  Control<QComboBox>(&page, page1_controls::kBatchOperation)->setCurrentIndex(CPage1::kBatchRecite);
  page.RunBatch();
  auto recited = testing::ReadBank(DbPath(), kMainRemember);
  ASSERT_EQ(3u, recited.size());
  EXPECT_EQ("/ˈæp.əl/", Utf8(recited[0].phonetic));  // apple
  EXPECT_EQ("", recited[1].phonetic);                // banana
  CPage2 cards(ops);
  const std::pair<std::string, std::string> expected[] = {{"learn", ""}, {"apple", "/ˈæp.əl/"}, {"banana", ""}};
  for (const auto& [word, phonetic] : expected) {
    EXPECT_EQ(word, TextOf(Control<QWidget>(&cards, page2_controls::kWord)));
    EXPECT_EQ(phonetic, TextOf(Control<QWidget>(&cards, page2_controls::kPhonetic))) << word;
    cards.NextWord();
  }

  // A search that lists no word with a phonetic hides the column again.
  Control<QLineEdit>(&page, page1_controls::kSearchText)->setText("ban");
  page.Refresh();
  ASSERT_EQ(1, page.WordModel().rowCount());
  EXPECT_TRUE(words->isColumnHidden(2));
}

TEST_F(PhoneticSpeechTest, TheWordListMenuSaysTheRowsWord) {
  Put(kMainWord, "apple", "苹果", 9);
  Put(kMainWord, "banana", "香蕉", 5);
  ops.speech = &speech;
  CPage1 page(ops);
  page.Refresh();
  auto menu = WordMenu(page, 1);
  QAction* say = menu->actions().value(0);
  ASSERT_TRUE(say);
  EXPECT_TRUE(say->isEnabled());
  say->trigger();
  EXPECT_EQ((std::vector<std::string>{"banana"}), speech.said);
}

TEST_F(PhoneticSpeechTest, WithoutAnEngineTheMenuEntryIsDisabledWithATip) {
  Put(kMainWord, "apple", "苹果", 9);
  speech.available = false;
  for (Speech* given : {static_cast<Speech*>(&speech), static_cast<Speech*>(nullptr)}) {
    ops.speech = given;
    CPage1 page(ops);
    auto menu = WordMenu(page, 0);
    QAction* say = menu->actions().value(0);
    ASSERT_TRUE(say);
    EXPECT_FALSE(say->isEnabled());
    EXPECT_EQ("没有可用的语音引擎，无法发音", say->toolTip().toStdString());
    say->trigger();
  }
  EXPECT_TRUE(speech.said.empty());
}

TEST_F(PhoneticSpeechTest, TheRecitationPageSaysTheCurrentWord) {
  Put(kMainRemember, "alpha", "甲", 1);
  Put(kMainRemember, "beta", "乙", 2);
  ops.speech = &speech;
  CPage2 cards(ops);
  auto* say = Control<QPushButton>(&cards, page2_controls::kSay);
  EXPECT_EQ("发音", TextOf(say));
  EXPECT_TRUE(say->isEnabled());
  say->click();
  cards.NextWord();
  say->click();
  EXPECT_EQ((std::vector<std::string>{"alpha", "beta"}), speech.said);
  // The cards are as they were: saying a word moves nothing.
  EXPECT_EQ(2, cards.Position());
  EXPECT_FALSE(cards.TranslationShown());
}

TEST_F(PhoneticSpeechTest, TheRecitationPageButtonIsDisabledWithoutAnEngineOrWords) {
  Put(kMainRemember, "alpha", "甲", 1);
  speech.available = false;
  for (Speech* given : {static_cast<Speech*>(&speech), static_cast<Speech*>(nullptr)}) {
    ops.speech = given;
    CPage2 cards(ops);
    auto* say = Control<QPushButton>(&cards, page2_controls::kSay);
    EXPECT_FALSE(say->isEnabled());
    EXPECT_EQ("没有可用的语音引擎，无法发音", say->toolTip().toStdString());
    say->click();
    cards.SayCurrentWord();
  }
  EXPECT_TRUE(speech.said.empty());

  // An engine that fails after the start disables the button at the next card.
  speech.available = true;
  ops.speech = &speech;
  CPage2 failing(ops);
  ASSERT_TRUE(Control<QPushButton>(&failing, page2_controls::kSay)->isEnabled());
  speech.available = false;
  failing.NextWord();
  EXPECT_FALSE(Control<QPushButton>(&failing, page2_controls::kSay)->isEnabled());
  failing.SayCurrentWord();
  EXPECT_TRUE(speech.said.empty());

  // With an engine but no words there is nothing to say.
  speech.available = true;
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ASSERT_EQ(SQLITE_OK, db.Execute("delete from main_remember"));
  }
  CPage2 empty(ops);
  EXPECT_TRUE(Control<QPushButton>(&empty, page2_controls::kSay)->isEnabled());
  empty.SayCurrentWord();
  EXPECT_TRUE(speech.said.empty());
}

}  // namespace
}  // namespace quorvo
