// The one ViewSettings instance and its writers; see view_settings.h.
#include "scene/view_settings.h"

namespace {
ViewSettings settings;   // starting values as declared

float& axisOf(Vec3f& corner, int axis) { return axis == 0 ? corner.x : axis == 1 ? corner.y : corner.z; }
}  // namespace

const ViewSettings& viewSettings() { return settings; }
ViewSettings& panelViewSettings() { return settings; }

void setDrawingArea(int width, int height) {
    settings.windowWidth = width;
    settings.windowHeight = height;
}

void setViewOptions(const ViewSettings& options) {
    int width = settings.windowWidth, height = settings.windowHeight;
    settings = options;
    setDrawingArea(width, height);
}

void resetViewSettings() { setViewOptions(ViewSettings{}); }

// The lower limit applies to the result, so a narrower view set in the panel jumps up to 15.
void narrowFieldOfView() {
    settings.fieldOfView = settings.fieldOfView - 1;
    if (settings.fieldOfView < 15) settings.fieldOfView = 15;
}

void widenFieldOfView() {
    settings.fieldOfView = settings.fieldOfView + 1;
    if (settings.fieldOfView > 100) settings.fieldOfView = 100;
}

void toggleSmoothShading() { settings.smoothShading = settings.smoothShading == 0 ? 1 : 0; }
void toggleWireframe() { settings.wireframe = settings.wireframe == 0 ? 1 : 0; }

// 32, 64, 128, 4, 8, ...: doubling past the top starts again at the bottom.
void doubleTessellation() {
    settings.tessellation = 2 * settings.tessellation;
    if (settings.tessellation > tessellationRange.highest)
        settings.tessellation = tessellationRange.lowest;
}

void togglePanelsHidden() { settings.panelsHidden = !settings.panelsHidden; }

void storeFieldOfView(float degrees) { settings.fieldOfView = degrees; }
void storeNearPlane(float distance) { settings.nearPlane = distance; }
void storeFarPlane(float distance) { settings.farPlane = distance; }
void storeOrthoLow(int axis, float value) { axisOf(settings.orthoMin, axis) = value; }
void storeOrthoHigh(int axis, float value) { axisOf(settings.orthoMax, axis) = value; }
