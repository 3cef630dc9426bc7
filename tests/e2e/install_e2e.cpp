// The installation, driven through the wizard as a user would: a complete
// installation checked on disk, in the registry, on the desktop and in the
// Start menu, the progress the window shows, and the ways it can fail or be
// cancelled.
#include <set>

#include "common/integration.h"
#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/wizard_steps.h"
#include "install/progress.h"

using namespace e2e;

namespace {

std::string Gbk(const std::wstring& s) { return Narrow(s, 936); }

// What the status line shows for a file below the folder: the whole path up
// to 45 bytes, else the folder's first 17 bytes (never half a character),
// "...\" and the relative path.
std::wstring ExpectedStatusPath(const std::wstring& dir, const std::wstring& rel) {
    if (Gbk(dir + rel).size() <= 45) return dir + rel;
    std::wstring head;
    for (wchar_t c : dir) {
        if (Gbk(head + c).size() > 17) break;
        head += c;
    }
    return head + L"...\\" + rel;
}

// The status lines of a complete installation into a new folder, in order.
std::vector<std::wstring> ExpectedStatusTexts(const std::wstring& dir) {
    std::vector<std::wstring> out = {ExpectedStatusPath(dir, W936(Release().exeName)), L"安装主程序文件"};
    std::set<std::wstring> folders;  // made so far, with their parents
    const std::vector<std::string>& lines = Release().manifestLines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::wstring rel = TargetOf(L"", i);
        std::size_t cut = rel.find_last_of(L'\\');
        if (cut != std::wstring::npos) {
            std::wstring folder = rel.substr(0, cut);
            if (!folders.count(folder)) {
                out.push_back(L"创建文件夹\\" + folder);
                for (std::size_t p = 0; p != std::wstring::npos; p = folder.find(L'\\', p + 1))
                    folders.insert(p ? folder.substr(0, p) : folder);
                folders.insert(folder);
            }
        }
        out.push_back(ExpectedStatusPath(dir, rel));
    }
    for (const wchar_t* s : {L"创建反安装程序...", L"创建桌面快捷方式", L"创建程序群组...", L"写入注册信息", L""})
        out.push_back(s);
    return out;
}

std::string Joined(const std::vector<int>& v) {
    std::string s;
    for (int x : v) s += std::to_string(x) + " ";
    return s;
}

std::wstring OptionsReset(const std::wstring& dir) {
    wchar_t buf[64] = {};
    GetPrivateProfileStringW(L"Option", L"Reset", L"<none>", buf, 64, (dir + L"Options.ini").c_str());
    return buf;
}

// Indices of the manifest lines whose target lies in `folder`.
std::vector<std::size_t> LinesIn(const std::wstring& folder) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < Release().manifestLines.size(); ++i)
        if (TargetOf(L"", i).rfind(folder + L"\\", 0) == 0) out.push_back(i);
    return out;
}

} // namespace

E2E_SCENARIO(full_install) {
    InstallScenario s(L"C:\\Tavix E2E\\全新安装\\");
    const std::wstring linkCopy = ArtifactDir() + L"\\install_desktop_link.lnk";
    DeleteFileW(linkCopy.c_str());
    const std::size_t n = Release().manifestLines.size();
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    HWND sec = StartInstall(wizard);
    Check(sec != nullptr, "no installation window");
    Check(Text(sec) == L"安装", "installation window caption %s", ToUtf8(Text(sec)).c_str());
    RECT rc;
    GetClientRect(sec, &rc);
    Check(rc.right == 359 && rc.bottom == 205, "installation window is %ldx%ld", rc.right, rc.bottom);
    Check(FindChild(sec, L"Button", L"取消") != nullptr, "no cancel button");
    Screenshot(nullptr, L"install_running");

    WaitFinishPage(wizard, 60000);
    Screenshot(nullptr, L"install_finish_page");

    // The bar: 0 at creation, 1, 5, then the entry index + 5 (held at 100),
    // then 87, 90, 95, 100.
    std::vector<int> want = {0};
    for (int p : tavix::CompleteInstallBarPositions(static_cast<int>(n))) want.push_back(tavix::bar::Held(p));
    Check(want.size() == n + 7 && want[1] == 1 && want[2] == 5 && want[3] == 5 && want[n + 2] == 100 &&
              want[n + 3] == 87 && want.back() == 100,
          "expected bar schedule is off: %s", Joined(want).c_str());
    std::vector<int> bars = probe.BarPositions();
    Check(bars == want, "bar ran %s\nexpected %s", Joined(bars).c_str(), Joined(want).c_str());

    // The status line, from the main program to the empty text of the end.
    std::vector<std::wstring> status = probe.StatusTexts(), wantStatus = ExpectedStatusTexts(s.dir);
    for (std::size_t i = 0; i < std::max(status.size(), wantStatus.size()); ++i)
        Check(i < status.size() && i < wantStatus.size() && status[i] == wantStatus[i],
              "status %zu is \"%s\", expected \"%s\"", i, i < status.size() ? ToUtf8(status[i]).c_str() : "<none>",
              i < wantStatus.size() ? ToUtf8(wantStatus[i]).c_str() : "<none>");
    Check(status[0] == L"C:\\Tavix E2E\\全新安装\\TAVI.exe", "first status %s", ToUtf8(status[0]).c_str());
    Check(std::find(status.begin(), status.end(),
                    L"C:\\Tavix E2E\\全新...\\UserFile\\食谱范例\\正常人群\\中体力食谱[女18-岁].Qvt") != status.end(),
          "a long path is not shown cut after the folder's first 17 bytes");

    // The finish page came about a second after the last step.
    DWORD lastStep = 0, finishShown = 0;
    for (const ProbeEvent& e : probe.Events()) {
        if (e.kind == ProbeKind::Bar) lastStep = e.tick;
        if (e.kind == ProbeKind::ButtonText && std::wstring(e.text) == L"完毕") finishShown = e.tick;
    }
    Check(finishShown > lastStep, "the finish page came before the last step");
    Log("finish page %lu ms after the last bar step", finishShown - lastStep);
    Check(finishShown - lastStep >= 950 && finishShown - lastStep <= 2500, "finish page after %lu ms",
          finishShown - lastStep);
    Check(IsShown(sec), "the installation window was closed at the hand-over");

    // Files: every manifest target and the uninstaller.
    CheckManifestInstalled(s.dir, 0, n);
    CheckSameFile(ReleaseDir() + L"\\Uninstall.exe", s.dir + L"Uninstall.exe");
    // Registry.
    CheckInstallRegistry(s.dir);
    // The desktop shortcut, read by the shell's link object (and by lnkinfo
    // on the Linux side from the copy).
    ShellLinkInfo link;
    Check(ReadShellLink(DesktopLinkPath(), link), "no shortcut %s", ToUtf8(DesktopLinkPath()).c_str());
    Check(link.path == s.dir + L"TAVI.exe", "shortcut points at %s", ToUtf8(link.path).c_str());
    Check(link.workingDir == s.dir, "shortcut works in %s", ToUtf8(link.workingDir).c_str());
    Check(CopyFileW(DesktopLinkPath().c_str(), linkCopy.c_str(), FALSE), "cannot copy the shortcut");
    CheckProgramGroup(s.dir);
    // The shell opens the new group in a window; let it come so that the
    // cleanup closes it.
    WaitProgramGroupWindow(5000);

    // "完毕": Options.ini gets Reset=88 and the installed product starts.
    Check(OptionsReset(s.dir) == L"0", "Options.ini Reset is %s before the finish", ToUtf8(OptionsReset(s.dir)).c_str());
    ClickFinish(wizard);
    WaitExit(s.setup);
    Check(OptionsReset(s.dir) == L"88", "Options.ini Reset is %s", ToUtf8(OptionsReset(s.dir)).c_str());
    // Nothing else of the product's options changed.
    std::string before, after;
    Check(ReadFileBytes(ReleaseDir() + L"\\Options.ini", before) && ReadFileBytes(s.dir + L"Options.ini", after),
          "cannot read Options.ini");
    const std::size_t at = before.find("Reset=0");
    Check(at != std::string::npos, "the release's Options.ini has no Reset=0");
    Check(after == before.replace(at, 7, "Reset=88"), "Options.ini changed beyond Reset");
    const std::wstring image = ProcessImage(WaitTop(0, L"TTavi30", L"Quorvix"));
    Check(!image.empty(), "cannot read the product's image");
    Check(lstrcmpiW(image.c_str(), (s.dir + L"TAVI.exe").c_str()) == 0, "the product started is %s",
          ToUtf8(image).c_str());
    CheckTempFilesGone();
}

E2E_SCENARIO(unticked_boxes_and_a_folder_that_cannot_be_made) {
    InstallScenario s(L"C:\\Tavix E2E\\选项\\");
    const std::size_t n = Release().manifestLines.size();
    // A file where the folder PrintFiles should go.
    CreateDirectoryW(s.dir.c_str(), nullptr);
    WriteFileBytes(s.dir + L"PrintFiles", "in the way");
    const std::vector<std::size_t> printLines = LinesIn(L"PrintFiles");
    Check(printLines.size() == 3, "the release has %zu PrintFiles lines", printLines.size());

    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    SetCreateDesktopLink(wizard, false);
    ClickNext(wizard);
    StartInstall(wizard);
    // Each entry of that folder reports it, is skipped, and the loop goes on.
    for (std::size_t i = 0; i < printLines.size(); ++i) {
        MsgBoxInfo box = WaitMessageBox(s.setup.pid, 30000);
        CheckBox(box, L"Error", L"创建文件夹\\PrintFiles 失败", 1, true);
        Answer(box, IDOK);
    }
    WaitFinishPage(wizard, 60000);
    for (std::size_t i = 0; i < n; ++i) {
        if (std::find(printLines.begin(), printLines.end(), i) != printLines.end()) {
            CheckManifestNotInstalled(s.dir, i, i + 1);
        } else {
            CheckManifestInstalled(s.dir, i, i + 1);
        }
    }
    // The skipped entries left no bar step: the bar jumps over them.
    std::vector<int> bars = probe.BarPositions();
    for (std::size_t i : printLines)
        Check(std::find(bars.begin(), bars.end(), static_cast<int>(i) + 5) == bars.end(), "bar stood at %zu", i + 5);
    CheckInstallRegistry(s.dir);
    Check(!FileExists(DesktopLinkPath()), "a desktop shortcut was made although the box was cleared");

    // "运行软件" cleared: nothing starts and Options.ini stays as installed.
    SetRunAfterInstall(wizard, false);
    ClickFinish(wizard);
    WaitExit(s.setup);
    CheckSameFile(ReleaseDir() + L"\\Options.ini", s.dir + L"Options.ini");
    Check(FindTop(0, L"TTavi30", nullptr, 3000) == nullptr, "the product was started");
    CheckTempFilesGone();
}

E2E_SCENARIO(running_product_ends_the_setup) {
    InstallScenario s(L"C:\\Tavix E2E\\运行中\\");
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    // The product runs from the target folder; its executable is locked.
    CreateDirectoryW(s.dir.c_str(), nullptr);
    Check(CopyFileW((ReleaseDir() + L"\\TAVI.exe").c_str(), (s.dir + L"TAVI.exe").c_str(), FALSE),
          "cannot copy the stand-in product");
    Process product = Launch(s.dir + L"TAVI.exe", L"", s.dir);
    WaitTop(product.pid, L"TTavi30", L"Quorvix");
    StartInstall(wizard);
    MsgBoxInfo box = WaitMessageBox(s.setup.pid, 20000);
    CheckBox(box, L"tavixSetup", L"所要安装的程序正在运行中,请退出后再安装!", 1, false);
    Answer(box, IDOK);
    WaitExit(s.setup);
    // Only the product's own file is there, unchanged; nothing else was done.
    std::vector<std::wstring> files = FilesIn(s.dir);
    Check(files.size() == 1 && files[0] == L"TAVI.exe", "the folder holds %zu entries", files.size());
    CheckSameFile(ReleaseDir() + L"\\TAVI.exe", s.dir + L"TAVI.exe");
    Check(probe.LastBar() == 1, "the bar went on to %d", probe.LastBar());
    CheckNoInstallRegistry();
    Check(!FileExists(DesktopLinkPath()), "a desktop shortcut was made");
    Check(!DirExists(ProgramGroupDir()), "a program group was made");
    CheckTempFilesGone();
    Kill(product);
}

E2E_SCENARIO(manifest_line_naming_no_item_stops_the_sequence) {
    InstallScenario s(L"C:\\Tavix E2E\\缺项\\");
    const std::size_t n = Release().manifestLines.size();
    const std::size_t bad = 12;  // the line that takes the place of the 13th entry
    // A setup whose manifest names an item it does not carry.
    const std::wstring exe = SetupWithManifest(ManifestCutAt(bad, "NoSuchItem exename Nowhere.txt"));
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe, exe);
    ClickNext(wizard);
    HWND sec = StartInstall(wizard);
    MsgBoxInfo box = WaitMessageBox(s.setup.pid, 30000);
    CheckBox(box, L"tavixSetup", L"Resource NoSuchItem not found.", 1, true);
    Answer(box, IDOK);
    // The entries before it are there, none after it; nothing was registered.
    CheckManifestInstalled(s.dir, 0, bad);
    CheckManifestNotInstalled(s.dir, bad, n);
    Check(!FileExists(s.dir + L"Nowhere.txt"), "the missing item's target exists");
    Check(probe.LastBar() == static_cast<int>(bad) - 1 + 5, "the bar stands at %d", probe.LastBar());
    CheckNoInstallRegistry();
    Check(!FileExists(DesktopLinkPath()), "a desktop shortcut was made");
    // The window stays idle, the finish page never comes; cancel is the way out.
    Pause(1500);
    Check(!IsShown(wizard), "the finish page was shown");
    Check(IsShown(sec), "the installation window is gone");
    Click(FindChild(sec, L"Button", L"取消"));
    MsgBoxInfo confirm = WaitMessageBox(s.setup.pid);
    CheckBox(confirm, L"退出安装", L"安装程序进行中,确定要退出安装吗?", 2, false);
    Answer(confirm, IDOK);
    WaitExit(s.setup);
    CheckTempFilesGone();
}

E2E_SCENARIO(manifest_line_leaving_the_folder_stops_the_sequence) {
    InstallScenario s(L"C:\\Tavix E2E\\越界\\");
    const std::size_t n = Release().manifestLines.size();
    const std::size_t bad = 3;
    // A setup whose manifest tries to write beside the installation folder.
    const std::wstring exe = SetupWithManifest(ManifestCutAt(bad, "FileIni ininame ..\\逃逸\\Options.ini"));
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe, exe);
    ClickNext(wizard);
    HWND sec = StartInstall(wizard);
    MsgBoxInfo box = WaitMessageBox(s.setup.pid, 30000);
    const std::wstring prefix = L"Cannot create file \"C:\\Tavix E2E\\越界\\..\\逃逸\\Options.ini\". ";
    Check(box.caption == L"tavixSetup" && box.text.rfind(prefix, 0) == 0 && box.text.size() > prefix.size() + 1 &&
              EndsInOneFullStop(box.text) && box.hasIcon,
          "box %s: %s", ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
    Answer(box, IDOK);
    Check(!DirExists(L"C:\\Tavix E2E\\逃逸"), "a folder outside the installation folder was made");
    CheckManifestInstalled(s.dir, 0, bad);
    CheckManifestNotInstalled(s.dir, bad, n);
    Check(probe.LastBar() == static_cast<int>(bad) - 1 + 5, "the bar stands at %d", probe.LastBar());
    CheckNoInstallRegistry();
    Click(FindChild(sec, L"Button", L"取消"));
    Answer(WaitMessageBox(s.setup.pid), IDOK);
    WaitExit(s.setup);
    CheckTempFilesGone();
}

E2E_SCENARIO(main_folder_that_cannot_be_made) {
    InstallScenario s(L"C:\\Tavix E2E\\文件\\子目录\\");
    WriteFileBytes(L"C:\\Tavix E2E\\文件", "a file, not a folder");
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    HWND sec = StartInstall(wizard);
    MsgBoxInfo box = WaitMessageBox(s.setup.pid, 20000);
    CheckBox(box, L"Error", L"创建主文件夹\\C:\\Tavix E2E\\文件\\子目录\\ 失败", 1, true);
    Answer(box, IDOK);
    // The sequence ends there: status and bar as they were, no other message.
    Check(NoMessageBox(s.setup.pid, 1500), "another message followed");
    std::vector<std::wstring> status = probe.StatusTexts();
    Check(!status.empty() && status.back() == L"安装主程序文件", "status reads %s",
          status.empty() ? "<nothing>" : ToUtf8(status.back()).c_str());
    Check(probe.LastBar() == 1, "the bar stands at %d", probe.LastBar());
    CheckNoInstallRegistry();
    Click(FindChild(sec, L"Button", L"取消"));
    Answer(WaitMessageBox(s.setup.pid), IDOK);
    WaitExit(s.setup);
    CheckTempFilesGone();
}

E2E_SCENARIO(cancel_during_the_loop) {
    InstallScenario s(L"C:\\Tavix E2E\\取消\\");
    const std::size_t n = Release().manifestLines.size();
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    HWND sec = StartInstall(wizard);
    HWND cancel = FindChild(sec, L"Button", L"取消");
    Check(cancel != nullptr, "no cancel button");

    // Cancel in the confirmation: nothing changes, the sequence goes on.
    Check(probe.WaitBar(20, 30000), "the bar did not reach 20");
    Click(cancel);
    MsgBoxInfo box = WaitMessageBox(s.setup.pid);
    CheckBox(box, L"退出安装", L"安装程序进行中,确定要退出安装吗?", 2, false);
    const int barAtQuestion = probe.LastBar();
    Pause(500);
    Check(probe.LastBar() == barAtQuestion, "the sequence went on while the question was open");
    Answer(box, IDCANCEL);
    Check(probe.WaitBar(barAtQuestion + 10, 10000), "the sequence did not go on after Cancel");
    Check(!HasExited(s.setup), "the setup ended after Cancel");

    // OK: the setup ends at once; what was written stays, nothing is registered.
    Check(probe.WaitBar(45, 30000), "the bar did not reach 45");
    Click(cancel);
    Answer(WaitMessageBox(s.setup.pid), IDOK);
    WaitExit(s.setup);
    const int lastBar = probe.LastBar();
    Check(lastBar >= 45 && lastBar < 100, "the bar stopped at %d", lastBar);
    const std::size_t written = static_cast<std::size_t>(lastBar - 5 + 1);
    CheckManifestInstalled(s.dir, 0, written);
    CheckManifestNotInstalled(s.dir, written, n);
    CheckNoInstallRegistry();
    Check(!FileExists(DesktopLinkPath()), "a desktop shortcut was made");
    Check(!DirExists(ProgramGroupDir()), "a program group was made");
    CheckTempFilesGone();
}

// The usual folder of a 32-bit program on 64-bit Windows holds a ")", which
// ends an unquoted parameter of the program manager's commands. The group
// still gets its four items, and the program manager itself makes them from
// the commands as the setup sends them: the record says so only when the
// setup did not have to make them itself.
E2E_SCENARIO(program_group_of_a_folder_with_a_parenthesis) {
    Check(GetACP() == 936, "the session's code page is %u, not GBK", GetACP());
    InstallScenario s(L"C:\\Program Files (x86)\\Tavix280\\");
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    StartInstall(wizard);
    WaitFinishPage(wizard, 60000);
    CheckProgramGroup(s.dir);
    std::string record;
    Check(ReadFileBytes(s.dir + L"Uninstall.dat", record), "no record");
    Check(record.find("\r\ngroup progman " + Release().caption + "\r\n") != std::string::npos,
          "the program manager did not make the group; the setup made its items itself");
    SetRunAfterInstall(wizard, false);
    ClickFinish(wizard);
    WaitExit(s.setup);

    CloseProgramGroupWindows();
    DeleteTree(ProgramGroupDir());
    SendToProgramManager(tavix::ProgramGroupCommands(Narrow(s.dir, 936), Release().exeName, Release().caption));
    CheckProgramGroup(s.dir);
}

// A part of the installation that could not be made (here the desktop
// shortcut: a folder of its name is in its place) is named, with why, before
// the finish page says the installation is done.
E2E_SCENARIO(a_part_that_could_not_be_made_is_named_before_the_finish_page) {
    InstallScenario s(L"C:\\Tavix E2E\\缺少 快捷方式\\");
    Check(CreateDirectoryW(DesktopLinkPath().c_str(), nullptr) != FALSE, "cannot put a folder in the shortcut's place");
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    StartInstall(wizard);
    MsgBoxInfo box = WaitMessageBox(s.setup.pid, 60000);
    Check(box.caption == L"tavixSetup" &&
              box.text.find(L"安装已完成，但以下部分没有创建：\r\r桌面快捷方式 " + DesktopLinkPath() + L"（") == 0,
          "the box says %s: %s", ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
    Check(!IsShown(wizard), "the finish page came before the box");
    Answer(box, IDOK);
    WaitFinishPage(wizard, 30000);
    CheckProgramGroup(s.dir);
    SetRunAfterInstall(wizard, false);
    ClickFinish(wizard);
    WaitExit(s.setup);
}
