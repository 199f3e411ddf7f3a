// Render state and the one texture: the switches and their messages, what groups and frames
// undo, textured quads from images of every channel count, and failed loads.
#include <GL/gl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <vector>

#include "commands/render_state.h"
#include "interpreter/gl_state.h"
#include "interpreter/runner.h"
#include "tests/gl_test.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace {
using Colour = std::array<int, 3>;

// The four quadrants of the test images, as RGBA; 1- and 2-channel images take the first
// component as luminance (and the last as alpha).
constexpr unsigned char quadrantColours[4][4] = {
    {220, 30, 60, 255}, {40, 200, 90, 128}, {70, 110, 240, 255}, {250, 250, 20, 64}};

// What a quadrant shows when the texture replaces the colour.
Colour replaced(int quadrant, int channels) {
    const unsigned char* c = quadrantColours[quadrant];
    return channels < 3 ? Colour{c[0], c[0], c[0]} : Colour{c[0], c[1], c[2]};
}

// A square quad filling the drawing area, its texture's first rows at the bottom.
const std::string quad =
    "Begin Quads\nTextureCoord 0 0 Vertex -1 -1 -2\nTextureCoord 1 0 Vertex 1 -1 -2\n"
    "TextureCoord 1 1 Vertex 1 1 -2\nTextureCoord 0 1 Vertex -1 1 -2\nEnd\n";

class RenderStateTest : public GlTest {
protected:
    // A 6x6 image of four 3x3 quadrants: rows of 6, 12 or 18 bytes, so only byte-aligned
    // uploads come out right. The file's first rows go to t = 0.
    std::string writeImage(const std::string& name, int channels) {
        std::vector<unsigned char> pixels;
        for (int row = 0; row < 6; ++row)
            for (int column = 0; column < 6; ++column) {
                const unsigned char* c = quadrantColours[(row / 3) * 2 + column / 3];
                if (channels < 3) pixels.push_back(c[0]);
                if (channels == 2) pixels.push_back(c[3]);
                if (channels >= 3) pixels.insert(pixels.end(), c, c + channels);
            }
        std::string path = directory + "/" + name;
        EXPECT_NE(stbi_write_png(path.c_str(), 6, 6, channels, pixels.data(), 6 * channels), 0);
        return path;
    }
    std::string writeFile(const std::string& name, const std::string& bytes) {
        std::string path = directory + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // Quadrants in the order of quadrantColours: bottom left, bottom right, top left, top right.
    std::array<Colour, 4> quadrants() {
        return {pixel(32, 32), pixel(96, 32), pixel(32, 96), pixel(96, 96)};
    }
    void expectQuadrants(int channels) {
        auto shown = quadrants();
        for (int q = 0; q < 4; ++q) expectColour(shown[q], replaced(q, channels));
    }
    static void expectColour(Colour shown, Colour expected) {
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(shown[i], expected[i], 2) << "component " << i;
    }
    // Texture objects alive among the first names the GL hands out.
    static int liveTextures() {
        int live = 0;
        for (GLuint name = 1; name <= 400; ++name) live += glIsTexture(name);
        return live;
    }
};

TEST_F(RenderStateTest, SwitchesModesAndMessages) {
    struct Case {
        const char* script;
        bool result;
        const char* log;
        bool texture, lighting, depthTest;
        GLint mode;
    };
    const Case cases[] = {
        {"Enable Texture Disable Lighting Disable DepthTest TextureMode Replace", true, "",
         true, false, false, GL_REPLACE},
        {"Enable texture", false, "Invalid state \"texture\" followed Enable\n", false, true,
         true, GL_MODULATE},
        {"Disable DEPTHTEST Disable Lighting", false,
         "Invalid state \"DEPTHTEST\" followed Disable\n", false, false, true, GL_MODULATE},
        {"Box Enable", false, "Invalid state \"\" followed Enable\n", false, true, true,
         GL_MODULATE},
        {"TextureMode Decal", false, "Invalid mode \"Decal\" followed TextureMode\n", false, true,
         true, GL_MODULATE},
        {"TextureMode replace TextureMode Replace", false,
         "Invalid mode \"replace\" followed TextureMode\n", false, true, true, GL_REPLACE},
        {"TextureImage missing.png", true, "", false, true, true, GL_MODULATE},
        {"Box TextureImage", true, "", false, true, true, GL_MODULATE},
        // A group saves the lighting switch and nothing else of these.
        {"{ Disable Lighting Disable DepthTest Enable Texture TextureMode Replace }", true, "",
         true, true, false, GL_REPLACE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        writeScript(c.script);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        EXPECT_EQ(runScript(), c.result);
        EXPECT_EQ(logOf(), c.log);
        EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), c.texture);
        EXPECT_EQ(glIsEnabled(GL_LIGHTING), c.lighting);
        EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), c.depthTest);
        GLint mode = 0;
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
        EXPECT_EQ(mode, c.mode);
        popAttributes();
    }
}

TEST_F(RenderStateTest, EveryRunStartsFromTheStartUpState) {
    std::string image = writeImage("image.png", 3);
    const std::string scripts[] = {
        "Enable Texture Disable Lighting Disable DepthTest TextureMode Replace",
        "{ Enable Texture Disable DepthTest TextureMode Replace Color 1 0 0 }",
        "{ { Disable DepthTest } Enable Texture } Box { Disable Lighting }",
        "{ TextureImage " + image + " }",
    };
    for (const std::string& script : scripts) {
        SCOPED_TRACE(script);
        EXPECT_TRUE(run(script, 2));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), 0);
        GLint mode = 0;
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
        EXPECT_EQ(mode, GL_MODULATE);
        std::array<float, 4> colour{};
        glGetFloatv(GL_CURRENT_COLOR, colour.data());
        EXPECT_EQ(colour, (std::array<float, 4>{1, 1, 1, 1}));
    }
}

TEST_F(RenderStateTest, TexturedQuadsFromImagesOfEveryChannelCount) {
    for (int channels = 1; channels <= 4; ++channels) {
        SCOPED_TRACE(channels);
        std::string image = writeImage("image" + std::to_string(channels) + ".png", channels);
        std::string load = "Disable Lighting Color 1 0 0\nTextureImage " + image + "\n";
        EXPECT_TRUE(run(load + "Enable Texture TextureMode Replace\n" + quad));
        EXPECT_EQ(logOf(), "");
        expectQuadrants(channels);
        // Modulate multiplies by the red of the quad: only the texture's red (or grey) is left.
        EXPECT_TRUE(run(load + "Enable Texture\n" + quad));
        auto shown = quadrants();
        for (int q = 0; q < 4; ++q) expectColour(shown[q], {replaced(q, channels)[0], 0, 0});
        // Loading binds the image but does not switch texturing on.
        EXPECT_TRUE(run(load + "TextureMode Replace\n" + quad));
        for (Colour c : quadrants()) expectColour(c, {255, 0, 0});
    }
}

TEST_F(RenderStateTest, FailedLoadKeepsThePreviousBinding) {
    std::string good = writeImage("good.png", 3);
    std::string garbage = writeFile("garbage.png", "this is no picture at all");
    std::ifstream whole(good, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(whole)), {});
    std::string truncated = writeFile("truncated.png", bytes.substr(0, bytes.size() / 2));
    for (const std::string& bad : {garbage, truncated, directory + "/missing.png"}) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(run("TextureImage " + good + "\nTextureImage " + bad +
                        "\nEnable Texture TextureMode Replace\n" + quad));
        EXPECT_EQ(logOf(), "");
        expectQuadrants(3);
    }
}

// Names that are not images, or images no texture can hold, are skipped like a missing file:
// without blocking on a pipe and without decoding a picture the GL would have to refuse.
TEST_F(RenderStateTest, ImagesThatCannotBeTexturesAreSkipped) {
    std::string good = writeImage("good.png", 3);
    std::ifstream whole(good, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(whole)), {});
    std::string fifo = directory + "/fifo.png";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(directory + "/folder.png");
    std::string corrupt = bytes;
    for (std::size_t i = 40; i < corrupt.size(); i += 5) corrupt[i] ^= 0x5a;
    // The 6x6 header made to claim 100000 x 100000, its checksum made right again.
    std::string huge = bytes;
    for (int at : {16, 20}) huge.replace(at, 4, std::string("\x00\x01\x86\xa0", 4));
    unsigned crc = stbiw__crc32(reinterpret_cast<unsigned char*>(huge.data() + 12), 17);
    for (int i = 0; i < 4; ++i) huge[29 + i] = char(crc >> (24 - 8 * i));
    // A real picture one pixel wider than the GL's largest texture.
    GLint widest = integer(GL_MAX_TEXTURE_SIZE);
    std::vector<unsigned char> row(std::size_t(widest + 1) * 3, 200);
    std::string wide = directory + "/wide.png";
    ASSERT_NE(stbi_write_png(wide.c_str(), widest + 1, 1, 3, row.data(), 0), 0);
    // A Radiance picture cut short inside its run-length data, and a JPEG whose first Huffman
    // table claims 16 x 255 codes where a table holds 256: decoders loop for ever on the first
    // and write past their tables on the second.
    std::vector<float> radiance(16 * 12 * 3);
    for (std::size_t i = 0; i < radiance.size(); ++i) radiance[i] = float(i % 7) / 3;
    std::string hdr = directory + "/cut.hdr";
    ASSERT_NE(stbi_write_hdr(hdr.c_str(), 16, 12, 3, radiance.data()), 0);
    ASSERT_GT(std::filesystem::file_size(hdr), 600u);
    std::filesystem::resize_file(hdr, 300);
    std::string jpeg = directory + "/tables.jpg";
    ASSERT_NE(stbi_write_jpg(jpeg.c_str(), 6, 6, 3, radiance.data(), 90), 0);
    std::ifstream jpegFile(jpeg, std::ios::binary);
    std::string tables((std::istreambuf_iterator<char>(jpegFile)), {});
    tables.insert(2, std::string("\xff\xc4\x00\x13\x00", 5) + std::string(16, '\xff'));
    const std::string bad[] = {
        hdr, writeFile("tables.jpg", tables),
        directory + "/folder.png", writeFile("empty.png", ""), "/dev/zero",
        writeFile("truncated.png", bytes.substr(0, 40)), writeFile("corrupt.png", corrupt),
        writeFile("huge.png", huge), wide, fifo,
    };
    for (const std::string& name : bad) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(run("TextureImage " + good + "\nTextureImage " + name +
                        "\nEnable Texture TextureMode Replace\n" + quad));
        EXPECT_EQ(logOf(), "");
        expectQuadrants(3);
    }
}

TEST_F(RenderStateTest, RetryingAMissingImageEveryFrameKeepsOneTextureObject) {
    std::string good = writeImage("good.png", 4);
    for (const char* order : {"missing good", "good missing"}) {
        SCOPED_TRACE(order);
        std::string first = order[0] == 'm' ? "missing.png" : good;
        std::string second = order[0] == 'm' ? good : "missing.png";
        EXPECT_TRUE(run("TextureImage " + first + "\nTextureImage " + second +
                        "\nEnable Texture TextureMode Replace\n" + quad));
        int live = liveTextures();
        EXPECT_GE(live, 1);
        for (int i = 0; i < 100; ++i) frame();
        EXPECT_EQ(liveTextures(), live);
        expectQuadrants(4);
    }
}

TEST_F(RenderStateTest, RelativeImageNamesFollowTheCurrentDirectory) {
    writeImage("near.png", 3);
    std::string script = "TextureImage near.png\nEnable Texture TextureMode Replace\n" + quad;
    auto original = std::filesystem::current_path();
    std::filesystem::current_path(directory);
    EXPECT_TRUE(run(script));
    expectQuadrants(3);
    std::filesystem::current_path("/");
    EXPECT_TRUE(frame());
    std::filesystem::current_path(original);
    // Nothing bound: the quad keeps its own (lit grey) colour.
    auto shown = centre();
    EXPECT_NEAR(shown[0], shown[2], 2);
}
}  // namespace
