#include "wordapp/dialog_units.h"

#include <QFontMetrics>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace quorvo {

QRect DialogRect(int x, int y, int width, int height) {
  auto px = [](double units, double scale) { return static_cast<int>(std::lround(units * scale)); };
  return QRect(px(x, kUnitX), px(y, kUnitY), px(width, kUnitX), px(height, kUnitY));
}

void PlaceAt(QWidget* widget, int x, int y, int width, int height) {
  widget->setGeometry(DialogRect(x, y, width, height));
}

void PlaceText(QWidget* widget, int x, int y, int width, int height) {
  QRect r = DialogRect(x, y, width, height);
  int line = QFontMetrics(widget->font()).height() + 2;
  if (r.height() < line) {
    int grow = line - r.height();
    r.adjust(0, -grow / 2, 0, grow - grow / 2);
  }
  widget->setGeometry(r);
}

QFont DialogFont(int points) {
  QFont font(QStringLiteral("MS Shell Dlg"));
  font.setPointSize(points);
  return font;
}

QFont CellFont(const QString& face, int cellHeight, int weight) {
  QFont font(face);
  font.setPixelSize(cellHeight);
  font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
  // The pixel size is the em; shrink it until ascent + descent is the cell.
  int measured = QFontMetrics(font).height();
  if (measured > cellHeight) font.setPixelSize(std::max(1, cellHeight * cellHeight / measured));
  return font;
}

}  // namespace quorvo
