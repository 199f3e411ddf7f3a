// The -o name: its frame-number field and the kinds of file its extension names.
#include "tools/output_name.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <cstdio>
#include <string_view>

namespace {
std::string inQuotes(const std::string& text) { return "\"" + text + "\""; }

// The frame-number field: flags, a width and a precision of at most two digits, and an
// integer conversion. Returns the field's length from `at` (at the "%"), or 0 when it is bad.
std::size_t fieldLength(const std::string& text, std::size_t at) {
    std::size_t i = at + 1;
    while (i < text.size() && std::string_view("-+ 0").find(text[i]) != std::string_view::npos) ++i;
    auto digits = [&] {
        std::size_t start = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        return i - start;
    };
    if (digits() > 2) return 0;
    if (i < text.size() && text[i] == '.' && (++i, digits() > 2)) return 0;
    if (i >= text.size() || std::string_view("diu").find(text[i]) == std::string_view::npos)
        return 0;
    return i + 1 - at;
}

std::string splitAroundField(const std::string& text, OutputName& name) {
    name = {};
    std::string literal;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t length = text[i] == '%' ? fieldLength(text, i) : 0;
        if (text[i] != '%') {
            literal += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '%') {
            literal += '%';
            ++i;
        } else if (length == 0 || isSequence(name)) {
            return inQuotes(text) + " may hold one frame-number field such as %04d and %% for a "
                   "percent sign, nothing else after a %";
        } else {
            name.prefix = literal;
            name.field = text.substr(i, length);
            literal.clear();
            i += length - 1;
        }
    }
    (isSequence(name) ? name.suffix : name.prefix) = literal;
    if (!isSequence(name) && text.find('%') != std::string::npos)
        return inQuotes(text) + " holds a % but no frame-number field such as %04d";
    return "";
}

// The extensions -o knows, in any case; a name without one is a picture, as it always was.
bool among(const std::string& name, std::initializer_list<std::string_view> extensions) {
    std::string extension = outputExtension(name);
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

bool namesVideo(const std::string& name) { return among(name, {".mp4", ".webm", ".gif"}); }
bool namesModel(const std::string& name) { return among(name, {".glb", ".gltf", ".obj", ".stl"}); }
}  // namespace

std::string readOutputName(const std::string& text, OutputName& name) {
    if (text.empty()) return "needs a file name";
    if (std::string why = splitAroundField(text, name); !why.empty()) return why;
    const std::string& last = isSequence(name) ? name.suffix : name.prefix;
    std::string file = last.substr(last.find_last_of('/') + 1);
    if (isSequence(name) && namesVideo(last))
        return inQuotes(text) + ": a video holds every frame, so its name takes no frame-number "
               "field";
    if (isSequence(name) && namesModel(last))
        return inQuotes(text) + ": a model holds the last frame, so its name takes no "
               "frame-number field";
    if (outputExtension(file).empty() || among(file, {".png"}) || namesVideo(file) ||
        namesModel(file))
        return "";
    return inQuotes(text) + " ends in an extension corvane-render does not write: use .png for "
           "pictures, .mp4, .webm or .gif for a video, or .glb, .gltf, .obj or .stl for a model";
}

bool writesPicture(const OutputName& name) {
    return (!name.prefix.empty() || isSequence(name)) && !isVideo(name) && !isModel(name);
}
bool isVideo(const OutputName& name) { return !isSequence(name) && namesVideo(name.prefix); }
bool isModel(const OutputName& name) { return !isSequence(name) && namesModel(name.prefix); }

std::string outputExtension(const std::string& name) {
    std::string file = name.substr(name.find_last_of('/') + 1);
    std::size_t dot = file.find_last_of('.');
    if (dot == std::string::npos) return "";
    std::string extension = file.substr(dot);
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}
bool isSequence(const OutputName& name) { return !name.field.empty(); }

std::string frameFileName(const OutputName& name, int frame) {
    if (!isSequence(name)) return name.prefix;
    // The field has been checked to be a single integer conversion of bounded width.
    char number[256];
    std::snprintf(number, sizeof number, name.field.c_str(), frame);
    return name.prefix + number + name.suffix;
}
