#include "Unit_main.h"

#include <tlhelp32.h>

#include "gradient.h"
#include "install/Unit_sec.h"
#include "product.h"
#include "setupdata/ini.h"
#include "setupdata/payload.h"
#include "ui/text.h"
#include "wizard/Unit_Schedule.h"

TFormain* Formain = nullptr;

namespace {

constexpr COLORREF kFormColour = RGB(0, 128, 192);   // 12615680
constexpr COLORREF kTitleColour = RGB(0, 128, 255);  // 16744448
constexpr int kTitleHeight = 117;
constexpr int kFooterHeight = 29;

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesW(ui::W(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

TFormain::~TFormain() {
    WaitForWorker();
    for (HFONT f : {formFont_, titleFont_, footerFont_})
        if (f) DeleteObject(f);
}

void TFormain::Create() {
    formFont_ = ui::MakeFont("宋体", 12);
    titleFont_ = ui::MakeFont("宋体", 56, false, true);
    footerFont_ = ui::MakeFont("宋体", 14);
    // Borderless; maximized when shown. Design client size 1170 x 679.
    CreateWin(L"TFormain", WS_EX_APPWINDOW, WS_POPUP | WS_CLIPCHILDREN, ui::AppTitle(), 0, 0, 1170, 679, nullptr,
              kFormColour);
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), FALSE);
    Panel_Title.Create(Handle(), 0, 0, 1170, kTitleHeight, kTitleColour, RGB(255, 255, 255), titleFont_,
                       tavix::BackdropTitle());
    Panel1.Create(Handle(), 0, 679 - kFooterHeight, 1170, kFooterHeight, kFormColour, RGB(255, 255, 0),
                  footerFont_);
    Label1 = ui::MakeLabel(Panel1.Handle(), tavix::FooterWebLine(), 36, 8, footerFont_);
    Label2 = ui::MakeLabel(Panel1.Handle(), tavix::FooterMakerLine(), 716, 8, footerFont_);
    ui::Guard([this] { FormCreate(); });
}

void TFormain::FormCreate() {
    Proceed = true;
    TempDir = GetTempDir();
    if (IsProductRunning()) {
        int answer = ui::MsgBox(Handle(), tavix::ProductRunningQuestion(), "运行提示",
                                MB_YESNO | MB_ICONWARNING | MB_SYSTEMMODAL);
        if (answer == IDYES)
            TerminateProduct(tavix::kProductWindowClass);
        else
            Proceed = false;
    }
    if (!Proceed) return;
    // All three items are found before any file is written.
    tavix::PayloadItem items[3];
    for (int i = 0; i < 3; ++i)
        items[i] = tavix::FindPayload(tavix::kControlFiles[i].resourceType, tavix::kControlFiles[i].resourceName);
    for (int i = 0; i < 3; ++i) tavix::WritePayload(items[i], TempDir + tavix::kControlFiles[i].fileName);
    StartThread1();
}

std::string TFormain::GetTempDir() {
    wchar_t buf[255];
    UINT n = GetWindowsDirectoryW(buf, 255);
    std::string path = ui::G(std::wstring(buf, n < 255 ? n : 0)) + "\\Temp";
    DWORD a = GetFileAttributesW(ui::W(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) CreateDirectoryW(ui::W(path).c_str(), nullptr);
    return path + "\\";
}

bool TFormain::IsProductRunning() {
    // The snapshot functions are looked up at run time; the 8-bit record is 296 bytes.
    struct ProcessEntryA {
        DWORD dwSize, cntUsage, th32ProcessID;
        ULONG_PTR th32DefaultHeapID;
        DWORD th32ModuleID, cntThreads, th32ParentProcessID;
        LONG pcPriClassBase;
        DWORD dwFlags;
        char szExeFile[MAX_PATH];
    };
    static_assert(sizeof(ProcessEntryA) == 296, "8-bit process record");
    using SnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
    using WalkFn = BOOL(WINAPI*)(HANDLE, ProcessEntryA*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto snapshot = reinterpret_cast<SnapshotFn>(GetProcAddress(kernel, "CreateToolhelp32Snapshot"));
    auto first = reinterpret_cast<WalkFn>(GetProcAddress(kernel, "Process32First"));
    auto next = reinterpret_cast<WalkFn>(GetProcAddress(kernel, "Process32Next"));
    if (!snapshot || !first || !next) return false;
    HANDLE snap = snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    bool running = false;
    ProcessEntryA entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL ok = first(snap, &entry); ok; ok = next(snap, &entry)) {
        std::string exe(entry.szExeFile, strnlen(entry.szExeFile, MAX_PATH));
        if (tavix::IsProductExeName(exe)) running = true;  // the walk goes on to the end
    }
    CloseHandle(snap);
    return running;
}

void TFormain::TerminateProduct(const std::string& windowClass) {
    std::wstring cls = ui::W(windowClass);
    for (HWND w = FindWindowW(cls.c_str(), nullptr); w; w = FindWindowExW(nullptr, w, cls.c_str(), nullptr)) {
        char title[255];
        int n = GetWindowTextA(w, title, sizeof title);
        std::string text(title, n > 0 ? n : 0);
        if (text.empty() || text == tavix::kAppTitle) continue;
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
        if (process) {
            TerminateProcess(process, 4);
            CloseHandle(process);
        }
        return;
    }
}

void TFormain::StartThread1() {
    if (thread1_) return;
    thread1_ = CreateThread(nullptr, 0, &TFormain::Thread1Execute, this, CREATE_SUSPENDED, nullptr);
    if (thread1_) ResumeThread(thread1_);
}

DWORD WINAPI TFormain::Thread1Execute(LPVOID param) {
    auto* self = static_cast<TFormain*>(param);
    // The synchronized call: the UI thread serves it from whichever loop runs.
    if (!self->thread1Terminating_) SendMessageW(self->Handle(), WM_SHOWCHEDULE, 0, 0);
    return 0;
}

void TFormain::WaitForWorker() {
    if (!thread1_) return;
    InterlockedExchange(&thread1Terminating_, 1);
    // Keep serving messages: the worker may be inside its call to this thread.
    while (MsgWaitForMultipleObjects(1, &thread1_, FALSE, INFINITE, QS_ALLINPUT | QS_SENDMESSAGE) != WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    CloseHandle(thread1_);
    thread1_ = nullptr;
}

void TFormain::ShowChedule() {
    if (FormSchedule && !ui::Terminated()) FormSchedule->ShowModal();
}

void TFormain::showsec() {
    {
        TFormsec sec;
        sec.Create(Handle());
        sec.ShowModal();
    }
    if (Formain) Formain->Close();
}

void TFormain::ShowMain() {
    Show(SW_SHOWMAXIMIZED);
    UpdateWindow(Handle());
    ui::Guard([this] { FormShow(); });
}

void TFormain::FormShow() {
    if (!Proceed) Close();
}

void TFormain::Close() {
    ui::Guard([this] { FormClose(); });
    ui::Terminate();
}

void TFormain::FormClose() {
    for (const tavix::ControlFile& f : tavix::kControlFiles) {
        std::string path = TempDir + f.fileName;
        if (FileExists(path)) DeleteFileW(ui::W(path).c_str());
    }
}

std::string TFormain::ReadSetupIni(const std::string& section, const std::string& key) const {
    return tavix::ReadIniFile(TempDir + "avixSetup.ini", section, key);
}

void TFormain::LayoutPanels() {
    RECT r;
    GetClientRect(Handle(), &r);
    SetWindowPos(Panel_Title.Handle(), nullptr, 0, 0, r.right, kTitleHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(Panel1.Handle(), nullptr, 0, r.bottom - kFooterHeight, r.right, kFooterHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Panel1Resize();
}

void TFormain::Panel1Resize() {
    RECT panel, label;
    GetClientRect(Panel1.Handle(), &panel);
    GetClientRect(Label2, &label);
    ui::MoveTo(Label2, panel.right - label.right - 32, 8);
}

void TFormain::FormPaint(HDC dc) {
    RECT client;
    GetClientRect(Handle(), &client);
    for (const tavix::GradientBand& band : tavix::GradientBands(client.bottom)) {
        RECT r = {0, band.top, client.right, band.bottom};
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, band.blue));
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }
}

LRESULT TFormain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SHOWCHEDULE:
        ShowChedule();
        return 0;
    case WM_SIZE:
        LayoutPanels();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the gradient covers everything
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        FormPaint(dc);
        EndPaint(Handle(), &ps);
        return 0;
    }
    case WM_CLOSE:
        Close();
        return 0;
    }
    return Window::HandleMessage(msg, wp, lp);
}
