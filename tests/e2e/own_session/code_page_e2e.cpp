// A full installation under a system whose ANSI code page is not GBK: the
// whole Wine session (the shell's program manager included) runs with the
// session's locale, en_US (code page 1252) in the suite, where GBK bytes read
// as that page would come out as mojibake. Every name the setup
// shows or writes is checked: window texts, files, registry values, the
// desktop shortcut, the program group and its items.
#include <algorithm>

#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/wizard_steps.h"
#include "common/product.h"
#include "wizard/wizard_ids.h"

#include <shellapi.h>

using namespace e2e;
namespace ids = wizard_ids;

namespace {

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// The long form of a path to an existing file or folder. A shortcut's target
// may be kept by its short path, which every code page holds.
std::wstring LongPath(const std::wstring& path) {
    wchar_t buf[MAX_PATH] = {};
    DWORD n = GetLongPathNameW(path.c_str(), buf, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(buf, n) : path;
}

// Opens a shortcut as a double click does and returns the program it started
// (long path), after ending it.
std::wstring StartedThrough(const std::wstring& lnk) {
    KillByName(L"TAVI.exe");
    HINSTANCE r = ShellExecuteW(nullptr, L"open", lnk.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    Check(reinterpret_cast<INT_PTR>(r) > 32, "the shortcut %s does not open (%d)", ToUtf8(lnk).c_str(),
          static_cast<int>(reinterpret_cast<INT_PTR>(r)));
    const std::wstring image = ProcessImage(WaitTop(0, L"TTavi30", L"Quorvix"));
    Check(!image.empty(), "cannot read the started program's image");
    KillByName(L"TAVI.exe");
    return LongPath(image);
}

void CheckText(HWND w, const std::wstring& want, const char* what) {
    Check(Text(w) == want, "%s reads \"%s\", expected \"%s\"", what, ToUtf8(Text(w)).c_str(), ToUtf8(want).c_str());
}

}  // namespace

E2E_SCENARIO(full_install_under_another_code_page) {
    Log("ANSI code page %u", GetACP());
    Check(GetACP() != 936, "the session runs with the GBK code page");
    InstallScenario s(L"C:\\Tavix E2E\\英文系统\\");
    const std::size_t n = Release().manifestLines.size();
    const std::wstring caption = W936(Release().caption);
    // What the Start menu holds before; the installation adds the group only.
    const std::vector<std::wstring> programsBefore = Sorted(FilesIn(ProgramsDir() + L"\\"));

    InstallProbe probe;
    s.setup = StartSetupToWizard();
    probe.Attach(s.setup.pid);
    HWND wizard = WaitWizard(s.setup.pid);

    // Window texts: the backdrop's footer, the wizard's caption and pages.
    HWND backdrop = WaitTop(s.setup.pid, L"TFormain", nullptr);
    for (const std::string& line : {tavix::FooterWebLine(), tavix::FooterMakerLine()})
        Check(FindChild(backdrop, L"Static", W936(line).c_str()) != nullptr, "the footer lacks \"%s\"",
              ToUtf8(W936(line)).c_str());
    CheckText(wizard, caption, "the wizard's caption");
    CheckText(WizardControl(wizard, ids::kLabel6), L"欢迎使用 " + caption, "the welcome title");
    CheckText(WizardControl(wizard, ids::kBtnNext), L"下一步 >", "Next");
    ClickNext(wizard);
    Check(BandTitle(wizard) == ReleaseSetupValue("Form", "SQXY"), "the licence page's title reads %s",
          ToUtf8(BandTitle(wizard)).c_str());
    CheckText(WizardControl(wizard, ids::kRadioButton1), L"我同意以上条款", "the agree button");
    ClickNext(wizard);
    CheckText(WizardControl(wizard, ids::kChbDesktop), L"创建桌面快捷方式", "the desktop box");
    SetInstallFolder(wizard, s.dir);
    ClickNext(wizard);
    CheckText(WizardControl(wizard, ids::kLabel2), L"安装程序已经准备好在您的计算机上安装" + caption,
              "the ready text");

    HWND sec = StartInstall(wizard);
    Check(sec != nullptr, "no installation window");
    CheckText(sec, L"安装", "the installation window's caption");
    WaitFinishPage(wizard, 60000);
    CheckText(WizardControl(wizard, ids::kLabel8), caption + L" 安装完毕.", "the finish title");
    const std::vector<std::wstring> status = probe.StatusTexts();
    Check(!status.empty() && status[0] == s.dir + W936(Release().exeName), "the first status reads %s",
          status.empty() ? "<nothing>" : ToUtf8(status[0]).c_str());
    Check(std::find(status.begin(), status.end(), L"创建程序群组...") != status.end(),
          "the status never read 创建程序群组...");

    // Files, registry values and the desktop shortcut, with their Chinese names.
    CheckManifestInstalled(s.dir, 0, n);
    CheckSameFile(ReleaseDir() + L"\\Uninstall.exe", s.dir + L"Uninstall.exe");
    CheckInstallRegistry(s.dir);
    ShellLinkInfo link;
    Check(ReadShellLink(DesktopLinkPath(), link), "no shortcut %s", ToUtf8(DesktopLinkPath()).c_str());
    Check(LongPath(link.path) == s.dir + L"TAVI.exe", "the shortcut points at %s", ToUtf8(link.path).c_str());
    Check(link.workingDir == s.dir, "the shortcut works in %s", ToUtf8(link.workingDir).c_str());
    const std::wstring started = StartedThrough(DesktopLinkPath());
    Check(started == s.dir + L"TAVI.exe", "the desktop shortcut started %s", ToUtf8(started).c_str());

    // The program group: one new folder in the Start menu, named after the
    // caption, with the four items under their Chinese titles.
    struct Item { std::wstring title, target; };
    const Item items[] = {
        {caption, s.dir + L"TAVI.exe"},
        {L"卸载" + caption, s.dir + L"Uninstall.exe"},
        {L"使用说明", s.dir + L"help.chm"},
        {L"用户授权协议", s.dir + L"用户授权协议.txt"},
    };
    std::vector<std::wstring> programsNow = Sorted(FilesIn(ProgramsDir() + L"\\"));
    std::vector<std::wstring> added;
    std::set_difference(programsNow.begin(), programsNow.end(), programsBefore.begin(), programsBefore.end(),
                        std::back_inserter(added));
    for (const std::wstring& a : added) Log("new in the Start menu: %s", ToUtf8(a).c_str());
    Check(added.size() == 1 && added[0] == caption, "the Start menu gained %zu entries, not the group %s",
          added.size(), ToUtf8(caption).c_str());
    std::vector<std::wstring> wantNames;
    for (const Item& item : items) wantNames.push_back(item.title + L".lnk");
    const std::vector<std::wstring> names = Sorted(FilesIn(ProgramGroupDir() + L"\\"));
    Check(names == Sorted(wantNames), "the group holds %zu items, not the four expected", names.size());
    for (const Item& item : items) {
        ShellLinkInfo gi;
        Check(ReadShellLink(ProgramGroupDir() + L"\\" + item.title + L".lnk", gi), "no group item %s",
              ToUtf8(item.title).c_str());
        Check(LongPath(gi.path) == item.target, "group item %s points at %s", ToUtf8(item.title).c_str(),
              ToUtf8(gi.path).c_str());
    }
    const std::wstring fromGroup = StartedThrough(ProgramGroupDir() + L"\\" + caption + L".lnk");
    Check(fromGroup == s.dir + L"TAVI.exe", "the group's program item started %s", ToUtf8(fromGroup).c_str());

    // "完毕" writes Options.ini in the Chinese-named folder and starts the product from it.
    ClickFinish(wizard);
    WaitExit(s.setup);
    wchar_t reset[16] = {};
    GetPrivateProfileStringW(L"Option", L"Reset", L"", reset, 16, (s.dir + L"Options.ini").c_str());
    Check(std::wstring(reset) == L"88", "Options.ini Reset is %s", ToUtf8(reset).c_str());
    WaitTop(0, L"TTavi30", L"Quorvix");
    CheckTempFilesGone();
}
