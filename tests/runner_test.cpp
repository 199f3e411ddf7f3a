// The runner's messages, its comments and line ends, and its life cycle over file versions.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "interpreter/message_log.h"
#include "interpreter/runner.h"
#include "tests/gl_test.h"
#include "scene/script_file.h"

namespace {
class RunnerTest : public GlTest {
protected:
    // Sets the file's modification time exactly.
    void setTime(const std::string& path, time_t seconds, long nanoseconds) {
        timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    // Rewrites the file but keeps its modification time, as a save within the same instant.
    void rewriteKeepingTime(const std::string& path, const std::string& text) {
        struct stat before {};
        ::stat(path.c_str(), &before);
        std::ofstream(path, std::ios::binary) << text;
        setTime(path, before.st_mtim.tv_sec, before.st_mtim.tv_nsec);
    }
};

struct ScriptCase {
    const char* script;
    bool result;
    const char* log;   // "$F" stands for the script's file name
};

std::string expand(std::string text, const std::string& file) {
    for (auto at = text.find("$F"); at != std::string::npos; at = text.find("$F"))
        text.replace(at, 2, file);
    return text;
}

// The rest of a comment line after the "#" word: 2000 characters end the run, 1999 do not.
const std::string longComment = " " + std::string(1999, 'x');
const std::string almostLongComment = " " + std::string(1998, 'x');

TEST_F(RunnerTest, MessagesOfOneRun) {
    const std::string l2000 = "Translate 0 0 0\n#" + longComment + "\nFoo\n";
    const std::string l1999 = "Translate 0 0 0\n#" + almostLongComment + "\nFoo\n";
    const ScriptCase cases[] = {
        {"", false, "No valid tokens in: $F\n"},
        {"# only a comment\n\n   \n", false, "No valid tokens in: $F\n"},
        {"Translate 0 0 0\nFoo 1 2\n", false,
         "Unknown command \"Foo\"\nUnknown command \"1\"\nUnknown command \"2\"\n"},
        {"Foo\n", false, "Unknown command \"Foo\"\nNo valid tokens in: $F\n"},
        {"Translate 1 2 3 # a comment with words\nBox\n", true, ""},
        {"Translate 1 2 3 #glued words\nBox\n", true, ""},
        {"Tra#nslate 1 2 3\n", false,
         "Unknown command \"Tra#nslate\"\nUnknown command \"1\"\nUnknown command \"2\"\n"
         "Unknown command \"3\"\nNo valid tokens in: $F\n"},
        {"box\nBox\n", false, "Unknown command \"box\"\n"},
        {"Translate # 1 2 3\nFoo\n", false, "Problems parsing arguments to Translate\n"
                                           "No valid tokens in: $F\n"},
        {"Box\nTranslate 1 2", true, ""},
        {"Box Sphere\nTranslate 1\n2 3\n", true, ""},
        {"Sphere 2\n", false, "Unknown command \"2\"\n"},
        {l2000.c_str(), true, ""},
        {l1999.c_str(), false, "Unknown command \"Foo\"\n"},
        {"{\n{\nBox\n", false, "2 unmatched `{'(s)\n"},
        {"{ \n \n", false, "1 unmatched `{'(s)\n"},
        {"}\nBox\n", false, "unmatched `}'\n"},
        {"Translate 1 2 3\r\n# comment\r\nBox\r\n", true, ""},
        {"Foo\n}\nTranslate x\n", false,
         "Unknown command \"Foo\"\nunmatched `}'\nProblems parsing arguments to Translate\n"},
    };
    for (const ScriptCase& c : cases) {
        SCOPED_TRACE(std::string(c.script).substr(0, 60));
        resetRunner();
        EXPECT_EQ(run(c.script), c.result);
        EXPECT_EQ(logOf(), expand(c.log, scriptFileName()));
    }
}

TEST_F(RunnerTest, MessagesRememberTheWordTheyConcern) {
    run("Box\n  Foo\nTranslate 1 x\n");
    ASSERT_EQ(logMessages().size(), 2u);
    EXPECT_EQ(logMessages()[0].offset, 6);    // the unknown word
    EXPECT_EQ(logMessages()[1].offset, 10);   // the command whose arguments failed
    resetRunner();
    run("{\nBox\n");
    ASSERT_EQ(logMessages().size(), 1u);
    EXPECT_EQ(logMessages()[0].offset, 6);    // the end of the file
}

TEST_F(RunnerTest, FailedVersionStaysLatchedUntilItChanges) {
    std::string path = writeScript("Foo\n");
    setTime(path, 1700000000, 100);
    EXPECT_FALSE(frame());
    std::string failedLog = logOf();

    // Fixed, but with the same modification time: not noticed, not re-read, log unchanged.
    rewriteKeepingTime(path, "Box\n");
    EXPECT_FALSE(frame());
    EXPECT_EQ(logOf(), failedLog);

    // A second save within the same second is a new version.
    setTime(path, 1700000000, 200);
    EXPECT_TRUE(frame());
    EXPECT_EQ(logOf(), "");

    // Same version, new text: it runs and fails; choosing the same name again changes nothing.
    rewriteKeepingTime(path, "Foo\n");
    EXPECT_FALSE(frame());
    chooseScriptFile(std::string(path));
    EXPECT_FALSE(frame());
    EXPECT_EQ(logOf(), "Unknown command \"Foo\"\nNo valid tokens in: " + path + "\n");
}

TEST_F(RunnerTest, VanishedFileRunsAgainWhenItIsBack) {
    std::string path = writeScript("Box\n");
    EXPECT_TRUE(frame());
    std::remove(path.c_str());
    EXPECT_FALSE(frame());
    EXPECT_EQ(logOf(), "Cannot open: " + path + "\n");
    EXPECT_FALSE(frame());
    EXPECT_EQ(logOf(), "Cannot open: " + path + "\n");   // latched: not re-opened, not repeated
    std::ofstream(path) << "Box\n";
    EXPECT_TRUE(frame());
    EXPECT_EQ(logOf(), "");
}

TEST_F(RunnerTest, NoFileIsReportedOnce) {
    chooseScriptFile("");
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(frame());
    EXPECT_EQ(logOf(), "No file\n");
    writeScript("Box\n");
    EXPECT_TRUE(frame());
    EXPECT_EQ(logOf(), "");
}

TEST_F(RunnerTest, ScriptsThatAreNotRegularFilesCannotBeOpened) {
    chooseScriptFile(directory);
    EXPECT_FALSE(frame());
    EXPECT_EQ(logOf(), "Cannot open: " + directory + "\n");
    resetRunner();
    chooseScriptFile(directory + "/missing.txt");
    EXPECT_FALSE(frame());
    EXPECT_EQ(logOf(), "Cannot open: " + directory + "/missing.txt\n");
}
}  // namespace
