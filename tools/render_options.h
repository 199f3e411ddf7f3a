// corvane-render's command line: what each option sets, and the checks that refuse bad values.
// Parsing touches no GL and no file, so tests call it in-process; the checks that need the GL
// (the largest drawing area) or the file system (outputs, the reference) are made by the tool.
#pragma once

#include <string>
#include <vector>

#include "scene/trackball.h"
#include "scene/view_settings.h"
#include "tools/output_name.h"

struct RenderOptions {
    std::string script;
    OutputName output;              // prefix empty and no field: no picture
    int width = 1000;               // the drawing area
    int height = 512;
    int frames = 1;
    int every = 1;                  // of a sequence, write frames whose number is a multiple
    double fps = 50;                // of a video: the viewer's 20 ms clock
    double clock = 0;               // SceneClock of the first frame
    bool rawLog = false;
    bool check = false;             // one frame, diagnostics only
    bool stats = false;
    bool reread = false;            // read the script every frame: no tape
    std::string reference;          // picture the last frame is compared with
    std::string diff;               // where the comparison picture goes
    int tolerance = 8;              // largest channel difference a pixel may have and still match
    double threshold = 0.001;       // largest share of differing pixels a matching frame may have
    ViewSettings view;              // the size fields are set by the drawing area, not from here
    Trackball camera;
};

struct ParsedOptions {
    RenderOptions options;
    std::string help;                 // what --help (or --help-man) asked to print; else empty
    std::string error;                // why the command line was refused; empty when it was not
    std::vector<std::string> notes;   // values brought into the panel's ranges
};

ParsedOptions parseRenderOptions(const std::vector<std::string>& arguments);
