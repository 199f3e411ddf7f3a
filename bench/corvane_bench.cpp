// corvane-bench: the per-frame cost of the interpreter on large generated scripts, each figure
// next to the baseline it is judged against, measured in the same run. Scripts are generated
// into a scratch directory on first use and removed at exit; nothing large is committed.
// Run under a display (xvfb-run) since frames draw into a small offscreen framebuffer.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "interpreter/command_table.h"
#include "interpreter/runner.h"
#include "interpreter/script_stream.h"
#include "tools/offscreen.h"
#include "viewer/file_selection.h"
#include "viewer/frame.h"

namespace {
// The scratch directory and the scripts made in it, by name.
std::string scratch;
std::map<std::string, std::string> madeScripts;

std::string scratchPath(const std::string& name) {
    if (scratch.empty()) {
        char pattern[] = "/tmp/corvane-bench-XXXXXX";
        scratch = mkdtemp(pattern);
        std::atexit([] { std::filesystem::remove_all(scratch); });
    }
    return scratch + "/" + name;
}

// Writes a script once: head, then lines made by `line(i)` until `bytes` or `count` is reached.
template <class Line>
const std::string& script(const std::string& name, const std::string& head, long count,
                          long long bytes, Line line, const std::string& tail) {
    auto found = madeScripts.find(name);
    if (found != madeScripts.end()) return found->second;
    std::string path = scratchPath(name);
    std::ofstream out(path, std::ios::binary);
    out << head;
    long long written = 0;
    std::string text;
    for (long i = 0; i < count && written < bytes; ++i) {
        text = line(i);
        out << text;
        written += text.size();
    }
    out << tail;
    return madeScripts[name] = path;
}

// A triangle list of tiny triangles far from the eye: little is rasterised.
std::string vertexLine(long i) {
    char line[96];
    int n = std::snprintf(line, sizeof line, "Vertex %.4f %.4f -50.5\n", (i % 997) * 0.001 - 0.5,
                          (i % 991) * 0.001 - 0.5);
    return std::string(line, n);
}

const std::string& vertexScript() {
    return script("vertices.txt", "Begin Triangles\n", 100000, 1LL << 40, vertexLine, "End\n");
}

void needContext() {
    static bool ready = [] {
        std::string error;
        if (!openOffscreen(64, 64, error)) {
            std::fprintf(stderr, "corvane-bench: %s\n", error.c_str());
            std::exit(2);
        }
        fillCommandTable();
        return true;
    }();
    (void)ready;
}

// 1. Reader throughput: the words and floats of the vertex script.
void ReadScriptStream(benchmark::State& state) {
    const std::string& path = vertexScript();
    std::string word;
    float x, y, z;
    for (auto _ : state) {
        ScriptStream in(path);
        double sum = 0;
        while (in >> word) {
            if (word == "Vertex" && (in >> x >> y >> z)) sum += x + y + z;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(ReadScriptStream)->Unit(benchmark::kMillisecond);

void ReadIfstream(benchmark::State& state) {
    const std::string& path = vertexScript();
    std::string word;
    float x, y, z;
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        double sum = 0;
        while (in >> word) {
            if (word == "Vertex" && (in >> x >> y >> z)) sum += x + y + z;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(ReadIfstream)->Unit(benchmark::kMillisecond);

// 2. Interpretation overhead: runScript against the least work that gives the same floats
// (a plain scan with from_chars) plus the same GL calls from a pre-parsed array.
void RunVertexScript(benchmark::State& state) {
    needContext();
    scriptFileName = vertexScript();
    resetRunner();
    for (auto _ : state) {
        if (!drawFrame()) state.SkipWithError("the script failed");
        glFinish();
    }
}
BENCHMARK(RunVertexScript)->Unit(benchmark::kMillisecond);

std::vector<float> scanFloats(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::vector<float> values;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        while (p < end && (*p == ' ' || *p == '\n')) ++p;
        float v;
        auto [next, ec] = std::from_chars(p, end, v);
        if (ec == std::errc()) {
            values.push_back(v);
            p = next;
        } else {
            while (p < end && *p != ' ' && *p != '\n') ++p;
        }
    }
    return values;
}

void FloorScan(benchmark::State& state) {
    const std::string& path = vertexScript();
    for (auto _ : state) benchmark::DoNotOptimize(scanFloats(path).size());
}
BENCHMARK(FloorScan)->Unit(benchmark::kMillisecond);

void FloorDraw(benchmark::State& state) {
    needContext();
    std::vector<float> values = scanFloats(vertexScript());
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glBegin(GL_TRIANGLES);
        for (std::size_t i = 0; i + 2 < values.size(); i += 3)
            glVertex3f(values[i], values[i + 1], values[i + 2]);
        glEnd();
        glFinish();
    }
}
BENCHMARK(FloorDraw)->Unit(benchmark::kMillisecond);

// 5. A failed version: the latch holds, the file is not opened.
void FailedVersionFrame(benchmark::State& state) {
    needContext();
    scriptFileName = script("failed.txt", "Foo\n", 0, 0, vertexLine, "");
    resetRunner();
    runScript();
    for (auto _ : state) benchmark::DoNotOptimize(runScript());
}
BENCHMARK(FailedVersionFrame)->Unit(benchmark::kMicrosecond);

// 6. The bundled scenes: one frame each.
void ExampleFrame(benchmark::State& state, const char* example) {
    needContext();
    scriptFileName = std::string(CORVANE_SOURCE_DIR "/examples/") + example;
    resetRunner();
    for (auto _ : state) {
        drawFrame();
        glFinish();
    }
}
BENCHMARK_CAPTURE(ExampleFrame, default, "default.txt")->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
