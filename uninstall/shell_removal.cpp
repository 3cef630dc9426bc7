#include "uninstall/shell_removal.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "common/dde_client.h"
#include "common/integration.h"
#include "setupdata/gbk.h"
#include "setupdata/wide_text.h"
#include "ui/registry.h"
#include "uninstall/uninstall_rules.h"

namespace uninstall {
namespace {

// The folder's long and short spellings: a shortcut may hold either.
std::vector<std::string> FolderSpellings(const std::string& folder) {
    std::vector<std::string> out = {folder};
    wchar_t shortPath[MAX_PATH];
    DWORD n = GetShortPathNameW(tavix::W(folder).c_str(), shortPath, MAX_PATH);
    if (n > 0 && n < MAX_PATH) out.push_back(tavix::G(std::wstring(shortPath, n)));
    return out;
}

// Whether the shortcut file leads into the installation folder.
bool LinkIntoFolder(const std::wstring& lnk, const std::vector<std::string>& spellings) {
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH * 2] = {};
    bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                         reinterpret_cast<void**>(&link))) &&
              SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
              SUCCEEDED(file->Load(lnk.c_str(), STGM_READ)) &&
              SUCCEEDED(link->GetPath(target, MAX_PATH * 2, nullptr, SLGP_RAWPATH));
    if (file) file->Release();
    if (link) link->Release();
    if (!ok) return false;
    for (const std::string& f : spellings)
        if (tavix::NamesFileIn(tavix::G(target), f)) return true;
    return false;
}

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::wstring();
    return path;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The shortcuts directly in `dir`, by name.
std::vector<std::wstring> LinksIn(const std::wstring& dir) {
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*.lnk").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        if (!(fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            out.push_back(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return out;
}

} // namespace

void RemoveDesktopLinks(const std::vector<std::string>& links, const std::string& folder, const Notes& notes) {
    const std::wstring desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    if (desktop.empty()) return;
    const std::vector<std::string> spellings = FolderSpellings(folder);
    for (const std::string& name : links) {
        const std::wstring lnk = desktop + tavix::W(name);
        if (!Exists(lnk)) continue;
        if (!LinkIntoFolder(lnk, spellings)) {
            notes("left the desktop shortcut " + tavix::G(lnk) + ": it leads elsewhere", false);
        } else if (DeleteFileW(lnk.c_str())) {
            notes("removed the desktop shortcut " + tavix::G(lnk), false);
        } else {
            notes("could not remove the desktop shortcut " + tavix::G(lnk), true);
        }
    }
}

void RemoveProgramGroups(const std::vector<tavix::RecordedGroup>& groups, const std::string& folder,
                         const Notes& notes) {
    const std::wstring programs = ShellFolder(CSIDL_PROGRAMS);
    if (programs.empty()) return;
    const std::vector<std::string> spellings = FolderSpellings(folder);
    for (const tavix::RecordedGroup& group : groups) {
        const std::wstring dir = programs + L"\\" + tavix::W(group.name);
        if (!Exists(dir)) continue;
        std::vector<std::wstring> ours, others;
        for (const std::wstring& name : LinksIn(dir))
            (LinkIntoFolder(dir + L"\\" + name, spellings) ? ours : others).push_back(name);
        // A group the program manager made goes through it, unless it holds
        // shortcuts of others.
        if (group.byProgramManager && others.empty() && !ours.empty()) {
            tavix::DdeClientConv dde;
            dde.SetLink("ProgMan", "ProgMan");
            if (dde.OpenLink() && dde.ExecuteMacro(tavix::DeleteGroupCommand(group.name), 10000) && !Exists(dir)) {
                notes("asked the program manager to remove the program group " + group.name, false);
                continue;
            }
        }
        for (const std::wstring& name : ours)
            if (!DeleteFileW((dir + L"\\" + name).c_str()))
                notes("could not remove " + tavix::G(dir + L"\\" + name), true);
        if (RemoveDirectoryW(dir.c_str()))
            notes("removed the program group " + tavix::G(dir), false);
        else
            notes("left the program group " + tavix::G(dir) + ": it holds other items", false);
    }
}

void RemoveRegistry(const std::string& folder, const Notes& notes) {
    ui::Registry reg(HKEY_CURRENT_USER);
    auto read = [&reg](const std::string& key, const std::string& name) {
        std::string value;
        try {
            if (reg.OpenKey(key, false)) value = reg.ReadString(name);
        } catch (const std::exception&) {
            value.clear();  // not a string: not the setup's
        }
        reg.CloseKey();
        return value;
    };
    auto remove = [&](const std::vector<tavix::RegValue>& values, const std::string& home, const char* what) {
        bool ok = true;
        for (const tavix::RegValue& v : values) {
            reg.SetRoot(v.root == tavix::RegRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER);
            if (reg.OpenKey(v.key, false)) ok = reg.DeleteValue(v.name) && ok;
        }
        for (const std::string& key : tavix::KeysToPrune(values, home)) reg.DeleteKeyIfEmpty(key);
        notes(std::string(ok ? "removed " : "could not remove all of ") + what, !ok);
    };
    // Only the keys and value names of the setup's tables count here, not
    // the data, so any program path does.
    const std::string target = folder + tavix::kUninstallerFile;

    // The uninstall entry, while it starts this folder's uninstaller.
    const std::string uninstallString = read(tavix::kUninstallKey, "uninstallstring");
    if (tavix::NamesFileIn(uninstallString, folder)) {
        std::vector<tavix::RegValue> values = tavix::UninstallValues(folder, "");
        for (tavix::RegValue& v : tavix::UninstallEntryAdditions(folder, "", 0, "")) values.push_back(v);
        remove(values, tavix::kUninstallKey, "the uninstall entry");
    } else if (!uninstallString.empty()) {
        notes("left the uninstall entry: it belongs to " + uninstallString, false);
    }

    // The application keys, while they name this folder.
    const std::string path = read(std::string(tavix::kClassKey) + "\\Shell\\PathName", "Path");
    if (!path.empty() && tavix::SamePath(path, folder))
        remove(tavix::ApplicationValues(tavix::kClassKey, target, "", ""), tavix::kClassKey, "the application keys");

    // The document type, while its command opens a program of this folder;
    // the extension too, while it still names that type.
    reg.SetRoot(HKEY_CLASSES_ROOT);
    const std::string command = read(std::string(tavix::kClassKey) + "\\Shell\\Open\\Command", "");
    if (tavix::NamesFileIn(command, folder)) {
        const std::vector<tavix::RegValue> assoc =
            tavix::AssociationValues(tavix::kDocumentExt, tavix::kClassKey, tavix::kIconIndex, target, "");
        std::vector<tavix::RegValue> ext, cls;
        for (const tavix::RegValue& v : assoc) (v.key == tavix::kDocumentExt ? ext : cls).push_back(v);
        reg.SetRoot(HKEY_CLASSES_ROOT);
        if (tavix::EqualsIgnoreAsciiCase(read(tavix::kDocumentExt, ""), tavix::kClassKey))
            remove(ext, tavix::kDocumentExt, "the document type's extension");
        else
            notes("left the extension " + std::string(tavix::kDocumentExt) + ": another program has taken it", false);
        remove(cls, tavix::kClassKey, "the document type");
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    } else if (!command.empty()) {
        notes("left the document type: it opens " + command, false);
    }
}

} // namespace uninstall
