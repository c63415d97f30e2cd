#include "harness.h"

#include "bytes.h"
#include "harness_files.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace e2e {

using namespace files;
using testbytes::split;

const std::vector<Tool>& tools() {
    static const std::vector<Tool> all = [] {
        std::vector<Tool> v;
        auto progs = split(E2E_TOOLS, ':');
        auto libs = split(E2E_LIBS, ':');
        auto shims = split(E2E_SHIMS, ':');
        auto shorts = split(E2E_SHORT_TOOLS, ':');
        for (size_t i = 0; i < progs.size(); ++i) {
            Tool t;
            t.bits = i == 0 ? 64 : 32;
            t.program = visible_in_child(progs[i]);
            t.sim_lib = i < libs.size() ? libs[i] : "";
            t.shim = visible_in_child(i < shims.size() ? shims[i] : "");
            t.cli_name = t.bits == 64 ? E2E_CLI64_NAME : E2E_CLI32_NAME;
            t.lib_name = t.bits == 64 ? E2E_LIB64_NAME : E2E_LIB32_NAME;
            t.short_program = visible_in_child(i < shorts.size() ? shorts[i] : "");
            v.push_back(t);
        }
        return v;
    }();
    return all;
}

void PrintTo(const Tool& t, std::ostream* os) { *os << fs::path(t.program).filename().string(); }

std::string tool_param_name(const ::testing::TestParamInfo<Tool>& info) { return std::to_string(info.param.bits); }

std::string noentry_lib(const Tool& tool) {
#ifdef E2E_NOENTRY_LIBS
    for (auto& p : split(E2E_NOENTRY_LIBS, ':'))
        if (!p.empty() && elf_class(p) == tool.bits) return p;
#endif
    fs::path d = fs::path(tool.sim_lib).parent_path();
    std::error_code ec;
    std::vector<std::string> found;
    for (auto& e : fs::directory_iterator(d, ec)) {
        std::string n = e.path().filename().string();
        if (n.rfind("libraidstor_noentry", 0) == 0 && n.find(".so") != std::string::npos &&
            elf_class(e.path().string()) == tool.bits)
            found.push_back(e.path().string());
    }
    std::sort(found.begin(), found.end());
    return found.empty() ? "" : found.front();
}

std::string show(const std::string& bytes) {
    std::string s;
    for (unsigned char c : bytes) {
        if (c == 033)
            s += "\\033";
        else if (c == '\r')
            s += "\\r";
        else if (c == '\n')
            s += "\\n\n";
        else if (c == '\t')
            s += "\\t";
        else if (c < 32 || c >= 127) {
            char b[8];
            snprintf(b, sizeof b, "\\x%02x", c);
            s += b;
        } else
            s += static_cast<char>(c);
    }
    return "\n--------\n" + s + "\n--------";
}

std::vector<std::string> red_texts(const std::string& out) {
    std::vector<std::string> found;
    size_t at = 0;
    while ((at = out.find(kRed, at)) != std::string::npos) {
        at += kRed.size();
        size_t end = out.find(kReset, at);
        if (end == std::string::npos) break;
        found.push_back(out.substr(at, end - at));
        at = end;
    }
    return found;
}

// ---------------------------------------------------------------- Case

Case::Case(const Tool& t, const std::string& name) : tool(t), name_(name) {
    std::string base = std::string(LOGDUMP_BINARY_DIR) + "/e2e-cases";
    if (hidden_by_mounts(base)) base = outside_root() + "/e2e-cases";
    dir = base + "/" + name;
    std::error_code ec;
    fs::remove_all(dir, ec);
    work = dir + "/work";
    tmp = dir + "/tmp";
    otmp = dir + "/otmp";
    // A case of another test process that ends at this moment removes an
    // empty e2e-cases/, perhaps between the steps of one creation: retry.
    for (const std::string& d : {work, tmp, otmp + "/TMP/KESTRA"}) {
        for (int attempt = 0; attempt < 10; ++attempt) {
            std::error_code mk;
            fs::create_directories(d, mk);
            if (!mk) break;
        }
    }
    ::chmod(tmp.c_str(), 01777);
    // The mount point of the private log directories (made by the set-up).
    if (!fs::exists("/o_tmp")) fs::create_directory("/o_tmp", ec);
    install_cli();
    install_lib();
}

Case::~Case() {
    const char* keep = getenv("E2E_KEEP");  // debugging: keep every case directory
    if (!::testing::Test::HasFailure() && !(keep && *keep == '1')) {
        std::error_code ec;
        fs::remove_all(dir, ec);
    } else {
        fprintf(stderr, "e2e: case directory kept: %s\n", dir.c_str());
    }
}

void Case::set_work(const std::string& name) {
    work = dir + "/" + name;
    fs::create_directories(work);
    install_cli();
    install_lib();
}

void Case::install_cli(const std::string& name) {
    std::string to = work + "/" + (name.empty() ? tool.cli_name : name);
    std::error_code ec;
    fs::copy_file(E2E_CLI, to, fs::copy_options::overwrite_existing, ec);
    if (ec) ADD_FAILURE() << "cannot install the CLI as " << to << ": " << ec.message();
    ::chmod(to.c_str(), 0755);
}

void Case::install_lib(const std::string& name, const std::string& source) {
    std::string to = work + "/" + (name.empty() ? tool.lib_name : name);
    std::string from = source.empty() ? tool.sim_lib : source;
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) ADD_FAILURE() << "cannot install the library " << from << " as " << to << ": " << ec.message();
    ::chmod(to.c_str(), 0755);
}

void Case::remove_work_file(const std::string& name) {
    std::error_code ec;
    fs::remove(work + "/" + name, ec);
}

void Case::remove_logdir() {
    std::error_code ec;
    fs::remove_all(otmp + "/TMP", ec);
}

void Case::scenario(const std::string& text) { spit(scenario_path(), text); }

std::string Case::stand_in(const std::string& name, const std::string& script) {
    spit(dir + "/bin/" + name, script, 0755);
    return dir + "/bin";
}

void Case::cli_stand_in(const std::string& branches) {
    install_cli("RealCli");
    const std::string path = work + "/" + tool.cli_name;
    spit(path, "#!/bin/sh\ncase \"$1\" in\n" + branches + "\nesac\nexec \"$(dirname \"$0\")/RealCli\" \"$@\"\n", 0755);
}

Tool Case::wrapped(const std::string& name, const std::string& before_exec, const std::string& redirect) {
    // bash: dash does not pass an ignored SIGCHLD on.
    Tool w = tool;
    w.program = stand_in(name, "#!/bin/bash\n" + before_exec + "\nexec " + tool.program + " \"$@\"" + redirect + "\n") +
                "/" + name;
    return w;
}

bool Case::set_work_of_length(size_t n) {
    std::string rel = "w";
    size_t len = dir.size() + 1 + rel.size();
    if (len + 2 > n) return false;
    for (size_t remaining = n - len; remaining > 0;) {
        size_t part = std::min<size_t>(remaining, 101);
        if (remaining - part == 1) --part;  // never leave a part of "/" alone
        rel += "/" + std::string(part - 1, 'd');
        remaining -= part;
    }
    set_work(rel);
    return work.size() == n;
}

std::string Case::host(const std::string& path) const {
    if (under(path, "/tmp")) return tmp + path.substr(4);
    if (under(path, "/o_tmp")) return otmp + path.substr(6);
    return path;
}

bool Case::exists(const std::string& path) const {
    struct stat st;
    return ::lstat(host(path).c_str(), &st) == 0;
}

bool Case::is_symlink(const std::string& path) const {
    struct stat st;
    return ::lstat(host(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string Case::read(const std::string& path) const { return slurp(host(path)); }

void Case::write(const std::string& path, const std::string& text) const { spit(host(path), text); }

std::vector<std::string> Case::list(const std::string& d) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto& e : fs::directory_iterator(host(d), ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Case::trace() const { return testbytes::lines(slurp(trace_path())); }

std::vector<std::vector<std::string>> Case::cli_calls() const {
    std::vector<std::vector<std::string>> calls;
    for (auto& l : trace())
        if (l.rfind("cli\t", 0) == 0) {
            auto f = split(l, '\t');
            f.erase(f.begin());
            calls.push_back(f);
        }
    return calls;
}

std::vector<std::string> Case::lib_calls() const {
    std::vector<std::string> calls;
    for (auto& l : trace())
        if (l.rfind("lib ", 0) == 0) calls.push_back(l);
    return calls;
}

std::vector<std::string> Case::sleeps() const {
    std::vector<std::string> out;
    for (auto& l : testbytes::lines(slurp(sleep_log_path()))) out.push_back(l);
    for (auto& l : trace())
        if (l.rfind("sleep ", 0) == 0 || l == "blocking") out.push_back(l);
    return out;
}

// ---------------------------------------------------------------- fixture

std::unique_ptr<Case> E2E::make_case(const std::string& variant) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string suite = info->test_suite_name();  // "<prefix>/<suite>"
    std::string test = info->name();              // "<test>/<bits>"
    suite = suite.substr(suite.rfind('/') + 1);
    test = test.substr(0, test.find('/'));
    std::string name = suite + "." + test + (variant.empty() ? "" : "." + variant);
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') c = '_';
    return std::make_unique<Case>(T(), name + "-" + std::to_string(T().bits));
}

}  // namespace e2e
