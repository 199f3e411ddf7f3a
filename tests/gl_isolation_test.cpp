// The GL kept apart from script state: no script, however wrong, crashes, hangs, leaves the GL
// reading past its arrays, or changes what a later frame shows. One test per kind of fault,
// then a few hundred grammar-built scripts that mix them all.
#include <GL/gl.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands/primitives.h"
#include "commands/vertex_arrays.h"
#include "interpreter/gl_state.h"
#include "interpreter/runner.h"
#include "tests/gl_test.h"
#include "tests/script_generator.h"
#include "frame/offscreen.h"
#include "frame/session.h"
#include "frame/frame.h"
#include "scene/view_settings.h"

namespace {
using Picture = std::vector<unsigned char>;

const char* const shapes[] = {"Box",          "Sphere",      "Cone",       "Torus",   "Tetrahedron",
                              "Dodecahedron", "Icosahedron", "Octahedron", "Teapot"};
const std::string green = "Disable Lighting Color 0 1 0 Translate 0 0 -4\n";
const std::string patch = "UOrder 4 VOrder 4 UKnots 8 : 0 0 0 0 1 1 1 1 VKnots 8 : 0 0 0 0 1 1 1 1\n"
                          "ControlPoints 16 : -1 -1 0 1 -1 -0.3 0 1 -1 0.3 0 1 -1 1 0 1 "
                          "-0.3 -1 0 1 -0.3 -0.3 0 1 -0.3 0.3 0 1 -0.3 1 0 1 "
                          "0.3 -1 0 1 0.3 -0.3 0 1 0.3 0.3 0 1 0.3 1 0 1 "
                          "1 -1 0 1 1 -0.3 0 1 1 0.3 0 1 1 1 0 1\n";

class GlIsolationTest : public GlTest {
protected:
    // Stack depths a frame must leave as it found them.
    std::array<GLint, 4> depths() {
        return {integer(GL_MODELVIEW_STACK_DEPTH), integer(GL_PROJECTION_STACK_DEPTH),
                integer(GL_ATTRIB_STACK_DEPTH), integer(GL_CLIENT_ATTRIB_STACK_DEPTH)};
    }
    // The GL as every frame must leave it.
    void expectCleanFrameEnd() {
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        EXPECT_TRUE(clientArraysMatchGl());
        EXPECT_EQ(depths(), (std::array<GLint, 4>{1, 1, 0, 0}));
    }
    Picture pictureOf(const std::string& script, int frames) {
        resetRunner();
        resetPrimitives();
        resetVertexArrays();
        run(script, frames);
        return readFramePixels();
    }
    // Runs the script with standard output captured; returns what the frames printed.
    std::string printedBy(const std::string& script, int frames) {
        testing::internal::CaptureStdout();
        run(script, frames);
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
    // Polygons and lines that the script's frame hands the GL, counted in feedback mode: each
    // triangle drawn is at most one polygon once clipped.
    std::pair<int, int> primitivesDrawnBy(const std::string& script) {
        writeScript(script);
        std::vector<GLfloat> buffer(1 << 23);
        glFeedbackBuffer(GLsizei(buffer.size()), GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        frame();
        GLint used = glRenderMode(GL_RENDER);
        EXPECT_GE(used, 0) << "the feedback buffer overflowed";
        int polygons = 0, lines = 0;
        for (GLint i = 0; i < used;) {
            GLint token = GLint(buffer[i++]);
            if (token == GL_POLYGON_TOKEN) {
                GLint n = GLint(buffer[i++]);
                ++polygons;
                i += 3 * n;
            } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
                ++lines;
                i += 6;
            } else if (token == GL_POINT_TOKEN) {
                i += 3;
            } else {
                i += 1;   // GL_PASS_THROUGH_TOKEN and the like carry one value
            }
        }
        return {polygons, lines};
    }
};

// freeglut draws its solids, and GLU its surfaces, from client arrays of their own; with a
// script's one-element ColorArray or TexCoordArray left on, the GL read past it for every
// vertex, and a display list recording the shape crashed. The shape must show the current
// colour, as if the script had no arrays.
TEST_F(GlIsolationTest, ShapesAndNurbsSeeOnlyTheirOwnArrays) {
    const char* const arrays[] = {"ColorArray 1 , 1 0 0", "TexCoordArray 1 , 0 1",
                                  "NormalArray 1 , 0 0 -1", "VertexArray 1 , 9 9 9"};
    std::vector<std::string> drawings(std::begin(shapes), std::end(shapes));
    drawings.push_back(patch + "Begin NURBS End");
    for (const std::string& drawing : drawings) {
        for (const char* array : arrays) {
            for (bool recorded : {false, true}) {
                std::string body = recorded ? "BeginList L " + drawing + " EndList CallList L"
                                            : drawing;
                SCOPED_TRACE(std::string(array) + " " + body);
                EXPECT_TRUE(pictureOf(green + array + "\n" + body + "\n", 2) ==
                            pictureOf(green + body + "\n", 2));
                EXPECT_EQ(logOf(), "");
                expectCleanFrameEnd();
            }
        }
    }
    // Every pointer is valid from start-up: nothing a shape does reads a null one.
    startSession();
    for (GLenum pointer : {GL_VERTEX_ARRAY_POINTER, GL_NORMAL_ARRAY_POINTER, GL_COLOR_ARRAY_POINTER,
                           GL_TEXTURE_COORD_ARRAY_POINTER}) {
        GLvoid* p = nullptr;
        glGetPointerv(pointer, &p);
        EXPECT_NE(p, nullptr);
    }
}

// Between glBegin and glEnd the GL ignores array switches and pointers. Element's range check
// must test the arrays the GL really reads, or it lets an index read past a list.
TEST_F(GlIsolationTest, ArraySwitchesFollowWhatTheGlDid) {
    const char* const words[] = {"VertexArray", "NormalArray", "ColorArray", "TexCoordArray"};
    const GLenum states[] = {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY,
                             GL_TEXTURE_COORD_ARRAY};
    struct Where {
        const char *before, *after;
        bool switches;   // whether a switch between them reaches the GL
    };
    const Where places[] = {{"", "", true},
                            {"Begin Points ", " End", false},
                            {"BeginList L Begin Points ", " End EndList", true}};
    for (int a = 0; a < 4; ++a) {
        for (const Where& where : places) {
            for (bool on : {false, true}) {
                std::string script = std::string(on ? "Disable " : "Enable ") + words[a] + "\n" +
                                     where.before + (on ? "Enable " : "Disable ") + words[a] +
                                     where.after + "\n";
                SCOPED_TRACE(script);
                resetVertexArrays();
                resetRunner();
                EXPECT_TRUE(run(script));
                EXPECT_EQ(bool(glIsEnabled(states[a])), where.switches ? on : !on);
                expectCleanFrameEnd();
            }
        }
    }
    // The switch that the GL ignored leaves the normal array on, and empty.
    resetVertexArrays();
    EXPECT_FALSE(run("Enable NormalArray Begin Points Disable NormalArray Element 5 End\n"));
    EXPECT_EQ(logOf(), "Element 5 is outside NormalArray (0 elements)\n");
    // A list given between glBegin and glEnd is not taken either: the GL keeps reading the old.
    resetVertexArrays();
    EXPECT_FALSE(run("VertexArray 1 , 0 0 -2\nBegin Points VertexArray 3 , 1 1 1 2 2 2 3 3 3 "
                     "Element 2 End\n"));
    EXPECT_EQ(logOf(), "Element 2 is outside VertexArray (1 element)\n");
    expectCleanFrameEnd();
}

// A display list records a primitive whole at its End: what it draws, and the colour it leaves
// current, are exactly what drawing it at once gives. Mesa corrupted its heap ending lists that
// held primitives too short to draw followed by an attribute, or two of them in a row.
TEST_F(GlIsolationTest, RecordedPrimitivesDrawWhatDrawingAtOnceDraws) {
    const std::string v1 = " Vertex -1 -1 -2 ", v2 = " Vertex 1 -1 -2 ", v3 = " Vertex 0 1 -2 ";
    const std::string v4 = " Vertex -1 1 -2 ", red = " Color 1 0 0 ", blue = " Color 0 0 1 ";
    // Each primitive, and what drawing at once draws the same: where a list meets a colour first
    // in a primitive's middle, the vertices before take it too (the next test says why).
    const std::pair<std::string, std::string> primitives[] = {
        {"Begin Triangles" + v1 + red + "End", ""},
        {"Begin Triangles" + v1 + "Color 0 0 0 End", ""},
        {"Begin Points" + v1 + "End Begin Quads" + v1 + "End", ""},
        {"Begin Triangles" + v1 + v2 + blue + v3 + v4 + red + "End",
         "Begin Triangles" + blue + v1 + v2 + blue + v3 + v4 + red + "End"},
        {"Begin Lines" + v1 + v2 + red + v3 + "End", "Begin Lines" + red + v1 + v2 + v3 + "End"},
        {"Begin Quads" + v1 + v2 + v3 + red + "End Begin Polygon" + v1 + blue + v2 + "End", ""},
        {"Begin TriangleStrip" + red + v1 + v2 + blue + v3 + v4 + "End", ""},
        {"Begin Polygon" + v1 + red + v2 + v3 + " Normal 0 0 1 TextureCoord 1 1 End",
         "Begin Polygon" + red + v1 + v2 + v3 + " Normal 0 0 1 TextureCoord 1 1 End"},
        {"VertexArray 4 , -1 -1 -2 1 -1 -2 1 1 -2 -1 1 -2 ColorArray 4 , 1 0 0 0 1 0 0 0 1 1 1 1 "
         "Begin Quads Element 0 Element 1 Element 2 Element 3 End Disable ColorArray", ""},
        {"ColorArray 1 , 1 0 1 Begin Triangles Element 0 End", ""},
    };
    // A quad in the corner, drawn at once afterwards, shows the colour the primitive left.
    const std::string after = "\nBegin Quads Vertex 0.5 0.5 -2 Vertex 1 0.5 -2 Vertex 1 1 -2 "
                              "Vertex 0.5 1 -2 End\n";
    for (const auto& [primitive, same] : primitives) {
        SCOPED_TRACE(primitive);
        Picture atOnce = pictureOf("Disable Lighting " + (same.empty() ? primitive : same) + after, 2);
        Picture recorded =
            pictureOf("Disable Lighting BeginList P " + primitive + " EndList CallList P" + after, 2);
        int differing = 0;
        for (std::size_t i = 0; i < atOnce.size(); ++i) differing += atOnce[i] != recorded[i];
        EXPECT_EQ(differing, 0);
        EXPECT_EQ(logOf(), "");
        expectCleanFrameEnd();
    }
}

// Once a primitive in a list meets a colour, normal or texture coordinate first in its middle,
// Mesa replays the whole list vertex by vertex, and every list it calls; the vertices of shapes
// it stored shared then came from past their own, beyond the end of the buffer at worst. Such
// a value reaches the primitive's earlier vertices too, and the shapes draw as they did.
TEST_F(GlIsolationTest, AValueMetMidPrimitiveInAListLeavesItsShapesAndCalledListsWhole) {
    const std::string hidden[] = {   // behind the camera
        "Begin Points Vertex 0 0 9 Color 0 1 0 Vertex 0 0 9 End",
        "Begin Triangles Vertex 0 0 9 Vertex 1 0 9 Normal 0 1 0 Vertex 0 1 9 End",
        "Begin Lines Vertex 0 0 9 TextureCoord 1 1 Vertex 1 0 9 End",
    };
    Picture teapot = pictureOf("Translate 0 0 -4 Teapot\n", 2);
    for (const std::string& late : hidden) {
        const std::string lists[] = {
            "BeginList B Teapot " + late + " EndList CallList B",
            "BeginList A Teapot EndList BeginList B CallList A " + late + " EndList CallList B",
            "BeginList A Teapot EndList BeginList B " + late + " CallList A EndList CallList B",
            "BeginList A Teapot EndList BeginList B " + late + " CallList A EndList CallList A",
        };
        for (const std::string& list : lists) {
            SCOPED_TRACE(list);
            EXPECT_TRUE(pictureOf("Translate 0 0 -4 " + list + "\n", 2) == teapot);
            EXPECT_EQ(logOf(), "");
            expectCleanFrameEnd();
        }
    }
    // A triangle whose last vertex meets green first is green all over, not white shading in.
    run("Disable Lighting BeginList P Begin Triangles Vertex -1 -1 -2 Vertex 1 -1 -2 Color 0 1 0 "
        "Vertex 0 1 -2 End EndList CallList P\n", 2);
    EXPECT_EQ(centre(), (std::array<int, 3>{0, 255, 0}));
}

// A vertex outside any primitive draws nothing, and Mesa, given one with a texture coordinate
// and a texture bound, never finished the frame. Such scripts end every frame and draw what
// they draw without the stray vertex.
TEST_F(GlIsolationTest, EveryFrameEnds) {
    std::string picture = std::string(CORVANE_SOURCE_DIR) + "/examples/checker.png";
    const std::string scripts[] = {
        "TextureCoord 0 1 Vertex 0 0 0 TextureMode Replace Begin Triangles\n",
        "TextureImage " + picture + " TextureCoord 1 1 Vertex 0 0 0\n",
        "TextureImage " + picture + " VertexArray 1 , 0 0 0 TexCoordArray 1 , 0 1 Element 0\n",
        "BeginList L TextureImage " + picture + " TextureCoord 1 1 Vertex 0 0 0 EndList "
        "CallList L\n",
    };
    for (const std::string& script : scripts) {
        SCOPED_TRACE(script);
        Picture withVertex = pictureOf("Translate 0 0 -4 Box " + script, 1);
        for (int i = 0; i < 3; ++i) {
            frame();
            expectCleanFrameEnd();
        }
        EXPECT_TRUE(withVertex == pictureOf("Translate 0 0 -4 Box\n", 1));
    }
}

// GLU's default sampling grew with a patch's size on screen: one control point at x = 100000
// took gigabytes. Surfaces and curves stay within their budget of segments per span and in all,
// whatever their size, values or tessellation; an ordinary patch is sampled as GLU always did.
TEST_F(GlIsolationTest, NurbsSamplingIsBounded) {
    const std::string farPoint = "Ortho -1 1 -1 1 -1 1\nUOrder 2 VOrder 3\nUKnots 4 : 0 0 1 1\n"
                                 "VKnots 7 : 0 0 0 0.5 1 1 1\nControlPoints 8 : 0 0 0 1 0 0.3 0 1 "
                                 "0 0.6 0 1 0 0.9 0 1 100000 0 0 1 0.5 0.3 0 1 0.5 0.6 0 1 "
                                 "0.5 0.9 0 1\nBegin NURBS End\n";
    std::string rows = "Ortho -10 10 -10 10 -10 10 Scale 0.001 0.1 1 UOrder 4 VOrder 4 "
                       "UKnots 2504 : 0 0 0";
    for (int k = 0; k <= 2500; ++k) rows += " " + std::to_string(k);
    rows += " 2500 2500 2500 VKnots 8 : 0 0 0 0 1 1 1 1 ControlPoints 10000 :";
    for (int i = 0; i < 10000; ++i) rows += " " + std::to_string(i / 4) + " " + std::to_string(i % 4) + " 0 1";
    rows += " Trim 100 0.5 -50 Begin NURBS End\n";
    std::string curve = "UOrder 4 UKnots 10004 : 0 0 0";
    for (int k = 0; k <= 9997; ++k) curve += " " + std::to_string(k);
    curve += " 9997 9997 9997 ControlPoints 10000 :";
    for (int i = 0; i < 10000; ++i) curve += " " + std::to_string(i * 1000) + " 0 -5 1";
    curve += " Begin NURBSCurve End\n";
    for (int tessellation : {4, 32, 128}) {
        SCOPED_TRACE(tessellation);
        panelViewSettings().tessellation = tessellation;
        auto [triangles, lines] = primitivesDrawnBy(farPoint);
        EXPECT_GT(triangles, 0);
        EXPECT_LE(triangles, 2 * 2 * tessellation * tessellation);   // 2 patches, 2 per quad
        std::tie(triangles, lines) = primitivesDrawnBy(rows);
        EXPECT_GT(triangles, 0);
        EXPECT_LE(triangles, 2 << 17);
        std::tie(triangles, lines) = primitivesDrawnBy(curve);
        EXPECT_GT(lines, 0);
        EXPECT_LE(lines, 1 << 17);
    }
    // The gallery's patch is small on screen: GLU samples it by path length, as it always did,
    // whatever the tessellation.
    panelViewSettings().tessellation = 4;
    std::string translated = "Translate 0 0 -6 " + patch + "Begin NURBS End\n";
    int coarse = primitivesDrawnBy(translated).first;
    panelViewSettings().tessellation = 128;
    EXPECT_EQ(primitivesDrawnBy(translated).first, coarse);
    // Values GLU's single precision cannot take, on screen or in the script, draw nothing.
    EXPECT_EQ(primitivesDrawnBy("Scale 1e20 1e20 1e20 " + translated).first, 0);
    EXPECT_EQ(primitivesDrawnBy("Translate 0 0 -6 " + patch + "Trim 3e38 0 3e38 Begin NURBS End").first, 0);
    // Nets whose rows overlap can make millions of patches: reported, not handed to GLU.
    std::string overlap = "UOrder 2 VOrder 2 UKnots 1002 : 0";
    for (int k = 0; k <= 1000; ++k) overlap += " " + std::to_string(k);
    overlap += " VKnots 1002 : 0";
    for (int k = 0; k <= 1000; ++k) overlap += " " + std::to_string(k);
    overlap += " ControlPoints 5000 :";
    for (int i = 0; i < 5000; ++i) overlap += " 0 0 0 1";
    EXPECT_FALSE(run(overlap + " Begin NURBS End\n"));
    EXPECT_EQ(logOf(), "NURBS surface has too many spans to draw (999 by 999)\n");
}

// What a frame sets lasts to its end: every frame of an unchanged script looks the same (also
// when the GL driver would carry over what it clipped last), each curve's line speaks of its own
// calls, and the frame itself never makes a call the GL refuses.
TEST_F(GlIsolationTest, NoFrameChangesTheNext) {
    for (const std::string& script :
         {std::string("Translate 0 0 -4 Sphere DiffuseColor 1 0 0 { }\n"),
          std::string("Translate 0 0 -4 Sphere Enable Texture TextureMode Replace "
                      "Disable DepthTest SpecularColor 1 1 1 Shininess 9 { } LightPosition 0 1 0 0\n"),
          std::string("Translate 0 0 -4 Sphere BeginList L AmbientColor 1 0 0 { } EndList "
                      "CallList L\n"),
          // A triangle the clipper cuts away last, with a texture coordinate of its own.
          std::string("Translate 0 0 -3.5 Enable Texture TextureImage " CORVANE_SOURCE_DIR
                      "/examples/checker.png Begin Polygon Vertex 0.4 -0.1 1 Vertex 0 -0.1 -0.6 "
                      "Vertex -1 -1.3 -1.2 TextureCoord 0.14 0.19 End Translate 0 0 9 "
                      "Begin Triangles Vertex -0.1 0 0 Vertex 0.1 0 0 Vertex 0 1 0 End\n")}) {
        SCOPED_TRACE(script);
        writeScript(script);
        std::vector<Picture> frames;
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(frame());
            frames.push_back(readFramePixels());
            expectCleanFrameEnd();
        }
        EXPECT_TRUE(frames[0] == frames[1]);
        EXPECT_TRUE(frames[1] == frames[2]);
        resetRunner();
    }
    EXPECT_EQ(printedBy("Begin NURBSCurve End Ortho 0 0 0 0 0 0\n", 3),
              "no error\nno error\nno error\n");
    EXPECT_EQ(printedBy("Begin Triangles Translate 1 0 0 End Begin NURBSCurve End\n", 2),
              "no error\nno error\n");
    // A box or frustum that cannot be made, kept by the panel, loads the identity: the picture
    // shows what lies within -1..1, and no call is refused.
    struct Panel {
        int orthographic;
        Vec3f low, high;
        float fieldOfView, nearPlane, farPlane;
    };
    const Panel panels[] = {{1, {0, -1, -1}, {0, 1, 1}, 50, 1, 100},
                            {1, {-1, -1, 2}, {1, 1, 2}, 50, 1, 100},
                            {0, {}, {}, 50, 5, 5},
                            {0, {}, {}, 0, 1, 100}};
    for (const Panel& p : panels) {
        panelViewSettings().orthographic = p.orthographic;
        panelViewSettings().orthoMin = p.low;
        panelViewSettings().orthoMax = p.high;
        panelViewSettings().fieldOfView = p.fieldOfView;
        panelViewSettings().nearPlane = p.nearPlane;
        panelViewSettings().farPlane = p.farPlane;
        resetRunner();
        EXPECT_TRUE(run("Scale 0.5 0.5 0.5 Box\n", 2));
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        GLfloat projection[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(projection[i], i % 5 == 0 ? 1 : 0) << i;
        EXPECT_TRUE(drawnAt(size / 2, size / 2));
    }
}

// A few hundred grammar-built scripts that mix every command, at two tessellations, three
// frames each: every frame ends with a status, the GL as a frame leaves it, and, once a version
// runs cleanly, the same picture as the frame before.
TEST_F(GlIsolationTest, GeneratedScriptsNeverCrashHangOrLeak) {
    std::string copy = "cp " + std::string(CORVANE_SOURCE_DIR) + "/examples/checker.png " + directory;
    ASSERT_EQ(std::system(copy.c_str()), 0);
    ASSERT_EQ(chdir(directory.c_str()), 0);
    testing::internal::CaptureStdout();   // the curves' lines
    for (std::uint64_t seed = 0; seed < 500; ++seed) {
        std::string script = generateScript(seed);
        for (int tessellation : {32, 128}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", tessellation " +
                         std::to_string(tessellation) + ":\n" + script);
            startSession();
            panelViewSettings().tessellation = tessellation;
            writeScript(script);
            Picture previous;
            for (int i = 0; i < 3; ++i) {
                bool ran = frame();
                Picture now = readFramePixels();
                expectCleanFrameEnd();
                if (i == 2 && ran) {
                    EXPECT_TRUE(now == previous);
                }
                previous = std::move(now);
            }
        }
        if (HasFailure()) break;
    }
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(chdir(CORVANE_SOURCE_DIR), 0);
}
}  // namespace
