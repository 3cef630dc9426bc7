#include "Unit_Schedule.h"

#include "install/earlier_install.h"
#include "install/folder_checks.h"
#include "install/install_sequence.h"
#include "install/folder_rule.h"
#include "setupdata/errors.h"
#include "setupdata/system_error.h"
#include "setupdata/wide_text.h"
#include "wizard/folder_browser.h"
#include "wizard/product_start.h"
#include "wizard/wizard_ids.h"
#include "wizard/wizard_rules.h"

namespace {

using namespace wizard_ids;

// Posted when the wizard has become the program's active form.
constexpr UINT WM_FORMACTIVATE = WM_APP + 0x40;

const char* const kSerialKey = "Software\\TAVIX\\Shell\\Serial";
const char* const kPathKey = "Software\\TAVIX\\Shell\\PathName";

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesW(tavix::W(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    DWORD a = GetFileAttributesW(tavix::W(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A change of a button's state on entering a page.
enum class Switch : signed char { Keep, Off, On };

struct ButtonChange {
    Switch back = Switch::Keep;
    Switch next = Switch::Keep;
    Switch exit = Switch::Keep;
    const char* nextCaption = nullptr;  // null: kept
    const char* exitCaption = nullptr;
};

void Apply(HWND button, Switch s, const char* caption) {
    if (s != Switch::Keep) ui::SetEnabled(button, s == Switch::On);
    if (caption) ui::SetText(button, caption);
}

}  // namespace

// ---- the pages ----------------------------------------------------------------------

// One row per page of the notebook: the band over it, what entering it does
// and which buttons change. Entering a page turns the notebook, shows the
// band (every page but the welcome page) or the left strip, runs its action
// (an action that fails leaves the band and the buttons as they were), then
// sets the band's texts and the buttons.
struct TFormSchedule::PageSpec {
    bool band;                                      // the top band, else the left strip
    std::string (TFormSchedule::*title)() const;    // band title; null: the band's texts stay
    std::string (TFormSchedule::*subtitle)() const; // band subtitle; null: none is shown
    void (TFormSchedule::*onNext)();                // entered by Next (or by the installation)
    bool (TFormSchedule::*mayLeave)();              // checked before Next leaves it; null: always
    ButtonChange next;                              // ... and the buttons then
    ButtonChange back;                              // entered by Back
};

const TFormSchedule::PageSpec TFormSchedule::kPages[TPageBook::kPageCount] = {
    // 0: welcome
    {false, nullptr, nullptr, nullptr, nullptr, {}, {Switch::Off, Switch::On}},
    // 1: licence agreement
    {true, &TFormSchedule::AgreementTitle, &TFormSchedule::AgreementSubtitle, &TFormSchedule::EnterAgreement,
     nullptr, {Switch::On, Switch::On}, {}},
    // 2: installation folder
    {true, &TFormSchedule::FolderTitle, nullptr, &TFormSchedule::RefreshDriveList, &TFormSchedule::FolderAccepted,
     {}, {Switch::Keep, Switch::On, Switch::Keep, nullptr, tavix::kExitButtonCaption}},
    // 3: ready
    {true, &TFormSchedule::ReadyTitle, &TFormSchedule::ReadySubtitle, &TFormSchedule::EnterReady, nullptr, {},
     {Switch::Keep, Switch::Keep, Switch::On, tavix::kNextCaptionPlain, nullptr}},
    // 4: the hand-over to the installation window; never shown
    {true, nullptr, nullptr, &TFormSchedule::HandOver, nullptr, {}, {}},
    // 5: finish, entered when the installation has completed
    {true, nullptr, nullptr, &TFormSchedule::EnterFinish, nullptr,
     {Switch::Off, Switch::Keep, Switch::Off, tavix::kFinishCaption, nullptr}, {}},
};

std::string TFormSchedule::AgreementTitle() const { return state_.ReadSetupIni("Form", "SQXY"); }
std::string TFormSchedule::AgreementSubtitle() const { return tavix::kAgreementSubtitle; }
std::string TFormSchedule::FolderTitle() const { return tavix::kFolderTitle; }
std::string TFormSchedule::ReadyTitle() const { return tavix::kReadyTitle; }
std::string TFormSchedule::ReadySubtitle() const { return tavix::ReadySubtitle(state_.Caption); }

void TFormSchedule::EnterPage(int page, bool forward) {
    if (page < 0 || page >= TPageBook::kPageCount) return;
    // One press, one page: while the page changes Next and Back are not
    // served, and what the user pressed meanwhile (the second click of a
    // double click, a key pressed twice) is dropped once the page is up.
    struct Turning {
        TFormSchedule& form;
        explicit Turning(TFormSchedule& f) : form(f) { form.turning_ = true; }
        ~Turning() {
            if (form.turning_) ui::DropPendingInput();
            form.turning_ = false;
            // A control of the page left behind, or a button just disabled,
            // does not keep the focus.
            form.KeepFocusInside();
        }
    } turning(*this);
    const PageSpec& entry = kPages[page];
    ScheBook.SetActivePage(page);
    if (entry.band != bandShown_) SetBandShown(entry.band);
    if (forward && entry.onNext) (this->*entry.onNext)();
    if (page == 4) return;  // the installation has run, the setup is ending
    ShowBandTexts(entry);
    const ButtonChange& change = forward ? entry.next : entry.back;
    Apply(btnpri, change.back, nullptr);
    Apply(BtnNext, change.next, change.nextCaption);
    Apply(btnexit, change.exit, change.exitCaption);
}

void TFormSchedule::ShowBandTexts(const PageSpec& entry) {
    if (!entry.band || !entry.title) return;
    ui::SetText(Label4, (this->*entry.title)());
    if (entry.subtitle) ui::SetText(Label5, (this->*entry.subtitle)());
    ui::SetVisible(Label5, entry.subtitle != nullptr);
}

void TFormSchedule::EnterAgreement() {
    LoadAgreement();
    ui::SetChecked(RadioButton1, true);
    ui::SetChecked(RadioButton2, false);
}

void TFormSchedule::EnterReady() { ui::SetText(Label2, tavix::ReadyText(state_.Caption)); }

void TFormSchedule::HandOver() {
    // The installation window runs modally from here and brings the wizard
    // back on its finish page.
    state_.InstallStarted = true;
    ScheBook.SetActivePage(5);
    Hide();
    ui::DropPendingInput();
    ui::ProcessMessages();
    // The wizard has changed: it is gone until the finish page.
    turning_ = false;
    // A folder typed without its final backslash would run into the file
    // names that the installation appends.
    SetEditPath(tavix::HandOverFolder(state_.InstallDir));
    state_.StartInstallation();
}

void TFormSchedule::EnterFinish() {
    ui::MoveBy(Label5, 16, 0);
    ui::SetText(Label5, state_.Caption + " 已经成功安装在您的电脑中");
    ui::SetVisible(Label4, false);
    ui::SetText(Label8, state_.Caption + " 安装完毕.");
}

void TFormSchedule::ShowFinishPage() {
    Show();
    EnterPage(5, true);
}

// ---- messages -----------------------------------------------------------------------

LRESULT TFormSchedule::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    // FormActivate runs when the wizard becomes the program's active form:
    // when its modal show begins and when the installation brings it back.
    // Windows activates it again each time one of its own message boxes or
    // the folder browser closes; those are no forms of the program and do
    // not count. So an activation counts only after the wizard was left for
    // another window of this process that is not a dialog box, or was hidden.
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND other = reinterpret_cast<HWND>(lp);
            DWORD pid = 0;
            if (other) GetWindowThreadProcessId(other, &pid);
            wchar_t cls[64] = {};
            if (other) GetClassNameW(other, cls, 64);
            if (pid == GetCurrentProcessId() && lstrcmpW(cls, L"#32770") != 0) leftForOtherForm_ = true;
        } else if (leftForOtherForm_) {
            leftForOtherForm_ = false;
            // After the activation is complete, as the form's event comes.
            PostMessageW(Handle(), WM_FORMACTIVATE, 0, 0);
        }
        break;
    case WM_SHOWWINDOW:
        if (!wp) leftForOtherForm_ = true;
        break;
    case WM_FORMACTIVATE:
        FormActivate();
        return 0;
    case DM_GETDEFID: {
        // Enter presses the push button that has the focus, else the page's
        // default button: Next, or "完毕" on the finish page.
        HWND focus = GetFocus();
        int id = kBtnNext;
        if (focus && IsChild(Handle(), focus) && (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON))
            id = GetDlgCtrlID(focus);
        return MAKELRESULT(id, DC_HASDEFID);
    }
    case WM_CLOSE:
        FormCloseQuery();
        return 0;
    case WM_SETCURSOR: {
        HWND over = reinterpret_cast<HWND>(wp);
        if (over && (over == BtnNext || over == btnpri || over == btnexit)) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    }
    case WM_DRAWITEM:
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
    }
    return Window::HandleMessage(msg, wp, lp);
}

HWND TFormSchedule::DefaultFocus() const { return BtnNext; }

void TFormSchedule::OnCommand(int id, int code, HWND) {
    if (id == IDCANCEL) {
        // Esc does what the exit button does, while it can be pressed.
        if (IsWindowVisible(btnexit) && IsWindowEnabled(btnexit)) btnexitClick();
        return;
    }
    if (code == BN_CLICKED) {
        switch (id) {
        case kBtnNext: BtnNextClick(); return;
        case kBtnPri: btnpriClick(); return;
        case kBtnExit: btnexitClick(); return;
        case kRadioButton1: RadioButton1Click(); return;
        case kRadioButton2: RadioButton2Click(); return;
        case kChbDesktop: chbdesktopClick(); return;
        case kChbRun: chbrunClick(); return;
        case kButton1: Button1Click(); return;
        }
    }
    if (id == kEditPath && code == EN_CHANGE) Edit_PathChange();
    if (id == kDiskGrid && code == ui::StringGrid::kDblClick) DiskGridDblClick();
}

// ---- handlers ---------------------------------------------------------------------

void TFormSchedule::SetUpKeyboardAndMouse() {
    // The agreement is read, never edited; Tab, Enter and Esc go past it.
    ui::MakeReadOnlyText(Memo1);
    // A double click on Next or Back turns one page.
    ui::IgnoreDoubleClicks(BtnNext);
    ui::IgnoreDoubleClicks(btnpri);
    // Next looks like the default button that it is.
    SendMessageW(BtnNext, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void TFormSchedule::FormCreate() {
    SetUpKeyboardAndMouse();
    state_.SetupRegistry = std::make_unique<ui::Registry>(HKEY_CURRENT_USER);
    bandShown_ = false;
    AlignControls();
    ScheBook.SetActivePage(0);
    state_.InstallStarted = false;
    state_.RunAfterInstall = true;
    state_.CreateDesktopLink = true;
    state_.Caption = state_.ReadSetupIni("Form", "Caption");
    SetCaption(state_.Caption);
}

void TFormSchedule::FormActivate() {
    ui::SetText(Label6, tavix::WelcomeTitle(state_.Caption));
    ui::SetText(Label7, tavix::WelcomeText(state_.Caption));
    if (state_.InstallStarted) return;
    state_.VersionSerial = state_.ReadSetupIni("Form", "Serial");
    std::string installed;
    if (!CheckEarlierInstallation(installed)) return;
    SetEditPath(tavix::OfferedFolder(install::DefaultSetupPath(state_), installed, &FolderExists));
}

bool TFormSchedule::CheckEarlierInstallation(std::string& installed) {
    std::string serial, path;
    {
        ui::Registry registry(HKEY_CURRENT_USER);
        registry.OpenKey(kSerialKey, true);
        serial = registry.ReadString("Serial");
        registry.CloseKey();
        registry.OpenKey(kPathKey, true);
        path = registry.ReadString("Path");
        registry.CloseKey();
    }
    tavix::VersionQuestion question = tavix::CheckEarlierInstall(serial, path, &FileExists, state_.VersionSerial);
    // An earlier release is replaced where it is, not beside it as a second copy.
    if (tavix::HasEarlierInstall(serial, path, &FileExists)) installed = path;
    if (question == tavix::VersionQuestion::None) return true;
    std::string text = question == tavix::VersionQuestion::Reinstall
                           ? tavix::ReinstallMessage(state_.ReadSetupIni("Form", "Caption"))
                           : tavix::OlderVersionMessage();
    if (ui::MessageDlg(text, ui::DlgType::Confirmation, MB_YESNO) == IDYES) return true;
    state_.EndSetup();
    return false;
}

void TFormSchedule::FormCloseQuery() {
    if (!state_.InstallStarted) {
        if (ui::MsgBox(Handle(), tavix::kExitQuestion, tavix::kExitCaption, MB_OKCANCEL) != IDOK) return;
        state_.EndSetup();
    } else if (ui::GetText(BtnNext) == tavix::kFinishCaption) {
        // The finish page closed by its close box or Alt+F4: the setup ends
        // as "完毕" ends it, but nothing is started and Options.ini stays as
        // it is.
        state_.EndSetup();
        return;
    }
    FormClose();
}

void TFormSchedule::FormClose() { Destroy(); }

void TFormSchedule::BtnNextClick() {
    if (turning_) return;
    if (ui::GetText(BtnNext) == tavix::kFinishCaption) {
        Finish();
        return;
    }
    const PageSpec& current = kPages[ScheBook.ActivePage()];
    if (current.mayLeave && !(this->*current.mayLeave)()) return;
    EnterPage(ScheBook.ActivePage() + 1, true);
}

void TFormSchedule::btnpriClick() {
    if (turning_) return;
    EnterPage(ScheBook.ActivePage() - 1, false);
}

void TFormSchedule::LoadAgreement() {
    std::string path = state_.TempDir + "SQXY.txt";
    HANDLE file = CreateFileW(tavix::W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw tavix::CannotOpenFile(path, tavix::SystemErrorText(GetLastError()));
    std::string bytes;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    ui::SetText(Memo1, tavix::MemoText(bytes));
}

void TFormSchedule::btnexitClick() {
    state_.InstallStarted = false;
    if (ui::MessageDlg(tavix::kExitQuestion, ui::DlgType::Confirmation, MB_YESNO) == IDYES) state_.EndSetup();
}

void TFormSchedule::RadioButton1Click() { ui::SetEnabled(BtnNext, true); }
void TFormSchedule::RadioButton2Click() { ui::SetEnabled(BtnNext, false); }
void TFormSchedule::chbdesktopClick() { state_.CreateDesktopLink = ui::IsChecked(chbdesktop); }
void TFormSchedule::chbrunClick() { state_.RunAfterInstall = ui::IsChecked(chbrun); }

void TFormSchedule::Finish() {
    if (state_.RunAfterInstall && state_.InstallStarted) {
        std::string options = state_.InstallDir + "Options.ini";
        bool written = WritePrivateProfileStringW(L"Option", L"Reset", L"88", tavix::W(options).c_str()) != FALSE;
        if (written) install::RecordRewrittenFile(state_.InstallDir, "Options.ini");
        // As the user of the desktop, in its folder, as the desktop shortcut starts it.
        wizard::StartInstalledProgram(Handle(), state_.InstallDir + state_.ReadSetupIni("Run", "FileName"),
                                      state_.InstallDir);
        if (!written) throw tavix::SetupError("Unable to write to " + options);
    }
    state_.EndSetup();
}

// ---- the folder page -------------------------------------------------------------

void TFormSchedule::SetEditPath(const std::string& folder) {
    ui::SetText(Edit_Path, folder);
    state_.InstallDir = folder;
}

// The folder may be used, and the user knows when its drive is short of room.
bool TFormSchedule::FolderAccepted() {
    const std::string folder = ui::GetText(Edit_Path);
    const std::string problem = install::FolderProblem(state_, folder);
    if (!problem.empty()) {
        ui::MsgBox(Handle(), problem, tavix::kFolderBoxCaption, MB_OK | MB_ICONWARNING);
        SetFocus(Edit_Path);
        return false;
    }
    const install::DiskSpace space = install::SpaceFor(state_, folder);
    if (space.Enough()) return true;
    return ui::MsgBox(Handle(), tavix::LowSpaceQuestion(folder[0], space.free, space.needed), tavix::kFolderBoxCaption,
                      MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void TFormSchedule::Edit_PathChange() { state_.InstallDir = ui::GetText(Edit_Path); }

void TFormSchedule::RefreshDriveList() {
    for (int c = 0; c < 3; ++c) DiskGrid.SetColWidth(c, tavix::kDriveColumnWidths[c]);
    std::vector<std::string> drives = wizard::ListDriveRoots();
    if (drives.size() < 2)
        SetEditPath(tavix::SingleDriveFolder(state_.ReadSetupIni("SetupDir", "DirName")));
    else
        state_.InstallDir = ui::GetText(Edit_Path);
    DiskGrid.SetColCount(tavix::kDriveColumns);
    DiskGrid.ClearRows();
    std::vector<tavix::DriveRow> rows;
    for (const std::string& root : drives) {
        ULARGE_INTEGER available = {}, total = {};
        int64_t totalBytes = -1, freeBytes = -1;
        if (GetDiskFreeSpaceExW(tavix::W(root).c_str(), &available, &total, nullptr)) {
            totalBytes = static_cast<int64_t>(total.QuadPart);
            freeBytes = static_cast<int64_t>(available.QuadPart);
        }
        rows.push_back(tavix::MakeDriveRow(root, totalBytes, freeBytes));
    }
    int marked = tavix::MarkInstallDrive(rows, state_.InstallDir, state_.ReadSetupIni("Run", "RJSize"));
    for (const tavix::DriveRow& row : rows) {
        int r = DiskGrid.AddRow();
        for (int c = 0; c < tavix::kDriveColumns; ++c) DiskGrid.SetCell(r, c, row.cells[c]);
    }
    if (marked >= 0) DiskGrid.SetRow(marked);
}

void TFormSchedule::DiskGridDblClick() {
    int row = DiskGrid.Row();
    if (row < 0) return;
    SetEditPath(tavix::SwitchDrive(ui::GetText(Edit_Path), DiskGrid.Cell(row, 0)));
    RefreshDriveList();
}

void TFormSchedule::Button1Click() {
    std::string folder = state_.InstallDir;
    if (!wizard::BrowseForFolder(tavix::kBrowseTitle, folder)) return;
    state_.InstallDir = folder;
    std::string dirName = state_.ReadSetupIni("SetupDir", "DirName");
    std::size_t driveCount = tavix::IsDesktopOrUsersPath(folder) ? wizard::ListDriveRoots().size() : 0;
    tavix::BrowseResult result = tavix::FolderAfterBrowse(folder, dirName, driveCount);
    if (result.warn) ui::MessageDlg(tavix::DesktopFolderWarning(), ui::DlgType::Warning, MB_OK);
    SetEditPath(result.folder);
    RefreshDriveList();
}
