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

} // namespace
