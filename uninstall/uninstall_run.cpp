#include "uninstall/uninstall_run.h"

#include <windows.h>

#include "common/folder_handles.h"
#include "common/integration.h"
#include "setupdata/file_bytes.h"
#include "setupdata/gbk.h"
#include "setupdata/ini.h"
#include "setupdata/wide_text.h"
#include "uninstall/shell_removal.h"

namespace uninstall {
namespace {

// The most of Setup.ini read for the caption: far more than any control file.
constexpr std::size_t kMaxControlFileBytes = 1u << 20;

} // namespace

Uninstallation::Uninstallation(const std::string& exePath, UninstallFace& face, const std::string& selfRemoval)
    : face_(face), selfRemoval_(selfRemoval) {
    const std::string path = tavix::G(tavix::UsualPath(tavix::W(exePath)));
    const std::size_t cut = tavix::GbkFindLast(path, '\\');
    folder_ = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    exeName_ = cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string Uninstallation::Caption() const {
    std::string ini;
    if (!tavix::LoadFileBytes(folder_ + "Setup.ini", ini, kMaxControlFileBytes)) return std::string();
    const std::string caption = tavix::IniLookup(ini, "Form", "Caption");
    return tavix::GbkFirstInvalid(caption) == std::string::npos ? caption : std::string();
}

bool Uninstallation::Prepare(std::string& problem) {
    std::string text;
    bool tooLarge = false;
    if (folder_.empty() ||
        !tavix::LoadFileBytes(folder_ + tavix::kInstallRecordFile, text, tavix::kMaxRecordBytes, &tooLarge)) {
        problem = tooLarge ? tavix::DamagedRecordText(folder_, tavix::RecordTooLargeText())
                           : tavix::MissingRecordText(folder_);
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

void Uninstallation::Note(UninstallReport& report, const std::string& line, const std::string& failure) {
    face_.Note(line);
    if (!failure.empty()) {
        report.failed.push_back(failure);
        report.exit = tavix::WorseExit(report.exit, tavix::UninstallExit::RemoveFailed);
    }
}

void Uninstallation::RewriteRecord(const tavix::InstallRecord& left, UninstallReport& report) {
    std::string why;
    if (tree_.ReplaceFile(tavix::kInstallRecordFile, tavix::FormatInstallRecord(left), why))
        face_.Note("kept the record " + folder_ + tavix::kInstallRecordFile + ", naming what is left");
    else
        Note(report, "could not write the record " + folder_ + tavix::kInstallRecordFile + " anew: " + why,
             "安装记录 " + folder_ + tavix::kInstallRecordFile + "（" + why + "）");
}

UninstallReport Uninstallation::Run() {
    UninstallReport report;
    using tavix::UninstallExit;
    for (const tavix::RefusedRecordLine& r : record_.refused) {
        report.refused.push_back("第 " + std::to_string(r.line) + " 行“" + r.text + "”：" + r.why);
        face_.Note("refused line " + std::to_string(r.line) + " of the record: " + r.text + " (" + r.why + ")");
        report.exit = tavix::WorseExit(report.exit, UninstallExit::RecordRefused);
    }
    const tavix::InstallRecord& record = record_.record;
    const std::vector<tavix::FileToRemove> files = tavix::FilesToRemove(record.files);
    const std::vector<std::string> folders = tavix::RecordedFolders(record.files);
    const int total = static_cast<int>(files.size() + folders.size()) + 3;
    int done = 0;
    const Notes notes = [this, &report](const std::string& line, const std::string& failure) {
        Note(report, line, failure);
    };
    // What of the setup's is left, for a second run.
    tavix::InstallRecord left;
    left.programs = record.programs;

    // The shortcuts first, while the files they open are there to compare.
    face_.Status("删除快捷方式");
    face_.Bar(done++, total);
    left.desktopLinks = RemoveDesktopLinks(record.desktopLinks, folder_, record.programs, notes);
    face_.Status("删除程序组");
    face_.Bar(done++, total);
    const GroupsLeft groups = RemoveProgramGroups(record.groups, folder_, record.programs, notes);
    left.groups = groups.failed;
    report.keptGroups = groups.others;
    if (!groups.others.empty()) report.exit = tavix::WorseExit(report.exit, UninstallExit::UserFilesKept);

    std::vector<tavix::RecordedFile> ownLines;
    int removed = 0;
    for (const tavix::FileToRemove& f : files) {
        face_.Bar(done++, total);
        // The uninstaller goes after it has ended, the record last.
        if (tavix::EqualsIgnoreAsciiCase(f.path, exeName_)) {
            ownLines = f.accepted;
            continue;
        }
        if (tavix::EqualsIgnoreAsciiCase(f.path, tavix::kInstallRecordFile)) continue;
        const std::string full = folder_ + f.path;
        face_.Status("删除文件 " + full);
        std::string why;
        switch (tree_.RemoveIfUnchanged(f.path, f.accepted, why)) {
        case FolderTree::Outcome::Removed:
            face_.Note("removed " + full);
            ++removed;
            break;
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
        case FolderTree::Outcome::Failed:
            Note(report, "could not remove " + full + ": " + why, full + "（" + why + "）");
            left.files.insert(left.files.end(), f.accepted.begin(), f.accepted.end());
            break;
        }
    }
    face_.Note("removed " + std::to_string(removed) + " files; read the bytes of " + std::to_string(tree_.FilesRead()) +
               " files whose size and times left a doubt");
    for (const std::string& folder : folders) {
        face_.Bar(done++, total);
        if (tree_.RemoveFolderIfEmpty(folder)) {
            face_.Note("removed the folder " + folder_ + folder);
        } else {
            face_.Note("kept the folder " + folder_ + folder + ": it is not empty");
            report.userFilesLeft = true;
        }
    }
    if (!selfRemoval_.empty())
        Note(report, "the uninstaller " + folder_ + exeName_ + " cannot remove itself: " + selfRemoval_,
             "卸载程序 " + folder_ + exeName_ + "（无法启动删除它的辅助程序：" + selfRemoval_ + "）");
    // Whatever of the setup's stays keeps the way to remove it.
    bool keep = !report.failed.empty();
    face_.Status("删除注册信息");
    face_.Bar(done++, total);
    keep = !RemoveRegistry(folder_, keep, notes) || keep;
    face_.Bar(total, total);
    if (keep) {
        left.files.insert(left.files.end(), ownLines.begin(), ownLines.end());
        RewriteRecord(left, report);
        face_.Note("kept for a second run: the uninstaller " + folder_ + exeName_ + ", its record and the uninstall entry");
    } else {
        std::string why;
        if (tree_.RemoveOwnFile(tavix::kInstallRecordFile, why) == FolderTree::Outcome::Failed) {
            Note(report, "could not remove the record " + folder_ + tavix::kInstallRecordFile + ": " + why,
                 "安装记录 " + folder_ + tavix::kInstallRecordFile + "（" + why + "）");
            keep = true;
        }
    }
    report.keptForSecondRun = keep;
    if (!keep && tree_.HoldsOtherThan(std::string(), exeName_)) report.userFilesLeft = true;
    if (report.userFilesLeft) report.exit = tavix::WorseExit(report.exit, UninstallExit::UserFilesKept);
    report.folderEmptied = !keep && !report.userFilesLeft;
    if (keep)
        face_.Note("kept the folder " + folder_ + ": the uninstaller and what is left of the installation stay in it");
    else if (report.userFilesLeft)
        face_.Note("kept the folder " + folder_ + ": it holds files the user made or changed");
    // The folder's handles go: the helper removes it once the uninstaller has ended.
    tree_.Close();
    return report;
}

} // namespace uninstall
