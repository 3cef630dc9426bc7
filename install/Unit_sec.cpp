#include "Unit_sec.h"

#include <commctrl.h>

#include "install/progress.h"

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

} // namespace

TFormsec::~TFormsec() {
    if (Handle()) KillTimer(Handle(), kTimer1);
    // The window goes before the font its controls use.
    Destroy();
    if (font_) DeleteObject(font_);
}

void TFormsec::Create(HWND owner) {
    ui::InitControls(ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS);
    font_ = ui::MakeFont("MS Sans Serif", 11, false, false, DEFAULT_CHARSET);
    // Borderless, so the window is its client area; centred on the desktop.
    const int width = ui::Scale(kClientWidth), height = ui::Scale(kClientHeight);
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    CreateWin(L"TFormsec", 0, WS_POPUP | WS_CLIPCHILDREN, "安装", x, y, width, height, owner, RGB(255, 255, 255));
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
    // The sequence runs from the window's own message loop, not inside the
    // activation that the modal show is still making.
    PostMessageW(Handle(), WM_RUNINSTALL, 0, 0);
}

// ---- the sequence ------------------------------------------------------------

bool TFormsec::YieldPoint() {
    ui::ProcessMessages();
    return !(stop_ || ui::Terminated() || !Handle());
}

void TFormsec::Status(const std::string& text) {
    ui::SetText(lbls, text);
    // The sequence's last status is the empty one; the line goes with it.
    if (text.empty()) ui::SetVisible(lbls, false);
}

void TFormsec::Bar(int position) { SendMessageW(pgbs, PBM_SETPOS, position, 0); }
void TFormsec::Pause() { Sleep(kPauseMs); }
void TFormsec::FolderFailed(const std::string& text) { ui::MessageDlg(text, ui::DlgType::Error, MB_OK); }

bool TFormsec::AskRetry(const std::string& message) {
    return ui::RetryCancelBox(Handle(), tavix::RetryQuestion(message), ui::AppTitle()) == IDRETRY;
}

void TFormsec::RunInstall() {
    install::InstallSequence sequence(state_, *this);
    const install::InstallResult result = sequence.RunInstall();
    switch (result.outcome) {
    case install::InstallOutcome::Completed:
        // A part that could not be made is named before the finish page says the installation is done.
        if (!result.missingParts.empty())
            ui::MsgBox(Handle(), tavix::MissingPartsText(result.missingParts), ui::AppTitle(), MB_OK | MB_ICONWARNING);
        Finished = true;
        SetTimer(Handle(), kTimer1, kTimer1IntervalMs, nullptr);
        break;
    case install::InstallOutcome::ProgramLocked:
        // As a rule the product runs from there and holds its program.
        ui::MsgBox(Handle(), tavix::kProductLockedMessage, ui::AppTitle(), MB_OK);
        state_.InstallStarted = false;
        stop_ = true;
        state_.EndSetup();
        break;
    case install::InstallOutcome::Failed:
        if (!result.told) ui::ShowErrorBox(result.message);
        break;
    case install::InstallOutcome::Stopped:
    case install::InstallOutcome::MainFolderFailed:
        // Nothing more is done and nothing is undone; the window stays idle.
        break;
    }
}

// ---- cancel and hand-over ------------------------------------------------------

void TFormsec::btncelClick() {
    if (ui::MsgBox(Handle(), tavix::kCancelQuestion, tavix::kCancelCaption, MB_OKCANCEL) != IDOK) return;
    stop_ = true;
    state_.InstallStarted = false;
    state_.EndSetup();
}

void TFormsec::Timer1Timer() {
    KillTimer(Handle(), kTimer1);
    if (!Finished) return;
    state_.InstallStarted = true;
    if (state_.ShowFinishPage) state_.ShowFinishPage();
}

// ---- messages --------------------------------------------------------------------

void TFormsec::PaintFrame(HDC dc) {
    // A rectangle of pen width 3 around the client area, white inside.
    const int frameWidth = ui::Scale(kFrameWidth);
    RECT client;
    GetClientRect(Handle(), &client);
    HPEN pen = CreatePen(PS_SOLID, frameWidth, kFrameColour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    const int half = frameWidth / 2;
    Rectangle(dc, half, half, half + client.right - frameWidth + 1, half + client.bottom - frameWidth + 1);
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
    // Esc is "取消" while that button is there to press.
    if (id == IDCANCEL && IsWindowVisible(btncel) && IsWindowEnabled(btncel)) btncelClick();
}
