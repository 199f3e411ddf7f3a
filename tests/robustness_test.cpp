// Scripts and files that a viewer left open for days meets: odd paths, files rewritten between
// frames and in the middle of one, enormous words and nesting, counts at the int limits, a
// million display lists, and a clock that has run for a week.
#include <GL/gl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "interpreter/command_table.h"
#include "interpreter/display_lists.h"
#include "interpreter/grouping.h"
#include "interpreter/message_log.h"
#include "interpreter/runner.h"
#include "commands/primitives.h"
#include "tests/gl_test.h"
#include "scene/script_file.h"
#include "frame/frame.h"
#include "scene/clock.h"

namespace {
using RobustnessTest = GlTest;

std::function<void()> editDuringRun;   // what the test word Edit does to the script, once

bool edit(ScriptStream&) {
    auto action = std::move(editDuringRun);
    editDuringRun = nullptr;
    if (action) action();
    return true;
}

TEST_F(RobustnessTest, PathsThatAreNotScriptsCannotBeOpened) {
    std::string fifo = directory + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {directory, fifo, std::string("/dev/null"),
                                    std::string("/dev/zero"), directory + "/missing"}) {
        SCOPED_TRACE(path);
        resetRunner();
        chooseScriptFile(path);
        EXPECT_FALSE(frame());   // never blocks, never reads forever
        EXPECT_EQ(logOf(), "Cannot open: " + path + "\n");
    }
}

TEST_F(RobustnessTest, ScriptRewrittenBetweenFramesRunsTheNewText) {
    std::string path = writeScript("Translate 0 0 -5\nBox\n");
    EXPECT_TRUE(frame());
    auto save = [&](const std::string& text, long nanoseconds) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        timespec times[2] = {{1700000000, nanoseconds}, {1700000000, nanoseconds}};
        utimensat(AT_FDCWD, path.c_str(), times, 0);
    };
    save("", 1);   // truncated: an empty version
    EXPECT_FALSE(frame());
    EXPECT_EQ(logOf(), "No valid tokens in: " + path + "\n");
    save(std::string(200000, ' ') + "Foo\n", 2);   // grown
    EXPECT_FALSE(frame());
    EXPECT_EQ(logOf(), "Unknown command \"Foo\"\nNo valid tokens in: " + path + "\n");
    // Replaced by a rename, as editors save.
    std::string other = directory + "/other.txt";
    std::ofstream(other, std::ios::binary) << "Translate 0 0 -5\nSphere\n";
    ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
    EXPECT_TRUE(frame());
    EXPECT_TRUE(drawnAt(size / 2, size / 2));
}

TEST_F(RobustnessTest, HugeWordsAndDeepNestingStayBounded) {
    std::string word(100 * 1024 * 1024, 'w');
    EXPECT_FALSE(run(word));
    EXPECT_EQ(logText(), "Unknown command \"" + word + "\"\nNo valid tokens in: " + scriptFileName() + "\n");

    std::string nested;
    for (int i = 0; i < 1000000; ++i) nested += "{\n";
    EXPECT_FALSE(run(nested));
    EXPECT_EQ(logOf(), "1000000 unmatched `{'(s)\n");
    GLint modelview = 0, attributes = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelview);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &attributes);
    EXPECT_EQ(modelview, 1);
    EXPECT_EQ(attributes, 0);
    EXPECT_EQ(braceDepth(), 0);
}

TEST_F(RobustnessTest, TheClockKeepsMovingAfterAWeek) {
    setSceneClock(7 * 24 * 3600.0);
    float before = sceneClock();
    for (int tick = 0; tick < 50; ++tick) advanceSceneClock();
    EXPECT_NEAR(sceneClock() - before, 1.0f, 0.07f);   // a second of ticks, give or take a float step
    // Incremental transforms keep animating: the phase differs from tick to tick.
    float phase = incrementalPhase(3.0f);
    advanceSceneClock();
    advanceSceneClock();
    EXPECT_NE(incrementalPhase(3.0f), phase);
}

// An editor saving while a frame reads a large script, part-way through a list and a group:
// the frame ends cleanly with whatever it read, and the next modification time runs the new text.
TEST_F(RobustnessTest, ScriptChangedInTheMiddleOfAFrame) {
    setTestCommand("Edit", edit);
    std::string filler;
    while (filler.size() < 300000) filler += "Translate 0 0 0\n";
    const std::string script = "Translate 0 0 -5\nBeginList A\n{\nEdit\n" + filler +
                               "Box\n}\nEndList\nCallList A\n";
    const std::string sphereList = "BeginList B\nSphere\nEndList\nCallList B\n";
    struct Case {
        const char* change;
        bool renamed;        // replaced by a rename instead of written in place
        std::string after;   // the text once the editor is done
        const char* log;     // of the frame that was reading when the editor saved
        std::size_t lists;   // in the new text
        bool drawn;          // whether the new text draws in the middle
    };
    // Past the end of a shorter file the frame meets the end of the script inside the list.
    const char* cutShort = "1 unmatched `{'(s)\nMissing EndList\n";
    const Case cases[] = {
        {"shrunk", false, "Translate 0 0 -5\n", cutShort, 0, false},
        {"grown", false, script + sphereList, "", 2, true},
        {"rewritten", false, "Translate 0 0 -5\nSphere\n", cutShort, 0, true},
        {"renamed over", true, "Translate 0 0 -5\n" + sphereList, "", 1, true},
    };
    long nanoseconds = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        resetRunner();
        std::string path = writeScript(script);
        editDuringRun = [&] {
            std::string target = c.renamed ? directory + "/saved.txt" : path;
            std::ofstream(target, std::ios::binary | std::ios::trunc) << c.after;
            if (c.renamed) {
                EXPECT_EQ(std::rename(target.c_str(), path.c_str()), 0);
            }
        };
        // A rename leaves the frame reading the whole old text from the file it opened.
        EXPECT_EQ(frame(), *c.log == 0);
        EXPECT_EQ(logOf(), c.log);
        EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), 1);
        EXPECT_EQ(integer(GL_ATTRIB_STACK_DEPTH), 0);
        EXPECT_EQ(braceDepth(), 0);
        EXPECT_EQ(currentListName(), "");

        timespec times[2] = {{1700000000, ++nanoseconds}, {1700000000, nanoseconds}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        EXPECT_TRUE(frame());
        EXPECT_EQ(logOf(), "");
        EXPECT_EQ(displayListTable().size(), c.lists);
        EXPECT_EQ(drawnAt(size / 2, size / 2), c.drawn);
    }
    setTestCommand("Edit", nullptr);
}

// Counts and indices at the ends of the int range read only the numbers the script holds: a
// list the file ends in keeps what it read, a word where a number should be is an argument that
// cannot be read, and so is a count one past the range.
TEST_F(RobustnessTest, CountsAtTheIntLimitsReadOnlyWhatIsThere) {
    const std::string unreadable = "Problems parsing arguments to ";
    struct Case {
        std::string script;
        bool result;
        std::string log;
    };
    const Case cases[] = {
        {"Disable VertexArray\nElement 2147483647\n", true, ""},   // no array to look in
        {"UKnots 2147483647 , 1 2 3\n", true, ""},
        {"ControlPoints 2147483647 , 1 2\n", true, ""},
        {"Box\nUKnots 2147483647 , 1 2 3\nBox\n", false, unreadable + "UKnots\n"},
        {"Box\nVKnots 2147483648 , 1 2 3\n", false, unreadable + "VKnots\n"},
        {"VKnots -2147483648 , 1\n", false, "Unknown command \"1\"\n"},
        {"VertexArray -2147483648 ,\nBox\n", true, ""},
        // The arrays outlive the script, so the next one indexes these two whole vertices.
        {"VertexArray 2147483647 , 1 2 3 4 5 6 7\n", true, ""},
        {"Begin Points\nElement 1\nElement 2147483647\nElement -2147483648\nEnd\n", false,
         "Element 2147483647 is outside VertexArray (2 elements)\n"
         "Element -2147483648 is outside VertexArray (2 elements)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        resetRunner();
        EXPECT_EQ(run(c.script, 2), c.result);
        EXPECT_EQ(logOf(), c.log);
        EXPECT_FALSE(insideBegin());
    }
    run("Disable VertexArray\n");
}

// A million lists are compiled once, skipped cheaply on later frames and all deleted when the
// file changes.
TEST_F(RobustnessTest, AMillionDisplayListsComeAndGo) {
    std::string script;
    for (int i = 0; i < 1000000; ++i) script += "BeginList n" + std::to_string(i) + "\nEndList\n";
    script += "CallList n999999\n";
    EXPECT_TRUE(run(script, 3));   // a hang would meet the test's own time limit
    EXPECT_EQ(logOf(), "");
    ASSERT_EQ(displayListTable().size(), 1000000u);
    GLuint last = displayListTable().at("n999999").listId;
    EXPECT_TRUE(glIsList(last));
    writeScript("Box\n", "other.txt");
    EXPECT_TRUE(frame());
    EXPECT_TRUE(displayListTable().empty());
    EXPECT_FALSE(glIsList(last));
    EXPECT_EQ(listsOutsideTheTable(last), 0);
}
}  // namespace
