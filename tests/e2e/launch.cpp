// The harness's runner: Case::run, one run of the tool in a mount namespace
// of its own, and run_program, a program of this build as a plain process.
#include "harness.h"

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

namespace {

// One run, step by step: the command line and the environment, the streams
// it writes to, the start (for a case, in a mount namespace of its own), the
// watch until it has ended (output collected, interrupts sent, the time
// limit kept), and its status. Without a case: the program given, in this
// process's namespace, directory and environment.
class Launch {
public:
    Launch(const Case& c, const RunOptions& o) : case_(&c), o_(o) {}
    Launch(const std::vector<std::string>& program, const RunOptions& o) : o_(o), argv_(program) {}

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
    const Case* case_ = nullptr;
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

    const Case& c() const { return *case_; }
    std::string valgrind_log() const { return c().dir + "/valgrind.log"; }

    // The tool and its arguments. Memcheck of the 64-bit program (valgrind
    // cannot start the 32-bit one here, nor a sanitizer build): any error or
    // definite leak ends the run with status 99, and the report lies beside
    // the case.
    void command_line() {
        if (case_ == nullptr) {
            argv_.insert(argv_.end(), o_.args.begin(), o_.args.end());
            return;
        }
        const char* vg = getenv("E2E_VALGRIND");
        memcheck_ = vg != nullptr && *vg != '\0' && *vg != '0' && c().tool.bits == 64 && !E2E_SANITIZE;
        argv_ = {c().tool.program};
        if (memcheck_)
            argv_ = {"/usr/bin/valgrind",
                     "--quiet",
                     "--error-exitcode=99",
                     "--leak-check=full",
                     "--errors-for-leak-kinds=definite",
                     "--log-file=" + valgrind_log(),
                     c().tool.program};
        argv_.insert(argv_.end(), o_.args.begin(), o_.args.end());
    }

    // A fixed environment: the search path, the simulator's scenario and
    // trace, the preloaded shim, and what the case adds.
    void environment() {
        if (case_ == nullptr) {
            for (char** e = environ; *e != nullptr; ++e) env_.push_back(*e);
            for (auto& [k, v] : o_.env) env_.push_back(k + "=" + v);
            return;
        }
        std::string path;
        for (auto& p : o_.path_first) path += p + ":";
        path += "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
        env_ = {"PATH=" + path, "HOME=/root", "LANG=C", "LC_ALL=C"};
        if (fs::exists(c().scenario_path())) env_.push_back("LOGDUMP_SIM_SCENARIO=" + c().scenario_path());
        env_.push_back("LOGDUMP_SIM_TRACE=" + c().trace_path());
        env_.push_back("LD_PRELOAD=" + c().tool.shim);
        env_.push_back("SLEEP_SHIM_LOG=" + (o_.merge_sleep_log ? c().trace_path() : c().sleep_log_path()));
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
        if (case_ == nullptr) exec_tool();
        enter_namespace();
        if (::chdir(c().work.c_str()) != 0) child_fail("chdir work");
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
        if (::mount(c().dir.c_str(), c().dir.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0)
            child_fail("bind case dir");
        if (::mount(c().tmp.c_str(), "/tmp", nullptr, MS_BIND, nullptr) != 0) child_fail("bind /tmp");
        if (::mount(c().otmp.c_str(), "/o_tmp", nullptr, MS_BIND, nullptr) != 0) child_fail("bind /o_tmp");
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
            fs::copy(o_.tmpfs[i].first, c().tmpfs_copy(i), fs::copy_options::recursive, ec);
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
        if (marked_at_ < 0 && slurp(c().host(in.file)).find(in.marker) != std::string::npos) marked_at_ = t;
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

RunResult run_program(const std::vector<std::string>& program, const RunOptions& o) { return Launch(program, o).run(); }

}  // namespace e2e
