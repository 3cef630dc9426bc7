// Controls created in code at the positions of each form's layout. Positions,
// sizes and font heights given here are design units (pixels at 96 DPI),
// scaled to the screen's DPI (ui/dpi.h); geometry read back is in pixels.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "dpi.h"
#include "window.h"

namespace ui {

// Registers the classes of the common controls (ICC_* flags), which are
// loaded at their first use.
bool InitControls(DWORD classes);

// A font by face name (GBK), character height in pixels and style.
HFONT MakeFont(const std::string& face, int pixelHeight, bool bold = false, bool italic = false,
               BYTE charset = GB2312_CHARSET);

// Creates a child control of a system class with a GBK text.
HWND MakeControl(HWND parent, const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int width,
                 int height, int id, HFONT font, DWORD exStyle = 0);
// A check box or radio button as wide as its box and whole text need.
HWND MakeCheckBox(HWND parent, const std::string& text, DWORD style, int x, int y, int height, int id, HFONT font);
// A static text sized to its text in its font.
HWND MakeLabel(HWND parent, const std::string& text, int x, int y, HFONT font, int id = 0);
// Resizes a label to fit its current text.
void FitLabel(HWND label);
// A label that paints its parent's background under its text (a picture or a
// gradient shows through), takes its text colour from the parent and resizes
// itself to every new text. With `wrapWidth` > 0 the text wraps at that width
// and the height follows.
HWND MakeAutoLabel(HWND parent, const std::string& text, int x, int y, HFONT font, int id = 0, int wrapWidth = 0);

// Makes a multi-line edit box a read-only text: it can be scrolled, selected
// and copied, never changed, and it leaves Tab, Enter and Esc to its form.
void MakeReadOnlyText(HWND edit);
// A double click on the button is one click: the second press is dropped.
void IgnoreDoubleClicks(HWND button);

std::string GetText(HWND w);
void SetText(HWND w, const std::string& text);
void SetEnabled(HWND w, bool enabled);
void SetVisible(HWND w, bool visible);
bool IsChecked(HWND button);
void SetChecked(HWND button, bool checked);
// The control's place in its parent, in pixels.
RECT BoundsInParent(HWND w);
// Moves a control by (dx, dy), and places it at (x, y) with that size.
void MoveBy(HWND w, int dx, int dy);
void Place(HWND w, int x, int y, int width, int height);

// A plain rectangular child area with its own colours and font, and an
// optional caption drawn at the left; the labels on it take its colours.
// Commands from controls on it go to its form, and Tab moves through them as
// through the form's own. A panel is part of its form: it never closes itself.
class Panel : public Window {
public:
    void Create(HWND parent, int x, int y, int width, int height, COLORREF background, COLORREF textColor,
                HFONT font, const std::string& caption = std::string(), int captionLeft = 0);
    HFONT Font() const { return font_; }
    void SetCaptionText(const std::string& caption);
    // Lowered or raised one-pixel edges, as a bevel.
    void SetEdge(UINT edge) { edge_ = edge; }
    // A picture drawn at its own size at (x, y) over the background, clipped
    // (give it scaled to the DPI, see LoadScaledBitmap).
    void SetPicture(HBITMAP picture, int x, int y);
    // Extra drawing after the background and the picture (shapes, lines).
    void SetPaintHandler(std::function<void(HDC)> paint) { paint_ = std::move(paint); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    COLORREF textColor_ = RGB(0, 0, 0);
    HFONT font_ = nullptr;
    std::wstring caption_;
    int captionLeft_ = 0;
    UINT edge_ = 0;
    HBITMAP picture_ = nullptr;
    int pictureX_ = 0, pictureY_ = 0;
    std::function<void(HDC)> paint_;

    void PaintBackground(HDC dc);
    void PaintContent(HDC dc);
};

} // namespace ui
