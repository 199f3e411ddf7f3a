// The language server's analysis, without the protocol: what hover and completion make of the
// place they are asked about, the outline the reader's way of reading gives, and the queue of
// checks, which coalesces changes and never lets an older result stand for a newer buffer.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "analysis/assist.h"
#include "analysis/check_queue.h"
#include "analysis/outline.h"
#include "commands/command_help.h"
#include "commands/registry.h"

namespace {
// A script with a '|' where the editor's cursor stands: the text without it, and the offset.
struct Cursor {
    std::string text;
    std::int64_t offset;
};

Cursor at(const std::string& marked) {
    std::size_t bar = marked.find('|');
    return {marked.substr(0, bar) + marked.substr(bar + 1), std::int64_t(bar)};
}

std::shared_ptr<const std::string> shared(const std::string& text) {
    return std::make_shared<const std::string>(text);
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST(LspAnalysisTest, HoverSaysWhatTheWordIsWhereItStands) {
    registerCommands();
    const struct {
        const char* marked;
        const char* hover;   // its first line
    } cases[] = {
        {"Ro|tate 90 0 1 0", "**`Rotate`** *angle x y z*"},
        {"Rotate| 90 0 1 0", "**`Rotate`** *angle x y z*"},
        {"Begin Tri|angles", "**`Begin Triangles`**"},
        {"Enable\n  # the light\n  Light|ing", "**`Enable Lighting`**"},
        {"Enable VertexAr|ray", "**`Enable VertexArray`**"},
        {"VertexAr|ray 1: 0 0 0", "**`VertexArray`** *n*, a separator, then *n* groups *x y z*"},
        {"Enable Fo|g", "`Enable` does not take `Fog`; it takes one of `Texture`, `Lighting`, "
                        "`DepthTest`, `VertexArray`, `NormalArray`, `ColorArray`, `TexCoordArray`"},
        {"BeginList tree Cone EndList\nCallList tr|ee CallList tree", "**display list `tree`**"},
        {"CallList gh|ost", "**display list `ghost`**"},
        {"# Ro|tate", ""},
        {"Box #Ro|tate", ""},
        {"Translate 1 2 |3", ""},
        {"TextureImage che|cker.png", ""},
        {"box|", ""},
    };
    for (const auto& c : cases) {
        Cursor cursor = at(c.marked);
        WordContext context = wordAt(cursor.text, cursor.offset);
        ScriptOutline outline = outlineScript(shared(cursor.text));
        EXPECT_EQ(firstLine(hoverText(cursor.text, context, outline)), c.hover) << c.marked;
    }
    // A list's hover says where it is made and how often it is called.
    Cursor list = at("\nBeginList tree Cone EndList\nCallList tr|ee CallList tree");
    EXPECT_EQ(hoverText(list.text, wordAt(list.text, list.offset), outlineScript(shared(list.text))),
              "**display list `tree`**\n\nmade by the `BeginList` on line 2, called 2 times");
}

std::vector<std::string> labelsAt(const std::string& marked) {
    Cursor cursor = at(marked);
    std::vector<std::string> labels;
    for (const Completion& item : completionsAt(wordAt(cursor.text, cursor.offset), cursor.offset,
                                                outlineScript(shared(cursor.text))))
        labels.push_back(item.label);
    return labels;
}

TEST(LspAnalysisTest, CompletionOffersWhatFitsThere) {
    registerCommands();
    const struct {
        const char* marked;
        std::vector<std::string> labels;
    } cases[] = {
        {"Box\nScale|", {"Scale", "ScaleIncremental"}},
        {"Be|", {"Begin", "BeginList"}},
        {"Begin Tri|", {"Triangles", "TriangleStrip"}},
        {"Begin\n  |", {"Points", "Lines", "Triangles", "TriangleStrip", "Quads", "Polygon", "NURBS", "NURBSCurve"}},
        {"Disable Tex|", {"Texture", "TexCoordArray"}},
        {"TextureMode |", {"Modulate", "Replace"}},
        {"BeginList a EndList BeginList b EndList BeginList a EndList CallList |", {"a", "b"}},
        {"BeginList |", {}},
        {"TextureImage |", {}},
        {"Box # Sc|", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(labelsAt(c.marked), c.labels) << c.marked;
    EXPECT_EQ(labelsAt("Translate 1 2 3\n|").size(), commandHelp().size()) << "any command may come next";
}

TEST(LspAnalysisTest, TheOutlineReadsTheWordsAsTheScriptReaderDoes) {
    registerCommands();
    std::string text =
        "# BeginList commented\n"          // a comment makes no list
        "BeginList outer\n"
        "  BeginList inner\n"              // refused inside a list: its name is a command word
        "  TextureImage sky.png\n"
        "EndList\n"
        "CallList outer CallList none\n"
        "BeginList open\n";                // no EndList: the block runs to the end
    ScriptOutline outline = outlineScript(shared(text));
    ASSERT_EQ(outline.lists.size(), 2u);
    EXPECT_EQ(outline.lists[0].name.text, "outer");
    EXPECT_EQ(outline.lists[0].begin, std::int64_t(text.find("BeginList outer")));
    EXPECT_EQ(outline.lists[0].end, std::int64_t(text.find("EndList") + 7));
    EXPECT_EQ(outline.lists[1].name.text, "open");
    EXPECT_EQ(outline.lists[1].end, std::int64_t(text.size()));
    ASSERT_EQ(outline.pictures.size(), 1u);
    EXPECT_EQ(outline.pictures[0].offset, std::int64_t(text.find("sky.png")));
    ASSERT_EQ(outline.calls.size(), 2u);
    EXPECT_EQ(outline.calls[1].text, "none");
    EXPECT_EQ(outline.readingStops, -1);
    EXPECT_EQ(listMentions(outline, "outer", true).size(), 2u);
    EXPECT_EQ(listMentions(outline, "outer", false).size(), 1u);

    // A comment whose line runs to 2000 characters ends the reading: the call after it is never read.
    std::string stopped = "Box # " + std::string(2000, 'x') + "\nCallList later\n";
    ScriptOutline cut = outlineScript(shared(stopped));
    EXPECT_TRUE(cut.calls.empty());
    EXPECT_GT(cut.readingStops, 0);
    EXPECT_EQ(outlineScript(shared("Box # " + std::string(2000, 'x'))).readingStops, -1)
        << "an overlong comment on the last line loses nothing";
}

TEST(LspAnalysisTest, TheQueueCoalescesChangesAndPublishesOnlyTheNewest) {
    CheckQueue queue;
    auto job = [](const char* document, int version) {
        return CheckJob{document, version, std::make_shared<const std::string>(), {}, 0};
    };
    queue.schedule(job("a", 1));
    queue.schedule(job("b", 1));
    queue.schedule(job("a", 2));   // takes the place of a's first
    CheckJob first, second;
    ASSERT_TRUE(queue.take(first));
    ASSERT_TRUE(queue.take(second));
    EXPECT_EQ(first.document + std::to_string(first.version), "a2");
    EXPECT_EQ(second.document + std::to_string(second.version), "b1");

    queue.schedule(job("b", 2));   // arrives while b's first is being checked
    int published = 0;
    EXPECT_TRUE(queue.publishIfNewest(first, [&] { ++published; }));
    EXPECT_FALSE(queue.publishIfNewest(second, [&] { ++published; }));
    queue.forget("a");             // closed: nothing of it is published any more
    EXPECT_FALSE(queue.publishIfNewest(first, [&] { ++published; }));
    EXPECT_EQ(published, 1);

    queue.close();
    CheckJob none;
    EXPECT_FALSE(queue.take(none));
}
}  // namespace
