// The trackball: an orbit camera around a centre, which the script's ViewTransform puts into
// effect. Owned by the viewer: the trackball panel's bound controls write the fields directly
// (panelTrackball), the mouse turns it and picks its centre, the keys move it nearer and farther,
// through the functions below. corvane-render's camera options and the session reset set it
// whole. Read by ViewTransform.
#pragma once

#include "scene/view_settings.h"

struct Trackball {
    float distance = 30;
    float zenith = 1.5707964f;        // polar angle from +Y, radians
    float azimuth = 0;                // around Y, from +X toward +Z, radians
    float step = 0.10471976f;         // angle per mouse-motion event
    Vec3f center = {0, 0, 0};
    Vec3f up = {0, 1, 0};
    bool firstMotion = true;          // the next motion only records the position
    float lastX = 0, lastY = 0;       // mouse position of the previous motion
};

// The panel's ranges of the angles (see SettingRange).
constexpr SettingRange<float> azimuthRange{0, 6.2831855f};
constexpr SettingRange<float> zenithRange{-3.1415927f, 3.1415927f};

const Trackball& trackball();
// The trackball panel's bound controls only.
Trackball& panelTrackball();
// corvane-render's camera options.
void setTrackball(const Trackball& camera);
// The session reset: every field at its start value.
void resetTrackball();

// Keys + and -: the distance divided or multiplied by 1.25, without limit.
void moveNearer();
void moveFarther();
// The right-click pick: the point the camera orbits from now on.
void setOrbitCentre(Vec3f centre);
// A drag: one step of an angle per motion event, along the mouse's larger movement; the first
// event after start only records the position. Only the sign of delta matters.
void trackballMotion(int x, int y);
void stepAzimuth(float delta);
void stepZenith(float delta);
