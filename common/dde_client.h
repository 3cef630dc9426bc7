// A DDE client conversation in manual-connect mode, as the program group
// steps of the installation and the uninstaller talk to the program manager.
#pragma once
#include <windows.h>
#include <ddeml.h>

#include <string>

namespace tavix {

class DdeClientConv {
public:
    DdeClientConv() = default;
    DdeClientConv(const DdeClientConv&) = delete;
    DdeClientConv& operator=(const DdeClientConv&) = delete;
    ~DdeClientConv();

    // Sets service and topic; closes any conversation that is open.
    void SetLink(const std::string& service, const std::string& topic);
    // Opens the conversation; false when no server answers.
    bool OpenLink();
    // Sends one execute transaction with the command and its NUL, in the
    // text clipboard format, and waits up to `timeoutMs` for the server to
    // have done it; true when it says it has. The command is sent whole,
    // whatever its length. The conversation is an ANSI one: a Unicode
    // command whose text is mostly Chinese is taken for ANSI text by Wine's
    // program manager and cut to its first character.
    bool ExecuteMacro(const std::string& command, DWORD timeoutMs);
    void CloseLink();

private:
    bool Execute(const std::string& command, unsigned long timeout);

    DWORD inst_ = 0;
    HCONV conv_ = nullptr;
    std::string service_, topic_;
};

} // namespace tavix
