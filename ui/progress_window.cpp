#include "ui/progress_window.h"

#include <commctrl.h>

#include "ui/controls.h"

namespace ui {
namespace {

// Design units (pixels at 96 DPI): the client area, and the status line and
// the bar across it with a margin of 16 on every side.
constexpr int kClientWidth = 420;
constexpr int kClientHeight = 84;
constexpr int kMargin = 16;
constexpr int kStatusHeight = 16;
constexpr int kBarTop = 44;
constexpr int kBarHeight = 18;

enum ControlId { IdStatus = 100, IdBar };

} // namespace

ProgressWindow::~ProgressWindow() {
    // The window goes before the font its controls use.
    Destroy();
    if (font_) DeleteObject(font_);
}

void ProgressWindow::Create(const std::string& caption, const std::string& status) {
    InitControls(ICC_PROGRESS_CLASS);
    font_ = MakeFont("Tahoma", 12);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_APPWINDOW;
    RECT r = {0, 0, Scale(kClientWidth), Scale(kClientHeight)};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    const int width = r.right - r.left, height = r.bottom - r.top;
    CreateWin(L"TFormProgress", exStyle, style, caption, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
              (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, GetSysColor(COLOR_BTNFACE));
    HWND self = Handle();
    SendMessageW(self, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    if (HICON icon = LoadIconW(Instance(), MAKEINTRESOURCEW(1)))
        SendMessageW(self, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    // Nothing to close: the run ends the window.
    EnableMenuItem(GetSystemMenu(self, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);

    const int inner = kClientWidth - 2 * kMargin;
    status_ = MakeControl(self, L"Static", status, SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS, kMargin,
                          kMargin, inner, kStatusHeight, IdStatus, font_);
    bar_ = MakeControl(self, PROGRESS_CLASSW, std::string(), 0, kMargin, kBarTop, inner, kBarHeight, IdBar, font_);
    SetBar(0, 0);
    Show(SW_SHOWNOACTIVATE);
    RedrawWindow(self, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void ProgressWindow::SetStatus(const std::string& text) { SetText(status_, text); }

void ProgressWindow::SetBar(int position, int range) {
    if (range < 1) range = 1, position = 0;
    if (range != range_) SendMessageW(bar_, PBM_SETRANGE32, 0, range);
    range_ = range;
    SendMessageW(bar_, PBM_SETPOS, position, 0);
}

LRESULT ProgressWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:
        return 0;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == SC_CLOSE) return 0;
        break;
    }
    return Window::HandleMessage(msg, wp, lp);
}

} // namespace ui
