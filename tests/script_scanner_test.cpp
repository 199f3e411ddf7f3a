// ScriptScanner must be indistinguishable from a binary std::istream in the "C" locale, so most of
// these tests run random operation sequences on both side by side and compare everything.
#include "interpreter/script_scanner.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/scratch.h"

namespace {

constexpr ScriptScanner::State E = ScriptScanner::eofbit;
constexpr ScriptScanner::State F = ScriptScanner::failbit;

enum class Op { Word, Int, Float, Char, Getline, Tellg, Seekg, Clear };
const char* const kOpNames[] = {"word", "int", "float", "char", "getline", "tellg", "seekg", "clear"};

struct Step {
    Op op;
    std::int64_t arg;  // getline size or seek target
};

// Runs one step and renders the value it stored (or the sentinel it left untouched).
template <class Stream>
std::string apply(Stream& s, const Step& step) {
    switch (step.op) {
    case Op::Word: { std::string w = "<sentinel>"; s >> w; return w; }
    case Op::Int: { int v = 0x5a5a5a5a; s >> v; return std::to_string(v); }
    case Op::Float: {  // compared bit for bit, so -0 and the sentinel NaN count
        float v = std::bit_cast<float>(0x7fc01234u);
        s >> v;
        return std::to_string(std::bit_cast<std::uint32_t>(v));
    }
    case Op::Char: { char c = '@'; s >> c; return std::string(1, c); }
    case Op::Getline: {
        std::string buffer(static_cast<std::size_t>(step.arg) + 8, '\x7f');  // guard bytes catch overruns
        s.getline(buffer.data(), step.arg);
        return buffer;
    }
    case Op::Tellg: return std::to_string(static_cast<std::int64_t>(s.tellg()));
    case Op::Seekg: s.seekg(step.arg); return {};
    case Op::Clear: s.clear(); return {};
    }
    return {};
}

// The position without disturbing the flags (tellg alone fails on a stream that is not good).
template <class Stream>
std::int64_t positionOf(Stream& s) {
    const auto state = s.rdstate();
    s.clear();
    const auto position = static_cast<std::int64_t>(s.tellg());
    s.clear(state);
    return position;
}

std::string pick(std::mt19937_64& rng, std::initializer_list<const char*> choices) {
    return *(choices.begin() + rng() % choices.size());
}

std::string digits(std::mt19937_64& rng, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += static_cast<char>('0' + rng() % 10);
    return out;
}

std::string randomNumber(std::mt19937_64& rng) {
    auto length = [&] { return rng() % 8 == 0 ? rng() % 90 : rng() % 4; };  // now and then very long
    std::string n = pick(rng, {"", "", "-", "+"}) + std::string(rng() % 5 == 0 ? length() : 0, '0');
    n += digits(rng, length());
    if (rng() % 2) n += "." + digits(rng, length());
    if (rng() % 3 == 0) n += pick(rng, {"e", "E"}) + pick(rng, {"", "+", "-"}) + digits(rng, rng() % 4);
    return n;
}

std::string randomToken(std::mt19937_64& rng) {
    switch (rng() % 10) {
    case 0: case 1: case 2: case 7: case 8: return randomNumber(rng);
    case 3:
        return pick(rng, {"inf", "-nan", "0x1p3", "0X10", "1.2.3", "1e39", "-1e39", "1e-50", "1e-45", "1.e5",
                          ".e5", "e5", "-.", ".", "+", "-", "+-1", "1e+-5", "1e5e5", "3.4028235e38",
                          "3.4028236e38", "2147483648", "-2147483649", "9223372036854775808",
                          "-9223372036854775809", "8.5", "1,5", "00.000"});
    case 4: return pick(rng, {"Vertex", "Color", "PushMatrix", "#", "# a comment", "#note"});
    case 5: {  // junk bytes, including NUL and bytes above 0x7f
        std::string junk;
        for (auto i = rng() % 6; i > 0; --i) junk += static_cast<char>(rng() % 256);
        return junk;
    }
    case 6: {  // words, now and then one making a line longer than the runner's limit
        const auto length = rng() % 20 == 0 ? 1990 + rng() % 20 : rng() % 40;
        return std::string(length, static_cast<char>('a' + rng() % 26));
    }
    default: return pick(rng, {"(", "{", "}", "1.5abc", "-x", "4e", "7E+"});
    }
}

std::string randomScript(std::mt19937_64& rng) {
    std::string text;
    for (auto n = rng() % 40; n > 0; --n) {
        text += randomToken(rng);
        text += pick(rng, {" ", " ", "\n", "\r\n", "\t", "  \n", "\v", "\f", "\r", ""});
    }
    return text;
}

Step randomStep(std::mt19937_64& rng, bool good, std::int64_t size, std::int64_t beyond,
                const std::vector<std::int64_t>& told) {
    if (!good && rng() % 3) return {Op::Clear, 0};  // mostly carry on past failures, sometimes probe them
    static const Op ops[] = {Op::Word, Op::Word, Op::Word, Op::Float, Op::Float, Op::Float, Op::Int,
                             Op::Int, Op::Char, Op::Getline, Op::Getline, Op::Tellg, Op::Seekg, Op::Seekg,
                             Op::Clear};
    const Op op = ops[rng() % std::size(ops)];
    if (op == Op::Getline) return {op, rng() % 3 ? 2000 : static_cast<std::int64_t>(rng() % 6)};
    if (op != Op::Seekg) return {op, 0};
    if (!told.empty() && rng() % 2) return {op, told[rng() % told.size()]};
    if (rng() % 20 == 0) return {op, -1 - static_cast<std::int64_t>(rng() % 3)};
    if (beyond > 0 && rng() % 40 == 0) return {op, std::int64_t{1} << 62};  // beyond what files may hold
    return {op, static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(size + beyond + 1))};
}

// Runs `count` random steps on both streams, comparing after each one. Returns false on the
// first difference (reported with enough context to replay it).
bool runSteps(std::istream& expected, ScriptScanner& actual, std::mt19937_64& rng, int count,
              std::int64_t size, std::int64_t beyond, const std::string& context) {
    std::vector<std::int64_t> told;
    std::string history;
    for (int i = 0; i < count; ++i) {
        const Step step = randomStep(rng, actual.good(), size, beyond, told);
        history += std::string(" ") + kOpNames[static_cast<int>(step.op)];
        if (step.op == Op::Getline || step.op == Op::Seekg) history += "(" + std::to_string(step.arg) + ")";
        const std::string want = apply(expected, step);
        const std::string got = apply(actual, step);
        const std::int64_t wantAt = positionOf(expected);
        const std::int64_t gotAt = positionOf(actual);
        if (want != got || static_cast<unsigned>(expected.rdstate()) != actual.rdstate() || wantAt != gotAt) {
            ADD_FAILURE() << context << "\nsteps:" << history << "\nexpected value '" << want.substr(0, 80)
                          << "' state " << expected.rdstate() << " at " << wantAt << "\nactual   value '"
                          << got.substr(0, 80) << "' state " << actual.rdstate() << " at " << gotAt;
            return false;
        }
        if (step.op == Op::Tellg && want != "-1") told.push_back(std::stoll(want));
    }
    return true;
}

std::uint64_t testSeed() {
    const char* env = std::getenv("SCRIPT_STREAM_SEED");
    const std::uint64_t seed = env ? std::strtoull(env, nullptr, 10) : 20240611;
    std::printf("[ seed     ] %llu (SCRIPT_STREAM_SEED overrides)\n", static_cast<unsigned long long>(seed));
    return seed;
}

struct TempDir {
    TempDir() : path(makeScratchDirectory("script_stream_test.")) {}
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string path;
};

std::string tempPath(const char* name) {
    static const TempDir dir;
    return dir.path + "/" + name;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(ScriptScanner, MatchesIstringstreamOnRandomScripts) {
    const std::uint64_t seed = testSeed();
    for (std::size_t bufferSize : {ScriptScanner::defaultBufferSize, std::size_t{1}, std::size_t{2},
                                   std::size_t{3}, std::size_t{7}, std::size_t{61}}) {
        std::mt19937_64 rng(seed ^ bufferSize);
        int steps = 0;
        for (int script = 0; steps < 150000; ++script) {
            const std::string text = randomScript(rng);
            std::istringstream expected(text, std::ios::in | std::ios::binary);
            expected.imbue(std::locale::classic());
            ScriptScanner actual = ScriptScanner::fromText(text, bufferSize);
            const int count = 1 + static_cast<int>(rng() % 60);
            const std::string context = "buffer " + std::to_string(bufferSize) + ", seed " +
                                        std::to_string(seed) + ", script #" + std::to_string(script);
            const auto size = static_cast<std::int64_t>(text.size());
            if (!runSteps(expected, actual, rng, count, size, 0, context)) return;
            steps += count;
        }
    }
}

TEST(ScriptScanner, MatchesIfstreamOnFilesIncludingSeeksPastTheEnd) {
    const std::uint64_t seed = testSeed();
    std::mt19937_64 rng(seed);
    const std::string path = tempPath("random.txt");
    for (int script = 0; script < 300; ++script) {
        const std::string text = randomScript(rng);
        writeFile(path, text);
        std::ifstream expected(path, std::ios::in | std::ios::binary);
        ScriptScanner actual(path, script % 2 ? 7 : ScriptScanner::defaultBufferSize);
        if (!runSteps(expected, actual, rng, 50, static_cast<std::int64_t>(text.size()), 100,
                      "file script #" + std::to_string(script) + ", seed " + std::to_string(seed)))
            return;
    }
    // A stream that failed to open behaves like an ifstream that failed to open, even once cleared.
    std::ifstream expected(tempPath("missing"), std::ios::in | std::ios::binary);
    ScriptScanner actual(tempPath("missing"));
    runSteps(expected, actual, rng, 200, 10, 0, "missing file");
}

TEST(ScriptScanner, ReadsTrickyNumbersLikeTheStandardScanner) {
    const float untouched = 12345.0f;
    const std::string longZeros(70000, '0');
    struct FloatCase { std::string text; float value; ScriptScanner::State state; std::int64_t end; };
    const FloatCase floats[] = {
        {"+5", 5, E, 2}, {"1e", 0, E | F, 2}, {"1e+", 0, E | F, 3}, {"-", 0, E | F, 1}, {".", 0, E | F, 1},
        {"-.", 0, E | F, 2}, {"1.", 1, E, 2}, {".5", 0.5f, E, 2}, {"inf", 0, F, 0}, {"nan", 0, F, 0},
        {"0x1p3", 0, 0, 1}, {"1.2.3", 1.2f, 0, 3}, {"00012", 12, E, 5}, {"1e39", FLT_MAX, E | F, 4},
        {"-1e39", -FLT_MAX, E | F, 5}, {"1e-50", 0, E, 5}, {"1e-45", 1e-45f, E, 5}, {"-0 ", -0.0f, 0, 2},
        {"1e5e5", 1e5f, 0, 3}, {"7E+2x", 700, 0, 4}, {"  ", untouched, E | F, 2}, {"", untouched, E | F, 0},
        {longZeros + "1.5", 1.5f, E, 70003}, {"1" + longZeros + "e-70000", 1, E, 70008},
        {"16777217", 16777216, E, 8},  // a tie, to even; a far nonzero digit breaks it
        {"16777217." + std::string(100, '0') + "1", 16777218, E, 110},
    };
    struct IntCase { std::string text; int value; ScriptScanner::State state; std::int64_t end; };
    const IntCase ints[] = {
        {"8.5", 8, 0, 1}, {"2147483647", INT_MAX, E, 10}, {"2147483648", INT_MAX, E | F, 10},
        {"-2147483649", INT_MIN, E | F, 11}, {"99999999999999999999 ", INT_MAX, F, 20}, {"-", 0, E | F, 1},
        {"+12", 12, E, 3}, {"0x10", 0, 0, 1}, {"abc", 0, F, 0}, {"-0009", -9, E, 5}, {"", 777, E | F, 0},
    };
    for (std::size_t bufferSize : {ScriptScanner::defaultBufferSize, std::size_t{1}, std::size_t{4}}) {
        for (const FloatCase& c : floats) {
            ScriptScanner s = ScriptScanner::fromText(c.text, bufferSize);
            float value = untouched;
            s >> value;
            SCOPED_TRACE(c.text.substr(0, 20) + ", buffer " + std::to_string(bufferSize));
            EXPECT_EQ(std::bit_cast<std::uint32_t>(value), std::bit_cast<std::uint32_t>(c.value)) << value;
            EXPECT_EQ(s.rdstate(), c.state);
            EXPECT_EQ(positionOf(s), c.end);
        }
        for (const IntCase& c : ints) {
            ScriptScanner s = ScriptScanner::fromText(c.text, bufferSize);
            int value = 777;
            s >> value;
            SCOPED_TRACE(c.text + ", buffer " + std::to_string(bufferSize));
            EXPECT_EQ(value, c.value);
            EXPECT_EQ(s.rdstate(), c.state);
            EXPECT_EQ(positionOf(s), c.end);
        }
    }
}

TEST(ScriptScanner, GetlineStopsAtTheRunnersLineLimit) {
    struct Case { std::string text; std::size_t length; ScriptScanner::State state; std::int64_t end; };
    const Case cases[] = {
        {std::string(1999, 'x') + "\nnext", 1999, 0, 2000},  // fits exactly, newline consumed
        {std::string(2000, 'x') + "\nnext", 1999, F, 1999},  // one too long: fails before the newline
        {std::string(1999, 'x'), 1999, E, 1999},             // limit reached at end of file: no failure
        {"\n", 0, 0, 1},                                     // empty line still counts the newline
    };
    for (std::size_t bufferSize : {ScriptScanner::defaultBufferSize, std::size_t{7}}) {
        for (const Case& c : cases) {
            ScriptScanner s = ScriptScanner::fromText(c.text, bufferSize);
            char line[2000];
            s.getline(line, sizeof line);
            EXPECT_EQ(std::strlen(line), c.length);
            EXPECT_EQ(s.rdstate(), c.state);
            EXPECT_EQ(positionOf(s), c.end);
        }
    }
}

TEST(ScriptScanner, OpensOnlyReadableRegularFiles) {
    const std::string fifo = tempPath("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string locked = tempPath("locked");
    writeFile(locked, "Vertex 1 2 3\n");
    chmod(locked.c_str(), 0);
    std::vector<std::string> refused = {tempPath(""), fifo, "/dev/null", tempPath("missing")};
    if (geteuid() != 0) refused.push_back(locked);  // root reads it regardless of the mode
    for (const std::string& path : refused) {
        ScriptScanner s(path);  // the FIFO has no writer: this must not block
        EXPECT_TRUE(s.fail()) << path;
        s.clear();
        std::string word;
        s >> word;
        EXPECT_EQ(s.rdstate(), E | F) << path;
        EXPECT_EQ(s.bytesRead(), 0u) << path;
    }
}

TEST(ScriptScanner, FileShrinkingWhileReadEndsTheScriptEarly) {
    const std::string path = tempPath("shrinking.txt");
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "Vertex 1 2 3\n";
    writeFile(path, text);
    ScriptScanner s(path, 64);
    std::string word;
    int words = 0;
    for (; words < 10 && s >> word; ++words) {}
    ASSERT_EQ(truncate(path.c_str(), 200), 0);
    while (s >> word) ++words;
    EXPECT_LT(words, 200);
    EXPECT_EQ(s.rdstate(), E | F);
}

TEST(ScriptScanner, SeekOverALargeRegionReadsNothingOfIt) {
    const std::string path = tempPath("large.txt");
    const std::string filler(2 << 20, '#');
    writeFile(path, "Begin " + filler + " Vertex 7");
    ScriptScanner s(path);
    std::string word;
    s >> word;
    ASSERT_EQ(word, "Begin");
    s.seekg(static_cast<std::int64_t>(filler.size()) + 6);
    int value = 0;
    s >> word >> value;
    EXPECT_EQ(word, "Vertex");
    EXPECT_EQ(value, 7);
    EXPECT_LE(s.bytesRead(), ScriptScanner::defaultBufferSize + 16);
}

// Reads grow from a small first one up to the buffer's size: a seek near the top of a large file
// costs a few KiB, and numbers that straddle the growing reads' ends read as ifstream reads them.
TEST(ScriptScanner, ReadsStartSmallAfterOpenAndSeekAndGrow) {
    const std::string path = tempPath("growing.txt");
    const std::string head = "BeginList body\n";
    std::string body;
    while (body.size() < 300 * 1024) body += "# a comment line of the body\n";
    writeFile(path, head + body + "EndList\n");
    ScriptScanner skipping(path);
    std::string word;
    skipping >> word >> word;
    skipping.seekg(static_cast<std::int64_t>(head.size() + body.size()));
    skipping >> word;
    EXPECT_EQ(word, "EndList");
    EXPECT_LE(skipping.bytesRead(), 2 * ScriptScanner::firstReadSize);

    std::string numbers;
    for (int i = 0; numbers.size() < 300 * 1024; ++i)
        numbers += "Vertex " + std::to_string(i * 0.37) + " -" + std::to_string(i % 97) + "e-3 7\n";
    writeFile(path, numbers);
    std::ifstream expected(path, std::ios::binary);
    ScriptScanner actual(path);
    std::string want, got;
    float wantValue = 0, gotValue = 0;
    long count = 0;
    while (expected >> want) {
        actual >> got;
        ASSERT_EQ(got, want) << "at " << positionOf(actual);
        for (int axis = 0; axis < 3; ++axis) {
            expected >> wantValue;
            actual >> gotValue;
            ASSERT_EQ(std::bit_cast<std::uint32_t>(gotValue), std::bit_cast<std::uint32_t>(wantValue))
                << "at " << positionOf(actual);
        }
        ++count;
    }
    actual >> got;
    EXPECT_EQ(actual.rdstate(), expected.rdstate());
    EXPECT_GT(count, 10000);
}

}  // namespace
