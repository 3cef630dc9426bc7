// Writes the binary resource file (.res) that embeds every item of a release
// folder in the setup executable, with a version resource made from its
// control file and the items' checksum table, after checking the release.
//
//   release_builder RELEASE_DIR OUT.res [--depfile FILE --dep-target NAME]
//   release_builder --check RELEASE_DIR
//
// RELEASE_DIR holds the product tree as it installs, with the manifest
// "Setup.log" and the control file "Setup.ini" at its top. A problem refuses
// the release (exit code 1, nothing written); warnings are printed and the
// release is still used. --check writes nothing and prints a summary.
//
// The .res file holds, in this order: the version resource (RT_VERSION 1),
// every manifest item in manifest order under its upper-case string type and
// name, and the checksum table (RT_RCDATA kChecksumTableId), all in language
// 2052. Nothing in it depends on time or on the build folder, so the same
// release gives the same bytes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host_text.h"
#include "release_check.h"
#include "res_file.h"
#include "setupdata/checksums.h"
#include "setupdata/crc32.h"
#include "setupdata/file_bytes.h"
#include "setupdata/gbk.h"

using namespace tavix;

namespace {

const char kMe[] = "release_builder";
constexpr std::uint16_t kLanguage = kChecksumTableLanguage;  // Chinese (PRC)
constexpr std::uint16_t kRtVersion = 16;

std::string DepEscape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == ' ' || c == '#' || c == '\\') out += '\\';
        if (c == '$') out += '$';
        out += c;
    }
    return out;
}

bool WriteText(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

// Writes the .res file; false (with a message printed) when a file cannot be
// read or written, or changed its size since the check.
class ResWriter {
public:
    explicit ResWriter(const std::string& path) : path_(path), out_(std::fopen(path.c_str(), "wb")) {
        if (!out_) Fail("cannot write " + path_);
        else Put(ResFileStart());
    }
    ~ResWriter() {
        if (out_) std::fclose(out_);
    }

    void Add(const ResId& type, const ResId& name, const std::string& data) {
        Put(ResEntryHeader(type, name, kLanguage, static_cast<std::uint32_t>(data.size())));
        Put(data);
        Put(std::string(ResPadding(data.size()), '\0'));
    }

    // Copies a release file as an item and returns its checksum.
    ItemChecksum AddFile(const ReleaseItem& item) {
        ItemChecksum sum{AsciiUpper(item.entry.ResourceName), AsciiUpper(item.entry.ResourceType), 0,
                         static_cast<std::uint32_t>(item.size)};
        Put(ResEntryHeader(ResId::Name(sum.type), ResId::Name(sum.name), kLanguage, sum.size));
        std::FILE* in = std::fopen(item.file.c_str(), "rb");
        if (!in) {
            Fail("cannot read " + item.file);
            return sum;
        }
        std::vector<char> buf(1 << 20);
        std::uint64_t copied = 0;
        for (std::size_t n; ok_ && (n = std::fread(buf.data(), 1, buf.size(), in)) > 0; copied += n) {
            sum.crc32 = Crc32(sum.crc32, buf.data(), n);
            Put(std::string_view(buf.data(), n));
        }
        bool readError = std::ferror(in);
        std::fclose(in);
        if (readError) Fail("cannot read " + item.file);
        else if (copied != item.size) Fail(item.file + " changed while the setup was being made; make it again");
        Put(std::string(ResPadding(item.size), '\0'));
        return sum;
    }

    bool Finish() {
        if (out_ && std::fclose(out_) != 0) Fail("cannot write " + path_);
        out_ = nullptr;
        if (!ok_) std::remove(path_.c_str());
        return ok_;
    }

private:
    void Put(std::string_view bytes) {
        if (ok_ && std::fwrite(bytes.data(), 1, bytes.size(), out_) != bytes.size()) Fail("cannot write " + path_);
    }
    void Fail(const std::string& why) {
        if (ok_) std::fprintf(stderr, "%s: %s\n", kMe, why.c_str());
        ok_ = false;
    }

    std::string path_;
    std::FILE* out_;
    bool ok_ = true;
};

} // namespace

int main(int argc, char** argv) {
    const bool checkOnly = argc == 3 && !std::strcmp(argv[1], "--check");
    if (argc < 3 || (argc % 2 == 0 && !checkOnly)) {
        std::fprintf(stderr, "usage: release_builder RELEASE_DIR OUT.res [--depfile FILE --dep-target NAME]\n"
                             "       release_builder --check RELEASE_DIR\n");
        return 2;
    }
    const std::string releaseDir = checkOnly ? argv[2] : argv[1];
    const std::string outRes = checkOnly ? std::string() : argv[2];
    std::string depfile, depTarget = outRes;
    for (int i = 3; !checkOnly && i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--depfile")) depfile = argv[i + 1];
        else if (!std::strcmp(argv[i], "--dep-target")) depTarget = argv[i + 1];
    }

    const std::string manifestPath = releaseDir + "/Setup.log";
    const std::string iniPath = releaseDir + "/Setup.ini";
    std::string manifest, ini;
    if (!IsRegularFile(manifestPath) || !LoadFileBytes(manifestPath, manifest)) {
        std::fprintf(stderr, "%s: cannot read the manifest %s\n", kMe, manifestPath.c_str());
        return 1;
    }
    const bool hasIni = IsRegularFile(iniPath) && LoadFileBytes(iniPath, ini);

    ReleaseFolder folder;
    folder.hostPath = [&](const std::string& target) { return ReleaseHostPath(releaseDir, target); };
    folder.inspect = [&](const std::string& file) { return InspectReleaseFile(releaseDir, file); };
    folder.listFiles = [&] { return ListReleaseFiles(releaseDir); };
    ReleaseReport report = CheckRelease(manifest, hasIni ? &ini : nullptr, folder);

    for (const std::string& p : report.problems) std::fprintf(stderr, "%s: %s\n", kMe, p.c_str());
    if (!report.problems.empty()) {
        std::fprintf(stderr, "%s: the release in %s is refused (%zu problem%s)\n", kMe, releaseDir.c_str(),
                     report.problems.size(), report.problems.size() == 1 ? "" : "s");
        return 1;
    }
    for (const std::string& w : report.warnings) std::fprintf(stderr, "%s: warning: %s\n", kMe, w.c_str());
    if (checkOnly) {
        for (const std::string& line : ReleaseSummary(report.items, ini)) std::printf("%s\n", line.c_str());
        return 0;
    }

    ResWriter res(outRes);
    res.Add(ResId::Number(kRtVersion), ResId::Number(1), VersionResourceData(ini));
    std::vector<ItemChecksum> sums;
    std::string deps = DepEscape(depTarget) + ":";
    for (const ReleaseItem& item : report.items) {
        sums.push_back(res.AddFile(item));
        deps += " " + DepEscape(item.file);
    }
    res.Add(ResId::Number(kChecksumTableType), ResId::Number(kChecksumTableId), FormatChecksumTable(sums));
    deps += " " + DepEscape(manifestPath) + " " + DepEscape(iniPath) + "\n";
    if (!res.Finish()) return 1;
    if (!depfile.empty() && !WriteText(depfile, deps)) {
        std::fprintf(stderr, "%s: cannot write %s\n", kMe, depfile.c_str());
        return 1;
    }
    return 0;
}
