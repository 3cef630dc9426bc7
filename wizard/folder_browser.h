// The shell's folder browser, as the folder page opens it.
#pragma once
#include <string>
#include <vector>

namespace wizard {

// The folder browser, rooted at the desktop and limited to file-system
// folders, opened on `folder` (GBK) when it exists, with the program's other
// windows disabled and the system's critical-error boxes suppressed while it
// is open. On OK `folder` becomes the chosen path and the result is true.
bool BrowseForFolder(const std::string& title, std::string& folder);

// The logical drives' roots ("C:\", ...), in the platform's order.
std::vector<std::string> ListDriveRoots();

} // namespace wizard
