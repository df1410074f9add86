#include "wordapp/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "wordapp/about_dlg_controls.h"
#include "wordapp/app_icon.h"
#include "wordapp/dialog_units.h"

#ifndef QUORVO_VERSION
#error "QUORVO_VERSION is set by wordapp/CMakeLists.txt"
#endif

namespace quorvo {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Ui("关于 quorvo"));
  setFont(DialogFont(9));
  setFixedSize(DialogRect(0, 0, 190, 62).size());

  auto* icon = new QLabel(this);
  icon->setPixmap(AppIcon().pixmap(32, 32));
  PlaceAt(icon, 14, 14, 21, 20);
  // The project's one version (CMakeLists.txt).
  PlaceText(new QLabel(Ui("quorvo，%1 版").arg(QStringLiteral(QUORVO_VERSION)), this), 42, 14, 114, 8);
  PlaceText(new QLabel(Ui("背单词的小词库，陪你一个一个记下来"), this), 42, 26, 142, 8);

  auto* ok = new QPushButton(Ui("确定"), this);
  ok->setObjectName(QString::number(about_dlg_controls::kOk));
  ok->setDefault(true);
  PlaceAt(ok, 133, 41, 50, 14);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quorvo
