// The editor's stage and layers: the stage's zoom and pan, the drawing order (Page Up and
// Page Down, a drag in the layer list), actors hidden in the editor and locked on its stage,
// and what an undo step keeps of them (with the rig and the animation's end).
#include <algorithm>

#include "actors/Actor.h"
#include "editor/Editor.h"
#include "rig/RigEditing.h"

namespace {

// A field of the extras: its length, ':' and its bytes.
void putField(std::string& out, const std::string& field) {
    out += std::to_string(field.size());
    out += ':';
    out += field;
}

// Takes the next field from bytes at at; false when there is none.
bool takeField(const std::string& bytes, std::size_t& at, std::string& field) {
    std::size_t n = 0, i = at, digits = 0;
    while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9' && digits < 12) {
        n = n * 10 + std::size_t(bytes[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || i >= bytes.size() || bytes[i] != ':' || n > bytes.size() - i - 1) return false;
    field = bytes.substr(i + 1, n);
    at = i + 1 + n;
    return true;
}

// The flags of an actor as one character of the extras.
constexpr char FLAG_BASE = '0';
constexpr int FLAG_HIDDEN = 1;
constexpr int FLAG_LOCKED = 2;

}  // namespace

void Editor::moveSelection(int places) {
    Actor* actor = play.selectedActor();
    if (!actor || play.recording()) return;
    std::string why;
    if (!play.moveInDrawingOrder(actor, places, why)) {
        status.tell(why);
        return;
    }
    const std::vector<Actor*>& order = play.actors();
    const auto at = std::find(order.begin(), order.end(), actor);
    const std::size_t index = std::size_t(at - order.begin());
    std::string said = actor->name + " is drawn ";
    if (index + 1 < order.size()) said += "under " + order[index + 1]->name;
    if (index > 0) said += std::string(index + 1 < order.size() ? " and " : "") + "over " + order[index - 1]->name;
    if (!why.empty()) said += "; " + why;
    status.tell(said);
    // The list keeps the moved row in view.
    const int row = int(order.size() - 1 - index);
    const int rows = layout.visibleLayerRows();
    if (row < layerScroll) layerScroll = row;
    if (rows > 0 && row >= layerScroll + rows) layerScroll = row - rows + 1;
}

void Editor::moveToLayerRow(Actor* actor, int row) {
    const std::vector<Actor*>& order = play.actors();
    const auto at = std::find(order.begin(), order.end(), actor);
    if (at == order.end() || row < 0) return;
    const int count = int(order.size());
    const int target = std::max(0, std::min(count - 1, count - 1 - row));  // rows are topmost first
    const int index = int(at - order.begin());
    std::string why;
    if (target != index && !play.moveInDrawingOrder(actor, target - index, why)) status.tell(why);
}

void Editor::toggleHidden(Actor* actor) {
    if (!actor) return;
    actor->hidden = !actor->hidden;
    status.tell(actor->hidden ? actor->name + " is hidden in the editor (playback and the export still draw it)"
                              : actor->name + " is shown in the editor again");
}

void Editor::toggleLocked(Actor* actor) {
    if (!actor) return;
    actor->locked = !actor->locked;
    status.tell(actor->locked ? actor->name + " is locked: clicks and drags on the stage pass it by"
                              : actor->name + " is unlocked");
}

void Editor::fitStage() {
    view = StageView();
    updateLayout();
}

int Editor::layerRowAt(float x, float y) const {
    if (!layout.layers.contains(x, y) || layout.layerRowH <= 0.f) return -1;
    const int row = int((y - layout.layers.y) / layout.layerRowH);
    return row < layout.visibleLayerRows() ? row : -1;
}

Actor* Editor::layerActor(int row) const {
    const std::vector<Actor*>& order = play.actors();
    const int index = int(order.size()) - 1 - (layerScroll + row);
    return row >= 0 && index >= 0 ? order[std::size_t(index)] : nullptr;
}

std::string Editor::workExtras() const {
    const std::vector<Actor*> loaded = play.loadOrder();
    std::string order, flags;
    for (const Actor* a : play.actors()) {
        const auto at = std::find(loaded.begin(), loaded.end(), a);
        order += std::to_string(at - loaded.begin()) + ",";
    }
    for (const Actor* a : loaded)
        flags += char(FLAG_BASE + (a->hidden ? FLAG_HIDDEN : 0) + (a->locked ? FLAG_LOCKED : 0));
    std::string out;
    putField(out, play.rig().snapshot());
    putField(out, order);
    putField(out, flags);
    putField(out, std::to_string(play.endFrame()));
    return out;
}

void Editor::restoreExtras(const std::string& bytes) {
    std::size_t at = 0;
    std::string rig, order, flags, end;
    if (!takeField(bytes, at, rig) || !takeField(bytes, at, order) || !takeField(bytes, at, flags) ||
        !takeField(bytes, at, end))
        return;
    play.rig().restore(rig);
    if (std::stoi(end) != play.endFrame()) play.setEndFrame(std::stoi(end));
    const std::vector<Actor*> loaded = play.loadOrder();
    std::vector<Actor*> drawn;
    for (std::size_t start = 0, comma; (comma = order.find(',', start)) != std::string::npos; start = comma + 1) {
        const std::size_t index = std::size_t(std::stoul(order.substr(start, comma - start)));
        if (index < loaded.size()) drawn.push_back(loaded[index]);
    }
    play.setDrawingOrder(drawn);
    for (std::size_t i = 0; i < loaded.size() && i < flags.size(); ++i) {
        const int f = flags[i] - FLAG_BASE;
        loaded[i]->hidden = (f & FLAG_HIDDEN) != 0;
        loaded[i]->locked = (f & FLAG_LOCKED) != 0;
    }
}

std::string Editor::renamedExtras(const std::string& bytes, const std::map<std::string, std::string>& renamed) {
    std::size_t at = 0;
    std::string rig, order, flags, end;
    if (!takeField(bytes, at, rig) || !takeField(bytes, at, order) || !takeField(bytes, at, flags) ||
        !takeField(bytes, at, end))
        return bytes;
    std::string out;
    putField(out, RigEditing::renamedSnapshot(rig, renamed));
    putField(out, order);
    putField(out, flags);
    putField(out, end);
    return out;
}
