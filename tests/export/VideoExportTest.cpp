// The export's pure parts: formats by file name, frame-number patterns, ffmpeg's arguments,
// finding ffmpeg, temporary names, the progress text, and the frames playback shows.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/FfmpegJob.h"
#include "export/OfflinePlayback.h"
#include "export/PendingOutput.h"
#include "export/Progress.h"
#include "platform/ChildProcess.h"

namespace {

namespace fs = std::filesystem;

// The value after option name in args, or "" when the option is absent.
std::string valueOf(const std::vector<std::string>& args, const std::string& name) {
    auto it = std::find(args.begin(), args.end(), name);
    return it == args.end() || it + 1 == args.end() ? "" : *(it + 1);
}

int countOf(const std::vector<std::string>& args, const std::string& word) {
    return int(std::count(args.begin(), args.end(), word));
}

TEST(ExportFormatTest, TheExtensionChoosesTheFormatWithoutRegardToCase) {
    EXPECT_EQ(exportFormatForPath("out.mp4"), ExportFormat::Mp4);
    EXPECT_EQ(exportFormatForPath("dir.webm/OUT.MP4"), ExportFormat::Mp4);
    EXPECT_EQ(exportFormatForPath("/tmp/a.WebM"), ExportFormat::WebM);
    EXPECT_EQ(exportFormatForPath("a.gif"), ExportFormat::Gif);
    EXPECT_EQ(exportFormatForPath("frames-%05d.png"), ExportFormat::PngSequence);
    EXPECT_EQ(exportFormatForPath("f%d.PNG"), ExportFormat::PngSequence);
    // Without a frame-number field a PNG name could only hold one frame.
    EXPECT_EQ(exportFormatForPath("still.png"), ExportFormat::Unknown);
    EXPECT_EQ(exportFormatForPath("out.avi"), ExportFormat::Unknown);
    EXPECT_EQ(exportFormatForPath("mp4"), ExportFormat::Unknown);
    EXPECT_EQ(exportFormatForPath("out.mp4/"), ExportFormat::Unknown);
    EXPECT_EQ(exportFormatForPath(""), ExportFormat::Unknown);
}

TEST(ExportFormatTest, OnlyVideoFormatsCarrySoundAndGifHoldsEverySecondFrame) {
    EXPECT_TRUE(exportFormatHasSound(ExportFormat::Mp4));
    EXPECT_TRUE(exportFormatHasSound(ExportFormat::WebM));
    EXPECT_FALSE(exportFormatHasSound(ExportFormat::Gif));
    EXPECT_FALSE(exportFormatHasSound(ExportFormat::PngSequence));
    EXPECT_EQ(exportFramesPerSecond(ExportFormat::Mp4), 60);
    EXPECT_EQ(exportFramesPerSecond(ExportFormat::PngSequence), 60);
    EXPECT_EQ(exportFramesPerSecond(ExportFormat::Gif), 30);
}

TEST(FrameNumberPatternTest, AcceptsOneNumberFieldAndEscapedPercents) {
    EXPECT_TRUE(isFrameNumberPattern("f%d.png"));
    EXPECT_TRUE(isFrameNumberPattern("out/f-%05d.png"));
    EXPECT_FALSE(isFrameNumberPattern("100%%-%3d.png"));  // a width without 0: refused
    EXPECT_TRUE(isFrameNumberPattern("100%%-%04d.png"));
    EXPECT_FALSE(isFrameNumberPattern("f.png"));
    EXPECT_FALSE(isFrameNumberPattern("f%d-%d.png"));         // two fields
    EXPECT_FALSE(isFrameNumberPattern("f%s.png"));            // not a number
    EXPECT_FALSE(isFrameNumberPattern("f%n.png"));
    EXPECT_FALSE(isFrameNumberPattern("f%010d.png"));         // two-digit width
    EXPECT_FALSE(isFrameNumberPattern("f%0d.png"));
    EXPECT_FALSE(isFrameNumberPattern("f%"));
    EXPECT_FALSE(isFrameNumberPattern("f%05"));
    EXPECT_FALSE(isFrameNumberPattern("run%d/f.png"));        // field in a folder name
    EXPECT_FALSE(isFrameNumberPattern("run%d/f%d.png"));
}

TEST(FrameNumberPatternTest, ExpandsTheFieldZeroPaddedAndPercentSigns) {
    EXPECT_EQ(expandFrameNumber("f%d.png", 0), "f0.png");
    EXPECT_EQ(expandFrameNumber("f%d.png", 1234), "f1234.png");
    EXPECT_EQ(expandFrameNumber("a/f-%05d.png", 42), "a/f-00042.png");
    EXPECT_EQ(expandFrameNumber("f-%03d.png", 12345), "f-12345.png");
    EXPECT_EQ(expandFrameNumber("100%%-%02d.png", 7), "100%-07.png");
}

FfmpegJob mp4Job() {
    FfmpegJob job;
    job.format = ExportFormat::Mp4;
    job.output = "./.out.mp4.12.part";
    job.width = 1280;
    job.height = 720;
    job.frameCount = 90;
    job.musicPath = "data/music.ogg";
    return job;
}

TEST(FfmpegArgumentsTest, Mp4ReadsRawFramesAt60FpsAndMuxesTheMusicCutToTheVideo) {
    const std::vector<std::string> a = ffmpegArguments(mp4Job());
    // The first input: raw RGB frames of the given size on standard input, at 60 fps.
    EXPECT_EQ(valueOf(a, "-f"), "rawvideo");
    EXPECT_EQ(valueOf(a, "-pixel_format"), "rgb24");
    EXPECT_EQ(valueOf(a, "-video_size"), "1280x720");
    EXPECT_EQ(valueOf(a, "-framerate"), "60");
    EXPECT_EQ(valueOf(a, "-i"), "pipe:0");
    EXPECT_EQ(countOf(a, "-i"), 2);
    EXPECT_EQ(countOf(a, "file:data/music.ogg"), 1);
    EXPECT_EQ(countOf(a, "0:v:0"), 1);
    EXPECT_EQ(countOf(a, "1:a:0"), 1);
    // 90 frames are 1.5 s: 72000 samples at 48 kHz, padded with silence and cut to that.
    EXPECT_EQ(valueOf(a, "-af"), "aresample=48000,apad=whole_len=72000,atrim=end_sample=72000");
    EXPECT_EQ(valueOf(a, "-c:v"), "libx264");
    EXPECT_EQ(valueOf(a, "-c:a"), "aac");
    EXPECT_NE(valueOf(a, "-vf").find("format=yuv420p"), std::string::npos);
    // A frame limit would end the sound with the video's last frame: the pipe decides.
    EXPECT_EQ(countOf(a, "-frames:v"), 0);
    EXPECT_EQ(countOf(a, "-y"), 1);
    EXPECT_EQ(a[a.size() - 3], "-f");
    EXPECT_EQ(a[a.size() - 2], "mp4");
    EXPECT_EQ(a.back(), "file:./.out.mp4.12.part");
}

TEST(FfmpegArgumentsTest, WithoutMusicThereIsNoSecondInputAndNoSound) {
    FfmpegJob job = mp4Job();
    job.musicPath.clear();
    const std::vector<std::string> a = ffmpegArguments(job);
    EXPECT_EQ(countOf(a, "-i"), 1);
    EXPECT_EQ(countOf(a, "-af"), 0);
    EXPECT_EQ(countOf(a, "-c:a"), 0);
    EXPECT_EQ(countOf(a, "1:a:0"), 0);
}

TEST(FfmpegArgumentsTest, EachFormatGetsItsCodecsAndMuxer) {
    FfmpegJob job = mp4Job();
    job.format = ExportFormat::WebM;
    job.output = "./.out.webm.1.part";
    std::vector<std::string> a = ffmpegArguments(job);
    EXPECT_EQ(valueOf(a, "-c:v"), "libvpx-vp9");
    EXPECT_EQ(valueOf(a, "-c:a"), "libopus");
    EXPECT_EQ(a[a.size() - 2], "webm");

    // GIF and PNG frames carry no sound even when there is music.
    job.format = ExportFormat::Gif;
    a = ffmpegArguments(job);
    EXPECT_EQ(countOf(a, "-i"), 1);
    EXPECT_EQ(countOf(a, "-c:a"), 0);
    EXPECT_NE(valueOf(a, "-vf").find("fps=30"), std::string::npos);
    EXPECT_NE(valueOf(a, "-vf").find("paletteuse"), std::string::npos);
    EXPECT_EQ(a[a.size() - 2], "gif");

    job.format = ExportFormat::PngSequence;
    job.output = "/tmp/.tumelora-export-ab12/f-%05d.png";
    a = ffmpegArguments(job);
    EXPECT_EQ(countOf(a, "-i"), 1);
    EXPECT_EQ(valueOf(a, "-c:v"), "png");
    // Numbered from 0, so file n holds animation frame n.
    EXPECT_EQ(valueOf(a, "-start_number"), "0");
    EXPECT_EQ(a[a.size() - 2], "image2");
    EXPECT_EQ(a.back(), "file:/tmp/.tumelora-export-ab12/f-%05d.png");
}

TEST(FfmpegArgumentsTest, NamesThatLookLikeOptionsOrUrlsStayFileNames) {
    FfmpegJob job = mp4Job();
    job.output = "-y:http://x.mp4";
    job.musicPath = "-i";
    const std::vector<std::string> a = ffmpegArguments(job);
    EXPECT_EQ(a.back(), "file:-y:http://x.mp4");
    EXPECT_EQ(countOf(a, "file:-i"), 1);
}

// A folder with programs named ffmpeg: one executable, one not.
class FindFfmpegTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tumelora-find-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        fs::create_directories(root / "plain");
        fs::create_directories(root / "tool");
        fs::create_directories(root / "dir" / "ffmpeg");
        std::ofstream(root / "plain" / "ffmpeg") << "not a program\n";
        std::ofstream(root / "tool" / "ffmpeg") << "#!/bin/sh\n";
        chmod((root / "plain" / "ffmpeg").c_str(), 0644);
        chmod((root / "tool" / "ffmpeg").c_str(), 0755);
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(FindFfmpegTest, TakesTheFirstExecutableOnPathSkippingOthers) {
    const std::string path = (root / "missing").string() + ":" + (root / "dir").string() + ":" +
                             (root / "plain").string() + ":" + (root / "tool").string();
    EXPECT_EQ(findFfmpeg(nullptr, path.c_str()), (root / "tool" / "ffmpeg").string());
    EXPECT_EQ(findFfmpeg("", path.c_str()), (root / "tool" / "ffmpeg").string());
    const std::string none = (root / "plain").string() + ":" + (root / "missing").string();
    EXPECT_EQ(findFfmpeg(nullptr, none.c_str()), "");
    EXPECT_EQ(findFfmpeg(nullptr, nullptr), "");
}

TEST_F(FindFfmpegTest, TheVariableWinsAndIsTakenAsGiven) {
    const std::string path = (root / "tool").string();
    EXPECT_EQ(findFfmpeg("/nonexistent/ffmpeg", path.c_str()), "/nonexistent/ffmpeg");
}

TEST(OutputPathTest, TheTemporaryNameIsHiddenBesideTheFinalOne) {
    EXPECT_EQ(pathFolder("out.mp4"), ".");
    EXPECT_EQ(pathFolder("a/b/out.mp4"), "a/b");
    EXPECT_EQ(pathFolder("/out.mp4"), "/");
    EXPECT_EQ(pathFileName("a/b/out.mp4"), "out.mp4");
    EXPECT_EQ(pathFileName("out.mp4"), "out.mp4");
    EXPECT_EQ(temporaryOutputPath("out.mp4", 42), "./.out.mp4.42.part");
    EXPECT_EQ(temporaryOutputPath("build/x.webm", 7), "build/.x.webm.7.part");
    EXPECT_EQ(temporaryOutputPath("/x.gif", 7), "/.x.gif.7.part");
}

// A folder of the test's own.
class OutputFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tumelora-output-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

// Only the leftovers of runs whose process is gone are removed: never the output of an export
// that still runs (here: this process), never a file that only looks alike.
TEST_F(OutputFolderTest, LeftoversOfGoneRunsAreRemovedAndNothingElse) {
    const pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    const fs::path dead = root / (".out.mp4." + std::to_string(gone) + ".part");
    const fs::path running = root / (".out.mp4." + std::to_string(getpid()) + ".part");
    const fs::path deadSequence = root / (".tumelora-export-" + std::to_string(gone) + ".part");
    const fs::path lookalike = root / ".out.mp4.12a.part";
    const fs::path otherName = root / (".other.mp4." + std::to_string(gone) + ".part");
    for (const fs::path& p : {dead, running, lookalike, otherName}) std::ofstream(p) << "frames";
    fs::create_directories(deadSequence);
    std::ofstream(deadSequence / "f-00001.png") << "frame";

    std::vector<std::string> removed = removeLeftoverOutputs((root / "out.mp4").string());
    std::sort(removed.begin(), removed.end());
    std::vector<std::string> expected = {dead.string(), deadSequence.string()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(removed, expected);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_FALSE(fs::exists(deadSequence));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(lookalike));
    EXPECT_TRUE(fs::exists(otherName));
}

TEST(ProgressLineTest, ShowsTheBarFramesRateAndTimeLeft) {
    EXPECT_EQ(progressLine(30, 120, 1.0, 10), "[##--------] 30/120 frames  30.0 fps  0:03 left");
    EXPECT_EQ(progressLine(120, 120, 2.0, 4), "[####] 120/120 frames  60.0 fps  0:00 left");
    // Nothing done yet: no rate, no estimate.
    EXPECT_EQ(progressLine(0, 10, 0.0, 2), "[--] 0/10 frames  0.0 fps  --:-- left");
    // Long exports show hours.
    EXPECT_EQ(progressLine(1, 10801, 1.0, 1), "[-] 1/10801 frames  1.0 fps  3:00:00 left");
    // Out-of-range counts are clamped rather than drawing a broken bar.
    EXPECT_EQ(progressLine(15, 10, 1.0, 2), "[##] 10/10 frames  10.0 fps  0:00 left");
}

// The export holds the frames playback shows: up to the music's end or the tracks' last frame.
TEST(PlaybackFrameCountTest, TheMusicsEndTheLastFrameOrTheAnimationsEndEndsTheExport) {
    EXPECT_EQ(playbackFrameCount(600, 2000), 120);  // frames 0..119 lie within 2 s of music
    EXPECT_EQ(playbackFrameCount(600, 2001), 121);
    EXPECT_EQ(playbackFrameCount(100, 2000), 100);  // the tracks end first: silence is cut
    EXPECT_EQ(playbackFrameCount(600, -1), 600);    // no music: every frame
    EXPECT_EQ(playbackFrameCount(600, 0), 1);       // frame 0 is always shown
    EXPECT_EQ(playbackFrameCount(5, 2000000000), 5);
    // The animation's end (its last frame) ends it when it comes first.
    EXPECT_EQ(playbackFrameCount(600, 2000, 44), 45);
    EXPECT_EQ(playbackFrameCount(600, 2000, 500), 120);
    EXPECT_EQ(playbackFrameCount(100, -1, 0), 1);
}

}  // namespace
