#include "Unit_sec.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>

#include "install/extract_files.h"
#include "install/integration.h"
#include "install/progress.h"
#include "setupdata/errors.h"
#include "setupdata/payload.h"
#include "setupdata/system_error.h"
#include "startup/Unit_main.h"
#include "ui/registry.h"
#include "ui/text.h"
#include "wizard/Unit_Schedule.h"

namespace {

constexpr int kClientWidth = 359;
constexpr int kClientHeight = 205;
constexpr COLORREF kFrameColour = RGB(16, 83, 194);
constexpr int kFrameWidth = 3;
constexpr int kPauseMs = 50;
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1IntervalMs = 1000;
// Posted on the first activation; the sequence runs when it arrives.
constexpr UINT WM_RUNINSTALL = WM_APP + 20;
// The system's file-copy clip in shell32 and the frames it plays (0-based).
constexpr WORD kAviCopyFiles = 160;
constexpr int kStopFrame = 31;

enum ControlId { IdAms = 100, IdLbls, IdPgbs, IdBtncel, IdLabel1, IdLabel2, IdBtnok };

// Thrown at a yield point when the setup is ending; RunInstall catches it.
struct SequenceStopped {};

// Reads the manifest copy whole; others may read it meanwhile but not write.
std::string LoadManifestText(const std::string& path) {
    HANDLE h = CreateFileW(ui::W(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw tavix::CannotOpenFile(path, tavix::SystemErrorText(GetLastError()));
    std::string text;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(h, &size) && size.QuadPart < 0x10000000;
    if (ok && size.QuadPart > 0) {
        text.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD got = 0;
        ok = ReadFile(h, &text[0], static_cast<DWORD>(text.size()), &got, nullptr) && got == text.size();
    }
    CloseHandle(h);
    if (!ok) throw tavix::SetupError("Stream read error");
    return text;
}

HKEY RootKey(tavix::RegRoot root) {
    return root == tavix::RegRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
}

// Releases a COM interface when it goes out of scope.
template <class T>
struct ComRef {
    T* p = nullptr;
    ~ComRef() {
        if (p) p->Release();
    }
};

} // namespace

TFormsec::~TFormsec() {
    if (Handle()) KillTimer(Handle(), kTimer1);
    if (font_) DeleteObject(font_);
}

void TFormsec::Create(HWND owner) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    font_ = ui::MakeFont("MS Sans Serif", 11, false, false, DEFAULT_CHARSET);
    // Borderless, so the window is its client area; centred on the desktop.
    int x = (GetSystemMetrics(SM_CXSCREEN) - kClientWidth) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - kClientHeight) / 2;
    CreateWin(L"TFormsec", 0, WS_POPUP | WS_CLIPCHILDREN, "安装", x, y, kClientWidth, kClientHeight, owner,
              RGB(255, 255, 255));
    HWND self = Handle();
    SendMessageW(self, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

    ams = ui::MakeControl(self, ANIMATE_CLASSW, std::string(), ACS_TRANSPARENT | ACS_CENTER, 40, 12, 272, 60, IdAms,
                          font_);
    lbls = ui::MakeControl(self, L"Static", tavix::kStatusStarting, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 40, 92, 269, 13,
                           IdLbls, font_);
    pgbs = ui::MakeControl(self, PROGRESS_CLASSW, std::string(), 0, 40, 112, 277, 17, IdPgbs, font_);
    SendMessageW(pgbs, PBM_SETRANGE32, 0, tavix::bar::kMax);
    SendMessageW(pgbs, PBM_SETPOS, 0, 0);
    btncel = ui::MakeControl(self, L"Button", "取消", BS_PUSHBUTTON | WS_TABSTOP, 132, 156, 89, 25, IdBtncel, font_);

    pnlok.Create(self, 0, 0, kClientWidth, kClientHeight, RGB(255, 255, 255), RGB(0, 0, 0), font_);
    Label1 = ui::MakeLabel(pnlok.Handle(), "... 安装完毕！", 40, 60, font_, IdLabel1);
    Label2 = ui::MakeLabel(pnlok.Handle(), "点击“完成”退出安装程序", 40, 90, font_, IdLabel2);
    btnok = ui::MakeControl(pnlok.Handle(), L"Button", "完成", BS_PUSHBUTTON | WS_TABSTOP, 132, 156, 89, 25, IdBtnok,
                            font_);
    ui::SetVisible(pnlok.Handle(), false);

    ui::Guard([this] { FormCreate(); });
}

void TFormsec::FormCreate() {
    // The clip plays from the first frame to the stop frame, over and over.
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    if (SendMessageW(ams, ACM_OPENW, reinterpret_cast<WPARAM>(shell),
                     reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(kAviCopyFiles)))) {
        // A system whose clip is shorter than the stop frame plays it whole.
        if (!SendMessageW(ams, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, kStopFrame - 1)))
            SendMessageW(ams, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF));
    }
    Finished = false;
}

void TFormsec::FormActivate() {
    if (activated_) return;
    activated_ = true;
    ExeName = Formain->ReadSetupIni("Run", "FileName");
    // The sequence runs from the window's own message loop, not inside the
    // activation that the modal show is still making.
    PostMessageW(Handle(), WM_RUNINSTALL, 0, 0);
}

// ---- the sequence ------------------------------------------------------------

void TFormsec::YieldToUser() {
    ui::ProcessMessages();
    if (stop_ || ui::Terminated() || !Handle()) throw SequenceStopped{};
}

void TFormsec::SetStatus(const std::string& text) { ui::SetText(lbls, text); }
void TFormsec::SetBar(int position) { SendMessageW(pgbs, PBM_SETPOS, position, 0); }
void TFormsec::Pause() { Sleep(kPauseMs); }

void TFormsec::RunInstall() {
    namespace bar = tavix::bar;
    running_ = true;
    struct Running {
        bool& flag;
        ~Running() { flag = false; }
    } running{running_};
    try {
        // 1. The manifest's line list is made by the loop (step 7).
        YieldToUser();
        SetBar(bar::kStart);
        // 2-3.
        tavix::PayloadItem exe = tavix::FindPayload("exename", "FileExe");
        const std::string& dir = Formain->InstallDir;
        SetStatus(tavix::StatusPathText(dir, ExeName));
        // 4.
        if (!EnsureMainDir(dir)) return;
        // 5. A failed write means, as a rule, that the product runs from there.
        try {
            tavix::WritePayload(exe, dir + ExeName);
        } catch (const std::exception&) {
            ui::MsgBox(Handle(), tavix::kProductLockedMessage, ui::AppTitle(), MB_OK);
            if (FormSchedule) FormSchedule->InstallStarted = false;
            stop_ = true;
            Formain->Close();
            return;
        }
        // 6.
        SetBar(bar::kMainProgram);
        Pause();
        // 7.
        RunManifest();
        // 8.
        SetStatus(tavix::kStatusUninstaller);
        RegisterUninstaller();
        SetBar(bar::kUninstaller);
        Pause();
        YieldToUser();
        // 9.
        SetStatus(tavix::kStatusDesktopLink);
        MakeDesktopLink();
        SetBar(bar::kDesktopLink);
        Pause();
        // 10.
        SetStatus(tavix::kStatusProgramGroup);
        MakeProgramGroup();
        SetBar(bar::kProgramGroup);
        Pause();
        // 11.
        SetStatus(tavix::kStatusRegInfo);
        YieldToUser();
        WriteRegInfo(tavix::kDocumentExt, tavix::kClassKey, tavix::kIconIndex, Formain->InstallDir + ExeName,
                     FormSchedule ? FormSchedule->Caption() : std::string());
        SetBar(bar::kRegInfo);
        Pause();
        // 12.
        SetStatus(std::string());
        ui::SetVisible(lbls, false);
        YieldToUser();
        Finished = true;
        SetTimer(Handle(), kTimer1, kTimer1IntervalMs, nullptr);
    } catch (const SequenceStopped&) {
        // The setup is ending; nothing more is done and nothing is undone.
    }
}

bool TFormsec::EnsureMainDir(const std::string& Dir) {
    return EnsureFolder(Dir, tavix::kStatusMainFolder, tavix::MainFolderFailedText(Dir));
}

// Makes `full` with its missing parents, showing `status` while it does; a
// folder that cannot be made is reported with `failure`.
bool TFormsec::EnsureFolder(const std::string& full, const std::string& status, const std::string& failure) {
    if (tavix::FolderExists(full)) return true;
    SetStatus(status);
    bool created = false;
    try {
        created = tavix::MakeFolders(full);
    } catch (...) {
        created = false;
    }
    if (!created) ui::MessageDlg(failure, ui::DlgType::Error, MB_OK);
    return created;
}

void TFormsec::RunManifest() {
    // The line list lives in this frame, so it goes also when an error escapes.
    const std::vector<std::string> lines =
        tavix::SplitManifestLines(LoadManifestText(Formain->TempDir + "avixSetup.log"));
    YieldToUser();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // A line that would write outside the installation folder ends the walk.
        const tavix::ManifestEntry entry =
            tavix::EntryInsideFolder(lines[i], static_cast<int>(i), Formain->InstallDir);
        if (EnsureSubDir(tavix::ManifestFolderPart(entry.TargetPath))) ExtractEntry(entry);
    }
}

bool TFormsec::EnsureSubDir(const std::string& RelDir) {
    YieldToUser();
    return EnsureFolder(Formain->InstallDir + RelDir, tavix::CreatingFolderStatus(RelDir),
                        tavix::SubFolderFailedText(RelDir));
}

void TFormsec::ExtractEntry(const tavix::ManifestEntry& entry) {
    SetStatus(tavix::StatusPathText(Formain->InstallDir, entry.TargetPath));
    YieldToUser();
    tavix::ExtractPayloadEntry(entry, Formain->InstallDir);
    SetBar(tavix::bar::ForEntry(entry.LineIndex));
    Pause();
}

// ---- shell and registry ----------------------------------------------------------

void TFormsec::RegisterUninstaller() {
    std::unique_ptr<ui::Registry> own;
    ui::Registry* reg = SetupRegistry;
    if (!reg) {
        own = std::make_unique<ui::Registry>(HKEY_CURRENT_USER);
        reg = own.get();
    }
    reg->CloseKey();
    struct CloseKeyAtEnd {
        ui::Registry* r;
        ~CloseKeyAtEnd() { r->CloseKey(); }
    } closeAtEnd{reg};
    reg->OpenKey(tavix::kUninstallKey, true);
    for (const tavix::RegValue& v : tavix::UninstallValues(Formain->InstallDir, Formain->VersionSerial))
        reg->WriteString(v.name, v.value);
    tavix::PayloadItem item = tavix::FindPayload("exename", "uninstall");
    tavix::WritePayload(item, Formain->InstallDir + tavix::kUninstallerFile);
}

void TFormsec::MakeDesktopLink() {
    const std::string target = Formain->InstallDir + ExeName;
    ComRef<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link.p));
    if (FAILED(hr) || !link.p) throw tavix::SetupError(tavix::SystemErrorText(static_cast<unsigned long>(hr)));
    ComRef<IPersistFile> file;
    hr = link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p));
    if (FAILED(hr) || !file.p) throw tavix::SetupError("Interface not supported");

    link.p->SetPath(ui::W(target).c_str());
    link.p->SetWorkingDirectory(ui::W(tavix::FolderWithBackslash(target)).c_str());
    if (!CreateDesktopLink) return;

    wchar_t desktop[MAX_PATH + 1] = {};
    LPITEMIDLIST pidl = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, &pidl)) && pidl) {
        if (!SHGetPathFromIDListW(pidl, desktop)) desktop[0] = 0;
        CoTaskMemFree(pidl);
    }
    const std::string linkName = Formain->ReadSetupIni("Form", "desKtopLink");
    if (!desktop[0] || linkName.empty()) return;
    const std::wstring linkFile = std::wstring(desktop) + ui::W(linkName);
    file.p->Save(linkFile.c_str(), FALSE);
}

void TFormsec::MakeProgramGroup() {
    if (!FormSchedule) return;
    install::DdeClientConv& dde = FormSchedule->DdeClientConv1;
    struct CloseAtEnd {
        install::DdeClientConv& d;
        ~CloseAtEnd() { d.CloseLink(); }
    } closeAtEnd{dde};
    dde.SetLink("ProgMan", "ProgMan");
    if (!dde.OpenLink()) return;
    for (const std::string& command :
         tavix::ProgramGroupCommands(Formain->InstallDir, ExeName, FormSchedule->Caption()))
        dde.ExecuteMacro(command);
}

void TFormsec::WriteRegInfo(const std::string& Ext, const std::string& ClassKey, int IconIndex,
                            const std::string& Target, const std::string& Description) {
    ui::Registry reg(HKEY_CLASSES_ROOT);
    auto write = [&reg](const tavix::RegValue& v) {
        reg.SetRoot(RootKey(v.root));
        reg.OpenKey(v.key, true);
        reg.WriteString(v.name, v.value);
        reg.CloseKey();
    };
    for (const tavix::RegValue& v : tavix::AssociationValues(Ext, ClassKey, IconIndex, Target, Description)) write(v);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    const std::string serial = Formain->ReadSetupIni("Form", "Serial");
    const std::string version = Formain->ReadSetupIni("Form", "Version");
    for (const tavix::RegValue& v : tavix::ApplicationValues(ClassKey, Target, serial, version)) write(v);
}

// ---- cancel and hand-over ------------------------------------------------------

void TFormsec::btncelClick() {
    if (ui::MsgBox(Handle(), tavix::kCancelQuestion, tavix::kCancelCaption, MB_OKCANCEL) != IDOK) return;
    stop_ = true;
    if (FormSchedule) FormSchedule->InstallStarted = false;
    Formain->Close();
}

void TFormsec::Timer1Timer() {
    KillTimer(Handle(), kTimer1);
    if (!Finished || !FormSchedule) return;
    TFormSchedule& wizard = *FormSchedule;
    const std::string caption = wizard.Caption();
    wizard.InstallStarted = true;
    wizard.Show();
    wizard.ScheBook.SetActivePage(5);
    if (wizard.Label5) {
        RECT r = ui::BoundsInParent(wizard.Label5);
        ui::MoveTo(wizard.Label5, r.left + 16, r.top);
        ui::SetText(wizard.Label5, caption + " 已经成功安装在您的电脑中");
    }
    ui::SetVisible(wizard.Label4, false);
    ui::SetText(wizard.BtnNext, "完毕");
    ui::SetText(wizard.Label8, caption + " 安装完毕.");
    ui::SetEnabled(wizard.btnpri, false);
    ui::SetEnabled(wizard.btnexit, false);
}

// ---- messages --------------------------------------------------------------------

void TFormsec::PaintFrame(HDC dc) {
    // A rectangle of pen width 3 around the client area, white inside.
    HPEN pen = CreatePen(PS_SOLID, kFrameWidth, kFrameColour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    const int half = kFrameWidth / 2;
    Rectangle(dc, half, half, half + kClientWidth - kFrameWidth + 1, half + kClientHeight - kFrameWidth + 1);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

LRESULT TFormsec::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        PaintFrame(dc);
        EndPaint(Handle(), &ps);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE) FormActivate();
        break;
    case WM_RUNINSTALL:
        RunInstall();
        return 0;
    case WM_TIMER:
        if (wp == kTimer1) Timer1Timer();
        return 0;
    case WM_CLOSE:
        // Closing the window is a cancel and asks the same question.
        btncelClick();
        return 0;
    }
    return Window::HandleMessage(msg, wp, lp);
}

void TFormsec::OnCommand(int id, int code, HWND) {
    if (id == IdBtncel && code == BN_CLICKED) btncelClick();
}
