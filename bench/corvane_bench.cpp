// corvane-bench: the per-frame cost of the interpreter on large generated scripts, each figure
// next to the baseline it is judged against, measured in the same run. Scripts are generated
// into a scratch directory on first use and removed at exit; nothing large is committed.
// Frames draw into a small offscreen framebuffer, on a private X server when there is no display.
// Ratios compare the CPU time of the whole process (the GL's worker threads included), so that
// other load on a shared machine shifts both sides alike; the Time column is wall-clock time.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "interpreter/command_table.h"
#include "interpreter/message_log.h"
#include "interpreter/runner.h"
#include "interpreter/script_scanner.h"
#include "frame/offscreen.h"
#include "frame/session.h"
#include "scene/script_file.h"
#include "frame/capture.h"
#include "frame/frame.h"
#include "tests/lsp_client.h"
#include "tests/processes.h"

namespace {
// The scratch directory and the scripts made in it, by name.
std::string scratch;
std::map<std::string, std::string> madeScripts;
// Set when a benchmark could not measure what it should (a script failed): the exit status says so.
bool anyFailed = false;

constexpr long long MiB = 1024 * 1024;

std::string scratchPath(const std::string& name) {
    if (scratch.empty()) {
        char pattern[] = "/tmp/corvane-bench-XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("corvane-bench: mkdtemp");
            std::exit(2);
        }
        scratch = pattern;
        std::atexit([] { std::filesystem::remove_all(scratch); });
    }
    return scratch + "/" + name;
}

// Records a script just written, dated an hour back: while a script's modification time is
// recent, each frame compares its content first (a save may not have moved the time), and the
// figures are of the frames after that.
const std::string& made(const std::string& name, const std::string& path) {
    const timespec anHourAgo = {std::time(nullptr) - 3600, 0};
    const timespec times[2] = {anHourAgo, anHourAgo};
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        std::perror("corvane-bench: utimensat");
        std::exit(2);
    }
    return madeScripts[name] = path;
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
    out.close();
    return made(name, path);
}

// Writes a script once: head, then whole copies of `unit` filling at least `bytes`, then tail.
// Large bodies go out in blocks of about a megabyte, so a 200 MB script takes a fraction of a
// second to make.
const std::string& repeatedScript(const std::string& name, const std::string& head,
                                  const std::string& unit, long long bytes, const std::string& tail) {
    auto found = madeScripts.find(name);
    if (found != madeScripts.end()) return found->second;
    const long long unitSize = static_cast<long long>(unit.size());
    long long units = (bytes + unitSize - 1) / unitSize;
    long long blockUnits = std::min(units, std::max(1LL, MiB / unitSize));
    std::string block;
    for (long long i = 0; i < blockUnits; ++i) block += unit;
    std::string path = scratchPath(name);
    std::ofstream out(path, std::ios::binary);
    out << head;
    for (long long left = units; left > 0; left -= blockUnits)
        out.write(block.data(), std::streamsize(std::min(left, blockUnits) * unitSize));
    out << tail;
    out.close();
    if (!out) {
        std::fprintf(stderr, "corvane-bench: cannot write %s\n", path.c_str());
        std::exit(2);
    }
    return made(name, path);
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

// A million vertices in the same tiny triangles, each triangle with a normal of its own.
std::string litVertexLine(long i) {
    if (i % 3 != 0) return vertexLine(i);
    char normal[64];
    int n = std::snprintf(normal, sizeof normal, "Normal %.3f %.3f 1\n", (i % 89) * 0.01, (i % 83) * 0.01);
    return std::string(normal, n) + vertexLine(i);
}

const std::string& millionVertexScript() {
    return script("million.txt", "Begin Triangles\n", 1000000, 1LL << 40, litVertexLine, "End\n");
}

// One list whose body is `megabytes` of comment lines between a few drawing commands, called
// once: after the first frame only the lines around the body are read.
const std::string& listScript(int megabytes) {
    return repeatedScript("list" + std::to_string(megabytes) + ".txt",
                          "BeginList body\nColor 0.8 0.3 0.2\nBegin Triangles\n"
                          "Vertex 0 0 -5 Vertex 1 0 -5 Vertex 0 1 -5\nEnd\n",
                          "# a comment that only the first frame of this version reads\n",
                          megabytes * MiB, "Begin Lines Vertex 0 0 -5 Vertex 1 1 -5 End\nEndList\n"
                                           "CallList body\n");
}

void fail(benchmark::State& state, const std::string& why) {
    state.SkipWithError(why.c_str());
    anyFailed = true;
}

// A fresh session drawing `path`, as if the viewer had just been started on it.
void startScript(const std::string& path) {
    std::string error;
    if (!startHeadless(64, 64, error)) {
        std::fprintf(stderr, "corvane-bench: %s\n", error.c_str());
        std::exit(2);
    }
    chooseScriptFile(path);
}

// One frame as the viewer draws it, waited for, so that the GL's deferred work is counted.
bool frame() {
    bool ran = drawFrame();
    glFinish();
    return ran;
}

// A frame read from the file, as corvane-render --reread runs it; a tape already made is kept.
bool rereadFrame() {
    allowTape(false);
    bool ran = frame();
    allowTape(true);
    return ran;
}

// Seconds of wall-clock and of process CPU time, read together.
struct Clock {
    double wall, cpu;
};
Clock now() {
    timespec cpu;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return {std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(),
            double(cpu.tv_sec) + cpu.tv_nsec * 1e-9};
}

// One value of the process's own accounting in /proc/self (rchar in io, VmHWM in status).
long long procValue(const char* file, const char* key) {
    std::ifstream in(file);
    std::string word;
    long long value;
    while (in >> word) {
        if (word == key) return in >> value ? value : -1;
    }
    return -1;
}

// 1. Reader throughput: the words and floats of the vertex script, by ScriptScanner and by a
// binary ifstream doing the same extractions, one pass of each per iteration.
template <class Stream>
double readVertices(Stream& in) {
    std::string word;
    float x, y, z;
    double sum = 0;
    while (in >> word) {
        if (word == "Vertex" && (in >> x >> y >> z)) sum += x + y + z;
    }
    return sum;
}

void ReadScriptStream(benchmark::State& state) {
    const std::string& path = vertexScript();
    double streamCpu = 0, ifstreamCpu = 0;
    for (auto _ : state) {
        Clock start = now();
        ScriptScanner stream(path);
        benchmark::DoNotOptimize(readVertices(stream));
        Clock middle = now();
        std::ifstream file(path, std::ios::binary);
        benchmark::DoNotOptimize(readVertices(file));
        Clock end = now();
        state.SetIterationTime(middle.wall - start.wall);
        streamCpu += middle.cpu - start.cpu;
        ifstreamCpu += end.cpu - middle.cpu;
    }
    state.counters["ifstream_ms"] = 1e3 * ifstreamCpu / double(state.iterations());
    state.counters["speedup"] = ifstreamCpu / streamCpu;   // target: at least 4
}
BENCHMARK(ReadScriptStream)->UseManualTime()->Unit(benchmark::kMillisecond);

// 2. Interpretation overhead: a frame of the vertex script against its floor, the least work
// that gives the same floats (one read of the file, a plain scan with from_chars) plus the same
// GL calls issued from the scanned array.
std::vector<float> scanFloats(const std::string& path) {
    std::vector<float> values;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) return values;
    std::size_t size = std::size_t(info.st_size);
    std::unique_ptr<char[]> text(new char[size]);
    std::size_t got = 0;
    for (ssize_t n; got < size && (n = ::read(fd, text.get() + got, size - got)) > 0;) got += n;
    ::close(fd);
    const char* p = text.get();
    const char* end = p + got;
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

void drawFloats(const std::vector<float>& values) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBegin(GL_TRIANGLES);
    for (std::size_t i = 0; i + 2 < values.size(); i += 3) glVertex3f(values[i], values[i + 1], values[i + 2]);
    glEnd();
    glFinish();
}

// The re-reading frame (corvane-render --reread), the interpreter's cost before the tape.
void RunVertexScript(benchmark::State& state) {
    const std::string& path = vertexScript();
    startScript(path);
    allowTape(false);
    double runCpu = 0, scanCpu = 0, drawCpu = 0;
    for (auto _ : state) {
        Clock start = now();
        if (!frame()) fail(state, "the script failed");
        Clock ran = now();
        std::vector<float> values = scanFloats(path);
        Clock scanned = now();
        drawFloats(values);
        Clock drawn = now();
        state.SetIterationTime(ran.wall - start.wall);
        runCpu += ran.cpu - start.cpu;
        scanCpu += scanned.cpu - ran.cpu;
        drawCpu += drawn.cpu - scanned.cpu;
    }
    double iterations = double(state.iterations());
    state.counters["scan_ms"] = 1e3 * scanCpu / iterations;
    state.counters["draw_ms"] = 1e3 * drawCpu / iterations;
    state.counters["vs_floor"] = runCpu / (scanCpu + drawCpu);   // target: at most 1.5
    allowTape(true);
}
BENCHMARK(RunVertexScript)->UseManualTime()->Unit(benchmark::kMillisecond);

// 2b. The tape: a frame after the first replays what the first recorded. Each iteration runs a
// replayed frame, the re-reading frame and the draw floor: the same GL calls from an array.
template <class Floor>
void replayFrames(benchmark::State& state, const std::string& path, Floor drawFloor) {
    startScript(path);
    if (!frame()) fail(state, "the script failed");   // reads and records
    double replayCpu = 0, rereadCpu = 0, drawCpu = 0;
    for (auto _ : state) {
        Clock start = now();
        if (!frame() || !lastRunWasReplayed()) fail(state, "the frame was not replayed");
        Clock replayed = now();
        rereadFrame();
        Clock reread = now();
        drawFloor();
        Clock drawn = now();
        state.SetIterationTime(replayed.wall - start.wall);
        replayCpu += replayed.cpu - start.cpu;
        rereadCpu += reread.cpu - replayed.cpu;
        drawCpu += drawn.cpu - reread.cpu;
    }
    double iterations = double(state.iterations());
    const TapeFigures tape = tapeFigures();
    state.counters["draw_ms"] = 1e3 * drawCpu / iterations;
    state.counters["reread_ms"] = 1e3 * rereadCpu / iterations;
    state.counters["vs_draw"] = replayCpu / drawCpu;       // target: at most 1.3
    state.counters["vs_reread"] = replayCpu / rereadCpu;   // target: at most 0.3
    state.counters["tape_MiB"] = double(tape.bytes) / MiB;
    state.counters["tape_bytes_per_plain"] =   // target: at most 16
        tape.plainCommands ? double(tape.plainBytes) / double(tape.plainCommands) : 0;
}

void ReplayVertexScript(benchmark::State& state) {
    const std::string& path = vertexScript();
    const std::vector<float> values = scanFloats(path);
    replayFrames(state, path, [&] { drawFloats(values); });
}
BENCHMARK(ReplayVertexScript)->UseManualTime()->Unit(benchmark::kMillisecond);

// The GL calls of a script of Normal and Vertex lines, in an array: its draw floor.
struct GlCall {
    bool normal;
    float xyz[3];
};

std::vector<GlCall> glCallsOf(const std::string& path) {
    std::vector<GlCall> calls;
    ScriptScanner in(path);
    std::string word;
    while (in >> word) {
        GlCall call{word == "Normal", {}};
        if ((call.normal || word == "Vertex") && in >> call.xyz[0] >> call.xyz[1] >> call.xyz[2])
            calls.push_back(call);
    }
    return calls;
}

void drawCalls(const std::vector<GlCall>& calls) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBegin(GL_TRIANGLES);
    for (const GlCall& call : calls) call.normal ? glNormal3fv(call.xyz) : glVertex3fv(call.xyz);
    glEnd();
    glFinish();
}

// A million vertices and a normal per triangle: a tape of 1.33 million plain commands.
void ReplayMillionVertices(benchmark::State& state) {
    const std::string& path = millionVertexScript();
    const std::vector<GlCall> calls = glCallsOf(path);
    replayFrames(state, path, [&] { drawCalls(calls); });
}
BENCHMARK(ReplayMillionVertices)->UseManualTime()->Unit(benchmark::kMillisecond);

// Each iteration runs measured, then compared; the iteration's time is measured's wall time.
// Returns the CPU seconds each took in all.
template <class Measured, class Compared>
std::pair<double, double> timeAgainst(benchmark::State& state, Measured measured,
                                      Compared compared) {
    double measuredCpu = 0, comparedCpu = 0;
    for (auto _ : state) {
        Clock start = now();
        measured();
        Clock middle = now();
        compared();
        Clock end = now();
        state.SetIterationTime(middle.wall - start.wall);
        measuredCpu += middle.cpu - start.cpu;
        comparedCpu += end.cpu - middle.cpu;
    }
    return {measuredCpu, comparedCpu};
}

// 2b'. Export of the 100,000-vertex script. What `corvane-render SCRIPT -o NAME.glb` pays is a
// new version captured (its first run reads the file, the other runs replay) against that
// version's frame drawn (target: at most 3, the file's writing aside). Beside it, the capture of
// a version already replayed against its replayed frame, the dearest comparison there is.
void CaptureVertexScript(benchmark::State& state) {
    startScript(vertexScript());
    std::size_t triangles = 0;
    auto capture = [&] {
        CapturedScene scene;
        std::string error;
        if (!captureFrame(scene, error) || !error.empty()) fail(state, "the capture failed");
        triangles = scene.batches.empty() ? 0 : scene.batches[0].vertices.size() / 3;
    };
    auto [exportCpu, firstFrameCpu] = timeAgainst(
        state, [&] { resetRunner(); capture(); }, [] { resetRunner(); frame(); });
    double iterations = double(state.iterations());
    Clock start = now();
    for (int i = 0; i < 20; ++i) capture();
    Clock captured = now();
    for (int i = 0; i < 20; ++i) frame();
    Clock drawn = now();
    state.counters["first_frame_ms"] = 1e3 * firstFrameCpu / iterations;
    state.counters["vs_first_frame"] = exportCpu / firstFrameCpu;   // target: at most 3
    state.counters["vs_replayed_frame"] = (captured.cpu - start.cpu) / (drawn.cpu - captured.cpu);
    state.counters["triangles"] = double(triangles);
}
BENCHMARK(CaptureVertexScript)->UseManualTime()->Unit(benchmark::kMillisecond);

// 2c. The first frame of a version, which reads the file and records the tape, against a first
// frame that only reads it; both are what a frame after an edit costs.
void FirstFrameOfVersion(benchmark::State& state) {
    const std::string& path = vertexScript();
    startScript(path);
    double recordCpu = 0, readCpu = 0;
    for (auto _ : state) {
        resetRunner();   // a new version, as after a save
        Clock start = now();
        if (!frame()) fail(state, "the script failed");
        Clock recorded = now();
        resetRunner();
        rereadFrame();
        Clock read = now();
        state.SetIterationTime(recorded.wall - start.wall);
        recordCpu += recorded.cpu - start.cpu;
        readCpu += read.cpu - recorded.cpu;
    }
    state.counters["reread_ms"] = 1e3 * readCpu / double(state.iterations());
    state.counters["vs_reread"] = recordCpu / readCpu;   // target: at most 1.15
}
BENCHMARK(FirstFrameOfVersion)->UseManualTime()->Unit(benchmark::kMillisecond);

// 3. Cached display lists: frames after the first of a list with a 20 MB or 200 MB body. The
// bytes come from the kernel's count of what this process read, so every read is included.
struct CachedFrames {
    double firstMs = 0;
    double wallMs = 0;      // per frame after the first
    double cpuMs = 0;
    double readKiB = 0;     // per frame after the first
};

CachedFrames cachedFrames(benchmark::State* state, int megabytes, long frames) {
    startScript(listScript(megabytes));
    CachedFrames result;
    Clock start = now();
    bool ran = frame();
    result.firstMs = 1e3 * (now().wall - start.wall);
    long long read = procValue("/proc/self/io", "rchar:");
    start = now();
    long count = 0;
    if (state) {
        for (auto _ : *state) {
            Clock before = now();
            ran &= frame();
            state->SetIterationTime(now().wall - before.wall);
        }
        count = long(state->iterations());
    } else {
        for (; count < frames; ++count) ran &= frame();
    }
    Clock end = now();
    read = procValue("/proc/self/io", "rchar:") - read;
    if (!ran && state) fail(*state, "the list script failed");
    count = std::max(count, 1L);
    result.wallMs = 1e3 * (end.wall - start.wall) / count;
    result.cpuMs = 1e3 * (end.cpu - start.cpu) / count;
    result.readKiB = double(read) / 1024 / count;
    return result;
}

void CachedListFrame(benchmark::State& state) {
    int megabytes = int(state.range(0));
    CachedFrames measured = cachedFrames(&state, megabytes, 0);
    state.counters["first_frame_ms"] = measured.firstMs;
    state.counters["KiB_read_per_frame"] = measured.readKiB;   // target: at most 64
    if (megabytes != 20) {
        // The 20 MB figure of the same run, for the ratio (target: at most 1.5).
        CachedFrames small = cachedFrames(nullptr, 20, long(state.iterations()));
        state.counters["vs_20MB"] = measured.cpuMs / small.cpuMs;
    }
}
BENCHMARK(CachedListFrame)->ArgName("MB")->Arg(20)->Arg(200)->UseManualTime()->MinTime(0.3)
    ->Unit(benchmark::kMicrosecond);

// 4. Memory: the peak resident size while a frame of a script runs, the peak reset first.
long long peakKiBOfFrame(const std::string& path, bool& ran) {
    startScript(path);
    std::ofstream reset("/proc/self/clear_refs");
    reset << "5" << std::flush;
    if (!reset) return -1;
    ran = frame();
    return procValue("/proc/self/status", "VmHWM:");
}

void MemoryGrowth(benchmark::State& state) {
    const std::string& oneLine = repeatedScript("translate1.txt", "", "Translate 0 0 0\n", 16, "");
    const std::string& large = repeatedScript("translate200.txt", "", "Translate 0 0 0\n", 200 * MiB, "");
    for (auto _ : state) {
        bool ranSmall = false, ranLarge = false;
        long long base = peakKiBOfFrame(oneLine, ranSmall);
        long long peak = peakKiBOfFrame(large, ranLarge);
        if (base < 0 || peak < 0) fail(state, "cannot reset or read VmHWM in /proc/self");
        if (!ranSmall || !ranLarge) fail(state, "a Translate script failed");
        state.counters["peak_MiB"] = double(peak) / 1024;
        state.counters["growth_MiB"] = double(peak - base) / 1024;   // target: at most 32
    }
}
BENCHMARK(MemoryGrowth)->Iterations(1)->Unit(benchmark::kMillisecond);

// 5. A failed version: the latch holds, the file is not opened.
void FailedVersionFrame(benchmark::State& state) {
    startScript(script("failed.txt", "Foo\n", 0, 0, vertexLine, ""));
    runScript();
    for (auto _ : state) benchmark::DoNotOptimize(runScript());
}
BENCHMARK(FailedVersionFrame)->Unit(benchmark::kMicrosecond);

// 6. The bundled scenes, every examples/*.txt found at start: one frame each, drawn from the
// examples directory so that relative image names resolve as they do in the viewer.
std::string examplesDirectory() {
    const char* chosen = std::getenv("CORVANE_BENCH_EXAMPLES");
    return chosen && *chosen ? chosen : CORVANE_SOURCE_DIR "/examples";
}

// NURBS blocks print the GL's error state on standard output every frame; thousands of those
// lines would bury the table, which the library prints there too once the benchmark returns.
struct QuietStandardOutput {
    QuietStandardOutput() {
        std::fflush(stdout);
        saved = ::dup(STDOUT_FILENO);
        int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, STDOUT_FILENO);
            ::close(null);
        }
    }
    ~QuietStandardOutput() {
        std::fflush(stdout);
        if (saved >= 0) {
            ::dup2(saved, STDOUT_FILENO);
            ::close(saved);
        }
    }
    int saved;
};

void ExampleFrame(benchmark::State& state, const std::filesystem::path& example) {
    QuietStandardOutput quiet;
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(example.parent_path());
    startScript(example.string());
    if (!frame()) {
        std::string log = logText();
        fail(state, "the example reported: " + log.substr(0, log.find('\n')));
    }
    frame();   // a list's first frame compiles it; the tape is recorded by the frame after
    auto [replayCpu, rereadCpu] = timeAgainst(state, [] { frame(); }, [] { rereadFrame(); });
    state.counters["reread_ms"] = 1e3 * rereadCpu / double(state.iterations());
    state.counters["vs_reread"] = replayCpu / rereadCpu;   // target: at most 1
    std::filesystem::current_path(previous);
}

void registerExampleFrames() {
    std::vector<std::filesystem::path> examples;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(examplesDirectory(), error))
        if (entry.path().extension() == ".txt") examples.push_back(std::filesystem::absolute(entry.path()));
    std::sort(examples.begin(), examples.end());
    for (const auto& example : examples) {
        std::string name = "ExampleFrame/" + example.stem().string();
        benchmark::RegisterBenchmark(name.c_str(), ExampleFrame, example)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
}

// 7. corvane-render as a whole process, as its users run it.
struct WholeRun {
    double seconds = -1;   // -1: it failed
    double peakMiB = 0;
};

// One run of a program, waited for; environment as for start(): no DISPLAY unless it names one.
WholeRun timedRun(const std::vector<std::string>& command, const std::string& directory,
                  const std::vector<std::string>& environment) {
    auto begin = std::chrono::steady_clock::now();
    pid_t pid = start(command, directory, "/dev/null", environment);
    int status = -1;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || status != 0) return {};
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - begin;
    return {seconds.count(), double(usage.ru_maxrss) / 1024};
}

// One run on the default scene.
WholeRun renderDefaultScene(const std::vector<std::string>& options,
                            const std::vector<std::string>& environment) {
    std::vector<std::string> command = {CORVANE_RENDER, "default.txt", "-o", scratchPath("run.png")};
    command.insert(command.end(), options.begin(), options.end());
    return timedRun(command, examplesDirectory(), environment);
}

// What drawing without a display costs: a one-frame run without a display (it starts its own X
// server) against the same run on a display already up. Best of the iterations on each side,
// as start-up times vary with the disk cache.
void StartUpWithoutADisplay(benchmark::State& state) {
    pid_t server = -1;
    std::string display = startXServer(server, "/dev/null");
    if (display.empty()) return fail(state, "no X server to compare with");
    double without = 1e9, with = 1e9;
    for (auto _ : state) {
        WholeRun headless = renderDefaultScene({}, {"WAYLAND_DISPLAY="});
        WholeRun shown = renderDefaultScene({}, {"DISPLAY=" + display});
        if (headless.seconds < 0 || shown.seconds < 0) {
            fail(state, "corvane-render failed");
            break;
        }
        state.SetIterationTime(headless.seconds);
        without = std::min(without, headless.seconds);
        with = std::min(with, shown.seconds);
    }
    stop(server);
    state.counters["display_ms"] = 1e3 * with;
    state.counters["no_display_ms"] = 1e3 * without;
    state.counters["vs_display"] = without / with;   // target: at most 3
}
BENCHMARK(StartUpWithoutADisplay)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

// A long render that writes only its last frame: its memory must not grow with the frames it
// draws and nobody reads (Mesa queued each one until a frame was read).
void LongRenderMemory(benchmark::State& state) {
    for (auto _ : state) {
        WholeRun few = renderDefaultScene({"--frames", "1000"}, {});
        WholeRun many = renderDefaultScene({"--frames", "3000"}, {});
        if (few.seconds < 0 || many.seconds < 0) return fail(state, "corvane-render failed");
        state.SetIterationTime(many.seconds);
        state.counters["peak_MiB"] = many.peakMiB;
        state.counters["growth_MiB"] = many.peakMiB - few.peakMiB;   // target: at most 16
    }
}
BENCHMARK(LongRenderMemory)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// 8. The language server as editors run it, a process of its own fed over its pipes: how soon
// an edit of a 1,000-line script is published, and what a 50 MB document costs it, against two
// of the viewer's frames of the same file (a check runs two) in this process.
std::string lineOfScene(long i) {
    static const char* const lines[] = {"{ Translate 1 0 0  Rotate 10 0 1 0  Sphere }\n",
                                        "LightPosition 0 10 10 0  DiffuseColor 0.2 0.5 0.9\n",
                                        "Begin Triangles  Vertex 0 0 0  Vertex 1 0 0  Vertex 0 1 0  End\n"};
    return lines[i % 3];
}

LspClient::json startOfLine(int line) {
    return {{"start", {{"line", line}, {"character", 0}}}, {"end", {{"line", line}, {"character", 0}}}};
}

// An edit as editors send it: a word put at the start of a line, in document version `version`.
void insertWord(LspClient& client, const std::string& uri, int version, int line, const std::string& word) {
    client.notify("textDocument/didChange",
                  {{"textDocument", {{"uri", uri}, {"version", version}}},
                   {"contentChanges", {{{"range", startOfLine(line)}, {"text", word}}}}});
}

// The diagnostics of that version of the document; null when they do not come.
LspClient::json publishedVersion(LspClient& client, const std::string& uri, int version) {
    for (;;) {
        LspClient::json published = client.diagnosticsOf(uri, 60);
        if (published.is_null() || published["params"]["version"] == version) return published;
    }
}

// A server started as an editor starts it, initialized.
std::unique_ptr<LspClient> startServer() {
    auto client = std::make_unique<LspClient>(scratchPath(""), scratchPath("lsp-errors.txt"));
    client->initialize();
    return client;
}

// Seconds from opening a document to its diagnostics; -1 when they do not come.
double openDocument(LspClient& client, const std::string& uri, const std::string& text) {
    Clock start = now();
    client.notify("textDocument/didOpen",
                  {{"textDocument", {{"uri", uri}, {"languageId", "corvane"}, {"version", 1}, {"text", text}}}});
    return publishedVersion(client, uri, 1).is_null() ? -1 : now().wall - start.wall;
}

void LanguageServerEdit(benchmark::State& state) {
    std::string text;
    for (long i = 0; i < 1000; ++i) text += lineOfScene(i);
    const std::string uri = "file://" + scratchPath("edited.txt");
    auto client = startServer();
    double first = openDocument(*client, uri, text), worst = 0, total = 0;
    if (first < 0) return fail(state, "corvane-lsp published nothing");
    int version = 1;
    for (auto _ : state) {
        ++version;
        Clock start = now();
        insertWord(*client, uri, version, version % 1000, version % 2 ? "Foo " : "Box ");
        if (publishedVersion(*client, uri, version).is_null()) return fail(state, "an edit was not published");
        double seconds = now().wall - start.wall;
        state.SetIterationTime(seconds);
        worst = std::max(worst, seconds);
        total += seconds;
    }
    state.counters["first_ms"] = 1e3 * first;   // the first check, the GL made meanwhile
    state.counters["mean_ms"] = 1e3 * total / double(state.iterations());
    state.counters["worst_ms"] = 1e3 * worst;   // target: at most 1000
}
BENCHMARK(LanguageServerEdit)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

// The process's peak resident size, and its reset to the present size.
long long peakKiBOf(pid_t pid) {
    return procValue(("/proc/" + std::to_string(pid) + "/status").c_str(), "VmHWM:");
}
bool resetPeak(pid_t pid) {
    std::ofstream reset("/proc/" + std::to_string(pid) + "/clear_refs");
    reset << "5" << std::flush;
    return bool(reset);
}

// The viewer's side: what two frames of a script add to this process's peak, over two frames of
// a one-line script; and their time.
double viewerGrowthMiB(const std::string& path, double& seconds) {
    const std::string& oneLine = repeatedScript("box.txt", "", "Box\n", 4, "");
    double peaks[2];
    for (int i = 0; i < 2; ++i) {
        std::string error;
        if (!startHeadless(1000, 512, error)) return -1;   // the viewer's window, as the server's
        chooseScriptFile(i == 0 ? oneLine : path);
        allowTape(false);   // as the server's checks run
        if (!resetPeak(getpid())) return -1;
        Clock start = now();
        if (frame()) frame();
        seconds = now().wall - start.wall;
        peaks[i] = double(peakKiBOf(getpid())) / 1024;
    }
    allowTape(true);
    return peaks[1] - peaks[0];
}

void LanguageServerLargeDocument(benchmark::State& state) {
    const std::string& path = script("large50.txt", "Begin Triangles\n", 1L << 30, 50 * MiB, vertexLine, "End\n");
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string uri = "file://" + path;
    const double documentMiB = double(text.size()) / MiB;
    for (auto _ : state) {
        double framesSeconds = 0;
        double viewerGrowth = viewerGrowthMiB(path, framesSeconds);
        // The server: its peak while an edit of a one-line script is checked, its peak while
        // the large one is opened, and its peak while an edit of that is checked.
        auto client = startServer();
        const std::string small = "file://" + scratchPath("box.txt");
        pid_t server = client->process();
        bool published = openDocument(*client, small, "Box\n") >= 0 && resetPeak(server);
        insertWord(*client, small, 2, 0, "Box ");
        published = published && !publishedVersion(*client, small, 2).is_null();
        double baseMiB = double(peakKiBOf(server)) / 1024;
        double opened = openDocument(*client, uri, text);
        published = published && opened >= 0;
        double openPeakMiB = double(peakKiBOf(server)) / 1024;
        resetPeak(server);
        Clock start = now();
        insertWord(*client, uri, 2, 5, "Foo ");
        published = published && !publishedVersion(*client, uri, 2).is_null();
        double edited = now().wall - start.wall;
        double editPeakMiB = double(peakKiBOf(server)) / 1024;
        client->finish();
        if (!published || viewerGrowth < 0) return fail(state, "the large document was not checked");
        state.SetIterationTime(edited);
        state.counters["open_s"] = opened;
        state.counters["edit_s"] = edited;
        state.counters["frames_s"] = framesSeconds;
        state.counters["edit_vs_frames"] = edited / framesSeconds;   // target: at most 1.5
        state.counters["viewer_growth_MiB"] = viewerGrowth;
        // Beyond the text, which a server keeps as its editor does: what an edit costs it, and
        // what opening costs, when the JSON decoder holds a second copy for a moment.
        state.counters["edit_growth_MiB"] = editPeakMiB - baseMiB - documentMiB;
        state.counters["open_growth_MiB"] = openPeakMiB - baseMiB - documentMiB;
        state.counters["vs_viewer"] = (editPeakMiB - baseMiB - documentMiB) / viewerGrowth;   // target: at most 1.05
    }
}
BENCHMARK(LanguageServerLargeDocument)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    registerExampleFrames();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return anyFailed ? 1 : 0;
}
