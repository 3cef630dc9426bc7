// The built setup carries every manifest item, byte for byte, and the
// prebuilt program's own resources, read through the system's resource
// functions.
#include <map>
#include <tuple>

#include "driver/e2e.h"
#include "setupdata/errors.h"
#include "setupdata/manifest.h"
#include "setupdata/payload.h"

using namespace e2e;

E2E_SCENARIO(every_manifest_item_is_embedded) {
    std::string manifest;
    Check(ReadFileBytes(ReleaseDir() + L"\\Setup.log", manifest), "cannot read the release manifest");
    HMODULE exe = LoadLibraryExW(SetupExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    Check(exe != nullptr, "cannot load the setup as a data file");
    std::vector<std::string> lines = tavix::SplitManifestLines(manifest);
    Check(lines.size() > 100, "only %zu manifest lines", lines.size());
    std::size_t total = 0, blocked = 0, stored = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        tavix::ManifestEntry e = tavix::ParseManifestLine(lines[i], static_cast<int>(i));
        tavix::PayloadItem item = tavix::FindPayloadIn(exe, e.ResourceType, e.ResourceName);
        std::wstring target = e.TargetPath.empty() ? L"" : FromGbk(e.TargetPath);
        std::string expected;
        Check(ReadFileBytes(ReleaseDir() + L"\\" + target, expected), "cannot read release file of line %zu", i + 1);
        Check(tavix::ReadPayload(item) == expected, "item %s of line %zu differs from %s", e.ResourceName.c_str(),
              i + 1, ToUtf8(target).c_str());
        total += item.size;
        (item.block ? blocked : stored)++;
    }
    Log("%zu items (%zu in compressed blocks, %zu stored), %zu bytes, all identical", lines.size(), blocked, stored,
        total);
    // The sample release has items of both kinds: each way of writing is taken.
    Check(blocked > 0 && stored > 0, "the setup does not carry both compressed and stored items");

    // Lookups ignore letter case and a missing item names itself.
    tavix::PayloadItem upper = tavix::FindPayloadIn(exe, "EXENAME", "FILEEXE");
    tavix::PayloadItem lower = tavix::FindPayloadIn(exe, "exename", "fileexe");
    Check(upper.data == lower.data && upper.offset == lower.offset && upper.size > 0, "case-insensitive lookup failed");
    try {
        tavix::FindPayloadIn(exe, "exename", "NoSuchItem");
        Fail("a missing item was found");
    } catch (const tavix::SetupError& err) {
        Check(std::string(err.what()) == "Resource NoSuchItem not found", "message: %s", err.what());
    }
    FreeLibrary(exe);
}

namespace {

// A resource type or name as the enumeration gives it: a number, or a string.
std::wstring IdText(LPCWSTR id) { return IS_INTRESOURCE(id) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(id)) : id; }
LPCWSTR IdOf(const std::wstring& text) {
    return text[0] == L'#' ? MAKEINTRESOURCEW(std::stoi(text.substr(1))) : text.c_str();
}

using ResourceKey = std::tuple<std::wstring, std::wstring, WORD>;

BOOL CALLBACK AddType(HMODULE, LPWSTR type, LONG_PTR list) {
    reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(IdText(type));
    return TRUE;
}
BOOL CALLBACK AddName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) {
    reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(IdText(name));
    return TRUE;
}
BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) {
    reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
    return TRUE;
}

// Every resource of a module with its bytes.
std::map<ResourceKey, std::string> Resources(HMODULE module) {
    std::map<ResourceKey, std::string> out;
    std::vector<std::wstring> types;
    EnumResourceTypesW(module, AddType, reinterpret_cast<LONG_PTR>(&types));
    for (const std::wstring& type : types) {
        std::vector<std::wstring> names;
        EnumResourceNamesW(module, IdOf(type), AddName, reinterpret_cast<LONG_PTR>(&names));
        for (const std::wstring& name : names) {
            std::vector<WORD> languages;
            EnumResourceLanguagesW(module, IdOf(type), IdOf(name), AddLanguage, reinterpret_cast<LONG_PTR>(&languages));
            for (WORD lang : languages) {
                HRSRC res = FindResourceExW(module, IdOf(type), IdOf(name), lang);
                HGLOBAL data = res ? LoadResource(module, res) : nullptr;
                const char* bytes = data ? static_cast<const char*>(LockResource(data)) : nullptr;
                Check(bytes != nullptr, "cannot load resource %s/%s", ToUtf8(type).c_str(), ToUtf8(name).c_str());
                out[{type, name, lang}] = std::string(bytes, SizeofResource(module, res));
            }
        }
    }
    return out;
}

} // namespace

// The release writer keeps what the program carried: its manifest, icon and
// pictures, unchanged, beside the release (language 2052).
E2E_SCENARIO(the_programs_own_resources_are_kept) {
    const DWORD flags = LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;
    HMODULE program = LoadLibraryExW(Env(L"TAVIX_PROGRAM_EXE").c_str(), nullptr, flags);
    HMODULE setup = LoadLibraryExW(SetupExe().c_str(), nullptr, flags);
    Check(program && setup, "cannot load the program and the setup as data files");
    const std::map<ResourceKey, std::string> own = Resources(program), all = Resources(setup);
    Check(own.size() >= 6, "the program carries only %zu resources", own.size());
    Check(own.count({L"#24", L"#1", 0}) && own.count({L"#2", L"IMAGLEFT", 0}) && own.count({L"#14", L"#1", 0}),
          "the program lacks its manifest, pictures or icon");
    for (const auto& [key, bytes] : own) {
        auto it = all.find(key);
        Check(it != all.end() && it->second == bytes, "resource %s/%s of the program is not in the setup as it was",
              ToUtf8(std::get<0>(key)).c_str(), ToUtf8(std::get<1>(key)).c_str());
    }
    std::size_t release = 0;
    for (const auto& [key, bytes] : all) release += !own.count(key) && std::get<2>(key) == 2052;
    Check(release + own.size() == all.size(), "the setup carries resources of neither");
    Log("%zu resources of the program kept, %zu of the release beside them", own.size(), release);
    FreeLibrary(program);
    FreeLibrary(setup);
}
