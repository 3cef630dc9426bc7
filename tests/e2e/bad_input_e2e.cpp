// Damaged input at run time: setups whose manifest is empty, cut by a NUL or
// holds a line too long for a message, a target held open by another
// program, a long path. Each gives its own message or goes on as far as it
// can; nothing is written outside the installation folder and the temporary
// folder.
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

E2E_SCENARIO(empty_manifest_installs_only_the_fixed_items) {
    InstallScenario s(L"C:\\Tavix E2E\\空清单\\");
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe, SetupWithManifest(""));
    ClickNext(wizard);
    StartInstall(wizard);
    Finish(s, wizard);
    std::vector<std::wstring> files = FilesIn(s.dir);
    Check(files.size() == 3, "%zu files installed, expected the program, the uninstaller and the record",
          files.size());
    CheckSameFile(ReleaseDir() + L"\\TAVI.exe", s.dir + L"TAVI.exe");
    CheckSameFile(ReleaseDir() + L"\\Uninstall.exe", s.dir + L"Uninstall.exe");
}

E2E_SCENARIO(nul_in_the_manifest_ends_its_text) {
    InstallScenario s(L"C:\\Tavix E2E\\零字节\\");
    const std::size_t kept = 20;
    // The whole manifest, the first byte of its 21st line a NUL.
    std::string text = ManifestText(Release().manifestLines.size() - 1);
    text[ManifestText(kept).size()] = '\0';
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe, SetupWithManifest(text));
    ClickNext(wizard);
    StartInstall(wizard);
    Finish(s, wizard);
    CheckManifestInstalled(s.dir, 0, kept);
    CheckManifestNotInstalled(s.dir, kept, Release().manifestLines.size());
}

E2E_SCENARIO(overlong_manifest_line_stops_with_the_resource_error_cut_short) {
    InstallScenario s(L"C:\\Tavix E2E\\巨大\\");
    const std::size_t kept = 3;
    const std::wstring exe = SetupWithManifest(ManifestText(kept) + std::string(4000, 'x'));
    OutsideSnapshot outside;
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe, exe);
    ClickNext(wizard);
    HWND sec = StartInstall(wizard);
    MsgBoxInfo box = WaitMessageBox(s.setup.pid, 60000);
    Check(box.caption == L"tavixSetup" && box.hasIcon, "not the general error box: %s", ToUtf8(box.caption).c_str());
    Check(box.text.rfind(L"Resource xxxxxxxx", 0) == 0, "text begins %s", ToUtf8(box.text.substr(0, 40)).c_str());
    Check(box.text.size() < 2000 && box.text.substr(box.text.size() - 3) == L"...",
          "the message is not cut: %zu characters", box.text.size());
    Answer(box, IDOK);
    CheckManifestInstalled(s.dir, 0, kept);
    // Beside them only the installation's record.
    Check(FilesIn(s.dir).size() == kept + 1 && FileExists(s.dir + L"Uninstall.dat"),
          "more than the first entries were written");
    outside.CheckUnchanged();
    CancelSetup(s, sec);
}

// An earlier History.txt in the installation folder, held open by another
// program that lets others read it but not replace it.
struct HeldTarget {
    std::size_t index = LineOf(L"History.txt");
    std::wstring path;
    const std::string content = "an older history, held open by another program";
    HANDLE holder = INVALID_HANDLE_VALUE;

    explicit HeldTarget(const std::wstring& dir) : path(dir + L"History.txt") {
        CreateDirectoryW(dir.c_str(), nullptr);
        WriteFileBytes(path, content);
        holder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        Check(holder != INVALID_HANDLE_VALUE, "cannot hold the target open");
    }
    ~HeldTarget() { Release(); }
    void Release() {
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        holder = INVALID_HANDLE_VALUE;
    }
    void CheckUnchanged() const {
        std::string now;
        Check(ReadFileBytes(path, now) && now == content, "the held file changed");
    }
};

E2E_SCENARIO(locked_target_asks_to_try_again) {
    InstallScenario s(L"C:\\Tavix E2E\\占用\\");
    HeldTarget held(s.dir);
    const std::wstring& target = held.path;
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    StartInstall(wizard);

    // The box names the file and the cause, and offers 重试 and 取消.
    MsgBoxInfo box = WaitMessageBox(s.setup.pid, 30000);
    const std::wstring head = L"Cannot create file \"" + target + L"\". ";
    Check(box.caption == L"tavixSetup" && box.hasIcon && box.text.rfind(head, 0) == 0 &&
              box.text.size() > head.size() + 20 && box.text.find(L"“重试”") != std::wstring::npos,
          "box %s: %s", ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
    Check(box.buttons.size() == 2 && Text(GetDlgItem(box.hwnd, IDRETRY)) == L"重试(&R)" &&
              Text(GetDlgItem(box.hwnd, IDCANCEL)) == L"取消",
          "the box's buttons are not 重试 and 取消");
    // While the file is held, 重试 asks again and the old file stays whole.
    Answer(box, IDRETRY);
    box = WaitMessageBox(s.setup.pid, 10000);
    Check(box.text.rfind(head, 0) == 0, "the second box: %s", ToUtf8(box.text).c_str());
    held.CheckUnchanged();
    CheckManifestNotInstalled(s.dir, held.index + 1, Release().manifestLines.size());
    // Once the other program lets go, 重试 writes it and the installation goes on.
    held.Release();
    Answer(box, IDRETRY);
    Finish(s, wizard);
    CheckManifestInstalled(s.dir, 0, Release().manifestLines.size());
    CheckNoTemporaryFiles(s.dir);
}

E2E_SCENARIO(locked_target_cancelled_ends_the_sequence_and_keeps_the_old_file) {
    InstallScenario s(L"C:\\Tavix E2E\\只读\\");
    HeldTarget held(s.dir);
    OutsideSnapshot outside;
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    ClickNext(wizard);
    HWND sec = StartInstall(wizard);
    Answer(WaitMessageBox(s.setup.pid, 30000), IDCANCEL);
    // 取消 ends the sequence there without another box; the window waits for its own 取消.
    Check(NoMessageBox(s.setup.pid, 1500), "another box followed 取消");
    held.Release();
    held.CheckUnchanged();
    CheckManifestInstalled(s.dir, 0, held.index);
    CheckManifestNotInstalled(s.dir, held.index + 1, Release().manifestLines.size());
    CheckNoTemporaryFiles(s.dir);
    outside.CheckUnchanged();
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
