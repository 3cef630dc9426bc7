// A small driver for end-to-end scenarios: it runs inside Wine next to the
// setup, finds its windows, clicks, reads texts, answers message boxes and
// checks files and registry values.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// ---- scenarios -------------------------------------------------------------
// Each scenario is a function registered under a name; a failed check ends it.
using ScenarioFn = void (*)();
struct Registrar {
    Registrar(const char* name, ScenarioFn fn);
};
#define E2E_SCENARIO(name)                                   \
    static void e2e_scenario_##name();                        \
    static ::e2e::Registrar e2e_reg_##name(#name, e2e_scenario_##name); \
    static void e2e_scenario_##name()

// Records a failure with a printf-style message and ends the scenario.
[[noreturn]] void Fail(const char* fmt, ...);
// Checks a condition and, when it fails, ends the scenario with the message.
void Check(bool cond, const char* fmt, ...);
// Prints a progress line (UTF-8).
void Log(const char* fmt, ...);

// ---- text ------------------------------------------------------------------
std::wstring Wide(const std::string& s, UINT codePage);  // GBK: 936, UTF-8: CP_UTF8
std::string Narrow(const std::wstring& s, UINT codePage);
inline std::wstring FromGbk(const std::string& s) { return Wide(s, 936); }
inline std::wstring FromUtf8(const std::string& s) { return Wide(s, CP_UTF8); }
inline std::string ToUtf8(const std::wstring& s) { return Narrow(s, CP_UTF8); }

// A text of the general error box ends in one full stop: "." or "。", never
// both ("...。.").
bool EndsInOneFullStop(const std::wstring& text);

// ---- paths given by the runner -----------------------------------------------
std::wstring Env(const wchar_t* name);          // empty when unset
std::wstring SetupExe();                        // TAVIX_SETUP_EXE
std::wstring ReleaseDir();                      // TAVIX_RELEASE_DIR (no trailing backslash)
std::wstring ArtifactDir();                     // TAVIX_ARTIFACTS, created on demand
std::wstring WindowsTempDir();                  // Windows directory + "\Temp\"

// ---- processes -------------------------------------------------------------
struct Process {
    HANDLE handle = nullptr;
    DWORD pid = 0;
};
Process Launch(const std::wstring& exe, const std::wstring& args = L"", const std::wstring& cwd = L"");
// The command line that PowerShell, Python or .NET build from a list of
// arguments, by the quoting rules of the system's argument parser: an
// argument with a blank or a quote goes in quotes, a quote in it gets a
// backslash, and backslashes before a quote are doubled.
std::wstring CommandLineOf(const std::vector<std::wstring>& args);
// Waits for the process to end; returns its exit code, or Fail()s after timeout.
DWORD WaitExit(Process& p, DWORD timeoutMs = 30000);
bool HasExited(const Process& p);
void Kill(Process& p);
// Stops every thread of the process where it is, or lets them go on.
void Suspend(const Process& p);
void Resume(const Process& p);
// The full path of the program whose process owns window `w` ("" when it
// cannot be read).
std::wstring ProcessImage(HWND w);
// Ends every process of that executable name (case-insensitive), e.g. leftovers.
void KillByName(const wchar_t* exeName);

// ---- windows ---------------------------------------------------------------
// A visible top-level window of the process (pid 0: any) with that class and/or
// title (null: any). Waits up to timeoutMs; returns null on timeout.
HWND FindTop(DWORD pid, const wchar_t* cls, const wchar_t* title, DWORD timeoutMs = 0);
HWND WaitTop(DWORD pid, const wchar_t* cls, const wchar_t* title, DWORD timeoutMs = 15000);  // Fail()s
std::vector<HWND> TopWindows(DWORD pid, bool visibleOnly = true);
// A descendant control with that class (null: any) and exact text (null: any).
HWND FindChild(HWND parent, const wchar_t* cls, const wchar_t* text);
HWND WaitChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD timeoutMs = 10000);  // Fail()s
std::wstring Text(HWND w);
std::wstring ClassOf(HWND w);
bool IsShown(HWND w);      // IsWindowVisible
bool IsEnabled(HWND w);
RECT ClientRectOnScreen(HWND w);
// Clicks a button as a mouse would (posted, so a modal box it opens does not block).
void Click(HWND button);
void DoubleClickAt(HWND w, int x, int y);  // client coordinates
void SetEditText(HWND edit, const std::wstring& text);  // as typing would: sends WM_SETTEXT + EN_CHANGE
void PostClose(HWND w);  // WM_CLOSE, posted
void Pause(DWORD ms);
// Repeats `cond` until it is true or the time is up; returns the last result.
bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs = 10000, DWORD stepMs = 50);

// ---- message boxes ---------------------------------------------------------
struct MsgBoxInfo {
    HWND hwnd = nullptr;
    std::wstring caption;
    std::wstring text;                 // the message text
    std::vector<std::wstring> buttons; // button captions in z order
    bool hasIcon = false;
};
// The next dialog-class (#32770) window of the process; Fail()s on timeout.
MsgBoxInfo WaitMessageBox(DWORD pid, DWORD timeoutMs = 15000);
// No message box of the process appears within ms.
bool NoMessageBox(DWORD pid, DWORD ms);
// Presses the button with that id (IDOK, IDYES, ...).
void Answer(const MsgBoxInfo& box, int id);

// ---- files -----------------------------------------------------------------
bool FileExists(const std::wstring& path);
bool DirExists(const std::wstring& path);
bool ReadFileBytes(const std::wstring& path, std::string& out);
// The log of a run without windows (UTF-8) as text; Fail()s when it is missing.
std::wstring ReadLog(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Files and folders, quietly; a link goes itself, never what it leads to.
void DeleteTree(const std::wstring& path);
// Fail()s unless both files exist with identical bytes.
void CheckSameFile(const std::wstring& expected, const std::wstring& actual);

// ---- links -------------------------------------------------------------------
// Wine 8 makes no Windows link (CreateSymbolicLinkW does nothing, mklink /J
// fails), but shows a Unix symbolic link in its drives as a folder or file
// whose path has the reparse-point attribute, opened as what it leads to.
// Makes `link` such a link to `target` (Windows paths) by running ln on the
// Unix side; Fail()s when it cannot.
void MakeUnixLink(const std::wstring& link, const std::wstring& target);
// Whether the path is a link (its attributes say so, or it leads elsewhere).
bool IsLink(const std::wstring& path);
// Runs a Unix shell command (as the test runner's user) to its end; false
// when it cannot start or has not ended within `timeoutMs`.
bool RunShell(const std::string& command, DWORD timeoutMs = 30000);

// ---- registry ----------------------------------------------------------------
bool RegRead(HKEY root, const std::wstring& key, const std::wstring& value, std::wstring& out, DWORD* type = nullptr);
bool RegKeyExists(HKEY root, const std::wstring& key);
void RegWrite(HKEY root, const std::wstring& key, const std::wstring& value, const std::wstring& data);
void RegDeleteTree(HKEY root, const std::wstring& key);

// ---- screen ----------------------------------------------------------------
// Saves the window (null: the whole screen) as a 24-bit BMP in ArtifactDir().
std::wstring Screenshot(HWND w, const std::wstring& name);
// Colour of a screen pixel.
COLORREF PixelAt(int x, int y);

int RunScenarios(int argc, wchar_t** argv);

} // namespace e2e
