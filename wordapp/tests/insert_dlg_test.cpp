// The add-words dialog: what it hands back for every way of filling it, and
// the text box's cut/copy/paste menu.
#include "wordapp/insert_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <deque>

#include "base/code_page.h"
#include "wordapp/insert_dlg_controls.h"
#include "wordapp/tests/gui_fixture.h"

namespace quorvo {
namespace {

using testing::Control;

class InsertDlgTest : public testing::GuiTest {};

TEST_F(InsertDlgTest, RequestHoldsWhatWasGiven) {
  struct Case {
    const char* name;
    std::vector<QString> picks;  // answers of the file dialog, "" = cancel
    QString text;
    QString bank;
    int sources;
    std::string filePath;
    std::string bankName;  // UTF-8 of the GBK result
  };
  const Case cases[] = {
      {"nothing", {}, "", "", 0, "", ""},
      {"only a bank name", {}, "", "novel", 0, "", "novel"},
      {"file and text", {"/data/a.txt"}, "some words", "", SourceFile | SourceText, "/data/a.txt", ""},
      {"blank text counts", {}, " \n ", "", SourceText, "", ""},
      {"second pick wins", {"/data/a.txt", "/data/b.txt"}, "", "", SourceFile, "/data/b.txt", ""},
      {"cancel keeps the pick", {"/data/a.txt", ""}, "", "", SourceFile, "/data/a.txt", ""},
      {"name kept as typed", {}, "", " 我的 词库 ", 0, "", " 我的 词库 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    files.next.assign(c.picks.begin(), c.picks.end());
    CInsertDlg dialog(files);
    for (size_t i = 0; i < c.picks.size(); ++i) Control<QPushButton>(&dialog, insert_dlg_controls::kOpenFile)->click();
    Control<QTextEdit>(&dialog, insert_dlg_controls::kText)->setPlainText(c.text);
    Control<QLineEdit>(&dialog, insert_dlg_controls::kBankName)->setText(c.bank);
    Control<QPushButton>(&dialog, insert_dlg_controls::kOk)->click();
    EXPECT_EQ(QDialog::Accepted, dialog.result());
    const AddWordsRequest& r = dialog.Request();
    EXPECT_EQ(c.sources, r.sources);
    EXPECT_EQ(c.filePath, r.filePath);
    EXPECT_EQ(c.bankName, Utf8(r.bankName));
    EXPECT_EQ(c.text.toStdString(), r.text);
    if (!c.filePath.empty()) {
      EXPECT_EQ(c.filePath, Control<QLineEdit>(&dialog, insert_dlg_controls::kFilePath)->text().toStdString());
    }
  }
  ASSERT_FALSE(files.filters.empty());
  EXPECT_EQ("需要转换的文件 (*.txt)", files.filters[0].toStdString());
}

TEST_F(InsertDlgTest, PathBoxIsReadOnlyAndCancelEndsWithCancel) {
  CInsertDlg dialog(files);
  EXPECT_TRUE(Control<QLineEdit>(&dialog, insert_dlg_controls::kFilePath)->isReadOnly());
  EXPECT_EQ("添加单词", dialog.windowTitle().toStdString());
  Control<QPushButton>(&dialog, insert_dlg_controls::kCancel)->click();
  EXPECT_EQ(QDialog::Rejected, dialog.result());
}

TEST_F(InsertDlgTest, MenuCommandsCutCopyAndPaste) {
  CInsertDlg dialog(files);
  std::unique_ptr<QMenu> menu(dialog.BuildTextMenu(&dialog));
  std::vector<std::pair<std::string, std::string>> entries;
  for (QAction* a : menu->actions()) entries.emplace_back(a->text().toStdString(), a->objectName().toStdString());
  EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{{"复制", "32774"}, {"粘贴", "32775"}, {"剪切", "32777"}}),
            entries);

  auto* box = Control<QTextEdit>(&dialog, insert_dlg_controls::kText);
  box->setPlainText("alpha beta");
  QTextCursor cursor = box->textCursor();
  cursor.setPosition(0);
  cursor.setPosition(5, QTextCursor::KeepAnchor);
  box->setTextCursor(cursor);
  dialog.OnTextCommand(CInsertDlg::kCopy);
  EXPECT_EQ("alpha", QApplication::clipboard()->text().toStdString());
  EXPECT_EQ("alpha beta", box->toPlainText().toStdString());

  dialog.OnTextCommand(CInsertDlg::kCut);
  EXPECT_EQ(" beta", box->toPlainText().toStdString());

  box->moveCursor(QTextCursor::End);
  QApplication::clipboard()->setText(" gamma");
  dialog.OnTextCommand(CInsertDlg::kPaste);
  EXPECT_EQ(" beta gamma", box->toPlainText().toStdString());
}

TEST_F(InsertDlgTest, RightClickOpensTheMenuAndItsChoiceRunsAfterIt) {
  CInsertDlg dialog(files);
  dialog.show();
  auto* box = Control<QTextEdit>(&dialog, insert_dlg_controls::kText);
  box->setPlainText("words");
  box->selectAll();
  QApplication::clipboard()->clear();
  // The menu runs its own loop: choose "复制" from inside it.
  std::vector<std::string> seen;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* a : menu->actions()) seen.push_back(a->text().toStdString());
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  emit box->customContextMenuRequested(QPoint(5, 5));
  EXPECT_EQ((std::vector<std::string>{"复制", "粘贴", "剪切"}), seen);
  // Posted: runs once the menu is gone.
  EXPECT_EQ("", QApplication::clipboard()->text().toStdString());
  QCoreApplication::sendPostedEvents(&dialog);
  EXPECT_EQ("words", QApplication::clipboard()->text().toStdString());
}

// The bank name is checked while the dialog is open: a name that cannot be
// used, or an existing bank the user does not want to add to, keeps the
// dialog open with everything typed.
TEST_F(InsertDlgTest, BankNameIsCheckedBeforeTheDialogCloses) {
  const QString long56 = QString(56, QLatin1Char('n'));
  const std::string exists = "词库“novel”已经存在，要把单词添加到这个词库吗？";
  struct Case {
    const char* what;
    QString bank;
    std::deque<int> answers;
    std::vector<std::string> boxes;
    bool accepted;
  };
  const Case cases[] = {
      {"56 bytes", long56, {}, {"词库名不能为空，也不能超过55个字节，请重新输入"}, false},
      {"28 Chinese characters are 56 GBK bytes",
       QString(28, QChar(0x8BCD)),
       {},
       {"词库名不能为空，也不能超过55个字节，请重新输入"},
       false},
      {"only blanks", "   ", {}, {"词库名不能为空，也不能超过55个字节，请重新输入"}, false},
      {"existing, not into it", "novel", {kBoxCancel}, {exists}, false},
      {"existing, into it", "novel", {kBoxOk}, {exists}, true},
      {"55 bytes, new", QString(55, QLatin1Char('n')), {}, {}, true},
      {"no name at all", "", {}, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    boxes.shown.clear();
    boxes.answers = c.answers;
    std::vector<std::string> asked;
    CInsertDlg dialog(files, nullptr, &boxes, [&asked](const std::string& name) {
      asked.push_back(name);
      return name == "novel";
    });
    dialog.show();
    Control<QTextEdit>(&dialog, insert_dlg_controls::kText)->setPlainText("whale ocean");
    Control<QLineEdit>(&dialog, insert_dlg_controls::kBankName)->setText(c.bank);
    Control<QPushButton>(&dialog, insert_dlg_controls::kOk)->click();
    EXPECT_EQ(c.boxes, BoxTexts());
    EXPECT_EQ(c.accepted, dialog.result() == QDialog::Accepted);
    EXPECT_EQ(!c.accepted, dialog.isVisible());
    // Nothing typed is lost.
    EXPECT_EQ("whale ocean", Control<QTextEdit>(&dialog, insert_dlg_controls::kText)->toPlainText().toStdString());
    EXPECT_EQ(c.bank, Control<QLineEdit>(&dialog, insert_dlg_controls::kBankName)->text());
    if (c.accepted) {
      EXPECT_EQ(c.bank.toStdString(), Utf8(dialog.Request().bankName));
    }
  }
}

}  // namespace
}  // namespace quorvo
