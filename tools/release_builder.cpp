// Writes the resource script that embeds every item of a release folder in
// the setup executable, with a version resource made from its control file,
// after checking the release.
//
//   release_builder RELEASE_DIR OUT.rc [--depfile FILE --dep-target NAME]
//   release_builder --check RELEASE_DIR
//
// RELEASE_DIR holds the product tree as it installs, with the manifest
// "Setup.log" and the control file "Setup.ini" at its top. A problem of the
// manifest refuses the release (exit code 1); warnings are printed and the
// release is still used. --check writes nothing and prints a summary.
#include <cstdio>
#include <cstring>
#include <string>

#include "host_text.h"
#include "release_check.h"
#include "setupdata/file_bytes.h"
#include "setupdata/gbk.h"

using namespace tavix;

namespace {

std::string ReleaseDir;

bool Exists(const std::string& p) { return IsRegularFile(p); }
std::string HostPath(const std::string& target) { return ReleaseHostPath(ReleaseDir, target); }

std::string RcString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

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

} // namespace

int main(int argc, char** argv) {
    const bool checkOnly = argc == 3 && !std::strcmp(argv[1], "--check");
    if (argc < 3 || (argc % 2 == 0 && !checkOnly)) {
        std::fprintf(stderr, "usage: release_builder RELEASE_DIR OUT.rc [--depfile FILE --dep-target NAME]\n"
                             "       release_builder --check RELEASE_DIR\n");
        return 2;
    }
    ReleaseDir = checkOnly ? argv[2] : argv[1];
    std::string outRc = checkOnly ? std::string() : argv[2];
    std::string depfile, depTarget = outRc;
    for (int i = 3; !checkOnly && i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--depfile")) depfile = argv[i + 1];
        else if (!std::strcmp(argv[i], "--dep-target")) depTarget = argv[i + 1];
    }

    std::string manifestPath = ReleaseDir + "/Setup.log";
    std::string manifest;
    if (!LoadFileBytes(manifestPath, manifest)) {
        std::fprintf(stderr, "release_builder: cannot read the manifest %s\n", manifestPath.c_str());
        return 1;
    }
    ReleaseReport report = CheckManifest(manifest, Exists, HostPath);
    if (!report.problems.empty()) {
        for (const std::string& p : report.problems)
            std::fprintf(stderr, "release_builder: %s\n", GbkToUtf8(p).c_str());
        std::fprintf(stderr, "release_builder: the release in %s is refused (%zu problem%s)\n",
                     ReleaseDir.c_str(), report.problems.size(), report.problems.size() == 1 ? "" : "s");
        return 1;
    }

    const std::string iniPath = ReleaseDir + "/Setup.ini";
    std::string ini;
    LoadFileBytes(iniPath, ini);
    std::vector<std::string> warnings = CheckControlFile(ini, report.items);
    for (std::string& w : CheckUnnamedFiles(ListReleaseFiles(ReleaseDir), report.items)) warnings.push_back(w);
    for (const std::string& w : warnings) std::fprintf(stderr, "release_builder: warning: %s\n", GbkToUtf8(w).c_str());
    if (checkOnly) {
        for (const std::string& line : ReleaseSummary(report.items, FileSize, ini))
            std::printf("%s\n", GbkToUtf8(line).c_str());
        return 0;
    }

    std::string rc = "// Resources of the release, generated from the release folder; do not edit.\n";
    rc += VersionResourceScript(ini, GbkToUtf16);
    rc += "LANGUAGE 4, 2\n";  // Chinese (PRC), 2052
    std::string deps = DepEscape(depTarget) + ":";
    for (const ReleaseItem& item : report.items) {
        rc += AsciiUpper(item.entry.ResourceName) + " " + AsciiUpper(item.entry.ResourceType) + " " +
              RcString(item.file) + "\n";
        deps += " " + DepEscape(item.file);
    }
    deps += " " + DepEscape(manifestPath) + " " + DepEscape(iniPath) + "\n";
    if (!WriteText(outRc, rc) || (!depfile.empty() && !WriteText(depfile, deps))) {
        std::fprintf(stderr, "release_builder: cannot write %s\n", outRc.c_str());
        return 1;
    }
    return 0;
}
