#include "window.h"

#include <exception>
#include <vector>

#include "setupdata/errors.h"
#include "setupdata/gbk.h"
#include "setupdata/wide_text.h"

namespace ui {
namespace {

HINSTANCE gInstance = nullptr;
HWND gAppWindow = nullptr;
std::string gTitle;
bool gTerminated = false;

// Serves one message; false when a quit message arrived (it is posted again
// so that the enclosing loops see it too).
bool PumpOne(const MSG& msg) {
    if (msg.message == WM_QUIT) {
        gTerminated = true;
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    // A held Enter presses the default button once, not again and again.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && (msg.lParam & (1L << 30))) return true;
    HWND active = GetActiveWindow();
    if (active && IsDialogMessageW(active, const_cast<MSG*>(&msg))) return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

// Disables one window of the thread for a modal show, remembering it.
BOOL CALLBACK DisableOther(HWND w, LPARAM lp) {
    auto* c = reinterpret_cast<std::pair<HWND, std::vector<HWND>*>*>(lp);
    if (w != c->first && IsWindowVisible(w) && IsWindowEnabled(w)) {
        EnableWindow(w, FALSE);
        c->second->push_back(w);
    }
    return TRUE;
}

} // namespace

const std::string& AppTitle() { return gTitle; }
HINSTANCE Instance() { return gInstance; }
HWND AppWindow() { return gAppWindow; }

void SetAppTitle(const std::string& title) {
    gTitle = title;
    SetWindowTextW(gAppWindow, tavix::W(title).c_str());
}

void InitApplication(HINSTANCE instance) {
    gInstance = instance;
    WNDCLASSEXW wc = {sizeof wc};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"TApplication";
    RegisterClassExW(&wc);
    gAppWindow = CreateWindowExW(0, L"TApplication", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 instance, nullptr);
}

void Terminate() {
    if (gTerminated) return;
    gTerminated = true;
    PostQuitMessage(0);
}

bool Terminated() { return gTerminated; }

void ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!PumpOne(msg)) break;
}

void DropPendingInput() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
}

void RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) PumpOne(msg);
    gTerminated = true;
}

void ShowErrorBox(const std::string& text) {
    // A message built from damaged input (a manifest line of megabytes) is
    // cut, so that the box stays readable and quick to show.
    constexpr std::size_t kMaxShown = 1024;
    std::string shown = text.substr(0, tavix::GbkClampLength(text, kMaxShown));
    if (shown.size() < text.size()) shown += "...";
    shown = tavix::WithFullStop(shown);
    MessageBoxW(GetActiveWindow(), tavix::W(shown).c_str(), tavix::W(gTitle).c_str(), MB_OK | MB_ICONERROR);
}

int MsgBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    return MessageBoxW(owner, tavix::W(text).c_str(), tavix::W(caption).c_str(), flags);
}

namespace {

HHOOK gButtonHook = nullptr;

// Renames the buttons of the box that is about to show.
LRESULT CALLBACK RetryCancelCaptions(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wp);
        SetDlgItemTextW(box, IDRETRY, tavix::W("重试(&R)").c_str());
        SetDlgItemTextW(box, IDCANCEL, tavix::W("取消").c_str());
    }
    return CallNextHookEx(gButtonHook, code, wp, lp);
}

} // namespace

int RetryCancelBox(HWND owner, const std::string& text, const std::string& caption) {
    gButtonHook = SetWindowsHookExW(WH_CBT, &RetryCancelCaptions, nullptr, GetCurrentThreadId());
    int answer = MessageBoxW(owner, tavix::W(text).c_str(), tavix::W(caption).c_str(), MB_RETRYCANCEL | MB_ICONWARNING);
    if (gButtonHook) UnhookWindowsHookEx(gButtonHook);
    gButtonHook = nullptr;
    return answer;
}

int MessageDlg(const std::string& text, DlgType type, UINT buttons) {
    const char* caption = "Confirm";
    UINT icon = MB_ICONQUESTION;
    switch (type) {
    case DlgType::Warning: caption = "Warning"; icon = MB_ICONWARNING; break;
    case DlgType::Error: caption = "Error"; icon = MB_ICONERROR; break;
    case DlgType::Information: caption = "Information"; icon = MB_ICONINFORMATION; break;
    case DlgType::Confirmation: break;
    }
    return MessageBoxW(GetActiveWindow(), tavix::W(text).c_str(), tavix::W(caption).c_str(), buttons | icon);
}

Window::~Window() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (backgroundBrush_) DeleteObject(backgroundBrush_);
}

void Window::CreateWin(const wchar_t* className, DWORD exStyle, DWORD style, const std::string& caption, int x,
                       int y, int width, int height, HWND owner, COLORREF background) {
    background_ = background;
    backgroundBrush_ = CreateSolidBrush(background);
    WNDCLASSEXW wc = {sizeof wc};
    if (!GetClassInfoExW(gInstance, className, &wc)) {
        wc = WNDCLASSEXW{sizeof wc};
        wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = &Window::Proc;
        wc.hInstance = gInstance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = className;
        if (!RegisterClassExW(&wc)) throw tavix::SetupError("Cannot register a window class");
    }
    if (!CreateWindowExW(exStyle, className, tavix::W(caption).c_str(), style, x, y, width, height, owner, nullptr,
                         gInstance, this))
        throw tavix::SetupError("Cannot create a window");
}

std::string Window::Caption() const {
    int n = GetWindowTextLengthW(hwnd_);
    std::wstring s(n + 1, L'\0');
    n = GetWindowTextW(hwnd_, &s[0], n + 1);
    s.resize(n);
    return tavix::G(s);
}

void Window::SetCaption(const std::string& text) { SetWindowTextW(hwnd_, tavix::W(text).c_str()); }
bool Window::Visible() const { return hwnd_ && IsWindowVisible(hwnd_); }
void Window::Show(int cmd) { ShowWindow(hwnd_, cmd); }
void Window::Hide() { ShowWindow(hwnd_, SW_HIDE); }

void Window::Destroy() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void Window::EndModal() {
    modal_ = false;
    // The modal loop waits for a message before it looks again.
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void Window::ShowModal() {
    std::vector<HWND> disabled;
    std::pair<HWND, std::vector<HWND>*> ctx(hwnd_, &disabled);
    EnumThreadWindows(GetCurrentThreadId(), &DisableOther, reinterpret_cast<LPARAM>(&ctx));
    modal_ = true;
    Show(SW_SHOW);
    SetForegroundWindow(hwnd_);
    MSG msg;
    while (modal_ && hwnd_ && IsWindowVisible(hwnd_) && !gTerminated) {
        BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r == 0) {
            gTerminated = true;
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (r < 0) break;
        PumpOne(msg);
    }
    modal_ = false;
    for (HWND w : disabled)
        if (IsWindow(w)) EnableWindow(w, TRUE);
    if (hwnd_ && IsWindowVisible(hwnd_)) Hide();
}

bool Window::CanHaveFocus(HWND w) const {
    return w && IsWindow(w) && IsChild(hwnd_, w) && IsWindowVisible(w) && IsWindowEnabled(w);
}

void Window::KeepFocusInside() {
    if (GetActiveWindow() != hwnd_ || CanHaveFocus(GetFocus())) return;
    HWND target = DefaultFocus();
    if (!CanHaveFocus(target)) target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (CanHaveFocus(target)) SetFocus(target);
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ACTIVATE: {
        // As a dialog box does: the focused control is remembered when the
        // window is left and gets the focus back when it is activated.
        HWND focus = GetFocus();
        if (LOWORD(wp) == WA_INACTIVE) {
            if (CanHaveFocus(focus)) lastFocus_ = focus;
            return 0;
        }
        if (HIWORD(wp)) break;  // minimized
        HWND target = CanHaveFocus(lastFocus_) ? lastFocus_ : DefaultFocus();
        if (!CanHaveFocus(target)) break;  // the window itself takes the focus
        SetFocus(target);
        return 0;
    }
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
        return 0;
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(hwnd_, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, backgroundBrush_);
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        SetBkColor(reinterpret_cast<HDC>(wp), background_);
        return reinterpret_cast<LRESULT>(backgroundBrush_);
    }
    }
    return Default(msg, wp, lp);
}

LRESULT CALLBACK Window::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    LRESULT result = 0;
    bool handled = Guard([&] { result = self->HandleMessage(msg, wp, lp); });
    return handled ? result : 0;
}

} // namespace ui
