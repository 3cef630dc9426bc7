#include "uninstall/uninstall_form.h"

#include <commctrl.h>

namespace {

// The wizard's measures: a 526 x 352 client area, a 57-high top band, a
// two-pixel line and a 46-high button bar.
constexpr int kClientWidth = 526;
constexpr int kClientHeight = 352;
constexpr int kTopBandHeight = 57;
constexpr int kButtonBarHeight = 46;
constexpr int kButtonBarTop = kClientHeight - kButtonBarHeight;
constexpr int kSeparatorTop = kButtonBarTop - 2;
constexpr int kPageHeight = kSeparatorTop - kTopBandHeight;

enum ControlId { IdTitle = 100, IdSubTitle, IdBody, IdStatus, IdProgress, IdDetails, IdUninstall, IdCancel };

std::string Lines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += "    " + l + "\r\n";
    return out;
}

} // namespace

TFormUninstall::~TFormUninstall() {
    Destroy();
    for (HFONT f : {formFont_, titleFont_})
        if (f) DeleteObject(f);
    if (topPicture_) DeleteObject(topPicture_);
}

void TFormUninstall::Create(const std::string& caption, const std::string& folder,
                            std::function<uninstall::UninstallReport()> run) {
    caption_ = caption;
    folder_ = folder;
    run_ = std::move(run);
    ui::InitControls(ICC_PROGRESS_CLASS);
    formFont_ = ui::MakeFont("Tahoma", 12);
    titleFont_ = ui::MakeFont("宋体", 14, true);
    topPicture_ = ui::LoadScaledBitmap(L"IMAGTOP");

    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;
    RECT r = {0, 0, ui::Scale(kClientWidth), ui::Scale(kClientHeight)};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    const int width = r.right - r.left, height = r.bottom - r.top;
    CreateWin(L"TFormUninstall", exStyle, style, tavix::UninstallTitle(caption),
              (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width,
              height, nullptr, RGB(255, 255, 255));
    HWND form = Handle();
    SendMessageW(form, WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), FALSE);
    HICON icon = LoadIconW(ui::Instance(), MAKEINTRESOURCEW(1));
    if (icon) SendMessageW(form, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

    Panel_Top.Create(form, 0, 0, kClientWidth, kTopBandHeight, RGB(255, 255, 255), RGB(0, 0, 0), formFont_);
    if (topPicture_) Panel_Top.SetPicture(topPicture_, -9, 3);
    Title = ui::MakeAutoLabel(Panel_Top.Handle(), std::string(), 16, 12, titleFont_, IdTitle);
    SubTitle = ui::MakeAutoLabel(Panel_Top.Handle(), std::string(), 16, 32, formFont_, IdSubTitle);

    Page.Create(form, 0, kTopBandHeight, kClientWidth, kPageHeight, RGB(255, 255, 255), RGB(0, 0, 0), formFont_);
    HWND page = Page.Handle();
    Body = ui::MakeAutoLabel(page, std::string(), 24, 22, formFont_, IdBody, 470);
    StatusLine = ui::MakeControl(page, L"Static", std::string(), SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS,
                                 24, 110, 478, 14, IdStatus, formFont_);
    Progress = ui::MakeControl(page, PROGRESS_CLASSW, std::string(), 0, 24, 130, 478, 17, IdProgress, formFont_);
    Details = ui::MakeControl(page, L"Edit", std::string(),
                              ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 24,
                              96, 478, 140, IdDetails, formFont_);
    ui::MakeReadOnlyText(Details);
    for (HWND w : {StatusLine, Progress, Details}) ui::SetVisible(w, false);

    Panel3.Create(form, 0, kSeparatorTop, kClientWidth, 2, GetSysColor(COLOR_BTNFACE), RGB(0, 0, 0), formFont_);
    Panel3.SetEdge(BDR_SUNKENOUTER);
    ButtonBar.Create(form, 0, kButtonBarTop, kClientWidth, kButtonBarHeight, GetSysColor(COLOR_BTNFACE),
                     RGB(0, 0, 0), formFont_);
    SetWindowLongW(ButtonBar.Handle(), GWL_EXSTYLE,
                   GetWindowLongW(ButtonBar.Handle(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    BtnUninstall = ui::MakeControl(ButtonBar.Handle(), L"Button", "卸载", BS_DEFPUSHBUTTON | WS_TABSTOP, 340, 11, 77,
                                   23, IdUninstall, formFont_);
    BtnCancel = ui::MakeControl(ButtonBar.Handle(), L"Button", "取消", BS_PUSHBUTTON | WS_TABSTOP, 428, 11, 77, 23,
                                IdCancel, formFont_);

    SetHeading("卸载确认", "点击“卸载”从您的计算机上删除" + caption_);
    ui::SetText(Body, "卸载程序将删除安装在 " + folder_ + " 中的" + caption_ +
                          "，以及它的桌面快捷方式、程序组和注册信息。\r\n\r\n您修改过的文件和您自己创建的文件不会被删除。");
    focus_ = BtnUninstall;
}

void TFormUninstall::SetHeading(const std::string& title, const std::string& line) {
    ui::SetText(Title, title);
    ui::SetText(SubTitle, line);
}

void TFormUninstall::Status(const std::string& text) {
    ui::SetText(StatusLine, text);
    ui::ProcessMessages();
}

void TFormUninstall::Bar(int done, int total) {
    SendMessageW(Progress, PBM_SETRANGE32, 0, total > 0 ? total : 1);
    SendMessageW(Progress, PBM_SETPOS, done, 0);
}

void TFormUninstall::BtnUninstallClick() {
    if (running_ || finished_) return;
    running_ = true;
    SetHeading("正在卸载", "请稍候，卸载程序正在删除" + caption_);
    ui::SetText(Body, "正在删除" + caption_ + "……");
    ui::SetVisible(BtnUninstall, false);
    ui::SetEnabled(BtnCancel, false);
    ui::SetVisible(StatusLine, true);
    ui::SetVisible(Progress, true);
    const uninstall::UninstallReport report = run_();
    running_ = false;
    ShowResult(report);
}

void TFormUninstall::ShowResult(const uninstall::UninstallReport& report) {
    finished_ = true;
    result_ = report.exit;
    ui::SetVisible(StatusLine, false);
    ui::SetVisible(Progress, false);
    std::string body, details;
    if (report.keptForSecondRun) {
        SetHeading("卸载未完成", caption_ + "的部分项目无法删除");
        body = caption_ + "的部分项目无法删除，其余项目已删除。";
    } else {
        SetHeading("卸载完成", caption_ + "已从您的计算机上删除");
        body = caption_ + "已从您的计算机上删除。";
    }
    if (!report.changed.empty())
        details += "以下文件在安装后被修改过，已保留：\r\n" + Lines(report.changed);
    if (!report.notOurs.empty())
        details += "以下位置现在是链接、文件夹或另有名称的文件，不是安装程序写入的文件，已保留：\r\n" + Lines(report.notOurs);
    if (!report.keptGroups.empty())
        details += "以下程序组中有您自己的项目，这些项目和程序组已保留：\r\n" + Lines(report.keptGroups);
    if (!report.refused.empty())
        details += "安装记录中以下各行指向安装文件夹以外，已拒绝，没有删除：\r\n" + Lines(report.refused);
    if (!report.failed.empty()) details += "以下项目无法删除：\r\n" + Lines(report.failed);
    // What becomes of the folder, as it will be once this window closes.
    if (report.keptForSecondRun)
        body += "\r\n\r\n卸载程序、安装记录和“卸载或更改程序”中的项目已保留，安装文件夹 " + folder_ +
                " 没有删除。解决下列问题后，请再次运行卸载程序删除余下的项目。";
    else if (report.folderEmptied)
        body += "\r\n\r\n安装文件夹 " + folder_ + " 将在关闭本窗口后删除。";
    else
        body += "\r\n\r\n安装文件夹 " + folder_ + " 中保留了您的文件，该文件夹没有删除。";
    ui::SetText(Body, body);
    if (!details.empty()) {
        ui::SetText(Details, details);
        ui::SetVisible(Details, true);
    }
    ui::SetText(BtnCancel, "完成");
    ui::SetEnabled(BtnCancel, true);
    focus_ = BtnCancel;
    SetFocus(BtnCancel);
    SendMessageW(Handle(), DM_SETDEFID, IdCancel, 0);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void TFormUninstall::Close() {
    if (running_) return;
    ui::Terminate();
}

void TFormUninstall::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED && id != IDCANCEL && id != IDOK) return;
    if (id == IdUninstall || (id == IDOK && !finished_)) BtnUninstallClick();
    else if (id == IdCancel || id == IDCANCEL || id == IDOK) Close();
}

LRESULT TFormUninstall::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:
        Close();
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(finished_ ? IdCancel : IdUninstall, DC_HASDEFID);
    }
    return Window::HandleMessage(msg, wp, lp);
}
