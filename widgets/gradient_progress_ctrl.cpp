#include "widgets/gradient_progress_ctrl.h"

#include <QPaintEvent>
#include <QPainter>
#include <cstdint>

#include "widgets/mem_dc1.h"

namespace quorvo {
namespace {

Rgb ToRgb(const QColor& colour) { return {colour.red(), colour.green(), colour.blue()}; }

// A platform rectangle (exclusive right and bottom) as a QRect.
QRect ToQRect(const BandRect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

}  // namespace

CGradientProgressCtrl::CGradientProgressCtrl(QWidget* parent)
    : QProgressBar(parent), m_backgroundColour(palette().color(QPalette::Button)) {
  // Everything is painted here, every pixel of every paint: nothing may
  // erase the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAutoFillBackground(false);
  setTextVisible(false);
  QProgressBar::setRange(m_lower, m_upper);
  QProgressBar::setValue(m_position);
}

CGradientProgressCtrl::~CGradientProgressCtrl() = default;

void CGradientProgressCtrl::SetRange(int lower, int upper) {
  m_lower = lower;
  m_upper = upper;
  m_position = lower;
  QProgressBar::setRange(static_cast<int16_t>(lower), static_cast<int16_t>(upper));
  update();
}

int CGradientProgressCtrl::SetPos(int pos) {
  int previous = m_position;
  m_position = pos;
  QProgressBar::setValue(pos);
  update();
  return previous;
}

int CGradientProgressCtrl::SetStep(int step) {
  int previous = m_step;
  m_step = step;
  return previous;
}

int CGradientProgressCtrl::StepIt() {
  int previous = m_position;
  m_position += m_step;
  QProgressBar::setValue(m_position);
  update();
  return previous;
}

void CGradientProgressCtrl::SetBackgroundColor(QColor colour) { m_backgroundColour = colour; }

void CGradientProgressCtrl::ShowPercent(bool show) { m_showPercent = show; }

void CGradientProgressCtrl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect client(0, 0, width(), height());
  if (PaintsEmpty(m_position, m_lower, m_upper)) {
    painter.fillRect(client, m_backgroundColour);
    return;
  }
  const bool vertical = orientation() == Qt::Vertical;
  const int extent = vertical ? client.height() : client.width();
  DrawBands(painter, FilledExtent(m_position, m_upper, extent), vertical);

  if (m_showPercent) {
    painter.setPen(m_textColour);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(client, Qt::AlignCenter | Qt::TextSingleLine,
                     QString::fromStdString(PercentText(m_position, m_lower, m_upper)));
  }
}

void CGradientProgressCtrl::DrawBands(QPainter& target, int filled, bool vertical) {
  CMemDC1 memDc(&target);
  QPainter& dc = memDc.painter();
  // Band edges are truncated, so the last one may stop a pixel short of the
  // edge; the surface starts out in the background colour, not in whatever a
  // new pixmap holds.
  dc.fillRect(memDc.rect(), m_backgroundColour);
  GradientLayout layout = LayOutBands(width(), height(), vertical, filled, ToRgb(m_startColour), ToRgb(m_endColour));
  for (const GradientBand& band : layout.bands)
    dc.fillRect(ToQRect(band.rect), QColor(band.colour.red, band.colour.green, band.colour.blue));
  if (layout.hasRest) dc.fillRect(ToQRect(layout.rest), m_backgroundColour);
}

}  // namespace quorvo
