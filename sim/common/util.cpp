#include "util.h"

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <time.h>
#include <unistd.h>

namespace sim {

std::string to_hex(const void* data, size_t len) {
    static const char digits[] = "0123456789abcdef";
    const auto* p = static_cast<const uint8_t*>(data);
    std::string out;
    out.reserve(len * 2);
    for (size_t i = 0; i < len; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 0x0F];
    }
    return out;
}

static int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<uint8_t> parse_hex(const std::string& text) {
    std::vector<uint8_t> out;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (high >= 0) throw std::runtime_error("hex byte split by a blank");
            continue;
        }
        int v = hex_value(c);
        if (v < 0) throw std::runtime_error(std::string("not a hex digit: '") + c + "'");
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    if (high >= 0) throw std::runtime_error("odd number of hex digits");
    return out;
}

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

void put_padded(uint8_t* dst, const std::string& text, size_t len) {
    for (size_t i = 0; i < len; ++i) dst[i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

static int64_t now_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void wait_ms(unsigned ms) {
    const int64_t end = now_ns() + static_cast<int64_t>(ms) * 1000000;
    for (;;) {
        int64_t left = end - now_ns();
        if (left <= 0) return;
        // Round up so that the last round does not end a little early.
        if (poll(nullptr, 0, static_cast<int>((left + 999999) / 1000000)) < 0 && errno != EINTR) return;
    }
}

void append_line(const std::string& path, const std::string& line) {
    if (path.empty()) return;
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    std::string text = line + "\n";
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    close(fd);
}

}  // namespace sim
