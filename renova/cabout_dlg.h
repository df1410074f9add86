// CAboutDlg: renova's about box, opened from the window's menu ("关于
// renova(&A)..."): the icon, "renova，1.0 版" and "确定", which closes it.
// Window thread only.
#pragma once

#include <QDialog>
#include <QIcon>

namespace quorvo {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(const QIcon& icon, QWidget* parent = nullptr);
};

// renova's icon (resource 128 of the original program), drawn here.
QIcon RenovaIcon();

// Dialog units of the window layouts, in pixels.
QRect DialogUnits(int x, int y, int width, int height);

}  // namespace quorvo
