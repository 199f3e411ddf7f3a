// Model export: the geometry a frame drew (frame/capture.h) written as glTF 2.0 (.glb, or .gltf
// with its .bin beside it), OBJ with vertex colours, or binary STL, by the name's extension.
// glTF holds it all: colours as drawn with an unlit material, normals, texture coordinates
// and the images as PNG, points and lines, and the camera. The others keep what they can, and
// the notes say what was left out.
#pragma once

#include <string>
#include <vector>

#include "frame/capture.h"

// Writes the scene under path through a partial file beside it. False, with the reason, when
// it cannot be written; then nothing is left under the name.
bool writeModel(const CapturedScene& scene, const std::string& path,
                std::vector<std::string>& notes, std::string& error);
