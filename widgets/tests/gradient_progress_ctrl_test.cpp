#include "widgets/gradient_progress_ctrl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <algorithm>

namespace quorvo {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "widgets_tests";
  static char* argv[] = {name, nullptr};
  // Made once and never destroyed: tearing Qt down among the other
  // statics at exit is not worth the risk.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

const QColor kBackground(160, 180, 220);

// The bar as renova sets it up, painted offscreen into an image.
class GradientProgressCtrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bar.resize(255, 40);
    bar.SetRange(0, 100);
    bar.SetBackgroundColor(kBackground);
    bar.ShowPercent(true);
  }
  QImage Paint() {
    QImage image(bar.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    bar.render(&image);
    return image;
  }
  // The text's pixels: those that differ from the same paint without the
  // percentage. Returns their count, the box around them and how white the
  // whitest one is (its smallest colour part).
  struct TextPixels {
    int count = 0;
    QRect box;
    int whiteness = 0;
  };
  TextPixels Text() {
    QImage with = Paint();
    bar.ShowPercent(false);
    QImage without = Paint();
    bar.ShowPercent(true);
    TextPixels text;
    for (int y = 0; y < with.height(); ++y)
      for (int x = 0; x < with.width(); ++x)
        if (with.pixel(x, y) != without.pixel(x, y)) {
          QColor c(with.pixel(x, y));
          ++text.count;
          text.box |= QRect(x, y, 1, 1);
          text.whiteness = std::max(text.whiteness, std::min({c.red(), c.green(), c.blue()}));
        }
    return text;
  }

  QApplication& app = App();  // before any widget
  CGradientProgressCtrl bar;
};

TEST_F(GradientProgressCtrlTest, HalfwayPaintsTheFirstBandsThenTheBackground) {
  bar.SetPos(50);
  QImage image = Paint();
  const int row = 2;  // above the text
  for (int x = 0; x <= 127; ++x) EXPECT_EQ(QColor(255 - x, 0, x), QColor(image.pixel(x, row))) << x;
  for (int x = 128; x < 255; ++x) EXPECT_EQ(kBackground, QColor(image.pixel(x, row))) << x;
  for (int y = 0; y < 40; ++y) EXPECT_EQ(QColor(255, 0, 0), QColor(image.pixel(0, y))) << y;  // top to bottom

  // " 50 %" in white, centred on the bar.
  TextPixels text = Text();
  EXPECT_GT(text.count, 20);
  EXPECT_GT(text.whiteness, 200);
  EXPECT_NEAR(text.box.center().x(), 127, 8);
  EXPECT_NEAR(text.box.center().y(), 20, 6);
}

TEST_F(GradientProgressCtrlTest, FullBarHasNoBackgroundLeft) {
  bar.SetPos(100);
  QImage image = Paint();
  for (int x = 0; x < 255; ++x) EXPECT_EQ(QColor(255 - x, 0, x), QColor(image.pixel(x, 1))) << x;
  // "100 %", centred as well.
  TextPixels text = Text();
  EXPECT_GT(text.count, 20);
  EXPECT_NEAR(text.box.center().x(), 127, 8);
}

TEST_F(GradientProgressCtrlTest, PositionsOutsideTheRangePaintOnlyTheBackground) {
  // 0 right after SetRange, 105 from StepIt at 95 with step 10, and below the range.
  auto setters = {+[](CGradientProgressCtrl&) {},
                  +[](CGradientProgressCtrl& b) {
                    b.SetPos(95);
                    b.SetStep(10);
                    b.StepIt();
                  },
                  +[](CGradientProgressCtrl& b) { b.SetPos(-3); }};
  for (auto set : setters) {
    bar.SetRange(0, 100);
    set(bar);
    QImage image = Paint();
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        ASSERT_EQ(kBackground, QColor(image.pixel(x, y))) << "position " << bar.GetPos() << " at " << x << "," << y;
  }
  EXPECT_EQ(105, (bar.SetRange(0, 100), bar.SetPos(95), bar.SetStep(10), bar.StepIt(), bar.GetPos()));
}

TEST_F(GradientProgressCtrlTest, AColourIsTheSameWhateverThePosition) {
  bar.SetPos(20);
  QImage low = Paint();
  bar.SetPos(90);
  QImage high = Paint();
  for (int x = 0; x < 50; ++x) EXPECT_EQ(low.pixel(x, 1), high.pixel(x, 1)) << x;
  EXPECT_EQ(kBackground, QColor(low.pixel(60, 1)));
  EXPECT_NE(kBackground, QColor(high.pixel(60, 1)));
}

TEST_F(GradientProgressCtrlTest, SetRangeResetsThePositionAndCutsThePlatformRangeTo16Bits) {
  bar.SetPos(40);
  bar.SetRange(10, 70000);
  EXPECT_EQ(10, bar.GetPos());
  EXPECT_EQ(70000, bar.GetUpper());
  EXPECT_EQ(static_cast<int16_t>(70000), bar.maximum());  // what the QProgressBar got
}

}  // namespace
}  // namespace quorvo
