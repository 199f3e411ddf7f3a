// corvane-lsp: the language server of scene scripts, over standard input and output.
#pragma once

int lspMain(int argc, char** argv);
