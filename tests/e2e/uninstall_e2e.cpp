// The uninstaller, run as a user or an administrator would after an
// installation: with its window and with /S, over files the user made or
// changed, over a record others changed to point outside the folder, without
// a record, with the product running, after an upgrade, with the document
// type taken over by another program, and a setup installing cleanly again
// afterwards; with /PASSIVE, one progress window.
#include <functional>

#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/setup_steps.h"
#include "driver/silent_steps.h"
#include "driver/wizard_steps.h"
#include "setupdata/crc32.h"

using namespace e2e;

namespace {

const wchar_t kUninstallKey[] = L"software\\microsoft\\windows\\currentversion\\uninstall\\Quorvix";

std::wstring NoSlash(const std::wstring& dir) { return dir.substr(0, dir.size() - 1); }

DWORD SilentInstall(const std::wstring& exe, const std::wstring& dir) {
    Process p = Launch(exe, L"/S /D=" + NoSlash(dir));
    DWORD code = WaitExit(p, 120000);
    CloseHandle(p.handle);
    return code;
}

// Runs the folder's Uninstall.exe with /S to its end; returns its exit code
// and the log, whose name holds characters without a GBK form, as a profile
// folder's name may.
DWORD SilentUninstall(const std::wstring& dir, std::wstring& log) {
    const std::wstring logPath = std::wstring(kTestRoot) + L"\\卸载 记录 \u0141\u00F3d\u017A.log";
    DeleteFileW(logPath.c_str());
    Process p = Launch(dir + L"Uninstall.exe", L"/S \"/LOG=" + logPath + L"\"");
    DWORD code = WaitExit(p, 120000);
    CloseHandle(p.handle);
    log = ReadLog(logPath);
    return code;
}

// The uninstaller's helper has ended: its copy in the temporary folder is gone.
void CheckNoUninstallerCopy() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    Check(WaitFor([&] {
        for (const std::wstring& name : FilesIn(temp))
            if (name.rfind(L"~tu", 0) == 0) return false;
        return true;
    }, 10000), "a copy of the uninstaller is left in %s", ToUtf8(temp).c_str());
}

// Once an uninstaller has ended, its helper removes its file (and the folder,
// when empty) and ends: wait for that before the folder is used again.
void WaitHelperDone(const std::wstring& dir) {
    Check(WaitFor([&] { return !FileExists(dir + L"Uninstall.exe"); }, 10000), "the uninstaller's file is left");
    CheckNoUninstallerCopy();
}

// Nothing of the installation in `dir` is left: its files, the folder, the
// registry values, the desktop shortcut `link` and the program group `group`.
void CheckAllGone(const std::wstring& dir, const std::wstring& link, const std::wstring& group) {
    const bool gone = WaitFor([&] { return !DirExists(dir); }, 10000);
    const std::vector<std::wstring> left = FilesIn(dir);
    Check(gone, "the folder %s is left, holding %zu entries (%s)", ToUtf8(dir).c_str(), left.size(),
          left.empty() ? "" : ToUtf8(left[0]).c_str());
    CheckNoInstallRegistry();
    Check(!FileExists(link), "the desktop shortcut %s is left", ToUtf8(link).c_str());
    Check(!DirExists(group), "the program group %s is left", ToUtf8(group).c_str());
    CheckNoUninstallerCopy();
}

void CheckNothingRemoved(const std::wstring& dir) {
    for (std::size_t i = 0; i < Release().manifestLines.size(); ++i)
        Check(FileExists(TargetOf(dir, i)), "%s was removed", ToUtf8(TargetOf(dir, i)).c_str());
    CheckInstallRegistry(dir);
    Check(FileExists(DesktopLinkPath()), "the desktop shortcut was removed");
    Check(DirExists(ProgramGroupDir()), "the program group was removed");
}

// The uninstaller's window, once it shows.
HWND WaitUninstallWindow() { return WaitTop(0, L"TFormUninstall", nullptr, 30000); }

// Presses "卸载" and waits for the result page; returns its details text.
std::wstring UninstallWithWindow(HWND form) {
    Click(WaitChild(form, L"Button", L"卸载"));
    Check(WaitFor([&] { return FindChild(form, L"Button", L"完成") != nullptr; }, 60000), "no result page");
    HWND details = FindChild(form, L"Edit", nullptr);
    return details && IsShown(details) ? Text(details) : std::wstring();
}

// The record's line for a file: its CRC-32, size, nothing seen of it, and
// `path` (GBK bytes).
std::string RecordLine(const std::string& bytes, const std::string& path) {
    char head[40];
    std::snprintf(head, sizeof head, "file %08x %zu - ", tavix::Crc32(bytes), bytes.size());
    return head + path + "\r\n";
}

void AppendToRecord(const std::wstring& dir, const std::string& lines) {
    std::string record;
    Check(ReadFileBytes(dir + L"Uninstall.dat", record), "no record in %s", ToUtf8(dir).c_str());
    WriteFileBytes(dir + L"Uninstall.dat", record + lines);
}

BOOL CALLBACK AddLabelText(HWND w, LPARAM out) {
    if (ClassOf(w) == L"Static" && IsShown(w)) *reinterpret_cast<std::wstring*>(out) += Text(w) + L"\n";
    return TRUE;
}

// The texts of the window's labels, one after the other.
std::wstring LabelTexts(HWND form) {
    std::wstring all;
    EnumChildWindows(form, &AddLabelText, reinterpret_cast<LPARAM>(&all));
    return all;
}

// Whether the result page says the installation folder goes (now or once
// the window closes).
bool SaysTheFolderGoes(const std::wstring& page, const std::wstring& dir) {
    return page.find(L"安装文件夹 " + dir + L" 已删除") != std::wstring::npos ||
           page.find(L"安装文件夹 " + dir + L" 将在关闭本窗口后删除") != std::wstring::npos;
}

// Something of the installation stays for a second run: the uninstaller,
// its record and the uninstall entry (once its helper has ended).
void CheckKeptForASecondRun(const std::wstring& dir) {
    CheckNoUninstallerCopy();
    Check(FileExists(dir + L"Uninstall.exe"), "the uninstaller was removed");
    Check(FileExists(dir + L"Uninstall.dat"), "the record was removed");
    std::wstring command;
    Check(RegRead(HKEY_CURRENT_USER, kUninstallKey, L"uninstallstring", command) &&
              command == L"\"" + dir + L"Uninstall.exe\"",
          "the uninstall entry was removed");
}

} // namespace

// A wizard installation that started the product; the uninstaller first
// asks to end it (No: nothing is removed), then, ended, removes everything.
E2E_SCENARIO(window_uninstall_after_a_wizard_installation_with_the_product_running) {
    InstallScenario s(L"C:\\Tavix E2E\\卸载 窗口\\");
    s.setup = StartSetupToWizard();
    HWND wizard = WaitWizard(s.setup.pid);
    GoToFolderPage(wizard);
    SetInstallFolder(wizard, s.dir);
    ClickNext(wizard);
    StartInstall(wizard);
    WaitFinishPage(wizard);
    SetRunAfterInstall(wizard, true);
    ClickFinish(wizard);
    Check(WaitExit(s.setup, 30000) == 0, "the setup did not end");
    Check(FindTop(0, L"TTavi30", nullptr, 15000) != nullptr, "the product was not started");
    CloseProgramGroupWindows();

    // No: the product runs on and nothing is removed.
    Process u = Launch(s.dir + L"Uninstall.exe");
    MsgBoxInfo box = WaitMessageBox(0, 30000);
    CheckBox(box, L"运行提示",
             L"Quorvix正在运行中，只有结束其\r运行后，才能进行卸载。\r\r要结束正在运行的Quorvix吗?", 2, true);
    Answer(box, IDNO);
    Check(WaitExit(u, 30000) == 3, "declining to end the product: not exit code 3");
    CloseHandle(u.handle);
    Check(FindTop(0, L"TTavi30", nullptr) != nullptr, "the product was ended");
    CheckNothingRemoved(s.dir);

    // Yes: the product is ended, then the one question, then everything goes.
    u = Launch(s.dir + L"Uninstall.exe");
    Answer(WaitMessageBox(0, 30000), IDYES);
    HWND form = WaitUninstallWindow();
    Check(WaitFor([] { return FindTop(0, L"TTavi30", nullptr) == nullptr; }, 15000), "the product still runs");
    Check(Text(form) == L"卸载" + W936(Release().caption), "window caption %s", ToUtf8(Text(form)).c_str());
    Screenshot(form, L"uninstall_confirm");
    const std::wstring details = UninstallWithWindow(form);
    Screenshot(form, L"uninstall_finished");
    Check(details.empty(), "the result names kept or failed items:\n%s", ToUtf8(details).c_str());
    Click(WaitChild(form, L"Button", L"完成"));
    Check(WaitExit(u, 30000) == 0, "the uninstaller did not end with 0");
    CloseHandle(u.handle);
    // The program manager's group and the finish page's mark in Options.ini
    // included.
    CheckAllGone(s.dir, DesktopLinkPath(), ProgramGroupDir());
}

// /S over a folder where the user made files and changed installed ones:
// those stay and are named; everything else goes. Then a setup installs
// cleanly into the same folder, and /S removes that installation whole.
E2E_SCENARIO(silent_uninstall_keeps_the_users_files_and_the_setup_installs_again) {
    InstallScenario s(L"C:\\Tavix E2E\\卸载 静默\\");
    Check(SilentInstall(SetupExe(), s.dir) == 0, "the silent installation failed");
    const std::wstring menu = s.dir + L"UserFile\\食谱范例\\正常人群\\中体力食谱[女18-岁].Qvt";
    std::string bytes;
    Check(ReadFileBytes(menu, bytes), "no %s", ToUtf8(menu).c_str());
    bytes[bytes.size() / 2] ^= 1;  // one bit, same size
    WriteFileBytes(menu, bytes);
    WriteFileBytes(s.dir + L"CYLib\\CYDish.dat", "the user's own dishes");
    WriteFileBytes(s.dir + L"我的食谱.Qvt", "a menu the user made");
    CreateDirectoryW((s.dir + L"UserFile\\我的").c_str(), nullptr);
    WriteFileBytes(s.dir + L"UserFile\\我的\\午餐.Qvt", "another");

    std::wstring log;
    Check(SilentUninstall(s.dir, log) == 5, "not exit code 5 with the user's files kept:\n%s", ToUtf8(log).c_str());
    for (const std::wstring& kept : {menu, s.dir + L"CYLib\\CYDish.dat"}) {
        Check(log.find(L"kept " + kept + L": changed since it was installed") != std::wstring::npos,
              "the log does not name %s as changed:\n%s", ToUtf8(kept).c_str(), ToUtf8(log).c_str());
        Check(FileExists(kept), "%s was removed", ToUtf8(kept).c_str());
    }
    for (const wchar_t* own : {L"我的食谱.Qvt", L"UserFile\\我的\\午餐.Qvt"})
        Check(FileExists(s.dir + own), "the user's %s was removed", ToUtf8(own).c_str());
    // The uninstaller's own file goes once it has ended.
    WaitHelperDone(s.dir);
    for (std::size_t i = 0; i < Release().manifestLines.size(); ++i) {
        const std::wstring target = TargetOf(s.dir, i);
        if (target != menu && target != s.dir + L"CYLib\\CYDish.dat")
            Check(!FileExists(target), "%s is left", ToUtf8(target).c_str());
    }
    Check(!FileExists(s.dir + L"Uninstall.dat"), "the record is left");
    Check(!DirExists(s.dir + L"SdbFile"), "an emptied folder is left");
    CheckNoInstallRegistry();
    Check(!FileExists(DesktopLinkPath()) && !DirExists(ProgramGroupDir()), "the shortcut or the group is left");
    CheckNoUninstallerCopy();

    // With the window the result page names the changed file (not the
    // user's own, which the setup never wrote).
    DeleteTree(NoSlash(s.dir));
    Check(SilentInstall(SetupExe(), s.dir) == 0, "installing again failed");
    WriteFileBytes(s.dir + L"Options.ini", "[Option]\r\nFont=12\r\n");
    WriteFileBytes(s.dir + L"我的食谱.Qvt", "a menu the user made");
    Process u = Launch(s.dir + L"Uninstall.exe");
    HWND form = WaitUninstallWindow();
    const std::wstring details = UninstallWithWindow(form);
    Screenshot(form, L"uninstall_kept");
    Check(details.find(L"以下文件在安装后被修改过，已保留：\r\n    " + s.dir + L"Options.ini\r\n") != std::wstring::npos,
          "the result page does not name the changed file:\n%s", ToUtf8(details).c_str());
    Check(details.find(L"我的食谱") == std::wstring::npos, "the result page names the user's own file");
    // The folder stays with the user's files, and the page says so.
    const std::wstring page = LabelTexts(form);
    Check(page.find(L"安装文件夹 " + s.dir + L" 中保留了您的文件，该文件夹没有删除。") != std::wstring::npos &&
              !SaysTheFolderGoes(page, s.dir),
          "the result page does not say the folder stays:\n%s", ToUtf8(page).c_str());
    Click(WaitChild(form, L"Button", L"完成"));
    Check(WaitExit(u, 30000) == 5, "kept files with the window: not exit code 5");
    CloseHandle(u.handle);
    Check(FileExists(s.dir + L"Options.ini") && FileExists(s.dir + L"我的食谱.Qvt"), "a kept file is gone");
    WaitHelperDone(s.dir);

    // The setup installs into the folder again as into a new one.
    DeleteTree(NoSlash(s.dir));
    Check(SilentInstall(SetupExe(), s.dir) == 0, "installing again failed");
    CheckManifestInstalled(s.dir, 0, Release().manifestLines.size());
    CheckInstallRegistry(s.dir);
    std::string record;
    Check(ReadFileBytes(s.dir + L"Uninstall.dat", record) && record.find("我的") == std::string::npos,
          "the new record names the earlier installation's files");
    Check(SilentUninstall(s.dir, log) == 0, "uninstalling again: exit code not 0:\n%s", ToUtf8(log).c_str());
    const std::wstring last = L"exit code 0: uninstalled\r\n";
    Check(log.size() > last.size() && log.compare(log.size() - last.size(), last.size(), last) == 0,
          "the log does not end with the outcome:\n%s", ToUtf8(log).c_str());
    CheckAllGone(s.dir, DesktopLinkPath(), ProgramGroupDir());
}

// A record changed to name files outside the folder, and folders and files
// of the installation replaced by links to places outside it: the lines are
// refused and named, nothing outside is touched, the rest goes.
E2E_SCENARIO(a_changed_record_and_planted_links_touch_nothing_outside) {
    InstallScenario s(L"C:\\Tavix E2E\\卸载 记录\\");
    Check(SilentInstall(SetupExe(), s.dir) == 0, "the silent installation failed");
    // Outside: a folder with files whose bytes are those of installed files,
    // so that only the place tells them apart.
    const std::wstring outside = std::wstring(kTestRoot) + L"\\外面\\";
    CreateDirectoryW(outside.c_str(), nullptr);
    std::string readme;
    Check(ReadFileBytes(s.dir + L"Readme.txt", readme), "no Readme.txt");
    WriteFileBytes(outside + L"Readme.txt", readme);
    const std::string abs = Narrow(outside, 936) + "Readme.txt";
    AppendToRecord(s.dir, RecordLine(readme, "..\\外面\\Readme.txt") + RecordLine(readme, "CYLib\\..\\..\\外面\\Readme.txt") +
                              RecordLine(readme, abs) + RecordLine(readme, "\\\\localhost\\C$\\Tavix E2E\\外面\\Readme.txt") +
                              RecordLine(readme, "\\Tavix E2E\\外面\\Readme.txt") + RecordLine(readme, "CYLib\\con.txt") +
                              "desktop \\..\\..\\..\\Tavix E2E\\外面\\x.lnk\r\n");
    // A folder of the installation replaced by a link to a copy of it outside,
    // and a file by a link to a copy outside.
    const std::wstring cylibOutside = outside + L"CYLib";
    Check(MoveFileW((s.dir + L"CYLib").c_str(), cylibOutside.c_str()), "cannot move CYLib");
    MakeUnixLink(s.dir + L"CYLib", cylibOutside);
    std::string help;
    Check(ReadFileBytes(s.dir + L"help.chm", help), "no help.chm");
    WriteFileBytes(outside + L"help.chm", help);
    DeleteFileW((s.dir + L"help.chm").c_str());
    MakeUnixLink(s.dir + L"help.chm", outside + L"help.chm");
    const std::vector<std::wstring> outsideFiles = FilesIn(cylibOutside + L"\\");
    // Group and shortcut lines of things the setup did not make: an empty
    // folder of the Start menu, a desktop shortcut into the folder but not
    // to its program.
    const std::wstring startup = ProgramsDir() + L"\\Startup";
    CreateDirectoryW(startup.c_str(), nullptr);
    const std::wstring otherLink = CommonDesktopDir() + L"\\别的程序.lnk";
    std::string helpLink;
    Check(ReadFileBytes(ProgramGroupDir() + L"\\使用说明.lnk", helpLink), "no group item 使用说明");
    WriteFileBytes(otherLink, helpLink);
    AppendToRecord(s.dir, "group links Startup\r\ndesktop \\别的程序.lnk\r\n");

    std::wstring log;
    const DWORD code = SilentUninstall(s.dir, log);
    Check(code == 7, "exit code %lu, not 7 for a refused record:\n%s", code, ToUtf8(log).c_str());
    for (const char* line : {"..\\外面\\Readme.txt", "CYLib\\..\\..\\外面", "\\\\localhost", "\\Tavix E2E\\外面",
                             "CYLib\\con.txt", "desktop \\..\\"})
        Check(log.find(L"refused line") != std::wstring::npos && log.find(W936(line)) != std::wstring::npos,
              "the log does not name the refused line %s:\n%s", line, ToUtf8(log).c_str());
    Check(log.find(W936(abs)) != std::wstring::npos, "the absolute line is not named");
    std::string still;
    Check(ReadFileBytes(outside + L"Readme.txt", still) && still == readme, "the file outside was touched");
    Check(ReadFileBytes(outside + L"help.chm", still) && still == help, "the file behind the file link was touched");
    Check(FilesIn(cylibOutside + L"\\") == outsideFiles && outsideFiles.size() == 11,
          "the folder behind the link lost files: %zu left", FilesIn(cylibOutside + L"\\").size());
    // The rest of the installation is gone; the links stay, as the user's.
    Check(!FileExists(s.dir + L"TAVI.exe") && !FileExists(s.dir + L"Readme.txt"), "installed files are left");
    Check(IsLink(s.dir + L"CYLib") && IsLink(s.dir + L"help.chm"), "a link in the folder was removed");
    CheckNoInstallRegistry();
    Check(DirExists(startup), "the Start menu's folder Startup was removed");
    Check(FileExists(otherLink), "a desktop shortcut the setup did not make was removed");
    DeleteFileW(otherLink.c_str());
    DeleteTree(s.dir + L"CYLib");
    DeleteTree(s.dir + L"help.chm");
}

// Without a record, and with a damaged one, the uninstaller says so before
// it removes anything.
E2E_SCENARIO(a_missing_or_damaged_record_removes_nothing) {
    InstallScenario s(L"C:\\Tavix E2E\\卸载 无记录\\");
    Check(SilentInstall(SetupExe(), s.dir) == 0, "the silent installation failed");
    std::string record;
    Check(ReadFileBytes(s.dir + L"Uninstall.dat", record), "no record");

    DeleteFileW((s.dir + L"Uninstall.dat").c_str());
    std::wstring log;
    Check(SilentUninstall(s.dir, log) == 4, "no record: not exit code 4:\n%s", ToUtf8(log).c_str());
    Check(log.find(L"没有安装记录") != std::wstring::npos, "the log does not say why:\n%s", ToUtf8(log).c_str());
    CheckNothingRemoved(s.dir);

    // With the window: a box that says why, then nothing else.
    Process u = Launch(s.dir + L"Uninstall.exe");
    MsgBoxInfo box = WaitMessageBox(0, 30000);
    CheckBox(box, (L"卸载" + W936(Release().caption)).c_str(),
             L"无法卸载：安装文件夹 " + s.dir + L" 中没有安装记录 Uninstall.dat。\r\r没有删除任何文件。", 1, true);
    Answer(box, IDOK);
    Check(WaitExit(u, 30000) == 4, "no record, with the window: not exit code 4");
    CloseHandle(u.handle);

    WriteFileBytes(s.dir + L"Uninstall.dat", record.substr(0, 40) + "\r\nremove C:\\Windows\r\n" + record.substr(40));
    Check(SilentUninstall(s.dir, log) == 4, "a damaged record: not exit code 4:\n%s", ToUtf8(log).c_str());
    Check(log.find(L"已损坏") != std::wstring::npos, "the log does not say the record is damaged:\n%s",
          ToUtf8(log).c_str());
    CheckNothingRemoved(s.dir);
    CheckNoUninstallerCopy();
}

// An upgrade to a later release over the sample, then /S: the files, the
// shortcuts and the groups of both releases go.
E2E_SCENARIO(uninstall_after_an_upgrade_removes_both_releases) {
    InstallScenario s(L"C:\\Tavix E2E\\卸载 升级\\");
    const std::wstring later = Env(L"TAVIX_LATER_SETUP_EXE");
    const std::wstring laterLink = CommonDesktopDir() + L"\\Quorvixv2.8.3(m).lnk";
    const std::wstring laterGroup = ProgramsDir() + L"\\Quorvixv2.8.3.0（标准版-m）";
    struct Clean {
        std::wstring link, group;
        ~Clean() {
            DeleteTree(link);
            DeleteTree(group);
        }
    } clean{laterLink, laterGroup};
    Check(SilentInstall(SetupExe(), s.dir) == 0, "installing 2.8.2.6 failed");
    Check(SilentInstall(later, s.dir) == 0, "upgrading to the later release failed");
    Check(FileExists(s.dir + L"SdbFile\\Help.BLB") && FileExists(s.dir + L"Notes\\Later.txt"),
          "the folder does not hold the files of both releases");
    Check(FileExists(laterLink) && DirExists(laterGroup) && FileExists(DesktopLinkPath()) && DirExists(ProgramGroupDir()),
          "the shortcuts and groups of both releases are not there");
    std::wstring serial;
    Check(RegRead(HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\Serial", L"Serial", serial) && serial == L"02080300",
          "the later release's serial is not recorded");
    std::wstring log;
    Check(SilentUninstall(s.dir, log) == 0, "not exit code 0 after the upgrade:\n%s", ToUtf8(log).c_str());
    CheckAllGone(s.dir, DesktopLinkPath(), ProgramGroupDir());
    Check(!FileExists(laterLink) && !DirExists(laterGroup), "the later release's shortcut or group is left");
}

// The document type taken over by another program, and the extension by a
// third: both are left; the rest of the installation goes.
E2E_SCENARIO(an_association_taken_over_is_left_alone) {
    InstallScenario s(L"C:\\Tavix E2E\\卸载 关联\\");
    Check(SilentInstall(SetupExe(), s.dir) == 0, "the silent installation failed");
    const std::wstring other = L"\"C:\\Other Viewer\\Viewer.exe\" \"%1\"";
    RegWrite(HKEY_CLASSES_ROOT, L"Software\\TAVIX\\Shell\\Open\\Command", L"", other);
    std::wstring log;
    Check(SilentUninstall(s.dir, log) == 0, "not exit code 0:\n%s", ToUtf8(log).c_str());
    std::wstring value;
    Check(RegRead(HKEY_CLASSES_ROOT, L"Software\\TAVIX\\Shell\\Open\\Command", L"", value) && value == other,
          "the other program's command was removed");
    Check(RegRead(HKEY_CLASSES_ROOT, L".Qvt", L"", value) && value == L"Software\\TAVIX",
          "the extension of the other program's type was removed");
    Check(!RegKeyExists(HKEY_CURRENT_USER, kUninstallKey), "the uninstall entry is left");
    WaitHelperDone(s.dir);

    // Installed again, then the extension given to a third program: the
    // class goes (it is this installation's), the extension stays.
    Check(SilentInstall(SetupExe(), s.dir) == 0, "installing again failed");
    RegWrite(HKEY_CLASSES_ROOT, L".Qvt", L"", L"Another.Document");
    Check(SilentUninstall(s.dir, log) == 0, "not exit code 0:\n%s", ToUtf8(log).c_str());
    Check(RegRead(HKEY_CLASSES_ROOT, L".Qvt", L"", value) && value == L"Another.Document",
          "the extension taken by another program was changed");
    Check(!RegKeyExists(HKEY_CLASSES_ROOT, L"Software\\TAVIX"), "this installation's document type is left");
}

// Uninstall.exe /PASSIVE, as a deployment tool runs it: on each refusal the
// exit code of /S and nothing removed; then one window that asks nothing and
// cannot be closed while everything goes.
E2E_SCENARIO(passive_uninstall_shows_only_its_progress_window) {
    InstallScenario s(L"C:\\Tavix E2E\\卸载 进度\\");
    Check(SilentInstall(SetupExe(), s.dir) == 0, "the silent installation failed");
    const std::wstring title = L"卸载" + W936(Release().caption);
    const std::wstring record = s.dir + L"Uninstall.dat", aside = s.dir + L"Uninstall.dat.aside";
    Process other, product;
    struct Row {
        const char* what;
        DWORD code;
        std::function<void()> before, after;
    };
    const Row rows[] = {
        {"the product running", 3,
         [&] { product = StartProduct(std::wstring(kTestRoot) + L"\\运行中", L"TAVI.exe"); },
         [&] { Kill(product); }},
        {"another copy running", 2, [&] { other = StartSetupToWizard(); },
         [&] {
             Kill(other);
             RemoveControlFiles();
         }},
        {"no record", 4, [&] { MoveFileW(record.c_str(), aside.c_str()); },
         [&] { MoveFileW(aside.c_str(), record.c_str()); }},
    };
    for (const Row& row : rows) {
        for (const wchar_t* mode : {L"/S", L"/PASSIVE"}) {
            Log("%s, %s", row.what, ToUtf8(mode).c_str());
            row.before();
            const WatchedRun run = RunWatched(s.dir + L"Uninstall.exe", mode);
            row.after();
            Check(run.code == row.code, "%s with %s: exit code %lu, expected %lu", row.what, ToUtf8(mode).c_str(),
                  run.code, row.code);
            for (const SeenWindow& w : run.windows)
                Check(mode[1] == L'P' && w.cls == L"TFormProgress", "%s with %s: a window %s \"%s\" showed",
                      row.what, ToUtf8(mode).c_str(), ToUtf8(w.cls).c_str(), ToUtf8(w.title).c_str());
            CheckNothingRemoved(s.dir);
            CheckNoUninstallerCopy();
        }
    }

    const std::wstring logPath = std::wstring(kTestRoot) + L"\\卸载 进度.log";
    const WatchedRun run = RunWatched(s.dir + L"Uninstall.exe", L"/PASSIVE \"/LOG=" + logPath + L"\"",
                                      [](const Process&, HWND w) {
                                          Screenshot(w, L"passive_uninstall");
                                          CheckProgressWindowAndTryToEndIt(w, "the uninstallation");
                                      });
    const std::wstring log = ReadLog(logPath);
    Check(run.code == 0, "exit code %lu\n%s", run.code, ToUtf8(log).c_str());
    CheckOnlyTheProgressWindow(run, title, "the uninstallation");
    Check(EndsWith(log, L"exit code 0: uninstalled\r\n"), "the log does not end with the outcome:\n%s",
          ToUtf8(log).c_str());
    CheckAllGone(s.dir, DesktopLinkPath(), ProgramGroupDir());
}

// The user's own file and folder in the program group stay, and so does the
// group; the setup's own items go. So with a group the setup made as its
// own shortcuts and with one the program manager made.
E2E_SCENARIO(the_users_own_items_in_the_program_group_stay) {
    for (const char* how : {"links", "progman"}) {
        Log("a group made as %s", how);
        InstallScenario s(L"C:\\Tavix E2E\\卸载 程序组\\");
        Check(SilentInstall(SetupExe(), s.dir) == 0, "the silent installation failed");
        std::string record;
        Check(ReadFileBytes(s.dir + L"Uninstall.dat", record), "no record");
        const std::size_t at = record.find("\r\ngroup links ");
        Check(at != std::string::npos, "the record names no group made as links");
        if (std::string(how) == "progman") WriteFileBytes(s.dir + L"Uninstall.dat", record.replace(at + 8, 5, "progman"));
        const std::wstring group = ProgramGroupDir() + L"\\";
        WriteFileBytes(group + L"我的笔记.txt", "notes");
        CreateDirectoryW((group + L"我的").c_str(), nullptr);
        WriteFileBytes(group + L"我的\\a.txt", "a");

        std::wstring log;
        const DWORD code = SilentUninstall(s.dir, log);
        Check(code == 5, "%s: exit code %lu, not 5 with the user's items kept:\n%s", how, code, ToUtf8(log).c_str());
        Check(FileExists(group + L"我的笔记.txt") && FileExists(group + L"我的\\a.txt"), "%s: the user's items are gone", how);
        const std::vector<std::wstring> left = FilesIn(group);
        Check(left.size() == 2, "%s: the group holds %zu entries, not the user's two", how, left.size());
        WaitHelperDone(s.dir);
        Check(!DirExists(s.dir), "%s: the installation folder is left", how);
        CheckNoInstallRegistry();
        DeleteTree(group);
    }
}

// A file held open: exit code 6, and the uninstaller, its record (naming
// what is left) and the entry stay; the window says what stays. Once the
// file is free, a second run removes the rest.
E2E_SCENARIO(a_file_in_use_keeps_the_uninstaller_for_a_second_run) {
    InstallScenario s(L"C:\\Tavix E2E\\卸载 占用\\");
    Check(SilentInstall(SetupExe(), s.dir) == 0, "the silent installation failed");
    HANDLE held = CreateFileW((s.dir + L"Readme.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    Check(held != INVALID_HANDLE_VALUE, "cannot hold Readme.txt");
    struct Release {
        HANDLE& h;
        ~Release() {
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        }
    } release{held};

    std::wstring log;
    DWORD code = SilentUninstall(s.dir, log);
    Check(code == 6, "exit code %lu, not 6 with a file in use:\n%s", code, ToUtf8(log).c_str());
    Check(log.find(L"could not remove " + s.dir + L"Readme.txt") != std::wstring::npos, "the log does not name the file:\n%s",
          ToUtf8(log).c_str());
    Check(log.find(L"kept for a second run") != std::wstring::npos, "the log does not say what stays:\n%s",
          ToUtf8(log).c_str());
    CheckKeptForASecondRun(s.dir);
    std::string record;
    Check(ReadFileBytes(s.dir + L"Uninstall.dat", record), "no record");
    // Its lines: the program (for the shortcuts), the file in use, the uninstaller.
    Check(record.find(" Readme.txt\r\n") != std::string::npos && record.find("program TAVI.exe\r\n") != std::string::npos &&
              record.find(" TAVI.exe\r\n", record.find("program TAVI.exe\r\n") + 10) == std::string::npos &&
              record.find("desktop ") == std::string::npos,
          "the record does not name just what is left:\n%s\nlog:\n%s", record.c_str(), ToUtf8(log).c_str());
    Check(!FileExists(s.dir + L"TAVI.exe") && !FileExists(DesktopLinkPath()), "the rest was not removed");

    // With the window: the page says what stays and that the folder does.
    Process u = Launch(s.dir + L"Uninstall.exe");
    HWND form = WaitUninstallWindow();
    const std::wstring details = UninstallWithWindow(form);
    const std::wstring page = LabelTexts(form);
    Screenshot(form, L"uninstall_in_use");
    Check(page.find(L"卸载未完成") != std::wstring::npos && page.find(L"安装文件夹 " + s.dir + L" 没有删除") != std::wstring::npos &&
              !SaysTheFolderGoes(page, s.dir),
          "the result page does not say what stays:\n%s", ToUtf8(page).c_str());
    Check(details.find(s.dir + L"Readme.txt") != std::wstring::npos, "the result page does not name the file:\n%s",
          ToUtf8(details).c_str());
    Click(WaitChild(form, L"Button", L"完成"));
    Check(WaitExit(u, 30000) == 6, "with the window: not exit code 6");
    CloseHandle(u.handle);
    CheckKeptForASecondRun(s.dir);

    CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
    code = SilentUninstall(s.dir, log);
    Check(code == 0, "the second run: exit code %lu, not 0:\n%s", code, ToUtf8(log).c_str());
    CheckAllGone(s.dir, DesktopLinkPath(), ProgramGroupDir());
}

// The helper cannot start (the temporary folder does not exist): the
// uninstaller does not say it is all gone, and stays for a second run; an
// uninstaller started by its "\\?\" path uninstalls.
E2E_SCENARIO(without_its_helper_the_uninstaller_stays_and_a_long_path_start_uninstalls) {
    InstallScenario s(L"C:\\Tavix E2E\\卸载 助手\\");
    Check(SilentInstall(SetupExe(), s.dir) == 0, "the silent installation failed");
    wchar_t tmp[MAX_PATH] = {}, temp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
    GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    const std::wstring missing = std::wstring(kTestRoot) + L"\\没有的临时文件夹";
    SetEnvironmentVariableW(L"TMP", missing.c_str());
    SetEnvironmentVariableW(L"TEMP", missing.c_str());
    std::wstring log;
    const DWORD code = SilentUninstall(s.dir, log);
    SetEnvironmentVariableW(L"TMP", tmp);
    SetEnvironmentVariableW(L"TEMP", temp);
    Check(code == 6, "no helper: exit code %lu, not 6:\n%s", code, ToUtf8(log).c_str());
    Check(log.find(L"cannot remove itself") != std::wstring::npos, "the log does not say why:\n%s", ToUtf8(log).c_str());
    Pause(1000);
    CheckKeptForASecondRun(s.dir);

    Process u = Launch(L"\\\\?\\" + s.dir + L"Uninstall.exe", L"/S");
    const DWORD second = WaitExit(u, 120000);
    CloseHandle(u.handle);
    Check(second == 0, "started by its \\\\?\\ path: exit code %lu, not 0", second);
    CheckAllGone(s.dir, DesktopLinkPath(), ProgramGroupDir());
}

// A record of 100 MB is damaged, with and without the window: nothing is
// removed.
E2E_SCENARIO(a_record_of_100_mb_is_damaged) {
    InstallScenario s(L"C:\\Tavix E2E\\卸载 大记录\\");
    Check(SilentInstall(SetupExe(), s.dir) == 0, "the silent installation failed");
    // Otherwise a good record: one more line of a file below the folder.
    std::string path;
    for (int i = 0; i < 50000000; ++i) path += "a\\";
    AppendToRecord(s.dir, "file 00000000 0 - " + path + "x.txt\r\n");
    std::wstring log;
    const DWORD code = SilentUninstall(s.dir, log);
    Check(code == 4, "exit code %lu, not 4:\n%s", code, ToUtf8(log.substr(0, 2000)).c_str());
    Check(log.find(L"已损坏（文件大于 32 MB") != std::wstring::npos, "the log does not say why:\n%s",
          ToUtf8(log.substr(0, 2000)).c_str());
    Process u = Launch(s.dir + L"Uninstall.exe");
    MsgBoxInfo box = WaitMessageBox(0, 30000);
    Check(box.text.find(L"已损坏（文件大于 32 MB") != std::wstring::npos, "the box says %s", ToUtf8(box.text).c_str());
    Answer(box, IDOK);
    Check(WaitExit(u, 30000) == 4, "with the window: not exit code 4");
    CloseHandle(u.handle);
    CheckNothingRemoved(s.dir);
    CheckNoUninstallerCopy();
}

// A file is read only when what the setup saw of it leaves a doubt: the same
// bytes written again are read and removed; an edit whose last-write time
// was put back is read and kept; the rest is removed unread.
E2E_SCENARIO(a_file_is_read_only_when_its_times_leave_a_doubt) {
    InstallScenario s(L"C:\\Tavix E2E\\卸载 时间\\");
    Check(SilentInstall(SetupExe(), s.dir) == 0, "the silent installation failed");
    std::string same, edited;
    Check(ReadFileBytes(s.dir + L"Readme.txt", same) && ReadFileBytes(s.dir + L"History.txt", edited), "no files");
    Pause(50);
    WriteFileBytes(s.dir + L"Readme.txt", same);
    HANDLE h = CreateFileW((s.dir + L"History.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    Check(h != INVALID_HANDLE_VALUE, "cannot open History.txt");
    FILETIME written;
    GetFileTime(h, nullptr, nullptr, &written);
    edited[0] ^= 1;
    DWORD put = 0;
    WriteFile(h, edited.data(), static_cast<DWORD>(edited.size()), &put, nullptr);
    SetFileTime(h, nullptr, nullptr, &written);
    CloseHandle(h);

    std::wstring log;
    const DWORD code = SilentUninstall(s.dir, log);
    Check(code == 5, "exit code %lu, not 5:\n%s", code, ToUtf8(log).c_str());
    Check(!FileExists(s.dir + L"Readme.txt"), "the file written again with the same bytes is left");
    Check(FileExists(s.dir + L"History.txt"), "the edited file was removed");
    Check(log.find(L"read the bytes of 2 files") != std::wstring::npos, "not just the two files were read:\n%s",
          ToUtf8(log).c_str());
}
