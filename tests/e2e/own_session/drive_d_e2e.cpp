// The control file's default folder lies on drive D:. Each scenario runs in
// a session whose D: is changed (own-session.sh, TAVIX_SESSION_DRIVE_D): no
// D: at all, as on a PC with drive C: only, or a D: that Wine's drive
// settings call a CD-ROM drive or a network drive. The rule under test looks at the default
// folder's drive only; Z:, the Unix root that the tests' own paths lie on,
// is a fixed disk that stays, so the drive list shows C: and Z: and the
// setup's rule for a PC with a single drive does not come into play.
#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/setup_steps.h"
#include "driver/silent_steps.h"
#include "driver/wizard_steps.h"
#include "wizard/wizard_ids.h"

#include <shellapi.h>

using namespace e2e;

namespace {

// The control file's default folder, and the same folder on drive C: with
// the backslash the folder page adds.
std::wstring DefaultFolder() { return ReleaseSetupValue("SetupDir", "SetupPath"); }
std::wstring OnSystemDrive() { return L"C:" + DefaultFolder().substr(2) + L"\\"; }

// Drive D: is what the session was asked to make it.
void CheckDriveD(UINT type, const char* what) {
    Check(DefaultFolder().rfind(L"D:\\", 0) == 0, "the default folder %s is not on D:", ToUtf8(DefaultFolder()).c_str());
    Check(GetDriveTypeW(L"D:\\") == type, "drive D: is of type %u, not %s", GetDriveTypeW(L"D:\\"), what);
}

// The wizard, from its welcome page to the folder page, offers the folder
// on the system drive, and marks that drive in the list.
HWND WizardOnFolderPage(InstallScenario& s) {
    s.setup = StartSetupToWizard();
    HWND w = WaitWizard(s.setup.pid);
    Check(NoMessageBox(s.setup.pid, 800), "a message box came up at the start");
    GoToFolderPage(w);
    Check(InstallFolderText(w) == s.dir, "the folder page offers %s, not %s", ToUtf8(InstallFolderText(w)).c_str(),
          ToUtf8(s.dir).c_str());
    const std::vector<std::vector<std::wstring>> rows = DriveGridRows(w);
    const int marked = DriveGridSelectedRow(w);
    Check(marked >= 0 && marked < static_cast<int>(rows.size()) && rows[marked][0] == L"C:\\",
          "the drive list does not mark C:");
    return w;
}

// /S alone installs into the folder on the system drive, and the log says why.
void SilentAloneInstallsOnTheSystemDrive(const InstallScenario& s) {
    const std::wstring log = std::wstring(kTestRoot) + L"\\alone.log";
    const SilentRun run = RunSilently(SetupExe(), L"/S \"/LOG=" + log + L"\"");
    const std::wstring text = ReadLog(log);
    Check(run.code == 0 && !run.windowShown, "/S alone: exit code %lu\n%s", run.code, ToUtf8(text).c_str());
    Check(text.find(L"the default folder " + DefaultFolder() + L" lies on a drive that does not exist or is no fixed "
                    L"disk; the same folder on the system drive is used\r\n") != std::wstring::npos &&
              text.find(L"installing into " + s.dir + L"\r\n") != std::wstring::npos,
          "the log does not tell the folder's move:\n%s", ToUtf8(text).c_str());
    CheckManifestInstalled(s.dir, 0, Release().manifestLines.size());
    CheckInstallRegistry(s.dir);
}

}  // namespace

E2E_SCENARIO(wizard_installs_into_the_system_drive_without_drive_d) {
    CheckDriveD(DRIVE_NO_ROOT_DIR, "missing");
    Check((GetLogicalDrives() & ~((1u << 2) | (1u << 25))) == 0, "drives other than C: and Z: are there");
    InstallScenario s(OnSystemDrive());
    HWND w = WizardOnFolderPage(s);
    for (const std::vector<std::wstring>& row : DriveGridRows(w))
        Check(row[0] != L"D:\\", "the drive list shows D:");
    GoToReadyPage(w);
    StartInstall(w);
    WaitFinishPage(w);
    SetRunAfterInstall(w, false);
    ClickFinish(w);
    const DWORD code = WaitExit(s.setup, 15000);
    Check(code == 0, "the setup ended with exit code %lu", code);
    CheckManifestInstalled(s.dir, 0, Release().manifestLines.size());
    CheckInstallRegistry(s.dir);
}

E2E_SCENARIO(silent_installs_into_the_system_drive_without_drive_d) {
    CheckDriveD(DRIVE_NO_ROOT_DIR, "missing");
    InstallScenario s(OnSystemDrive());
    SilentAloneInstallsOnTheSystemDrive(s);

    // /D= with a folder that has a blank, quoted as launchers quote it: a
    // list of arguments made into one line (PowerShell, Python, .NET), and a
    // batch file's line as it was typed (its code page plays no part in an
    // ASCII folder).
    const std::wstring listed = std::wstring(kTestRoot) + L"\\引号 安装";
    const std::vector<std::wstring> args = {L"/S", L"/D=" + listed};
    const std::wstring line = CommandLineOf(args);
    Check(line == L"/S \"/D=" + listed + L"\"", "the list made the line %s", ToUtf8(line).c_str());
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW((L"setup " + line).c_str(), &argc);
    Check(argv && argc == 3 && args[0] == argv[1] && args[1] == argv[2], "the system reads the line otherwise");
    LocalFree(argv);
    SilentRun run = RunSilently(SetupExe(), line);
    Check(run.code == 0 && !run.windowShown, "%s: exit code %lu", ToUtf8(line).c_str(), run.code);
    CheckManifestInstalled(listed + L"\\", 0, Release().manifestLines.size());
    CheckInstallRegistry(listed + L"\\");

    const std::wstring typed = std::wstring(kTestRoot) + L"\\quoted value";
    const std::wstring batch = WindowsTempDir() + L"tavix_quoted_folder.cmd";
    WriteFileBytes(batch, ToUtf8(L"@\"" + SetupExe() + L"\" /S /D=\"" + typed + L"\"\r\n@exit /b %errorlevel%\r\n"));
    Process cmd = Launch(L"C:\\windows\\system32\\cmd.exe", L"/c " + batch);
    const DWORD code = WaitExit(cmd, 60000);
    CloseHandle(cmd.handle);
    DeleteFileW(batch.c_str());
    Check(code == 0, "/D=\"%s\" from a batch file: exit code %lu", ToUtf8(typed).c_str(), code);
    CheckManifestInstalled(typed + L"\\", 0, Release().manifestLines.size());
    CheckInstallRegistry(typed + L"\\");
}

E2E_SCENARIO(a_cd_rom_drive_d_gives_the_same_folder_on_the_system_drive) {
    CheckDriveD(DRIVE_CDROM, "a CD-ROM drive");
    InstallScenario s(OnSystemDrive());
    WizardOnFolderPage(s);
    Kill(s.setup);
    RemoveControlFiles();
    SilentAloneInstallsOnTheSystemDrive(s);
}

// A mapped network drive is refused by the folder page and by /S.
E2E_SCENARIO(a_network_drive_d_is_refused) {
    CheckDriveD(DRIVE_REMOTE, "a network drive");
    InstallScenario s(L"D:\\Tavix280\\");
    const std::wstring refusal = L"驱动器 D: 是网络驱动器，不能安装到网络上。请选择本机磁盘上的文件夹。";
    s.setup = StartSetupToWizard();
    HWND w = WaitWizard(s.setup.pid);
    GoToFolderPage(w);
    Check(InstallFolderText(w) == OnSystemDrive(), "the folder page offers %s", ToUtf8(InstallFolderText(w)).c_str());
    SetInstallFolder(w, s.dir);
    Click(WizardControl(w, wizard_ids::kBtnNext));
    const MsgBoxInfo box = WaitMessageBox(s.setup.pid);
    CheckBox(box, L"安装文件夹", refusal, 1, true);
    Answer(box, IDOK);
    Check(WaitFor([&] { return WizardPage(w) == 2; }), "the folder page was left");
    Kill(s.setup);
    RemoveControlFiles();

    const std::wstring log = std::wstring(kTestRoot) + L"\\network.log";
    const SilentRun run = RunSilently(SetupExe(), L"/S \"/LOG=" + log + L"\" /D=" + s.dir);
    const std::wstring text = ReadLog(log);
    Check(run.code == 5 && text.find(L"is refused: " + refusal) != std::wstring::npos, "/S: exit code %lu\n%s",
          run.code, ToUtf8(text).c_str());
    CheckNothingInstalled(s.dir);
}
