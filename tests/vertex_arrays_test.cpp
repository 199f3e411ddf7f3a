// Vertex arrays: drawing by index from the switched-on arrays, refused indices, lists that stop
// at the first failed read, and array state across frames, script files and shape calls.
#include <GL/gl.h>

#include "commands/vertex_arrays.h"
#include "interpreter/gl_state.h"
#include "interpreter/runner.h"
#include "tests/gl_test.h"

namespace {
using Colour = std::array<int, 3>;

// A triangle over the centre of the drawing area, and the primitive that draws it by index.
const std::string triangle = "VertexArray 3 : -1 -1 -2  1 -1 -2  0 1 -2\n";
const std::string drawTriangle = "Begin Triangles Element 0 Element 1 Element 2 End\n";

class VertexArraysTest : public GlTest {
protected:
    // Runs the script inside one saved attribute level and calls check before restoring it.
    template <class Check>
    void inspect(const std::string& script, Check check) {
        writeScript(script);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        runScript();
        check();
        popAttributes();
    }
    static const float* pointer(GLenum which) {
        GLvoid* p = nullptr;
        glGetPointerv(which, &p);
        return static_cast<const float*>(p);
    }
    static std::array<float, 4> current(GLenum which) {
        std::array<float, 4> v{};
        glGetFloatv(which, v.data());
        return v;
    }
};

void expectColour(Colour shown, Colour expected, int tolerance = 2) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(shown[i], expected[i], tolerance) << "component " << i;
}

TEST_F(VertexArraysTest, ElementDrawsFromEverySwitchedOnArray) {
    const std::string red = "ColorArray 3 : 1 0 0  1 0 0  1 0 0\n";
    struct Case {
        std::string script;
        Colour centre;
    };
    const Case cases[] = {
        {"Disable Lighting Color 0 1 0\n" + triangle + drawTriangle, {0, 255, 0}},
        {"Disable Lighting Color 0 1 0\n" + triangle + red + drawTriangle, {255, 0, 0}},
        {"Disable Lighting\n" + triangle + red + "Disable ColorArray Color 0 0 1\n" + drawTriangle,
         {0, 0, 255}},
        {"Disable Lighting\n" + triangle + red + "Disable ColorArray Enable ColorArray\n" +
             drawTriangle, {255, 0, 0}},
        // Lit: a normal toward the light is bright, one away from it leaves only the ambient.
        {triangle + "NormalArray 3 : 0 0 1  0 0 1  0 0 1\n" + drawTriangle, {214, 214, 214}},
        {triangle + "NormalArray 3 : 0 0 -1  0 0 -1  0 0 -1\n" + drawTriangle, {10, 10, 10}},
        // A second list replaces the first: the triangle now lies off the centre.
        {triangle + "VertexArray 3 : 2 2 -2  3 2 -2  2 3 -2\n" + drawTriangle, {0, 0, 51}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        resetVertexArrays();
        EXPECT_TRUE(run(c.script));
        EXPECT_EQ(logOf(), "");
        expectColour(centre(), c.centre, 4);
    }
    // Each element's floats: 3k to 3k + 2, and 2k and 2k + 1 for texture coordinates.
    inspect("ColorArray 2 : 1 0 0  0 0.5 1\nTexCoordArray 2 : 0.1 0.2  0.3 0.4\nElement 1\n", [&] {
        EXPECT_EQ(current(GL_CURRENT_COLOR), (std::array<float, 4>{0, 0.5f, 1, 1}));
        EXPECT_EQ(current(GL_CURRENT_TEXTURE_COORDS), (std::array<float, 4>{0.3f, 0.4f, 0, 1}));
    });
}

TEST_F(VertexArraysTest, ElementOutsideASwitchedOnListIsRefused) {
    struct Case {
        std::string script;
        const char* log;
    };
    const Case cases[] = {
        {triangle + "Begin Points Element 3 End\n", "Element 3 is outside VertexArray (3 elements)\n"},
        {triangle + "Begin Points Element -1 End\n",
         "Element -1 is outside VertexArray (3 elements)\n"},
        {triangle + "ColorArray 1 : 1 0 0\nBegin Points Element 0 Element 2 End\n",
         "Element 2 is outside ColorArray (1 element)\n"},
        {triangle + "Enable NormalArray Begin Points Element 0 End\n",
         "Element 0 is outside NormalArray (0 elements)\n"},
        {"VertexArray 0 : Begin Points Element 0 End\n",
         "Element 0 is outside VertexArray (0 elements)\n"},
        {"TexCoordArray -2 : Element 0\n", "Element 0 is outside TexCoordArray (0 elements)\n"},
        {triangle + "ColorArray 1 : 1 0 0 Disable ColorArray\nBegin Points Element 2 End\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        resetVertexArrays();
        EXPECT_EQ(run(c.script), *c.log == 0);
        EXPECT_EQ(logOf(), c.log);
    }
    // A refused Element issues no vertex: a triangle missing a corner is not drawn.
    resetVertexArrays();
    EXPECT_FALSE(run("Disable Lighting\n" + triangle +
                     "ColorArray 2 : 1 0 0 1 0 0\nBegin Triangles Element 0 Element 1 Element 2"
                     " Element 0 Element 1 End\n"));
    EXPECT_FALSE(drawnAt(size / 2, size / 2));
}

TEST_F(VertexArraysTest, ListsStopAtTheFirstFailedRead) {
    struct Case {
        std::string script;
        const char* log;
        int elements;   // what the list holds afterwards
    };
    const Case cases[] = {
        {"Box VertexArray 2 , 0 0 -2 4 Begin\n", "Problems parsing arguments to VertexArray\n", 1},
        {"VertexArray 2 , 0 0 -2 4\n", "", 1},
        {"VertexArray 2147483647 , 0 0 -2  1 1 -2  5", "", 2},
        {"VertexArray 1431655766 , 1 2 3", "", 1},   // three times the count overflows an int
        {"VertexArray -2147483647 , 1 2", "Unknown command \"1\"\nUnknown command \"2\"\n", 0},
        {"Box VertexArray x 1 2 3", "Problems parsing arguments to VertexArray\n", 0},
        {"VertexArray", "", 0},
        {"VertexArray 1 1 2 3 4", "", 1},   // no separator: the first digit is taken for it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        resetVertexArrays();
        run(c.script);
        EXPECT_EQ(logOf(), c.log);
        EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
        // The list is seen through Element in another script: the last index it holds is
        // drawn, the first it does not hold is refused.
        std::string held = c.elements > 0 ? "Element " + std::to_string(c.elements - 1) : "";
        writeScript(held + " Element " + std::to_string(c.elements) + "\n", "probe.txt");
        EXPECT_FALSE(frame());
        EXPECT_EQ(logOf(), "Element " + std::to_string(c.elements) + " is outside VertexArray (" +
                               std::to_string(c.elements) +
                               (c.elements == 1 ? " element)\n" : " elements)\n"));
    }
}

TEST_F(VertexArraysTest, AnUnreadableIndexIssuesNothing) {
    // Outside a primitive Element would make the colour list's red current.
    struct Case {
        const char* index;
        const char* log;
    };
    const Case cases[] = {
        {"x\n", "Problems parsing arguments to Element\n"},
        {"99999999999\n", "Problems parsing arguments to Element\n"},
        {"99999999999", ""},   // the script merely ended: no message
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        resetVertexArrays();
        inspect(std::string("Color 0 1 0\nColorArray 1 , 1 0 0\nElement ") + c.index, [&] {
            EXPECT_EQ(current(GL_CURRENT_COLOR), (std::array<float, 4>{0, 1, 0, 1}));
            EXPECT_EQ(logOf(), c.log);
        });
    }
}

TEST_F(VertexArraysTest, AnEmptyListPointsAtAZeroElement) {
    EXPECT_TRUE(run(triangle));
    const float* list = pointer(GL_VERTEX_ARRAY_POINTER);
    ASSERT_NE(list, nullptr);
    for (const char* empty : {"VertexArray 0 ,\n", "VertexArray -4 ,\n", "VertexArray 1 , x"}) {
        SCOPED_TRACE(empty);
        run(empty);
        const float* p = pointer(GL_VERTEX_ARRAY_POINTER);
        ASSERT_NE(p, nullptr);
        EXPECT_NE(p, list);
        EXPECT_EQ((std::array<float, 3>{p[0], p[1], p[2]}), (std::array<float, 3>{0, 0, 0}));
        EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    }
}

TEST_F(VertexArraysTest, ArraysLastAcrossFramesAndScriptFiles) {
    EXPECT_TRUE(run(triangle + "ColorArray 3 : 1 0 0  1 0 0  1 0 0\nEnable Texture\n"));
    const float* vertices = pointer(GL_VERTEX_ARRAY_POINTER);
    EXPECT_TRUE(frame());
    EXPECT_EQ(pointer(GL_VERTEX_ARRAY_POINTER), vertices);   // refilled in the same storage
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));   // a capability lasts only to the end of its run

    struct Step {
        std::string file, script;
        Colour centre;
    };
    const Step steps[] = {
        {"draw.txt", "Disable Lighting Color 0 0 1\n" + drawTriangle, {255, 0, 0}},
        {"off.txt", "Disable ColorArray\n", {0, 0, 51}},
        {"draw.txt", "Disable Lighting Color 0 0 1\n" + drawTriangle, {0, 0, 255}},
        {"draw.txt", "Disable Lighting Color 0 0 1\n" + drawTriangle, {0, 0, 255}},
        {"on.txt", "Enable ColorArray\n", {0, 0, 51}},
        {"draw.txt", "Disable Lighting Color 0 0 1\n" + drawTriangle, {255, 0, 0}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.file + ": " + s.script);
        writeScript(s.script, s.file);
        EXPECT_TRUE(frame());
        EXPECT_EQ(logOf(), "");
        expectColour(centre(), s.centre);
    }
}

TEST_F(VertexArraysTest, ScriptArraysSurviveShapesAndTheNextFrame) {
    const std::string shapes = "{ Translate 100 0 -5 Sphere Teapot Box Torus }\n";
    EXPECT_TRUE(run(triangle + "Enable VertexArray\n" + shapes + drawTriangle));
    const float* vertices = pointer(GL_VERTEX_ARRAY_POINTER);
    EXPECT_TRUE(drawnAt(size / 2, size / 2));
    writeScript(shapes + "Enable VertexArray\n" + shapes + drawTriangle, "later.txt");
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(frame());
        EXPECT_EQ(logOf(), "");
        EXPECT_TRUE(drawnAt(size / 2, size / 2));
        EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
        EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
        EXPECT_EQ(pointer(GL_VERTEX_ARRAY_POINTER), vertices);
    }
}
}  // namespace
