// Solid shapes, what tessellation does to them, the script's client arrays around them,
// lighting and material values, and the trackball's ViewTransform.
#include <GL/glu.h>

#include "interpreter/runner.h"
#include "tests/gl_test.h"
#include "scene/trackball.h"
#include "scene/view_settings.h"

namespace {
class ShapesTest : public GlTest {
protected:
    int drawnPixels() {
        int count = 0;
        for (int y = 0; y < size; y += 2)
            for (int x = 0; x < size; x += 2) count += drawnAt(x, y);
        return count;
    }
    int drawnPixelsOf(const std::string& script) {
        EXPECT_TRUE(run(script));
        return drawnPixels();
    }
    // Runs a script inside one saved attribute level and calls inspect before restoring.
    template <class Inspect>
    void inspect(const std::string& script, Inspect check) {
        writeScript(script);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        runScript();
        check();
        glPopAttrib();
    }
};

TEST_F(ShapesTest, EveryShapeDrawsAtTheOrigin) {
    for (const char* shape : {"Box", "Sphere", "Cone", "Torus", "Tetrahedron", "Dodecahedron",
                              "Icosahedron", "Octahedron", "Teapot"}) {
        SCOPED_TRACE(shape);
        EXPECT_TRUE(run("Translate 0 0 -8\n"));
        EXPECT_FALSE(drawnAt(size / 2, size / 2));
        EXPECT_TRUE(run(std::string("Translate 0 0 -8\nRotate 30 1 1 0\n") + shape + "\n"));
        EXPECT_GT(drawnPixels(), 50);
        EXPECT_EQ(logOf(), "");
    }
}

TEST_F(ShapesTest, TessellationSubdividesOnlyCurvedShapes) {
    int fineSphere = drawnPixelsOf("Translate 0 0 -4\nSphere\n");
    int fineBox = drawnPixelsOf("Translate 0 0 -4\nRotate 30 1 1 0\nBox\n");
    panelViewSettings().tessellation = 4;
    EXPECT_LT(drawnPixelsOf("Translate 0 0 -4\nSphere\n"), fineSphere * 9 / 10);
    EXPECT_EQ(drawnPixelsOf("Translate 0 0 -4\nRotate 30 1 1 0\nBox\n"), fineBox);
    // Scaled inside a group the cube has edge 2; after the group it has edge 1 again.
    int unit = drawnPixelsOf("Translate 0 0 -8\nBox\n");
    int doubled = drawnPixelsOf("Translate 0 0 -8\n{ Scale 2 2 2 Box }\n");
    EXPECT_GT(doubled, unit * 4);   // four times the area, and nearer to the eye
    EXPECT_EQ(drawnPixelsOf("Translate 0 0 -8\n{ Scale 2 2 2 }\nBox\n"), unit);
}

TEST_F(ShapesTest, ShapesKeepTheScriptsClientArrays) {
    static const float points[] = {0, 0, 0, 1, 1, 1};
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, points);
    glDisableClientState(GL_NORMAL_ARRAY);
    EXPECT_TRUE(run("Sphere Teapot Box\n", 2));
    GLvoid* pointer = nullptr;
    glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
    EXPECT_EQ(pointer, points);
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    glDisableClientState(GL_VERTEX_ARRAY);
}

TEST_F(ShapesTest, LightAndMaterialValues) {
    auto material = [](GLenum which) {
        std::array<float, 4> v{};
        glGetMaterialfv(GL_FRONT, which, v.data());
        return v;
    };
    auto light = [] {
        std::array<float, 4> v{};
        glGetLightfv(GL_LIGHT0, GL_POSITION, v.data());
        return v;
    };
    inspect("AmbientColor 0.5", [&] {
        EXPECT_EQ(material(GL_AMBIENT), (std::array<float, 4>{0.5f, 0, 0, 1}));
    });
    inspect("DiffuseColor 1 0.5 0.25 0.7\n", [&] {
        EXPECT_EQ(material(GL_DIFFUSE), (std::array<float, 4>{1, 0.5f, 0.25f, 1}));
    });
    inspect("SpecularColor 0 0 1\nShininess 20\n", [&] {
        EXPECT_EQ(material(GL_SPECULAR), (std::array<float, 4>{0, 0, 1, 1}));
        EXPECT_EQ(material(GL_SHININESS)[0], 20);
    });
    inspect("Shininess 20 Shininess x\n", [&] { EXPECT_EQ(material(GL_SHININESS)[0], 20); });
    inspect("LightPosition 0 0 1", [&] { EXPECT_EQ(light(), (std::array<float, 4>{0, 0, 1, 0})); });
    inspect("Box LightPosition 1 2 3\nBox\n", [&] {
        EXPECT_EQ(light(), (std::array<float, 4>{1, 2, 3, 0}));
        EXPECT_EQ(logOf(), "Problems parsing arguments to LightPosition\n");
    });
    // A light placed after a transform is stored in eye coordinates.
    inspect("Translate 0 0 -5\nLightPosition 0 0 0 1\n",
            [&] { EXPECT_EQ(light(), (std::array<float, 4>{0, 0, -5, 1})); });
}

TEST_F(ShapesTest, MaterialShowsOnLitShapesAndIsUndoneByTheGroup) {
    EXPECT_TRUE(run("Translate 0 0 -5\nDiffuseColor 1 0 0\nAmbientColor 1 0 0\nBox\n"));
    auto red = centre();
    EXPECT_GT(red[0], 100);
    EXPECT_LT(red[1], 20);
    EXPECT_TRUE(run("Translate 0 0 -5\n{ DiffuseColor 1 0 0 AmbientColor 1 0 0 }\nBox\n"));
    auto grey = centre();
    EXPECT_NEAR(grey[0], grey[1], 2);
    EXPECT_NEAR(grey[1], grey[2], 2);
}

TEST_F(ShapesTest, ViewTransformPlacesTheOrbitCamera) {
    auto modelviewOf = [&](const std::string& script) {
        EXPECT_TRUE(run(script));
        std::array<double, 16> m{};
        glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
        return m;
    };
    auto expected = [](double ex, double ey, double ez, double cx, double cy, double cz) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(ex, ey, ez, 0, 0, 0, 0, 1, 0);
        glTranslated(-cx, -cy, -cz);
        std::array<double, 16> m{};
        glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
        return m;
    };
    auto start = modelviewOf("ViewTransform\n");
    auto want = expected(30, 0, 0, 0, 0, 0);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(start[i], want[i], 1e-5);

    panelTrackball().distance = 10;
    panelTrackball().azimuth = 1.5707964f;
    panelTrackball().center = {1, 2, 3};
    auto moved = modelviewOf("ViewTransform\n");
    want = expected(0, 0, 10, 1, 2, 3);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(moved[i], want[i], 1e-4);
    EXPECT_TRUE(run("Translate 0 0 0\n"));   // without ViewTransform the trackball does nothing
    auto none = modelviewOf("Box\n");
    for (int i = 0; i < 16; ++i) EXPECT_EQ(none[i], i % 5 == 0 ? 1 : 0);
}
}  // namespace
