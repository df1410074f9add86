// CImportDlg: the import dialog ("导入单词"), run modally by the word-bank
// page's "导入".
//
// Collects the file to bring in (picked with "选择文件" or typed) and the
// bank that receives its words (the shown bank to begin with; a new name
// makes a new bank). It reads no file and touches no database. Before it
// closes with OK it checks the choice: no file, or a new bank name that
// cannot be used (the same checks as 添加单词), is refused with a message
// and the dialog stays open with everything typed. Every control carries
// its id as its object name. Window thread only.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "wordapp/window_ops.h"

class QLineEdit;

namespace quorvo {

namespace import_dlg_controls {
inline constexpr int kFilePath = 1301;  // the file to import
inline constexpr int kPickFile = 1302;  // "选择文件"
inline constexpr int kBankName = 1303;  // the bank that receives the words
inline constexpr int kOk = 1;           // "导入"
inline constexpr int kCancel = 2;       // "取消"
}  // namespace import_dlg_controls

class CImportDlg : public QDialog {
  Q_OBJECT
 public:
  // bank (GBK) is the bank shown; bankExists tells whether a bank of a
  // (GBK) name exists.
  CImportDlg(FilePicker& files, const std::string& bank, MessageBoxes& boxes,
             std::function<bool(const std::string&)> bankExists, QWidget* parent = nullptr);

  // Valid after the dialog ended with OK: the file's path (local 8-bit) and
  // the bank's name (GBK).
  const std::string& FilePath() const { return filePath_; }
  const std::string& BankName() const { return bankName_; }

  // "选择文件": runs the file-open dialog; a cancel changes nothing.
  void OnPickFile();
  void accept() override;

 private:
  FilePicker& files_;
  MessageBoxes& boxes_;
  std::function<bool(const std::string&)> bankExists_;
  QLineEdit* pathEdit_ = nullptr;
  QLineEdit* bankEdit_ = nullptr;
  std::string filePath_;
  std::string bankName_;
};

}  // namespace quorvo
