// A drive too small for the release (a 24 MB tmpfs the runner mounts as E:):
// the folder page asks before going on, the installation names the real
// cause when the disk runs full, and no file is left cut or made of two
// versions. The silent installation refuses the drive with its exit code.
#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/wizard_steps.h"
#include "common/command_line.h"
#include "wizard/wizard_ids.h"

using namespace e2e;

namespace {

std::wstring SystemText(DWORD code) {
    wchar_t* buf = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::wstring text = buf ? buf : L"";
    if (buf) LocalFree(buf);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return text;
}

}  // namespace

E2E_SCENARIO(full_disk_names_its_cause_and_cuts_no_file) {
    InstallScenario s(L"E:\\Tavix\\");
    const std::size_t help = LineOf(L"SdbFile\\Help.BLB");
    // An earlier copy of the file that will not fit.
    CreateDirectoryW(s.dir.c_str(), nullptr);
    CreateDirectoryW((s.dir + L"SdbFile").c_str(), nullptr);
    WriteFileBytes(TargetOf(s.dir, help), "the earlier help");

    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe);
    // The drive has less room than the setup writes: the page asks first.
    Click(WizardControl(wizard, wizard_ids::kBtnNext));
    MsgBoxInfo box = WaitMessageBox(s.setup.pid);
    Check(box.caption == L"安装文件夹" && box.text.rfind(L"磁盘 E: 的可用空间", 0) == 0 && box.buttons.size() == 2 &&
              GetDlgItem(box.hwnd, IDYES) && GetDlgItem(box.hwnd, IDNO),
          "space box %s: %s", ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
    Answer(box, IDNO);
    Check(WizardPage(wizard) == 2, "No left the folder page");
    Click(WizardControl(wizard, wizard_ids::kBtnNext));
    Answer(WaitMessageBox(s.setup.pid), IDYES);
    Check(WaitFor([&] { return WizardPage(wizard) == 3; }), "Yes did not go on to the ready page");
    StartInstall(wizard);

    // The disk runs full while the large file is written.
    MsgBoxInfo full = WaitMessageBox(s.setup.pid, 60000);
    const std::wstring head = L"Write error on \"" + TargetOf(s.dir, help) + L"\". " + SystemText(ERROR_DISK_FULL);
    Check(full.text.rfind(head, 0) == 0 && full.text.find(SystemText(ERROR_SUCCESS)) == std::wstring::npos,
          "box: %s\nexpected to begin with: %s", ToUtf8(full.text).c_str(), ToUtf8(head).c_str());
    Check(GetDlgItem(full.hwnd, IDRETRY) && GetDlgItem(full.hwnd, IDCANCEL), "the box offers no 重试 and 取消");
    Answer(full, IDCANCEL);

    // Each file is whole: the ones before are the release's, the earlier copy
    // of the large one is as it was, and nothing was left on the way.
    CheckManifestInstalled(s.dir, 0, help);
    std::string kept;
    Check(ReadFileBytes(TargetOf(s.dir, help), kept) && kept == "the earlier help", "the earlier file was cut or changed");
    CheckManifestNotInstalled(s.dir, help + 1, Release().manifestLines.size());
    CheckNoTemporaryFiles(s.dir);
    CheckNoInstallRegistry();
    HWND sec = FindTop(s.setup.pid, L"TFormsec", nullptr, 5000);
    Check(sec != nullptr, "the installation window is gone");
    Click(FindChild(sec, L"Button", L"取消"));
    Answer(WaitMessageBox(s.setup.pid), IDOK);
    WaitExit(s.setup);

    // Without windows the drive is refused before anything is written.
    Process silent = Launch(SetupExe(), L"/S /D=E:\\Tavix2");
    Check(WaitExit(silent, 30000) == static_cast<DWORD>(tavix::ExitCode::NotEnoughSpace),
          "the silent installation did not refuse the small drive");
    Check(!DirExists(L"E:\\Tavix2"), "the silent installation wrote to the small drive");
}
