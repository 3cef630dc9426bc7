// One uninstallation: the record read and the folder opened before anything
// is removed, then the shortcuts and the program groups' items, the files
// the setup wrote and the user left as they were, the folders left empty
// (bottom up), the registry, and at last the record (the uninstaller and the
// folder go after it has ended, see self_removal.h). Where something of the
// setup's cannot be removed (a file in use, no right to it) or the
// uninstaller cannot remove itself, the uninstaller, the uninstall entry and
// the record stay, the record naming what is left, so that a second run
// finishes the work. It shows what it does through an UninstallFace: the
// uninstaller's window is one, the run without windows (/S) another.
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
    std::vector<std::string> failed;    // what could not be removed, with why (Chinese)
    std::vector<std::string> keptGroups;  // program groups kept for the user's own items in them
    bool userFilesLeft = false;         // the folder holds files the record does not name
    // Something of the setup's stays: the uninstaller, its record and the
    // uninstall entry stay with it for a second run.
    bool keptForSecondRun = false;
    bool folderEmptied = false;         // nothing but the uninstaller is left: it and the folder go once it ends
};

class Uninstallation {
public:
    // `exePath` is the uninstaller in the installation folder (GBK, as the
    // system gave it: a "\\?\" prefix or a short path is taken as the
    // usual long path). `selfRemoval` is empty when the uninstaller's file
    // and the folder can go after it has ended, else why they cannot (its
    // helper did not start): then they stay.
    Uninstallation(const std::string& exePath, UninstallFace& face, const std::string& selfRemoval = std::string());

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
    // A line for the log; `failure` (for the result page) when something
    // could not be removed.
    void Note(UninstallReport& report, const std::string& line, const std::string& failure = std::string());
    // Writes the record anew, naming only what `left` holds of the setup's.
    void RewriteRecord(const tavix::InstallRecord& left, UninstallReport& report);

    UninstallFace& face_;
    std::string folder_;   // ends in a backslash
    std::string exeName_;  // the uninstaller's file name in it
    std::string selfRemoval_;
    tavix::RecordReading record_;
    FolderTree tree_;
};

} // namespace uninstall
