// The installation without the wizard: the answers the wizard would ask for
// are fixed, no box is ever shown, and the outcome is the process's exit
// code. /S shows no window at all, /PASSIVE one window of progress.
#pragma once
#include "common/wide_command_line.h"

namespace install {

// Installs as a wizard installation with both boxes ticked would, except that
// the product is not started; with /PASSIVE it shows its progress. The
// control files are read from the setup's own items; nothing is written to
// the temporary folder. A command line that holds characters without a GBK
// form outside the log's name is refused.
tavix::ExitCode RunSilent(const tavix::WideCommandLine& line);

} // namespace install
