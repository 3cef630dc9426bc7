// How the uninstaller leaves neither itself nor its folder behind, without a
// restart. A running program's file cannot be removed, so the uninstaller
// started from the installation folder (the first step) copies itself into
// the temporary folder and runs the copy (the second step) with three
// inherited handles: its own process, a pipe for the result, and the copy's
// file opened to be deleted when its last handle closes. The first step
// waits for the result and ends with it as its exit code; the second then
// waits for the first to end and removes its file and the folder. The
// copy's handle finally goes to a short-lived system process (cmd.exe /c
// exit) that closes it after the copy has ended and its image is unmapped,
// which is when Windows can delete the file (Wine deletes it either way).
#pragma once
#include <windows.h>

#include <string>

namespace uninstall {

// In the first step: starts the second and returns true with its exit code
// once it has one. False when the copy cannot be made or started: then this
// process does the work itself and leaves its own file.
bool RunSecondStep(DWORD& exitCode);

struct Handover {
    HANDLE firstStep = nullptr;  // the first step's process
    HANDLE result = nullptr;     // where the exit code goes
    HANDLE ownCopy = nullptr;    // this copy, deleted when the handle closes
    std::string exePath;         // the first step's file (GBK)
};

// In the second step: what the first handed over; false in a first step.
bool TakeHandover(Handover& h);
// Hands the exit code to the first step, which then ends; no-op without one.
void ReportResult(Handover& h, DWORD code);
// Waits until the first step has ended (its file can be removed then).
void WaitForFirstStep(Handover& h);
// Passes this copy's handle on, so the copy is deleted once it has ended.
void LeaveNoCopy(Handover& h);

} // namespace uninstall
