// The running product: found among the processes by its program's name, and
// ended through its main window.
#pragma once
#include <string>

namespace tavix {

// True when a process runs the product (one of its four shipped spellings).
// The snapshot functions are looked up at run time; without them: false.
bool IsProductRunning();

// Ends the process of the top-level window of `windowClass` highest in
// z-order whose title is neither empty nor the setup's own, with exit code 4.
// At most one process; neither waited for nor checked.
void TerminateProduct(const std::string& windowClass);

} // namespace tavix
