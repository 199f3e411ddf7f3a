// The -o name: a single picture, a numbered picture sequence or a video, told apart by its
// frame-number field and its extension. A name holding "%" is a frame-number pattern, checked
// here so that no user text ever reaches a printf-style call unchecked.
#pragma once

#include <string>

// An -o name split around its frame-number field. A name without a field is all prefix.
struct OutputName {
    std::string prefix;   // literal text before the field, "%%" already made "%"
    std::string field;    // the checked conversion, such as "%04d"; empty for a single picture
    std::string suffix;   // literal text after it
};

// Splits text into name; returns why it is refused, or "".
std::string readOutputName(const std::string& text, OutputName& name);

// What -o writes, by the name's extension: a picture (or with a frame-number field, one per
// frame), a video (.mp4, .webm or .gif) or a model of the last frame (.glb, .gltf, .obj, .stl).
bool writesPicture(const OutputName& name);
bool isSequence(const OutputName& name);
bool isVideo(const OutputName& name);
bool isModel(const OutputName& name);
// A file name's extension in lower case, the dot included; "" for none.
std::string outputExtension(const std::string& name);
// The file name of one frame: the field filled with the frame number, or the single name.
std::string frameFileName(const OutputName& name, int frame);
