// NURBS surfaces and curves: counted lists, what a surface and its trim draw, the bound on what
// GLU may read, the values each End consumes or keeps, and the curve's line on standard output.
#include <GL/gl.h>

#include <string>
#include <vector>

#include "commands/counted_list.h"
#include "commands/primitives.h"
#include "interpreter/runner.h"
#include "interpreter/script_reader.h"
#include "tests/gl_test.h"
#include "scene/view_settings.h"

namespace {
TEST(CountedListTest, CountSeparatorAndItems) {
    struct Case {
        const char* text;
        int itemSize;
        std::vector<float> values;
        const char* rest;   // the next word after the list; null when reading failed
    };
    const Case cases[] = {
        {"3 , 1 2 3 X", 1, {1, 2, 3}, "X"},
        {"2 : 1 2 3 4 5 6 7 8 X", 4, {1, 2, 3, 4, 5, 6, 7, 8}, "X"},
        {"8.5 1 2 3 4 5 6 7 X", 1, {5, 1, 2, 3, 4, 5, 6, 7}, "X"},   // "." is the separator
        {"2 1.5 2.5 X", 1, {0.5f, 2.5f}, "X"},                       // so is the "1"
        {"0 : 5", 1, {}, "5"},
        {"-3 : 5", 1, {}, "5"},
        {"5 : 1 2", 1, {1, 2}, nullptr},             // cut short by the end of the file
        {"4 : 1 x 3 4", 1, {1}, nullptr},            // stops at the first failed number
        {"2000000000 : 1 2", 4, {1, 2}, nullptr},    // a huge count allocates nothing
        {"99999999999 : 1", 1, {}, nullptr},         // a count beyond int fails at once
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ScriptScanner text = ScriptScanner::fromText(c.text);
        ScriptReader in(text, nullptr);
        std::vector<float> list = {9};
        readCountedFloats(in, list, c.itemSize);
        std::vector<float> expected = {9};
        expected.insert(expected.end(), c.values.begin(), c.values.end());
        EXPECT_EQ(list, expected);
        EXPECT_EQ(!in, c.rest == nullptr);
        std::string rest;
        in >> rest;
        if (c.rest) {
            EXPECT_EQ(rest, c.rest);
        }
    }
}

class NurbsTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        panelViewSettings().windowWidth = panelViewSettings().windowHeight = size;   // square pixels
    }
    int drawnPixels() {
        int count = 0;
        for (int y = 0; y < size; y += 2)
            for (int x = 0; x < size; x += 2) count += drawnAt(x, y);
        return count;
    }
};

// A flat net of `points` control points, four to a u-row, the rows spread over x from -1 to 1
// and the points of a row over y, at z; the first and last points are the patch's corners.
std::string net(int points, float z = -2.5f) {
    int rows = (points + 3) / 4;
    std::string text = "ControlPoints " + std::to_string(points) + " :\n";
    for (int k = 0; k < points; ++k) {
        float x = rows > 1 ? -1 + 2.0f * (k / 4) / (rows - 1) : 0;
        float y = -1 + 2.0f * (k % 4) / 3;
        text += std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + " 1\n";
    }
    return text;
}

const std::string knots8 = "8 : 0 0 0 0 1 1 1 1\n";
const std::string knots9 = "9 : 0 0 0 0 0.5 1 1 1 1\n";
const std::string bicubic = "UOrder 4\nVOrder 4\nUKnots " + knots8 + "VKnots " + knots8;
const std::string surface = "Begin NURBS\nEnd\n";

// The patch covers the pixels from 9 to 119 in each direction; a trim radius of 0.3 about the
// middle of the parameter square is a disc of about 33 pixels' radius.
TEST_F(NurbsTest, TrimKeepsTheDiscOrCutsAHole) {
    struct Case {
        const char* trim;
        bool centre, ring;   // drawn 0 and 45 pixels from the middle
    };
    const Case cases[] = {
        {"", true, true},
        {"Trim 0.5 0.5 0.3\n", true, false},
        {"Trim 0.5 0.5 -0.3\n", false, true},
        {"Trim 0.5 0.5 0\n", true, true},
        {"Trim 0.2 0.5 -0.3\n", true, true},   // the hole moved along u, that is along x
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.trim);
        EXPECT_TRUE(run(bicubic + net(16) + c.trim + surface));
        EXPECT_EQ(logOf(), "");
        EXPECT_EQ(drawnAt(64, 64), c.centre);
        EXPECT_EQ(drawnAt(64 + 45, 64), c.ring);
        EXPECT_EQ(drawnAt(64, 64 - 45), c.ring);
        EXPECT_FALSE(drawnAt(4, 4));
        EXPECT_FALSE(insideBegin());
    }
    EXPECT_TRUE(run(bicubic + net(16) + "Trim 0.2 0.5 -0.3\n" + surface));
    EXPECT_FALSE(drawnAt(64 - 38, 64));
}

// GLU reads (u knots - U order) u-rows 16 floats apart and (v knots - V order) points 4 floats
// apart: 16 x (rows - 1) + 4 x points-per-row floats. One point fewer skips the drawing.
TEST_F(NurbsTest, SurfacesThatWouldReadPastTheirPointsAreSkipped) {
    struct Case {
        std::string data;
        bool drawn;
    };
    const Case cases[] = {
        {bicubic + net(16), true},
        {bicubic + net(15), false},
        {"UOrder 4\nVOrder 4\nUKnots " + knots9 + "VKnots " + knots8 + net(20), true},
        {"UOrder 4\nVOrder 4\nUKnots " + knots9 + "VKnots " + knots8 + net(19), false},
        {"UOrder 4\nVOrder 4\nUKnots " + knots8 + "VKnots " + knots9 + net(17), true},
        {"UOrder 4\nVOrder 4\nUKnots " + knots8 + "VKnots " + knots9 + net(16), false},
        {"UOrder 4.9\nVOrder 4\nUKnots " + knots8 + "VKnots " + knots8 + net(16), true},
        // Empty lists, orders below 1 and too few knots: nothing is read and nothing drawn.
        {"", false},
        {bicubic, false},
        {"UOrder 4\nVOrder 4\nUKnots " + knots8 + net(16), false},
        {"VOrder 4\nUKnots " + knots8 + "VKnots " + knots8 + net(16), false},
        {"UOrder -0.5\nVOrder 4\nUKnots " + knots8 + "VKnots " + knots8 + net(16), false},
        {"UOrder 5\nVOrder 4\nUKnots " + knots8 + "VKnots " + knots8 + net(16), false},
        {"UOrder 4\nVOrder 4\nUKnots 4 : 0 0 1 1\nVKnots " + knots8 + net(16) + "Trim 0.5 0.5 0.3\n",
         false},
        // Knots a hair above the last span's knot would make GLU read past the net.
        {"UOrder 3\nVOrder 4\nUKnots 7 : 0 0 0 1 1.000006 1.000012 2\nVKnots " + knots8 +
             net(40),
         false},
        {"UOrder 3\nVOrder 4\nUKnots 7 : 0 0 0 1 1.5 1.75 2\nVKnots " + knots8 + net(16), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        EXPECT_TRUE(run(c.data + surface));
        EXPECT_EQ(logOf(), "");
        EXPECT_EQ(drawnPixels() > 500, c.drawn);
        if (!c.drawn) {
            EXPECT_EQ(drawnPixels(), 0);
        }
        EXPECT_FALSE(insideBegin());
        // Whatever it drew, the End consumed the values: the same block again draws nothing.
        EXPECT_TRUE(run(surface));
        EXPECT_EQ(drawnPixels(), 0);
    }
}

TEST_F(NurbsTest, WhatEachEndConsumesAndWhatItKeeps) {
    const std::string curve = "UOrder 4\nUKnots " + knots8 + net(4, 5) + "Begin NURBSCurve\nEnd\n";
    struct Case {
        std::string script;
        bool centre, ring;
    };
    const Case cases[] = {
        // Knots append across commands; control points replace (the first set is behind the eye).
        {"UOrder 4\nVOrder 4\nUKnots 4 : 0 0 0 0\nUKnots 4 : 1 1 1 1\nVKnots " + knots8 +
             net(16, 5) + net(16) + surface,
         true, true},
        // A curve's End keeps the V values and the trim for the next surface.
        {"VOrder 4\nVKnots " + knots8 + "Trim 0.5 0.5 0.3\n" + curve + "UOrder 4\nUKnots " +
             knots8 + net(16) + surface,
         true, false},
        // A surface's End drops the trim with everything else.
        {bicubic + net(16) + "Trim 0.5 0.5 -0.3\n" + surface + bicubic + net(16) + surface, true,
         true},
        // The values may come inside the block too.
        {"Begin NURBS\n" + bicubic + net(16) + "End\n", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(run(c.script));
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(logOf(), "");
        EXPECT_EQ(drawnAt(64, 64), c.centre);
        EXPECT_EQ(drawnAt(64 + 45, 64), c.ring);
    }
}

TEST_F(NurbsTest, BlocksLeftOpenAreClosedByALaterRunsEnd) {
    EXPECT_TRUE(run(bicubic + net(16) + "Begin NURBS\n"));
    EXPECT_TRUE(insideBegin());
    EXPECT_FALSE(drawnAt(64, 64));
    EXPECT_FALSE(run("Begin NURBSCurve\n"));
    EXPECT_EQ(logOf(), "Nested Begin is not allowed\nUnknown command \"NURBSCurve\"\n");
    EXPECT_TRUE(run("End\n"));   // draws the surface of the first run's values
    EXPECT_TRUE(drawnAt(64, 64));
    EXPECT_FALSE(insideBegin());
    EXPECT_FALSE(run("End\n"));
    EXPECT_EQ(logOf(), "End was not preceeded by a Begin\n");
}

// A curve across the middle, just above the pixel row 64 so that it lands in that row.
const std::string curveAcross = "UOrder 4\nUKnots " + knots8 +
                                 "ControlPoints 4 : -2 0.01 -2.5 1  -0.5 0.01 -2.5 1  "
                                 "0.5 0.01 -2.5 1  2 0.01 -2.5 1\nBegin NURBSCurve\nEnd\n";

TEST_F(NurbsTest, CurvesDrawAndReportTheGlErrorOnStandardOutput) {
    struct Case {
        std::string script;
        int frames;
        bool drawn;
        const char* out;
    };
    const Case cases[] = {
        {curveAcross, 1, true, "no error\n"},
        {curveAcross + curveAcross, 2, true, "no error\nno error\nno error\nno error\n"},
        {"Begin NURBSCurve\nEnd\n", 1, false, "no error\n"},   // empty lists: only the line
        {"UOrder 4\nUKnots " + knots8 + "ControlPoints 3 : 1 0 0 1 2 0 0 1 3 0 0 1\n"
                                        "Begin NURBSCurve\nEnd\n",
         1, false, "no error\n"},
        {"UOrder 0\nUKnots " + knots8 + net(4) + "Begin NURBSCurve\nEnd\n", 1, false,
         "no error\n"},
        // Compiled into a list, the curve's End runs on the first frame only.
        {"BeginList C\n" + curveAcross + "EndList\nCallList C\n", 3, true, "no error\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(run(c.script, c.frames));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
        EXPECT_EQ(logOf(), "");
        int drawn = 0;
        for (int x = 10; x < 118; ++x) drawn += drawnAt(x, 64);
        EXPECT_EQ(drawn > 90, c.drawn) << drawn;
        EXPECT_FALSE(insideBegin());
    }
}

TEST_F(NurbsTest, SurfacesReplayFromDisplayLists) {
    EXPECT_TRUE(run("BeginList S\n" + bicubic + net(16) + "Trim 0.5 0.5 -0.3\n" + surface +
                    "EndList\n"));
    EXPECT_EQ(drawnPixels(), 0);
    EXPECT_TRUE(run("BeginList S\n" + bicubic + net(16) + "Trim 0.5 0.5 -0.3\n" + surface +
                        "EndList\nCallList S\n",
                    3));
    EXPECT_FALSE(drawnAt(64, 64));
    EXPECT_TRUE(drawnAt(64 + 45, 64));
}

// An order of n with n knots at 0 and n at 1: a single Bezier span of n points along u.
std::string orderAlongU(long long order, int points) {
    std::string text = "UOrder " + std::to_string(order) + "\nUKnots " +
                       std::to_string(2 * points) + " :";
    for (int k = 0; k < 2 * points; ++k) text += k < points ? " 0" : " 1";
    return text + "\n";
}

// GLU draws orders up to 24 and nothing above; the GL's evaluators take at least as many. A
// larger order, however absurd, is reported instead of being handed to GLU.
TEST_F(NurbsTest, OrdersAboveWhatGluDrawsAreReported) {
    const std::string uTooLarge = "UOrder is larger than 24, the largest NURBS order\n";
    const std::string vTooLarge = "VOrder is larger than 24, the largest NURBS order\n";
    const std::string vCubic = "VOrder 4\nVKnots " + knots8;
    auto curve = [](long long order, int points) {
        std::string text = orderAlongU(order, points) + "ControlPoints " +
                           std::to_string(points) + " :";
        for (int k = 0; k < points; ++k)
            text += " " + std::to_string(-2 + 4.0f * k / (points - 1)) + " 0.01 -2.5 1";
        return text + "\nBegin NURBSCurve\nEnd\n";
    };
    struct Case {
        std::string script;
        std::string log;
        bool drawn;
    };
    const Case cases[] = {
        {orderAlongU(24, 24) + vCubic + net(4 * 24) + surface, "", true},
        {orderAlongU(25, 25) + vCubic + net(4 * 25) + surface, uTooLarge, false},
        {orderAlongU(2147483647, 4) + vCubic + net(16) + surface, uTooLarge, false},
        {bicubic + "VOrder 2147483647\n" + net(16) + surface, vTooLarge, false},
        {bicubic + "VOrder -2147483648\n" + net(16) + surface, "", false},
        {curve(24, 24), "", true},
        {curve(25, 25), uTooLarge, false},
        {curve(2147483647, 4), uTooLarge, false},
        {curve(-2147483648LL, 4), "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.substr(0, 40));
        testing::internal::CaptureStdout();
        EXPECT_EQ(run(c.script), c.log.empty());
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(logOf(), c.log);
        EXPECT_EQ(drawnAt(64, 64) || drawnAt(64, 65), c.drawn);
        EXPECT_FALSE(insideBegin());
    }
}
}  // namespace
