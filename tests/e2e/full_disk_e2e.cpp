// A drive too small for the release (a 24 MB tmpfs the runner mounts as E:):
// the folder page asks before going on, the installation names the real
// cause when the disk runs full, and no file is left cut or made of two
// versions. The silent installation refuses the drive with its exit code,
// and ends with exit code 6 when its log on that drive runs out of room.
#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/silent_steps.h"
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

E2E_SCENARIO(silent_log_that_runs_out_of_room_ends_with_6) {
    InstallScenario s(std::wstring(kTestRoot) + L"\\日志满\\");
    // The small drive filled up to a few kilobytes, less than the log needs.
    struct FullDrive {
        const std::wstring filler = L"E:\\filler.bin", log = L"E:\\tavix.log";
        FullDrive() {
            HANDLE h = CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            Check(h != INVALID_HANDLE_VALUE, "cannot fill the small drive");
            for (DWORD piece : {65536u, 4096u}) {
                const std::string bytes(piece, 'x');
                DWORD written = 0;
                while (WriteFile(h, bytes.data(), piece, &written, nullptr) && written == piece) {}
            }
            LARGE_INTEGER back = {};
            back.QuadPart = -8192;
            Check(SetFilePointerEx(h, back, nullptr, FILE_END) && SetEndOfFile(h), "cannot leave room on the drive");
            CloseHandle(h);
        }
        ~FullDrive() {
            DeleteFileW(filler.c_str());
            DeleteFileW(log.c_str());
        }
    } full;
    const SilentRun run = RunSilently(SetupExe(), L"/S /LOG=" + full.log + L" /D=" + s.dir);
    const std::wstring text = ReadLog(full.log);
    Check(run.code == 6, "exit code %lu\n%s", run.code, ToUtf8(text).c_str());
    Check(text.find(L"installing into " + s.dir) != std::wstring::npos && text.find(L"exit code") == std::wstring::npos,
          "the log does not stop short:\n%s", ToUtf8(text).c_str());
    // Everything but the log was written.
    CheckManifestInstalled(s.dir, 0, Release().manifestLines.size());
    CheckInstallRegistry(s.dir);
}
