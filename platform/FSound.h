#pragma once
// The sound layer: a small FSOUND_... interface for one music stream, over SDL2 audio output
// and libvorbisfile decoding.
//
// How it works:
// - FSOUND_Init opens one SDL audio device at 44,100 Hz, stereo, signed 16-bit native-endian
//   samples, with an audio callback; SDL converts to the hardware's format if it differs, so the
//   device (and SDL's `disk` driver file) always receives exactly that format.
// - FSOUND_Stream_Open reads the whole Ogg Vorbis file into memory, checks every Ogg page
//   (checksums, no truncation, an end-of-stream page), decodes it completely and converts it with
//   SDL's audio stream to 44,100 Hz stereo 16-bit PCM, all on the calling thread and without any
//   lock. The music is short (about a minute, some 10 MB of PCM), so decoding up front costs less
//   than a decoder thread and a ring buffer, makes FSOUND_Stream_SetTime exact to the sample, and
//   leaves the audio callback nothing to do but copy from memory.
// - The audio callback and the calling thread share only a few fields per stream (playing flag,
//   position, end state). The calling thread changes them under SDL's device lock, which the
//   audio callback holds only while it copies one buffer; nothing slow (file reading, decoding,
//   freeing PCM) ever happens under that lock, so the audio thread never waits for long.
// - End of stream: when the mixer has copied a playing stream's last frame into a device buffer,
//   the stream stops; at the start of the next audio callback (so that buffer has been handed to
//   the device) the end callback runs once, on the audio thread, under the device lock. Stop,
//   Close and FSOUND_Close cancel an end callback that has not run yet, so it never runs after
//   them. The callback must be short and must not call back into this layer.
// - Every function accepts the null stream and does nothing with it; after a failed FSOUND_Init
//   (no usable device) every call is harmless, and streams can still be opened and positioned,
//   but FSOUND_Stream_Play fails.
// - The calling thread is one thread (the main thread); the functions are not meant to be called
//   from several threads at once.

#include <cstdint>

#define F_API
#define F_CALLBACKAPI

// Opaque handle of an open music stream.
struct FSOUND_STREAM;

// End-of-stream callback: (stream, buffer, length, user data); buffer is null and length 0 for
// the end callback. Its result is ignored.
typedef signed char(F_CALLBACKAPI* FSOUND_STREAMCALLBACK)(FSOUND_STREAM* stream, void* buff, int len,
                                                          void* userdata);

// Stream open mode: sample-accurate positioning (always the case in this layer).
constexpr unsigned int FSOUND_MPEGACCURATE = 0x20000;
// Stream open mode: name_or_data points to the file's bytes in memory and length is their
// count (offset is added to the pointer); the bytes are copied, the caller keeps them.
constexpr unsigned int FSOUND_LOADMEMORY = 0x8000;
// Channel number meaning "the first free channel" for FSOUND_Stream_Play.
constexpr int FSOUND_FREE = -1;
// Channel number meaning "every channel" for FSOUND_StopSound.
constexpr int FSOUND_ALL = -3;
// Number of channels that can play at once (channels 0 to FSOUND_MAX_CHANNELS - 1).
constexpr int FSOUND_MAX_CHANNELS = 32;

// Error codes returned by FSOUND_GetError (the last error of any call).
enum FSOUND_ERRORS {
    FSOUND_ERR_NONE = 0,          // no error
    FSOUND_ERR_BUSY = 1,          // FSOUND_Init called while already initialised
    FSOUND_ERR_UNINITIALIZED = 2, // the call needs a successful FSOUND_Init
    FSOUND_ERR_INIT = 3,          // no usable audio device (SDL could not open one)
    FSOUND_ERR_PLAY = 5,          // the stream could not start (bad channel, no device)
    FSOUND_ERR_FILE_NOTFOUND = 10, // the file could not be opened or read
    FSOUND_ERR_FILE_FORMAT = 11,   // not a complete, intact Ogg Vorbis file
    FSOUND_ERR_FILE_BAD = 12,      // decoding failed part-way, or its conversion failed
    FSOUND_ERR_MEMORY = 13,        // the music exceeds the layer's size limits
    FSOUND_ERR_INVALID_PARAM = 15, // a parameter was out of range
};

// Opens the audio device: mixrate must be 44100, maxchannels 1..32, flags are ignored.
// Returns true on success; on failure FSOUND_GetError is non-zero and the layer stays unusable.
signed char F_API FSOUND_Init(int mixrate, int maxchannels, unsigned int flags);
// Stops every channel and closes the audio device; open streams stay valid (and stopped).
void F_API FSOUND_Close();
// The error code of the last failed call (FSOUND_ERR_NONE after a successful one).
int F_API FSOUND_GetError();
// Stops what plays on channel (0..31, or FSOUND_ALL); no end callback follows. True if valid.
signed char F_API FSOUND_StopSound(int channel);

// Opens an Ogg Vorbis file (name_or_data is a path) from byte offset for length bytes (0 = to the
// end of the file), or from memory with FSOUND_LOADMEMORY; fully decoded and converted up
// front; other mode bits are ignored. Null on failure.
FSOUND_STREAM* F_API FSOUND_Stream_Open(const char* name_or_data, unsigned int mode, int offset, int length);
// Stops and frees the stream; its pending end callback is cancelled. True unless null.
signed char F_API FSOUND_Stream_Close(FSOUND_STREAM* stream);
// Starts the stream on channel (0..31 or FSOUND_FREE) from its current position (from the start
// if it stands at its end). Returns the channel, or -1 on failure.
int F_API FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
// Halts the stream where it stands; its pending end callback is cancelled. True unless null.
signed char F_API FSOUND_Stream_Stop(FSOUND_STREAM* stream);
// Moves the stream to ms milliseconds (frame ms * 44100 / 1000, clamped to its length); a
// playing stream continues from there. True unless null or ms is negative.
signed char F_API FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms);
// The stream's position in milliseconds (rounded down), or 0 for null.
int F_API FSOUND_Stream_GetTime(FSOUND_STREAM* stream);
// The stream's length in milliseconds (rounded down), or 0 for null.
int F_API FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream);
// Registers the end-of-stream callback (null removes it) with its user data. True unless null.
signed char F_API FSOUND_Stream_SetEndCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback,
                                               void* userdata);

// Introspection for tests and benchmarks (this layer's own additions).

// The output rate of the device: 44100 while initialised, 0 otherwise.
int tumeloraSoundOutputRate();
// Sample frames (stereo pairs at 44,100 Hz) handed to the device since FSOUND_Init, silence
// included; it keeps counting while nothing plays.
uint64_t tumeloraSoundFramesPlayed();
// Sample frames of music (from any stream) handed to the device since FSOUND_Init.
uint64_t tumeloraSoundMusicFramesPlayed();
// How many end callbacks have run since FSOUND_Init.
uint64_t tumeloraSoundEndCallbacksRun();
// The stream's position in frames at 44,100 Hz (the next frame to hand over), 0 for null.
int64_t tumeloraStreamPositionFrames(FSOUND_STREAM* stream);
// The stream's position in milliseconds (rounded down), 0 for null.
int tumeloraStreamPositionMs(FSOUND_STREAM* stream);
// The stream's length in frames at 44,100 Hz, 0 for null.
int64_t tumeloraStreamLengthFrames(FSOUND_STREAM* stream);
// The stream's decoded PCM: interleaved stereo 16-bit at 44,100 Hz, 2 * length frames values.
const int16_t* tumeloraStreamSamples(FSOUND_STREAM* stream);
// True while the stream is playing (until its last frame has been handed over or it is stopped).
bool tumeloraStreamIsPlaying(FSOUND_STREAM* stream);
