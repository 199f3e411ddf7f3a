// The viewer's entry point.
#include "viewer/viewer.h"

int main(int argc, char** argv) { return runViewer(argc, argv); }
