// Words added through the add-words dialog and "更新释义", looked up on a
// dictionary served on 127.0.0.1 by the test itself.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <cstdlib>
#include <set>
#include <thread>

#include "base/code_page.h"
#include "testing/loopback_dictionary.h"
#include "testing/word_fixture.h"
#include "wordapp/insert_dlg.h"
#include "wordapp/insert_dlg_controls.h"
#include "wordapp/page1.h"
#include "wordapp/page1_controls.h"
#include "wordapp/tests/gui_fixture.h"

namespace quorvo {
namespace {

using testing::Control;
using testing::LoopbackDictionary;
using testing::TextOf;

class AddWordsTest : public testing::GuiTest {
 protected:
  AddWordsTest()
      : dictionary([this](const std::string& word) -> std::optional<LoopbackDictionary::Parts> {
          auto found = translations.find(word);
          if (found == translations.end()) return std::nullopt;
          return LoopbackDictionary::Parts{{"n.", found->second}};
        }) {
    setenv("QUORVO_DICT_HOST", dictionary.HostPort().c_str(), 1);
  }
  ~AddWordsTest() override {
    page.reset();  // the pool finishes its lookups before the dictionary stops
    unsetenv("QUORVO_DICT_HOST");
  }

  // Fills the add-words dialog once it is up, and presses "确定".
  void AnswerDialog(const QString& file, const QString& text, const QString& bank) {
    QTimer::singleShot(0, [this, file, text, bank] {
      auto* dialog = qobject_cast<CInsertDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(nullptr, dialog);
      if (!file.isEmpty()) {
        files.next.push_back(file);
        Control<QPushButton>(dialog, insert_dlg_controls::kOpenFile)->click();
      }
      Control<QTextEdit>(dialog, insert_dlg_controls::kText)->setPlainText(text);
      Control<QLineEdit>(dialog, insert_dlg_controls::kBankName)->setText(bank);
      Control<QPushButton>(dialog, insert_dlg_controls::kOk)->click();
    });
  }
  // Waits, at the lookups' own pace, until the bank's rows satisfy done
  // (the bound only keeps a broken lookup from hanging the test).
  std::vector<testing::StoredWord> WaitForBank(
      const std::string& bank, const std::function<bool(const std::vector<testing::StoredWord>&)>& done) {
    std::vector<testing::StoredWord> stored;
    for (int i = 0; i < 200000; ++i) {
      stored = testing::ReadBank(DbPath(), bank);
      if (done(stored)) break;
      std::this_thread::yield();
    }
    return stored;
  }
  static std::string TransOf(const std::vector<testing::StoredWord>& rows, const std::string& word) {
    for (const auto& w : rows)
      if (w.value == word) return Utf8(w.trans);
    return "(missing)";
  }
  std::vector<std::string> ShownColumn(int column) {
    std::vector<std::string> cells;
    for (int r = 0; r < page->WordModel().rowCount(); ++r) cells.push_back(Utf8(page->WordModel().CellText(r, column)));
    return cells;
  }

  std::map<std::string, std::string> translations = {
      {"whale", "鲸"}, {"ocean", "海洋"}, {"the", "这"}, {"swims", "游泳"}, {"apple", "苹果树"}};
  LoopbackDictionary dictionary;
  std::unique_ptr<CPage1> page;
};

TEST_F(AddWordsTest, FileIntoANewBankShowsAsThatBank) {
  dir.Write("words.txt", "The whale swims in the ocean.\nThe whale!\n");
  page = std::make_unique<CPage1>(ops);
  page->show();
  AnswerDialog(QString::fromStdString(dir.File("words.txt")), "", "sea");
  Control<QPushButton>(page.get(), page1_controls::kAddWords)->click();

  auto stored = WaitForBank("sea", [](const auto& rows) {
    if (rows.size() != 4) return false;
    for (const auto& w : rows)
      if (w.trans.empty()) return false;
    return true;
  });
  ASSERT_EQ(4u, stored.size());
  EXPECT_EQ(4, dictionary.RequestCount());
  // Still main_word on the page: the page notices the run's end (and opens
  // the filled bank) at its progress timer's next tick, and this test runs
  // no event loop.
  EXPECT_EQ("main_word", page->CurrentBank());

  Control<QPushButton>(page.get(), page1_controls::kShowBanks)->click();
  QTableView* banks = Control<QTableView>(page.get(), page1_controls::kBankList);
  int row = -1;
  for (int r = 0; r < page->BankModel().rowCount(); ++r)
    if (page->BankModel().Name(r) == "sea") row = r;
  ASSERT_GE(row, 0) << "the new bank is not listed";
  QPoint at = banks->visualRect(page->BankModel().index(row, 1)).center();
  QTest::mouseClick(banks->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(banks->viewport(), Qt::LeftButton, {}, at);
  ASSERT_EQ("sea", page->CurrentBank());
  Control<QPushButton>(page.get(), page1_controls::kSearch)->click();

  // By hot, highest first: each word's count in the file.
  auto words = ShownColumn(1);
  ASSERT_EQ(4u, words.size());
  EXPECT_EQ("the", words[0]);
  EXPECT_EQ("whale", words[1]);
  EXPECT_EQ((std::set<std::string>{"swims", "ocean"}), (std::set<std::string>{words[2], words[3]}));
  EXPECT_EQ((std::vector<std::string>{"3", "2", "1", "1"}), ShownColumn(6));
  EXPECT_EQ("n. 鲸", QString::fromStdString(ShownColumn(3)[1]).trimmed().toStdString());
  EXPECT_EQ("单词总数: 4", TextOf(Control<QWidget>(page.get(), page1_controls::kWordCount)));
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(AddWordsTest, TypedTextWithoutANameGoesIntoTheShownBankAndShowsAfterSearch) {
  Put(kMainWord, "whale", "旧的释义", 9);
  page = std::make_unique<CPage1>(ops);
  page->show();
  AnswerDialog("", "whale WHALE ocean", "");
  Control<QPushButton>(page.get(), page1_controls::kAddWords)->click();

  auto stored = WaitForBank(kMainWord, [](const auto& rows) {
    return TransOf(rows, "whale") != "旧的释义" && TransOf(rows, "ocean") != "(missing)";
  });
  EXPECT_EQ("n. 海洋\n", TransOf(stored, "ocean"));
  EXPECT_EQ("n. 鲸\n", TransOf(stored, "whale"));
  EXPECT_EQ((std::vector<std::string>{"whale"}), ShownColumn(1));  // no event loop ran: not refreshed yet

  Control<QPushButton>(page.get(), page1_controls::kSearch)->click();
  EXPECT_EQ((std::vector<std::string>{"whale", "ocean"}), ShownColumn(1));
  // A word the bank had keeps its hot; a new one gets its count.
  EXPECT_EQ((std::vector<std::string>{"9", "1"}), ShownColumn(6));
}

TEST_F(AddWordsTest, CancelledDialogAddsNothing) {
  page = std::make_unique<CPage1>(ops);
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<CInsertDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(nullptr, dialog);
    Control<QTextEdit>(dialog, insert_dlg_controls::kText)->setPlainText("whale ocean");
    Control<QLineEdit>(dialog, insert_dlg_controls::kBankName)->setText("sea");
    Control<QPushButton>(dialog, insert_dlg_controls::kCancel)->click();
  });
  Control<QPushButton>(page.get(), page1_controls::kAddWords)->click();
  page.reset();  // every queued lookup would have run by now
  EXPECT_EQ(0, dictionary.RequestCount());
  EXPECT_EQ((std::vector<std::string>{"main_remember", "main_word"}), testing::TableNames(DbPath()));
}

TEST_F(AddWordsTest, UpdateTranslationLooksUpTheTargetRowsAndKeepsTheirHot) {
  Put(kMainWord, "apple", "苹果", 9);
  Put(kMainWord, "pear", "梨", 4);
  page = std::make_unique<CPage1>(ops);
  page->show();
  Control<QTableView>(page.get(), page1_controls::kWordList)->selectRow(0);
  Control<QComboBox>(page.get(), page1_controls::kBatchOperation)->setCurrentIndex(CPage1::kBatchLookup);
  Control<QPushButton>(page.get(), page1_controls::kApplyBatch)->click();

  auto stored = WaitForBank(kMainWord, [](const auto& rows) { return TransOf(rows, "apple") != "苹果"; });
  EXPECT_EQ("n. 苹果树\n", TransOf(stored, "apple"));
  EXPECT_EQ("梨", TransOf(stored, "pear"));
  EXPECT_EQ((std::map<std::string, int>{{"apple", 1}}), dictionary.RequestedWords());
  Control<QPushButton>(page.get(), page1_controls::kSearch)->click();
  EXPECT_EQ("n. 苹果树", QString::fromStdString(ShownColumn(3)[0]).trimmed().toStdString());
  EXPECT_EQ("9", ShownColumn(6)[0]);
}

}  // namespace
}  // namespace quorvo
