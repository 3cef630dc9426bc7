// The functions the setup and the uninstaller call in ole32.dll,
// oleaut32.dll, shlwapi.dll and shell32.dll are bound at their first call instead of by
// the loader at start. Bound by the loader, they bring combase, rpcrt4,
// shcore and shlwapi along, and all are mapped and initialised before the
// first window; the setup needs none of them before the wizard runs, the
// uninstaller none before it comes to the shortcuts, and the uninstaller's
// helper (a copy of it that only removes it) never.
//
// For each function this file defines the import slot the compiler calls
// through (__imp__Name@N for 32-bit stdcall, __imp_Name on x86-64, which has
// one calling convention and no decoration), set to a stub. The first call loads the DLL from
// the system folder, puts the real address in the slot and goes on there;
// later calls go straight to the DLL. Since the slots are defined here, the
// linker takes nothing from the import libraries for these functions and
// none of the DLLs is in the import table. A function of either DLL that is not
// listed here is bound by the loader as usual (and loads its DLL at start).
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "setupdata/errors.h"

namespace {

// Loads `dll` from the system folder (by its full path, which every Windows
// version takes), looks `name` up and puts it in `slot`.
void* Bind(const wchar_t* dll, const char* name, void** slot) {
    wchar_t path[MAX_PATH + 16];
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    HMODULE module = nullptr;
    if (n > 0 && n < MAX_PATH) {
        lstrcpyW(path + n, L"\\");
        lstrcpyW(path + n + 1, dll);
        module = LoadLibraryW(path);
    }
    void* fn = module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
    if (!fn) throw tavix::SetupError(std::string("Cannot find ") + name);
    InterlockedExchangePointer(slot, fn);
    return fn;
}

} // namespace

#if defined(__i386__)
#define TAVIX_IMPORT_SLOT(name, bytes) "__imp__" #name "@" #bytes
#elif defined(__x86_64__)
#define TAVIX_IMPORT_SLOT(name, bytes) "__imp_" #name
#else
#error "the import slots' names are known for x86 and x86-64 only"
#endif

// NAME in DLL, taking PARAMS (ARGS by name) and BYTES bytes of arguments on x86.
#define TAVIX_LATE_BOUND(dll, ret, name, bytes, params, args)                                     \
    extern "C" ret WINAPI LateBound_##name params;                                                 \
    extern "C" {                                                                                   \
    void* LateBoundSlot_##name __asm__(TAVIX_IMPORT_SLOT(name, bytes)) =                           \
        reinterpret_cast<void*>(&LateBound_##name);                                                \
    }                                                                                              \
    extern "C" ret WINAPI LateBound_##name params {                                                \
        using Fn = ret(WINAPI*) params;                                                            \
        return reinterpret_cast<Fn>(Bind(dll, #name, &LateBoundSlot_##name)) args;                 \
    }

TAVIX_LATE_BOUND(L"ole32.dll", HRESULT, CoInitialize, 4, (LPVOID reserved), (reserved))
TAVIX_LATE_BOUND(L"ole32.dll", HRESULT, CoInitializeEx, 8, (LPVOID reserved, DWORD model), (reserved, model))
TAVIX_LATE_BOUND(L"ole32.dll", void, CoUninitialize, 0, (), ())
TAVIX_LATE_BOUND(L"ole32.dll", HRESULT, CoCreateInstance, 20,
                 (REFCLSID cls, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out),
                 (cls, outer, context, iid, out))
TAVIX_LATE_BOUND(L"ole32.dll", void, CoTaskMemFree, 4, (LPVOID p), (p))

TAVIX_LATE_BOUND(L"oleaut32.dll", BSTR, SysAllocStringLen, 8, (const OLECHAR* text, UINT length), (text, length))
TAVIX_LATE_BOUND(L"oleaut32.dll", void, SysFreeString, 4, (BSTR text), (text))

TAVIX_LATE_BOUND(L"shlwapi.dll", HRESULT, SHCreateStreamOnFileEx, 24,
                 (LPCWSTR file, DWORD mode, DWORD attributes, BOOL create, IStream* model, IStream** out),
                 (file, mode, attributes, create, model, out))

TAVIX_LATE_BOUND(L"shell32.dll", PIDLIST_ABSOLUTE, SHBrowseForFolderW, 4, (LPBROWSEINFOW info), (info))
TAVIX_LATE_BOUND(L"shell32.dll", void, SHChangeNotify, 16, (LONG event, UINT flags, LPCVOID a, LPCVOID b),
                 (event, flags, a, b))
TAVIX_LATE_BOUND(L"shell32.dll", HRESULT, SHGetFolderPathW, 20,
                 (HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path), (owner, folder, token, flags, path))
TAVIX_LATE_BOUND(L"shell32.dll", HRESULT, SHGetMalloc, 4, (IMalloc * *out), (out))
TAVIX_LATE_BOUND(L"shell32.dll", BOOL, SHGetPathFromIDListW, 8, (PCIDLIST_ABSOLUTE item, LPWSTR path), (item, path))
TAVIX_LATE_BOUND(L"shell32.dll", HRESULT, SHGetSpecialFolderLocation, 12,
                 (HWND owner, int folder, PIDLIST_ABSOLUTE* out), (owner, folder, out))
TAVIX_LATE_BOUND(L"shell32.dll", HINSTANCE, ShellExecuteW, 24,
                 (HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR params, LPCWSTR dir, INT show),
                 (owner, verb, file, params, dir, show))
