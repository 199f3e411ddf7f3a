// scene/: the state every layer reads and only its owner writes: the view settings (here), the
// scene clock, the script's name and the trackball. Each header names who may write what, and
// everyone else writes through a named function of the owner. It uses nothing of ours.
//
// ViewSettings: the values the control panel edits and every frame reads.
// Owned by the control panel, whose controls are bound to the fields and write them directly
// (panelViewSettings). Everyone else reads viewSettings() and writes through a function below,
// which names its callers.
#pragma once

struct Vec3f {
    float x, y, z;
};

// A closed range of a setting. The panel's spinners keep their values within the ranges below
// and corvane-render clamps its matching options to them, so both accept the same views.
template <typename T>
struct SettingRange {
    T lowest, highest;
};
constexpr SettingRange<float> fieldOfViewRange{0, 180};
constexpr SettingRange<int> tessellationRange{4, 128};

struct ViewSettings {
    int windowWidth = 1000;       // size of the drawing area, in pixels
    int windowHeight = 512;
    int orthographic = 0;         // 0 perspective, anything else orthographic
    float fieldOfView = 50;       // degrees, vertical
    float nearPlane = 1;
    float farPlane = 100;
    Vec3f orthoMin = {-50, -50, -50};
    Vec3f orthoMax = {50, 50, 50};
    int smoothShading = 1;
    int wireframe = 0;
    int tessellation = 32;        // subdivisions of the curved solids
    bool panelsHidden = false;
};

const ViewSettings& viewSettings();
// The panel's bound controls only.
ViewSettings& panelViewSettings();

// The viewer's reshape and corvane-render's drawing area: the size of the area the scene is
// drawn in.
void setDrawingArea(int width, int height);
// corvane-render's view options: every value but the drawing area's size.
void setViewOptions(const ViewSettings& options);
// The session reset: every value but the drawing area's size back to its start.
void resetViewSettings();

// The keys: z and Z narrow and widen the view (15 to 100 degrees), s, w and t switch shading,
// wireframe and tessellation, h hides the panels.
void narrowFieldOfView();
void widenFieldOfView();
void toggleSmoothShading();
void toggleWireframe();
void doubleTessellation();
void togglePanelsHidden();

// The script's Perspective and Ortho, one number at a time as each is read. Axis 0, 1, 2 is
// x, y, z of the orthographic box's low (left, bottom, near) or high (right, top, far) corner.
void storeFieldOfView(float degrees);
void storeNearPlane(float distance);
void storeFarPlane(float distance);
void storeOrthoLow(int axis, float value);
void storeOrthoHigh(int axis, float value);
