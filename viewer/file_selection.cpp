// The script file's name; empty means no file.
#include "viewer/file_selection.h"

std::string scriptFileName;
