// The arithmetic of high-DPI layout: every form is laid out in design units,
// the pixels of a 96 DPI screen, and scaled to the screen's DPI as it is
// made. No Windows header: the host's unit tests use it too.
#pragma once

namespace ui {

inline constexpr int kDesignDpi = 96;

// `units` design units at `dpi`: units * dpi / 96, rounded to the nearest
// pixel, halves away from zero (as MulDiv rounds).
constexpr int ScaleToDpi(int units, int dpi) {
    const long long n = static_cast<long long>(units) * dpi;
    const long long half = kDesignDpi / 2;
    return static_cast<int>(n >= 0 ? (n + half) / kDesignDpi : -((-n + half) / kDesignDpi));
}

// A control's place: left, top, width and height.
struct Bounds {
    int x, y, width, height;
};

// Scales a control's place by its edges, as forms scale their controls: its
// left and top edge, and its right and bottom edge, each on its own. So two
// controls that meet at 96 DPI meet at every DPI, and a control keeps its
// place inside another that it fills.
constexpr Bounds ScaleBoundsToDpi(Bounds b, int dpi) {
    const int left = ScaleToDpi(b.x, dpi), top = ScaleToDpi(b.y, dpi);
    return {left, top, ScaleToDpi(b.x + b.width, dpi) - left, ScaleToDpi(b.y + b.height, dpi) - top};
}

}  // namespace ui
