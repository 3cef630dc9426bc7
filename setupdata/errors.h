// Errors that end an event handler and reach the general error box.
#pragma once
#include <exception>
#include <string>

namespace tavix {

// Carries a GBK message shown to the user as it is.
class SetupError : public std::exception {
public:
    explicit SetupError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

inline SetupError ResourceNotFound(const std::string& name) {
    return SetupError("Resource " + name + " not found");
}

inline SetupError CannotCreateFile(const std::string& path, const std::string& reason) {
    return SetupError("Cannot create file \"" + path + "\". " + reason);
}

inline SetupError CannotOpenFile(const std::string& path, const std::string& reason) {
    return SetupError("Cannot open file \"" + path + "\". " + reason);
}

} // namespace tavix
