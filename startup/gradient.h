// The backdrop's vertical gradient: 256 bands of blue from top to bottom.
#pragma once
#include <vector>

namespace tavix {

struct GradientBand {
    int top;     // first row
    int bottom;  // row after the last (top == bottom: an empty band)
    int blue;    // intensity 255 - band index
};

// Bands for a client area of `height` rows. Band edges are the running sum of
// height / 256, rounded to the nearest row with halves going to the even row.
std::vector<GradientBand> GradientBands(int height);

} // namespace tavix
