#include "Unit_main.h"

#include "gradient.h"
#include "install/Unit_sec.h"
#include "common/product.h"
#include "common/product_process.h"
#include "setupdata/errors.h"
#include "setupdata/ini.h"
#include "setupdata/payload.h"
#include "setupdata/system_error.h"
#include "setupdata/wide_text.h"

namespace {

constexpr COLORREF kFormColour = RGB(0, 128, 192);   // 12615680
constexpr COLORREF kTitleColour = RGB(0, 128, 255);  // 16744448
constexpr int kTitleHeight = 117;
constexpr int kFooterHeight = 29;

// [Form] Caption of the control file the setup carries; empty when the
// setup lacks it (its start then says so).
std::string CarriedCaption() {
    try {
        const tavix::PayloadItem item = tavix::FindPayload(tavix::kControlFiles[tavix::kControlFile].resourceType,
                                                           tavix::kControlFiles[tavix::kControlFile].resourceName);
        return tavix::IniLookup(std::string_view(static_cast<const char*>(item.data), item.size), "Form", "Caption");
    } catch (const std::exception&) {
        return std::string();
    }
}

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesW(tavix::W(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

TFormain::~TFormain() {
    WaitForWorker();
    for (void* h : held_)
        if (h) CloseHandle(h);
    Destroy();
    for (HFONT f : {formFont_, titleFont_, footerFont_})
        if (f) DeleteObject(f);
    if (scheduleDone_) CloseHandle(scheduleDone_);
}

void TFormain::Create() {
    formFont_ = ui::MakeFont("宋体", 12);
    titleFont_ = ui::MakeFont("宋体", 56, false, true);
    footerFont_ = ui::MakeFont("宋体", 14);
    // Borderless; maximized when shown. Design client size 1170 x 679.
    CreateWin(L"TFormain", WS_EX_APPWINDOW, WS_POPUP | WS_CLIPCHILDREN, ui::AppTitle(), 0, 0, ui::Scale(1170),
              ui::Scale(679), nullptr, kFormColour);
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), FALSE);
    Panel_Title.Create(Handle(), 0, 0, 1170, kTitleHeight, kTitleColour, RGB(255, 255, 255), titleFont_,
                       tavix::BackdropTitle(CarriedCaption()));
    Panel1.Create(Handle(), 0, 679 - kFooterHeight, 1170, kFooterHeight, kFormColour, RGB(255, 255, 0),
                  footerFont_);
    Label1 = ui::MakeLabel(Panel1.Handle(), tavix::FooterWebLine(), 36, 8, footerFont_);
    Label2 = ui::MakeLabel(Panel1.Handle(), tavix::FooterMakerLine(), 716, 8, footerFont_);
    LayoutPanels();
    state_.ControlText = [this] { return ReadControlFile(tavix::kControlFile); };
    state_.ManifestText = [this] { return ReadControlFile(tavix::kManifestFile); };
    state_.EndSetup = [this] { Close(); };
    state_.StartInstallation = [this] { showsec(); };
    // A start that failed has told why; the setup then ends at its first
    // show instead of leaving the user behind the backdrop.
    if (!ui::Guard([this] { FormCreate(); })) Proceed = false;
}

void TFormain::FormCreate() {
    Proceed = true;
    state_.TempDir = GetTempDir();
    if (IsProductRunning()) {
        int answer = ui::MsgBox(Handle(), tavix::ProductRunningQuestion(), "运行提示",
                                MB_YESNO | MB_ICONWARNING | MB_SYSTEMMODAL);
        if (answer == IDYES)
            TerminateProduct(tavix::kProductWindowClass);
        else
            Proceed = false;
    }
    if (!Proceed) return;
    // All three items are found before any file is written. Each file is
    // made anew, whatever others left at its name, and held open.
    tavix::PayloadItem items[3];
    for (int i = 0; i < 3; ++i)
        items[i] = tavix::FindPayload(tavix::kControlFiles[i].resourceType, tavix::kControlFiles[i].resourceName);
    for (int i = 0; i < 3; ++i)
        held_[i] = tavix::WriteHeldFile(items[i], state_.TempDir + tavix::kControlFiles[i].fileName);
    const std::string problem = tavix::ControlFileProblem(ReadControlFile(tavix::kControlFile));
    if (!problem.empty()) throw tavix::SetupError(problem, tavix::ErrorKind::MissingItem);
    StartThread1();
}

// Read anew on every call, through the handles held since the writing.
std::string TFormain::ReadControlFile(int which) const {
    if (held_[which]) return tavix::ReadHeldFile(held_[which]);
    if (which == tavix::kControlFile) return std::string();
    const std::string path = state_.TempDir + tavix::kControlFiles[which].fileName;
    throw tavix::CannotOpenFile(path, tavix::SystemErrorText(ERROR_FILE_NOT_FOUND));
}

std::string TFormain::GetTempDir() {
    wchar_t buf[255];
    UINT n = GetWindowsDirectoryW(buf, 255);
    std::string path = tavix::G(std::wstring(buf, n < 255 ? n : 0)) + "\\Temp";
    DWORD a = GetFileAttributesW(tavix::W(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY))
        CreateDirectoryW(tavix::W(path).c_str(), nullptr);
    return path + "\\";
}

bool TFormain::IsProductRunning() { return tavix::IsProductRunning(); }

void TFormain::TerminateProduct(const std::string& windowClass) { tavix::TerminateProduct(windowClass); }

// ---- the worker and the hand-off to the wizard --------------------------------------

void TFormain::StartThread1() {
    if (thread1_) return;
    if (!scheduleDone_) scheduleDone_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread1_ = CreateThread(nullptr, 0, &TFormain::Thread1Execute, this, CREATE_SUSPENDED, nullptr);
    if (thread1_) ResumeThread(thread1_);
}

// The synchronized call of ShowChedule: a request posted to the UI thread,
// which serves it from whichever message loop runs, and a wait until it has
// been served. Posted, not sent: the wizard and the installation must not run
// inside a message sent from another thread, where Windows refuses COM calls
// that leave the process (the folder browser and the shell make such calls).
DWORD WINAPI TFormain::Thread1Execute(LPVOID param) {
    auto* self = static_cast<TFormain*>(param);
    if (self->thread1Terminating_) return 0;
    if (PostMessageW(self->Handle(), WM_SHOWCHEDULE, 0, 0)) WaitForSingleObject(self->scheduleDone_, INFINITE);
    return 0;
}

void TFormain::WaitForWorker() {
    if (!thread1_) return;
    InterlockedExchange(&thread1Terminating_, 1);
    // A request that no loop will serve any more is answered here.
    SetEvent(scheduleDone_);
    WaitForSingleObject(thread1_, INFINITE);
    CloseHandle(thread1_);
    thread1_ = nullptr;
}

void TFormain::ShowChedule() {
    // A box shown while the wizard is still being made serves messages: the
    // request waits until the wizard is there.
    if (!wizard_ && !ui::Terminated()) {
        PostMessageW(Handle(), WM_SHOWCHEDULE, 0, 0);
        return;
    }
    struct Served {
        HANDLE done;
        ~Served() { SetEvent(done); }
    } served{scheduleDone_};
    if (wizard_ && !ui::Terminated()) wizard_->ShowModal();
}

void TFormain::showsec() {
    {
        TFormsec sec(state_);
        sec.Create(Handle());
        sec.ShowModal();
    }
    Close();
}

// ---- showing, closing, painting -------------------------------------------------------

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
    for (int i = 0; i < 3; ++i) {
        if (held_[i]) CloseHandle(held_[i]);
        held_[i] = nullptr;
        std::string path = state_.TempDir + tavix::kControlFiles[i].fileName;
        if (FileExists(path)) DeleteFileW(tavix::W(path).c_str());
    }
}

void TFormain::LayoutPanels() {
    // WM_SIZE comes while the window itself is made, before its panels.
    if (!Panel1.Handle() || !Label2) return;
    // The bands keep their heights and take the window's whole width.
    RECT r;
    GetClientRect(Handle(), &r);
    const int titleHeight = ui::Scale(kTitleHeight), footerHeight = ui::Scale(kFooterHeight);
    SetWindowPos(Panel_Title.Handle(), nullptr, 0, 0, r.right, titleHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(Panel1.Handle(), nullptr, 0, r.bottom - footerHeight, r.right, footerHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Panel1Resize();
}

void TFormain::Panel1Resize() {
    // Right-aligned, 32 design units from the right edge.
    RECT panel, label;
    GetClientRect(Panel1.Handle(), &panel);
    GetClientRect(Label2, &label);
    SetWindowPos(Label2, nullptr, panel.right - label.right - ui::Scale(32), ui::Scale(8), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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
