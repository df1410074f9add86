// CGradientProgressCtrl: renova's progress bar. A QProgressBar whose painting
// is entirely its own: the completed part shows bands of colour running from
// the start colour towards the end colour, the rest the background colour,
// and the completed percentage is written in the middle in the text colour.
//
// The control keeps its own range, position and step and paints from them
// only; every change is passed on to the QProgressBar as well. The bands are
// drawn through a CMemDC1 and copied in one step; the background is never
// erased separately. Window thread only.
#pragma once

#include <QColor>
#include <QProgressBar>

#include "widgets/gradient_bands.h"

namespace quorvo {

class CGradientProgressCtrl : public QProgressBar {
  Q_OBJECT

 public:
  explicit CGradientProgressCtrl(QWidget* parent = nullptr);
  ~CGradientProgressCtrl() override;

  // lower := lower, upper := upper, position := lower; the QProgressBar gets
  // both bounds cut to 16 bits, as the platform control did.
  void SetRange(int lower, int upper);
  // position := pos, unclamped; returns the previous position. Repaints.
  int SetPos(int pos);
  int SetStep(int step);  // returns the previous step
  // position := position + step, without wrap-around or clamping.
  int StepIt();                            // returns the previous position
  void SetBackgroundColor(QColor colour);  // no repaint
  void ShowPercent(bool show);             // no repaint

  int GetPos() const { return m_position; }
  int GetUpper() const { return m_upper; }
  QColor GetBackgroundColor() const { return m_backgroundColour; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void DrawBands(QPainter& target, int filled, bool vertical);

  int m_lower = 0;
  int m_upper = 100;
  int m_step = 10;
  int m_position = 0;
  QColor m_startColour{255, 0, 0};
  QColor m_endColour{0, 0, 255};
  QColor m_backgroundColour;  // the button face colour at construction
  QColor m_textColour{255, 255, 255};
  bool m_showPercent = true;
};

}  // namespace quorvo
