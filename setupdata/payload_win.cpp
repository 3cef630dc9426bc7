#include <windows.h>

#include "errors.h"
#include "system_error.h"
#include "payload.h"
#include "wide_text.h"

namespace tavix {

PayloadItem FindPayload(const std::string& type, const std::string& name) {
    return FindPayloadIn(GetModuleHandleW(nullptr), type, name);
}

PayloadItem FindPayloadIn(void* module, const std::string& type, const std::string& name) {
    // Names and types are ASCII; the loader compares them without regard to case.
    HMODULE self = static_cast<HMODULE>(module);
    HRSRC res = FindResourceA(self, name.c_str(), type.c_str());
    if (!res) throw ResourceNotFound(name);
    HGLOBAL loaded = LoadResource(self, res);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) throw ResourceNotFound(name);
    return PayloadItem{data, SizeofResource(self, res)};
}

void WritePayload(const PayloadItem& item, const std::string& path) {
    HANDLE h = CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw CannotCreateFile(path, SystemErrorText(GetLastError()));
    DWORD written = 0;
    BOOL ok = WriteFile(h, item.data, static_cast<DWORD>(item.size), &written, nullptr) && written == item.size;
    DWORD err = ok ? 0 : GetLastError();
    CloseHandle(h);
    if (!ok) throw SetupError("Write error on \"" + path + "\". " + SystemErrorText(err), ErrorKind::WriteFailed);
}

} // namespace tavix
