// Writes the resource script that embeds every item of a release folder in
// the setup executable, after checking the release's manifest.
//
//   release_builder RELEASE_DIR OUT.rc [--depfile FILE --dep-target NAME]
//
// RELEASE_DIR holds the product tree as it installs, with the manifest
// "Setup.log" and the control file "Setup.ini" at its top.
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
    if (argc < 3) {
        std::fprintf(stderr, "usage: release_builder RELEASE_DIR OUT.rc [--depfile FILE --dep-target NAME]\n");
        return 2;
    }
    ReleaseDir = argv[1];
    std::string outRc = argv[2];
    std::string depfile, depTarget = outRc;
    for (int i = 3; i + 1 < argc; i += 2) {
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

    std::string rc = "// Payload of the setup, generated from the release folder; do not edit.\n"
                     "LANGUAGE 4, 2\n";  // Chinese (PRC), 2052
    std::string deps = DepEscape(depTarget) + ":";
    for (const ReleaseItem& item : report.items) {
        rc += AsciiUpper(item.entry.ResourceName) + " " + AsciiUpper(item.entry.ResourceType) + " " +
              RcString(item.file) + "\n";
        deps += " " + DepEscape(item.file);
    }
    deps += " " + DepEscape(manifestPath) + "\n";
    if (!WriteText(outRc, rc) || (!depfile.empty() && !WriteText(depfile, deps))) {
        std::fprintf(stderr, "release_builder: cannot write %s\n", outRc.c_str());
        return 1;
    }
    return 0;
}
