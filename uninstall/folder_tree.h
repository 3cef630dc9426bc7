// The installation folder as the uninstaller empties it: the folder and
// every folder below it are opened one level at a time from their parent's
// handle, never through a link (a junction, a symbolic link, a mount
// point), and held open so that they cannot be renamed or removed while the
// uninstaller works in them. A file is checked and removed through one
// handle that others may read but not change, so the bytes checked are the
// bytes removed. Nothing outside the folder can be reached this way, whatever
// its users put into it.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/folder_handles.h"
#include "common/install_record.h"

namespace uninstall {

class FolderTree {
public:
    FolderTree();
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;
    ~FolderTree();

    enum class Opening {
        Opened,
        Unreadable,  // missing, no folder, or held by others for longer than a moment
        Link,        // a link to another place
    };
    // Opens the installation folder `folder` (GBK, ending in a backslash).
    // A folder others have open for a moment (a virus scanner, a file
    // manager) is tried again for up to two seconds; `why` says why it fails.
    Opening Open(const std::string& folder, std::string& why);

    enum class Outcome {
        Removed,   // the setup's file, removed
        Missing,   // nothing by that name
        Changed,   // not the bytes the setup wrote: kept
        NotOurs,   // a folder, a link or a file of several names in its place: kept
        Failed,    // could not be read or removed; `why` says why
    };
    // Removes the file at `path` (below the folder, passing the path rule)
    // when it is one of `accepted`: its size and the times the setup saw
    // are those of an accepted line, or, where they are not or nothing was
    // seen, its size and CRC-32 are (then its bytes are read).
    Outcome RemoveIfUnchanged(const std::string& path, const std::vector<tavix::RecordedFile>& accepted,
                              std::string& why);
    // The files whose bytes were read so far.
    int FilesRead() const { return filesRead_; }
    // Removes the file at `path` whatever it holds (the uninstaller's own
    // files), unless it is a link or a folder.
    Outcome RemoveOwnFile(const std::string& path, std::string& why);
    // Removes the folder at `path` (empty: the installation folder itself)
    // when nothing is left in it; true when it is gone.
    bool RemoveFolderIfEmpty(const std::string& path);
    // Puts a new file of `bytes` in the place of the file `name` of the
    // installation folder: written beside it first, then moved over it.
    bool ReplaceFile(const std::string& name, const std::string& bytes, std::string& why);
    // Whether the folder at `path` ("" the installation folder) holds
    // anything but a file named `except` (letter case ignored).
    bool HoldsOtherThan(const std::string& path, const std::string& except);
    // Lets go of every folder it holds.
    void Close();

private:
    struct Held;
    // The open folder at `path` ("" the installation folder); null when it
    // cannot be reached without a link.
    Held* Folder(const std::string& path);
    Outcome OpenFile(const std::string& path, HANDLE& file, std::string& why, tavix::EntryInfo* info = nullptr);

    std::map<std::string, std::unique_ptr<Held>> folders_;  // by collision key
    int filesRead_ = 0;
};

// Whether the open file is a plain file (no link, a single name) at `path`.
bool IsPlainFileAt(HANDLE file, const std::wstring& path);

} // namespace uninstall
