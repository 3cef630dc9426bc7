// A registry accessor in the manner of the forms' framework: a root key, one
// open key at a time, string and DWORD values; write and type failures throw.
#pragma once
#include <windows.h>

#include <string>

namespace ui {

class Registry {
public:
    explicit Registry(HKEY root = HKEY_CURRENT_USER) : root_(root) {}
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;
    ~Registry() { CloseKey(); }

    void SetRoot(HKEY root) { CloseKey(); root_ = root; }
    // Opens `path` below the root with full access, creating missing keys
    // when `create`; closes the key that was open. False when it cannot.
    bool OpenKey(const std::string& path, bool create);
    void CloseKey();
    bool HasOpenKey() const { return key_ != nullptr; }

    // Writes a string value (empty name: the default value); throws
    // "Failed to set data for '<name>'" when no key is open or the write fails.
    void WriteString(const std::string& name, const std::string& value);
    // Writes a DWORD value; throws as WriteString does.
    void WriteInteger(const std::string& name, unsigned long value);
    // Removes a value of the open key; true when it is gone (or never was).
    bool DeleteValue(const std::string& name);
    // Removes the key `path` below the root when it holds neither values nor
    // keys; true when it is gone (or never was). The open key is closed.
    bool DeleteKeyIfEmpty(const std::string& path);
    // Reads a string value; empty when absent; throws
    // "Invalid data type for '<name>'" when the value is not a string.
    std::string ReadString(const std::string& name);

private:
    HKEY root_;
    HKEY key_ = nullptr;
};

} // namespace ui
