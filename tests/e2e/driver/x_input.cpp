#include "x_input.h"

#include <cstdio>
#include <cstdlib>

#include "e2e.h"

namespace e2e {
namespace {

// A word for /bin/sh, quoted so that it stays one word as it is.
std::string ShellWord(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::wstring LinuxToWindowsPath(const std::string& path) {
    std::wstring w = L"Z:" + FromUtf8(path);
    for (wchar_t& c : w)
        if (c == L'/') c = L'\\';
    return w;
}

void XDoTool(const std::string& args) { RunOnLinux("xdotool " + args); }

}  // namespace

std::string RunOnLinux(const std::string& shellCommand, DWORD timeoutMs) {
    // Wine starts a Linux program without a process handle to wait on: the
    // command writes its output and then its exit code to files of its own.
    static int counter = 0;
    const std::string base =
        "/tmp/tavix-e2e-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    const std::wstring out = LinuxToWindowsPath(base + ".out"), rc = LinuxToWindowsPath(base + ".rc");
    DeleteFileW(out.c_str());
    DeleteFileW(rc.c_str());
    const std::string script = "{ " + shellCommand + "; } > " + base + ".out 2>&1; echo $? > " + base +
                               ".tmp; mv " + base + ".tmp " + base + ".rc";
    std::wstring cmd = L"/bin/sh -c " + CommandLineOf({FromUtf8(script)});
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        Fail("cannot start /bin/sh (error %lu)", GetLastError());
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
    std::string code, text;
    Check(WaitFor([&] { return ReadFileBytes(rc, code); }, timeoutMs, 20), "\"%s\" did not end within %lu ms",
          shellCommand.c_str(), timeoutMs);
    ReadFileBytes(out, text);
    DeleteFileW(out.c_str());
    DeleteFileW(rc.c_str());
    Check(code == "0\n", "\"%s\" failed (%s): %s", shellCommand.c_str(), code.c_str(), text.c_str());
    return text;
}

void PressKeys(const std::string& keys) { XDoTool("key --delay 60 " + keys); }

void TypeText(const std::string& text) { XDoTool("type --delay 40 -- " + ShellWord(text)); }

void HoldKey(const std::string& key, DWORD ms) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%lu.%03lu", ms / 1000, ms % 1000);
    RunOnLinux("xdotool keydown " + key + " && sleep " + seconds + " && xdotool keyup " + key);
}

void ClickOnScreen(int x, int y, int clicks, DWORD gapMs) {
    XDoTool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click --repeat " +
            std::to_string(clicks) + " --delay " + std::to_string(gapMs) + " 1");
}

void ClickOnWindow(HWND w, int clicks, DWORD gapMs) {
    RECT r;
    GetWindowRect(w, &r);
    ClickOnScreen((r.left + r.right) / 2, (r.top + r.bottom) / 2, clicks, gapMs);
}

static bool ThreadInfo(HWND w, GUITHREADINFO& info) {
    info = GUITHREADINFO{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &info) != FALSE;
}

HWND FocusOf(HWND w) {
    GUITHREADINFO info;
    return ThreadInfo(w, info) ? info.hwndFocus : nullptr;
}

HWND ActiveOf(HWND w) {
    GUITHREADINFO info;
    return ThreadInfo(w, info) ? info.hwndActive : nullptr;
}

// The X window that Wine keeps for a top-level window (0 when none).
static unsigned long long XWindowOf(HWND top) {
    return reinterpret_cast<UINT_PTR>(GetPropW(top, L"__wine_x11_whole_window"));
}

void CheckKeysGoTo(HWND top, const char* what) {
    Check(WaitFor([&] { return ActiveOf(top) == top && GetForegroundWindow() == top; }, 5000),
          "%s is not the active window", what);
    const unsigned long long xid = XWindowOf(top);
    Check(xid != 0, "%s has no X window", what);
    // Wine hands a key that any X window of the process receives to the
    // focus of the foreground window. Without a window manager Wine moves
    // the X focus itself, and at times its request for a new window is
    // dropped and the X focus stays on the window before (the installation
    // window under its cancel question): the keys still reach `top`.
    DWORD pid = 0;
    GetWindowThreadProcessId(top, &pid);
    unsigned long long focus = 0;
    auto ours = [&] {
        for (HWND w : TopWindows(pid, false))
            if (XWindowOf(w) == focus) return true;
        return false;
    };
    const DWORD start = GetTickCount();
    bool there = WaitFor([&] {
        focus = std::strtoull(RunOnLinux("xdotool getwindowfocus").c_str(), nullptr, 10);
        // The window itself; after two seconds another window of the process will do.
        return focus == xid || (GetTickCount() - start > 2000 && ours());
    }, 12000, 100);
    Check(there, "the X focus is on window %llu, not on %s's %llu nor on another window of its process", focus, what,
          xid);
    if (focus != xid) Log("the X focus stayed on window %llu of the same process; the keys go to %s", focus, what);
}

}  // namespace e2e
