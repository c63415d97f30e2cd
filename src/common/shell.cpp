#include "shell.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>

#include "interrupt.h"

namespace {

bool plain_char(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return strchr("/._-+,:@%=", c) != nullptr && c != '\0';
}

}  // namespace

std::string shell_quote(std::string_view value) {
    bool plain = !value.empty();
    for (unsigned char c : value) {
        if (!plain_char(c)) {
            plain = false;
            break;
        }
    }
    if (plain) return std::string(value);
    std::string out;
    out.reserve(value.size() + 2);
    out += '\'';
    for (char c : value) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += '\'';
    return out;
}

bool format_into(char* buf, size_t size, const char* fmt, ...) {
    if (buf == nullptr || size == 0) return false;
    memset(buf, 0, size);
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf, size, fmt, ap);
    va_end(ap);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        memset(buf, 0, size);
        return false;
    }
    return true;
}

int run_shell(const char* command) {
    // Our own buffered console text must reach the terminal (or pipe) before
    // anything the command writes, and before a long wait.
    fflush(stdout);
    fflush(stderr);
    int status = system(command);
    // system() ignores SIGINT in the caller while the command runs, so a
    // Ctrl-C only shows as the command's death by that signal.
    if (status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) g_interrupt_requested = 1;
    interrupt_point();
    return status;
}
