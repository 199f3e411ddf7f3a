// Immediate primitives: what each kind draws, the nesting flag and its messages.
#include "commands/primitives.h"
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
        insideBegin = false;
        EXPECT_EQ(run(c.script), c.result);
        EXPECT_EQ(logOf(), c.log);
        EXPECT_FALSE(insideBegin);
    }
}

TEST_F(PrimitivesTest, ColorShowsOnlyWithoutLighting) {
    const char* triangle = "Begin Triangles\nVertex -1 -1 -2\nVertex 1 -1 -2\nVertex 0 1 -2\nEnd\n";
    EXPECT_TRUE(run(std::string("Color 1 0 0\n") + triangle));
    auto lit = centre();
    EXPECT_NEAR(lit[0], lit[1], 2);   // the material's grey, not red
}
}  // namespace
