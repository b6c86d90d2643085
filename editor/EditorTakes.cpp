// The editor's takes in time (see TakeTiming.h): while a take runs, the pointer is sampled on a
// thread of its own and the heard music is read at every step; each frame is written once both
// reach its moment, shifted by the performer's delay. Beside them the count-in before a take
// (one bar of clicks on the beat grid, the music from a bar before the take's frame) and the
// calibration of the performer's delay (taps on a steady click, kept in the user's settings).
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "actors/Actor.h"
#include "app/Application.h"
#include "editor/Editor.h"
#include "platform/Ticks.h"

using namespace irr;

namespace {

// Longest a reading of the heard music may take between its two clock readings (ms); a longer
// one (the thread was held up between them) is left out.
constexpr double READING_MAX_SPAN_MS = 1.0;
// X's key symbol of the space bar (XK_space), which the calibration's taps are sampled on.
constexpr unsigned long SPACE_KEY_SYMBOL = 0x20;
// The sampler's period in ms: a tap's key press shows within it.
constexpr double SAMPLE_PERIOD_MS = POINTER_SAMPLE_PERIOD_US / 1000.0;

// Reads the heard music with the steady moment it was heard at into music; false while none is heard.
bool readHeardMusic(const StateAccess& play, HeardMusic& music) {
    const double before = steadyClockMs();
    double heard = 0.0;
    if (!play.heardMusicMs(&heard)) return false;
    const double after = steadyClockMs();
    if (after - before <= READING_MAX_SPAN_MS) music.add((before + after) / 2.0, heard);
    return true;
}

// The stream frame of a music time (ms).
int64_t frameOfMusicMs(double ms) { return int64_t(std::llround(ms * SOUND_MIX_RATE / 1000.0)); }

}  // namespace

// --- Takes -----------------------------------------------------------------------------------

void Editor::startTake() {
    take = std::make_unique<TakeTiming>(play.currentFrame(), performerDelay, play.musicSpeed());
    takeDrags.clear();
    const double now = steadyClockMs();
    double heard = 0.0;
    // Without sound the take's music runs with the steady clock from now on.
    if (!play.heardMusicMs(&heard)) take->music().add(now, play.currentFrame() * FRAME_MS);
    eventsFeedTake = pointerFromEvents || !play.app() || !sampler.start(play.app()->device());
    if (eventsFeedTake) {
        lastEvent.ms = now;
        take->pointer().add(lastEvent);
    }
    // A drag held as the take starts goes on in it.
    if (play.draggedActor()) {
        takeDrags.push_back(TakeDrag{play.draggedActor(), play.rig().turning()});
        take->beginDrag(now);
    }
    feedTake(false);
}

void Editor::keepPointerEvent(int x, int y, bool down) {
    lastEvent.ms = steadyClockMs();
    lastEvent.x = x;
    lastEvent.y = y;
    lastEvent.buttonDown = down;
    if (take && eventsFeedTake) take->pointer().add(lastEvent);
}

void Editor::feedTake(bool final) {
    if (!take) return;
    const bool heard = readHeardMusic(play, take->music());
    if (eventsFeedTake) {
        // No event since the last one: the pointer stood there until now.
        lastEvent.ms = steadyClockMs();
        take->pointer().add(lastEvent);
    } else {
        std::vector<PointerSample> samples;
        sampler.take(samples);
        for (const PointerSample& s : samples) take->pointer().add(s);
    }
    for (const TakeMove& move : take->advance(play.currentFrame(), heard, final)) applyTakeMove(move);
}

void Editor::applyTakeMove(const TakeMove& move) {
    if (move.drag < 0 || std::size_t(move.drag) >= takeDrags.size()) return;
    const TakeDrag& drag = takeDrags[std::size_t(move.drag)];
    if (move.first) play.rig().beginDrag(drag.actor, drag.turn);
    const core::vector2df from = windowToScene(layout, move.from), to = windowToScene(layout, move.to);
    if (from != to) {
        // A turn, or a move of an actor with a parent or children, goes through the rig.
        if (!play.rigDragAt(move.frame, from, to)) drag.actor->moveFrom(move.frame, to - from);
        takeMoved = true;
    }
    if (move.last) play.rig().endDrag();
}

void Editor::endTake(bool tell) {
    if (!take) return;
    feedTake(true);
    sampler.stop();
    // Motion after this is a drag of the stopped editor, from where the path ended.
    if (!eventsFeedTake && !take->pointer().empty())
        lastScene = windowToScene(layout, take->pointer().at(take->pointer().knownUntil()));
    if (play.draggedActor() && take->dragOpen() && !takeDrags.empty())
        play.rig().beginDrag(play.draggedActor(), takeDrags.back().turn);
    else if (!play.draggedActor())
        play.rig().endDrag();
    take.reset();
    takeDrags.clear();
    if (!tell || takeMoved) return;
    const char* why = takePressOffStage     ? "the drag began outside the stage"
                      : takePressUnselected ? "no actor was selected (click one on the stage first)"
                                            : "nothing was dragged on the stage while it ran";
    status.tell(std::string("The take recorded nothing: ") + why);
}

void Editor::stopAll() {
    if (calibration) endCalibration(false);
    const bool slow = play.musicSpeed() != MUSIC_RECORDED_SPEED, inTake = take != nullptr;
    const bool slowTake = slow && (inTake || countInRunning);
    endTake(true);  // before the music stops: the take's last readings
    endPunchIn();
    countInRunning = false;
    tumeloraStreamSetClicks(musicStream, nullptr, 0);
    play.stop();
    play.setMusicSpeed(MUSIC_RECORDED_SPEED);
    // A take that recorded nothing has said so.
    if (slowTake && (takeMoved || !inTake))
        status.tell("The half-speed take ended: the music plays at its own speed again");
}

// --- The count-in ----------------------------------------------------------------------------

double Editor::beatLengthMs(double fallback) const {
    const double period = beatPeriodMs(beats);
    return period > 0.0 ? period : fallback;
}

void Editor::startCountIn(int clicksPerBeat, const char* name) {
    const int frame = play.currentFrame();
    const double takeMs = frame * FRAME_MS;
    if (!musicStream || !tumeloraSoundIsPlayed() || musicTimeOfFrame(frame) >= FSOUND_Stream_GetLengthMs(musicStream)) {
        status.tell(std::string("No ") + name + ": no music is heard here, so the take starts at once");
        play.record();
        startTake();
        return;
    }
    // The bar before the take's frame, its clicks on the beat grid (clicksPerBeat a beat, the
    // first of each beat accented); without a grid, a steady beat that ends at the frame.
    const double beat = beatLengthMs(COUNT_IN_DEFAULT_BEAT_MS);
    const double start = takeMs - COUNT_IN_BEATS * beat;
    double anchor = takeMs;
    if (!beats.empty()) {
        const auto near = std::lower_bound(beats.begin(), beats.end(), long(std::lround(takeMs)));
        anchor = double(near == beats.end() ? beats.back() : *near);
    }
    const double step = beat / clicksPerBeat;
    const double first = anchor + std::ceil((start - anchor) / step - 1e-6) * step;
    std::vector<SoundClick> clicks;
    for (double at = first; at < takeMs - 1.0; at += step) {
        SoundClick click;
        click.frame = frameOfMusicMs(at);
        click.accent = std::lround((at - anchor) / step) % clicksPerBeat == 0;
        clicks.push_back(click);
    }
    tumeloraStreamSetClicks(musicStream, clicks.data(), int(clicks.size()));
    // Before the song's start the count-in is silence leading into it.
    FSOUND_Stream_SetTime(musicStream, start > 0.0 ? int(std::floor(start)) : 0);
    tumeloraStreamSetLeadIn(musicStream, start < 0.0 ? frameOfMusicMs(-start) : 0);
    FSOUND_Stream_Play(MUSIC_CHANNEL, musicStream);
    countInRunning = true;
    countInTakeMs = takeMs;
    countInDeadline = steadyClockMs() + (takeMs - start) / play.musicSpeed() + COUNT_IN_GRACE_MS;
}

void Editor::watchCountIn() {
    double heard = 0.0;
    const bool isHeard = play.heardMusicMs(&heard);
    if (isHeard ? heard < countInTakeMs - FRAME_MS : steadyClockMs() < countInDeadline) return;
    countInRunning = false;
    beginEdit();
    // The take starts at its own frame, whatever the count-in showed meanwhile.
    play.setCurrentFrame(int(std::lround(countInTakeMs / FRAME_MS)));
    if (isHeard) {
        play.recordWithMusicPlaying();
    } else {
        tumeloraStreamSetLeadIn(musicStream, 0);
        play.record();
    }
    startTake();
    nextTakeWrite = now() + RECOVERY_TAKE_INTERVAL_MS;
}

// --- The calibration -------------------------------------------------------------------------

void Editor::startCalibration() {
    if (calibration) {
        endCalibration(false);
        status.tell("Calibration cancelled");
        return;
    }
    if (play.recording() || countInRunning) {
        status.tell("Stop the take first: the calibration plays clicks of its own");
        return;
    }
    if (!musicStream || !tumeloraSoundIsPlayed()) {
        status.tell("The calibration needs a sound device: no click would be heard");
        return;
    }
    stopAll();
    auto run = std::make_unique<CalibrationRun>();
    run->periodMs = beatLengthMs(CALIBRATION_DEFAULT_PERIOD_MS);
    if (run->periodMs < CALIBRATION_MIN_PERIOD_MS || run->periodMs > CALIBRATION_MAX_PERIOD_MS)
        run->periodMs = CALIBRATION_DEFAULT_PERIOD_MS;
    // The clicks sound alone, in silence leading into the music's position (which is never
    // reached: the calibration ends before).
    play.seekMusic();
    int64_t position = tumeloraStreamPositionFrames(musicStream);
    if (position >= tumeloraStreamLengthFrames(musicStream)) {
        FSOUND_Stream_SetTime(musicStream, 0);
        position = 0;
    }
    const int count = CALIBRATION_LEAD_CLICKS + CALIBRATION_TAPS + CALIBRATION_SPARE_CLICKS;
    const int64_t lead = frameOfMusicMs((count + 1) * run->periodMs);
    std::vector<SoundClick> clicks;
    for (int k = 0; k < count; ++k) {
        SoundClick click;
        click.frame = position - lead + frameOfMusicMs((k + 1) * run->periodMs);
        click.accent = k < CALIBRATION_LEAD_CLICKS;
        clicks.push_back(click);
        run->clickMusicMs.push_back(double(click.frame) * 1000.0 / SOUND_MIX_RATE);
    }
    tumeloraStreamSetClicks(musicStream, clicks.data(), int(clicks.size()));
    tumeloraStreamSetLeadIn(musicStream, lead);
    if (FSOUND_Stream_Play(MUSIC_CHANNEL, musicStream) < 0) {
        tumeloraStreamSetClicks(musicStream, nullptr, 0);
        tumeloraStreamSetLeadIn(musicStream, 0);
        status.tell("The calibration's clicks cannot be played");
        return;
    }
    run->endMusicMs = run->clickMusicMs.back() + run->periodMs * CALIBRATION_MAX_OFFSET_SHARE;
    run->sampled = !pointerFromEvents && play.app() && sampler.start(play.app()->device(), SPACE_KEY_SYMBOL);
    calibration = std::move(run);
    status.tell("Calibration: listen to 4 clicks, then tap Space on each of the next 8 (T cancels)");
}

void Editor::tapCalibration() {
    CalibrationRun& run = *calibration;
    const double at = steadyClockMs();
    // A key held down repeats: a second press so soon is no tap.
    if (!run.tapsMs.empty() && at - run.tapsMs.back() < run.periodMs * CALIBRATION_REPEAT_SHARE) return;
    run.tapsMs.push_back(at);
}

void Editor::watchCalibration() {
    CalibrationRun& run = *calibration;
    const bool heard = readHeardMusic(play, run.music);
    if (run.sampled) sampler.take(run.keys);
    double music = 0.0;
    play.heardMusicMs(&music);
    if (!heard || music >= run.endMusicMs) endCalibration(true);
}

void Editor::endCalibration(bool done) {
    std::unique_ptr<CalibrationRun> run = std::move(calibration);
    if (run->sampled) sampler.take(run->keys);
    sampler.stop();
    FSOUND_Stream_Stop(musicStream);
    tumeloraStreamSetClicks(musicStream, nullptr, 0);
    play.seekMusic();
    if (!done) return;
    // The taps' own moments: the key's press as the samples show it just before each tap's
    // event; a tap whose key the samples show held down since the tap before is the key's
    // repeat, not a tap; a press too short for the samples keeps its event's moment.
    std::vector<double> taps;
    double after = -1e300;
    for (double event : run->tapsMs) {
        double at = event;
        if (run->sampled) {
            bool found = false, held = true, seen = false;
            for (std::size_t i = run->keys.size(); i-- > 1 && !found;) {
                const PointerSample& up = run->keys[i - 1];
                const PointerSample& down = run->keys[i];
                if (up.ms > event + SAMPLE_PERIOD_MS || down.ms <= after) continue;
                seen = true;
                held = held && down.keyDown;
                if (up.keyDown || !down.keyDown) continue;
                at = (up.ms + down.ms) / 2.0;
                found = true;
            }
            if (!found && seen && held) continue;
        }
        taps.push_back(at);
        after = event;
    }
    // The clicks that count, as heard.
    std::vector<double> clicks;
    for (std::size_t k = CALIBRATION_LEAD_CLICKS; k < run->clickMusicMs.size(); ++k) {
        double heardAt = 0.0;
        if (run->music.steadyTimeOf(run->clickMusicMs[k], false, &heardAt)) clicks.push_back(heardAt);
    }
    CalibrationResult result;
    if (!calibrationOffset(clicks, taps, result)) {
        status.tell("Calibration: " + std::to_string(result.taps) + " of your taps fell on the clicks, " +
                    std::to_string(CALIBRATION_MIN_TAPS) + " are needed; press T to try again");
        std::fprintf(stderr, "tumelora: %s\n", status.newest().c_str());
        return;
    }
    performerDelay = result.meanMs;
    char line[160];
    std::snprintf(line, sizeof line, "Your delay: %+.0f ms (%d taps, spread %.0f ms); every take is shifted by it",
                  result.meanMs, result.taps, result.spreadMs);
    std::string said = line;
    UserSettings next = play.settings().settings;
    next.performerDelayMs = result.meanMs;
    std::string error;
    if (saveUserSettings(play.settingsPath(), next, play.settings().found && !play.settings().read, error)) {
        play.keepSettings(next);
        said += "; kept in " + play.settingsPath();
        std::fprintf(stderr, "tumelora: %s\n", said.c_str());
        status.tell(said);
    } else {
        said += "; not kept: " + error;
        std::fprintf(stderr, "tumelora: %s\n", said.c_str());
        status.warn(said);
    }
}
