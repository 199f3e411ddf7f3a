// The outline of a script: its display lists, the calls of them and the pictures it names,
// each with where its words stand, found by reading the words as the script reader reads them
// (the same comments, the same stop at an overlong comment) without running anything.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A word and the byte offset where it starts.
struct PlacedWord {
    std::string text;
    std::int64_t offset = 0;
    std::int64_t end() const { return offset + std::int64_t(text.size()); }
};

// A BeginList ... EndList block: from the B of BeginList to just after EndList (the end of the
// script when no EndList closes it).
struct ListBlock {
    PlacedWord name;
    std::int64_t begin = 0;
    std::int64_t end = 0;
};

struct ScriptOutline {
    std::vector<ListBlock> lists;       // in the order they stand; a name may be made twice
    std::vector<PlacedWord> calls;      // the names CallList reads
    std::vector<PlacedWord> pictures;   // the names TextureImage reads
    // Where an overlong comment stops the reading, -1 when the reading reaches the end.
    std::int64_t readingStops = -1;
};

ScriptOutline outlineScript(const std::shared_ptr<const std::string>& text);
// The first block that makes the list, or null.
const ListBlock* findList(const ScriptOutline& outline, std::string_view name);

// The 1-based line of an offset, for texts shown to the user.
int lineOfOffset(std::string_view text, std::int64_t offset);
