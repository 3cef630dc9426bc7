#include "install_sequence.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <exception>
#include <memory>

#include "install/extract_files.h"
#include "install/extraction.h"
#include "setupdata/crc32.h"
#include "setupdata/file_bytes.h"
#include "install/folder_checks.h"
#include "common/integration.h"
#include "install/progress.h"
#include "setupdata/errors.h"
#include "setupdata/path_rules.h"
#include "setupdata/payload.h"
#include "setupdata/system_error.h"
#include "setupdata/wide_text.h"
#include "ui/com_ref.h"

namespace install {
namespace {

using ui::ComRef;

// Thrown at a yield point when the face ends the sequence.
struct SequenceStopped {};
// Thrown when the main program cannot be written.
struct ProgramLocked {
    std::string cause;
};
// Thrown when the user declined to try a failed write again.
struct RetryDeclined {
    std::string message;
};

// GBK, the code page of the setup's texts.
constexpr UINT kGbkCodePage = 936;

HKEY RootKey(tavix::RegRoot root) {
    return root == tavix::RegRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
}

// A shell link keeps its target also as text of the ANSI code page, and
// Wine's link reads only that text back: under a code page without Chinese,
// a link into a Chinese-named folder would point at "C:\\????\\TAVI.exe".
// Such a target is given by its short path, which every code page holds.
// Where the page holds the path, or the volume keeps no short names, the
// path stays as it is.
std::wstring LinkTargetPath(const std::wstring& path) {
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (!lossy) return path;
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(shortPath, n) : path;
}

// Writes the shell link `link` to the file `file` (made anew) and tells the
// shell of the new file. The link is written through its stream, which gives
// the bytes its own file save gives; that save also starts Wine's menu
// builder for every link and waits for it, a process start per shortcut.
HRESULT SaveShellLink(IShellLinkW* link, const std::wstring& file) {
    ComRef<IPersistStream> persist;
    HRESULT hr = link->QueryInterface(IID_IPersistStream, persist.Out());
    if (FAILED(hr)) return hr;
    {
        ComRef<IStream> stream;
        hr = SHCreateStreamOnFileEx(file.c_str(), STGM_WRITE | STGM_CREATE | STGM_SHARE_EXCLUSIVE,
                                    FILE_ATTRIBUTE_NORMAL, TRUE, nullptr, &stream.p);
        if (FAILED(hr)) return hr;
        hr = persist->Save(stream.p, TRUE);
        if (SUCCEEDED(hr)) hr = stream->Commit(STGC_DEFAULT);
    }  // the file is closed here
    if (FAILED(hr)) {
        DeleteFileW(file.c_str());
        return hr;
    }
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, file.c_str(), nullptr);
    return S_OK;
}

// The user's Start-menu programs folder, made when `create` and missing;
// empty when it is unknown.
std::wstring ProgramsFolder(bool create) {
    wchar_t programs[MAX_PATH] = {};
    const int csidl = CSIDL_PROGRAMS | (create ? CSIDL_FLAG_CREATE : 0);
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, programs))) return std::wstring();
    return programs;
}

// The long form of a path to a file that exists (a shortcut may keep the
// short one); the path itself otherwise.
std::wstring LongPath(const std::wstring& path) {
    wchar_t buf[MAX_PATH * 2] = {};
    const DWORD n = GetLongPathNameW(path.c_str(), buf, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(buf, n) : path;
}

// The target of the shortcut `lnk`; empty when it cannot be read.
std::wstring ShellLinkTarget(const std::wstring& lnk) {
    ComRef<IShellLinkW> link;
    ComRef<IPersistFile> file;
    wchar_t target[MAX_PATH * 2] = {};
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Out())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.Out())) || FAILED(file->Load(lnk.c_str(), STGM_READ)) ||
        FAILED(link->GetPath(target, MAX_PATH * 2, nullptr, SLGP_RAWPATH)))
        return std::wstring();
    return target;
}

// What the group in the Start menu lacks, or empty when it holds every item
// whose target is installed, each opening its target.
std::string ProgramGroupShortfall(const tavix::ProgramGroup& group) {
    const std::wstring folder = ProgramsFolder(false) + L"\\" + tavix::W(group.name) + L"\\";
    for (const tavix::ProgramGroupItem& item : group.items) {
        const std::wstring target = tavix::W(item.target);
        // An item of a file the release does not have opens nothing.
        if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        const std::wstring linked = ShellLinkTarget(folder + tavix::W(item.title) + L".lnk");
        if (linked.empty()) return "no item " + item.title;
        if (CompareStringOrdinal(LongPath(linked).c_str(), -1, LongPath(target).c_str(), -1, TRUE) != CSTR_EQUAL)
            return "the item " + item.title + " opens " + tavix::G(linked);
    }
    return std::string();
}

} // namespace

InstallSequence::InstallSequence(SetupState& state, InstallFace& face)
    : ExeName(state.ReadSetupIni("Run", "FileName")), state_(state), face_(face) {}

void InstallSequence::YieldToUser() {
    if (!face_.YieldPoint()) throw SequenceStopped{};
}

void InstallSequence::SetBar(int position) {
    face_.Bar(position);
    face_.Pause();
}

void InstallSequence::Missing(const std::string& why, const std::string& shown) {
    face_.PartMissing(why);
    missingParts_.push_back(shown);
}

InstallResult InstallSequence::RunInstall() {
    InstallResult result;
    auto ended = [&result](InstallOutcome outcome, const std::string& message, tavix::ErrorKind kind, bool told) {
        result.outcome = outcome;
        result.message = message;
        result.kind = kind;
        result.told = told;
    };
    try {
        result.outcome = Steps();
    } catch (const SequenceStopped&) {
        result.outcome = InstallOutcome::Stopped;
    } catch (const RetryDeclined& declined) {
        ended(InstallOutcome::Failed, declined.message, tavix::ErrorKind::WriteFailed, true);
    } catch (const ProgramLocked& locked) {
        ended(InstallOutcome::ProgramLocked, locked.cause, tavix::ErrorKind::WriteFailed, false);
    } catch (const tavix::SetupError& e) {
        ended(InstallOutcome::Failed, e.what(), e.kind(), false);
    } catch (const std::exception& e) {
        ended(InstallOutcome::Failed, e.what(), tavix::ErrorKind::General, false);
    }
    result.missingParts = missingParts_;
    return result;
}

void InstallSequence::ClearFolderOf(const std::string& path) {
    const std::string folder = tavix::FolderWithBackslash(path);
    if (!clearedFolders_.insert(folder).second) return;
    for (const std::string& name : tavix::RemoveLeftoverItemFiles(folder))
        face_.Note("removed " + folder + name + ", left by an earlier run");
}

void InstallSequence::WriteItem(const tavix::PayloadItem& item, const std::string& path) {
    ClearFolderOf(path);
    for (;;) {
        try {
            tavix::WritePayload(item, path);
            face_.Note("wrote " + path);
            SeeWritten(path);
            return;
        } catch (const tavix::SetupError& e) {
            if (e.kind() != tavix::ErrorKind::WriteFailed) throw;
            face_.Note(std::string("failed: ") + e.what());
            if (!face_.AskRetry(e.what())) throw RetryDeclined{e.what()};
        }
    }
}

InstallOutcome InstallSequence::Steps() {
    namespace bar = tavix::bar;
    const std::string& dir = state_.InstallDir;
    // 1. The manifest's line list is made by the loop (step 7).
    YieldToUser();
    face_.Bar(bar::kStart);
    // Whatever road the folder came by, it is never taken as relative.
    const std::string problem = FolderProblem(state_, dir);
    if (!problem.empty()) throw tavix::SetupError(problem, tavix::ErrorKind::WriteFailed);
    // 2-3.
    tavix::PayloadItem exe = tavix::FindPayload("exename", "FileExe");
    face_.Status(tavix::StatusPathText(dir, ExeName));
    // 4.
    if (!EnsureMainDir(dir)) return InstallOutcome::MainFolderFailed;
    // 5. A failed write means, as a rule, that the product runs from there.
    ClearFolderOf(dir + ExeName);
    try {
        tavix::WritePayload(exe, dir + ExeName);
    } catch (const tavix::SetupError& e) {
        if (e.kind() != tavix::ErrorKind::WriteFailed) throw;
        throw ProgramLocked{e.what()};
    }
    face_.Note("wrote " + dir + ExeName);
    // What the installation is about to write is recorded before it is
    // written, so that an installation that stops half-way can be uninstalled.
    PlanRecord();
    SeeWritten(dir + ExeName);
    WriteRecord(false);
    // 6.
    SetBar(bar::kMainProgram);
    // 7.
    RunManifest();
    // 8.
    face_.Status(tavix::kStatusUninstaller);
    RegisterUninstaller();
    WriteRecord(true);
    SetBar(bar::kUninstaller);
    YieldToUser();
    // 9.
    face_.Status(tavix::kStatusDesktopLink);
    MakeDesktopLink();
    SetBar(bar::kDesktopLink);
    // 10.
    face_.Status(tavix::kStatusProgramGroup);
    MakeProgramGroup();
    SetBar(bar::kProgramGroup);
    // 11.
    face_.Status(tavix::kStatusRegInfo);
    YieldToUser();
    WriteRegInfo(tavix::kDocumentExt, tavix::kClassKey, tavix::kIconIndex, dir + ExeName, state_.Caption);
    SetBar(bar::kRegInfo);
    // 12.
    face_.Status(std::string());
    YieldToUser();
    return InstallOutcome::Completed;
}

// The installation folder: made when missing, with the rights of
// C:\Program Files (and so every folder above it that is made), then held.
bool InstallSequence::EnsureMainDir(const std::string& Dir) {
    if (!tavix::FolderExists(Dir)) {
        face_.Status(tavix::kStatusMainFolder);
        std::vector<std::string> made;
        const bool ok = MakeProtectedFolders(Dir, made);
        for (const std::string& folder : made) face_.Note("made folder " + folder + " with the rights of C:\\Program Files");
        if (!ok) {
            face_.FolderFailed(tavix::MainFolderFailedText(Dir));
            return false;
        }
    }
    std::string why;
    switch (folders_.OpenRoot(Dir, why)) {
    case InstallFolders::Result::Ready: return true;
    case InstallFolders::Result::Link:
        face_.FolderFailed(tavix::MainFolderLinkText(Dir));
        return false;
    case InstallFolders::Result::Failed: break;
    }
    face_.Note("cannot open the folder " + Dir + ": " + why);
    face_.FolderFailed(tavix::MainFolderFailedText(Dir));
    return false;
}

void InstallSequence::RunManifest() {
    // The line list lives in this frame, so it goes also when an error escapes.
    const std::vector<std::string> lines = tavix::SplitManifestLines(state_.ManifestText());
    YieldToUser();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // A line that would write outside the installation folder ends the walk.
        const tavix::ManifestEntry entry = tavix::EntryInsideFolder(lines[i], static_cast<int>(i), state_.InstallDir);
        if (EnsureSubDir(tavix::ManifestFolderPart(entry.TargetPath))) ExtractEntry(entry);
    }
}

// A folder below the installation folder: every level on its way made
// where missing, from its parent's handle, never through a link.
bool InstallSequence::EnsureSubDir(const std::string& RelDir) {
    YieldToUser();
    const std::string full = state_.InstallDir + RelDir;
    const bool existed = tavix::FolderExists(full);
    if (!existed) face_.Status(tavix::CreatingFolderStatus(RelDir));
    std::string why;
    switch (folders_.Ensure(RelDir, why)) {
    case InstallFolders::Result::Ready:
        if (!existed) face_.Note("made folder " + full);
        return true;
    case InstallFolders::Result::Link:
        face_.FolderFailed(tavix::SubFolderLinkText(RelDir));
        return false;
    case InstallFolders::Result::Failed: break;
    }
    face_.Note("cannot make the folder " + full + ": " + why);
    face_.FolderFailed(tavix::SubFolderFailedText(RelDir));
    return false;
}

void InstallSequence::ExtractEntry(const tavix::ManifestEntry& entry) {
    face_.Status(tavix::StatusPathText(state_.InstallDir, entry.TargetPath));
    YieldToUser();
    WriteItem(tavix::FindPayload(entry.ResourceType, entry.ResourceName), state_.InstallDir + entry.TargetPath);
    SetBar(tavix::bar::ForEntry(entry.LineIndex));
}

// ---- the record --------------------------------------------------------------------

namespace {

// What the file at `path` shows once written, when it is a plain file of
// `size` bytes: its last-write and change times.
bool TimesOf(const std::string& path, std::uint64_t size, tavix::FileTimes& out) {
    HANDLE h = CreateFileW(tavix::W(path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    const bool ok = GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) &&
                    GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard) &&
                    !(basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !standard.Directory &&
                    static_cast<std::uint64_t>(standard.EndOfFile.QuadPart) == size;
    CloseHandle(h);
    if (ok) out = {static_cast<std::uint64_t>(basic.LastWriteTime.QuadPart),
                   static_cast<std::uint64_t>(basic.ChangeTime.QuadPart)};
    return ok;
}

// The recorded checksum and size of an item, or its bytes' when the setup
// records none. False when the setup lacks the item.
bool ItemRecord(const char* type, const std::string& name, const std::string& path, tavix::RecordedFile& out) {
    try {
        const tavix::PayloadItem item = tavix::FindPayload(type, name);
        out.path = path;
        out.size = item.size;
        out.crc32 = item.expected ? item.expected->crc32 : tavix::Crc32(0, item.data, item.size);
        return true;
    } catch (const tavix::SetupError&) {
        return false;  // the walk names it when it comes to it
    }
}

} // namespace

void RecordRewrittenFile(const std::string& installDir, const std::string& relPath) {
    std::string text, bytes;
    const std::string record = installDir + tavix::kInstallRecordFile;
    if (!tavix::LoadFileBytes(record, text, tavix::kMaxRecordBytes) || !tavix::LoadFileBytes(installDir + relPath, bytes))
        return;
    const tavix::RecordReading reading = tavix::ReadInstallRecord(text);
    if (reading.damaged) return;
    tavix::InstallRecord now;
    tavix::RecordedFile file;
    file.path = relPath;
    file.crc32 = tavix::Crc32(bytes);
    file.size = bytes.size();
    file.seen = TimesOf(installDir + relPath, bytes.size(), file.times);
    now.files.push_back(file);
    const std::string out = tavix::FormatInstallRecord(tavix::MergeInstallRecords(reading.record, now, false));
    tavix::PayloadItem item;
    item.data = out.data();
    item.size = out.size();
    item.name = tavix::kInstallRecordFile;
    try {
        tavix::WritePayload(item, record);
    } catch (const tavix::SetupError&) {
        // The record keeps the earlier checksum: the file is kept at uninstall.
    }
}

bool InstallSequence::GroupByProgramManager() const { return GetACP() == kGbkCodePage && !state_.Silent; }

void InstallSequence::PlanRecord() {
    std::string earlier;
    if (tavix::LoadFileBytes(state_.InstallDir + tavix::kInstallRecordFile, earlier, tavix::kMaxRecordBytes)) {
        // Lines others may have changed are left out; a damaged record adds nothing.
        const tavix::RecordReading reading = tavix::ReadInstallRecord(earlier);
        if (!reading.damaged) earlierRecord_ = reading.record;
    }
    tavix::InstallRecord& r = plannedRecord_;
    r = tavix::InstallRecord();
    r.programs.push_back(ExeName);
    const std::string link = state_.ReadSetupIni("Form", "desKtopLink");
    if (state_.CreateDesktopLink && tavix::IsDesktopLinkName(link)) r.desktopLinks.push_back(link);
    if (tavix::IsPlainFileName(state_.Caption)) r.groups.push_back({GroupByProgramManager(), state_.Caption});
    tavix::RecordedFile file;
    if (ItemRecord("exename", "FileExe", ExeName, file)) r.files.push_back(file);
    const std::vector<std::string> lines = tavix::SplitManifestLines(state_.ManifestText());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const tavix::ManifestEntry e = tavix::ParseManifestLine(lines[i], static_cast<int>(i));
        if (tavix::IsTargetInsideFolder(e.TargetPath) && !e.TargetPath.empty() &&
            ItemRecord(e.ResourceType.c_str(), e.ResourceName, e.TargetPath, file))
            r.files.push_back(file);
    }
    if (ItemRecord("exename", "uninstall", tavix::kUninstallerFile, file)) r.files.push_back(file);
}

void InstallSequence::SeeWritten(const std::string& path) {
    const std::string& dir = state_.InstallDir;
    if (path.size() <= dir.size() || path.compare(0, dir.size(), dir) != 0) return;
    const std::string key = tavix::TargetCollisionKey(path.substr(dir.size()));
    for (tavix::RecordedFile& f : plannedRecord_.files)
        if (tavix::TargetCollisionKey(f.path) == key) f.seen = TimesOf(path, f.size, f.times);
}

void InstallSequence::WriteRecord(bool complete) {
    const std::string text =
        tavix::FormatInstallRecord(tavix::MergeInstallRecords(earlierRecord_, plannedRecord_, !complete));
    tavix::PayloadItem item;
    item.data = text.data();
    item.size = text.size();
    item.name = tavix::kInstallRecordFile;
    WriteItem(item, state_.InstallDir + tavix::kInstallRecordFile);
}

// ---- shell and registry ----------------------------------------------------------

void InstallSequence::RegisterUninstaller() {
    if (!state_.SetupRegistry) state_.SetupRegistry = std::make_unique<ui::Registry>(HKEY_CURRENT_USER);
    ui::Registry& reg = *state_.SetupRegistry;
    reg.CloseKey();
    struct CloseKeyAtEnd {
        ui::Registry& r;
        ~CloseKeyAtEnd() { r.CloseKey(); }
    } closeAtEnd{reg};
    reg.OpenKey(tavix::kUninstallKey, true);
    SYSTEMTIME today;
    GetLocalTime(&today);
    const std::uint64_t bytes =
        tavix::RecordedBytes(tavix::MergeInstallRecords(earlierRecord_, plannedRecord_, false));
    std::vector<tavix::RegValue> values = tavix::UninstallValues(state_.InstallDir, state_.VersionSerial);
    for (tavix::RegValue& v : tavix::UninstallEntryAdditions(
             state_.InstallDir, ExeName, bytes, tavix::InstallDateText(today.wYear, today.wMonth, today.wDay)))
        values.push_back(std::move(v));
    for (const tavix::RegValue& v : values) {
        if (v.kind == tavix::RegKind::Dword)
            reg.WriteInteger(v.name, v.number);
        else
            reg.WriteString(v.name, v.value);
    }
    face_.Note(std::string("registered the uninstaller under HKEY_CURRENT_USER\\") + tavix::kUninstallKey);
    WriteItem(tavix::FindPayload("exename", "uninstall"), state_.InstallDir + tavix::kUninstallerFile);
}

void InstallSequence::MakeDesktopLink() {
    const std::string target = state_.InstallDir + ExeName;
    ComRef<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link.p));
    if (FAILED(hr) || !link.p) throw tavix::SetupError(tavix::SystemErrorText(static_cast<unsigned long>(hr)));
    {
        // The interface the shortcut is saved through.
        ComRef<IPersistStream> persist;
        hr = link.p->QueryInterface(IID_IPersistStream, persist.Out());
        if (FAILED(hr) || !persist.p) throw tavix::SetupError("Interface not supported");
    }
    link.p->SetPath(LinkTargetPath(tavix::W(target)).c_str());
    link.p->SetWorkingDirectory(tavix::W(tavix::FolderWithBackslash(target)).c_str());
    if (!state_.CreateDesktopLink) return;

    wchar_t desktop[MAX_PATH + 1] = {};
    LPITEMIDLIST pidl = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, &pidl)) && pidl) {
        if (!SHGetPathFromIDListW(pidl, desktop)) desktop[0] = 0;
        CoTaskMemFree(pidl);
    }
    const std::string linkName = state_.ReadSetupIni("Form", "desKtopLink");
    if (!desktop[0] || linkName.empty()) {
        Missing("no desktop shortcut: the desktop folder or the shortcut's name is unknown",
                "桌面快捷方式：桌面文件夹或快捷方式的名称未知");
        return;
    }
    const std::wstring linkFile = std::wstring(desktop) + tavix::W(linkName);
    hr = SaveShellLink(link.p, linkFile);
    if (SUCCEEDED(hr))
        face_.Note("made the desktop shortcut " + tavix::G(linkFile));
    else
        Missing("could not save the desktop shortcut " + tavix::G(linkFile) + ": " +
                    tavix::SystemErrorText(static_cast<unsigned long>(hr)),
                "桌面快捷方式 " + tavix::G(linkFile) + "（" + tavix::SystemErrorText(static_cast<unsigned long>(hr)) + "）");
}

// The program manager takes its commands as text of the system's ANSI code
// page, and so makes the group's Chinese names right only where that page is
// GBK. Elsewhere the setup makes the same folder and shortcuts itself, and so
// it does without windows: the program manager opens a window on every group
// it makes, and waits for the shell to do so. What the program manager made
// is checked: where it is not the whole group (no program manager answers,
// or a command was not done), the setup makes the group's items itself.
void InstallSequence::MakeProgramGroup() {
    const tavix::ProgramGroup group = tavix::ProgramGroupOf(state_.InstallDir, ExeName, state_.Caption);
    if (GroupByProgramManager()) {
        MakeProgramGroupByProgramManager(group);
        const std::string shortfall = ProgramGroupShortfall(group);
        if (shortfall.empty()) {
            face_.Note("the program manager made the program group " + group.name);
            return;
        }
        face_.Note("the program manager's group " + group.name + " is not complete (" + shortfall +
                   "); the setup makes its items itself");
        MakeProgramGroupAsLinks(group);
        // The record says how the group was made after all.
        for (tavix::RecordedGroup& g : plannedRecord_.groups) g.byProgramManager = false;
        WriteRecord(true);
        return;
    }
    MakeProgramGroupAsLinks(group);
}

void InstallSequence::MakeProgramGroupByProgramManager(const tavix::ProgramGroup& group) {
    struct CloseAtEnd {
        tavix::DdeClientConv& d;
        ~CloseAtEnd() { d.CloseLink(); }
    } closeAtEnd{DdeClientConv1};
    DdeClientConv1.SetLink("ProgMan", "ProgMan");
    if (!DdeClientConv1.OpenLink()) {
        face_.Note("the program manager does not answer");
        return;
    }
    // Each command is waited for, so that the group can be checked after the last.
    constexpr DWORD kCommandWaitMs = 15000;
    for (const std::string& command : tavix::ProgramGroupCommands(group))
        if (!DdeClientConv1.ExecuteMacro(command, kCommandWaitMs))
            face_.Note("the program manager did not do " + command);
}

// What the program manager makes: a folder named after the group in the
// user's Start-menu programs, holding one shortcut per item, named and
// described by the item's title.
void InstallSequence::MakeProgramGroupAsLinks(const tavix::ProgramGroup& group) {
    const std::wstring programs = ProgramsFolder(true);
    if (programs.empty()) {
        Missing("no program group: the Start menu's programs folder is unknown", "程序组：“开始”菜单的程序文件夹未知");
        return;
    }
    // The names come from the caption: each must stay one name in the folder.
    if (!tavix::IsPlainFileName(group.name)) {
        Missing("no program group: the caption " + group.name + " is no folder name",
                "程序组：标题 " + group.name + " 不能用作文件夹名");
        return;
    }
    const std::wstring folder = programs + L"\\" + tavix::W(group.name);
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        const std::string why = tavix::SystemErrorText(GetLastError());
        Missing("no program group: cannot make the folder " + tavix::G(folder) + ": " + why,
                "程序组 " + tavix::G(folder) + "（" + why + "）");
        return;
    }
    for (const tavix::ProgramGroupItem& item : group.items) {
        if (!tavix::IsPlainFileName(item.title + ".lnk")) {
            Missing("no program group item " + item.title + ": the title is no file name",
                    "程序组中的项目 " + item.title + "：标题不能用作文件名");
            continue;
        }
        const std::wstring linkFile = folder + L"\\" + tavix::W(item.title) + L".lnk";
        ComRef<IShellLinkW> link;
        HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Out());
        if (SUCCEEDED(hr)) hr = link->SetPath(LinkTargetPath(tavix::W(item.target)).c_str());
        if (SUCCEEDED(hr)) hr = link->SetDescription(tavix::W(item.title).c_str());
        if (SUCCEEDED(hr)) hr = SaveShellLink(link.p, linkFile);
        if (SUCCEEDED(hr))
            face_.Note("made the program group item " + tavix::G(linkFile));
        else
            Missing("could not make the program group item " + tavix::G(linkFile) + ": " +
                        tavix::SystemErrorText(static_cast<unsigned long>(hr)),
                    "程序组中的项目 " + tavix::G(linkFile) + "（" +
                        tavix::SystemErrorText(static_cast<unsigned long>(hr)) + "）");
    }
}

void InstallSequence::WriteRegInfo(const std::string& Ext, const std::string& ClassKey, int IconIndex,
                                   const std::string& Target, const std::string& Description) {
    ui::Registry reg(HKEY_CLASSES_ROOT);
    auto write = [&reg](const tavix::RegValue& v) {
        reg.SetRoot(RootKey(v.root));
        reg.OpenKey(v.key, true);
        reg.WriteString(v.name, v.value);
        reg.CloseKey();
    };
    for (const tavix::RegValue& v : tavix::AssociationValues(Ext, ClassKey, IconIndex, Target, Description)) write(v);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    const std::string serial = state_.ReadSetupIni("Form", "Serial");
    const std::string version = state_.ReadSetupIni("Form", "Version");
    for (const tavix::RegValue& v : tavix::ApplicationValues(ClassKey, Target, serial, version)) write(v);
    face_.Note("registered the document type " + Ext + " and the application keys under " + ClassKey);
}

} // namespace install
