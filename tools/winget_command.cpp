// The command of the release writer that writes the package manager's
// manifest of a setup (winget_manifest.h): reading the setup, hashing it,
// writing the files.
#include <algorithm>
#include <cstdio>

#include "host_file.h"
#include "host_text.h"
#include "pe_image.h"
#include "setupdata/checksums.h"
#include "setupdata/crc32.h"
#include "setupdata/gbk.h"
#include "setupdata/product_info.h"
#include "sha256.h"
#include "winget_manifest.h"

namespace tavix {
namespace {

const char kMe[] = "release_writer --winget";
constexpr int kUsage = 2, kNotWritten = 3;
constexpr unsigned kRtManifest = 24;
constexpr std::size_t kChunk = 1u << 18;

void Say(const std::string& text) { PrintLine(stderr, std::string(kMe) + ": " + text); }

// The bytes of a resource of the setup.
bool ResourceBytes(InputFile& file, const ProgramResource& r, std::string& out) {
    out.assign(r.entry.size, '\0');
    return r.entry.size == 0 || file.ReadAt(r.fileOffset, &out[0], out.size());
}

const ProgramResource* FindResource(const ProgramImage& image, const ResId& type, const ResId& name) {
    for (const ProgramResource& r : image.resources)
        if (r.entry.type == type && r.entry.name == name) return &r;
    return nullptr;
}

} // namespace

std::string ReadWingetSetup(const std::string& path, WingetSetup& out) {
    out = WingetSetup{};
    InputFile file;
    if (!file.Open(path)) return "cannot be read: " + LastErrorText();
    ProgramImage image;
    std::string problem = ReadSetupImage(
        file.Size(), [&](std::uint64_t at, void* buf, std::size_t n) { return file.ReadAt(at, buf, n); }, image);
    if (!problem.empty()) return problem;
    out.x64 = image.pe32plus;

    // The control file, as the setup itself finds and checks it.
    const ControlFile& control = kControlFiles[kControlFile];
    const std::string type = AsciiUpper(control.resourceType), name = AsciiUpper(control.resourceName);
    const ProgramResource* table =
        FindResource(image, ResId::Number(kChecksumTableType), ResId::Number(kChecksumTableId));
    const ProgramResource* item = FindResource(image, ResId::Ascii(type), ResId::Ascii(name));
    if (!table || !item) return "is no setup the release writer made: it carries no checksum table or no control file";
    std::string text;
    if (!ResourceBytes(file, *table, text) || !ResourceBytes(file, *item, out.controlText))
        return "cannot be read: " + LastErrorText();
    const ChecksumTable sums = ParseChecksumTable(text);
    const ItemChecksum* sum = sums.Find(type, name);
    if (!sum || sum->size != out.controlText.size() || sum->crc32 != Crc32(out.controlText))
        return "is damaged: its control file does not match the checksum recorded when it was made";

    if (const ProgramResource* manifest = FindResource(image, ResId::Number(kRtManifest), ResId::Number(1))) {
        if (!ResourceBytes(file, *manifest, text)) return "cannot be read: " + LastErrorText();
        out.elevates = AsksForAdministrator(text);
    }

    // The file as it is given, from its first byte to its last (read at
    // offsets: the reads above left the position where they ended on Windows).
    Sha256 hash;
    std::string buffer(kChunk, '\0');
    for (std::uint64_t at = 0; at < file.Size();) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), file.Size() - at));
        if (!file.ReadAt(at, &buffer[0], n)) return "cannot be read: " + LastErrorText();
        hash.Add(buffer.data(), n);
        at += n;
    }
    out.sha256 = hash.Hex();
    return std::string();
}

int RunWingetCommand(const std::vector<std::string>& args) {
    std::string setupPath, url, dir;
    bool ok = !args.empty() && args[0] == "--winget";
    for (std::size_t i = 1; ok && i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--url" || a == "-o") && i + 1 < args.size()) {
            (a == "--url" ? url : dir) = args[++i];
        } else if (!a.empty() && a[0] != '-' && setupPath.empty()) {
            setupPath = a;
        } else {
            ok = false;
        }
    }
    if (!ok || setupPath.empty() || url.empty() || dir.empty()) {
        PrintLine(stderr, "usage: release_writer --winget SETUP.exe --url URL -o DIR");
        return kUsage;
    }
    WingetSetup setup;
    std::string problem = ReadWingetSetup(setupPath, setup);
    if (!problem.empty()) {
        Say("the setup " + setupPath + " " + problem + "; no manifest was written");
        return kNotWritten;
    }
    const std::vector<WingetFile> files = MakeWingetManifest(setup, url, problem);
    if (files.empty()) {
        Say("no manifest of " + setupPath + " can be made: " + problem);
        return problem.rfind("the address", 0) == 0 ? kUsage : kNotWritten;
    }
    if (!FolderExists(dir)) {
        Say("the folder " + dir + " does not exist; no manifest was written");
        return kNotWritten;
    }
    for (const WingetFile& f : files) {
        const std::string path = dir + (dir.back() == '/' || dir.back() == '\\' ? "" : "/") + f.name;
        OutputFile out;
        if (!out.Create(path) || !out.Write(f.text.data(), f.text.size()) || !out.Commit()) {
            Say("cannot write " + path + ": " + LastErrorText());
            return kNotWritten;
        }
        PrintLine(stdout, path);
    }
    return 0;
}

} // namespace tavix
