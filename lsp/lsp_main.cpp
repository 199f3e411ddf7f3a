// corvane-lsp's entry point.
#include "lsp/lsp_tool.h"

int main(int argc, char** argv) { return lspMain(argc, argv); }
