// The arithmetic of CGradientProgressCtrl's painting, free of any drawing:
// which bands of colour a paint fills, where the fill stops, and the
// percentage text. Pure functions; any thread.
#pragma once

#include <string>
#include <vector>

namespace quorvo {

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
  bool operator==(const Rgb&) const = default;
};

// A rectangle as the platform gives it: right and bottom are exclusive.
struct BandRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const BandRect&) const = default;
};

struct GradientBand {
  BandRect rect;
  Rgb colour;
};

struct GradientLayout {
  std::vector<GradientBand> bands;  // painted in order
  bool hasRest = false;             // the rest gets the background colour
  BandRect rest;
};

// True when the bar shows only its background and no text: the position is
// at or below lower, or above upper.
bool PaintsEmpty(int position, int lower, int upper);

// The filled length: position / upper * extent in floating point, kept in
// single precision and truncated toward zero.
int FilledExtent(int position, int upper, int extent);

// The bands over a client rectangle (0, 0, clientRight, clientBottom). The
// gradient runs from start towards end over the whole extent in
// max(|dR|, |dG|, |dB|) bands; band i has the colour start + i * delta/steps
// (each part truncated and cut to its low byte), so the end colour itself is
// never painted. Bands are laid out until the first one whose far edge
// passes filled; from that edge on comes the rest. Vertical bars fill from
// the top down.
GradientLayout LayOutBands(int clientRight, int clientBottom, bool vertical, int filled, Rgb start, Rgb end);

// "%3.0f %%" of (position - lower) * 100 / (upper - lower), in single
// precision: "  7 %", " 50 %", "100 %".
std::string PercentText(int position, int lower, int upper);

}  // namespace quorvo
