// 今日复习 on the recitation page (offscreen): the due cards and their order,
// the daily limit of new words, grading with 1-4 only after the translation,
// the keys that keep their meaning, the counter, and a busy file.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTest>
#include <optional>

#include "review/review_session.h"
#include "review/review_store.h"
#include "testing/faulty_vfs.h"
#include "testing/held_file.h"
#include "wordapp/page2.h"
#include "wordapp/page2_controls.h"
#include "wordapp/tests/gui_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

using testing::Control;
using testing::TextOf;

// 2026-12-07 12:00 UTC.
constexpr int64_t kNow = 1796644800;
constexpr int64_t kDay = 86400;

class ReviewPageTest : public testing::GuiTest {
 protected:
  ReviewPageTest() {
    ops.clock = [this] { return now; };
  }
  void PutWords(const std::vector<std::string>& words) {
    for (const auto& w : words) Put(kMainRemember, w, w + "的释义", 1);
  }
  // Stores a review as if given `daysAgo` days before now.
  void Reviewed(const std::string& word, Grade grade, int daysAgo) {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ReviewStore store(db, LocalUtcOffset(kNow));
    ASSERT_TRUE(store.RecordReview(kMainRemember, word, grade, kNow - daysAgo * kDay, nullptr).ok());
  }
  int Count(const std::string& sql) {
    WordDatabase db;
    EXPECT_TRUE(db.Open(DbPath()));
    int n = -1;
    db.QueryRows(sql, [&](int, const RowView& row) { n = std::atoi(row.Text(0)); });
    return n;
  }
  void Open(bool review = true) {
    page = std::make_unique<CPage2>(ops);
    page->show();
    QApplication::setActiveWindow(page.get());
    if (review) Selector()->setCurrentIndex(1);
  }
  QComboBox* Selector() { return Control<QComboBox>(page.get(), page2_controls::kReviewMode); }
  std::string Word() { return TextOf(Control<QWidget>(page.get(), page2_controls::kWord)); }
  std::string Translation() { return TextOf(Control<QWidget>(page.get(), page2_controls::kTranslation)); }
  std::string Counter() { return TextOf(Control<QWidget>(page.get(), page2_controls::kCounter)); }
  QLineEdit* TypingBox() { return Control<QLineEdit>(page.get(), page2_controls::kTypingBox); }
  QPushButton* GradeButton(int grade) { return Control<QPushButton>(page.get(), page2_controls::GradeButton(grade)); }
  void Press(Qt::Key key) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : page.get();
    QTest::keyClick(target, key);
  }
  // The words of the due cards, walking through them with Enter.
  std::vector<std::string> DueWords() {
    std::vector<std::string> words;
    for (int i = 0; i < page->Session().Count(); ++i) {
      words.push_back(Word());
      Press(Qt::Key_Return);
    }
    return words;
  }

  int64_t now = kNow;  // the pages' clock
  std::unique_ptr<CPage2> page;
};

TEST_F(ReviewPageTest, DueCardsComeMostOverdueFirstThenNewWordsInListOrder) {
  PutWords({"alpha", "beta", "gamma", "delta", "epsilon"});
  Reviewed("beta", Grade::Good, 10);  // due 6 days ago
  Reviewed("delta", Grade::Good, 5);  // due yesterday
  Reviewed("gamma", Grade::Good, 1);  // due in 3 days
  Open();
  EXPECT_EQ("今日待复习 4 个", Counter());
  EXPECT_EQ("点击看释义", Translation());
  EXPECT_EQ((std::vector<std::string>{"beta", "delta", "alpha", "epsilon"}), DueWords());
  // Back in 全部单词 the list is walked as always.
  Selector()->setCurrentIndex(0);
  EXPECT_EQ("第1个 共5个单词", Counter());
  EXPECT_EQ("alpha", Word());
}

TEST_F(ReviewPageTest, NewWordsAreLimitedPerDayCountingThoseStartedToday) {
  std::vector<std::string> words;
  for (int i = 0; i < 25; ++i) words.push_back("word" + std::to_string(100 + i));
  PutWords(words);
  Open();
  EXPECT_EQ("今日待复习 20 个", Counter());

  // Two started today already: three of a limit of five remain.
  Reviewed("word100", Grade::Good, 0);
  Reviewed("word101", Grade::Again, 0);
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ASSERT_TRUE(ReviewStore(db, 0).SetNewCardsPerDay(5).ok());
  }
  Selector()->setCurrentIndex(0);
  Selector()->setCurrentIndex(1);
  EXPECT_EQ("今日待复习 3 个", Counter());
  EXPECT_EQ("word102", Word());

  // The page's own setting: one more a day.
  auto* newPerDay = Control<QSpinBox>(page.get(), page2_controls::kNewPerDay);
  ASSERT_TRUE(newPerDay->isVisible());
  EXPECT_EQ(5, newPerDay->value());
  newPerDay->setValue(6);
  EXPECT_EQ("今日待复习 4 个", Counter());
  EXPECT_EQ(1, Count("select count(*) from review_setting where key = 'new_per_day' and value = 6"));
  Selector()->setCurrentIndex(0);
  EXPECT_FALSE(newPerDay->isVisible());
}

TEST_F(ReviewPageTest, DigitsGradeOnlyAfterTheTranslationIsShown) {
  PutWords({"alpha", "beta", "gamma"});
  Open();
  EXPECT_TRUE(GradeButton(1)->isVisible());
  EXPECT_FALSE(GradeButton(3)->isEnabled());
  Press(Qt::Key_3);
  EXPECT_EQ("3", TypingBox()->text().toStdString());  // typed, not graded
  EXPECT_EQ("今日待复习 3 个", Counter());
  EXPECT_EQ(0, Count("select count(*) from sqlite_master where name = 'review_log'"));

  Press(Qt::Key_Space);
  EXPECT_EQ("alpha的释义", Translation());
  EXPECT_TRUE(GradeButton(3)->isEnabled());
  Press(Qt::Key_3);
  EXPECT_EQ("beta", Word());
  EXPECT_EQ("点击看释义", Translation());
  EXPECT_EQ("今日待复习 2 个", Counter());
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'alpha' and grade = 3"));

  // The buttons grade as the keys do: 忘记 is Again.
  Press(Qt::Key_Space);
  GradeButton(1)->click();
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'beta' and grade = 1"));
  EXPECT_EQ("今日待复习 1 个", Counter());
  // Keys 5 and 0 are not grades.
  Press(Qt::Key_Space);
  Press(Qt::Key_5);
  EXPECT_EQ("今日待复习 1 个", Counter());
  // In 全部单词, digits are never grades.
  Selector()->setCurrentIndex(0);
  Press(Qt::Key_Space);
  Press(Qt::Key_4);
  EXPECT_EQ(2, Count("select count(*) from review_log"));
}

TEST_F(ReviewPageTest, EnterBackspaceAndSpaceKeepTheirMeaningInBothModes) {
  PutWords({"alpha", "beta", "gamma"});
  for (bool review : {false, true}) {
    SCOPED_TRACE(review ? "今日复习" : "全部单词");
    Open(review);
    TypingBox()->setText(QStringLiteral("typed"));
    Press(Qt::Key_Return);
    EXPECT_EQ("beta", Word());
    EXPECT_TRUE(TypingBox()->text().isEmpty());
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Backspace);
    EXPECT_EQ("gamma", Word());  // wraps to the last
    Press(Qt::Key_Space);
    EXPECT_EQ("gamma的释义", Translation());
    Press(Qt::Key_Space);
    EXPECT_EQ("点击看释义", Translation());
    Press(Qt::Key_Return);
    EXPECT_EQ("alpha", Word());  // wraps to the first
    EXPECT_EQ(review ? "今日待复习 3 个" : "第1个 共3个单词", Counter());
  }
  // Walking the cards writes nothing: the file has no review tables yet.
  EXPECT_EQ(0, Count("select count(*) from sqlite_master where name like 'review%'"));
}

TEST_F(ReviewPageTest, NothingDueSaysSoAndOffersAllWords) {
  PutWords({"alpha", "beta"});
  Reviewed("alpha", Grade::Good, 0);
  Reviewed("beta", Grade::Easy, 0);
  Open();
  EXPECT_EQ("今日没有要复习的单词", Word());
  EXPECT_EQ("今日待复习 0 个", Counter());
  EXPECT_FALSE(GradeButton(1)->isVisible());
  Press(Qt::Key_Space);
  Press(Qt::Key_3);
  Press(Qt::Key_Return);
  EXPECT_EQ(2, Count("select count(*) from review_log"));
  auto* allWords = Control<QPushButton>(page.get(), page2_controls::kAllWordsOffer);
  ASSERT_TRUE(allWords->isVisible());
  allWords->click();
  EXPECT_EQ(0, Selector()->currentIndex());
  EXPECT_EQ("alpha", Word());
  EXPECT_EQ("第1个 共2个单词", Counter());
  EXPECT_FALSE(allWords->isVisible());
}

TEST_F(ReviewPageTest, ComingBackOnANewDayChoosesThatDaysCards) {
  PutWords({"alpha", "beta"});
  Reviewed("alpha", Grade::Good, 0);
  Reviewed("beta", Grade::Good, 0);
  Open();
  EXPECT_EQ("今日待复习 0 个", Counter());
  page->hide();
  page->show();
  EXPECT_EQ("今日待复习 0 个", Counter());  // the same day: nothing changes
  now += 4 * kDay;                          // both were due after 4 days
  page->hide();
  page->show();
  EXPECT_EQ("今日待复习 2 个", Counter());
  EXPECT_EQ("alpha", Word());
}

TEST_F(ReviewPageTest, ABusyFileKeepsTheReviewAndStoresItLater) {
  PutWords({"alpha", "beta", "gamma"});
  Reviewed("gamma", Grade::Good, 30);  // makes the tables; gamma is due
  Open();
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(DbPath().c_str(), &other));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));
  EXPECT_EQ("gamma", Word());
  Press(Qt::Key_Space);
  Press(Qt::Key_2);
  EXPECT_EQ("alpha", Word());  // the learner goes on
  EXPECT_EQ(1, page->Session().Pending());
  EXPECT_EQ("词库文件正被其他程序占用，1 条复习记录已暂存，稍后自动保存。",
            TextOf(Control<QWidget>(page.get(), page2_controls::kReviewStatus)));
  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);

  Press(Qt::Key_Space);
  Press(Qt::Key_4);
  EXPECT_EQ(0, page->Session().Pending());
  EXPECT_EQ("", TextOf(Control<QWidget>(page.get(), page2_controls::kReviewStatus)));
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'gamma' and grade = 2"));
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'alpha' and grade = 4"));
}

TEST_F(ReviewPageTest, DesiredRetentionIsStoredAndUsedOrToldWhyNot) {
  PutWords({"alpha", "beta"});
  Open();
  auto retention = [this] { return Control<QSpinBox>(page.get(), page2_controls::kDesiredRetention); };
  ASSERT_TRUE(retention()->isVisible());
  EXPECT_EQ(90, retention()->value());
  retention()->setValue(85);
  EXPECT_EQ(1, Count("select count(*) from review_setting where key = 'retention_permille' and value = 850"));
  // The next review goes by it: Good on a new card gives a stability of
  // 2.3065 days, which at 85 % is an interval of 4.40 days (2 at 90 %).
  Press(Qt::Key_Space);
  Press(Qt::Key_3);
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'alpha' and interval = 4"));
  Open();
  EXPECT_EQ(85, retention()->value());

  for (bool readOnly : {true, false}) {
    testing::FaultyVfs vfs;  // outlives the page's connection
    vfs.SetReadOnly(readOnly);
    Open();
    if (!readOnly) vfs.SetWriteBudget(0);
    retention()->setValue(95);
    EXPECT_EQ(readOnly ? "目标记忆率没能保存（词库文件只读），复习仍按原来的目标安排。"
                       : "目标记忆率没能保存（磁盘空间不足），复习仍按原来的目标安排。",
              TextOf(Control<QWidget>(page.get(), page2_controls::kReviewStatus)));
    EXPECT_EQ(85, retention()->value());  // what the file holds
    vfs.SetWriteBudget(-1);
    page.reset();
    EXPECT_EQ(1, Count("select count(*) from review_setting where key = 'retention_permille' and value = 850"));
  }
}

std::string ResultOf(QWidget* page) { return TextOf(Control<QWidget>(page, page2_controls::kDrillResult)); }

TEST_F(ReviewPageTest, WritingDrillChecksLetterByLetterAndGradesTheCard) {
  testing::FakeSpeech speech;
  ops.speech = &speech;
  PutWords({"letter", "colour", "gamma", "delta"});
  Put(kMainWord, "color", "颜色", 1);  // the dictionary has both spellings
  Put(kMainWord, "colour", "颜色", 1);
  Open();
  auto* drill = Control<QComboBox>(page.get(), page2_controls::kDrillMode);
  ASSERT_TRUE(drill->isVisible());
  drill->setCurrentIndex(CPage2::kWrite);
  EXPECT_EQ("默写", Word());
  EXPECT_EQ("letter的释义", Translation());

  // Right at once, within 3 s: 简单.
  QTest::keyClicks(TypingBox(), " Letter ");
  Press(Qt::Key_Return);
  EXPECT_EQ("正确：letter", ResultOf(page.get()));
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'letter' and grade = 4"));
  EXPECT_EQ("", TypingBox()->text().toStdString());

  // The American spelling of a word the dictionary lists both ways, after 10 s: 认识.
  now += 10;
  QTest::keyClicks(TypingBox(), "color");
  Press(Qt::Key_Return);
  EXPECT_EQ("正确：colour（另一种拼法）", ResultOf(page.get()));
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'colour' and grade = 3"));

  // A wrong letter is marked; the second try, edited with Backspace, is right: 模糊.
  QTest::keyClicks(TypingBox(), "gamna");
  Press(Qt::Key_Return);
  EXPECT_EQ("<span style=\"font-family:monospace\">gam<u style=\"color:#c0392b\">n</u>a</span>　拼错了，看音标再试一次",
            ResultOf(page.get()));
  EXPECT_EQ(0, Count("select count(*) from review_log where word = 'gamma'"));
  Press(Qt::Key_Backspace);  // the whole try is selected
  EXPECT_EQ("", TypingBox()->text().toStdString());
  QTest::keyClicks(TypingBox(), "gamma");
  Press(Qt::Key_Return);
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'gamma' and grade = 2"));

  // Wrong twice: 忘记, and the right spelling is shown. Digits and Space type.
  QTest::keyClicks(TypingBox(), "dleta");
  Press(Qt::Key_Return);
  Press(Qt::Key_Backspace);
  Press(Qt::Key_1);
  Press(Qt::Key_Space);
  Press(Qt::Key_4);
  EXPECT_EQ("1 4", TypingBox()->text().toStdString());
  EXPECT_EQ(0, Count("select count(*) from review_log where word = 'delta'"));
  Press(Qt::Key_Return);
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'delta' and grade = 1"));
  EXPECT_NE(std::string::npos, ResultOf(page.get()).find("正确拼写：<b>delta</b>"));
  EXPECT_TRUE(speech.said.empty());  // 默写 says nothing
}

TEST_F(ReviewPageTest, ListeningDrillSaysTheWordShowsNothingAndKeepsAGradeTheFileRefused) {
  testing::FakeSpeech speech;
  ops.speech = &speech;
  PutWords({"alpha", "beta", "gamma"});
  Reviewed("zeta", Grade::Good, 1);  // makes the tables
  Open();
  Control<QComboBox>(page.get(), page2_controls::kDrillMode)->setCurrentIndex(CPage2::kListen);
  EXPECT_EQ((std::vector<std::string>{"alpha"}), speech.said);
  EXPECT_EQ("", Translation());
  EXPECT_EQ("", TextOf(Control<QWidget>(page.get(), page2_controls::kSentence)));
  EXPECT_EQ("", TextOf(Control<QWidget>(page.get(), page2_controls::kPhonetic)));
  QTest::keyClicks(TypingBox(), "alpha");
  Press(Qt::Key_Return);
  EXPECT_EQ((std::vector<std::string>{"alpha", "beta"}), speech.said);

  // Another program holds the file: the grade is kept and stored later.
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(DbPath().c_str(), &other));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));
  QTest::keyClicks(TypingBox(), "beta");
  Press(Qt::Key_Return);
  EXPECT_EQ(1, page->Session().Pending());
  EXPECT_EQ("词库文件正被其他程序占用，1 条复习记录已暂存，稍后自动保存。",
            TextOf(Control<QWidget>(page.get(), page2_controls::kReviewStatus)));
  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  QTest::keyClicks(TypingBox(), "gamma");
  Press(Qt::Key_Return);
  EXPECT_EQ(0, page->Session().Pending());
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'beta' and grade = 4"));
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'gamma' and grade = 4"));
}

TEST_F(ReviewPageTest, WithoutASpeechEngineListeningIsOffWithATip) {
  testing::FakeSpeech speech;
  speech.available = false;
  ops.speech = &speech;
  PutWords({"alpha"});
  Open();
  auto* drill = Control<QComboBox>(page.get(), page2_controls::kDrillMode);
  auto* model = qobject_cast<QStandardItemModel*>(drill->model());
  ASSERT_NE(nullptr, model);
  EXPECT_FALSE(model->item(CPage2::kListen)->isEnabled());
  EXPECT_FALSE(model->item(CPage2::kListen)->toolTip().isEmpty());
  drill->setCurrentIndex(CPage2::kListen);
  EXPECT_EQ(CPage2::kLook, page->CurrentDrill());
  EXPECT_EQ("alpha", Word());
}

TEST_F(ReviewPageTest, MisspeltWordsAreDrilledInTheBookUntilThreeRightDays) {
  PutWords({"alpha", "beta"});
  Open();
  auto* drill = Control<QComboBox>(page.get(), page2_controls::kDrillMode);
  drill->setCurrentIndex(CPage2::kWrite);
  QTest::keyClicks(TypingBox(), "alpah");
  Press(Qt::Key_Return);
  QTest::keyClicks(TypingBox(), "alpha");
  Press(Qt::Key_Return);
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'alpha' and grade = 2"));

  Selector()->setCurrentIndex(2);  // 错题本
  EXPECT_EQ("错题本 1 个", Counter());
  EXPECT_EQ("默写", Word());
  EXPECT_EQ("alpha的释义", Translation());
  for (int day = 0; day < 3; ++day) {
    SCOPED_TRACE(day);
    EXPECT_EQ("错题本 1 个", Counter());
    QTest::keyClicks(TypingBox(), "alpha");
    Press(Qt::Key_Return);
    // Right twice on one day counts once.
    if (day == 0) {
      QTest::keyClicks(TypingBox(), "alpha");
      Press(Qt::Key_Return);
    }
    now += kDay;
  }
  EXPECT_EQ("错题本 0 个", Counter());
  EXPECT_EQ("错题本是空的", Word());
  EXPECT_EQ(1, Count("select count(*) from review_log where word = 'alpha'"));  // the book grades nothing
  EXPECT_EQ(1, Count("select count(*) from review_misspelling_log where word = 'alpha'"));

  Selector()->setCurrentIndex(0);
  EXPECT_EQ("alpha", Word());
  EXPECT_EQ("第1个 共2个单词", Counter());
}

// A drill's first try the file refuses is kept and said so, and the retry
// timer writes it once the file is free: the book then holds the word.
TEST_F(ReviewPageTest, ADrillTryTheFileRefusesIsKeptAndWrittenByTheRetryTimer) {
  PutWords({"alpha", "beta"});
  const struct {
    bool held;  // another program holds the file; else the disk is full
    const char* status;
    int mistakesLogged;  // alpha's, once written
  } faults[] = {{false, "错题本暂时无法保存（磁盘空间不足），1 条已暂存，稍后自动保存。", 1},
                {true, "错题本暂时无法保存（词库文件正被其他程序使用），1 条已暂存，稍后自动保存。", 2}};
  for (const auto& fault : faults) {
    testing::FaultyVfs vfs;  // outlives the page's connection
    Open();
    Control<QComboBox>(page.get(), page2_controls::kDrillMode)->setCurrentIndex(CPage2::kWrite);
    std::optional<testing::HeldFile> other;
    if (fault.held) other.emplace(DbPath(), testing::HeldFile::Kind::kWriting);
    vfs.SetWriteBudget(fault.held ? -1 : 0);
    QTest::keyClicks(TypingBox(), "alpah");
    Press(Qt::Key_Return);
    EXPECT_EQ(fault.status, TextOf(Control<QWidget>(page.get(), page2_controls::kReviewStatus)));
    if (other) {
      ASSERT_TRUE(other->Release());
    }
    vfs.SetWriteBudget(-1);
    EXPECT_TRUE(QTest::qWaitFor([this] { return page->PendingMisspellings() == 0; }, 8000));
    EXPECT_EQ("", TextOf(Control<QWidget>(page.get(), page2_controls::kReviewStatus)));
    Selector()->setCurrentIndex(2);  // 错题本
    EXPECT_EQ("错题本 1 个", Counter());
    EXPECT_EQ(fault.mistakesLogged, Count("select count(*) from review_misspelling_log where word = 'alpha'"));
    page.reset();
  }
}

}  // namespace
}  // namespace quorvo
