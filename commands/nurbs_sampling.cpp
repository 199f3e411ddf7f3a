// NURBS sampling. GLU samples by path length by default: a segment for every so many pixels of
// a span's control polygon on screen. That is what a script of ordinary size gets, exactly as
// GLU draws it. But path length grows with the size on screen without bound: a single control
// point at x = 100000 took gigabytes and crashed, and points at or behind the eye, or not
// finite, are worse. So when path length could give a span more segments than the budget, the
// span is sampled by parameter distance instead, the longest span getting exactly the budget.
//   surface: at most `tessellation` segments each way per span, and 2^17 quads in all;
//   curve:   at most 32 x `tessellation` segments per span, and 2^17 segments in all.
// A span too short for one segment gets one.
#include "commands/nurbs_sampling.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "commands/camera.h"

namespace {
constexpr double surfaceTolerance = 50;   // pixels per segment: GLU's own default
constexpr double curveTolerance = 1;      // pixels per segment for curves
constexpr int curveSegmentsPerTessellation = 32;
constexpr long long surfaceQuadBudget = 1 << 17;
constexpr long long curveSegmentBudget = 1 << 17;
// GLU's cost per patch beyond its samples grows with the product of the orders; past this
// product summed over the patches a surface would take seconds.
constexpr long long patchWorkBudget = 1 << 19;
constexpr double unbounded = std::numeric_limits<double>::infinity();
// GLU samples in single precision: past this, in the script's values or on screen, its sums
// overflow, and it cut a trimmed surface into a negative number of pieces and crashed.
constexpr double largestCoordinate = 1e30;

// Calls span(start, end) for each knot interval of the curve's domain; none for an order below 1,
// which GLU refuses.
template <class Span>
void forEachSpan(NurbsDirection d, Span span) {
    if (d.order < 1) return;
    for (std::size_t i = std::size_t(d.order - 1); i + std::size_t(d.order) < d.knots.size(); ++i)
        span(d.knots[i], d.knots[i + 1]);
}

float longestSpan(NurbsDirection d) {
    float longest = 0;
    forEachSpan(d, [&](float start, float end) { longest = std::max(longest, end - start); });
    return longest;
}

// Samples per unit of parameter that give the longest span `segments` segments; 0 (one segment a
// span) when the spans are not finite.
float domainStep(NurbsDirection d, int segments) {
    float longest = longestSpan(d);
    return std::isfinite(longest) && longest > 0 ? float(segments) / longest : 0.0f;
}

// The control points as GLU sees them when it samples: in window coordinates, homogeneous
// (clip coordinates scaled by half the viewport).
template <class Visit>
void visitWindowPoints(const std::vector<float>& points, Visit visit) {
    double modelview[16], projection[16], sampling[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    samplingProjection(projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += projection[4 * k + r] * modelview[4 * c + k];
            sampling[4 * c + r] = r < 2 ? sum * viewport[2 + r] / 2 : sum;
        }
    for (std::size_t p = 0; p + 4 <= points.size(); p += 4) {
        double window[4];
        for (int r = 0; r < 4; ++r) {
            window[r] = 0;
            for (int c = 0; c < 4; ++c) window[r] += sampling[4 * c + r] * points[p + c];
        }
        visit(window);
    }
}

// The diagonal, in pixels, of the box that the control points fill on screen, where GLU measures
// path length; unbounded when one of them is not finite or lies at or behind the eye.
double screenExtent(const std::vector<float>& points) {
    double low[2] = {unbounded, unbounded}, high[2] = {-unbounded, -unbounded};
    bool bounded = true;
    visitWindowPoints(points, [&](const double* window) {
        if (!(window[3] > 0) || !std::isfinite(window[3])) bounded = false;
        for (int axis = 0; axis < 2 && bounded; ++axis) {
            double pixel = window[axis] / window[3];
            bounded = std::isfinite(pixel);
            low[axis] = std::min(low[axis], pixel);
            high[axis] = std::max(high[axis], pixel);
        }
    });
    return bounded ? std::hypot(high[0] - low[0], high[1] - low[1]) : unbounded;
}

// The most segments path length can give one span: GLU bounds a span's speed on screen by its
// order less one times the longest edge of its control polygon, and every edge lies in the box.
double pathSegmentsBound(int order, double extent, double tolerance) {
    return std::max(order - 1, 1) * extent / tolerance;
}

// GLU reads the GL's matrices itself, unless a capture holds the projection: then it is given
// the projection the frame would have drawn with, so the tessellation is the frame's.
void loadSamplingMatrices(GLUnurbs* renderer) {
    if (!projectionHeld()) return;
    double projection[16];
    samplingProjection(projection);
    GLfloat modelview[16], perspective[16];
    GLint viewport[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetIntegerv(GL_VIEWPORT, viewport);
    std::copy(std::begin(projection), std::end(projection), perspective);
    gluNurbsProperty(renderer, GLU_AUTO_LOAD_MATRIX, GL_FALSE);
    gluLoadSamplingMatrices(renderer, modelview, perspective, viewport);
}

int segmentsWithin(long long budget, long long pieces, int segments) {
    while (segments > 1 && pieces * segments > budget) segments /= 2;
    return segments;
}
}  // namespace

bool controlPointsInRange(const std::vector<float>& points) {
    bool inRange = true;
    visitWindowPoints(points, [&](const double* window) {
        for (int i = 0; i < 4; ++i) inRange = inRange && std::fabs(window[i]) <= largestCoordinate;
    });
    for (float value : points) inRange = inRange && std::fabs(value) <= largestCoordinate;
    return inRange;
}

long long spanCount(NurbsDirection d) {
    long long spans = 0;
    forEachSpan(d, [&](float start, float end) { spans += end > start; });
    return spans;
}

bool surfaceWithinBudget(NurbsDirection u, NurbsDirection v) {
    long long patches = spanCount(u) * spanCount(v);
    return patches * (16 + (long long)u.order * v.order) <= patchWorkBudget;
}

void sampleSurface(GLUnurbs* renderer, NurbsDirection u, NurbsDirection v,
                   const std::vector<float>& points, int tessellation) {
    loadSamplingMatrices(renderer);
    long long patches = std::max(spanCount(u) * spanCount(v), 1LL);
    int segments = tessellation;
    while (segments > 1 && patches * segments * segments > surfaceQuadBudget) segments /= 2;
    double path = pathSegmentsBound(std::max(u.order, v.order), screenExtent(points),
                                    surfaceTolerance);
    if (path <= segments) {
        gluNurbsProperty(renderer, GLU_SAMPLING_METHOD, GLU_PATH_LENGTH);
        return;
    }
    gluNurbsProperty(renderer, GLU_SAMPLING_METHOD, GLU_DOMAIN_DISTANCE);
    gluNurbsProperty(renderer, GLU_U_STEP, domainStep(u, segments));
    gluNurbsProperty(renderer, GLU_V_STEP, domainStep(v, segments));
}

void sampleCurve(GLUnurbs* renderer, NurbsDirection u, const std::vector<float>& points,
                 int tessellation) {
    loadSamplingMatrices(renderer);
    int segments = segmentsWithin(curveSegmentBudget, std::max(spanCount(u), 1LL),
                                  curveSegmentsPerTessellation * tessellation);
    if (pathSegmentsBound(u.order, screenExtent(points), curveTolerance) <= segments) {
        gluNurbsProperty(renderer, GLU_SAMPLING_METHOD, GLU_PATH_LENGTH);
        gluNurbsProperty(renderer, GLU_SAMPLING_TOLERANCE, float(curveTolerance));
        return;
    }
    gluNurbsProperty(renderer, GLU_SAMPLING_METHOD, GLU_DOMAIN_DISTANCE);
    gluNurbsProperty(renderer, GLU_U_STEP, domainStep(u, segments));
}
