// Files for tests that write their own: a scratch directory of the test's own, and a whole file
// read or written in one call.
#pragma once

#include <string>

// A fresh directory under /tmp whose name is prefix and six random characters. A test that
// cannot have one fails; the caller removes it (with std::filesystem::remove_all) at the end.
std::string makeScratchDirectory(const std::string& prefix);
// Writes text to the file as is, replacing what was there; returns the path.
std::string writeFile(const std::string& path, const std::string& text);
// The file's whole content, empty when it cannot be read.
std::string slurp(const std::string& path);
