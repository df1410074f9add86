#include "wordapp/insert_dlg.h"

#include <QCheckBox>
#include <QCursor>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTextEdit>

#include "base/code_page.h"
#include "wordapp/dialog_units.h"
#include "wordapp/insert_dlg_controls.h"
#include "wordstore/word_bank.h"

namespace quorvo {

CInsertDlg::CInsertDlg(FilePicker& files, QWidget* parent, MessageBoxes* boxes,
                       std::function<bool(const std::string&)> bankExists)
    : QDialog(parent), files_(files), boxes_(boxes), bankExists_(std::move(bankExists)) {
  using namespace insert_dlg_controls;
  setWindowTitle(Ui("添加单词"));
  setFont(DialogFont(9));
  setFixedSize(DialogRect(0, 0, 327, 232).size());

  PlaceAt(new QGroupBox(Ui("以文件方式添加所需单词"), this), 7, 5, 313, 52);
  pathEdit_ = new QLineEdit(this);
  pathEdit_->setObjectName(QString::number(kFilePath));
  pathEdit_->setReadOnly(true);
  PlaceAt(pathEdit_, 14, 18, 240, 14);
  auto* open = new QPushButton(Ui("打开文件"), this);
  open->setObjectName(QString::number(kOpenFile));
  open->setAutoDefault(false);
  PlaceAt(open, 262, 18, 50, 14);
  connect(open, &QPushButton::clicked, this, &CInsertDlg::OnOpenFile);
  PlaceText(new QLabel(Ui("注：文件名需要为英文，扩展名为txt"), this), 14, 38, 240, 8);

  PlaceAt(new QGroupBox(Ui("直接在下面添加所需单词"), this), 7, 60, 313, 104);
  textBox_ = new QTextEdit(this);
  textBox_->setObjectName(QString::number(kText));
  textBox_->setAcceptRichText(false);
  textBox_->setLineWrapMode(QTextEdit::NoWrap);
  textBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  textBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  textBox_->setContextMenuPolicy(Qt::CustomContextMenu);
  PlaceAt(textBox_, 14, 73, 299, 85);
  connect(textBox_, &QTextEdit::customContextMenuRequested, this, &CInsertDlg::OnTextContextMenu);

  // What the name check refuses, said before it refuses it.
  auto* note = new QLabel(Ui("若建立新的词库，请输入词库名：\n注：最多55个字节，不能以\nreview_、sqlite_ 开头"), this);
  PlaceAt(note, 7, 166, 160, 33);
  bankEdit_ = new QLineEdit(this);
  bankEdit_->setObjectName(QString::number(kBankName));
  PlaceAt(bankEdit_, 170, 172, 150, 14);

  // Off by default: every word of the text goes in, as it always has.
  onlyUnknown_ = new QCheckBox(Ui("只添加还不会的单词"), this);
  onlyUnknown_->setObjectName(QString::number(kOnlyUnknown));
  PlaceAt(onlyUnknown_, 7, 200, 150, 14);
  // Off unless the learner left it on: then the counts are the spellings'.
  families_ = new QCheckBox(Ui("合并词形（run, runs, ran 记作 run）"), this);
  families_->setObjectName(QString::number(kFamilies));
  PlaceAt(families_, 7, 214, 200, 14);

  auto* ok = new QPushButton(Ui("确定"), this);
  ok->setObjectName(QString::number(kOk));
  ok->setDefault(true);
  PlaceAt(ok, 214, 200, 50, 14);
  connect(ok, &QPushButton::clicked, this, &CInsertDlg::accept);
  auto* cancel = new QPushButton(Ui("取消"), this);
  cancel->setObjectName(QString::number(kCancel));
  cancel->setAutoDefault(false);
  PlaceAt(cancel, 270, 200, 50, 14);
  connect(cancel, &QPushButton::clicked, this, &CInsertDlg::reject);

  // The caret starts at the beginning of the text box.
  textBox_->moveCursor(QTextCursor::Start);
}

void CInsertDlg::OnOpenFile() {
  QString path = files_.OpenFile(this, Ui("需要转换的文件 (*.txt)"));
  if (path.isEmpty()) return;
  // A file name goes to the file system as its own bytes, not as GBK.
  request_.filePath = QFile::encodeName(path).toStdString();
  request_.sources |= SourceFile;
  pathEdit_->setText(path);
}

QMenu* CInsertDlg::BuildTextMenu(QWidget* parent) const {
  auto* menu = new QMenu(parent);
  auto add = [menu](const char* text, int command) {
    QAction* action = menu->addAction(Ui(text));
    action->setObjectName(QString::number(command));
    action->setData(command);
  };
  add("复制", kCopy);
  add("粘贴", kPaste);
  add("剪切", kCut);
  return menu;
}

void CInsertDlg::OnTextCommand(int command) {
  switch (command) {
    case kCopy:
      textBox_->copy();
      break;
    case kPaste:
      textBox_->paste();
      break;
    case kCut:
      textBox_->cut();
      break;
    default:
      break;
  }
}

void CInsertDlg::OnTextContextMenu() {
  QMenu* menu = BuildTextMenu(this);
  QAction* chosen = menu->exec(QCursor::pos());
  int command = chosen ? chosen->data().toInt() : 0;
  delete menu;
  // Run after the menu is gone; clicking elsewhere or Esc chose nothing.
  if (command)
    QMetaObject::invokeMethod(
        this, [this, command] { OnTextCommand(command); }, Qt::QueuedConnection);
}

void CInsertDlg::accept() {
  std::string bankName = Gbk(bankEdit_->text().toStdString());
  if (boxes_ && !bankName.empty()) {
    // Checked while the dialog is open, so nothing typed is lost.
    if (BankNameProblem problem = CheckBankName(bankName); problem != BankNameProblem::kNone) {
      boxes_->Show(BoxKind::Application, Gbk(BankNameRefusal(problem, bankName)));
      bankEdit_->setFocus();
      return;
    }
    if (bankExists_ && bankExists_(bankName)) {
      QString question = Ui("词库“%1”已经存在，要把单词添加到这个词库吗？").arg(bankEdit_->text());
      if (boxes_->Show(BoxKind::PlainOkCancel, Gbk(question.toStdString())) != kBoxOk) {
        bankEdit_->setFocus();
        return;
      }
    }
  }
  request_.text = Gbk(textBox_->toPlainText().toStdString());
  if (!request_.text.empty()) request_.sources |= SourceText;
  request_.bankName = bankName;
  request_.onlyUnknown = onlyUnknown_->isChecked();
  request_.families = families_->isChecked();
  QDialog::accept();
}

void CInsertDlg::SetFamilies(bool on) { families_->setChecked(on); }

}  // namespace quorvo
