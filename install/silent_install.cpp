#include "silent_install.h"

#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

#include "install/earlier_install.h"
#include "install/folder_checks.h"
#include "install/folder_rule.h"
#include "install/install_sequence.h"
#include "install/progress.h"
#include "setupdata/errors.h"
#include "setupdata/payload.h"
#include "setupdata/product_info.h"
#include "setupdata/system_error.h"
#include "setupdata/wide_text.h"
#include "common/product.h"
#include "common/product_process.h"
#include "common/setup_state.h"
#include "common/silent_log.h"
#include "ui/progress_window.h"

namespace install {
namespace {

using tavix::ExitCode;

// What the install sequence shows goes to the log; nothing waits.
class SilentFace : public InstallFace {
public:
    explicit SilentFace(tavix::SilentLog& log) : log_(log) {}
    void Status(const std::string&) override {}
    void Bar(int) override {}
    void Pause() override {}
    bool YieldPoint() override { return true; }
    void FolderFailed(const std::string& text) override {
        log_.Line("failed: " + text);
        missing.push_back("a folder could not be made; its files are missing");
    }
    void PartMissing(const std::string& why) override {
        log_.Line("failed: " + why);
        missing.push_back(why);
    }
    void Note(const std::string& line) override { log_.Line(line); }

    // What the installation went on without, in order.
    std::vector<std::string> missing;

private:
    tavix::SilentLog& log_;
};

// The progress-only face (/PASSIVE): the silent face's answers and log, and
// one window that shows the status line and the bar. It asks nothing, and
// nothing the user does there ends the installation.
class ProgressFace : public SilentFace {
public:
    ProgressFace(tavix::SilentLog& log, ui::ProgressWindow& window) : SilentFace(log), window_(window) {}
    void Status(const std::string& text) override { window_.SetStatus(text); }
    void Bar(int position) override { window_.SetBar(position, tavix::bar::kMax); }
    bool YieldPoint() override {
        ui::ProcessMessages();
        return true;
    }

private:
    ui::ProgressWindow& window_;
};

// The text of a payload item; throws when the setup lacks it or it is damaged.
std::string ItemText(const char* type, const char* name) {
    return tavix::ReadPayload(tavix::FindPayload(type, name));
}

// Ends the run with `code`; a log that could not be written to the end,
// this last line included, makes a success code 6.
ExitCode Finish(tavix::SilentLog& log, ExitCode code, const std::string& why) {
    const bool whole = log.End("exit code " + std::to_string(static_cast<int>(code)) + ": " + why);
    return code == ExitCode::Success && !whole ? ExitCode::WriteFailed : code;
}

// The earlier installation as the wizard finds it; false when a later release
// is installed. The keys are read, never made. When the same or an earlier
// release is installed, `installed` becomes that copy's folder, so that it is
// replaced where it is.
bool MayInstallOver(tavix::SilentLog& log, const std::string& newSerial, std::string& installed) {
    std::string serial, path;
    ui::Registry registry(HKEY_CURRENT_USER);
    if (registry.OpenKey("Software\\TAVIX\\Shell\\Serial", false)) serial = registry.ReadString("Serial");
    if (registry.OpenKey("Software\\TAVIX\\Shell\\PathName", false)) path = registry.ReadString("Path");
    registry.CloseKey();
    auto exists = [](const std::string& file) {
        DWORD a = GetFileAttributesW(tavix::W(file).c_str());
        return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
    };
    const tavix::VersionQuestion question = tavix::CheckEarlierInstall(serial, path, exists, newSerial);
    if (question != tavix::VersionQuestion::OlderVersion && tavix::HasEarlierInstall(serial, path, exists))
        installed = path;
    switch (question) {
    case tavix::VersionQuestion::None:
        if (!installed.empty()) log.Line("an earlier release (" + serial + ") is installed in " + path + "; replacing it");
        return true;
    case tavix::VersionQuestion::Reinstall:
        log.Line("the same release is installed in " + path + "; installing over it");
        return true;
    case tavix::VersionQuestion::OlderVersion:
        log.Line("a later release (" + serial + ") is installed in " + path);
        return false;
    }
    return true;
}

} // namespace

ExitCode RunSilent(const tavix::WideCommandLine& line) {
    const tavix::CommandLine& cmd = line.cmd;
    // No box of the system either: a script must never wait on one.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    // The log is opened only for a run that may go on: a command line that
    // is refused, or whose switches or folder hold a character without a
    // GBK form (the folder would be another than typed), never creates or
    // touches a file, and a second copy leaves the first copy's log alone.
    if (!cmd.error.empty() || !line.lossless) return ExitCode::BadCommandLine;
    HANDLE mutex = CreateMutexA(nullptr, TRUE, tavix::kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        if (mutex) CloseHandle(mutex);
        return ExitCode::AnotherCopy;
    }
    tavix::SilentLog log;
    if (cmd.hasLog && !log.Open(line.log)) return ExitCode::BadCommandLine;
    log.Line(std::string(tavix::kAppTitle) + (cmd.passive ? ": silent installation with its progress window"
                                                          : ": silent installation"));

    SetupState state;
    std::string control, manifest;
    try {
        control = ItemText(tavix::kControlFiles[tavix::kControlFile].resourceType,
                           tavix::kControlFiles[tavix::kControlFile].resourceName);
        manifest = ItemText(tavix::kControlFiles[tavix::kManifestFile].resourceType,
                            tavix::kControlFiles[tavix::kManifestFile].resourceName);
    } catch (const std::exception& e) {
        return Finish(log, ExitCode::DamagedSetup, e.what());
    }
    state.ControlText = [&control] { return control; };
    state.ManifestText = [&manifest] { return manifest; };
    const std::string damaged = tavix::ControlFileProblem(control);
    if (!damaged.empty()) return Finish(log, ExitCode::DamagedSetup, damaged);
    state.Caption = state.ReadSetupIni("Form", "Caption");
    state.VersionSerial = state.ReadSetupIni("Form", "Serial");
    log.Line("release " + state.Caption + ", serial " + state.VersionSerial);
    // The progress window comes as soon as its caption is known, before the
    // checks: they may take a moment, and the user sees at once that the
    // product is being installed.
    std::unique_ptr<ui::ProgressWindow> window;
    if (cmd.passive) {
        ui::InitApplication(GetModuleHandleW(nullptr));
        window = std::make_unique<ui::ProgressWindow>();
        window->Create(state.Caption, tavix::kStatusStarting);
    }

    if (tavix::IsProductRunning()) return Finish(log, ExitCode::ProductRunning, "the product is running; it is left running");
    std::string installed;
    try {
        if (!MayInstallOver(log, state.VersionSerial, installed))
            return Finish(log, ExitCode::NewerInstalled, "a later release is installed; nothing was installed");
    } catch (const std::exception& e) {
        // The new serial is the setup's own; the installed one is the user's.
        try {
            tavix::StrToInt(state.VersionSerial);
        } catch (const std::exception&) {
            return Finish(log, ExitCode::DamagedSetup, e.what());
        }
        log.Line(std::string("the installed version cannot be read (") + e.what() + "); installing over it");
    }

    // Without /D= the folder is the one the wizard offers first.
    auto folderExists = [](const std::string& path) {
        DWORD a = GetFileAttributesW(tavix::W(path).c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
    };
    std::string folder = cmd.folder;
    if (!cmd.hasFolder) {
        const std::string setupPath = state.ReadSetupIni("SetupDir", "SetupPath");
        const std::string usable = DefaultSetupPath(state);
        folder = tavix::OfferedFolder(usable, installed, folderExists);
        if (usable != setupPath && folder == tavix::PresetFolder(usable))
            log.Line("the default folder " + setupPath +
                     " lies on a drive that does not exist or is no fixed disk; the same folder on the system drive is used");
    }
    const std::string problem = FolderProblem(state, folder);
    if (!problem.empty()) return Finish(log, ExitCode::FolderRefused, "the folder " + folder + " is refused: " + problem);
    const DiskSpace space = SpaceFor(state, folder);
    if (!space.Enough())
        return Finish(log, ExitCode::NotEnoughSpace,
                      "the drive has " + std::to_string(space.free) + " bytes free; the setup writes " +
                          std::to_string(space.needed));
    state.InstallDir = tavix::HandOverFolder(folder);
    state.CreateDesktopLink = true;
    state.RunAfterInstall = false;
    state.InstallStarted = true;
    state.Silent = true;
    log.Line("installing into " + state.InstallDir);

    // COM for the shell links. The link object serves any apartment; a
    // multithreaded one opens no window (under Wine: loads no display driver).
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_ptr<SilentFace> face =
        window ? std::make_unique<ProgressFace>(log, *window) : std::make_unique<SilentFace>(log);
    InstallResult result;
    {
        InstallSequence sequence(state, *face);
        result = sequence.RunInstall();
    }
    state.SetupRegistry.reset();
    CoUninitialize();
    switch (result.outcome) {
    case InstallOutcome::Completed:
        if (!face->missing.empty())
            return Finish(log, ExitCode::WriteFailed,
                          "installed without all of its parts: " + face->missing.front() +
                              (face->missing.size() > 1 ? " (and " + std::to_string(face->missing.size() - 1) + " more above)" : ""));
        return Finish(log, ExitCode::Success, "installed");
    case InstallOutcome::MainFolderFailed:
        return Finish(log, ExitCode::WriteFailed, "the installation folder could not be made");
    case InstallOutcome::ProgramLocked:
        return Finish(log, ExitCode::WriteFailed, "the main program could not be written: " + result.message);
    case InstallOutcome::Stopped:
    case InstallOutcome::Failed:
        break;
    }
    return Finish(log, result.kind == tavix::ErrorKind::MissingItem ? ExitCode::DamagedSetup : ExitCode::WriteFailed,
                  "failed: " + result.message);
}

} // namespace install
