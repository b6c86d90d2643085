#include "editor/EditorLayout.h"

#include <algorithm>
#include <cmath>

#include "actors/Actor.h"

namespace {

// A rectangle from its edges.
RectF edges(float left, float top, float right, float bottom) {
    return RectF(left, top, std::max(0.f, right - left), std::max(0.f, bottom - top));
}

}  // namespace

EditorMetrics editorMetrics(float buttonPictureW, float buttonPictureH, float thumbH,
                            float checkW, float checkH, float fontLineHeight) {
    EditorMetrics m;
    m.buttonW = buttonPictureW * EDITOR_BUTTON_SCALE;
    m.buttonH = buttonPictureH * EDITOR_BUTTON_SCALE;
    m.thumbH = thumbH;
    m.checkW = checkW;
    m.checkH = checkH;
    m.textH = std::ceil(fontLineHeight * EDITOR_LABEL_SCALE);
    return m;
}

int EditorLayout::visibleLayerRows() const {
    if (layerRowH <= 0.f) return 0;
    return std::max(0, int(layers.height / layerRowH));
}

RectF EditorLayout::layerRow(int i) const {
    return RectF(layers.x, layers.y + float(i) * layerRowH, layers.width, layerRowH);
}

RectF EditorLayout::layerEye(int i) const {
    const RectF r = layerRow(i);
    return RectF(r.x, r.y, EDITOR_LAYER_ICON_WIDTH, r.height);
}

RectF EditorLayout::layerLock(int i) const {
    const RectF r = layerRow(i);
    return RectF(r.x + EDITOR_LAYER_ICON_WIDTH, r.y, EDITOR_LAYER_ICON_WIDTH, r.height);
}

RectF EditorLayout::layerName(int i) const {
    const RectF r = layerRow(i);
    const float icons = 2.f * EDITOR_LAYER_ICON_WIDTH;
    return RectF(r.x + icons, r.y, std::max(0.f, r.width - icons), r.height);
}

int EditorLayout::laneCount() const { return int(lanes.height / EDITOR_LANE_HEIGHT); }

RectF EditorLayout::lane(int i) const {
    return RectF(lanes.x, lanes.y + float(i) * EDITOR_LANE_HEIGHT, lanes.width, EDITOR_LANE_HEIGHT - 1.f);
}

std::vector<RectF> EditorLayout::controls() const {
    std::vector<RectF> out(tools, tools + TOOL_COUNT);
    out.push_back(stage);
    out.push_back(wave);
    for (int i = 0; i < laneCount(); ++i) out.push_back(lane(i));
    out.push_back(timelineSlider);
    out.push_back(timelineText);
    out.push_back(actorName);
    for (const EditorPropertyRect& p : props) {
        out.push_back(p.label);
        out.push_back(p.slider);
        out.push_back(p.value);
    }
    out.push_back(bindScale);
    out.push_back(bindScaleText);
    out.push_back(wobble);
    out.push_back(wobbleText);
    out.push_back(reset);
    out.push_back(layersTitle);
    for (int i = 0; i < visibleLayerRows(); ++i) {
        out.push_back(layerEye(i));
        out.push_back(layerLock(i));
        out.push_back(layerName(i));
    }
    out.push_back(status);
    return out;
}

EditorLayout computeEditorLayout(int width, int height, const EditorMetrics& m, const StageView& view) {
    EditorLayout l;
    const float W = float(std::max(width, EDITOR_MIN_WIDTH));
    const float H = float(std::max(height, EDITOR_MIN_HEIGHT));
    const float g = EDITOR_GAP;
    l.windowW = W;
    l.windowH = H;

    // Tool bar along the top.
    l.toolBar = RectF(0.f, 0.f, W, m.buttonH + 2.f * g);
    for (int i = 0; i < TOOL_COUNT; ++i)
        l.tools[i] = RectF(g + float(i) * (m.buttonW + g), g, m.buttonW, m.buttonH);

    // Status line along the bottom.
    const float statusH = m.textH + 2.f * g;
    l.status = RectF(g, H - statusH + g, W - 2.f * g, m.textH);

    // Side column on the right, between tool bar and status line.
    const float top = l.toolBar.height;
    const float bottom = H - statusH;
    l.side = edges(W - EDITOR_SIDE_WIDTH, top, W - g, bottom);
    const float sx = l.side.x, sw = l.side.width;
    const float rowH = std::max(m.thumbH, m.textH) + g;
    float y = top + g;
    l.actorName = RectF(sx, y, sw, m.textH);
    y += rowH;
    for (EditorPropertyRect& p : l.props) {
        p.label = RectF(sx, y, EDITOR_LABEL_WIDTH, m.textH);
        p.slider = RectF(sx + EDITOR_LABEL_WIDTH + g, y,
                         sw - EDITOR_LABEL_WIDTH - EDITOR_VALUE_WIDTH - 2.f * g, m.thumbH);
        p.value = RectF(sx + sw - EDITOR_VALUE_WIDTH, y, EDITOR_VALUE_WIDTH, m.textH);
        y += rowH;
    }
    const float checkRowH = std::max(m.checkH, m.textH) + g;
    l.bindScale = RectF(sx, y, m.checkW, m.checkH);
    l.bindScaleText = RectF(sx + m.checkW + g, y, sw - m.checkW - g, m.textH);
    y += checkRowH;
    l.wobble = RectF(sx, y, m.checkW, m.checkH);
    l.wobbleText = RectF(sx + m.checkW + g, y, sw - m.checkW - g, m.textH);
    y += checkRowH;
    l.reset = RectF(sx, y, m.buttonW, m.buttonH);
    y += m.buttonH + 2.f * g;
    l.layersTitle = RectF(sx, y, sw, m.textH);
    y += m.textH + g;
    l.layerRowH = m.textH + g;
    l.layers = edges(sx, y, sx + sw, bottom - g);

    // Timeline under the stage area, left of the side column: the motion lanes take one row and
    // the room the fitted stage leaves over in height.
    const float left = g, right = l.side.x - 2.f * g;
    const float fixedH = EDITOR_WAVE_HEIGHT + g + g + m.thumbH + g + m.textH;
    const float roomH = (bottom - g - fixedH - 2.f * g) - (top + g);
    const float fittedH = float(STAGE_HEIGHT_PIXELS) *
                          std::min({(right - left) / float(STAGE_WIDTH_PIXELS), EDITOR_MAX_STAGE_SCALE,
                                    roomH / float(STAGE_HEIGHT_PIXELS)});
    const int laneRows = std::max(1, std::min(EDITOR_MAX_LANES, int((roomH - fittedH) / EDITOR_LANE_HEIGHT)));
    const float lanesH = float(laneRows) * EDITOR_LANE_HEIGHT;
    const float timelineH = fixedH + lanesH;
    l.timeline = edges(left, bottom - g - timelineH, right, bottom - g);
    l.wave = RectF(left, l.timeline.y, right - left, EDITOR_WAVE_HEIGHT);
    l.lanes = RectF(left, l.wave.y + EDITOR_WAVE_HEIGHT + g, right - left, lanesH);
    l.timelineSlider = RectF(left, l.lanes.y + lanesH + g, right - left, m.thumbH);
    l.timelineText = RectF(left, l.timelineSlider.y + m.thumbH + g, right - left, m.textH);

    // The stage: fitted, as large as fits its area and never larger than its own size, or at the
    // view's scale, with the view's centre at the area's centre (the stage centred unless panned).
    l.stageArea = edges(left, top + g, right, l.timeline.y - 2.f * g);
    l.help = edges(left, l.stageArea.y, right, l.timeline.y + l.timeline.height);
    const float scale = std::min({l.stageArea.width / float(STAGE_WIDTH_PIXELS),
                                  l.stageArea.height / float(STAGE_HEIGHT_PIXELS),
                                  EDITOR_MAX_STAGE_SCALE});
    l.fitScale = std::max(scale, 0.f);
    l.stageScale = view.scale > 0.f ? view.scale : l.fitScale;
    const float w = float(STAGE_WIDTH_PIXELS) * l.stageScale, h = float(STAGE_HEIGHT_PIXELS) * l.stageScale;
    const float unit = kSceneUnitPixels * l.stageScale;
    l.stage = RectF(l.stageArea.x + l.stageArea.width / 2.f - view.centre.X * unit,
                    l.stageArea.y + l.stageArea.height / 2.f - view.centre.Y * unit, w, h);
    return l;
}

StageView zoomedView(const EditorLayout& l, const StageView& view, const irr::core::vector2df& p, bool in) {
    // The next level beyond the scale shown (a level within a thousandth of it is that one).
    const float now = l.stageScale;
    float next = 0.f;
    for (float level : STAGE_ZOOM_LEVELS) {
        if (in && level > now * 1.001f) {
            next = level;
            break;
        }
        if (!in && level < now * 0.999f) next = level;
    }
    if (next <= 0.f || now <= 0.f) return view;
    StageView out = view;
    out.scale = next;
    // The scene point under p stays under p: the centre moves toward it by the zoom's share.
    const irr::core::vector2df at = windowToScene(l, p);
    out.centre = at + (view.centre - at) * (now / next);
    return pannedView(l, out, irr::core::vector2df(0.f, 0.f));
}

StageView pannedView(const EditorLayout& l, const StageView& view, const irr::core::vector2df& d) {
    StageView out = view;
    const float unit = kSceneUnitPixels * (view.scale > 0.f ? view.scale : l.fitScale);
    if (unit > 0.f) out.centre -= d / unit;
    const irr::core::vector2df middle = StageView().centre;
    out.centre.X = std::max(middle.X - STAGE_PAN_REACH_X, std::min(middle.X + STAGE_PAN_REACH_X, out.centre.X));
    out.centre.Y = std::max(middle.Y - STAGE_PAN_REACH_Y, std::min(middle.Y + STAGE_PAN_REACH_Y, out.centre.Y));
    return out;
}

bool rectsOverlap(const RectF& a, const RectF& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

bool rectInside(const RectF& inner, const RectF& outer) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

irr::core::vector2df windowToScene(const EditorLayout& l, const irr::core::vector2df& p) {
    const float unit = kSceneUnitPixels * l.stageScale;
    return irr::core::vector2df((p.X - l.stage.x) / unit, (p.Y - l.stage.y) / unit);
}

irr::core::vector2df sceneToWindow(const EditorLayout& l, const irr::core::vector2df& s) {
    const float unit = kSceneUnitPixels * l.stageScale;
    return irr::core::vector2df(l.stage.x + s.X * unit, l.stage.y + s.Y * unit);
}
