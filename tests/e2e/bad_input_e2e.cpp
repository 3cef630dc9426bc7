// Damaged input at run time: the temporary manifest copy replaced, the
// control file gone, a target that cannot be written, a long path. Each gives
// its own message or goes on as far as it can; nothing is written outside the
// installation folder and the temporary folder.
#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/wizard_steps.h"

using namespace e2e;

namespace {

// The places outside the installation folder that a failed installation
// must leave alone: the drive's top, the desktops and the Start menu.
struct OutsideSnapshot {
    std::vector<std::vector<std::wstring>> listings;
    std::vector<std::wstring> places;
    OutsideSnapshot() : places{L"C:\\", CommonDesktopDir() + L"\\", ProgramsDir() + L"\\"} {
        for (const std::wstring& p : places) listings.push_back(FilesIn(p));
    }
    void CheckUnchanged() const {
        for (std::size_t i = 0; i < places.size(); ++i) {
            std::vector<std::wstring> now = FilesIn(places[i]);
            Check(now == listings[i], "%s changed: %zu entries before, %zu after", ToUtf8(places[i]).c_str(),
                  listings[i].size(), now.size());
        }
        CheckNoInstallRegistry();
    }
};

std::string ManifestText(std::size_t lines) {
    std::string text;
    const std::vector<std::string>& all = Release().manifestLines;
    for (std::size_t i = 0; i < lines && i < all.size(); ++i) text += all[i] + "\r\n";
    return text;
}

// Leaves through the installation window's cancel button.
void CancelSetup(InstallScenario& s, HWND sec) {
    Click(FindChild(sec, L"Button", L"取消"));
    Answer(WaitMessageBox(s.setup.pid), IDOK);
    Check(WaitExit(s.setup) == 0, "the setup's exit code is not 0");
    CheckTempFilesGone();
}

// Finishes without starting the product.
void Finish(InstallScenario& s, HWND wizard) {
    WaitFinishPage(wizard, 60000);
    SetRunAfterInstall(wizard, false);
    ClickFinish(wizard);
    Check(WaitExit(s.setup) == 0, "the setup's exit code is not 0");
    CheckTempFilesGone();
}

} // namespace

E2E_SCENARIO(empty_manifest_copy_installs_only_the_fixed_items) {
    InstallScenario s(L"C:\\Tavix E2E\\空清单\\");
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    WriteFileBytes(TempManifestPath(), "");
    StartInstall(wizard);
    Finish(s, wizard);
    std::vector<std::wstring> files = FilesIn(s.dir);
    Check(files.size() == 2, "%zu files installed, expected the program and the uninstaller", files.size());
    CheckSameFile(ReleaseDir() + L"\\TAVI.exe", s.dir + L"TAVI.exe");
    CheckSameFile(ReleaseDir() + L"\\Uninstall.exe", s.dir + L"Uninstall.exe");
}

E2E_SCENARIO(nul_in_the_manifest_copy_ends_its_text) {
    InstallScenario s(L"C:\\Tavix E2E\\零字节\\");
    const std::size_t kept = 20;
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    std::string text = ManifestText(kept);
    text += std::string(1, '\0') + ManifestText(Release().manifestLines.size()).substr(text.size());
    WriteFileBytes(TempManifestPath(), text);
    StartInstall(wizard);
    Finish(s, wizard);
    CheckManifestInstalled(s.dir, 0, kept);
    CheckManifestNotInstalled(s.dir, kept, Release().manifestLines.size());
}

E2E_SCENARIO(ten_megabyte_manifest_line_stops_with_the_resource_error) {
    InstallScenario s(L"C:\\Tavix E2E\\巨大\\");
    OutsideSnapshot outside;
    const std::size_t kept = 3;
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    WriteFileBytes(TempManifestPath(), ManifestText(kept) + std::string(10 * 1024 * 1024, 'x'));
    HWND sec = StartInstall(wizard);
    MsgBoxInfo box = WaitMessageBox(s.setup.pid, 60000);
    Check(box.caption == L"tavixSetup" && box.hasIcon, "not the general error box: %s", ToUtf8(box.caption).c_str());
    Check(box.text.rfind(L"Resource xxxxxxxx", 0) == 0, "text begins %s", ToUtf8(box.text.substr(0, 40)).c_str());
    Check(box.text.size() < 2000 && box.text.substr(box.text.size() - 3) == L"...",
          "the message is not cut: %zu characters", box.text.size());
    Answer(box, IDOK);
    CheckManifestInstalled(s.dir, 0, kept);
    Check(FilesIn(s.dir).size() == kept, "more than the first entries were written");
    outside.CheckUnchanged();
    CancelSetup(s, sec);
}

E2E_SCENARIO(missing_control_file_ends_with_the_running_product_message) {
    InstallScenario s(L"C:\\Tavix E2E\\无控制文件\\");
    OutsideSnapshot outside;
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    Check(DeleteFileW((WindowsTempDir() + L"avixSetup.ini").c_str()) != FALSE, "cannot remove the control file");
    StartInstall(wizard);
    // Without it the program's file name is empty: the write goes to the
    // folder itself and fails.
    MsgBoxInfo box = WaitMessageBox(s.setup.pid, 30000);
    CheckBox(box, L"tavixSetup", L"所要安装的程序正在运行中,请退出后再安装!", 1, false);
    Answer(box, IDOK);
    Check(WaitExit(s.setup) == 0, "the setup's exit code is not 0");
    Check(FilesIn(s.dir).empty(), "files were installed");
    outside.CheckUnchanged();
    CheckTempFilesGone();
}

E2E_SCENARIO(unwritable_target_stops_the_sequence) {
    InstallScenario s(L"C:\\Tavix E2E\\只读\\");
    std::size_t index = 0;  // the entry of History.txt
    while (TargetOf(L"", index) != L"History.txt") ++index;
    CreateDirectoryW(s.dir.c_str(), nullptr);
    const std::wstring target = s.dir + L"History.txt";
    WriteFileBytes(target, "an older history, kept read-only");
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    // Wine lets root write a read-only file; another program holding it open
    // without sharing makes it unwritable everywhere.
    HANDLE holder = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Check(holder != INVALID_HANDLE_VALUE, "cannot hold the target open");
    OutsideSnapshot outside;
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    HWND sec = StartInstall(wizard);
    MsgBoxInfo box = WaitMessageBox(s.setup.pid, 30000);
    const std::wstring prefix = L"Cannot create file \"" + target + L"\". ";
    Check(box.caption == L"tavixSetup" && box.hasIcon && box.text.rfind(prefix, 0) == 0 &&
              box.text.size() > prefix.size() + 1 && EndsInOneFullStop(box.text),
          "box %s: %s", ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
    Answer(box, IDOK);
    CloseHandle(holder);
    std::string kept;
    Check(ReadFileBytes(target, kept) && kept == "an older history, kept read-only", "the read-only file changed");
    CheckManifestInstalled(s.dir, 0, index);
    CheckManifestNotInstalled(s.dir, index + 1, Release().manifestLines.size());
    outside.CheckUnchanged();
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    CancelSetup(s, sec);
}

E2E_SCENARIO(target_path_of_250_characters_installs) {
    // The longest target below a folder chosen so that its full path is 250 characters.
    std::size_t longest = 0;
    for (std::size_t i = 0; i < Release().manifestLines.size(); ++i)
        longest = std::max(longest, TargetOf(L"", i).size());
    const std::wstring root = kTestRoot;
    const std::wstring dir = root + L"\\" + std::wstring(250 - longest - root.size() - 2, L'长') + L"\\";
    Check(dir.size() + longest == 250, "the folder is %zu characters", dir.size());
    InstallScenario s(dir);
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    StartInstall(wizard);
    Finish(s, wizard);
    CheckManifestInstalled(s.dir, 0, Release().manifestLines.size());
}
