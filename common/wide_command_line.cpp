#include "common/wide_command_line.h"

#include <vector>

#include "setupdata/wide_text.h"

namespace tavix {

WideCommandLine ParseWideCommandLine(std::wstring_view args) {
    // The GBK text, character by character, with where each of its bytes
    // came from; a character without a GBK form is marked.
    std::string gbk;
    std::vector<std::size_t> from;  // for each byte of `gbk`, and one past the end
    std::vector<std::size_t> lossy;
    for (std::size_t i = 0; i < args.size();) {
        std::size_t n = 1;
        if (args[i] >= 0xD800 && args[i] < 0xDC00 && i + 1 < args.size() && args[i + 1] >= 0xDC00 &&
            args[i + 1] < 0xE000)
            n = 2;
        const std::wstring_view one = args.substr(i, n);
        const std::string bytes = G(one);
        if (bytes.empty() || W(bytes) != one) lossy.push_back(i);
        gbk += bytes;
        from.insert(from.end(), bytes.size(), i);
        i += n;
    }
    from.push_back(args.size());

    WideCommandLine line;
    line.cmd = ParseCommandLine(gbk);
    std::size_t logFrom = 0, logTo = 0;
    if (line.cmd.hasLog) {
        logFrom = from[line.cmd.logAt];
        logTo = from[line.cmd.logAt + line.cmd.logSize];
        line.log = std::wstring(args.substr(logFrom, logTo - logFrom));
    }
    for (std::size_t at : lossy)
        if (at < logFrom || at >= logTo) line.lossless = false;
    return line;
}

} // namespace tavix
