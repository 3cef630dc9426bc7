#include "host_file.h"

namespace tavix {

bool ReadWholeFile(const std::string& path, std::string& out) {
    InputFile f;
    if (!f.Open(path)) return false;
    out.assign(static_cast<std::size_t>(f.Size()), '\0');
    return out.empty() || f.ReadAt(0, &out[0], out.size());
}

} // namespace tavix
