// The help of the command words and of their keyword arguments; see command_help.h. The rows
// follow the command families in the order the reference presents them.
#include "commands/command_help.h"

#include <algorithm>

namespace {
const CommandHelp commands[] = {
    // Camera
    {"ViewTransform", "reads nothing",
     "multiplies the trackball camera onto the current matrix: the eye on a sphere of radius "
     "*distance* around the trackball centre, at the panel's azimuth and zenith, looking at the "
     "centre, +Y up."},
    // Groups and modelling transforms
    {"{", "reads nothing", "opens a group: saves the model-view matrix and the lighting state"},
    {"}", "reads nothing", "closes the group: restores the model-view matrix and the lighting state"},
    {"Translate", "*x y z*", "moves by (x, y, z)"},
    {"Rotate", "*angle x y z*",
     "rotates by *angle* degrees about the axis (x, y, z), counter-clockwise as seen from the "
     "axis's tip"},
    {"Scale", "*x y z*", "scales along each axis"},
    {"TranslateIncremental", "*vx vy vz period*", "moves by (vx, vy, vz) × phase"},
    {"RotateIncremental", "*rate x y z period*", "rotates by *rate* × phase degrees about (x, y, z)"},
    {"ScaleIncremental", "*fx fy fz period*", "scales by fx, fy and fz, each raised to the power phase"},
    // Lighting and material
    {"LightPosition", "*x y z w*",
     "places the light; w = 0 is a directional light shining from (x, y, z), any other w a point "
     "light at (x/w, y/w, z/w)"},
    {"AmbientColor", "*r g b*", "ambient colour of the material (alpha 1)"},
    {"DiffuseColor", "*r g b*", "diffuse colour of the material"},
    {"SpecularColor", "*r g b*", "specular colour of the material: the colour of highlights"},
    {"Shininess", "*s*", "specular exponent, 0 to 128: higher gives smaller, sharper highlights"},
    // Solid shapes
    {"Box", "reads nothing", "draws a cube with edge 1"},
    {"Sphere", "reads nothing", "draws a sphere of radius 1"},
    {"Cone", "reads nothing",
     "draws a cone of base radius 1 and height 1, base in the XY plane, tip on +Z"},
    {"Torus", "reads nothing",
     "draws a torus around the Z axis: a tube of radius 0.5 around a circle of radius 1 in the XY "
     "plane"},
    {"Tetrahedron", "reads nothing", "draws a regular tetrahedron, corners at distance 1 from the centre"},
    {"Octahedron", "reads nothing", "draws a regular octahedron, corners at distance 1 on the axes"},
    {"Icosahedron", "reads nothing", "draws a regular icosahedron, corners at distance 1"},
    {"Dodecahedron", "reads nothing",
     "draws a regular dodecahedron, corners at distance √3 (about 1.73)"},
    {"Teapot", "reads nothing",
     "draws the teapot, spout toward +X and lid up: about 3.2 long from handle to spout and 1.6 "
     "high, centred on the origin"},
    // Immediate primitives
    {"Begin", "*kind* (a word)", "opens a primitive of that kind"},
    {"End", "reads nothing", "closes the primitive (or finishes a NURBS surface or curve)"},
    {"Vertex", "*x y z*", "one vertex"},
    {"Normal", "*x y z*", "the current normal, used by the vertices after it"},
    {"Color", "*r g b*", "the current colour (alpha 1); visible where lighting is off"},
    {"TextureCoord", "*s t*", "the current texture coordinate"},
    // Render state and texturing
    {"Enable", "*state* (a word)", "switches the state on"},
    {"Disable", "*state* (a word)", "switches the state off"},
    {"TextureMode", "`Modulate` or `Replace`",
     "how the texture combines with the surface: `Modulate` multiplies it by the lit or coloured "
     "surface (the default), `Replace` shows the picture as it is"},
    {"TextureImage", "*file* (a word)", "loads the picture file into the scene's one texture and binds it"},
    // Display lists
    {"BeginList", "*name* (a word)", "starts recording the commands up to `EndList` under that name"},
    {"EndList", "reads nothing", "ends the recording"},
    {"CallList", "*name* (a word)", "draws the recorded list"},
    // NURBS surfaces and curves
    {"UOrder", "*order*", "order along u, and of a curve (4 for cubic)"},
    {"VOrder", "*order*", "order along v"},
    {"UKnots", "*n*, a separator, then *n* numbers", "appends knots along u"},
    {"VKnots", "*n*, a separator, then *n* numbers", "appends knots along v"},
    {"ControlPoints", "*n*, a separator, then *n* groups *x y z w*", "replaces the control points"},
    {"Trim", "*u v radius*", "trims the next surface with a circle in its parameter plane"},
    // Vertex arrays
    {"VertexArray", "*n*, a separator, then *n* groups *x y z*",
     "replaces the vertex list, switches the vertex array on"},
    {"NormalArray", "*n*, a separator, then *n* groups *x y z*",
     "replaces the normal list, switches the normal array on"},
    {"ColorArray", "*n*, a separator, then *n* groups *r g b*",
     "replaces the colour list, switches the colour array on"},
    {"TexCoordArray", "*n*, a separator, then *n* groups *s t*",
     "replaces the texture coordinate list, switches the texture coordinate array on"},
    {"Element", "*index* (a whole number)",
     "one vertex made from element *index* of every switched-on array"},
    // Projection and camera matrices
    {"Transform", "16 numbers, the matrix row by row", "multiplies the current matrix by it"},
    {"LookAt", "*eye x y z, centre x y z, up x y z*",
     "multiplies a viewing transform onto the current matrix: the eye at *eye*, looking at "
     "*centre*, with *up* pointing up"},
    {"Projection", "16 numbers, row by row", "replaces the projection matrix"},
    {"Perspective", "*fov aspect near far*",
     "replaces the projection by a perspective: *fov* degrees from top to bottom, width / height "
     "= *aspect*, depth from *near* to *far*; stores fov, near and far in the panel"},
    {"Ortho", "*left right bottom top near far*",
     "replaces the projection by an orthographic box; stores the box in the panel"},
};

const KeywordHelp primitiveKinds[] = {
    {"Points", "each vertex a point"},
    {"Lines", "vertices in pairs, each pair a line"},
    {"Triangles", "vertices in threes, each three a triangle"},
    {"TriangleStrip", "each vertex after the second makes a triangle with the two before it"},
    {"Quads", "vertices in fours, each four a quadrilateral"},
    {"Polygon", "all the vertices one convex polygon"},
    {"NURBS", "a NURBS surface of the orders, knots, control points and trim given before its `End`"},
    {"NURBSCurve", "a NURBS curve of the u order, u knots and control points given before its `End`"},
};

const KeywordHelp states[] = {
    {"Texture", "texturing with the picture of `TextureImage`, where there are texture coordinates (off at start)"},
    {"Lighting", "lighting by the one light and the material colours (on at start)"},
    {"DepthTest", "nearer surfaces hide farther ones (on at start)"},
    {"VertexArray", "the vertex array of `VertexArray`, which `Element` reads"},
    {"NormalArray", "the normal array of `NormalArray`, which `Element` reads"},
    {"ColorArray", "the colour array of `ColorArray`, which `Element` reads"},
    {"TexCoordArray", "the texture coordinate array of `TexCoordArray`, which `Element` reads"},
};

const KeywordHelp textureModes[] = {
    {"Modulate", "multiplies the picture by the lit or coloured surface (the default)"},
    {"Replace", "shows the picture as it is"},
};
}  // namespace

std::span<const CommandHelp> commandHelp() { return commands; }

const CommandHelp* findCommandHelp(std::string_view word) {
    auto found = std::find_if(std::begin(commands), std::end(commands),
                              [&](const CommandHelp& help) { return help.word == word; });
    return found == std::end(commands) ? nullptr : found;
}

std::span<const KeywordHelp> keywordsOf(std::string_view command) {
    if (command == "Begin") return primitiveKinds;
    if (command == "Enable" || command == "Disable") return states;
    if (command == "TextureMode") return textureModes;
    return {};
}
