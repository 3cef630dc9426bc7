#include "controls.h"

#include "text.h"

namespace ui {

HFONT MakeFont(const std::string& face, int pixelHeight, bool bold, bool italic, BYTE charset) {
    return CreateFontW(-pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE, charset,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       W(face).c_str());
}

HWND MakeControl(HWND parent, const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int width,
                 int height, int id, HFONT font, DWORD exStyle) {
    HWND w = CreateWindowExW(exStyle, cls, W(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    if (w && font) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return w;
}

void FitLabel(HWND label) {
    std::wstring text = W(GetText(label));
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    SetWindowPos(label, nullptr, 0, 0, r.right, r.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND MakeLabel(HWND parent, const std::string& text, int x, int y, HFONT font, int id) {
    HWND w = MakeControl(parent, L"Static", text, SS_LEFT | SS_NOPREFIX, x, y, 1, 1, id, font);
    FitLabel(w);
    return w;
}

std::string GetText(HWND w) {
    int n = GetWindowTextLengthW(w);
    std::wstring s(n + 1, L'\0');
    n = GetWindowTextW(w, &s[0], n + 1);
    s.resize(n);
    return G(s);
}

void SetText(HWND w, const std::string& text) { SetWindowTextW(w, W(text).c_str()); }
void SetEnabled(HWND w, bool enabled) { EnableWindow(w, enabled); }
void SetVisible(HWND w, bool visible) { ShowWindow(w, visible ? SW_SHOWNA : SW_HIDE); }
bool IsChecked(HWND b) { return SendMessageW(b, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void SetChecked(HWND b, bool checked) { SendMessageW(b, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }

RECT BoundsInParent(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void MoveTo(HWND w, int x, int y) { SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE); }

void Panel::Create(HWND parent, int x, int y, int width, int height, COLORREF background, COLORREF textColor,
                   HFONT font, const std::string& caption, int captionLeft) {
    textColor_ = textColor;
    font_ = font;
    caption_ = W(caption);
    captionLeft_ = captionLeft;
    CreateWin(L"TPanel", 0, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, std::string(), x, y, width, height, parent,
              background);
}

void Panel::SetCaptionText(const std::string& caption) {
    caption_ = W(caption);
    InvalidateRect(Handle(), nullptr, TRUE);
}

LRESULT Panel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        RECT r;
        GetClientRect(Handle(), &r);
        if (edge_) DrawEdge(dc, &r, edge_, BF_RECT);
        if (!caption_.empty()) {
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, textColor_);
            HGDIOBJ old = SelectObject(dc, font_);
            RECT t = r;
            t.left += captionLeft_;
            DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &t,
                      DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            SelectObject(dc, old);
        }
        EndPaint(Handle(), &ps);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, textColor_);
        SetBkColor(dc, background_);
        return reinterpret_cast<LRESULT>(backgroundBrush_);
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
        // Controls on a panel belong to the form that holds the panel.
        return SendMessageW(GetParent(Handle()), msg, wp, lp);
    }
    return Window::HandleMessage(msg, wp, lp);
}

} // namespace ui
