// Pictures as corvane-render reads, writes and compares them: 8-bit RGB, top row first.
// Two pictures match when few enough pixels differ by more than a small channel tolerance, so
// that rounding noise of a software renderer passes and a real change to the scene fails.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;   // width * height * 3 bytes
};

// PNG (or any format stb_image reads); an alpha channel is dropped. False with a reason.
bool readPicture(const std::string& path, Picture& picture, std::string& error);
bool writePicture(const std::string& path, const Picture& picture);

struct Comparison {
    bool sizesDiffer = false;
    std::int64_t pixels = 0;            // in the frame
    std::int64_t differing = 0;         // pixels with a channel beyond the tolerance
    int largestDifference = 0;          // over every channel of every pixel both pictures have
    double share() const { return pixels ? double(differing) / double(pixels) : 0; }
    bool differs(double threshold) const { return sizesDiffer || share() > threshold; }
};

Comparison comparePictures(const Picture& frame, const Picture& reference, int tolerance);
// The frame dimmed to grey, with every differing pixel (and every pixel the reference lacks)
// in pure red.
Picture differencePicture(const Picture& frame, const Picture& reference, int tolerance);
// The one line that says how the frame differs from the reference file.
std::string describeDifference(const Comparison& comparison, const Picture& frame,
                               const Picture& reference, const std::string& referenceName,
                               int tolerance, double threshold);
