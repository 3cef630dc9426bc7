#include "registry.h"

#include "setupdata/errors.h"
#include "setupdata/wide_text.h"

namespace ui {

bool Registry::OpenKey(const std::string& path, bool create) {
    CloseKey();
    std::wstring wpath = tavix::W(path);
    LONG r = create ? RegCreateKeyExW(root_, wpath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr)
                    : RegOpenKeyExW(root_, wpath.c_str(), 0, KEY_ALL_ACCESS, &key_);
    if (r != ERROR_SUCCESS) key_ = nullptr;
    return key_ != nullptr;
}

void Registry::CloseKey() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
}

void Registry::WriteString(const std::string& name, const std::string& value) {
    std::wstring wname = tavix::W(name), wvalue = tavix::W(value);
    LONG r = key_ ? RegSetValueExW(key_, name.empty() ? nullptr : wname.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(wvalue.c_str()),
                                   static_cast<DWORD>((wvalue.size() + 1) * sizeof(wchar_t)))
                  : ERROR_INVALID_HANDLE;
    if (r != ERROR_SUCCESS) throw tavix::SetupError("Failed to set data for '" + name + "'", tavix::ErrorKind::WriteFailed);
}

void Registry::WriteInteger(const std::string& name, unsigned long value) {
    std::wstring wname = tavix::W(name);
    const DWORD data = value;
    LONG r = key_ ? RegSetValueExW(key_, name.empty() ? nullptr : wname.c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&data), sizeof data)
                  : ERROR_INVALID_HANDLE;
    if (r != ERROR_SUCCESS) throw tavix::SetupError("Failed to set data for '" + name + "'", tavix::ErrorKind::WriteFailed);
}

bool Registry::DeleteValue(const std::string& name) {
    if (!key_) return false;
    std::wstring wname = tavix::W(name);
    LONG r = RegDeleteValueW(key_, name.empty() ? nullptr : wname.c_str());
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

bool Registry::DeleteKeyIfEmpty(const std::string& path) {
    CloseKey();
    HKEY key = nullptr;
    const std::wstring wpath = tavix::W(path);
    LONG r = RegOpenKeyExW(root_, wpath.c_str(), 0, KEY_READ, &key);
    if (r == ERROR_FILE_NOT_FOUND) return true;
    if (r != ERROR_SUCCESS) return false;
    DWORD subkeys = 0, values = 0;
    r = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || subkeys || values) return false;
    r = RegDeleteKeyW(root_, wpath.c_str());
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

std::string Registry::ReadString(const std::string& name) {
    if (!key_) return std::string();
    std::wstring wname = tavix::W(name);
    const wchar_t* vname = name.empty() ? nullptr : wname.c_str();
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key_, vname, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::string();
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw tavix::SetupError("Invalid data type for '" + name + "'");
    std::wstring buf(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key_, vname, nullptr, &type, reinterpret_cast<BYTE*>(&buf[0]), &size) != ERROR_SUCCESS)
        return std::string();
    buf.resize(size / sizeof(wchar_t));
    while (!buf.empty() && buf.back() == L'\0') buf.pop_back();
    return tavix::G(buf);
}

} // namespace ui
