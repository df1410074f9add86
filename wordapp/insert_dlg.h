// CInsertDlg: the add-words dialog ("添加单词"), run modally by the
// word-bank page's "添加新单词".
//
// Collects where the new words come from (a text file picked with
// "打开文件", text typed or pasted into the text box, or both) and the name
// of a new bank, into an AddWordsRequest. It reads no file, touches no
// database and checks nothing: the notes under the boxes are advice only.
// The text box offers "复制", "粘贴", "剪切" on a right click.
// Window thread only.
#pragma once

#include <QDialog>

#include "add_words_request.h"
#include "window_ops.h"

class QLineEdit;
class QMenu;
class QTextEdit;

namespace quorvo {

class CInsertDlg : public QDialog {
  Q_OBJECT
 public:
  // Commands of the text box's menu.
  enum Command { kCopy = 32774, kPaste = 32775, kCut = 32777 };

  CInsertDlg(FilePicker& files, QWidget* parent = nullptr);

  // Valid after the dialog ended with OK: filePath and bankName as chosen
  // and typed, text as typed, sources the bits of what was given.
  const AddWordsRequest& Request() const { return request_; }

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
  AddWordsRequest request_;
  QLineEdit* pathEdit_ = nullptr;  // 1028
  QTextEdit* textBox_ = nullptr;   // 1026
  QLineEdit* bankEdit_ = nullptr;  // 1031
};

}  // namespace quorvo
