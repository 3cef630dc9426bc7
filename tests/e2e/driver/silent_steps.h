// Runs of the setup without windows (/S): its exit code, what it showed or
// wrote on the way, its log.
#pragma once
#include <windows.h>

#include <string>

namespace e2e {

struct SilentRun {
    DWORD code = 0;
    bool windowShown = false;   // a visible top-level window of the setup appeared
    bool controlFiles = false;  // a control file appeared in the temporary folder
};

// Runs `exe` with `args` to its end, watching that it never shows a window
// (a message box included) and never writes the temporary control files
// (those another copy of the setup holds are left out of the watch).
SilentRun RunSilently(const std::wstring& exe, const std::wstring& args);

// Nothing of an installation into `dir` is there: the folder, the uninstall
// entry, the document type, the desktop shortcut, the program group.
void CheckNothingInstalled(const std::wstring& dir);

// True when `text` ends with `last`.
bool EndsWith(const std::wstring& text, const std::wstring& last);

} // namespace e2e
