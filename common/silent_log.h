// The log of a run without windows (/LOG=): one UTF-8 line per step, each
// with its local time. Without a file nothing is written.
#pragma once
#include <windows.h>

#include <string>

namespace tavix {

class SilentLog {
public:
    SilentLog() = default;
    SilentLog(const SilentLog&) = delete;
    SilentLog& operator=(const SilentLog&) = delete;
    ~SilentLog();
    // Creates the log file anew (GBK path); false when it cannot.
    bool Open(const std::string& path);
    // Adds one line (GBK text).
    void Line(const std::string& gbk);
    // Ends the log: later lines are dropped.
    void Close();

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

// DLLs are loaded from the system folder only, never from the program's own
// folder (a downloads folder, or an installation folder others can write
// to, where someone may have planted one).
void LimitDllSearch();

} // namespace tavix
