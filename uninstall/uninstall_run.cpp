#include "uninstall/uninstall_run.h"

#include <windows.h>

#include "common/integration.h"
#include "setupdata/file_bytes.h"
#include "setupdata/gbk.h"
#include "setupdata/ini.h"
#include "setupdata/wide_text.h"
#include "uninstall/shell_removal.h"

namespace uninstall {
namespace {

// Whether the folder (GBK, ending in a backslash) holds anything but `except`.
bool HoldsOtherThan(const std::string& folder, const std::string& except) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((tavix::W(folder) + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool other = false;
    do {
        const std::wstring name = fd.cFileName;
        if (name != L"." && name != L".." && !tavix::EqualsIgnoreAsciiCase(tavix::G(name), except)) other = true;
    } while (!other && FindNextFileW(h, &fd));
    FindClose(h);
    return other;
}

} // namespace

Uninstallation::Uninstallation(const std::string& exePath, UninstallFace& face) : face_(face) {
    const std::size_t cut = tavix::GbkFindLast(exePath, '\\');
    folder_ = cut == std::string::npos ? std::string() : exePath.substr(0, cut + 1);
    exeName_ = cut == std::string::npos ? exePath : exePath.substr(cut + 1);
}

std::string Uninstallation::Caption() const {
    std::string ini;
    if (!tavix::LoadFileBytes(folder_ + "Setup.ini", ini)) return std::string();
    const std::string caption = tavix::IniLookup(ini, "Form", "Caption");
    return tavix::GbkFirstInvalid(caption) == std::string::npos ? caption : std::string();
}

bool Uninstallation::Prepare(std::string& problem) {
    std::string text;
    if (folder_.empty() || !tavix::LoadFileBytes(folder_ + tavix::kInstallRecordFile, text)) {
        problem = tavix::MissingRecordText(folder_);
        return false;
    }
    record_ = tavix::ReadInstallRecord(text);
    if (record_.damaged) {
        problem = tavix::DamagedRecordText(folder_, record_.damage);
        return false;
    }
    std::string why;
    switch (tree_.Open(folder_, why)) {
    case FolderTree::Opening::Opened: break;
    case FolderTree::Opening::Link: problem = tavix::LinkedFolderText(folder_); return false;
    case FolderTree::Opening::Unreadable: problem = tavix::UnreadableFolderText(folder_, why); return false;
    }
    return true;
}

void Uninstallation::Note(UninstallReport& report, const std::string& line, bool problem) {
    face_.Note(line);
    if (problem) {
        report.failed.push_back(line);
        report.exit = tavix::WorseExit(report.exit, tavix::UninstallExit::RemoveFailed);
    }
}

UninstallReport Uninstallation::Run() {
    UninstallReport report;
    using tavix::UninstallExit;
    for (const tavix::RefusedRecordLine& r : record_.refused) {
        report.refused.push_back("第 " + std::to_string(r.line) + " 行“" + r.text + "”：" + r.why);
        face_.Note("refused line " + std::to_string(r.line) + " of the record: " + r.text + " (" + r.why + ")");
        report.exit = tavix::WorseExit(report.exit, UninstallExit::RecordRefused);
    }
    const std::vector<tavix::FileToRemove> files = tavix::FilesToRemove(record_.record.files);
    const std::vector<std::string> folders = tavix::RecordedFolders(record_.record.files);
    const int total = static_cast<int>(files.size() + folders.size()) + 3;
    int done = 0;
    for (const tavix::FileToRemove& f : files) {
        face_.Bar(done++, total);
        // The uninstaller and its record go last.
        if (tavix::EqualsIgnoreAsciiCase(f.path, exeName_) ||
            tavix::EqualsIgnoreAsciiCase(f.path, tavix::kInstallRecordFile))
            continue;
        const std::string full = folder_ + f.path;
        face_.Status("删除文件 " + full);
        std::string why;
        switch (tree_.RemoveIfUnchanged(f.path, f.accepted, why)) {
        case FolderTree::Outcome::Removed: face_.Note("removed " + full); break;
        case FolderTree::Outcome::Missing: break;
        case FolderTree::Outcome::Changed:
            face_.Note("kept " + full + ": changed since it was installed");
            report.changed.push_back(full);
            report.exit = tavix::WorseExit(report.exit, UninstallExit::UserFilesKept);
            break;
        case FolderTree::Outcome::NotOurs:
            face_.Note("kept " + full + ": a link, a folder or a file of several names is in its place");
            report.notOurs.push_back(full);
            report.exit = tavix::WorseExit(report.exit, UninstallExit::UserFilesKept);
            break;
        case FolderTree::Outcome::Failed: Note(report, "could not remove " + full + ": " + why, true); break;
        }
    }
    for (const std::string& folder : folders) {
        face_.Bar(done++, total);
        if (tree_.RemoveFolderIfEmpty(folder)) {
            face_.Note("removed the folder " + folder_ + folder);
        } else {
            face_.Note("kept the folder " + folder_ + folder + ": it is not empty");
            report.userFilesLeft = true;
        }
    }
    const Notes notes = [this, &report](const std::string& line, bool problem) { Note(report, line, problem); };
    face_.Status("删除快捷方式");
    face_.Bar(done++, total);
    RemoveDesktopLinks(record_.record.desktopLinks, folder_, notes);
    face_.Status("删除程序组");
    face_.Bar(done++, total);
    RemoveProgramGroups(record_.record.groups, folder_, notes);
    face_.Status("删除注册信息");
    face_.Bar(done++, total);
    RemoveRegistry(folder_, notes);
    face_.Bar(total, total);
    std::string why;
    if (tree_.RemoveOwnFile(tavix::kInstallRecordFile, why) == FolderTree::Outcome::Failed)
        Note(report, "could not remove the record " + folder_ + tavix::kInstallRecordFile + ": " + why, true);
    if (HoldsOtherThan(folder_, exeName_)) report.userFilesLeft = true;
    if (report.userFilesLeft) report.exit = tavix::WorseExit(report.exit, UninstallExit::UserFilesKept);
    report.folderEmptied = !report.userFilesLeft;
    // The folder's handles go: the helper removes it once the uninstaller has ended.
    tree_.Close();
    return report;
}

} // namespace uninstall
