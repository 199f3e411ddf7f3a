// corvane-render: runs a script without a visible window and writes what the viewer would draw.
#pragma once

int renderMain(int argc, char** argv);
