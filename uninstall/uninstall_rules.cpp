#include "uninstall/uninstall_rules.h"

#include <algorithm>
#include <map>

#include "setupdata/gbk.h"
#include "setupdata/path_rules.h"
#include "setupdata/product_info.h"

namespace tavix {
namespace {

int Rank(UninstallExit e) {
    switch (e) {
    case UninstallExit::Success: return 0;
    case UninstallExit::UserFilesKept: return 1;
    case UninstallExit::RemoveFailed: return 2;
    case UninstallExit::RecordRefused: return 3;
    default: return 4;  // the outcomes that end before anything is removed
    }
}

std::string WithoutTrailingBackslash(std::string_view path) {
    std::string p(path);
    while (!p.empty() && p.back() == '\\' && GbkEndsWith(p, "\\")) p.pop_back();
    return p;
}

} // namespace

UninstallExit WorseExit(UninstallExit a, UninstallExit b) { return Rank(b) > Rank(a) ? b : a; }

bool SamePath(std::string_view a, std::string_view b) {
    return TargetCollisionKey(WithoutTrailingBackslash(a)) == TargetCollisionKey(WithoutTrailingBackslash(b));
}

bool NamesFileIn(std::string_view value, std::string_view folder) {
    const bool quoted = !value.empty() && value.front() == '"';
    std::string_view path = value;
    if (quoted) {
        path.remove_prefix(1);
        const std::size_t close = path.find('"');
        if (close == std::string_view::npos) return false;
        path = path.substr(0, close);
    }
    if (folder.empty() || folder.back() != '\\' || path.size() <= folder.size()) return false;
    if (TargetCollisionKey(path.substr(0, folder.size())) != TargetCollisionKey(folder)) return false;
    // The file lies directly in the folder: no backslash in its name (after
    // it, an unquoted value's arguments may hold one).
    const std::string_view rest = path.substr(folder.size());
    if (rest.front() == ' ' || rest.front() == ',') return false;
    std::size_t slash = std::string_view::npos;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (IsGbkLead(static_cast<unsigned char>(rest[i])) && i + 1 < rest.size()) {
            ++i;
        } else if (rest[i] == '\\') {
            slash = i;
            break;
        }
    }
    if (slash == std::string_view::npos) return true;
    return !quoted && rest.substr(0, slash).find_first_of(" ,") != std::string_view::npos;
}

std::vector<std::string> RecordedFolders(const std::vector<RecordedFile>& files) {
    std::map<std::string, std::string> folders;  // by collision key
    for (const RecordedFile& f : files) {
        std::string_view path = f.path;
        for (std::size_t cut; (cut = GbkFindLast(path, '\\')) != std::string_view::npos;) {
            path = path.substr(0, cut);
            folders.emplace(TargetCollisionKey(path), std::string(path));
        }
    }
    std::vector<std::string> out;
    for (const auto& f : folders) out.push_back(f.second);
    auto depth = [](const std::string& p) { return std::count(p.begin(), p.end(), '\\'); };
    std::stable_sort(out.begin(), out.end(),
                     [&](const std::string& a, const std::string& b) { return depth(a) > depth(b); });
    return out;
}

std::vector<FileToRemove> FilesToRemove(const std::vector<RecordedFile>& files) {
    std::vector<FileToRemove> out;
    std::map<std::string, std::size_t> index;
    for (const RecordedFile& f : files) {
        auto at = index.emplace(TargetCollisionKey(f.path), out.size());
        if (at.second) out.push_back({f.path, {}});
        out[at.first->second].accepted.push_back(f);
    }
    return out;
}

std::vector<std::string> KeysToPrune(const std::vector<RegValue>& values, std::string_view home) {
    std::vector<std::string> keys;
    auto add = [&keys](std::string_view key) {
        for (const std::string& k : keys)
            if (EqualsIgnoreAsciiCase(k, key)) return;
        keys.emplace_back(key);
    };
    for (const RegValue& v : values) {
        std::string_view key = v.key;
        if (!EqualsIgnoreAsciiCase(key.substr(0, home.size()), home) ||
            (key.size() > home.size() && key[home.size()] != '\\'))
            continue;
        for (;;) {
            add(key);
            if (key.size() <= home.size()) break;
            key = key.substr(0, GbkFindLast(key, '\\'));
        }
    }
    auto depth = [](const std::string& p) { return std::count(p.begin(), p.end(), '\\'); };
    std::stable_sort(keys.begin(), keys.end(),
                     [&](const std::string& a, const std::string& b) { return depth(a) > depth(b); });
    return keys;
}

std::string UninstallTitle(std::string_view caption) {
    return "卸载" + std::string(caption.empty() ? std::string_view(kProductName) : caption);
}

std::string ProductRunningUninstallQuestion() {
    return std::string(kProductName) + "正在运行中，只有结束其\r运行后，才能进行卸载。\r\r要结束正在运行的" +
           kProductName + "吗?";
}

std::string MissingRecordText(std::string_view folder) {
    return "无法卸载：安装文件夹 " + std::string(folder) + " 中没有安装记录 " + kInstallRecordFile + "。\r\r" +
           kNothingRemoved;
}

std::string DamagedRecordText(std::string_view folder, std::string_view damage) {
    return "无法卸载：安装记录 " + std::string(folder) + kInstallRecordFile + " 已损坏（" + std::string(damage) +
           "）。\r\r" + kNothingRemoved;
}

std::string RecordTooLargeText() {
    return "文件大于 " + std::to_string(kMaxRecordBytes >> 20) + " MB，不是安装程序写入的记录";
}

std::string LinkedFolderText(std::string_view folder) {
    return "无法卸载：安装文件夹 " + std::string(folder) + " 是指向其他位置的链接。\r\r" + kNothingRemoved;
}

std::string UnreadableFolderText(std::string_view folder, std::string_view why) {
    return "无法卸载：无法打开安装文件夹 " + std::string(folder) + "（" + std::string(why) + "）。\r\r" + kNothingRemoved;
}

} // namespace tavix
