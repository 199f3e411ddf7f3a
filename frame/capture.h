// Capture: what the last frame drew, as geometry rather than pixels, for export. The frame runs
// in the GL's feedback mode, which hands back every vertex it would have drawn by every route
// (immediate primitives, display lists, vertex arrays, the solid shapes, NURBS), with its colour
// as lit. Three runs of the same frame give positions, normals and texture coordinates in turn.
#pragma once

#include <array>
#include <string>
#include <vector>

struct CapturedVertex {
    std::array<float, 3> position;   // in the eye frame of the camera below
    std::array<float, 3> normal;     // unit length, or 0 where the frame drew none
    std::array<float, 4> colour;     // as lit, before any texture
    std::array<float, 2> texCoord;
};

enum class CapturedKind { points, lines, triangles };

// Primitives of one kind drawn with one look, in the order drawn: 1, 2 or 3 vertices each.
struct CapturedBatch {
    CapturedKind kind;
    int image;       // the texture's image in CapturedScene::images, -1 when untextured
    bool replace;    // the texture alone gives the colour (TextureMode Replace)
    std::vector<CapturedVertex> vertices;
};

struct CapturedImage {
    std::string file;                  // as TextureImage loaded it
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;   // top row first
};

// The view: the projection that drew most of the frame, from the origin of the eye frame, looking
// down -z with +y up. An orthographic box off the axis moves the camera to its centre.
struct CapturedCamera {
    bool orthographic = false;
    double yfov = 0, aspect = 1, znear = 0, zfar = 0;   // perspective
    double xmag = 0, ymag = 0;                          // orthographic, with znear and zfar
    std::array<double, 3> position = {0, 0, 0};
};

struct CapturedScene {
    std::vector<CapturedBatch> batches;
    std::vector<CapturedImage> images;
    CapturedCamera camera;
    std::vector<std::string> notes;    // what the capture could not keep
};

// Runs the frame (as drawFrame does) and captures what it drew. Returns runScript's result; on
// a capture that failed (the frame drew more than can be held), error says why.
bool captureFrame(CapturedScene& scene, std::string& error);
