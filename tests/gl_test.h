// The GL test fixture: one hidden offscreen context per test process (Mesa under Xvfb), and a
// fresh interpreter and view state for every test, so tests never depend on their order.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "interpreter/command_table.h"

class GlTest : public ::testing::Test {
protected:
    static constexpr int size = 128;   // the drawing area is size x size pixels

    void SetUp() override;
    void TearDown() override;

    // Writes a script file in this test's scratch directory and names it as the script to run.
    std::string writeScript(const std::string& text, const std::string& name = "scene.txt");
    // Writes the script and runs that many frames; returns the last frame's result.
    bool run(const std::string& text, int frames = 1);
    // One more frame of the current script.
    bool frame();

    // The colour at (x, y) of the drawing area, y counted from the bottom as in GL.
    std::array<int, 3> pixel(int x, int y);
    std::array<int, 3> centre() { return pixel(size / 2, size / 2); }
    // Whether anything but the background was drawn at (x, y).
    bool drawnAt(int x, int y);
    // One integer of GL state.
    static GLint integer(GLenum name);

    std::string directory;   // this test's scratch directory
};

// Makes the panel's context (once per process) for a 1000 x 512 window, with no field being
// edited and nothing asking for the mouse or keyboard, whatever an earlier test did.
void startPanels();

// The interpreter's state as one line per message, for exact comparisons.
std::string logOf();
// A command word of the test's own, for tests that act in the middle of a run (a null handler
// removes it). The table is read-only to the program; only tests add to it.
void setTestCommand(const std::string& word, CommandHandler handler);
// Display lists with an id up to upTo that the GL still holds but the table does not name.
int listsOutsideTheTable(GLuint upTo);
