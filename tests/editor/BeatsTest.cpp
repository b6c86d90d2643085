// The song's beats: the tracker's grid on the bundled song against its beat list, the beats
// file read instead of tracking when it is there, and damaged beats files refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "editor/Beats.h"

namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Distance from t to the nearest of the sorted times.
long nearest(const std::vector<long>& times, long t) {
    long best = BEATS_MAX_MS;
    for (long x : times) best = std::min(best, std::labs(x - t));
    return best;
}

TEST(BeatsTest, TheTrackersGridHitsTheBundledSongsBeatsAndTheFileIsReadNextTime) {
    const fs::path data = fs::path(TUMELORA_SOURCE_DIR) / "data";
    char tmpl[] = "/tmp/tumelora-beats-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const fs::path folder = tmpl;
    const fs::path music = folder / "song.ogg";
    fs::copy_file(data / "lumokari2_tumelora_voices.ogg", music);
    std::vector<long> reference;
    std::string error;
    ASSERT_TRUE(parseBeats(readText(data / "lumokari2_tumelora_voices.beats"), reference, error));
    ASSERT_GT(reference.size(), 100u);

    // No beats file: the tracker listens, the grid is fitted and written beside the music.
    BeatLoader loader;
    loader.start(music.string());
    loader.stop();
    ASSERT_TRUE(loader.ready());
    ASSERT_TRUE(fs::exists(folder / "song.beats")) << loader.message;
    std::vector<long> written;
    ASSERT_TRUE(parseBeats(readText(folder / "song.beats"), written, error)) << error;
    EXPECT_EQ(written, loader.beats);
    size_t hit = 0, off = 0;
    for (long r : reference) hit += nearest(written, r) <= 20;
    for (long g : written) off += nearest(reference, g) > 20;
    EXPECT_GE(hit * 100, reference.size() * 95) << hit << " of " << reference.size() << " beats hit";
    EXPECT_LE(off * 100, written.size() * 5) << off << " of " << written.size() << " markers off";

    // With the file there it is read as it stands (here: shifted by hand), not tracked again.
    const std::vector<long> shifted = shiftBeats(written, 7);
    ASSERT_TRUE(writeBeatsFile((folder / "song.beats").string(), shifted, error)) << error;
    BeatLoader again;
    again.start(music.string());
    again.stop();
    EXPECT_EQ(again.beats, shifted);
    EXPECT_TRUE(again.message.empty()) << again.message;

    // A damaged file is refused with the line and reason, and left as it is.
    { std::ofstream(folder / "song.beats") << "0\n500\nabc\n"; }
    BeatLoader damaged;
    damaged.start(music.string());
    damaged.stop();
    EXPECT_TRUE(damaged.beats.empty());
    EXPECT_NE(damaged.message.find("line 3"), std::string::npos) << damaged.message;
    EXPECT_EQ(readText(folder / "song.beats"), "0\n500\nabc\n");
    fs::remove_all(folder);
}

TEST(BeatsTest, FilesAreReadStrictlyAndTheGridMovesByHand) {
    std::vector<long> b;
    std::string error;
    EXPECT_TRUE(parseBeats("0\r\n500\r\n\r\n1000", b, error));
    EXPECT_EQ(b, (std::vector<long>{0, 500, 1000}));
    EXPECT_FALSE(parseBeats("500\n400\n", b, error));
    EXPECT_FALSE(parseBeats("-5\n", b, error));
    EXPECT_FALSE(parseBeats("1.5\n", b, error));
    EXPECT_FALSE(parseBeats("99999999999999999999\n", b, error));
    EXPECT_EQ(beatsPathOf("data/song.ogg"), "data/song.beats");
    EXPECT_EQ(beatsPathOf("data.d/song"), "data.d/song.beats");
    EXPECT_EQ(shiftBeats({5, 500, 1000}, -10), (std::vector<long>{490, 990}));
    EXPECT_EQ(retimeBeats({0, 500, 1000, 1500}, -100), (std::vector<long>{0, 400, 800, 1200, 1600}));
    EXPECT_DOUBLE_EQ(beatPeriodMs({0, 500, 1000, 1499}), 500.0);
}

}  // namespace
