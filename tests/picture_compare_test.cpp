// The reference comparison: which pixels differ, when a frame differs, and the diff picture.
#include <gtest/gtest.h>

#include <string>

#include "tools/picture_compare.h"

namespace {
// A w x h picture of one colour.
Picture filled(int w, int h, unsigned char r, unsigned char g, unsigned char b) {
    Picture p{w, h, {}};
    for (int i = 0; i < w * h; ++i) p.rgb.insert(p.rgb.end(), {r, g, b});
    return p;
}

void paint(Picture& p, int x, int y, unsigned char r, unsigned char g, unsigned char b) {
    unsigned char* at = &p.rgb[(std::size_t(y) * p.width + x) * 3];
    at[0] = r, at[1] = g, at[2] = b;
}

struct CompareCase {
    const char* what;
    int changedPixels;      // pixels of a 10x10 grey picture changed in their green channel
    int change;             // by this much (negative: down)
    int tolerance;
    double threshold;
    int differing;
    int largest;
    bool differs;
};

TEST(PictureCompare, PixelsDifferBeyondTheToleranceFramesBeyondTheThreshold) {
    const CompareCase cases[] = {
        {"identical", 0, 0, 8, 0.001, 0, 0, false},
        {"noise within the tolerance", 100, 8, 8, 0.001, 0, 8, false},
        {"one step beyond it", 1, 9, 8, 0.001, 1, 9, true},
        {"darker counts alike", 1, -9, 8, 0.001, 1, 9, true},
        {"share equal to the threshold", 5, 50, 8, 0.05, 5, 50, false},
        {"share above the threshold", 6, 50, 8, 0.05, 6, 50, true},
        {"zero tolerance", 1, 1, 0, 0, 1, 1, true},
        {"threshold 1 accepts everything", 100, 255 - 100, 0, 1, 100, 155, false},
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE(c.what);
        Picture reference = filled(10, 10, 100, 100, 100), frame = reference;
        for (int i = 0; i < c.changedPixels; ++i)
            paint(frame, i % 10, i / 10, 100, (unsigned char)(100 + c.change), 100);
        Comparison result = comparePictures(frame, reference, c.tolerance);
        EXPECT_FALSE(result.sizesDiffer);
        EXPECT_EQ(result.pixels, 100);
        EXPECT_EQ(result.differing, c.differing);
        EXPECT_EQ(result.largestDifference, c.largest);
        EXPECT_EQ(result.differs(c.threshold), c.differs);
    }
}

TEST(PictureCompare, AnotherSizeIsADifferenceSaidClearly) {
    Picture frame = filled(4, 3, 0, 0, 51), reference = filled(3, 3, 0, 0, 51);
    Comparison result = comparePictures(frame, reference, 255);
    EXPECT_TRUE(result.sizesDiffer);
    EXPECT_TRUE(result.differs(1.0));
    EXPECT_EQ(result.differing, 3);   // the column the reference lacks
    EXPECT_EQ(describeDifference(result, frame, reference, "ref.png", 255, 1.0),
              "the frame is 4x3 pixels but ref.png is 3x3");

    Picture smaller = filled(2, 2, 0, 0, 51);
    EXPECT_TRUE(comparePictures(smaller, frame, 0).differs(1.0));
}

TEST(PictureCompare, DifferenceLineAndPicture) {
    Picture reference = filled(40, 25, 200, 200, 200), frame = reference;
    paint(frame, 1, 2, 200, 0, 200);
    paint(frame, 3, 4, 208, 200, 200);   // within the tolerance
    Comparison result = comparePictures(frame, reference, 8);
    EXPECT_EQ(describeDifference(result, frame, reference, "ref.png", 8, 0.0001),
              "the frame differs from ref.png: 1 of 1000 pixels (0.1%, more than the threshold "
              "0.01%) differ by more than 8 in a channel; the largest channel difference is 200");

    Picture diff = differencePicture(frame, reference, 8);
    ASSERT_EQ(diff.width, 40);
    ASSERT_EQ(diff.height, 25);
    auto at = [&](int x, int y) { return &diff.rgb[(std::size_t(y) * 40 + x) * 3]; };
    EXPECT_EQ(at(1, 2)[0], 255);   // the differing pixel in red
    EXPECT_EQ(at(1, 2)[1], 0);
    EXPECT_EQ(at(3, 4)[0], at(3, 4)[2]);   // the others dimmed to grey
    EXPECT_EQ(at(0, 0)[0], 66);
    EXPECT_EQ(at(0, 0)[1], 66);

    Picture wider = filled(41, 25, 200, 200, 200);
    Picture edge = differencePicture(wider, reference, 8);
    EXPECT_EQ(edge.rgb[40 * 3], 255);   // the column the reference lacks is red
}
}  // namespace
