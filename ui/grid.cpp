#include "grid.h"

#include <commctrl.h>

#include <algorithm>

#include "setupdata/wide_text.h"
#include "ui/controls.h"
#include "ui/dpi.h"

namespace ui {

void StringGrid::Create(HWND parent, int x, int y, int width, int height, HFONT font, int id, int rowHeight) {
    font_ = font;
    id_ = id;
    rowHeight_ = Scale(rowHeight);
    const Bounds b = ScaleBoundsToDpi({x, y, width, height}, Dpi());
    CreateWin(L"TStringGrid", 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL, std::string(), b.x, b.y, b.width,
              b.height, parent, GetSysColor(COLOR_WINDOW));
    SetWindowLongPtrW(Handle(), GWLP_ID, id);
    UpdateScrollBar();
}

void StringGrid::SetColCount(int count) {
    widths_.resize(count, Scale(kDefaultColWidth));
    for (auto& row : cells_) row.resize(count);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void StringGrid::SetColWidth(int col, int width) {
    if (col < 0 || col >= ColCount()) return;
    widths_[col] = Scale(width);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void StringGrid::ClearRows() {
    cells_.clear();
    top_ = 0;
    UpdateScrollBar();
    InvalidateRect(Handle(), nullptr, TRUE);
}

int StringGrid::AddRow() {
    cells_.emplace_back(widths_.size());
    UpdateScrollBar();
    InvalidateRect(Handle(), nullptr, TRUE);
    return RowCount() - 1;
}

void StringGrid::SetCell(int row, int col, const std::string& text) {
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount()) return;
    cells_[row][col] = text;
    InvalidateRect(Handle(), nullptr, TRUE);
}

std::string StringGrid::Cell(int row, int col) const {
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount()) return std::string();
    return cells_[row][col];
}

int StringGrid::Row() const {
    if (cells_.empty()) return -1;
    return std::min(selected_, RowCount() - 1);
}

void StringGrid::SetRow(int row) {
    if (row < 0 || row >= RowCount()) return;
    selected_ = row;
    if (row < top_) ScrollTo(row);
    else if (row >= top_ + VisibleRows()) ScrollTo(row - VisibleRows() + 1);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void StringGrid::SetHint(const std::string& hint) {
    hint_ = tavix::W(hint);
    if (!tooltip_) {
        InitControls(ICC_WIN95_CLASSES);
        tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr, Instance(),
                                   nullptr);
    }
    if (!tooltip_) return;
    TOOLINFOW ti = {};
    ti.cbSize = TTTOOLINFOW_V1_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(Handle());
    ti.lpszText = &hint_[0];
    SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

int StringGrid::VisibleRows() const {
    RECT r;
    GetClientRect(Handle(), &r);
    return std::max(1, static_cast<int>(r.bottom / rowHeight_));
}

int StringGrid::RowAt(int y) const {
    int row = top_ + y / rowHeight_;
    return (y >= 0 && row < RowCount()) ? row : -1;
}

void StringGrid::UpdateScrollBar() {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = RowCount() > 0 ? RowCount() - 1 : 0;
    si.nPage = RowCount() > VisibleRows() ? VisibleRows() : RowCount() + 1;
    si.nPos = top_;
    SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
}

void StringGrid::ScrollTo(int top) {
    int maxTop = std::max(0, RowCount() - VisibleRows());
    top_ = std::clamp(top, 0, maxTop);
    UpdateScrollBar();
    InvalidateRect(Handle(), nullptr, TRUE);
}

void StringGrid::Paint(HDC dc) {
    RECT client;
    GetClientRect(Handle(), &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    HGDIOBJ oldFont = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    int rowsWidth = 0;
    for (int w : widths_) rowsWidth += w;
    int selected = Row();
    for (int row = top_; row < RowCount(); ++row) {
        int y = (row - top_) * rowHeight_;
        if (y >= client.bottom) break;
        bool isSelected = row == selected;
        if (isSelected) {
            RECT band = {0, y, std::min<int>(rowsWidth, client.right), y + rowHeight_};
            FillRect(dc, &band, GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        SetTextColor(dc, GetSysColor(isSelected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        int x = 0;
        for (int col = 0; col < ColCount(); ++col) {
            std::wstring text = tavix::W(cells_[row][col]);
            RECT cell = {x + Scale(2), y, x + widths_[col], y + rowHeight_};
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &cell,
                      DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
            x += widths_[col];
        }
        if (isSelected && GetFocus() == Handle()) {
            RECT band = {0, y, std::min<int>(rowsWidth, client.right), y + rowHeight_};
            DrawFocusRect(dc, &band);
        }
    }
    SelectObject(dc, oldFont);
}

std::wstring StringGrid::AllText() const {
    std::string out;
    for (const auto& row : cells_) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c) out += '\t';
            out += row[c];
        }
        out += "\r\n";
    }
    return tavix::W(out);
}

LRESULT StringGrid::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        Paint(dc);
        EndPaint(Handle(), &ps);
        return 0;
    }
    case WM_SIZE:
        ScrollTo(top_);
        return 0;
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(AllText().size());
    case WM_GETTEXT: {
        std::wstring text = AllText();
        if (wp == 0) return 0;
        std::size_t n = std::min<std::size_t>(text.size(), wp - 1);
        auto* buf = reinterpret_cast<wchar_t*>(lp);
        std::copy(text.begin(), text.begin() + n, buf);
        buf[n] = L'\0';
        return static_cast<LRESULT>(n);
    }
    case kGetRow:
        return Row();
    case WM_GETDLGCODE: {
        // Enter is the grid's own: it does what a double-click does.
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        if (m && (m->message == WM_KEYDOWN || m->message == WM_CHAR) && m->wParam == VK_RETURN)
            return DLGC_WANTARROWS | DLGC_WANTMESSAGE;
        return DLGC_WANTARROWS;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(Handle(), nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        SetFocus(Handle());
        int row = RowAt(static_cast<short>(HIWORD(lp)));
        if (row >= 0) SetRow(row);
        if (msg == WM_LBUTTONDBLCLK && row >= 0)
            SendMessageW(GetParent(Handle()), WM_COMMAND, MAKEWPARAM(id_, kDblClick),
                         reinterpret_cast<LPARAM>(Handle()));
        return 0;
    }
    case WM_KEYDOWN:
        if (wp == VK_UP && Row() > 0) SetRow(Row() - 1);
        else if (wp == VK_DOWN && Row() + 1 < RowCount()) SetRow(Row() + 1);
        else if (wp == VK_RETURN && Row() >= 0)
            SendMessageW(GetParent(Handle()), WM_COMMAND, MAKEWPARAM(id_, kDblClick),
                         reinterpret_cast<LPARAM>(Handle()));
        return 0;
    case WM_MOUSEWHEEL:
        ScrollTo(top_ - GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA);
        return 0;
    case WM_VSCROLL: {
        int top = top_;
        switch (LOWORD(wp)) {
        case SB_LINEUP: --top; break;
        case SB_LINEDOWN: ++top; break;
        case SB_PAGEUP: top -= VisibleRows(); break;
        case SB_PAGEDOWN: top += VisibleRows(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: top = HIWORD(wp); break;
        case SB_TOP: top = 0; break;
        case SB_BOTTOM: top = RowCount(); break;
        }
        ScrollTo(top);
        return 0;
    }
    }
    return Window::HandleMessage(msg, wp, lp);
}

} // namespace ui
