// The 52 script words: every command family's rows, gathered in the order the table is built.
#pragma once

#include <span>

#include "interpreter/command_table.h"

// Fills the command table once (start-up).
void registerCommands();

// Each family's rows, defined at the bottom of its own file.
std::span<const CommandRow> viewTransformCommands();
std::span<const CommandRow> lightingCommands();
std::span<const CommandRow> shapeCommands();
std::span<const CommandRow> primitiveCommands();
std::span<const CommandRow> renderStateCommands();
std::span<const CommandRow> nurbsCommands();
std::span<const CommandRow> vertexArrayCommands();
std::span<const CommandRow> projectionCommands();
