// Errors that end an event handler and reach the general error box.
#pragma once
#include <exception>
#include <string>
#include <string_view>

#include "setupdata/gbk.h"

namespace tavix {

// What kind of failure an error is, for a caller that must tell them apart
// (the exit code of a silent installation).
enum class ErrorKind {
    General,
    MissingItem,  // an item of the setup is missing or damaged
    WriteFailed,  // a folder, file or registry value could not be written
};

// Carries a GBK message shown to the user as it is.
class SetupError : public std::exception {
public:
    explicit SetupError(std::string message, ErrorKind kind = ErrorKind::General)
        : message_(std::move(message)), kind_(kind) {}
    const char* what() const noexcept override { return message_.c_str(); }
    ErrorKind kind() const { return kind_; }

private:
    std::string message_;
    ErrorKind kind_;
};

// The text of the general error box: a full stop is added unless the text
// already ends in one, "." or the Chinese "。" (a system message ends so).
inline std::string WithFullStop(std::string_view text) {
    std::string out(text);
    if (!GbkEndsWith(text, ".") && !GbkEndsWith(text, "。")) out += '.';
    return out;
}

inline SetupError ResourceNotFound(const std::string& name) {
    return SetupError("Resource " + name + " not found", ErrorKind::MissingItem);
}

inline SetupError CannotCreateFile(const std::string& path, const std::string& reason) {
    return SetupError("Cannot create file \"" + path + "\". " + reason, ErrorKind::WriteFailed);
}

inline SetupError CannotOpenFile(const std::string& path, const std::string& reason) {
    return SetupError("Cannot open file \"" + path + "\". " + reason);
}

} // namespace tavix
