#include "wordapp/app_icon.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace quorvo {
namespace {

QPixmap Draw(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(36, 104, 178));
  p.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 5.0, size / 5.0);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(size * 3 / 4);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("Q"));
  return pixmap;
}

}  // namespace

const QIcon& AppIcon() {
  static const QIcon icon = [] {
    QIcon i;
    for (int size : {16, 24, 32, 48, 64}) i.addPixmap(Draw(size));
    return i;
  }();
  return icon;
}

}  // namespace quorvo
