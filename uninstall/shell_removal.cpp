#include "uninstall/shell_removal.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "common/integration.h"
#include "setupdata/gbk.h"
#include "setupdata/system_error.h"
#include "setupdata/wide_text.h"
#include "ui/com_ref.h"
#include "ui/registry.h"
#include "uninstall/uninstall_rules.h"

namespace uninstall {
namespace {

// The spellings of a path a shortcut may hold: as given, and its short form
// (the setup gives a link its target's short path where the ANSI code page
// cannot spell the long one). Taken while the file still exists.
std::vector<std::string> Spellings(const std::string& path) {
    std::vector<std::string> out = {path};
    wchar_t shortPath[MAX_PATH];
    DWORD n = GetShortPathNameW(tavix::W(path).c_str(), shortPath, MAX_PATH);
    if (n > 0 && n < MAX_PATH) out.push_back(tavix::G(std::wstring(shortPath, n)));
    return out;
}

// The target of the shortcut file `lnk`; empty when it cannot be read.
std::string LinkTarget(const std::wstring& lnk) {
    ui::ComRef<IShellLinkW> link;
    ui::ComRef<IPersistFile> file;
    wchar_t target[MAX_PATH * 2] = {};
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Out())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.Out())) || FAILED(file->Load(lnk.c_str(), STGM_READ)) ||
        FAILED(link->GetPath(target, MAX_PATH * 2, nullptr, SLGP_RAWPATH)))
        return std::string();
    return tavix::G(target);
}

// Whether `lnk` is a plain shortcut file (no folder, no link) that opens
// one of `targets` (their spellings).
bool LeadsTo(const std::wstring& lnk, const std::vector<std::vector<std::string>>& targets) {
    const DWORD a = GetFileAttributesW(lnk.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) return false;
    const std::string target = LinkTarget(lnk);
    for (const std::vector<std::string>& spellings : targets)
        for (const std::string& s : spellings)
            if (!target.empty() && tavix::SamePath(target, s)) return true;
    return false;
}

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::wstring();
    return path;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

} // namespace

std::vector<std::string> RemoveDesktopLinks(const std::vector<std::string>& links, const std::string& folder,
                                            const std::vector<std::string>& programs, const Notes& notes) {
    std::vector<std::string> left;
    const std::wstring desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    if (desktop.empty()) return left;
    std::vector<std::vector<std::string>> targets;
    for (const std::string& p : programs) targets.push_back(Spellings(folder + p));
    for (const std::string& name : links) {
        const std::wstring lnk = desktop + tavix::W(name);
        if (!Exists(lnk)) continue;
        if (!LeadsTo(lnk, targets)) {
            notes("left the desktop shortcut " + tavix::G(lnk) + ": it is not the setup's shortcut to this folder", "");
        } else if (DeleteFileW(lnk.c_str())) {
            notes("removed the desktop shortcut " + tavix::G(lnk), "");
        } else {
            const std::string why = tavix::SystemErrorText(GetLastError());
            notes("could not remove the desktop shortcut " + tavix::G(lnk) + ": " + why,
                  "桌面快捷方式 " + tavix::G(lnk) + "（" + why + "）");
            left.push_back(name);
        }
    }
    return left;
}

GroupsLeft RemoveProgramGroups(const std::vector<tavix::RecordedGroup>& groups, const std::string& folder,
                               const std::vector<std::string>& programs, const Notes& notes) {
    GroupsLeft left;
    const std::wstring startMenu = ShellFolder(CSIDL_PROGRAMS);
    if (startMenu.empty()) return left;
    for (const tavix::RecordedGroup& group : groups) {
        const std::wstring dir = startMenu + L"\\" + tavix::W(group.name);
        if (!Exists(dir)) continue;
        // The setup's items of this group, as it makes them for each program.
        struct Item {
            std::string title;
            std::vector<std::vector<std::string>> targets;
        };
        std::vector<Item> items;
        for (const std::string& program : programs)
            for (const tavix::ProgramGroupItem& i : tavix::ProgramGroupOf(folder, program, group.name).items) {
                Item* same = nullptr;
                for (Item& o : items)
                    if (tavix::EqualsIgnoreAsciiCase(o.title, i.title)) same = &o;
                if (!same) {
                    items.push_back({i.title, {}});
                    same = &items.back();
                }
                same->targets.push_back(Spellings(i.target));
            }
        bool held = false, failed = false;
        for (const Item& item : items) {
            const std::wstring lnk = dir + L"\\" + tavix::W(item.title) + L".lnk";
            if (!LeadsTo(lnk, item.targets)) continue;
            held = true;
            if (DeleteFileW(lnk.c_str())) {
                notes("removed the program group item " + tavix::G(lnk), "");
            } else {
                const std::string why = tavix::SystemErrorText(GetLastError());
                notes("could not remove the program group item " + tavix::G(lnk) + ": " + why,
                      "程序组中的快捷方式 " + tavix::G(lnk) + "（" + why + "）");
                failed = true;
            }
        }
        // The folder only where it held the setup's items, and only when it
        // is empty: removing a folder never takes what is in it.
        if (!held) {
            notes("left the program group " + tavix::G(dir) + ": it holds none of the setup's shortcuts to this folder",
                  "");
        } else if (RemoveDirectoryW(dir.c_str())) {
            notes("removed the program group " + tavix::G(dir), "");
        } else if (GetLastError() == ERROR_DIR_NOT_EMPTY && !failed) {
            notes("left the program group " + tavix::G(dir) + ": it holds other items", "");
            left.others.push_back(tavix::G(dir));
        } else if (!failed) {
            const std::string why = tavix::SystemErrorText(GetLastError());
            notes("could not remove the program group " + tavix::G(dir) + ": " + why,
                  "程序组 " + tavix::G(dir) + "（" + why + "）");
            failed = true;
        }
        if (failed) left.failed.push_back(group);
    }
    return left;
}

bool RemoveRegistry(const std::string& folder, bool keepEntry, const Notes& notes) {
    bool ok = true;
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
    auto remove = [&](const std::vector<tavix::RegValue>& values, const std::string& home, const char* what,
                      const char* shown) {
        bool ok = true;
        for (const tavix::RegValue& v : values) {
            reg.SetRoot(v.root == tavix::RegRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER);
            if (reg.OpenKey(v.key, false)) ok = reg.DeleteValue(v.name) && ok;
        }
        for (const std::string& key : tavix::KeysToPrune(values, home)) reg.DeleteKeyIfEmpty(key);
        notes(std::string(ok ? "removed " : "could not remove all of ") + what, ok ? "" : shown);
        return ok;
    };
    // Only the keys and value names of the setup's tables count here, not
    // the data, so any program path does.
    const std::string target = folder + tavix::kUninstallerFile;

    // The uninstall entry, while it starts this folder's uninstaller.
    const std::string uninstallString = read(tavix::kUninstallKey, "uninstallstring");
    if (tavix::NamesFileIn(uninstallString, folder) && keepEntry) {
        notes("kept the uninstall entry: it starts the uninstaller again for what is left", "");
    } else if (tavix::NamesFileIn(uninstallString, folder)) {
        std::vector<tavix::RegValue> values = tavix::UninstallValues(folder, "");
        for (tavix::RegValue& v : tavix::UninstallEntryAdditions(folder, "", 0, "")) values.push_back(v);
        ok = remove(values, tavix::kUninstallKey, "the uninstall entry", "注册表中“卸载或更改程序”的项目") && ok;
    } else if (!uninstallString.empty()) {
        notes("left the uninstall entry: it belongs to " + uninstallString, "");
    }

    // The application keys, while they name this folder.
    const std::string path = read(std::string(tavix::kClassKey) + "\\Shell\\PathName", "Path");
    if (!path.empty() && tavix::SamePath(path, folder))
        ok = remove(tavix::ApplicationValues(tavix::kClassKey, target, "", ""), tavix::kClassKey, "the application keys",
                    "注册表中的软件信息") &&
             ok;

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
            ok = remove(ext, tavix::kDocumentExt, "the document type's extension", "注册表中的文件类型 .Qvt") && ok;
        else
            notes("left the extension " + std::string(tavix::kDocumentExt) + ": another program has taken it", "");
        ok = remove(cls, tavix::kClassKey, "the document type", "注册表中的文件关联") && ok;
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    } else if (!command.empty()) {
        notes("left the document type: it opens " + command, "");
    }
    return ok;
}

} // namespace uninstall
