// Failures: no audio device, the null stream, and missing, corrupt and truncated files.
#include "SoundTestUtil.h"

using namespace soundtest;

namespace {

signed char F_CALLBACKAPI countEnd(FSOUND_STREAM*, void*, int, void* userdata) {
    ++*static_cast<int*>(userdata);
    return 0;
}

// Every call on the null stream does nothing and reports failure.
void expectNullStreamHarmless() {
    EXPECT_FALSE(FSOUND_Stream_SetEndCallback(nullptr, countEnd, nullptr));
    EXPECT_EQ(FSOUND_Stream_Play(0, nullptr), -1);
    EXPECT_NE(FSOUND_GetError(), FSOUND_ERR_NONE);
    EXPECT_FALSE(FSOUND_Stream_SetTime(nullptr, 1000));
    EXPECT_FALSE(FSOUND_Stream_Stop(nullptr));
    EXPECT_FALSE(FSOUND_Stream_Close(nullptr));
    EXPECT_EQ(FSOUND_Stream_GetTime(nullptr), 0);
    EXPECT_EQ(FSOUND_Stream_GetLengthMs(nullptr), 0);
    EXPECT_EQ(tumeloraStreamPositionMs(nullptr), 0);
    EXPECT_EQ(tumeloraStreamLengthFrames(nullptr), 0);
    int16_t frame[2] = {};
    EXPECT_EQ(tumeloraStreamRead(nullptr, frame, 1), 0);
    EXPECT_FALSE(tumeloraStreamIsPlaying(nullptr));
}

} // namespace

// No usable device: Init fails with a code, and every later call is harmless.
TEST(FSoundErrors, InitWithoutDeviceFailsAndLaterCallsAreHarmless) {
    TempDir dir;
    const std::string ogg = dir.file("tone.ogg");
    ASSERT_TRUE(writeTone(ogg, 44100, {440.0, 440.0}, 0.5, 0.2));
    setenv("SDL_AUDIODRIVER", "no-such-audio-driver", 1);
    EXPECT_FALSE(FSOUND_Init(44100, 32, 0));
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INIT);
    EXPECT_EQ(tumeloraSoundOutputRate(), 0);

    FSOUND_STREAM* stream = FSOUND_Stream_Open(ogg.c_str(), FSOUND_MPEGACCURATE, 0, 0);
    ASSERT_NE(stream, nullptr) << "streams open without a device";
    int ends = 0;
    EXPECT_TRUE(FSOUND_Stream_SetEndCallback(stream, countEnd, &ends));
    EXPECT_EQ(FSOUND_Stream_Play(0, stream), -1);
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_UNINITIALIZED);
    EXPECT_FALSE(tumeloraStreamIsPlaying(stream));
    EXPECT_TRUE(FSOUND_Stream_SetTime(stream, 100));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 100);
    EXPECT_TRUE(FSOUND_Stream_Stop(stream));
    expectNullStreamHarmless();
    for (int channel = 0; channel < FSOUND_MAX_CHANNELS; ++channel) EXPECT_TRUE(FSOUND_StopSound(channel));
    EXPECT_TRUE(FSOUND_Stream_Close(stream));
    FSOUND_Close();
    FSOUND_Close();
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(tumeloraSoundFramesPlayed(), 0u);
}

// Bad parameters are refused; a second Init is refused while the device is open.
TEST(FSoundErrors, BadParametersAreRefused) {
    TempDir dir;
    EXPECT_FALSE(FSOUND_Init(22050, 32, 0));
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INVALID_PARAM);
    EXPECT_FALSE(FSOUND_Init(44100, 0, 0));
    ASSERT_TRUE(initDisk(dir.file("out.raw"), 4));
    EXPECT_EQ(tumeloraSoundOutputRate(), 44100);
    EXPECT_FALSE(FSOUND_Init(44100, 32, 0));
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_BUSY);
    expectNullStreamHarmless();
    EXPECT_FALSE(FSOUND_StopSound(32));
    EXPECT_FALSE(FSOUND_StopSound(-2));
    EXPECT_TRUE(FSOUND_StopSound(FSOUND_ALL));
    const std::string ogg = dir.file("tone.ogg");
    ASSERT_TRUE(writeTone(ogg, 44100, {440.0, 440.0}, 0.5, 0.2));
    FSOUND_STREAM* stream = FSOUND_Stream_Open(ogg.c_str(), 0, 0, 0);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(FSOUND_Stream_Play(32, stream), -1);
    EXPECT_EQ(FSOUND_Stream_Play(-2, stream), -1);
    EXPECT_FALSE(FSOUND_Stream_SetTime(stream, -1));
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, stream), 0);
    FSOUND_Stream_Close(stream);
    EXPECT_EQ(FSOUND_Stream_Open(nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(ogg.c_str(), 0, -1, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(ogg.c_str(), 0, 0, -1), nullptr);
    FSOUND_Close();
}

// Missing, empty, garbage, corrupt and truncated files give the null stream and an error.
TEST(FSoundErrors, BadFilesGiveNoStream) {
    TempDir dir;
    const std::string ogg = dir.file("tone.ogg");
    ASSERT_TRUE(writeTone(ogg, 22050, {440.0}, 0.5, 1.0));
    const std::vector<unsigned char> good = readBytes(ogg);
    ASSERT_GT(good.size(), 4000u);

    std::vector<std::pair<std::string, std::vector<unsigned char>>> bad;
    bad.push_back({"empty", {}});
    bad.push_back({"garbage", std::vector<unsigned char>(5000, 0x5a)});
    bad.push_back({"header only", std::vector<unsigned char>(good.begin(), good.begin() + 20)});
    bad.push_back({"truncated half", std::vector<unsigned char>(good.begin(), good.begin() + static_cast<long>(good.size() / 2))});
    bad.push_back({"truncated by one", std::vector<unsigned char>(good.begin(), good.end() - 1)});
    std::vector<unsigned char> flipped = good;
    flipped[flipped.size() / 2] ^= 0x40;
    bad.push_back({"corrupt byte", flipped});
    std::vector<unsigned char> trailing = good;
    trailing.insert(trailing.end(), 100, 0x00);
    bad.push_back({"trailing bytes", trailing});
    std::vector<unsigned char> wrongMagic = good;
    wrongMagic[0] = 'X';
    bad.push_back({"wrong magic", wrongMagic});
    // Whole pages with good checksums, but the stream's end page is missing.
    const size_t firstPage = 27u + good[26] + [&] {
        size_t body = 0;
        for (size_t i = 0; i < good[26]; ++i) body += good[27 + i];
        return body;
    }();
    bad.push_back({"first page only", std::vector<unsigned char>(good.begin(), good.begin() + static_cast<long>(firstPage))});

    for (const auto& [name, bytes] : bad) {
        SCOPED_TRACE(name);
        const std::string path = dir.file("bad.ogg");
        ASSERT_TRUE(writeBytes(path, bytes));
        EXPECT_EQ(FSOUND_Stream_Open(path.c_str(), FSOUND_MPEGACCURATE, 0, 0), nullptr);
        EXPECT_NE(FSOUND_GetError(), FSOUND_ERR_NONE);
    }
    EXPECT_EQ(FSOUND_Stream_Open(dir.file("missing.ogg").c_str(), FSOUND_MPEGACCURATE, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_FILE_NOTFOUND);
    EXPECT_EQ(FSOUND_Stream_Open(dir.path().c_str(), FSOUND_MPEGACCURATE, 0, 0), nullptr) << "a folder";
    EXPECT_NE(FSOUND_GetError(), FSOUND_ERR_NONE);

    // The same file opens when it stands intact within a larger file at offset and length.
    std::vector<unsigned char> embedded(300, 0x77);
    embedded.insert(embedded.end(), good.begin(), good.end());
    embedded.insert(embedded.end(), 200, 0x11);
    const std::string path = dir.file("embedded.bin");
    ASSERT_TRUE(writeBytes(path, embedded));
    EXPECT_EQ(FSOUND_Stream_Open(path.c_str(), 0, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(path.c_str(), 0, 300, 0), nullptr) << "trailing bytes included";
    EXPECT_EQ(FSOUND_Stream_Open(path.c_str(), 0, static_cast<int>(embedded.size()), 0), nullptr);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), 0, 300, static_cast<int>(good.size()));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_NONE);
    EXPECT_EQ(tumeloraStreamLengthFrames(stream), 44100);
    EXPECT_EQ(FSOUND_Stream_GetLengthMs(stream), 1000);
    FSOUND_Stream_Close(stream);
}

// Opening from memory gives the same music as from the file; bad memory gives no stream.
TEST(FSoundErrors, OpenFromMemory) {
    TempDir dir;
    const std::string ogg = dir.file("tone.ogg");
    ASSERT_TRUE(writeTone(ogg, 32000, {440.0, 550.0}, 0.5, 0.5));
    const std::vector<unsigned char> good = readBytes(ogg);
    FSOUND_STREAM* fromFile = FSOUND_Stream_Open(ogg.c_str(), 0, 0, 0);
    ASSERT_NE(fromFile, nullptr);
    std::vector<unsigned char> memory(16, 0xee);
    memory.insert(memory.end(), good.begin(), good.end());
    const char* data = reinterpret_cast<const char*>(memory.data());
    FSOUND_STREAM* fromMemory = FSOUND_Stream_Open(data, FSOUND_LOADMEMORY, 16, static_cast<int>(good.size()));
    ASSERT_NE(fromMemory, nullptr);
    ASSERT_EQ(tumeloraStreamLengthFrames(fromMemory), tumeloraStreamLengthFrames(fromFile));
    EXPECT_EQ(tumeloraStreamLengthFrames(fromFile), 22050);
    const std::vector<int16_t> fileMusic = decodeAll(fromFile);
    EXPECT_EQ(fileMusic.size(), 22050u * 2);
    EXPECT_TRUE(fileMusic == decodeAll(fromMemory));
    FSOUND_Stream_Close(fromFile);
    FSOUND_Stream_Close(fromMemory);
    EXPECT_EQ(FSOUND_Stream_Open(data, FSOUND_LOADMEMORY, 0, static_cast<int>(memory.size())), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(data, FSOUND_LOADMEMORY, 16, 0), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Stream_Open(data, FSOUND_LOADMEMORY, 16, static_cast<int>(good.size()) - 10), nullptr);
}
