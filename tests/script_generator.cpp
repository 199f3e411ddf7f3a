// The grammar: a script is a camera line and then commands drawn from weighted families. Blocks
// (groups, lists, primitives, NURBS) usually close and sometimes do not; numbers are usually
// small and sometimes zero, huge or tiny; counts usually match their items.
#include "tests/script_generator.h"

#include <algorithm>
#include <random>
#include <vector>

namespace {
const char* const shapes[] = {"Box",          "Sphere",      "Cone",       "Torus",   "Tetrahedron",
                              "Dodecahedron", "Icosahedron", "Octahedron", "Teapot"};
const char* const kinds[] = {"Points", "Lines", "Triangles", "TriangleStrip", "Quads", "Polygon"};
const char* const states[] = {"Texture",     "Lighting",   "DepthTest",    "VertexArray",
                              "NormalArray", "ColorArray", "TexCoordArray"};
const char* const arrays[] = {"VertexArray", "NormalArray", "ColorArray", "TexCoordArray"};

class Generator {
public:
    Generator(std::uint64_t seed, const std::string& picture) : rng(seed), picture(picture) {}

    std::string script() {
        if (chance(0.8)) line("Translate 0 0 " + number(-8, -3));
        if (chance(0.3)) line("ViewTransform");
        int count = 3 + below(25);
        for (int i = 0; i < count; ++i) command(0);
        return text;
    }

private:
    std::mt19937_64 rng;
    std::string picture;
    std::string text;
    int listsDefined = 0;        // lists L0, L1, ... in the order they were begun
    int listOpen = -1;           // the list whose body is being written
    int arraySize[4] = {-1, -1, -1, -1};   // elements in each array when switched on, else -1

    int below(int n) { return int(rng() % std::uint64_t(n)); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; }
    template <class T, std::size_t n>
    const char* pick(const T (&words)[n]) { return words[below(int(n))]; }

    void word(const std::string& w) { text += w + " "; }
    void line(const std::string& l) { text += l + "\n"; }

    // Mostly small, sometimes a value that tests the GL's and GLU's edges.
    std::string number(double low = -2, double high = 2) {
        if (chance(0.04)) {
            const char* edges[] = {"0", "1e30", "-1e30", "1e-30", "100000", "-0", "3.4e38"};
            return pick(edges);
        }
        double value = std::uniform_real_distribution<double>(low, high)(rng);
        return std::to_string(int(value * 100) / 100.0).substr(0, 5);
    }
    std::string numbers(int n, double low = -2, double high = 2) {
        std::string s;
        for (int i = 0; i < n; ++i) s += number(low, high) + " ";
        return s;
    }
    // Mostly an index every switched-on array holds, now and then one outside them.
    void element() {
        int held = 1 << 20;
        for (int size : arraySize)
            if (size >= 0) held = std::min(held, size);
        if (held > 0 && chance(0.97))
            line("Element " + std::to_string(below(std::min(held, 1 << 10))));
        else if (chance(0.1))
            line("Element " + std::to_string(below(12) - 3));
    }
    // Mostly a list already defined (and not the one being written), now and then another.
    void callList() {
        int defined = listOpen >= 0 ? listOpen : listsDefined;
        if (defined > 0 && chance(0.97))
            line("CallList L" + std::to_string(below(defined)));
        else if (chance(0.1))
            line("CallList L" + std::to_string(listsDefined + 1));
    }

    void command(int depth) {
        switch (below(19)) {
        case 0: line(std::string("Translate ") + numbers(3)); break;
        case 1: line(chance(0.5) ? "Rotate " + numbers(4, 0.2, 2) : "Scale " + numbers(3, 0.2, 2)); break;
        case 2: incremental(); break;
        case 3: line(pick(shapes)); break;
        case 4: lighting(); break;
        case 5: case 6: primitive(depth); break;
        case 7: switchState(); break;
        case 8: texture(); break;
        case 9: if (depth < 3) group(depth); break;
        case 10: if (depth == 0) list(); break;
        case 11: callList(); break;
        case 12: case 13: vertexArray(); break;
        case 14: element(); break;
        case 15: surface(); break;
        case 16: curve(); break;
        case 17: projection(); break;
        case 18: if (chance(0.3)) oddity(); break;
        }
    }

    void incremental() {
        const char* words[] = {"RotateIncremental 90 ", "TranslateIncremental ", "ScaleIncremental "};
        line(pick(words) + numbers(3, 0.5, 2) + (chance(0.1) ? "0" : number(0.5, 4)));
    }

    void lighting() {
        switch (below(5)) {
        case 0: line("LightPosition " + numbers(4)); break;
        case 1: line("AmbientColor " + numbers(3, 0, 1)); break;
        case 2: line("DiffuseColor " + numbers(3, 0, 1)); break;
        case 3: line("SpecularColor " + numbers(3, 0, 1)); break;
        case 4: line("Shininess " + number(0, 128)); break;
        }
    }

    void switchState() {
        int which = below(7);
        bool on = chance(0.5);
        line(std::string(on ? "Enable " : "Disable ") + states[which]);
        if (which >= 3 && !on) arraySize[which - 3] = -1;
        if (which >= 3 && on && arraySize[which - 3] < 0) arraySize[which - 3] = 0;
    }

    void texture() {
        if (chance(0.3))
            line(std::string("TextureMode ") + (chance(0.5) ? "Modulate" : "Replace"));
        else
            line("TextureImage " + (chance(0.8) ? picture : std::string("missing.png")));
    }

    // The commands that give a primitive its vertices, and now and then one that has no place
    // between Begin and End.
    void vertexCommand(int depth) {
        switch (below(7)) {
        case 0: case 1: line("Vertex " + numbers(3)); break;
        case 2: line("Normal " + numbers(3)); break;
        case 3: line("Color " + numbers(3, 0, 1)); break;
        case 4: line("TextureCoord " + numbers(2, 0, 1)); break;
        case 5: element(); break;
        case 6: if (chance(0.3)) notAVertex(depth); break;
        }
    }

    // Commands that have no place between Begin and End, but that a script may put there.
    void notAVertex(int depth) {
        switch (below(7)) {
        case 0: line(std::string("Translate ") + numbers(3)); break;
        case 1: line(pick(shapes)); break;
        case 2: lighting(); break;
        case 3: switchState(); break;
        case 4: texture(); break;
        case 5: vertexArray(); break;
        case 6: if (depth < 3) group(depth); break;
        }
    }

    void primitive(int depth) {
        line(std::string("Begin ") + (chance(0.99) ? pick(kinds) : "Fan"));
        int count = below(chance(0.3) ? 3 : 10);
        for (int i = 0; i < count; ++i) vertexCommand(depth);
        if (chance(0.98)) line("End");
    }

    void group(int depth) {
        line("{");
        int count = below(5);
        for (int i = 0; i < count; ++i) command(depth + 1);
        if (chance(0.98)) line("}");
    }

    void list() {
        listOpen = listsDefined++;
        line("BeginList L" + std::to_string(listOpen));
        int count = 1 + below(6);
        for (int i = 0; i < count; ++i) command(1);
        if (chance(0.98)) line("EndList");
        listOpen = -1;
        if (chance(0.7)) callList();
    }

    void vertexArray() {
        int which = below(4);
        const char* array = arrays[which];
        int size = which == 3 ? 2 : 3;
        int count = below(7);
        arraySize[which] = count;
        double low = std::string(array) == "ColorArray" ? 0 : -2;
        std::string items;
        for (int i = 0; i < count * size; ++i) items += number(low, 2) + " ";
        line(std::string(array) + " " + std::to_string(count) + " : " + items);
    }

    // A bicubic patch, sometimes with its lists cut short, its orders off or a trim.
    void surface() {
        int uOrder = chance(0.9) ? 4 : 1 + below(6), vOrder = chance(0.9) ? 4 : 1 + below(6);
        line("UOrder " + std::to_string(uOrder) + " VOrder " + std::to_string(vOrder));
        line("UKnots 8 : 0 0 0 0 1 1 1 1");
        if (chance(0.9)) line("VKnots 8 : 0 0 0 0 1 1 1 1");
        int points = chance(0.85) ? 16 : below(20);
        std::string net;
        for (int i = 0; i < points; ++i)
            net += std::to_string(i / 4 - 1.5) + " " + std::to_string(i % 4 - 1.5) + " " +
                   number(-1, 1) + " 1  ";
        line("ControlPoints " + std::to_string(points) + " : " + net);
        if (chance(0.4)) line("Trim 0.5 0.5 " + number(-0.4, 0.4));
        line("Begin NURBS");
        if (chance(0.98)) line("End");
    }

    void curve() {
        line("UOrder 4 UKnots 8 : 0 0 0 0 1 1 1 1");
        line("ControlPoints 4 : -2 0 0 1  -1 2 0 1  1 -2 0 1  2 0 0 1");
        line("Begin NURBSCurve");
        if (chance(0.98)) line("End");
    }

    void projection() {
        switch (below(5)) {
        case 0: line("Transform 1 0 0 " + number() + " 0 1 0 0 0 0 1 0 0 0 0 1"); break;
        case 1: line("LookAt " + numbers(3, 4, 8) + "0 0 0 0 1 0"); break;
        case 2: line("Projection " + numbers(16, -1, 1)); break;
        case 3: line("Perspective " + number(20, 90) + " " + number(0.5, 2) + " " + number(0, 2) +
                     " " + number(5, 50)); break;
        case 4: line(std::string("Ortho -4 4 -4 4 ") + (chance(0.2) ? "0 0" : "-10 10")); break;
        }
    }

    // Rare mistakes: they latch the version, so later frames show what a failed script shows.
    void oddity() {
        switch (below(8)) {
        case 0: line("# a comment " + number()); break;
        case 1: line("}"); break;
        case 2: line("EndList"); break;
        case 3: line("End"); break;
        case 4: line("Sphre"); break;
        case 5: line("Begin " + std::string(pick(kinds))); break;
        default: line(std::string("Enable ") + pick(states)); break;
        }
    }
};
}  // namespace

std::string generateScript(std::uint64_t seed, const std::string& picture) {
    return Generator(seed, picture).script();
}
