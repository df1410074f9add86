#include "widgets/mem_dc1.h"

#include <QPaintDevice>
#include <cassert>

namespace quorvo {

CMemDC1::CMemDC1(QPainter* target) : m_target(target), m_offScreen(false) {
  assert(target != nullptr);
  QPaintDevice* device = target->device();
  m_offScreen = device && device->devType() != QInternal::Printer;
  if (!m_offScreen) return;
  m_rect = target->hasClipping() ? target->clipBoundingRect().toAlignedRect()
                                 : QRect(0, 0, device->width(), device->height());
  const qreal ratio = device->devicePixelRatioF();
  m_bitmap = QPixmap((QSizeF(m_rect.size()) * ratio).toSize());
  m_bitmap.setDevicePixelRatio(ratio);
  m_painter.emplace(&m_bitmap);
  m_painter->translate(-m_rect.topLeft());
}

CMemDC1::~CMemDC1() {
  if (!m_offScreen) return;
  m_painter.reset();
  m_target->drawPixmap(m_rect.topLeft(), m_bitmap);
}

}  // namespace quorvo
