// Runs of the setup and the uninstaller without the wizard (/S, /PASSIVE):
// their exit code, the windows they showed and what they wrote on the way,
// their log.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "driver/e2e.h"

namespace e2e {

// A visible top-level window of the run, as it was when it first showed.
struct SeenWindow {
    HWND hwnd = nullptr;
    std::wstring cls, title;
};

struct WatchedRun {
    DWORD code = 0;
    std::vector<SeenWindow> windows;  // every visible top-level window, in the order they appeared
    bool controlFiles = false;        // a control file appeared in the temporary folder
};

// Runs `exe` with `args` to its end, watching every few milliseconds which
// top-level windows of its process are visible (a message box included) and
// whether it writes the temporary control files (those another copy of the
// setup holds are left out of the watch). `atFirstWindow`, when given, runs
// once when the first window shows, while the run goes on (Suspend holds it
// still).
WatchedRun RunWatched(const std::wstring& exe, const std::wstring& args,
                      const std::function<void(const Process&, HWND)>& atFirstWindow = nullptr);

struct SilentRun {
    DWORD code = 0;
    bool windowShown = false;   // a visible top-level window of the setup appeared
    bool controlFiles = false;  // a control file appeared in the temporary folder
};

// RunWatched for /S, where no window may show.
SilentRun RunSilently(const std::wstring& exe, const std::wstring& args);

// Fails unless the run showed one window, the progress window of /PASSIVE
// titled `title`, and nothing else.
void CheckOnlyTheProgressWindow(const WatchedRun& run, const std::wstring& title, const char* what);

// The progress window of /PASSIVE as it first shows: its status line and its
// bar and no other control, the keyboard left with the window that had it.
// Then what Esc, Enter, Alt+F4 and a close make of themselves is sent to it,
// each waited for: the window stays, and the run goes on to its end as if
// they had not come. Fails when the run ends before they are all served.
void CheckProgressWindowAndTryToEndIt(HWND w, const char* what);

// Everything a run without the wizard installs into `dir` is there and right,
// as its log `log` says: the files, the uninstall entry and the registry, the
// desktop shortcut and the program group (made without the shell's window
// on it), the product not started, Options.ini as the release has it.
void CheckInstalledWithoutTheWizard(const std::wstring& dir, const std::wstring& log);

// Nothing of an installation into `dir` is there: the folder, the uninstall
// entry, the document type, the desktop shortcut, the program group.
void CheckNothingInstalled(const std::wstring& dir);

// True when `text` ends with `last`.
bool EndsWith(const std::wstring& text, const std::wstring& last);

} // namespace e2e
