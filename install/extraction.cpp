#include "extraction.h"

#include "setupdata/path_rules.h"

namespace tavix {

bool IsTargetInsideFolder(std::string_view path) { return path.empty() || !CheckTargetPath(path); }

} // namespace tavix
