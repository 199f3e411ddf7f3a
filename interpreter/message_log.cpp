// The message log's text, its per-message locations and the offset the next message refers to.
#include "interpreter/message_log.h"

namespace {
std::string text;                    // the log as the user sees it
std::vector<LogMessage> messages;    // the same lines, each with its location
std::int64_t currentOffset = -1;     // where the command being run starts
}

void logLine(std::string_view line) {
    text.append(line);
    text.push_back('\n');
    messages.push_back({std::string(line), currentOffset});
}

void setMessageOffset(std::int64_t offset) { currentOffset = offset; }
std::int64_t messageOffset() { return currentOffset; }
const std::string& logText() { return text; }
const std::vector<LogMessage>& logMessages() { return messages; }

void resetLog() {
    text.clear();
    messages.clear();
}
