// CAboutDlg: the about box, shown modally from the main window's about
// entry ("关于 dict(&A)...").
#pragma once

#include <QDialog>

namespace quorvo {

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace quorvo
