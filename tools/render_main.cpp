// corvane-render's entry point.
#include "tools/render_tool.h"

int main(int argc, char** argv) { return renderMain(argc, argv); }
