// End-to-end harness: runs one of the built programs (logdump64 or logdump)
// as a whole process, in a mount namespace of its own where /tmp and /o_tmp
// are directories of the test case, with the simulated vendor CLI and
// storage library installed in a working directory, sleep() recorded by the
// preloaded shim, and a wall-clock limit. Everything a case creates lies in
// LOGDUMP_BINARY_DIR/e2e-cases/<test>-<bits>/ and is removed when the case
// passed.
#pragma once

#include <gtest/gtest.h>

#include <csignal>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bytes.h"

namespace e2e {

// One program under test with its companions of the same width.
struct Tool {
    int bits = 64;
    std::string program;        // the tool
    std::string sim_lib;        // simulated raidstor of this width
    std::string shim;           // sleep shim of this width (plain absolute path)
    std::string cli_name;       // default vendor CLI file name of this build
    std::string lib_name;       // default raidstor file name of this build
    std::string short_program;  // the same program with time limits of seconds
};

// The program's file name, in failure messages and in the test names that
// ctest derives from the parameter.
void PrintTo(const Tool& t, std::ostream* os);

// The programs of this build, 64-bit first.
const std::vector<Tool>& tools();
// Test-name suffix: "64" or "32".
std::string tool_param_name(const ::testing::TestParamInfo<Tool>& info);

// The simulated library without ProcessLibCommand of this width, or "" when
// the build has none.
std::string noentry_lib(const Tool& tool);

// Sends SIGINT to the tool's whole process group (like Ctrl-C at a terminal)
// once `file` (a path inside the namespace, /tmp/... or /o_tmp/..., or a
// host path) contains `marker`, after `delay_ms` more milliseconds.
struct Interrupt {
    std::string file;
    std::string marker;
    int delay_ms = 300;
    int repeat_ms = 0;  // > 0: send it again at this interval until the tool ends
    int signal = SIGINT;
    bool group = true;           // false: to the tool's process alone (a supervisor)
    std::string tty_input = "";  // with RunOptions::terminal: typed instead of a signal
};

struct RunOptions {
    std::vector<std::string> args;           // argv[1..]
    std::vector<std::string> path_first;     // directories searched before the system PATH
    std::map<std::string, std::string> env;  // extra environment (e.g. SLEEP_SHIM_BLOCK_AT)
    std::optional<Interrupt> interrupt;
    // tmpfs mounts made inside the namespace after /tmp and /o_tmp:
    // mount point (inside the namespace) and mount data (e.g. "size=16k").
    // What the run left in the i-th is copied to Case::tmpfs_copy(i).
    std::vector<std::pair<std::string, std::string>> tmpfs;
    bool merge_sleep_log = false;  // the shim writes into the sim trace file
    int timeout_s = 60;
    // The tool runs in a session of its own on a pseudo-terminal (standard
    // input and output; no echo, no output processing) whose foreground it
    // holds; terminal_input is typed at the start.
    bool terminal = false;
    std::string terminal_input;
};

struct RunResult {
    int status = -1;  // exit status, -1 when ended by a signal
    int signal = 0;   // terminating signal, 0 when it exited
    bool timed_out = false;
    bool interrupt_sent = false;
    int pid = 0;             // the tool's process id (its process group id)
    int tty_foreground = 0;  // the terminal's foreground group when the first interrupt was sent
    double seconds = 0;
    std::string out;  // standard output, bytes as written
    std::string err;  // standard error
};

// Printable form of console bytes for failure messages (ESC as \033, CR as \r).
std::string show(const std::string& bytes);

// The texts framed by "\033[31m" and "\033[0m" in console output, in order.
std::vector<std::string> red_texts(const std::string& out);

class Case {
public:
    // Creates the case directory with work/, tmp/, otmp/ and otmp/TMP/KESTRA,
    // and installs the simulated CLI and library under the build's names.
    Case(const Tool& tool, const std::string& name);
    ~Case();  // removes the case directory unless the test has failed
    Case(const Case&) = delete;
    Case& operator=(const Case&) = delete;

    const Tool& tool;
    std::string dir;   // the case directory (host path)
    std::string work;  // working directory of the tool (host path = path inside)
    std::string tmp;   // host directory seen as /tmp
    std::string otmp;  // host directory seen as /o_tmp

    // Moves the working directory to dir/<name> (created; nested names allowed)
    // and installs the CLI and the library there.
    void set_work(const std::string& name);
    // Installing and removing the vendor stand-ins in the working directory.
    void install_cli(const std::string& name = "");
    void install_lib(const std::string& name = "", const std::string& source = "");
    void remove_work_file(const std::string& name);
    void remove_logdir();  // no /o_tmp/TMP/KESTRA

    void scenario(const std::string& text);  // writes the scenario file
    std::string scenario_path() const { return dir + "/scenario.scn"; }
    std::string trace_path() const { return dir + "/trace.txt"; }
    std::string sleep_log_path() const { return dir + "/sleep.log"; }
    std::string tmpfs_copy(size_t i) const { return dir + "/tmpfs" + std::to_string(i); }

    // Writes an executable script into dir/bin/<name> and returns dir/bin,
    // for RunOptions::path_first.
    std::string stand_in(const std::string& name, const std::string& script);
    // The vendor CLI replaced by a script: the branches of a shell `case` on
    // the first argument ("-pdlist) kill -SEGV $$ ;;") run first, then every
    // call goes on to the simulated CLI.
    void cli_stand_in(const std::string& branches);
    // The tool started through a bash script dir/bin/<name> that runs
    // `before_exec` and then execs it (the same process, so signals and
    // status are its own), its output redirected by `redirect` (" 2>&1").
    Tool wrapped(const std::string& name, const std::string& before_exec, const std::string& redirect = "");
    // Moves the working directory to one of exactly n characters inside the
    // case directory; false when the case directory is too long for it.
    bool set_work_of_length(size_t n);

    RunResult run(const RunOptions& options = {});
    RunResult run(const std::vector<std::string>& args) {
        RunOptions o;
        o.args = args;
        return run(o);
    }

    // Paths inside the namespace (/tmp/..., /o_tmp/...) to host paths;
    // other paths unchanged.
    std::string host(const std::string& path) const;
    bool exists(const std::string& path) const;  // lstat
    bool is_symlink(const std::string& path) const;
    std::string read(const std::string& path) const;  // whole file, "" when missing
    void write(const std::string& path, const std::string& text) const;
    std::vector<std::string> list(const std::string& dir) const;  // sorted names

    std::string logdir() const { return "/o_tmp/TMP/KESTRA"; }
    std::string log(const std::string& name) const { return read(logdir() + "/" + name); }
    std::vector<std::string> logs() const { return list(logdir()); }

    std::vector<std::string> trace() const;                   // all trace lines
    std::vector<std::vector<std::string>> cli_calls() const;  // cli lines, fields after "cli"
    std::vector<std::string> lib_calls() const;               // lib lines
    std::vector<std::string> sleeps() const;                  // shim log lines

private:
    std::string name_;
};

// A program of this build run as a plain process, in this process's mount
// namespace, working directory and environment (RunOptions::env added):
// `program` (its path and first arguments), then RunOptions::args; its
// output, status and time limit as for a case. Interrupts and tmpfs mounts
// need a case.
RunResult run_program(const std::vector<std::string>& program, const RunOptions& options = {});

// Fixture for the cases that run both programs: one instance per program.
class E2E : public ::testing::TestWithParam<Tool> {
protected:
    const Tool& T() const { return GetParam(); }
    // A case directory named after the running test, the variant (a row of
    // a table) and the width.
    std::unique_ptr<Case> make_case(const std::string& variant = "");
};

// ---- expected console text ----
std::string title();  // blue title line
inline const std::string kRed = "\033[31m";
inline const std::string kReset = "\033[0m";
std::string red(const std::string& text);        // red, text, reset
std::string red_lines(const std::string& text);  // each line framed by red and reset
inline const std::string kSaving = "RAID SAS/SATA Log Dump: Log Saving...\n\n";

// One collector of the controller logs, by the first CLI argument without
// its dash (fwtermlog, cfgdsply, adpallinfo, pdlist, ldinfo, ldpdinfo,
// adpeventlog).
struct Collector {
    std::string cmd;
    std::string progress;  // progress line without "Controller %d : " and "\n"
    std::string what;      // "Uart Log", ... ("... save success." / "... save error !")
    std::string file;      // printf pattern of the output file name
};
const std::vector<Collector>& six_collectors();
const Collector& event_collector();
// Console text of one collector call for controller i.
std::string collector_ok(const Collector& c, int i);
std::string collector_fail(const Collector& c, int i);
// The error-log record of a failed collector.
std::string collector_record(const Collector& c);
// The CLI argument vector (after argv[0]) of one collector call and where
// its standard output goes.
std::vector<std::string> collector_args(const Collector& c, int i, const std::string& logdir);
std::string collector_stdout(const Collector& c, int i, const std::string& logdir);

// (command, controller) pairs of collector calls that fail.
using FailSet = std::set<std::pair<std::string, int>>;
// Console text of a whole run without arguments over n controllers: title,
// the six controller logs, the drive-log part given, the event log, reset.
std::string full_run(int n, const std::string& drives = "", const FailSet& fail = {});

// A CLI call as Case::cli_calls() lists it: where standard output went, the
// CLI of the working directory (its build name, or `cli`), the arguments.
std::vector<std::string> cli_call(const Case& c, const std::string& out, const std::vector<std::string>& args,
                                  const std::string& cli = "");
// The count query, its output in `tmpdir`.
std::vector<std::string> count_call(const Case& c, const std::string& tmpdir = "/tmp", const std::string& cli = "");
// Every CLI call of a run without arguments over n controllers.
std::vector<std::vector<std::string>> full_run_calls(const Case& c, int n);

// n pauses of one second, as Case::sleeps() lists them.
std::vector<std::string> pauses(int n);
// Names separated by blanks, for failure messages.
std::string listing(const std::vector<std::string>& names);

// ---- drives: scenario statements and the drive log text ----

// The byte helpers of every test program (bytes.h).
using testbytes::Bytes;
using testbytes::bytes_of;
using testbytes::hex;
using testbytes::hex_lines;
using testbytes::pattern;
using testbytes::put_word;

// A SAS disk of a scenario; the defaults are the disk most cases use.
struct Disk {
    int ctrl = 0;
    int tgt = 0;
    std::string product = "DK300SA0006     ";     // 16 characters
    std::string serial = "S0M1ABCD0000C1234567";  // 20
    std::string vendor = "ACMEDRV ";              // 8
    std::string rev = "0003";
    std::string device() const;    // "device C T sas vendor ... serial ...\n"
    std::string identity() const;  // the drive log's first two lines
    std::string saving() const;    // "Controller C/ Target T : HardDisk Log saving...\n"
    std::string file() const;      // "MAcctt.log"
};
// The identity lines of a device code (vendor, product, revision) and serial.
std::string identity(const std::string& code, const std::string& serial);
// "<PageXX>" (XX: `code`) and the page's hex lines.
std::string page_block(const std::string& code, const Bytes& data);

// Internal-log sections, in the order they are read and written.
inline constexpr int kSectionTypes[] = {1, 2, 4, 8};
std::string section_title(int type);  // "<Drive Status Log>\r\n", ...
// A section as the simulated drive builds it: byte 0 the type, bytes 1..3
// the length less 3 (big-endian), then 00 01 02 ...
Bytes section(int type, size_t len);
std::string section_block(int type, size_t len);  // its title and hex lines
// The "internal" statements of a disk's four sections of these lengths.
std::string section_statements(int ctrl, int tgt, const std::vector<size_t>& lens);

// One controller without devices; the progress line of the default disk.
inline const std::string kOneController = "controller 0\n";
inline const std::string kDiskSaving = Disk{}.saving();

// One controller with the default disk listing page 02, and its drive log.
inline const std::string kOneDisk = "controller 0\n" + Disk{}.device() +
                                    "page 0 0 0x00 \"00 00 00 01 02\"\n"
                                    "page 0 0 0x02 \"02 00 00 04 00 00 01 07\"\n";
inline const std::string kOneDiskLog = Disk{}.identity() + "<Page02>\r\n 02 00 00 04 00 00 01 07\r\n";

// The error-log record of a failed SCSI command: "HccTdd Command error , ",
// the CDB padded to 10 bytes, the result, the first 20 sense bytes, CR LF.
std::string scsi_detail(int ctrl, int tgt, const std::vector<unsigned char>& cdb, unsigned rc,
                        const std::vector<unsigned char>& sense);

// The value of "key=value" in a library trace line, "" when absent.
std::string trace_field(const std::string& line, const std::string& key);
// The <PageXX> blocks of a drive log, up to its first other block: "XX"
// and the bytes dumped under it.
std::vector<std::pair<std::string, Bytes>> page_blocks(const std::string& log);
// The CDBs (lower-case hex, no blanks) of the SCSI commands sent to one
// device, in order.
std::vector<std::string> cdbs(const Case& c, int ctrl, int tgt);

}  // namespace e2e

// Every exit of the tool leaves the terminal colour reset as its last output.
#define EXPECT_RESET_LAST(r)                                                                   \
    EXPECT_TRUE((r).out.size() >= 4 && (r).out.compare((r).out.size() - 4, 4, "\033[0m") == 0) \
        << "last output is not \\033[0m: " << ::e2e::show((r).out)
