#pragma once
// Clicks the sound layer mixes into a stream's sound at exact frames of the stream: a count-in
// before a take, the steady beat of a calibration. A click is a short sine burst that dies
// away; it depends only on the frame, so a click that spans two device buffers sounds whole.
#include <cstdint>
#include <vector>

// Length of a click, in frames at the mix rate (15 ms).
constexpr int SOUND_CLICK_FRAMES = 662;
// Pitch of a click, and of an accented one (the first of a beat), in Hz.
constexpr double SOUND_CLICK_HZ = 1320.0;
constexpr double SOUND_CLICK_ACCENT_HZ = 1760.0;
// Peak of a click, as a share of full scale.
constexpr double SOUND_CLICK_LEVEL = 0.45;

// One click: where it starts (a frame of the stream at the mix rate), and whether it is accented.
struct SoundClick {
    int64_t frame = 0;
    bool accent = false;
};

// Adds (saturating) into dst, interleaved stereo 16-bit frames that stand for the stream's
// frames [first, first + count), whatever of the clicks sounds within them.
void mixClicks(int16_t* dst, int64_t first, int64_t count, const std::vector<SoundClick>& clicks);
