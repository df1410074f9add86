#include "widgets/gradient_bands.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace quorvo {

bool PaintsEmpty(int position, int lower, int upper) { return position <= lower || position > upper; }

int FilledExtent(int position, int upper, int extent) {
  float filled = static_cast<float>(static_cast<double>(position) / upper * extent);
  return static_cast<int>(filled);
}

GradientLayout LayOutBands(int clientRight, int clientBottom, bool vertical, int filled, Rgb start, Rgb end) {
  GradientLayout layout;
  const int extent = vertical ? clientBottom : clientRight;
  const int deltaRed = end.red - start.red;
  const int deltaGreen = end.green - start.green;
  const int deltaBlue = end.blue - start.blue;
  const int steps = std::max({std::abs(deltaRed), std::abs(deltaGreen), std::abs(deltaBlue)});

  auto bandRect = [&](int from, int to) {
    return vertical ? BandRect{0, from, clientRight + 1, to} : BandRect{from, 0, to, clientBottom + 1};
  };
  auto restFrom = [&](int edge) {
    layout.hasRest = true;
    layout.rest =
        vertical ? BandRect{0, edge, clientRight, clientBottom} : BandRect{edge, 0, clientRight, clientBottom};
  };

  if (steps == 0) {
    // Equal colours give no gradient: the filled part in the one colour.
    layout.bands.push_back({bandRect(0, filled), start});
    restFrom(filled);
    return layout;
  }

  const float bandSize = static_cast<float>(extent) / static_cast<float>(steps);
  const float stepRed = static_cast<float>(deltaRed) / static_cast<float>(steps);
  const float stepGreen = static_cast<float>(deltaGreen) / static_cast<float>(steps);
  const float stepBlue = static_cast<float>(deltaBlue) / static_cast<float>(steps);
  auto part = [](int from, int i, float step) {
    return static_cast<int>(static_cast<uint8_t>(static_cast<int>(static_cast<float>(from) + i * step)));
  };

  for (int i = 0; i < steps; ++i) {
    int near = static_cast<int>(i * bandSize);
    int far = static_cast<int>((i + 1) * bandSize);
    Rgb colour{part(start.red, i, stepRed), part(start.green, i, stepGreen), part(start.blue, i, stepBlue)};
    layout.bands.push_back({bandRect(near, far), colour});
    if (far > filled) {
      restFrom(far);
      break;
    }
  }
  return layout;
}

std::string PercentText(int position, int lower, int upper) {
  float percent = static_cast<float>(position - lower) * 100.0f / static_cast<float>(upper - lower);
  char text[64];
  std::snprintf(text, sizeof text, "%3.0f %%", percent);
  return text;
}

}  // namespace quorvo
