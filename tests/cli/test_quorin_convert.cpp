#include "platform/process.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <map>
#include <set>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using testsupport::runTool;

std::string tool() {
    return std::string(QUORIN_TEST_PROGRAM_DIR) + "/quorin-convert";
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Streams of a file as ffprobe sees them ("h264,aac"); empty when it is not media.
std::string streamsOf(const fs::path& file) {
    auto r = runTool(
        {"ffprobe", "-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", file.string()});
    if (r.exit_code != 0)
        return {};
    std::string joined;
    for (const auto& l : lines(r.output))
        joined += (joined.empty() ? "" : ",") + l;
    return joined;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testsupport::makeClip(dir / "src.mp4", 1.0, true, true,
                                          {"-s", "160x120", "-pix_fmt", "yuv420p"}));
    }
    testsupport::IsolatedHome home;
    testsupport::TempDir dir;
};

TEST_F(CliTest, CommandPrintsTheDocumentedLine) {
    ASSERT_TRUE(
        testsupport::makeClip(dir / "big.mp4", 0.2, true, true, {"-s", "1920x1080", "-r", "24", "-ac", "2"}));
    const std::string out = (dir / "out").string();
    auto r = runTool({tool(), "command", "--preset", "720", "--output-dir", out, (dir / "big.mp4").string()});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    const std::string progress = (home.dataDir() / "log/big_mp4").string();
    EXPECT_EQ(
        r.output,
        "ffmpeg -hide_banner -progress \"" + progress + "\" -y -i \"" + (dir / "big.mp4").string() +
            "\" -ac 2 -c:a aac -preset superfast -pix_fmt yuv420p -max_muxing_queue_size 34500 -map 0:0 "
            "-map 0:1 -s 1280x720 \"" +
            out + "/big.mp4\"\n");

    r = runTool({tool(), "command", "--mode", "audio2", "--format", "ogg", "--preset", "256", "--volume",
                 "1.5", "--output-dir", out, (dir / "big.mp4").string()});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.output.find("\" -filter:a volume=1.5,atempo=1.0 -vn -map 0:1 -ar 44100 -preset "
                            "superfast -max_muxing_queue_size 34500 \""),
              std::string::npos)
        << r.output;

    r = runTool({tool(), "command", "--mode", "merge", (dir / "big.mp4").string()});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.output.find(" -r 30 -ac 2 -ar 44100 -b:a 128k -c:v libx264 -b:v 2500k"), std::string::npos);
    EXPECT_NE(r.output.find("/QuorinVideoConverter/merge_"), std::string::npos);
}

TEST_F(CliTest, UsageErrorsExitTwo) {
    const std::string src = (dir / "src.mp4").string();
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"convert"},
        {"convert", "--mode", "audio", "--format", "wav", src},
        {"convert", "--format", "mp3", src},
        {"convert", "--preset", "128", src},
        {"convert", "--clip", "5-2", src},
        {"convert", "--crop", "1,2,3", src},
        {"convert", "--bogus", src},
        {"command", src, src},
        {"convert", "--mode", "merge", "--format", "webm", src},
        {"convert", "--mode", "audio", "--speed", "2", src},
        // Values that would reach the command as 0.
        {"convert", "--mode", "audio2", "--format", "mp3", "--speed", "1e-50", src},
        {"convert", "--fps-override", "1e-46", src},
        {"convert", "--bitrate-override", "0.0001", src},
        {"convert", "--jobs", "0", src},
        {"convert", "--jobs", "33", src},
        {"convert", "--jobs=two", src},
    };
    for (auto args : bad) {
        args.insert(args.begin(), tool());
        auto r = runTool(args);
        EXPECT_EQ(r.exit_code, 2) << args.size() << ": " << r.output;
        EXPECT_NE(r.output.find("quorin-convert: "), std::string::npos);
    }
}

TEST_F(CliTest, HelpListsWhatEachModeOffers) {
    auto r = runTool({tool(), "--help"});
    ASSERT_EQ(r.exit_code, 0);
    EXPECT_NE(r.output.find(
                  "--format mp4|mkv|avi|wmv|flv|mov|webm|gif|mp3|m4a|wav|wma|aac|flac|ac3|m4r|ogg|origin\n"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("audio     mp3 m4a\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("compress  mp4 origin\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("--preset origin|1080|720|dvd|tv|phone|256|128|96\n"), std::string::npos);
}

struct ModeFormats {
    const char* mode;
    std::vector<const char*> formats;
    const char* expect_streams;  // of the first format's output
};

void PrintTo(const ModeFormats& p, std::ostream* os) {
    *os << p.mode;
}

class EveryFormat : public CliTest, public ::testing::WithParamInterface<ModeFormats> {};

TEST_P(EveryFormat, ProducesPlayableOutputs) {
    const auto& p = GetParam();
    for (const char* format : p.formats) {
        auto out = dir / (std::string(p.mode) + "_" + format);
        auto r = runTool({tool(), "convert", "--mode", p.mode, "--format", format, "--output-dir",
                          out.string(), (dir / "src.mp4").string()});
        ASSERT_EQ(r.exit_code, 0) << format << ": " << r.output;
        auto printed = lines(r.output);
        ASSERT_FALSE(printed.empty());
        fs::path result = printed.back();
        EXPECT_EQ(result.parent_path(), out);
        std::string streams = streamsOf(result);
        EXPECT_FALSE(streams.empty()) << format;
        if (format == p.formats.front()) {
            EXPECT_EQ(streams, p.expect_streams) << format;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, EveryFormat,
    ::testing::Values(
        ModeFormats{"video", {"mp4", "mkv", "avi", "wmv", "flv", "mov", "webm"}, "video,audio"},
        ModeFormats{"audio2", {"mp3", "m4a", "wav", "wma", "aac", "flac", "ac3", "m4r", "ogg"}, "audio"},
        ModeFormats{"audio", {"m4a", "mp3"}, "audio"}, ModeFormats{"gif", {"gif"}, "video"},
        ModeFormats{"compress", {"origin", "mp4"}, "video,audio"}),
    [](const auto& info) { return std::string(info.param.mode); });

TEST_F(CliTest, AwkwardNamesAndTheRenameRule) {
    std::vector<std::string> names = {"with blank.mp4", "quo\"te.mp4", "-dash.mp4", "Übergrößé ça.mp4"};
    std::vector<std::string> args = {tool(), "convert",      "--format",
                                     "mkv",  "--output-dir", (dir / "out").string()};
    for (const auto& n : names) {
        fs::copy_file(dir / "src.mp4", dir / n);
        args.push_back((dir / n).string());
    }
    auto r = runTool(args);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    for (const auto& n : names) {
        auto out = dir / "out" / (fs::path(n).stem().string() + ".mkv");
        EXPECT_EQ(streamsOf(out), "video,audio") << n;
    }
    r = runTool(args);  // beside the first outputs: renamed, nothing overwritten
    ASSERT_EQ(r.exit_code, 0) << r.output;
    int renamed = 0;
    for (const auto& l : lines(r.output))
        renamed += l.find(".mkv") != std::string::npos && l.find("_0_") != std::string::npos;
    EXPECT_EQ(renamed, 4) << r.output;
}

TEST_F(CliTest, MergePreparesPartsAndJoinsThem) {
    const std::string src = (dir / "src.mp4").string();
    auto r = runTool({tool(), "convert", "--mode", "merge", "--preset", "phone", "--output-dir",
                      (dir / "out").string(), src, src});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    fs::path merged = lines(r.output).back();
    EXPECT_EQ(merged.parent_path(), dir / "out");
    EXPECT_EQ(streamsOf(merged), "video,audio");
    auto probe = runTool({"ffprobe", "-v", "error", "-show_entries", "format=duration:stream=width,height",
                          "-of", "csv=p=0", merged.string()});
    EXPECT_NE(probe.output.find("320,240"), std::string::npos) << probe.output;
    EXPECT_NEAR(std::stod(lines(probe.output).back()), 2.0, 0.3);
    // The prepared parts are gone from the work folder.
    for (const auto& e : fs::directory_iterator(home.root() / "tmp/QuorinVideoConverter"))
        EXPECT_EQ(e.path().filename().string().rfind("merge_", 0), std::string::npos) << e.path();
}

TEST_F(CliTest, MergePartsWithoutSoundGetSilenceAndPartsWithoutPictureAreRefused) {
    ASSERT_TRUE(testsupport::makeClip(dir / "mute.mp4", 1.0, true, false, {"-s", "160x120"}));
    ASSERT_TRUE(testsupport::makeClip(dir / "sound.m4a", 1.0, false, true));
    auto r = runTool({tool(), "convert", "--mode", "merge", "--preset", "phone", "--output-dir",
                      (dir / "out").string(), (dir / "mute.mp4").string(), (dir / "src.mp4").string()});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    // The sound runs the whole length: the first part's silence, then the second's sound.
    auto probe = runTool({"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
                          "stream=duration", "-of", "csv=p=0", lines(r.output).back()});
    EXPECT_NEAR(std::stod(probe.output), 2.0, 0.3) << probe.output;
    r = runTool({tool(), "convert", "--mode", "merge", "--output-dir", (dir / "out2").string(),
                 (dir / "src.mp4").string(), (dir / "sound.m4a").string()});
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_NE(r.output.find("sound.m4a: "), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(dir / "out2") && !fs::is_empty(dir / "out2"));
}

TEST_F(CliTest, MergeRefusesAWorkFolderTheListCannotName) {
    const std::string src = (dir / "src.mp4").string();
    const fs::path tmp = dir / "tmp\nfile 'x'";
    fs::create_directories(tmp);
    auto r = runTool({"env", "TMPDIR=" + tmp.string(), tool(), "convert", "--mode", "merge", "--output-dir",
                      (dir / "out").string(), src, src});
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_NE(r.output.find("holds a line break"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(dir / "out") && !fs::is_empty(dir / "out"));
}

TEST_F(CliTest, BrokenInputsFailAloneAndReadably) {
    testsupport::writeFile(dir / "zero.mp4", "");
    testsupport::writeFile(dir / "junk.mp4", std::string(5000, 'j'));
    auto r = runTool({tool(), "convert", "--output-dir", (dir / "out").string(), (dir / "zero.mp4").string(),
                      (dir / "src.mp4").string(), (dir / "junk.mp4").string()});
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_NE(r.output.find("zero.mp4: conversion failed: "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("junk.mp4: conversion failed: "), std::string::npos) << r.output;
    EXPECT_EQ(streamsOf(dir / "out/src.mp4"), "video,audio");
    // A WAV header without samples: ffmpeg ends "successfully" with an empty output.
    ASSERT_EQ(runTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "anullsrc", "-t", "0",
                       (dir / "empty.wav").string()})
                  .exit_code,
              0);
    r = runTool({tool(), "convert", "--mode", "audio2", "--format", "mp3", "--output-dir",
                 (dir / "out").string(), (dir / "empty.wav").string()});
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_NE(r.output.find("onversion produced nothing that plays"), std::string::npos) << r.output;
    // Failed jobs leave nothing behind; the earlier output stays.
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir / "out"))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"src.mp4"});
}

// For front ends: with --json every line is one object, progress rises per file and each
// file ends once; with --jobs the files run side by side into distinct outputs.
TEST_F(CliTest, JsonLinesFromSeveralJobsAtOnce) {
    testsupport::writeFile(dir / "junk.mp4", std::string(5000, 'j'));
    fs::create_directory(dir / "b");
    fs::copy_file(dir / "src.mp4", dir / "b/src.mp4");
    const std::string src = (dir / "src.mp4").string(), copy = (dir / "b/src.mp4").string(),
                      junk = (dir / "junk.mp4").string();
    auto r = runTool({tool(), "convert", "--json", "--jobs", "3", "--format", "mkv", "--output-dir",
                      (dir / "out").string(), src, junk, copy});
    EXPECT_EQ(r.exit_code, 1) << r.output;
    std::map<std::string, int> last_percent;
    std::map<std::string, std::string> state, output;
    for (const std::string& line : lines(r.output)) {
        ASSERT_TRUE(line.starts_with("{\"event\":\"") && line.ends_with("}")) << line;
        const auto field = [&line](const std::string& name) {
            const std::size_t at = line.find("\"" + name + "\":");
            if (at == std::string::npos)
                return std::string();
            std::size_t from = at + name.size() + 3, to = from;
            if (line[from] == '"')
                to = line.find('"', ++from);
            else
                to = line.find_first_of(",}", from);
            return line.substr(from, to - from);
        };
        const std::string file = field("file");
        if (field("event") == "progress") {
            EXPECT_FALSE(state.contains(file)) << "progress after the end: " << line;
            EXPECT_GT(std::stoi(field("percent")), last_percent[file]) << line;
            last_percent[file] = std::stoi(field("percent"));
        } else {
            ASSERT_EQ(field("event"), "finished") << line;
            EXPECT_FALSE(state.contains(file)) << "ended twice: " << line;
            state[file] = field("state");
            output[file] = field("output");
            EXPECT_FALSE(field("seconds").empty()) << line;
            EXPECT_EQ(field("error").empty(), state[file] == "done") << line;
        }
    }
    EXPECT_EQ(state, (std::map<std::string, std::string>{{src, "done"}, {junk, "failed"}, {copy, "done"}}));
    EXPECT_NE(output[src], output[copy]);
    EXPECT_EQ(streamsOf(output[src]), "video,audio");
    EXPECT_EQ(streamsOf(output[copy]), "video,audio");
    EXPECT_EQ(last_percent[src], 100);
}

TEST_F(CliTest, ProbePrintsTheMediaInfo) {
    auto r = runTool({tool(), "probe", (dir / "src.mp4").string()});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    for (const char* field :
         {"\"ok\": true", "\"duration\": 1,", "\"width\": 160", "\"height\": 120", "\"fps\": 25,",
          "\"rotation\": 0", "\"channels\": 1", "\"source_resolution\": \"160x120\"",
          "\"has_data_stream\": 0", "\"no_video\": 0", "\"cover_seek\": 0", "\"size_text\": \""})
        EXPECT_NE(r.output.find(field), std::string::npos) << field << "\n" << r.output;
}

TEST_F(CliTest, InterruptStopsTheChildAndExits130) {
    ASSERT_TRUE(testsupport::makeClip(dir / "long.mp4", 10, true, true, {"-s", "1280x720", "-c:v", "mpeg4"}));
    platform::CommandLine cmd(tool());
    cmd.args(
        {"convert", "--format", "mkv", "--output-dir", (dir / "out").string(), (dir / "long.mp4").string()});
    auto child = platform::Process::start(
        cmd, {.working_dir = {}, .output_file = dir / "log.txt", .new_process_group = true});
    ASSERT_TRUE(child);
    auto partial = dir / "out/long.mkv";
    for (int i = 0; i < 100 && !fs::exists(partial); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(partial)) << testsupport::readFile(dir / "log.txt");
    // Once ffmpeg is writing, a stop lets it close the file: what was written plays.
    for (int i = 0; i < 200 && fs::file_size(partial) < 20000; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::kill(child->pid(), SIGINT);
    EXPECT_EQ(child->wait(), 130) << testsupport::readFile(dir / "log.txt");
    ASSERT_TRUE(fs::exists(partial));
    EXPECT_EQ(streamsOf(partial), "video,audio");
    // No ffmpeg is left writing the file.
    auto size = fs::file_size(partial);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(fs::file_size(partial), size);
}

TEST_F(CliTest, KilledConverterLeavesNoFfmpegRunning) {
    ASSERT_TRUE(testsupport::makeClip(dir / "long.mp4", 10, true, true, {"-s", "1280x720", "-c:v", "mpeg4"}));
    platform::CommandLine cmd(tool());
    cmd.args(
        {"convert", "--format", "mkv", "--output-dir", (dir / "out").string(), (dir / "long.mp4").string()});
    auto child = platform::Process::start(cmd, {.working_dir = {}, .output_file = dir / "log.txt"});
    ASSERT_TRUE(child);
    auto partial = dir / "out/long.mkv";
    for (int i = 0; i < 200 && (!fs::exists(partial) || fs::file_size(partial) == 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::kill(child->pid(), SIGKILL);
    child->wait();
    // The orphan would go on writing; it dies with its parent instead.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto size = fs::exists(partial) ? fs::file_size(partial) : 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(fs::exists(partial) ? fs::file_size(partial) : 0, size);
}

TEST_F(CliTest, ProcessesSideBySideGetTheirOwnOutputs) {
    // Three converters of one file into one folder at once: each claims its own name.
    std::vector<std::unique_ptr<platform::Process>> runs;
    for (int i = 0; i < 3; ++i) {
        platform::CommandLine cmd(tool());
        cmd.args({"convert", "--format", "mkv", "--output-dir", (dir / "out").string(),
                  (dir / "src.mp4").string()});
        runs.push_back(platform::Process::start(
            cmd, {.working_dir = {}, .output_file = dir / ("log" + std::to_string(i) + ".txt")}));
        ASSERT_TRUE(runs.back());
    }
    std::set<std::string> outputs;
    for (int i = 0; i < 3; ++i) {
        const int code = runs[static_cast<std::size_t>(i)]->wait();
        const std::string log = testsupport::readFile(dir / ("log" + std::to_string(i) + ".txt"));
        EXPECT_EQ(code, 0) << log;
        for (const auto& l : lines(log))
            if (l.find(".mkv") != std::string::npos && l.find("quorin-convert") == std::string::npos)
                outputs.insert(l);
    }
    ASSERT_EQ(outputs.size(), 3u);
    for (const auto& o : outputs)
        EXPECT_EQ(streamsOf(o), "video,audio") << o;
}

}  // namespace
