// The message log's text, its per-message locations and the offset the next message refers to.
// Messages are kept once, in the text; the list only points into it, so a message quoting a huge
// word costs its size once.
#include "interpreter/message_log.h"

namespace {
std::string text;                    // the log as the user sees it
std::vector<LogMessage> messages;    // where each line lies, and its script location
std::int64_t currentOffset = -1;     // where the command being run starts
}

void logLine(std::string_view line) {
    messages.push_back({text.size(), line.size(), currentOffset});
    text.append(line);
    text.push_back('\n');
}

bool refuse(std::string_view line) {
    logLine(line);
    return false;
}

void setMessageOffset(std::int64_t offset) { currentOffset = offset; }
const std::string& logText() { return text; }
const std::vector<LogMessage>& logMessages() { return messages; }

std::string_view messageText(const LogMessage& message) {
    return std::string_view(text).substr(message.begin, message.length);
}

void resetLog() {
    text.clear();
    messages.clear();
}
