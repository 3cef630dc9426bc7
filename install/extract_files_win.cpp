#include <windows.h>

#include "install/extract_files.h"
#include "install/extraction.h"
#include "setupdata/errors.h"
#include "setupdata/payload.h"
#include "setupdata/system_error.h"
#include "setupdata/wide_text.h"

namespace tavix {
namespace {

bool DirExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(std::wstring dir) {
    while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
    if (dir.size() < 3 || DirExists(dir)) return true;
    std::size_t cut = dir.find_last_of(L"\\/");
    if (cut != std::wstring::npos && !ForceDirectories(dir.substr(0, cut + 1))) return false;
    if (CreateDirectoryW(dir.c_str(), nullptr)) return true;
    return GetLastError() == ERROR_ALREADY_EXISTS && DirExists(dir);
}

} // namespace

bool FolderExists(const std::string& path) { return DirExists(W(path)); }

bool MakeFolders(const std::string& path) { return ForceDirectories(W(path)); }

ManifestEntry EntryInsideFolder(const std::string& line, int index, const std::string& installDir) {
    ManifestEntry entry = ParseManifestLine(line, index);
    // The manifest copy in the temporary folder can be changed by others.
    if (!IsTargetInsideFolder(entry.TargetPath))
        throw CannotCreateFile(installDir + entry.TargetPath, SystemErrorText(ERROR_INVALID_NAME));
    return entry;
}

void ExtractPayloadEntry(const ManifestEntry& entry, const std::string& installDir) {
    WritePayload(FindPayload(entry.ResourceType, entry.ResourceName), installDir + entry.TargetPath);
}

} // namespace tavix
