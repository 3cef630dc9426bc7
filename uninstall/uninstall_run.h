// One uninstallation: the record read and the folder opened before anything
// is removed, then the files the setup wrote and the user left as they were,
// the folders left empty (bottom up), the shortcuts, the program groups and
// the registry, and at last the record (the uninstaller and the folder go
// after it has ended, see self_removal.h). It
// shows what it does through an UninstallFace: the uninstaller's window is
// one, the run without windows (/S) another.
#pragma once
#include <string>
#include <vector>

#include "common/install_record.h"
#include "uninstall/folder_tree.h"
#include "uninstall/uninstall_rules.h"

namespace uninstall {

class UninstallFace {
public:
    virtual ~UninstallFace() = default;
    // What is being removed (GBK).
    virtual void Status(const std::string& /*text*/) {}
    // `done` of `total` steps.
    virtual void Bar(int /*done*/, int /*total*/) {}
    // One line per thing removed or left (GBK).
    virtual void Note(const std::string& /*line*/) {}
};

struct UninstallReport {
    tavix::UninstallExit exit = tavix::UninstallExit::Success;
    std::vector<std::string> changed;   // files the user changed since the setup wrote them (full paths)
    std::vector<std::string> notOurs;   // links, folders or several-named files in a recorded file's place
    std::vector<std::string> refused;   // refused record lines, each with why
    std::vector<std::string> failed;    // what could not be removed, with why
    bool userFilesLeft = false;         // the folder holds files the record does not name
    bool folderEmptied = false;         // nothing but the uninstaller is left in the folder
};

class Uninstallation {
public:
    // `exePath` is the uninstaller in the installation folder (GBK).
    Uninstallation(const std::string& exePath, UninstallFace& face);

    const std::string& Folder() const { return folder_; }
    // [Form] Caption of the installed Setup.ini, or empty.
    std::string Caption() const;

    // Reads the record and opens the folder. False, with the message for the
    // user, when nothing may be removed.
    bool Prepare(std::string& problem);
    // Removes what the record names and then the record, all but the
    // uninstaller itself and the folder, and says how it went.
    UninstallReport Run();

private:
    void Note(UninstallReport& report, const std::string& line, bool problem);

    UninstallFace& face_;
    std::string folder_;   // ends in a backslash
    std::string exeName_;  // the uninstaller's file name in it
    tavix::RecordReading record_;
    FolderTree tree_;
};

} // namespace uninstall
