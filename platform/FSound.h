#pragma once
// The sound layer: a small FSOUND_... interface for one music stream, over SDL2 audio output
// and libvorbisfile decoding.
//
// How it works:
// - FSOUND_Init opens one SDL audio device at SOUND_MIX_RATE, stereo, signed 16-bit native-endian
//   samples, with an audio callback; SDL converts to the hardware's format if it differs, so the
//   device (and SDL's `disk` driver file) always receives exactly that format. Its buffers are
//   long enough for a busy machine where someone hears the device (a sound server, a card;
//   FSound.cpp says how long and why), and 1024 frames on SDL's dummy and disk drivers.
// - FSOUND_Stream_Open checks every Ogg page of the file (checksums, no truncation, an
//   end-of-stream page) by reading it once in small chunks, opens it with libvorbisfile and
//   learns its length; nothing is decoded yet and the file's bytes are not kept in memory (a
//   stream opened from memory keeps its copy of the bytes). Memory therefore does not grow
//   with the length of the music.
// - Decoding happens while the music plays, on one decoder thread per stream: it decodes with
//   libvorbisfile, converts other rates with libsamplerate (and other channel counts by a fixed
//   down-mix) to the mix rate in stereo 16-bit, and keeps a ring buffer of about 1.5 s ahead of the
//   stream's position filled. The decoder writes and the audio callback reads the ring without
//   waiting for each other (SoundStream.h), so the audio callback takes no lock but the device's
//   own and never waits for decoding, the calling thread or drawing. If the ring runs dry (the
//   machine is very busy) the callback hands over silence without moving the position, so no
//   music is skipped.
// - FSOUND_Stream_SetTime is exact to the sample: it empties the ring buffer and the decoder
//   seeks (libvorbisfile's sample-exact seek; a converted stream starts its resampler a little
//   earlier at a point where the two rates' sample grids meet, and drops the frames before
//   the wanted one). FSOUND_Stream_Play waits on the calling thread (up to a second) until
//   the first device buffer is decoded, so music never starts with a gap.
// - The heard position (tumeloraStreamHeardMs): each audio callback records, without a lock
//   that the calling thread could wait on, which frames it handed over and when (monotonic
//   clock); the position heard at any moment is that record moved on by the time since, less
//   the device's output latency, never beyond the end of what was handed over (a device whose
//   audio callback is late plays out what it holds, and no more; one that ran dry goes on from
//   its next callback), and never earlier than a value already reported. SDL does not report the latency: FSound.cpp estimates it
//   (LATENCY_BUFFERS, from the synchronisation benchmark), and the environment variable
//   TUMELORA_AUDIO_LATENCY_MS (read by FSOUND_Init) sets it for a device that lags more.
// - End of stream: when the mixer has copied a playing stream's last frame into a device buffer,
//   the stream stops; at the start of the next audio callback (so that buffer has been handed to
//   the device) the end callback runs once, on the audio thread, under the device lock. Stop,
//   Close and FSOUND_Close cancel an end callback that has not run yet, so it never runs after
//   them. The callback must be short and must not call back into this layer.
// - Clicks and a lead-in (tumeloraStreamSetClicks, tumeloraStreamSetLeadIn): the audio callback
//   mixes short clicks into a stream at given frames of it, exact to the sample (SoundClicks.h),
//   and a lead-in is silence handed over before the stream's position as the frames before it
//   (so the heard position runs through negative times into the music): the editor's count-in
//   and the steady click of its calibration.
// - Speed (tumeloraStreamSetSpeed): a stream plays its music at a speed, 1 as recorded; at any
//   other the decoder thread time-stretches it with Rubber Band, its pitch kept (SoundStretch.h),
//   and the stream's sound has 1 / speed frames for each frame of music (SoundStream.h). The
//   ring, the device's record and what tumeloraStreamRead gives are that sound; every position
//   this layer is given or reports (SetTime, GetTime, the lengths, the heard position, the
//   clicks' frames, the lead-in) is music, so the heard position advances at speed times the
//   pace of the sound heard. A click sounds at its own pitch and length wherever its music is
//   heard. At speed 1 the music goes to the ring exactly as it would without this setting.
// - Every function accepts the null stream and does nothing with it; after a failed FSOUND_Init
//   (no usable device) every call is harmless, and streams can still be opened and positioned,
//   but FSOUND_Stream_Play fails.
// - The calling thread is one thread (the main thread); the functions are not meant to be called
//   from several threads at once.
// - Observing it without sound hardware: set SDL_AUDIODRIVER=disk and SDL_DISKAUDIOFILE=path
//   before FSOUND_Init, and SDL writes every buffer handed to the device to that file (raw
//   interleaved native 16-bit stereo frames at the mix rate; complete once FSOUND_Close returns);
//   SDL_DISKAUDIODELAY=ms sets the pause after each 1024-frame buffer (default about 23 ms, real
//   time; smaller runs faster). SDL_AUDIODRIVER=dummy consumes buffers in real time and keeps
//   nothing. Either way the introspection functions at the end of this file report what went out.

#include <cstdint>

#include "platform/SoundClicks.h"
#include "platform/Timebase.h"

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
// The speeds a stream may play its music at (music seconds a second of sound): from a quarter
// to twice as fast.
constexpr double SOUND_MIN_SPEED = 0.25;
constexpr double SOUND_MAX_SPEED = 2.0;

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

// Opens the audio device: mixrate must be SOUND_MIX_RATE, maxchannels 1..32, flags are ignored.
// Returns true on success; on failure FSOUND_GetError is non-zero and the layer stays unusable.
signed char F_API FSOUND_Init(int mixrate, int maxchannels, unsigned int flags);
// Stops every channel and closes the audio device; open streams stay valid (and stopped).
void F_API FSOUND_Close();
// The error code of the last failed call (FSOUND_ERR_NONE after a successful one).
int F_API FSOUND_GetError();
// Stops what plays on channel (0..31, or FSOUND_ALL); no end callback follows. True if valid.
signed char F_API FSOUND_StopSound(int channel);

// Opens an Ogg Vorbis file (name_or_data is a path) from byte offset for length bytes (0 = to the
// end of the file), or from memory with FSOUND_LOADMEMORY; checked whole, decoded while it
// plays; other mode bits are ignored. Null on failure.
FSOUND_STREAM* F_API FSOUND_Stream_Open(const char* name_or_data, unsigned int mode, int offset, int length);
// Stops and frees the stream; its pending end callback is cancelled. True unless null.
signed char F_API FSOUND_Stream_Close(FSOUND_STREAM* stream);
// Starts the stream on channel (0..31 or FSOUND_FREE) from its current position (from the start
// if it stands at its end), replacing what played there. Returns the channel, or -1 on failure.
int F_API FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
// Halts the stream where it stands; its pending end callback is cancelled. True unless null.
signed char F_API FSOUND_Stream_Stop(FSOUND_STREAM* stream);
// Moves the stream to ms milliseconds (frame ms * SOUND_MIX_RATE / 1000, clamped to its length); a
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

// The output rate of the device: SOUND_MIX_RATE while initialised, 0 otherwise.
int tumeloraSoundOutputRate();
// Sample frames (stereo pairs at the mix rate) handed to the device since FSOUND_Init, silence
// included; it keeps counting while nothing plays.
uint64_t tumeloraSoundFramesPlayed();
// Sample frames of music (from any stream) handed to the device since FSOUND_Init.
uint64_t tumeloraSoundMusicFramesPlayed();
// How many end callbacks have run since FSOUND_Init.
uint64_t tumeloraSoundEndCallbacksRun();
// True while the device hands the sound to a listener (a sound server or a sound card); false
// without a device and on SDL's dummy and disk drivers, which play to no one.
bool tumeloraSoundIsHeard();
// True while the device plays the sound somewhere, in time: to a listener, or into SDL's disk
// driver's file; false without a device and on SDL's dummy driver, which drops it.
bool tumeloraSoundIsPlayed();
// Frames per device buffer (larger where the device is heard, see FSound.cpp), 0 without a device.
int tumeloraSoundBufferFrames();
// Audio callbacks since FSOUND_Init that found less decoded music than they needed (the
// decoder fell behind; silence went out in its place, the position stayed).
uint64_t tumeloraSoundStarvedCallbacks();
// The longest time between two audio callbacks since the last call (or FSOUND_Init), in ms;
// the next call measures from now on.
double tumeloraSoundTakeLongestCallbackGapMs();
// The stream's position in frames of music at the mix rate (of the next frame to hand over), 0
// for null.
int64_t tumeloraStreamPositionFrames(FSOUND_STREAM* stream);
// The stream's position in milliseconds (rounded down), 0 for null.
int tumeloraStreamPositionMs(FSOUND_STREAM* stream);
// The music's length in frames at the mix rate, 0 for null.
int64_t tumeloraStreamLengthFrames(FSOUND_STREAM* stream);
// Reads up to `frames` frames of the stream's sound (interleaved stereo 16-bit at the mix rate;
// at a speed other than 1 the stretched music) from its position into out, exactly as the
// device would get them, and moves the position on; waits for the decoder. Only for a stream
// that is not playing (returns 0 otherwise). Returns the frames read (fewer at the end).
int64_t tumeloraStreamRead(FSOUND_STREAM* stream, int16_t* out, int64_t frames);
// The position of the stream's music that is being heard now, in milliseconds (fractional),
// into *ms; false when the stream is not playing. Safe to call while the audio callback is
// stalled.
bool tumeloraStreamHeardMs(FSOUND_STREAM* stream, double* ms);
// Holds the audio device for ms milliseconds (the audio callback cannot run): a stalled device,
// for benchmarks. Call it from a thread of its own.
void tumeloraSoundStallDevice(int ms);
// True while the stream is playing (until its last frame has been handed over or it is stopped).
bool tumeloraStreamIsPlaying(FSOUND_STREAM* stream);
// Clicks mixed into the stream's sound at frames of its music (a lead-in's frames count on
// below the position it leads into), replacing those set before; count 0 removes them. True
// unless the stream is null or count is negative.
bool tumeloraStreamSetClicks(FSOUND_STREAM* stream, const SoundClick* clicks, int count);
// The next FSOUND_Stream_Play starts with silence (and the clicks within it) standing for
// `frames` frames of music before the stream's position, heard as the positions before it
// (negative ms at the start of the music); FSOUND_Stream_Stop drops what is left of it. True
// unless the stream is null or frames is negative.
bool tumeloraStreamSetLeadIn(FSOUND_STREAM* stream, int64_t frames);
// Plays the stream's music at speed (1: as recorded; within SOUND_MIN_SPEED..SOUND_MAX_SPEED)
// from the music frame it stands at, playing on if it plays; the lead-in left and the clicks
// stay on their music. True unless the stream is null or the speed is out of range.
bool tumeloraStreamSetSpeed(FSOUND_STREAM* stream, double speed);
