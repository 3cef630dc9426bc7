// The record shared between the scenario and the probe DLL that a thread hook
// loads into the setup: what the installation window's controls were told,
// in order, with the time.
#pragma once
#include <windows.h>

namespace e2e {

enum class ProbeKind : LONG {
    Bar = 1,        // a progress bar was set; value: the position it holds afterwards
    Status = 2,     // a static control of the installation window got a text
    ButtonText = 3, // a button of the setup got a text
};

struct ProbeEvent {
    volatile LONG written;  // 1 once the event is complete
    DWORD tick;             // GetTickCount() when it happened
    ProbeKind kind;
    LONG value;
    wchar_t text[120];
};

struct ProbeLog {
    volatile LONG count;
    ProbeEvent events[4096];
};

inline constexpr wchar_t kProbeMappingName[] = L"Local\\TavixE2EInstallProbe";
inline constexpr char kProbeHookProc[] = "ProbeCallWndRetProc";

} // namespace e2e
