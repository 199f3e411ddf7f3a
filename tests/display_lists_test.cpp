// Display lists: their messages, what a list replays, the cache across frames and versions, and
// the group stacks a replay may use.
#include <GL/gl.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "commands/primitives.h"
#include "interpreter/display_lists.h"
#include "interpreter/runner.h"
#include "tests/gl_test.h"

namespace {
class DisplayListsTest : public GlTest {
protected:
    GLuint listId(const std::string& name) {
        auto found = displayListTable().find(name);
        return found == displayListTable().end() ? 0 : found->second.listId;
    }
    // Rewrites the script but keeps its modification time: the runner sees the same version.
    void rewriteKeepingTime(const std::string& path, const std::string& text) {
        struct stat before {};
        ASSERT_EQ(::stat(path.c_str(), &before), 0);
        std::ofstream(path, std::ios::binary) << text;
        timespec times[2] = {before.st_mtim, before.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    // Runs one frame's script inside a saved attribute level, for reading the state it leaves.
    template <class Inspect>
    void inspectRun(Inspect check) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        runScript();
        check();
        glPopAttrib();
        glLoadIdentity();
    }
};

std::string nested(int depth, const std::string& body) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "{ ";
    text += body;
    for (int i = 0; i < depth; ++i) text += " }";
    return text + "\n";
}

const char* const box = "Translate 0 0 -5\nBox\n";

// Lists L0 to Ln-1, each calling the one before with `extra` (where {} stands for that one's
// number) after the call, and the last one called.
std::string chain(int n, std::string extra) {
    std::string text = "BeginList L0 EndList\n";
    for (int i = 1; i < n; ++i) {
        std::string previous = std::to_string(i - 1), more = extra;
        if (auto at = more.find("{}"); at != std::string::npos) more.replace(at, 2, previous);
        text += "BeginList L" + std::to_string(i) + " CallList L" + previous + more + "EndList\n";
    }
    return text + "CallList L" + std::to_string(n - 1) + "\n";
}

TEST_F(DisplayListsTest, MessagesOverThreeFrames) {
    struct Case {
        std::string script;
        bool result;   // of the third frame
        const char* log;
    };
    const Case cases[] = {
        {"BeginList A\nBox\nEndList\nCallList A\nCallList A\n", true, ""},
        {"CallList A\nBeginList A\nBox\nEndList\n", false, "No such display list A\n"},
        {"BeginList A\nBeginList B\nEndList\n", false,
         "Already inside a BeginList - you cannot nest\nUnknown command \"B\"\n"},
        {"EndList\nBox\n", false, "EndList does not match a BeginList\n"},
        {"BeginList A\nBox\n", false, "Missing EndList\n"},
        // A second definition reports itself instead of seeking back to the first's end for
        // ever; its body then runs as plain commands and its EndList matches nothing.
        {"BeginList A\nBox\nEndList\nBeginList A\nSphere\nEndList\n", false,
         "Display list A is already defined\nEndList does not match a BeginList\n"},
        {"BeginList A\nBox\nEndList\nBeginList B\nBox\nEndList\nCallList B\n", true, ""},
        // The name cut off by the end of the file: no list is opened, nothing is reported.
        {"Box\nBeginList", true, ""},
        {"Box\nCallList", false, "No such display list \n"},
        // EndList as the file's last word: later frames resume at the end of the file.
        {"BeginList A\nBox\nEndList", true, ""},
        {"BeginList A\nBox\nEndList\n", true, ""},
        // A group closed outside the list that opens it balances only on the first frame.
        {"BeginList A\n{\nEndList\n}\n", false, "unmatched `}'\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(run(c.script, 3), c.result);
        EXPECT_EQ(logOf(), c.log);
        EXPECT_EQ(currentListName(), "");
        EXPECT_EQ(integer(GL_LIST_INDEX), 0);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    const std::string endsWithEndList = "Box\nBeginList A\nBox\nEndList";
    run(endsWithEndList, 2);
    EXPECT_EQ(displayListTable().at("A").resumePosition, std::int64_t(endsWithEndList.size()));
}

TEST_F(DisplayListsTest, CompiledOnceAndDrawnOnlyByCallList) {
    EXPECT_TRUE(run(std::string("BeginList A\n") + box + "EndList\n"));
    EXPECT_FALSE(drawnAt(size / 2, size / 2));   // compiling draws nothing
    GLuint id = listId("A");
    EXPECT_TRUE(glIsList(id));
    EXPECT_TRUE(frame());
    EXPECT_FALSE(drawnAt(size / 2, size / 2));

    EXPECT_TRUE(run(std::string("BeginList A\n") + box + "EndList\nCallList A\n"));
    EXPECT_TRUE(drawnAt(size / 2, size / 2));
    id = listId("A");
    EXPECT_TRUE(frame());
    EXPECT_TRUE(drawnAt(size / 2, size / 2));
    EXPECT_EQ(listId("A"), id);   // reused, not compiled again
    EXPECT_EQ(displayListTable().size(), 1u);

    // Another file is a new version: every list of the old one is deleted.
    writeScript("Box\n", "other.txt");
    EXPECT_TRUE(frame());
    EXPECT_FALSE(glIsList(id));
    EXPECT_TRUE(displayListTable().empty());
}

TEST_F(DisplayListsTest, LaterFramesSkipTheBodyUntilTheFileIsSaved) {
    const std::string body = "Translate 0 0 -5\nBox\n";
    std::string path = writeScript("BeginList A\n" + body + "EndList\nCallList A\n");
    EXPECT_TRUE(frame());
    // Garbage in place of the body, at the same offsets and with the same modification time:
    // the next frame seeks over it and replays the compiled list.
    std::string garbage = "Garbage 1 2 3 ######\n";
    ASSERT_EQ(garbage.size(), body.size());
    rewriteKeepingTime(path, "BeginList A\n" + garbage + "EndList\nCallList A\n");
    EXPECT_TRUE(frame());
    EXPECT_EQ(logOf(), "");
    EXPECT_TRUE(drawnAt(size / 2, size / 2));
    // Saved: the lists are deleted and the body is read again.
    writeScript("BeginList A\n" + garbage + "EndList\nCallList A\n");
    EXPECT_FALSE(frame());
    EXPECT_EQ(logOf(), "Unknown command \"Garbage\"\nUnknown command \"1\"\n"
                       "Unknown command \"2\"\nUnknown command \"3\"\n");
}

TEST_F(DisplayListsTest, CallListReplaysTransformAndMaterial) {
    writeScript("BeginList A\nTranslate 1 2 3\nDiffuseColor 1 0 0\nEndList\nCallList A\n");
    for (int frame = 0; frame < 2; ++frame) {
        inspectRun([] {
            float m[16], diffuse[4];
            glGetFloatv(GL_MODELVIEW_MATRIX, m);
            glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
            EXPECT_FLOAT_EQ(m[12], 1);
            EXPECT_FLOAT_EQ(m[13], 2);
            EXPECT_FLOAT_EQ(m[14], 3);
            EXPECT_FLOAT_EQ(diffuse[0], 1);
            EXPECT_FLOAT_EQ(diffuse[1], 0);
        });
    }
    writeScript("BeginList A\nTranslate 1 2 3\nDiffuseColor 1 0 0\nEndList\n");
    inspectRun([] {
        float m[16], diffuse[4];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
        EXPECT_FLOAT_EQ(m[12], 0);
        EXPECT_FLOAT_EQ(diffuse[1], 0.8f);
    });
}

// The frame saves one attribute level and one is kept free for GLU's curves, so of the 16 a
// list replayed at the top of a run may push 14.
TEST_F(DisplayListsTest, CallsThatWouldOverflowTheGroupStacksAreRefused) {
    const std::string refusedA = "Display list A nests groups too deeply to be called here\n";
    struct Case {
        std::string script;
        const char* log;
    };
    const Case cases[] = {
        {"BeginList A\n" + nested(14, "DiffuseColor 1 0 0") + "EndList\nCallList A\n", ""},
        {"BeginList A\n" + nested(15, "DiffuseColor 1 0 0") + "EndList\nCallList A\n",
         refusedA.c_str()},
        {"BeginList A\n" + nested(3, "Box") + "EndList\n" + nested(11, "CallList A"), ""},
        {"BeginList A\n" + nested(3, "Box") + "EndList\n" + nested(12, "CallList A"),
         refusedA.c_str()},
        // Groups of the lists it calls count for the caller, wherever it is called.
        {"BeginList A\n" + nested(7, "Box") + "EndList\nBeginList B\n" +
             nested(7, "CallList A") + "EndList\nCallList B\n",
         ""},
        {"BeginList A\n" + nested(7, "Box") + "EndList\nBeginList B\n" +
             nested(8, "CallList A") + "EndList\nCallList B\n",
         "Display list B nests groups too deeply to be called here\n"},
        // Pushes that are never popped in the body count too.
        {"BeginList A\n{ { Box\nEndList\n" + nested(13, "CallList A"),
         "Display list A nests groups too deeply to be called here\n2 unmatched `{'(s)\n"},
        // A list may not call itself: at best its replay repeats to the GL's nesting limit, at
        // worst the driver recurses for ever when a list that calls it is ended.
        {"BeginList A\n{ CallList A }\nEndList\nCallList A\n",
         "Display list A cannot call itself\n"},
        {"BeginList A\nBox\nCallList A\nCallList A\nEndList\nCallList A\n",
         "Display list A cannot call itself\nDisplay list A cannot call itself\n"},
        {"BeginList tree CallList tree EndList\nBeginList t Begin Polygon CallList tree\n",
         "Display list tree cannot call itself\nMissing EndList\n"},
        // Chains of calls end at the GL's nesting limit, and a replay calls a million lists
        // at most.
        {chain(64, " "), ""},
        {chain(65, " "), "Display list L63 nests lists too deeply to be called from a list\n"},
        {chain(20, " CallList L{} "), ""},
        {chain(21, " CallList L{} "), "Display list L20 would call more than a million lists\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        resetRunner();
        EXPECT_EQ(run(c.script, 2), std::string(c.log).empty());
        EXPECT_EQ(logOf(), c.log);
        EXPECT_EQ(integer(GL_ATTRIB_STACK_DEPTH), 0);
        EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), 1);
        float diffuse[4];
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
        EXPECT_FLOAT_EQ(diffuse[1], 0.8f);   // the frame's own save was restored
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}
// Primitives with too few vertices to draw, side by side in a list (a script half written
// holds them), once made the GL driver read and free memory that was not its own when the
// list ended; the list still draws what its whole primitives draw.
TEST_F(DisplayListsTest, ListsOfPrimitivesTooShortToDraw) {
    const std::string vertex = " Vertex 0 0 -5 ";
    const std::string triangle = "Begin Triangles Vertex -1 -1 -5 Vertex 1 -1 -5 Vertex 0 1 -5 End\n";
    for (const char* kind : {"TriangleStrip", "Quads", "Triangles", "Lines", "Polygon"}) {
        SCOPED_TRACE(kind);
        std::string shortOne = std::string("Begin ") + kind + vertex + "End ";
        EXPECT_TRUE(run("Disable Lighting VertexArray 1 , 0 0 -5 BeginList A " + shortOne +
                        shortOne + "Begin " + kind + " Element 0 End " + shortOne + triangle +
                        "EndList\nCallList A\n", 2));
        EXPECT_EQ(logOf(), "");
        EXPECT_TRUE(drawnAt(size / 2, size / 2));
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        resetRunner();
    }
    // A material change part way through a recorded primitive once crashed the GL driver when
    // the list ended; it is refused there, and taken between primitives and outside lists.
    const std::string material = "Begin Triangles" + vertex + "DiffuseColor 1 0 0" + vertex +
                                 vertex + "End\n";
    for (const std::string& script :
         {"BeginList C " + material + "EndList\n", "BeginList C Begin Polygon" + vertex +
                                                        "Shininess 4 " + vertex + vertex}) {
        SCOPED_TRACE(script);
        resetRunner();
        EXPECT_FALSE(run(script, 2));
        EXPECT_EQ(logOf().find("Material changes between Begin and End cannot be recorded in a "
                               "display list\n"),
                  0u);
    }
    resetRunner();
    resetPrimitives();   // the last script left its Begin open
    EXPECT_TRUE(run(material + "BeginList D DiffuseColor 1 0 0 " + triangle + "EndList\n", 2));
    EXPECT_EQ(logOf(), "");
    // No list is made inside a primitive drawn at once: the GL cannot make one there.
    resetRunner();
    EXPECT_FALSE(run("Begin TriangleStrip\nBeginList tree\nEndList\nBeginList ent End\n"
                     "Begin TriangleStrip\nCallList tree\n",
                     2));
    EXPECT_EQ(logOf().find("BeginList is not allowed between Begin and End\n"), 0u);
    EXPECT_TRUE(displayListTable().empty());
    resetPrimitives();
    // Left open at the end of the script, the last one is closed with the list.
    EXPECT_FALSE(run("BeginList B Begin Quads" + vertex + "End Begin Quads" + vertex, 2));
    EXPECT_EQ(logOf(), "Missing EndList\n");
}
}  // namespace
