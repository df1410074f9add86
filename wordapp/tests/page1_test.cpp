// The word-bank page on real widgets (offscreen), each test in its own
// folder with its own dict_main.db.
#include "wordapp/page1.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <map>

#include "base/code_page.h"
#include "lexicon/lexicon.h"
#include "testing/word_fixture.h"
#include "wordapp/page1_controls.h"
#include "wordapp/page2.h"
#include "wordapp/page2_controls.h"
#include "wordapp/tests/gui_fixture.h"
#include "wordstore/word_forms.h"
#include "wordstore/word_sentences.h"

namespace quorvo {
namespace {

using testing::Control;
using testing::TextOf;

class Page1Test : public testing::GuiTest {
 protected:
  void SetUp() override {
    Put(kMainWord, "apple", "苹果", 9);
    Put(kMainWord, "banana", "香蕉", 5);
    Put(kMainWord, "cherry", "樱桃", 7);
    Put(kMainWord, "date", "枣", 3, 1);
    Put(kMainWord, "egg", "蛋", 1);
  }
  void Open() {
    page = std::make_unique<CPage1>(ops);
    page->show();
  }
  QTableView* Words() { return Control<QTableView>(page.get(), page1_controls::kWordList); }
  QTableView* Banks() { return Control<QTableView>(page.get(), page1_controls::kBankList); }
  void Click(int id) { Control<QPushButton>(page.get(), id)->click(); }
  void Tick(int row) { page->WordModel().setData(page->WordModel().index(row, 0), Qt::Checked, Qt::CheckStateRole); }
  void RunBatch(int operation) {
    Control<QComboBox>(page.get(), page1_controls::kBatchOperation)->setCurrentIndex(operation);
    Click(page1_controls::kApplyBatch);
  }
  // The shown words, top to bottom.
  std::vector<std::string> ShownWords() {
    std::vector<std::string> words;
    for (int r = 0; r < page->WordModel().rowCount(); ++r) words.push_back(page->WordModel().CellText(r, 1));
    return words;
  }
  std::vector<std::string> ShownBanks() {
    std::vector<std::string> names;
    for (int r = 0; r < page->BankModel().rowCount(); ++r) names.push_back(page->BankModel().Name(r));
    return names;
  }
  // "value:known:hot" of every row of the bank, ordered by value.
  std::vector<std::string> Stored(const std::string& bank) {
    std::vector<std::string> rows;
    for (const auto& w : testing::ReadBank(DbPath(), bank)) rows.push_back(w.value + ":" + w.known + ":" + w.hot);
    return rows;
  }
  // As the mouse does it: a click, then the second press of the double click.
  void DoubleClickAt(QTableView* view, QPoint at) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
  }
  void DoubleClickRow(QTableView* view, int row) {
    QRect cell = view->visualRect(view->model()->index(row, 1));
    ASSERT_TRUE(cell.isValid()) << "row " << row << " is not on screen";
    DoubleClickAt(view, cell.center());
  }

  std::unique_ptr<CPage1> page;
};

TEST_F(Page1Test, StartsOnMainWordWithEveryControlInItsFirstState) {
  Open();
  EXPECT_EQ((std::vector<std::string>{"apple", "banana", "cherry", "date", "egg"}), ShownWords());
  EXPECT_EQ("单词总数: 5", TextOf(Control<QWidget>(page.get(), page1_controls::kWordCount)));
  EXPECT_EQ("当前词库:main_word", TextOf(Control<QWidget>(page.get(), page1_controls::kCurrentBank)));
  // Known shows "会" only where the column holds something other than 0.
  EXPECT_EQ(Gbk("不会"), page->WordModel().CellText(0, 5));
  EXPECT_EQ(Gbk("会"), page->WordModel().CellText(3, 5));
  EXPECT_EQ("9", page->WordModel().CellText(0, 6));
  EXPECT_EQ("1", page->WordModel().CellText(0, 0));
  EXPECT_EQ("苹果", page->WordModel().data(page->WordModel().index(0, 3), Qt::DisplayRole).toString().toStdString());

  const int widths[] = {96, 120, 0, 294, 0, 70, 120, 110};
  for (int c = 0; c < 8; ++c) {
    EXPECT_EQ(widths[c] == 0, Words()->isColumnHidden(c)) << "column " << c;
    if (widths[c]) {
      EXPECT_EQ(widths[c], Words()->columnWidth(c)) << "column " << c;
    }
  }
  EXPECT_TRUE(Words()->isVisible());
  EXPECT_FALSE(Banks()->isVisible());
  EXPECT_FALSE(Control<QWidget>(page.get(), page1_controls::kDropBanks)->isVisible());
  EXPECT_FALSE(Control<QWidget>(page.get(), page1_controls::kBatchHotValue)->isVisible());
  for (int id : {page1_controls::kBatchOperation, page1_controls::kKnownFilter, page1_controls::kExamFilter,
                 page1_controls::kHotOrder})
    EXPECT_EQ(0, Control<QComboBox>(page.get(), id)->currentIndex()) << id;
  EXPECT_EQ("批量操作", Control<QComboBox>(page.get(), page1_controls::kBatchOperation)->itemText(0).toStdString());
  EXPECT_EQ(9, Control<QComboBox>(page.get(), page1_controls::kBatchOperation)->count());
  EXPECT_EQ("合并词形", Control<QComboBox>(page.get(), page1_controls::kBatchOperation)->itemText(8).toStdString());
  EXPECT_EQ("重新查询未找到的单词",
            Control<QComboBox>(page.get(), page1_controls::kBatchOperation)->itemText(6).toStdString());
  EXPECT_EQ("导入考试词表", Control<QComboBox>(page.get(), page1_controls::kBatchOperation)->itemText(7).toStdString());
  // The build gives no contact address: no line offers one.
  EXPECT_FALSE(Control<QWidget>(page.get(), page1_controls::kContact)->isVisible());
  EXPECT_EQ("", TextOf(Control<QWidget>(page.get(), page1_controls::kContact)));
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(Page1Test, StartsTheUpdateCheckOnce) {
  Open();
  // The check runs on its own thread; wait for it without a clock.
  for (int spins = 0; *updateChecks == 0 && spins < 100000; ++spins) std::this_thread::yield();
  EXPECT_EQ(1, updateChecks->load());
}

TEST_F(Page1Test, OnlyTheHotBatchShowsTheHotValueBox) {
  Open();
  auto* batch = Control<QComboBox>(page.get(), page1_controls::kBatchOperation);
  auto* hot = Control<QWidget>(page.get(), page1_controls::kBatchHotValue);
  for (int index : {1, 2, 3, 2, 4, 5, 0}) {
    batch->setCurrentIndex(index);
    EXPECT_EQ(index == CPage1::kBatchHot, hot->isVisible()) << "batch " << index;
  }
}

// One batch operation over the selected row and the ticked ones. A word
// added behind the page's back shows whether the list was refreshed.
struct BatchCase {
  const char* name;
  int operation;
  int selected;  // -1: none
  std::vector<int> ticked;
  const char* hotValue;
  std::vector<std::string> boxes;
  std::vector<std::string> stored;  // main_word afterwards, value:known:hot
  const char* countText;
};

class Page1BatchTest : public Page1Test, public ::testing::WithParamInterface<BatchCase> {};

TEST_P(Page1BatchTest, ActsOnSelectedAndTickedRows) {
  const BatchCase& c = GetParam();
  Open();
  if (c.selected >= 0) Words()->selectRow(c.selected);
  for (int row : c.ticked) Tick(row);
  Control<QLineEdit>(page.get(), page1_controls::kBatchHotValue)->setText(QString::fromUtf8(c.hotValue));
  Put(kMainWord, "fig", "无花果", 2);

  RunBatch(c.operation);

  EXPECT_EQ(c.boxes, BoxTexts());
  EXPECT_EQ(c.stored, Stored(kMainWord));
  EXPECT_EQ(c.countText, TextOf(Control<QWidget>(page.get(), page1_controls::kWordCount)));
}

const BatchCase kBatchCases[] = {
    {"KnownMarksSelectedAndTicked",
     CPage1::kBatchKnown,
     0,
     {2, 4},
     "",
     {},
     {"apple:1:9", "banana:0:5", "cherry:1:7", "date:1:3", "egg:1:1", "fig:0:2"},
     "单词总数: 6"},
    {"DeleteRemovesThemAndSaysSo",
     CPage1::kBatchDelete,
     1,
     {3},
     "",
     {"更新完毕，请刷新"},
     {"apple:0:9", "cherry:0:7", "egg:0:1", "fig:0:2"},
     "单词总数: 4"},
    {"HotSetsTheTypedValue",
     CPage1::kBatchHot,
     -1,
     {0, 1},
     "42",
     {},
     {"apple:0:42", "banana:0:42", "cherry:0:7", "date:1:3", "egg:0:1", "fig:0:2"},
     "单词总数: 6"},
    {"HotWithoutValueChangesNothingButRefreshes",
     CPage1::kBatchHot,
     2,
     {0},
     "",
     {"请输入要修改的热度值!"},
     {"apple:0:9", "banana:0:5", "cherry:0:7", "date:1:3", "egg:0:1", "fig:0:2"},
     "单词总数: 6"},
    {"HotOfZeroIsRefused",
     CPage1::kBatchHot,
     2,
     {},
     "0",
     {"请输入要修改的热度值!"},
     {"apple:0:9", "banana:0:5", "cherry:0:7", "date:1:3", "egg:0:1", "fig:0:2"},
     "单词总数: 6"},
    {"NoChoiceOnlyAsksForOne",
     CPage1::kBatchNone,
     0,
     {1},
     "",
     {"选择您所需要的批量操作"},
     {"apple:0:9", "banana:0:5", "cherry:0:7", "date:1:3", "egg:0:1", "fig:0:2"},
     "单词总数: 5"},
    {"NoTargetsChangeNothing",
     CPage1::kBatchKnown,
     -1,
     {},
     "",
     {},
     {"apple:0:9", "banana:0:5", "cherry:0:7", "date:1:3", "egg:0:1", "fig:0:2"},
     "单词总数: 6"},
};

INSTANTIATE_TEST_SUITE_P(Batches, Page1BatchTest, ::testing::ValuesIn(kBatchCases),
                         [](const ::testing::TestParamInfo<BatchCase>& info) { return info.param.name; });

TEST_F(Page1Test, RecitationBatchCopiesRowsAndReloadsTheRecitationPage) {
  Put(kMainRemember, "learn", "学习", 2);
  Open();
  CPage2 cards(ops);
  page->SetRecitationPage(&cards);
  cards.NextWord();  // somewhere a reload would move it away from
  ASSERT_EQ(1, cards.RowCount());

  Words()->selectRow(0);
  Tick(3);
  RunBatch(CPage1::kBatchRecite);
  EXPECT_EQ((std::vector<std::string>{"成功添加到背诵列表"}), BoxTexts());
  EXPECT_EQ((std::vector<std::string>{"apple:0:9", "date:1:3", "learn:0:2"}), Stored(kMainRemember));
  // The notice is posted: the recitation page reloads once it is handled.
  EXPECT_EQ(1, cards.RowCount());
  QCoreApplication::sendPostedEvents(&cards);
  EXPECT_EQ(3, cards.RowCount());
  EXPECT_EQ("learn", TextOf(Control<QWidget>(&cards, page2_controls::kWord)));
  EXPECT_EQ("第1个 共3个单词", TextOf(Control<QWidget>(&cards, page2_controls::kCounter)));

  // A word already in the list stops the copy: no notice this time.
  cards.NextWord();
  boxes.shown.clear();
  Words()->clearSelection();
  Tick(2);  // by hot: apple cherry banana date egg; banana goes in, then date is there already
  Tick(3);
  RunBatch(CPage1::kBatchRecite);
  EXPECT_EQ((std::vector<std::string>{"添加失败，词库中没有背诵列表。\n请在添加单词中添加新词库:main_remember"}),
            BoxTexts());
  EXPECT_EQ((std::vector<std::string>{"apple:0:9", "banana:0:5", "date:1:3", "learn:0:2"}), Stored(kMainRemember));
  QCoreApplication::sendPostedEvents(&cards);
  EXPECT_EQ(2, cards.Position());
  EXPECT_EQ(3, cards.RowCount());
}

TEST_F(Page1Test, SearchFiltersFromTheControls) {
  Open();
  struct Case {
    const char* search;
    int known;  // combo index, -1: a text typed into the combo
    const char* low;
    const char* high;
    int order;  // combo index, -1: a text typed into the combo
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {"", 0, "", "", 0, {"apple", "cherry", "banana", "date", "egg"}},
      {"", 0, "", "", 1, {"egg", "date", "banana", "cherry", "apple"}},
      {"an", 0, "", "", 0, {"banana"}},
      {"", 1, "", "", 0, {"date"}},
      {"", 2, "", "", 0, {"apple", "cherry", "banana", "egg"}},
      {"", 0, "0", "", 0, {"apple", "cherry", "banana", "date", "egg"}},
      {"", 0, "5", "7", 0, {"cherry", "banana"}},
      {"", 0, "", "3", 1, {"egg", "date"}},
      {"", -1, "", "", -1, {"apple", "banana", "cherry", "date", "egg"}},
      {"zzz", 0, "", "", 0, {}},
  };
  auto* known = Control<QComboBox>(page.get(), page1_controls::kKnownFilter);
  auto* order = Control<QComboBox>(page.get(), page1_controls::kHotOrder);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.search) + " known " + std::to_string(c.known) + " hot " + c.low + "~" + c.high +
                 " order " + std::to_string(c.order));
    Control<QLineEdit>(page.get(), page1_controls::kSearchText)->setText(QString::fromUtf8(c.search));
    Control<QLineEdit>(page.get(), page1_controls::kLowestHot)->setText(c.low);
    Control<QLineEdit>(page.get(), page1_controls::kHighestHot)->setText(c.high);
    for (auto [combo, index] : {std::pair{known, c.known}, std::pair{order, c.order}}) {
      if (index >= 0) {
        combo->setCurrentIndex(index);
        combo->setEditText(combo->itemText(index));
      } else {
        combo->setEditText(QStringLiteral("typed"));
      }
    }
    Click(page1_controls::kSearch);
    EXPECT_EQ(c.words, ShownWords());
    EXPECT_EQ("单词总数: " + std::to_string(c.words.size()),
              TextOf(Control<QWidget>(page.get(), page1_controls::kWordCount)));
  }
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(Page1Test, QuotesInTheSearchTextAreSearchedForNotReportedAsSyntaxErrors) {
  Put(kMainWord, "o'clock", "点钟", 4);
  Open();
  for (const char* search : {"o'c", "'", "%' or '1'='1", "\"; drop table main_word; --"}) {
    Control<QLineEdit>(page.get(), page1_controls::kSearchText)->setText(search);
    Click(page1_controls::kSearch);
  }
  EXPECT_TRUE(BoxTexts().empty());
  Control<QLineEdit>(page.get(), page1_controls::kSearchText)->setText("o'c");
  Click(page1_controls::kSearch);
  EXPECT_EQ((std::vector<std::string>{"o'clock"}), ShownWords());
  EXPECT_EQ(6u, testing::ReadBank(DbPath(), kMainWord).size());
}

TEST_F(Page1Test, EnterInTheSearchBoxSearches) {
  Open();
  Put(kMainWord, "fig", "无花果", 2);
  auto* search = Control<QLineEdit>(page.get(), page1_controls::kSearchText);
  search->setFocus();
  search->setText("g");
  QTest::keyClick(search, Qt::Key_Return);
  EXPECT_EQ((std::vector<std::string>{"fig", "egg"}), ShownWords());
  EXPECT_EQ("单词总数: 2", TextOf(Control<QWidget>(page.get(), page1_controls::kWordCount)));
}

TEST_F(Page1Test, BankListAndDefaultBankSwitchTheListsAndTheDropButton) {
  MakeBanks({"novel", "my_main_word2"});
  Open();
  auto* drop = Control<QWidget>(page.get(), page1_controls::kDropBanks);
  Click(page1_controls::kShowBanks);
  EXPECT_EQ((std::vector<std::string>{"main_word", "novel", "my_main_word2"}), ShownBanks());
  EXPECT_TRUE(Banks()->isVisible());
  EXPECT_FALSE(Words()->isVisible());
  EXPECT_TRUE(drop->isVisible());
  EXPECT_EQ(Words()->geometry(), Banks()->geometry());

  Click(page1_controls::kMainWordBank);
  EXPECT_FALSE(Banks()->isVisible());
  EXPECT_TRUE(Words()->isVisible());
  EXPECT_FALSE(drop->isVisible());
  EXPECT_EQ("当前词库: main_word", TextOf(Control<QWidget>(page.get(), page1_controls::kCurrentBank)));

  Put(kMainRemember, "learn", "学习", 2);
  Click(page1_controls::kRecitationList);
  EXPECT_EQ("当前词库: main_remember", TextOf(Control<QWidget>(page.get(), page1_controls::kCurrentBank)));
  EXPECT_EQ((std::vector<std::string>{"learn"}), ShownWords());
  EXPECT_FALSE(drop->isVisible());
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(Page1Test, DoubleClickOpensTheBankUnderTheMouseOnly) {
  MakeBanks({"novel"});
  Put("novel", "whale", "鲸", 8);
  Open();
  Click(page1_controls::kShowBanks);
  // Below the last row: nothing is opened.
  DoubleClickAt(Banks(), QPoint(40, Banks()->viewport()->height() - 4));
  EXPECT_EQ("main_word", page->CurrentBank());
  EXPECT_TRUE(Banks()->isVisible());
  EXPECT_TRUE(BoxTexts().empty());

  DoubleClickRow(Banks(), 1);
  EXPECT_EQ("novel", page->CurrentBank());
  EXPECT_EQ((std::vector<std::string>{"whale"}), ShownWords());
  EXPECT_EQ("当前词库: novel", TextOf(Control<QWidget>(page.get(), page1_controls::kCurrentBank)));
  EXPECT_FALSE(Banks()->isVisible());
  EXPECT_FALSE(Control<QWidget>(page.get(), page1_controls::kDropBanks)->isVisible());
}

TEST_F(Page1Test, DropRefusesTheShownBankAndMainWordAndDropsOthers) {
  MakeBanks({"novel", "my_main_word2", "poems"});
  for (const char* word : {"one", "two", "three"}) Put("novel", word, "x", 1);
  Open();
  struct Case {
    const char* open;  // bank opened first (shown), by its row in the bank list
    const char* drop;
    int answer;  // to the question before a drop
    std::vector<std::string> boxes;
    bool dropped;
  };
  const std::string ask = "确定要删除词库“novel”吗？其中的 3 个单词会一起删除，无法恢复。";
  const Case cases[] = {
      {"main_word", "main_word", kBoxOk, {"不能删除正在使用的表"}, false},
      {"main_word", "my_main_word2", kBoxOk, {"main_word为系统默认词库，不能删除"}, false},
      {"main_word", "novel", kBoxCancel, {ask}, false},
      {"main_word", "novel", kBoxOk, {ask, "删除成功"}, true},
      {"poems", "main_word", kBoxOk, {"main_word为系统默认词库，不能删除"}, false},
      {"poems", "poems", kBoxOk, {"不能删除正在使用的表"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("showing ") + c.open + ", dropping " + c.drop);
    boxes.shown.clear();
    boxes.answers = {c.answer};
    Click(page1_controls::kShowBanks);
    auto banks = ShownBanks();
    DoubleClickRow(Banks(), static_cast<int>(std::find(banks.begin(), banks.end(), c.open) - banks.begin()));
    ASSERT_EQ(c.open, page->CurrentBank());
    Click(page1_controls::kShowBanks);
    banks = ShownBanks();
    Banks()->selectRow(static_cast<int>(std::find(banks.begin(), banks.end(), c.drop) - banks.begin()));
    Click(page1_controls::kDropBanks);
    boxes.answers.clear();
    EXPECT_EQ(c.boxes, BoxTexts());
    auto tables = testing::TableNames(DbPath());
    EXPECT_EQ(!c.dropped, std::find(tables.begin(), tables.end(), c.drop) != tables.end());
    banks = ShownBanks();
    EXPECT_EQ(!c.dropped, std::find(banks.begin(), banks.end(), c.drop) != banks.end());
  }
}

TEST_F(Page1Test, HeaderDoubleClickOfEitherListAsksForADatabase) {
  Open();
  auto header = [](QTableView* view) { return view->horizontalHeader()->viewport(); };
  QTest::mouseDClick(header(Words()), Qt::LeftButton, {}, QPoint(30, 8));
  Click(page1_controls::kShowBanks);
  QTest::mouseDClick(header(Banks()), Qt::LeftButton, {}, QPoint(30, 8));
  EXPECT_EQ((std::vector<std::string>{"请先选择需要打开的数据库", "请先选择需要打开的数据库"}), BoxTexts());
  ASSERT_EQ(2u, boxes.shown.size());
  EXPECT_EQ(BoxKind::Plain, boxes.shown[0].kind);
}

TEST_F(Page1Test, WithoutADatabaseEverySearchAsksForOne) {
  // A folder where the database file should be cannot be opened.
  std::filesystem::remove(DbPath());
  std::filesystem::create_directory(DbPath());
  Open();
  ASSERT_FALSE(page->HasConnection());
  EXPECT_EQ("单词总数:", TextOf(Control<QWidget>(page.get(), page1_controls::kWordCount)));
  EXPECT_EQ(0, Control<QComboBox>(page.get(), page1_controls::kBatchOperation)->currentIndex());
  Click(page1_controls::kSearch);
  Click(page1_controls::kMainWordBank);
  EXPECT_EQ((std::vector<std::string>{"请先选择需要打开的数据库", "请先选择需要打开的数据库"}), BoxTexts());
}

TEST_F(Page1Test, MissingBankShowsTheSyntaxMessageAndNoWords) {
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ASSERT_EQ(SQLITE_OK, db.Execute("drop table main_remember"));
  }
  Open();
  Click(page1_controls::kRecitationList);
  EXPECT_EQ((std::vector<std::string>{"语法错误，请检查"}), BoxTexts());
  EXPECT_TRUE(ShownWords().empty());
  EXPECT_EQ("单词总数: 0", TextOf(Control<QWidget>(page.get(), page1_controls::kWordCount)));
}

TEST_F(Page1Test, TheSentenceColumnShowsWhenARowHasOneWithEverySentenceInItsTooltip) {
  Put(kMainWord, "letter", "信", 2);
  Put(kMainWord, "plain", "平的", 1);
  Open();
  EXPECT_TRUE(Words()->isColumnHidden(kColSentenceId));
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ASSERT_TRUE(AddSentence(db, kMainWord, "letter", {"She read the letter.", "a.txt", false}).ok());
    ASSERT_TRUE(AddSentence(db, kMainWord, "letter", {"A letter came.", "b.txt", false}).ok());
  }
  page->Refresh();
  EXPECT_FALSE(Words()->isColumnHidden(kColSentenceId));
  QAbstractItemModel* model = Words()->model();
  EXPECT_EQ("例句", model->headerData(kColSentenceId, Qt::Horizontal).toString().toStdString());
  auto rowOf = [&](const char* word) {
    for (int row = 0; row < model->rowCount(); ++row)
      if (model->index(row, kColValue).data().toString() == QString::fromUtf8(word)) return row;
    return -1;
  };
  int letter = rowOf("letter"), plain = rowOf("plain");
  ASSERT_GE(letter, 0);
  ASSERT_GE(plain, 0);
  EXPECT_EQ("She read the letter.", model->index(letter, kColSentenceId).data().toString().toStdString());
  EXPECT_EQ("She read the letter.  ——a.txt\nA letter came.  ——b.txt",
            model->index(letter, kColSentenceId).data(Qt::ToolTipRole).toString().toStdString());
  EXPECT_EQ("", model->index(plain, kColSentenceId).data().toString().toStdString());
}

}  // namespace
}  // namespace quorvo

namespace quorvo {
namespace {

// "考试" shows a word's exams (a form's come from its base) and the exam
// filter keeps one exam's words, together with the known filter.
TEST_F(Page1Test, ExamColumnAndFilterFollowTheLexicon) {
  Lexicon lexicon;
  ASSERT_TRUE(
      lexicon.LoadText("apple\t\t0\tzk,gk,cet4\nbanana\t\t0\tgk\ncherry\t\t0\tgre\n"
                       "eggs\tegg\negg\t\t0\tzk,cet4\n"));
  ops.lexicon = &lexicon;
  Put(kMainWord, "eggs", "蛋", 2);
  Open();
  std::map<std::string, std::string> shown;
  for (int r = 0; r < page->WordModel().rowCount(); ++r)
    shown[page->WordModel().CellText(r, 1)] = Utf8(page->WordModel().CellText(r, WordListModel::kColExams));
  EXPECT_EQ((std::map<std::string, std::string>{{"apple", "中考 高考 CET-4"},
                                                {"banana", "高考"},
                                                {"cherry", "GRE"},
                                                {"date", ""},
                                                {"egg", "中考 CET-4"},
                                                {"eggs", "中考 CET-4"}}),
            shown);
  auto* exams = Control<QComboBox>(page.get(), page1_controls::kExamFilter);
  ASSERT_EQ(9, exams->count());
  EXPECT_EQ("考试", exams->itemText(0).toStdString());
  EXPECT_EQ("CET-4", exams->itemText(3).toStdString());
  struct Case {
    int exam;   // item of the exam filter
    int known;  // item of the known filter: 0 全部, 1 会背, 2 不会背
    std::vector<std::string> words;
  } cases[] = {
      {3, 0, {"apple", "egg", "eggs"}},
      {3, 2, {"apple", "egg", "eggs"}},
      {8, 0, {"cherry"}},
      {7, 0, {}},
      {2, 0, {"apple", "banana"}},
      {0, 1, {"date"}},
  };
  for (const auto& c : cases) {
    exams->setCurrentIndex(c.exam);
    Control<QComboBox>(page.get(), page1_controls::kKnownFilter)->setCurrentIndex(c.known);
    Click(page1_controls::kSearch);
    std::vector<std::string> words = ShownWords();
    std::sort(words.begin(), words.end());
    EXPECT_EQ(c.words, words) << c.exam << "/" << c.known;
    EXPECT_EQ("单词总数: " + std::to_string(c.words.size()),
              TextOf(Control<QWidget>(page.get(), page1_controls::kWordCount)));
  }
}

}  // namespace
}  // namespace quorvo

namespace quorvo {
namespace {

// "导入考试词表": the chosen exam's list becomes the bank exam_<code>, shown at
// once, with the dictionary's translations; a second import is refused.
TEST_F(Page1Test, ImportExamListMakesTheExamsBankFromTheBundledDictionary) {
  Lexicon lexicon;
  ASSERT_TRUE(lexicon.LoadText("apple\t\t0\tcet4\nbanana\t\t0\tcet4,gre\nqzxw\t\t0\tcet4\n"));
  ops.lexicon = &lexicon;
  dir.Write("dict.tsv", "apple\t/ˈæp.əl/\tn. 苹果\nbanana\tn. 香蕉\n");
  ops.dictData = dir.File("dict.tsv");
  Open();
  auto choose = [](const char* exam) {
    QTimer::singleShot(0, [exam] {
      auto* chooser = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(nullptr, chooser);
      EXPECT_EQ(CPage1::kExamChooserName, chooser->objectName().toStdString());
      chooser->setTextValue(QString::fromUtf8(exam));
      chooser->accept();
    });
  };
  choose("CET-4");
  RunBatch(CPage1::kBatchImportExam);
  EXPECT_EQ(std::vector<std::string>{"已导入 CET-4 词表：3 个单词，其中 2 个有释义。"}, BoxTexts());
  EXPECT_EQ("exam_cet4", page->CurrentBank());
  EXPECT_EQ((std::vector<std::string>{"apple:0:1", "banana:0:1", "qzxw:0:1"}), Stored("exam_cet4"));
  boxes.shown.clear();
  choose("CET-4");
  RunBatch(CPage1::kBatchImportExam);
  EXPECT_EQ(std::vector<std::string>{"词库“exam_cet4”已经存在，没有再导入。要重新导入，请先删除这个词库。"},
            BoxTexts());
  EXPECT_EQ((std::vector<std::string>{"apple:0:1", "banana:0:1", "qzxw:0:1"}), Stored("exam_cet4"));
}

}  // namespace
}  // namespace quorvo

namespace quorvo {
namespace {

// "合并词形" on ticked rows: shows what will be merged, then merges into the
// base's row (or renames the form with most hot), sums hot and keeps the
// spellings as forms; Cancel changes nothing.
TEST_F(Page1Test, MergeFamiliesShowsTheMergeFirstThenMergesTheTickedRows) {
  Lexicon lexicon;
  ASSERT_TRUE(lexicon.LoadText("runs\trun\nran\trun\ncats\tcat\nmice\tmouse\nmouses\tmouse\n"));
  ops.lexicon = &lexicon;
  Put(kMainWord, "run", "跑", 4);
  Put(kMainWord, "runs", "跑", 3);
  Put(kMainWord, "ran", "跑", 2);
  Put(kMainWord, "cats", "猫", 6);
  Put(kMainWord, "mice", "老鼠", 1);
  Put(kMainWord, "mouses", "鼠标", 2);
  Open();
  auto tick = [this](const std::vector<std::string>& words) {
    for (int r = 0; r < page->WordModel().rowCount(); ++r)
      page->WordModel().setData(
          page->WordModel().index(r, 0),
          std::count(words.begin(), words.end(), page->WordModel().CellText(r, 1)) ? Qt::Checked : Qt::Unchecked,
          Qt::CheckStateRole);
  };
  const std::string question =
      "将合并以下单词（词形记在合并后的单词下）：\nmouse ← mouses、mice（热度 3）\nrun ← runs、ran（热度 "
      "9）\n确定合并吗？";
  tick({"runs", "ran", "cats", "mice", "mouses", "apple"});
  boxes.answers.push_back(kBoxCancel);
  RunBatch(CPage1::kBatchMergeFamilies);
  EXPECT_EQ(std::vector<std::string>{question}, BoxTexts());
  EXPECT_EQ(11u, Stored(kMainWord).size());  // SetUp's five and these
  boxes.shown.clear();
  tick({"runs", "ran", "cats", "mice", "mouses", "apple"});
  RunBatch(CPage1::kBatchMergeFamilies);
  EXPECT_EQ(std::vector<std::string>{question}, BoxTexts());
  // cats has no cat row to join: it stays; mouses, with more hot than mice,
  // becomes mouse.
  EXPECT_EQ((std::vector<std::string>{"apple:0:9", "banana:0:5", "cats:0:6", "cherry:0:7", "date:1:3", "egg:0:1",
                                      "mouse:0:3", "run:0:9"}),
            Stored(kMainWord));
  std::map<std::string, std::string> forms;
  WordDatabase db;
  ASSERT_TRUE(db.Open(DbPath()));
  for (const auto& [word, list] : LoadWordForms(db, kMainWord)) forms[word] = FormsText(list);
  EXPECT_EQ((std::map<std::string, std::string>{{"mouse", "mouses 2、mice 1"}, {"run", "runs 3、ran 2"}}), forms);
  // Nothing of one family among the ticked rows.
  boxes.shown.clear();
  tick({"apple", "cats"});
  RunBatch(CPage1::kBatchMergeFamilies);
  EXPECT_EQ(std::vector<std::string>{"勾选的单词里没有可以合并的词形。"}, BoxTexts());
}

// "合并词形" wherever the base's row is: ticked, not ticked, hidden by the
// filter (lowest hot 2), not in the bank. runs and running are ticked; hot
// values add up, a known flag, the forms and every row's sentence stay.
struct MergeCase {
  const char* name;
  std::vector<std::tuple<const char*, int, int>> rows;  // word, hot, known; run first
  bool tickRun;
  QString lowestHot;
  int hot;  // run's afterwards
};
void PrintTo(const MergeCase& c, std::ostream* out) { *out << c.name; }
class FamilyMergeTest : public Page1Test, public ::testing::WithParamInterface<MergeCase> {};

TEST_P(FamilyMergeTest, JoinsTheBaseWhereverItsRowIs) {
  Lexicon lexicon;
  ASSERT_TRUE(lexicon.LoadText("runs\trun\nrunning\trun\n"));
  ops.lexicon = &lexicon;
  WordDatabase db;
  ASSERT_TRUE(db.Open(DbPath()));
  std::vector<std::string> sentences;  // run's afterwards: every row's, in order
  for (const auto& [word, hot, known] : GetParam().rows) {
    Put(kMainWord, word, "跑", hot, known);
    ASSERT_TRUE(AddSentence(db, kMainWord, word, {std::string(word) + ".", "a", false}).ok());
    sentences.push_back(std::string("run:") + word + ".");
  }
  Open();
  Control<QLineEdit>(page.get(), page1_controls::kLowestHot)->setText(GetParam().lowestHot);
  Click(page1_controls::kSearch);
  for (int r = 0; r < page->WordModel().rowCount(); ++r)
    if (page->WordModel().CellText(r, 1) != "run" || GetParam().tickRun) Tick(r);
  RunBatch(CPage1::kBatchMergeFamilies);
  const std::string hot = std::to_string(GetParam().hot);
  EXPECT_EQ((std::vector<std::string>{"将合并以下单词（词形记在合并后的单词下）：\nrun ← runs、running（热度 " + hot +
                                      "）\n确定合并吗？"}),
            BoxTexts());
  EXPECT_EQ((std::vector<std::string>{"apple:0:9", "banana:0:5", "cherry:0:7", "date:1:3", "egg:0:1", "run:1:" + hot}),
            Stored(kMainWord));
  EXPECT_EQ("runs 3、running 2", FormsText(LoadWordForms(db, kMainWord)["run"]));
  std::vector<std::string> kept;
  for (const auto& word : {"run", "runs", "running"})
    for (const KeptSentence& sentence : SentencesOf(db, kMainWord, word)) kept.push_back(word + (":" + sentence.text));
  EXPECT_EQ(sentences, kept);
}

const MergeCase kMergeCases[] = {
    {"BaseTicked", {{"run", 4, 0}, {"runs", 3, 1}, {"running", 2, 0}}, true, "", 9},
    {"BaseNotTicked", {{"run", 4, 1}, {"runs", 3, 0}, {"running", 2, 0}}, false, "", 9},
    {"BaseFilteredOut", {{"run", 1, 0}, {"runs", 3, 0}, {"running", 2, 1}}, false, "2", 6},
    {"BaseAbsent", {{"runs", 3, 0}, {"running", 2, 1}}, false, "", 5},
};
INSTANTIATE_TEST_SUITE_P(Page1Test, FamilyMergeTest, ::testing::ValuesIn(kMergeCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvo
