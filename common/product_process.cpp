#include "common/product_process.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstring>

#include "setupdata/wide_text.h"
#include "common/product.h"

namespace tavix {

bool IsProductRunning() {
    // The snapshot functions are looked up at run time, with the 8-bit record
    // (296 bytes in a 32-bit process, 304 in a 64-bit one).
    struct ProcessEntryA {
        DWORD dwSize, cntUsage, th32ProcessID;
        ULONG_PTR th32DefaultHeapID;
        DWORD th32ModuleID, cntThreads, th32ParentProcessID;
        LONG pcPriClassBase;
        DWORD dwFlags;
        char szExeFile[MAX_PATH];
    };
    static_assert(sizeof(ProcessEntryA) == sizeof(tagPROCESSENTRY32), "8-bit process record");
    static_assert(offsetof(ProcessEntryA, szExeFile) == offsetof(tagPROCESSENTRY32, szExeFile), "8-bit process record");
    using SnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
    using WalkFn = BOOL(WINAPI*)(HANDLE, ProcessEntryA*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto snapshot = reinterpret_cast<SnapshotFn>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, "CreateToolhelp32Snapshot")));
    auto first = reinterpret_cast<WalkFn>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, "Process32First")));
    auto next = reinterpret_cast<WalkFn>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, "Process32Next")));
    if (!snapshot || !first || !next) return false;
    HANDLE snap = snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    bool running = false;
    ProcessEntryA entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL ok = first(snap, &entry); ok; ok = next(snap, &entry)) {
        std::string exe(entry.szExeFile, strnlen(entry.szExeFile, MAX_PATH));
        if (tavix::IsProductExeName(exe)) running = true;  // the walk goes on to the end
    }
    CloseHandle(snap);
    return running;
}

void TerminateProduct(const std::string& windowClass) {
    std::wstring cls = tavix::W(windowClass);
    for (HWND w = FindWindowW(cls.c_str(), nullptr); w; w = FindWindowExW(nullptr, w, cls.c_str(), nullptr)) {
        char title[255];
        int n = GetWindowTextA(w, title, sizeof title);
        std::string text(title, n > 0 ? n : 0);
        if (text.empty() || text == tavix::kAppTitle) continue;
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
        if (process) {
            TerminateProcess(process, 4);
            CloseHandle(process);
        }
        return;
    }
}

} // namespace tavix
