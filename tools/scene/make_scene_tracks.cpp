// make_scene_tracks BEATS MUSIC.ogg OUTDIR: choreographs the bundled scene to the music and
// writes one actor data file per picture, and the dancer's rig file, into OUTDIR. BEATS is the
// music's beat list (the time of every beat in whole milliseconds, one per line); every move is
// timed in beats of that list, and the tracks run for the length of MUSIC.ogg plus a still
// ending.
//
// The program eases each displayed position and scale a quarter of the way toward the track
// per frame (rotation is taken as it is). The tracks here are written so that the eased pose
// lands exactly on the choreographed one: each stored pose is the one that the easing step
// turns the previous displayed pose into the wanted pose. So the dancer's parts, posed from one
// skeleton, stay joined while the music plays.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "actors/ActorDataFile.h"
#include "rig/RigMotion.h"
#include "tools/scene/SceneModel.h"

using namespace scene;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFramesPerSecond = 60;
// Still frames after the music's end (0.5 s). The program closes when the music has played to
// its end, but a track that ends first stops the music, and the program then rests on its last
// frame; a sound device's clock may run a little slower than the one the frames follow, so the
// track outlasts the music by a margin (1% of its length). A video export, which writes every
// frame, ends with these still frames over the music's silent end.
constexpr int kEndHoldFrames = 30;

// Degrees to radians, clamping to [0, 1], and mixing a to b by t.
double radians(double degrees) { return degrees * kPi / 180.0; }
double clamp01(double t) { return t < 0 ? 0 : (t > 1 ? 1 : t); }
double lerp(double a, double b, double t) { return a + (b - a) * t; }
// Smooth step over [0, 1]: gentle start and stop.
double smooth(double t) {
    t = clamp01(t);
    return t * t * (3 - 2 * t);
}
// Cubic ease in and out: moves that settle firmly on their beat.
double snap(double t) {
    t = clamp01(t);
    return t < 0.5 ? 4 * t * t * t : 1 - std::pow(-2 * t + 2, 3) / 2;
}
// Ease out with a small overshoot, for things popping into view.
double popOut(double t) {
    t = clamp01(t);
    const double c = 1.70158;
    return 1 + (c + 1) * std::pow(t - 1, 3) + c * std::pow(t - 1, 2);
}

// ---- Timing: frames to beats through the beat list. ----

class BeatClock {
public:
    explicit BeatClock(std::vector<double> beatFrames) : frames_(std::move(beatFrames)) {}
    // The beat position (0 at the first beat, 1 at the second, ...) of a frame; before the
    // first and after the last beat it runs on at the neighbouring beats' pace.
    double beatAt(double frame) const {
        const size_t n = frames_.size();
        size_t i = size_t(std::upper_bound(frames_.begin(), frames_.end(), frame) - frames_.begin());
        i = i == 0 ? 0 : std::min(i - 1, n - 2);
        return double(i) + (frame - frames_[i]) / (frames_[i + 1] - frames_[i]);
    }

private:
    std::vector<double> frames_;
};

// The sections of the music, in beats (4 beats to the bar).
constexpr double kGrooveStart = 8;       // drums come in
constexpr double kGrooveSideStart = 24;
constexpr double kMelodyStart = 40;      // the lead voice sings
constexpr double kMelodyWaveStart = 56;
constexpr double kBreakdownStart = 72;   // the kick only on each bar's first beat
constexpr double kFullStart = 88;
constexpr double kKicksStart = 96;
constexpr double kFinalChord = 104;      // the last kick and the final chord

// True when the kick drum sounds on this beat.
bool kickOn(int beat) {
    if (beat < kGrooveStart || beat > kFinalChord) return false;
    if (beat >= kBreakdownStart && beat < kFullStart) return beat % 4 == 0;
    return true;
}

// How strongly the last kick still rings at beat position b: 1 on the kick, decaying.
double kickPulse(double b) {
    for (int k = int(std::floor(b)); k >= int(std::floor(b)) - 4 && k >= 0; --k)
        if (kickOn(k)) return std::exp(-(b - k) * 5.0);
    return 0;
}

// ---- Poses as shown on stage. ----

// A pose in stage pixels and radians, as it should appear.
struct Shown {
    double x = -80, y = -80, rotation = 0, sx = 1, sy = 1;
};

// Rotates (x, y) by a (clockwise on screen, y downwards).
void rotate(double a, double& x, double& y) {
    const double c = std::cos(a), s = std::sin(a);
    const double rx = x * c - y * s, ry = x * s + y * c;
    x = rx;
    y = ry;
}

// The shown pose of a picture turned by rotation and scaled by (sx, sy) about its centre so
// that its point anchor (picture pixels) sits at (ax, ay) on stage.
Shown placeAt(const Picture& p, Point anchor, double ax, double ay, double rotation, double sx = 1,
              double sy = 1) {
    double dx = (anchor.x - p.w / 2.0) * sx, dy = (anchor.y - p.h / 2.0) * sy;
    rotate(rotation, dx, dy);
    return Shown{ax - dx, ay - dy, rotation, sx, sy};
}

// The stage position of the picture point q of a part shown as s (no scale).
void pointOf(const Picture& p, const Shown& s, Point q, double& x, double& y) {
    double dx = q.x - p.w / 2.0, dy = q.y - p.h / 2.0;
    rotate(s.rotation, dx, dy);
    x = s.x + dx;
    y = s.y + dy;
}

// ---- The dancer. ----

// The dancer's pose: the pelvis on stage, the body's lean, a whole-body turn (for flips)
// about the middle of the body, joint angles in degrees and the ankle targets on stage.
// Arm angles are mirrored: 0 hangs down, 90 points straight out to that arm's side, 180 up;
// a positive elbow bend carries the forearm further the same way.
struct Body {
    double x = kDancerHomeX, y = 0, lean = 0, spin = 0, head = 0;
    double armL = 12, elbowL = 8, armR = 12, elbowR = 8;
    double footLx = 0, footLy = 0, footRx = 0, footRy = 0;  // offsets from the standing feet
    double tuck = 0;  // 1: the feet follow the body (in the air) instead of the floor
};

// The body between a (t = 0) and b (t = 1), every value mixed linearly.
Body mix(const Body& a, const Body& b, double t) {
    Body r;
    r.x = lerp(a.x, b.x, t);
    r.y = lerp(a.y, b.y, t);
    r.lean = lerp(a.lean, b.lean, t);
    r.spin = lerp(a.spin, b.spin, t);
    r.head = lerp(a.head, b.head, t);
    r.armL = lerp(a.armL, b.armL, t);
    r.elbowL = lerp(a.elbowL, b.elbowL, t);
    r.armR = lerp(a.armR, b.armR, t);
    r.elbowR = lerp(a.elbowR, b.elbowR, t);
    r.footLx = lerp(a.footLx, b.footLx, t);
    r.footLy = lerp(a.footLy, b.footLy, t);
    r.footRx = lerp(a.footRx, b.footRx, t);
    r.footRy = lerp(a.footRy, b.footRy, t);
    r.tuck = lerp(a.tuck, b.tuck, t);
    return r;
}

// Leg lengths from the skeleton.
const double kThighLength = thigh::kKnee.y - thigh::kHip.y;
const double kShinLength = shin::kAnkle.y - shin::kKnee.y;
// Standing: the ankles above the floor line, the pelvis so that the knees bend a little.
const double kAnkleY = kFloorY - shin::kSoleBelowAnkle;
const double kStandHipY = kAnkleY - 0.96 * (kThighLength + kShinLength);
const double kStandRootY = kStandHipY + (torso::kRoot.y - torso::kHipLeft.y);
// The standing ankles sit a little outside the hips.
constexpr double kFootSpread = 26;
// The whole-body turn pivots this far above the pelvis.
constexpr double kSpinPivotAbove = 70;

// The shown poses of the dancer's parts, in the order of kDancerParts.
struct DancerShown {
    Shown shinL, shinR, thighL, thighR, torso, head, upperL, upperR, foreL, foreR;
};

// Two-bone leg: the thigh and shin angles that bring the ankle from the hip (hx, hy) to
// (ax, ay), the knee bending outward (to the left for the left leg).
void solveLeg(double hx, double hy, double ax, double ay, bool left, double& thighAngle, double& shinAngle) {
    double vx = ax - hx, vy = ay - hy;
    double d = std::sqrt(vx * vx + vy * vy);
    const double reach = (kThighLength + kShinLength) * 0.9995;
    const double shortest = std::fabs(kThighLength - kShinLength) + 1;
    d = std::min(std::max(d, shortest), reach);
    const double toAnkle = std::atan2(-vx, vy);
    const double cosA = (kThighLength * kThighLength + d * d - kShinLength * kShinLength) / (2 * kThighLength * d);
    const double bend = std::acos(std::max(-1.0, std::min(1.0, cosA)));
    thighAngle = left ? toAnkle + bend : toAnkle - bend;
    const double kx = hx - std::sin(thighAngle) * kThighLength, ky = hy + std::cos(thighAngle) * kThighLength;
    shinAngle = std::atan2(-(ax - kx), ay - ky);
}

// Every part of the dancer placed from one body pose: the torso first, then the limbs outward.
DancerShown poseDancer(const Body& b) {
    DancerShown d;
    const double rootY = kStandRootY + b.y;
    const double lean = radians(b.lean);
    d.torso = placeAt(kTorso, torso::kRoot, b.x, rootY, lean);

    double nx, ny;
    pointOf(kTorso, d.torso, torso::kNeck, nx, ny);
    d.head = placeAt(kHead, head::kNeck, nx, ny, lean + radians(b.head));

    double sx, sy;
    pointOf(kTorso, d.torso, torso::kShoulderLeft, sx, sy);
    const double upperL = lean + radians(b.armL);
    d.upperL = placeAt(kUpperArmLeft, upperArm::kShoulder, sx, sy, upperL);
    double ex, ey;
    pointOf(kUpperArmLeft, d.upperL, upperArm::kElbow, ex, ey);
    d.foreL = placeAt(kForearmLeft, forearm::kElbow, ex, ey, upperL + radians(b.elbowL));

    pointOf(kTorso, d.torso, torso::kShoulderRight, sx, sy);
    const double upperR = lean - radians(b.armR);
    d.upperR = placeAt(kUpperArmRight, upperArm::kShoulder, sx, sy, upperR);
    pointOf(kUpperArmRight, d.upperR, upperArm::kElbow, ex, ey);
    d.foreR = placeAt(kForearmRight, forearm::kElbow, ex, ey, upperR - radians(b.elbowR));

    // Legs: ankles on the floor, or tucked under the body while in the air.
    for (int side = 0; side < 2; ++side) {
        const bool left = side == 0;
        double hx, hy;
        pointOf(kTorso, d.torso, left ? torso::kHipLeft : torso::kHipRight, hx, hy);
        const double s = left ? -1 : 1;
        const double floorX = b.x + s * kFootSpread + (left ? b.footLx : b.footRx);
        const double floorY = kAnkleY + (left ? b.footLy : b.footRy);
        const double tuckX = hx + s * 34, tuckY = hy + 0.6 * (kThighLength + kShinLength);
        const double ax = lerp(floorX, tuckX, b.tuck), ay = lerp(floorY, tuckY, b.tuck);
        double ta, sa;
        solveLeg(hx, hy, ax, ay, left, ta, sa);
        Shown& th = left ? d.thighL : d.thighR;
        th = placeAt(left ? kThighLeft : kThighRight, thigh::kHip, hx, hy, ta);
        double kx, ky;
        pointOf(left ? kThighLeft : kThighRight, th, thigh::kKnee, kx, ky);
        (left ? d.shinL : d.shinR) = placeAt(left ? kShinLeft : kShinRight, shin::kKnee, kx, ky, sa);
    }

    // The whole-body turn: every part about the pivot above the pelvis.
    if (b.spin != 0) {
        const double px = b.x, py = rootY - kSpinPivotAbove;
        for (Shown* s : {&d.shinL, &d.shinR, &d.thighL, &d.thighR, &d.torso, &d.head, &d.upperL, &d.upperR,
                         &d.foreL, &d.foreR}) {
            double dx = s->x - px, dy = s->y - py;
            rotate(b.spin, dx, dy);
            s->x = px + dx;
            s->y = py + dy;
            s->rotation += b.spin;
        }
    }
    return d;
}

// A key of the choreography: the body reached at a beat, and how it moves there.
struct Key {
    double beat;
    Body body;
    double (*ease)(double);
};

// The dance, beat by beat.
class Choreography {
public:
    Choreography() { build(); }

    // The body at beat position b.
    Body at(double b) const {
        if (b <= keys_.front().beat) return withGroove(keys_.front().body, b);
        for (size_t i = 1; i < keys_.size(); ++i) {
            if (b < keys_[i].beat) {
                const Key& k0 = keys_[i - 1];
                const Key& k1 = keys_[i];
                const double t = k1.ease((b - k0.beat) / (k1.beat - k0.beat));
                return withGroove(mix(k0.body, k1.body, t), b);
            }
        }
        return withGroove(keys_.back().body, b);
    }

private:
    std::vector<Key> keys_;

    void key(double beat, const Body& body, double (*ease)(double) = snap) { keys_.push_back({beat, body, ease}); }

    // The bounce on every beat while the drums play: lowest on the beat, the head nodding.
    static Body withGroove(Body body, double b) {
        const bool drums = (b >= kGrooveStart && b < kBreakdownStart) || (b >= kFullStart && b < kFinalChord);
        if (drums && body.tuck == 0) {
            const double phase = b - std::floor(b);
            body.y += 10 * (std::cos(2 * kPi * phase) + 1) / 2;
            body.head += 5 * std::cos(2 * kPi * phase);
        }
        return body;
    }

    static Body arms(Body b, double armL, double elbowL, double armR, double elbowR) {
        b.armL = armL;
        b.elbowL = elbowL;
        b.armR = armR;
        b.elbowR = elbowR;
        return b;
    }
    static Body feet(Body b, double lx, double rx, double ly = 0, double ry = 0) {
        b.footLx = lx;
        b.footRx = rx;
        b.footLy = ly;
        b.footRy = ry;
        return b;
    }

    void build() {
        const Body stand;
        // Intro: a hello wave with the right hand, then both arms up to greet the drums.
        key(0, stand, smooth);
        Body wave = arms(stand, 14, 10, 128, 30);
        key(1, wave, smooth);
        for (int i = 0; i < 6; ++i) {
            Body w = wave;
            w.elbowR = i % 2 == 0 ? 62 : 4;
            w.lean = i % 2 == 0 ? -3 : 3;
            w.head = i % 2 == 0 ? -6 : 6;
            key(1.5 + 0.5 * i, w, smooth);
        }
        key(4.5, arms(stand, 20, 10, 30, 10), smooth);
        key(6, feet(arms(stand, 150, 6, 150, 6), -8, 8), smooth);
        key(7, feet(arms(stand, 158, 0, 158, 0), -8, 8), smooth);
        key(8, feet(arms(stand, 35, 80, 35, 80), -10, 10), snap);

        // Groove: arms pumping in turn, a small step touch.
        for (int beat = 9; beat <= kGrooveSideStart; ++beat) {
            const bool left = beat % 2 == 1;
            Body b = left ? arms(stand, 168, 0, 32, 100) : arms(stand, 32, 100, 168, 0);
            b.lean = left ? 4 : -4;
            b = left ? feet(b, -16, 6) : feet(b, -6, 16);
            key(beat, b);
        }
        // Side steps: step and close to the right, then to the left; arms open, then clap high.
        for (int beat = int(kGrooveSideStart) + 1; beat <= kMelodyStart; ++beat) {
            const int phase = (beat - int(kGrooveSideStart) - 1) % 4;
            Body b = stand;
            const double dir = phase < 2 ? 1 : -1;
            if (phase % 2 == 0) {
                b.x = kDancerHomeX + dir * 60;
                b = feet(b, -20 + dir * 60, 20 + dir * 60);
                b = arms(b, 95, 0, 95, 0);
                b.lean = -dir * 3;
            } else {
                b.x = kDancerHomeX + dir * 70;
                b = feet(b, dir * 70 + (dir > 0 ? 14 : -4), dir * 70 + (dir > 0 ? 4 : -14));
                b = arms(b, 165, 16, 165, 16);
            }
            key(beat, b);
        }
        // Melody: disco pointing, the other hand on the hip; the second half mirrored.
        for (int beat = int(kMelodyStart) + 1; beat <= kMelodyWaveStart; ++beat) {
            const bool mirrored = beat > kMelodyStart + 8;
            const bool up = beat % 2 == 1;
            Body b = feet(stand, -14, 14);
            double pointArm = up ? 145 : -28, pointElbow = 0, hipArm = 42, hipElbow = -112;
            b.x = kDancerHomeX + (up ? -18 : 18) * (mirrored ? -1 : 1);
            b.lean = (up ? -6 : 4) * (mirrored ? -1 : 1);
            b.head = (up ? -10 : 6) * (mirrored ? -1 : 1);
            b = mirrored ? arms(b, pointArm, pointElbow, hipArm, hipElbow) : arms(b, hipArm, hipElbow, pointArm, pointElbow);
            key(beat, b);
        }
        // Waving overhead with the whole body, then flexing on the beat.
        for (int beat = int(kMelodyWaveStart) + 2; beat <= kMelodyWaveStart + 8; beat += 2) {
            const bool toLeft = (beat / 2) % 2 == 0;
            Body b = feet(stand, -22, 22);
            b.x = kDancerHomeX + (toLeft ? -40 : 40);
            b.lean = toLeft ? 10 : -10;
            b = arms(b, toLeft ? 150 : 138, toLeft ? 26 : -10, toLeft ? 138 : 150, toLeft ? -10 : 26);
            key(beat, b, smooth);
        }
        for (int beat = int(kMelodyWaveStart) + 9; beat <= kBreakdownStart - 1; ++beat) {
            const bool flex = beat % 2 == 1;
            Body b = feet(stand, -24, 24);
            b = flex ? arms(b, 92, 95, 92, 95) : arms(b, 40, -110, 40, -110);
            b.head = flex ? 8 : -8;
            key(beat, b);
        }
        // Breakdown: slow and wide.
        Body crouch = feet(arms(stand, 72, 0, 72, 0), -48, 48);
        crouch.y = 46;
        key(kBreakdownStart, crouch, smooth);
        key(kBreakdownStart + 1, crouch, smooth);
        key(kBreakdownStart + 4, feet(arms(stand, 160, 6, 160, 6), -30, 30), smooth);
        for (int i = 1; i <= 4; ++i) {
            Body roll = feet(arms(stand, 150, i % 2 ? 40 : -10, 150, i % 2 ? -10 : 40), -30, 30);
            roll.lean = i % 2 ? -12 : 12;
            roll.x = kDancerHomeX + (i % 2 ? 24 : -24);
            if (i == 4) roll.lean = 0, roll.x = kDancerHomeX;
            key(kBreakdownStart + 4 + i, roll, smooth);
        }
        key(kBreakdownStart + 10, feet(arms(stand, 90, -20, 90, -20), -30, 30), smooth);
        key(kBreakdownStart + 11.5, feet(arms(stand, -15, -70, -15, -70), -20, 20), smooth);
        Body ready = feet(arms(stand, 40, 0, 40, 0), -30, 30);
        ready.y = 40;
        key(kBreakdownStart + 13.5, ready, smooth);
        key(kBreakdownStart + 14, ready, smooth);
        // The back flip: up, one full turn backwards with the legs tucked, land on the beat.
        Body air = arms(stand, 150, 20, 150, 20);
        air.y = -150;
        air.tuck = 1;
        air.spin = -kPi;
        key(kBreakdownStart + 14.3, [&] { Body b = air; b.spin = -0.25; b.y = -60; b.tuck = 0.6; return b; }(), smooth);
        key(kBreakdownStart + 15, air, [](double t) { return t; });
        Body down = air;
        down.spin = -2 * kPi + 0.2;
        down.y = -50;
        down.tuck = 0.5;
        key(kBreakdownStart + 15.7, down, [](double t) { return t; });
        Body land = feet(arms(stand, 150, 4, 150, 4), -40, 40);
        land.spin = -2 * kPi;
        land.y = 34;
        key(kFullStart, land, smooth);
        // The rest of the dance keeps the full turn: it looks the same as none.
        auto turned = [](Body b) {
            b.spin = -2 * kPi;
            return b;
        };
        key(kFullStart + 0.5, turned(feet(arms(stand, 150, 4, 150, 4), -40, 40)), smooth);

        // Full: jumping jacks on every beat.
        for (double beat = kFullStart + 1; beat <= kKicksStart; beat += 0.5) {
            const bool out = beat == std::floor(beat);
            Body b = out ? feet(arms(stand, 162, 0, 162, 0), -56, 56) : feet(arms(stand, 16, 10, 16, 10), 8, -8);
            b.y = out ? 8 : -14;
            key(beat, turned(b));
        }
        // Kicks to either side with a punch up, then a spin jump into the final chord.
        for (int beat = int(kKicksStart) + 1; beat <= kKicksStart + 6; ++beat) {
            const int phase = beat % 4;
            Body b = feet(stand, -12, 12);
            if (phase == 1) {
                b = feet(arms(b, 60, -40, 170, 0), -70, 12, -96, 0);
                b.lean = 8;
            } else if (phase == 3) {
                b = feet(arms(b, 170, 0, 60, -40), -12, 70, 0, -96);
                b.lean = -8;
            } else {
                b = arms(b, 30, 100, 30, 100);
            }
            key(beat, turned(b));
        }
        Body low = feet(arms(stand, 50, 30, 50, 30), -30, 30);
        low.y = 44;
        key(kFinalChord - 1.5, turned(low));
        Body jump = arms(stand, 170, 0, 170, 0);
        jump.y = -110;
        jump.tuck = 0.5;
        jump.spin = -2 * kPi + kPi;
        key(kFinalChord - 0.75, jump, smooth);
        // The final pose: a wide star on the last kick.
        Body star = feet(arms(stand, 140, 0, 140, 0), -60, 60);
        star.y = 26;
        key(kFinalChord, star, smooth);
        star.y = 6;
        key(kFinalChord + 0.5, star, smooth);
        Body hold = star;
        hold.head = -8;
        key(kFinalChord + 2, hold, smooth);
        // A goodbye wave, then standing still to the end.
        Body bye = feet(arms(stand, 16, 8, 130, 30), -14, 14);
        key(kFinalChord + 3, bye, smooth);
        for (int i = 0; i < 5; ++i) {
            Body w = bye;
            w.elbowR = i % 2 == 0 ? 62 : 4;
            w.head = i % 2 == 0 ? -6 : 6;
            key(kFinalChord + 3.5 + 0.5 * i, w, smooth);
        }
        key(kFinalChord + 7, feet(stand, -6, 6), smooth);
    }
};

// ---- Every actor's shown track. ----

struct ActorTrack {
    const Picture* picture;
    bool bindScale;
    bool wobble;
    std::vector<Shown> shown;
};

// The music's length in frames (rounded up), or -1 when the file cannot be read.
long musicFrames(const char* path) {
    OggVorbis_File vf;
    if (ov_fopen(path, &vf) != 0) return -1;
    const ogg_int64_t samples = ov_pcm_total(&vf, -1);
    const vorbis_info* info = ov_info(&vf, -1);
    const long rate = info ? info->rate : 0;
    ov_clear(&vf);
    if (samples <= 0 || rate <= 0) return -1;
    return long((samples * kFramesPerSecond + rate - 1) / rate);
}

// The beat list as frame numbers (fractional), or empty when unreadable.
std::vector<double> readBeatFrames(const char* path) {
    std::ifstream in(path);
    std::vector<double> frames;
    long ms;
    while (in >> ms) frames.push_back(double(ms) * kFramesPerSecond / 1000.0);
    if (!in.eof()) frames.clear();
    return frames;
}

// Converts a shown track (stage pixels) into the poses to store: each stored pose is the one
// the program's easing step turns the previous displayed pose into the shown one (the rig
// editor's rule, storedPoseFor). Frames that move too fast to be shown exactly are counted in
// clipped.
std::vector<ActorPose> compensate(const std::vector<Shown>& shown, int& clipped) {
    clipped = 0;
    std::vector<ActorPose> poses;
    poses.reserve(shown.size());
    ActorPose displayed;
    for (size_t i = 0; i < shown.size(); ++i) {
        const Shown& s = shown[i];
        ActorPose want;
        want.position.set(float(s.x / kUnitPixels), float(s.y / kUnitPixels));
        want.rotation = float(s.rotation);
        want.scale.set(float(s.sx), float(s.sy));
        if (i == 0) {
            // The first pose is shown as it is.
            poses.push_back(want);
            displayed = want;
            continue;
        }
        bool shortened = false;
        const ActorPose t = storedPoseFor(displayed, want, shortened);
        if (shortened) ++clipped;
        poses.push_back(t);
        easeToward(displayed, t);  // the program's own easing step
    }
    return poses;
}

bool writeTrack(const std::string& dir, const ActorTrack& a) {
    const std::string name = actorNameFromFileName(a.picture->file);
    int clipped = 0;
    const std::vector<uint8_t> bytes = encodeActorData(compensate(a.shown, clipped), a.bindScale, a.wobble);
    if (clipped > 0)
        std::fprintf(stderr, "make_scene_tracks: %s moves too fast to be shown exactly in %d frames\n", name.c_str(), clipped);
    std::ofstream out(dir + "/" + name + kActorDataSuffix, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) std::fprintf(stderr, "make_scene_tracks: cannot write %s/%s%s\n", dir.c_str(), name.c_str(), kActorDataSuffix);
    return bool(out);
}

// The dancer's rig: every part hangs from the part it is joined to and turns about that joint.
bool writeRig(const std::string& dir) {
    struct Part {
        const Picture* picture;
        const Picture* parent;
        Point pivot;
    };
    const Part parts[] = {
        {&kShinLeft, &kThighLeft, shin::kKnee},         {&kShinRight, &kThighRight, shin::kKnee},
        {&kThighLeft, &kTorso, thigh::kHip},            {&kThighRight, &kTorso, thigh::kHip},
        {&kTorso, nullptr, torso::kRoot},               {&kHead, &kTorso, head::kNeck},
        {&kUpperArmLeft, &kTorso, upperArm::kShoulder}, {&kUpperArmRight, &kTorso, upperArm::kShoulder},
        {&kForearmLeft, &kUpperArmLeft, forearm::kElbow}, {&kForearmRight, &kUpperArmRight, forearm::kElbow},
    };
    Rig rig;
    std::vector<std::string> names;
    for (const Part& p : parts) {
        const std::string name = actorNameFromFileName(p.picture->file);
        RigJoint& j = rig.joints[name];
        j.parent = p.parent ? actorNameFromFileName(p.parent->file) : std::string();
        j.pivotX = p.pivot.x;
        j.pivotY = p.pivot.y;
        names.push_back(name);
    }
    std::vector<std::string> unwritable;
    const std::string text = formatRig(rig, names, unwritable);
    std::ofstream out(dir + "/" + kRigFileName, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out || !unwritable.empty()) {
        std::fprintf(stderr, "make_scene_tracks: cannot write %s/%s\n", dir.c_str(), kRigFileName);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_scene_tracks BEATS MUSIC.ogg OUTDIR\n");
        return 2;
    }
    const std::vector<double> beatFrames = readBeatFrames(argv[1]);
    if (beatFrames.size() < 2) {
        std::fprintf(stderr, "make_scene_tracks: cannot read the beat list %s\n", argv[1]);
        return 1;
    }
    const long music = musicFrames(argv[2]);
    if (music <= 0) {
        std::fprintf(stderr, "make_scene_tracks: cannot read the music %s\n", argv[2]);
        return 1;
    }
    const std::string dir = argv[3];
    const long frames = music + kEndHoldFrames;
    const BeatClock clock(beatFrames);
    const Choreography dance;

    ActorTrack sun{&kSunPicture, true, false, {}}, cloudBig{&kCloudBig, false, false, {}},
        cloudSmall{&kCloudSmall, false, false, {}}, bunting{&kBunting, false, true, {}},
        bannerL{&kBannerLeft, false, true, {}}, bannerR{&kBannerRight, false, true, {}},
        spotL{&kSpotLeft, false, false, {}}, spotR{&kSpotRight, false, false, {}},
        speakerL{&kSpeakerLeft, true, false, {}}, speakerR{&kSpeakerRight, true, false, {}},
        noteA{&kNoteA, true, false, {}}, noteB{&kNoteB, true, false, {}}, confetti{&kConfetti, true, false, {}}, shadow{&kShadow, true, false, {}},
        shinL{&kShinLeft, false, false, {}}, shinR{&kShinRight, false, false, {}},
        thighL{&kThighLeft, false, false, {}}, thighR{&kThighRight, false, false, {}},
        torsoT{&kTorso, false, false, {}}, headT{&kHead, false, false, {}},
        upperL{&kUpperArmLeft, false, false, {}}, upperR{&kUpperArmRight, false, false, {}},
        foreL{&kForearmLeft, false, false, {}}, foreR{&kForearmRight, false, false, {}},
        plantL{&kPlantLeft, false, true, {}}, plantR{&kPlantRight, false, true, {}};

    for (long f = 0; f < frames; ++f) {
        const double b = clock.beatAt(double(f));
        const double pulse = kickPulse(b);

        // The sun pops up during the intro, then throbs with the kick.
        const double sunIn = popOut(b / 2.0);
        const double sunScale = sunIn * (1 + 0.08 * pulse + (b >= kFinalChord ? 0.12 * std::exp(-(b - kFinalChord)) : 0));
        sun.shown.push_back(Shown{1010, 180, 0.12 * std::sin(2 * kPi * b / 8), sunScale, sunScale});

        // Clouds drift to and fro across the sky, between the banners.
        cloudBig.shown.push_back(Shown{640 + 360 * std::sin(2 * kPi * b / 48), 150 + 6 * std::sin(2 * kPi * b / 4), 0, 1, 1});
        cloudSmall.shown.push_back(
            Shown{640 - 320 * std::sin(2 * kPi * b / 40 + 1), 250 + 5 * std::sin(2 * kPi * b / 4 + 1.3), 0, 1, 1});

        // Decorations that only wave.
        bunting.shown.push_back(Shown{640, 82, kPi / 2, 1, 1});
        bannerL.shown.push_back(Shown{150, 262, 0, 1, 1});
        bannerR.shown.push_back(Shown{1130, 262, 0, 1, 1});
        plantL.shown.push_back(Shown{84, 562, 0, 1, 1});
        plantR.shown.push_back(Shown{1196, 562, 0, 1, 1});

        // Spotlights: they switch on with the drums and sweep in time.
        const double lightOn = smooth((b - (kGrooveStart - 0.5)) / 0.5);
        double sweep;
        if (b < kMelodyStart) sweep = 0.22 * std::sin(2 * kPi * b / 8);
        else if (b < kBreakdownStart) sweep = 0.28 * std::sin(2 * kPi * b / 4);
        else if (b < kFullStart) sweep = 0.12 * std::sin(2 * kPi * b / 16);
        else if (b < kFinalChord) sweep = 0.3 * std::sin(kPi * b);
        else sweep = 0.3 * std::exp(-(b - kFinalChord)) * std::sin(kPi * b);
        const Point apex{kSpotLeft.w / 2.0f, 10.f};
        const double aimL = std::atan2(-(kDancerHomeX - 60 - 430), kFloorY - 30);
        const double aimR = std::atan2(-(kDancerHomeX + 60 - 850), kFloorY - 30);
        spotL.shown.push_back(placeAt(kSpotLeft, apex, 430, 30, aimL + sweep, 1, std::max(lightOn, 0.0)));
        spotR.shown.push_back(placeAt(kSpotRight, apex, 850, 30, aimR - sweep, 1, std::max(lightOn, 0.0)));

        // Speakers thump with the kick, standing on the floor.
        const double thump = 1 + 0.12 * pulse;
        const double tilt = 0.04 * pulse * ((int(std::floor(b)) % 2) ? 1 : -1);
        const Point base{kSpeakerLeft.w / 2.0f, float(kSpeakerLeft.h) - 4.f};
        speakerL.shown.push_back(placeAt(kSpeakerLeft, base, 300, kFloorY, tilt, thump, thump));
        speakerR.shown.push_back(placeAt(kSpeakerRight, base, 980, kFloorY, -tilt, thump, thump));

        // Notes fly up out of the speakers every two bars, in turn.
        for (int which = 0; which < 2; ++which) {
            const double first = which == 0 ? kGrooveStart : kGrooveStart + 4;
            const double fromX = which == 0 ? 300 : 980, drift = which == 0 ? 70 : -70;
            Shown n{fromX, 440, 0, 0, 0};
            if (b >= first && b < kFinalChord) {
                const double t = std::fmod(b - first, 8.0) / 4.0;  // a flight lasts four beats
                if (t < 1) {
                    const double size = t < 0.15 ? popOut(t / 0.15) : (t > 0.8 ? 1 - smooth((t - 0.8) / 0.2) : 1);
                    n = Shown{fromX + drift * t + 30 * std::sin(2 * kPi * t * 1.5), 440 - 320 * (1 - (1 - t) * (1 - t)),
                              0.3 * std::sin(2 * kPi * t * 2), size, size};
                }
            }
            (which == 0 ? noteA : noteB).shown.push_back(n);
        }

        // Confetti bursts when the dancer lands the flip and on the final chord, then drops away.
        double burst = 0, turn = 0;
        for (double at : {kFullStart, kFinalChord}) {
            if (b >= at - 0.01 && b < at + 6) {
                const double t = b - at;
                burst = t < 0.6 ? popOut(t / 0.6) : (t > 4 ? 1 - smooth((t - 4) / 2) : 1);
                turn = 0.08 * t;
            }
        }
        confetti.shown.push_back(Shown{640, 300 + 20 * turn, turn, burst, burst});

        // The dancer, and the shadow under the dancer that shrinks when the dancer leaves the floor.
        const Body body = dance.at(b);
        const DancerShown d = poseDancer(body);
        const double lift = std::max(0.0, -body.y);
        const double shadowScale = std::max(0.4, 1 - lift / 260);
        shadow.shown.push_back(Shown{body.x, kFloorY - 4, 0, shadowScale, shadowScale});
        shinL.shown.push_back(d.shinL);
        shinR.shown.push_back(d.shinR);
        thighL.shown.push_back(d.thighL);
        thighR.shown.push_back(d.thighR);
        torsoT.shown.push_back(d.torso);
        headT.shown.push_back(d.head);
        upperL.shown.push_back(d.upperL);
        upperR.shown.push_back(d.upperR);
        foreL.shown.push_back(d.foreL);
        foreR.shown.push_back(d.foreR);
    }

    bool ok = true;
    for (const ActorTrack* a : {&sun, &cloudBig, &cloudSmall, &bunting, &bannerL, &bannerR, &spotL, &spotR, &speakerL,
                                &speakerR, &noteA, &noteB, &confetti, &shadow, &shinL, &shinR, &thighL, &thighR, &torsoT, &headT,
                                &upperL, &upperR, &foreL, &foreR, &plantL, &plantR})
        ok = writeTrack(dir, *a) && ok;
    // The backdrop fills the stage and stays put.
    ActorTrack backdrop{&kBackdrop, false, false, {Shown{kStageW / 2.0, kStageH / 2.0, 0, 1, 1}}};
    ok = writeTrack(dir, backdrop) && ok;
    ok = writeRig(dir) && ok;
    return ok ? 0 : 1;
}
