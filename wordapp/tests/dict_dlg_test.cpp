// The main window: its tabs, the notification-area icon and the about box.
#include "wordapp/dict_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include "wordapp/about_dlg.h"
#include "wordapp/about_dlg_controls.h"
#include "wordapp/dict_dlg_controls.h"
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

class DictDlgTest : public testing::GuiTest {
 protected:
  void Open() {
    window = std::make_unique<CdictDlg>(ops);
    window->show();
    QApplication::setActiveWindow(window.get());
  }
  std::unique_ptr<CdictDlg> window;
};

TEST_F(DictDlgTest, HasThreeTabsWithTheWordBankPageShown) {
  Open();
  EXPECT_EQ("quorvo", window->windowTitle().toStdString());
  QTabWidget* tabs = Control<QTabWidget>(window.get(), dict_dlg_controls::kTabs);
  ASSERT_EQ(3, tabs->count());
  EXPECT_EQ("词库", tabs->tabText(0).toStdString());
  EXPECT_EQ("浏览", tabs->tabText(1).toStdString());
  EXPECT_EQ("统计", tabs->tabText(2).toStdString());
  EXPECT_EQ(0, tabs->currentIndex());
  EXPECT_TRUE(window->Page1()->isVisible());
  EXPECT_FALSE(window->Page2()->isVisible());
  EXPECT_EQ(Qt::NoFocus, tabs->tabBar()->focusPolicy());
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(DictDlgTest, SwitchingTabsKeepsEachPagesState) {
  Put(kMainRemember, "alpha", "甲", 1);
  Put(kMainRemember, "beta", "乙", 2);
  Open();
  auto* search = Control<QLineEdit>(window->Page1(), page1_controls::kSearchText);
  search->setText("al");
  Control<QPushButton>(window->Page1(), page1_controls::kShowBanks)->click();  // bank list shown

  QTabWidget* tabs = window->Tabs();
  tabs->setCurrentIndex(1);
  EXPECT_FALSE(window->Page1()->isVisible());
  EXPECT_TRUE(window->Page2()->isVisible());
  EXPECT_EQ(Control<QWidget>(window->Page2(), page2_controls::kTypingBox), QApplication::focusWidget());
  Control<QPushButton>(window->Page2(), page2_controls::kNext)->click();
  window->Page2()->ToggleTranslation();

  tabs->setCurrentIndex(0);
  EXPECT_TRUE(window->Page1()->isVisible());
  EXPECT_EQ("al", search->text().toStdString());
  EXPECT_TRUE(Control<QWidget>(window->Page1(), page1_controls::kBankList)->isVisible());
  EXPECT_TRUE(Control<QWidget>(window->Page1(), page1_controls::kDropBanks)->isVisible());

  tabs->setCurrentIndex(1);
  EXPECT_EQ("beta", TextOf(Control<QWidget>(window->Page2(), page2_controls::kWord)));
  EXPECT_EQ("乙", TextOf(Control<QWidget>(window->Page2(), page2_controls::kTranslation)));
  EXPECT_EQ("第2个 共2个单词", TextOf(Control<QWidget>(window->Page2(), page2_controls::kCounter)));
}

TEST_F(DictDlgTest, RecitationCopyOnThePageReachesTheOtherTab) {
  Put(kMainWord, "apple", "苹果", 9);
  Open();
  QTableView* words = Control<QTableView>(window->Page1(), page1_controls::kWordList);
  words->selectRow(0);
  Control<QComboBox>(window->Page1(), page1_controls::kBatchOperation)->setCurrentIndex(CPage1::kBatchRecite);
  Control<QPushButton>(window->Page1(), page1_controls::kApplyBatch)->click();
  QCoreApplication::sendPostedEvents(window->Page2());
  EXPECT_EQ("apple", TextOf(Control<QWidget>(window->Page2(), page2_controls::kWord)));
  EXPECT_EQ("第1个 共1个单词", TextOf(Control<QWidget>(window->Page2(), page2_controls::kCounter)));
}

TEST_F(DictDlgTest, MinimiseHidesInTheTrayAndALeftClickBringsItBack) {
  Open();
  for (bool fromMenu : {false, true}) {
    SCOPED_TRACE(fromMenu ? "window menu" : "minimise box");
    tray.adds = tray.deletes = 0;
    if (fromMenu)
      window->OnSysCommand(dict_dlg_controls::kMinimizeCommand);
    else
      window->showMinimized();
    QCoreApplication::sendPostedEvents(window.get());
    EXPECT_TRUE(window->isHidden());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->InTray());
    EXPECT_EQ(1, tray.adds);
    EXPECT_EQ("我的词库", tray.tip.toStdString());
    ASSERT_NE(nullptr, tray.menu);
    std::vector<std::string> entries;
    for (QAction* a : tray.menu->actions()) entries.push_back(a->text().toStdString());
    EXPECT_EQ((std::vector<std::string>{"显示主窗口", "关闭"}), entries);

    // A double click: the first press restores, the second finds no icon.
    auto action = tray.onAction;
    tray.Click(IconAction::LeftPress);
    action(IconAction::LeftPress);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->InTray());
    EXPECT_FALSE(tray.HasIcon());
    EXPECT_EQ(1, tray.deletes);
    EXPECT_EQ(1, tray.adds);
  }
}

TEST_F(DictDlgTest, TrayMenuShowsTheWindowOrEndsIt) {
  Open();
  QSignalSpy finished(window.get(), &QDialog::finished);
  window->showMinimized();
  QCoreApplication::sendPostedEvents(window.get());
  ASSERT_TRUE(window->isHidden());
  // Other mouse actions on the icon do nothing.
  tray.Click(IconAction::Other);
  EXPECT_TRUE(window->isHidden());
  QAction* show = nullptr;
  QAction* close = nullptr;
  for (QAction* a : window->IconMenu()->actions()) {
    if (a->objectName() == QString::number(dict_dlg_controls::kShowCommand)) show = a;
    if (a->objectName() == QString::number(dict_dlg_controls::kCloseCommand)) close = a;
  }
  ASSERT_TRUE(show && close);
  show->trigger();
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(tray.HasIcon());

  window->showMinimized();
  QCoreApplication::sendPostedEvents(window.get());
  close->trigger();
  EXPECT_EQ(1, finished.count());
  EXPECT_EQ(QDialog::Rejected, window->result());
  // The icon goes with the program.
  EXPECT_TRUE(tray.HasIcon());
  window.reset();
  EXPECT_FALSE(tray.HasIcon());
}

TEST_F(DictDlgTest, WithoutANotificationAreaMinimiseMinimises) {
  tray.available = false;
  Open();
  window->showMinimized();
  QCoreApplication::sendPostedEvents(window.get());
  EXPECT_TRUE(window->isMinimized());
  EXPECT_FALSE(window->isHidden());
  EXPECT_FALSE(window->InTray());
  EXPECT_EQ(0, tray.adds);
}

TEST_F(DictDlgTest, AboutEntryShowsTheAboutBoxAndReturns) {
  Open();
  bool sawAbout = false;
  QTimer::singleShot(0, [&] {
    auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
    sawAbout = about != nullptr;
    if (about) Control<QPushButton>(about, about_dlg_controls::kOk)->click();
  });
  window->OnSysCommand(dict_dlg_controls::kAboutCommand);
  EXPECT_TRUE(sawAbout);
  EXPECT_TRUE(window->isVisible());
}

}  // namespace
}  // namespace quorvo
