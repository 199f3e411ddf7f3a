// The control panel: two fixed-width panels pinned to the left and right edges of the main
// window, drawn over each frame with Dear ImGui. Every control is bound straight to its
// ViewSettings or Trackball field and re-reads it as it is drawn, so changes made by keys, the
// mouse, the reshape callback and script commands show in the next frame.
#pragma once

// Control ids of the two controls that call ControlCallback.
constexpr int FILE_CHOSEN = 1;
constexpr int PROJECTION_CHANGED = 2;

// Widths of the two panels in pixels in a window wide enough; the drawing area is what lies
// between them.
constexpr int leftPanelWidth = 210;
constexpr int rightPanelWidth = 270;

// The panels' widths in a window this wide: the full widths while they leave the scene a third
// of the window or more; in a narrower window both narrow alike so that the scene keeps that
// third, and what no longer fits in a panel scrolls.
struct PanelWidths {
    int left, right;
};
PanelWidths panelWidths(int windowWidth);

struct DrawingArea {
    int x, y, width, height;   // a GL viewport, origin at the bottom left
};

// The part of a window of this size that the panels leave to the scene (all of it while the
// panels are hidden): a third of its width or more. Never negative, however small the window.
DrawingArea drawingArea(int windowWidth, int windowHeight);

// Creates the panel's context and its GLUT and OpenGL2 back ends once, in the current GL
// context; the panel writes no settings file. Later calls do nothing.
void initPanels();
// Tells the panel the whole window's size (the reshape callback does, with GLUT's size).
void setPanelWindowSize(int width, int height);
// One frame of both panels over the picture. Leaves the depth buffer, both matrices, every
// attribute and the client-array state exactly as the script left them.
void drawPanels();

// 1 (FILE_CHOSEN): the browser's chosen file becomes the script. 2 (PROJECTION_CHANGED): the
// "Perspective" or "Orthographic" box is enabled to match the projection, the other disabled.
void ControlCallback(int id);
bool perspectivePanelEnabled();
bool orthographicPanelEnabled();


// Whether the panel takes a mouse press at window column x: it does on the panels, which run
// the full height of the window, and whenever the panel's toolkit asks for the mouse.
bool panelWantsMouse(int x);
// Whether the panel takes the keyboard (a text field is being edited).
bool panelWantsKeyboard();

// Starting panel state: the log box, which projection box is enabled, shown panels.
void resetPanels();
