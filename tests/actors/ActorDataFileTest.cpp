// Reading and writing actor data files on disk: exact bytes, old versions, damaged files
// and saves that fail.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <csignal>
#include <limits>
#include <sstream>

#include "ActorTestSupport.h"
#include "actors/Actor.h"
#include "actors/ActorDataFile.h"

using actor_test::Bytes;
using actor_test::InTempFolder;
using actor_test::readFile;
using actor_test::sameBits;
using actor_test::writeFile;

namespace {

namespace fs = std::filesystem;

class ActorDataFile : public InTempFolder {
protected:
    void SetUp() override {
        InTempFolder::SetUp();
        image = makeImage();
    }
    // The actor "a" after its data file was written with bytes.
    Actor loadFrom(const Bytes& bytes) {
        writeFile("data/actors/a.data", bytes.b);
        return Actor("a", image.get(), true);
    }
    static bool isDefaultOnly(const Actor& a) {
        return a.poses.size() == 1 && sameBits(a.poses[0], ActorPose::defaultPose());
    }
    // Names in data/actors/ other than the given ones (left-over temporary files).
    static std::vector<std::string> strayFiles(const std::vector<std::string>& expected) {
        std::vector<std::string> stray;
        for (const auto& e : fs::directory_iterator("data/actors")) {
            const std::string n = e.path().filename().string();
            if (std::find(expected.begin(), expected.end(), n) == expected.end()) stray.push_back(n);
        }
        return stray;
    }
    // A 240-pose track with awkward floats, and its bytes built independently of the writer.
    static std::vector<ActorPose> awkwardTrack(Bytes& expected, bool bindScale, bool wobble) {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float oddValues[] = {-0.f, nan, -nan, std::numeric_limits<float>::infinity(),
                                  std::numeric_limits<float>::denorm_min(), -1e30f, 1.f / 3.f};
        std::vector<ActorPose> track;
        expected = Bytes::header(2, 240);
        for (int i = 0; i < 240; ++i) {
            const float v[5] = {oddValues[i % 7], float(i) * 0.37f, oddValues[(i + 3) % 7], -float(i), oddValues[(i + 5) % 7]};
            track.push_back(ActorPose{{v[0], v[1]}, v[2], {v[3], v[4]}});
            expected.rec(v[0], v[1], v[2], v[3], v[4]);
        }
        expected.byte(bindScale ? 1 : 0).byte(wobble ? 1 : 0);
        return track;
    }
    std::unique_ptr<Image> image;
};

TEST_F(ActorDataFile, RoundTripIsBitForBit) {
    Bytes expected;
    Actor a("a", image.get(), false);
    a.poses = awkwardTrack(expected, true, false);
    a.bindScale = true;
    ASSERT_TRUE(a.saveData());
    const std::vector<uint8_t> bytes = readFile("data/actors/a.data");
    ASSERT_EQ(bytes.size(), 4814u);
    EXPECT_EQ(bytes, expected.b);

    Actor b("a", image.get(), true);
    ASSERT_EQ(b.poses.size(), 240u);
    for (std::size_t i = 0; i < 240; ++i) EXPECT_TRUE(sameBits(b.poses[i], a.poses[i])) << i;
    EXPECT_TRUE(b.bindScale);
    EXPECT_FALSE(b.wobble);
    EXPECT_TRUE(sameBits(b.current, a.poses[0]));
    // Saving what was read gives the same file again.
    b.wobble = true;
    expected.b.back() = 1;
    ASSERT_TRUE(b.saveData());
    EXPECT_EQ(readFile("data/actors/a.data"), expected.b);
    EXPECT_TRUE(strayFiles({"a.data"}).empty());
}

TEST_F(ActorDataFile, SaveReplacesALongerFileAndUsesNormalPermissions) {
    Bytes ignored;
    Actor a("a", image.get(), false);
    a.poses = awkwardTrack(ignored, false, false);
    ASSERT_TRUE(a.saveData());
    Actor b("a", image.get(), false);  // one default pose
    const mode_t old = umask(022);
    const bool saved = b.saveData();
    umask(old);
    ASSERT_TRUE(saved);
    EXPECT_EQ(readFile("data/actors/a.data"),
              (Bytes::header(2, 1).rec(-1.f, -1.f, 0.f, 1.f, 1.f).byte(0).byte(0).b));
    struct stat st {};
    ASSERT_EQ(stat("data/actors/a.data", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    // An existing file keeps its permissions.
    ASSERT_EQ(chmod("data/actors/a.data", 0600), 0);
    ASSERT_TRUE(a.saveData());
    ASSERT_EQ(stat("data/actors/a.data", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(readFile("data/actors/a.data").size(), 4814u);
}

TEST_F(ActorDataFile, OldVersionsLoadWithoutFlags) {
    for (int32_t version : {0, 1, -1, INT32_MIN}) {
        // Trailing bytes of a file without flags are not flags.
        Actor a = loadFrom(Bytes::header(version, 3).rec(1, 2, 3, 4, 5).rec(6, 7, 8, 9, 10).rec(11, 12, 13, 14, 15).byte(1).byte(1));
        ASSERT_EQ(a.poses.size(), 3u) << version;
        EXPECT_TRUE(sameBits(a.poses[2], ActorPose{{11, 12}, 13, {14, 15}}));
        EXPECT_FALSE(a.bindScale || a.wobble) << version;
    }
    Actor v2 = loadFrom(Bytes::header(2, 1).rec(1, 2, 3, 4, 5).byte(1).byte(1));
    EXPECT_TRUE(v2.bindScale && v2.wobble);
}

TEST_F(ActorDataFile, NewerVersionsAndWrongMagicAreIgnored) {
    for (int32_t version : {3, 1000, INT32_MAX}) {
        Actor a = loadFrom(Bytes::header(version, 1).rec(1, 2, 3, 4, 5).byte(1).byte(1));
        EXPECT_TRUE(isDefaultOnly(a)) << version;
        EXPECT_FALSE(a.bindScale || a.wobble) << version;
    }
    for (const char* magic : {"TMLX", "tmlr", "RLMT"}) {
        Bytes b;
        b.raw(magic, 4).i32(2).i32(1).rec(1, 2, 3, 4, 5).byte(1).byte(1);
        Actor a = loadFrom(b);
        EXPECT_TRUE(isDefaultOnly(a)) << magic;
        EXPECT_FALSE(a.bindScale || a.wobble) << magic;
    }
    Bytes tooShort[4];
    tooShort[1].raw("TM", 2);
    tooShort[2].raw("TMLR", 4);
    tooShort[3].raw("TMLR", 4).byte(2).byte(0);
    for (const Bytes& b : tooShort) EXPECT_TRUE(isDefaultOnly(loadFrom(b))) << b.b.size();
    EXPECT_EQ(Actor("a", image.get(), false).loadData(), -1);
}

TEST_F(ActorDataFile, EmptyOrNegativeCountStillReadsTheFlags) {
    Actor zero = loadFrom(Bytes::header(2, 0).byte(1).byte(1));
    EXPECT_TRUE(isDefaultOnly(zero));
    EXPECT_TRUE(zero.bindScale && zero.wobble);
    Actor negative = loadFrom(Bytes::header(2, -7).byte(0).byte(1));
    EXPECT_TRUE(isDefaultOnly(negative));
    EXPECT_FALSE(negative.bindScale);
    EXPECT_TRUE(negative.wobble);
    Actor lowest = loadFrom(Bytes::header(2, INT32_MIN).byte(1).byte(0));
    EXPECT_TRUE(isDefaultOnly(lowest));
    EXPECT_TRUE(lowest.bindScale);
}

TEST_F(ActorDataFile, OnlyTheByteOneSetsAFlag) {
    for (uint8_t v : {2, 0xFF, 0x81, 0}) {
        Actor a = loadFrom(Bytes::header(2, 1).rec(1, 2, 3, 4, 5).byte(v).byte(v));
        EXPECT_FALSE(a.bindScale || a.wobble) << int(v);
        EXPECT_EQ(a.poses.size(), 1u);
    }
}

TEST_F(ActorDataFile, TruncatedFilesKeepWholeRecordsAndClearMissingFlags) {
    Bytes insideRecord = Bytes::header(2, 3).rec(1, 2, 3, 4, 5).rec(6, 7, 8, 9, 10);
    insideRecord.f32(11).byte(0).byte(0).byte(0x40);  // 7 bytes of the third record
    Actor a = loadFrom(insideRecord);
    ASSERT_EQ(a.poses.size(), 2u);
    EXPECT_TRUE(sameBits(a.poses[1], ActorPose{{6, 7}, 8, {9, 10}}));
    EXPECT_FALSE(a.bindScale || a.wobble);

    Actor noFlags = loadFrom(Bytes::header(2, 2).rec(1, 2, 3, 4, 5).rec(6, 7, 8, 9, 10));
    EXPECT_EQ(noFlags.poses.size(), 2u);
    EXPECT_FALSE(noFlags.bindScale || noFlags.wobble);

    Actor oneFlag = loadFrom(Bytes::header(2, 2).rec(1, 2, 3, 4, 5).rec(6, 7, 8, 9, 10).byte(1));
    EXPECT_EQ(oneFlag.poses.size(), 2u);
    EXPECT_TRUE(oneFlag.bindScale);
    EXPECT_FALSE(oneFlag.wobble);

    Bytes noCount = Bytes::header(2, 0);
    noCount.b.resize(10);  // ends inside the count
    EXPECT_TRUE(isDefaultOnly(loadFrom(noCount)));
}

TEST_F(ActorDataFile, AbsurdCountAllocatesOnlyWhatTheFileHolds) {
    const Bytes b = Bytes::header(2, 2000000000).rec(1, 2, 3, 4, 5).byte(1).byte(1);
    // 2 bytes after the record do not make another one.
    std::istringstream in(std::string(b.b.begin(), b.b.end()));
    ActorData data;
    EXPECT_EQ(readActorData(in, data), ActorDataStatus::Truncated);
    ASSERT_EQ(data.poses.size(), 1u);
    EXPECT_LE(data.poses.capacity(), 1u);
    EXPECT_FALSE(data.bindScale || data.wobble);  // the flag bytes were taken as a partial record

    Actor a = loadFrom(Bytes::header(2, INT32_MAX).rec(1, 2, 3, 4, 5));
    ASSERT_EQ(a.poses.size(), 1u);
    EXPECT_LE(a.poses.capacity(), 1u);
}

TEST_F(ActorDataFile, FailedSaveReportsAndKeepsTheOldFile) {
    Bytes oldBytes;
    Actor a("a", image.get(), false);
    a.poses = awkwardTrack(oldBytes, true, true);
    writeFile("data/actors/a.data", oldBytes.b);
    a.poses.resize(100);

    // The disk fills up halfway (a file size limit binds root too).
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit small = oldLimit;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = a.saveData();
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readFile("data/actors/a.data"), oldBytes.b);
    EXPECT_TRUE(strayFiles({"a.data"}).empty());

    // The data file's name is taken by a folder: the rename cannot replace it.
    fs::create_directory("data/actors/b.data");
    writeFile("data/actors/b.data/inside", {1, 2, 3});
    Actor b("b", image.get(), false);
    EXPECT_FALSE(b.saveData());
    EXPECT_EQ(readFile("data/actors/b.data/inside"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(strayFiles({"a.data", "b.data"}).empty());

    // A name too long for the file system.
    Actor tooLong(std::string(300, 'x'), image.get(), false);
    EXPECT_FALSE(tooLong.saveData());
    EXPECT_TRUE(strayFiles({"a.data", "b.data"}).empty());

    // No folder at all.
    fs::remove_all("data/actors");
    EXPECT_FALSE(a.saveData());
}

TEST_F(ActorDataFile, LongAndDottedNamesUseTheirWholeName) {
    const std::string longName(240, 'L');  // far beyond a 200-character path buffer
    Actor a(longName, image.get(), false);
    a.poses[0].rotation = 2.f;
    a.wobble = true;
    ASSERT_TRUE(a.saveData());
    Actor back(longName, image.get(), true);
    EXPECT_FLOAT_EQ(back.poses[0].rotation, 2.f);
    EXPECT_TRUE(back.wobble);

    writeFile("data/actors/a.b.data", Bytes::header(1, 2).rec(1, 2, 3, 4, 5).rec(6, 7, 8, 9, 10).b);
    writeFile("data/actors/a.data", Bytes::header(1, 1).rec(0, 0, 0, 0, 0).b);
    Actor dotted(actorNameFromFileName("a.b.png"), image.get(), true);
    EXPECT_EQ(dotted.name, "a.b");
    EXPECT_EQ(dotted.poses.size(), 2u);
}

}  // namespace
