// The command line of an installation without the wizard, for administrators
// and their deployment tools:
//
//   TavixSetup.exe /S|/PASSIVE [/LOG=file] [/D=folder]
//
// /S installs silently, with no window at all. /PASSIVE installs the same
// way and shows one window of progress, which asks nothing (msiexec's
// /passive; Inno Setup's /SILENT); the two exclude each other. /LOG= names a
// log file (quotes allowed around the switch or its value). /D= comes last
// and takes the rest of the line, blanks included, as the installation
// folder; quotes may enclose the switch or its value, as launchers that build
// the line from a list of arguments put them. Switches ignore letter case.
// Without /S or /PASSIVE the command line is not used: the wizard runs.
//
// The uninstaller reads the same switches but /D= (Uninstall.exe /S|/PASSIVE
// [/LOG=file]): it always removes the installation in its own folder.
#pragma once
#include <string>
#include <string_view>

namespace tavix {

// Exit codes of a silent installation.
enum class ExitCode : int {
    Success = 0,
    BadCommandLine = 1,   // an unknown switch, an empty /D=, a log that cannot be written
    AnotherCopy = 2,      // another copy of the setup is running
    ProductRunning = 3,   // the product runs; it is left running
    NewerInstalled = 4,   // a later release is installed; no downgrade
    FolderRefused = 5,    // the installation folder cannot be used
    WriteFailed = 6,      // a folder, file or registry value could not be written
    DamagedSetup = 7,     // an item of the setup is missing or damaged
    NotEnoughSpace = 8,   // the folder's drive has less room than the setup writes
};

struct CommandLine {
    bool silent = false;   // /S: no window
    bool passive = false;  // /PASSIVE: the progress window only
    bool hasLog = false;
    std::string log;       // /LOG= value, quotes removed
    std::size_t logAt = 0; // where that value stands in the parsed text, and its length
    std::size_t logSize = 0;
    bool hasFolder = false;
    std::string folder;    // /D= value (trailing blanks and enclosing quotes dropped)
    std::string error;     // why the line is refused; empty when it is usable

    // The run goes without the wizard (or the uninstaller's window).
    bool Unattended() const { return silent || passive; }
};

// Parses the arguments after the program's name (GBK text).
CommandLine ParseCommandLine(std::string_view args);

} // namespace tavix
