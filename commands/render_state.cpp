// Render state and the one texture: Enable and Disable of a named capability or client array,
// TextureMode, and TextureImage, which loads an image file into the one texture object.
// A failed load leaves the object it found bound and in use, so the object is kept aside and the
// next load reuses it: a script that retries a missing image every frame never piles up objects.
// SOIL uploads tightly packed rows without setting the unpack alignment, so loads run at 1.
// SOIL is handed the file's bytes, read and checked first, never the name (texture_file.cpp).
#include "commands/render_state.h"

#include <GL/gl.h>
#include <SOIL.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "commands/feedback_marks.h"
#include "commands/registry.h"
#include "commands/texture_file.h"
#include "commands/vertex_arrays.h"
#include "interpreter/command_table.h"
#include "interpreter/message_log.h"

namespace {
// The one texture object that every TextureImage loads into; 0 before the first load and after
// a load that failed. Lives as long as the process.
GLuint currentTexture = 0;
GLuint spareTexture = 0;   // the object a failed load left without a name in currentTexture
std::vector<std::string> loadedImages;   // every file loaded since start-up, by its image mark
int heldImage = -1;                      // the one currentTexture holds

struct StateName {
    const char* word;
    GLenum state;
    bool clientArray;   // a client-side array rather than a capability
};

// Compared in this order, exactly over the whole word.
const StateName stateNames[] = {
    {"Texture", GL_TEXTURE_2D, false},
    {"Lighting", GL_LIGHTING, false},
    {"DepthTest", GL_DEPTH_TEST, false},
    {"VertexArray", GL_VERTEX_ARRAY, true},
    {"NormalArray", GL_NORMAL_ARRAY, true},
    {"ColorArray", GL_COLOR_ARRAY, true},
    {"TexCoordArray", GL_TEXTURE_COORD_ARRAY, true},
};

struct TextureModeName {
    const char* word;
    GLint mode;
};

const TextureModeName textureModes[] = {{"Modulate", GL_MODULATE}, {"Replace", GL_REPLACE}};

template <bool on>
bool switchState(ScriptStream& in) {
    std::string word;
    in >> word;
    for (const StateName& name : stateNames) {
        if (word != name.word) continue;
        if (name.clientArray)
            switchClientArray(name.state, on);
        else if (on)
            glEnable(name.state);
        else
            glDisable(name.state);
        if (name.state == GL_TEXTURE_2D)
            putMark(on ? FeedbackMark::textureOn : FeedbackMark::textureOff);
        return true;
    }
    return refuse("Invalid state \"" + word + "\" followed " + (on ? "Enable" : "Disable"));
}

bool textureMode(ScriptStream& in) {
    std::string word;
    in >> word;
    for (const TextureModeName& name : textureModes) {
        if (word == name.word) {
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, name.mode);
            putMark(name.mode == GL_REPLACE ? FeedbackMark::replace : FeedbackMark::modulate);
            return true;
        }
    }
    return refuse("Invalid mode \"" + word + "\" followed TextureMode");
}

GLuint loadTexture(const std::string& file, GLuint reuse) {
    GLint maxSide = 0;   // stays 0 where the GL may not be asked (inside Begin): nothing loads
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    std::vector<unsigned char> imageBytes;   // released at once: an image may be large
    if (!readTextureFile(file, maxSide, imageBytes)) return 0;
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLuint loaded = SOIL_load_OGL_texture_from_memory(imageBytes.data(), int(imageBytes.size()),
                                                      SOIL_LOAD_AUTO, reuse, 0);
    glPopClientAttrib();
    return loaded;
}

// The number of an image file for its mark, the same for every load of the file.
int imageNumber(const std::string& file) {
    std::error_code ignored;
    std::string path = std::filesystem::absolute(file, ignored).lexically_normal().string();
    auto known = std::find(loadedImages.begin(), loadedImages.end(), path);
    if (known != loadedImages.end()) return int(known - loadedImages.begin());
    loadedImages.push_back(path);
    return int(loadedImages.size()) - 1;
}

// A relative name is opened from the current directory of this moment. A file that cannot be
// read, decoded or held by a texture is silent: nothing new is bound.
bool textureImage(ScriptStream& in) {
    std::string file;
    in >> file;
    GLuint reuse = currentTexture != 0 ? currentTexture : spareTexture;
    currentTexture = loadTexture(file, reuse);
    spareTexture = currentTexture == 0 ? reuse : 0;
    if (currentTexture != 0) putMark(FeedbackMark::image, heldImage = imageNumber(file));
    return true;
}
}  // namespace

const std::vector<std::string>& markedImages() { return loadedImages; }
int currentImage() { return heldImage; }

void resetTextures() {
    loadedImages.clear();
    heldImage = -1;
    for (GLuint* name : {&currentTexture, &spareTexture}) {
        if (*name != 0) glDeleteTextures(1, name);
        *name = 0;
    }
}

namespace {
const CommandRow rows[] = {
    {"TextureImage", textureImage},
    {"TextureMode", textureMode},
    {"Enable", switchState<true>},
    {"Disable", switchState<false>},
};
}
std::span<const CommandRow> renderStateCommands() { return rows; }
