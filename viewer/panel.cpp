// The control panel: its Dear ImGui context, the boxes of both panels in layout order, the
// control callback, hiding and showing, and the drawing area the panels leave to the scene.
// The panels share the scene's GL context and are drawn after the script has run, so their
// renderer runs inside a saved copy of every attribute and of the client arrays: the right-click
// pick and the next frame must find exactly what the script left.
#include "viewer/panel.h"

#include <GL/freeglut.h>
#include <backends/imgui_impl_glut.h>
#include <backends/imgui_impl_opengl2.h>
#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <string>

#include "interpreter/gl_state.h"
#include "scene/script_file.h"
#include "scene/trackball.h"
#include "scene/view_settings.h"
#include "viewer/file_browser.h"
#include "viewer/log_box.h"

namespace {
// Panel state: what the controls themselves hold besides the bound fields.
struct PanelBoxState {
    bool enabled;
};
PanelBoxState PerspectivePanel{true};     // enabled while the projection is perspective
PanelBoxState OrthographicPanel{false};   // enabled while it is orthographic

// What does not fit a panel in a small window scrolls down. The left panel's contents wrap or
// take its width; the right panel's labelled fields do not, so it scrolls across as well (a
// panel that scrolls across wraps its text at the width of its contents, not at its own).
constexpr ImGuiWindowFlags pinned = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoMove |
                                    ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse |
                                    ImGuiWindowFlags_NoSavedSettings;
constexpr float fieldWidth = 96;          // value fields of the right panel, step buttons included
constexpr float narrowFieldWidth = 50;    // the orthographic box's six fields
constexpr float sizeFieldWidth = 40;      // the two window-dimension fields
constexpr float boxPadding = 8;           // between a box's frame and its controls
constexpr float angleStep = 0.01f;        // radians per click on an angle's step buttons
constexpr float browserHeight = 180;      // the file list, in a window tall enough
constexpr int smallestBrowserRows = 3;    // the file list's height in lines in a short window
constexpr int smallestLogRows = 4;        // the log box's height in lines in a short window
constexpr const char* hint = "Press 'h' to hide/unhide UI";
const ImVec4 noteColour(1, 0.6f, 0.3f, 1);  // what the browser could not do

// A framed group with its title, the counterpart of an embossed panel box.
void beginBox(const char* title) {
    ImGui::BeginGroup();
    ImGui::Dummy(ImVec2(0, 0));
    ImGui::Indent(boxPadding);
    ImGui::TextWrapped("%s", title);
}

void endBox() {
    ImGui::Unindent(boxPadding);
    ImGui::Dummy(ImVec2(0, 0));
    ImGui::EndGroup();
    ImVec2 topLeft = ImGui::GetItemRectMin();
    float right = ImGui::GetWindowPos().x + ImGui::GetWindowContentRegionMax().x;
    ImVec2 bottomRight(right, ImGui::GetItemRectMax().y);
    ImGui::GetWindowDrawList()->AddRect(topLeft, bottomRight, ImGui::GetColorU32(ImGuiCol_Border),
                                        ImGui::GetStyle().FrameRounding);
}

void floatField(const char* label, float* value, float width = fieldWidth) {
    ImGui::SetNextItemWidth(width);
    ImGui::InputFloat(label, value, 0, 0, "%g");
}

void intField(const char* label, int* value, float width) {
    ImGui::SetNextItemWidth(width);
    ImGui::InputInt(label, value, 0, 0);
}

// Keeps the next item of this width on the current line when it fits the panel, and starts a
// new line for it when the panel is too narrow.
void sameLineIfFits(float width) {
    ImGui::SameLine();
    if (ImGui::GetCursorPosX() + width > ImGui::GetWindowContentRegionMax().x) ImGui::NewLine();
}

// The height of the left panel's parts under the file list, at their smallest: the browser's
// note, the log's heading, the log box and the hint.
float heightUnderBrowser(const std::string& note) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const float width = ImGui::GetContentRegionAvail().x;
    float height = ImGui::GetTextLineHeightWithSpacing() * (smallestLogRows + 1) +
                   ImGui::CalcTextSize(hint, nullptr, false, width).y + 2 * style.ItemSpacing.y;
    if (!note.empty())
        height += ImGui::CalcTextSize(note.c_str(), nullptr, false, width).y + style.ItemSpacing.y;
    return height;
}

// A spinner: a field with step buttons whose value is clamped after every edit, typed or stepped.
void floatSpinner(const char* label, float* value, SettingRange<float> range, float step) {
    ImGui::SetNextItemWidth(fieldWidth);
    if (ImGui::InputFloat(label, value, step, step * 10, "%g"))
        *value = std::clamp(*value, range.lowest, range.highest);
}

void intSpinner(const char* label, int* value, SettingRange<int> range) {
    ImGui::SetNextItemWidth(fieldWidth);
    if (ImGui::InputInt(label, value, 1, 10)) *value = std::clamp(*value, range.lowest, range.highest);
}

// A check box over an int field: any non-zero value shows as checked.
void checkBox(const char* label, int* value) {
    bool checked = *value != 0;
    if (ImGui::Checkbox(label, &checked)) *value = checked ? 1 : 0;
}


// The boxes, one function each, in layout order.
void windowDimensionsBox() {
    beginBox("Window dimensions");
    ImGui::BeginDisabled();   // they show the drawing area's size; the window sets it
    intField("Width", &panelViewSettings().windowWidth, sizeFieldWidth);
    sameLineIfFits(sizeFieldWidth + ImGui::GetStyle().ItemInnerSpacing.x +
                   ImGui::CalcTextSize("Height").x);
    intField("Height", &panelViewSettings().windowHeight, sizeFieldWidth);
    ImGui::EndDisabled();
    endBox();
}

// The list is shorter in a short window, so that the log still shows under it.
void fileSelection() {
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted("Select file");
    const float refreshWidth = ImGui::CalcTextSize("Refresh").x + 2 * ImGui::GetStyle().FramePadding.x;
    sameLineIfFits(refreshWidth);
    ImGui::SetCursorPosX(std::max(ImGui::GetCursorPosX(),
                                  ImGui::GetWindowContentRegionMax().x - refreshWidth));
    if (ImGui::Button("Refresh")) listDirectory();
    ImGui::TextWrapped("%s", listedDirectory().c_str());
    const float smallest = smallestBrowserRows * ImGui::GetTextLineHeightWithSpacing() +
                           2 * ImGui::GetStyle().FramePadding.y;
    const float room = ImGui::GetContentRegionAvail().y - heightUnderBrowser(browserNote());
    drawFileBrowser(-FLT_MIN, std::clamp(room, smallest, browserHeight), FILE_CHOSEN,
                    ControlCallback);
    if (!browserNote().empty()) {
        ImGui::PushStyleColor(ImGuiCol_Text, noteColour);
        ImGui::TextWrapped("%s", browserNote().c_str());
        ImGui::PopStyleColor();
    }
}

// The box takes the panel's height down to the line under it, so a taller window shows more
// messages.
void logSection() {
    refreshLogBox();
    ImGui::TextUnformatted(logBoxHeading().c_str());
    const float below = ImGui::CalcTextSize(hint, nullptr, false, ImGui::GetContentRegionAvail().x).y +
                        ImGui::GetStyle().ItemSpacing.y;
    const float smallest = smallestLogRows * ImGui::GetTextLineHeightWithSpacing();
    drawLogBox(ImVec2(-FLT_MIN, std::max(ImGui::GetContentRegionAvail().y - below, smallest)));
}

void trackballBox() {
    beginBox("Trackball");
    floatField("Distance (+/-)", &panelTrackball().distance);
    floatSpinner("Azimuth", &panelTrackball().azimuth, azimuthRange, angleStep);
    floatSpinner("Zenith", &panelTrackball().zenith, zenithRange, angleStep);
    floatField("Center x", &panelTrackball().center.x);
    floatField("Center y", &panelTrackball().center.y);
    floatField("Center z", &panelTrackball().center.z);
    ImGui::TextUnformatted("Right click to set center");
    endBox();
}

void projectionBox() {
    beginBox("Projection");
    if (ImGui::RadioButton("Perspective", &panelViewSettings().orthographic, 0))
        ControlCallback(PROJECTION_CHANGED);
    if (ImGui::RadioButton("Orthographic", &panelViewSettings().orthographic, 1))
        ControlCallback(PROJECTION_CHANGED);
    endBox();
}

void perspectiveBox() {
    ImGui::BeginDisabled(!PerspectivePanel.enabled);
    beginBox("Perspective");
    floatSpinner("Field of view (z/Z)", &panelViewSettings().fieldOfView, fieldOfViewRange, 1);
    floatField("Near plane", &panelViewSettings().nearPlane);
    floatField("Far plane", &panelViewSettings().farPlane);
    endBox();
    ImGui::EndDisabled();
}

void orthographicBox() {
    ImGui::BeginDisabled(!OrthographicPanel.enabled);
    beginBox("Orthographic");
    ImGui::BeginGroup();
    floatField("X min", &panelViewSettings().orthoMin.x, narrowFieldWidth);
    floatField("Y min", &panelViewSettings().orthoMin.y, narrowFieldWidth);
    floatField("Z min", &panelViewSettings().orthoMin.z, narrowFieldWidth);
    ImGui::EndGroup();
    ImGui::SameLine();
    ImGui::BeginGroup();
    floatField("X max", &panelViewSettings().orthoMax.x, narrowFieldWidth);
    floatField("Y max", &panelViewSettings().orthoMax.y, narrowFieldWidth);
    floatField("Z max", &panelViewSettings().orthoMax.z, narrowFieldWidth);
    ImGui::EndGroup();
    endBox();
    ImGui::EndDisabled();
}

void visualizationBox() {
    beginBox("Visualization");
    intSpinner("Tesselation (t)", &panelViewSettings().tessellation, tessellationRange);
    checkBox("Smooth shading (s)", &panelViewSettings().smoothShading);
    checkBox("Wireframe (w)", &panelViewSettings().wireframe);
    endBox();
}

void beginPanel(const char* name, float x, float width, ImGuiWindowFlags flags = 0) {
    ImGui::SetNextWindowPos(ImVec2(x, 0));
    ImGui::SetNextWindowSize(ImVec2(width, ImGui::GetIO().DisplaySize.y));
    ImGui::Begin(name, nullptr, pinned | flags);
}

void leftPanel(int width) {
    beginPanel("LeftPanel", 0, float(width));
    windowDimensionsBox();
    fileSelection();
    logSection();
    ImGui::TextWrapped("%s", hint);
    ImGui::End();
}

void rightPanel(int width) {
    beginPanel("RightPanel", ImGui::GetIO().DisplaySize.x - float(width), float(width),
               ImGuiWindowFlags_HorizontalScrollbar);
    trackballBox();
    projectionBox();
    perspectiveBox();
    orthographicBox();
    visualizationBox();
    ImGui::End();
}

void stylePanels() {
    ImGui::StyleColorsDark();
    ImGuiStyle& style = ImGui::GetStyle();
    // Compact enough for both panels to fit the starting window's height.
    style.WindowPadding = ImVec2(6, 6);
    style.FramePadding = ImVec2(4, 2);
    style.ItemSpacing = ImVec2(6, 3);
    style.WindowRounding = 0;
    style.FrameRounding = 2;
    style.Colors[ImGuiCol_WindowBg].w = 1;   // the panels are solid, not see-through
}
}  // namespace

PanelWidths panelWidths(int windowWidth) {
    const int full = leftPanelWidth + rightPanelWidth;
    const int room = std::max(windowWidth, 0) * 2 / 3;
    if (room >= full) return {leftPanelWidth, rightPanelWidth};
    const int left = room * leftPanelWidth / full;
    return {left, room - left};
}

DrawingArea drawingArea(int windowWidth, int windowHeight) {
    int height = std::max(windowHeight, 0);
    if (viewSettings().panelsHidden) return {0, 0, std::max(windowWidth, 0), height};
    PanelWidths panels = panelWidths(windowWidth);
    int width = std::max(windowWidth - panels.left - panels.right, 0);
    return {panels.left, 0, width, height};
}

void initPanels() {
    if (ImGui::GetCurrentContext()) return;
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    // The program writes no files, and the browser moves the working directory around.
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    ImGui_ImplGLUT_Init();
    ImGui_ImplOpenGL2_Init();
    stylePanels();
    setPanelWindowSize(glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));
}

void setPanelWindowSize(int width, int height) {
    ImGui_ImplGLUT_ReshapeFunc(std::max(width, 0), std::max(height, 0));
}

void drawPanels() {
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplGLUT_NewFrame();   // starts the panel's frame as well
    if (!viewSettings().panelsHidden) {
        PanelWidths widths = panelWidths(int(ImGui::GetIO().DisplaySize.x));
        leftPanel(widths.left);
        rightPanel(widths.right);
    }
    ImGui::Render();
    // The renderer restores only part of what it changes (not the current colour, for one).
    WithoutScriptArrays isolated;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    popAttributes();
}

void ControlCallback(int id) {
    if (id == FILE_CHOSEN) {
        // The runner notices the new name on the next frame; nothing is opened here.
        chooseScriptFile(chosenFile());
    } else if (id == PROJECTION_CHANGED) {
        if (viewSettings().orthographic == 0) {
            PerspectivePanel.enabled = true;
            OrthographicPanel.enabled = false;
        } else if (viewSettings().orthographic == 1) {
            PerspectivePanel.enabled = false;
            OrthographicPanel.enabled = true;
        }
    }
}

bool perspectivePanelEnabled() { return PerspectivePanel.enabled; }
bool orthographicPanelEnabled() { return OrthographicPanel.enabled; }

bool panelWantsMouse(int x) {
    const ImGuiIO& io = ImGui::GetIO();
    if (io.WantCaptureMouse) return true;
    if (viewSettings().panelsHidden) return false;
    // The toolkit learns where the mouse is only at its next frame; the panels' places are
    // known now.
    PanelWidths widths = panelWidths(int(io.DisplaySize.x));
    return x < widths.left || x >= int(io.DisplaySize.x) - widths.right;
}

bool panelWantsKeyboard() { return ImGui::GetIO().WantCaptureKeyboard; }

void resetPanels() {
    resetLogBox();
    PerspectivePanel.enabled = true;
    OrthographicPanel.enabled = false;
}
