#include "controls.h"

#include <commctrl.h>

#include "setupdata/wide_text.h"

namespace ui {
namespace {

// The common controls library (version 6, as the program's manifest asks),
// loaded at its first use rather than by the loader: its start connects to
// the display (under Wine it loads the display driver), which a program
// that makes no window, the uninstaller without windows, need not pay for.
struct CommonControls {
    decltype(&::SetWindowSubclass) setSubclass = nullptr;
    decltype(&::DefSubclassProc) defSubclass = nullptr;
    decltype(&::RemoveWindowSubclass) removeSubclass = nullptr;
    decltype(&::InitCommonControlsEx) init = nullptr;
};

template <class F>
void Bind(HMODULE module, const char* name, F& fn) {
    fn = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

const CommonControls& Comctl() {
    static const CommonControls c = [] {
        CommonControls out;
        if (HMODULE m = LoadLibraryW(L"comctl32.dll")) {
            Bind(m, "SetWindowSubclass", out.setSubclass);
            Bind(m, "DefSubclassProc", out.defSubclass);
            Bind(m, "RemoveWindowSubclass", out.removeSubclass);
            Bind(m, "InitCommonControlsEx", out.init);
        }
        return out;
    }();
    return c;
}

BOOL Subclass(HWND w, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data) {
    return Comctl().setSubclass && Comctl().setSubclass(w, proc, id, data);
}

LRESULT DefSubclass(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    return Comctl().defSubclass ? Comctl().defSubclass(w, msg, wp, lp) : DefWindowProcW(w, msg, wp, lp);
}

BOOL Unsubclass(HWND w, SUBCLASSPROC proc, UINT_PTR id) {
    return Comctl().removeSubclass && Comctl().removeSubclass(w, proc, id);
}

} // namespace

bool InitControls(DWORD classes) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, classes};
    return Comctl().init && Comctl().init(&icc);
}

HFONT MakeFont(const std::string& face, int pixelHeight, bool bold, bool italic, BYTE charset) {
    return CreateFontW(-Scale(pixelHeight), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE, charset,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       tavix::W(face).c_str());
}

HWND MakeControl(HWND parent, const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int width,
                 int height, int id, HFONT font, DWORD exStyle) {
    const Bounds b = ScaleBoundsToDpi({x, y, width, height}, Dpi());
    HWND w = CreateWindowExW(exStyle, cls, tavix::W(text).c_str(), WS_CHILD | WS_VISIBLE | style, b.x, b.y, b.width,
                             b.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    if (w && font) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return w;
}

void FitLabel(HWND label) {
    std::wstring text = tavix::W(GetText(label));
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    SetWindowPos(label, nullptr, 0, 0, r.right, r.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND MakeCheckBox(HWND parent, const std::string& text, DWORD style, int x, int y, int height, int id, HFONT font) {
    HWND w = MakeControl(parent, L"Button", text, style, x, y, 1, height, id, font);
    if (!w) return w;
    const std::wstring t = tavix::W(text);
    HDC dc = GetDC(w);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE s = {0, 0};
    GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &s);
    SelectObject(dc, old);
    ReleaseDC(w, dc);
    RECT r = BoundsInParent(w);
    SetWindowPos(w, nullptr, 0, 0, s.cx + GetSystemMetrics(SM_CXMENUCHECK) + Scale(8), r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return w;
}

HWND MakeLabel(HWND parent, const std::string& text, int x, int y, HFONT font, int id) {
    HWND w = MakeControl(parent, L"Static", text, SS_LEFT | SS_NOPREFIX, x, y, 1, 1, id, font);
    FitLabel(w);
    return w;
}

namespace {

constexpr wchar_t kWrapProp[] = L"ui.wrapWidth";

// The size a label needs for its text in its font.
SIZE AutoLabelSize(HWND label) {
    std::wstring text = tavix::W(GetText(label));
    int wrap = static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(label, kWrapProp)));
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT r = {0, 0, wrap, 0};
    UINT flags = DT_CALCRECT | DT_NOPREFIX | (wrap > 0 ? DT_WORDBREAK : DT_SINGLELINE);
    if (text.empty()) {
        TEXTMETRICW tm;
        GetTextMetricsW(dc, &tm);
        r.bottom = tm.tmHeight;
    } else {
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
    }
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    return SIZE{wrap > 0 ? wrap : r.right, r.bottom};
}

void FitAutoLabel(HWND label) {
    SIZE s = AutoLabelSize(label);
    SetWindowPos(label, nullptr, 0, 0, s.cx, s.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(label, nullptr, FALSE);
}

void PaintAutoLabel(HWND label) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(label, &ps);
    RECT rc;
    GetClientRect(label, &rc);
    if (rc.right > 0 && rc.bottom > 0) {
        HDC mem = CreateCompatibleDC(dc);
        HBITMAP bmp = CreateCompatibleBitmap(dc, rc.right, rc.bottom);
        HGDIOBJ oldBmp = SelectObject(mem, bmp);
        // The parent's background under the label, drawn in the label's place.
        HWND parent = GetParent(label);
        RECT pos = BoundsInParent(label);
        POINT origin;
        SetViewportOrgEx(mem, -pos.left, -pos.top, &origin);
        SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem), 0);
        SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
        SetViewportOrgEx(mem, origin.x, origin.y, nullptr);
        SetTextColor(mem, GetSysColor(COLOR_WINDOWTEXT));
        SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(mem), reinterpret_cast<LPARAM>(label));
        if (!IsWindowEnabled(label)) SetTextColor(mem, GetSysColor(COLOR_GRAYTEXT));
        SetBkMode(mem, TRANSPARENT);
        HGDIOBJ oldFont = SelectObject(mem, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
        std::wstring text = tavix::W(GetText(label));
        bool wrap = GetPropW(label, kWrapProp) != nullptr;
        DrawTextW(mem, text.c_str(), static_cast<int>(text.size()), &rc,
                  DT_LEFT | DT_NOPREFIX | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
        SelectObject(mem, oldFont);
        BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
        SelectObject(mem, oldBmp);
        DeleteObject(bmp);
        DeleteDC(mem);
    }
    EndPaint(label, &ps);
}

LRESULT CALLBACK AutoLabelProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintAutoLabel(w);
        return 0;
    case WM_SETTEXT:
    case WM_SETFONT: {
        LRESULT r = DefSubclass(w, msg, wp, lp);
        FitAutoLabel(w);
        return r;
    }
    case WM_ENABLE:
        InvalidateRect(w, nullptr, FALSE);
        break;
    case WM_NCDESTROY:
        RemovePropW(w, kWrapProp);
        Unsubclass(w, &AutoLabelProc, id);
        break;
    }
    return DefSubclass(w, msg, wp, lp);
}

LRESULT CALLBACK ReadOnlyTextProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    switch (msg) {
    case WM_GETDLGCODE:
        // A multi-line edit box asks for every key, and on Esc it closes its
        // parent. Here the form's keyboard handling gets Tab, Enter and Esc,
        // and entering the text by Tab selects nothing.
        return DefSubclass(w, msg, wp, lp) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_HASSETSEL);
    case WM_NCDESTROY:
        Unsubclass(w, &ReadOnlyTextProc, id);
        break;
    }
    return DefSubclass(w, msg, wp, lp);
}

LRESULT CALLBACK SingleClickProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    switch (msg) {
    case WM_LBUTTONDBLCLK:
        return 0;
    case WM_NCDESTROY:
        Unsubclass(w, &SingleClickProc, id);
        break;
    }
    return DefSubclass(w, msg, wp, lp);
}

bool IsEditBox(HWND w) {
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    return lstrcmpiW(cls, L"Edit") == 0;
}

} // namespace

void MakeReadOnlyText(HWND edit) {
    SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
    Subclass(edit, &ReadOnlyTextProc, 1, 0);
}

void IgnoreDoubleClicks(HWND button) { Subclass(button, &SingleClickProc, 1, 0); }

HWND MakeAutoLabel(HWND parent, const std::string& text, int x, int y, HFONT font, int id, int wrapWidth) {
    HWND w = MakeControl(parent, L"Static", text, SS_LEFT | SS_NOPREFIX, x, y, 1, 1, id, font);
    if (!w) return w;
    if (wrapWidth > 0) SetPropW(w, kWrapProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(Scale(wrapWidth))));
    Subclass(w, &AutoLabelProc, 1, 0);
    FitAutoLabel(w);
    return w;
}

std::string GetText(HWND w) {
    int n = GetWindowTextLengthW(w);
    std::wstring s(n + 1, L'\0');
    n = GetWindowTextW(w, &s[0], n + 1);
    s.resize(n);
    return tavix::G(s);
}

void SetText(HWND w, const std::string& text) { SetWindowTextW(w, tavix::W(text).c_str()); }
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

void MoveBy(HWND w, int dx, int dy) {
    const RECT r = BoundsInParent(w);
    SetWindowPos(w, nullptr, r.left + Scale(dx), r.top + Scale(dy), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Place(HWND w, int x, int y, int width, int height) {
    const Bounds b = ScaleBoundsToDpi({x, y, width, height}, Dpi());
    SetWindowPos(w, nullptr, b.x, b.y, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Panel::Create(HWND parent, int x, int y, int width, int height, COLORREF background, COLORREF textColor,
                   HFONT font, const std::string& caption, int captionLeft) {
    textColor_ = textColor;
    font_ = font;
    caption_ = tavix::W(caption);
    captionLeft_ = Scale(captionLeft);
    const Bounds b = ScaleBoundsToDpi({x, y, width, height}, Dpi());
    // The caption is painted; it is also the window's text, as others read it.
    CreateWin(L"TPanel", WS_EX_CONTROLPARENT, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, caption, b.x, b.y, b.width,
              b.height, parent, background);
}

void Panel::SetCaptionText(const std::string& caption) {
    caption_ = tavix::W(caption);
    ui::SetText(Handle(), caption);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void Panel::SetPicture(HBITMAP picture, int x, int y) {
    picture_ = picture;
    pictureX_ = Scale(x);
    pictureY_ = Scale(y);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void Panel::PaintBackground(HDC dc) {
    RECT r;
    GetClientRect(Handle(), &r);
    FillRect(dc, &r, backgroundBrush_);
    if (picture_) {
        BITMAP bm;
        GetObjectW(picture_, sizeof bm, &bm);
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, picture_);
        BitBlt(dc, pictureX_, pictureY_, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
    }
}

void Panel::PaintContent(HDC dc) {
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
    if (paint_) paint_(dc);
}

LRESULT Panel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        PaintBackground(reinterpret_cast<HDC>(wp));
        return 1;
    case WM_PRINTCLIENT:
        if (lp & PRF_ERASEBKGND) PaintBackground(reinterpret_cast<HDC>(wp));
        PaintContent(reinterpret_cast<HDC>(wp));
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        PaintContent(dc);
        EndPaint(Handle(), &ps);
        return 0;
    }
    case WM_CLOSE:
        // A multi-line edit box sends this to its parent on Esc.
        return 0;
    case WM_CTLCOLORSTATIC:
        // A read-only edit box asks as a label does, but keeps an edit box's colours.
        if (IsEditBox(reinterpret_cast<HWND>(lp))) return Default(WM_CTLCOLOREDIT, wp, lp);
        [[fallthrough]];
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
