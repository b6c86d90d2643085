// Fuzzes the music stream loader: any bytes must give a stream or the null stream, never a crash,
// a hang or unbounded memory; and what it decodes, played as recorded and stretched.
#include "platform/FSound.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kMaxInput = 1 << 20;
    if (size == 0 || size > kMaxInput) return 0;
    FSOUND_STREAM* stream =
        FSOUND_Stream_Open(reinterpret_cast<const char*>(data), FSOUND_LOADMEMORY, 0, static_cast<int>(size));
    if (stream != nullptr) {
        // Decodes the start and a little from 10 ms on: decoding must not crash or hang either.
        int16_t pcm[2 * 2048];
        const int64_t length = tumeloraStreamLengthFrames(stream);
        if (tumeloraStreamRead(stream, pcm, 2048) != (length < 2048 ? length : 2048)) __builtin_trap();
        FSOUND_Stream_SetTime(stream, 10);
        tumeloraStreamRead(stream, pcm, 2048);
        // And from the start at half speed: stretching any music must not crash or hang either.
        tumeloraStreamSetSpeed(stream, 0.5);
        FSOUND_Stream_SetTime(stream, 0);
        tumeloraStreamRead(stream, pcm, 2048);
        FSOUND_Stream_Close(stream);
    }
    return 0;
}
