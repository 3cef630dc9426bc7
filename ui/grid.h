// A string grid: rows of text cells in columns of set widths, whole-row
// selection, a vertical scroll bar when the rows do not fit, a hint on hover.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "window.h"

namespace ui {

// Its place, row height and column widths are given in design units (ui/dpi.h).
class StringGrid : public Window {
public:
    // WM_COMMAND notification code sent to the parent on a double-click on a
    // row, and on Enter (the arrow keys move the selection).
    static constexpr int kDblClick = 0x0301;
    // Messages another process may send: the selected row (-1: none), and the
    // cells as text (WM_GETTEXT: cells separated by a tab, rows by CR LF).
    static constexpr UINT kGetRow = WM_USER + 0x300;
    static constexpr int kDefaultColWidth = 64;

    void Create(HWND parent, int x, int y, int width, int height, HFONT font, int id, int rowHeight);

    void SetColCount(int count);
    int ColCount() const { return static_cast<int>(widths_.size()); }
    void SetColWidth(int col, int width);
    // Removes every row; the selection stays where it was.
    void ClearRows();
    int AddRow();
    int RowCount() const { return static_cast<int>(cells_.size()); }
    void SetCell(int row, int col, const std::string& text);
    std::string Cell(int row, int col) const;
    // The selected row; -1 when the grid has no rows.
    int Row() const;
    void SetRow(int row);
    void SetHint(const std::string& hint);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Paint(HDC dc);
    void UpdateScrollBar();
    void ScrollTo(int top);
    int VisibleRows() const;
    int RowAt(int y) const;
    std::wstring AllText() const;

    HFONT font_ = nullptr;
    int id_ = 0;
    int rowHeight_ = 14;
    int top_ = 0;
    int selected_ = 0;
    std::vector<int> widths_;
    std::vector<std::vector<std::string>> cells_;
    HWND tooltip_ = nullptr;
    std::wstring hint_;
};

} // namespace ui
