// NURBS surfaces and curves: the Begin NURBS / Begin NURBSCurve ... End blocks and the commands
// that collect their orders, knots, control points and trim.
#pragma once

// The NURBS kinds of Begin: a new GLU renderer for a surface or a curve.
void startSurface();
void startCurve();
// The NURBS branches of End, surface before curve: draws what was collected, destroys the
// renderer and resets what that End consumes. Refused (with a message) when an order is too
// high to draw; none when no surface or curve is in progress.
enum class NurbsEnd { none, finished, refused };
NurbsEnd finishNurbs();
// Destroys any renderer and restores every value to its start (a fresh process, for tests).
void resetNurbs();
