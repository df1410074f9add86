// CInsertDlg: the add-words dialog ("添加单词"), run modally by the
// word-bank page's "添加新单词".
//
// Collects where the new words come from (a text file picked with
// "打开文件", text typed or pasted into the text box, or both), the name of
// a new bank, whether words already known are left out and whether forms
// count under their family's base, into an
// AddWordsRequest. It reads no file and touches no database. Before it
// closes with OK it checks the bank name: one that cannot be used is
// refused with a message and the dialog stays open with everything typed;
// one that exists already asks whether the words go into that bank.
// The text box offers "复制", "粘贴", "剪切" on a right click. Every
// control carries its id (insert_dlg_controls.h) as its object name.
// Window thread only.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "wordapp/window_ops.h"
#include "wordstore/add_words_request.h"

class QCheckBox;
class QLineEdit;
class QMenu;
class QTextEdit;

namespace quorvo {

class CInsertDlg : public QDialog {
  Q_OBJECT
 public:
  // Commands of the text box's menu.
  enum Command { kCopy = 32774, kPaste = 32775, kCut = 32777 };

  // boxes shows the bank-name messages (none are checked without it);
  // bankExists tells whether a bank of that (GBK) name exists.
  CInsertDlg(FilePicker& files, QWidget* parent = nullptr, MessageBoxes* boxes = nullptr,
             std::function<bool(const std::string&)> bankExists = {});

  // Valid after the dialog ended with OK: filePath and bankName as chosen
  // and typed, text as typed, sources the bits of what was given.
  const AddWordsRequest& Request() const { return request_; }

  // The "合并词形" box as the dialog opens (the page keeps it in config.ini).
  void SetFamilies(bool on);

  // "打开文件": runs the file-open dialog; a cancel changes nothing.
  void OnOpenFile();
  // Builds the text box's menu (menu 135): "复制", "粘贴", "剪切", each
  // action named by its command number.
  QMenu* BuildTextMenu(QWidget* parent) const;
  // Runs a command of that menu on the text box.
  void OnTextCommand(int command);

  void accept() override;

 private:
  void OnTextContextMenu();

  FilePicker& files_;
  MessageBoxes* boxes_;
  std::function<bool(const std::string&)> bankExists_;
  AddWordsRequest request_;
  QCheckBox* onlyUnknown_ = nullptr;  // kOnlyUnknown
  QCheckBox* families_ = nullptr;     // kFamilies
  QLineEdit* pathEdit_ = nullptr;     // kFilePath
  QTextEdit* textBox_ = nullptr;      // kText
  QLineEdit* bankEdit_ = nullptr;     // kBankName
};

}  // namespace quorvo
