// Keyboard and mouse of the viewer, without a person: the shortcut table, trackball motion and
// its limits, who gets a drag, and the right-click pick against a drawn surface.
#include <GL/freeglut.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/gl_test.h"
#include "viewer/input.h"
#include "viewer/panel.h"
#include "scene/script_file.h"
#include "scene/trackball.h"
#include "viewer/trackball.h"
#include "scene/view_settings.h"

namespace {
constexpr float step = 0.10471976f;

class InputTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        startPanels();
    }
    void press(const std::string& keys) {
        for (char key : keys) keyboardShortcut((unsigned char)key);
    }
    // A drag with the left button from (x, y) through the given horizontal offsets.
    void drag(int x, int y, std::initializer_list<int> offsets) {
        mouseEvent(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y);
        for (int dx : offsets) motionEvent(x + dx, y);
        mouseEvent(GLUT_LEFT_BUTTON, GLUT_UP, x + *std::rbegin(offsets), y);
    }
};

TEST_F(InputTest, TessellationKeyDoublesAndStartsAgainAtFour) {
    for (int expected : {64, 128, 4, 8, 16, 32, 64}) {
        press("t");
        EXPECT_EQ(panelViewSettings().tessellation, expected);
    }
    panelViewSettings().tessellation = 100;   // as set in the panel
    press("t");
    EXPECT_EQ(panelViewSettings().tessellation, 4);
}

TEST_F(InputTest, FieldOfViewKeysLimitTheirResult) {
    struct Case {
        float start;
        std::string keys;
        float result;
    } cases[] = {
        {50, std::string(60, 'Z'), 100}, {50, std::string(60, 'z'), 15},
        {5, "z", 15},   {5, "Z", 6},     {150, "Z", 100}, {150, "z", 149}, {50, "zzZ", 49},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        panelViewSettings().fieldOfView = c.start;
        press(c.keys);
        EXPECT_EQ(panelViewSettings().fieldOfView, c.result);
    }
}

TEST_F(InputTest, DistanceKeysHaveNoLimits) {
    press("+++");
    EXPECT_FLOAT_EQ(panelTrackball().distance, 15.36f);
    press("---");
    EXPECT_FLOAT_EQ(panelTrackball().distance, 30);
    press("-");
    EXPECT_FLOAT_EQ(panelTrackball().distance, 37.5f);
    press(std::string(200, '+'));
    EXPECT_GT(panelTrackball().distance, 0);
    EXPECT_LT(panelTrackball().distance, 1e-15f);
}

TEST_F(InputTest, ToggleKeysAndEveryOtherCode) {
    press("s");
    EXPECT_EQ(panelViewSettings().smoothShading, 0);
    press("ws");
    EXPECT_EQ(panelViewSettings().smoothShading, 1);
    EXPECT_EQ(panelViewSettings().wireframe, 1);
    press("w");
    EXPECT_EQ(panelViewSettings().wireframe, 0);

    // Upper-case S, T, W, H, control codes, digits and everything above 'z' do nothing.
    for (int code = 0; code < 256; ++code) {
        if (std::string("\x1b+-Zhstwz").find(char(code)) != std::string::npos) continue;
        keyboardShortcut((unsigned char)code);
    }
    ViewSettings start;
    EXPECT_EQ(panelViewSettings().tessellation, start.tessellation);
    EXPECT_EQ(panelViewSettings().fieldOfView, start.fieldOfView);
    EXPECT_EQ(panelViewSettings().smoothShading, 1);
    EXPECT_EQ(panelViewSettings().wireframe, 0);
    EXPECT_FALSE(panelViewSettings().panelsHidden);
    EXPECT_EQ(panelTrackball().distance, 30);
}

TEST_F(InputTest, HideKeyGivesTheWholeWindowToTheScene) {
    int width = glutGet(GLUT_WINDOW_WIDTH), height = glutGet(GLUT_WINDOW_HEIGHT);
    press("h");
    EXPECT_TRUE(panelViewSettings().panelsHidden);
    EXPECT_EQ(panelViewSettings().windowWidth, width);
    EXPECT_EQ(panelViewSettings().windowHeight, height);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[2], width);
    press("h");
    EXPECT_FALSE(panelViewSettings().panelsHidden);
    PanelWidths panels = panelWidths(width);
    EXPECT_EQ(panelViewSettings().windowWidth, width - panels.left - panels.right);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], panels.left);
}

TEST_F(InputTest, MotionStepsOnceAlongTheLargerMovement) {
    struct Case {
        int x, y;
        float azimuth, zenith;   // after this motion event
    } cases[] = {
        {100, 100, 0, 1.5707964f},                     // the first event only records
        {140, 110, step, 1.5707964f},                  // mostly right: one step, however far
        {140, 111, step, 1.5707964f - step},           // down the window lifts the eye
        {145, 116, step, 1.5707964f - 2 * step},       // a diagonal turns the zenith
        {145, 116, step, 1.5707964f - 3 * step},       // so does no movement at all
        {144, 116, 0, 1.5707964f - 3 * step},          // left
        {143, 116, float(6.283185307179586 - step), 1.5707964f - 3 * step},   // wraps below 0
        {143, 110, float(6.283185307179586 - step), 1.5707964f - 2 * step},   // up
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        trackballMotion(c.x, c.y);
        EXPECT_NEAR(panelTrackball().azimuth, c.azimuth, 1e-6);
        EXPECT_NEAR(panelTrackball().zenith, c.zenith, 1e-6);
    }
}

TEST_F(InputTest, AnglesWrapAndClamp) {
    panelTrackball().azimuth = 6.2f;
    stepAzimuth(1);
    EXPECT_NEAR(panelTrackball().azimuth, 6.2 + step - 6.283185307179586, 1e-6);
    panelTrackball().azimuth = 0;
    stepAzimuth(-3);
    EXPECT_FLOAT_EQ(panelTrackball().azimuth, float(6.283185307179586 - step));
    for (int i = 0; i < 40; ++i) stepZenith(5);
    EXPECT_EQ(panelTrackball().zenith, 0.0001f);
    for (int i = 0; i < 40; ++i) stepZenith(-5);
    EXPECT_EQ(panelTrackball().zenith, 3.1405927f);
    // The panel's spinner may put it outside; the next step brings it back inside.
    panelTrackball().zenith = -3;
    stepZenith(1);
    EXPECT_EQ(panelTrackball().zenith, 0.0001f);
}

TEST_F(InputTest, OnlyDragsThatStartInTheDrawingAreaTurnTheCamera) {
    trackballMotion(0, 0);   // past the very first motion, which only records
    struct Case {
        int x;
        bool hidden, turns;
    } cases[] = {
        {500, false, true},   {100, false, false},  {209, false, false}, {210, false, true},
        {729, false, true},   {730, false, false},  {990, false, false}, {100, true, true},
        {990, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << (c.hidden ? " hidden" : ""));
        panelViewSettings().panelsHidden = c.hidden;
        float before = panelTrackball().azimuth;
        drag(c.x, 300, {5, 10, 15});
        EXPECT_EQ(panelTrackball().azimuth != before, c.turns);
    }
    // A drag that started in the drawing area keeps turning over a panel, and one that
    // started on a panel never turns, even when it crosses into the drawing area.
    panelViewSettings().panelsHidden = false;
    float before = panelTrackball().azimuth;
    drag(500, 300, {-200, -400});
    EXPECT_NE(panelTrackball().azimuth, before);
    before = panelTrackball().azimuth;
    drag(100, 300, {200, 400});
    EXPECT_EQ(panelTrackball().azimuth, before);
}

TEST_F(InputTest, KeysReachTheSceneWhileNoFieldIsEdited) {
    keyboardEvent('w', 0, 0);
    keyboardUpEvent('w', 0, 0);
    specialEvent(GLUT_KEY_LEFT, 0, 0);
    keyboardEvent('T', 0, 0);
    EXPECT_EQ(panelViewSettings().wireframe, 1);
    EXPECT_EQ(panelViewSettings().tessellation, 32);
}

class PickTest : public InputTest {
protected:
    // A box of edge 10 seen by the starting camera from (30, 0, 0), drawn into a drawing area
    // that starts 32 pixels from the window's left edge, as the panels make it.
    void SetUp() override {
        InputTest::SetUp();
        glViewport(32, 0, 64, size);
        panelViewSettings().windowWidth = 64;
        ASSERT_TRUE(run("ViewTransform\n{ Scale 10 10 10 Box }\n"));
    }
};

TEST_F(PickTest, RightReleaseOnASurfaceSetsTheCentre) {
    double point[3];
    ASSERT_TRUE(pickCenter(64, size / 2, point));   // window x, y from the top
    EXPECT_NEAR(point[0], 5, 0.01);
    EXPECT_NEAR(point[1], 0, 0.2);
    EXPECT_NEAR(point[2], 0, 0.2);

    mouseButton(GLUT_RIGHT_BUTTON, GLUT_DOWN, 64, size / 2);
    mouseButton(GLUT_LEFT_BUTTON, GLUT_UP, 64, size / 2);
    mouseButton(GLUT_MIDDLE_BUTTON, GLUT_UP, 64, size / 2);
    EXPECT_EQ(panelTrackball().center.x, 0);
    mouseButton(GLUT_RIGHT_BUTTON, GLUT_UP, 64, size / 2);
    EXPECT_NEAR(panelTrackball().center.x, 5, 0.01);
    EXPECT_NEAR(panelTrackball().center.y, 0, 0.2);
}

TEST_F(PickTest, BackgroundAndPointsOutsideTheWindowLeaveTheCentre) {
    panelTrackball().center = {1, 2, 3};
    double point[3];
    for (auto [x, y] : {std::pair{34, 2}, {64, 0}, {64, -40}, {64, size + 40}, {-5, 64}}) {
        SCOPED_TRACE(testing::Message() << x << "," << y);
        EXPECT_FALSE(pickCenter(x, y, point));
        mouseButton(GLUT_RIGHT_BUTTON, GLUT_UP, x, y);
        EXPECT_EQ(panelTrackball().center.x, 1);
        EXPECT_EQ(panelTrackball().center.z, 3);
    }
}

TEST_F(PickTest, ThePointIsInTheFrameTheScriptEndsIn) {
    ASSERT_TRUE(run("ViewTransform\nScale 10 10 10\nBox\n"));
    double point[3];
    ASSERT_TRUE(pickCenter(64, size / 2, point));
    EXPECT_NEAR(point[0], 0.5, 0.001);
}

// A right click orbits around the point clicked only when the frame ends in the coordinates
// that ViewTransform sets up, where the trackball's centre lies: every bundled scene that uses
// the trackball keeps its own transforms inside a group.
TEST_F(InputTest, BundledScenesEndTheirFramesInTheCamerasCoordinates) {
    ASSERT_TRUE(run("ViewTransform\n"));
    GLdouble camera[16], ended[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, camera);
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(CORVANE_SOURCE_DIR "/examples"), 0);   // where the scenes' pictures are
    int scenes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        std::ifstream in(entry.path());
        bool usesTrackball = false;
        for (std::string line, word; std::getline(in, line);)
            usesTrackball |= std::istringstream(line) >> word && word == "ViewTransform";
        if (entry.path().extension() != ".txt" || !usesTrackball) continue;
        SCOPED_TRACE(entry.path().string());
        chooseScriptFile(entry.path().string());
        EXPECT_TRUE(frame());
        glGetDoublev(GL_MODELVIEW_MATRIX, ended);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(ended[i], camera[i]) << i;
        ++scenes;
    }
    EXPECT_EQ(chdir(previous), 0);
    free(previous);
    EXPECT_GE(scenes, 2);
}
}  // namespace
