// Export as a user runs it, corvane-render -o NAME.glb, .gltf, .obj or .stl, every file read
// back: glTF with tinygltf's loader, OBJ and STL with the small readers below. Counts of what
// was drawn by each route, bounds and camera against the view, the textured scene, what each
// format leaves out, exit statuses and how the files are written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tiny_gltf.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <string>

#include "tests/scratch.h"

namespace {
struct Result {
    int status;
    std::string err;
};

struct Counts {
    std::size_t triangles = 0, lines = 0, points = 0;
    bool operator==(const Counts&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Counts& c) {
    return out << c.triangles << " triangles, " << c.lines << " lines, " << c.points << " points";
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override { directory = makeScratchDirectory("corvane-export-"); }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string write(const std::string& name, const std::string& text) {
        return writeFile(directory + "/" + name, text);
    }
    // Runs in the given directory (the scratch one by default), as a user would from there.
    Result render(const std::string& arguments, const std::string& in = "") {
        std::string err = directory + "/stderr";
        std::string command = "cd '" + (in.empty() ? directory : in) + "' && " CORVANE_RENDER " " +
                              arguments + " >/dev/null 2>" + err;
        int status = std::system(command.c_str());
        return {WEXITSTATUS(status), slurp(err)};
    }
    tinygltf::Model load(const std::string& path) {
        tinygltf::Model model;
        tinygltf::TinyGLTF loader;
        std::string error, warning;
        bool binary = path.size() > 4 && path.substr(path.size() - 4) == ".glb";
        bool loaded = binary ? loader.LoadBinaryFromFile(&model, &error, &warning, path)
                             : loader.LoadASCIIFromFile(&model, &error, &warning, path);
        EXPECT_TRUE(loaded) << path << ": " << error;
        return model;
    }
    std::string directory;
};

Counts countsOf(const tinygltf::Model& model) {
    Counts c;
    for (const tinygltf::Mesh& mesh : model.meshes)
        for (const tinygltf::Primitive& p : mesh.primitives) {
            std::size_t n = model.accessors[std::size_t(p.attributes.at("POSITION"))].count;
            if (p.mode == TINYGLTF_MODE_TRIANGLES) c.triangles += n / 3;
            if (p.mode == TINYGLTF_MODE_LINE) c.lines += n / 2;
            if (p.mode == TINYGLTF_MODE_POINTS) c.points += n;
        }
    return c;
}

// The box around every position, from the accessors' own bounds.
std::array<double, 6> boundsOf(const tinygltf::Model& model) {
    std::array<double, 6> b = {INFINITY, INFINITY, INFINITY, -INFINITY, -INFINITY, -INFINITY};
    for (const tinygltf::Mesh& mesh : model.meshes)
        for (const tinygltf::Primitive& p : mesh.primitives) {
            const tinygltf::Accessor& a = model.accessors[std::size_t(p.attributes.at("POSITION"))];
            for (std::size_t i = 0; i < 3; ++i) {
                b[i] = std::min(b[i], a.minValues[i]);
                b[i + 3] = std::max(b[i + 3], a.maxValues[i]);
            }
        }
    return b;
}

// A binary STL: its triangle count, and the count the file's size agrees with.
std::pair<std::uint32_t, std::size_t> readStl(const std::string& path) {
    std::string bytes = slurp(path);
    std::uint32_t count = 0;
    if (bytes.size() >= 84) std::memcpy(&count, bytes.data() + 80, 4);
    return {count, bytes.size() < 84 ? 0 : (bytes.size() - 84) / 50};
}

// An OBJ's faces, lines and points, and whether every element names vertices it defines.
Counts readObj(const std::string& path, bool& consistent) {
    std::istringstream in(slurp(path));
    Counts c;
    std::size_t vertices = 0;
    consistent = true;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string kind, corner;
        words >> kind;
        if (kind == "v") ++vertices;
        if (kind != "f" && kind != "l" && kind != "p") continue;
        std::size_t corners = 0;
        while (words >> corner) {
            ++corners;
            consistent &= std::stoul(corner) >= 1 && std::stoul(corner) <= vertices;
        }
        (kind == "f" ? c.triangles : kind == "l" ? c.lines : c.points) += 1;
        consistent &= corners == (kind == "f" ? 3u : kind == "l" ? 2u : 1u);
    }
    return c;
}

const char* const triangle = "Begin Triangles Vertex 0 0 -5 Vertex 1 0 -5 Vertex 0 1 -5 End\n";

// Everything a frame draws is captured, by whichever route it took.
TEST_F(ExportTest, EveryRouteIsCaptured) {
    const struct Case {
        const char* name;
        std::string script;
        Counts drawn;
    } cases[] = {
        {"immediate", triangle, {1, 0, 0}},
        {"quads", "Begin Quads Vertex 0 0 -5 Vertex 1 0 -5 Vertex 1 1 -5 Vertex 0 1 -5 End\n",
         {2, 0, 0}},
        {"lines and points",
         "Begin Lines Vertex 0 0 -5 Vertex 1 0 -5 Vertex 0 1 -5 Vertex 1 1 -5 End\n"
         "Begin Polygon Vertex 0 0 -6 Vertex 1 0 -6 Vertex 1 1 -6 Vertex 0 1 -6 Vertex 0 0.5 -6 End\n"
         "Begin Points Vertex 0 0 -5 Vertex 2 2 -5 Vertex 3 3 -5 End\n",
         {3, 2, 3}},
        {"display list", std::string("BeginList a\n") + triangle + "EndList\nCallList a\n"
                             "{ Translate 2 0 0 CallList a }\n", {2, 0, 0}},
        {"arrays", "VertexArray 4: 0 0 -5  1 0 -5  1 1 -5  0 1 -5\n"
                   "Begin Triangles Element 0 Element 1 Element 2 Element 0 Element 2 Element 3 End\n"
                   "Disable VertexArray\n", {2, 0, 0}},
        {"solid shape", "Translate 0 0 -5 Box\n", {12, 0, 0}},
        {"wireframe is not lines", "Translate 0 0 -5 Box\n", {12, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string script = write("route.txt", c.script);
        std::string options = std::string(c.name) == "wireframe is not lines" ? " --wireframe" : "";
        for (const char* frames : {"1", "2"}) {   // the second replays lists and the tape
            Result r = render(script + options + " --frames " + frames + " -o route.glb");
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(countsOf(load(directory + "/route.glb")), c.drawn) << frames << " frames";
        }
    }
    // NURBS: the surface as triangles, the curve as lines, sampled as finely as the frame
    // samples them, by their size on screen in the frame's own projection.
    Result r = render(CORVANE_SOURCE_DIR "/examples/nurbs.txt --size 100x51 -o nurbs.glb");
    EXPECT_EQ(r.status, 0) << r.err;
    Counts small = countsOf(load(directory + "/nurbs.glb"));
    r = render(CORVANE_SOURCE_DIR "/examples/nurbs.txt --size 1000x512 -o nurbs.glb");
    Counts large = countsOf(load(directory + "/nurbs.glb"));
    EXPECT_GT(small.triangles, 0u);
    EXPECT_GT(small.lines, 0u);
    EXPECT_GT(large.triangles, 10 * small.triangles);
}

// Positions are in the eye frame of the camera, which is the frame's view.
TEST_F(ExportTest, PositionsAndCameraFollowTheView) {
    std::string quad = write("quad.txt", "Begin Quads Vertex 0 0 -5 Vertex 1 0 -5 Vertex 1 1 -5 "
                                         "Vertex 0 1 -7 End\n");
    ASSERT_EQ(render(quad + " --size 400x200 --fov 30 --near 0.5 --far 50 -o q.glb").status, 0);
    tinygltf::Model model = load(directory + "/q.glb");
    EXPECT_EQ(boundsOf(model), (std::array<double, 6>{0, 0, -7, 1, 1, -5}));
    ASSERT_EQ(model.cameras.size(), 1u);
    const tinygltf::Camera& camera = model.cameras[0];
    EXPECT_EQ(camera.type, "perspective");
    EXPECT_NEAR(camera.perspective.yfov, 30 * std::numbers::pi / 180, 1e-6);
    EXPECT_NEAR(camera.perspective.aspectRatio, 2, 1e-6);
    EXPECT_NEAR(camera.perspective.znear, 0.5, 1e-5);
    EXPECT_NEAR(camera.perspective.zfar, 50, 1e-3);

    // An orthographic box off the axis: the camera stands at its centre, behind its near side.
    ASSERT_EQ(render(quad + " --orthographic --ortho-box -2,-1,-3,4,5,6 -o o.glb").status, 0);
    model = load(directory + "/o.glb");
    const tinygltf::Camera& box = model.cameras[0];
    EXPECT_EQ(box.type, "orthographic");
    EXPECT_NEAR(box.orthographic.xmag, 3, 1e-6);
    EXPECT_NEAR(box.orthographic.ymag, 3, 1e-6);
    EXPECT_NEAR(box.orthographic.znear, 0, 1e-5);
    EXPECT_NEAR(box.orthographic.zfar, 9, 1e-5);
    const tinygltf::Node& node = model.nodes[std::size_t(model.scenes[0].nodes.back())];
    EXPECT_EQ(node.camera, 0);
    ASSERT_EQ(node.translation.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(node.translation[std::size_t(i)], i + 1, 1e-5);

    // The trackball through ViewTransform: the centre lies the distance ahead of the eye.
    std::string centre = write("centre.txt", "ViewTransform Begin Points Vertex 0 0 0 End\n");
    ASSERT_EQ(render(centre + " --distance 7 --azimuth 1 --zenith 0.5 -o c.glb").status, 0);
    std::array<double, 6> b = boundsOf(load(directory + "/c.glb"));
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(b[std::size_t(i)], i == 2 ? -7 : 0, 1e-5) << i;
}

// Colours as drawn, texture coordinates, and the image embedded as PNG; a texture that
// replaces the colour leaves the colours out.
TEST_F(ExportTest, TexturedSceneCarriesItsImage) {
    Result r = render(CORVANE_SOURCE_DIR "/examples/textured.txt -o " + directory + "/t.glb",
                      CORVANE_SOURCE_DIR "/examples");
    ASSERT_EQ(r.status, 0) << r.err;
    tinygltf::Model model = load(directory + "/t.glb");
    ASSERT_EQ(model.images.size(), 1u);
    EXPECT_EQ(model.images[0].mimeType, "image/png");
    EXPECT_EQ(model.images[0].width, 64);
    EXPECT_EQ(model.images[0].height, 64);
    ASSERT_EQ(model.meshes.size(), 1u);
    int textured = 0, coloured = 0;
    for (const tinygltf::Primitive& p : model.meshes[0].primitives) {
        const tinygltf::Material& m = model.materials[std::size_t(p.material)];
        EXPECT_TRUE(m.extensions.count("KHR_materials_unlit"));
        textured += m.pbrMetallicRoughness.baseColorTexture.index >= 0 && p.attributes.count("TEXCOORD_0");
        coloured += p.attributes.count("COLOR_0") > 0;
    }
    EXPECT_EQ(textured, 2);   // the cube, modulated, and the floor, replaced
    EXPECT_EQ(coloured, 1);
}

// The same frame in each format: the same triangles, and a note of what a format leaves out.
TEST_F(ExportTest, EachFormatKeepsWhatItCan) {
    std::string script = write("mixed.txt", std::string(triangle) + "Translate 0 0 -5 Box\n"
                                            "Begin Lines Vertex 0 0 0 Vertex 1 1 1 End\n"
                                            "Begin Points Vertex 0 0 0 End\n");
    Result r = render(script + " -o m.glb");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    Counts glb = countsOf(load(directory + "/m.glb"));
    EXPECT_EQ(glb, (Counts{13, 1, 1}));

    r = render(script + " -o m.gltf");
    EXPECT_EQ(r.status, 0) << r.err;
    tinygltf::Model gltf = load(directory + "/m.gltf");
    EXPECT_EQ(countsOf(gltf), glb);
    EXPECT_EQ(gltf.buffers[0].uri, "m.bin");
    EXPECT_TRUE(std::filesystem::exists(directory + "/m.bin"));

    r = render(script + " -o m.obj");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "corvane-render: note: OBJ has no camera: it is left out\n");
    bool consistent = false;
    EXPECT_EQ(readObj(directory + "/m.obj", consistent), glb);
    EXPECT_TRUE(consistent);

    r = render(script + " -o m.stl");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "corvane-render: note: STL has no colours, 1 line, 1 point or camera: "
                     "they are left out\n");
    EXPECT_EQ(readStl(directory + "/m.stl"), (std::pair<std::uint32_t, std::size_t>{13, 13}));
}

// Statuses as for a picture; files written whole or not at all, with the user's permissions.
TEST_F(ExportTest, StatusesAndSafeFiles) {
    // A frame with messages exports what it drew and says why it exits 1.
    std::string broken = write("broken.txt", std::string(triangle) + "Foo\n");
    Result r = render(broken + " -o b.glb");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, broken + ":2:1: Unknown command \"Foo\"\n");
    EXPECT_EQ(countsOf(load(directory + "/b.glb")), (Counts{1, 0, 0}));
    // A frame that drew nothing: a valid empty file and a note.
    std::string empty = write("empty.txt", "# nothing\nTranslate 0 0 -5\n");
    for (const char* name : {"e.glb", "e.stl"}) {
        r = render(empty + " -o " + name);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.err.find("the frame drew nothing: " + std::string(name) + " holds no geometry"),
                  std::string::npos) << r.err;
    }
    EXPECT_EQ(countsOf(load(directory + "/e.glb")), Counts{});
    EXPECT_EQ(readStl(directory + "/e.stl"), (std::pair<std::uint32_t, std::size_t>{0, 0}));

    // The user's usual permissions; no partial file left beside.
    std::string good = write("good.txt", triangle);
    ASSERT_EQ(render(good + " -o g.obj").status, 0);
    struct stat status {};
    ASSERT_EQ(stat((directory + "/g.obj").c_str(), &status), 0);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);

    // Refused before any frame, nothing written: an unwritable or missing directory, a field,
    // a reference check of a model. A name without an extension is a picture, as always.
    std::filesystem::create_directory(directory + "/locked");
    std::filesystem::permissions(directory + "/locked", std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_exec);
    const std::pair<std::string, std::string> refused[] = {
        {"-o none/x.glb", "cannot write none/x.glb: there is no directory none"},
        {"-o f%02d.stl", "-o: \"f%02d.stl\": a model holds the last frame, so its name takes no "
                         "frame-number field"},
        {"-o x.glb --reference r.png", "--reference compares pictures: -o x.glb writes a model"},
    };
    for (const auto& [arguments, message] : refused) {
        r = render(good + " " + arguments);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "corvane-render: " + message + "\n");
    }
    if (geteuid() != 0) {   // root writes anywhere
        r = render(good + " -o locked/x.glb");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "corvane-render: cannot write locked/x.glb: permission denied\n");
    }
    ASSERT_EQ(render(good + " -o plain").status, 0);
    EXPECT_EQ(slurp(directory + "/plain").substr(1, 3), "PNG");
    int partials = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory))
        partials += entry.path().filename().string().find(".partial-") != std::string::npos;
    EXPECT_EQ(partials, 0);

    // A scene beyond what an export can hold (60 spheres of 32,768 triangles) is refused
    // whole, not cut short.
    std::string spheres = "BeginList s Sphere EndList\nBeginList m";
    for (int i = 0; i < 20; ++i) spheres += " CallList s";
    std::string huge = write("huge.txt", spheres + " EndList\nCallList m CallList m CallList m\n");
    r = render(huge + " --tessellation 128 -o huge.glb");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "corvane-render: cannot export huge.glb: the frame drew more than an export "
                     "can hold (about 1 million triangles)\n");
    EXPECT_FALSE(std::filesystem::exists(directory + "/huge.glb"));

    // An -o name is a file's name, never something ffmpeg reads as a protocol.
    std::filesystem::create_directory(directory + "/out:1");
    r = render(good + " --frames 2 -o out:1/v.gif");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(directory + "/out:1/v.gif"));
    r = render(good + " -o pipe:/v.gif");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "corvane-render: cannot write pipe:/v.gif: there is no directory pipe:\n");
}
}  // namespace
