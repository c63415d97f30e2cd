#include "harness.h"

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

namespace {

std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : text) {
        if (c == sep) {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void spit(const std::string& path, const std::string& text, mode_t mode = 0644) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    ::chmod(path.c_str(), mode);
}

int elf_class(const std::string& path) {
    std::string head = slurp(path).substr(0, 5);
    if (head.size() < 5 || head.compare(0, 4, "\x7f" "ELF") != 0) return 0;
    return head[4] == 1 ? 32 : head[4] == 2 ? 64 : 0;
}

bool under(const std::string& path, const std::string& root) {
    return path == root || path.rfind(root + "/", 0) == 0;
}

bool hidden_by_mounts(const std::string& path) { return under(path, "/tmp") || under(path, "/o_tmp"); }

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

OutsideRoot& outside_root() {
    static OutsideRoot root;
    return root;
}

// The path itself, or a copy outside /tmp and /o_tmp when the mounts would
// hide it from the child.
std::string visible_in_child(const std::string& path) {
    if (path.empty() || !hidden_by_mounts(path)) return path;
    std::string copy = outside_root().path() + "/bin/" + fs::path(path).filename().string();
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

// Writes a message to fd 2 of the child and ends it: used between fork and
// exec, where gtest cannot report.
[[noreturn]] void child_fail(const char* what) {
    char buf[512];
    int n = snprintf(buf, sizeof buf, "e2e harness: %s failed: %s\n", what, strerror(errno));
    if (n > 0) {
        ssize_t ignored = ::write(2, buf, static_cast<size_t>(n));
        (void)ignored;
    }
    _exit(125);
}

}  // namespace

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

std::string tool_param_name(const ::testing::TestParamInfo<Tool>& info) {
    return std::to_string(info.param.bits);
}

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
        if (c == 033) s += "\\033";
        else if (c == '\r') s += "\\r";
        else if (c == '\n') s += "\\n\n";
        else if (c == '\t') s += "\\t";
        else if (c < 32 || c >= 127) {
            char b[8];
            snprintf(b, sizeof b, "\\x%02x", c);
            s += b;
        } else s += static_cast<char>(c);
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
    if (hidden_by_mounts(base)) base = outside_root().path() + "/e2e-cases";
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

std::vector<std::string> Case::trace() const { return lines_of(slurp(trace_path())); }

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
    for (auto& l : lines_of(slurp(sleep_log_path()))) out.push_back(l);
    for (auto& l : trace())
        if (l.rfind("sleep ", 0) == 0 || l == "blocking") out.push_back(l);
    return out;
}

RunResult Case::run(const RunOptions& o) {
    RunResult r;
    // argv and environment, built before the fork.
    std::vector<std::string> argv_s{tool.program};
    // Memcheck of the 64-bit program (valgrind cannot start the 32-bit one
    // here, nor a sanitizer build): any error or definite leak ends the run
    // with status 99, and the report lies beside the case.
    const std::string vg_log = dir + "/valgrind.log";
    const char* vg = getenv("E2E_VALGRIND");
    const bool memcheck = vg != nullptr && *vg != '\0' && *vg != '0' && tool.bits == 64 && !E2E_SANITIZE;
    if (memcheck)
        argv_s = {"/usr/bin/valgrind", "--quiet", "--error-exitcode=99", "--leak-check=full",
                  "--errors-for-leak-kinds=definite", "--log-file=" + vg_log, tool.program};
    argv_s.insert(argv_s.end(), o.args.begin(), o.args.end());
    std::vector<std::string> env_s;
    std::string path;
    for (auto& p : o.path_first) path += p + ":";
    path += "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
    env_s.push_back("PATH=" + path);
    env_s.push_back("HOME=/root");
    env_s.push_back("LANG=C");
    env_s.push_back("LC_ALL=C");
    if (fs::exists(scenario_path())) env_s.push_back("LOGDUMP_SIM_SCENARIO=" + scenario_path());
    env_s.push_back("LOGDUMP_SIM_TRACE=" + trace_path());
    env_s.push_back("LD_PRELOAD=" + tool.shim);
    env_s.push_back("SLEEP_SHIM_LOG=" + (o.merge_sleep_log ? trace_path() : sleep_log_path()));
    if (E2E_SANITIZE) {
        const char* a = getenv("ASAN_OPTIONS");
        std::string asan = a && *a ? std::string(a) + ":" : "";
        env_s.push_back("ASAN_OPTIONS=" + asan + "verify_asan_link_order=0");
        if (const char* u = getenv("UBSAN_OPTIONS")) env_s.push_back(std::string("UBSAN_OPTIONS=") + u);
    }
    for (auto& [k, v] : o.env) env_s.push_back(k + "=" + v);
    std::vector<char*> argv, envp;
    for (auto& s : argv_s) argv.push_back(s.data());
    argv.push_back(nullptr);
    for (auto& s : env_s) envp.push_back(s.data());
    envp.push_back(nullptr);

    int outp[2], errp[2];
    if (::pipe2(outp, O_CLOEXEC) != 0 || ::pipe2(errp, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << strerror(errno);
        return r;
    }
    int master = -1, slave = -1;
    if (o.terminal) {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
            (slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0) {
            ADD_FAILURE() << "pseudo-terminal: " << strerror(errno);
            return r;
        }
        termios tio{};
        ::tcgetattr(slave, &tio);
        tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOCTL);
        tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    fflush(nullptr);
    double start = now_s();
    pid_t pid = ::fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << strerror(errno);
        return r;
    }
    if (pid == 0) {
        if (o.terminal) {
            if (::setsid() < 0 || ::ioctl(slave, TIOCSCTTY, 0) != 0) child_fail("controlling terminal");
            ::dup2(slave, 0);
            ::dup2(slave, 1);
            ::dup2(errp[1], 2);
        } else {
            ::setpgid(0, 0);
            int devnull = ::open("/dev/null", O_RDONLY);
            ::dup2(devnull, 0);
            ::dup2(outp[1], 1);
            ::dup2(errp[1], 2);
        }
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test process
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::unshare(CLONE_NEWNS) != 0) child_fail("unshare(CLONE_NEWNS)");
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) child_fail("mount private /");
        // The case directory stays writable when the rest of the root is made read-only.
        if (::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0) child_fail("bind case dir");
        if (::mount(tmp.c_str(), "/tmp", nullptr, MS_BIND, nullptr) != 0) child_fail("bind /tmp");
        if (::mount(otmp.c_str(), "/o_tmp", nullptr, MS_BIND, nullptr) != 0) child_fail("bind /o_tmp");
        for (auto& [point, data] : o.tmpfs)
            if (::mount("tmpfs", point.c_str(), "tmpfs", 0, data.c_str()) != 0) child_fail("mount tmpfs");
        // Nothing outside the case may be written by the run.
        if (::mount(nullptr, "/", nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            child_fail("remount / read-only");
        if (::chdir(work.c_str()) != 0) child_fail("chdir work");
        if (o.tmpfs.empty()) {
            ::execve(argv[0], argv.data(), envp.data());
            child_fail("execve");
        }
        // A tmpfs dies with the namespace: this process holds the namespace,
        // runs the tool as its child (same process group) and copies what
        // the tool left in each tmpfs into the case directory afterwards.
        pid_t tool_pid = ::fork();
        if (tool_pid < 0) child_fail("fork");
        if (tool_pid == 0) {
            ::execve(argv[0], argv.data(), envp.data());
            child_fail("execve");
        }
        ::signal(SIGINT, SIG_IGN);
        int st = 0;
        while (::waitpid(tool_pid, &st, 0) < 0 && errno == EINTR) {
        }
        for (size_t i = 0; i < o.tmpfs.size(); ++i) {
            std::error_code ec;
            fs::copy(o.tmpfs[i].first, tmpfs_copy(i), fs::copy_options::recursive, ec);
        }
        if (WIFSIGNALED(st)) {
            ::signal(WTERMSIG(st), SIG_DFL);
            ::raise(WTERMSIG(st));
        }
        _exit(WIFEXITED(st) ? WEXITSTATUS(st) : 126);
    }
    r.pid = pid;
    if (!o.terminal) ::setpgid(pid, pid);  // a session leader cannot be moved
    ::close(outp[1]);
    ::close(errp[1]);
    if (o.terminal) {
        // The terminal's output comes on the master.
        ::close(slave);
        ::close(outp[0]);
        outp[0] = master;
        if (!o.terminal_input.empty() &&
            ::write(master, o.terminal_input.data(), o.terminal_input.size()) < 0)
            ADD_FAILURE() << "typing at the terminal: " << strerror(errno);
    }

    pollfd fds[2] = {{outp[0], POLLIN, 0}, {errp[0], POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    bool open_fd[2] = {true, true};
    bool exited = false;
    double exit_at = 0, marked_at = -1, sent_at = 0;
    int wstatus = 0;
    for (;;) {
        int n = ::poll(fds, 2, 20);
        if (n > 0)
            for (int i = 0; i < 2; ++i) {
                if (!open_fd[i] || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                char buf[65536];
                ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
                if (got > 0) {
                    sinks[i]->append(buf, static_cast<size_t>(got));
                } else if (got == 0 || errno != EINTR) {
                    open_fd[i] = false;
                    fds[i].fd = -1;
                }
            }
        double t = now_s();
        if (!exited) {
            siginfo_t si{};
            // Detect the end without reaping, so that the group id stays ours
            // while leftovers of the group are killed.
            if (::waitid(P_PID, static_cast<id_t>(pid), &si, WEXITED | WNOHANG | WNOWAIT) == 0 && si.si_pid == pid) {
                ::kill(-pid, SIGKILL);
                ::waitpid(pid, &wstatus, 0);
                exited = true;
                exit_at = t;
                r.seconds = t - start;
            }
        }
        if (!exited && o.interrupt) {
            if (marked_at < 0 && slurp(host(o.interrupt->file)).find(o.interrupt->marker) != std::string::npos)
                marked_at = t;
            bool due = !r.interrupt_sent ? marked_at >= 0 && (t - marked_at) * 1000 >= o.interrupt->delay_ms
                                         : o.interrupt->repeat_ms > 0 && (t - sent_at) * 1000 >= o.interrupt->repeat_ms;
            if (due) {
                if (!r.interrupt_sent && master >= 0) r.tty_foreground = ::tcgetpgrp(master);
                const Interrupt& in = *o.interrupt;
                if (!in.tty_input.empty()) {
                    if (::write(master, in.tty_input.data(), in.tty_input.size()) < 0)
                        ADD_FAILURE() << "typing at the terminal: " << strerror(errno);
                } else {
                    ::kill(in.group ? -pid : pid, in.signal);
                }
                r.interrupt_sent = true;
                sent_at = t;
            }
        }
        if (!exited && t - start > o.timeout_s) {
            r.timed_out = true;
            ::kill(-pid, SIGKILL);
        }
        if (exited && ((!open_fd[0] && !open_fd[1]) || t - exit_at > 5)) break;
    }
    for (int i = 0; i < 2; ++i) ::close(i == 0 ? outp[0] : errp[0]);
    if (WIFEXITED(wstatus)) {
        r.status = WEXITSTATUS(wstatus);
    } else if (WIFSIGNALED(wstatus)) {
        r.signal = WTERMSIG(wstatus);
    }
    if (r.status == 125) ADD_FAILURE() << "the harness could not start the tool: " << r.err;
    if (memcheck && r.status == 99) ADD_FAILURE() << "memcheck found errors:\n" << slurp(vg_log);
    EXPECT_FALSE(r.timed_out) << "the tool did not end within " << o.timeout_s << " s" << show(r.out);
    return r;
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

// ---------------------------------------------------------------- expectations

std::string title() { return "\033[34m<<< RAID SAS/SATA KESTRA DUMP TOOL  Ver01-10-00 >>>\n\033[0m"; }

std::string red(const std::string& text) { return kRed + text + kReset; }

const std::vector<Collector>& six_collectors() {
    static const std::vector<Collector> c = {
        {"fwtermlog", "Uart Log", "Uart Log", "Controller_%d_fwtermlog.log"},
        {"cfgdsply", "RAID Configuration", "RAID Configuration", "Controller_%d_cfgdsply.log"},
        {"adpallinfo", "RAID Controller Information", "RAID Controller Information", "Controller_%d_adpallinfo.log"},
        {"pdlist", "Physical Drive List", "Physical Drive List", "Controller_%d_pdlist.log"},
        {"ldinfo", "Logical Drive Information", "Logical Drive Information", "Controller_%d_ldinfo.log"},
        {"ldpdinfo", "Logical/Physical Drive Information", "Logical/Physical Drive Information",
         "Controller_%d_ldpdinfo.log"},
    };
    return c;
}

const Collector& event_collector() {
    static const Collector c{"adpeventlog", "FlashROM Log", "FlashROM Log", "controller_%d_Flashrom.log"};
    return c;
}

static std::string fmt_i(const std::string& pattern, int i) {
    char buf[256];
    snprintf(buf, sizeof buf, pattern.c_str(), i);
    return buf;
}

std::string collector_ok(const Collector& c, int i) {
    return "Controller " + std::to_string(i) + " : " + c.progress + " saving...\n" + c.what + " save success.\n\n";
}

std::string collector_fail(const Collector& c, int i) {
    return "Controller " + std::to_string(i) + " : " + c.progress + " saving...\n" + red(" " + c.what + " save error !\n\n");
}

std::string collector_record(const Collector& c) { return " " + c.what + " save error !\n\n"; }

std::vector<std::string> collector_args(const Collector& c, int i, const std::string& logdir) {
    std::string a = "-a" + std::to_string(i);
    std::string file = logdir + "/" + fmt_i(c.file, i);
    if (c.cmd == "fwtermlog") return {"-fwtermlog", "-dsply", a};
    if (c.cmd == "ldinfo") return {"-ldinfo", "-Lall", a};
    if (c.cmd == "adpeventlog") return {"-adpeventlog", "-getevents", "-f", file, a};
    return {"-" + c.cmd, a};
}

std::string collector_stdout(const Collector& c, int i, const std::string& logdir) {
    if (c.cmd == "adpeventlog") return "/dev/null";
    return logdir + "/" + fmt_i(c.file, i);
}

std::string full_run(int n, const std::string& drives, const FailSet& fail) {
    std::string s = title() + kSaving;
    for (auto& c : six_collectors())
        for (int i = 0; i < n; ++i) s += fail.count({c.cmd, i}) ? collector_fail(c, i) : collector_ok(c, i);
    s += drives + "\n";
    for (int i = 0; i < n; ++i)
        s += fail.count({"adpeventlog", i}) ? collector_fail(event_collector(), i) : collector_ok(event_collector(), i);
    return s + kReset;
}

std::string hex_lines(const std::vector<unsigned char>& bytes) {
    std::string s;
    char b[8];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(b, sizeof b, " %02x", bytes[i]);
        s += b;
        if (i % 16 == 15 || i + 1 == bytes.size()) s += "\r\n";
    }
    return s;
}

std::vector<unsigned char> bytes_of(const std::string& hex) {
    std::vector<unsigned char> v;
    std::string digits;
    for (char c : hex)
        if (isxdigit(static_cast<unsigned char>(c))) digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        v.push_back(static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return v;
}

std::string scsi_detail(int ctrl, int tgt, const std::vector<unsigned char>& cdb, unsigned rc,
                        const std::vector<unsigned char>& sense) {
    char b[64];
    snprintf(b, sizeof b, "H%02xT%02x Command error , ", ctrl, tgt);
    std::string s = b;
    for (size_t i = 0; i < 10; ++i) {
        snprintf(b, sizeof b, "%02x ", i < cdb.size() ? cdb[i] : 0);
        s += b;
    }
    snprintf(b, sizeof b, ", %08x, ", rc);
    s += b;
    for (size_t i = 0; i < 20; ++i) {
        snprintf(b, sizeof b, "%02x ", i < sense.size() ? sense[i] : 0);
        s += b;
    }
    return s + "\r\n";
}

std::string trace_field(const std::string& line, const std::string& key) {
    std::string k = " " + key + "=";
    size_t at = line.find(k);
    if (at == std::string::npos) return "";
    at += k.size();
    size_t end = line.find(' ', at);
    return line.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

}  // namespace e2e
