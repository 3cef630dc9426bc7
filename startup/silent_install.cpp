#include "silent_install.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "install/folder_checks.h"
#include "install/install_sequence.h"
#include "setupdata/errors.h"
#include "setupdata/payload.h"
#include "setupdata/product_info.h"
#include "setupdata/system_error.h"
#include "setupdata/wide_text.h"
#include "common/product.h"
#include "common/product_process.h"
#include "common/setup_state.h"
#include "wizard/wizard_rules.h"

namespace startup {
namespace {

using tavix::ExitCode;

// The log of the silent installation: one UTF-8 line per step and per file,
// each with its local time, added to what the file holds. Without /LOG=
// nothing is written.
class SilentLog {
public:
    ~SilentLog() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    // Opens the file at `path` (made when missing) to add to it; false for a
    // name that is a link (a reparse point), a file that has more than one
    // name, or one that cannot be opened. The setup writes with more rights
    // than whoever could have put such a name there, so it writes only into
    // a file that is what its name says.
    bool Open(const std::string& path) {
        HANDLE file = CreateFileW(tavix::W(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                  FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        BY_HANDLE_FILE_INFORMATION info = {};
        if (!GetFileInformationByHandle(file, &info) ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
            info.nNumberOfLinks > 1) {
            CloseHandle(file);
            return false;
        }
        file_ = file;
        return true;
    }
    // Adds a line. After a write that fails, one line says so where it can,
    // and nothing more is written.
    void Line(const std::string& gbk) {
        if (file_ == INVALID_HANDLE_VALUE || failed_) return;
        if (Write(gbk)) return;
        failed_ = true;
        Write("the log cannot be written from here on: " + tavix::SystemErrorText(GetLastError()));
    }
    bool Failed() const { return failed_; }

private:
    bool Write(const std::string& gbk) {
        SYSTEMTIME t;
        GetLocalTime(&t);
        char stamp[40];
        std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", t.wYear, t.wMonth, t.wDay,
                      t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
        const std::string line = stamp + tavix::Utf8(tavix::W(gbk)) + "\r\n";
        DWORD written = 0;
        if (!WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) return false;
        if (written == line.size()) return true;
        SetLastError(ERROR_DISK_FULL);
        return false;
    }

    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool failed_ = false;
};

// What the install sequence shows goes to the log; nothing waits.
class SilentFace : public install::InstallFace {
public:
    explicit SilentFace(SilentLog& log) : log_(log) {}
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
    SilentLog& log_;
};

// The text of a payload item; throws when the setup lacks it or it is damaged.
std::string ItemText(const char* type, const char* name) {
    tavix::PayloadItem item = tavix::FindPayload(type, name);
    if (!tavix::MatchesRecord(item)) throw tavix::SetupError(tavix::DamagedItemText(name));
    return std::string(static_cast<const char*>(item.data), item.size);
}

// Ends the run with `code`; a log that could not be written to the end
// makes a success code 6.
ExitCode Finish(SilentLog& log, ExitCode code, const std::string& why) {
    if (code == ExitCode::Success && log.Failed()) code = ExitCode::WriteFailed;
    log.Line("exit code " + std::to_string(static_cast<int>(code)) + ": " + why);
    return code;
}

// The earlier installation as the wizard finds it; false when a later release
// is installed. The keys are read, never made. When the same or an earlier
// release is installed, `installed` becomes that copy's folder, so that it is
// replaced where it is.
bool MayInstallOver(SilentLog& log, const std::string& newSerial, std::string& installed) {
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

ExitCode RunSilent(const tavix::CommandLine& cmd, bool lossless) {
    // No box of the system either: a script must never wait on one.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    // The log is opened only for a run that may go on: a command line that
    // is refused, or that names a file otherwise than it was typed (a
    // character without a GBK form), never creates or touches a file, and a
    // second copy leaves the first copy's log alone.
    if (!cmd.error.empty() || !lossless) return ExitCode::BadCommandLine;
    HANDLE mutex = CreateMutexA(nullptr, TRUE, tavix::kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        if (mutex) CloseHandle(mutex);
        return ExitCode::AnotherCopy;
    }
    SilentLog log;
    if (cmd.hasLog && !log.Open(cmd.log)) return ExitCode::BadCommandLine;
    log.Line(std::string(tavix::kAppTitle) + ": silent installation");

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
        const std::string usable = install::DefaultSetupPath(state);
        folder = tavix::OfferedFolder(usable, installed, folderExists);
        if (usable != setupPath && folder == tavix::PresetFolder(usable))
            log.Line("the default folder " + setupPath +
                     " lies on a drive that does not exist or is no fixed disk; the same folder on the system drive is used");
    }
    const std::string problem = install::FolderProblem(state, folder);
    if (!problem.empty()) return Finish(log, ExitCode::FolderRefused, "the folder " + folder + " is refused: " + problem);
    const install::DiskSpace space = install::SpaceFor(state, folder);
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

    CoInitialize(nullptr);  // the shell link of the desktop shortcut
    SilentFace face(log);
    install::InstallResult result;
    {
        install::InstallSequence sequence(state, face);
        result = sequence.RunInstall();
    }
    state.SetupRegistry.reset();
    CoUninitialize();
    switch (result.outcome) {
    case install::InstallOutcome::Completed:
        if (!face.missing.empty())
            return Finish(log, ExitCode::WriteFailed,
                          "installed without all of its parts: " + face.missing.front() +
                              (face.missing.size() > 1 ? " (and " + std::to_string(face.missing.size() - 1) + " more above)" : ""));
        return Finish(log, ExitCode::Success, "installed");
    case install::InstallOutcome::MainFolderFailed:
        return Finish(log, ExitCode::WriteFailed, "the installation folder could not be made");
    case install::InstallOutcome::ProgramLocked:
        return Finish(log, ExitCode::WriteFailed, "the main program could not be written: " + result.message);
    case install::InstallOutcome::Stopped:
    case install::InstallOutcome::Failed:
        break;
    }
    return Finish(log, result.kind == tavix::ErrorKind::MissingItem ? ExitCode::DamagedSetup : ExitCode::WriteFailed,
                  "failed: " + result.message);
}

} // namespace startup
