// What the installation made outside its folder, removed while it is still
// this installation's: the desktop shortcuts, the program groups, the
// uninstall entry, the application keys and the document association. What
// now points at another folder (another installation, another program) is
// left as it is.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "common/install_record.h"

namespace uninstall {

// One line for the log and the result (GBK): what was removed or left, and why.
using Notes = std::function<void(const std::string& line, bool problem)>;

// `folder` is the installation folder (GBK, ending in a backslash). COM is
// initialised on the calling thread.
void RemoveDesktopLinks(const std::vector<std::string>& links, const std::string& folder, const Notes& notes);
void RemoveProgramGroups(const std::vector<tavix::RecordedGroup>& groups, const std::string& folder,
                         const Notes& notes);
void RemoveRegistry(const std::string& folder, const Notes& notes);

} // namespace uninstall
