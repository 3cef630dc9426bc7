// The installation with only its progress window (/PASSIVE), as deployment
// tools run it: one window that asks nothing and cannot be closed, the
// installation of /S, and the exit codes of /S on every refusal.
#include <functional>

#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/setup_steps.h"
#include "driver/silent_steps.h"
#include "driver/wizard_steps.h"
#include "common/command_line.h"

using namespace e2e;
using tavix::ExitCode;

E2E_SCENARIO(passive_installation_shows_only_its_progress_window) {
    InstallScenario s(L"C:\\Tavix E2E\\进度 安装\\");
    const std::wstring log = std::wstring(kTestRoot) + L"\\进度 记录.log";
    const std::wstring folder = s.dir.substr(0, s.dir.size() - 1);
    const WatchedRun run = RunWatched(SetupExe(), L"/PASSIVE \"/LOG=" + log + L"\" /D=" + folder,
                                      [](const Process&, HWND w) {
                                          Screenshot(w, L"passive_install");
                                          CheckProgressWindowAndTryToEndIt(w, "the installation");
                                      });
    Check(run.code == 0, "exit code %lu\n%s", run.code, ToUtf8(ReadLog(log)).c_str());
    CheckOnlyTheProgressWindow(run, W936(Release().caption), "the installation");
    Check(!run.controlFiles, "the installation wrote the temporary control files");
    CheckInstalledWithoutTheWizard(s.dir, log);
    Check(ReadLog(log).find(L"silent installation with its progress window\r\n") != std::wstring::npos,
          "the log does not say how the setup ran:\n%s", ToUtf8(ReadLog(log)).c_str());
}

// Each refusal, with /PASSIVE as with /S: the same exit code, nothing
// installed, no box; the progress window (shown as soon as the setup knows
// its caption) is the only window a refusal after the start shows.
E2E_SCENARIO(passive_refusals_give_the_exit_codes_of_silent) {
    const std::wstring dir = L"C:\\Tavix E2E\\进度 拒绝\\";
    struct Row {
        const char* what;
        std::wstring args;  // after the switch
        ExitCode code;
        std::function<void()> before, after;
    };
    Process other, product;
    const Row rows[] = {
        {"both switches", L"/S /PASSIVE /D=" + dir, ExitCode::BadCommandLine, nullptr, nullptr},
        {"a folder that is no full path", L"/D=Tavix280", ExitCode::FolderRefused, nullptr, nullptr},
        {"a folder on a drive that does not exist", L"/D=Q:\\Tavix280", ExitCode::FolderRefused, nullptr, nullptr},
        {"another copy running", L"/D=" + dir, ExitCode::AnotherCopy, [&] { other = StartSetupToWizard(); },
         [&] {
             Check(!HasExited(other), "the other copy was ended");
             Kill(other);
             RemoveControlFiles();
         }},
        {"the product running", L"/D=" + dir, ExitCode::ProductRunning,
         [&] { product = StartProduct(std::wstring(kTestRoot) + L"\\运行中", L"TAVI.exe"); },
         [&] {
             Check(!HasExited(product), "the running product was ended");
             Kill(product);
         }},
    };
    for (const Row& row : rows) {
        for (const wchar_t* mode : {L"/S ", L"/PASSIVE "}) {
            Log("%s, %s", row.what, ToUtf8(mode).c_str());
            InstallScenario s(dir);
            if (row.before) row.before();
            const WatchedRun run = RunWatched(SetupExe(), mode + row.args);
            Check(run.code == static_cast<DWORD>(row.code), "%s with %s: exit code %lu, expected %d", row.what,
                  ToUtf8(mode).c_str(), run.code, static_cast<int>(row.code));
            for (const SeenWindow& w : run.windows)
                Check(mode[1] == L'P' && w.cls == L"TFormProgress", "%s with %s: a window %s \"%s\" showed", row.what,
                      ToUtf8(mode).c_str(), ToUtf8(w.cls).c_str(), ToUtf8(w.title).c_str());
            CheckNothingInstalled(dir);
            if (row.after) row.after();
        }
    }
}
