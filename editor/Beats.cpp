#include "editor/Beats.h"

#include <aubio/aubio.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "actors/ActorDataFile.h"
#include "platform/SafeFile.h"
#include "platform/Timebase.h"

namespace {

// Samples read from the decoder per call.
constexpr int DECODE_CHUNK = 4096;

// The largest onset strength within one hop of time t (seconds).
float onsetNear(const BeatAnalysis& a, double t) {
    const long i = long(std::lround(t / a.hopSeconds));
    float best = 0.f;
    for (long j = i - 1; j <= i + 1; ++j)
        if (j >= 0 && j < long(a.onset.size())) best = std::max(best, a.onset[size_t(j)]);
    return best;
}

}  // namespace

std::string beatsPathOf(const std::string& musicPath) {
    const std::size_t slash = musicPath.find_last_of('/');
    const std::size_t dot = musicPath.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return musicPath + ".beats";
    return musicPath.substr(0, dot) + ".beats";
}

bool parseBeats(const std::string& text, std::vector<long>& beats, std::string& error) {
    beats.clear();
    std::size_t line = 1, i = 0;
    while (i < text.size()) {
        std::size_t end = text.find('\n', i);
        if (end == std::string::npos) end = text.size();
        std::size_t stop = end;
        if (stop > i && text[stop - 1] == '\r') --stop;
        if (stop > i) {
            long value = 0;
            for (std::size_t k = i; k < stop; ++k) {
                const char c = text[k];
                if (c < '0' || c > '9') {
                    error = "line " + std::to_string(line) + ": not a whole number of milliseconds";
                    return false;
                }
                value = value * 10 + (c - '0');
                if (value > BEATS_MAX_MS) {
                    error = "line " + std::to_string(line) + ": later than 24 hours";
                    return false;
                }
            }
            if (!beats.empty() && value < beats.back()) {
                error = "line " + std::to_string(line) + ": earlier than the line before";
                return false;
            }
            if (beats.size() >= BEATS_MAX_COUNT) {
                error = "more than " + std::to_string(BEATS_MAX_COUNT) + " beats";
                return false;
            }
            beats.push_back(value);
        }
        i = end + 1;
        ++line;
    }
    return true;
}

std::string formatBeats(const std::vector<long>& beats) {
    std::string out;
    for (long b : beats) out += std::to_string(b) + "\n";
    return out;
}

BeatAnalysis analyseBeats(const std::string& musicPath, const std::atomic<bool>* cancel) {
    BeatAnalysis a;
    OggVorbis_File file;
    if (ov_fopen(musicPath.c_str(), &file) != 0) {
        a.error = musicPath + ": cannot be read as Ogg Vorbis";
        return a;
    }
    const vorbis_info* info = ov_info(&file, -1);
    if (!info || info->rate <= 0 || info->channels <= 0) {
        ov_clear(&file);
        a.error = musicPath + ": no audio in it";
        return a;
    }
    const uint_t rate = uint_t(info->rate);
    aubio_tempo_t* tempo = new_aubio_tempo("default", BEAT_WINDOW_SAMPLES, BEAT_HOP_SAMPLES, rate);
    aubio_pvoc_t* pv = new_aubio_pvoc(BEAT_WINDOW_SAMPLES, BEAT_HOP_SAMPLES);
    aubio_specdesc_t* flux = new_aubio_specdesc("specflux", BEAT_WINDOW_SAMPLES);
    fvec_t* hop = new_fvec(BEAT_HOP_SAMPLES);
    fvec_t* out = new_fvec(1);
    fvec_t* odf = new_fvec(1);
    cvec_t* grain = new_cvec(BEAT_WINDOW_SAMPLES);
    if (!tempo || !pv || !flux || !hop || !out || !odf || !grain) {
        a.error = "the beat tracker could not start";
    } else {
        a.hopSeconds = double(BEAT_HOP_SAMPLES) / double(rate);
        std::vector<float> level;
        uint_t filled = 0;
        int section = 0;
        bool cancelled = false;
        for (;;) {
            if (cancel && cancel->load()) {
                cancelled = true;
                break;
            }
            float** pcm = nullptr;
            const long n = ov_read_float(&file, &pcm, DECODE_CHUNK, &section);
            if (n == OV_HOLE) continue;
            if (n <= 0) break;
            for (long i = 0; i < n; ++i) {
                float sum = 0.f;
                for (int c = 0; c < info->channels; ++c) sum += pcm[c][i];
                hop->data[filled++] = sum / float(info->channels);
                if (filled < BEAT_HOP_SAMPLES) continue;
                filled = 0;
                aubio_tempo_do(tempo, hop, out);
                if (out->data[0] != 0.f) a.tracked.push_back(double(aubio_tempo_get_last_s(tempo)));
                aubio_pvoc_do(pv, hop, grain);
                aubio_specdesc_do(flux, grain, odf);
                a.onset.push_back(odf->data[0]);
                float peak = 0.f;
                for (uint_t k = 0; k < BEAT_HOP_SAMPLES; ++k)
                    peak = std::max(peak, std::fabs(hop->data[k]));
                level.push_back(peak);
            }
        }
        // The onset of a hop shows once the hop has entered the analysis window: it belongs to
        // the time of the hop's start, one window before the newest sample.
        const std::size_t lag = (BEAT_WINDOW_SAMPLES - BEAT_HOP_SAMPLES) / BEAT_HOP_SAMPLES;
        if (a.onset.size() > lag) a.onset.erase(a.onset.begin(), a.onset.begin() + long(lag));
        const float loudest = level.empty() ? 0.f : *std::max_element(level.begin(), level.end());
        std::size_t first = level.size(), last = 0;
        for (std::size_t i = 0; i < level.size(); ++i) {
            if (level[i] < loudest * float(BEAT_SOUND_LEVEL)) continue;
            first = std::min(first, i);
            last = i;
        }
        if (first < level.size()) {
            a.soundStart = double(first) * a.hopSeconds;
            a.soundEnd = double(last + 1) * a.hopSeconds;
        }
        a.ok = !level.empty() && !cancelled;
        if (cancelled)
            a.error = "tracking stopped";
        else if (!a.ok)
            a.error = musicPath + ": no audio in it";
    }
    if (grain) del_cvec(grain);
    if (odf) del_fvec(odf);
    if (out) del_fvec(out);
    if (hop) del_fvec(hop);
    if (flux) del_aubio_specdesc(flux);
    if (pv) del_aubio_pvoc(pv);
    if (tempo) del_aubio_tempo(tempo);
    aubio_cleanup();
    ov_clear(&file);
    return a;
}

double beatPeriodMs(const std::vector<long>& beats) {
    if (beats.size() < 2) return 0.0;
    std::vector<long> gaps;
    for (std::size_t i = 1; i < beats.size(); ++i) gaps.push_back(beats[i] - beats[i - 1]);
    std::nth_element(gaps.begin(), gaps.begin() + long(gaps.size() / 2), gaps.end());
    return double(gaps[gaps.size() / 2]);
}

std::vector<long> fitBeatGrid(const BeatAnalysis& a, const std::atomic<bool>* cancel) {
    std::vector<long> raw;
    for (double t : a.tracked) raw.push_back(std::lround(t * 1000.0));
    if (!a.ok || a.tracked.size() < BEAT_MIN_TRACKED || a.hopSeconds <= 0.0) return raw;
    // The tracker's tempo: the median distance between its beats.
    std::vector<double> gaps;
    for (std::size_t i = 1; i < a.tracked.size(); ++i) gaps.push_back(a.tracked[i] - a.tracked[i - 1]);
    std::nth_element(gaps.begin(), gaps.begin() + long(gaps.size() / 2), gaps.end());
    const double tracked = gaps[gaps.size() / 2] * 1000.0;
    if (tracked <= 0.0) return raw;
    // The grid (period, phase) on which the song's onsets are strongest, over its sounding part.
    const double from = a.soundStart * 1000.0, to = a.soundEnd * 1000.0;
    double bestScore = -1.0, bestPeriod = tracked, bestPhase = 0.0;
    for (double p = tracked * (1.0 - BEAT_PERIOD_RANGE); p <= tracked * (1.0 + BEAT_PERIOD_RANGE);
         p += BEAT_PERIOD_STEP_MS) {
        if (cancel && cancel->load()) return raw;
        for (double phase = 0.0; phase < p; phase += BEAT_PHASE_STEP_MS) {
            double score = 0.0;
            double t = from + phase;
            for (; t <= to; t += p) score += onsetNear(a, t / 1000.0);
            if (score > bestScore) {
                bestScore = score;
                bestPeriod = p;
                bestPhase = phase;
            }
        }
    }
    std::vector<long> grid;
    for (double t = from + bestPhase; t <= to; t += bestPeriod) grid.push_back(std::lround(t));
    return grid;
}

std::vector<long> shiftBeats(const std::vector<long>& beats, long deltaMs) {
    std::vector<long> out;
    for (long b : beats)
        if (b + deltaMs >= 0) out.push_back(b + deltaMs);
    return out;
}

std::vector<long> retimeBeats(const std::vector<long>& beats, double deltaPeriodMs) {
    const double period = beatPeriodMs(beats) + deltaPeriodMs;
    if (beats.size() < 2 || period <= 1.0) return beats;
    std::vector<long> out;
    const double first = double(beats.front()), last = double(beats.back());
    for (double t = first; t <= last + period / 2.0 && out.size() < BEATS_MAX_COUNT; t += period)
        out.push_back(std::lround(t));
    return out;
}

bool writeBeatsFile(const std::string& path, const std::vector<long>& beats, std::string& error) {
    const std::string text = formatBeats(beats);
    if (replaceFileSafely(path, std::vector<uint8_t>(text.begin(), text.end()))) return true;
    error = path + ": could not be written";
    return false;
}

BeatLoader::~BeatLoader() { cancel(); }

void BeatLoader::start(const std::string& musicPath) {
    stop();
    done = false;
    cancelled = false;
    beats.clear();
    message.clear();
    trouble = false;
    thread = std::thread(&BeatLoader::load, this, musicPath);
}

void BeatLoader::stop() {
    if (thread.joinable()) thread.join();
}

void BeatLoader::cancel() {
    cancelled = true;
    stop();
}

void BeatLoader::load(std::string musicPath) {
    const std::string path = beatsPathOf(musicPath);
    std::ifstream in(path, std::ios::binary);
    if (in) {
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string error;
        if (!parseBeats(text, beats, error)) {
            beats.clear();
            message = path + " refused (" + error + "); no beats shown";
            trouble = true;
        }
        done = true;
        return;
    }
    const BeatAnalysis analysis = analyseBeats(musicPath, &cancelled);
    if (!analysis.ok) {
        message = "No beats: " + analysis.error;
        trouble = true;
        done = true;
        return;
    }
    beats = fitBeatGrid(analysis, &cancelled);
    if (cancelled) {  // a grid left half fitted is not written
        done = true;
        return;
    }
    std::string error;
    const bool written = writeBeatsFile(path, beats, error);
    if (beats.empty())
        message = "The beat tracker found no beats in " + musicPath + "; none are shown" +
                  (written ? " (kept as an empty " + path + ")" : "; " + error);
    else if (beats.size() == 1)
        message = "The beat tracker found only one beat in " + musicPath + ", so no tempo" +
                  (written ? " (kept in " + path + ")" : "; " + error);
    else if (written)
        message = "Beats found by the tracker, kept in " + path;
    else
        message = "Beats found by the tracker; " + error;
    trouble = !written;
    done = true;
}

int frameOfBeat(long ms) { return int(std::lround(double(ms) * FRAMES_PER_SECOND / 1000.0)); }

int nearestBeatFrame(const std::vector<long>& beats, double frame) {
    if (beats.empty()) return -1;
    const long ms = std::lround(frame * 1000.0 / FRAMES_PER_SECOND);
    const auto after = std::lower_bound(beats.begin(), beats.end(), ms);
    long best = after == beats.end() ? beats.back() : *after;
    if (after != beats.begin() && (after == beats.end() || ms - *(after - 1) <= *after - ms)) best = *(after - 1);
    return frameOfBeat(best);
}

int neighbourBeatFrame(const std::vector<long>& beats, int frame, bool after) {
    if (after) {
        for (long ms : beats)
            if (frameOfBeat(ms) > frame) return frameOfBeat(ms);
        return -1;
    }
    for (auto it = beats.rbegin(); it != beats.rend(); ++it)
        if (frameOfBeat(*it) < frame) return frameOfBeat(*it);
    return -1;
}
