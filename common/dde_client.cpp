#include "dde_client.h"

namespace tavix {
namespace {
HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }
}

DdeClientConv::~DdeClientConv() {
    CloseLink();
    if (inst_) DdeUninitialize(inst_);
}

void DdeClientConv::SetLink(const std::string& service, const std::string& topic) {
    CloseLink();
    service_ = service;
    topic_ = topic;
}

bool DdeClientConv::OpenLink() {
    CloseLink();
    if (!inst_ && DdeInitializeA(&inst_, DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        inst_ = 0;
        return false;
    }
    HSZ service = DdeCreateStringHandleA(inst_, service_.c_str(), CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(inst_, topic_.c_str(), CP_WINANSI);
    conv_ = DdeConnect(inst_, service, topic, nullptr);
    DdeFreeStringHandle(inst_, service);
    DdeFreeStringHandle(inst_, topic);
    return conv_ != nullptr;
}

bool DdeClientConv::ExecuteMacro(const std::string& command, DWORD timeoutMs) {
    if (!conv_) return false;
    DWORD result = 0;
    // The command with its terminating NUL, as text.
    HDDEDATA r = DdeClientTransaction(reinterpret_cast<BYTE*>(const_cast<char*>(command.c_str())),
                                      static_cast<DWORD>(command.size() + 1), conv_, nullptr, CF_TEXT,
                                      XTYP_EXECUTE, timeoutMs, &result);
    return r != nullptr;
}

void DdeClientConv::CloseLink() {
    if (conv_) DdeDisconnect(conv_);
    conv_ = nullptr;
}

} // namespace tavix
