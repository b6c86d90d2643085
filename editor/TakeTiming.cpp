#include "editor/TakeTiming.h"

#include <algorithm>
#include <cmath>

#include "platform/Timebase.h"

using irr::core::vector2df;

// --- HeardMusic ----------------------------------------------------------------------------

void HeardMusic::add(double steadyMs, double musicMs) {
    if (!readings_.empty() && (musicMs < readings_.back().musicMs || steadyMs < readings_.back().steadyMs)) return;
    readings_.push_back(Reading{steadyMs, musicMs});
}

bool HeardMusic::steadyTimeOf(double musicMs, bool heardGoesOn, double* steadyMs) const {
    if (readings_.empty()) return false;
    // The first reading past the music time.
    const auto after = std::upper_bound(readings_.begin(), readings_.end(), musicMs,
                                        [](double m, const Reading& r) { return m < r.musicMs; });
    if (after == readings_.end()) {
        if (heardGoesOn) return false;
        *steadyMs = readings_.back().steadyMs + (musicMs - readings_.back().musicMs) / pace_;
        return true;
    }
    double s = after->steadyMs - (after->musicMs - musicMs) / pace_;
    if (after != readings_.begin()) s = std::max(s, std::prev(after)->steadyMs);
    *steadyMs = s;
    return true;
}

void HeardMusic::forgetBefore(double steadyMs) {
    while (readings_.size() > 1 && readings_[1].steadyMs < steadyMs) readings_.pop_front();
}

// --- PointerPath ---------------------------------------------------------------------------

void PointerPath::add(const PointerSample& sample) {
    if (!samples_.empty() && sample.ms < samples_.back().ms) return;
    samples_.push_back(sample);
    known_ = std::max(known_, sample.ms);
}

void PointerPath::knowUntil(double ms) { known_ = std::max(known_, ms); }

vector2df PointerPath::at(double ms) const {
    if (samples_.empty()) return vector2df(0.f, 0.f);
    const auto after = std::upper_bound(samples_.begin(), samples_.end(), ms,
                                        [](double t, const PointerSample& s) { return t < s.ms; });
    if (after == samples_.begin()) return vector2df(float(after->x), float(after->y));
    const PointerSample& a = *std::prev(after);
    if (after == samples_.end() || after->ms <= a.ms) return vector2df(float(a.x), float(a.y));
    const double w = (ms - a.ms) / (after->ms - a.ms);
    return vector2df(float(a.x + w * (after->x - a.x)), float(a.y + w * (after->y - a.y)));
}

bool PointerPath::pressBetween(double after, double until, double* pressMs) const {
    for (std::size_t i = samples_.size(); i-- > 1;) {
        const PointerSample& up = samples_[i - 1];
        const PointerSample& down = samples_[i];
        if (up.ms >= until) continue;
        if (down.ms <= after) return false;
        if (!up.buttonDown && down.buttonDown) {
            *pressMs = std::min(until, std::max(after, (up.ms + down.ms) / 2.0));
            return true;
        }
    }
    return false;
}

bool PointerPath::releaseAfter(double after, double* releaseMs) const {
    const auto from = std::upper_bound(samples_.begin(), samples_.end(), after,
                                       [](double t, const PointerSample& s) { return t < s.ms; });
    for (auto it = from; it != samples_.end(); ++it) {
        if (it == samples_.begin()) continue;
        const PointerSample& down = *std::prev(it);
        if (down.buttonDown && !it->buttonDown) {
            *releaseMs = std::max(after, (down.ms + it->ms) / 2.0);
            return true;
        }
    }
    return false;
}

void PointerPath::forgetBefore(double ms) {
    while (samples_.size() > 1 && samples_[1].ms < ms) samples_.pop_front();
}

// --- TakeTiming ----------------------------------------------------------------------------

TakeTiming::TakeTiming(int firstFrame, double performerDelayMs, double musicSpeed)
    : firstFrame_(firstFrame), performerDelayMs_(performerDelayMs), music_(musicSpeed) {}

int TakeTiming::beginDrag(double eventMs) {
    // A drag still open (its release never came) ends where the new press begins.
    if (dragOpen()) drags_.back().releaseEventMs = eventMs;
    Drag drag;
    drag.pressEventMs = eventMs;
    drag.nextFrame = firstFrame_;
    drags_.push_back(drag);
    return int(drags_.size()) - 1;
}

void TakeTiming::endDrag(double eventMs) {
    if (dragOpen()) drags_.back().releaseEventMs = eventMs;
}

void TakeTiming::findPress(std::size_t index) {
    Drag& drag = drags_[index];
    double after = drag.pressEventMs - TAKE_PRESS_SEARCH_MS;
    if (index > 0) {
        const Drag& before = drags_[index - 1];
        after = std::max(after, std::min(releaseOf(before), before.releaseEventMs));
        after = std::max(after, before.pressMs);
    }
    double press = drag.pressEventMs;
    if (pointer_.pressBetween(after, drag.pressEventMs, &press)) drag.pressMs = press;
    else drag.pressMs = drag.pressEventMs;
    drag.pressKnown = true;
    drag.last = pointer_.at(drag.pressMs);
}

double TakeTiming::releaseOf(const Drag& drag) const {
    double released = drag.releaseEventMs;
    double seen = 0.0;
    if (drag.pressKnown && pointer_.releaseAfter(drag.pressMs, &seen)) released = std::min(released, seen);
    return released;
}

bool TakeTiming::frameMoment(int frame, bool musicHeard, bool final, double* ms) const {
    double heardAt = 0.0;
    if (!music_.steadyTimeOf(double(frame) * FRAME_MS, musicHeard && !final, &heardAt)) return false;
    *ms = heardAt + performerDelayMs_;
    return true;
}

std::vector<TakeMove> TakeTiming::advance(int lastFrame, bool musicHeard, bool final) {
    std::vector<TakeMove> moves;
    for (std::size_t i = 0; i < drags_.size(); ++i) {
        Drag& drag = drags_[i];
        if (drag.done) continue;
        // The press is looked for once the samples reach its event.
        if (!drag.pressKnown) {
            if (!final && pointer_.knownUntil() < drag.pressEventMs) break;
            findPress(i);
        }
        const double release = releaseOf(drag);
        for (int f = drag.nextFrame; f <= lastFrame; ++f) {
            double t = 0.0;
            if (!frameMoment(f, musicHeard, final, &t)) break;
            if (t < drag.pressMs) {
                drag.nextFrame = f + 1;  // before the press: the drag does not move it
                continue;
            }
            // A frame waits for the samples of its moment (up to the release).
            if (!final && std::min(t, release) > pointer_.knownUntil()) break;
            TakeMove move;
            move.frame = f;
            move.drag = int(i);
            move.from = drag.last;
            move.to = pointer_.at(std::min(t, release));
            move.first = !drag.begun;
            move.last = t >= release;
            moves.push_back(move);
            drag.begun = true;
            drag.last = move.to;
            drag.nextFrame = f + 1;
            if (move.last) {
                drag.done = true;
                break;
            }
        }
        // Drags follow each other: a later one moves only once this one is over.
        if (!drag.done) break;
    }
    forget();
    return moves;
}

void TakeTiming::forget() {
    double needed = pointer_.knownUntil() - TAKE_HISTORY_KEPT_MS;
    for (const Drag& drag : drags_) {
        if (drag.done) continue;
        needed = std::min(needed, (drag.pressKnown ? drag.pressMs : drag.pressEventMs) - TAKE_PRESS_SEARCH_MS);
        double t = 0.0;
        if (music_.steadyTimeOf(double(drag.nextFrame) * FRAME_MS, false, &t))
            needed = std::min(needed, t + performerDelayMs_ - TAKE_HISTORY_KEPT_MS);
    }
    if (!std::isfinite(needed)) return;
    pointer_.forgetBefore(needed);
    music_.forgetBefore(needed - std::fabs(performerDelayMs_));
}
