// Groups, the fixed and incremental transforms, and the stacks a run leaves behind.
#include <GL/gl.h>

#include <cmath>

#include "interpreter/grouping.h"
#include "interpreter/message_log.h"
#include "interpreter/runner.h"
#include "tests/gl_test.h"
#include "frame/frame.h"
#include "scene/clock.h"

namespace {
class GroupingTest : public GlTest {
protected:
    // The model-view matrix the last run left behind (frames do not save it).
    std::array<float, 16> modelview() {
        std::array<float, 16> m{};
        glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
        return m;
    }
    std::array<float, 4> diffuse() {
        std::array<float, 4> c{};
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, c.data());
        return c;
    }
};

void expectMatrix(const std::array<float, 16>& m, std::array<float, 16> expected) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m[i], expected[i], 1e-5) << "element " << i;
}

constexpr std::array<float, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

TEST_F(GroupingTest, TransformsMultiplyTheModelviewMatrix) {
    EXPECT_TRUE(run("Translate 1 2 3\n"));
    expectMatrix(modelview(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
    EXPECT_TRUE(run("Scale 2 3 4\n"));
    expectMatrix(modelview(), {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1});
    EXPECT_TRUE(run("Rotate 90 0 0 1\n"));
    expectMatrix(modelview(), {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    EXPECT_TRUE(run("{ Translate 1 2 3 }\n"));
    expectMatrix(modelview(), identity);
}

TEST_F(GroupingTest, IncrementalPhaseIsASawTooth) {
    struct Case {
        double clock;
        float period;
        float phase;
    };
    const Case cases[] = {
        {0.0, 2, 0},    {0.5, 2, 0.5f},  {2.0, 2, 0},      {4.0, 2, 0},    {3.0, 2, 1},
        {0.5, -2, -1.5f}, {2.5, -2, -1.5f}, {0.5, 0, 0},  // a period of 0 stands still
    };
    for (const Case& c : cases) {
        setSceneClock(c.clock);
        EXPECT_FLOAT_EQ(incrementalPhase(c.period), c.phase) << c.clock << " " << c.period;
    }
    setSceneClock(0.5);
    EXPECT_TRUE(run("RotateIncremental 90 0 0 1 2\n"));   // 45 degrees
    float h = std::sqrt(0.5f);
    expectMatrix(modelview(), {h, h, 0, 0, -h, h, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    EXPECT_TRUE(run("TranslateIncremental 1 0 2 -2\n"));
    expectMatrix(modelview(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1.5f, 0, -3, 1});
    EXPECT_TRUE(run("ScaleIncremental 4 9 1 1\n"));   // factors to the power 0.5
    expectMatrix(modelview(), {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    EXPECT_TRUE(run("RotateIncremental 90 0 0 1 0\nTranslateIncremental 1 1 1 0\n"));
    expectMatrix(modelview(), identity);
    setSceneClock(4.0);
    EXPECT_TRUE(run("RotateIncremental 90 0 0 1 2\nScaleIncremental 3 3 3 2\n"));
    expectMatrix(modelview(), identity);
}

TEST_F(GroupingTest, GroupsRestoreMaterialButTheFrameRestoresEverything) {
    writeScript("{ DiffuseColor 1 0 0 }\n");
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    // Inside one frame, after the group: the material from before the "{".
    runScript();
    EXPECT_FLOAT_EQ(diffuse()[0], 0.8f);
    EXPECT_FLOAT_EQ(diffuse()[1], 0.8f);
    glPopAttrib();
}

TEST_F(GroupingTest, RunsStartAndEndAtTheSameStackDepths) {
    const char* scripts[] = {
        "{\nDiffuseColor 1 0 0\n",              // left open
        "}\nDiffuseColor 1 0 0\n",              // one close too many
        "} } } {\nDiffuseColor 1 0 0\n",
    };
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        resetRunner();
        EXPECT_FALSE(run(script, 2));
        EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), 1);
        EXPECT_EQ(integer(GL_ATTRIB_STACK_DEPTH), 0);
        EXPECT_FLOAT_EQ(diffuse()[1], 0.8f);   // nothing leaked out of the frame
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    // Nesting deeper than the attribute stack: the innermost groups save nothing, and the
    // matching closes never reach the frame's own save.
    std::string deep;
    for (int i = 0; i < 40; ++i) deep += "{ DiffuseColor 1 0 0 Translate 1 0 0\n";
    for (int i = 0; i < 40; ++i) deep += "}\n";
    deep += "DiffuseColor 0 1 0\n";
    resetRunner();
    EXPECT_TRUE(run(deep));
    EXPECT_EQ(integer(GL_ATTRIB_STACK_DEPTH), 0);
    EXPECT_FLOAT_EQ(diffuse()[1], 0.8f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(logOf(), "");
}
}  // namespace
