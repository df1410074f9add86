// Every write the word-bank page starts, against a full disk, a file that
// may only be read and a file another program holds (briefly, and for
// longer than quorvo waits): the learner is told the true outcome, in words
// that name the cause, and the file holds either the whole change or none
// of it. A write that meets a held file waits visibly, and the window keeps
// taking input meanwhile.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/code_page.h"
#include "testing/faulty_vfs.h"
#include "testing/held_file.h"
#include "testing/word_fixture.h"
#include "wordapp/import_dlg.h"
#include "wordapp/page1.h"
#include "wordapp/page1_controls.h"
#include "wordapp/tests/gui_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

using testing::Control;
using testing::TextOf;

class WriteFaultTest : public testing::GuiTest {
 protected:
  enum class Fault { kNone, kDiskFull, kReadOnly, kHeldBriefly, kHeldTooLong, kReaderTooLong };
  struct Op {
    const char* name;
    std::function<void()> start;  // ticks rows and starts the write
    const char* success;          // the box after a commit; nullptr: none
  };

  void SetUp() override {
    // 会背 logs the moment: the same one in every round.
    ops.clock = [] { return int64_t{1800000000}; };
    MakeBanks({"spare"});
    for (int i = 0; i < 60; ++i) Put(kMainWord, "w" + std::to_string(100 + i), "释义", i + 1);
  }
  void Open() {
    page = std::make_unique<CPage1>(ops);
    page->SetHeldFileWait(std::chrono::milliseconds(900), std::chrono::milliseconds(40));
    page->show();
  }
  void Batch(int operation) {
    for (int row = 0; row < 40; row += 2)
      page->WordModel().setData(page->WordModel().index(row, 0), Qt::Checked, Qt::CheckStateRole);
    Control<QComboBox>(page.get(), page1_controls::kBatchOperation)->setCurrentIndex(operation);
    Control<QLineEdit>(page.get(), page1_controls::kBatchHotValue)->setText(QStringLiteral("77"));
    Control<QPushButton>(page.get(), page1_controls::kApplyBatch)->click();
  }
  // "导入" of a CSV with translations (one word twice) into a new bank,
  // through the import dialog.
  void Import() {
    dir.Write("import.csv", "word,translation\nfig,无花果\nkiwi,猕猴桃\nfig,无花果干\nlime,青柠\n");
    QTimer::singleShot(0, [this] {
      auto* dialog = qobject_cast<CImportDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(nullptr, dialog);
      Control<QLineEdit>(dialog, import_dlg_controls::kFilePath)
          ->setText(QString::fromStdString(dir.File("import.csv")));
      Control<QLineEdit>(dialog, import_dlg_controls::kBankName)->setText(QStringLiteral("imported"));
      Control<QPushButton>(dialog, import_dlg_controls::kOk)->click();
    });
    Control<QPushButton>(page.get(), page1_controls::kImport)->click();
  }
  // Lets the page's timers run until its write has ended (bounded).
  bool WaitForWrite() {
    QElapsedTimer timer;
    timer.start();
    while (page->WriteWaiting() && timer.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return !page->WriteWaiting();
  }

  std::unique_ptr<CPage1> page;
};

TEST_F(WriteFaultTest, EveryWriteTellsItsTrueOutcomeAndIsWholeOrNothing) {
  const Op ops_[] = {
      {"更新热度", [this] { Batch(CPage1::kBatchHot); }, nullptr},
      {"会背", [this] { Batch(CPage1::kBatchKnown); }, nullptr},
      {"删除单词", [this] { Batch(CPage1::kBatchDelete); }, "更新完毕，请刷新"},
      {"添加到背诵列表", [this] { Batch(CPage1::kBatchRecite); }, "成功添加到背诵列表"},
      {"删除词典",
       [this] {
         page->ShowBanks();
         QTableView* banks = Control<QTableView>(page.get(), page1_controls::kBankList);
         for (int row = 0; row < page->BankModel().rowCount(); ++row)
           if (page->BankModel().Name(row) == "spare") banks->selectRow(row);
         boxes.answers = {kBoxOk};  // "确定要删除词库…吗？"
         Control<QPushButton>(page.get(), page1_controls::kDropBanks)->click();
       },
       "删除成功"},
      {"导入", [this] { Import(); },
       "导入完毕（词库“imported”，新建）：新增 3 个单词，更新 0 个。\n文件中有 1 行是重复的单词，以最后一行为准。"},
  };
  const struct {
    Fault fault;
    const char* cause;  // the box that says why; nullptr: the write went through
  } faults[] = {
      {Fault::kNone, nullptr},
      {Fault::kDiskFull, "磁盘空间不足，这次操作没有保存，词库保持原样。"},
      {Fault::kReadOnly, "词库文件只读，这次操作没有保存，词库保持原样。"},
      {Fault::kHeldBriefly, nullptr},
      {Fault::kHeldTooLong, "词库文件正被其他程序使用，这次操作没有保存，词库保持原样。"},
      {Fault::kReaderTooLong, "词库文件正被其他程序使用，这次操作没有保存，词库保持原样。"},
  };
  const std::string pristine = testing::DumpFile(DbPath());
  const std::string copy = dir.File("pristine.db");
  ASSERT_EQ(0, std::system(("cp " + DbPath() + " " + copy).c_str()));
  for (const Op& op : ops_) {
    // What "whole" is: the operation on a file nobody hinders.
    std::string whole;
    {
      boxes.shown.clear();
      Open();
      op.start();
      ASSERT_TRUE(WaitForWrite());
      page.reset();
      whole = testing::DumpFile(DbPath());
      ASSERT_NE(pristine, whole) << op.name;
    }
    for (const auto& f : faults) {
      SCOPED_TRACE(std::string(op.name) + " / fault " + std::to_string(static_cast<int>(f.fault)));
      ASSERT_EQ(0, std::system(("cp " + copy + " " + DbPath()).c_str()));
      boxes.shown.clear();
      std::optional<testing::FaultyVfs> vfs;
      vfs.emplace();
      vfs->SetReadOnly(f.fault == Fault::kReadOnly);
      std::unique_ptr<testing::HeldFile> held;
      if (f.fault == Fault::kHeldBriefly || f.fault == Fault::kHeldTooLong || f.fault == Fault::kReaderTooLong) {
        held = std::make_unique<testing::HeldFile>(DbPath(), f.fault == Fault::kReaderTooLong
                                                                 ? testing::HeldFile::Kind::kReading
                                                                 : testing::HeldFile::Kind::kWriting);
        ASSERT_TRUE(held->held());
      }
      Open();
      // A brief hold ends well inside the wait, however loaded the machine;
      // a long one outlasts it.
      if (f.fault == Fault::kHeldBriefly) page->SetHeldFileWait(std::chrono::seconds(8), std::chrono::milliseconds(40));
      if (f.fault == Fault::kDiskFull) vfs->SetWriteBudget(0);
      if (f.fault == Fault::kHeldBriefly) held->ReleaseAfter(std::chrono::milliseconds(450));
      op.start();
      if (held) {
        // The write waits, says so, and the window takes input meanwhile.
        EXPECT_TRUE(page->WriteWaiting());
        EXPECT_EQ("等待词库文件…", TextOf(Control<QLabel>(page.get(), page1_controls::kInfo)));
        EXPECT_TRUE(Control<QPushButton>(page.get(), page1_controls::kCancelWait)->isVisible());
        EXPECT_FALSE(Control<QPushButton>(page.get(), page1_controls::kApplyBatch)->isEnabled());
        Control<QLineEdit>(page.get(), page1_controls::kSearchText)->setText(QStringLiteral("w1"));
        Control<QLineEdit>(page.get(), page1_controls::kSearchText)->clear();
      }
      ASSERT_TRUE(WaitForWrite());
      EXPECT_TRUE(Control<QPushButton>(page.get(), page1_controls::kApplyBatch)->isEnabled());
      page.reset();
      held.reset();
      vfs.reset();
      std::string after = testing::DumpFile(DbPath());
      std::vector<std::string> texts = BoxTexts();
      if (!texts.empty() && texts.front().rfind("确定要删除词库", 0) == 0) texts.erase(texts.begin());
      if (f.cause) {
        EXPECT_EQ(pristine, after);
        EXPECT_EQ(std::vector<std::string>{f.cause}, texts);
      } else {
        EXPECT_EQ(whole, after);
        EXPECT_EQ(op.success ? std::vector<std::string>{op.success} : std::vector<std::string>{}, texts);
      }
    }
  }
}

// "取消等待" gives the write up at once: nothing of it is written, and the
// learner is told so.
TEST_F(WriteFaultTest, CancellingTheWaitWritesNothingAndSaysSo) {
  const std::string before = testing::DumpFile(DbPath());
  testing::HeldFile held(DbPath(), testing::HeldFile::Kind::kWriting);
  ASSERT_TRUE(held.held());
  Open();
  page->SetHeldFileWait(std::chrono::seconds(60), std::chrono::milliseconds(40));
  Batch(CPage1::kBatchDelete);
  ASSERT_TRUE(page->WriteWaiting());
  Control<QPushButton>(page.get(), page1_controls::kCancelWait)->click();
  EXPECT_FALSE(page->WriteWaiting());
  EXPECT_EQ(std::vector<std::string>{"操作已取消，这次操作没有保存，词库保持原样。"}, BoxTexts());
  page.reset();
  ASSERT_TRUE(held.Release());
  EXPECT_EQ(before, testing::DumpFile(DbPath()));
}

// A file held exclusively while the page reads it: the count says the read
// failed instead of showing an empty bank.
TEST_F(WriteFaultTest, AReadThatFailsSaysSoInsteadOfShowingAnEmptyBank) {
  Open();
  ASSERT_EQ("单词总数: 60", TextOf(Control<QLabel>(page.get(), page1_controls::kWordCount)));
  testing::HeldFile held(DbPath(), testing::HeldFile::Kind::kExclusive);
  ASSERT_TRUE(held.held());
  page->Refresh();
  EXPECT_EQ("单词总数: 读取失败（词库文件正被其他程序使用）",
            TextOf(Control<QLabel>(page.get(), page1_controls::kWordCount)));
  EXPECT_TRUE(BoxTexts().empty());  // no syntax message for a held file
  ASSERT_TRUE(held.Release());
  page->Refresh();
  EXPECT_EQ("单词总数: 60", TextOf(Control<QLabel>(page.get(), page1_controls::kWordCount)));
}

}  // namespace
}  // namespace quorvo
