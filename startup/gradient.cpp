#include "gradient.h"

#include <cmath>

namespace tavix {

std::vector<GradientBand> GradientBands(int height) {
    std::vector<GradientBand> bands;
    bands.reserve(256);
    const double step = static_cast<double>(height) / 256;
    double y = 0.0;
    for (int k = 0; k < 256; ++k) {
        // nearbyint rounds halves to even in the default rounding mode
        int top = static_cast<int>(std::nearbyint(y));
        int bottom = static_cast<int>(std::nearbyint(y + step));
        bands.push_back(GradientBand{top, bottom, 255 - k});
        y += step;  // a running sum, as the bands have always been laid
    }
    return bands;
}

} // namespace tavix
