// Projection and camera commands: the matrices they leave, the settings Ortho and Perspective
// store, commands whose numbers do not all read, and what the projections show.
#include <GL/glu.h>

#include "tests/gl_test.h"
#include "scene/view_settings.h"

namespace {
using Matrix = std::array<float, 16>;

constexpr Matrix identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix matrix(GLenum which) {
    Matrix m{};
    glGetFloatv(which, m.data());
    return m;
}

// The matrix the GL makes of these calls from the identity.
template <class Calls>
Matrix made(GLenum mode, Calls calls) {
    glMatrixMode(mode);
    glLoadIdentity();
    calls();
    Matrix m = matrix(mode == GL_PROJECTION ? GL_PROJECTION_MATRIX : GL_MODELVIEW_MATRIX);
    glMatrixMode(GL_MODELVIEW);
    return m;
}

void expectMatrix(const Matrix& m, const Matrix& expected) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m[i], expected[i], 1e-5) << "element " << i;
}

using ProjectionTest = GlTest;

TEST_F(ProjectionTest, MatricesLeftByEachCommand) {
    const std::string moveX = " 1 0 0 5  0 1 0 0  0 0 1 0  0 0 0 1\n";
    const std::string counting = " 1 2 3 4  5 6 7 8  9 10 11 12  13 14 15 16\n";
    const Matrix panel = made(GL_PROJECTION, [] { gluPerspective(50, 1, 1, 100); });
    const Matrix movedX = made(GL_MODELVIEW, [] { glTranslatef(5, 0, 0); });
    const Matrix columns = {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16};
    struct Case {
        std::string script;
        bool result;
        Matrix modelview, projection;
    };
    const Case cases[] = {
        {"Transform 1 0 0 0  0 1 0 0  0 0 1 0  0 0 0 1\n", true, identity, panel},
        {"Transform" + moveX, true, movedX, panel},
        {"Transform" + counting, true, columns, panel},
        {"Scale 2 2 2 Transform" + moveX, true,
         made(GL_MODELVIEW, [] { glScalef(2, 2, 2); glTranslatef(5, 0, 0); }), panel},
        {"{ Transform" + moveX + "}", true, identity, panel},
        {"LookAt 0 0 10  0 0 0  0 1 0\n", true,
         made(GL_MODELVIEW, [] { glTranslatef(0, 0, -10); }), panel},
        {"LookAt 0 0 10  0 0 0  0 1 0 LookAt 1 2 3  0 0 0  0 0 1\n", true,
         made(GL_MODELVIEW, [] { gluLookAt(0, 0, 10, 0, 0, 0, 0, 1, 0);
                                 gluLookAt(1, 2, 3, 0, 0, 0, 0, 0, 1); }), panel},
        // The transforms after a projection command go to the model-view matrix.
        {"Projection" + counting + "Translate 5 0 0\n", true, movedX, columns},
        {"Translate 5 0 0 { Ortho -10 10 -5 5 -1 1 }\n", true, movedX,
         made(GL_PROJECTION, [] { glOrtho(-10, 10, -5, 5, -1, 1); })},
        {"Perspective 60 2 1 50 Translate 5 0 0\n", true, movedX,
         made(GL_PROJECTION, [] { gluPerspective(60, 2, 1, 50); })},
        // Numbers that do not all read make no call.
        {"Transform 1 0 0", true, identity, panel},
        {"Transform 2 0 0 0 x", false, identity, panel},
        {"LookAt 0 0 10 0 0", true, identity, panel},
        {"Projection" + counting.substr(0, 20), true, identity, panel},
        {"Projection 1 0 0 y", false, identity, panel},
        {"Ortho -10 10 -5 5 -1", true, identity, panel},
        {"Perspective 60 2 x", false, identity, panel},
    };
    const ViewSettings start = panelViewSettings();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        panelViewSettings() = start;
        EXPECT_EQ(run(c.script), c.result);
        expectMatrix(matrix(GL_MODELVIEW_MATRIX), c.modelview);
        expectMatrix(matrix(GL_PROJECTION_MATRIX), c.projection);
    }
}

TEST_F(ProjectionTest, OrthoAndPerspectiveStoreWhatTheyRead) {
    const ViewSettings start = panelViewSettings();
    struct Case {
        const char* script;
        const char* log;
        Vec3f orthoMin, orthoMax;
        float fieldOfView, nearPlane, farPlane;
    };
    const Case cases[] = {
        {"Ortho -10 10 -5 5 -1 1", "", {-10, -5, -1}, {10, 5, 1}, 50, 1, 100},
        {"Perspective 60 2 1 50", "", {-50, -50, -50}, {50, 50, 50}, 60, 1, 50},
        {"Ortho -10 10 -5", "", {-10, -5, -50}, {10, 50, 50}, 50, 1, 100},
        {"Box Ortho -10 10 -5 x", "Problems parsing arguments to Ortho\n", {-10, -5, -50},
         {10, 50, 50}, 50, 1, 100},
        {"Box Perspective 30 x", "Problems parsing arguments to Perspective\n", {-50, -50, -50},
         {50, 50, 50}, 30, 1, 100},
        {"Box Perspective 60 2 0.5 far", "Problems parsing arguments to Perspective\n",
         {-50, -50, -50}, {50, 50, 50}, 60, 0.5f, 100},
        {"Perspective 60 2 0.5", "", {-50, -50, -50}, {50, 50, 50}, 60, 0.5f, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        panelViewSettings() = start;
        run(c.script);
        EXPECT_EQ(logOf(), c.log);
        const ViewSettings& v = panelViewSettings();
        EXPECT_EQ((Matrix{v.orthoMin.x, v.orthoMin.y, v.orthoMin.z, v.orthoMax.x, v.orthoMax.y,
                          v.orthoMax.z, v.fieldOfView, v.nearPlane, v.farPlane}),
                  (Matrix{c.orthoMin.x, c.orthoMin.y, c.orthoMin.z, c.orthoMax.x, c.orthoMax.y,
                          c.orthoMax.z, c.fieldOfView, c.nearPlane, c.farPlane}));
        EXPECT_EQ(v.orthographic, 0);
        EXPECT_EQ(v.windowWidth, size);
    }
    // Later frames start from the stored values, with the aspect of the drawing area.
    EXPECT_TRUE(frame());
    expectMatrix(matrix(GL_PROJECTION_MATRIX),
                 made(GL_PROJECTION, [] { gluPerspective(60, 1, 0.5, 100); }));
    panelViewSettings().orthographic = 1;
    EXPECT_TRUE(run("Ortho -10 10 -5"));
    EXPECT_TRUE(frame());
    expectMatrix(matrix(GL_PROJECTION_MATRIX),
                 made(GL_PROJECTION, [] { glOrtho(-10, 10, -5, 50, -50, 50); }));
}

TEST_F(ProjectionTest, ProjectionsShowWhatTheyEnclose) {
    const std::string square = "Disable Lighting Color 1 0 0\nBegin Quads Vertex -1 -1 0 "
                               "Vertex 1 -1 0 Vertex 1 1 0 Vertex -1 1 0 End\n";
    const std::string farSquare = "Disable Lighting Color 1 0 0\nBegin Quads Vertex -1 -1 -2 "
                                  "Vertex 1 -1 -2 Vertex 1 1 -2 Vertex -1 1 -2 End\n";
    struct Case {
        std::string script;
        bool centre, edge;   // drawn at the centre, and at (4, 64)
    };
    const Case cases[] = {
        {square, false, false},   // the panel's perspective puts it behind the near plane
        {"Projection 1 0 0 0  0 1 0 0  0 0 1 0  0 0 0 1\n" + square, true, true},
        {"Ortho -4 4 -4 4 -10 10\n" + square, true, false},
        {"Ortho -4 4 -4 4 -10 10\nPerspective 50 1 1 100\n" + farSquare, true, true},
        {"LookAt 0 0 4  0 0 0  0 1 0\n" + square, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_TRUE(run(c.script));
        EXPECT_EQ(drawnAt(size / 2, size / 2), c.centre);
        EXPECT_EQ(drawnAt(4, size / 2), c.edge);
    }
}
}  // namespace
