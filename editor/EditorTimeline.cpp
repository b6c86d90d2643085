// The editor's playback and timeline: "Play", "Rec" and "Stop", going to a frame with the music,
// the music heard while the timeline's thumb is held, the timeline's view (zoom and paging),
// and the song's beats on it.
#include <algorithm>
#include <cstdio>

#include "editor/Editor.h"

// --- Playback --------------------------------------------------------------------------------

void Editor::togglePlayback() {
    looping = false;
    beginEdit();  // may end a take
    if (play.recording() || play.playing() || countInRunning || calibration)
        stopAll();
    else
        play.play();
    scrubbing = false;
    settleEdit();
}

void Editor::toggleRecording(double speed) {
    looping = false;
    beginEdit();
    if (play.recording() || countInRunning) {
        stopAll();
    } else if (!play.playing()) {
        if (calibration) endCalibration(false);
        takeMoved = takePressOffStage = takePressUnselected = false;
        play.setMusicSpeed(speed);
        if (speed != MUSIC_RECORDED_SPEED)
            status.tell("Rec at half speed: the music slowed to half, its pitch kept, and 30 frames a second, "
                        "each on its own music (R, Space or Stop ends it)");
        if (hasRange()) {
            startPunchIn();
        } else if (countInOn) {
            startCountIn();
        } else {
            play.record();
            startTake();
        }
        nextTakeWrite = now() + RECOVERY_TAKE_INTERVAL_MS;
    }
    scrubbing = false;
    settleEdit();
}

void Editor::seek(int frame) {
    frame = std::max(0, std::min(frame, play.frameCount() - 1));
    if (frame == play.currentFrame()) return;
    // A take goes on from the new frame: what it held so far is written first.
    const bool inTake = take != nullptr;
    endTake(false);
    play.seek(frame);
    if (inTake) startTake();
    // A frame out of the timeline's view (Home, say) brings the view to it.
    const double shown = visibleFrames();
    if (frame < viewStart || frame >= viewStart + shown) {
        viewStart = frame - shown / 2.0;
        clampView();
    }
}

void Editor::scrubMusic() {
    const bool held = play.frameCount() > 1 && play.ui().isMouseDown() &&
                      play.ui().activeId() == EDITOR_TIMELINE_SLIDER_ID && !play.playing() && !play.recording();
    if (held && !scrubbing) {
        play.startMusic();
        scrubbing = true;
    } else if (!held && scrubbing) {
        scrubbing = false;
        if (!play.playing() && !play.recording()) FSOUND_Stream_Stop(musicStream);
    }
}

// --- Timeline view ---------------------------------------------------------------------------

double Editor::visibleFrames() const {
    const double width = std::max(1.f, layout.wave.width);
    if (framesPerPixel <= 0.0) return double(play.frameCount());
    return std::min(double(play.frameCount()), framesPerPixel * width);
}

void Editor::clampView() {
    const double shown = visibleFrames();
    viewStart = std::max(0.0, std::min(viewStart, double(play.frameCount()) - shown));
}

double Editor::frameAtX(float x) const {
    return viewStart + double(x - layout.wave.x) / double(std::max(1.f, layout.wave.width)) *
                           visibleFrames();
}

float Editor::xOfFrame(double frame) const {
    return layout.wave.x +
           float((frame - viewStart) / visibleFrames() * double(layout.wave.width));
}

// --- Beats -----------------------------------------------------------------------------------

void Editor::takeBeats() {
    if (beatsTaken || !beatLoader.ready()) return;
    beatsTaken = true;
    beats = beatLoader.beats;
    if (beatLoader.message.empty()) return;
    std::fprintf(stderr, "tumelora: %s\n", beatLoader.message.c_str());
    if (beatLoader.trouble)
        status.warn(beatLoader.message);
    else if (dirty)
        status.record(beatLoader.message);  // the line keeps saying what is unsaved
    else
        status.tell(beatLoader.message);
}

void Editor::waitForBeats() {
    beatLoader.stop();
    takeBeats();
}

void Editor::setBeats(std::vector<long> grid) {
    if (grid.empty()) return;
    beats = std::move(grid);
    const std::string path = beatsPathOf(play.paths().musicFile);
    std::string error;
    char line[128];
    const double period = beatPeriodMs(beats);
    std::snprintf(line, sizeof line, "Beat grid: first beat at %ld ms, a beat every %.1f ms (%.2f BPM)",
                  beats.front(), period, period > 0.0 ? 60000.0 / period : 0.0);
    std::string said = line;
    if (!writeBeatsFile(path, beats, error)) {
        said += "; " + error;
        std::fprintf(stderr, "tumelora: %s\n", error.c_str());
    }
    status.tell(said);
}
