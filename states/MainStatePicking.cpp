// The editing mode's stage: actors picked by the pixels they draw (turn, scale, the picture's
// transparency and the wave of a wobbling actor taken into account), topmost first, and the
// drawing order changed one place at a time. The player keeps its own rule (pickAtScene).
#include <algorithm>
#include <cmath>

#include "actors/Actor.h"
#include "render/Image.h"
#include "states/DrawingOrder.h"
#include "states/MainState.h"
#include "states/Wobble.h"

using namespace irr;

namespace {

// Scale factors smaller than this draw nothing that a click can hit.
constexpr float FLAT_SCALE = 1e-6f;

}  // namespace

ActorPose MainState::drawnPose(const Actor* actor) const {
    // While stopped the exact position of the frame is shown; while playing the eased one.
    core::vector2df position = playing ? actor->current.position : actor->poseAt(currentFrame).position;
    ActorPose shown = actor->current;
    // The editing mode shows rigged actors as playback will.
    if (isEditing() && !playing) rigShownPose(actor, position, shown);
    shown.position = position;
    return shown;
}

bool MainState::drawsAt(const Actor* actor, const core::vector2df& m) const {
    if (!actor || !actor->image) return false;
    const ActorPose pose = drawnPose(actor);
    if (std::fabs(pose.scale.X) < FLAT_SCALE || std::fabs(pose.scale.Y) < FLAT_SCALE) return false;
    // The picture pixel drawn at m: the move, the turn and the scale undone (the picture is
    // drawn centred on its position, scaled, then turned).
    const float w = float(actor->image->pixelWidth()), h = float(actor->image->pixelHeight());
    const double dx = double(m.X - pose.position.X) * kSceneUnitPixels;
    const double dy = double(m.Y - pose.position.Y) * kSceneUnitPixels;
    const double c = std::cos(double(pose.rotation)), s = std::sin(double(pose.rotation));
    double px = (dx * c + dy * s) / pose.scale.X + w / 2.0;
    const double py = (-dx * s + dy * c) / pose.scale.Y + h / 2.0;
    if (py < 0.0 || py >= h) return false;
    // A wobbling actor's rows are pushed sideways as it is drawn now.
    if (actor->wobble && h > 0.f)
        px -= wobbleShift(float(py / h * WOBBLE_BANDS), float(elapsedMs) / WOBBLE_TIME_DIVISOR, w,
                          SCENE_WOBBLE_AMPLITUDE);
    if (px < 0.0 || px >= w) return false;
    const unsigned x = unsigned(px), y = unsigned(py);
    return actor->mask.empty() || actor->mask.covers(x, y);
}

std::vector<Actor*> MainState::pickableAt(const core::vector2df& m) const {
    std::vector<Actor*> found;
    for (auto it = actors.rbegin(); it != actors.rend(); ++it)
        if (!(*it)->hidden && !(*it)->locked && drawsAt(*it, m)) found.push_back(*it);
    return found;
}

Actor* MainState::topmostDrawnAt(const core::vector2df& m, const Actor* except) const {
    for (auto it = actors.rbegin(); it != actors.rend(); ++it)
        if (*it != except && !(*it)->hidden && drawsAt(*it, m)) return *it;
    return nullptr;
}

void MainState::pickDrawnAt(const core::vector2df& m) {
    pickList = pickableAt(m);
    if (pickList.empty()) {
        draggedActor = nullptr;
        selectedActor = nullptr;
        return;
    }
    // Clicked again where the selection is drawn: the next one under it, round to the top.
    const auto at = std::find(pickList.begin(), pickList.end(), selectedActor);
    selectedActor = at == pickList.end() ? pickList.front() : pickList[std::size_t(at - pickList.begin() + 1) % pickList.size()];
}

bool MainState::moveInDrawingOrder(Actor* actor, int places, std::string& why) {
    const auto at = std::find(actors.begin(), actors.end(), actor);
    if (at == actors.end() || places == 0) return false;
    std::size_t i = std::size_t(at - actors.begin());
    const int step = places > 0 ? 1 : -1;
    for (int n = 0; n != places; n += step) {
        const bool up = step > 0;
        if ((up && i + 1 >= actors.size()) || (!up && i == 0)) {
            why = actor->name + (up ? " is drawn over every other actor already" : " is drawn under every other actor already");
            return n != 0;
        }
        Actor* other = actors[up ? i + 1 : i - 1];
        // JPEG pictures are loaded (so drawn) before every PNG picture.
        if (isJpegPicture(actor->pictureFile) != isJpegPicture(other->pictureFile)) {
            const Actor* jpeg = isJpegPicture(actor->pictureFile) ? actor : other;
            why = actor->name + " cannot go " + (up ? "over " : "under ") + other->name + ": " + jpeg->pictureFile +
                  " is a JPEG picture, and JPEG pictures are always drawn under every PNG picture";
            return n != 0;
        }
        std::swap(actors[i], actors[up ? i + 1 : i - 1]);
        i = up ? i + 1 : i - 1;
    }
    return true;
}

void MainState::setDrawingOrder(const std::vector<Actor*>& order) {
    // Only a reordering of the same actors is taken.
    if (order.size() != actors.size() || !std::is_permutation(order.begin(), order.end(), actors.begin())) return;
    actors = order;
}

std::vector<Actor*> MainState::loadOrder() const {
    std::vector<Actor*> out;
    for (const std::unique_ptr<Actor>& a : actorStore) out.push_back(a.get());
    return out;
}
