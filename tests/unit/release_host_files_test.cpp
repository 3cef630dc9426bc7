// What a manifest path names in a release folder on this host: files, folders,
// links that stay inside and links that lead out, in a folder made for the test.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/host_text.h"

using namespace tavix;
namespace fs = std::filesystem;

namespace {

class ReleaseFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/release-files-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        top_ = name;
        rel_ = top_ + "/release";
        fs::create_directories(rel_ + "/Data");
        fs::create_directories(top_ + "/outside");
        Write(rel_ + "/Data/Lite.dat", "1234567");
        Write(top_ + "/outside/secret.txt", "outside");
    }
    void TearDown() override { fs::remove_all(top_); }

    static void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

    std::string top_, rel_;
};

TEST_F(ReleaseFiles, KindOfEachPath) {
    fs::create_symlink("Lite.dat", rel_ + "/Data/inside-link.dat");
    fs::create_symlink(top_ + "/outside/secret.txt", rel_ + "/Data/outside-link.txt");
    fs::create_symlink("../../outside/secret.txt", rel_ + "/Data/relative-out.txt");
    fs::create_symlink(top_ + "/outside", rel_ + "/Linked");
    fs::create_symlink("gone.dat", rel_ + "/Data/dangling.dat");
    ASSERT_EQ(mkfifo((rel_ + "/Data/pipe").c_str(), 0600), 0);

    struct Case { std::string path; FileKind kind; std::uint64_t size; std::string leadsTo; };
    const Case cases[] = {
        {"Data/Lite.dat", FileKind::kRegular, 7, ""},
        {"Data/inside-link.dat", FileKind::kRegular, 7, ""},
        {"Data", FileKind::kFolder, 0, ""},
        {"Data/none.dat", FileKind::kMissing, 0, ""},
        {"Data/dangling.dat", FileKind::kMissing, 0, ""},
        {"Data/Lite.dat/x", FileKind::kMissing, 0, ""},
        {"Data/outside-link.txt", FileKind::kLinkOutside, 0, "/outside/secret.txt"},
        {"Data/relative-out.txt", FileKind::kLinkOutside, 0, "/outside/secret.txt"},
        {"Linked/secret.txt", FileKind::kLinkOutside, 0, "/outside/secret.txt"},
        {"Data/pipe", FileKind::kOther, 0, ""},
    };
    for (const Case& c : cases) {
        FileFacts f = InspectReleaseFile(rel_, rel_ + "/" + c.path);
        EXPECT_EQ(static_cast<int>(f.kind), static_cast<int>(c.kind)) << c.path;
        if (c.kind == FileKind::kRegular) EXPECT_EQ(f.size, c.size) << c.path;
        if (!c.leadsTo.empty()) EXPECT_EQ(f.linkTarget, fs::canonical(top_).string() + c.leadsTo) << c.path;
    }
    // The release folder named through a link of its own is still itself.
    fs::create_symlink(rel_, top_ + "/release-link");
    EXPECT_EQ(InspectReleaseFile(top_ + "/release-link", top_ + "/release-link/Data/Lite.dat").kind, FileKind::kRegular);
}

TEST_F(ReleaseFiles, HostPathsAndTheListing) {
    Write(rel_ + u8"/Data/东方.txt", "x");  // its UTF-8 name, as on Linux
    // A GBK target path maps to the UTF-8 name with "/" between levels.
    EXPECT_EQ(ReleaseHostPath(rel_, "Data\\东方.txt"), rel_ + u8"/Data/东方.txt");
    EXPECT_EQ(InspectReleaseFile(rel_, ReleaseHostPath(rel_, "Data\\东方.txt")).kind, FileKind::kRegular);
    fs::create_symlink(top_ + "/outside", rel_ + "/Linked");
    // Files only, sorted; a linked folder is not walked.
    std::vector<std::string> files = ListReleaseFiles(rel_);
    std::vector<std::string> want = {rel_ + "/Data/Lite.dat", rel_ + u8"/Data/东方.txt"};
    EXPECT_EQ(files, want);
}

// GBK read as Windows' code page 936 reads it, so that the Linux and the
// Windows writer put the same UTF-16 into a setup. glibc's GBK leaves out the
// codes that code page 936 maps into the Private Use Area; the values here
// are code page 936's.
TEST(GbkToUtf16, AsCodePage936) {
    struct Case {
        std::string gbk;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"Qv", u"Qv"},
        {"\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},             // 中文
        {"\x80", u"\u20AC"},                                  // the euro sign, one byte
        {"\xAA\xA1\xAF\xFE", u"\uE000\uE233"},             // user-defined area 1, first and last
        {"\xF8\xA1\xFE\xFE", u"\uE234\uE4C5"},             // area 2
        {"\xA1\x40\xA1\x80\xA7\xA0", u"\uE4C6\uE505\uE765"},  // area 3, around the missing 0x7F
        {"\xA2\xAB\xA6\xF3\xA8\xBF\xFE\x50\xFE\xA0", u"\uE766\uE796\uE7C8\uE815\uE864"},  // reserved codes
        {"\xA1\xA4\xA1\xAA\xA8\xBB", u"\u00B7\u2014\u0251"},  // where glibc and code page 936 agree
        {"\x81\x7F", u"\uFFFD\x7F"},                         // no trail byte: the lead alone is bad
        {"a\xD6", u"a\uFFFD"},                                // a lead byte at the end
        {"\xFF", u"\uFFFD"},
    };
    for (const Case& c : cases) EXPECT_EQ(GbkToUtf16(c.gbk), c.utf16) << GbkToUtf8(c.gbk);
    EXPECT_EQ(GbkToUtf8("\xD6\xD0\x81\x7F"), u8"中?\x7F");
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(u"\uE000\U0001F600x")), u"\uE000\U0001F600x");
    EXPECT_EQ(Utf8ToUtf16("\xC3("), u"\uFFFD(");
}

} // namespace
