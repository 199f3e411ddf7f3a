// The model writers: glTF through Debian's tinygltf, OBJ and STL by hand. Every file is written
// under a partial name beside its own and renamed when complete; a .gltf and its .bin are made
// in a partial directory, the .bin renamed out first, so a .gltf never names a missing .bin.
#include "tools/model_export.h"

#include <stb_image_write.h>
#include <tiny_gltf.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/output_name.h"
#include "tools/partial_file.h"

namespace fs = std::filesystem;

namespace {
// What a scene holds, for the notes on what a format leaves out.
struct Contents {
    std::size_t triangles = 0, lines = 0, points = 0;
    bool textured = false;
};

Contents contentsOf(const CapturedScene& scene) {
    Contents c;
    for (const CapturedBatch& b : scene.batches) {
        std::size_t n = b.vertices.size();
        if (b.kind == CapturedKind::triangles) c.triangles += n / 3;
        if (b.kind == CapturedKind::lines) c.lines += n / 2;
        if (b.kind == CapturedKind::points) c.points += n;
        c.textured |= b.image >= 0;
    }
    return c;
}

// "FORMAT has no a, b or c: they are left out", naming only what the scene holds.
void noteLeftOut(const char* format, const std::vector<std::string>& lost,
                 std::vector<std::string>& notes) {
    if (lost.empty()) return;
    std::string list;
    for (std::size_t i = 0; i < lost.size(); ++i)
        list += (i == 0 ? "" : i + 1 == lost.size() ? " or " : ", ") + lost[i];
    notes.push_back(std::string(format) + " has no " + list + ": " +
                    (lost.size() == 1 ? "it is" : "they are") + " left out");
}

std::string count(std::size_t n, const std::string& what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

std::array<float, 3> faceNormal(const CapturedVertex* t) {
    float u[3], w[3];
    for (int i = 0; i < 3; ++i) u[i] = t[1].position[i] - t[0].position[i], w[i] = t[2].position[i] - t[0].position[i];
    std::array<float, 3> n = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
    float length = std::hypot(n[0], n[1], n[2]);
    if (!(length > 0) || !std::isfinite(length)) return {0, 0, 1};
    for (float& v : n) v /= length;
    return n;
}

// A triangle's vertex normal, or its face's where the frame gave none.
std::array<float, 3> normalOf(const CapturedVertex* triangle, int corner) {
    const std::array<float, 3>& n = triangle[corner].normal;
    return n[0] != 0 || n[1] != 0 || n[2] != 0 ? n : faceNormal(triangle);
}

// ---- glTF ----

class GltfBuilder {
public:
    explicit GltfBuilder(const CapturedScene& scene) : scene(scene) {
        model.asset.version = "2.0";
        model.asset.generator = "corvane-render";
        model.buffers.emplace_back();
    }

    tinygltf::Model& build() {
        tinygltf::Mesh mesh;
        for (const CapturedBatch& batch : scene.batches)
            if (!batch.vertices.empty()) mesh.primitives.push_back(primitive(batch));
        tinygltf::Scene gltfScene;
        if (!mesh.primitives.empty()) {
            model.meshes.push_back(mesh);
            tinygltf::Node node;
            node.mesh = 0;
            gltfScene.nodes.push_back(addNode(node));
        }
        gltfScene.nodes.push_back(addNode(cameraNode()));
        model.scenes.push_back(gltfScene);
        model.defaultScene = 0;
        if (!model.materials.empty()) model.extensionsUsed.push_back("KHR_materials_unlit");
        if (model.buffers[0].data.empty()) model.buffers.clear();   // glTF has no empty buffers
        return model;
    }

private:
    int addNode(const tinygltf::Node& node) {
        model.nodes.push_back(node);
        return int(model.nodes.size()) - 1;
    }

    int addView(const void* data, std::size_t bytes, int target) {
        std::vector<unsigned char>& buffer = model.buffers[0].data;
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = buffer.size();
        view.byteLength = bytes;
        view.target = target;
        const auto* from = static_cast<const unsigned char*>(data);
        buffer.insert(buffer.end(), from, from + bytes);
        buffer.resize((buffer.size() + 3) / 4 * 4);   // every view starts 4-aligned
        model.bufferViews.push_back(view);
        return int(model.bufferViews.size()) - 1;
    }

    // An accessor of float vectors of width n, from each vertex's field.
    template <std::size_t n>
    int addAccessor(const CapturedBatch& batch, std::array<float, n> (*field)(const CapturedBatch&, std::size_t),
                    bool bounds) {
        std::vector<float> values;
        values.reserve(batch.vertices.size() * n);
        tinygltf::Accessor accessor;
        accessor.minValues.assign(n, INFINITY);
        accessor.maxValues.assign(n, -INFINITY);
        for (std::size_t v = 0; v < batch.vertices.size(); ++v) {
            std::array<float, n> value = field(batch, v);
            for (std::size_t i = 0; i < n; ++i) {
                values.push_back(value[i]);
                accessor.minValues[i] = std::min(accessor.minValues[i], double(value[i]));
                accessor.maxValues[i] = std::max(accessor.maxValues[i], double(value[i]));
            }
        }
        if (!bounds) accessor.minValues.clear(), accessor.maxValues.clear();
        accessor.bufferView = addView(values.data(), values.size() * sizeof(float),
                                      TINYGLTF_TARGET_ARRAY_BUFFER);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        accessor.count = batch.vertices.size();
        accessor.type = n == 2 ? TINYGLTF_TYPE_VEC2 : n == 3 ? TINYGLTF_TYPE_VEC3 : TINYGLTF_TYPE_VEC4;
        model.accessors.push_back(accessor);
        return int(model.accessors.size()) - 1;
    }

    tinygltf::Primitive primitive(const CapturedBatch& batch) {
        tinygltf::Primitive p;
        p.mode = batch.kind == CapturedKind::points  ? TINYGLTF_MODE_POINTS
                 : batch.kind == CapturedKind::lines ? TINYGLTF_MODE_LINE
                                                     : TINYGLTF_MODE_TRIANGLES;
        p.attributes["POSITION"] = addAccessor<3>(
            batch, [](const CapturedBatch& b, std::size_t v) { return b.vertices[v].position; }, true);
        if (batch.kind == CapturedKind::triangles)
            p.attributes["NORMAL"] = addAccessor<3>(
                batch, [](const CapturedBatch& b, std::size_t v) {
                    return normalOf(&b.vertices[v - v % 3], int(v % 3));
                }, false);
        if (!batch.replace)
            p.attributes["COLOR_0"] = addAccessor<4>(
                batch, [](const CapturedBatch& b, std::size_t v) { return b.vertices[v].colour; }, false);
        if (batch.image >= 0)
            p.attributes["TEXCOORD_0"] = addAccessor<2>(
                batch, [](const CapturedBatch& b, std::size_t v) { return b.vertices[v].texCoord; }, false);
        p.material = material(batch.image);
        return p;
    }

    // Unlit: viewers show the colours as Corvane drew them, light included. Both faces show,
    // as in Corvane, which culls nothing.
    int material(int image) {
        tinygltf::Material m;
        m.doubleSided = true;
        m.pbrMetallicRoughness.metallicFactor = 0;
        m.pbrMetallicRoughness.roughnessFactor = 1;
        m.extensions["KHR_materials_unlit"] = tinygltf::Value(tinygltf::Value::Object());
        if (image >= 0) m.pbrMetallicRoughness.baseColorTexture.index = texture(image);
        model.materials.push_back(m);
        return int(model.materials.size()) - 1;
    }

    // The image as PNG inside the buffer; sampled as SOIL sets the texture up: linear, clamped.
    int texture(int image) {
        auto known = textureOf.find(image);
        if (known != textureOf.end()) return known->second;
        const CapturedImage& source = scene.images[std::size_t(image)];
        std::vector<unsigned char> png;
        stbi_write_png_to_func(
            [](void* into, void* data, int size) {
                auto* bytes = static_cast<unsigned char*>(data);
                static_cast<std::vector<unsigned char>*>(into)->insert(
                    static_cast<std::vector<unsigned char>*>(into)->end(), bytes, bytes + size);
            },
            &png, source.width, source.height, 4, source.rgba.data(), source.width * 4);
        tinygltf::Image gltfImage;
        gltfImage.bufferView = addView(png.data(), png.size(), 0);
        gltfImage.mimeType = "image/png";
        gltfImage.name = fs::path(source.file).filename().string();
        model.images.push_back(gltfImage);
        if (model.samplers.empty()) {
            tinygltf::Sampler sampler;
            sampler.magFilter = sampler.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
            sampler.wrapS = sampler.wrapT = TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE;
            model.samplers.push_back(sampler);
        }
        tinygltf::Texture t;
        t.source = int(model.images.size()) - 1;
        t.sampler = 0;
        model.textures.push_back(t);
        return textureOf[image] = int(model.textures.size()) - 1;
    }

    tinygltf::Node cameraNode() {
        const CapturedCamera& c = scene.camera;
        tinygltf::Camera camera;
        if (c.orthographic) {
            camera.type = "orthographic";
            camera.orthographic.xmag = c.xmag;
            camera.orthographic.ymag = c.ymag;
            camera.orthographic.znear = c.znear;
            camera.orthographic.zfar = c.zfar;
        } else {
            camera.type = "perspective";
            camera.perspective.yfov = c.yfov;
            camera.perspective.aspectRatio = c.aspect;
            camera.perspective.znear = c.znear;
            camera.perspective.zfar = c.zfar;
        }
        camera.name = "corvane view";
        model.cameras.push_back(camera);
        tinygltf::Node node;
        node.camera = int(model.cameras.size()) - 1;
        node.name = "corvane view";
        if (c.position != std::array<double, 3>{0, 0, 0})
            node.translation = {c.position[0], c.position[1], c.position[2]};
        return node;
    }

    const CapturedScene& scene;
    tinygltf::Model model;
    std::map<int, int> textureOf;
};

bool writeGlb(const CapturedScene& scene, const std::string& partial) {
    GltfBuilder builder(scene);
    tinygltf::TinyGLTF gltf;
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    return gltf.WriteGltfSceneToStream(&builder.build(), out, false, true) && out.flush();
}

// ---- OBJ and STL ----

bool writeObj(const CapturedScene& scene, std::ostream& out) {
    out << "# corvane-render: what a frame drew, in the eye frame of its camera\n";
    std::size_t next = 1, nextTex = 1;
    char line[160];
    for (const CapturedBatch& batch : scene.batches) {
        const std::size_t corners = batch.kind == CapturedKind::points ? 1 : batch.kind == CapturedKind::lines ? 2 : 3;
        bool textured = batch.image >= 0;
        for (std::size_t v = 0; v < batch.vertices.size(); ++v) {
            const CapturedVertex& x = batch.vertices[v];
            std::snprintf(line, sizeof line, "v %.9g %.9g %.9g %.6g %.6g %.6g\n", x.position[0],
                          x.position[1], x.position[2], x.colour[0], x.colour[1], x.colour[2]);
            out << line;
            if (corners == 3) {
                auto n = normalOf(&batch.vertices[v - v % 3], int(v % 3));
                std::snprintf(line, sizeof line, "vn %.6g %.6g %.6g\n", n[0], n[1], n[2]);
                out << line;
            }
            if (textured) {
                std::snprintf(line, sizeof line, "vt %.9g %.9g\n", x.texCoord[0], 1 - x.texCoord[1]);
                out << line;
            }
        }
        for (std::size_t v = 0; v < batch.vertices.size(); v += corners) {
            out << (corners == 1 ? "p" : corners == 2 ? "l" : "f");
            for (std::size_t k = 0; k < corners; ++k) {
                out << ' ' << next + v + k;
                if (corners == 3) {
                    if (textured) out << '/' << nextTex + v + k << '/' << next + v + k;
                    else out << "//" << next + v + k;
                }
            }
            out << '\n';
        }
        next += batch.vertices.size();
        if (textured) nextTex += batch.vertices.size();
    }
    return bool(out);
}

bool writeStl(const CapturedScene& scene, std::ostream& out) {
    char header[80] = "corvane-render: what a frame drew, in the eye frame of its camera";
    std::uint32_t triangles = std::uint32_t(contentsOf(scene).triangles);
    out.write(header, sizeof header);
    out.write(reinterpret_cast<const char*>(&triangles), 4);   // little-endian, as STL is
    for (const CapturedBatch& batch : scene.batches) {
        if (batch.kind != CapturedKind::triangles) continue;
        for (std::size_t v = 0; v + 3 <= batch.vertices.size(); v += 3) {
            float facet[12];
            std::array<float, 3> n = faceNormal(&batch.vertices[v]);
            std::copy(n.begin(), n.end(), facet);
            for (int k = 0; k < 3; ++k)
                std::copy(batch.vertices[v + k].position.begin(), batch.vertices[v + k].position.end(), facet + 3 + 3 * k);
            const std::uint16_t attributes = 0;
            out.write(reinterpret_cast<const char*>(facet), sizeof facet);
            out.write(reinterpret_cast<const char*>(&attributes), 2);
        }
    }
    return bool(out);
}

bool writeThrough(const std::string& partial, bool (*write)(const CapturedScene&, std::ostream&),
                  const CapturedScene& scene) {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    return write(scene, out) && out.flush();
}

// The .gltf and its .bin, made in a partial directory and renamed out, the .bin first.
bool writeGltf(const CapturedScene& scene, const std::string& path, std::string& partialDirectory) {
    partialDirectory = makePartialDirectoryBeside(path);
    if (partialDirectory.empty()) return false;
    fs::path target(path);
    std::string bin = target.stem().string() + ".bin";
    GltfBuilder builder(scene);
    tinygltf::Model& model = builder.build();
    if (!model.buffers.empty()) model.buffers[0].uri = bin;
    tinygltf::TinyGLTF gltf;
    std::string inside = partialDirectory + "/" + target.filename().string();
    std::error_code failed;
    if (!gltf.WriteGltfSceneToFile(&model, inside, false, false, true, false)) return false;
    if (!model.buffers.empty()) fs::rename(partialDirectory + "/" + bin, target.parent_path() / bin, failed);
    if (!failed) fs::rename(inside, target, failed);
    return !failed;
}
}  // namespace

bool writeModel(const CapturedScene& scene, const std::string& path,
                std::vector<std::string>& notes, std::string& error) {
    const std::string extension = outputExtension(path);
    const Contents c = contentsOf(scene);
    if (c.triangles + c.lines + c.points == 0)
        notes.push_back("the frame drew nothing: " + path + " holds no geometry");
    std::string partial;
    bool written = false;
    if (extension == ".gltf") {
        written = writeGltf(scene, path, partial);
    } else {
        partial = makePartialBeside(path);
        if (!partial.empty()) {
            written = extension == ".glb" ? writeGlb(scene, partial)
                      : extension == ".obj" ? writeThrough(partial, writeObj, scene)
                                            : writeThrough(partial, writeStl, scene);
            std::error_code failed;
            if (written) fs::rename(partial, path, failed);
            written = written && !failed;
        }
    }
    std::error_code ignored;
    if (!partial.empty()) fs::remove_all(partial, ignored);
    if (!written) {
        error = "cannot write " + path;
        return false;
    }
    std::vector<std::string> lost;
    if (extension == ".obj") {
        if (c.textured) lost.push_back("texture images");
        lost.push_back("camera");
    } else if (extension == ".stl") {
        if (c.triangles > 0) lost.push_back("colours");
        if (c.lines > 0) lost.push_back(count(c.lines, "line"));
        if (c.points > 0) lost.push_back(count(c.points, "point"));
        if (c.textured) lost.push_back("texture images");
        lost.push_back("camera");
    }
    noteLeftOut(extension == ".obj" ? "OBJ" : "STL", lost, notes);
    for (const std::string& note : scene.notes) notes.push_back(note);
    return true;
}
