// The Windows side of bench/run.sh: runs the setup, the benchmark programs and
// the NSIS installer of the same release under Wine, alternating them, and
// appends one "name value" line per measurement to TAVIX_BENCH_RESULTS.
//
// Scenarios (each one a phase of run.sh):
//   extraction    bench_extract.exe / bench_copy.exe / nsis_setup.exe /S
//   first_window  TavixSetup.exe / TavixSetup.exe /PASSIVE / nsis_setup.exe /
//                 bench_window.exe (the floor): start to the first visible window
//   installation  a full installation through the wizard / through NSIS's pages
//   installation_steps  one installation through the wizard, watched by the
//                 e2e probe: where its time goes
//   silent        TavixSetup.exe /S / bench_copy.exe / nsis_setup.exe /S
//   uninstall     Uninstall.exe /S of a silent installation / bench_delete.exe of
//                 the same tree: process start until the folder is gone
// Without TAVIX_BENCH_NSIS (a host that cannot run the 32-bit NSIS installer)
// the NSIS side of each pair is left out.
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "bench_common.h"
#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/setup_steps.h"
#include "driver/wizard_steps.h"
#include "install/progress.h"
#include "wizard/wizard_ids.h"

using namespace e2e;

namespace {

const wchar_t kRoot[] = L"C:\\tavix-bench";

int Runs(const wchar_t* var, int fallback) {
    std::wstring v = Env(var);
    int n = v.empty() ? fallback : _wtoi(v.c_str());
    return n > 0 ? n : fallback;
}

std::wstring BinDir() { return Env(L"TAVIX_BENCH_BIN"); }
std::wstring NsisExe() { return Env(L"TAVIX_BENCH_NSIS"); }
bool NsisRuns() { return !NsisExe().empty(); }
// The NSIS installer made with CRCCheck off (optional).
std::wstring NsisNoCrcExe() { return Env(L"TAVIX_BENCH_NSIS_NOCRC"); }
std::wstring Results() { return Env(L"TAVIX_BENCH_RESULTS"); }
// Measurements of the warm-up round go here and are not reported.
std::wstring Scratch() { return std::wstring(kRoot) + L"\\warm-up.txt"; }

void Record(bool keep, const char* name, double value) {
    bench::Record(keep ? Results() : Scratch(), name, value);
    Log("%s%s %.1f", keep ? "" : "(warm-up) ", name, value);
}

// Runs a program to its end; returns the wall time from start to exit in ms.
double RunToExit(const std::wstring& exe, const std::wstring& args, const char* what) {
    const double start = bench::NowMs();
    Process p = Launch(exe, args);
    DWORD code = WaitExit(p, 300000);
    const double ms = bench::NowMs() - start;
    CloseHandle(p.handle);
    Check(code == 0, "%s ended with exit code %lu", what, code);
    return ms;
}

// The private memory figures Windows reports for a running process, in KB.
void RecordMemory(bool keep, HANDLE process, const char* who) {
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) {
        Log("GetProcessMemoryInfo failed for %s (error %lu)", who, GetLastError());
        return;
    }
    char name[96];
    std::snprintf(name, sizeof name, "winmem_%s_private_kb", who);
    Record(keep, name, pmc.PrivateUsage / 1024.0);
    std::snprintf(name, sizeof name, "winmem_%s_peak_pagefile_kb", who);
    Record(keep, name, pmc.PeakPagefileUsage / 1024.0);
    std::snprintf(name, sizeof name, "winmem_%s_peak_working_set_kb", who);
    Record(keep, name, pmc.PeakWorkingSetSize / 1024.0);
}

} // namespace

// ---- extraction ------------------------------------------------------------------

E2E_SCENARIO(extraction) {
    const int runs = Runs(L"TAVIX_BENCH_RUNS", 11);
    const std::size_t n = Release().manifestLines.size();
    CreateDirectoryW(kRoot, nullptr);
    const std::wstring ours = BinDir() + L"\\bench_extract.exe", copy = BinDir() + L"\\bench_copy.exe";
    // Round 0 warms the file cache and checks every result byte for byte.
    for (int round = 0; round <= runs; ++round) {
        const bool keep = round > 0;
        const std::wstring out = keep ? Results() : Scratch();
        for (int k = 0; k < 4; ++k) {
            // The order turns each round, so no one always follows the same one.
            const int which = (k + round) % 4;
            if (which == 2 && !NsisRuns()) continue;
            const wchar_t* const names[] = {L"\\ours", L"\\copy", L"\\nsis", L"\\unchecked"};
            const std::wstring dir = std::wstring(kRoot) + names[which];
            DeleteTree(dir);
            if (which == 0) {
                Record(keep, "extract_wall_ms", RunToExit(ours, L"\"" + dir + L"\" \"" + out + L"\"", "bench_extract"));
            } else if (which == 3) {
                // The same without the check of each item's checksum.
                RunToExit(ours, L"\"" + dir + L"\" \"" + out + L"\" --unchecked", "bench_extract --unchecked");
            } else if (which == 1) {
                Record(keep, "copy_wall_ms",
                       RunToExit(copy, L"\"" + ReleaseDir() + L"\" \"" + dir + L"\" \"" + out + L"\"", "bench_copy"));
            } else {
                // NSIS takes the folder as the last argument, unquoted.
                Record(keep, "nsis_silent_wall_ms", RunToExit(NsisExe(), L"/S /D=" + dir, "nsis_setup /S"));
            }
            if (!keep) CheckManifestInstalled(dir + L"\\", 0, n);
            DeleteTree(dir);
            Pause(300);
        }
    }
}

// ---- start to the first visible window -------------------------------------------

namespace {

// Starts the program and waits for any visible top-level window of its process.
double FirstWindowMs(const std::wstring& exe, const std::wstring& args, std::wstring& firstClass, Process& p) {
    const double start = bench::NowMs();
    p = Launch(exe, args);
    for (;;) {
        std::vector<HWND> shown = TopWindows(p.pid);
        if (!shown.empty()) {
            const double ms = bench::NowMs() - start;
            firstClass = ClassOf(shown.front());
            return ms;
        }
        Check(bench::NowMs() - start < 60000, "no window of %s within a minute", ToUtf8(exe).c_str());
        Check(!HasExited(p), "%s ended without a window", ToUtf8(exe).c_str());
        Sleep(1);
    }
}

// The folder the progress-only start installs into (it is ended half-way).
std::wstring PassiveDir() { return std::wstring(kRoot) + L"\\passive\\"; }

// The programs of the start measure: the setup with its wizard and with its
// progress window only (/PASSIVE), NSIS with and without its check of its
// own file, and the floor.
struct Starter {
    std::wstring exe, args;
    const char* name;  // of the measure
    const char* who;   // in the trace
};

std::vector<Starter> Starters() {
    std::vector<Starter> s = {{SetupExe(), L"", "first_window_ours_ms", "ours"},
                              {SetupExe(), L"/PASSIVE /D=" + PassiveDir(), "first_window_passive_ms", "passive"}};
    if (NsisRuns()) s.push_back({NsisExe(), L"", "first_window_nsis_ms", "nsis"});
    s.push_back({BinDir() + L"\\bench_window.exe", L"", "first_window_floor_ms", "floor"});
    if (NsisRuns() && !NsisNoCrcExe().empty())
        s.push_back({NsisNoCrcExe(), L"", "first_window_nsis_nocrc_ms", "nsis_nocrc"});
    return s;
}

// Ends a program of the start measure after it has settled, so that the
// next start finds a quiet system; what the setup began goes with it.
void EndStarter(Process& p, const Starter& s) {
    Pause(500);
    Kill(p);
    CloseHandle(p.handle);
    if (s.exe == SetupExe()) {
        RemoveControlFiles();
        CleanInstallation(PassiveDir());
    }
    Pause(300);
}

} // namespace

E2E_SCENARIO(first_window) {
    const int runs = Runs(L"TAVIX_BENCH_RUNS", 11);
    const std::vector<Starter> starters = Starters();
    const int n = static_cast<int>(starters.size());
    for (int round = 0; round <= runs; ++round) {
        const bool keep = round > 0;
        for (int k = 0; k < n; ++k) {
            const int which = (k + round) % n;
            std::wstring cls;
            Process p;
            const double ms = FirstWindowMs(starters[which].exe, starters[which].args, cls, p);
            Record(keep, starters[which].name, ms);
            Log("  first window class %s", ToUtf8(cls).c_str());
            EndStarter(p, starters[which]);
        }
    }
}

// Where the start of each program goes: each one is started with Wine's
// debug channels of TAVIX_BENCH_TRACE (default +timestamp,+pid,+loaddll) and, with
// TAVIX_BENCH_TRACE_RELAY set, a relay trace of the calls it names (Wine's
// RelayInclude list, "dll.Function;..."). The child's trace goes to this
// phase's log next to "trace launch/window WHO PID TICK" lines; GetTickCount
// is the clock of Wine's timestamps. bench/trace_first_window.py reads it.
E2E_SCENARIO(first_window_trace) {
    const int runs = Runs(L"TAVIX_BENCH_RUNS", 11);
    std::wstring channels = Env(L"TAVIX_BENCH_TRACE");
    if (channels.empty()) channels = L"+timestamp,+pid,+loaddll";
    const std::wstring relay = Env(L"TAVIX_BENCH_TRACE_RELAY");
    const wchar_t* debugKey = L"Software\\Wine\\Debug";
    if (!relay.empty()) {
        RegWrite(HKEY_CURRENT_USER, debugKey, L"RelayInclude", relay);
        channels += L",+relay";
    }
    const std::vector<Starter> starters = Starters();
    const int n = static_cast<int>(starters.size());
    for (int round = 0; round <= runs; ++round) {
        for (int k = 0; k < n; ++k) {
            const Starter& s = starters[(k + round) % n];
            std::wstring cls;
            Process p;
            SetEnvironmentVariableW(L"WINEDEBUG", channels.c_str());
            const DWORD launch = GetTickCount();
            const double ms = FirstWindowMs(s.exe, s.args, cls, p);
            const DWORD shown = GetTickCount();
            SetEnvironmentVariableW(L"WINEDEBUG", L"-all");
            if (round > 0) {
                Log("trace launch %s %lu %lu", s.who, p.pid, launch);
                Log("trace window %s %lu %lu %.3f", s.who, p.pid, shown, ms);
            }
            EndStarter(p, s);
        }
    }
    if (!relay.empty()) RegDeleteKeyValueW(HKEY_CURRENT_USER, debugKey, L"RelayInclude");
}

// ---- a full installation -------------------------------------------------------------

namespace {

// Where the time of an installation goes, from the probe's record of the
// installation window's status line: one figure per stretch between two
// status texts of the sequence, from Next on the ready page (`startTick`) to
// the finish page.
void RecordSteps(const InstallProbe& probe, DWORD startTick) {
    struct Mark {
        const char* name;
        std::wstring status;  // the status text that ends the stretch
    };
    const std::wstring uninstaller = W936(tavix::kStatusUninstaller), link = W936(tavix::kStatusDesktopLink),
                       group = W936(tavix::kStatusProgramGroup), reg = W936(tavix::kStatusRegInfo);
    const Mark marks[] = {{"steps_handover_to_sequence_ms", L"*first*"},
                          {"steps_main_program_and_manifest_ms", uninstaller},
                          {"steps_uninstaller_ms", link},
                          {"steps_desktop_link_ms", group},
                          {"steps_program_group_ms", reg},
                          {"steps_registry_ms", L""}};
    DWORD last = startTick;
    std::size_t at = 0;
    for (const ProbeEvent& e : probe.Events()) {
        if (at < 6 && e.kind == ProbeKind::Status &&
            ((at == 0 && e.tick >= startTick) || (at > 0 && marks[at].status == e.text))) {
            Record(true, marks[at].name, e.tick - last);
            last = e.tick;
            ++at;
        } else if (at == 6 && e.kind == ProbeKind::ButtonText && std::wstring(e.text) == L"完毕") {
            Record(true, "steps_last_step_to_finish_page_ms", e.tick - last);
            ++at;
        }
    }
    Check(at == 7, "the probe saw %zu of the 7 stretches", at);
}

// A full installation through the wizard into `dir`: the time from Next on
// the ready page to the finish page, and the memory Windows reports then.
// With a probe, where the time goes is recorded instead.
void InstallOurs(bool keep, bool check, InstallProbe* probe = nullptr) {
    const std::wstring dir = std::wstring(kRoot) + L"\\wizard\\";
    InstallRegistryRestore registry;
    CleanInstallation(dir);
    Process setup = StartSetupToWizard();
    if (probe) probe->Attach(setup.pid);
    HWND wizard = WaitWizard(setup.pid);
    GoToFolderPage(wizard);
    SetInstallFolder(wizard, dir);
    ClickNext(wizard);

    const double start = bench::NowMs();
    const DWORD startTick = GetTickCount();
    Check(StartInstall(wizard) != nullptr, "no installation window");
    HWND next = WizardControl(wizard, wizard_ids::kBtnNext);
    Check(WaitFor([&] { return IsShown(wizard) && WizardPage(wizard) == 5 && Text(next) == L"完毕"; }, 600000, 2),
          "the finish page did not come");
    if (probe) {
        RecordSteps(*probe, startTick);
    } else {
        Record(keep, "install_ours_ms", bench::NowMs() - start);
        RecordMemory(keep, setup.handle, "ours");
    }

    SetRunAfterInstall(wizard, false);
    ClickFinish(wizard);
    Check(WaitExit(setup, 30000) == 0, "the setup did not end with 0");
    CloseHandle(setup.handle);
    if (check) {
        const std::size_t n = Release().manifestLines.size();
        CheckManifestInstalled(dir, 0, n);
    }
    // The shell opens the new program group in a window; let it come so
    // that the cleanup closes it.
    WaitProgramGroupWindow(3000);
    CleanInstallation(dir);
}

HWND NsisButton(HWND dialog, const wchar_t* text) { return FindChild(dialog, L"Button", text); }

// NSIS's main window, once it offers its enabled "Install" button. On a large
// installer NSIS first checks its own file and shows a dialog of the same
// class ("verifying installer: N%") meanwhile, which has no such button; that
// check reads the whole file, so it may take long on a cold cache.
HWND WaitNsisMainWindow(const Process& p, HWND& install) {
    HWND dialog = nullptr;
    Check(WaitFor([&] {
        for (HWND w : TopWindows(p.pid)) {
            if (ClassOf(w) != L"#32770") continue;
            HWND b = NsisButton(w, L"&Install");
            if (b && IsEnabled(b)) {
                dialog = w;
                install = b;
                return true;
            }
        }
        Check(!HasExited(p), "NSIS ended before its main window");
        return false;
    }, 600000), "NSIS shows no Install button");
    return dialog;
}

// The NSIS installer through its two pages: the folder page's "Install", the
// files page to "Completed", then "Close".
void InstallNsis(bool keep, bool check) {
    const std::wstring dir = std::wstring(kRoot) + L"\\nsis-ui";
    DeleteTree(dir);
    Process p = Launch(NsisExe(), L"/D=" + dir);
    HWND install = nullptr;
    HWND dialog = WaitNsisMainWindow(p, install);
    const double start = bench::NowMs();
    Click(install);
    HWND close = nullptr;
    Check(WaitFor([&] { return (close = NsisButton(dialog, L"&Close")) && IsEnabled(close); }, 600000, 2),
          "NSIS did not complete");
    Record(keep, "install_nsis_ms", bench::NowMs() - start);
    RecordMemory(keep, p.handle, "nsis");
    Click(close);
    Check(WaitExit(p, 30000) == 0, "NSIS did not end with 0");
    CloseHandle(p.handle);
    if (check) CheckManifestInstalled(dir + L"\\", 0, Release().manifestLines.size());
    DeleteTree(dir);
}

} // namespace

E2E_SCENARIO(installation) {
    const int runs = Runs(L"TAVIX_BENCH_INSTALL_RUNS", 3);
    CreateDirectoryW(kRoot, nullptr);
    for (int round = 0; round < runs; ++round) {
        for (int k = 0; k < 2; ++k) {
            if ((k + round) % 2 == 0)
                InstallOurs(true, round == 0);
            else if (NsisRuns())
                InstallNsis(true, round == 0);
            Pause(500);
        }
    }
}

// One more installation through the wizard with the e2e probe hooked into
// the setup (it adds a little to every message, so it is not timed above).
E2E_SCENARIO(installation_steps) {
    CreateDirectoryW(kRoot, nullptr);
    InstallProbe probe;
    InstallOurs(true, false, &probe);
}

// ---- a silent installation -------------------------------------------------------

// TavixSetup.exe /S /D=<folder> from process start to exit (code 0), against
// the Windows-level copy of the same tree (bench_copy.exe, process start to
// exit) and NSIS's own silent installation of it. Round 0 warms the file
// cache and checks every installed file byte for byte; it is not reported.
// Run by bench/run.sh --silent, for a setup that knows /S.
E2E_SCENARIO(silent) {
    const int runs = Runs(L"TAVIX_BENCH_RUNS", 11);
    const std::size_t n = Release().manifestLines.size();
    CreateDirectoryW(kRoot, nullptr);
    const std::wstring copy = BinDir() + L"\\bench_copy.exe";
    for (int round = 0; round <= runs; ++round) {
        const bool keep = round > 0;
        for (int k = 0; k < 3; ++k) {
            const int which = (k + round) % 3;
            if (which == 2 && !NsisRuns()) continue;
            if (which == 0) {
                // Folder given as NSIS takes it: last, unquoted, no final backslash.
                const std::wstring dir = std::wstring(kRoot) + L"\\silent-ours";
                InstallRegistryRestore registry;
                CleanInstallation(dir);
                Record(keep, "silent_ours_wall_ms", RunToExit(SetupExe(), L"/S /D=" + dir, "TavixSetup /S"));
                if (!keep) CheckManifestInstalled(dir + L"\\", 0, n);
                CleanInstallation(dir);
            } else {
                const std::wstring dir = std::wstring(kRoot) + (which == 1 ? L"\\silent-copy" : L"\\silent-nsis");
                DeleteTree(dir);
                if (which == 1)
                    // Its own in-process figures go to the scratch file, apart from the extraction's.
                    Record(keep, "silent_copy_wall_ms",
                           RunToExit(copy, L"\"" + ReleaseDir() + L"\" \"" + dir + L"\" \"" + Scratch() + L"\"",
                                     "bench_copy"));
                else
                    Record(keep, "silent_nsis_wall_ms", RunToExit(NsisExe(), L"/S /D=" + dir, "nsis_setup /S"));
                if (!keep) CheckManifestInstalled(dir + L"\\", 0, n);
                DeleteTree(dir);
            }
            Pause(300);
        }
    }
}

// ---- uninstalling --------------------------------------------------------------------

// With TAVIX_BENCH_COLD=1 (the benchmark run as root), the system's file
// cache is emptied before a timed run: what it reads comes from the disk,
// as on a PC started afresh.
void EmptyFileCacheWhenCold() {
    if (Env(L"TAVIX_BENCH_COLD") != L"1") return;
    Check(RunShell("sync && echo 3 > /proc/sys/vm/drop_caches", 120000), "the file cache could not be emptied");
}

// Uninstall.exe /S of a silent installation of the release, from its start
// until the installation folder is gone (the uninstaller's own file and the
// folder go just after its first step ends), against bench_delete.exe of
// the same tree, start to exit. Both trees are installed the same way, not
// timed. Round 0 warms the file cache and is not reported.
E2E_SCENARIO(uninstall) {
    const int runs = Runs(L"TAVIX_BENCH_RUNS", 11);
    CreateDirectoryW(kRoot, nullptr);
    const std::wstring del = BinDir() + L"\\bench_delete.exe";
    for (int round = 0; round <= runs; ++round) {
        const bool keep = round > 0;
        for (int k = 0; k < 2; ++k) {
            const bool ours = (k + round) % 2 == 0;
            const std::wstring dir = std::wstring(kRoot) + (ours ? L"\\uninstall-ours" : L"\\uninstall-delete");
            InstallRegistryRestore registry;
            CleanInstallation(dir);
            RunToExit(SetupExe(), L"/S /D=" + dir, "TavixSetup /S");
            EmptyFileCacheWhenCold();
            if (ours) {
                const double start = bench::NowMs();
                RunToExit(dir + L"\\Uninstall.exe", L"/S", "Uninstall /S");
                while (DirExists(dir) && bench::NowMs() - start < 60000) Sleep(1);
                Check(!DirExists(dir), "the uninstaller left %s", ToUtf8(dir).c_str());
                Record(keep, "uninstall_ours_wall_ms", bench::NowMs() - start);
            } else {
                Record(keep, "uninstall_delete_wall_ms", RunToExit(del, L"\"" + dir + L"\"", "bench_delete"));
                Check(!DirExists(dir), "bench_delete left %s", ToUtf8(dir).c_str());
            }
            CleanInstallation(dir);
            Pause(300);
        }
    }
}
