// Grammar-built scripts for the tests: every command word with plausible and hostile arguments,
// mixed the way hand-written and generated scenes mix them (client arrays, display lists,
// primitives of every length, shapes, NURBS blocks, textures, groups, projections). The same
// seed always gives the same script.
#pragma once

#include <cstdint>
#include <string>

// picture: a file name that TextureImage may name (relative to the script's directory).
std::string generateScript(std::uint64_t seed, const std::string& picture = "checker.png");
