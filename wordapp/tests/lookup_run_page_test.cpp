// Runs of lookups seen from the word-bank page: the progress in the info
// box, the summary with the coverage of the text, the filled bank opened,
// known words left out on request, the retry of the words not found, and
// closing the page while lookups still wait. The dictionary is a loopback
// server the test paces: each lookup waits until the test lets it through.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "base/code_page.h"
#include "lexicon/lexicon.h"
#include "lookup/translation_store.h"
#include "testing/loopback_dictionary.h"
#include "testing/loopback_server.h"
#include "testing/scoped_dictionary_host.h"
#include "testing/word_fixture.h"
#include "wordapp/insert_dlg.h"
#include "wordapp/insert_dlg_controls.h"
#include "wordapp/page1.h"
#include "wordapp/page1_controls.h"
#include "wordapp/run_summary.h"
#include "wordapp/tests/gui_fixture.h"

namespace quorvo {
namespace {

using testing::Control;
using testing::LoopbackConnection;
using testing::LoopbackDictionary;
using testing::LoopbackServer;
using testing::TextOf;

// A dictionary whose answers wait for the test: Let(n) lets n more through.
class PacedDictionary {
 public:
  explicit PacedDictionary(std::map<std::string, std::string> words)
      : words_(std::move(words)), server_([this](LoopbackConnection& c) { Serve(c); }) {}
  ~PacedDictionary() {
    LetAll();
    server_.Stop();
  }
  std::string HostPort() const { return server_.HostPort(); }
  int Requests() const { return server_.ConnectionCount(); }
  void Let(int n) {
    std::lock_guard lock(mutex_);
    allowed_ += n;
    changed_.notify_all();
  }
  void LetAll() { Let(1 << 28); }

 private:
  void Serve(LoopbackConnection& c) {
    std::string word = testing::QueryValue(testing::RequestTarget(c.ReadRequestHead()), "q");
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return allowed_ > 0; });
      --allowed_;
    }
    auto found = words_.find(word);
    std::optional<LoopbackDictionary::Parts> parts;
    if (found != words_.end()) parts = LoopbackDictionary::Parts{{"n.", found->second}};
    c.Send(LoopbackDictionary::Answer(parts));
  }

  std::map<std::string, std::string> words_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int allowed_ = 0;
  LoopbackServer server_;
};

class LookupRunPageTest : public testing::GuiTest {
 protected:
  ~LookupRunPageTest() override {
    dictionary.LetAll();
    page.reset();
  }

  void OpenPage() {
    page = std::make_unique<CPage1>(ops);
    page->show();
  }
  // Fills the add-words dialog once it is up and presses "确定".
  void AddText(const QString& text, const QString& bank, bool onlyUnknown = false) {
    QTimer::singleShot(0, [text, bank, onlyUnknown] {
      auto* dialog = qobject_cast<CInsertDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(nullptr, dialog);
      Control<QTextEdit>(dialog, insert_dlg_controls::kText)->setPlainText(text);
      Control<QLineEdit>(dialog, insert_dlg_controls::kBankName)->setText(bank);
      if (onlyUnknown) Control<QCheckBox>(dialog, insert_dlg_controls::kOnlyUnknown)->setChecked(true);
      Control<QPushButton>(dialog, insert_dlg_controls::kOk)->click();
    });
    Control<QPushButton>(page.get(), page1_controls::kAddWords)->click();
  }
  // Lets the event loop (and the page's progress timer) run until cond
  // holds; the bound only keeps a broken run from hanging the test.
  bool Until(const std::function<bool()>& cond) {
    for (int i = 0; i < 2000 && !cond(); ++i) QTest::qWait(5);
    return cond();
  }
  void WaitDone(int done) {
    ASSERT_TRUE(page->CurrentRun());
    for (int i = 0; i < 4000 && page->CurrentRun()->Done() < done; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(done, page->CurrentRun()->Done());
  }
  std::string Info() { return TextOf(Control<QWidget>(page.get(), page1_controls::kInfo)); }
  std::vector<std::string> ShownWords() {
    std::vector<std::string> words;
    for (int r = 0; r < page->WordModel().rowCount(); ++r) words.push_back(page->WordModel().CellText(r, 1));
    std::sort(words.begin(), words.end());
    return words;
  }

  PacedDictionary dictionary{
      {{"whale", "鲸"}, {"ocean", "海洋"}, {"swims", "游泳"}, {"deep", "深的"}, {"blue", "蓝色"}, {"husband", "丈夫"}}};
  testing::ScopedDictionaryHost host{dictionary.HostPort()};
  std::unique_ptr<CPage1> page;
};

TEST_F(LookupRunPageTest, InfoBoxCountsTheLookupsThenSummarisesAndOpensTheFilledBank) {
  OpenPage();
  AddText("whale ocean swims deep blue sky", "sea");
  // The dialog is gone and nothing has been answered yet.
  EXPECT_EQ("正在查询 0/6", Info());

  dictionary.Let(4);
  WaitDone(4);
  page->OnProgressTick();
  EXPECT_EQ("正在查询 4/6", Info());
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_EQ(kMainWord, page->CurrentBank());

  dictionary.LetAll();
  // From here the page's own timer notices the end.
  ASSERT_TRUE(Until([this] { return !BoxTexts().empty(); }));
  EXPECT_EQ(
      (std::vector<std::string>{"查询完毕：新增 6 个单词，查到释义 5 个，未找到 1 个。\n"
                                "这段文字共 6 个单词，你已掌握 0 个（0%）\n再学 6 个单词，这段文字的覆盖率可达 95%"}),
      BoxTexts());
  EXPECT_EQ("查询完毕：新增 6 个", Info());
  EXPECT_EQ("sea", page->CurrentBank());
  EXPECT_EQ((std::vector<std::string>{"blue", "deep", "ocean", "sky", "swims", "whale"}), ShownWords());
  EXPECT_EQ("单词总数: 6", TextOf(Control<QWidget>(page.get(), page1_controls::kWordCount)));
  EXPECT_FALSE(page->CurrentRun());
}

TEST_F(LookupRunPageTest, KnownWordsOfAnyBankCountForTheTextAndCanBeLeftOut) {
  MakeBanks({"novel"});
  Put(kMainWord, "whale", "鲸", 3, 1);
  Put("novel", "ocean", "海洋", 2, 1);
  Put("novel", "swims", "游", 2, 0);  // in a bank, not known
  dictionary.LetAll();
  OpenPage();
  struct Case {
    bool onlyUnknown;
    std::vector<std::string> shown;
    std::string summary;
  };
  const Case cases[] = {
      {true,
       {"blue", "deep", "swims"},
       "查询完毕：新增 3 个单词，查到释义 3 个，未找到 0 个。\n这段文字共 5 个单词，你已掌握 2 个（40%）\n再学 3 "
       "个单词，这段文字的覆盖率可达 95%"},
      {false,
       {"blue", "deep", "ocean", "swims", "whale"},
       "查询完毕：新增 5 个单词，查到释义 5 个，未找到 0 个。\n这段文字共 5 个单词，你已掌握 2 个（40%）\n再学 3 "
       "个单词，这段文字的覆盖率可达 95%"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.onlyUnknown ? "only unknown" : "every word");
    boxes.shown.clear();
    std::string bank = "text" + std::to_string(++n);
    AddText("Whale ocean, swims deep blue whale.", QString::fromStdString(bank), c.onlyUnknown);
    ASSERT_TRUE(Until([this] { return !BoxTexts().empty(); }));
    EXPECT_EQ(std::vector<std::string>{c.summary}, BoxTexts());
    EXPECT_EQ(bank, page->CurrentBank());
    EXPECT_EQ(c.shown, ShownWords());
  }
  // The check box starts unticked.
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<CInsertDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(Control<QCheckBox>(dialog, insert_dlg_controls::kOnlyUnknown)->isChecked());
    EXPECT_EQ("只添加还不会的单词",
              Control<QCheckBox>(dialog, insert_dlg_controls::kOnlyUnknown)->text().toStdString());
    dialog->reject();
  });
  Control<QPushButton>(page.get(), page1_controls::kAddWords)->click();
}

// "合并词形" starts off, is kept in config.ini once ticked, and counts the
// text by family; known is judged by family with the box on or off.
TEST_F(LookupRunPageTest, FamiliesBoxIsRememberedAndCountsByFamily) {
  Lexicon lexicon;
  ASSERT_TRUE(lexicon.LoadText("whales\twhale\nswims\tswim\nswam\tswim\n"));
  ops.lexicon = &lexicon;
  ops.configFile = dir.File("config.ini");
  Put(kMainWord, "whale", "鲸", 3, 1);
  dictionary.LetAll();
  OpenPage();
  auto families = [] { return Control<QCheckBox>(QApplication::activeModalWidget(), insert_dlg_controls::kFamilies); };
  struct Case {
    const char* name;
    bool tick;         // ticks the box before OK
    bool shownTicked;  // how the dialog opened
    std::vector<std::string> shown;
    std::string summary;
  } cases[] = {
      {"default off",
       false,
       false,
       {"ocean", "swam", "swims", "whales"},
       "查询完毕：新增 4 个单词，查到释义 2 个，未找到 2 个。\n这段文字共 4 个单词，你已掌握 1 个（25%）\n再学 2 "
       "个单词，这段文字的覆盖率可达 95%"},
      {"ticked",
       true,
       false,
       {"ocean", "swim", "whale"},
       "查询完毕：新增 3 个单词，查到释义 2 个，未找到 1 个。\n这段文字共 3 个单词，你已掌握 1 个（33%）\n再学 2 "
       "个单词，这段文字的覆盖率可达 95%"},
      {"remembered",
       true,
       true,
       {"ocean", "swim", "whale"},
       "查询完毕：新增 3 个单词，查到释义 2 个，未找到 1 个。\n这段文字共 3 个单词，你已掌握 1 个（33%）\n再学 2 "
       "个单词，这段文字的覆盖率可达 95%"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes.shown.clear();
    QString bank = QString("fam%1").arg(++n);
    bool shownTicked = !c.shownTicked;
    QTimer::singleShot(0, [&, bank] {
      ASSERT_NE(nullptr, families());
      shownTicked = families()->isChecked();
      EXPECT_EQ("合并词形（run, runs, ran 记作 run）", families()->text().toStdString());
      if (c.tick) families()->setChecked(true);
    });
    AddText("whales ocean swims swam whales", bank);
    ASSERT_TRUE(Until([this] { return !BoxTexts().empty(); }));
    EXPECT_EQ(c.shownTicked, shownTicked);
    EXPECT_EQ(std::vector<std::string>{c.summary}, BoxTexts());
    EXPECT_EQ(c.shown, ShownWords());
  }
  // The word's tooltip lists the forms counted under it.
  const WordListModel& model = page->WordModel();
  QString tip;
  for (int r = 0; r < model.rowCount(); ++r)
    if (model.CellText(r, 1) == "swim") tip = model.data(model.index(r, 1), Qt::ToolTipRole).toString();
  EXPECT_EQ("词形：swam 1、swims 1", tip.toStdString());
  EXPECT_NE(std::string::npos, dir.Read("config.ini").find("families=1"));
}

// The summary's plan and its button: 18 of 21 running words are known
// (whale); deep's 2 lift them to 20 of 21 (95.2 %), so the plan is deep alone,
// and the button puts exactly deep into the recitation list.
TEST_F(LookupRunPageTest, PlanButtonPutsThePlansWordsIntoTheRecitationList) {
  Put(kMainWord, "whale", "鲸", 3, 1);
  dictionary.LetAll();
  OpenPage();
  // A filter left on GRE is cleared for the filled bank, whose rows the
  // button takes.
  Control<QComboBox>(page.get(), page1_controls::kExamFilter)->setCurrentIndex(8);
  QString text;
  for (int i = 0; i < 18; ++i) text += "whale ";
  AddText(text + "deep deep blue", "plan");
  ASSERT_TRUE(Until([this] { return !BoxTexts().empty(); }));
  EXPECT_EQ(
      std::vector<std::string>{"查询完毕：新增 3 个单词，查到释义 3 个，未找到 0 个。\n"
                               "这段文字共 3 个单词，你已掌握 1 个（33%）\n再学 1 个单词，这段文字的覆盖率可达 95%"},
      BoxTexts());
  auto* plan = Control<QPushButton>(page.get(), page1_controls::kPlanWords);
  ASSERT_TRUE(plan->isVisible());
  EXPECT_EQ("加入背诵列表（1 个）", plan->text().toStdString());
  boxes.shown.clear();
  plan->click();
  ASSERT_TRUE(Until([this] { return !BoxTexts().empty(); }));
  EXPECT_EQ(std::vector<std::string>{"成功添加到背诵列表"}, BoxTexts());
  std::vector<std::string> recited;
  for (const auto& row : testing::ReadBank(DbPath(), kMainRemember)) recited.push_back(row.value);
  EXPECT_EQ(std::vector<std::string>{"deep"}, recited);
  EXPECT_FALSE(plan->isVisible());
}

TEST_F(LookupRunPageTest, RetryLooksUpOnlyTheWordsNotFound) {
  Put(kMainWord, "husband", "n. 丈夫；先生；夫；良人", 5);
  Put(kMainWord, "whale", kNotFoundTranslation, 4);
  Put(kMainWord, "ocean", kNotFoundTranslation, 3);
  Put(kMainWord, "zzzq", kNotFoundTranslation, 1);  // still unknown to the dictionary
  dictionary.LetAll();
  OpenPage();
  Control<QComboBox>(page.get(), page1_controls::kBatchOperation)->setCurrentIndex(CPage1::kBatchRetry);
  Control<QPushButton>(page.get(), page1_controls::kApplyBatch)->click();
  ASSERT_TRUE(Until([this] { return !BoxTexts().empty(); }));
  EXPECT_EQ((std::vector<std::string>{"查询完毕：新增 0 个单词，查到释义 2 个，未找到 1 个。"}), BoxTexts());
  EXPECT_EQ(3, dictionary.Requests());
  std::map<std::string, std::string> trans;
  for (const auto& row : testing::ReadBank(DbPath(), kMainWord)) trans[row.value] = Utf8(row.trans);
  EXPECT_EQ("n. 丈夫；先生；夫；良人", trans["husband"]);
  EXPECT_EQ("n. 鲸\n", trans["whale"]);
  EXPECT_EQ("n. 海洋\n", trans["ocean"]);
  EXPECT_EQ(kNotFoundTranslation, trans["zzzq"]);

  // Nothing left to retry but the unknown word; with none at all, it says so.
  boxes.shown.clear();
  Put(kMainWord, "gone", "x", 1);
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ASSERT_EQ(0, db.Execute("delete from main_word where value = 'zzzq'"));
  }
  Control<QPushButton>(page.get(), page1_controls::kApplyBatch)->click();
  EXPECT_EQ((std::vector<std::string>{"当前词库没有未找到释义的单词。"}), BoxTexts());
  EXPECT_EQ(3, dictionary.Requests());
}

TEST_F(LookupRunPageTest, ClosingMidRunEndsWithoutFetchingTheQueuedWords) {
  OpenPage();
  QString text;
  for (int i = 0; i < 60; ++i)
    text += QString::fromStdString(" word" + std::string(1, 'a' + i % 26) + std::string(1, 'a' + i / 26));
  AddText(text, "");
  EXPECT_EQ("正在查询 0/60", Info());
  // Four lookups hold the four workers; let them go once the page closes.
  std::thread later([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    dictionary.LetAll();
  });
  auto started = std::chrono::steady_clock::now();
  page.reset();
  later.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_LE(dictionary.Requests(), 8);
  // What was answered is stored; the file is whole.
  EXPECT_EQ(static_cast<size_t>(dictionary.Requests()), testing::ReadBank(DbPath(), kMainWord).size());
}

// The dictionary stops answering. Checked before the run, and asked once
// more after the first refused lookup; when it cannot be brought back, the
// page says so once (not once per word), and no translation is lost.
TEST_F(LookupRunPageTest, ADictionaryThatCannotBeRevivedIsToldOnce) {
  Put(kMainWord, "husband", "n. 丈夫；先生；夫；良人", 5);
  std::string closed;
  {
    LoopbackServer gone([](LoopbackConnection&) {});
    closed = gone.HostPort();
  }
  testing::ScopedDictionaryHost nobody(closed);
  const std::string lostDuring =
      "词典服务中途停止，重新启动也没有成功。没查到的单词已记为未找到（已有的释义没有被覆盖），"
      "可以稍后用“重新查询未找到的单词”再试。";
  const std::string lostBefore =
      "词典服务没有响应，重新启动也没有成功。查不到的单词会记为未找到（已有的释义不会被覆盖），"
      "可以稍后用“重新查询未找到的单词”再试。";
  // The configured host cannot be reached: said so, and the words it kept
  // from being looked up are not counted as not found.
  const std::string first = "查询完毕：新增 4 个单词，查到释义 0 个，未找到 0 个。\n词典服务无法连接：" + closed +
                            "\n4 个单词没能查询，可以稍后用“重新查询未找到的单词”再试。\n"
                            "1 个单词没能查询，原有释义已保留。\n这段文字共 5 个单词，你已掌握 0 个（0%）\n再学 5 "
                            "个单词，这段文字的覆盖率可达 95%";
  const std::string again = "查询完毕：新增 0 个单词，查到释义 0 个，未找到 0 个。\n词典服务无法连接：" + closed +
                            "\n4 个单词没能查询，可以稍后用“重新查询未找到的单词”再试。\n"
                            "1 个单词没能查询，原有释义已保留。\n这段文字共 5 个单词，你已掌握 0 个（0%）\n再学 5 "
                            "个单词，这段文字的覆盖率可达 95%";
  struct Case {
    const char* what;
    std::vector<bool> answers;  // of the keeper, call by call
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {"lost during the run", {true, false}, {first, lostDuring}},
      {"lost before the run", {false}, {lostBefore, again}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    size_t calls = 0;
    ops.keepDictionary = [&calls, &c] {
      return calls < c.answers.size() ? static_cast<bool>(c.answers[calls++]) : true;
    };
    OpenPage();
    boxes.shown.clear();
    AddText("husband whale ocean swims deep", "");
    ASSERT_TRUE(Until([this] { return !page->CurrentRun(); }));
    EXPECT_EQ(c.boxes, BoxTexts());
    EXPECT_EQ(c.answers.size(), calls);
    page.reset();
  }
  auto rows = testing::ReadBank(DbPath(), kMainWord);
  ASSERT_EQ(5u, rows.size());
  for (const auto& row : rows)
    EXPECT_EQ(row.value == "husband" ? Gbk("n. 丈夫；先生；夫；良人") : std::string(kNotFoundTranslation), row.trans)
        << row.value;
}

TEST(RunSummaryText, CountsCoverageAndGrouping) {
  struct Case {
    RunCounts counts;
    const char* text;
  };
  RunCounts lost;  // a run stopped by a full disk: 16,066 of its words stored
  lost.added = 16066;
  lost.translated = 16000;
  lost.notFound = 66;
  lost.unstored = 46662;
  lost.unstoredCause = QString::fromUtf8("磁盘空间不足");
  lost.unstoredSample = QString::fromUtf8("apple、pear等");
  const Case cases[] = {
      {lost,
       "查询完毕：新增 16,066 个单词，查到释义 16,000 个，未找到 66 个。\n46,662 个单词没能写入词库（磁盘空间不足），"
       "查询已停止：apple、pear等。可以稍后用“重新查询未找到的单词”再试。"},
      {{12, 10, 2, 0, 5012, 3871, 0, {}, {}, 0, {}},
       "查询完毕：新增 12 个单词，查到释义 10 个，未找到 2 个。\n这段文字共 5,012 个单词，你已掌握 3,871 个（77%）"},
      {{39226, 39000, 226, 0, 0, 0, 0, {}, {}, 0, {}},
       "查询完毕：新增 39,226 个单词，查到释义 39,000 个，未找到 226 个。"},
      {{0, 0, 1, 3, 0, 0, 0, {}, {}, 0, {}},
       "查询完毕：新增 0 个单词，查到释义 0 个，未找到 1 个。\n3 个单词没能查询，原有释义已保留。"},
      // 1 of 200 is 0.5%: rounded up; 1 of 201 rounds down; all known is 100.
      {{0, 0, 0, 0, 200, 1, 0, {}, {}, 0, {}},
       "查询完毕：新增 0 个单词，查到释义 0 个，未找到 0 个。\n这段文字共 200 个单词，你已掌握 1 个（1%）"},
      {{0, 0, 0, 0, 201, 1, 0, {}, {}, 0, {}},
       "查询完毕：新增 0 个单词，查到释义 0 个，未找到 0 个。\n这段文字共 201 个单词，你已掌握 1 个（0%）"},
      // The plan's line comes last; 98 % once 95 % is reached.
      {{0, 0, 0, 0, 20, 19, 0, {}, {}, 0, {}, 1, 98},
       "查询完毕：新增 0 个单词，查到释义 0 个，未找到 0 个。\n这段文字共 20 个单词，你已掌握 19 个（95%）\n"
       "再学 1 个单词，这段文字的覆盖率可达 98%"},
      {{0, 0, 0, 0, 1000000, 1000000, 0, {}, {}, 0, {}},
       "查询完毕：新增 0 个单词，查到释义 0 个，未找到 0 个。\n这段文字共 1,000,000 个单词，你已掌握 1,000,000 "
       "个（100%）"},
  };
  RunCounts unreached;  // the own service had no port at all
  unreached.notFound = 1;
  unreached.unreachable = 2;
  for (const Case& c : cases) EXPECT_EQ(c.text, SummaryText(c.counts).toStdString());
  EXPECT_EQ(
      "查询完毕：新增 0 个单词，查到释义 0 个，未找到 1 个。\n词典服务无法连接。\n"
      "2 个单词没能查询，可以稍后用“重新查询未找到的单词”再试。",
      SummaryText(unreached).toStdString());
  EXPECT_EQ("正在查询 999/1,000", ProgressText(999, 1000).toStdString());
}

}  // namespace
}  // namespace quorvo
