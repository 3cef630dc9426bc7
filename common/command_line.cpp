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

// A value that a launcher quoted from a list of arguments, by the system's
// rules: the closing quote goes, and the backslashes before it, doubled in
// front of a quote, are halved. An odd number of them quotes the quote
// itself, which then stays part of the value (no folder holds a quote).
std::string ClosedValue(std::string_view value) {
    std::size_t backslashes = 0;
    while (backslashes + 1 < value.size() && value[value.size() - 2 - backslashes] == '\\') ++backslashes;
    if (backslashes % 2) return std::string(value);
    return std::string(value.substr(0, value.size() - 1 - backslashes / 2));
}

// The folder of /D= (`rest` begins with the switch, quoted or not), taken
// to the end of the line: /D=folder, "/D=folder" or /D="folder".
std::string FolderOfSwitch(std::string_view rest, std::string& error) {
    const bool quotedSwitch = rest.front() == '"';
    std::string_view value = rest.substr(quotedSwitch ? 4 : 3);
    while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
    const bool closed = value.size() >= 1 && value.back() == '"';
    if (quotedSwitch) {
        if (!closed) {
            error = "the quote before /D= is not closed";
            return std::string(value);
        }
        return ClosedValue(value);
    }
    if (value.size() >= 2 && value.front() == '"' && closed) return ClosedValue(value.substr(1));
    return std::string(value);
}

} // namespace

CommandLine ParseCommandLine(std::string_view args) {
    CommandLine cmd;
    std::size_t i = 0;
    while (i < args.size()) {
        while (i < args.size() && IsBlank(args[i])) ++i;
        if (i == args.size()) break;
        // /D= takes the rest of the line.
        const std::string_view rest = args.substr(i);
        if (StartsWithSwitch(rest, "/D=") || (rest.front() == '"' && StartsWithSwitch(rest.substr(1), "/D="))) {
            std::string error;
            cmd.hasFolder = true;
            cmd.folder = FolderOfSwitch(rest, error);
            if (cmd.folder.empty() && error.empty()) error = "/D= names no folder";
            if (cmd.error.empty()) cmd.error = error;
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
        } else if (EqualsIgnoreAsciiCase(token, "/PASSIVE")) {
            cmd.passive = true;
        } else if (StartsWithSwitch(token, "/LOG=")) {
            std::string_view log = Unquote(token.substr(5));
            if (cmd.error.empty()) {
                if (cmd.hasLog) cmd.error = "/LOG= is given twice";
                else if (log.empty()) cmd.error = "/LOG= names no file";
            }
            cmd.hasLog = true;
            cmd.log = std::string(log);
            cmd.logAt = static_cast<std::size_t>(log.data() - args.data());
            cmd.logSize = log.size();
        } else if (cmd.error.empty()) {
            cmd.error = "unknown argument " + std::string(token);
        }
    }
    if (cmd.silent && cmd.passive && cmd.error.empty()) cmd.error = "/S and /PASSIVE exclude each other";
    return cmd;
}

} // namespace tavix
