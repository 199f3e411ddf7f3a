// Animation export through the ffmpeg program; see video_output.h. Its messages go to a scratch
// file rather than a pipe, so a chatty encoder can never stall the frames waiting to be read.
// GIFs get a palette made from the frames themselves, so gradients do not band.
#include "tools/video_output.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>

#include "tools/output_name.h"
#include "tools/partial_file.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {
// The encoder's options for each kind of file: H.264 and VP9 need even sides, so odd ones are
// padded by a row or a column.
std::vector<std::string> formatOptions(const std::string& extension) {
    const std::string evenSides = "pad=ceil(iw/2)*2:ceil(ih/2)*2";
    if (extension == ".mp4")
        return {"-vf", evenSides, "-c:v", "libx264", "-pix_fmt", "yuv420p", "-movflags",
                "+faststart", "-f", "mp4"};
    if (extension == ".webm")
        return {"-vf", evenSides, "-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p", "-deadline",
                "realtime", "-cpu-used", "8", "-b:v", "0", "-crf", "32", "-f", "webm"};
    return {"-filter_complex", "split[a][b];[a]palettegen[p];[b][p]paletteuse", "-f", "gif"};
}

// A scratch file made from this pattern (ending in XXXXXX); "" when none can be made.
std::string scratchFile(std::string pattern) {
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) return "";
    ::close(fd);
    return pattern;
}

// The last lines ffmpeg wrote, for the one message that says why the export failed.
std::string lastLines(const std::string& file, std::size_t count) {
    std::ifstream in(file);
    std::deque<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        lines.push_back(line);
        if (lines.size() > count) lines.pop_front();
    }
    std::string text;
    for (const std::string& line : lines) text += "\n  " + line;
    return text;
}
}  // namespace

VideoOutput::~VideoOutput() { abandon(); }

bool VideoOutput::open(const std::string& name, int width, int height, double fps,
                       std::string& error) {
    path = name;
    partial = makePartialBeside(name);
    const char* tmp = std::getenv("TMPDIR");
    messages = scratchFile(std::string(tmp && *tmp ? tmp : "/tmp") + "/corvane-ffmpeg-XXXXXX");
    if (partial.empty() || messages.empty()) {
        error = "cannot write " + name + ": cannot make a file beside it";
        abandon();
        return false;
    }
    char rate[32];
    std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::vector<std::string> words = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-f",
                                      "rawvideo", "-pix_fmt", "rgb24", "-s", size, "-framerate",
                                      std::string(rate, std::to_chars(rate, rate + 32, fps).ptr),
                                      "-i", "-"};
    for (const std::string& option : formatOptions(outputExtension(name))) words.push_back(option);
    // "file:" keeps ffmpeg from reading a name such as pipe:x or http:x as a protocol.
    words.insert(words.end(), {"-y", "file:" + partial});
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    // A socket rather than a pipe: a write to an encoder that has died then fails with EPIPE
    // (MSG_NOSIGNAL) instead of raising SIGPIPE, which would end corvane-render.
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        error = "cannot start ffmpeg: " + std::string(std::strerror(errno));
        abandon();
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, messages.c_str(), O_WRONLY | O_TRUNC, 0);
    int spawned = posix_spawnp(&encoder, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[0]);
    frames = ends[1];
    if (spawned != 0) {
        encoder = -1;
        error = "cannot write " + name +
                (spawned == ENOENT ? ": videos are made by the ffmpeg program, which is not on PATH"
                                   : ": cannot start ffmpeg: " + std::string(std::strerror(spawned)));
        abandon();
        return false;
    }
    return true;
}

bool VideoOutput::write(const std::vector<unsigned char>& rgb) {
    std::size_t done = 0;
    while (frames >= 0 && done < rgb.size()) {
        ssize_t n = ::send(frames, rgb.data() + done, rgb.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return frames >= 0;
}

bool VideoOutput::finish(std::string& error) {
    ::close(frames);
    frames = -1;
    int status = 0;
    while (::waitpid(encoder, &status, 0) < 0 && errno == EINTR) {
    }
    encoder = -1;
    bool encoded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (encoded && std::rename(partial.c_str(), path.c_str()) == 0) {
        partial.clear();
        abandon();
        return true;
    }
    error = encoded ? "cannot write " + path
                    : "ffmpeg could not write " + path + ":" + lastLines(messages, 8);
    abandon();
    return false;
}

void VideoOutput::abandon() {
    if (frames >= 0) ::close(frames);
    frames = -1;
    if (encoder > 0) {
        ::kill(encoder, SIGTERM);
        while (::waitpid(encoder, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    encoder = -1;
    for (std::string* file : {&partial, &messages}) {
        if (!file->empty()) ::unlink(file->c_str());
        file->clear();
    }
}
