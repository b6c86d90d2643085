#include "export/OfflinePlayback.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "app/GameState.h"
#include "platform/Timebase.h"
#include "states/StateAccess.h"

using namespace irr;

namespace {

// Bytes per pixel of the frames read back (RGB, 8 bits each).
constexpr int FRAME_PIXEL_BYTES = 3;
// Milliseconds a second: the unit of a music length.
constexpr int64_t MS_PER_SECOND = 1000;

}  // namespace

int playbackFrameCount(int frameCount, int musicLengthMs, int endFrame) {
    int64_t frames = frameCount;
    if (endFrame >= 0) frames = std::min<int64_t>(frames, int64_t(endFrame) + 1);
    // Frame 0 is always shown.
    if (musicLengthMs >= 0) frames = std::min(frames, framesOfSong(musicLengthMs, MS_PER_SECOND));
    return int(std::max<int64_t>(1, frames));
}

OfflinePlayback::OfflinePlayback(MainState& state, int musicLengthMs)
    : state(state),
      frames(playbackFrameCount(state.startOffline(), musicLengthMs, StateAccess(state).endFrame())) {}

bool OfflinePlayback::nextFrame() {
    if (current + 1 >= frames) return false;
    // Frame 0 is what the start shows, before any step, as playback from a clock reset.
    if (++current > 0) state.update(clock.step(state.updateRate()));
    return true;
}

FrameReader::FrameReader(IrrlichtDevice* device, int width, int height)
    : device(device), width(width), height(height) {
    // Without framebuffer objects the engine would draw into the window's back buffer.
    if (device && width > 0 && height > 0 &&
        device->getVideoDriver()->queryFeature(video::EVDF_FRAMEBUFFER_OBJECT))
        target = device->getVideoDriver()->addRenderTargetTexture(
            core::dimension2d<u32>(u32(width), u32(height)), "export-frame", video::ECF_A8R8G8B8);
}

FrameReader::~FrameReader() {
    if (!target) return;
    video::IVideoDriver* driver = device->getVideoDriver();
    driver->setRenderTarget(nullptr, false, false);
    driver->removeTexture(target);
}

bool FrameReader::read(GameState& state, std::vector<unsigned char>& rgb) {
    if (!target) return false;
    video::IVideoDriver* driver = device->getVideoDriver();
    if (!driver->setRenderTarget(target, true, true, video::SColor(0))) return false;
    state.render(device);
    const size_t stride = size_t(width) * FRAME_PIXEL_BYTES;
    rows.resize(stride * size_t(height));
    rgb.resize(rows.size());
    while (glGetError() != GL_NO_ERROR) {
        // Errors left by earlier calls are not this read's.
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    if (glGetError() != GL_NO_ERROR) return false;
    // OpenGL gives the bottom row first; video frames start at the top.
    for (int y = 0; y < height; ++y)
        std::memcpy(&rgb[size_t(y) * stride], &rows[size_t(height - 1 - y) * stride], stride);
    return true;
}
