#include "folder_browser.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "setupdata/wide_text.h"
#include "ui/window.h"
#include "wizard/wizard_rules.h"

namespace wizard {
namespace {

bool DirectoryExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Disables the program's enabled, visible windows while a box of the shell is
// open, and enables them again when it goes.
class TaskWindowsDisabled {
public:
    TaskWindowsDisabled() { EnumThreadWindows(GetCurrentThreadId(), &Disable, reinterpret_cast<LPARAM>(&windows_)); }
    ~TaskWindowsDisabled() {
        for (HWND w : windows_)
            if (IsWindow(w)) EnableWindow(w, TRUE);
    }
    TaskWindowsDisabled(const TaskWindowsDisabled&) = delete;
    TaskWindowsDisabled& operator=(const TaskWindowsDisabled&) = delete;

private:
    static BOOL CALLBACK Disable(HWND w, LPARAM lp) {
        if (IsWindowVisible(w) && IsWindowEnabled(w)) {
            EnableWindow(w, FALSE);
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
        }
        return TRUE;
    }
    std::vector<HWND> windows_;
};

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED) {
        const std::wstring& folder = *reinterpret_cast<const std::wstring*>(data);
        if (DirectoryExists(folder))
            SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
    }
    return 0;
}

} // namespace

bool BrowseForFolder(const std::string& title, std::string& folder) {
    std::wstring wtitle = tavix::W(title), initial = tavix::W(folder);
    BROWSEINFOW bi = {};
    bi.hwndOwner = ui::AppWindow();
    bi.lpszTitle = wtitle.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    bi.lpfn = &BrowseCallback;
    bi.lParam = reinterpret_cast<LPARAM>(&initial);
    PIDLIST_ABSOLUTE item;
    {
        TaskWindowsDisabled disabled;
        ui::CriticalErrorsSuppressed quiet;
        item = SHBrowseForFolderW(&bi);
    }
    if (!item) return false;
    wchar_t path[MAX_PATH] = {};
    bool ok = SHGetPathFromIDListW(item, path) != FALSE;
    IMalloc* malloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&malloc)) && malloc) {
        malloc->Free(item);
        malloc->Release();
    }
    if (ok) folder = tavix::G(path);
    return ok;
}

std::vector<std::string> ListDriveRoots() {
    wchar_t block[105] = {};
    DWORD n = GetLogicalDriveStringsW(105, block);
    if (n > 105) n = 0;
    return tavix::SplitDriveStrings(tavix::G(std::wstring(block, n)));
}

} // namespace wizard
