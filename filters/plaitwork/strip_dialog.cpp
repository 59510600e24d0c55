#include "filters/plaitwork/strip_dialog.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "framework/controls/ui_colour_well.h"
#include "filters/plaitwork/strip_settings.h"
#include "framework/controls/control_manager.h"
#include "framework/controls/ui_button.h"
#include "framework/controls/ui_selector.h"
#include "framework/controls/ui_slider.h"
#include "framework/host/filter_dialog.h"
#include "framework/host/filter_session.h"
#include "framework/settings/random_source.h"
#include "platform/pluginapi/pluginapi.h"

namespace qm::plaitwork {
namespace {

using namespace fw::slider_style;

constexpr double kCubeRootOfTwo = 1.2599210498948732;
constexpr int kMinSpacing = 2, kMaxSpacing = 250;
// The shape and orientation strips: a frame for every state, pressed ones
// included.
constexpr uint32_t kCurveShapeStrip = 131;
constexpr uint32_t kOrientationStrip = 132;

const fw::Setting& settingOf(int slot) { return *fw::findSetting(kSettings, slot); }
const char* statusOf(int slot) { return settingOf(slot).status ? settingOf(slot).status : ""; }
const char* nameOf(int slot) { return settingOf(slot).label ? settingOf(slot).label : ""; }

// A slider whose enabling follows a rule, tested whenever it draws.
class GatedSlider : public fw::UiSlider {
public:
    using UiSlider::UiSlider;
    void draw(ui::Surface& target) override {
        if (enabledWhen) enabled = enabledWhen();
        UiSlider::draw(target);
    }
    std::function<bool()> enabledWhen;
};

// The value just right of the track's end, the name above its start.
template <class Slider = fw::UiSlider>
Slider& horizontal(fw::ControlManager& m, int slot, int x, int y, int length, uint32_t style = 0, int valueDy = 6) {
    return m.create<Slider>(statusOf(slot), ui::Rect{x, y, x + length, y}, kFixedText | style,
                            fw::textPosition(length + 8, valueDy), nameOf(slot), fw::textPosition(0, 18));
}

// The value under the track's foot (lower by `below` where two stand side by side).
fw::UiSlider& vertical(fw::ControlManager& m, int slot, int x, int y, int length, uint32_t style = 0, int below = 0) {
    return m.create<fw::UiSlider>(statusOf(slot), ui::Rect{x, y, x, y + length}, kFixedText | style,
                                  fw::textPosition(-8, -(length + 6 + below)), nameOf(slot), fw::textPosition(0, 0));
}

// A framed 50 x 50 pad whose double-click puts the thumb in the middle; the
// name above its x value.
fw::UiSlider& pad(fw::ControlManager& m, int slot, int x, int y) {
    return m.create<fw::UiSlider>(statusOf(slot), ui::Rect{x, y, x + 50, y + 50}, kPad | kCentred,
                                  fw::textPosition(0, 0), nameOf(slot), fw::textPosition(-18, 33));
}

fw::UiSlider& spacing(fw::UiSlider& s) {
    s.minimum = kMinSpacing;
    s.setValue(s.getValue());
    return s;
}

fw::UiSelector& stepper(fw::ControlManager& m, int slot, int x, int y, int maximum, uint32_t strip) {
    auto& s = m.create<fw::UiSelector>(statusOf(slot), ui::Rect::ofSize(x, y, 13, 13), fw::captionOffset(0, 0), "",
                                       fw::kSettingChangedCommand, 0u, strip);
    s.maximum = maximum;
    return s;
}

fw::UiSelector& toggle(fw::ControlManager& m, int slot, int x, int y, int command) {
    return m.create<fw::UiSelector>(statusOf(slot), ui::Rect::ofSize(x, y, 13, 13), fw::captionOffset(17, 0),
                                    nameOf(slot), command, 0u);
}

fw::ColourControl& colour(fw::ControlManager& m, int slot, int x, int y) {
    return m.create<fw::ColourControl>(statusOf(slot), ui::Point{x, y});
}

bool whiteCanvasOn(int32_t state) { return state >= fw::UiSelector::kOn; }

// The two rules: brightness ratio is off while white canvas is on; the
// background colour counts only with a deformed background or a selection.
void applyEnabling(fw::DialogBuilder& d) {
    fw::ControlManager& m = d.manager();
    if (m.count() <= static_cast<size_t>(kFieldCount)) return;
    const FilterRecord* fr = d.session().record;
    const bool brightness = !whiteCanvasOn(m.element(kWhiteCanvas).getValue());
    const bool background = m.element(kBackgroundDeformation).getValue() > 0 || (fr && fr->haveMask);
    for (auto [slot, on] : {std::pair{kBrightnessRatio, brightness}, std::pair{kBackgroundColour, background}}) {
        fw::UiElement& e = m.element(static_cast<size_t>(slot));
        if (e.enabled == on) continue;
        e.enabled = on;
        m.redrawElement(e);
    }
}

int32_t& at(fw::ValueSlots& v, Field f) { return v[static_cast<size_t>(f)]; }

void scaleSpacings(fw::ValueSlots& v, double factor) {
    for (Field f : {kHSpacing1, kHSpacing2, kVSpacing1, kVSpacing2})
        at(v, f) = std::clamp(static_cast<int32_t>(std::lround(at(v, f) * factor)), kMinSpacing, kMaxSpacing);
}

void setPad(fw::ValueSlots& v, Field f, int x, int y) { at(v, f) = Pad{x, y}.pack(); }

bool ownColour(int32_t value) { return (static_cast<uint32_t>(value) >> 24 & 3) == fw::ColourControl::kOwn; }

void giveRandomColour(fw::ValueSlots& v, Field f) {
    if (ownColour(at(v, f))) at(v, f) = randomColour(whiteCanvasOn(at(v, kWhiteCanvas)));
}

// The draws both random generators share, in their order; withColours for
// Random Settings.
void randomShapes(fw::ValueSlots& v, bool withColours) {
    for (Field f : {kHSpacing1, kHSpacing2, kVSpacing1, kVSpacing2}) at(v, f) = fw::randomInt(2, 100);
    for (Field f : {kShadowDepth1, kShadowDepth2}) {
        const int x = fw::randomInt(8, 43);
        const int y = fw::randomInt(8, 43);
        setPad(v, f, x, y);
    }
    for (Field f : {kStretch1, kStretch2}) {
        const int x = fw::randomCapped(0, 80, 50, 25);
        const int y = fw::randomCapped(0, 80, 50, 25);
        setPad(v, f, x, y);
    }
    at(v, kMoireH) = fw::randomCapped(0, 150, 100, 50);
    at(v, kMoireV) = fw::randomCapped(0, 150, 100, 50);
    const struct {
        Field shading, colour, blur, orientation;
    } stages[] = {{kSideShading1, kSideShadowColour1, kSideBlur1, kOrientation1},
                  {kSideShading2, kSideShadowColour2, kSideBlur2, kOrientation2}};
    for (const auto& s : stages) {
        at(v, s.shading) = fw::randomCapped(20, 160, 80, 50);
        if (at(v, s.shading) == 50) continue;
        if (withColours) giveRandomColour(v, s.colour);
        at(v, s.blur) = fw::randomInt(0, 50);
        at(v, s.orientation) = 2 * (fw::randomCapped(0, 50, 29, 20) / 10);
    }
    if (withColours) {
        giveRandomColour(v, kShadowColour1);
        giveRandomColour(v, kShadowColour2);
    }
    const int x = fw::randomInt(0, 50);
    const int y = fw::randomInt(0, 50);
    setPad(v, kCurvedDeformation, x, y);
    at(v, kCurveShape) = 2 * (fw::randomInt(0, 39) / 10);
}

}  // namespace

const fw::ShellPlaces kDialogPlaces{
    .client = {943, 658},
    .preview = {43, 36, 643, 636},
    .meter = {3, 640, 33, 655},
    .status = {193, 641, 493, 655},
    .presetList = {658, 616},
    .strip = {403, 7, 583, 7},
    .undo = {662, 576},
    .redo = {690, 576},
    .help = {886, 4},
    .link = {735, 8},
    .apply = {837, 609},
    .cancel = {885, 609},
};

void createDialogControls(fw::DialogBuilder& b) {
    fw::ControlManager& m = b.manager();
    // Field i is the i-th control made here: this order is the record's.
    spacing(horizontal(m, kHSpacing1, 43, 10, 250, kNoReset));
    spacing(horizontal(m, kHSpacing2, 43, 24, 250, kNoReset));
    spacing(vertical(m, kVSpacing1, 11, 36, 250, kNoReset));
    spacing(vertical(m, kVSpacing2, 31, 36, 250, kNoReset, 13));
    pad(m, kShadowDepth1, 676, 171);
    pad(m, kShadowDepth2, 816, 171);
    pad(m, kCurvedDeformation, 676, 323);
    stepper(m, kCurveShape, 747, 323, 7, kCurveShapeStrip);
    pad(m, kStretch1, 725, 98);
    pad(m, kStretch2, 855, 98);
    horizontal(m, kMoireH, 43, 649, 100, kCentred);
    vertical(m, kMoireV, 31, 514, 100, kCentred);
    fw::UiSlider& deformation = horizontal(m, kBackgroundDeformation, 803, 296, 100);
    fw::UiSelector& whiteCanvas = toggle(m, kWhiteCanvas, 807, 366, kWhiteCanvasChanged);
    colour(m, kShadowColour1, 749, 176);
    colour(m, kShadowColour2, 889, 176);
    horizontal(m, kSideShading1, 663, 246, 100, kCentred);
    horizontal(m, kSideShading2, 803, 246, 100, kCentred);
    colour(m, kSideShadowColour1, 749, 256);
    colour(m, kSideShadowColour2, 889, 256);
    // Clear of the orientation selector above its value.
    horizontal(m, kSideBlur1, 663, 270, 50, 0, 2);
    horizontal(m, kSideBlur2, 803, 270, 50, 0, 2);
    stepper(m, kOrientation1, 723, 254, 5, kOrientationStrip);
    stepper(m, kOrientation2, 863, 254, 5, kOrientationStrip);
    horizontal(m, kLightExiting, 803, 326, 100);
    auto& brightness = horizontal<GatedSlider>(m, kBrightnessRatio, 803, 404, 100);
    horizontal(m, kSaturation, 803, 352, 100);
    // Off before the first preset loads: a preset that cannot be read leaves it so.
    toggle(m, kAntialiasing, 543, 10, fw::kSettingChangedCommand).setValue(0);
    auto& background = m.create<fw::ColourControl>(statusOf(kBackgroundColour), ui::Point{749, 290},
                                               nameOf(kBackgroundColour), ui::Point{749, 275});
    pad(m, kMeshDisplacement, 816, 463);
    horizontal(m, kMeshSmoothness, 816, 527, 50);
    vertical(m, kViewAngle, 655, 36, 100);
    horizontal(m, kRotate, 663, 404, 100, kCentred);

    brightness.enabledWhen = [&whiteCanvas] { return !whiteCanvasOn(whiteCanvas.getValue()); };
    const FilterRecord* fr = b.session().record;
    const bool selection = fr && fr->haveMask;
    background.enabledWhen = [&deformation, selection] { return selection || deformation.getValue() > 0; };

    m.create<fw::UiButton>("Random Variations", ui::Rect::ofSize(727, 564, 22, 16), 227, 227, kRandomVariations);
    m.create<fw::UiButton>("Random Settings Generator", ui::Rect::ofSize(741, 580, 22, 22), 211, 211, kRandomSettings);
    m.create<fw::UiButton>("Random Color Variations", ui::Rect::ofSize(763, 564, 22, 22), 218, 218, kRandomColours);
    m.create<fw::UiButton>("Increase Spacing", ui::Rect::ofSize(662, 536, 22, 14), 208, 208, kIncreaseSpacing);
    m.create<fw::UiButton>("Decrease Spacing", ui::Rect::ofSize(662, 551, 22, 14), 209, 209, kDecreaseSpacing);
    m.create<fw::UiButton>("Diagonal Flip", ui::Rect::ofSize(696, 541, 22, 22), 210, 210, kDiagonalFlip);
    m.create<fw::UiButton>("Reset Sliders", ui::Rect::ofSize(791, 573, 22, 22), 212, 212, kResetSlidersCommand);
}

void increaseSpacing(fw::ValueSlots& v) {
    const bool room = std::any_of(v.begin(), v.begin() + 4, [](int32_t s) { return s < kMaxSpacing; });
    if (room) scaleSpacings(v, kCubeRootOfTwo);
}

void decreaseSpacing(fw::ValueSlots& v) {
    const bool room = std::any_of(v.begin(), v.begin() + 4, [](int32_t s) { return s != kMinSpacing; });
    if (room) scaleSpacings(v, 1 / kCubeRootOfTwo);
}

void diagonalFlip(fw::ValueSlots& v) {
    std::swap(at(v, kHSpacing1), at(v, kVSpacing1));
    std::swap(at(v, kHSpacing2), at(v, kVSpacing2));
    for (Field f : {kShadowDepth1, kShadowDepth2, kCurvedDeformation, kStretch1, kStretch2}) {
        const Pad p = Pad::unpack(at(v, f));
        setPad(v, f, p.y, p.x);
    }
    std::swap(at(v, kMoireH), at(v, kMoireV));
    for (auto [orientation, shading] : {std::pair{kOrientation1, kSideShading1}, std::pair{kOrientation2, kSideShading2}}) {
        int32_t& o = at(v, orientation);
        if (o != 0 && o != 2) continue;
        o = 2 - o;
        at(v, shading) = 100 - at(v, shading);
    }
}

void randomSettings(fw::ValueSlots& v) {
    at(v, kViewAngle) = fw::randomInt(0, 100);
    at(v, kRotate) = fw::randomCapped(0, 200, 100, 50);
    randomShapes(v, true);
}

void randomVariations(fw::ValueSlots& v) { randomShapes(v, false); }

void randomColours(fw::ValueSlots& v) {
    giveRandomColour(v, kShadowColour1);
    giveRandomColour(v, kShadowColour2);
    if (at(v, kSideShading1) != 50) giveRandomColour(v, kSideShadowColour1);
    if (at(v, kSideShading2) != 50) giveRandomColour(v, kSideShadowColour2);
}

int32_t randomColour(bool whiteCanvas) {
    const int h = fw::randomInt(0, 1536);
    int value = whiteCanvas ? fw::randomInt(2, 255) : fw::randomCapped(0, 128, 64, 0);
    if (fw::randomInt(0, 100) < 20) value = fw::randomInt(2, 255);
    int sa = 255;
    if (value == 0) {
        value = fw::randomInt(240, 255);
        sa = fw::randomInt(0, 32);
    }
    return hsvColour(h, sa, value);
}

int32_t hsvColour(int h, int sa, int value) {
    h = ((h % 1536) + 1536) % 1536;
    sa = std::clamp(sa, 0, 255);
    value = std::clamp(value, 0, 255);
    const int fr = h % 256;
    const int p = (255 - sa) * value / 255;
    const int q = (255 - sa * fr / 255) * value / 255;
    const int t = (255 - (255 - fr) * sa / 255) * value / 255;
    int first = 0, second = 0, third = 0;
    switch (h / 256) {
    case 0: first = value, second = t, third = p; break;
    case 1: first = q, second = value, third = p; break;
    case 2: first = p, second = value, third = t; break;
    case 3: first = p, second = q, third = value; break;
    case 4: first = t, second = p, third = value; break;
    default: first = value, second = p, third = q; break;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(third) | static_cast<uint32_t>(second) << 8 |
                                static_cast<uint32_t>(first) << 16 | uint32_t{fw::ColourControl::kOwn} << 24);
}

bool dialogCommand(fw::DialogBuilder& d, int command) {
    // The rules hold before every render, whatever changed.
    applyEnabling(d);
    fw::ValueSlots v = d.values();
    switch (command) {
    case kIncreaseSpacing: increaseSpacing(v); break;
    case kDecreaseSpacing: decreaseSpacing(v); break;
    case kDiagonalFlip: diagonalFlip(v); break;
    case kRandomSettings: randomSettings(v); break;
    case kRandomVariations: randomVariations(v); break;
    case kRandomColours: randomColours(v); break;
    case kResetSlidersCommand: resetSliders(v); break;
    case kWhiteCanvasChanged: return true;
    default: return false;
    }
    d.setValues(v);
    return true;
}

}  // namespace qm::plaitwork
