// Sets up the offscreen context once and resets every piece of interpreter and view state
// before each test.
#include "tests/gl_test.h"

#include <GL/gl.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <fstream>

#include "interpreter/display_lists.h"
#include "interpreter/message_log.h"
#include "frame/offscreen.h"
#include "frame/session.h"
#include "viewer/file_browser.h"
#include "scene/script_file.h"
#include "frame/frame.h"
#include "viewer/input.h"
#include "viewer/panel.h"
#include "tests/scratch.h"

void GlTest::SetUp() {
    std::string error;
    ASSERT_TRUE(startHeadless(size, size, error)) << error;
    resetPanels();
    resetInput();
    resetFileBrowser();
    // Scripts run without a frame (as some tests do) start from the frame's matrices.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    directory = makeScratchDirectory("corvane-test-");
}

void GlTest::TearDown() {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

std::string GlTest::writeScript(const std::string& text, const std::string& name) {
    std::string path = writeFile(directory + "/" + name, text);
    chooseScriptFile(path);
    return path;
}

bool GlTest::run(const std::string& text, int frames) {
    writeScript(text);
    bool ran = true;
    for (int i = 0; i < frames; ++i) ran = frame();
    return ran;
}

bool GlTest::frame() { return drawFrame(); }

std::array<int, 3> GlTest::pixel(int x, int y) {
    unsigned char rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

GLint GlTest::integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

bool GlTest::drawnAt(int x, int y) { return pixel(x, y) != std::array<int, 3>{0, 0, 51}; }

void startPanels() {
    initPanels();
    setPanelWindowSize(1000, 512);
    ImGui::ClearActiveID();
    ImGui::FocusWindow(nullptr);
    ImGuiIO& io = ImGui::GetIO();
    io.WantCaptureMouse = io.WantCaptureKeyboard = false;
}

std::string logOf() { return logText(); }

void setTestCommand(const std::string& word, CommandHandler handler) {
    auto& table = const_cast<CommandTable&>(commandTable());
    if (handler)
        table[word] = handler;
    else
        table.erase(word);
}

int listsOutsideTheTable(GLuint upTo) {
    std::set<GLuint> named;
    for (const auto& [name, entry] : displayListTable()) named.insert(entry.listId);
    int outside = 0;
    for (GLuint id = 1; id <= upTo; ++id) outside += glIsList(id) && !named.count(id);
    return outside;
}
