// The control panel driven as a person would, through the real boxes and simulated input: the
// control callback, typed values and their limits, the file browser, the drawing area, quick
// clicks, and a panel frame that leaves nothing behind for the script or the pick.
#include <GL/freeglut.h>
#include <backends/imgui_impl_opengl2.h>
#include <imgui.h>
#include <imgui_internal.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "interpreter/runner.h"
#include "tests/gl_test.h"
#include "viewer/file_browser.h"
#include "scene/script_file.h"
#include "frame/frame.h"
#include "viewer/input.h"
#include "viewer/log_box.h"
#include "viewer/panel.h"
#include "viewer/panel_input.h"
#include "scene/trackball.h"
#include "viewer/trackball.h"
#include "scene/view_settings.h"

namespace {
class PanelTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        startPanels();
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        startDirectory = here;
    }
    void TearDown() override {
        ASSERT_EQ(chdir(startDirectory.c_str()), 0);
        GlTest::TearDown();
    }

    // One frame of both panels as the viewer draws them; afterwards the input waiting for the
    // panel moves on, as after every frame.
    void panelFrame() {
        drawPanels();
        nextPanelInput();
    }
    // Clicks into the field at that point, types and presses Enter, all through the viewer's
    // mouse and keyboard callbacks. The panel takes one key change a frame.
    void typeAt(ImVec2 at, const std::string& text) {
        click(at);
        for (char c : text + "\r") {
            keyboardEvent((unsigned char)c, 0, 0);
            keyboardUpEvent((unsigned char)c, 0, 0);
        }
        for (std::size_t i = 0; i < 2 * text.size() + 4; ++i) panelFrame();
    }
    void typeInto(const char* label, const std::string& text) { typeAt(find(label), text); }
    // Clicks there. A first click comes a second after any earlier one, as the panel's clock
    // tells, so that the two never make a double click.
    void click(ImVec2 at, int clicks = 1) {
        ImGui::GetCurrentContext()->Time += 1;
        panelFrame();
        for (int i = 0; i < clicks; ++i) {
            mouseEvent(GLUT_LEFT_BUTTON, GLUT_DOWN, int(at.x), int(at.y));
            mouseEvent(GLUT_LEFT_BUTTON, GLUT_UP, int(at.x), int(at.y));
            panelFrame();
        }
        panelFrame();
    }
    // Where the control with this label lies in the right panel, found by moving the mouse down
    // the panel until the panel says that control is under it. A spinner's text field has an
    // inner name of its own.
    ImVec2 find(const char* label) {
        const int x = 1000 - rightPanelWidth + 30;
        for (float y = 0; y < 512; y += 2) {
            passiveMotionEvent(x, int(y));
            // Two frames, so that the one that answers remembers this point and no other.
            panelFrame();
            panelFrame();
            ImGuiID plain = ImGui::FindWindowByName("RightPanel")->GetIDNoKeepAlive(label);
            ImGuiID hovered = ImGui::GetHoveredID();
            if (hovered != 0 && (hovered == plain || hovered == ImHashStr("", 0, plain)))
                return ImVec2(float(x), y + 1);
        }
        ADD_FAILURE() << "no control " << label;
        return ImVec2(-100, -100);
    }
    // Where a child window of the left panel lies: the log box, or the file list, which its
    // list box names by its id alone.
    ImVec2 leftPanelChild(const char* label, bool named) {
        panelFrame();
        ImGuiID id = ImGui::FindWindowByName("LeftPanel")->GetIDNoKeepAlive(label);
        char name[96];
        if (named)
            std::snprintf(name, sizeof name, "LeftPanel/%s_%08X", label, id);
        else
            std::snprintf(name, sizeof name, "LeftPanel/%08X", id);
        ImGuiWindow* child = ImGui::FindWindowByName(name);
        EXPECT_NE(child, nullptr) << "no " << label;
        return child ? child->Pos : ImVec2(-100, -100);
    }
    // The centre of the browser's row.
    ImVec2 browserRow(int row) {
        ImVec2 list = leftPanelChild("##files", false);
        const ImGuiStyle& style = ImGui::GetStyle();
        float pitch = ImGui::GetFontSize() + style.ItemSpacing.y;
        return ImVec2(list.x + 20, list.y + style.FramePadding.y + row * pitch + pitch / 2 - 1);
    }
    std::string startDirectory;
};

TEST_F(PanelTest, ControlCallbackSwapsTheProjectionBoxes) {
    EXPECT_TRUE(perspectivePanelEnabled());
    EXPECT_FALSE(orthographicPanelEnabled());
    struct Case {
        int id, orthographic;
        bool perspective, ortho;
    } cases[] = {
        {PROJECTION_CHANGED, 1, false, true}, {PROJECTION_CHANGED, 7, false, true},
        {3, 0, false, true},                  {-1, 0, false, true},
        {PROJECTION_CHANGED, 0, true, false}, {PROJECTION_CHANGED, -2, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " " << c.orthographic);
        panelViewSettings().orthographic = c.orthographic;
        ControlCallback(c.id);
        EXPECT_EQ(perspectivePanelEnabled(), c.perspective);
        EXPECT_EQ(orthographicPanelEnabled(), c.ortho);
    }

    // The radio buttons store the mode and call the callback; a disabled box takes no typing.
    panelViewSettings().orthographic = 0;
    ControlCallback(PROJECTION_CHANGED);
    ImVec2 fieldOfView = find("Field of view (z/Z)");
    click(find("Orthographic"));
    EXPECT_EQ(panelViewSettings().orthographic, 1);
    EXPECT_FALSE(perspectivePanelEnabled());
    EXPECT_TRUE(orthographicPanelEnabled());
    typeAt(fieldOfView, "20");
    EXPECT_EQ(panelViewSettings().fieldOfView, 50);
    typeInto("X min", "-7");
    EXPECT_EQ(panelViewSettings().orthoMin.x, -7);
    click(find("Perspective"));
    EXPECT_EQ(panelViewSettings().orthographic, 0);
    EXPECT_TRUE(perspectivePanelEnabled());
    EXPECT_FALSE(orthographicPanelEnabled());
}

TEST_F(PanelTest, TypedValuesAreClampedOnlyBySpinners) {
    auto fov = [] { return panelViewSettings().fieldOfView; };
    auto tessellation = [] { return float(panelViewSettings().tessellation); };
    auto azimuth = [] { return panelTrackball().azimuth; };
    auto zenith = [] { return panelTrackball().zenith; };
    struct Case {
        const char* label;
        const char* typed;
        std::function<float()> value;
        float expected;
    } cases[] = {
        {"Field of view (z/Z)", "200", fov, 180},
        {"Field of view (z/Z)", "-3", fov, 0},
        {"Field of view (z/Z)", "120", fov, 120},
        {"Near plane", "0", [] { return panelViewSettings().nearPlane; }, 0},
        {"Far plane", "-5", [] { return panelViewSettings().farPlane; }, -5},
        {"Tesselation (t)", "2", tessellation, 4},
        {"Tesselation (t)", "500", tessellation, 128},
        {"Tesselation (t)", "77", tessellation, 77},
        {"Distance (+/-)", "-4", [] { return panelTrackball().distance; }, -4},
        {"Azimuth", "7", azimuth, 6.2831855f},
        {"Azimuth", "-1", azimuth, 0},
        {"Zenith", "-4", zenith, -3.1415927f},
        {"Zenith", "-3", zenith, -3},
        {"Center z", "2.5", [] { return panelTrackball().center.z; }, 2.5f},
        {"Z min", "-1e3", [] { return panelViewSettings().orthoMin.z; }, -50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.label) + " " + c.typed);
        typeInto(c.label, c.typed);
        EXPECT_FLOAT_EQ(c.value(), c.expected);
    }
    // The width and height only show the drawing area's size, wherever one clicks and types.
    for (float y = 0; y < 40; y += 3) typeAt(ImVec2(30, y), "5");
    EXPECT_EQ(panelViewSettings().windowWidth, 128);
    EXPECT_EQ(panelViewSettings().windowHeight, 128);
}

TEST_F(PanelTest, TypingIntoAFieldNeverTriggersAShortcut) {
    typeInto("Field of view (z/Z)", "2w0h0");
    EXPECT_EQ(panelViewSettings().fieldOfView, 180);
    EXPECT_EQ(panelViewSettings().wireframe, 0);
    EXPECT_FALSE(panelViewSettings().panelsHidden);
    // Once the field is left, the same keys act again.
    keyboardEvent('w', 0, 0);
    EXPECT_EQ(panelViewSettings().wireframe, 1);
}

// The log box is text, not a field: a click and typing over it change nothing, and the keys
// typed there act as shortcuts at once.
TEST_F(PanelTest, LogBoxIsReadOnly) {
    EXPECT_FALSE(run("Box Foo\n"));
    updateLogBox(false);
    ImVec2 box = leftPanelChild("##log", true);
    click(ImVec2(box.x + 30, box.y + 8));
    panelFrame();
    keyboardEvent('w', 0, 0);
    panelFrame();
    EXPECT_EQ(logOf(), "Unknown command \"Foo\"\n");
    EXPECT_EQ(panelViewSettings().wireframe, 1);
}

// The rows: the status line while the script runs cleanly, else one per message beside the
// LINE:COLUMN that corvane-render prints. A new version whose messages sit at the same places
// in the log and the script but on other lines is located afresh; a huge message is cut with
// a count of what is left out.
TEST_F(PanelTest, LogBoxRowsFollowTheLogAndItsLocations) {
    auto shown = [&](bool ran) {
        updateLogBox(ran);
        panelFrame();
        std::vector<std::string> rows;
        for (const LogBoxRow& row : logBoxRows()) rows.push_back(row.location + " " + row.text);
        return rows;
    };
    // Each save a second later than the one before, however quickly the test writes.
    int saves = 0;
    auto save = [&](const std::string& text) {
        std::string path = writeScript(text);
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() + std::chrono::seconds(++saves));
        return path;
    };
    std::string path = save("Box\n");
    EXPECT_EQ(shown(frame()), std::vector<std::string>{" Drawing : " + path});
    EXPECT_EQ(logBoxHeading(), "Log");

    save("Box Foo\n{\n");
    EXPECT_EQ(shown(frame()),
              (std::vector<std::string>{"1:5 Unknown command \"Foo\"", "3:1 1 unmatched `{'(s)"}));
    EXPECT_EQ(logBoxHeading(), "Log: 2 messages");
    save("Box Foo\n");
    EXPECT_EQ(shown(frame()), std::vector<std::string>{"1:5 Unknown command \"Foo\""});
    EXPECT_EQ(logBoxHeading(), "Log: 1 message");
    save("Box\nFoo\n");   // the same offsets and the same log text, on another line
    EXPECT_EQ(shown(frame()), std::vector<std::string>{"2:1 Unknown command \"Foo\""});

    save("Box " + std::string(5000, 'x') + "\n");
    std::string message = "Unknown command \"" + std::string(5000, 'x') + "\"";
    EXPECT_EQ(shown(frame()), std::vector<std::string>{"1:5 " + message.substr(0, 2048) +
                                                       " ... (2970 more bytes)"});
}

// Only what the font cannot show is escaped, byte by byte: controls, malformed or overlong
// UTF-8, surrogates, a byte-order mark, and characters the font has no glyph for.
TEST_F(PanelTest, UnshowableBytesAreEscapedInTheBox) {
    using namespace std::string_literals;
    struct Case {
        std::string bytes, shown;
    } cases[] = {
        {"Sphre", "Sphre"},
        {"foo\0bar"s, "foo\\0bar"},
        {"x\x1b[2Jy", "x\\x1b[2Jy"},
        {"\x7f", "\\x7f"},
        {"caf\xc3\xa9\xc2\xa0", "caf\xc3\xa9\xc2\xa0"},
        {"\xc3", "\\xc3"},
        {"\xc3(", "\\xc3("},
        {"\xc0\xaf", "\\xc0\\xaf"},
        {"\xc2\x85", "\\xc2\\x85"},
        {"\xef\xbb\xbf" "Box", "\\xef\\xbb\\xbf" "Box"},
        {"\xe6\x97\xa5", "\\xe6\\x97\\xa5"},
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
        {"\xff\xfe", "\\xff\\xfe"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].shown);
        writeScript("Box " + cases[i].bytes + "\n", "case" + std::to_string(i) + ".txt");
        updateLogBox(frame());
        panelFrame();
        std::vector<LogBoxRow> rows = logBoxRows();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].text, "Unknown command \"" + cases[i].shown + "\"");
    }
}

TEST_F(PanelTest, QuickClicksAndCheckBoxesReachThePanel) {
    // A press and release that both come before the panel's next frame still count.
    click(find("Wireframe (w)"));
    EXPECT_EQ(panelViewSettings().wireframe, 1);
    click(find("Smooth shading (s)"));
    EXPECT_EQ(panelViewSettings().smoothShading, 0);
    // A check box shows any non-zero value as checked, and unchecking stores 0.
    panelViewSettings().wireframe = 5;
    click(find("Wireframe (w)"));
    EXPECT_EQ(panelViewSettings().wireframe, 0);
}

class BrowserTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        for (const char* name : {"b.txt", "a.txt", ".hidden", "B.txt"})
            std::ofstream(directory + "/" + name) << "Box\n";
        for (const char* name : {"zdir", "Adir"})
            std::filesystem::create_directory(directory + "/" + name);
        std::ofstream(directory + "/zdir/inner.txt") << "Sphere\n";
        std::filesystem::create_symlink("missing", directory + "/broken");
        std::filesystem::create_directory_symlink(directory + "/zdir", directory + "/link");
        ASSERT_EQ(chdir(directory.c_str()), 0);
        listDirectory();
    }
    std::vector<std::string> listing() {
        std::vector<std::string> names;
        for (const BrowserEntry& entry : browserEntries())
            names.push_back(entry.name + (entry.isDirectory ? "/" : ""));
        return names;
    }
    std::string here() { return std::filesystem::current_path().string(); }
};

TEST_F(BrowserTest, ListsTheWayUpThenDirectoriesThenFiles) {
    EXPECT_EQ(listing(), (std::vector<std::string>{"../", "Adir/", "link/", "zdir/", ".hidden",
                                                   "B.txt", "a.txt", "b.txt", "broken"}));
}

// The list follows the directory it shows, without Refresh: what is made, removed or renamed
// there shows in the next frame, and after entering another directory, what changes there.
TEST_F(BrowserTest, TheListFollowsTheDirectory) {
    std::ofstream(directory + "/new.txt") << "Box\n";
    std::filesystem::remove(directory + "/a.txt");
    std::filesystem::rename(directory + "/b.txt", directory + "/c.txt");
    panelFrame();
    EXPECT_EQ(listing(), (std::vector<std::string>{"../", "Adir/", "link/", "zdir/", ".hidden",
                                                   "B.txt", "broken", "c.txt", "new.txt"}));
    activateEntry({"zdir", true}, FILE_CHOSEN, [](int) {});
    std::ofstream(directory + "/other.txt") << "Box\n";
    std::filesystem::create_directory(directory + "/zdir/deeper");
    panelFrame();
    EXPECT_EQ(listing(), (std::vector<std::string>{"../", "deeper/", "inner.txt"}));
}

TEST_F(BrowserTest, EnteringADirectoryMovesTheWorkingDirectory) {
    auto call = [](int) { FAIL() << "no file was chosen"; };
    activateEntry({"zdir", true}, FILE_CHOSEN, call);
    EXPECT_EQ(here(), directory + "/zdir");
    EXPECT_EQ(listing(), (std::vector<std::string>{"../", "inner.txt"}));
    activateEntry({"..", true}, FILE_CHOSEN, call);
    EXPECT_EQ(here(), directory);
    // A directory that went away leaves the browser where it was, listed afresh, and says so
    // under the list until the next double click.
    std::filesystem::remove(directory + "/Adir");
    activateEntry({"Adir", true}, FILE_CHOSEN, call);
    EXPECT_EQ(here(), directory);
    EXPECT_EQ(listedDirectory(), directory);
    EXPECT_EQ(listing().size(), 8u);
    EXPECT_EQ(browserNote(), "Cannot enter Adir/: No such file or directory");
    activateEntry({"zdir", true}, FILE_CHOSEN, call);
    EXPECT_EQ(listedDirectory(), directory + "/zdir");
    EXPECT_EQ(browserNote(), "");
}

TEST_F(BrowserTest, DoubleClicksEnterDirectoriesAndChooseFiles) {
    chooseScriptFile("a.txt");   // as given on the command line
    ASSERT_TRUE(runScript());
    // A single click does nothing.
    click(browserRow(3));
    EXPECT_EQ(here(), directory);
    click(browserRow(3), 2);   // zdir/
    EXPECT_EQ(here(), directory + "/zdir");
    // The command-line name is now looked for in the new directory.
    EXPECT_FALSE(runScript());
    EXPECT_EQ(logOf(), "Cannot open: a.txt\n");

    click(browserRow(1), 2);   // inner.txt
    EXPECT_EQ(chosenFile(), "inner.txt");
    EXPECT_EQ(scriptFileName(), "inner.txt");
    EXPECT_TRUE(runScript());
    EXPECT_EQ(statusText(), "Drawing : inner.txt");

    click(browserRow(0), 2);   // ../
    EXPECT_EQ(here(), directory);
    click(browserRow(7), 2);   // b.txt
    EXPECT_EQ(scriptFileName(), "b.txt");
    EXPECT_TRUE(runScript());
}

TEST(DrawingAreaTest, WhatThePanelsLeave) {
    struct Case {
        int width, height;
        bool hidden;
        DrawingArea area;
    } cases[] = {
        {1000, 512, false, {leftPanelWidth, 0, 1000 - leftPanelWidth - rightPanelWidth, 512}},
        {1000, 512, true, {0, 0, 1000, 512}},
        {1000, 0, false, {leftPanelWidth, 0, 520, 0}},
        {720, 512, false, {leftPanelWidth, 0, 240, 512}},   // the narrowest at full width
        {600, 400, false, {175, 0, 200, 400}},              // narrower panels, a third left
        {300, 200, false, {87, 0, 100, 200}},
        {0, 0, false, {0, 0, 0, 0}},
        {0, 0, true, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << c.hidden);
        panelViewSettings().panelsHidden = c.hidden;
        DrawingArea area = drawingArea(c.width, c.height);
        EXPECT_EQ(area.x, c.area.x);
        EXPECT_EQ(area.y, c.area.y);
        EXPECT_EQ(area.width, c.area.width);
        EXPECT_EQ(area.height, c.area.height);
    }
    panelViewSettings().panelsHidden = false;
    // However narrow the window, the panels and the scene share it, the scene a third or more.
    for (int width = 0; width <= 1200; ++width) {
        PanelWidths panels = panelWidths(width);
        DrawingArea area = drawingArea(width, 100);
        ASSERT_EQ(panels.left + area.width + panels.right, width) << width;
        ASSERT_GE(3 * area.width, width) << width;
    }
}

TEST_F(PanelTest, AFlatDrawingAreaStillGivesAFiniteProjection) {
    panelViewSettings().windowHeight = 0;
    ASSERT_TRUE(run("Box\n"));
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    for (double value : projection) EXPECT_TRUE(std::isfinite(value));
}

struct GlSnapshot {
    std::array<GLdouble, 16> modelview, projection;
    std::vector<GLfloat> depth;
    std::array<GLfloat, 4> colour;
    std::array<GLint, 4> viewport;
    GLint matrixMode, vertexArray, colourArray, texture2d, lighting, depthTest, blend, scissor;
    GLvoid* vertexPointer;
    bool operator==(const GlSnapshot&) const = default;
};

GlSnapshot snapshot(int size) {
    GlSnapshot s{};
    glGetDoublev(GL_MODELVIEW_MATRIX, s.modelview.data());
    glGetDoublev(GL_PROJECTION_MATRIX, s.projection.data());
    s.depth.resize(std::size_t(size) * size);
    glReadPixels(0, 0, size, size, GL_DEPTH_COMPONENT, GL_FLOAT, s.depth.data());
    glGetFloatv(GL_CURRENT_COLOR, s.colour.data());
    glGetIntegerv(GL_VIEWPORT, s.viewport.data());
    glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
    s.vertexArray = glIsEnabled(GL_VERTEX_ARRAY);
    s.colourArray = glIsEnabled(GL_COLOR_ARRAY);
    s.texture2d = glIsEnabled(GL_TEXTURE_2D);
    s.lighting = glIsEnabled(GL_LIGHTING);
    s.depthTest = glIsEnabled(GL_DEPTH_TEST);
    s.blend = glIsEnabled(GL_BLEND);
    s.scissor = glIsEnabled(GL_SCISSOR_TEST);
    glGetPointerv(GL_VERTEX_ARRAY_POINTER, &s.vertexPointer);
    return s;
}

TEST_F(PanelTest, PanelFrameLeavesNoTraceForTheScriptOrThePick) {
    static const float points[] = {0, 0, 0, 1, 1, 1};
    glEnableClientState(GL_VERTEX_ARRAY);   // as a script's VertexArray would
    glVertexPointer(3, GL_FLOAT, 0, points);
    glColor3f(0.25f, 0.5f, 0.75f);
    ASSERT_TRUE(run("ViewTransform\nTranslate 1 2 3\n{ Scale 10 10 10 Box }\n"));
    setPanelWindowSize(size, size);
    double before[3], after[3];
    ASSERT_TRUE(pickCenter(size / 2, size / 2, before));
    GlSnapshot start = snapshot(size);
    for (bool hidden : {false, true}) {
        panelViewSettings().panelsHidden = hidden;
        drawPanels();
        EXPECT_TRUE(snapshot(size) == start) << (hidden ? "hidden" : "shown");
    }
    ASSERT_TRUE(pickCenter(size / 2, size / 2, after));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(before[i], after[i]);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace
