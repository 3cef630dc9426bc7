// The installation without windows (/S): a complete installation checked as
// the wizard's is, and each refusal with its own exit code and nothing
// written or ended.
#include <functional>

#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/setup_steps.h"
#include "driver/silent_steps.h"
#include "driver/wizard_steps.h"
#include "common/command_line.h"

#include <shellapi.h>

using namespace e2e;
using tavix::ExitCode;

E2E_SCENARIO(silent_installation_installs_everything_without_a_window) {
    InstallScenario s(L"C:\\Tavix E2E\\静默 安装\\");
    const std::wstring log = std::wstring(kTestRoot) + L"\\安装 记录.log";
    // /D= takes the rest of the line, blanks included, and gets its backslash.
    std::wstring folder = s.dir.substr(0, s.dir.size() - 1);
    SilentRun run = RunSilently(SetupExe(), L"/S \"/LOG=" + log + L"\" /D=" + folder);
    Check(run.code == 0, "exit code %lu\n%s", run.code, ToUtf8(ReadLog(log)).c_str());
    Check(!run.windowShown, "the silent installation showed a window");
    Check(!run.controlFiles, "the silent installation wrote the temporary control files");

    CheckInstalledWithoutTheWizard(s.dir, log);

    // A document in a folder with a blank opens the product, which gets its
    // whole path as one argument.
    {
        const std::wstring docs = std::wstring(kTestRoot) + L"\\文档 目录";
        const std::wstring doc = docs + L"\\营养 食谱.Qvt";
        CreateDirectoryW(docs.c_str(), nullptr);
        WriteFileBytes(doc, "a document");
        ProductStartRecord record;
        const INT_PTR opened =
            reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", doc.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        Check(opened > 32, "the document does not open (%d)", static_cast<int>(opened));
        const ProductStartRecord::Start start = record.WaitStarts(1).back();
        KillByName(L"TAVI.exe");
        Check(start.args.size() == 1 && start.args[0] == doc, "the product got %zu arguments from %s",
              start.args.size(), ToUtf8(start.commandLine).c_str());
    }

    // The same release again: the silent answer is to install over it.
    DeleteFileW((s.dir + L"Options.ini").c_str());
    run = RunSilently(SetupExe(), L"/S /D=" + s.dir);
    Check(run.code == 0 && !run.windowShown, "a second installation over the first: exit code %lu", run.code);
    CheckSameFile(ReleaseDir() + L"\\Options.ini", s.dir + L"Options.ini");

    // Without /D= the same release goes over the installed copy, not into
    // the control file's default folder.
    const std::wstring preset = ReleaseSetupValue("SetupDir", "SetupPath") + L"\\";
    DeleteTree(preset.substr(0, preset.size() - 1));  // left by an earlier run that stopped half-way
    Check(!DirExists(preset), "the default folder %s is there before the run", ToUtf8(preset).c_str());
    DeleteFileW((s.dir + L"Options.ini").c_str());
    run = RunSilently(SetupExe(), L"/S \"/LOG=" + log + L"\"");
    Check(run.code == 0 && !run.windowShown, "installing again without /D=: exit code %lu\n%s", run.code,
          ToUtf8(ReadLog(log)).c_str());
    Check(ReadLog(log).find(L"installing into " + s.dir + L"\r\n") != std::wstring::npos,
          "installing again without /D= did not go into %s:\n%s", ToUtf8(s.dir).c_str(), ToUtf8(ReadLog(log)).c_str());
    CheckSameFile(ReleaseDir() + L"\\Options.ini", s.dir + L"Options.ini");
    Check(!DirExists(preset), "the default folder %s was made", ToUtf8(preset).c_str());
    Check(FilesIn(ProgramGroupDir() + L"\\").size() == 4, "the program group does not hold four items");
}

E2E_SCENARIO(silent_refusals_have_their_own_exit_codes_and_change_nothing) {
    const std::wstring dir = L"C:\\Tavix E2E\\静默拒绝\\";
    struct Row {
        const char* what;
        std::wstring args;             // after "/S /LOG=<log> "
        ExitCode code;
        std::function<void()> before;  // makes the situation
        std::function<void()> after;   // what must still hold
        std::wstring exe;              // empty: the setup of the release
    };
    Process other, product;
    const std::wstring installed = std::wstring(kTestRoot) + L"\\新版本\\";
    const Row rows[] = {
        {"unknown switch", L"/Q /D=" + dir, ExitCode::BadCommandLine, nullptr, nullptr, L""},
        {"empty /D=", L"/D=", ExitCode::BadCommandLine, nullptr, nullptr, L""},
        {"relative folder", L"/D=Tavix280", ExitCode::FolderRefused, nullptr, nullptr, L""},
        {"folder on no drive", L"/D=\\Program Files\\Tavix280", ExitCode::FolderRefused, nullptr, nullptr, L""},
        {"another copy running", L"/D=" + dir, ExitCode::AnotherCopy,
         [&] { other = StartSetupToWizard(); },
         [&] {
             Check(!HasExited(other), "the other copy was ended");
             Kill(other);
             RemoveControlFiles();
         },
         L""},
        {"product running", L"/D=" + dir, ExitCode::ProductRunning,
         [&] { product = StartProduct(std::wstring(kTestRoot) + L"\\运行中", L"TAVI.exe"); },
         [&] {
             Check(!HasExited(product), "the running product was ended");
             Kill(product);
         },
         L""},
        {"later release installed", L"/D=" + dir, ExitCode::NewerInstalled,
         [&] {
             CreateDirectoryW(installed.c_str(), nullptr);
             WriteFileBytes(installed + L"TAVI.exe", "the later release");
             RegWrite(HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\Serial", L"Serial", L"99999999");
             RegWrite(HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\PathName", L"Path", installed);
         },
         [&] {
             std::string bytes;
             Check(ReadFileBytes(installed + L"TAVI.exe", bytes) && bytes == "the later release",
                   "the later release was overwritten");
             std::wstring serial;
             Check(RegRead(HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\Serial", L"Serial", serial) &&
                       serial == L"99999999",
                   "the installed serial changed");
         },
         L""},
        {"folder that cannot be made", L"/D=" + std::wstring(kTestRoot) + L"\\文件\\子目录", ExitCode::WriteFailed,
         [&] { WriteFileBytes(std::wstring(kTestRoot) + L"\\文件", "a file, not a folder"); }, nullptr, L""},
        {"setup without its items", L"/D=" + dir, ExitCode::DamagedSetup, nullptr, nullptr,
         Env(L"TAVIX_MISSING_AGREEMENT_EXE")},
    };
    for (const Row& row : rows) {
        Log("%s", row.what);
        InstallScenario s(dir);  // puts the registry and the folders back
        // The log is added to; a run refused for its command line or for
        // another copy does not open it.
        const std::wstring log = std::wstring(kTestRoot) + L"\\refusal.log";
        const std::wstring earlier = L"an earlier run's line\r\n";
        WriteFileBytes(log, ToUtf8(earlier));
        if (row.before) row.before();
        SilentRun run = RunSilently(row.exe.empty() ? SetupExe() : row.exe, L"/S \"/LOG=" + log + L"\" " + row.args);
        const std::wstring text = ReadLog(log);
        Check(run.code == static_cast<DWORD>(row.code), "%s: exit code %lu, expected %d\n%s", row.what, run.code,
              static_cast<int>(row.code), ToUtf8(text).c_str());
        Check(!run.windowShown && !run.controlFiles, "%s: a window or a control file appeared", row.what);
        if (row.code == ExitCode::BadCommandLine || row.code == ExitCode::AnotherCopy) {
            Check(text == earlier, "%s: the log was written:\n%s", row.what, ToUtf8(text).c_str());
        } else {
            Check(text.rfind(earlier, 0) == 0, "%s: the log lost what it held:\n%s", row.what, ToUtf8(text).c_str());
            Check(text.find(L"exit code " + std::to_wstring(static_cast<int>(row.code)) + L": ") != std::wstring::npos,
                  "%s: the log does not give the outcome:\n%s", row.what, ToUtf8(text).c_str());
        }
        CheckNothingInstalled(dir);
        if (row.after) row.after();
    }
}

// A part that cannot be made (here the desktop shortcut, with the all-users
// desktop a file where its folder should be, so that nothing can be written
// into it) ends the run with exit code 6 and its cause in the log; the rest
// is installed.
E2E_SCENARIO(silent_installation_without_its_desktop_shortcut_ends_with_6) {
    InstallScenario s(std::wstring(kTestRoot) + L"\\无快捷方式\\");
    const std::wstring log = std::wstring(kTestRoot) + L"\\missing.log";
    struct DesktopBlocked {
        std::wstring desktop = CommonDesktopDir(), kept = CommonDesktopDir() + L".kept";
        DesktopBlocked() {
            Check(MoveFileW(desktop.c_str(), kept.c_str()) != FALSE, "cannot move the all-users desktop away");
            WriteFileBytes(desktop, "no folder");
        }
        ~DesktopBlocked() {
            DeleteFileW(desktop.c_str());
            MoveFileW(kept.c_str(), desktop.c_str());
        }
    } blocked;
    const SilentRun run = RunSilently(SetupExe(), L"/S \"/LOG=" + log + L"\" /D=" + s.dir);
    const std::wstring text = ReadLog(log);
    Check(run.code == 6 && !run.windowShown, "exit code %lu\n%s", run.code, ToUtf8(text).c_str());
    Check(text.find(L"failed: could not save the desktop shortcut " + DesktopLinkPath() + L": ") != std::wstring::npos,
          "the log does not say why the shortcut is missing:\n%s", ToUtf8(text).c_str());
    // The last line gives the outcome and names the part.
    const std::wstring outcome = L"exit code 6: installed without all of its parts: could not save the desktop shortcut ";
    const std::size_t last = text.rfind(L" exit code ");
    Check(last != std::wstring::npos && text.compare(last + 1, outcome.size(), outcome) == 0,
          "the log does not end with the outcome:\n%s", ToUtf8(text).c_str());
    CheckManifestInstalled(s.dir, 0, Release().manifestLines.size());
    CheckInstallRegistry(s.dir);
    Check(FilesIn(ProgramGroupDir() + L"\\").size() == 4, "the program group does not hold four items");
}

// The log is checked before it is opened: a file with a second name is
// refused and nothing is created or emptied; a second copy given the first
// copy's log leaves it alone and says that another copy runs. The log's name
// is taken as it was typed, the folder's must have a GBK form.
E2E_SCENARIO(silent_log_is_checked_before_it_is_opened) {
    const std::wstring dir = std::wstring(kTestRoot) + L"\\日志\\";
    InstallScenario s(dir);
    const std::string kept = "what the file held\r\n";

    // A superscript one has no GBK form; the system's best fit makes it 1.
    const std::wstring fitted = std::wstring(kTestRoot) + L"\\run1.log", asked = std::wstring(kTestRoot) + L"\\run\u00B9.log";
    WriteFileBytes(fitted, kept);
    SilentRun run = RunSilently(SetupExe(), L"/S \"/LOG=" + asked + L"\" /D=" + dir + L"\u00B9");
    std::string bytes;
    Check(run.code == static_cast<DWORD>(ExitCode::BadCommandLine), "/D= with a superscript one: exit code %lu", run.code);
    Check(!FileExists(asked), "run\\u00B9.log was made for a refused folder");
    CheckNothingInstalled(dir);
    run = RunSilently(SetupExe(), L"/S \"/LOG=" + asked + L"\" /D=" + dir);
    Check(run.code == 0, "/LOG= with a superscript one: exit code %lu", run.code);
    Check(EndsWith(ReadLog(asked), L"exit code 0: installed\r\n"), "run\\u00B9.log does not hold the log");
    Check(ReadFileBytes(fitted, bytes) && bytes == kept, "run1.log was changed");
    CleanInstallation(dir);

    // A file with a second name, which may lie anywhere on the drive.
    const std::wstring other = std::wstring(kTestRoot) + L"\\other name.txt", linked = std::wstring(kTestRoot) + L"\\linked.log";
    WriteFileBytes(other, kept);
    Check(CreateHardLinkW(linked.c_str(), other.c_str(), nullptr) != FALSE, "cannot make a hard link");
    run = RunSilently(SetupExe(), L"/S \"/LOG=" + linked + L"\" /D=" + dir);
    Check(run.code == static_cast<DWORD>(ExitCode::BadCommandLine), "a hard-linked log: exit code %lu", run.code);
    Check(ReadFileBytes(other, bytes) && bytes == kept, "the other name's file was changed");
    CheckNothingInstalled(dir);

    // A second copy while the first (held still) writes its log.
    const std::wstring log = std::wstring(kTestRoot) + L"\\shared.log";
    Process first = Launch(SetupExe(), L"/S \"/LOG=" + log + L"\" /D=" + dir);
    Check(WaitFor([&] {
        std::string text;
        return ReadFileBytes(log, text) && FromUtf8(text).find(L"installing into ") != std::wstring::npos;
    }, 30000, 5), "the first copy did not begin");
    Suspend(first);
    run = RunSilently(SetupExe(), L"/S \"/LOG=" + log + L"\" /D=" + dir);
    Resume(first);
    Check(run.code == static_cast<DWORD>(ExitCode::AnotherCopy), "the second copy: exit code %lu", run.code);
    const DWORD code = WaitExit(first, 60000);
    CloseHandle(first.handle);
    const std::wstring text = ReadLog(log);
    Check(code == 0 && EndsWith(text, L"exit code 0: installed\r\n"), "the first copy: exit code %lu\n%s", code,
          ToUtf8(text).c_str());
    Check(text.find(L"silent installation") == text.rfind(L"silent installation"), "the second copy wrote the log");
    CheckManifestInstalled(dir, 0, Release().manifestLines.size());
}

// A run ended while it wrote leaves its temporary file beside the target.
// The next installation into that folder removes such files, plain files of
// that name only; folders it does not write keep theirs.
E2E_SCENARIO(leftovers_of_an_ended_run_go_when_their_folder_is_written_again) {
    InstallScenario s(std::wstring(kTestRoot) + L"\\残留\\");
    const std::wstring log = std::wstring(kTestRoot) + L"\\leftovers.log";
    const std::wstring leftovers[] = {s.dir + L"~tx1A2B.tmp", s.dir + L"SdbFile\\~tx0123456789ABCDEF.tmp"};
    const std::wstring kept[] = {s.dir + L"~tx0001.tmp\\inside.txt", s.dir + L"~tx1234.tmp.bak",
                                 s.dir + L"其他\\~tx5678.tmp"};
    for (const wchar_t* folder : {L"", L"SdbFile", L"~tx0001.tmp", L"其他"})
        CreateDirectoryW((s.dir + folder).c_str(), nullptr);
    for (const std::wstring& file : leftovers) WriteFileBytes(file, std::string(100000, 'x'));
    for (const std::wstring& file : kept) WriteFileBytes(file, "not the setup's");

    const SilentRun run = RunSilently(SetupExe(), L"/S \"/LOG=" + log + L"\" /D=" + s.dir);
    const std::wstring text = ReadLog(log);
    Check(run.code == 0, "exit code %lu\n%s", run.code, ToUtf8(text).c_str());
    for (const std::wstring& file : leftovers) {
        Check(!FileExists(file), "the leftover %s is still there", ToUtf8(file).c_str());
        Check(text.find(L"removed " + file + L", left by an earlier run\r\n") != std::wstring::npos,
              "the log does not name the leftover %s", ToUtf8(file).c_str());
    }
    for (const std::wstring& file : kept) {
        std::string bytes;
        Check(ReadFileBytes(file, bytes) && bytes == "not the setup's", "%s was removed or changed", ToUtf8(file).c_str());
    }
    CheckManifestInstalled(s.dir, 0, Release().manifestLines.size());
}
