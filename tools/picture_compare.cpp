// Reading, writing and comparing pictures for corvane-render's reference checks.
#include "tools/picture_compare.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {
bool inside(const Picture& picture, int x, int y) { return x < picture.width && y < picture.height; }

const unsigned char* pixelAt(const Picture& picture, int x, int y) {
    return &picture.rgb[(std::size_t(y) * picture.width + x) * 3];
}

// The largest of the three channel differences between two pixels.
int channelDifference(const unsigned char* a, const unsigned char* b) {
    return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

std::string percent(double share) {
    std::ostringstream text;
    text.precision(3);
    text << share * 100 << "%";
    return text.str();
}
}  // namespace

bool readPicture(const std::string& path, Picture& picture, std::string& error) {
    int channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &picture.width, &picture.height, &channels, 3);
    if (!pixels) {
        error = stbi_failure_reason();
        return false;
    }
    picture.rgb.assign(pixels, pixels + std::size_t(picture.width) * picture.height * 3);
    stbi_image_free(pixels);
    return true;
}

bool writePicture(const std::string& path, const Picture& picture) {
    return stbi_write_png(path.c_str(), picture.width, picture.height, 3, picture.rgb.data(),
                          picture.width * 3) != 0;
}

Comparison comparePictures(const Picture& frame, const Picture& reference, int tolerance) {
    Comparison result;
    result.sizesDiffer = frame.width != reference.width || frame.height != reference.height;
    result.pixels = std::int64_t(frame.width) * frame.height;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            if (!inside(reference, x, y)) {
                ++result.differing;
                continue;
            }
            int difference = channelDifference(pixelAt(frame, x, y), pixelAt(reference, x, y));
            result.largestDifference = std::max(result.largestDifference, difference);
            if (difference > tolerance) ++result.differing;
        }
    return result;
}

Picture differencePicture(const Picture& frame, const Picture& reference, int tolerance) {
    Picture out = frame;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            const unsigned char* p = pixelAt(frame, x, y);
            unsigned char* o = &out.rgb[(std::size_t(y) * frame.width + x) * 3];
            if (!inside(reference, x, y) ||
                channelDifference(p, pixelAt(reference, x, y)) > tolerance) {
                o[0] = 255, o[1] = 0, o[2] = 0;
            } else {
                // A third of the luminance: dark enough for red to stand out everywhere.
                auto grey = (unsigned char)((p[0] * 30 + p[1] * 59 + p[2] * 11) / 300);
                o[0] = o[1] = o[2] = grey;
            }
        }
    return out;
}

std::string describeDifference(const Comparison& comparison, const Picture& frame,
                               const Picture& reference, const std::string& referenceName,
                               int tolerance, double threshold) {
    std::ostringstream line;
    if (comparison.sizesDiffer) {
        line << "the frame is " << frame.width << "x" << frame.height << " pixels but "
             << referenceName << " is " << reference.width << "x" << reference.height;
        return line.str();
    }
    line << "the frame differs from " << referenceName << ": " << comparison.differing << " of "
         << comparison.pixels << " pixels (" << percent(comparison.share())
         << ", more than the threshold " << percent(threshold) << ") differ by more than "
         << tolerance << " in a channel; the largest channel difference is "
         << comparison.largestDifference;
    return line.str();
}
