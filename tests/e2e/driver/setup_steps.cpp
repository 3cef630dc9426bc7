#include "setup_steps.h"

namespace e2e {

const wchar_t* const kControlFileNames[3] = {L"avixSetup.log", L"avixSetup.ini", L"SQXY.txt"};
const char* const kControlFileItems[3][2] = {{"txtname", "FileTxt5"}, {"txtname", "FileTxt6"}, {"txtname", "FileTxt4"}};

Process StartSetup(const std::wstring& exe) { return Launch(exe.empty() ? SetupExe() : exe); }

void EndSetupByBackdrop(Process& setup) {
    HWND backdrop = WaitTop(setup.pid, L"TFormain", nullptr);
    PostClose(backdrop);
    DWORD code = WaitExit(setup);
    Check(code == 0, "the setup ended with exit code %lu", code);
}

void RemoveControlFiles() {
    for (const wchar_t* name : kControlFileNames) DeleteTree(WindowsTempDir() + name);
}

Process StartProduct(const std::wstring& folder, const std::wstring& exeName, const std::wstring& title) {
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring exe = folder + L"\\" + exeName;
    Check(CopyFileW((ReleaseDir() + L"\\TAVI.exe").c_str(), exe.c_str(), FALSE) != FALSE, "cannot copy the product");
    Process p = Launch(exe, L"--title \"" + title + L"\"", folder);
    // The product is up once its window shows.
    Check(WaitFor([&] {
        for (HWND w : TopWindows(p.pid))
            if (ClassOf(w) == L"TTavi30") return true;
        return false;
    }), "the stand-in product shows no window");
    return p;
}

} // namespace e2e
