// How a program's CLI11 option declarations are shown: --help's layout, and the OPTIONS section
// of its manual page, made from the same declarations so that the two cannot drift apart.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

// --help as CLI11 lays it out, each text wrapped to 80 columns, an option's value name beside
// it and its default after its description.
void useHelpLayout(CLI::App& app);
// The OPTIONS section in roff: one .SS per group, one tagged paragraph per option.
std::string manualOptions(const CLI::App& app);
