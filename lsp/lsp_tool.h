// corvane-lsp: the language server of scene scripts, over standard input and output.
#pragma once

#include <functional>
#include <string>

int lspMain(int argc, char** argv);
// One editor served: its messages read from input on a thread of their own and answered on
// output, the checks run on this thread once startChecks has made its GL session (false, with
// why, when it cannot: the editor is told once). Returns at the end of the input or the editor's
// exit, with the process's status.
int serveEditor(int input, int output, const std::function<bool(std::string&)>& startChecks);
