// The record shared between the scenario and the probe DLL that a thread hook
// loads into the setup: what the installation window's controls were told,
// in order, with the time, and what the probe saw of the setup's thread.
#pragma once
#include <windows.h>

namespace e2e {

enum class ProbeKind : LONG {
    Bar = 1,        // a progress bar was set; value: the position it holds afterwards
    Status = 2,     // a static control of the installation window got a text
    ButtonText = 3, // a button of the setup got a text
    NextClicked = 4,  // the wizard handled a click on 下一步; value: InSendMessage() then
    PlantedDll = 5,   // the probe asked the setup's thread to load kPlantedDll by name; value: 1 if it did
};

// A DLL that the probe loads by name, without a path, inside the setup.
inline constexpr wchar_t kPlantedDll[] = L"tavix_planted.dll";

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
