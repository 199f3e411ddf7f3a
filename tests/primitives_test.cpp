// Immediate primitives: what each kind draws, the nesting flag and its messages, unread
// components, and primitives left open by a run or a list body.
#include <GL/gl.h>

#include "commands/primitives.h"
#include "interpreter/runner.h"
#include "tests/gl_test.h"

namespace {
using PrimitivesTest = GlTest;

TEST_F(PrimitivesTest, KindsAndMessages) {
    struct Case {
        const char* script;
        bool result;
        const char* log;
    };
    const Case cases[] = {
        {"Begin Triangles\nVertex 0 0 -2\nVertex 1 0 -2\nVertex 0 1 -2\nEnd\n", true, ""},
        {"Begin triangles\nEnd\n", false,
         "Invalid primitive \"triangles\" followed Begin\nEnd was not preceeded by a Begin\n"},
        {"Begin TriangleFan\n", false, "Invalid primitive \"TriangleFan\" followed Begin\n"},
        {"Box Begin", false, "Invalid primitive \"\" followed Begin\n"},
        {"Begin Quads\nBegin Quads\nEnd\n", false,
         "Nested Begin is not allowed\nUnknown command \"Quads\"\n"},
        {"Begin Points\nEnd\nEnd\n", false, "End was not preceeded by a Begin\n"},
        {"Vertex 1 2 3\nNormal 0 0 1 Color 1 0 0 TextureCoord 0.5 0.5\n", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        resetPrimitives();
        EXPECT_EQ(run(c.script), c.result);
        EXPECT_EQ(logOf(), c.log);
        EXPECT_FALSE(insideBegin());
    }
}

TEST_F(PrimitivesTest, ColorShowsOnlyWithoutLighting) {
    const char* triangle = "Begin Triangles\nVertex -1 -1 -2\nVertex 1 -1 -2\nVertex 0 1 -2\nEnd\n";
    EXPECT_TRUE(run(std::string("Color 1 0 0\n") + triangle));
    auto lit = centre();
    EXPECT_NEAR(lit[0], lit[1], 2);   // the material's grey, not red
}
}  // namespace

namespace {
class PrimitiveStateTest : public GlTest {
protected:
    std::array<float, 4> current(GLenum which) {
        std::array<float, 4> value{};
        glGetFloatv(which, value.data());
        return value;
    }
};

TEST_F(PrimitiveStateTest, ComponentsThatFailToReadAreZero) {
    struct Case {
        const char* script;
        GLenum state;
        std::array<float, 4> value;
        const char* log;
    };
    const Case cases[] = {
        {"Color 0.5 x\n", GL_CURRENT_COLOR, {0.5f, 0, 0, 1}, "Problems parsing arguments to Color\n"},
        {"Color 0.5 0.25", GL_CURRENT_COLOR, {0.5f, 0.25f, 0, 1}, ""},
        {"Normal 1 2", GL_CURRENT_NORMAL, {1, 2, 0, 0}, ""},
        {"Normal x", GL_CURRENT_NORMAL, {0, 0, 0, 0}, "Problems parsing arguments to Normal\n"},
        {"TextureCoord 0.25", GL_CURRENT_TEXTURE_COORDS, {0.25f, 0, 0, 1}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        writeScript(std::string("Box\n") + c.script);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glColor4f(9, 9, 9, 9);
        glNormal3f(9, 9, 9);
        glTexCoord4f(9, 9, 9, 9);
        runScript();
        auto value = current(c.state);
        for (int i = 0; i < (c.state == GL_CURRENT_NORMAL ? 3 : 4); ++i)
            EXPECT_FLOAT_EQ(value[i], c.value[i]) << i;
        glPopAttrib();
        EXPECT_EQ(logOf(), c.log);
    }
}

// A run that ends inside a plain Begin closes the GL's primitive, so the frame can finish; the
// flag stays, and the End that later clears it closes nothing a second time.
TEST_F(PrimitiveStateTest, RunsThatEndInsideBeginCloseThePrimitive) {
    const std::string triangle =
        "Begin Triangles\nVertex -1 -1 -2\nVertex 1 -1 -2\nVertex 0 1 -2\n";
    EXPECT_TRUE(run(triangle));
    EXPECT_EQ(logOf(), "");
    EXPECT_TRUE(drawnAt(size / 2, size / 2));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(insideBegin());
    EXPECT_FALSE(frame());
    EXPECT_EQ(logOf(), "Nested Begin is not allowed\nUnknown command \"Triangles\"\n");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(run("End\n" + triangle + "End\n"));
    EXPECT_EQ(logOf(), "");
    EXPECT_TRUE(drawnAt(size / 2, size / 2));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_FALSE(insideBegin());

    // The last vertex cut short by the end of the file is completed with zeros and drawn.
    EXPECT_TRUE(run("Begin Triangles\nVertex -1 -1 -2\nVertex 1 -1 -2\nVertex -1 1"));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(drawnAt(size / 2 - 4, size / 2 - 4));
}

// A list body that ends inside a Begin gets its glEnd there: replaying it never leaves the GL
// inside a primitive.
TEST_F(PrimitiveStateTest, ListBodiesThatEndInsideBeginAreClosed) {
    EXPECT_TRUE(run("BeginList T\nBegin Triangles\nVertex -1 -1 -2\nVertex 1 -1 -2\n"
                    "Vertex 0 1 -2\nEndList\nCallList T\nCallList T\nBox\n",
                    3));
    EXPECT_EQ(logOf(), "");
    EXPECT_TRUE(drawnAt(size / 2, size / 2));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(integer(GL_ATTRIB_STACK_DEPTH), 0);
    EXPECT_TRUE(insideBegin());
    EXPECT_TRUE(run("End\n"));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_FALSE(insideBegin());
}
}  // namespace
