// The recitation page on real widgets (offscreen): the cards, the counter,
// the keys and the reload on RecitationListChanged.
#include "wordapp/page2.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "wordapp/page2_controls.h"
#include "wordapp/recitation_event.h"
#include "wordapp/tests/gui_fixture.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_sentences.h"

namespace quorvo {
namespace {

using testing::Control;
using testing::TextOf;

class Page2Test : public testing::GuiTest {
 protected:
  void Open() {
    page = std::make_unique<CPage2>(ops);
    page->show();
    QApplication::setActiveWindow(page.get());
  }
  void PutWords(const std::vector<std::string>& words) {
    int hot = 1;
    for (const auto& w : words) Put(kMainRemember, w, w + "的释义", hot++);
  }
  std::string Word() { return TextOf(Control<QWidget>(page.get(), page2_controls::kWord)); }
  std::string Translation() { return TextOf(Control<QWidget>(page.get(), page2_controls::kTranslation)); }
  std::string Counter() { return TextOf(Control<QWidget>(page.get(), page2_controls::kCounter)); }
  QLineEdit* TypingBox() { return Control<QLineEdit>(page.get(), page2_controls::kTypingBox); }
  // A key as the user presses it, to whichever control has the focus.
  void Press(Qt::Key key) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : page.get();
    QTest::keyClick(target, key);
  }

  std::unique_ptr<CPage2> page;
};

TEST_F(Page2Test, StartsOnTheFirstWordWithItsTranslationHidden) {
  PutWords({"alpha", "beta"});
  Open();
  EXPECT_EQ("alpha", Word());
  EXPECT_EQ("点击看释义", Translation());
  EXPECT_EQ("第1个 共2个单词", Counter());
  auto* open = Control<QPushButton>(page.get(), page2_controls::kOpenDatabase);
  EXPECT_FALSE(open->isVisible());
  EXPECT_FALSE(open->isEnabled());
  EXPECT_EQ(TypingBox(), QApplication::focusWidget());
}

TEST_F(Page2Test, NavigationWrapsInBothDirections) {
  struct Step {
    const char* action;
    std::string word;
    std::string counter;
  };
  struct Case {
    std::vector<std::string> words;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {{"alpha", "beta", "gamma"},
       {{"next", "beta", "第2个 共3个单词"},
        {"enter", "gamma", "第3个 共3个单词"},
        {"enter", "alpha", "第1个 共3个单词"},
        {"backspace", "gamma", "第3个 共3个单词"},
        {"previous", "beta", "第2个 共3个单词"}}},
      {{"solo"},
       {{"next", "solo", "第1个 共1个单词"},
        {"previous", "solo", "第1个 共1个单词"},
        {"backspace", "solo", "第1个 共1个单词"}}},
      {{},
       {{"start", "没有单词", "第1个 共0个单词"},
        {"previous", "没有单词", "第0个 共0个单词"},
        {"next", "没有单词", "第1个 共0个单词"},
        {"backspace", "没有单词", "第0个 共0个单词"},
        {"enter", "没有单词", "第1个 共0个单词"}}},
  };
  for (const auto& c : cases) {
    page.reset();
    {
      WordDatabase db;
      ASSERT_TRUE(db.Open(DbPath()));
      ASSERT_EQ(SQLITE_OK, db.Execute("delete from main_remember"));
    }
    PutWords(c.words);
    Open();
    for (const auto& step : c.steps) {
      SCOPED_TRACE(std::to_string(c.words.size()) + " words, " + step.action);
      std::string action = step.action;
      if (action == "next") Control<QPushButton>(page.get(), page2_controls::kNext)->click();
      if (action == "previous") Control<QPushButton>(page.get(), page2_controls::kPrevious)->click();
      if (action == "enter") QTest::keyClick(TypingBox(), Qt::Key_Return);
      if (action == "backspace") QTest::keyClick(TypingBox(), Qt::Key_Backspace);
      EXPECT_EQ(step.word, Word());
      EXPECT_EQ(step.counter, Counter());
    }
  }
}

TEST_F(Page2Test, EmptyListKeepsTheTranslationAreaAndSpaceOnlyMovesTheFocus) {
  Open();
  EXPECT_EQ("没有单词", Word());
  EXPECT_EQ("释义", Translation());
  Control<QPushButton>(page.get(), page2_controls::kNext)->setFocus();
  Press(Qt::Key_Space);
  EXPECT_EQ("释义", Translation());
  EXPECT_EQ("第1个 共0个单词", Counter());
  EXPECT_EQ(TypingBox(), QApplication::focusWidget());
}

TEST_F(Page2Test, SpaceTogglesTheTranslationWhateverHasTheFocus) {
  PutWords({"alpha", "beta"});
  Open();
  auto* next = Control<QPushButton>(page.get(), page2_controls::kNext);
  next->setFocus();
  Press(Qt::Key_Space);  // on the focused button: not a press of it
  EXPECT_EQ("alpha的释义", Translation());
  EXPECT_EQ("第1个 共2个单词", Counter());
  EXPECT_EQ(TypingBox(), QApplication::focusWidget());
  Press(Qt::Key_Space);
  EXPECT_EQ("点击看释义", Translation());
  Press(Qt::Key_Space);
  EXPECT_EQ("alpha的释义", Translation());
  // Another word hides it again; the next Space shows that word's at once.
  Press(Qt::Key_Return);
  EXPECT_EQ("点击看释义", Translation());
  Press(Qt::Key_Space);
  EXPECT_EQ("beta的释义", Translation());
  // The typing box never received a space.
  EXPECT_EQ("", TypingBox()->text().toStdString());
}

TEST_F(Page2Test, ClickOnTheTranslationAreaToggles) {
  PutWords({"alpha"});
  Open();
  QWidget* area = Control<QWidget>(page.get(), page2_controls::kTranslation);
  QTest::mouseClick(area, Qt::LeftButton);
  EXPECT_EQ("alpha的释义", Translation());
  QTest::mouseClick(area, Qt::LeftButton);
  EXPECT_EQ("点击看释义", Translation());
}

TEST_F(Page2Test, BackspaceCorrectsTheTypingBoxAndGoesBackOnlyWhenItIsEmpty) {
  PutWords({"alpha", "beta", "gamma"});
  Open();
  QTest::keyClicks(TypingBox(), "wrong");
  QTest::keyClick(TypingBox(), Qt::Key_Backspace);
  EXPECT_EQ("wron", TypingBox()->text().toStdString());
  EXPECT_EQ("alpha", Word());
  QTest::keyClick(TypingBox(), Qt::Key_Return);
  EXPECT_EQ("", TypingBox()->text().toStdString());
  EXPECT_EQ("beta", Word());
  EXPECT_EQ(TypingBox(), QApplication::focusWidget());
  QTest::keyClick(TypingBox(), Qt::Key_Backspace);
  EXPECT_EQ("alpha", Word());
  EXPECT_EQ("", TypingBox()->text().toStdString());
}

TEST_F(Page2Test, RecitationListChangedReloadsTheCards) {
  PutWords({"alpha", "beta"});
  Open();
  Control<QPushButton>(page.get(), page2_controls::kNext)->click();
  QTest::mouseClick(Control<QWidget>(page.get(), page2_controls::kTranslation), Qt::LeftButton);
  ASSERT_EQ("beta的释义", Translation());

  Put(kMainRemember, "aardvark", "土豚", 4);
  PostRecitationListChanged(page.get(), kMainRemember);
  EXPECT_EQ("第2个 共2个单词", Counter());  // posted: nothing happens before it is handled
  QCoreApplication::sendPostedEvents(page.get());
  EXPECT_EQ("alpha", Word());
  EXPECT_EQ("点击看释义", Translation());
  EXPECT_EQ("第1个 共3个单词", Counter());
  EXPECT_FALSE(page->TranslationShown());

  // An event without a text changes nothing.
  Control<QPushButton>(page.get(), page2_controls::kNext)->click();
  QCoreApplication::postEvent(page.get(), new RecitationListChangedEvent(nullptr));
  QCoreApplication::sendPostedEvents(page.get());
  EXPECT_EQ("第2个 共3个单词", Counter());

  // A failed reload drops the cards but leaves the texts until the next move.
  PostRecitationListChanged(page.get(), "no_such_list");
  QCoreApplication::sendPostedEvents(page.get());
  EXPECT_EQ("beta", Word());
  EXPECT_EQ("第2个 共3个单词", Counter());
  EXPECT_EQ(0, page->RowCount());
  Control<QPushButton>(page.get(), page2_controls::kNext)->click();
  EXPECT_EQ("没有单词", Word());
  EXPECT_EQ("第1个 共0个单词", Counter());
  QTest::keyClick(TypingBox(), Qt::Key_Space);
  EXPECT_FALSE(page->TranslationShown());
}

TEST_F(Page2Test, WithoutARecitationListThePageKeepsItsFirstTexts) {
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ASSERT_EQ(SQLITE_OK, db.Execute("drop table main_remember"));
  }
  Open();
  EXPECT_EQ("单词", Word());
  EXPECT_EQ("释义", Translation());
  EXPECT_EQ("", Counter());
  QTest::keyClick(TypingBox(), Qt::Key_Space);
  EXPECT_EQ("释义", Translation());
  QTest::keyClick(TypingBox(), Qt::Key_Return);
  EXPECT_EQ("没有单词", Word());
  EXPECT_EQ("第1个 共0个单词", Counter());
}

TEST(Page2Cloze, BlanksAndHighlightsTheWholeWordInAnyCase) {
  struct Case {
    const char* sentence;
    const char* word;
    const char* blanked;
    const char* highlighted;
  };
  const Case cases[] = {
      {"She read the letter twice.", "read", "She ____ the letter twice.",
       "She <b><span style=\"color:#c0392b\">read</span></b> the letter twice."},
      {"Letters came; one letter was torn.", "letter", "Letters came; one ____ was torn.",
       "Letters came; one <b><span style=\"color:#c0392b\">letter</span></b> was torn."},
      {"Run, run & run!", "run", "____, ____ & ____!",
       "<b><span style=\"color:#c0392b\">Run</span></b>, <b><span style=\"color:#c0392b\">run</span></b> &amp; "
       "<b><span style=\"color:#c0392b\">run</span></b>!"},
      {"Nothing here <b>.", "absent", "Nothing here <b>.", "Nothing here &lt;b&gt;."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sentence);
    EXPECT_EQ(c.blanked, CPage2::Blanked(QString::fromUtf8(c.sentence), QString::fromUtf8(c.word)).toStdString());
    EXPECT_EQ(c.highlighted,
              CPage2::Highlighted(QString::fromUtf8(c.sentence), QString::fromUtf8(c.word)).toStdString());
  }
}

TEST_F(Page2Test, TheCardShowsTheClozeAndTheWholeSentenceAfterSpace) {
  PutWords({"letter", "plain"});
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ASSERT_TRUE(AddSentence(db, kMainRemember, "letter", {"She read the letter twice.", "novel.txt", false}).ok());
  }
  Open();
  auto* sentence = Control<QLabel>(page.get(), page2_controls::kSentence);
  EXPECT_EQ("She read the ____ twice.", TextOf(sentence));
  Press(Qt::Key_Space);
  EXPECT_EQ("She read the <b><span style=\"color:#c0392b\">letter</span></b> twice.", TextOf(sentence));
  Press(Qt::Key_Return);
  EXPECT_EQ("plain", Word());
  EXPECT_EQ("", TextOf(sentence));  // a word without a sentence shows none
}

}  // namespace
}  // namespace quorvo
