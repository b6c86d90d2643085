#include "project/SongImport.h"

#include <sys/stat.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "actors/ActorDataFile.h"
#include "platform/ChildProcess.h"
#include "platform/Timebase.h"

bool convertSong(const std::string& song, const std::string& target, ProjectFailure& failure) {
    failure.file = song;
    struct stat info {};
    if (stat(song.c_str(), &info) != 0 || access(song.c_str(), R_OK) != 0) {
        failure.reason = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        failure.reason = "a folder, not a song";
        return false;
    }
    const std::string ffmpeg = findFfmpeg(std::getenv(FFMPEG_VARIABLE), std::getenv("PATH"));
    if (ffmpeg.empty()) {
        failure.reason = "ffmpeg, which converts the song, is not installed (Debian package ffmpeg)";
        return false;
    }
    const ProcessResult run = runProcess(
        ffmpeg,
        {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i", "file:" + song, "-map",
         "0:a:0", "-vn", "-ac", std::to_string(PROJECT_MUSIC_CHANNELS), "-ar",
         std::to_string(SOUND_MIX_RATE), "-c:a", "libvorbis", "-q:a", PROJECT_MUSIC_QUALITY,
         "-f", "ogg", "file:" + target});
    if (!run.succeeded()) {
        failure.reason = run.messages.find("matches no streams") != std::string::npos
                             ? "it holds no sound"
                             : "ffmpeg cannot read the song (" + run.failure() + ")";
        return false;
    }
    return true;
}

bool songLength(const std::string& path, int64_t& samples, long& rate) {
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return false;
    const vorbis_info* info = ov_info(&vf, -1);
    samples = ov_pcm_total(&vf, -1);
    rate = info ? info->rate : 0;
    ov_clear(&vf);
    return samples >= 0 && rate > 0;
}

int framesForSong(int64_t samples, long rate) {
    if (samples <= 0 || rate <= 0) return 1;
    const int64_t frames = framesOfSong(samples, rate);
    return int(std::min<int64_t>(std::max<int64_t>(frames, 1), kActorDataMaxRecords));
}
