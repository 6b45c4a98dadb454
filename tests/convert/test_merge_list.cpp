// The concat list as ffmpeg reads it back.

#include "convert/merge_list.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

TEST(ConcatListNames, LineBreaksAreRefusedAndNothingIsWritten) {
    testsupport::TempDir dir;
    for (std::string bad : {std::string("/w/a\nfile '/etc/passwd'.mp4"), std::string("/w/a\rb.mp4"),
                            std::string("/w/a\0b.mp4", 10)}) {
        EXPECT_FALSE(convert::concatListAccepts(bad));
        EXPECT_FALSE(convert::writeConcatList(dir / "list.txt", {"/w/ok.mp4", bad}));
        EXPECT_FALSE(fs::exists(dir / "list.txt"));
    }
    EXPECT_TRUE(convert::concatListAccepts("/w/it's \\ #1.mp4"));
}

// Quotes, backslashes, '#', blanks at either end and non-ASCII letters: ffmpeg's
// concat demuxer opens every part under its own name.
TEST(ConcatListNames, FfmpegOpensEveryPartByItsName) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::makeClip(dir / "clip.mp4", 1, true, false, {"-s", "32x24", "-r", "10"}));
    std::vector<std::string> parts;
    for (const char* name : {"it's.mp4", " #b\\x'' .mp4", "Übung 日本 'q'.mp4", "file 'x'.mp4"}) {
        fs::copy_file(dir / "clip.mp4", dir / name);
        parts.push_back((dir / name).string());
    }
    ASSERT_TRUE(convert::writeConcatList(dir / "list.txt", parts));
    auto packets = [](std::vector<std::string> input) {
        std::vector<std::string> argv = {"ffprobe", "-v", "error"};
        argv.insert(argv.end(), input.begin(), input.end());
        argv.insert(argv.end(),
                    {"-count_packets", "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0"});
        auto r = testsupport::runTool(argv);
        EXPECT_EQ(r.exit_code, 0) << r.output;
        return r.exit_code == 0 ? std::stoi(r.output) : -1;
    };
    const int one = packets({"-i", (dir / "clip.mp4").string()});
    ASSERT_GT(one, 0);
    // Every part is read: a misquoted name would end the list early or fail it.
    EXPECT_EQ(packets({"-f", "concat", "-safe", "0", "-i", (dir / "list.txt").string()}), 4 * one);
}

}  // namespace
