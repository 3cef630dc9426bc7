#include "silent_steps.h"

#include "driver/install_steps.h"
#include "driver/setup_steps.h"

namespace e2e {

WatchedRun RunWatched(const std::wstring& exe, const std::wstring& args,
                      const std::function<void(const Process&, HWND)>& atFirstWindow) {
    RemoveControlFiles();
    std::vector<std::wstring> watched;
    for (const wchar_t* name : kControlFileNames)
        if (!FileExists(WindowsTempDir() + name)) watched.push_back(WindowsTempDir() + name);
    WatchedRun run;
    Process p = Launch(exe, args);
    auto watch = [&] {
        for (HWND w : TopWindows(p.pid)) {
            bool known = false;
            for (const SeenWindow& seen : run.windows) known = known || seen.hwnd == w;
            if (known) continue;
            run.windows.push_back(SeenWindow{w, ClassOf(w), Text(w)});
            if (atFirstWindow && run.windows.size() == 1) atFirstWindow(p, w);
        }
        for (const std::wstring& path : watched)
            if (FileExists(path)) run.controlFiles = true;
    };
    while (!HasExited(p)) {
        watch();
        Pause(5);
    }
    watch();
    run.code = WaitExit(p, 1000);
    CloseHandle(p.handle);
    return run;
}

SilentRun RunSilently(const std::wstring& exe, const std::wstring& args) {
    const WatchedRun run = RunWatched(exe, args);
    return SilentRun{run.code, !run.windows.empty(), run.controlFiles};
}

void CheckOnlyTheProgressWindow(const WatchedRun& run, const std::wstring& title, const char* what) {
    std::string seen;
    for (const SeenWindow& w : run.windows) seen += " [" + ToUtf8(w.cls) + " \"" + ToUtf8(w.title) + "\"]";
    Check(run.windows.size() == 1 && run.windows[0].cls == L"TFormProgress" && run.windows[0].title == title,
          "%s: the windows shown were%s, not the one progress window \"%s\"", what, seen.empty() ? " none" : seen.c_str(),
          ToUtf8(title).c_str());
}

void CheckProgressWindowAndTryToEndIt(HWND w, const char* what) {
    std::vector<std::wstring> controls;
    for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) controls.push_back(ClassOf(c));
    std::string names;
    for (const std::wstring& c : controls) names += " " + ToUtf8(c);
    Check(controls.size() == 2 && FindChild(w, L"Static", nullptr) && FindChild(w, L"msctls_progress32", nullptr),
          "%s: the progress window holds%s, not a status line and a bar", what, names.c_str());
    Check(GetForegroundWindow() != w, "%s: the progress window took the keyboard", what);
    // Esc and Enter as the dialog manager passes them on, Alt+F4, the close
    // box's command and the close itself.
    struct Sent {
        const char* what;
        UINT msg;
        WPARAM wp;
        LPARAM lp;
    };
    const Sent sent[] = {{"Esc", WM_COMMAND, IDCANCEL, 0},
                         {"Enter", WM_COMMAND, IDOK, 0},
                         {"Alt+F4", WM_SYSKEYDOWN, VK_F4, 0x20000001},
                         {"the close command", WM_SYSCOMMAND, SC_CLOSE, 0},
                         {"a close", WM_CLOSE, 0, 0}};
    for (const Sent& s : sent) {
        DWORD_PTR result = 0;
        Check(SendMessageTimeoutW(w, s.msg, s.wp, s.lp, SMTO_NORMAL, 10000, &result) != 0,
              "%s: the run ended before %s reached the progress window", what, s.what);
        Check(IsWindow(w) && IsWindowVisible(w), "%s: %s closed the progress window", what, s.what);
    }
}

void CheckInstalledWithoutTheWizard(const std::wstring& dir, const std::wstring& log) {
    const std::size_t n = Release().manifestLines.size();
    CheckManifestInstalled(dir, 0, n);
    CheckSameFile(ReleaseDir() + L"\\Uninstall.exe", dir + L"Uninstall.exe");
    CheckInstallRegistry(dir);
    ShellLinkInfo link;
    Check(ReadShellLink(DesktopLinkPath(), link), "no shortcut %s", ToUtf8(DesktopLinkPath()).c_str());
    Check(link.path == dir + L"TAVI.exe" && link.workingDir == dir, "shortcut points at %s in %s",
          ToUtf8(link.path).c_str(), ToUtf8(link.workingDir).c_str());
    Check(FilesIn(ProgramGroupDir() + L"\\").size() == 4, "the program group %s does not hold four items",
          ToUtf8(ProgramGroupDir()).c_str());
    ShellLinkInfo item;
    Check(ReadShellLink(ProgramGroupDir() + L"\\" + W936(Release().caption) + L".lnk", item) &&
              item.path == dir + L"TAVI.exe",
          "the group's program item points at %s", ToUtf8(item.path).c_str());
    // The group is made without the program manager, which would open a window on it.
    Check(WaitProgramGroupWindow(2000) == nullptr, "a window was opened on the program group");
    // The product is not started, and Options.ini is as the release has it.
    Check(FindTop(0, L"TTavi30", nullptr, 1000) == nullptr, "the product was started");
    CheckSameFile(ReleaseDir() + L"\\Options.ini", dir + L"Options.ini");

    // The log names every file it wrote and ends with the outcome.
    const std::wstring text = ReadLog(log);
    for (std::size_t i = 0; i < n; ++i)
        Check(text.find(L"wrote " + TargetOf(dir, i) + L"\r\n") != std::wstring::npos, "the log does not name %s",
              ToUtf8(TargetOf(dir, i)).c_str());
    Check(text.find(L"wrote " + dir + L"Uninstall.exe\r\n") != std::wstring::npos, "the log misses Uninstall.exe");
    Check(EndsWith(text, L"exit code 0: installed\r\n"), "the log does not end with the outcome:\n%s",
          ToUtf8(text).c_str());
}

void CheckNothingInstalled(const std::wstring& dir) {
    Check(!DirExists(dir), "the folder %s was made", ToUtf8(dir).c_str());
    Check(!RegKeyExists(HKEY_CURRENT_USER, L"software\\microsoft\\windows\\currentversion\\uninstall\\Quorvix"),
          "the uninstall entry was written");
    Check(!RegKeyExists(HKEY_CLASSES_ROOT, L".Qvt"), "the document type was registered");
    Check(!FileExists(DesktopLinkPath()), "a desktop shortcut was made");
    Check(!DirExists(ProgramGroupDir()), "a program group was made");
}

bool EndsWith(const std::wstring& text, const std::wstring& last) {
    return text.size() >= last.size() && text.compare(text.size() - last.size(), last.size(), last) == 0;
}

} // namespace e2e
