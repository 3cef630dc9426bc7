// The log of a run without windows (/LOG=): one UTF-8 line per step, each
// with its local time, added to what the file holds. Without a file nothing
// is written.
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
    // Opens the file at `path` (its name as typed; made when missing) to add
    // to it; false
    // for a path whose opened file is another than the path says (a link at
    // the file or at a folder on its way: a junction, a symbolic link, a
    // mount point, a drive mapped to a folder), a file that has more than
    // one name, or one that cannot be opened. Nothing is made or changed
    // then. The program writes with more rights than whoever could have put
    // such a name there, so it writes only into a file that is what its path
    // says.
    bool Open(const std::wstring& path);
    // Adds one line (GBK text). After a write that fails, one line says so
    // where it can, and nothing more is written.
    void Line(const std::string& gbk);
    // A write has failed: the log is not whole.
    bool Failed() const { return failed_; }
    // Adds the last line and ends the log, its bytes on the disk; false when
    // the log is not whole (this line included).
    bool End(const std::string& gbk);
    // Ends the log: later lines are dropped.
    void Close();

private:
    bool Write(const std::string& gbk);

    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool failed_ = false;
};

// DLLs are loaded from the system folder only, never from the program's own
// folder (a downloads folder, or an installation folder others can write
// to, where someone may have planted one).
void LimitDllSearch();

} // namespace tavix
