#include "filters/plaitwork/strip_settings.h"

namespace qm::plaitwork {
namespace {

int32_t resolveColour(int32_t value, const HostColours& host) {
    StripColour c = StripColour::unpack(static_cast<uint32_t>(value));
    const uint8_t* shown = c.mode == 0 ? host.foreground : c.mode == 1 ? host.background : nullptr;
    if (shown) {
        c.r = shown[0];
        c.g = shown[1];
        c.b = shown[2];
    }
    return static_cast<int32_t>(c.pack());
}

}  // namespace

fw::ValueSlots limitSlots(const fw::ValueSlots& slots, const HostColours& host) {
    fw::ValueSlots out = slots;
    fw::limitSlots(kSettings, out);
    for (const fw::Setting& s : kSettings)
        if (s.kind == fw::ControlKind::Colour) {
            int32_t& v = out[static_cast<size_t>(s.slot)];
            v = resolveColour(v, host);
        }
    return out;
}

StripSettings settingsFromSlots(const fw::ValueSlots& v) {
    auto at = [&](Field f) { return v[static_cast<size_t>(f)]; };
    auto pad = [&](Field f) { return Pad::unpack(at(f)); };
    auto colour = [&](Field f) { return StripColour::unpack(static_cast<uint32_t>(at(f))); };
    StripSettings s;
    s.hSpacing1 = at(kHSpacing1);
    s.hSpacing2 = at(kHSpacing2);
    s.vSpacing1 = at(kVSpacing1);
    s.vSpacing2 = at(kVSpacing2);
    s.shadowDepth1 = pad(kShadowDepth1);
    s.shadowDepth2 = pad(kShadowDepth2);
    s.curvedDeformation = pad(kCurvedDeformation);
    s.curveShape = at(kCurveShape);
    s.stretch1 = pad(kStretch1);
    s.stretch2 = pad(kStretch2);
    s.moireH = at(kMoireH);
    s.moireV = at(kMoireV);
    s.backgroundDeformation = at(kBackgroundDeformation);
    s.whiteCanvas = at(kWhiteCanvas);
    s.shadowColour1 = colour(kShadowColour1);
    s.shadowColour2 = colour(kShadowColour2);
    s.sideShading1 = at(kSideShading1);
    s.sideShading2 = at(kSideShading2);
    s.sideShadowColour1 = colour(kSideShadowColour1);
    s.sideShadowColour2 = colour(kSideShadowColour2);
    s.sideBlur1 = at(kSideBlur1);
    s.sideBlur2 = at(kSideBlur2);
    s.orientation1 = at(kOrientation1);
    s.orientation2 = at(kOrientation2);
    s.lightExiting = at(kLightExiting);
    s.brightnessRatio = at(kBrightnessRatio);
    s.saturation = at(kSaturation);
    s.antialiasing = at(kAntialiasing);
    s.backgroundColour = colour(kBackgroundColour);
    s.meshDisplacement = pad(kMeshDisplacement);
    s.meshSmoothness = at(kMeshSmoothness);
    s.viewAngle = at(kViewAngle);
    s.rotate = at(kRotate);
    return s;
}

void resetSliders(fw::ValueSlots& slots) { fw::resetSlots(kSettings, slots, kResetSliders); }

}  // namespace qm::plaitwork
