#include "wordapp/import_dlg.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/code_page.h"
#include "wordapp/dialog_units.h"
#include "wordstore/word_bank.h"

namespace quorvo {

CImportDlg::CImportDlg(FilePicker& files, const std::string& bank, MessageBoxes& boxes,
                       std::function<bool(const std::string&)> bankExists, QWidget* parent)
    : QDialog(parent), files_(files), boxes_(boxes), bankExists_(std::move(bankExists)) {
  using namespace import_dlg_controls;
  setWindowTitle(Ui("导入单词"));
  setFont(DialogFont(9));
  setFixedSize(DialogRect(0, 0, 327, 118).size());

  PlaceText(new QLabel(Ui("要导入的文件（CSV 表格、Anki 文本或每行一个单词的列表）："), this), 7, 7, 313, 8);
  pathEdit_ = new QLineEdit(this);
  pathEdit_->setObjectName(QString::number(kFilePath));
  PlaceAt(pathEdit_, 7, 19, 255, 14);
  auto* pick = new QPushButton(Ui("选择文件"), this);
  pick->setObjectName(QString::number(kPickFile));
  pick->setAutoDefault(false);
  PlaceAt(pick, 270, 19, 50, 14);
  connect(pick, &QPushButton::clicked, this, &CImportDlg::OnPickFile);

  PlaceText(new QLabel(Ui("导入到词库（输入新名字则新建词库，最多55个字节）："), this), 7, 42, 313, 8);
  bankEdit_ = new QLineEdit(QString::fromStdString(Utf8(bank)), this);
  bankEdit_->setObjectName(QString::number(kBankName));
  PlaceAt(bankEdit_, 7, 54, 150, 14);
  PlaceText(new QLabel(Ui("有释义的单词保留文件中的释义，没有释义的单词会联网查询。\n"
                          "文件中重复的单词以最后一行为准；整个文件一次写入，出错时词库保持原样。"),
                       this),
            7, 74, 313, 18);

  auto* ok = new QPushButton(Ui("导入"), this);
  ok->setObjectName(QString::number(kOk));
  ok->setDefault(true);
  PlaceAt(ok, 214, 98, 50, 14);
  connect(ok, &QPushButton::clicked, this, &CImportDlg::accept);
  auto* cancel = new QPushButton(Ui("取消"), this);
  cancel->setObjectName(QString::number(kCancel));
  cancel->setAutoDefault(false);
  PlaceAt(cancel, 270, 98, 50, 14);
  connect(cancel, &QPushButton::clicked, this, &CImportDlg::reject);
}

void CImportDlg::OnPickFile() {
  QString path = files_.OpenFile(this, Ui("单词表 (*.csv *.txt *.tsv)"));
  if (!path.isEmpty()) pathEdit_->setText(path);
}

void CImportDlg::accept() {
  if (pathEdit_->text().trimmed().isEmpty()) {
    boxes_.Show(BoxKind::Plain, Gbk("请选择要导入的文件"));
    pathEdit_->setFocus();
    return;
  }
  std::string bankName = Gbk(bankEdit_->text().toStdString());
  // A new bank's name is checked while the dialog is open, so nothing typed
  // is lost; an existing bank is filled as it is.
  if (!bankExists_ || !bankExists_(bankName)) {
    if (BankNameProblem problem = CheckBankName(bankName); problem != BankNameProblem::kNone) {
      boxes_.Show(BoxKind::Application, Gbk(BankNameRefusal(problem, bankName)));
      bankEdit_->setFocus();
      return;
    }
  }
  filePath_ = QFile::encodeName(pathEdit_->text()).toStdString();
  bankName_ = bankName;
  QDialog::accept();
}

}  // namespace quorvo
