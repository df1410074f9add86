#include "renova/cabout_dlg.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "renova/renova_controls.h"

namespace quorvo {

using namespace renova_controls;

QRect DialogUnits(int x, int y, int width, int height) {
  constexpr double kUnitX = 1.75, kUnitY = 1.75;
  return QRect(int(x * kUnitX), int(y * kUnitY), int(width * kUnitX), int(height * kUnitY));
}

QIcon RenovaIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor(40, 90, 200));
  painter.setPen(Qt::NoPen);
  painter.drawRoundedRect(1, 1, 30, 30, 6, 6);
  painter.setBrush(Qt::white);
  const QPoint arrow[] = {{16, 5}, {26, 16}, {20, 16}, {20, 27}, {12, 27}, {12, 16}, {6, 16}};
  painter.drawPolygon(arrow, 7);
  painter.end();
  return QIcon(pixmap);
}

CAboutDlg::CAboutDlg(const QIcon& icon, QWidget* parent) : QDialog(parent) {
  setObjectName(ControlName(kAboutDialog));
  setWindowTitle(QStringLiteral("关于 renova"));
  setWindowIcon(icon);
  setFixedSize(DialogUnits(0, 0, 170, 62).size());

  auto* iconLabel = new QLabel(this);
  iconLabel->setPixmap(icon.pixmap(32, 32));
  iconLabel->setGeometry(DialogUnits(14, 14, 21, 20));

  auto* version = new QLabel(QStringLiteral("renova，1.0 版"), this);
  version->setGeometry(DialogUnits(42, 14, 114, 8).adjusted(0, 0, 0, 6));

  auto* ok = new QPushButton(QStringLiteral("确定"), this);
  ok->setObjectName(ControlName(kAboutOk));
  ok->setGeometry(DialogUnits(113, 41, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quorvo
