// The release writer: makes the setup of a release folder from the prebuilt
// program, with no compiler or linker.
//
//   release_writer PROGRAM.exe RELEASE_DIR -o SETUP.exe [--allow-64bit] [--depfile FILE] [--quiet]
//                  [--store | --level N]
//   release_writer --check RELEASE_DIR
//   release_writer --winget SETUP.exe --url URL -o DIR   (winget_manifest.h)
//   release_writer --verify SETUP.exe [RELEASE_DIR]
//
// PROGRAM.exe is TavixSetup.exe as the build makes it: the program with its
// own resources (manifest, icon, pictures) and no release. RELEASE_DIR holds
// the product tree as it installs, with the manifest "Setup.log" and the
// control file "Setup.ini" at its top. The release is checked first: a
// problem refuses it (exit code 1, nothing written), warnings are printed and
// the release is still used. Then the setup is written: the program's bytes
// with a new resource section that holds the program's own resources, the
// version resource made from the control file, every manifest item under its
// upper-case string type and name, and the items' checksum table, all of the
// release in language 2052. The items' bytes are streamed from their files;
// nothing depends on time or on the folder it runs in, so the same program
// and release give the same bytes. SETUP.exe appears only when it is whole
// (exit code 0); when the program is not a usable one or the file cannot be
// written, nothing is left behind (exit code 3). Signing is a step of its own,
// afterwards.
//
// Items that shrink travel in compressed blocks (tools/block_writer.h), the
// others as they are; --store writes every item as it is (quick test
// builds), --level N sets zstd's level (1 to 22, default 19). --verify
// decodes every item of a setup and compares it with its checksum table and,
// given RELEASE_DIR, with the release's files (tools/setup_verify.h).
//
// --allow-64bit accepts a 64-bit (PE32+) build of the program, for the tests
// on hosts that run only 64-bit programs. --depfile writes the files the
// setup was made from, for the build; --quiet leaves out what the setup
// carries (printed otherwise). --check writes nothing and prints what the
// setup would carry.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "block_writer.h"
#include "host_file.h"
#include "host_text.h"
#include "le_bytes.h"
#include "pe_image.h"
#include "release_check.h"
#include "setupdata/checksums.h"
#include "setupdata/crc32.h"
#include "setupdata/gbk.h"
#include "winget_manifest.h"
#include "setupdata/payload_blocks.h"
#include "setup_verify.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace tavix;

namespace {

const char kMe[] = "release_writer";
constexpr std::uint16_t kLanguage = kChecksumTableLanguage;  // Chinese (PRC)
constexpr std::uint16_t kRtVersion = 16;
constexpr int kRefused = 1, kUsage = 2, kNotWritten = 3;
constexpr std::size_t kChunk = 1u << 18;  // measured: steadier and faster than 1 MB on Linux

void Say(const std::string& text) { PrintLine(stderr, std::string(kMe) + ": " + text); }

int Usage() {
    PrintLine(stderr, "usage: release_writer PROGRAM.exe RELEASE_DIR -o SETUP.exe [--allow-64bit] [--store | --level N]");
    PrintLine(stderr, "       release_writer --check RELEASE_DIR");
    PrintLine(stderr, "       release_writer --winget SETUP.exe --url URL -o DIR");
    PrintLine(stderr, "       release_writer --verify SETUP.exe [RELEASE_DIR]");
    return kUsage;
}

struct Options {
    bool checkOnly = false, allow64 = false, quiet = false, verify = false;
    std::string program, release, output, depfile;
    PackOptions pack;
};

// The level of --level: a number of zstd's levels.
bool ParseLevel(const std::string& text, int& level) {
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    level = std::stoi(text);
    return level >= kMinLevel && level <= kMaxLevel;
}

bool ParseOptions(const std::vector<std::string>& args, Options& o) {
    std::vector<std::string> plain;
    bool levelGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--check") o.checkOnly = true;
        else if (a == "--allow-64bit") o.allow64 = true;
        else if (a == "--quiet") o.quiet = true;
        else if (a == "--verify") o.verify = true;
        else if (a == "--store") o.pack.store = true;
        else if (a == "--level" && i + 1 < args.size()) {
            if (!ParseLevel(args[++i], o.pack.level)) return false;
            levelGiven = true;
        }
        else if ((a == "-o" || a == "--depfile") && i + 1 < args.size()) (a == "-o" ? o.output : o.depfile) = args[++i];
        else if (a.size() > 1 && a[0] == '-') return false;
        else plain.push_back(a);
    }
    if (o.pack.store && levelGiven) return false;
    if (o.verify) {
        if (o.checkOnly || plain.empty() || plain.size() > 2 || !o.output.empty()) return false;
        o.program = plain[0];
        if (plain.size() == 2) o.release = plain[1];
        return true;
    }
    if (o.checkOnly) {
        if (plain.size() != 1 || !o.output.empty()) return false;
        o.release = plain[0];
        return true;
    }
    if (plain.size() != 2 || o.output.empty()) return false;
    o.program = plain[0];
    o.release = plain[1];
    return true;
}

// Runs the release check and prints its problems and warnings; false when
// the release is refused.
bool CheckReleaseFolder(const std::string& dir, ReleaseReport& report, std::string& manifest, std::string& ini) {
    const ReleaseFolder folder = HostReleaseFolder(dir);
    const std::string manifestPath = folder.hostPath("Setup.log"), iniPath = folder.hostPath("Setup.ini");
    if (!IsRegularFile(manifestPath) || !ReadWholeFile(manifestPath, manifest)) {
        Say("cannot read the manifest " + manifestPath);
        return false;
    }
    const bool hasIni = IsRegularFile(iniPath) && ReadWholeFile(iniPath, ini);
    if (!hasIni) ini.clear();
    report = CheckRelease(manifest, hasIni ? &ini : nullptr, folder);
    for (const std::string& p : report.problems) Say(p);
    if (!report.problems.empty()) {
        Say("the release in " + dir + " is refused (" + std::to_string(report.problems.size()) + " problem" +
            (report.problems.size() == 1 ? "" : "s") + ")");
        return false;
    }
    for (const std::string& w : report.warnings) Say("warning: " + w);
    return true;
}

// Where the bytes of one resource of the setup come from.
struct Source {
    enum Kind { kProgram, kText, kItem, kChecksums, kBlock } kind;
    std::uint64_t programOffset = 0;  // kProgram
    std::string text;                 // kText
    const ReleaseItem* item = nullptr;
    std::size_t index = 0;            // kItem: of the item; kBlock: of the block
};

// The setup's file as it is written, from its first byte to its last, with
// its PE checksum counted on the way.
class SetupWriter {
public:
    SetupWriter(InputFile& program, const std::string& path) : program_(program), path_(path), buffer_(kChunk) {}

    bool Create() { return Check(out_.Create(path_, true), "cannot write " + path_); }

    void Put(const void* data, std::size_t size) {
        if (!ok_) return;
        sum_.Add(data, size);
        at_ += size;
        Check(out_.Write(data, size), "cannot write " + path_);
    }
    void Put(const std::string& bytes) { Put(bytes.data(), bytes.size()); }

    // Zero bytes up to the file offset `to`.
    void PadTo(std::uint64_t to) {
        static const char zeros[4096] = {};
        while (ok_ && at_ < to) Put(zeros, static_cast<std::size_t>(std::min<std::uint64_t>(to - at_, sizeof zeros)));
    }

    // `size` bytes of the program's file from `from`.
    void CopyProgram(std::uint64_t from, std::uint64_t size) {
        while (ok_ && size > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer_.size()));
            if (!Check(program_.ReadAt(from, buffer_.data(), n), "cannot read the program")) return;
            Put(buffer_.data(), n);
            from += n;
            size -= n;
        }
    }

    // A release file as an item; returns its checksum entry.
    ItemChecksum CopyItem(const ReleaseItem& item) {
        ItemChecksum sum{AsciiUpper(item.entry.ResourceName), AsciiUpper(item.entry.ResourceType), 0,
                         static_cast<std::uint32_t>(item.size)};
        const std::string changed = item.file + " changed while the setup was being made; make it again";
        InputFile in;
        if (!Check(in.Open(item.file), "cannot read " + item.file)) return sum;
        std::uint64_t copied = 0;
        for (long long n; ok_ && (n = in.Read(buffer_.data(), buffer_.size())) != 0; copied += n) {
            if (!Check(n > 0, "cannot read " + item.file)) return sum;
            if (copied + n > item.size) {
                Fail(changed);
                return sum;
            }
            sum.crc32 = Crc32(sum.crc32, buffer_.data(), static_cast<std::size_t>(n));
            Put(buffer_.data(), static_cast<std::size_t>(n));
        }
        if (ok_ && copied != item.size) Fail(changed);
        return sum;
    }

    // `size` bytes of the scratch file from `from`.
    void CopyScratch(ScratchFile& scratch, std::uint64_t from, std::uint64_t size) {
        while (ok_ && size > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer_.size()));
            if (!Check(scratch.ReadAt(from, buffer_.data(), n), "cannot read the scratch file")) return;
            Put(buffer_.data(), n);
            from += n;
            size -= n;
        }
    }

    // Sets the header's checksum and gives the file its name; `companion`
    // (the depfile, written already) gets its name just before, and the
    // setup appears only when it has.
    bool Finish(std::uint32_t checksumOffset, OutputFile* companion, const std::string& companionPath) {
        std::string field;
        Put32(field, sum_.Finish(at_));
        if (ok_) Check(out_.WriteAt(checksumOffset, field.data(), field.size()), "cannot write " + path_);
        if (ok_ && companion) Check(companion->Commit(), "cannot write " + companionPath);
        if (ok_) Check(out_.Commit(), "cannot write " + path_);
        if (!ok_) out_.Discard();
        return ok_;
    }

    std::uint64_t Size() const { return at_; }
    bool Ok() const { return ok_; }
    const std::string& Failure() const { return failure_; }

private:
    // The first failure is the one told.
    void Fail(const std::string& why) {
        if (ok_) failure_ = why;
        ok_ = false;
    }
    // A failed operation on `what`, with the system's reason.
    bool Check(bool ok, const std::string& what) {
        if (!ok) Fail(what + ": " + LastErrorText());
        return ok;
    }

    InputFile& program_;
    OutputFile out_;
    std::string path_;
    std::vector<char> buffer_;
    PeChecksum sum_;
    std::uint64_t at_ = 0;
    bool ok_ = true;
    std::string failure_;
};

std::string DepEscape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == ' ' || c == '#' || c == '\\') out += '\\';
        if (c == '$') out += '$';
        out += c;
    }
    return out;
}

// The setup: the program's resources, the version resource, the items and
// the checksum table; `depfile`, when given, is named with it. Returns the
// exit code.
int WriteSetup(const Options& o, const ReleaseReport& report, const std::string& ini, OutputFile* depfile) {
    auto notWritten = [](const std::string& why) {
        Say(why + "; no setup was written");
        return kNotWritten;
    };
    InputFile program;
    if (!program.Open(o.program)) return notWritten("cannot read the program " + o.program + ": " + LastErrorText());
    ProgramImage image;
    std::string problem = ReadProgram(
        program.Size(), [&](std::uint64_t at, void* buf, std::size_t n) { return program.ReadAt(at, buf, n); },
        o.allow64, image);
    for (const ProgramResource& r : image.resources) {
        if (problem.empty() && r.entry.type == ResId::Number(kChecksumTableType) &&
            r.entry.name == ResId::Number(kChecksumTableId))
            problem = "carries a checksum table: it is a setup made already, not the prebuilt program";
    }
    if (!problem.empty()) return notWritten("the program " + o.program + " " + problem);
    const std::string folder = FolderOf(o.output);
    if (!FolderExists(folder)) return notWritten("cannot write " + o.output + ": the folder " + folder + " does not exist");
    if (SameFile(o.output, o.program)) return notWritten(o.output + " is the program itself; write the setup to another file");

    // Every resource of the setup, and where its bytes come from.
    std::vector<ResourceEntry> entries;
    std::vector<Source> sources;
    for (const ProgramResource& r : image.resources) {
        entries.push_back(r.entry);
        sources.push_back(Source{Source::kProgram, r.fileOffset, std::string(), nullptr});
    }
    auto add = [&](ResId type, ResId name, std::uint32_t size, Source source) {
        entries.push_back(ResourceEntry{std::move(type), std::move(name), kLanguage, size, 0});
        sources.push_back(std::move(source));
    };
    const std::string version = VersionResourceData(ini);
    add(ResId::Number(kRtVersion), ResId::Number(1), static_cast<std::uint32_t>(version.size()),
        Source{Source::kText, 0, version, nullptr});
    // The items that shrink are compressed first, into a scratch file, so
    // that the layout knows the blocks' sizes.
    ScratchFile scratch;
    PackPlan pack;
    std::string failure;
    if (!scratch.Create(o.output)) return notWritten("cannot write beside " + o.output + ": " + LastErrorText());
    if (!PackItems(report.items, o.pack, scratch, pack, failure)) return notWritten(failure);
    const std::string tooLarge = PayloadSizeProblem(pack.writtenBytes);
    if (!tooLarge.empty()) {
        Say(tooLarge);
        Say("the release in " + o.release + " is refused (1 problem)");
        return kRefused;
    }
    // In manifest order; a block stands where its first item is.
    for (std::size_t i = 0; i < report.items.size(); ++i) {
        const ItemChecksum& sum = pack.sums[i];
        const int b = pack.blockOf[i];
        if (b < 0)
            add(ResId::Ascii(sum.type), ResId::Ascii(sum.name), sum.size, Source{Source::kItem, 0, std::string(),
                                                                                  &report.items[i], i});
        else if (pack.blocks[b].items.front() == i)
            add(ResId::Number(static_cast<std::uint16_t>(pack.blocks[b].id)), ResId::Number(0),
                static_cast<std::uint32_t>(kBlockHeaderSize + pack.blocks[b].frameSize),
                Source{Source::kBlock, 0, std::string(), nullptr, static_cast<std::size_t>(b)});
    }
    // The blocks' resources: type RT_RCDATA, their IDs as names.
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (sources[i].kind == Source::kBlock) {
            entries[i].name = entries[i].type;
            entries[i].type = ResId::Number(kChecksumTableType);
        }
    std::vector<ItemChecksum>& sums = pack.sums;
    const std::size_t tableSize = FormatChecksumTable(sums).size();  // the CRCs do not change its length
    add(ResId::Number(kChecksumTableType), ResId::Number(kChecksumTableId), static_cast<std::uint32_t>(tableSize),
        Source{Source::kChecksums, 0, std::string(), nullptr});

    ResourceLayout layout;
    ImagePlan plan;
    problem = LayOutResources(entries, ResourceRva(image), layout);
    if (problem.empty()) problem = PlanImage(image, layout.size, plan);
    if (!problem.empty()) return notWritten("the setup cannot be made: " + problem);

    SetupWriter out(program, o.output);
    if (!out.Create()) return notWritten(out.Failure());
    out.Put(plan.headers);
    out.CopyProgram(plan.headers.size(), plan.keep - plan.headers.size());
    out.Put(layout.directory);
    for (std::size_t i = 0; i < entries.size() && out.Ok(); ++i) {
        out.PadTo(plan.keep + layout.dataOffsets[i]);
        const Source& s = sources[i];
        switch (s.kind) {
        case Source::kProgram: out.CopyProgram(s.programOffset, entries[i].size); break;
        case Source::kText: out.Put(s.text); break;
        case Source::kItem: sums[s.index].crc32 = out.CopyItem(*s.item).crc32; break;
        case Source::kChecksums: out.Put(FormatChecksumTable(sums)); break;
        case Source::kBlock: {
            const PackedBlock& b = pack.blocks[s.index];
            out.Put(FormatBlockHeader(BlockHeader{kCodecZstd, b.decodedSize, b.frameSize}));
            out.CopyScratch(scratch, b.frameAt, b.frameSize);
            break;
        }
        }
    }
    out.PadTo(plan.keep + plan.resourceRawSize);
    for (const ImagePlan::Range& r : plan.moved) out.CopyProgram(r.from, r.size);
    if (!out.Finish(plan.checksumOffset, depfile, o.depfile)) return notWritten(out.Failure());
    return 0;
}

// The files the setup is made from, as a build reads them.
std::string Depfile(const Options& o, const ReleaseReport& report) {
    const ReleaseFolder folder = HostReleaseFolder(o.release);
    std::string deps = DepEscape(o.output) + ":";
    for (const ReleaseItem& item : report.items) deps += " " + DepEscape(item.file);
    deps += " " + DepEscape(folder.hostPath("Setup.log")) + " " + DepEscape(folder.hostPath("Setup.ini")) + " " +
            DepEscape(o.program) + "\n";
    return deps;
}

int Run(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "--winget") return RunWingetCommand(args);
    Options o;
    if (!ParseOptions(args, o)) return Usage();
    if (o.verify) return VerifySetup(o.program, o.release);
    ReleaseReport report;
    std::string manifest, ini;
    if (!CheckReleaseFolder(o.release, report, manifest, ini)) return kRefused;
    if (!o.quiet)
        for (const std::string& line : ReleaseSummary(report.items, ini)) PrintLine(stdout, line);
    if (o.checkOnly) return 0;
    // The depfile is written first and named with the setup: one that
    // cannot be written leaves no setup behind.
    OutputFile depfile;
    if (!o.depfile.empty()) {
        const std::string deps = Depfile(o, report);
        if (!depfile.Create(o.depfile) || !depfile.Write(deps.data(), deps.size())) {
            Say("cannot write " + o.depfile + ": " + LastErrorText() + "; no setup was written");
            return kNotWritten;
        }
    }
    return WriteSetup(o, report, ini, o.depfile.empty() ? nullptr : &depfile);
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        args.push_back(Utf16ToUtf8(std::u16string(a.begin(), a.end())));
    }
    return Run(args);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
