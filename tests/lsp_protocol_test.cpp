// corvane-lsp driven over its pipes as an editor drives it, with no display: what malformed
// messages get, how it ends, the diagnostics it publishes for an unsaved buffer (from the
// document's directory, while the server runs elsewhere), and that results follow the newest
// buffer however fast the changes come.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/lsp_client.h"
#include "tests/scratch.h"

namespace {
using json = nlohmann::json;

class LspProtocolTest : public ::testing::Test {
protected:
    void SetUp() override { directory = makeScratchDirectory("corvane-lsp-"); }
    void TearDown() override { std::filesystem::remove_all(directory); }

    // A server started in / with no display, so nothing it finds comes from its own directory.
    std::unique_ptr<LspClient> startServer() {
        auto client = std::make_unique<LspClient>("/", directory + "/server errors", std::vector<std::string>{"WAYLAND_DISPLAY="});
        EXPECT_TRUE(client->started());
        return client;
    }
    std::string uri(const std::string& name) { return "file://" + directory + "/" + name; }
    void open(LspClient& client, const std::string& name, const std::string& text) {
        client.notify("textDocument/didOpen",
                      {{"textDocument", {{"uri", uri(name)}, {"languageId", "corvane"}, {"version", 1}, {"text", text}}}});
    }
    void replace(LspClient& client, const std::string& name, int version, const std::string& text) {
        client.notify("textDocument/didChange", {{"textDocument", {{"uri", uri(name)}, {"version", version}}},
                                                 {"contentChanges", {{{"text", text}}}}});
    }
    json at(const std::string& name, int line, int character) {
        return {{"textDocument", {{"uri", uri(name)}}}, {"position", {{"line", line}, {"character", character}}}};
    }

    std::string directory;
};

std::string framed(const std::string& body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Each diagnostic as "line:start-end severity message", for exact comparisons.
std::vector<std::string> described(const json& published) {
    std::vector<std::string> lines;
    for (const json& d : published["params"]["diagnostics"]) {
        const json& r = d["range"];
        lines.push_back(std::to_string(int(r["start"]["line"])) + ":" + std::to_string(int(r["start"]["character"])) +
                        "-" + std::to_string(int(r["end"]["character"])) + " " +
                        std::to_string(int(d["severity"])) + " " + std::string(d["message"]));
    }
    return lines;
}

TEST_F(LspProtocolTest, MalformedMessagesGetErrorsAndTheServerGoesOn) {
    auto client = startServer();
    EXPECT_EQ(client->request("textDocument/hover", at("a.txt", 0, 0))["error"]["code"], -32002)
        << "before initialize";
    EXPECT_EQ(client->initialize()["result"]["capabilities"]["hoverProvider"], true);
    open(*client, "a.txt", "Box\n");

    struct Case {
        std::string bytes;
        int code;
        json id;
    };
    std::vector<Case> cases = {
        {framed("hello"), -32700, nullptr},
        {framed("{\"jsonrpc\":\"2.0\",\"id\":1,"), -32700, nullptr},
        {"Content-Type: text\r\n\r\n", -32700, nullptr},
        {"Content-Length: many\r\n\r\n", -32700, nullptr},
        {framed("[1,2]"), -32600, nullptr},
        {framed(R"({"jsonrpc":"2.0","id":true,"method":"shutdown"})"), -32600, nullptr},
        {framed(R"({"jsonrpc":"1.0","id":7,"method":"shutdown"})"), -32600, 7},
        {framed(R"({"jsonrpc":"2.0","id":"eight"})"), -32600, "eight"},
        {framed(R"({"jsonrpc":"2.0","id":9,"method":"textDocument/hover","params":{"textDocument":{}}})"), -32602, 9},
        {framed(R"({"jsonrpc":"2.0","id":10,"method":"textDocument/hover","params":[]})"), -32602, 10},
        {framed(R"({"jsonrpc":"2.0","id":11,"method":"textDocument/rename","params":{}})"), -32601, 11},
        {framed(R"({"jsonrpc":"2.0","id":12,"method":"initialize","params":{}})"), -32600, 12},
    };
    // Numbers that are not integers, or beyond any line, where the protocol has integers.
    auto hoverAt = [&](int id, const std::string& position) {
        return framed(R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
                      R"(,"method":"textDocument/hover","params":{"textDocument":{"uri":")" + uri("a.txt") +
                      R"("},"position":)" + position + "}}");
    };
    cases.push_back({hoverAt(13, R"({"line":7.7e55,"character":0})"), -32602, 13});
    cases.push_back({hoverAt(14, R"({"line":0,"character":-1e300})"), -32602, 14});
    cases.push_back({hoverAt(15, R"({"line":0.5,"character":1})"), -32602, 15});
    for (const auto& c : cases) {
        client->sendBytes(c.bytes);
        json answer = client->waitFor([](const json& m) { return m.contains("error"); });
        EXPECT_EQ(answer["error"]["code"], c.code) << c.bytes;
        EXPECT_EQ(answer["id"], c.id) << c.bytes;
        // The next request is answered as if nothing had happened.
        EXPECT_EQ(client->request("textDocument/hover", at("a.txt", 0, 1))["result"]["range"]["end"]["character"], 3)
            << "after " << c.bytes;
    }
    // A notification nobody knows, or a malformed one, is not answered.
    client->notify("no/such", json::object());
    client->notify("textDocument/didChange", {{"textDocument", 5}});
    client->notify("textDocument/didChange", {{"textDocument", {{"uri", uri("a.txt")}, {"version", 1e300}}},
                                              {"contentChanges", {{{"text", "Sphere\n"}}}}});
    client->notify("textDocument/didChange",
                   {{"textDocument", {{"uri", uri("a.txt")}, {"version", 18446744073709551615u}}},
                    {"contentChanges", {{{"range", {{"start", {{"line", 0}, {"character", 9e99}}},
                                                    {"end", {{"line", 0}, {"character", 0}}}}},
                                         {"text", "Sphere\n"}}}}});
    EXPECT_TRUE(client->request("shutdown", nullptr)["result"].is_null());
    EXPECT_EQ(client->request("textDocument/hover", at("a.txt", 0, 1))["error"]["code"], -32600) << "after shutdown";
    for (const json& message : client->kept) EXPECT_FALSE(message.contains("error")) << message;
    EXPECT_EQ(client->finish(), 0) << "the end of the input";

    // exit ends the server: 0 after shutdown, 1 without.
    for (bool shutDown : {true, false}) {
        auto other = startServer();
        other->initialize();
        if (shutDown) other->request("shutdown", nullptr);
        other->notify("exit", nullptr);
        EXPECT_EQ(other->finish(), shutDown ? 0 : 1);
    }
}

TEST_F(LspProtocolTest, TheUnsavedBufferIsCheckedFromItsDirectory) {
    std::filesystem::copy_file(CORVANE_SOURCE_DIR "/examples/checker.png", directory + "/checker.png");
    writeFile(directory + "/scene.txt", "Box\n");   // what is saved is clean; the buffer is not
    auto client = startServer();
    client->initialize();
    open(*client, "scene.txt",
         "TextureImage checker.png   # beside the script: found\n"
         "TextureImage missing.png\n"
         "Box Foo\n"
         "\xF0\x9F\x98\x80 Enable Fog\n"            // a four-byte character: two UTF-16 units
         "UOrder 2 UKnots 4: 0 0 1 1 ControlPoints 2: 0 0 0 1 1 1 0 1\n"
         "Begin NURBSCurve End   # prints a line on standard output, which is not the protocol's\n"
         "CallList tree\n"
         "{\n");
    EXPECT_EQ(described(client->diagnosticsOf(uri("scene.txt"))),
              (std::vector<std::string>{
                  "1:13-24 2 Cannot read picture \"missing.png\" in " + directory + ": there is no such file",
                  "2:4-7 1 Unknown command \"Foo\"",
                  "3:0-2 1 Unknown command \"\xF0\x9F\x98\x80\"",
                  "3:3-9 1 Invalid state \"Fog\" followed Enable",
                  "6:0-8 1 No such display list tree",
                  "6:9-13 2 No BeginList in the script makes display list tree",
                  "8:0-0 1 1 unmatched `{'(s)",
              }));
    // Fixed in the buffer, still unsaved: the diagnostics are cleared.
    replace(*client, "scene.txt", 2, "TextureImage checker.png\nBox\n");
    json cleared = client->diagnosticsOf(uri("scene.txt"));
    EXPECT_EQ(cleared["params"]["version"], 2);
    EXPECT_TRUE(cleared["params"]["diagnostics"].empty()) << cleared;
    // Closing clears them too.
    client->notify("textDocument/didClose", {{"textDocument", {{"uri", uri("scene.txt")}}}});
    EXPECT_TRUE(client->diagnosticsOf(uri("scene.txt"))["params"]["diagnostics"].empty());

    // A new buffer never saved runs under its editor's name for it.
    client->notify("textDocument/didOpen", {{"textDocument", {{"uri", "untitled:Untitled-1"}, {"languageId", "corvane"},
                                                              {"version", 1}, {"text", "# nothing yet\n"}}}});
    EXPECT_EQ(described(client->diagnosticsOf("untitled:Untitled-1")),
              std::vector<std::string>{"1:0-0 1 No valid tokens in: Untitled-1"});

    // An editor that counts in UTF-8 bytes gets byte columns.
    auto bytes = startServer();
    EXPECT_EQ(bytes->initialize({{"general", {{"positionEncodings", {"utf-8", "utf-16"}}}}})["result"]
                                ["capabilities"]["positionEncoding"], "utf-8");
    open(*bytes, "scene.txt", "\xF0\x9F\x98\x80 Foo\n");
    EXPECT_EQ(described(bytes->diagnosticsOf(uri("scene.txt"))),
              (std::vector<std::string>{"0:0-4 1 Unknown command \"\xF0\x9F\x98\x80\"", "0:5-8 1 Unknown command \"Foo\"",
                                        "1:0-0 1 No valid tokens in: scene.txt"}));
}

TEST_F(LspProtocolTest, ResultsFollowTheNewestBuffer) {
    // A thousand lines, and one wrong word whose line each change moves.
    auto script = [](int wrongLine) {
        std::string text;
        for (int line = 0; line < 1000; ++line)
            text += line == wrongLine ? "Foo\n" : "Translate 0.5 0 0 Rotate 1 0 1 0 Sphere\n";
        return text;
    };
    auto client = startServer();
    client->initialize();
    open(*client, "scene.txt", script(0));
    const int changes = 40;
    for (int version = 2; version <= changes; ++version) replace(*client, "scene.txt", version, script(version * 20));
    // Right after the changes, a request is answered from the newest text.
    json hover = client->request("textDocument/hover", at("scene.txt", changes * 20, 1));
    EXPECT_TRUE(hover.contains("result") && hover["result"].is_null()) << "Foo is no command: " << hover;

    int lastVersion = 0, published = 0;
    while (lastVersion < changes) {
        json diagnostics = client->diagnosticsOf(uri("scene.txt"));
        ASSERT_FALSE(diagnostics.is_null()) << "the newest version was never published";
        int version = diagnostics["params"]["version"];
        EXPECT_GT(version, lastVersion) << "an older result came after a newer one";
        EXPECT_EQ(described(diagnostics), std::vector<std::string>{std::to_string(version == 1 ? 0 : version * 20) +
                                                                   ":0-3 1 Unknown command \"Foo\""})
            << "version " << version << " answered with another version's result";
        lastVersion = version;
        ++published;
    }
    EXPECT_LT(published, changes) << "changes faster than checks are coalesced";
    EXPECT_TRUE(client->diagnosticsOf(uri("scene.txt"), 1).is_null()) << "nothing after the newest";
}
}  // namespace
