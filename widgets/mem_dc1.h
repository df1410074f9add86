// CMemDC1: an off-screen drawing surface that stands in for a painter's
// target during one paint and is copied to it in one step when it goes, so
// that a control drawn piece by piece never flickers.
//
// Made on the paint's painter, drawn on through painter(), destroyed before
// the paint draws anything else on the target. Drawing uses the target's
// logical coordinates. On a printer the target is drawn on directly.
// Window thread only.
#pragma once

#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <optional>

namespace quorvo {

class CMemDC1 {
 public:
  explicit CMemDC1(QPainter* target);  // target must not be null
  ~CMemDC1();
  CMemDC1(const CMemDC1&) = delete;
  CMemDC1& operator=(const CMemDC1&) = delete;

  QPainter& painter() { return m_offScreen ? *m_painter : *m_target; }
  const QRect& rect() const { return m_rect; }
  bool offScreen() const { return m_offScreen; }

 private:
  QPixmap m_bitmap;
  QPainter* m_target;
  QRect m_rect;  // the target's clip box, logical coordinates
  bool m_offScreen;
  std::optional<QPainter> m_painter;
};

}  // namespace quorvo
