#include "e2e.h"

#include <tlhelp32.h>

#include <cstdarg>
#include <cstdio>
#include <map>
#include <stdexcept>

namespace e2e {
namespace {

struct ScenarioFailed {};

// Lets a capturing lambda serve as an enumeration callback.
template <class F>
BOOL CALLBACK EnumThunk(HWND w, LPARAM lp) {
    return (*reinterpret_cast<F*>(lp))(w) ? TRUE : FALSE;
}
template <class F>
void ForEachTop(F f) { EnumWindows(EnumThunk<F>, reinterpret_cast<LPARAM>(&f)); }
template <class F>
void ForEachChild(HWND parent, F f) { EnumChildWindows(parent, EnumThunk<F>, reinterpret_cast<LPARAM>(&f)); }

std::map<std::string, ScenarioFn>& Registry() {
    static std::map<std::string, ScenarioFn> r;
    return r;
}

void VPrint(const char* prefix, const char* fmt, va_list ap) {
    std::fputs(prefix, stdout);
    std::vfprintf(stdout, fmt, ap);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

Registrar::Registrar(const char* name, ScenarioFn fn) { Registry()[name] = fn; }

void Fail(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    VPrint("FAIL: ", fmt, ap);
    va_end(ap);
    throw ScenarioFailed{};
}

void Check(bool cond, const char* fmt, ...) {
    if (cond) return;
    va_list ap;
    va_start(ap, fmt);
    VPrint("FAIL: ", fmt, ap);
    va_end(ap);
    throw ScenarioFailed{};
}

void Log(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    VPrint("  ", fmt, ap);
    va_end(ap);
}

std::wstring Wide(const std::string& s, UINT cp) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string Narrow(const std::wstring& w, UINT cp) {
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

bool EndsInOneFullStop(const std::wstring& text) {
    if (text.empty()) return false;
    if (text.back() == L'。') return true;
    return text.back() == L'.' && (text.size() < 2 || text[text.size() - 2] != L'。');
}

std::wstring Env(const wchar_t* name) {
    wchar_t buf[4096];
    DWORD n = GetEnvironmentVariableW(name, buf, 4096);
    return (n && n < 4096) ? std::wstring(buf, n) : std::wstring();
}

static std::wstring RequiredEnv(const wchar_t* name) {
    std::wstring v = Env(name);
    Check(!v.empty(), "environment variable %s is not set (run through the e2e runner)", ToUtf8(name).c_str());
    return v;
}

std::wstring SetupExe() { return RequiredEnv(L"TAVIX_SETUP_EXE"); }
std::wstring ReleaseDir() { return RequiredEnv(L"TAVIX_RELEASE_DIR"); }

std::wstring ArtifactDir() {
    std::wstring d = Env(L"TAVIX_ARTIFACTS");
    if (d.empty()) d = L"C:\\e2e-artifacts";
    CreateDirectoryW(d.c_str(), nullptr);
    return d;
}

std::wstring WindowsTempDir() {
    wchar_t buf[MAX_PATH];
    GetWindowsDirectoryW(buf, MAX_PATH);
    return std::wstring(buf) + L"\\Temp\\";
}

// ---- processes ---------------------------------------------------------------

Process Launch(const std::wstring& exe, const std::wstring& args, const std::wstring& cwd) {
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!args.empty()) cmd += L" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                        cwd.empty() ? nullptr : cwd.c_str(), &si, &pi))
        Fail("cannot start %s (error %lu)", ToUtf8(exe).c_str(), GetLastError());
    CloseHandle(pi.hThread);
    return Process{pi.hProcess, pi.dwProcessId};
}

std::wstring CommandLineOf(const std::vector<std::wstring>& args) {
    std::wstring line;
    for (const std::wstring& arg : args) {
        if (!line.empty()) line += L' ';
        if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
            line += arg;
            continue;
        }
        line += L'"';
        std::size_t backslashes = 0;
        for (wchar_t c : arg) {
            if (c == L'\\') {
                ++backslashes;
                continue;
            }
            // Backslashes before a quote are doubled, and the quote gets one.
            line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
            backslashes = 0;
            line += c;
        }
        line.append(backslashes * 2, L'\\');  // before the closing quote
        line += L'"';
    }
    return line;
}

DWORD WaitExit(Process& p, DWORD timeoutMs) {
    if (WaitForSingleObject(p.handle, timeoutMs) != WAIT_OBJECT_0)
        Fail("process %lu did not end within %lu ms", p.pid, timeoutMs);
    DWORD code = 0;
    GetExitCodeProcess(p.handle, &code);
    return code;
}

bool HasExited(const Process& p) { return WaitForSingleObject(p.handle, 0) == WAIT_OBJECT_0; }

void Kill(Process& p) {
    if (p.handle && !HasExited(p)) {
        TerminateProcess(p.handle, 99);
        WaitForSingleObject(p.handle, 5000);
    }
}

static void EachThread(const Process& p, DWORD (WINAPI* act)(HANDLE)) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    Check(snap != INVALID_HANDLE_VALUE, "cannot list the threads of process %lu", p.pid);
    THREADENTRY32 te = {};
    te.dwSize = sizeof te;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te)) {
        if (te.th32OwnerProcessID != p.pid) continue;
        if (HANDLE h = OpenThread(THREAD_SUSPEND_RESUME, FALSE, te.th32ThreadID)) {
            act(h);
            CloseHandle(h);
        }
    }
    CloseHandle(snap);
}

void Suspend(const Process& p) { EachThread(p, &SuspendThread); }
void Resume(const Process& p) { EachThread(p, &ResumeThread); }

std::wstring ProcessImage(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!h) return L"";
    wchar_t path[MAX_PATH] = {};
    DWORD n = MAX_PATH;
    if (!QueryFullProcessImageNameW(h, 0, path, &n)) n = 0;
    CloseHandle(h);
    return std::wstring(path, n);
}

void KillByName(const wchar_t* exeName) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W pe = {};
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
        if (lstrcmpiW(pe.szExeFile, exeName) == 0 && pe.th32ProcessID != GetCurrentProcessId()) {
            HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pe.th32ProcessID);
            if (h) {
                TerminateProcess(h, 99);
                WaitForSingleObject(h, 5000);
                CloseHandle(h);
            }
        }
    }
    CloseHandle(snap);
}

// ---- windows -------------------------------------------------------------------

std::wstring Text(HWND w) {
    int n = static_cast<int>(SendMessageW(w, WM_GETTEXTLENGTH, 0, 0));
    std::wstring s(n + 1, L'\0');
    n = static_cast<int>(SendMessageW(w, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(&s[0])));
    s.resize(n);
    return s;
}

std::wstring ClassOf(HWND w) {
    wchar_t buf[256];
    int n = GetClassNameW(w, buf, 256);
    return std::wstring(buf, n);
}

bool IsShown(HWND w) { return IsWindowVisible(w) != FALSE; }
bool IsEnabled(HWND w) { return IsWindowEnabled(w) != FALSE; }

std::vector<HWND> TopWindows(DWORD pid, bool visibleOnly) {
    std::vector<HWND> out;
    ForEachTop([&](HWND w) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if ((pid == 0 || owner == pid) && (!visibleOnly || IsWindowVisible(w))) out.push_back(w);
        return true;
    });
    return out;
}

bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs, DWORD stepMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (cond()) return true;
        if (GetTickCount() - start >= timeoutMs) return cond();
        ::Sleep(stepMs);
    }
}

HWND FindTop(DWORD pid, const wchar_t* cls, const wchar_t* title, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND w : TopWindows(pid)) {
            if (cls && ClassOf(w) != cls) continue;
            if (title && Text(w) != title) continue;
            found = w;
            return true;
        }
        return false;
    }, timeoutMs);
    return found;
}

HWND WaitTop(DWORD pid, const wchar_t* cls, const wchar_t* title, DWORD timeoutMs) {
    HWND w = FindTop(pid, cls, title, timeoutMs);
    Check(w != nullptr, "no window of class %s titled %s within %lu ms", cls ? ToUtf8(cls).c_str() : "*",
          title ? ToUtf8(title).c_str() : "*", timeoutMs);
    return w;
}

HWND FindChild(HWND parent, const wchar_t* cls, const wchar_t* text) {
    HWND found = nullptr;
    ForEachChild(parent, [&](HWND w) {
        if (cls && lstrcmpiW(ClassOf(w).c_str(), cls) != 0) return true;
        if (text && Text(w) != text) return true;
        found = w;
        return false;
    });
    return found;
}

HWND WaitChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindChild(parent, cls, text)) != nullptr; }, timeoutMs);
    Check(found != nullptr, "no control %s with text \"%s\"", cls ? ToUtf8(cls).c_str() : "*",
          text ? ToUtf8(text).c_str() : "*");
    return found;
}

RECT ClientRectOnScreen(HWND w) {
    RECT r;
    GetClientRect(w, &r);
    MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void DoubleClickAt(HWND w, int x, int y) {
    LPARAM pos = MAKELPARAM(x, y);
    PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, pos);
    PostMessageW(w, WM_LBUTTONUP, 0, pos);
    PostMessageW(w, WM_LBUTTONDBLCLK, MK_LBUTTON, pos);
    PostMessageW(w, WM_LBUTTONUP, 0, pos);
}

void SetEditText(HWND edit, const std::wstring& text) {
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void PostClose(HWND w) { PostMessageW(w, WM_CLOSE, 0, 0); }
void Pause(DWORD ms) { ::Sleep(ms); }

// ---- message boxes ---------------------------------------------------------------

static bool ReadMessageBox(HWND w, MsgBoxInfo& box) {
    if (ClassOf(w) != L"#32770") return false;
    box = MsgBoxInfo{};
    box.hwnd = w;
    box.caption = Text(w);
    MsgBoxInfo* b = &box;
    ForEachChild(w, [b](HWND c) {
        std::wstring cls = ClassOf(c);
        LONG style = GetWindowLongW(c, GWL_STYLE);
        if (lstrcmpiW(cls.c_str(), L"Button") == 0) {
            if (IsWindowVisible(c)) b->buttons.push_back(Text(c));
        } else if (lstrcmpiW(cls.c_str(), L"Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                if (SendMessageW(c, STM_GETICON, 0, 0)) b->hasIcon = true;
            } else if (GetDlgCtrlID(c) == 0xFFFF || b->text.empty()) {
                std::wstring t = Text(c);
                if (!t.empty()) b->text = t;
            }
        }
        return true;
    });
    return true;
}

MsgBoxInfo WaitMessageBox(DWORD pid, DWORD timeoutMs) {
    MsgBoxInfo box;
    bool ok = WaitFor([&] {
        for (HWND w : TopWindows(pid))
            if (ReadMessageBox(w, box)) return true;
        return false;
    }, timeoutMs);
    Check(ok, "no message box of process %lu within %lu ms", pid, timeoutMs);
    ::Sleep(100);  // let the box finish laying out its controls
    ReadMessageBox(box.hwnd, box);
    return box;
}

bool NoMessageBox(DWORD pid, DWORD ms) {
    MsgBoxInfo box;
    return !WaitFor([&] {
        for (HWND w : TopWindows(pid))
            if (ReadMessageBox(w, box)) return true;
        return false;
    }, ms);
}

void Answer(const MsgBoxInfo& box, int id) {
    HWND b = GetDlgItem(box.hwnd, id);
    Check(b != nullptr, "message box \"%s\" has no button %d", ToUtf8(box.text).c_str(), id);
    PostMessageW(b, BM_CLICK, 0, 0);
    WaitFor([&] { return !IsWindow(box.hwnd); }, 5000);
}

// ---- files -------------------------------------------------------------------------

bool FileExists(const std::wstring& p) {
    DWORD a = GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::wstring& p) {
    DWORD a = GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ReadLog(const std::wstring& path) {
    std::string bytes;
    Check(ReadFileBytes(path, bytes), "no log %s", ToUtf8(path).c_str());
    return FromUtf8(bytes);
}

bool ReadFileBytes(const std::wstring& path, std::string& out) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD size = GetFileSize(h, nullptr);
    out.assign(size, '\0');
    DWORD got = 0;
    bool ok = size == 0 || (ReadFile(h, &out[0], size, &got, nullptr) && got == size);
    CloseHandle(h);
    return ok;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    Check(h != INVALID_HANDLE_VALUE, "cannot create %s", ToUtf8(path).c_str());
    DWORD put = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(h);
    Check(ok && put == bytes.size(), "cannot write %s", ToUtf8(path).c_str());
}

namespace {

// The Unix path of a Windows path (Wine's own export); empty when unknown.
std::string UnixPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
    const std::string out = unix ? unix : "";
    if (unix) HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// A word of a shell command line in single quotes.
std::string ShellQuoted(const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

bool RunShell(const std::string& command, DWORD timeoutMs) {
    static int serial = 0;
    char name[64];
    std::snprintf(name, sizeof name, "/tmp/tavix-e2e-%lu-%d.done", GetCurrentProcessId(), ++serial);
    std::wstring marker = L"Z:" + FromUtf8(name);
    for (wchar_t& c : marker)
        if (c == L'/') c = L'\\';
    DeleteFileW(marker.c_str());
    std::wstring line = L"/bin/sh -c \"" + FromUtf8(command + "; : > " + name) + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // Wine does not follow a Unix program it starts: the marker says it is done.
    const bool finished = WaitFor([&] { return GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs);
    DeleteFileW(marker.c_str());
    return finished;
}

void MakeUnixLink(const std::wstring& link, const std::wstring& target) {
    const std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    Check(!unixLink.empty() && !unixTarget.empty(), "no Unix path for %s or %s", ToUtf8(link).c_str(),
          ToUtf8(target).c_str());
    RunShell("ln -s -n " + ShellQuoted(unixTarget) + " " + ShellQuoted(unixLink));
    Check(IsLink(link), "could not make %s a link to %s", ToUtf8(link).c_str(), ToUtf8(target).c_str());
}

bool IsLink(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    // Wine marks a link to a file by nothing: it leads elsewhere.
    HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    wchar_t final[1024];
    const DWORD n = GetFinalPathNameByHandleW(h, final, 1024, FILE_NAME_NORMALIZED);
    CloseHandle(h);
    const std::wstring leads = n > 4 && n < 1024 ? std::wstring(final + 4, n - 4) : std::wstring();
    return lstrcmpiW(leads.c_str(), path.c_str()) != 0;
}

void DeleteTree(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
        // The link itself: under Wine a Unix link, on the Unix side.
        const std::string unix = UnixPath(path);
        if (!unix.empty())
            RunShell("rm -f " + ShellQuoted(unix));
        else if (!RemoveDirectoryW(path.c_str()))
            DeleteFileW(path.c_str());
        return;
    }
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring n = fd.cFileName;
            if (n != L"." && n != L"..") DeleteTree(path + L"\\" + n);
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(path.c_str());
}

void CheckSameFile(const std::wstring& expected, const std::wstring& actual) {
    std::string a, b;
    Check(ReadFileBytes(expected, a), "cannot read %s", ToUtf8(expected).c_str());
    Check(ReadFileBytes(actual, b), "missing file %s", ToUtf8(actual).c_str());
    Check(a == b, "%s differs from %s (%zu vs %zu bytes)", ToUtf8(actual).c_str(), ToUtf8(expected).c_str(),
          b.size(), a.size());
}

// ---- registry ----------------------------------------------------------------------

bool RegRead(HKEY root, const std::wstring& key, const std::wstring& value, std::wstring& out, DWORD* type) {
    HKEY k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    DWORD t = 0, size = 0;
    LONG r = RegQueryValueExW(k, value.empty() ? nullptr : value.c_str(), nullptr, &t, nullptr, &size);
    if (r == ERROR_SUCCESS) {
        std::wstring buf(size / sizeof(wchar_t) + 1, L'\0');
        r = RegQueryValueExW(k, value.empty() ? nullptr : value.c_str(), nullptr, &t,
                             reinterpret_cast<BYTE*>(&buf[0]), &size);
        buf.resize(size / sizeof(wchar_t));
        while (!buf.empty() && buf.back() == L'\0') buf.pop_back();
        out = buf;
    }
    RegCloseKey(k);
    if (type) *type = t;
    return r == ERROR_SUCCESS;
}

bool RegKeyExists(HKEY root, const std::wstring& key) {
    HKEY k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

void RegWrite(HKEY root, const std::wstring& key, const std::wstring& value, const std::wstring& data) {
    HKEY k;
    Check(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) == ERROR_SUCCESS,
          "cannot create key %s", ToUtf8(key).c_str());
    RegSetValueExW(k, value.empty() ? nullptr : value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
}

void RegDeleteTree(HKEY root, const std::wstring& key) { ::RegDeleteTreeW(root, key.c_str()); RegDeleteKeyW(root, key.c_str()); }

// ---- screen --------------------------------------------------------------------------

std::wstring Screenshot(HWND w, const std::wstring& name) {
    RECT r;
    if (w) GetWindowRect(w, &r);
    else SetRect(&r, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    SelectObject(mem, old);
    DWORD stride = ((width * 3 + 3) & ~3), imageSize = stride * height;
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + imageSize;
    std::string out(reinterpret_cast<char*>(&fh), sizeof fh);
    out.append(reinterpret_cast<char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
    out.append(static_cast<char*>(bits), imageSize);
    std::wstring path = ArtifactDir() + L"\\" + name + L".bmp";
    WriteFileBytes(path, out);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return path;
}

COLORREF PixelAt(int x, int y) {
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return c;
}

int RunScenarios(int argc, wchar_t** argv) {
    std::vector<std::string> wanted;
    for (int i = 1; i < argc; ++i) wanted.push_back(ToUtf8(argv[i]));
    if (wanted.empty())
        for (auto& kv : Registry()) wanted.push_back(kv.first);
    int failed = 0;
    for (const std::string& name : wanted) {
        auto it = Registry().find(name);
        if (it == Registry().end()) {
            std::printf("FAIL: no scenario named %s\n", name.c_str());
            ++failed;
            continue;
        }
        std::printf("scenario %s\n", name.c_str());
        std::fflush(stdout);
        try {
            it->second();
            std::printf("ok %s\n", name.c_str());
        } catch (const ScenarioFailed&) {
            ++failed;
        } catch (const std::exception& e) {
            std::printf("FAIL: %s: %s\n", name.c_str(), e.what());
            ++failed;
        }
        // Whatever a scenario left running must not disturb the next one.
        for (const wchar_t* exe : {L"TavixSetup.exe", L"TAVI.exe", L"Tavi.exe", L"tavi.exe"}) KillByName(exe);
        std::fflush(stdout);
    }
    return failed ? 1 : 0;
}

} // namespace e2e

int wmain(int argc, wchar_t** argv) { return e2e::RunScenarios(argc, argv); }
