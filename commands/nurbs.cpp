// NURBS surfaces and curves: UOrder, VOrder, UKnots, VKnots, ControlPoints and Trim fill the
// collection below; the End of a Begin NURBS or Begin NURBSCurve block hands it to the GLU
// renderer that Begin made, draws, destroys the renderer and resets what it used. The control
// net has a fixed layout (u-rows of four points), so before drawing End checks that the lists
// hold every float GLU will read, and skips the drawing when they do not: a short list in a
// script must never make GLU read past it. So are values GLU's single-precision arithmetic
// cannot take. An order above what GLU draws, and a surface of more patches than it can cut
// within a frame, are reported rather than handed to GLU; how finely GLU samples is decided in
// nurbs_sampling.cpp. A curve's End reports the GL error of its own calls on standard output.
#include "commands/nurbs.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "commands/counted_list.h"
#include "commands/nurbs_sampling.h"
#include "commands/registry.h"
#include "interpreter/command_table.h"
#include "interpreter/gl_state.h"
#include "interpreter/message_log.h"
#include "scene/view_settings.h"

namespace {
// The collection the next End consumes; it outlives runs and file changes until then.
float uOrder = -1;                 // orders as the script gave them, truncated only at End
float vOrder = -1;
std::vector<float> uKnots;         // UKnots appends, End empties
std::vector<float> vKnots;         // VKnots appends, only a surface's End empties
std::vector<float> controlPoints;  // x y z w per point, u-row after u-row of four points
bool trimRequested = false;        // a Trim came since the last surface
float trimCenterU = 0;             // the trim circle, kept until the next Trim
float trimCenterV = 0;
float trimRadius = 0;              // its sign chooses the side that remains
GLUnurbs* surfaceRenderer = nullptr;   // from Begin NURBS to its End
GLUnurbs* curveRenderer = nullptr;     // from Begin NURBSCurve to its End

constexpr int largestOrder = 24;   // GLU draws nothing of a higher order
constexpr int uStride = 16;   // floats from one u-row of the net to the next
constexpr int pointSize = 4;  // floats per control point, and the v-stride

// What a curve's End consumes, and a surface's End besides: the trim circle itself is kept
// until the next Trim.
void forgetCurveValues() {
    uOrder = -1;
    uKnots.clear();
    controlPoints.clear();
}

void forgetSurfaceValues() {
    forgetCurveValues();
    vOrder = -1;
    vKnots.clear();
    trimRequested = false;
}

// Truncated toward zero; values beyond any order GLU takes only need to stay beyond it.
int wholeOrder(float order) { return std::isnan(order) ? 0 : int(std::clamp(order, -1e9f, 1e9f)); }

// False, with a message, when the order is one GLU would refuse for being too high.
bool orderDrawable(float order, const char* word) {
    if (wholeOrder(order) <= largestOrder) return true;
    return refuse(std::string(word) + " is larger than " + std::to_string(largestOrder) +
            ", the largest NURBS order");
}

// How many control points GLU reads along one direction: the knot count minus the order. It
// reads none (it reports an error and draws nothing) for an order below 1 or fewer than twice
// the order's knots: 0. GLU takes knots closer than its tolerance (at most 1e-4) as one, and
// knots just above the last span's knot can chain into a breakpoint that starts after it; GLU
// then reads past the points and past its own copy of the knots, so such knots are refused: -1.
// So are knots that are not finite, which GLU cannot order.
long long pointsRead(const std::vector<float>& knots, int order) {
    const long long count = static_cast<long long>(knots.size());
    if (order < 1 || count < 2LL * order) return 0;
    for (float knot : knots)
        if (!std::isfinite(knot)) return -1;
    const float last = knots[count - order];
    for (long long i = count - order + 1; i < count; ++i)
        if (knots[i] > last && knots[i] - last < 1e-4f) return -1;
    return count - order;
}

// The trim circle lies in the parameter plane, where GLU samples it in single precision too.
bool trimInRange() {
    const double largest = 1e30;
    return std::fabs(double(trimCenterU)) + std::fabs(double(trimRadius)) <= largest &&
           std::fabs(double(trimCenterV)) + std::fabs(double(trimRadius)) <= largest;
}

// Whether the lists hold every float GLU reads: for a surface the last point of the last u-row,
// at 16 floats per u-row and 4 per point; for a curve the points one after another.
bool surfaceFits() {
    if (uKnots.empty() || vKnots.empty() || controlPoints.empty()) return false;
    if (!controlPointsInRange(controlPoints) || (trimRequested && !trimInRange())) return false;
    long long u = pointsRead(uKnots, wholeOrder(uOrder));
    long long v = pointsRead(vKnots, wholeOrder(vOrder));
    if (u < 0 || v < 0) return false;
    long long needed = (u == 0 || v == 0) ? 0 : uStride * (u - 1) + pointSize * v;
    return needed <= static_cast<long long>(controlPoints.size());
}

bool curveFits() {
    if (uKnots.empty() || controlPoints.empty() || !controlPointsInRange(controlPoints))
        return false;
    long long u = pointsRead(uKnots, wholeOrder(uOrder));
    return u >= 0 && pointSize * u <= static_cast<long long>(controlPoints.size());
}

// The trim circle as four rational quarter arcs; for a radius of 0 or less it runs clockwise
// inside an outer square that encloses any parameter domain, so it cuts a hole instead.
void addTrimLoops(GLUnurbs* renderer) {
    const float r = std::fabs(trimRadius);
    const float s = trimRadius > 0 ? r : -r;
    const float cu = trimCenterU, cv = trimCenterV;
    const float k = std::sqrt(2.0f) / 2.0f;
    if (trimRadius <= 0) {
        const float a = 1e32f;
        GLfloat square[5][2] = {{a, a}, {-a, a}, {-a, -a}, {a, -a}, {a, a}};
        gluBeginTrim(renderer);
        gluPwlCurve(renderer, 5, &square[0][0], 2, GLU_MAP1_TRIM_2);
        gluEndTrim(renderer);
    }
    const float uvq[9][3] = {{cu + s, cv, 1}, {cu + s, cv + r, k}, {cu, cv + r, 1},
                             {cu - s, cv + r, k}, {cu - s, cv, 1}, {cu - s, cv - r, k},
                             {cu, cv - r, 1}, {cu + s, cv - r, k}, {cu + s, cv, 1}};
    GLfloat circle[9][3];
    for (int i = 0; i < 9; ++i) {
        const float q = uvq[i][2];
        circle[i][0] = uvq[i][0] * q;
        circle[i][1] = uvq[i][1] * q;
        circle[i][2] = q;
    }
    GLfloat knots[12] = {0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 4};
    gluBeginTrim(renderer);
    gluNurbsCurve(renderer, 12, knots, 3, &circle[0][0], 3, GLU_MAP1_TRIM_3);
    gluEndTrim(renderer);
}

template <class Function>
_GLUfuncptr callback(Function function) {
    return reinterpret_cast<_GLUfuncptr>(function);
}

// GLU tessellates the surface and hands its triangles and strips straight to the GL, so they
// take the current colour, material, texture coordinate and matrices.
void drawSurface(GLUnurbs* renderer) {
    gluNurbsProperty(renderer, GLU_NURBS_MODE, GLU_NURBS_TESSELLATOR);
    gluNurbsCallback(renderer, GLU_NURBS_BEGIN, callback(glBegin));
    gluNurbsCallback(renderer, GLU_NURBS_END, callback(glEnd));
    gluNurbsCallback(renderer, GLU_NURBS_VERTEX, callback(glVertex3fv));
    gluNurbsCallback(renderer, GLU_NURBS_NORMAL, callback(glNormal3fv));
    sampleSurface(renderer, {uKnots, wholeOrder(uOrder)}, {vKnots, wholeOrder(vOrder)},
                  controlPoints, viewSettings().tessellation);
    gluBeginSurface(renderer);
    gluNurbsSurface(renderer, GLint(uKnots.size()), uKnots.data(), GLint(vKnots.size()),
                    vKnots.data(), uStride, pointSize, controlPoints.data(), wholeOrder(uOrder),
                    wholeOrder(vOrder), GL_MAP2_VERTEX_4);
    if (trimRequested) addTrimLoops(renderer);
    gluEndSurface(renderer);
}

// A surface of more patches than GLU can cut within a frame is reported, not drawn.
bool withinBudget() {
    NurbsDirection u{uKnots, wholeOrder(uOrder)}, v{vKnots, wholeOrder(vOrder)};
    if (surfaceWithinBudget(u, v)) return true;
    return refuse("NURBS surface has too many spans to draw (" + std::to_string(spanCount(u)) +
                  " by " + std::to_string(spanCount(v)) + ")");
}

bool finishSurface() {
    const bool drawable = orderDrawable(uOrder, "UOrder") && orderDrawable(vOrder, "VOrder") &&
                          (!surfaceFits() || withinBudget());
    glEnable(GL_AUTO_NORMAL);
    if (drawable && surfaceFits()) {
        WithoutScriptArrays isolated;
        drawSurface(surfaceRenderer);
    }
    gluDeleteNurbsRenderer(surfaceRenderer);
    surfaceRenderer = nullptr;
    glDisable(GL_AUTO_NORMAL);
    forgetSurfaceValues();
    return drawable;
}

// GLU draws the curve itself through the GL's evaluators. The line on standard output speaks
// of the curve's own calls only, never of an error left by an earlier command.
bool finishCurve() {
    const bool drawable = orderDrawable(uOrder, "UOrder");
    discardGlErrors();
    WithoutScriptArrays isolated;
    gluNurbsProperty(curveRenderer, GLU_NURBS_MODE, GLU_NURBS_RENDERER);
    sampleCurve(curveRenderer, {uKnots, wholeOrder(uOrder)}, controlPoints,
                viewSettings().tessellation);
    if (drawable && curveFits()) {
        gluBeginCurve(curveRenderer);
        gluNurbsCurve(curveRenderer, GLint(uKnots.size()), uKnots.data(), pointSize,
                      controlPoints.data(), wholeOrder(uOrder), GL_MAP1_VERTEX_4);
        gluEndCurve(curveRenderer);
    }
    gluDeleteNurbsRenderer(curveRenderer);
    curveRenderer = nullptr;
    forgetCurveValues();
    const GLubyte* text = gluErrorString(glGetError());
    std::printf("%s\n", text ? reinterpret_cast<const char*>(text) : "");
    std::fflush(stdout);
    return drawable;
}

bool readUOrder(ScriptStream& in) {
    in >> uOrder;
    return true;
}

bool readVOrder(ScriptStream& in) {
    in >> vOrder;
    return true;
}

bool readUKnots(ScriptStream& in) {
    readCountedFloats(in, uKnots);
    return true;
}

bool readVKnots(ScriptStream& in) {
    readCountedFloats(in, vKnots);
    return true;
}

bool readControlPoints(ScriptStream& in) {
    controlPoints.clear();
    readCountedFloats(in, controlPoints, pointSize);
    return true;
}

bool trim(ScriptStream& in) {
    trimRequested = true;
    in >> trimCenterU >> trimCenterV >> trimRadius;
    return true;
}
}  // namespace

// Begin refuses to nest, so no renderer is in progress here; one left over would only leak.
void startSurface() {
    if (surfaceRenderer) gluDeleteNurbsRenderer(surfaceRenderer);
    surfaceRenderer = gluNewNurbsRenderer();
}

void startCurve() {
    if (curveRenderer) gluDeleteNurbsRenderer(curveRenderer);
    curveRenderer = gluNewNurbsRenderer();
}

NurbsEnd finishNurbs() {
    if (surfaceRenderer) return finishSurface() ? NurbsEnd::finished : NurbsEnd::refused;
    if (curveRenderer) return finishCurve() ? NurbsEnd::finished : NurbsEnd::refused;
    return NurbsEnd::none;
}

void resetNurbs() {
    if (surfaceRenderer) gluDeleteNurbsRenderer(surfaceRenderer);
    if (curveRenderer) gluDeleteNurbsRenderer(curveRenderer);
    surfaceRenderer = curveRenderer = nullptr;
    forgetSurfaceValues();
    trimCenterU = trimCenterV = trimRadius = 0;
}

namespace {
const CommandRow rows[] = {
    {"UOrder", readUOrder},   {"VOrder", readVOrder},
    {"UKnots", readUKnots},   {"VKnots", readVKnots},
    {"ControlPoints", readControlPoints}, {"Trim", trim},
};
}
std::span<const CommandRow> nurbsCommands() { return rows; }
