// Stand-in for the product's main program "TAVI.exe": one visible top-level
// window of the product's class "TTavi30", titled "Quorvix", until it is closed.
//
//   TAVI.exe [--title <text>] [document]
//
// --title sets another window title, the empty one included; any argument that
// does not begin with "--" (the document the shell passes as %1) is ignored.
// The program writes no registry value, and no file unless a record of its
// starts is asked for: while the file "TAVI-started.txt" exists in the
// Windows temporary folder, each start adds to it, in UTF-8, its command
// line, each argument as the system splits it, its working folder and the
// program that started it ("?" when it cannot be read), in one write:
//
//   command line: "C:\Tavix\TAVI.exe" "D:\my docs\a.Qvt"
//   argument: D:\my docs\a.Qvt
//   working folder: C:\Tavix
//   started by: C:\windows\explorer.exe
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// The program of this process's parent, or "" when it cannot be read.
std::wstring ParentImage() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return std::wstring();
    DWORD parent = 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
    CloseHandle(snapshot);
    std::wstring image;
    if (HANDLE process = parent ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent) : nullptr) {
        wchar_t path[MAX_PATH * 2] = {};
        DWORD size = MAX_PATH * 2;
        if (QueryFullProcessImageNameW(process, 0, path, &size)) image.assign(path, size);
        CloseHandle(process);
    }
    return image;
}

// Adds this start to the record, when one is asked for.
void RecordStart(int argc, wchar_t** argv) {
    wchar_t windows[MAX_PATH] = {};
    if (!GetWindowsDirectoryW(windows, MAX_PATH)) return;
    const std::wstring record = std::wstring(windows) + L"\\Temp\\TAVI-started.txt";
    HANDLE file = CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::wstring text = L"command line: " + std::wstring(GetCommandLineW()) + L"\r\n";
    for (int i = 1; i < argc; ++i) text += L"argument: " + std::wstring(argv[i]) + L"\r\n";
    wchar_t folder[MAX_PATH * 2] = {};
    GetCurrentDirectoryW(MAX_PATH * 2, folder);
    text += L"working folder: " + std::wstring(folder) + L"\r\n";
    const std::wstring parent = ParentImage();
    text += L"started by: " + (parent.empty() ? L"?" : parent) + L"\r\n";
    const std::string bytes = Utf8(text);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

const wchar_t kClassName[] = L"TTavi30";

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        DrawTextW(dc, L"Quorvix 营养计算软件（替身程序）", -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    const wchar_t* title = L"Quorvix";
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv && i + 1 < argc; ++i) {
        if (lstrcmpW(argv[i], L"--title") == 0) title = argv[++i];
    }
    if (argv) RecordStart(argc, argv);

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc)) return 1;

    HWND hwnd = CreateWindowExW(0, kClassName, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                480, 320, nullptr, nullptr, instance, nullptr);
    if (argv) LocalFree(argv);  // the window has copied its title
    if (!hwnd) return 1;
    ShowWindow(hwnd, show == SW_HIDE ? SW_SHOWNORMAL : show);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
