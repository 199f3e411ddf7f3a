// Feedback marks; see feedback_marks.h. A mark's value is its kind times 2^16 plus a number
// below 2^16, exact in a float.
#include "commands/feedback_marks.h"

#include <GL/gl.h>

namespace {
constexpr int kindScale = 1 << 16;
}

void putMark(FeedbackMark mark, int value) {
    glPassThrough(GLfloat(int(mark) * kindScale + value));
}

void putProjectionMark(const double (&matrix)[16]) {
    putMark(FeedbackMark::projection);
    for (double value : matrix) glPassThrough(GLfloat(value));
}

bool readMark(float passThrough, FeedbackMark& mark, int& value) {
    int whole = int(passThrough);
    int kind = whole / kindScale;
    if (float(whole) != passThrough || kind < int(FeedbackMark::textureOn) ||
        kind > int(FeedbackMark::projection))
        return false;
    mark = FeedbackMark(kind);
    value = whole % kindScale;
    return true;
}
