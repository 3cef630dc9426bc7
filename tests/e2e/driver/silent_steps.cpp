#include "silent_steps.h"

#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/setup_steps.h"

namespace e2e {

SilentRun RunSilently(const std::wstring& exe, const std::wstring& args) {
    RemoveControlFiles();
    std::vector<std::wstring> watched;
    for (const wchar_t* name : kControlFileNames)
        if (!FileExists(WindowsTempDir() + name)) watched.push_back(WindowsTempDir() + name);
    SilentRun run;
    Process p = Launch(exe, args);
    auto watch = [&] {
        if (!TopWindows(p.pid).empty()) run.windowShown = true;
        for (const std::wstring& path : watched)
            if (FileExists(path)) run.controlFiles = true;
    };
    while (!HasExited(p)) {
        watch();
        Pause(10);
    }
    watch();
    run.code = WaitExit(p, 1000);
    CloseHandle(p.handle);
    return run;
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
