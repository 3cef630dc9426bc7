// The setup on a high-DPI screen (the session's DPI, own-session.sh): every
// form scales its layout, fonts and artwork by DPI / 96. Control rectangles
// are the design's scaled by their edges, every text fits its control in its
// font at the scaled height, the two wizard pictures are scaled smoothly, and
// the setup declares itself DPI-aware and the Windows versions it supports.
// The progress window of /PASSIVE scales the same way.
#include <algorithm>
#include <cstdlib>
#include <set>

#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/silent_steps.h"
#include "driver/wizard_steps.h"
#include "common/product.h"
#include "ui/dpi_scale.h"
#include "wizard/wizard_ids.h"

using namespace e2e;
namespace ids = wizard_ids;
using ui::Bounds;

namespace {

int gDpi = 96;

int S(int units) { return ui::ScaleToDpi(units, gDpi); }

std::string RectText(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top) + ")";
}

RECT InParent(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The control is where the design puts it, scaled by its edges.
void CheckBounds(HWND w, Bounds design, const char* what) {
    const Bounds b = ui::ScaleBoundsToDpi(design, gDpi);
    const RECT r = InParent(w);
    Log("%s at %s", what, RectText(r).c_str());
    Check(r.left == b.x && r.top == b.y && r.right - r.left == b.width && r.bottom - r.top == b.height,
          "%s is at %s, expected (%d,%d %dx%d)", what, RectText(r).c_str(), b.x, b.y, b.width, b.height);
}

// The control's top left corner is the design's, scaled.
void CheckPlace(HWND w, int x, int y, const char* what) {
    const RECT r = InParent(w);
    Check(r.left == S(x) && r.top == S(y), "%s is at %s, expected (%d,%d)", what, RectText(r).c_str(), S(x), S(y));
}

// A font of the forms at its height scaled to the DPI.
struct Font {
    HFONT h;
    Font(const wchar_t* face, int designHeight, bool bold = false, bool italic = false)
        : h(CreateFontW(-S(designHeight), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face)) {}
    ~Font() { DeleteObject(h); }
};

// The extent of a text in a font: one line, or wrapped at `wrap` pixels.
SIZE Extent(const std::wstring& text, HFONT font, int wrap = 0) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT r = {0, 0, wrap, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_NOPREFIX | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return SIZE{r.right, r.bottom};
}

// Room the control gives its text besides its frame, box or margins.
enum class Kind { Label, Button, CheckBox, Pane };

// The control's text, in the form's font at the scaled height, fits the
// control, and the control fits inside its parent.
void CheckTextFits(HWND w, HFONT font, Kind kind, const char* what, int wrap = 0) {
    const std::wstring text = Text(w);
    Check(!text.empty(), "%s has no text", what);
    const SIZE e = Extent(text, font, wrap ? S(wrap) : 0);
    RECT c;
    GetClientRect(w, &c);
    int room = c.right;
    switch (kind) {
    case Kind::Label: break;
    case Kind::Button: room -= 2 * GetSystemMetrics(SM_CXEDGE); break;
    case Kind::CheckBox: room -= GetSystemMetrics(SM_CXMENUCHECK) + 4; break;
    case Kind::Pane: room -= S(3); break;
    }
    Log("%s: text %ldx%ld in %ldx%ld (room %d)", what, e.cx, e.cy, c.right, c.bottom, room);
    Check(e.cx <= room && e.cy <= c.bottom, "%s: \"%s\" needs %ldx%ld, the control gives %dx%ld", what,
          ToUtf8(text).c_str(), e.cx, e.cy, room, c.bottom);
    // A label sizes itself to its text: in a font of another height it would
    // be of another size.
    if (kind == Kind::Label)
        Check(c.bottom == e.cy, "%s is %ld high, its text in the scaled font %ld", what, c.bottom, e.cy);
    RECT parent, r = InParent(w);
    GetClientRect(GetParent(w), &parent);
    Check(r.right <= parent.right && r.bottom <= parent.bottom, "%s %s is cut by its parent (%ldx%ld)", what,
          RectText(r).c_str(), parent.right, parent.bottom);
}

// The pixels of a screen rectangle, as COLORREF values.
std::vector<COLORREF> Capture(const RECT& r) {
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof bi.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    std::vector<COLORREF> out(static_cast<std::size_t>(width) * height);
    const auto* p = static_cast<const DWORD*>(bits);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return out;
}

// A bitmap resource of the setup: its size and its pixels, top row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

Picture LoadPicture(const wchar_t* name) {
    HMODULE setup = LoadLibraryExW(SetupExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    Check(setup != nullptr, "cannot open the setup's resources");
    auto bmp = static_cast<HBITMAP>(LoadImageW(setup, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    Check(bmp != nullptr, "the setup has no bitmap %s", ToUtf8(name).c_str());
    BITMAP bm;
    GetObjectW(bmp, sizeof bm, &bm);
    Picture p;
    p.width = bm.bmWidth;
    p.height = bm.bmHeight;
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof bi.bmiHeader, p.width, -p.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> raw(static_cast<std::size_t>(p.width) * p.height);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bmp, 0, p.height, raw.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    for (DWORD v : raw) p.pixels.push_back(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
    DeleteObject(bmp);
    FreeLibrary(setup);
    return p;
}

// A pixel of the picture scaled to `w` x `h`: repeating the nearest pixel,
// or blending the four around the pixel's centre (bilinear).
COLORREF Nearest(const Picture& p, int w, int h, int x, int y) {
    return p.At(std::min(p.width - 1, x * p.width / w), std::min(p.height - 1, y * p.height / h));
}

COLORREF Blended(const Picture& p, int w, int h, int x, int y) {
    auto clampf = [](double v, int hi) { return std::max(0.0, std::min(v, static_cast<double>(hi))); };
    const double fx = clampf((x + 0.5) * p.width / w - 0.5, p.width - 1);
    const double fy = clampf((y + 0.5) * p.height / h - 0.5, p.height - 1);
    const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
    const int x1 = std::min(x0 + 1, p.width - 1), y1 = std::min(y0 + 1, p.height - 1);
    const double ax = fx - x0, ay = fy - y0;
    auto mix = [&](int shift) {
        auto ch = [&](COLORREF c) { return static_cast<double>((c >> shift) & 0xFF); };
        const double top = ch(p.At(x0, y0)) * (1 - ax) + ch(p.At(x1, y0)) * ax;
        const double bottom = ch(p.At(x0, y1)) * (1 - ax) + ch(p.At(x1, y1)) * ax;
        return static_cast<COLORREF>(top * (1 - ay) + bottom * ay + 0.5);
    };
    return mix(0) | (mix(8) << 8) | (mix(16) << 16);
}

int Difference(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
           std::abs(GetBValue(a) - GetBValue(b));
}

// The picture `resource`, drawn on `panel` with its top left corner at
// `origin` (design units), shows in `area` (design units, in the panel)
// scaled by DPI / 96 and smoothly: nearer to a blend of neighbouring pixels
// than to the repetition of the nearest one, which shows as jagged steps.
void CheckSmooth(HWND panel, const wchar_t* resource, POINT origin, RECT area, const char* what) {
    const Picture p = LoadPicture(resource);
    const int w = S(p.width), h = S(p.height), ox = S(origin.x), oy = S(origin.y);
    RECT px = {S(area.left), S(area.top), S(area.right), S(area.bottom)};
    POINT screenOrigin = {0, 0};
    ClientToScreen(panel, &screenOrigin);
    RECT onScreen = px;
    OffsetRect(&onScreen, screenOrigin.x, screenOrigin.y);
    const std::vector<COLORREF> shown = Capture(onScreen);
    const int cols = px.right - px.left;
    long long toNearest = 0, toBlended = 0, count = 0;
    for (int y = px.top; y < px.bottom; ++y)
        for (int x = px.left; x < px.right; ++x) {
            const int sx = x - ox, sy = y - oy;
            if (sx < 0 || sy < 0 || sx >= w || sy >= h) continue;
            const COLORREF c = shown[static_cast<std::size_t>(y - px.top) * cols + (x - px.left)];
            toNearest += Difference(c, Nearest(p, w, h, sx, sy));
            toBlended += Difference(c, Blended(p, w, h, sx, sy));
            ++count;
        }
    Check(count > 0, "%s: nothing to compare", what);
    const double nearest = static_cast<double>(toNearest) / count, blended = static_cast<double>(toBlended) / count;
    Log("%s (%dx%d scaled to %dx%d): mean difference %.2f from a bilinear scaling, %.2f from pixel repetition",
        what, p.width, p.height, w, h, blended, nearest);
    Check(blended < 0.75 * nearest, "%s is not scaled smoothly (%.2f from bilinear, %.2f from repetition)", what,
          blended, nearest);
}

// The manifest carried by the setup.
std::string SetupManifest() {
    HMODULE setup = LoadLibraryExW(SetupExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    Check(setup != nullptr, "cannot open the setup's resources");
    HRSRC res = FindResourceW(setup, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    Check(res != nullptr, "the setup carries no manifest");
    std::string text(static_cast<const char*>(LockResource(LoadResource(setup, res))), SizeofResource(setup, res));
    FreeLibrary(setup);
    return text;
}

HWND DirectChild(HWND parent, const wchar_t* cls, int index = 0) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (ClassOf(c) == cls && index-- == 0) return c;
    Fail("%s has no child %s", ToUtf8(ClassOf(parent)).c_str(), ToUtf8(cls).c_str());
}

}  // namespace

E2E_SCENARIO(forms_scale_with_the_dpi) {
    HDC screen = GetDC(nullptr);
    gDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const std::wstring wanted = Env(L"TAVIX_SESSION_DPI");
    Log("screen %dx%d at %d DPI", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), gDpi);
    Check(!wanted.empty() && gDpi == _wtoi(wanted.c_str()), "the session runs at %d DPI, not %s", gDpi,
          ToUtf8(wanted).c_str());
    const std::wstring tag = L"dpi" + std::to_wstring(gDpi) + L"_";

    // The manifest: system DPI aware, and Vista to 10/11.
    const std::string manifest = SetupManifest();
    for (const char* want : {">true</dpiAware>", ">system</dpiAwareness>", "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
                             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        Check(manifest.find(want) != std::string::npos, "the manifest lacks %s", want);

    const Font tahoma(L"Tahoma", 12), title(L"宋体", 14, true), footer(L"宋体", 14), band(L"宋体", 56, false, true),
        secFont(L"MS Sans Serif", 11);
    InstallScenario s(L"C:\\Tavix E2E\\高DPI\\");
    s.setup = StartSetupToWizard();
    HWND w = WaitWizard(s.setup.pid);
    auto control = [&](int id) { return WizardControl(w, id); };

    // The backdrop: bands of scaled height across the screen, its texts whole.
    HWND backdrop = WaitTop(s.setup.pid, L"TFormain", nullptr);
    RECT client;
    GetClientRect(backdrop, &client);
    HWND titleBand = DirectChild(backdrop, L"TPanel", 0), footerBand = DirectChild(backdrop, L"TPanel", 1);
    if (InParent(titleBand).top != 0) std::swap(titleBand, footerBand);
    const RECT t = InParent(titleBand), f = InParent(footerBand);
    Log("backdrop %ldx%ld: title band %s, footer %s", client.right, client.bottom, RectText(t).c_str(),
        RectText(f).c_str());
    Check(t.left == 0 && t.top == 0 && t.right == client.right && t.bottom == S(117), "title band at %s",
          RectText(t).c_str());
    Check(f.left == 0 && f.top == client.bottom - S(29) && f.right == client.right && f.bottom == client.bottom,
          "footer at %s", RectText(f).c_str());
    const SIZE titleText = Extent(W936(tavix::BackdropTitle(Release().caption)), band.h);
    Log("the title: text %ldx%ld in the band %ldx%ld", titleText.cx, titleText.cy, t.right, t.bottom);
    Check(titleText.cx <= t.right && titleText.cy <= t.bottom, "the title (%ldx%ld) does not fit its band",
          titleText.cx, titleText.cy);
    HWND web = FindChild(footerBand, L"Static", W936(tavix::FooterWebLine()).c_str());
    HWND maker = FindChild(footerBand, L"Static", W936(tavix::FooterMakerLine()).c_str());
    Check(web && maker, "the footer's lines are missing");
    CheckPlace(web, 36, 8, "the web line");
    CheckTextFits(web, footer.h, Kind::Label, "the web line");
    CheckTextFits(maker, footer.h, Kind::Label, "the maker line");
    Check(InParent(maker).right == client.right - S(32) && InParent(maker).top == S(8), "the maker line is at %s",
          RectText(InParent(maker)).c_str());
    Screenshot(nullptr, tag + L"backdrop");

    // The wizard: its client area, the left strip and the welcome page.
    RECT wc;
    GetClientRect(w, &wc);
    Log("wizard client %ldx%ld", wc.right, wc.bottom);
    Check(wc.right == S(526) && wc.bottom == S(352), "the wizard's client area is %ldx%ld", wc.right, wc.bottom);
    CheckBounds(control(ids::kImagLeft), {0, 0, 156, 304}, "the left strip");
    CheckBounds(control(ids::kPage0), {156, 0, 370, 304}, "the welcome page");
    CheckBounds(control(ids::kPanel3), {0, 304, 526, 2}, "the separator");
    CheckBounds(control(ids::kButtonBar), {0, 306, 526, 46}, "the button bar");
    const int buttons[] = {ids::kBtnPri, ids::kBtnNext, ids::kBtnExit};
    for (int i = 0; i < 3; ++i) {
        CheckBounds(control(buttons[i]), {252 + 88 * i, 11, 77, 23}, "a button of the bar");
        CheckTextFits(control(buttons[i]), tahoma.h, Kind::Button, "a button of the bar");
    }
    CheckPlace(control(ids::kLabel6), 24, 22, "the welcome title");
    CheckTextFits(control(ids::kLabel6), title.h, Kind::Label, "the welcome title");
    CheckPlace(control(ids::kLabel7), 24, 66, "the welcome text");
    CheckTextFits(control(ids::kLabel7), tahoma.h, Kind::Label, "the welcome text", 288);
    CheckSmooth(control(ids::kImagLeft), L"IMAGLEFT", POINT{0, 0}, RECT{0, 0, 156, 300}, "the left strip's picture");
    Screenshot(w, tag + L"wizard_page0");

    // The licence page: the top band, the text and the two choices.
    ClickNext(w);
    CheckBounds(control(ids::kPanelTop), {0, 0, 526, 57}, "the top band");
    CheckBounds(control(ids::kPage0 + 1), {0, 57, 526, 247}, "the licence page");
    CheckPlace(control(ids::kLabel4), 16, 12, "the band title");
    CheckTextFits(control(ids::kLabel4), title.h, Kind::Label, "the band title");
    CheckPlace(control(ids::kLabel5), 16, 32, "the band subtitle");
    CheckTextFits(control(ids::kLabel5), tahoma.h, Kind::Label, "the band subtitle");
    CheckBounds(control(ids::kMemo1), {13, 16, 488, 169}, "the licence text");
    CheckPlace(control(ids::kRadioButton1), 24, 198, "the agree button");
    CheckPlace(control(ids::kRadioButton2), 24, 220, "the disagree button");
    CheckTextFits(control(ids::kRadioButton1), tahoma.h, Kind::CheckBox, "the agree button");
    CheckTextFits(control(ids::kRadioButton2), tahoma.h, Kind::CheckBox, "the disagree button");
    // The band's picture: 540 x 54 at (-9, 3); its circles at the right.
    CheckSmooth(control(ids::kPanelTop), L"IMAGTOP", POINT{-9, 3}, RECT{420, 3, 526, 57}, "the top band's picture");
    Screenshot(w, tag + L"wizard_page1");

    // The folder page.
    ClickNext(w);
    CheckPlace(control(ids::kLabel3), 20, 22, "the folder prompt");
    CheckTextFits(control(ids::kLabel3), tahoma.h, Kind::Label, "the folder prompt");
    CheckBounds(control(ids::kEditPath), {20, 48, 385, 22}, "the folder box");
    CheckBounds(control(ids::kButton1), {416, 45, 73, 25}, "the browse button");
    CheckTextFits(control(ids::kButton1), tahoma.h, Kind::Button, "the browse button");
    CheckPlace(control(ids::kLabel1), 20, 80, "the drive list's title");
    CheckTextFits(control(ids::kLabel1), tahoma.h, Kind::Label, "the drive list's title");
    const Bounds panes[5] = {{17, 102, 53, 18}, {67, 102, 83, 18}, {147, 102, 83, 18}, {227, 102, 70, 18},
                             {294, 102, 113, 19}};
    for (int i = 0; i < 5; ++i) {
        CheckBounds(control(ids::kFieldStatus1 + i), panes[i], "a header pane");
        CheckTextFits(control(ids::kFieldStatus1 + i), tahoma.h, Kind::Pane, "a header pane");
    }
    HWND grid = control(ids::kDiskGrid);
    CheckBounds(grid, {19, 122, 386, 89}, "the drive list");
    // A click in the middle of each row picks that row: rows are 14 units high.
    const int rows = static_cast<int>(DriveGridRows(w).size());
    Check(rows >= 2, "the drive list has %d rows", rows);
    for (int row = rows - 1; row >= 0; --row) {
        const int y = S(14) * row + S(14) / 2;
        SendMessageW(grid, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(S(10), y));
        SendMessageW(grid, WM_LBUTTONUP, 0, MAKELPARAM(S(10), y));
        Check(DriveGridSelectedRow(w) == row, "a click at y %d picked row %d, not %d", y, DriveGridSelectedRow(w), row);
    }
    CheckPlace(control(ids::kChbDesktop), 22, 219, "the desktop box");
    CheckTextFits(control(ids::kChbDesktop), tahoma.h, Kind::CheckBox, "the desktop box");
    SetInstallFolder(w, s.dir);
    Screenshot(w, tag + L"wizard_page2");

    // The ready page.
    ClickNext(w);
    CheckPlace(control(ids::kLabel2), 40, 56, "the ready text");
    CheckTextFits(control(ids::kLabel2), tahoma.h, Kind::Label, "the ready text");
    CheckTextFits(control(ids::kLabel5), tahoma.h, Kind::Label, "the ready subtitle");

    // The installation window.
    HWND sec = StartInstall(w);
    Check(sec != nullptr, "no installation window");
    RECT sc;
    GetClientRect(sec, &sc);
    Log("installation window %ldx%ld", sc.right, sc.bottom);
    Check(sc.right == S(359) && sc.bottom == S(205), "the installation window is %ldx%ld", sc.right, sc.bottom);
    CheckBounds(DirectChild(sec, L"SysAnimate32"), {40, 12, 272, 60}, "the animation");
    CheckBounds(DirectChild(sec, L"Static"), {40, 92, 269, 13}, "the status line");
    CheckBounds(DirectChild(sec, L"msctls_progress32"), {40, 112, 277, 17}, "the progress bar");
    HWND cancel = FindChild(sec, L"Button", L"取消");
    CheckBounds(cancel, {132, 156, 89, 25}, "the cancel button");
    CheckTextFits(cancel, secFont.h, Kind::Button, "the cancel button");
    const SIZE statusHeight = Extent(L"安装", secFont.h);
    Check(statusHeight.cy <= S(13) + 2, "a status text is %ld high in a line of %d", statusHeight.cy, S(13));
    Screenshot(sec, tag + L"install_running");

    // The finish page.
    WaitFinishPage(w, 60000);
    CheckPlace(control(ids::kLabel5), 16 + 16, 32, "the finish subtitle");
    CheckTextFits(control(ids::kLabel5), tahoma.h, Kind::Label, "the finish subtitle");
    CheckPlace(control(ids::kLabel8), 88, 22, "the finish title");
    CheckTextFits(control(ids::kLabel8), title.h, Kind::Label, "the finish title");
    CheckPlace(control(ids::kLabel9), 88, 54, "the finish text");
    CheckTextFits(control(ids::kLabel9), tahoma.h, Kind::Label, "the finish text");
    CheckPlace(control(ids::kChbRun), 92, 106, "the run box");
    CheckTextFits(control(ids::kChbRun), tahoma.h, Kind::CheckBox, "the run box");
    CheckTextFits(control(ids::kBtnNext), tahoma.h, Kind::Button, "完毕");
    Screenshot(w, tag + L"wizard_finish");
    SetRunAfterInstall(w, false);
    ClickFinish(w);
    WaitExit(s.setup);

    // The progress window of /PASSIVE, installing over the same folder; held
    // still while it is measured (nothing here sends it a message).
    const WatchedRun passive = RunWatched(SetupExe(), L"/PASSIVE /D=" + s.dir, [&](const Process& p, HWND pw) {
        Suspend(p);
        RECT pc;
        GetClientRect(pw, &pc);
        Log("progress window %ldx%ld", pc.right, pc.bottom);
        Check(pc.right == S(420) && pc.bottom == S(84), "the progress window is %ldx%ld", pc.right, pc.bottom);
        CheckBounds(DirectChild(pw, L"Static"), {16, 16, 388, 16}, "the progress window's status line");
        CheckBounds(DirectChild(pw, L"msctls_progress32"), {16, 44, 388, 18}, "the progress window's bar");
        Screenshot(pw, tag + L"passive_install");
        Resume(p);
    });
    Check(passive.code == 0, "the installation with its progress window: exit code %lu", passive.code);
}
