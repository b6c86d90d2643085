#include "export/FfmpegJob.h"

#include "platform/Timebase.h"
#include "platform/Words.h"

namespace {

// Largest zero-padding width a frame-number field may ask for (one digit).
constexpr int MAX_FRAME_NUMBER_WIDTH = 9;
// Encoder settings: H.264 quality (lower is better) and speed, AAC rate; VP9 quality and
// speed (the fastest: VP9 is slow), Opus rate.
constexpr const char* MP4_QUALITY = "18";
constexpr const char* MP4_PRESET = "veryfast";
constexpr const char* AAC_BITRATE = "192k";
constexpr const char* WEBM_QUALITY = "32";
constexpr const char* WEBM_SPEED = "8";
constexpr const char* OPUS_BITRATE = "160k";

// The text with A-Z turned to a-z.
std::string lowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// ffmpeg reads names with a colon as protocol URLs and names starting with '-' as options.
std::string ffmpegFileUrl(const std::string& path) { return "file:" + path; }

}  // namespace

ExportFormat exportFormatForPath(const std::string& path) {
    const std::string lower = lowerCase(pathFileName(path));
    if (endsWith(lower, ".mp4")) return ExportFormat::Mp4;
    if (endsWith(lower, ".webm")) return ExportFormat::WebM;
    if (endsWith(lower, ".gif")) return ExportFormat::Gif;
    if (endsWith(lower, ".png") && isFrameNumberPattern(path)) return ExportFormat::PngSequence;
    return ExportFormat::Unknown;
}

const char* unknownFormatReason(const std::string& path) {
    return endsWith(lowerCase(path), ".png")
               ? "a PNG sequence needs a frame-number field in its name, such as frames-%05d.png"
               : "unknown video format (use .mp4, .webm, .gif or frames-%05d.png)";
}

const char* exportFormatName(ExportFormat format) {
    switch (format) {
        case ExportFormat::Mp4: return "MP4";
        case ExportFormat::WebM: return "WebM";
        case ExportFormat::Gif: return "GIF";
        case ExportFormat::PngSequence: return "PNG sequence";
        case ExportFormat::Unknown: break;
    }
    return "unknown";
}

int exportFramesPerSecond(ExportFormat format) {
    return format == ExportFormat::Gif ? GIF_FRAMES_PER_SECOND : FRAMES_PER_SECOND;
}

bool exportFormatHasSound(ExportFormat format) {
    return format == ExportFormat::Mp4 || format == ExportFormat::WebM;
}

bool isFrameNumberPattern(const std::string& path) {
    const std::string name = pathFileName(path);
    if (path.find('%') < path.size() - name.size()) return false;  // a field in a folder name
    int fields = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '%') continue;
        if (++i >= name.size()) return false;
        if (name[i] == '%') continue;
        if (name[i] == '0') {
            if (++i >= name.size() || name[i] < '1' || name[i] > '9') return false;
            if (++i >= name.size()) return false;
        }
        if (name[i] != 'd') return false;
        ++fields;
    }
    return fields == 1;
}

std::string expandFrameNumber(const std::string& pattern, int frame) {
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 >= pattern.size()) {
            out += pattern[i];
            continue;
        }
        ++i;
        if (pattern[i] == '%') {
            out += '%';
            continue;
        }
        int width = 0;
        if (pattern[i] == '0' && i + 2 < pattern.size()) {
            width = pattern[i + 1] - '0';
            if (width < 0 || width > MAX_FRAME_NUMBER_WIDTH) width = 0;
            i += 2;
        }
        std::string digits = std::to_string(frame);
        if (int(digits.size()) < width) digits.insert(0, size_t(width) - digits.size(), '0');
        out += digits;
    }
    return out;
}

std::vector<std::string> ffmpegArguments(const FfmpegJob& job) {
    const std::string size = std::to_string(job.width) + "x" + std::to_string(job.height);
    std::vector<std::string> a = {
        "-hide_banner", "-loglevel", "error", "-nostdin", "-nostats", "-y",
        "-f", "rawvideo", "-pixel_format", "rgb24", "-video_size", size,
        "-framerate", std::to_string(FRAMES_PER_SECOND), "-i", "pipe:0",
    };
    const bool sound = exportFormatHasSound(job.format) && !job.musicPath.empty();
    if (sound) {
        a.insert(a.end(), {"-i", ffmpegFileUrl(job.musicPath)});
    }
    a.insert(a.end(), {"-map", "0:v:0"});
    if (sound) a.insert(a.end(), {"-map", "1:a:0"});
    // No frame limit for the video: it would end the sound with it (the pipe carries exactly
    // the frames of the animation).

    // The video's colours are tagged as HD video (BT.709) and converted that way.
    const std::vector<std::string> yuvVideo = {
        "-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p",
        "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
    };
    switch (job.format) {
        case ExportFormat::Mp4:
            a.insert(a.end(), yuvVideo.begin(), yuvVideo.end());
            a.insert(a.end(), {"-c:v", "libx264", "-preset", MP4_PRESET, "-crf", MP4_QUALITY});
            break;
        case ExportFormat::WebM:
            a.insert(a.end(), yuvVideo.begin(), yuvVideo.end());
            a.insert(a.end(), {"-c:v", "libvpx-vp9", "-b:v", "0", "-crf", WEBM_QUALITY, "-deadline",
                               "realtime", "-cpu-used", WEBM_SPEED, "-row-mt", "1"});
            break;
        case ExportFormat::Gif:
            // Every second frame (GIF delays are whole hundredths of a second, and players
            // slow down delays below two), one palette per frame so that frames stream
            // through instead of waiting for all.
            a.insert(a.end(), {"-vf",
                               "fps=" + std::to_string(GIF_FRAMES_PER_SECOND) +
                               ",split[a][b];[a]palettegen=stats_mode=single[p];"
                               "[b][p]paletteuse=new=1",
                               "-loop", "0"});
            break;
        case ExportFormat::PngSequence:
            a.insert(a.end(), {"-c:v", "png", "-start_number", "0"});
            break;
        case ExportFormat::Unknown:
            break;
    }

    if (sound) {
        // Frame n belongs to the music time n / FRAMES_PER_SECOND s: the sound starts with
        // frame 0 and is cut, or padded with silence, to exactly the video's length.
        const long samples = long(job.frameCount) * (EXPORT_AUDIO_RATE / FRAMES_PER_SECOND);
        a.insert(a.end(), {"-af",
                           "aresample=" + std::to_string(EXPORT_AUDIO_RATE) +
                               ",apad=whole_len=" + std::to_string(samples) +
                               ",atrim=end_sample=" + std::to_string(samples)});
        if (job.format == ExportFormat::Mp4)
            a.insert(a.end(), {"-c:a", "aac", "-b:a", AAC_BITRATE});
        else
            a.insert(a.end(), {"-c:a", "libopus", "-b:a", OPUS_BITRATE});
    }

    switch (job.format) {
        case ExportFormat::Mp4: a.insert(a.end(), {"-movflags", "+faststart", "-f", "mp4"}); break;
        case ExportFormat::WebM: a.insert(a.end(), {"-f", "webm"}); break;
        case ExportFormat::Gif: a.insert(a.end(), {"-f", "gif"}); break;
        case ExportFormat::PngSequence: a.insert(a.end(), {"-f", "image2"}); break;
        case ExportFormat::Unknown: break;
    }
    a.push_back(ffmpegFileUrl(job.output));
    return a;
}

std::string pathFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string pathFileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

