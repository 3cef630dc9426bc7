// The screen's DPI and what the forms scale by it. Positions and sizes given
// to the layer's helpers that make or place controls (MakeControl, MakeLabel,
// Panel::Create, StringGrid::Create, Place, MoveBy, ...) and font heights
// given to MakeFont are design units, pixels at 96 DPI; the helpers scale
// them by DPI / 96. Geometry read back from a window (BoundsInParent,
// GetClientRect) is in pixels.
#pragma once
#include <windows.h>

#include "dpi_scale.h"

namespace ui {

// The system DPI: LOGPIXELSY of the screen, read once.
int Dpi();
// A length in design units, in pixels.
inline int Scale(int units) { return ScaleToDpi(units, Dpi()); }
// A rectangle given by its edges in design units, in pixels.
RECT ScaleRect(const RECT& designRect);
// A bitmap resource of the module, scaled once by DPI / 96 with halftone
// (smooth) stretching; the resource itself at 96 DPI. Null when missing.
HBITMAP LoadScaledBitmap(const wchar_t* name);

}  // namespace ui
