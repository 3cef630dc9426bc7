#include "Unit_Schedule.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "setupdata/errors.h"
#include "setupdata/system_error.h"
#include "startup/Unit_main.h"
#include "ui/text.h"
#include "wizard/wizard_ids.h"
#include "wizard/wizard_rules.h"

TFormSchedule* FormSchedule = nullptr;
bool CreateDesktopLink = true;
bool RunAfterInstall = true;
ui::Registry* SetupRegistry = nullptr;

namespace {

using namespace wizard_ids;

constexpr int kClientWidth = 526;
constexpr int kClientHeight = 352;
constexpr int kTopBandHeight = 57;
constexpr int kLeftStripWidth = 156;
constexpr int kSeparatorHeight = 2;
constexpr int kButtonBarHeight = 46;
constexpr int kButtonBarTop = kClientHeight - kButtonBarHeight;
constexpr int kSeparatorTop = kButtonBarTop - kSeparatorHeight;

// Posted when the wizard has become the program's active form.
constexpr UINT WM_FORMACTIVATE = WM_APP + 0x40;

const char* const kSerialKey = "Software\\TAVIX\\Shell\\Serial";
const char* const kPathKey = "Software\\TAVIX\\Shell\\PathName";

COLORREF BtnFace() { return GetSysColor(COLOR_BTNFACE); }

void SetId(HWND w, int id) { SetWindowLongPtrW(w, GWLP_ID, id); }

void AddStyle(HWND w, LONG style) { SetWindowLongW(w, GWL_STYLE, GetWindowLongW(w, GWL_STYLE) | style); }

// Width of a check box or radio button that shows its whole text.
int CheckBoxWidth(HWND parent, HFONT font, const std::string& text) {
    std::wstring t = ui::W(text);
    HDC dc = GetDC(parent);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE s = {0, 0};
    GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &s);
    SelectObject(dc, old);
    ReleaseDC(parent, dc);
    return s.cx + GetSystemMetrics(SM_CXMENUCHECK) + 8;
}

HWND MakeCheck(HWND parent, const std::string& text, DWORD kind, int x, int y, int id, HFONT font) {
    return ui::MakeControl(parent, L"Button", text, kind | WS_TABSTOP, x, y, CheckBoxWidth(parent, font, text), 17,
                           id, font);
}

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesW(ui::W(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// ---- the folder browser ---------------------------------------------------------

// Disables the program's enabled, visible windows while a box of the shell is
// open, and enables them again when it goes.
class TaskWindowsDisabled {
public:
    TaskWindowsDisabled() { EnumThreadWindows(GetCurrentThreadId(), &Disable, reinterpret_cast<LPARAM>(&windows_)); }
    ~TaskWindowsDisabled() {
        for (HWND w : windows_)
            if (IsWindow(w)) EnableWindow(w, TRUE);
    }
    TaskWindowsDisabled(const TaskWindowsDisabled&) = delete;
    TaskWindowsDisabled& operator=(const TaskWindowsDisabled&) = delete;

private:
    static BOOL CALLBACK Disable(HWND w, LPARAM lp) {
        if (IsWindowVisible(w) && IsWindowEnabled(w)) {
            EnableWindow(w, FALSE);
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
        }
        return TRUE;
    }
    std::vector<HWND> windows_;
};

class CriticalErrorsSuppressed {
public:
    CriticalErrorsSuppressed() : old_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorsSuppressed() { SetErrorMode(old_); }
    CriticalErrorsSuppressed(const CriticalErrorsSuppressed&) = delete;
    CriticalErrorsSuppressed& operator=(const CriticalErrorsSuppressed&) = delete;

private:
    UINT old_;
};

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED) {
        const std::wstring& folder = *reinterpret_cast<const std::wstring*>(data);
        if (DirectoryExists(folder))
            SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
    }
    return 0;
}

// The shell's folder browser, rooted at the desktop and limited to file-system
// folders, opened on `folder` when it exists. On OK `folder` becomes the
// chosen path and the result is true.
bool BrowseForFolder(const std::string& title, std::string& folder) {
    std::wstring wtitle = ui::W(title), initial = ui::W(folder);
    BROWSEINFOW bi = {};
    bi.hwndOwner = ui::AppWindow();
    bi.lpszTitle = wtitle.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    bi.lpfn = &BrowseCallback;
    bi.lParam = reinterpret_cast<LPARAM>(&initial);
    PIDLIST_ABSOLUTE item;
    {
        TaskWindowsDisabled disabled;
        CriticalErrorsSuppressed quiet;
        item = SHBrowseForFolderW(&bi);
    }
    if (!item) return false;
    wchar_t path[MAX_PATH] = {};
    bool ok = SHGetPathFromIDListW(item, path) != FALSE;
    IMalloc* malloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&malloc)) && malloc) {
        malloc->Free(item);
        malloc->Release();
    }
    if (ok) folder = ui::G(path);
    return ok;
}

// ---- drawing ---------------------------------------------------------------------

void FillGradient(HDC dc, const RECT& r, COLORREF from, COLORREF to) {
    int width = r.right - r.left;
    for (int i = 0; i < width; ++i) {
        auto mix = [&](int a, int b) { return a + (b - a) * i / std::max(1, width - 1); };
        COLORREF c = RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
                         mix(GetBValue(from), GetBValue(to)));
        HBRUSH brush = CreateSolidBrush(c);
        RECT line = {r.left + i, r.top, r.left + i + 1, r.bottom};
        FillRect(dc, &line, brush);
        DeleteObject(brush);
    }
}

}  // namespace

// ---- the notebook -----------------------------------------------------------------

void TPageBook::SetActivePage(int index) {
    if (index < 0 || index >= kPageCount) return;
    active_ = index;
    for (int i = 0; i < kPageCount; ++i)
        if (pages_[i].Handle()) ShowWindow(pages_[i].Handle(), i == index ? SW_SHOWNA : SW_HIDE);
}

// ---- creation and layout ----------------------------------------------------------

TFormSchedule::~TFormSchedule() {
    Destroy();
    for (HFONT f : {formFont_, titleFont_, gridFont_})
        if (f) DeleteObject(f);
    for (HBITMAP b : {leftPicture_, topPicture_})
        if (b) DeleteObject(b);
}

void TFormSchedule::Create(HWND owner) {
    formFont_ = ui::MakeFont("Tahoma", 12);
    titleFont_ = ui::MakeFont("宋体", 14, true);
    gridFont_ = ui::MakeFont("宋体", 12);
    leftPicture_ = static_cast<HBITMAP>(
        LoadImageW(ui::Instance(), L"IMAGLEFT", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    topPicture_ = static_cast<HBITMAP>(
        LoadImageW(ui::Instance(), L"IMAGTOP", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));

    // A dialog frame around a 526 x 352 client area, centred on the desktop.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    RECT r = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    int width = r.right - r.left, height = r.bottom - r.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    CreateWin(L"TFormSchedule", exStyle, style, std::string(), x, y, width, height, owner, RGB(255, 255, 255));
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), FALSE);
    CreateControls();
    ui::Guard([this] { FormCreate(); });
}

void TFormSchedule::CreateControls() {
    HWND form = Handle();
    ImagLeft.Create(form, 0, 0, kLeftStripWidth, kSeparatorTop, RGB(38, 138, 222), RGB(0, 0, 0), formFont_);
    SetId(ImagLeft.Handle(), kImagLeft);
    if (leftPicture_) ImagLeft.SetPicture(leftPicture_, 0, 0);

    Panel_Top.Create(form, 0, 0, kClientWidth, kTopBandHeight, RGB(255, 255, 255), RGB(0, 0, 0), formFont_);
    SetId(Panel_Top.Handle(), kPanelTop);
    if (topPicture_) Panel_Top.SetPicture(topPicture_, -9, 3);
    Label4 = ui::MakeAutoLabel(Panel_Top.Handle(), std::string(), 16, 12, titleFont_, kLabel4);
    Label5 = ui::MakeAutoLabel(Panel_Top.Handle(), std::string(), 16, 32, formFont_, kLabel5);

    for (int i = 0; i < TPageBook::kPageCount; ++i) {
        ui::Panel& page = ScheBook.pages_[i];
        page.Create(form, 0, kTopBandHeight, kClientWidth, kSeparatorTop - kTopBandHeight, BtnFace(), RGB(0, 0, 0),
                    formFont_);
        SetId(page.Handle(), kPage0 + i);
        AddStyle(page.Handle(), WS_CLIPCHILDREN);
        SetWindowLongW(page.Handle(), GWL_EXSTYLE, GetWindowLongW(page.Handle(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    }
    CreatePage0();
    CreatePage1();
    CreatePage2();
    CreatePage3();
    CreatePage5();

    Panel3.Create(form, 0, kSeparatorTop, kClientWidth, kSeparatorHeight, BtnFace(), RGB(0, 0, 0), formFont_);
    SetId(Panel3.Handle(), kPanel3);
    Panel3.SetEdge(BDR_SUNKENOUTER);

    RzPanel1.Create(form, 0, kButtonBarTop, kClientWidth, kButtonBarHeight, BtnFace(), RGB(0, 0, 0), formFont_);
    SetId(RzPanel1.Handle(), kButtonBar);
    SetWindowLongW(RzPanel1.Handle(), GWL_EXSTYLE,
                   GetWindowLongW(RzPanel1.Handle(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    HWND bar = RzPanel1.Handle();
    btnpri = ui::MakeControl(bar, L"Button", tavix::kBackCaption, BS_PUSHBUTTON | WS_TABSTOP, 252, 11, 77, 23, kBtnPri,
                             formFont_);
    BtnNext = ui::MakeControl(bar, L"Button", tavix::kNextCaption, BS_PUSHBUTTON | WS_TABSTOP, 340, 11, 77, 23,
                              kBtnNext, formFont_);
    btnexit = ui::MakeControl(bar, L"Button", tavix::kExitButtonCaption, BS_PUSHBUTTON | WS_TABSTOP, 428, 11, 77, 23,
                              kBtnExit, formFont_);
    ui::SetEnabled(btnpri, false);
}

void TFormSchedule::CreatePage0() {
    HWND page = ScheBook.pages_[0].Handle();
    RECT r;
    GetClientRect(page, &r);
    Panel1.Create(page, 0, 0, r.right, r.bottom, RGB(255, 255, 255), RGB(0, 0, 0), formFont_);
    SetId(Panel1.Handle(), kPanel1);
    Label6 = ui::MakeAutoLabel(Panel1.Handle(), std::string(), 24, 22, titleFont_, kLabel6);
    Label7 = ui::MakeAutoLabel(Panel1.Handle(), std::string(), 24, 66, formFont_, kLabel7, 288);
}

void TFormSchedule::CreatePage1() {
    HWND page = ScheBook.pages_[1].Handle();
    Memo1 = ui::MakeControl(page, L"Edit", std::string(),
                            ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP | WS_GROUP, 13,
                            16, 488, 169, kMemo1, formFont_);
    SendMessageW(Memo1, EM_SETLIMITTEXT, 0, 0);
    RadioButton1 = MakeCheck(page, "我同意以上条款", BS_AUTORADIOBUTTON | WS_GROUP, 24, 198, kRadioButton1, formFont_);
    RadioButton2 = MakeCheck(page, "我不同意以上条款", BS_AUTORADIOBUTTON, 24, 220, kRadioButton2, formFont_);
    ui::SetChecked(RadioButton1, true);
}

void TFormSchedule::CreatePage2() {
    ui::Panel& pagePanel = ScheBook.pages_[2];
    HWND page = pagePanel.Handle();
    Label3 = ui::MakeAutoLabel(page, "请选择安装路径及文件夹，然后点击“下一步”", 20, 22, formFont_, kLabel3);
    Edit_Path = ui::MakeControl(page, L"Edit", std::string(), ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, 20, 48, 385, 22,
                                kEditPath, formFont_, WS_EX_CLIENTEDGE);
    Button1 = ui::MakeControl(page, L"Button", "浏览", BS_PUSHBUTTON | WS_TABSTOP, 416, 45, 73, 25, kButton1,
                              formFont_);
    Label1 = ui::MakeAutoLabel(page, "磁盘空间(双击鼠标选择)", 20, 80, formFont_, kLabel1);
    struct Pane { int x, width, height; const char* text; };
    const Pane panes[5] = {{17, 53, 18, "卷标"}, {67, 83, 18, "磁盘大小"}, {147, 83, 18, "可用空间"},
                           {227, 70, 18, "使用"}, {294, 113, 19, " 剩余空间"}};
    for (int i = 0; i < 5; ++i)
        RzFieldStatus[i] = ui::MakeControl(page, L"Static", panes[i].text, SS_OWNERDRAW, panes[i].x, 102,
                                           panes[i].width, panes[i].height, kFieldStatus1 + i, formFont_);
    DiskGrid.Create(page, 19, 122, 386, 89, gridFont_, kDiskGrid, 14);
    DiskGrid.SetColCount(tavix::kDriveColumns);
    DiskGrid.SetHint("双击鼠标选择磁盘名称（卷标）");
    chbdesktop = MakeCheck(page, "创建桌面快捷方式", BS_AUTOCHECKBOX | WS_GROUP, 22, 219, kChbDesktop, formFont_);
    ui::SetChecked(chbdesktop, true);
    pagePanel.SetPaintHandler([this](HDC dc) { PaintFolderPage(dc); });
}

void TFormSchedule::CreatePage3() {
    Label2 = ui::MakeAutoLabel(ScheBook.pages_[3].Handle(), std::string(), 40, 56, formFont_, kLabel2);
}

void TFormSchedule::CreatePage5() {
    HWND page = ScheBook.pages_[5].Handle();
    RECT r;
    GetClientRect(page, &r);
    Panel2.Create(page, 0, 0, r.right, r.bottom, RGB(255, 255, 255), RGB(0, 0, 0), formFont_);
    SetId(Panel2.Handle(), kPanel2);
    Label8 = ui::MakeAutoLabel(Panel2.Handle(), "... 安装完毕", 88, 22, titleFont_, kLabel8);
    Label9 = ui::MakeAutoLabel(Panel2.Handle(), "请点击“完毕”按钮退出安装程序。", 88, 54, formFont_, kLabel9);
    chbrun = MakeCheck(Panel2.Handle(), "运行软件", BS_AUTOCHECKBOX | WS_TABSTOP, 92, 106, kChbRun, formFont_);
    ui::SetChecked(chbrun, true);
}

// The top band and the left strip take their edges of the client area; the
// notebook fills what is left above the separator.
void TFormSchedule::AlignControls() {
    int top = topBandVisible_ ? kTopBandHeight : 0;
    int left = leftStripVisible_ ? kLeftStripWidth : 0;
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(ImagLeft.Handle(), nullptr, 0, top, kLeftStripWidth, kSeparatorTop - top, flags);
    for (int i = 0; i < TPageBook::kPageCount; ++i)
        SetWindowPos(ScheBook.pages_[i].Handle(), nullptr, left, top, kClientWidth - left, kSeparatorTop - top, flags);
    SetWindowPos(Panel1.Handle(), nullptr, 0, 0, kClientWidth - left, kSeparatorTop - top, flags);
    SetWindowPos(Panel2.Handle(), nullptr, 0, 0, kClientWidth - left, kSeparatorTop - top, flags);
    ui::SetVisible(Panel_Top.Handle(), topBandVisible_);
    ui::SetVisible(ImagLeft.Handle(), leftStripVisible_);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TFormSchedule::SetTopBandVisible(bool visible) {
    topBandVisible_ = visible;
    AlignControls();
}

void TFormSchedule::SetLeftStripVisible(bool visible) {
    leftStripVisible_ = visible;
    AlignControls();
}

void TFormSchedule::PaintFolderPage(HDC dc) {
    // RzSeparator1: a gradient rule that ends in the highlight colour.
    RECT upper = {27, 96, 27 + 377, 97};
    FillGradient(dc, upper, GetSysColor(COLOR_BTNSHADOW), RGB(17, 122, 217));
    RECT lower = {27, 97, 27 + 377, 98};
    FillRect(dc, &lower, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
    // Shape1: the frame around the grid.
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, 18, 121, 18 + 388, 121 + 92);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
}

void TFormSchedule::DrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlID < static_cast<UINT>(kFieldStatus1) || item.CtlID >= static_cast<UINT>(kFieldStatus1 + 5)) return;
    // A flat header pane in the inactive-caption gradient colour.
    RECT r = item.rcItem;
    FillGradient(item.hDC, r, GetSysColor(COLOR_GRADIENTINACTIVECAPTION), GetSysColor(COLOR_GRADIENTINACTIVECAPTION));
    HBRUSH frame = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
    FrameRect(item.hDC, &r, frame);
    DeleteObject(frame);
    std::wstring text = ui::W(ui::GetText(item.hwndItem));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ old = SelectObject(item.hDC, formFont_);
    RECT t = r;
    t.left += 3;
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &t,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, old);
}

// ---- messages -----------------------------------------------------------------------

LRESULT TFormSchedule::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
            // Another form of the program takes over (a box or the folder
            // browser is no form of its own).
            HWND other = reinterpret_cast<HWND>(lp);
            DWORD pid = 0;
            if (other) GetWindowThreadProcessId(other, &pid);
            wchar_t cls[64] = {};
            if (other) GetClassNameW(other, cls, 64);
            if (pid == GetCurrentProcessId() && lstrcmpW(cls, L"#32770") != 0) leftForOtherForm_ = true;
        } else if (leftForOtherForm_) {
            leftForOtherForm_ = false;
            PostMessageW(Handle(), WM_FORMACTIVATE, 0, 0);
        }
        break;
    case WM_SHOWWINDOW:
        // Hidden for the installation: showing it again activates it anew.
        if (!wp) leftForOtherForm_ = true;
        break;
    case WM_FORMACTIVATE:
        FormActivate();
        return 0;
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

void TFormSchedule::OnCommand(int id, int code, HWND) {
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

void TFormSchedule::FormCreate() {
    SetupRegistry = new ui::Registry(HKEY_CURRENT_USER);
    topBandVisible_ = false;
    leftStripVisible_ = true;
    AlignControls();
    ScheBook.SetActivePage(0);
    InstallStarted = false;
    RunAfterInstall = true;
    CreateDesktopLink = true;
    SetCaption(Formain->ReadSetupIni("Form", "Caption"));
}

void TFormSchedule::FormActivate() {
    std::string caption = Caption();
    ui::SetText(Label6, tavix::WelcomeTitle(caption));
    ui::SetText(Label7, tavix::WelcomeText(caption));
    if (InstallStarted) return;
    Formain->VersionSerial = Formain->ReadSetupIni("Form", "Serial");
    if (!CheckEarlierInstallation()) return;
    SetEditPath(tavix::PresetFolder(Formain->ReadSetupIni("SetupDir", "SetupPath")));
}

bool TFormSchedule::CheckEarlierInstallation() {
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
    tavix::VersionQuestion question =
        tavix::CheckEarlierInstall(serial, path, &FileExists, Formain->VersionSerial);
    if (question == tavix::VersionQuestion::None) return true;
    std::string text = question == tavix::VersionQuestion::Reinstall
                           ? tavix::ReinstallMessage(Formain->ReadSetupIni("Form", "Caption"))
                           : tavix::OlderVersionMessage();
    if (ui::MessageDlg(text, ui::DlgType::Confirmation, MB_YESNO) == IDYES) return true;
    Formain->Close();
    return false;
}

void TFormSchedule::FormCloseQuery() {
    if (!InstallStarted) {
        if (ui::MsgBox(Handle(), tavix::kExitQuestion, tavix::kExitCaption, MB_OKCANCEL) != IDOK) return;
        Formain->Close();
    }
    FormClose();
}

void TFormSchedule::FormClose() { Destroy(); }

void TFormSchedule::BtnNextClick() {
    if (ui::GetText(BtnNext) == tavix::kFinishCaption) {
        Finish();
        return;
    }
    ScheBook.SetActivePage(ScheBook.ActivePage() + 1);
    int page = ScheBook.ActivePage();
    if (page > 0) {
        leftStripVisible_ = false;
        topBandVisible_ = true;
        AlignControls();
    }
    switch (page) {
    case 1:
        LoadAgreement();
        ui::SetChecked(RadioButton1, true);
        ui::SetChecked(RadioButton2, false);
        ui::SetEnabled(BtnNext, true);
        ShowAgreementBand();
        break;
    case 2:
        ShowFolderBand();
        RefreshDriveList();
        break;
    case 3: {
        std::string caption = Caption();
        ui::SetText(Label4, tavix::kReadyTitle);
        ui::SetText(Label2, tavix::ReadyText(caption));
        ui::SetText(Label5, tavix::ReadySubtitle(caption));
        ui::SetVisible(Label5, true);
        break;
    }
    case 4:
        // The hand-over: the installation window runs modally from here and
        // brings the wizard back on its finish page.
        InstallStarted = true;
        ScheBook.SetActivePage(5);
        Hide();
        ui::ProcessMessages();
        // A folder typed without its final backslash would run into the file
        // names that the installation appends.
        SetEditPath(tavix::HandOverFolder(Formain->InstallDir));
        Formain->showsec();
        return;
    }
    if (page == 1) ui::SetEnabled(btnpri, true);
}

void TFormSchedule::ShowAgreementBand() {
    ui::SetText(Label4, Formain->ReadSetupIni("Form", "SQXY"));
    ui::SetText(Label5, tavix::kAgreementSubtitle);
    ui::SetVisible(Label5, true);
}

void TFormSchedule::ShowFolderBand() {
    ui::SetText(Label4, tavix::kFolderTitle);
    ui::SetVisible(Label5, false);
}

void TFormSchedule::LoadAgreement() {
    std::string path = Formain->TempDir + "SQXY.txt";
    std::wstring wpath = ui::W(path);
    HANDLE file = CreateFileW(wpath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
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

void TFormSchedule::btnpriClick() {
    ScheBook.SetActivePage(ScheBook.ActivePage() - 1);
    int page = ScheBook.ActivePage();
    switch (page) {
    case 0:
        topBandVisible_ = false;
        leftStripVisible_ = true;
        AlignControls();
        ui::SetEnabled(BtnNext, true);
        break;
    case 1:
        ShowAgreementBand();
        break;
    case 2:
        ShowFolderBand();
        ui::SetText(btnexit, tavix::kExitButtonCaption);
        ui::SetEnabled(BtnNext, true);
        break;
    case 3:
        ui::SetText(BtnNext, tavix::kNextCaptionPlain);
        ui::SetEnabled(btnexit, true);
        break;
    }
    if (page == 0) ui::SetEnabled(btnpri, false);
}

void TFormSchedule::btnexitClick() {
    InstallStarted = false;
    if (ui::MessageDlg(tavix::kExitQuestion, ui::DlgType::Confirmation, MB_YESNO) == IDYES) Formain->Close();
}

void TFormSchedule::RadioButton1Click() { ui::SetEnabled(BtnNext, true); }
void TFormSchedule::RadioButton2Click() { ui::SetEnabled(BtnNext, false); }
void TFormSchedule::chbdesktopClick() { CreateDesktopLink = ui::IsChecked(chbdesktop); }
void TFormSchedule::chbrunClick() { RunAfterInstall = ui::IsChecked(chbrun); }

void TFormSchedule::Finish() {
    if (RunAfterInstall && InstallStarted) {
        std::string options = Formain->InstallDir + "Options.ini";
        bool written = WritePrivateProfileStringW(L"Option", L"Reset", L"88", ui::W(options).c_str()) != FALSE;
        std::string program = Formain->InstallDir + Formain->ReadSetupIni("Run", "FileName");
        ShellExecuteW(Handle(), L"open", ui::W(program).c_str(), L"", L"", SW_SHOW);
        if (!written) throw tavix::SetupError("Unable to write to " + options);
    }
    Formain->Close();
}

// ---- the folder page -------------------------------------------------------------

void TFormSchedule::SetEditPath(const std::string& folder) {
    ui::SetText(Edit_Path, folder);
    Formain->InstallDir = folder;
}

void TFormSchedule::Edit_PathChange() { Formain->InstallDir = ui::GetText(Edit_Path); }

std::vector<std::string> TFormSchedule::ListDrives() {
    wchar_t block[105] = {};
    DWORD n = GetLogicalDriveStringsW(105, block);
    if (n > 105) n = 0;
    return tavix::SplitDriveStrings(ui::G(std::wstring(block, n)));
}

void TFormSchedule::RefreshDriveList() {
    for (int c = 0; c < 3; ++c) DiskGrid.SetColWidth(c, tavix::kDriveColumnWidths[c]);
    std::vector<std::string> drives = ListDrives();
    if (drives.size() < 2)
        SetEditPath(tavix::SingleDriveFolder(Formain->ReadSetupIni("SetupDir", "DirName")));
    else
        Formain->InstallDir = ui::GetText(Edit_Path);
    DiskGrid.SetColCount(tavix::kDriveColumns);
    DiskGrid.ClearRows();
    std::vector<tavix::DriveRow> rows;
    for (const std::string& root : drives) {
        ULARGE_INTEGER available = {}, total = {};
        int64_t totalBytes = -1, freeBytes = -1;
        if (GetDiskFreeSpaceExW(ui::W(root).c_str(), &available, &total, nullptr)) {
            totalBytes = static_cast<int64_t>(total.QuadPart);
            freeBytes = static_cast<int64_t>(available.QuadPart);
        }
        rows.push_back(tavix::MakeDriveRow(root, totalBytes, freeBytes));
    }
    int marked = tavix::MarkInstallDrive(rows, Formain->InstallDir, Formain->ReadSetupIni("Run", "RJSize"));
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
    std::string folder = Formain->InstallDir;
    if (!BrowseForFolder(tavix::kBrowseTitle, folder)) return;
    Formain->InstallDir = folder;
    std::string dirName = Formain->ReadSetupIni("SetupDir", "DirName");
    std::size_t driveCount = tavix::IsDesktopOrUsersPath(folder) ? ListDrives().size() : 0;
    tavix::BrowseResult result = tavix::FolderAfterBrowse(folder, dirName, driveCount);
    if (result.warn) ui::MessageDlg(tavix::DesktopFolderWarning(), ui::DlgType::Warning, MB_OK);
    SetEditPath(result.folder);
    RefreshDriveList();
}
