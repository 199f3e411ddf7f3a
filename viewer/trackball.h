// The trackball: an orbit camera around a centre, put into effect by the script's ViewTransform.
#pragma once

#include "viewer/view_settings.h"

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

extern Trackball trackball;

// Every field but the last mouse position back to its starting value, with this distance.
void resetTrackball(float distance);
// Multiplies the camera onto the current matrix.
void applyView();
void stepAzimuth(float delta);
void stepZenith(float delta);
// The motion callback: one step per event, along the mouse's larger movement.
void trackballMotion(int x, int y);
// Whether geometry was drawn under window point (x, y); if so, its object coordinates.
bool pickCenter(int x, int y, double point[3]);
