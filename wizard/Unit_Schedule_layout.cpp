#include "Unit_Schedule.h"

#include <algorithm>

#include "setupdata/wide_text.h"
#include "wizard/wizard_ids.h"
#include "wizard/wizard_rules.h"

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

COLORREF BtnFace() { return GetSysColor(COLOR_BTNFACE); }

void SetId(HWND w, int id) { SetWindowLongPtrW(w, GWLP_ID, id); }

void AddStyle(HWND w, LONG style) { SetWindowLongW(w, GWL_STYLE, GetWindowLongW(w, GWL_STYLE) | style); }
void AddExStyle(HWND w, LONG style) { SetWindowLongW(w, GWL_EXSTYLE, GetWindowLongW(w, GWL_EXSTYLE) | style); }

HWND MakeCheck(HWND parent, const std::string& text, DWORD kind, int x, int y, int id, HFONT font) {
    return ui::MakeCheckBox(parent, text, kind | WS_TABSTOP, x, y, 17, id, font);
}

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
    leftPicture_ = ui::LoadScaledBitmap(L"IMAGLEFT");
    topPicture_ = ui::LoadScaledBitmap(L"IMAGTOP");

    // A dialog frame around a 526 x 352 client area, centred on the desktop.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    RECT r = {0, 0, ui::Scale(kClientWidth), ui::Scale(kClientHeight)};
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
        ui::Panel& page = ScheBook.Page(i);
        page.Create(form, 0, kTopBandHeight, kClientWidth, kSeparatorTop - kTopBandHeight, BtnFace(), RGB(0, 0, 0),
                    formFont_);
        SetId(page.Handle(), kPage0 + i);
        AddStyle(page.Handle(), WS_CLIPCHILDREN);
        AddExStyle(page.Handle(), WS_EX_CONTROLPARENT);
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
    AddExStyle(RzPanel1.Handle(), WS_EX_CONTROLPARENT);
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
    HWND page = ScheBook.Page(0).Handle();
    Panel1.Create(page, 0, 0, kClientWidth, kSeparatorTop - kTopBandHeight, RGB(255, 255, 255), RGB(0, 0, 0),
                  formFont_);
    SetId(Panel1.Handle(), kPanel1);
    Label6 = ui::MakeAutoLabel(Panel1.Handle(), std::string(), 24, 22, titleFont_, kLabel6);
    Label7 = ui::MakeAutoLabel(Panel1.Handle(), std::string(), 24, 66, formFont_, kLabel7, 288);
}

void TFormSchedule::CreatePage1() {
    HWND page = ScheBook.Page(1).Handle();
    Memo1 = ui::MakeControl(page, L"Edit", std::string(),
                            ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP | WS_GROUP, 13,
                            16, 488, 169, kMemo1, formFont_);
    SendMessageW(Memo1, EM_SETLIMITTEXT, 0, 0);
    RadioButton1 = MakeCheck(page, "我同意以上条款", BS_AUTORADIOBUTTON | WS_GROUP, 24, 198, kRadioButton1, formFont_);
    RadioButton2 = MakeCheck(page, "我不同意以上条款", BS_AUTORADIOBUTTON, 24, 220, kRadioButton2, formFont_);
    ui::SetChecked(RadioButton1, true);
}

void TFormSchedule::CreatePage2() {
    ui::Panel& pagePanel = ScheBook.Page(2);
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
    Label2 = ui::MakeAutoLabel(ScheBook.Page(3).Handle(), std::string(), 40, 56, formFont_, kLabel2);
}

void TFormSchedule::CreatePage5() {
    HWND page = ScheBook.Page(5).Handle();
    Panel2.Create(page, 0, 0, kClientWidth, kSeparatorTop - kTopBandHeight, RGB(255, 255, 255), RGB(0, 0, 0),
                  formFont_);
    SetId(Panel2.Handle(), kPanel2);
    Label8 = ui::MakeAutoLabel(Panel2.Handle(), "... 安装完毕", 88, 22, titleFont_, kLabel8);
    Label9 = ui::MakeAutoLabel(Panel2.Handle(), "请点击“完毕”按钮退出安装程序。", 88, 54, formFont_, kLabel9);
    chbrun = MakeCheck(Panel2.Handle(), "运行软件", BS_AUTOCHECKBOX | WS_TABSTOP, 92, 106, kChbRun, formFont_);
    ui::SetChecked(chbrun, true);
}

// The top band and the left strip take their edges of the client area; the
// notebook fills what is left above the separator.
void TFormSchedule::AlignControls() {
    int top = bandShown_ ? kTopBandHeight : 0;
    int left = bandShown_ ? 0 : kLeftStripWidth;
    ui::Place(ImagLeft.Handle(), 0, top, kLeftStripWidth, kSeparatorTop - top);
    for (int i = 0; i < TPageBook::kPageCount; ++i)
        ui::Place(ScheBook.Page(i).Handle(), left, top, kClientWidth - left, kSeparatorTop - top);
    ui::Place(Panel1.Handle(), 0, 0, kClientWidth - left, kSeparatorTop - top);
    ui::Place(Panel2.Handle(), 0, 0, kClientWidth - left, kSeparatorTop - top);
    ui::SetVisible(Panel_Top.Handle(), bandShown_);
    ui::SetVisible(ImagLeft.Handle(), !bandShown_);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TFormSchedule::SetBandShown(bool band) {
    bandShown_ = band;
    AlignControls();
}

void TFormSchedule::PaintFolderPage(HDC dc) {
    // RzSeparator1: a gradient rule that ends in the highlight colour.
    FillGradient(dc, ui::ScaleRect({27, 96, 27 + 377, 97}), GetSysColor(COLOR_BTNSHADOW), RGB(17, 122, 217));
    const RECT lower = ui::ScaleRect({27, 97, 27 + 377, 98});
    FillRect(dc, &lower, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
    // Shape1: the frame around the grid, its line as thick as the DPI makes a pixel.
    HPEN pen = CreatePen(PS_INSIDEFRAME, ui::Scale(1), RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    const RECT frame = ui::ScaleRect({18, 121, 18 + 388, 121 + 92});
    Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void TFormSchedule::DrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlID < static_cast<UINT>(kFieldStatus1) || item.CtlID >= static_cast<UINT>(kFieldStatus1 + 5)) return;
    // A flat header pane in the inactive-caption gradient colour.
    RECT r = item.rcItem;
    FillGradient(item.hDC, r, GetSysColor(COLOR_GRADIENTINACTIVECAPTION), GetSysColor(COLOR_GRADIENTINACTIVECAPTION));
    HBRUSH frame = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
    FrameRect(item.hDC, &r, frame);
    DeleteObject(frame);
    std::wstring text = tavix::W(ui::GetText(item.hwndItem));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ old = SelectObject(item.hDC, formFont_);
    RECT t = r;
    t.left += ui::Scale(3);
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &t,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, old);
}

