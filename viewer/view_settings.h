// ViewSettings: the values the control panel edits and every frame reads.
#pragma once

struct Vec3f {
    float x, y, z;
};

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

extern ViewSettings viewSettings;
