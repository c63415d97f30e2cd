// Small helpers shared by the unit tests.
#pragma once

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace testutil {

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs fn with fd 1 sent to a temporary file; returns what reached it.
inline std::string capture_stdout(const std::function<void()>& fn) {
    fflush(stdout);
    FILE* tmp = tmpfile();
    int saved = dup(1);
    dup2(fileno(tmp), 1);
    fn();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string out(static_cast<size_t>(lseek(fileno(tmp), 0, SEEK_END)), '\0');
    if (!out.empty() && pread(fileno(tmp), out.data(), out.size(), 0) < 0) out.clear();
    fclose(tmp);
    return out;
}

}  // namespace testutil
