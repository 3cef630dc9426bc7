// How the writer packs items, read back with the zstd library itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include <unistd.h>
#include <string>
#include <vector>

#include <zstd.h>

#include "setupdata/crc32.h"
#include "setupdata/payload_blocks.h"
#include "tools/block_writer.h"

using namespace tavix;
namespace fs = std::filesystem;

namespace {

class PackItemsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tavix-pack-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Add(const std::string& name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        ReleaseItem item;
        item.entry.ResourceName = name;
        item.entry.ResourceType = "t";
        item.entry.TargetPath = name;
        item.entry.LineIndex = static_cast<int>(items_.size());
        item.file = path.string();
        item.size = bytes.size();
        items_.push_back(item);
        bytes_.push_back(bytes);
    }

    static std::string Text(std::size_t size, unsigned seed) {
        std::string s;
        for (unsigned n = seed; s.size() < size; ++n) s += "food " + std::to_string(n % 311) + " 100 g, rice 50 g\r\n";
        s.resize(size);
        return s;
    }
    static std::string Noise(std::size_t size, unsigned seed) {
        std::mt19937 rng(seed);
        std::string s(size, '\0');
        for (char& c : s) c = static_cast<char>(rng());
        return s;
    }

    // The decoded bytes of a block, by the library's one-shot decoder.
    std::string Decoded(ScratchFile& scratch, const PackedBlock& b) {
        std::string frame(b.frameSize, '\0');
        EXPECT_TRUE(scratch.ReadAt(b.frameAt, &frame[0], frame.size()));
        std::string out(b.decodedSize, '\0');
        EXPECT_EQ(ZSTD_getFrameContentSize(frame.data(), frame.size()), b.decodedSize);
        const std::size_t n = ZSTD_decompress(&out[0], out.size(), frame.data(), frame.size());
        EXPECT_FALSE(ZSTD_isError(n));
        return out;
    }

    fs::path dir_;
    std::vector<ReleaseItem> items_;
    std::vector<std::string> bytes_;
};

TEST_F(PackItemsTest, RunsThatShrinkInBlocksTheStartItemsAloneTheRestStored) {
    Add("Setup.log", Text(3000, 1));   // 0: FileTxt5 is read whole at the start: stored
    items_.back().entry.ResourceName = "FileTxt5";
    Add("Uninstall.exe", Text(5000, 9));  // 1: the uninstaller, alone
    items_.back().entry.ResourceName = "uninstall";
    Add("a.txt", Text(200000, 2));     // 2, 3: one block
    Add("b.dat", Text(100000, 3));
    Add("help.chm", Noise(300000, 4)); // 4: does not shrink: stored, and the run goes on
    Add("c.txt", Text(50000, 5));      // 5, 6: in the same block
    Add("tiny", "x");
    Add("TAVI.exe", Noise(10000, 6));  // 7: the main program does not shrink
    items_.back().entry.ResourceName = "FileExe";
    ScratchFile scratch;
    ASSERT_TRUE(scratch.Create((dir_ / "out.exe").string()));
    // The scratch file leaves no name in the folder: only the items are there.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 8);
    PackPlan plan;
    std::string failure;
    ASSERT_TRUE(PackItems(items_, PackOptions{}, scratch, plan, failure)) << failure;
    EXPECT_EQ(plan.blockOf, (std::vector<int>{-1, 0, 1, 1, -1, 1, 1, -1}));
    ASSERT_EQ(plan.blocks.size(), 2u);
    std::uint64_t written = bytes_[0].size() + bytes_[4].size() + bytes_[7].size();
    for (std::size_t b = 0; b < plan.blocks.size(); ++b) {
        const PackedBlock& block = plan.blocks[b];
        EXPECT_EQ(block.id, kFirstBlockId + b);
        std::string expected;
        for (std::size_t i : block.items) {
            EXPECT_EQ(plan.sums[i].block, block.id);
            EXPECT_EQ(plan.sums[i].offset, expected.size());
            expected += bytes_[i];
        }
        EXPECT_EQ(Decoded(scratch, block), expected) << b;
        written += kBlockHeaderSize + block.frameSize;
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
        EXPECT_EQ(plan.sums[i].size, bytes_[i].size());
        if (plan.blockOf[i] >= 0) EXPECT_EQ(plan.sums[i].crc32, Crc32(bytes_[i])) << i;
        else EXPECT_EQ(plan.sums[i].block, 0u);
    }
    EXPECT_EQ(plan.sums[2].name, "A.TXT");
    EXPECT_EQ(plan.writtenBytes, written);
    EXPECT_LT(written, bytes_[0].size() + bytes_[4].size() + bytes_[7].size() + 40000u);  // the text shrinks
}

// Random bytes do not shrink; two near copies of them do, together: both
// join the run, one after the other in its block.
TEST_F(PackItemsTest, NearCopiesThatDoNotShrinkAloneShrinkTogether) {
    const std::string noise = Noise(200000, 11);
    Add("a.txt", Text(20000, 1));
    Add("one.gz", noise);
    Add("two.gz", "x" + noise.substr(1));
    Add("other.gz", Noise(200000, 12));
    ScratchFile scratch;
    ASSERT_TRUE(scratch.Create((dir_ / "out.exe").string()));
    PackPlan plan;
    std::string failure;
    ASSERT_TRUE(PackItems(items_, PackOptions{}, scratch, plan, failure)) << failure;
    EXPECT_EQ(plan.blockOf, (std::vector<int>{0, 0, 0, -1}));
    ASSERT_EQ(plan.blocks.size(), 1u);
    EXPECT_EQ(Decoded(scratch, plan.blocks[0]), bytes_[0] + bytes_[1] + bytes_[2]);
    EXPECT_LT(plan.blocks[0].frameSize, 230000u);
}

TEST_F(PackItemsTest, TheSameBytesWhateverTheThreadsAndNoneStored) {
    Add("a.txt", Text(3000000, 1));
    Add("b.txt", Text(2000000, 7));
    std::string frames[2];
    const int threads[2] = {1, 3};
    for (int k = 0; k < 2; ++k) {
        ScratchFile scratch;
        ASSERT_TRUE(scratch.Create((dir_ / "out.exe").string()));
        PackPlan plan;
        std::string failure;
        PackOptions o;
        o.level = 5;
        o.threads = threads[k];
        ASSERT_TRUE(PackItems(items_, o, scratch, plan, failure)) << failure;
        ASSERT_EQ(plan.blocks.size(), 1u);
        frames[k].resize(scratch.Size());
        ASSERT_TRUE(scratch.ReadAt(0, &frames[k][0], frames[k].size()));
    }
    EXPECT_EQ(frames[0], frames[1]);

    ScratchFile scratch;
    ASSERT_TRUE(scratch.Create((dir_ / "out.exe").string()));
    PackPlan plan;
    std::string failure;
    PackOptions store;
    store.store = true;
    ASSERT_TRUE(PackItems(items_, store, scratch, plan, failure));
    EXPECT_TRUE(plan.blocks.empty());
    EXPECT_EQ(plan.blockOf, (std::vector<int>{-1, -1}));
    EXPECT_EQ(plan.writtenBytes, 5000000u);
    EXPECT_EQ(scratch.Size(), 0u);
}

TEST_F(PackItemsTest, AnItemThatChangedSizeStopsIt) {
    Add("a.txt", Text(100000, 1));
    items_.back().size = 90000;  // the check saw it smaller
    ScratchFile scratch;
    ASSERT_TRUE(scratch.Create((dir_ / "out.exe").string()));
    PackPlan plan;
    std::string failure;
    EXPECT_FALSE(PackItems(items_, PackOptions{}, scratch, plan, failure));
    EXPECT_EQ(failure, items_[0].file + " changed while the setup was being made; make it again");
}

} // namespace
