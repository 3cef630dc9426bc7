// The platform's text for an error code.
#pragma once
#include <string>

namespace tavix {

// The system's message for `code` in GBK, without its line end.
std::string SystemErrorText(unsigned long code);

} // namespace tavix
