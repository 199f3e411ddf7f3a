// The language server; see server.h. Each method is a small function over the server's state;
// the table of methods sits at the bottom. A request's malformed parameters are answered with
// InvalidParams, an unknown request with MethodNotFound; notifications are never answered, and a
// malformed one is reported on standard error, which editors keep as the server's log.
#include "lsp/server.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>

#include "analysis/assist.h"
#include "analysis/outline.h"
#include "lsp/positions.h"

using nlohmann::json;

namespace {
// The error codes of JSON-RPC and of the protocol.
enum ErrorCode {
    parseError = -32700,
    invalidRequest = -32600,
    methodNotFound = -32601,
    invalidParams = -32602,
    serverNotInitialized = -32002,
};

enum SymbolKind { functionSymbol = 12 };
enum CompletionItemKind { keywordItem = 14, enumMemberItem = 20, referenceItem = 18 };
enum DiagnosticSeverity { errorSeverity = 1, warningSeverity = 2, informationSeverity = 3 };

// An editor's document: its newest text and what was worked out from it.
struct Document {
    std::shared_ptr<std::string> text;   // shared with a check while one runs on it
    std::int64_t version = 0;
    ScriptPlace place;
    std::shared_ptr<const ScriptOutline> outline;   // of this text, made when first needed
};
}  // namespace

struct ServerState {
    ServerState(MessageWriter& out, CheckQueue& checks, std::string startDirectory)
        : out(out), checks(checks), startDirectory(std::move(startDirectory)) {}

    MessageWriter& out;
    CheckQueue& checks;
    std::string startDirectory;

    // What the editor said it understands, at initialize.
    std::atomic<PositionEncoding> encoding{PositionEncoding::utf16};
    bool markdownHover = true;
    bool markdownCompletion = true;
    bool hierarchicalSymbols = false;

    bool initialized = false;
    bool shutDown = false;   // shutdown has been asked for
    std::atomic<bool> exitReceived{false};
    std::map<std::string, Document> documents;   // by URI; only the receiving thread has them

    std::mutex noticeLock;        // the notice may be set by the checking thread at any time
    std::string unavailableWhy;   // why no script can be checked, until it has been said
    bool mayNotify = false;       // initialize has been answered
};

namespace {
void send(ServerState& s, json message) {
    message["jsonrpc"] = "2.0";
    s.out.write(message.dump(-1, ' ', false, json::error_handler_t::replace));
}

void replyError(ServerState& s, const json& id, int code, const std::string& why) {
    send(s, {{"id", id}, {"error", {{"code", code}, {"message", why}}}});
}

void notify(ServerState& s, const char* method, json params) {
    send(s, {{"method", method}, {"params", std::move(params)}});
}

// Says once that no check can run, as soon as the editor may be told.
void noticeIfDue(ServerState& s) {
    std::lock_guard<std::mutex> held(s.noticeLock);
    if (!s.mayNotify || s.unavailableWhy.empty()) return;
    notify(s, "window/showMessage",
           {{"type", 1}, {"message", "corvane-lsp cannot run scripts, so it shows no diagnostics: " + s.unavailableWhy}});
    s.unavailableWhy.clear();
}

// Builds a message from the parser's events as nlohmann's own builder does, except that strings
// are moved out of the parser rather than copied: a document's text is never held twice.
class MessageBuilder {
public:
    explicit MessageBuilder(json& root) : root(root) {}
    bool null() { return add(nullptr); }
    bool boolean(bool value) { return add(value); }
    bool number_integer(json::number_integer_t value) { return add(value); }
    bool number_unsigned(json::number_unsigned_t value) { return add(value); }
    bool number_float(json::number_float_t value, const std::string&) { return add(value); }
    bool string(std::string& value) { return add(std::move(value)); }
    bool binary(json::binary_t& value) { return add(json::binary(std::move(value))); }
    bool start_object(std::size_t) { return open(json::object()); }
    bool key(std::string& name) {
        slot = &(*containers.back())[std::move(name)];
        return true;
    }
    bool end_object() { return close(); }
    bool start_array(std::size_t) { return open(json::array()); }
    bool end_array() { return close(); }
    bool parse_error(std::size_t, const std::string&, const json::exception&) { return false; }

private:
    // Where the next value goes: the root, the end of the open array, or the key just read.
    json* place() {
        if (containers.empty()) return &root;
        if (containers.back()->is_array()) return &containers.back()->emplace_back();
        return slot;
    }
    bool add(json value) {
        *place() = std::move(value);
        return true;
    }
    bool open(json container) {
        json* at = place();
        *at = std::move(container);
        containers.push_back(at);
        return true;
    }
    bool close() {
        containers.pop_back();
        return true;
    }

    json& root;
    std::vector<json*> containers;   // the containers being filled, innermost last
    json* slot = nullptr;
};

// A request whose parameters do not say what it needs.
struct BadParams {
    std::string why;
};

// --- Places: the protocol's positions and ranges, the analysis's offsets.

// One of the protocol's integers: a number without a fraction, kept within the range of an
// int64 (the largest unsigned ones clamped). A number with a fraction is refused, not converted:
// converting one beyond that range is undefined.
std::int64_t integerIn(const json& object, const char* key) {
    const json& value = object.at(key);
    if (value.is_number_unsigned())
        return std::int64_t(std::min<std::uint64_t>(value.get<std::uint64_t>(), INT64_MAX));
    if (!value.is_number_integer()) throw BadParams{std::string(key) + " is not an integer"};
    return value.get<std::int64_t>();
}

// A document's version, when the message gives one.
std::int64_t versionIn(const json& document, std::int64_t otherwise) {
    return document.contains("version") && !document["version"].is_null() ? integerIn(document, "version") : otherwise;
}

TextPosition positionIn(const json& position) { return {integerIn(position, "line"), integerIn(position, "character")}; }

json positionJson(TextPosition position) { return {{"line", position.line}, {"character", position.character}}; }

json rangeJson(PositionFinder& finder, std::int64_t begin, std::int64_t end) {
    TextPosition first = finder.at(begin);
    return {{"start", positionJson(first)}, {"end", positionJson(finder.at(end))}};
}

json locationJson(const std::string& uri, PositionFinder& finder, const PlacedWord& word) {
    return {{"uri", uri}, {"range", rangeJson(finder, word.offset, word.end())}};
}

std::string percentDecoded(const std::string& text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            decoded += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

// A file runs from its own directory, so that its pictures resolve as they do in the viewer
// started there; anything else from where the server started. A script with no name would run
// as no script at all ("No file").
ScriptPlace placeOf(const std::string& uri, const std::string& startDirectory) {
    std::size_t pathStart = uri.rfind("file://", 0) == 0 ? uri.find('/', 7) : std::string::npos;
    ScriptPlace place{startDirectory, uri.substr(uri.find_last_of("/:") + 1)};
    if (pathStart != std::string::npos) {
        std::filesystem::path path = percentDecoded(uri.substr(pathStart));
        place = {path.parent_path().string(), path.filename().string()};
    }
    if (place.name.empty()) place.name = "untitled";
    return place;
}

// --- Documents.

std::string uriOf(const json& params) { return params.at("textDocument").at("uri").get<std::string>(); }

Document* documentOf(ServerState& s, const json& params) {
    auto found = s.documents.find(uriOf(params));
    return found == s.documents.end() ? nullptr : &found->second;
}

const ScriptOutline& outlineOf(Document& document) {
    if (!document.outline) document.outline = std::make_shared<const ScriptOutline>(outlineScript(document.text));
    return *document.outline;
}

void scheduleCheck(ServerState& s, const std::string& uri, const Document& document) {
    s.checks.schedule({uri, document.version, document.text, document.place});
}

// One edit of didChange, checked before any is applied: a malformed one changes nothing.
struct Edit {
    bool whole;
    TextPosition start, end;
    std::string* text;
};

void applyEdit(ServerState& s, Document& document, const Edit& edit) {
    if (edit.whole) {
        document.text = std::make_shared<std::string>(std::move(*edit.text));
        return;
    }
    // The text is shared with a check that may be running on it: the edit goes into a copy.
    if (document.text.use_count() > 1) document.text = std::make_shared<std::string>(*document.text);
    std::string& text = *document.text;
    std::int64_t begin = offsetOf(text, edit.start, s.encoding);
    std::int64_t end = std::max(begin, offsetOf(text, edit.end, s.encoding));
    text.replace(std::size_t(begin), std::size_t(end - begin), *edit.text);
}

// --- The lifecycle.

json initialize(ServerState& s, json& params) {
    const json capabilities = params.value("capabilities", json::object());
    json encodings = capabilities.value("/general/positionEncodings"_json_pointer, json::array());
    bool utf8 = encodings.is_array() && std::count(encodings.begin(), encodings.end(), "utf-8") > 0;
    s.encoding = utf8 ? PositionEncoding::utf8 : PositionEncoding::utf16;
    auto offers = [&](const json::json_pointer& where, const char* format) {
        json formats = capabilities.value(where, json());
        return !formats.is_array() || std::count(formats.begin(), formats.end(), format) > 0;
    };
    s.markdownHover = offers("/textDocument/hover/contentFormat"_json_pointer, "markdown");
    s.markdownCompletion =
        offers("/textDocument/completion/completionItem/documentationFormat"_json_pointer, "markdown");
    s.hierarchicalSymbols =
        capabilities.value("/textDocument/documentSymbol/hierarchicalDocumentSymbolSupport"_json_pointer, false);
    s.initialized = true;
    return {{"capabilities",
             {{"positionEncoding", utf8 ? "utf-8" : "utf-16"},
              {"textDocumentSync", {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
              {"hoverProvider", true},
              {"completionProvider", {{"resolveProvider", false}}},
              {"definitionProvider", true},
              {"referencesProvider", true},
              {"documentSymbolProvider", true}}},
            {"serverInfo", {{"name", "corvane-lsp"}, {"version", CORVANE_VERSION}}}};
}

json shutdown(ServerState& s, json&) {
    s.shutDown = true;
    return nullptr;
}

void exitServer(ServerState& s, json&) { s.exitReceived = true; }

void ignore(ServerState&, json&) {}

// --- Documents opened, changed, saved and closed.

void didOpen(ServerState& s, json& params) {
    json& item = params.at("textDocument");
    std::string uri = item.at("uri").get<std::string>();
    std::string& text = item.at("text").get_ref<std::string&>();
    std::int64_t version = versionIn(item, 0);
    Document& document = s.documents[uri];
    document = {std::make_shared<std::string>(std::move(text)), version, placeOf(uri, s.startDirectory), nullptr};
    scheduleCheck(s, uri, document);
}

void didChange(ServerState& s, json& params) {
    Document* document = documentOf(s, params);
    if (!document) throw BadParams{"the document is not open"};
    std::vector<Edit> edits;
    for (json& change : params.at("contentChanges")) {
        std::string* text = &change.at("text").get_ref<std::string&>();
        if (!change.contains("range")) {
            edits.push_back({true, {}, {}, text});
        } else {
            const json& range = change.at("range");
            edits.push_back({false, positionIn(range.at("start")), positionIn(range.at("end")), text});
        }
    }
    std::int64_t version = versionIn(params.at("textDocument"), document->version + (document->version < INT64_MAX));
    for (const Edit& edit : edits) applyEdit(s, *document, edit);
    document->version = version;
    document->outline.reset();
    scheduleCheck(s, uriOf(params), *document);
}

// A picture may have been saved meanwhile: the same text is checked again.
void didSave(ServerState& s, json& params) {
    if (Document* document = documentOf(s, params)) scheduleCheck(s, uriOf(params), *document);
}

void didClose(ServerState& s, json& params) {
    std::string uri = uriOf(params);
    s.documents.erase(uri);
    s.checks.forget(uri);
    notify(s, "textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", json::array()}});
}

// --- Hover, completion and the display lists.

json markup(bool markdown, const std::string& text) {
    if (markdown) return {{"kind", "markdown"}, {"value", text}};
    std::string plain;
    for (char c : text)
        if (c != '*' && c != '`') plain += c;
    return {{"kind", "plaintext"}, {"value", plain}};
}

struct Place {
    Document* document;
    std::int64_t offset;
    WordContext at;
};

Place placeIn(ServerState& s, const json& params) {
    Document* document = documentOf(s, params);
    if (!document) throw BadParams{"the document is not open"};
    std::int64_t offset = offsetOf(*document->text, positionIn(params.at("position")), s.encoding);
    return {document, offset, wordAt(*document->text, offset)};
}

json hover(ServerState& s, json& params) {
    Place place = placeIn(s, params);
    static const ScriptOutline none;
    const ScriptOutline& outline = aboutList(place.at) ? outlineOf(*place.document) : none;
    std::string text = hoverText(*place.document->text, place.at, outline);
    if (text.empty()) return nullptr;
    PositionFinder finder(*place.document->text, s.encoding);
    return {{"contents", markup(s.markdownHover, text)}, {"range", rangeJson(finder, place.at.begin, place.at.end)}};
}

json completion(ServerState& s, json& params) {
    Place place = placeIn(s, params);
    static const ScriptOutline none;
    const ScriptOutline& outline = aboutList(place.at) ? outlineOf(*place.document) : none;
    json items = json::array();
    for (const Completion& item : completionsAt(place.at, place.offset, outline)) {
        json entry = {{"label", item.label}, {"detail", item.detail}};
        entry["kind"] = item.kind == CompletionKind::command   ? keywordItem
                        : item.kind == CompletionKind::keyword ? enumMemberItem
                                                               : referenceItem;
        if (!item.documentation.empty()) entry["documentation"] = markup(s.markdownCompletion, item.documentation);
        items.push_back(std::move(entry));
    }
    return {{"isIncomplete", false}, {"items", std::move(items)}};
}

json definition(ServerState& s, json& params) {
    Place place = placeIn(s, params);
    std::string name = listNameAt(place.at);
    const ListBlock* list = name.empty() ? nullptr : findList(outlineOf(*place.document), name);
    if (!list) return nullptr;
    PositionFinder finder(*place.document->text, s.encoding);
    return locationJson(uriOf(params), finder, list->name);
}

json references(ServerState& s, json& params) {
    Place place = placeIn(s, params);
    json locations = json::array();
    std::string name = listNameAt(place.at);
    if (name.empty()) return locations;
    bool withDefinitions = params.value("/context/includeDeclaration"_json_pointer, true);
    PositionFinder finder(*place.document->text, s.encoding);
    for (const PlacedWord& mention : listMentions(outlineOf(*place.document), name, withDefinitions))
        locations.push_back(locationJson(uriOf(params), finder, mention));
    return locations;
}

json documentSymbol(ServerState& s, json& params) {
    Document* document = documentOf(s, params);
    if (!document) throw BadParams{"the document is not open"};
    json symbols = json::array();
    PositionFinder finder(*document->text, s.encoding);
    for (const ListBlock& list : outlineOf(*document).lists) {
        // In the order they stand, so that the finder reads the text once.
        TextPosition begin = finder.at(list.begin);
        json name = rangeJson(finder, list.name.offset, list.name.end());
        json block = {{"start", positionJson(begin)}, {"end", positionJson(finder.at(list.end))}};
        json symbol = {{"name", list.name.text}, {"kind", functionSymbol}};
        if (s.hierarchicalSymbols) {
            symbol["detail"] = "display list";
            symbol["range"] = block;
            symbol["selectionRange"] = name;
        } else {
            symbol["location"] = {{"uri", uriOf(params)}, {"range", block}};
        }
        symbols.push_back(std::move(symbol));
    }
    return symbols;
}

json diagnosticJson(PositionFinder& finder, const Finding& finding) {
    int severity = finding.severity == Severity::error     ? errorSeverity
                   : finding.severity == Severity::warning ? warningSeverity
                                                           : informationSeverity;
    return {{"range", rangeJson(finder, finding.begin, finding.end)},
            {"severity", severity},
            {"source", "corvane"},
            {"message", finding.message}};
}

struct Method {
    std::string_view name;
    json (*request)(ServerState&, json&);
    void (*notification)(ServerState&, json&);
};

const Method methods[] = {
    {"initialize", initialize, nullptr},
    {"initialized", nullptr, ignore},
    {"shutdown", shutdown, nullptr},
    {"exit", nullptr, exitServer},
    {"textDocument/didOpen", nullptr, didOpen},
    {"textDocument/didChange", nullptr, didChange},
    {"textDocument/didSave", nullptr, didSave},
    {"textDocument/didClose", nullptr, didClose},
    {"textDocument/hover", hover, nullptr},
    {"textDocument/completion", completion, nullptr},
    {"textDocument/definition", definition, nullptr},
    {"textDocument/references", references, nullptr},
    {"textDocument/documentSymbol", documentSymbol, nullptr},
};

const Method* findMethod(const std::string& name) {
    for (const Method& method : methods)
        if (method.name == name) return &method;
    return nullptr;
}

void answer(ServerState& s, const json& id, const std::string& name, const Method* method, json& params) {
    if (!s.initialized && name != "initialize")
        return replyError(s, id, serverNotInitialized, "the server is not initialized: initialize comes first");
    if (name == "initialize" && s.initialized) return replyError(s, id, invalidRequest, "initialize was already called");
    if (s.shutDown) return replyError(s, id, invalidRequest, "the server is shutting down: only exit may follow");
    if (!method || !method->request) return replyError(s, id, methodNotFound, "no such method: " + name);
    try {
        send(s, {{"id", id}, {"result", method->request(s, params)}});
    } catch (const json::exception& error) {
        return replyError(s, id, invalidParams, name + ": " + error.what());
    } catch (const BadParams& error) {
        return replyError(s, id, invalidParams, name + ": " + error.why);
    }
    if (name == "initialize") {
        std::lock_guard<std::mutex> held(s.noticeLock);
        s.mayNotify = true;
    }
    noticeIfDue(s);
}

void take(ServerState& s, const std::string& name, const Method* method, json& params) {
    if (name != "exit" && (!s.initialized || !method || !method->notification)) return;
    try {
        method->notification(s, params);
    } catch (const json::exception& error) {
        std::cerr << "corvane-lsp: " << name << ": " << error.what() << std::endl;
    } catch (const BadParams& error) {
        std::cerr << "corvane-lsp: " << name << ": " << error.why << std::endl;
    }
}
}  // namespace

LanguageServer::LanguageServer(MessageWriter& out, CheckQueue& checks, const std::string& startDirectory)
    : state(std::make_unique<ServerState>(out, checks, startDirectory)) {}

LanguageServer::~LanguageServer() = default;

void LanguageServer::receive(std::istream& body) {
    ServerState& s = *state;
    json message;
    MessageBuilder builder(message);
    if (!json::sax_parse(body, &builder)) return replyError(s, nullptr, parseError, "the message is not JSON");
    if (!message.is_object()) return replyError(s, nullptr, invalidRequest, "a message is a JSON object");
    bool isRequest = message.contains("id");
    json id = isRequest ? message["id"] : json();
    if (isRequest && !id.is_number_integer() && !id.is_string())
        return replyError(s, nullptr, invalidRequest, "a request's id is a number or a string");
    if (!message.contains("jsonrpc") || message["jsonrpc"] != "2.0")
        return replyError(s, id, invalidRequest, "the message's jsonrpc is not \"2.0\"");
    if (!message.contains("method")) {
        if (isRequest && (message.contains("result") || message.contains("error"))) return;   // a reply to us
        return replyError(s, id, invalidRequest, "the message has no method");
    }
    if (!message["method"].is_string()) return replyError(s, id, invalidRequest, "the method is not a string");
    std::string name = message["method"];
    json params = message.contains("params") ? std::move(message["params"]) : json::object();
    const Method* method = findMethod(name);
    if (isRequest) answer(s, id, name, method, params);
    else take(s, name, method, params);
}

void LanguageServer::receiveBadHeader(const std::string& problem) {
    replyError(*state, nullptr, parseError, "the message's header is malformed: " + problem);
}

bool LanguageServer::exited() const { return state->exitReceived; }

int LanguageServer::exitStatus() const { return state->exitReceived && !state->shutDown ? 1 : 0; }

void LanguageServer::publish(CheckJob& job, const std::vector<Finding>& findings) {
    std::vector<const Finding*> sorted;
    for (const Finding& finding : findings) sorted.push_back(&finding);
    std::stable_sort(sorted.begin(), sorted.end(), [](const Finding* a, const Finding* b) { return a->begin < b->begin; });
    PositionFinder finder(*job.text, state->encoding);
    json diagnostics = json::array();
    for (const Finding* finding : sorted) diagnostics.push_back(diagnosticJson(finder, *finding));
    // Let go of before the editor can answer: its next edit then changes the only copy in place,
    // however large the script.
    job.text.reset();
    notify(*state, "textDocument/publishDiagnostics",
           {{"uri", job.document}, {"version", job.version}, {"diagnostics", std::move(diagnostics)}});
}

void LanguageServer::checksUnavailable(const std::string& why) {
    {
        std::lock_guard<std::mutex> held(state->noticeLock);
        state->unavailableWhy = why;
    }
    noticeIfDue(*state);
}
