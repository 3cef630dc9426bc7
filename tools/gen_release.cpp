// gen_release: lays out a release folder as the product installs, from the
// committed sample and a table of stand-in sizes.
//
//   gen_release <sample_dir> <out_dir> <TAVI.exe> <Uninstall.exe>
//
// Reads <sample_dir>/Setup.log (GBK, one "NAME TYPE PATH" line per item) and
// writes every item to <out_dir>/<PATH in UTF-8 with "/" between levels>:
//   - "TAVI.exe" and "Uninstall.exe" are copied from the two programs given;
//   - a file that lies in <sample_dir> at that relative path is copied;
//   - any other item is generated with the size that <sample_dir>/standins.txt
//     gives (UTF-8 lines "PATH<TAB>SIZE") and content drawn from a PRNG seeded
//     with the path, so every run writes the same bytes. Each resembles its
//     kind, so that it compresses as a real one would: texts are GBK text,
//     database files tables of records, bitmaps pictures, report templates
//     XML; a compiled help file (.chm), compressed already, is random bytes.
// The whole manifest is checked before anything is written; a line that cannot
// be served stops the tool with exit code 1 and one message on stderr.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <iconv.h>

namespace fs = std::filesystem;

namespace {

#define U8(s) reinterpret_cast<const char*>(u8##s)

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "gen_release: %s\n", message.c_str());
    std::exit(1);
}

bool ReadWhole(const fs::path& path, std::string& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) out.append(block, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

void WriteWhole(const fs::path& path, const void* data, size_t size) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) Fail("cannot create folder " + path.parent_path().string() + ": " + ec.message());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) Fail("cannot create " + path.string() + ": " + std::strerror(errno));
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) Fail("cannot write " + path.string() + ": " + std::strerror(errno));
}

// Converts between encodings with glibc's iconv; false when the input does not
// convert completely.
bool Convert(const char* to, const char* from, std::string_view in, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) Fail(std::string("iconv cannot convert ") + from + " to " + to);
    std::string src(in);
    out.assign(src.size() * 2 + 16, '\0');
    char* inp = src.data();
    size_t inleft = src.size();
    char* outp = out.data();
    size_t outleft = out.size();
    size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || inleft != 0) return false;
    out.resize(out.size() - outleft);
    return true;
}

std::string Utf8ToGbk(std::string_view s) {
    std::string out;
    if (!Convert("GBK", "UTF-8", s, out)) Fail("text has no GBK form: " + std::string(s));
    return out;
}

// Lines end at CR LF, a lone CR or a lone LF; a NUL ends the text; a line end
// at the very end adds no empty line.
std::vector<std::string> SplitLines(std::string_view text) {
    size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

// Index just past the last "\" of a GBK string, skipping second bytes of
// double-byte characters (which may be 0x5C); 0 when there is none.
size_t GbkNameStart(std::string_view s) {
    size_t name = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < s.size()) {
            ++i;
        } else if (c == '\\') {
            name = i + 1;
        }
    }
    return name;
}

// Length of the longest prefix of at most `max` bytes that ends between characters.
size_t GbkPrefix(std::string_view s, size_t max) {
    size_t end = 0;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t next = i + (c >= 0x81 && c <= 0xFE && i + 1 < s.size() ? 2 : 1);
        if (next > max) break;
        end = i = next;
    }
    return end;
}

std::string LowerExtension(const std::string& utf8Path) {
    size_t slash = utf8Path.rfind('/');
    size_t dot = utf8Path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = utf8Path.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

// ------------------------------------------------------------------ content

struct Rng {
    uint64_t state;
    explicit Rng(std::string_view seedText) : state(1469598103934665603ull) {
        for (unsigned char c : seedText) state = (state ^ c) * 1099511628211ull;
    }
    uint64_t Next() {  // splitmix64
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }
};

void FillRandom(Rng& rng, unsigned char* p, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t v = rng.Next();
        std::memcpy(p + i, &v, 8);
    }
    if (i < n) {
        uint64_t v = rng.Next();
        std::memcpy(p + i, &v, n - i);
    }
}

void Put16(unsigned char* p, uint32_t v) { p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; }
void Put32(unsigned char* p, uint32_t v) { Put16(p, v & 0xFFFF); Put16(p + 2, v >> 16); }

// A 24-bit bottom-up bitmap of exactly `size` bytes: the picture size is the
// factorisation of the pixel bytes closest to 4:3; bytes that no row holds
// trail the pixels.
void MakeBitmap(Rng& rng, std::vector<unsigned char>& buf) {
    const size_t size = buf.size();
    const size_t header = 54;
    const size_t pixels = size - header;
    uint32_t width = 0, height = 0;
    double best = 1e9;
    for (uint32_t w = 1; w <= 4096; ++w) {
        size_t stride = (w * 3 + 3) & ~size_t(3);
        if (pixels % stride != 0) continue;
        size_t h = pixels / stride;
        if (h == 0 || h > 4096) continue;
        double off = static_cast<double>(w) / static_cast<double>(h) - 4.0 / 3.0;
        if (off < 0) off = -off;
        if (off < best) { best = off; width = w; height = static_cast<uint32_t>(h); }
    }
    if (width == 0) {  // no exact factorisation: rows as wide as fit, the rest trails
        width = static_cast<uint32_t>(pixels / 3 > 4096 ? 4096 : pixels / 3);
        if (width == 0) width = 1;
        height = static_cast<uint32_t>(pixels / ((width * 3 + 3) & ~size_t(3)));
        if (height == 0) { width = 0; height = 0; }
    }
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    unsigned char* p = buf.data();
    std::memset(p, 0, size);
    p[0] = 'B'; p[1] = 'M';
    Put32(p + 2, static_cast<uint32_t>(size));
    Put32(p + 10, header);
    Put32(p + 14, 40);
    Put32(p + 18, width);
    Put32(p + 22, height);
    Put16(p + 26, 1);
    Put16(p + 28, 24);
    Put32(p + 34, static_cast<uint32_t>(stride * height));
    Put32(p + 38, 2835);
    Put32(p + 42, 2835);
    const unsigned shade = rng.Below(256);
    for (uint32_t y = 0; y < height; ++y) {
        unsigned char* row = p + header + y * stride;
        for (uint32_t x = 0; x < width; ++x) {
            row[x * 3 + 0] = static_cast<unsigned char>(255 * x / width);
            row[x * 3 + 1] = static_cast<unsigned char>(255 * y / height);
            row[x * 3 + 2] = static_cast<unsigned char>(shade ^ ((x ^ y) & 0x3F));
        }
    }
    size_t used = header + stride * height;
    if (used < size) FillRandom(rng, p + used, size - used);
}

struct Vocabulary {
    std::vector<std::string> foods, meals, notes;
    std::string gram, comma, menuHead, dishHead, dishName, materials, nameKey, day, calcHead, energy;
};

const Vocabulary& Words() {
    static const Vocabulary v = [] {
        Vocabulary w;
        for (const char* s : {U8("馒头"), U8("米饭"), U8("小米粥"), U8("牛奶"), U8("鸡蛋"), U8("豆浆"),
                              U8("面条"), U8("瘦猪肉"), U8("鸡胸肉"), U8("带鱼"), U8("豆腐"), U8("菠菜"),
                              U8("油菜"), U8("西红柿"), U8("黄瓜"), U8("胡萝卜"), U8("土豆"), U8("苹果"),
                              U8("香蕉"), U8("橙子"), U8("玉米面"), U8("燕麦片"), U8("花生油"), U8("酸奶")})
            w.foods.push_back(Utf8ToGbk(s));
        for (const char* s : {U8("早餐"), U8("加餐"), U8("午餐"), U8("午点"), U8("晚餐")})
            w.meals.push_back(Utf8ToGbk(s));
        for (const char* s : {U8("蛋白质摄入充足，脂肪供能比适宜。"), U8("注意增加蔬菜和水果的摄入量。"),
                              U8("全天食盐不超过6克，烹调油不超过25克。"), U8("谷类为主，粗细搭配，少量多餐。"),
                              U8("钙的来源以奶类和豆制品为主。"), U8("每天饮水1200毫升以上。")})
            w.notes.push_back(Utf8ToGbk(s));
        w.gram = Utf8ToGbk(U8("克"));
        w.comma = Utf8ToGbk(U8("，"));
        w.menuHead = Utf8ToGbk(U8("[Quorvix食谱]"));
        w.dishHead = Utf8ToGbk(U8("[Quorvix菜肴库]"));
        w.dishName = Utf8ToGbk(U8("菜肴"));
        w.materials = Utf8ToGbk(U8("原料="));
        w.nameKey = Utf8ToGbk(U8("名称="));
        w.day = Utf8ToGbk(U8("第%u天"));
        w.calcHead = Utf8ToGbk(U8("[营养素计算器]"));
        w.energy = Utf8ToGbk(U8("能量=%u千卡"));
        return w;
    }();
    return v;
}

std::string Number(const std::string& format, unsigned n) {
    char text[64];
    std::snprintf(text, sizeof text, format.c_str(), n);
    return text;
}

// A few foods with amounts: "馒头 100克，牛奶 250克".
std::string Foods(Rng& rng) {
    const Vocabulary& w = Words();
    std::string line;
    unsigned count = 2 + rng.Below(3);
    for (unsigned k = 0; k < count; ++k) {
        if (k) line += w.comma;
        line += w.foods[rng.Below(static_cast<unsigned>(w.foods.size()))];
        line += " " + std::to_string(25 * (1 + rng.Below(10))) + w.gram;
    }
    return line;
}

// GBK text of exactly `size` bytes, built from whole lines and padded with
// spaces, so no double-byte character is cut. Menus hold days of meals, the
// dish library numbered dishes, the calculator file numbered entries, other
// texts advice and foods.
std::string MakeText(Rng& rng, const std::string& kind, const std::string& stem, size_t size) {
    const Vocabulary& w = Words();
    std::string out;
    if (kind == "qvt") out = w.menuHead + "\r\n" + w.nameKey + stem + "\r\n" + Number(w.energy, 1200 + 100 * rng.Below(13)) + "\r\n";
    else if (kind == "cys") out = w.dishHead + "\r\n" + w.nameKey + stem + "\r\n";
    else if (kind == "des") out = w.calcHead + "\r\n" + w.nameKey + stem + "\r\n";
    else out = stem + "\r\n";
    const unsigned meals = static_cast<unsigned>(w.meals.size());
    for (unsigned n = 0;; ++n) {
        std::string line;
        if (kind == "qvt") {
            unsigned day = n / (meals + 1) + 1, slot = n % (meals + 1);
            line = slot == 0 ? "[" + Number(w.day, day) + "]" : w.meals[slot - 1] + "=" + Foods(rng);
        } else if (kind == "cys") {
            line = n % 2 == 0 ? "[" + w.dishName + std::to_string(n / 2 + 1) + "]" : w.materials + Foods(rng);
        } else if (kind == "des") {
            line = "Item" + std::to_string(n + 1) + "=" + Foods(rng);
        } else {
            line = n % 3 == 0 ? w.notes[rng.Below(static_cast<unsigned>(w.notes.size()))] : Foods(rng);
        }
        line += "\r\n";
        if (out.size() + line.size() > size) break;
        out += line;
    }
    if (out.size() > size) out.resize(GbkPrefix(out, size));  // a header longer than the file
    out.resize(size, ' ');
    return out;
}

// An RTF document of exactly `size` bytes whose Chinese text is written as
// \'hh escapes of its GBK bytes.
std::string MakeRtf(Rng& rng, size_t size) {
    const Vocabulary& w = Words();
    static const char hex[] = "0123456789abcdef";
    auto escaped = [](const std::string& gbk) {
        std::string e;
        for (unsigned char c : gbk) {
            if (c < 0x80) { e += static_cast<char>(c); continue; }
            e += "\\'";
            e += hex[c >> 4];
            e += hex[c & 15];
        }
        return e;
    };
    std::string out = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\r\n"
                      "\\viewkind4\\uc1\\pard\\lang2052\\f0\\fs21 ";
    if (size < out.size() + 1) return std::string(size, ' ');
    for (;;) {
        std::string para = escaped(w.notes[rng.Below(static_cast<unsigned>(w.notes.size()))] + Foods(rng)) + "\\par\r\n";
        if (out.size() + para.size() + 1 > size) break;
        out += para;
    }
    out.resize(size - 1, ' ');
    out += '}';
    return out;
}

// A database file as the product's are: fixed-size records (a number, a
// kind, a food's GBK name, then measured values; a blob table's records hold
// a text memo instead), or, for an index, (key, record offset) pairs in key
// order. Exactly the buffer's size; a last record may be cut.
void MakeTable(Rng& rng, const std::string& ext, std::vector<unsigned char>& buf) {
    const Vocabulary& w = Words();
    const size_t size = buf.size();
    std::memset(buf.data(), 0, size);
    if (ext == "idx") {
        uint32_t key = 0;
        for (size_t at = 0; at + 8 <= size; at += 8) {
            key += 1 + rng.Below(7);
            Put32(&buf[at], key);
            Put32(&buf[at + 4], static_cast<uint32_t>(at / 8 * 128));
        }
        return;
    }
    const size_t record = ext == "blb" ? 1024 : ext == "lbs" ? 64 : 128;
    std::vector<unsigned char> rec(record);
    for (size_t at = 0, id = 1; at < size; at += record, ++id) {
        std::fill(rec.begin(), rec.end(), 0);
        Put32(rec.data(), static_cast<uint32_t>(id));
        Put16(rec.data() + 4, rng.Below(24));
        const std::string& name = w.foods[rng.Below(static_cast<unsigned>(w.foods.size()))];
        std::memcpy(rec.data() + 8, name.data(), std::min<size_t>(name.size(), 30));
        if (record == 1024) {
            std::string memo;
            for (;;) {
                std::string more = rng.Below(3) == 0 ? w.notes[rng.Below(static_cast<unsigned>(w.notes.size()))]
                                                     : Foods(rng) + w.comma;
                if (memo.size() + more.size() > record - 40) break;
                memo += more;
            }
            std::memcpy(rec.data() + 40, memo.data(), memo.size());
        } else {
            for (size_t k = 0; 40 + k * 2 + 2 <= record; ++k)
                Put16(rec.data() + 40 + k * 2, rng.Below(k % 3 == 0 ? 1000 : 100));
        }
        std::memcpy(&buf[at], rec.data(), std::min(record, size - at));
    }
}

// A report template (FastReport's XML) of exactly `size` bytes.
std::string MakeReportTemplate(Rng& rng, size_t size) {
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TfrxReport Version=\"4.9\">\r\n";
    for (unsigned n = 1;; ++n) {
        std::string line = "  <TfrxMemoView Name=\"Memo" + std::to_string(n) + "\" Left=\"" +
                           std::to_string(rng.Below(700)) + "\" Top=\"" + std::to_string(rng.Below(1000)) +
                           "\" Width=\"" + std::to_string(40 + rng.Below(200)) +
                           "\" Height=\"18.89765\" Font.Name=\"Arial\" Font.Height=\"-13\" Text=\"[Data" +
                           std::to_string(rng.Below(40)) + "]\"/>\r\n";
        if (out.size() + line.size() + 15 > size) break;
        out += line;
    }
    out += "</TfrxReport>";
    out.resize(size, ' ');
    return out;
}

void Generate(const std::string& utf8Path, const std::string& gbkPath, uint64_t size,
              std::vector<unsigned char>& buf) {
    Rng rng(utf8Path);
    const std::string ext = LowerExtension(utf8Path);
    buf.resize(size);
    if (ext == "bmp" && size > 54) {
        MakeBitmap(rng, buf);
        return;
    }
    if (ext == "txt" || ext == "qvt" || ext == "cys" || ext == "des" || ext == "rtf") {
        std::string stem = gbkPath.substr(GbkNameStart(gbkPath));
        stem = stem.substr(0, stem.rfind('.'));
        std::string text = ext == "rtf" ? MakeRtf(rng, size) : MakeText(rng, ext, stem, size);
        std::memcpy(buf.data(), text.data(), size);
        return;
    }
    if (ext == "dat" || ext == "idx" || ext == "blb" || ext == "lbs") {
        MakeTable(rng, ext, buf);
        return;
    }
    if (ext == "fr3" && size > 100) {
        const std::string text = MakeReportTemplate(rng, size);
        std::memcpy(buf.data(), text.data(), size);
        return;
    }
    // A compiled help file is compressed already: random bytes stand in for it.
    FillRandom(rng, buf.data(), size);
    if (ext == "chm" && size >= 16) {  // the signature, version and header length of a compiled help file
        std::memcpy(buf.data(), "ITSF", 4);
        Put32(buf.data() + 4, 3);
        Put32(buf.data() + 8, 0x60);
        Put32(buf.data() + 12, 1);
    }
}

// ------------------------------------------------------------------ plan

enum class Source { Program, Sample, Standin };

struct Item {
    int line = 0;            // 1-based manifest line
    std::string gbkPath;     // PATH as the manifest spells it
    std::string utf8Path;    // with "/" between levels
    Source source = Source::Standin;
    fs::path from;           // Program, Sample
    uint64_t size = 0;       // Standin
};

std::map<std::string, uint64_t> LoadStandins(const fs::path& file) {
    std::map<std::string, uint64_t> sizes;
    std::string text;
    if (!ReadWhole(file, text)) return sizes;
    std::vector<std::string> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.empty()) continue;
        std::string where = file.filename().string() + " line " + std::to_string(i + 1) + ": ";
        size_t tab = l.rfind('\t');
        if (tab == std::string::npos || tab == 0 || tab + 1 == l.size())
            Fail(where + "expected PATH<TAB>SIZE: \"" + l + "\"");
        std::string digits = l.substr(tab + 1);
        if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 12)
            Fail(where + "size is not a whole number: \"" + digits + "\"");
        std::string path = l.substr(0, tab);
        for (char& c : path)
            if (c == '\\') c = '/';
        if (!sizes.emplace(path, std::stoull(digits)).second) Fail(where + "\"" + l.substr(0, tab) + "\" is listed twice");
    }
    return sizes;
}

std::vector<Item> Plan(const fs::path& sampleDir, const fs::path& tavi, const fs::path& uninstall) {
    const fs::path manifestFile = sampleDir / "Setup.log";
    std::string text;
    if (!ReadWhole(manifestFile, text)) Fail("cannot read " + manifestFile.string());
    const std::map<std::string, uint64_t> standins = LoadStandins(sampleDir / "standins.txt");

    std::vector<Item> items;
    std::map<std::string, int> seen;
    std::vector<std::string> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        Item it;
        it.line = static_cast<int>(i + 1);
        std::string shown;
        if (!Convert("UTF-8", "GBK", l, shown)) shown = "(not GBK)";
        const std::string where = "Setup.log line " + std::to_string(it.line) + " \"" + shown + "\": ";

        size_t sp1 = l.find(' ');
        size_t sp2 = sp1 == std::string::npos ? sp1 : l.find(' ', sp1 + 1);
        if (sp1 == 0 || sp2 == std::string::npos || sp2 == sp1 + 1 || sp2 + 1 >= l.size())
            Fail(where + "expected NAME TYPE PATH");
        it.gbkPath = l.substr(sp2 + 1);
        if (it.gbkPath[0] == '\\') Fail(where + "the path begins with a backslash");
        if (!Convert("UTF-8", "GBK", it.gbkPath, it.utf8Path)) Fail(where + "the path is not GBK text");
        if (it.utf8Path.find(':') != std::string::npos || it.utf8Path.find('/') != std::string::npos)
            Fail(where + "the path holds a drive or a \"/\"");
        for (char& c : it.utf8Path)
            if (c == '\\') c = '/';
        for (size_t a = 0; a <= it.utf8Path.size();) {
            size_t b = it.utf8Path.find('/', a);
            if (b == std::string::npos) b = it.utf8Path.size();
            std::string_view level(it.utf8Path.data() + a, b - a);
            if (level.empty() || level == "." || level == "..") Fail(where + "the path has an empty, \".\" or \"..\" level");
            a = b + 1;
        }
        auto dup = seen.emplace(it.utf8Path, it.line);
        if (!dup.second) Fail(where + "the same target as line " + std::to_string(dup.first->second));

        std::error_code ec;
        if (it.utf8Path == "TAVI.exe" || it.utf8Path == "Uninstall.exe") {
            it.source = Source::Program;
            it.from = it.utf8Path == "TAVI.exe" ? tavi : uninstall;
            if (!fs::is_regular_file(it.from, ec)) Fail(where + "no program " + it.from.string());
        } else if (fs::is_regular_file(sampleDir / it.utf8Path, ec)) {
            it.source = Source::Sample;
            it.from = sampleDir / it.utf8Path;
        } else {
            auto s = standins.find(it.utf8Path);
            if (s == standins.end())
                Fail(where + "no file " + (sampleDir / it.utf8Path).string() + " and no size in standins.txt");
            it.source = Source::Standin;
            it.size = s->second;
        }
        items.push_back(std::move(it));
    }
    if (items.empty()) Fail(manifestFile.string() + " lists no item");
    return items;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: gen_release <sample_dir> <out_dir> <TAVI.exe> <Uninstall.exe>\n");
        return 2;
    }
    const fs::path sampleDir = argv[1], outDir = argv[2];
    const std::vector<Item> items = Plan(sampleDir, argv[3], argv[4]);

    std::vector<unsigned char> buf;
    std::string copy;
    uint64_t total = 0;
    for (const Item& it : items) {
        const fs::path target = outDir / it.utf8Path;
        if (it.source == Source::Standin) {
            Generate(it.utf8Path, it.gbkPath, it.size, buf);
            WriteWhole(target, buf.data(), buf.size());
            total += buf.size();
        } else {
            if (!ReadWhole(it.from, copy)) Fail("cannot read " + it.from.string());
            WriteWhole(target, copy.data(), copy.size());
            total += copy.size();
        }
    }
    std::printf("gen_release: %zu files, %llu bytes in %s\n", items.size(),
                static_cast<unsigned long long>(total), outDir.string().c_str());
    return 0;
}
