#include "harness_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace e2e::files {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void spit(const std::string& path, const std::string& text, mode_t mode) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    ::chmod(path.c_str(), mode);
}

int elf_class(const std::string& path) {
    std::string head = slurp(path).substr(0, 5);
    if (head.size() < 5 || head.compare(0, 4,
                                        "\x7f"
                                        "ELF") != 0)
        return 0;
    return head[4] == 1 ? 32 : head[4] == 2 ? 64 : 0;
}

bool under(const std::string& path, const std::string& root) { return path == root || path.rfind(root + "/", 0) == 0; }

bool hidden_by_mounts(const std::string& path) { return under(path, "/tmp") || under(path, "/o_tmp"); }

namespace {

// A checkout under /tmp (where a CI runner may well clone it) would vanish
// behind each case's own /tmp. The programs the child executes and the case
// directories then live in a private directory outside, which this test
// process removes when it ends.
class OutsideRoot {
public:
    const std::string& path() {
        if (path_.empty()) {
            char tmpl[] = "/var/tmp/logdump-e2e.XXXXXX";
            if (mkdtemp(tmpl) == nullptr) {
                ADD_FAILURE() << "cannot make a directory outside /tmp: " << strerror(errno);
                return path_;
            }
            path_ = tmpl;
        }
        return path_;
    }
    ~OutsideRoot() {
        if (path_.empty() || getenv("E2E_KEEP") != nullptr) return;
        std::error_code ec;
        fs::remove_all(path_, ec);
    }

private:
    std::string path_;
};

}  // namespace

const std::string& outside_root() {
    static OutsideRoot root;
    return root.path();
}

std::string visible_in_child(const std::string& path) {
    if (path.empty() || !hidden_by_mounts(path)) return path;
    std::string copy = outside_root() + "/bin/" + fs::path(path).filename().string();
    std::error_code ec;
    fs::create_directories(fs::path(copy).parent_path(), ec);
    fs::copy_file(path, copy, fs::copy_options::overwrite_existing, ec);
    if (ec) ADD_FAILURE() << "cannot copy " << path << " outside /tmp: " << ec.message();
    return copy;
}

double now_s() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void child_fail(const char* what) {
    char buf[512];
    int n = snprintf(buf, sizeof buf, "e2e harness: %s failed: %s\n", what, strerror(errno));
    if (n > 0) {
        ssize_t ignored = ::write(2, buf, static_cast<size_t>(n));
        (void)ignored;
    }
    _exit(125);
}

}  // namespace e2e::files
