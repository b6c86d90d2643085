// make_music OUTDIR: synthesises the bundled music "lumokari2_tumelora_voices" and writes
// OUTDIR/lumokari2_tumelora_voices.ogg (Ogg Vorbis, 44,100 Hz stereo) and
// OUTDIR/lumokari2_tumelora_voices.beats (the time of every beat in whole milliseconds, one per
// line). The output is the same, byte for byte, on every run: all randomness comes from fixed
// seeds, the Ogg serial number and the encoder quality are fixed.
//
// The piece: A minor, 120 beats per minute, 4/4, 27 bars (54 s) and a short tail. A choir of
// formant-filtered synth voices sings the chords ("aah", "ooh"), a lead voice sings the melody on
// the vowels of "lu-mo-ka-ri", with four-on-the-floor kick, snare on 2 and 4, hats and a bass.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/VorbisWriter.h"

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;
constexpr double kBeatsPerMinute = 120.0;
constexpr double kBeatSeconds = 60.0 / kBeatsPerMinute;
constexpr int kBeatsPerBar = 4;
constexpr int kBars = 27;               // the last one holds the final chord
constexpr double kTailSeconds = 2.0;    // after the last bar, for the reverb to die away
constexpr double kFadeSeconds = 1.5;    // linear fade to silence at the very end
constexpr double kPeakLevel = 0.79;     // mix peak before encoding (about -2 dBFS)
constexpr float kVorbisQuality = 0.3f;  // about 112 kbit/s
constexpr int kOggSerial = 0x546d6c72;  // fixed so that the file is reproducible
constexpr int kFormantUpdateSamples = 32;
const char* const kBaseName = "lumokari2_tumelora_voices";

double barSeconds() { return kBeatSeconds * kBeatsPerBar; }
double midiToHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }
// Smoothing factor of a one-pole follower with the given time constant.
double follow(double seconds) { return 1.0 - std::exp(-1.0 / (seconds * kRate)); }

// Deterministic noise (a 32-bit linear congruential generator) in [-1, 1).
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    double next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / 8388608.0 - 1.0;
    }

private:
    uint32_t state_;
};

// Biquad filter (transposed direct form II).
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, z1 = 0, z2 = 0;
    void bandPass(double freq, double q) {
        const double w = 2 * kPi * freq / kRate, alpha = std::sin(w) / (2 * q), a0 = 1 + alpha;
        b0 = alpha / a0;
        b1 = 0;
        b2 = -alpha / a0;
        a1 = -2 * std::cos(w) / a0;
        a2 = (1 - alpha) / a0;
    }
    void highPass(double freq, double q) {
        const double w = 2 * kPi * freq / kRate, alpha = std::sin(w) / (2 * q), a0 = 1 + alpha;
        const double c = std::cos(w);
        b0 = (1 + c) / 2 / a0;
        b1 = -(1 + c) / a0;
        b2 = b0;
        a1 = -2 * c / a0;
        a2 = (1 - alpha) / a0;
    }
    void lowPass(double freq, double q) {
        const double w = 2 * kPi * freq / kRate, alpha = std::sin(w) / (2 * q), a0 = 1 + alpha;
        const double c = std::cos(w);
        b0 = (1 - c) / 2 / a0;
        b1 = (1 - c) / a0;
        b2 = b0;
        a1 = -2 * c / a0;
        a2 = (1 - alpha) / a0;
    }
    double process(double x) {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

// Band-limited sawtooth step (polyBLEP correction).
double polyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

struct Oscillator {
    double phase = 0;
    double saw(double hz) {
        const double dt = hz / kRate;
        const double out = 2.0 * phase - 1.0 - polyBlep(phase, dt);
        phase += dt;
        if (phase >= 1.0) phase -= 1.0;
        return out;
    }
};

// Vowels as their first three formants (Hz) and the levels of those formants.
struct Vowel {
    double freq[3];
    double gain[3];
};
enum VowelId { kA, kE, kI, kO, kU };
const Vowel kVowels[] = {
    {{800, 1150, 2900}, {1.0, 0.50, 0.25}},  // a
    {{400, 1700, 2600}, {1.0, 0.35, 0.25}},  // e
    {{300, 2100, 2950}, {1.0, 0.25, 0.20}},  // i
    {{450, 800, 2830}, {1.0, 0.45, 0.12}},   // o
    {{325, 700, 2700}, {1.0, 0.25, 0.08}},   // u
};
constexpr double kFormantBandwidth[3] = {80, 90, 120};

// A sung voice: a sawtooth with vibrato and breath noise through three formant band-passes.
// Pitch, vowel and loudness glide toward their targets, so successive notes join up.
class FormantVoice {
public:
    FormantVoice(uint32_t seed, double detuneCents, double glideSeconds)
        : noise_(seed), detune_(std::pow(2.0, detuneCents / 1200.0)), glide_(follow(glideSeconds)) {
        setVowel(kA);
        for (int i = 0; i < 3; ++i) {
            formant_[i] = target_.freq[i];
            gain_[i] = target_.gain[i];
        }
    }
    void setNote(double midi) {
        const double hz = midiToHz(midi) * detune_;
        if (std::fabs(hz - targetHz_) > 1e-9) noteTime_ = 0;
        targetHz_ = hz;
        if (hz_ == 0) hz_ = hz;
    }
    void setVowel(int vowel) { target_ = kVowels[vowel]; }
    void setLevel(double level) { targetLevel_ = level; }
    double next(double attack, double release) {
        hz_ += (targetHz_ - hz_) * glide_;
        level_ += (targetLevel_ - level_) * (targetLevel_ > level_ ? attack : release);
        if (counter_-- <= 0) {
            counter_ = kFormantUpdateSamples;
            const double k = follow(0.04) * kFormantUpdateSamples;
            for (int i = 0; i < 3; ++i) {
                formant_[i] += (target_.freq[i] - formant_[i]) * std::min(1.0, k);
                gain_[i] += (target_.gain[i] - gain_[i]) * std::min(1.0, k);
                filter_[i].bandPass(formant_[i], formant_[i] / kFormantBandwidth[i]);
            }
        }
        noteTime_ += 1.0 / kRate;
        vibPhase_ += 5.3 / kRate;
        if (vibPhase_ >= 1.0) vibPhase_ -= 1.0;
        const double vibDepth = 0.22 * std::min(1.0, std::max(0.0, noteTime_ - 0.12) / 0.3);
        const double hz = hz_ * std::pow(2.0, vibDepth * std::sin(2 * kPi * vibPhase_) / 12.0);
        const double source = osc_.saw(hz) + 0.05 * noise_.next();
        double out = 0;
        for (int i = 0; i < 3; ++i) out += gain_[i] * filter_[i].process(source);
        return out * level_;
    }

private:
    Noise noise_;
    Oscillator osc_;
    double detune_;
    double glide_;
    double hz_ = 0, targetHz_ = 0;
    double level_ = 0, targetLevel_ = 0;
    double noteTime_ = 0, vibPhase_ = 0;
    Vowel target_{};
    double formant_[3] = {}, gain_[3] = {};
    Biquad filter_[3];
    int counter_ = 0;
};

struct Stereo {
    std::vector<double> l, r;
    explicit Stereo(size_t n) : l(n, 0.0), r(n, 0.0) {}
    void add(size_t i, double v, double pan) {  // pan -1 (left) .. 1 (right), equal power
        const double a = (pan + 1) * kPi / 4;
        l[i] += v * std::cos(a);
        r[i] += v * std::sin(a);
    }
};

// Chords: the choir's three notes (MIDI) and the bass root.
struct Chord {
    int notes[3];
    int bass;
};
const Chord kChordAm{{57, 60, 64}, 45};
const Chord kChordF{{57, 60, 65}, 41};
const Chord kChordC{{55, 60, 64}, 48};
const Chord kChordG{{55, 59, 62}, 43};
const Chord kChordDm{{57, 62, 65}, 38};
const Chord kChordE{{56, 59, 64}, 40};

// Sections by bar: intro 0-1, groove 2-9, groove with melody 10-17, breakdown 18-21,
// full 22-25, final chord 26.
bool inBreakdown(int bar) { return bar >= 18 && bar <= 21; }
const Chord& chordOfBar(int bar) {
    static const Chord* const main[4] = {&kChordAm, &kChordF, &kChordC, &kChordG};
    static const Chord* const breakdown[4] = {&kChordDm, &kChordAm, &kChordF, &kChordE};
    if (bar >= kBars - 1) return kChordAm;
    return inBreakdown(bar) ? *breakdown[bar % 4] : *main[bar % 4];
}
bool drumsIn(int bar) { return bar >= 2 && bar < kBars - 1; }

// A melody note: start and length in beats within its bar, MIDI note.
struct Note {
    double start, length;
    int midi;
};
const std::vector<std::vector<Note>> kMelody = {
    {{0, 1, 64}, {1, 0.5, 60}, {1.5, 0.5, 62}, {2, 1, 64}, {3, 1, 57}},
    {{0, 1.5, 65}, {1.5, 0.5, 64}, {2, 1, 60}, {3, 1, 57}},
    {{0, 1, 55}, {1, 1, 60}, {2, 1, 64}, {3, 1, 67}},
    {{0, 1, 65}, {1, 1, 64}, {2, 2, 62}},
    {{0, 1, 64}, {1, 1, 69}, {2, 0.5, 67}, {2.5, 0.5, 64}, {3, 1, 60}},
    {{0, 1, 65}, {1, 1, 69}, {2, 1, 67}, {3, 1, 65}},
    {{0, 1.5, 64}, {1.5, 0.5, 62}, {2, 1, 60}, {3, 1, 64}},
    {{0, 2, 62}, {2, 1, 59}, {3, 1, 62}},
};
const std::vector<std::vector<Note>> kBreakdownMelody = {
    {{0, 2, 65}, {2, 1, 64}, {3, 1, 62}},
    {{0, 3, 64}, {3, 1, 60}},
    {{0, 1, 60}, {1, 1, 62}, {2, 1, 65}, {3, 1, 69}},
    {{0, 2, 68}, {2, 2, 71}},
};
const std::vector<Note> kFinalNote = {{0, 4, 57}};
// The lead sings the vowels of "lu-mo-ka-ri", one per note.
const int kLyricVowels[4] = {kU, kO, kA, kI};

// The melody notes of a bar (none where the lead rests).
const std::vector<Note>* melodyOfBar(int bar) {
    if (bar >= 10 && bar <= 17) return &kMelody[static_cast<size_t>(bar - 10)];
    if (inBreakdown(bar)) return &kBreakdownMelody[static_cast<size_t>(bar - 18)];
    if (bar >= 22 && bar <= 25) return &kMelody[static_cast<size_t>(bar - 22 + 4)];
    if (bar == kBars - 1) return &kFinalNote;
    return nullptr;
}

size_t sampleAt(double seconds) { return static_cast<size_t>(std::llround(seconds * kRate)); }

void renderKick(Stereo& out, size_t at, double level) {
    double phase = 0;
    const size_t n = std::min(out.l.size() - std::min(at, out.l.size()), sampleAt(0.45));
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate;
        phase += (48.0 + 120.0 * std::exp(-t / 0.035)) / kRate;
        const double v = std::sin(2 * kPi * phase) * std::exp(-t / 0.22) + 0.3 * std::exp(-t / 0.002);
        out.add(at + i, v * level, 0.0);
    }
}

void renderSnare(Stereo& out, size_t at, double level, uint32_t seed) {
    Noise noise(seed);
    Biquad band;
    band.bandPass(1900, 0.7);
    const size_t n = std::min(out.l.size() - std::min(at, out.l.size()), sampleAt(0.35));
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double body = std::sin(2 * kPi * 185.0 * t) * std::exp(-t / 0.05);
        const double v = 1.6 * band.process(noise.next()) * std::exp(-t / 0.10) + 0.5 * body;
        out.add(at + i, v * level, -0.1);
    }
}

void renderHat(Stereo& out, size_t at, double level, double decay, uint32_t seed) {
    Noise noise(seed);
    Biquad high;
    high.highPass(7000, 0.9);
    const size_t n = std::min(out.l.size() - std::min(at, out.l.size()), sampleAt(decay * 6));
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate;
        out.add(at + i, high.process(noise.next()) * std::exp(-t / decay) * level, 0.35);
    }
}

// A bass note: sawtooth plus a sine an octave down, through a resonant low-pass whose cutoff
// falls after the attack.
void renderBass(Stereo& out, size_t at, double seconds, int midi, double level) {
    Oscillator osc;
    Biquad low;
    const double hz = midiToHz(midi);
    const size_t n = std::min(out.l.size() - std::min(at, out.l.size()), sampleAt(seconds + 0.03));
    const size_t gateEnd = sampleAt(seconds * 0.8);
    double amp = 0, subPhase = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate;
        if (i % kFormantUpdateSamples == 0) low.lowPass(180.0 + 1400.0 * std::exp(-t / 0.06), 2.2);
        const double target = i < gateEnd ? 1.0 : 0.0;
        amp += (target - amp) * (target > amp ? follow(0.003) : follow(0.012));
        subPhase += hz / 2 / kRate;
        const double v = low.process(osc.saw(hz)) * 0.7 + std::sin(2 * kPi * subPhase) * 0.6;
        out.add(at + i, v * amp * level, 0.0);
    }
}

// A small Schroeder reverb: four damped combs and two all-passes per side.
class Reverb {
public:
    Reverb() {
        const int combs[4] = {1116, 1188, 1277, 1356};
        const int passes[2] = {556, 441};
        for (int side = 0; side < 2; ++side) {
            for (int i = 0; i < 4; ++i) comb_[side][i].assign(static_cast<size_t>(combs[i] + 23 * side), 0.0);
            for (int i = 0; i < 2; ++i) pass_[side][i].assign(static_cast<size_t>(passes[i] + 23 * side), 0.0);
        }
    }
    void process(double in, double& outL, double& outR) {
        double* outs[2] = {&outL, &outR};
        for (int side = 0; side < 2; ++side) {
            double sum = 0;
            for (int i = 0; i < 4; ++i) {
                std::vector<double>& buf = comb_[side][i];
                size_t& pos = combPos_[side][i];
                const double y = buf[pos];
                damp_[side][i] = y * 0.7 + damp_[side][i] * 0.3;
                buf[pos] = in + damp_[side][i] * 0.8;
                pos = (pos + 1) % buf.size();
                sum += y;
            }
            for (int i = 0; i < 2; ++i) {
                std::vector<double>& buf = pass_[side][i];
                size_t& pos = passPos_[side][i];
                const double b = buf[pos];
                buf[pos] = sum + b * 0.5;
                pos = (pos + 1) % buf.size();
                sum = b - sum;
            }
            *outs[side] = sum * 0.25;
        }
    }

private:
    std::vector<double> comb_[2][4], pass_[2][2];
    size_t combPos_[2][4] = {}, passPos_[2][2] = {};
    double damp_[2][4] = {};
};

bool writeFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_music OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const double musicSeconds = kBars * barSeconds();
    const size_t total = sampleAt(musicSeconds + kTailSeconds);

    Stereo drums(total), bass(total), choir(total), lead(total);
    // Drums and bass, one bar at a time.
    uint32_t seed = 1;
    for (int bar = 0; bar < kBars; ++bar) {
        const double barStart = bar * barSeconds();
        const bool breakdown = inBreakdown(bar);
        for (int eighth = 0; eighth < 8; ++eighth) {
            const double t = barStart + eighth * kBeatSeconds / 2;
            const size_t at = sampleAt(t);
            const bool onBeat = eighth % 2 == 0;
            if (bar == kBars - 1) {
                if (eighth == 0) renderKick(drums, at, 0.9);
                continue;
            }
            if (drumsIn(bar) && onBeat && (!breakdown || eighth == 0)) renderKick(drums, at, 0.9);
            if (drumsIn(bar) && !breakdown && (eighth == 2 || eighth == 6)) renderSnare(drums, at, 0.45, seed++);
            if (!onBeat) renderHat(drums, at, breakdown ? 0.08 : 0.12, eighth == 7 ? 0.09 : 0.025, seed++);
            else if (bar >= 2 && !breakdown) renderHat(drums, at, 0.06, 0.015, seed++);
            if (drumsIn(bar) && !breakdown) {
                const int root = chordOfBar(bar).bass;
                const int note = (eighth == 3 || eighth == 7) ? root + 12 : root;
                renderBass(bass, at, kBeatSeconds / 2, note, 0.32);
            }
        }
    }
    // The choir: each chord note sung by two slightly detuned voices, panned apart, singing
    // "aah" in the first half of each bar and "ooh" in the second.
    std::vector<FormantVoice> choirVoices;
    for (int i = 0; i < 6; ++i)
        choirVoices.emplace_back(100u + static_cast<uint32_t>(i), (i % 2 == 0 ? -7.0 : 7.0) + i, 0.08);
    // The lead voice.
    FormantVoice leadVoice(7u, 0.0, 0.035);
    const double choirAttack = follow(0.25), choirRelease = follow(0.4);
    const double leadAttack = follow(0.02), leadRelease = follow(0.06);
    int noteCount = 0;
    const std::vector<Note>* currentMelody = nullptr;
    int lastNoteIndex = -1;
    for (size_t i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const int bar = std::min(static_cast<int>(t / barSeconds()), kBars);
        const double beatInBar = (t - bar * barSeconds()) / kBeatSeconds;
        const bool playingBar = bar < kBars;
        if (playingBar) {
            const Chord& chord = chordOfBar(bar);
            const double level = bar < 2 ? 0.12 : (inBreakdown(bar) ? 0.18 : 0.15);
            for (size_t v = 0; v < choirVoices.size(); ++v) {
                choirVoices[v].setNote(chord.notes[v / 2]);
                choirVoices[v].setVowel(beatInBar < 2.0 ? kA : kO);
                choirVoices[v].setLevel(bar == kBars - 1 && beatInBar > 2.0 ? 0.0 : level);
            }
        } else {
            for (FormantVoice& v : choirVoices) v.setLevel(0.0);
        }
        for (size_t v = 0; v < choirVoices.size(); ++v) {
            const double s = choirVoices[v].next(choirAttack, choirRelease);
            choir.add(i, s, v % 2 == 0 ? -0.6 : 0.6);
        }
        // Lead: find the note sounding now.
        const std::vector<Note>* melody = playingBar ? melodyOfBar(bar) : nullptr;
        if (melody != currentMelody) {
            currentMelody = melody;
            lastNoteIndex = -1;
        }
        bool gate = false;
        if (melody != nullptr) {
            for (size_t n = 0; n < melody->size(); ++n) {
                const Note& note = (*melody)[n];
                if (beatInBar >= note.start && beatInBar < note.start + note.length - 0.08) {
                    gate = true;
                    if (static_cast<int>(n) != lastNoteIndex) {
                        lastNoteIndex = static_cast<int>(n);
                        leadVoice.setNote(note.midi);
                        leadVoice.setVowel(bar == kBars - 1 ? kA : kLyricVowels[noteCount % 4]);
                        ++noteCount;
                    }
                }
            }
        }
        leadVoice.setLevel(gate ? 0.50 : 0.0);
        lead.add(i, leadVoice.next(leadAttack, leadRelease), 0.0);
    }

    // Mix: the kick ducks choir and bass a little; voices and snare go to the reverb.
    std::vector<double> mixL(total), mixR(total);
    Reverb reverb;
    double duck = 1.0;
    for (size_t i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const int bar = static_cast<int>(t / barSeconds());
        const double sinceBeat = std::fmod(t, kBeatSeconds);
        const bool kickHere = drumsIn(bar) && !inBreakdown(bar);
        duck = kickHere ? 1.0 - 0.35 * std::exp(-sinceBeat / 0.12) : 1.0;
        const double dryL = drums.l[i] + duck * (bass.l[i] + choir.l[i]) + lead.l[i];
        const double dryR = drums.r[i] + duck * (bass.r[i] + choir.r[i]) + lead.r[i];
        const double send = 0.5 * (choir.l[i] + choir.r[i]) * 0.45 + 0.5 * (lead.l[i] + lead.r[i]) * 0.35 +
                            0.5 * (drums.l[i] + drums.r[i]) * 0.05;
        double wetL = 0, wetR = 0;
        reverb.process(send, wetL, wetR);
        mixL[i] = dryL + wetL;
        mixR[i] = dryR + wetR;
    }
    // Fade out the end, then scale the peak to kPeakLevel.
    const size_t fade = sampleAt(kFadeSeconds);
    for (size_t k = 0; k < fade; ++k) {
        const double g = static_cast<double>(k) / static_cast<double>(fade);
        mixL[total - 1 - k] *= g;
        mixR[total - 1 - k] *= g;
    }
    double peak = 0;
    for (size_t i = 0; i < total; ++i) peak = std::max({peak, std::fabs(mixL[i]), std::fabs(mixR[i])});
    const double gain = peak > 0 ? kPeakLevel / peak : 1.0;
    std::vector<float> interleaved(2 * total);
    for (size_t i = 0; i < total; ++i) {
        interleaved[2 * i] = static_cast<float>(mixL[i] * gain);
        interleaved[2 * i + 1] = static_cast<float>(mixR[i] * gain);
    }

    const std::vector<unsigned char> encoded =
        vorbiswriter::encode(kRate, 2, interleaved, kVorbisQuality, kOggSerial, "lumokari2 tumelora voices");
    const std::string ogg(encoded.begin(), encoded.end());
    if (ogg.empty() || !writeFile(dir + "/" + kBaseName + ".ogg", ogg)) {
        std::fprintf(stderr, "make_music: cannot write %s/%s.ogg\n", dir.c_str(), kBaseName);
        return 1;
    }
    std::string beats;
    for (int beat = 0; beat <= (kBars - 1) * kBeatsPerBar; ++beat)
        beats += std::to_string(static_cast<long>(std::llround(beat * kBeatSeconds * 1000.0))) + "\n";
    if (!writeFile(dir + "/" + kBaseName + ".beats", beats)) {
        std::fprintf(stderr, "make_music: cannot write %s/%s.beats\n", dir.c_str(), kBaseName);
        return 1;
    }
    return 0;
}
