// The small window layer shared by the setup's forms: a window base class
// whose handlers run inside an error boundary, modal shows that nest, the
// application's hidden window and title, and message boxes.
#pragma once
#include <windows.h>

#include <exception>
#include <string>

namespace ui {

// ---- the application -------------------------------------------------------

// The application title (the hidden application window's title, and the
// caption of the general error box).
const std::string& AppTitle();
// Creates the hidden application window (still without a title); it owns
// the boxes that are shown before any form exists.
void InitApplication(HINSTANCE instance);
void SetAppTitle(const std::string& title);
HINSTANCE Instance();
HWND AppWindow();

// Asks every message loop to end: the innermost loop sees the quit first and
// passes it outwards.
void Terminate();
bool Terminated();

// Serves every pending message, then returns (the yield of long operations).
// A quit message is kept for the loops and marks the application terminated.
void ProcessMessages();

// Runs the main message loop until the application terminates.
void RunMessageLoop();

// Every loop serves the keyboard as a dialog box does: Tab and Shift+Tab move
// through the active form's controls, Enter presses its default button (the
// form answers DM_GETDEFID), Esc sends it WM_COMMAND IDCANCEL. A held Enter
// presses once: its auto-repeats are dropped.

// Drops the keyboard and mouse input that is waiting for the thread's
// windows: what the user pressed while a form was busy changing itself.
void DropPendingInput();

// ---- errors ------------------------------------------------------------------

// The general error box: the text with a full stop added unless it ends in
// one ("." or "。"), caption AppTitle(), error icon, OK. A text of more than
// 1024 bytes is cut and ends in "...".
void ShowErrorBox(const std::string& text);
// Runs fn; an exception that escapes it ends fn and is shown in the general
// error box. Returns false when that happened.
template <class F>
bool Guard(F&& fn) {
    try {
        fn();
        return true;
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    } catch (...) {
        ShowErrorBox("Unexpected error");
    }
    return false;
}

// While it lives, the system shows no box of its own for a drive without a
// medium or a file it cannot open: the caller gets the error instead.
class CriticalErrorsSuppressed {
public:
    CriticalErrorsSuppressed() : old_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorsSuppressed() { SetErrorMode(old_); }
    CriticalErrorsSuppressed(const CriticalErrorsSuppressed&) = delete;
    CriticalErrorsSuppressed& operator=(const CriticalErrorsSuppressed&) = delete;

private:
    UINT old_;
};

// ---- boxes -------------------------------------------------------------------

// System message box with the program's own caption (GBK texts).
int MsgBox(HWND owner, const std::string& text, const std::string& caption, UINT flags);

// A warning box whose buttons read "重试" and "取消" on every system
// language; returns IDRETRY or IDCANCEL.
int RetryCancelBox(HWND owner, const std::string& text, const std::string& caption);

enum class DlgType { Warning, Error, Information, Confirmation };
// The framework-style message dialog: caption from its kind ("Warning",
// "Error", "Information", "Confirm"), its icon and the given buttons
// (MB_OK, MB_YESNO, ...). Owned by the active window.
int MessageDlg(const std::string& text, DlgType type, UINT buttons);

// ---- windows -----------------------------------------------------------------

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return hwnd_; }

    // Registers `className` once and creates the window at a place given in
    // pixels. Handlers run from here on, WM_CREATE included.
    void CreateWin(const wchar_t* className, DWORD exStyle, DWORD style, const std::string& caption, int x,
                   int y, int width, int height, HWND owner, COLORREF background);

    std::string Caption() const;
    void SetCaption(const std::string& text);
    bool Visible() const;
    void Show(int cmd = SW_SHOW);
    void Hide();
    void Destroy();

    // Shows the window modally: every other enabled, visible top-level window
    // of the thread is disabled until the window is hidden or destroyed,
    // EndModal() is called or the application terminates.
    void ShowModal();
    void EndModal();
    bool InModal() const { return modal_; }

protected:
    // Dispatch of one message; runs inside the error boundary.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    // The control that has the focus when the window is activated and none
    // of its controls had it before, or lost it since (null: the window).
    virtual HWND DefaultFocus() const { return nullptr; }
    // Gives the focus to DefaultFocus() unless a shown, enabled control of
    // the window has it (after a page of controls was hidden, say).
    void KeepFocusInside();
    // WM_COMMAND from a control (also when it sits on a panel of this window).
    virtual void OnCommand(int /*id*/, int /*code*/, HWND /*control*/) {}
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }

    COLORREF background_ = RGB(255, 255, 255);
    HBRUSH backgroundBrush_ = nullptr;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // Whether `w` is a shown, enabled control of this window.
    bool CanHaveFocus(HWND w) const;

    HWND hwnd_ = nullptr;
    bool modal_ = false;
    HWND lastFocus_ = nullptr;  // the control that had the focus when the window was left
};

} // namespace ui
