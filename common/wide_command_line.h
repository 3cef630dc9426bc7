// The command line as Windows hands it to the program (UTF-16), parsed by
// the rules of command_line.h. The switches and the folder are GBK, as every
// path of the installation is; the log's name is taken as it was typed, so
// that a log in a profile folder whose name has no GBK form (a deployment
// tool's log below C:\Users\Łukasz) is written where it was asked for.
#pragma once
#include <string>
#include <string_view>

#include "common/command_line.h"

namespace tavix {

struct WideCommandLine {
    CommandLine cmd;
    // Every character outside the log's name has a GBK form: the switches
    // and the folder mean what was typed.
    bool lossless = true;
    // The log's name, as it was typed (empty without /LOG=).
    std::wstring log;
};

WideCommandLine ParseWideCommandLine(std::wstring_view args);

} // namespace tavix
