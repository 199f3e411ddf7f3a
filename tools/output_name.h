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

// What -o writes: a picture (or with a frame-number field, one per frame), or a video, by the
// name's extension: .mp4, .webm or .gif.
bool writesPicture(const OutputName& name);
bool isSequence(const OutputName& name);
bool isVideo(const OutputName& name);
// The file name of one frame: the field filled with the frame number, or the single name.
std::string frameFileName(const OutputName& name, int frame);
