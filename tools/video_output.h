// Animation export: frames piped as raw RGB to the ffmpeg program, which encodes them into an
// .mp4, .webm or .gif file. Nothing of ffmpeg is linked. The video is written under a temporary
// name in the same directory and takes its own name only once ffmpeg has finished well, so a
// failed or interrupted export never leaves a broken file where the user asked for one.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class VideoOutput {
public:
    VideoOutput() = default;
    ~VideoOutput();   // an export not finished is abandoned: ffmpeg stopped, nothing left
    VideoOutput(const VideoOutput&) = delete;
    VideoOutput& operator=(const VideoOutput&) = delete;

    // Starts the ffmpeg program found on PATH for frames of this size at this rate, into path
    // (its extension chooses the format). False, with the reason, when it cannot be started.
    bool open(const std::string& path, int width, int height, double fps, std::string& error);
    // One frame, 8-bit RGB, top row first. False once ffmpeg no longer takes frames.
    bool write(const std::vector<unsigned char>& rgb);
    // Ends the stream and waits for ffmpeg. On success the video takes its name; otherwise the
    // reason holds ffmpeg's last lines and nothing is left behind.
    bool finish(std::string& error);

private:
    void abandon();

    pid_t encoder = -1;              // the ffmpeg process
    int frames = -1;                 // the socket to its standard input
    std::string path;                // the name asked for
    std::string partial;             // where ffmpeg writes until it has finished
    std::string messages;            // where ffmpeg's messages go
};
