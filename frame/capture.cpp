// Capture of a frame's geometry through the GL's feedback mode. Feedback gives each vertex in
// window coordinates, clipped to the view; the eye coordinates come instead from texture
// coordinates that the GL generates from the eye position (GL_EYE_LINEAR), under a projection
// that clips nothing, so the whole scene is kept however far it reaches. Normals come from a
// second run with GL_NORMAL_MAP generation, the script's own texture coordinates from a third,
// made only when a textured primitive was drawn. The GL generates coordinates only while a
// texture target is on, so a 1x1 cube map is on, under the script's own 2D texture.
// Meanwhile the script's projection commands only mark their matrices (camera.h); what each
// one drew is moved to where it showed, as seen through the camera that drew the most.
#include "frame/capture.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <stb_image.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

#include "commands/camera.h"
#include "commands/feedback_marks.h"
#include "commands/render_state.h"
#include "commands/texture_file.h"
#include "frame/frame.h"
#include "interpreter/runner.h"
#include "scene/view_settings.h"

namespace {
// Room for a frame's feedback, reserved but backed by memory only as far as the frame writes,
// a third for each run: 2^27 values hold three runs of about 1.1 million triangles.
constexpr std::size_t feedbackRoom = std::size_t(1) << 27;
constexpr std::size_t runRoom = feedbackRoom / 3;
constexpr int valuesPerVertex = 12;   // GL_4D_COLOR_TEXTURE: x y z w, r g b a, s t r q
// Clip coordinates of (x, y, z) are (x, y, z, noClipW): no coordinate a float holds is clipped.
constexpr float noClipW = 1e30f;

using Matrix = std::array<double, 16>;   // column by column, as the GL keeps it
using Values = std::array<float, 4>;

enum class Pass { positions, normals, texCoords };

struct Primitive {
    CapturedKind kind;
    std::array<int, 3> corners;   // vertex numbers; 1, 2 or 3 of them used
    int image;                    // -1: untextured
    bool replace;
    int projection;               // index into the projections marked, -1 before the first
};

// One run's feedback: where each vertex's values lie in the feedback buffer (the runs fill
// one region after another, so all stay readable), and the primitives.
struct Feedback {
    std::vector<const float*> vertices;
    std::vector<Primitive> primitives;
    std::vector<Matrix> projections;
    bool textured = false;
};

Pass pass = Pass::positions;   // of the run under way

float* feedbackBuffer() {
    static float* buffer = [] {
        void* room = mmap(nullptr, feedbackRoom * sizeof(float), PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        return room == MAP_FAILED ? nullptr : static_cast<float*>(room);
    }();
    return buffer;
}

GLuint unitCubeMap() {
    static GLuint cube = 0;
    if (cube == 0) {
        const unsigned char white[3] = {255, 255, 255};
        glGenTextures(1, &cube);
        glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
        for (int face = 0; face < 6; ++face)
            glTexImage2D(GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face), 0, GL_RGB, 1, 1, 0,
                         GL_RGB, GL_UNSIGNED_BYTE, white);
    }
    return cube;
}

// Inside the frame, once its attributes are saved and the model-view matrix is the identity.
void prepareRun() {
    const GLfloat noClip[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, noClipW};
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(noClip);
    glMatrixMode(GL_MODELVIEW);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);   // in wireframe a polygon comes as lines
    glDisable(GL_CULL_FACE);
    glBindTexture(GL_TEXTURE_CUBE_MAP, unitCubeMap());
    glEnable(GL_TEXTURE_CUBE_MAP);
    const GLenum coords[4] = {GL_S, GL_T, GL_R, GL_Q};
    const GLenum generation[4] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R,
                                  GL_TEXTURE_GEN_Q};
    for (int i = 0; i < 4; ++i) {
        GLfloat plane[4] = {0, 0, 0, 0};
        plane[i] = 1;
        glTexGenfv(coords[i], GL_EYE_PLANE, plane);
        glTexGeni(coords[i], GL_TEXTURE_GEN_MODE,
                  pass == Pass::positions ? GL_EYE_LINEAR : GL_NORMAL_MAP);
        if (pass == Pass::positions || (pass == Pass::normals && i < 3))
            glEnable(generation[i]);
        else
            glDisable(generation[i]);
    }
}

struct MarkState {
    bool textureOn = false, replace = false;
    int image = -1, projection = -1;
};

const float* readMarkAt(const float* at, const float* end, MarkState& state, Feedback& feedback) {
    FeedbackMark mark;
    int value = 0;
    if (!readMark(*at++, mark, value)) return at;
    switch (mark) {
    case FeedbackMark::textureOn: state.textureOn = true; break;
    case FeedbackMark::textureOff: state.textureOn = false; break;
    case FeedbackMark::modulate: state.replace = false; break;
    case FeedbackMark::replace: state.replace = true; break;
    case FeedbackMark::image: state.image = value; break;
    case FeedbackMark::projection: {
        Matrix matrix{};
        for (double& v : matrix)
            if (at + 2 <= end && int(at[0]) == GL_PASS_THROUGH_TOKEN) v = at[1], at += 2;
        feedback.projections.push_back(matrix);
        state.projection = int(feedback.projections.size()) - 1;
        break;
    }
    }
    return at;
}

void addPrimitive(Feedback& feedback, const MarkState& state, CapturedKind kind,
                  std::array<int, 3> corners) {
    bool textured = state.textureOn && state.image >= 0;
    feedback.textured |= textured;
    feedback.primitives.push_back(
        {kind, corners, textured ? state.image : -1, textured && state.replace, state.projection});
}

// The vertices and primitives of one run. A polygon comes as a fan, which Mesa has already
// cut into triangles; bitmaps and pixel rectangles are skipped.
Feedback readFeedback(const float* at, const float* end) {
    Feedback feedback;
    feedback.vertices.reserve(std::size_t(end - at) / valuesPerVertex);
    feedback.primitives.reserve(std::size_t(end - at) / (3 * valuesPerVertex + 2));
    MarkState state;
    state.image = currentImage();
    auto vertex = [&] {
        feedback.vertices.push_back(at);
        at += valuesPerVertex;
        return int(feedback.vertices.size()) - 1;
    };
    while (at < end) {
        int token = int(*at++);
        if (token == GL_PASS_THROUGH_TOKEN) {
            at = readMarkAt(at, end, state, feedback);
        } else if (token == GL_POINT_TOKEN) {
            addPrimitive(feedback, state, CapturedKind::points, {vertex(), 0, 0});
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            int a = vertex();
            addPrimitive(feedback, state, CapturedKind::lines, {a, vertex(), 0});
        } else if (token == GL_POLYGON_TOKEN) {
            int count = int(*at++);
            int first = vertex(), previous = count > 1 ? vertex() : first;
            for (int i = 2; i < count; ++i) {
                int next = vertex();
                addPrimitive(feedback, state, CapturedKind::triangles, {first, previous, next});
                previous = next;
            }
        } else {   // a bitmap or a pixel rectangle: one vertex, not geometry
            at += valuesPerVertex;
        }
    }
    return feedback;
}

// Standard output belongs to the script: a run made again must not print its lines twice.
class QuietStdout {
public:
    explicit QuietStdout(bool quiet) {
        if (!quiet) return;
        std::fflush(stdout);
        saved = dup(1);
        int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) dup2(null, 1), close(null);
    }
    ~QuietStdout() {
        if (saved < 0) return;
        std::fflush(stdout);
        dup2(saved, 1);
        close(saved);
    }

private:
    int saved = -1;
};

// One run of the frame in feedback mode. A run after the first starts the script afresh where
// the first stopped at an error: the runner would not run that version again.
bool runOnce(Pass which, bool again, Feedback& feedback, bool& ran, std::string& error) {
    static std::size_t filled = 0;   // by the runs before this one
    if (!again) filled = 0;
    float* buffer = feedbackBuffer();
    if (!buffer) {
        error = "no memory for the capture";
        return false;
    }
    buffer += filled;
    QuietStdout quiet(again);
    if (again && !ran) resetRunner();
    pass = which;
    glFeedbackBuffer(GLsizei(runRoom), GL_4D_COLOR_TEXTURE, buffer);
    glRenderMode(GL_FEEDBACK);
    holdProjection(true);
    bool result = drawFrame(prepareRun);
    holdProjection(false);
    GLint used = glRenderMode(GL_RENDER);
    if (!again) ran = result;
    if (used < 0) {
        error = "the frame drew more than an export can hold (about " +
                std::to_string(runRoom / (3 * valuesPerVertex + 2) / 1000000) +
                " million triangles)";
        return false;
    }
    filled += std::size_t(used);
    feedback = readFeedback(buffer, buffer + used);
    return true;
}

bool sameShape(const Feedback& a, const Feedback& b) {
    if (a.primitives.size() != b.primitives.size() || a.vertices.size() != b.vertices.size())
        return false;
    for (std::size_t i = 0; i < a.primitives.size(); ++i)
        if (a.primitives[i].kind != b.primitives[i].kind) return false;
    return true;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix product{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k) product[4 * c + r] += a[4 * k + r] * b[4 * c + k];
    return product;
}

// The inverse by cofactors; all zeros for a singular matrix.
Matrix inverse(const Matrix& m) {
    Matrix inv{};
    auto at = [&](int r, int c) { return m[4 * c + r]; };
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            int rows[3], cols[3];
            for (int i = 0, k = 0; i < 4; ++i) if (i != r) rows[k++] = i;
            for (int i = 0, k = 0; i < 4; ++i) if (i != c) cols[k++] = i;
            double minor = 0;
            for (int p = 0; p < 3; ++p)
                minor += at(rows[0], cols[p]) *
                         (at(rows[1], cols[(p + 1) % 3]) * at(rows[2], cols[(p + 2) % 3]) -
                          at(rows[1], cols[(p + 2) % 3]) * at(rows[2], cols[(p + 1) % 3]));
            inv[4 * r + c] = ((r + c) % 2 ? -minor : minor);   // transposed: the adjugate
        }
    double det = 0;
    for (int c = 0; c < 4; ++c) det += at(0, c) * inv[4 * c + 0];
    for (double& v : inv) v = det != 0 ? v / det : 0;
    return inv;
}

bool zeroAt(const Matrix& m, std::initializer_list<int> at) {
    for (int i : at)
        if (m[i] != 0) return false;
    return true;
}

// The camera a glTF viewer can show for projection p, and the projection k it stands for:
// p itself where it is a symmetric perspective or an axis-aligned box in front of the eye;
// otherwise a plain perspective or box, the geometry moved so that it shows as p showed it.
CapturedCamera cameraFor(const Matrix& p, double aspect, Matrix& k) {
    CapturedCamera camera;
    k = p;
    if (zeroAt(p, {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15}) && p[11] == -1 && p[0] > 0 && p[5] > 0) {
        double near = p[14] / (p[10] - 1), far = p[14] / (p[10] + 1);
        if (near > 0 && far > near) {
            camera.yfov = 2 * std::atan(1 / p[5]);
            camera.aspect = p[5] / p[0];
            camera.znear = near;
            camera.zfar = far;
            return camera;
        }
    }
    if (zeroAt(p, {1, 2, 3, 4, 6, 7, 8, 9, 11}) && p[15] == 1 && p[0] > 0 && p[5] > 0 && p[10] < 0) {
        double near = (p[14] + 1) / p[10], far = (p[14] - 1) / p[10];
        camera.orthographic = true;
        camera.xmag = 1 / p[0];
        camera.ymag = 1 / p[5];
        camera.position = {-p[12] / p[0], -p[13] / p[5], std::max(0.0, -near)};
        camera.znear = near + camera.position[2];
        camera.zfar = far + camera.position[2];
        return camera;
    }
    bool affine = zeroAt(p, {3, 7, 11}) && p[15] != 0;
    Matrix plain = affine ? Matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}
                          : Matrix{1 / aspect, 0, 0, 0, 0, 1, 0, 0, 0, 0, -101.0 / 99, -1,
                                   0, 0, -200.0 / 99, 0};
    return cameraFor(plain, aspect, k);
}

// The projection that drew the most vertices; the first marked when none drew any.
int mainProjection(const Feedback& f) {
    std::vector<std::size_t> drawn(f.projections.size());
    for (const Primitive& p : f.primitives)
        if (p.projection >= 0) drawn[std::size_t(p.projection)] += 3;
    int best = f.projections.empty() ? -1 : 0;
    for (std::size_t i = 0; i < drawn.size(); ++i)
        if (drawn[i] > drawn[std::size_t(best)]) best = int(i);
    return best;
}

std::array<float, 3> unit(const float* v) {
    double length = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
    if (!(length > 0) || !std::isfinite(length)) return {0, 0, 0};
    return {float(v[0] / length), float(v[1] / length), float(v[2] / length)};
}

// A triangle faces the way its vertices' normals point, as glTF and STL read a front face.
void orient(std::vector<CapturedVertex>& v) {
    std::size_t n = v.size();
    const auto &a = v[n - 3].position, &b = v[n - 2].position, &c = v[n - 1].position;
    double u[3], w[3], facing = 0;
    for (int i = 0; i < 3; ++i) u[i] = b[i] - a[i], w[i] = c[i] - a[i];
    double cross[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
    for (std::size_t k = n - 3; k < n; ++k)
        for (int i = 0; i < 3; ++i) facing += cross[i] * v[k].normal[i];
    if (facing < 0) std::swap(v[n - 2], v[n - 1]);
}

CapturedImage readImage(const std::string& file) {
    CapturedImage image;
    image.file = file;
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    std::vector<unsigned char> bytes;
    int channels = 0;
    if (!readTextureFile(file, largest, bytes)) return image;
    unsigned char* pixels = stbi_load_from_memory(bytes.data(), int(bytes.size()), &image.width,
                                                  &image.height, &channels, 4);
    if (pixels) image.rgba.assign(pixels, pixels + std::size_t(image.width) * image.height * 4);
    stbi_image_free(pixels);
    return image;
}

// What one primitive became: its vertices in the camera's eye frame, or none when it lay
// behind the eye of the projection that drew it.
bool place(const Feedback& at, const Feedback* normals, const Feedback* texCoords,
           const Primitive& p, const Matrix* move, std::vector<CapturedVertex>& into) {
    int count = p.kind == CapturedKind::points ? 1 : p.kind == CapturedKind::lines ? 2 : 3;
    for (int i = 0; i < count; ++i) {
        std::size_t v = std::size_t(p.corners[std::size_t(i)]);
        const float* eye = at.vertices[v] + 8;
        double q = eye[3] != 0 ? eye[3] : 1, position[4] = {eye[0] / q, eye[1] / q, eye[2] / q, 1};
        if (move) {
            double moved[4] = {0, 0, 0, 0};
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) moved[r] += (*move)[std::size_t(4 * c + r)] * position[c];
            if (!(moved[3] > 0)) return false;
            for (double& m : moved) m /= moved[3];
            std::copy(moved, moved + 4, position);
        }
        CapturedVertex vertex{};
        for (int k = 0; k < 3; ++k) vertex.position[std::size_t(k)] = float(position[k]);
        std::copy(at.vertices[v] + 4, at.vertices[v] + 8, vertex.colour.begin());
        if (normals) vertex.normal = unit(normals->vertices[v] + 8);
        if (texCoords) {
            const float* st = texCoords->vertices[v] + 8;
            float q = st[3] != 0 ? st[3] : 1;
            vertex.texCoord = {st[0] / q, st[1] / q};
        }
        into.push_back(vertex);
    }
    return true;
}
}  // namespace

bool captureFrame(CapturedScene& scene, std::string& error) {
    scene = {};
    error.clear();
    Feedback at, normals, texCoords;
    bool ran = true;
    if (!runOnce(Pass::positions, false, at, ran, error)) return ran;
    bool haveNormals = !at.primitives.empty() &&
                       runOnce(Pass::normals, true, normals, ran, error) && sameShape(at, normals);
    bool haveTexCoords = at.textured && runOnce(Pass::texCoords, true, texCoords, ran, error) &&
                         sameShape(at, texCoords);
    if (!error.empty()) return ran;
    if (!at.primitives.empty() && (!haveNormals || (at.textured && !haveTexCoords)))
        scene.notes.push_back("the frame drew otherwise when run again: its normals or texture "
                              "coordinates are left out");

    // The camera: the projection that drew most, in a form a viewer can show.
    const ViewSettings& view = viewSettings();
    double aspect = double(view.windowWidth) / std::max(view.windowHeight, 1);
    int main = mainProjection(at);
    const Matrix identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Matrix shown;
    scene.camera = cameraFor(main >= 0 ? at.projections[std::size_t(main)] : identity, aspect, shown);
    Matrix fromClip = inverse(shown);
    std::vector<Matrix> moves;
    for (std::size_t i = 0; i < at.projections.size(); ++i)
        moves.push_back(multiply(fromClip, at.projections[i]));

    // Each primitive's batch, by its kind and look; then the batches filled, room made first.
    std::map<std::tuple<CapturedKind, int, bool>, std::size_t> batchOf;
    std::map<int, int> imageOf;
    std::vector<std::size_t> batchOfPrimitive(at.primitives.size()), sizes;
    for (std::size_t i = 0; i < at.primitives.size(); ++i) {
        const Primitive& p = at.primitives[i];
        int image = -1;
        if (p.image >= 0 && haveTexCoords) {
            auto [known, added] = imageOf.emplace(p.image, int(scene.images.size()));
            if (added) scene.images.push_back(readImage(markedImages()[std::size_t(p.image)]));
            image = scene.images[std::size_t(known->second)].rgba.empty() ? -1 : known->second;
        }
        auto key = std::tuple(p.kind, image, p.replace && image >= 0);
        auto [found, added] = batchOf.emplace(key, scene.batches.size());
        if (added) scene.batches.push_back({p.kind, image, std::get<2>(key), {}}), sizes.push_back(0);
        batchOfPrimitive[i] = found->second;
        sizes[found->second] += p.kind == CapturedKind::triangles ? 3 : p.kind == CapturedKind::lines ? 2 : 1;
    }
    for (std::size_t b = 0; b < sizes.size(); ++b) scene.batches[b].vertices.reserve(sizes[b]);
    std::vector<bool> moved;
    for (const Matrix& move : moves) moved.push_back(move != identity);
    std::size_t behind = 0;
    for (std::size_t i = 0; i < at.primitives.size(); ++i) {
        const Primitive& p = at.primitives[i];
        CapturedBatch& batch = scene.batches[batchOfPrimitive[i]];
        bool move = p.projection >= 0 && moved[std::size_t(p.projection)];
        if (!place(at, haveNormals ? &normals : nullptr, haveTexCoords ? &texCoords : nullptr, p,
                   move ? &moves[std::size_t(p.projection)] : nullptr, batch.vertices))
            ++behind;
        else if (p.kind == CapturedKind::triangles && haveNormals)
            orient(batch.vertices);
    }
    if (behind > 0)
        scene.notes.push_back(std::to_string(behind) + " primitives drawn behind the eye of a "
                              "projection of the script's own are left out");
    return ran;
}
