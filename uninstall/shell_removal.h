// What the installation made outside its folder, removed while it is still
// this installation's: the desktop shortcuts, the program groups' items and
// the groups they leave empty, the uninstall entry, the application keys and
// the document association. What now points at another folder (another
// installation, another program), and whatever else the user put there, is
// left as it is.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "common/install_record.h"

namespace uninstall {

// What was removed or left, and why: one line for the log (GBK); for what
// could not be removed, also its line on the result page (GBK, empty for
// anything else).
using Notes = std::function<void(const std::string& line, const std::string& failure)>;

// `folder` is the installation folder (GBK, ending in a backslash) and
// `programs` the record's main programs in it. COM is initialised on the
// calling thread. Each returns what of the setup's stays because it could
// not be removed.
//
// A desktop shortcut goes while it is a plain file that opens one of the
// programs.
std::vector<std::string> RemoveDesktopLinks(const std::vector<std::string>& links, const std::string& folder,
                                            const std::vector<std::string>& programs, const Notes& notes);
// A group's items go one by one: each shortcut named and leading as the
// setup makes it (tavix::ProgramGroupOf); the group's folder goes after them
// when it held one of them and nothing else is left in it.
struct GroupsLeft {
    std::vector<tavix::RecordedGroup> failed;  // what could not be removed
    std::vector<std::string> others;           // groups kept for the user's own items in them (full paths)
};
GroupsLeft RemoveProgramGroups(const std::vector<tavix::RecordedGroup>& groups, const std::string& folder,
                               const std::vector<std::string>& programs, const Notes& notes);
// With `keepEntry` the uninstall entry stays (for a second run that
// finishes what this one left); false when something could not be removed.
bool RemoveRegistry(const std::string& folder, bool keepEntry, const Notes& notes);

} // namespace uninstall
