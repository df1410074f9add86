#include "widgets/gradient_bands.h"

#include <gtest/gtest.h>

namespace quorvo {
namespace {

const Rgb kRed{255, 0, 0};
const Rgb kBlue{0, 0, 255};

TEST(GradientBandsTest, TheFillStopsAtTheFirstBandEdgeBeyondFilled) {
  struct Case {
    int width;
    int position;
    size_t bandsPainted;
    int restFrom;  // -1: no rest
  } cases[] = {
      {255, 50, 128, 128},  // filled 127: band 127 is the first whose edge (128) passes it
      {255, 100, 255, -1},  // everything painted, no background left
      {255, 1, 3, 3},       // filled 2
      {510, 50, 128, 256},  // bands two pixels wide
      {300, 33, 85, 100},   // filled 99; band 84 spans 98..100 and passes it
  };
  for (const Case& c : cases) {
    int filled = FilledExtent(c.position, 100, c.width);
    GradientLayout layout = LayOutBands(c.width, 20, false, filled, kRed, kBlue);
    EXPECT_EQ(c.bandsPainted, layout.bands.size()) << c.width << " " << c.position;
    EXPECT_EQ(c.restFrom >= 0, layout.hasRest) << c.width << " " << c.position;
    if (layout.hasRest) {
      EXPECT_EQ((BandRect{c.restFrom, 0, c.width, 20}), layout.rest) << c.width << " " << c.position;
    }
  }
}

TEST(GradientBandsTest, BandColoursRunTowardsTheEndColourWithoutReachingIt) {
  GradientLayout layout = LayOutBands(255, 10, false, 255, kRed, kBlue);
  ASSERT_EQ(255u, layout.bands.size());
  for (int i = 0; i < 255; ++i) {
    EXPECT_EQ((Rgb{255 - i, 0, i}), layout.bands[i].colour) << i;
    EXPECT_EQ((BandRect{i, 0, i + 1, 11}), layout.bands[i].rect) << i;  // one past the bottom
  }
  // Colours that change in steps of more than one: the largest change sets
  // the number of bands, each part is truncated.
  GradientLayout mixed = LayOutBands(100, 10, false, 100, Rgb{0, 0, 0}, Rgb{100, 50, 3});
  ASSERT_EQ(100u, mixed.bands.size());
  EXPECT_EQ((Rgb{0, 0, 0}), mixed.bands[0].colour);
  EXPECT_EQ((Rgb{33, 16, 0}), mixed.bands[33].colour);
  EXPECT_EQ((Rgb{99, 49, 2}), mixed.bands[99].colour);
}

TEST(GradientBandsTest, NarrowAndVerticalBars) {
  // Narrower than the number of bands: zero-width bands, colours still laid
  // over the whole width.
  GradientLayout narrow = LayOutBands(100, 10, false, FilledExtent(50, 100, 100), kRed, kBlue);
  for (const auto& band : narrow.bands) EXPECT_LE(band.rect.right - band.rect.left, 1);
  const GradientBand& last = narrow.bands.back();
  EXPECT_GT(last.rect.right, 50);
  EXPECT_EQ(255 - int(narrow.bands.size() - 1), last.colour.red);
  EXPECT_EQ((BandRect{last.rect.right, 0, 100, 10}), narrow.rest);

  // Vertical bars fill from the top down.
  GradientLayout vertical = LayOutBands(20, 255, true, 127, kRed, kBlue);
  ASSERT_EQ(128u, vertical.bands.size());
  EXPECT_EQ((BandRect{0, 10, 21, 11}), vertical.bands[10].rect);
  EXPECT_EQ((BandRect{0, 128, 20, 255}), vertical.rest);
}

TEST(GradientBandsTest, EmptyBarAndPercentText) {
  struct Case {
    int position;
    bool empty;
    const char* text;
  } cases[] = {
      {0, true, nullptr},  {-5, true, nullptr}, {101, true, nullptr}, {105, true, nullptr},
      {1, false, "  1 %"}, {7, false, "  7 %"}, {50, false, " 50 %"}, {100, false, "100 %"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.empty, PaintsEmpty(c.position, 0, 100)) << c.position;
    if (c.text) {
      EXPECT_EQ(c.text, PercentText(c.position, 0, 100)) << c.position;
    }
  }
  EXPECT_EQ(" 33 %", PercentText(1, 0, 3));        // 33.33 rounds down
  EXPECT_EQ(" 67 %", PercentText(2, 0, 3));        // 66.67 rounds up
  EXPECT_EQ(" 50 %", PercentText(150, 100, 200));  // relative to the range
}

}  // namespace
}  // namespace quorvo
