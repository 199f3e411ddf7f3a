// The trackball's values and the rules that move them; see trackball.h.
#include "scene/trackball.h"

namespace {
Trackball camera;   // one instance, at its start values

constexpr double twoPi = 6.283185307179586;
constexpr float lowestZenith = 0.0001f;
constexpr float highestZenith = 3.1405927f;
}  // namespace

const Trackball& trackball() { return camera; }
Trackball& panelTrackball() { return camera; }
void setTrackball(const Trackball& options) { camera = options; }
void resetTrackball() { camera = Trackball{}; }

// The results are stored as floats, as the field is.
void moveNearer() { camera.distance = float(camera.distance / 1.25); }
void moveFarther() { camera.distance = float(camera.distance * 1.25); }
void setOrbitCentre(Vec3f centre) { camera.center = centre; }

void stepAzimuth(float delta) {
    float sign = delta >= 0 ? 1.0f : -1.0f;
    camera.azimuth += camera.step * sign;
    if (camera.azimuth > twoPi) camera.azimuth = float(camera.azimuth - twoPi);
    if (camera.azimuth < 0) camera.azimuth = float(camera.azimuth + twoPi);
}

// Moving the mouse down the window lowers the zenith angle and lifts the eye toward +Y.
// The clamp keeps the eye off the Y axis, where the view direction would be parallel to up.
void stepZenith(float delta) {
    float sign = delta >= 0 ? -1.0f : 1.0f;
    camera.zenith += camera.step * sign;
    if (camera.zenith < lowestZenith) camera.zenith = lowestZenith;
    if (camera.zenith > highestZenith) camera.zenith = highestZenith;
}

void trackballMotion(int x, int y) {
    if (camera.firstMotion) {
        camera.firstMotion = false;
    } else {
        float dx = float(x) - camera.lastX, dy = float(y) - camera.lastY;
        if (dy * dy < dx * dx)
            stepAzimuth(dx);
        else
            stepZenith(dy);
    }
    camera.lastX = float(x);
    camera.lastY = float(y);
}
