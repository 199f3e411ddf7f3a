// MessageLog: the one text that explains what went wrong in the current version of the script.
// Every message is one line. Beside the text, each message remembers the byte offset in the
// script of the word it is about, so tools can point at SCRIPT:LINE:COLUMN; the text itself is
// exactly what the log box shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Where one message lies in the log's text, and the script offset it refers to.
struct LogMessage {
    std::size_t begin;      // of the message in logText()
    std::size_t length;     // without the line end
    std::int64_t offset;    // byte offset of the word concerned, -1 when there is none
};

// Appends one line (text, line end) located at the current message offset.
void logLine(std::string_view text);
// For handlers that find an error of their own: logs the line and returns false.
bool refuse(std::string_view text);
// The location that following messages refer to; the runner sets it before each command.
void setMessageOffset(std::int64_t offset);

// The whole text, every line ended by "\n".
const std::string& logText();
const std::vector<LogMessage>& logMessages();
// The text of one message, without its line end.
std::string_view messageText(const LogMessage& message);
// Replaces the whole text with the empty string.
void resetLog();
