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
    if (head.size() < 5 || head.compare(0, 4,
                                        "\x7f"
                                        "ELF") != 0)
        return 0;
    return head[4] == 1 ? 32 : head[4] == 2 ? 64 : 0;
}

bool under(const std::string& path, const std::string& root) { return path == root || path.rfind(root + "/", 0) == 0; }

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

// ---------------------------------------------------------------- Case::run

namespace {

// One run of the tool, step by step: the command line and the environment,
// the streams it writes to, the start in a mount namespace of its own, the
// watch until it has ended (output collected, interrupts sent, the time
// limit kept), and its status.
class Launch {
public:
    Launch(const Case& c, const RunOptions& o) : c_(c), o_(o) {}

    RunResult run() {
        command_line();
        environment();
        if (open_streams() && start()) {
            watch();
            read_status();
        }
        return r_;
    }

private:
    const Case& c_;
    const RunOptions& o_;
    RunResult r_;
    std::vector<std::string> argv_, env_;
    std::vector<char*> argv_ptrs_, env_ptrs_;
    bool memcheck_ = false;
    int out_[2] = {-1, -1}, err_[2] = {-1, -1};
    int master_ = -1, slave_ = -1;     // the pseudo-terminal of RunOptions::terminal
    bool closed_[2] = {false, false};  // standard output and error
    double start_ = 0, marked_at_ = -1, sent_at_ = 0;
    int wstatus_ = 0;

    std::string valgrind_log() const { return c_.dir + "/valgrind.log"; }

    // The tool and its arguments. Memcheck of the 64-bit program (valgrind
    // cannot start the 32-bit one here, nor a sanitizer build): any error or
    // definite leak ends the run with status 99, and the report lies beside
    // the case.
    void command_line() {
        const char* vg = getenv("E2E_VALGRIND");
        memcheck_ = vg != nullptr && *vg != '\0' && *vg != '0' && c_.tool.bits == 64 && !E2E_SANITIZE;
        argv_ = {c_.tool.program};
        if (memcheck_)
            argv_ = {"/usr/bin/valgrind",
                     "--quiet",
                     "--error-exitcode=99",
                     "--leak-check=full",
                     "--errors-for-leak-kinds=definite",
                     "--log-file=" + valgrind_log(),
                     c_.tool.program};
        argv_.insert(argv_.end(), o_.args.begin(), o_.args.end());
    }

    // A fixed environment: the search path, the simulator's scenario and
    // trace, the preloaded shim, and what the case adds.
    void environment() {
        std::string path;
        for (auto& p : o_.path_first) path += p + ":";
        path += "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
        env_ = {"PATH=" + path, "HOME=/root", "LANG=C", "LC_ALL=C"};
        if (fs::exists(c_.scenario_path())) env_.push_back("LOGDUMP_SIM_SCENARIO=" + c_.scenario_path());
        env_.push_back("LOGDUMP_SIM_TRACE=" + c_.trace_path());
        env_.push_back("LD_PRELOAD=" + c_.tool.shim);
        env_.push_back("SLEEP_SHIM_LOG=" + (o_.merge_sleep_log ? c_.trace_path() : c_.sleep_log_path()));
        if (E2E_SANITIZE) {
            const char* a = getenv("ASAN_OPTIONS");
            std::string asan = a && *a ? std::string(a) + ":" : "";
            env_.push_back("ASAN_OPTIONS=" + asan + "verify_asan_link_order=0");
            if (const char* u = getenv("UBSAN_OPTIONS")) env_.push_back(std::string("UBSAN_OPTIONS=") + u);
        }
        for (auto& [k, v] : o_.env) env_.push_back(k + "=" + v);
    }

    // Pipes for standard output and error; with a terminal, standard input
    // and output are a pseudo-terminal without echo and output processing.
    bool open_streams() {
        if (::pipe2(out_, O_CLOEXEC) != 0 || ::pipe2(err_, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "pipe: " << strerror(errno);
            return false;
        }
        if (!o_.terminal) return true;
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
            (slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0) {
            ADD_FAILURE() << "pseudo-terminal: " << strerror(errno);
            return false;
        }
        termios tio{};
        ::tcgetattr(slave_, &tio);
        tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOCTL);
        tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        ::tcsetattr(slave_, TCSANOW, &tio);
        return true;
    }

    bool start() {
        // Built before the fork: the child only execs.
        for (auto& a : argv_) argv_ptrs_.push_back(a.data());
        for (auto& e : env_) env_ptrs_.push_back(e.data());
        argv_ptrs_.push_back(nullptr);
        env_ptrs_.push_back(nullptr);
        fflush(nullptr);
        start_ = now_s();
        const pid_t pid = ::fork();
        if (pid < 0) {
            ADD_FAILURE() << "fork: " << strerror(errno);
            return false;
        }
        if (pid == 0) child();
        r_.pid = pid;
        if (!o_.terminal) ::setpgid(pid, pid);  // a session leader cannot be moved
        ::close(out_[1]);
        ::close(err_[1]);
        if (o_.terminal) {
            // The terminal's output comes on the master.
            ::close(slave_);
            ::close(out_[0]);
            out_[0] = master_;
            type_at_terminal(o_.terminal_input);
        }
        return true;
    }

    void type_at_terminal(const std::string& text) {
        if (!text.empty() && ::write(master_, text.data(), text.size()) < 0)
            ADD_FAILURE() << "typing at the terminal: " << strerror(errno);
    }

    // ---- in the child (between fork and exec gtest cannot report) ----

    [[noreturn]] void child() {
        attach_streams();
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test process
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        enter_namespace();
        if (::chdir(c_.work.c_str()) != 0) child_fail("chdir work");
        if (o_.tmpfs.empty()) exec_tool();
        hold_tmpfs();
    }

    // A process group of its own, or a session on the terminal.
    void attach_streams() {
        if (o_.terminal) {
            if (::setsid() < 0 || ::ioctl(slave_, TIOCSCTTY, 0) != 0) child_fail("controlling terminal");
            ::dup2(slave_, 0);
            ::dup2(slave_, 1);
        } else {
            ::setpgid(0, 0);
            ::dup2(::open("/dev/null", O_RDONLY), 0);
            ::dup2(out_[1], 1);
        }
        ::dup2(err_[1], 2);
    }

    // /tmp and /o_tmp of the case, the tmpfs mounts asked for, and the rest
    // of the root read-only: nothing outside the case may be written.
    void enter_namespace() {
        if (::unshare(CLONE_NEWNS) != 0) child_fail("unshare(CLONE_NEWNS)");
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) child_fail("mount private /");
        // The case directory stays writable when the rest of the root is made read-only.
        if (::mount(c_.dir.c_str(), c_.dir.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0)
            child_fail("bind case dir");
        if (::mount(c_.tmp.c_str(), "/tmp", nullptr, MS_BIND, nullptr) != 0) child_fail("bind /tmp");
        if (::mount(c_.otmp.c_str(), "/o_tmp", nullptr, MS_BIND, nullptr) != 0) child_fail("bind /o_tmp");
        for (auto& [point, data] : o_.tmpfs)
            if (::mount("tmpfs", point.c_str(), "tmpfs", 0, data.c_str()) != 0) child_fail("mount tmpfs");
        if (::mount(nullptr, "/", nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            child_fail("remount / read-only");
    }

    [[noreturn]] void exec_tool() {
        ::execve(argv_ptrs_[0], argv_ptrs_.data(), env_ptrs_.data());
        child_fail("execve");
    }

    // A tmpfs dies with the namespace: this process holds the namespace,
    // runs the tool as its child (same process group) and copies what the
    // tool left in each tmpfs into the case directory afterwards.
    [[noreturn]] void hold_tmpfs() {
        const pid_t tool = ::fork();
        if (tool < 0) child_fail("fork");
        if (tool == 0) exec_tool();
        ::signal(SIGINT, SIG_IGN);
        int st = 0;
        while (::waitpid(tool, &st, 0) < 0 && errno == EINTR) {}
        for (size_t i = 0; i < o_.tmpfs.size(); ++i) {
            std::error_code ec;
            fs::copy(o_.tmpfs[i].first, c_.tmpfs_copy(i), fs::copy_options::recursive, ec);
        }
        if (WIFSIGNALED(st)) {
            ::signal(WTERMSIG(st), SIG_DFL);
            ::raise(WTERMSIG(st));
        }
        _exit(WIFEXITED(st) ? WEXITSTATUS(st) : 126);
    }

    // ---- in the test process ----

    // Until the tool has ended and its streams are closed (or 5 s more).
    void watch() {
        bool exited = false;
        double exit_at = 0;
        for (;;) {
            const bool open = collect_output(20);
            const double t = now_s();
            if (!exited && ended()) {
                exited = true;
                exit_at = t;
                r_.seconds = t - start_;
            }
            if (!exited && o_.interrupt) interrupt(t);
            if (!exited && t - start_ > o_.timeout_s) {
                r_.timed_out = true;
                ::kill(-r_.pid, SIGKILL);
            }
            if (exited && (!open || t - exit_at > 5)) break;
        }
        ::close(out_[0]);
        ::close(err_[0]);
    }

    // Reads what is there within `ms`; false once both streams are closed.
    bool collect_output(int ms) {
        pollfd fds[2] = {{out_[0], POLLIN, 0}, {err_[0], POLLIN, 0}};
        std::string* sinks[2] = {&r_.out, &r_.err};
        for (int i = 0; i < 2; ++i)
            if (closed_[i]) fds[i].fd = -1;
        if (::poll(fds, 2, ms) > 0)
            for (int i = 0; i < 2; ++i) {
                if (closed_[i] || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                char buf[65536];
                ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
                if (got > 0)
                    sinks[i]->append(buf, static_cast<size_t>(got));
                else if (got == 0 || errno != EINTR)
                    closed_[i] = true;
            }
        return !closed_[0] || !closed_[1];
    }

    // The end is seen without reaping, so that the group id stays ours while
    // leftovers of the group are killed.
    bool ended() {
        siginfo_t si{};
        if (::waitid(P_PID, static_cast<id_t>(r_.pid), &si, WEXITED | WNOHANG | WNOWAIT) != 0 || si.si_pid != r_.pid)
            return false;
        ::kill(-r_.pid, SIGKILL);
        ::waitpid(r_.pid, &wstatus_, 0);
        return true;
    }

    // RunOptions::interrupt: the first once the marker is in the file and
    // the delay has passed, then again at the repeat interval.
    void interrupt(double t) {
        const Interrupt& in = *o_.interrupt;
        if (marked_at_ < 0 && slurp(c_.host(in.file)).find(in.marker) != std::string::npos) marked_at_ = t;
        const bool due = !r_.interrupt_sent ? marked_at_ >= 0 && (t - marked_at_) * 1000 >= in.delay_ms
                                            : in.repeat_ms > 0 && (t - sent_at_) * 1000 >= in.repeat_ms;
        if (!due) return;
        if (!r_.interrupt_sent && master_ >= 0) r_.tty_foreground = ::tcgetpgrp(master_);
        if (!in.tty_input.empty())
            type_at_terminal(in.tty_input);
        else
            ::kill(in.group ? -r_.pid : r_.pid, in.signal);
        r_.interrupt_sent = true;
        sent_at_ = t;
    }

    void read_status() {
        if (WIFEXITED(wstatus_))
            r_.status = WEXITSTATUS(wstatus_);
        else if (WIFSIGNALED(wstatus_))
            r_.signal = WTERMSIG(wstatus_);
        if (r_.status == 125) ADD_FAILURE() << "the harness could not start the tool: " << r_.err;
        if (memcheck_ && r_.status == 99) ADD_FAILURE() << "memcheck found errors:\n" << slurp(valgrind_log());
        EXPECT_FALSE(r_.timed_out) << "the tool did not end within " << o_.timeout_s << " s" << show(r_.out);
    }
};

}  // namespace

RunResult Case::run(const RunOptions& o) { return Launch(*this, o).run(); }

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

std::string red_lines(const std::string& text) {
    std::string s;
    for (auto& l : lines_of(text)) s += red(l + "\n");
    return s;
}

std::vector<std::string> pauses(int n) { return std::vector<std::string>(static_cast<size_t>(n), "sleep 1"); }

std::string listing(const std::vector<std::string>& names) {
    std::string s;
    for (auto& n : names) s += n + " ";
    return s;
}

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
    return "Controller " + std::to_string(i) + " : " + c.progress + " saving...\n" +
           red(" " + c.what + " save error !\n\n");
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

std::string hex_lines(const Bytes& bytes) {
    std::string s;
    char b[8];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(b, sizeof b, " %02x", bytes[i]);
        s += b;
        if (i % 16 == 15 || i + 1 == bytes.size()) s += "\r\n";
    }
    return s;
}

Bytes bytes_of(const std::string& hex) {
    Bytes v;
    std::string digits;
    for (char c : hex)
        if (isxdigit(static_cast<unsigned char>(c))) digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        v.push_back(static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return v;
}

std::string Disk::device() const {
    return "device " + std::to_string(ctrl) + " " + std::to_string(tgt) + " sas vendor \"" + vendor + "\" product \"" +
           product + "\" rev \"" + rev + "\" serial \"" + serial + "\"\n";
}

std::string Disk::identity() const { return e2e::identity(vendor + product + rev, serial); }

std::string Disk::saving() const {
    return "Controller " + std::to_string(ctrl) + "/ Target " + std::to_string(tgt) + " : HardDisk Log saving...\n";
}

std::string Disk::file() const {
    char b[32];
    snprintf(b, sizeof b, "MA%02x%02x.log", static_cast<unsigned>(ctrl), static_cast<unsigned>(tgt));
    return b;
}

std::string identity(const std::string& code, const std::string& serial) {
    return "Device code   : " + code + "\r\nSerial number : " + serial + "\r\n";
}

std::string page_block(const std::string& code, const Bytes& data) {
    return "<Page" + code + ">\r\n" + hex_lines(data);
}

std::string section_title(int type) {
    switch (type) {
    case 1: return "<Drive Status Log>\r\n";
    case 2: return "<Drive Interna Log>\r\n";  // sic: the tool's own title
    case 4: return "<Command Log>\r\n";
    case 8: return "<Controller Internal Information>\r\n";
    }
    return "<no section " + std::to_string(type) + ">\r\n";
}

Bytes section(int type, size_t len) {
    Bytes b(std::max<size_t>(len, 4));
    const size_t l = len - 3;
    b[0] = static_cast<unsigned char>(type);
    b[1] = static_cast<unsigned char>(l >> 16);
    b[2] = static_cast<unsigned char>(l >> 8);
    b[3] = static_cast<unsigned char>(l);
    for (size_t i = 4; i < len; ++i) b[i] = static_cast<unsigned char>(i - 4);
    b.resize(len);  // a section of 3 bytes ends inside its length field
    return b;
}

std::string section_block(int type, size_t len) { return section_title(type) + hex_lines(section(type, len)); }

std::string section_statements(int ctrl, int tgt, const std::vector<size_t>& lens) {
    std::string s;
    for (size_t i = 0; i < lens.size() && i < std::size(kSectionTypes); ++i)
        s += "internal " + std::to_string(ctrl) + " " + std::to_string(tgt) + " " + std::to_string(kSectionTypes[i]) +
             " " + std::to_string(lens[i]) + "\n";
    return s;
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
