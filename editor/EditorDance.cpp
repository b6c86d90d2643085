// D and Shift+D: the selected actor dances on the beats (Dance.h), one undo step a press.
#include <algorithm>

#include "editor/Editor.h"

namespace {

// FNV-1a, 64 bits: the digest of a dance's tracks.
constexpr std::uint64_t DIGEST_START = 14695981039346656037ull;
constexpr std::uint64_t DIGEST_PRIME = 1099511628211ull;

// The digest with bytes added.
std::uint64_t digestOf(std::uint64_t digest, const void* bytes, std::size_t size) {
    const unsigned char* b = static_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < size; ++i) digest = (digest ^ b[i]) * DIGEST_PRIME;
    return digest;
}

// The plan's motion for an actor, when it has one.
const PartMotion* motionOf(const DancePlan& plan, std::size_t actor) {
    const auto it = plan.parts.find(actor);
    return it == plan.parts.end() || it->second.empty() ? nullptr : &it->second.front();
}

}  // namespace

std::uint64_t Editor::tracksDigest(const std::vector<std::size_t>& family) const {
    const std::vector<Actor*> actors = play.loadOrder();
    std::uint64_t digest = DIGEST_START;
    for (std::size_t i : family) {
        if (i >= actors.size()) continue;
        const std::vector<ActorPose>& poses = actors[i]->poses;
        const std::size_t count = poses.size();
        digest = digestOf(digest, &count, sizeof count);
        digest = digestOf(digest, poses.data(), poses.size() * sizeof(ActorPose));
    }
    return digest;
}

std::pair<int, int> Editor::danceSpan() const {
    // The timeline's range (in and out, both included); without one, the whole song.
    if (hasRange()) return {range().in, range().out + 1};
    const int song = wave.ready() ? int(wave.peaks().size()) : 0;
    return {0, std::max(play.frameCount(), song)};
}

bool Editor::danceSelection(bool own, int from, int to) {
    Actor* selected = play.selectedActor();
    const char* key = own ? "Shift+D" : "D";
    if (!selected) {
        status.tell(std::string(key) + " dances the selected actor: select one first");
        return false;
    }
    if (play.recording() || play.ui().isMouseDown()) {
        status.tell(std::string(key) + " waits until the take ends and no button is held");
        return false;
    }
    if (beats.size() < 2 || !wave.ready()) {
        if (!beatsTaken || !wave.finished())
            status.tell(std::string(key) + ": the song is still being listened to; try again in a moment");
        else if (beats.size() < 2)
            status.tell(std::string(key) + " needs the song's beats, and there are none (see F1: [ ] - =)");
        else
            status.tell(std::string(key) + " needs the song's loudness: " + play.paths().musicFile +
                        " could not be read");
        return false;
    }
    const std::vector<Actor*> actors = play.loadOrder();
    const int index = rigActorIndex(actors, selected);
    if (index < 0) return false;
    const std::size_t chosen = std::size_t(index);
    const Rig& rig = play.rig().rig();
    const std::string rigNow = play.rig().snapshot();

    // The dance this press follows: the newest one whose tracks are still as it left them, of
    // the same actor (D) or of a family holding it (Shift+D), over the same frames.
    const DanceMemory* last = nullptr;
    for (auto it = dances.rbegin(); it != dances.rend() && !last; ++it) {
        const bool same = own ? std::count(it->family.begin(), it->family.end(), chosen) > 0 : it->plan.root == chosen;
        if (same && it->from == from && it->to == to && it->rig == rigNow && tracksDigest(it->family) == it->after)
            last = &*it;
    }

    beginEdit();
    DanceMemory made;
    made.from = from;
    made.to = to;
    made.rig = rigNow;
    if (last) {
        // Again from the tracks before the run of dances.
        made.family = last->family;
        made.before = last->before;
        for (std::size_t i = 0; i < made.family.size(); ++i) (*made.before)[i].applyTo(*actors[made.family[i]]);
    }
    if (own) {
        const PartMotion* was = last ? motionOf(last->plan, chosen) : nullptr;
        const BeatMotion next = was ? nextBeatMotion(was->motion) : BeatMotion::Bounce;
        made.plan = last ? last->plan : DancePlan{chosen, {}};
        made.plan.parts[chosen] = {ownMotion(actors, rig, chosen, next, from)};
    } else {
        made.plan = planDance(actors, rig, chosen, from);
    }
    const int framesBefore = play.frameCount();
    if (!last) {
        made.family = rigFamily(actors, rig, made.plan.root);
        auto before = std::make_shared<std::vector<ActorEditData>>();
        for (std::size_t i : made.family) before->push_back(ActorEditData::of(*actors[i]));
        made.before = before;
    }
    const std::uint64_t tracksBefore = last ? last->after : tracksDigest(made.family);

    DanceMusic music{BeatGrid(beats), {}};
    music.loudness = beatLoudness(music.grid, wave.peaks());
    const RigEditReport report = dance(actors, rig, made.plan, music, from, to);
    int length = play.frameCount();
    for (std::size_t i : made.family) length = std::max(length, int(actors[i]->poses.size()));
    play.setFrameCount(length);
    settleEdit();
    made.after = tracksDigest(made.family);
    const bool changed = made.after != tracksBefore || length != framesBefore;
    dances.push_back(made);
    while (dances.size() > DANCES_REMEMBERED) dances.pop_front();

    std::string said;
    if (own)
        said = selected->name + " " + beatMotionName(motionOf(made.plan, chosen)->motion) + "s on the beats";
    else
        said = "Dance on the beats: " + describeDance(actors, made.plan, DANCE_STATUS_NAMES);
    if (!changed)
        said += " (as it already did)";
    else
        said += "; Ctrl+Z takes it back";
    status.tell(said + danceLateText(report));
    return changed;
}
