// Temporary stand-in for the buffered script reader: wraps a std::ifstream.
#include "interpreter/script_stream.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

ScriptStream::ScriptStream(std::size_t) {}

ScriptStream::ScriptStream(const std::string& path, std::size_t) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        in_ = std::make_unique<std::istringstream>();
        state_ = failbit;
        return;
    }
    in_ = std::make_unique<std::ifstream>(path, std::ios::binary);
    sync();
}

ScriptStream ScriptStream::fromText(std::string text, std::size_t size) {
    ScriptStream s(size);
    s.in_ = std::make_unique<std::istringstream>(std::move(text), std::ios::binary);
    return s;
}

ScriptStream::ScriptStream(ScriptStream&& o) noexcept : in_(std::move(o.in_)) { state_ = o.state_; }
ScriptStream::~ScriptStream() = default;

void ScriptStream::sync() { state_ = in_->rdstate(); }
ScriptStream& ScriptStream::operator>>(std::string& w) { in_->clear(std::ios::iostate(state_)); *in_ >> w; sync(); return *this; }
ScriptStream& ScriptStream::operator>>(int& v) { in_->clear(std::ios::iostate(state_)); *in_ >> v; sync(); return *this; }
ScriptStream& ScriptStream::operator>>(float& v) { in_->clear(std::ios::iostate(state_)); *in_ >> v; sync(); return *this; }
ScriptStream& ScriptStream::operator>>(char& v) { in_->clear(std::ios::iostate(state_)); *in_ >> v; sync(); return *this; }
ScriptStream& ScriptStream::getline(char* b, std::streamsize n) { in_->clear(std::ios::iostate(state_)); in_->getline(b, n); sync(); return *this; }
std::int64_t ScriptStream::tellg() { in_->clear(std::ios::iostate(state_)); auto p = in_->tellg(); sync(); return std::int64_t(p); }
ScriptStream& ScriptStream::seekg(std::int64_t p) { in_->clear(std::ios::iostate(state_)); in_->seekg(p); sync(); return *this; }
std::int64_t ScriptStream::position() const {
    auto saved = in_->rdstate();
    in_->clear();
    auto p = in_->rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in);
    in_->clear(saved);
    return std::int64_t(p);
}
