#include "common/command_line.h"

#include "setupdata/gbk.h"

namespace tavix {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool StartsWithSwitch(std::string_view token, std::string_view name) {
    return token.size() >= name.size() && EqualsIgnoreAsciiCase(token.substr(0, name.size()), name);
}

// Removes one pair of quotes around `s`.
std::string_view Unquote(std::string_view s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

} // namespace

CommandLine ParseCommandLine(std::string_view args) {
    CommandLine cmd;
    std::size_t i = 0;
    while (i < args.size()) {
        while (i < args.size() && IsBlank(args[i])) ++i;
        if (i == args.size()) break;
        // /D= takes the rest of the line.
        if (StartsWithSwitch(args.substr(i), "/D=")) {
            std::string_view folder = args.substr(i + 3);
            while (!folder.empty() && IsBlank(folder.back())) folder.remove_suffix(1);
            cmd.hasFolder = true;
            cmd.folder = std::string(folder);
            if (folder.empty() && cmd.error.empty()) cmd.error = "/D= names no folder";
            break;
        }
        // A token ends at a blank outside quotes.
        std::size_t start = i;
        bool quoted = false;
        for (; i < args.size() && (quoted || !IsBlank(args[i])); ++i)
            if (args[i] == '"') quoted = !quoted;
        std::string_view token = Unquote(args.substr(start, i - start));
        if (EqualsIgnoreAsciiCase(token, "/S")) {
            cmd.silent = true;
        } else if (StartsWithSwitch(token, "/LOG=")) {
            std::string_view log = Unquote(token.substr(5));
            if (cmd.error.empty()) {
                if (cmd.hasLog) cmd.error = "/LOG= is given twice";
                else if (log.empty()) cmd.error = "/LOG= names no file";
            }
            cmd.hasLog = true;
            cmd.log = std::string(log);
        } else if (cmd.error.empty()) {
            cmd.error = "unknown argument " + std::string(token);
        }
    }
    return cmd;
}

} // namespace tavix
