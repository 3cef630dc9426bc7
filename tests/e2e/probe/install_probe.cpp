// Loaded into the setup by a WH_CALLWNDPROCRET hook of the scenario: records
// each progress-bar position and status text of the installation window,
// each button caption, and whether the wizard's Next handler ran inside a
// message sent from another thread, into the scenario's shared log. Once, it
// asks the setup's thread to load a DLL by name, as any code of the setup
// might, to see where the setup's DLL search looks. It changes nothing else.
#include <windows.h>
#include <commctrl.h>

#include "driver/install_probe.h"

namespace {

e2e::ProbeLog* SharedLog() {
    static e2e::ProbeLog* log = [] {
        HANDLE m = OpenFileMappingW(FILE_MAP_WRITE, FALSE, e2e::kProbeMappingName);
        return m ? static_cast<e2e::ProbeLog*>(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, sizeof(e2e::ProbeLog)))
                 : nullptr;
    }();
    return log;
}

bool ClassIs(HWND w, const wchar_t* name) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    return lstrcmpiW(cls, name) == 0;
}

void Record(e2e::ProbeKind kind, LONG value, const wchar_t* text) {
    e2e::ProbeLog* log = SharedLog();
    if (!log) return;
    LONG i = InterlockedIncrement(&log->count) - 1;
    if (i < 0 || i >= static_cast<LONG>(sizeof log->events / sizeof log->events[0])) return;
    e2e::ProbeEvent& e = log->events[i];
    e.tick = GetTickCount();
    e.kind = kind;
    e.value = value;
    e.text[0] = 0;
    if (text) lstrcpynW(e.text, text, static_cast<int>(sizeof e.text / sizeof e.text[0]));
    MemoryBarrier();
    e.written = 1;
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeCallWndRetProc(int code, WPARAM wp, LPARAM lp) {
    static bool triedPlanted = false;
    if (!triedPlanted) {
        triedPlanted = true;
        HMODULE planted = LoadLibraryW(e2e::kPlantedDll);
        Record(e2e::ProbeKind::PlantedDll, planted != nullptr, nullptr);
        if (planted) FreeLibrary(planted);
    }
    if (code == HC_ACTION) {
        const CWPRETSTRUCT* m = reinterpret_cast<const CWPRETSTRUCT*>(lp);
        if (m->message == WM_COMMAND && HIWORD(m->wParam) == BN_CLICKED && LOWORD(m->wParam) == 1001 &&
            ClassIs(m->hwnd, L"TFormSchedule"))
            Record(e2e::ProbeKind::NextClicked, InSendMessage() ? 1 : 0, nullptr);
        if (m->message == PBM_SETPOS && ClassIs(m->hwnd, PROGRESS_CLASSW)) {
            // Read back in the setup's own thread: the position the bar holds.
            Record(e2e::ProbeKind::Bar, static_cast<LONG>(SendMessageW(m->hwnd, PBM_GETPOS, 0, 0)), nullptr);
        } else if (m->message == WM_SETTEXT && m->lParam) {
            const wchar_t* text = reinterpret_cast<const wchar_t*>(m->lParam);
            if (ClassIs(m->hwnd, L"Static") && ClassIs(GetParent(m->hwnd), L"TFormsec"))
                Record(e2e::ProbeKind::Status, 0, text);
            else if (ClassIs(m->hwnd, L"Button"))
                Record(e2e::ProbeKind::ButtonText, 0, text);
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
