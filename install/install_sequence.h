// The install sequence: the main program, every manifest entry, the uninstall
// entry, the desktop shortcut, the program group and the registry
// information, in one pass. It shows and asks through an InstallFace: the
// installation window is one, the silent installation (/S) another, the
// progress window of /PASSIVE the third (silent_install.h).
#pragma once
#include <set>
#include <string>
#include <vector>

#include "common/dde_client.h"
#include "common/install_record.h"
#include "common/integration.h"
#include "install/install_folders.h"
#include "setupdata/errors.h"
#include "setupdata/manifest.h"
#include "setupdata/payload.h"
#include "common/setup_state.h"

namespace install {

class InstallFace {
public:
    virtual ~InstallFace() = default;
    // The status line (GBK); an empty text ends the sequence's use of it.
    virtual void Status(const std::string& text) = 0;
    // The progress bar's position.
    virtual void Bar(int position) = 0;
    // The pause after each bar step.
    virtual void Pause() = 0;
    // Serves the user at the sequence's yield points; false ends the
    // sequence there (a confirmed cancel, the setup is ending).
    virtual bool YieldPoint() = 0;
    // A folder could not be made; `text` is the error (GBK).
    virtual void FolderFailed(const std::string& text) = 0;
    // A file could not be written (`message` names it and the cause); true
    // to try again, false to end the sequence.
    virtual bool AskRetry(const std::string& /*message*/) { return false; }
    // A record of each step and each file written (GBK).
    virtual void Note(const std::string& /*line*/) {}
    // A part of the installation that the sequence goes on without: the
    // desktop shortcut or the program group could not be made; `why` says
    // what and why (GBK).
    virtual void PartMissing(const std::string& why) { Note("failed: " + why); }
};

enum class InstallOutcome {
    Completed,         // every step ran
    Stopped,           // a yield point ended it
    MainFolderFailed,  // the installation folder could not be made (told through FolderFailed)
    ProgramLocked,     // the main program could not be written; `message` holds the cause
    Failed,            // a step failed; `message` holds the error's text
};

struct InstallResult {
    InstallOutcome outcome = InstallOutcome::Completed;
    std::string message;
    tavix::ErrorKind kind = tavix::ErrorKind::General;  // of a failed step
    bool told = false;  // the face has shown the failure already (a retry declined)
    // The parts the sequence went on without (PartMissing), each named with
    // why for the user (GBK, Chinese).
    std::vector<std::string> missingParts;
};

// After the setup has changed a file it installed (the finish page's mark
// in Options.ini): the record takes the file's new checksum, so the
// uninstaller still knows it for the setup's.
void RecordRewrittenFile(const std::string& installDir, const std::string& relPath);

class InstallSequence {
public:
    InstallSequence(SetupState& state, InstallFace& face);

    // Runs the steps once. Nothing written is undone when it ends early.
    InstallResult RunInstall();

    // [Run] FileName: the main program below the installation folder.
    std::string ExeName;

    bool EnsureMainDir(const std::string& Dir);
    bool EnsureSubDir(const std::string& RelDir);
    void ExtractEntry(const tavix::ManifestEntry& entry);
    void RegisterUninstaller();
    void MakeDesktopLink();
    void MakeProgramGroup();
    void MakeProgramGroupByProgramManager(const tavix::ProgramGroup& group);
    void MakeProgramGroupAsLinks(const tavix::ProgramGroup& group);
    void WriteRegInfo(const std::string& Ext, const std::string& ClassKey, int IconIndex, const std::string& Target,
                      const std::string& Description);

private:
    InstallOutcome Steps();
    void RunManifest();
    // A yield point: ends the sequence when the face says so.
    void YieldToUser();
    void SetBar(int position);
    // Writes an item to `path`, offering to try again while it fails.
    void WriteItem(const tavix::PayloadItem& item, const std::string& path);
    // The record of what this installation writes, and of what the folder's
    // earlier record names.
    void PlanRecord();
    // Notes what the file at `path` (below the installation folder) shows
    // once written, for the record's line of it.
    void SeeWritten(const std::string& path);
    // Writes the record into the installation folder: while the files are
    // written it names the earlier checksums too, once they are all written
    // (`complete`) only those of this installation.
    void WriteRecord(bool complete);
    // A part the installation goes on without: `why` for the face's record,
    // `shown` (Chinese) for the result.
    void Missing(const std::string& why, const std::string& shown);
    // Whether the program group is made through the program manager.
    bool GroupByProgramManager() const;
    // Before the first item of this run goes into the folder of `path`: what
    // an earlier run that was ended while it wrote there left goes first.
    void ClearFolderOf(const std::string& path);

    SetupState& state_;
    InstallFace& face_;
    tavix::DdeClientConv DdeClientConv1;
    tavix::InstallRecord earlierRecord_, plannedRecord_;
    std::set<std::string> clearedFolders_;
    InstallFolders folders_;  // held until the sequence ends
    std::vector<std::string> missingParts_;
};

} // namespace install
