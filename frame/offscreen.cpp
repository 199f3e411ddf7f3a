// Hidden GLUT window plus framebuffer object. GLUT can be initialised only once per process, so
// the window and its context are made at the first call and kept; later calls only resize.
// The window opens on the user's display when one opens, else on a private X server started
// for the process (private_display.h): the same GLX route either way, so the same pixels.
#include "frame/offscreen.h"

#include "frame/private_display.h"

#include <GL/freeglut.h>
#include <GL/glext.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdlib>
#include <string>


namespace {
bool contextMade = false;
GLuint framebuffer = 0, colorBuffer = 0, depthBuffer = 0;
int width = 0, height = 0;   // of the framebuffer

// display empty: the one DISPLAY names.
void makeContext(std::string display) {
    char name[] = "corvane", option[] = "-display";
    char* argv[] = {name, option, display.data(), nullptr};
    int argc = display.empty() ? 1 : 3;
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(64, 64);
    glutInit(&argc, argv);
    glutCreateWindow("Corvane");
    glutDisplayFunc([] {});   // everything is drawn into the framebuffer object
    glutHideWindow();
    glutMainLoopEvent();
    keepGlDriverLoaded();
    contextMade = true;
}

bool makeFramebuffer(int w, int h, std::string& error) {
    if (framebuffer == 0) {
        glGenFramebuffers(1, &framebuffer);
        glGenRenderbuffers(1, &colorBuffer);
        glGenRenderbuffers(1, &depthBuffer);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, colorBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = "cannot make an offscreen framebuffer of " + std::to_string(w) + "x" +
                std::to_string(h);
        return false;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    width = w;
    height = h;
    return true;
}
}  // namespace

void keepGlDriverLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            std::string name = info->dlpi_name ? info->dlpi_name : "";
            if (name.find("_dri.so") != std::string::npos || name.find("gallium") != std::string::npos)
                dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

// The probe's connection stays open: an X server with no clients left resets itself, and a
// connection attempt during the reset (GLUT's, right after the probe) would fail.
bool displayAvailable() {
    static Display* probe = XOpenDisplay(nullptr);
    return probe != nullptr;
}

bool openOffscreen(int w, int h, std::string& error) {
    if (!contextMade) {
        std::string display;
        if (!displayAvailable() && (display = startPrivateDisplay(error)).empty()) return false;
        makeContext(display);
        // Closing GLUT's connection first means nothing at exit can talk to a server now gone.
        if (!display.empty()) std::atexit([] {
            glutExit();
            endPrivateDisplay();
        });
    }
    if (!makeFramebuffer(w, h, error)) return false;
    glViewport(0, 0, w, h);
    return true;
}

int largestOffscreenSize() {
    GLint viewport[2] = {0, 0}, renderbuffer = 0;
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    return std::min({viewport[0], viewport[1], renderbuffer});
}

std::vector<unsigned char> readFramePixels() {
    std::vector<unsigned char> rows(std::size_t(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    // GL's rows run bottom-up; pictures run top-down.
    std::vector<unsigned char> picture(rows.size());
    std::size_t stride = std::size_t(width) * 3;
    for (int y = 0; y < height; ++y)
        std::copy_n(&rows[std::size_t(height - 1 - y) * stride], stride, &picture[y * stride]);
    return picture;
}
