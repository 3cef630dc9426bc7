// Program block of the uninstaller: Uninstall.exe [/S|/PASSIVE [/LOG=file]],
// started from the installation folder. It asks once (without /S or
// /PASSIVE; /PASSIVE shows only its progress), removes what the
// installation's record names and the user left as it was, and leaves
// neither itself nor the folder behind (see self_removal.h); or, started by
// an uninstaller as its helper, it does only that last part.
#include <windows.h>
#include <objbase.h>

#include <memory>

#include "common/wide_command_line.h"
#include "common/product.h"
#include "common/product_process.h"
#include "common/silent_log.h"
#include "setupdata/product_info.h"
#include "setupdata/wide_text.h"
#include "ui/progress_window.h"
#include "ui/window.h"
#include "uninstall/self_removal.h"
#include "uninstall/uninstall_form.h"
#include "uninstall/uninstall_run.h"

namespace {

using tavix::UninstallExit;

// What the uninstallation does goes to the log; nothing is shown.
class SilentFace : public uninstall::UninstallFace {
public:
    explicit SilentFace(tavix::SilentLog& log) : log_(log) {}
    void Note(const std::string& line) override { log_.Line(line); }

private:
    tavix::SilentLog& log_;
};

// The progress-only face (/PASSIVE): the log, and the one window that shows
// what is being removed.
class ProgressFace : public SilentFace {
public:
    ProgressFace(tavix::SilentLog& log, ui::ProgressWindow& window) : SilentFace(log), window_(window) {}
    void Status(const std::string& text) override {
        window_.SetStatus(text);
        ui::ProcessMessages();
    }
    void Bar(int done, int total) override { window_.SetBar(done, total); }

private:
    ui::ProgressWindow& window_;
};

// The window's face, once the window is there.
class FormFace : public uninstall::UninstallFace {
public:
    void Status(const std::string& text) override {
        if (form) form->Status(text);
    }
    void Bar(int done, int total) override {
        if (form) form->Bar(done, total);
    }
    TFormUninstall* form = nullptr;
};

std::wstring ModulePath() {
    wchar_t buf[32768];
    DWORD n = GetModuleFileNameW(nullptr, buf, 32768);
    return std::wstring(buf, n < 32768 ? n : 0);
}

// Ends the running product as the setup does, then waits (a few seconds at
// most) until its program is no longer in use.
bool EndProduct() {
    tavix::TerminateProduct(tavix::kProductWindowClass);
    for (int i = 0; i < 100 && tavix::IsProductRunning(); ++i) Sleep(100);
    return !tavix::IsProductRunning();
}

// What the helper is told as the uninstaller's last act: its file and the
// folder go once it has ended, when the removal ran and nothing of the
// setup's stays with it.
struct Ending {
    bool uninstallerGoes = false;
    void From(const uninstall::UninstallReport& r) { uninstallerGoes = !r.keptForSecondRun; }
};

UninstallExit RunSilently(const tavix::WideCommandLine& line, const std::string& exePath,
                          const std::string& selfRemoval, Ending& ending) {
    const tavix::CommandLine& cmd = line.cmd;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    // The log is opened only for a run that may go on: a refused command
    // line never creates or touches a file, and a second copy leaves the
    // first copy's log alone.
    if (!cmd.error.empty()) return UninstallExit::BadCommandLine;
    HANDLE mutex = CreateMutexA(nullptr, TRUE, tavix::kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        if (mutex) CloseHandle(mutex);
        return UninstallExit::AnotherCopy;
    }
    tavix::SilentLog log;
    if (cmd.hasLog && !log.Open(line.log)) return UninstallExit::BadCommandLine;
    // A log that could not be written to the end, its last line included,
    // makes a success code 6.
    auto finish = [&log](UninstallExit code, const std::string& why) {
        const bool whole = log.End("exit code " + std::to_string(static_cast<int>(code)) + ": " + why);
        if (!whole && (code == UninstallExit::Success || code == UninstallExit::UserFilesKept))
            code = UninstallExit::RemoveFailed;
        return code;
    };
    log.Line(cmd.passive ? "Uninstall: silent uninstallation with its progress window"
                         : "Uninstall: silent uninstallation");
    ui::ProgressWindow window;
    std::unique_ptr<SilentFace> face;
    if (cmd.passive) {
        ui::InitApplication(GetModuleHandleW(nullptr));
        face = std::make_unique<ProgressFace>(log, window);
    } else {
        face = std::make_unique<SilentFace>(log);
    }
    uninstall::Uninstallation u(exePath, *face, selfRemoval);
    log.Line("uninstalling from " + u.Folder());
    if (cmd.passive) window.Create(tavix::UninstallTitle(u.Caption()), "正在卸载...");
    // The product first: while it runs it holds the folder open (its working folder).
    if (tavix::IsProductRunning()) return finish(UninstallExit::ProductRunning, "the product is running; it is left running");
    std::string problem;
    if (!u.Prepare(problem)) return finish(UninstallExit::RecordUnusable, problem);
    // The shell's link object serves any apartment; a multithreaded one
    // opens no window (under Wine: loads no display driver).
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const uninstall::UninstallReport r = u.Run();
    CoUninitialize();
    ending.From(r);
    std::string why = r.exit == UninstallExit::Success         ? "uninstalled"
                      : r.exit == UninstallExit::UserFilesKept ? "uninstalled; the user's files are kept"
                      : r.exit == UninstallExit::RemoveFailed  ? "something could not be removed"
                                                               : "the record names paths outside the folder";
    if (r.keptForSecondRun) why += "; the uninstaller, its record and the uninstall entry stay for a second run";
    return finish(r.exit, why);
}

UninstallExit RunWithWindow(const std::string& exePath, const std::string& selfRemoval, Ending& ending) {
    ui::InitApplication(GetModuleHandleW(nullptr));
    HANDLE mutex = CreateMutexA(nullptr, TRUE, tavix::kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ui::MsgBox(ui::AppWindow(), tavix::kAnotherCopyText, "运行提示", MB_OK | MB_ICONINFORMATION);
        if (mutex) CloseHandle(mutex);
        return UninstallExit::AnotherCopy;
    }
    FormFace face;
    uninstall::Uninstallation u(exePath, face, selfRemoval);
    const std::string caption = u.Caption();
    ui::SetAppTitle(tavix::UninstallTitle(caption));
    // The product first: while it runs, its working folder is the
    // installation folder, which it holds open against removal.
    if (tavix::IsProductRunning()) {
        const int answer = ui::MsgBox(ui::AppWindow(), tavix::ProductRunningUninstallQuestion(), "运行提示",
                                      MB_YESNO | MB_ICONWARNING | MB_SYSTEMMODAL);
        if (answer != IDYES || !EndProduct()) return UninstallExit::ProductRunning;
    }
    std::string problem;
    if (!u.Prepare(problem)) {
        ui::MsgBox(ui::AppWindow(), problem, tavix::UninstallTitle(caption), MB_OK | MB_ICONERROR);
        return UninstallExit::RecordUnusable;
    }
    CoInitialize(nullptr);
    UninstallExit result;
    {
        TFormUninstall form;
        face.form = &form;
        // The folder stays held from the check of the record to the end.
        form.Create(caption.empty() ? tavix::kProductName : caption, u.Folder(), [&] {
            uninstall::UninstallReport r = u.Run();
            ending.From(r);
            return r;
        });
        form.Show();
        ui::RunMessageLoop();
        result = form.Result();
    }
    CoUninitialize();
    return result;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
    tavix::LimitDllSearch();
    if (uninstall::RunAsHelper()) return 0;
    tavix::WideCommandLine line = tavix::ParseWideCommandLine(args ? args : L"");
    tavix::CommandLine& cmd = line.cmd;
    // The log's name may hold any character; the rest of the line is GBK.
    if (!line.lossless && cmd.error.empty()) cmd.error = "the command line holds characters without a GBK form";
    if (cmd.hasFolder && cmd.error.empty()) cmd.error = "/D= is no switch of the uninstaller";

    // The helper starts up beside the work; without one, this file and its
    // folder stay, and so do the record and the uninstall entry.
    uninstall::Helper helper;
    const std::string selfRemoval = helper.Start() ? std::string() : helper.Why();
    const std::string exePath = tavix::G(ModulePath());
    Ending ending;
    const UninstallExit code = cmd.Unattended() ? RunSilently(line, exePath, selfRemoval, ending)
                                                : RunWithWindow(exePath, selfRemoval, ending);
    helper.Release(ending.uninstallerGoes);
    return static_cast<int>(code);
}
