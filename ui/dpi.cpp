#include "dpi.h"

#include "window.h"

namespace ui {

int Dpi() {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        int d = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen) ReleaseDC(nullptr, screen);
        return d > 0 ? d : kDesignDpi;
    }();
    return dpi;
}

RECT ScaleRect(const RECT& r) { return RECT{Scale(r.left), Scale(r.top), Scale(r.right), Scale(r.bottom)}; }

HBITMAP LoadScaledBitmap(const wchar_t* name) {
    auto bitmap = static_cast<HBITMAP>(LoadImageW(Instance(), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap || Dpi() == kDesignDpi) return bitmap;
    BITMAP bm;
    GetObjectW(bitmap, sizeof bm, &bm);
    const int width = Scale(bm.bmWidth), height = Scale(bm.bmHeight);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP scaled = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (scaled && from && to) {
        HGDIOBJ oldFrom = SelectObject(from, bitmap), oldTo = SelectObject(to, scaled);
        SetStretchBltMode(to, HALFTONE);
        SetBrushOrgEx(to, 0, 0, nullptr);
        StretchBlt(to, 0, 0, width, height, from, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
    }
    if (from) DeleteDC(from);
    if (to) DeleteDC(to);
    if (!scaled) return bitmap;
    DeleteObject(bitmap);
    return scaled;
}

}  // namespace ui
