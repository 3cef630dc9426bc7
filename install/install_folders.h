// The installation folder and the folders below it, as the installation
// writes into them.
//
// A folder the setup makes on the way to the installation folder (the
// installation folder and every missing folder above it) gets the rights
// that C:\Program Files has, whatever its parent lets users do:
// administrators and SYSTEM may do everything, users may read and run, and
// nothing is inherited from above (kProtectedFolderRights). A folder that
// exists keeps its rights; an administrator may have set them. Folders below
// the installation folder take its rights.
//
// Links above the installation folder may be the administrator's own and
// are followed. The installation folder and every folder below it are
// opened one level at a time from their parent's handle without following a
// link, made there when missing, and held open until the installation ends,
// so that nobody can rename or replace them meanwhile: what is written by
// path below them lands where the checks said. A folder that is a link (a
// junction, a symbolic link, a mount point, or under Wine a Unix symbolic
// link) is refused.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tavix {
struct HeldFolder;
}

namespace install {

// The rights of a folder the setup makes, in the system's security
// descriptor language: protected (nothing inherited from above), full
// control for SYSTEM and the administrators, read and run for users, each
// inherited by the folders and files below.
inline constexpr const wchar_t* kProtectedFolderRights =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// Makes the folder `path` (GBK, a full path) with every missing folder
// above it, each with kProtectedFolderRights; `made` receives the folders
// made, the topmost first. True when the folder exists afterwards.
bool MakeProtectedFolders(const std::string& path, std::vector<std::string>& made);

class InstallFolders {
public:
    InstallFolders();
    ~InstallFolders();
    InstallFolders(const InstallFolders&) = delete;
    InstallFolders& operator=(const InstallFolders&) = delete;

    enum class Result { Ready, Link, Failed };
    // Opens and holds the installation folder `dir` (GBK, ending in a
    // backslash), which exists.
    Result OpenRoot(const std::string& dir, std::string& why);
    // Opens, or makes, and holds the folder `relDir` below it (GBK, "" the
    // installation folder itself) and every level on its way.
    Result Ensure(const std::string& relDir, std::string& why);
    // Lets go of every folder.
    void Close();

private:
    std::map<std::string, std::unique_ptr<tavix::HeldFolder>> held_;  // by collision key; "" the root
};

} // namespace install
