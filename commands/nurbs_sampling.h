// How finely GLU samples a NURBS surface or curve: within a fixed budget of segments per span,
// tied to the panel's tessellation, and of segments per surface or curve, whatever its size on
// screen or the values of its control points.
#pragma once

#include <GL/glu.h>

#include <vector>

// One direction of a surface, or a curve: its knots and order, as GLU is given them.
struct NurbsDirection {
    const std::vector<float>& knots;
    int order;
};

// Whether GLU's single-precision sampling can take these control points (x y z w each) where
// the current matrices and viewport put them: every value finite and at most 1e30, as given and
// in window coordinates.
bool controlPointsInRange(const std::vector<float>& points);
// The spans of positive length that GLU makes patches or pieces of.
long long spanCount(NurbsDirection direction);
// Whether GLU can cut a surface of that many spans into patches within a frame at all.
bool surfaceWithinBudget(NurbsDirection u, NurbsDirection v);
// Set the renderer's sampling; points are the control points, x y z w each.
void sampleSurface(GLUnurbs* renderer, NurbsDirection u, NurbsDirection v,
                   const std::vector<float>& points, int tessellation);
void sampleCurve(GLUnurbs* renderer, NurbsDirection u, const std::vector<float>& points,
                 int tessellation);
