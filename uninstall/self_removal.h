// How the uninstaller leaves neither itself nor its folder behind, without a
// restart. A running program's file cannot be removed, so the uninstaller
// started from the installation folder copies itself into the temporary
// folder at its start and runs the copy as its helper, with three inherited
// handles: its own process, a pipe, and the copy's file opened to be deleted
// when its last handle closes. The uninstaller does all the work while the
// helper starts up beside it; at its end it tells the helper through the
// pipe whether its file may go, and ends. The helper waits for that end
// (however long the uninstaller's window stays open),
// removes the uninstaller's file (held open from its own start, so that
// what goes is the file that ran) and the folder when nothing else is left
// in it. The helper's own handle to its file finally goes to a short-lived
// system process (cmd.exe /c exit) that closes it after the helper has ended
// and its image is unmapped, which is when Windows can delete the file (Wine
// deletes it either way).
#pragma once
#include <windows.h>

#include <string>

namespace uninstall {

// In the uninstaller: starts the helper (false when no copy can be made or
// started, Why() says why; then the uninstaller's file and its folder stay).
// Started first, it starts up while the uninstaller works: under Wine a
// process that starts beside the work slows each of the work's file
// operations many times over.
class Helper {
public:
    Helper() = default;
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;
    ~Helper() { Release(false); }

    bool Start();
    const std::string& Why() const { return why_; }
    // Tells the helper whether the uninstaller's file goes once it has
    // ended: the uninstaller's last act before it ends.
    void Release(bool removeUninstaller);

private:
    HANDLE pipe_ = nullptr;  // write end
    std::string why_;        // GBK
};

// In the helper: does its whole work and returns true; false in the
// uninstaller itself.
bool RunAsHelper();

} // namespace uninstall
