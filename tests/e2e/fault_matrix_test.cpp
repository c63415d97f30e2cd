// The fault matrix: one full run of a small system, then the same run with
// one fault injected, a row per fault: every storage command failing in turn,
// the CLI missing, failing, printing garbage or dying by a signal, the log
// directory missing, read-only, full or removed mid-run, and each temporary
// file that cannot be written. Each row gives the console bytes, the error
// log, the drive logs (whole lines, everything before the fault kept) and
// the exit status.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include "fault_system.h"
#include "harness.h"

using namespace e2e;
using namespace e2e::faults;

namespace {

struct Row;

class FaultMatrix : public E2E {
protected:
    // Runs the rows of the table whose names begin with one of the prefixes
    // (every row when there are none), each alone on a fresh case.
    void run_rows(const std::vector<std::string>& prefixes, bool others = false);
};

// ---- the table ----

struct Expect {
    int status = 0;
    std::string console;
    std::optional<std::string> records;                       // nullopt: no error log
    std::map<std::string, std::optional<std::string>> files;  // in the log directory; nullopt: absent
    std::map<std::string, std::string> cut;  // files cut short: what they would have held; they keep a prefix
};

struct Row {
    std::string name;
    bool tmpfs = false;             // the log directory is a small tmpfs (read back from its copy)
    std::string scenario;           // appended to the base scenario
    std::vector<std::string> args;  // command line
    std::function<void(Case&, RunOptions&)> setup;
    std::function<Expect(const Case&)> expect;
    bool own_scenario = false;  // the scenario replaces the base one
    bool short_limits = false;  // the program built with time limits of seconds
};

// A whole run without arguments over the two disks, each with its fault.
Expect full(const DiskFault& d0, const DiskFault& d1, const FailSet& cli = {}, const std::string& ctrl = "") {
    Expect e;
    std::string drives = ctrl;
    std::string records;
    for (const auto& c : six_collectors())
        if (cli.count({c.cmd, 0})) records += collector_record(c);
    if (ctrl.empty()) {
        int id = 0;
        for (const DiskFault* f : {&d0, &d1}) {
            DiskPart p = disk_part(id, *f);
            drives += p.console;
            records += p.records;
            e.files[disk(id).file()] = p.log;
            ++id;
        }
    }
    if (cli.count({"adpeventlog", 0})) records += collector_record(event_collector());
    if (!ctrl.empty()) records += ctrl;
    e.console = full_run(1, ctrl.empty() ? drives : red(ctrl), cli);
    e.records = records;
    return e;
}

const Bytes kSense = {0x70, 0, 0x03, 0, 0, 0, 0, 0x0a, 0, 0, 0, 0, 0x11, 0x00};
const std::string kSenseHex = "70 00 03 00 00 00 00 0a 00 00 00 00 11 00";

// Rows for one storage command failing: at the first request of its class
// (disk 0) and at a later one (disk 1), with sense data and without.
void storage_rows(std::vector<Row>& rows) {
    struct Where {
        Cmd cmd;
        const char* what;  // the simulator's name of the command
        int id;
        int nth;    // counted per device for that name
        int index;  // the model's request index
    };
    const std::vector<Where> where = {
        {Cmd::Inquiry, "inquiry", 0, 1, 0},      {Cmd::Inquiry, "inquiry", 1, 1, 0},
        {Cmd::PdInfo, "pdinfo", 0, 1, 0},        {Cmd::PdInfo, "pdinfo", 1, 1, 0},
        {Cmd::LogSense, "logsense", 0, 1, 0},    {Cmd::LogSense, "logsense", 0, 2, 1},
        {Cmd::LogSense, "logsense:02", 1, 1, 2}, {Cmd::LogSense, "logsense:0d", 1, 2, 5},
        {Cmd::Internal, "internal", 0, 1, 0},    {Cmd::Internal, "internal:2", 0, 2, 3},
        {Cmd::Internal, "internal:4", 1, 1, 4},  {Cmd::Internal, "internal:8", 1, 2, 7},
    };
    for (const Where& w : where)
        for (bool sense : {true, false}) {
            // Pass-through failures carry sense or not; the management
            // command has no sense data.
            if (!sense && (w.cmd == Cmd::Inquiry || w.cmd == Cmd::PdInfo)) continue;
            DiskFault f{w.cmd, w.index, sense ? 0x4u : 0x800bu, sense ? kSense : Bytes{}};
            std::string stmt = "fault 0 " + std::to_string(w.id) + " " + w.what + " nth " + std::to_string(w.nth) +
                               " code " + (sense ? "0x4 sense \"" + kSenseHex + "\"" : std::string("0x800b status 0")) +
                               "\n";
            char name[64];
            const bool pass = w.cmd == Cmd::LogSense || w.cmd == Cmd::Internal;
            snprintf(name, sizeof name, "%s-dev%d-nth%d%s", w.what, w.id, w.nth,
                     pass ? (sense ? "-sense" : "-nosense") : "");
            rows.push_back({name, false, stmt, {}, nullptr, [f, id = w.id](const Case&) {
                                return id == 0 ? full(f, {}) : full({}, f);
                            }});
        }
    // Controller-level commands: the list's result is not looked at; the
    // information's failure skips the controller's drives.
    rows.push_back({"controller-list", false, "fault * * mgmt:0/0 code 0x8010\n", {}, nullptr, [](const Case&) {
                        return full({}, {});
                    }});
    rows.push_back({"controller-info", false, "fault * * mgmt:1/0 code 0x8010\n", {}, nullptr, [](const Case&) {
                        return full({}, {}, {}, "Controller 0 : Controller Information Get Error. 00008010\n");
                    }});
}

const std::string kNotFound = " RAID Contoroller is not Found\n";

void cli_rows(std::vector<Row>& rows) {
    for (const char* cmd : {"fwtermlog", "ldinfo", "adpeventlog"})
        rows.push_back({std::string("cli-fails-") + cmd,
                        false,
                        std::string("cli exit ") + cmd + " 0 3\n",
                        {},
                        nullptr,
                        [cmd = std::string(cmd)](const Case&) {
                            return full({}, {}, {{cmd, 0}});
                        }});
    rows.push_back({"cli-missing",
                    false,
                    "",
                    {},
                    [](Case& c, RunOptions&) { c.remove_work_file(c.tool.cli_name); },
                    [](const Case&) {
                        Expect e;
                        e.console = title() + red(kNotFound) + kReset;
                        e.records = kNotFound;
                        return e;
                    }});
    rows.push_back(
        {"cli-garbage",
         false,
         "",
         {},
         [](Case& c, RunOptions&) {
             c.cli_stand_in(
                 "*) head -c 3000 /dev/urandom; printf 'Controller Count 1\\nController Count: x\\n'; exit 0 ;;");
         },
         [](const Case&) {
             Expect e;
             e.console = title() + red(kNotFound) + kReset;
             e.records = kNotFound;
             return e;
         }});
    rows.push_back({"cli-count-dies",
                    false,
                    "",
                    {},
                    [](Case& c, RunOptions&) { c.cli_stand_in("-adpcount) kill -SEGV $$ ;;"); },
                    [](const Case&) {
                        Expect e;
                        e.console = title() + red(kNotFound) + kReset;
                        e.records = kNotFound;
                        return e;
                    }});
    // Hangs past its limit (6 s in the short-limit build): ended, recorded
    // with the command line, and the step fails.
    rows.push_back({"cli-pdlist-hangs",
                    false,
                    "cli sleep pdlist 0 600000\n",
                    {},
                    nullptr,
                    [](const Case& c) {
                        Expect e = full({}, {}, {{"pdlist", 0}});
                        const std::string tle = " Time Limit Exceeded(6 s: " + c.work + "/" + c.tool.cli_name +
                                                " -pdlist -a0 > /o_tmp/TMP/KESTRA/Controller_0_pdlist.log)\n";
                        const std::string saving = "Controller 0 : Physical Drive List saving...\n";
                        e.console.insert(e.console.find(saving) + saving.size(), red(tle));
                        e.records = tle + *e.records;
                        return e;
                    },
                    false,
                    true});
    rows.push_back({"cli-pdlist-dies",
                    false,
                    "",
                    {},
                    [](Case& c, RunOptions&) { c.cli_stand_in("-pdlist) kill -SEGV $$ ;;"); },
                    [](const Case&) {
                        return full({}, {}, {{"pdlist", 0}});
                    }});
}

void logdir_rows(std::vector<Row>& rows) {
    rows.push_back({"logdir-missing",
                    false,
                    "",
                    {},
                    [](Case& c, RunOptions&) { c.remove_logdir(); },
                    [](const Case&) {
                        Expect e;
                        e.status = 1;
                        e.console = title() + red(" File Open Error(/o_tmp/TMP/KESTRA/logdperr.txt)\n") + kReset;
                        return e;
                    }});
    // The root file system is read-only in the tool's namespace.
    rows.push_back({"logdir-read-only", false, "", {"-o", "/usr/share"}, nullptr, [](const Case&) {
                        Expect e;
                        e.console = title() + kSaving + disk(0).saving() +
                                    red(" File Open Error(/usr/share/MA0000.log)\n") + kReset;
                        e.files["logdperr.txt"] = std::nullopt;
                        return e;
                    }});
    // A drive log whose close fails (a network file system's delayed write
    // error): every line was flushed and stays; the failure is reported.
    static const Disk kCloseDisk{0, 0, "DK600SA0006     ", disk(0).serial};
    rows.push_back({"logdir-close-fails",
                    false,
                    "controller 0\n" + kCloseDisk.device() + "page 0 0 0x00 \"00 00 00 00\"\n",
                    {},
                    [](Case&, RunOptions& o) {
                        o.env = {{"FAIL_CLOSE_OF", "/o_tmp/TMP/KESTRA/MA0000.log"}};
                    },
                    [](const Case&) {
                        Expect e;
                        const std::string err = " File Write Error(/o_tmp/TMP/KESTRA/MA0000.log)\n";
                        e.console = full_run(1, disk(0).saving() + red(err));
                        e.records = err;
                        e.files[kCloseDisk.file()] = kCloseDisk.identity();
                        return e;
                    },
                    true});
    // Removed while the CLI saves the logical/physical drive list.
    rows.push_back({"logdir-removed",
                    false,
                    "",
                    {},
                    [](Case& c, RunOptions&) { c.cli_stand_in("-ldpdinfo) rm -rf /o_tmp/TMP/KESTRA ;;"); },
                    [](const Case&) {
                        Expect e;
                        std::string drives = disk(0).saving() + red(" File Open Error(/o_tmp/TMP/KESTRA/MA0000.log)\n");
                        e.console = full_run(1, drives, {{"adpeventlog", 0}});
                        // The CLI said success, but its log went with the directory.
                        const std::string ok = "Logical/Physical Drive Information save success.\n\n";
                        e.console.replace(e.console.find(ok), ok.size(),
                                          red(" Empty Log(/o_tmp/TMP/KESTRA/Controller_0_ldpdinfo.log)\n"));
                        e.files["logdperr.txt"] = std::nullopt;  // gone with its directory
                        return e;
                    }});
}

const std::string kThirdDisk = disk(2).device();
const std::string kThirdIdentity = disk(2).identity();

// A log directory that is small from the start: the third disk's large
// section would cut into the reserve and is not read.
Row small_filesystem_row() {
    return {"logdir-full",
            true,
            kThirdDisk + "internal 0 2 1 200000\n",
            {"-o", "/o_tmp/full"},
            [](Case& c, RunOptions& o) {
                std::filesystem::create_directories(c.host("/o_tmp/full"));
                o.tmpfs = {{"/o_tmp/full", "size=128k"}};
            },
            [](const Case&) {
                Expect e;
                std::string drives;
                for (int id : {0, 1}) drives += disk_part(id, {}).console;
                e.console =
                    title() + kSaving + drives + disk(2).saving() +
                    red(" Space Reserve(/o_tmp/full/MA0002.log: 625020 bytes needed, 118784 free, 6553 kept)\n") +
                    kReset;
                for (int id : {0, 1}) e.files[disk(id).file()] = disk_part(id, {}).log;
                e.files[disk(2).file()] = kThirdIdentity;
                return e;
            }};
}

// Another program fills the log directory's file system while the tool
// waits for a delayed answer: started by the CLI stand-in of the last
// controller log, it waits for the library call named by `marker` in the
// trace, then writes zeros until the file system is full. The event log's
// stand-in removes the filler again.
void filled_during(Case& c, RunOptions& o, const std::string& marker) {
    o.tmpfs = {{c.logdir(), "size=1m"}};
    c.stand_in("fill-after",
               "#!/bin/sh\n"
               "until grep -q \"$1\" \"$LOGDUMP_SIM_TRACE\" 2>/dev/null; do sleep 0.1; done\n"
               "sleep 0.5\ncat /dev/zero > /o_tmp/TMP/KESTRA/filler 2>/dev/null\n");
    c.cli_stand_in("-ldpdinfo) setsid " + c.dir + "/bin/fill-after '" + marker +
                   "' </dev/null >/dev/null 2>&1 & ;;\n"
                   "-adpeventlog) rm -f /o_tmp/TMP/KESTRA/filler ;;");
}

// The error log gets its file system block (a failed CLI call) before the
// file system fills, so that later records still fit.
const std::string kFirstRecord = "cli exit fwtermlog 0 1\n";

Expect filled_expect(int id, const std::optional<std::string>& log) {
    Expect e;
    std::string drives;
    for (int k = 0; k < id; ++k) drives += disk_part(k, {}).console;
    const std::string path = "/o_tmp/TMP/KESTRA/" + disk(id).file();
    drives += disk(id).saving() + red(" File Write Error(" + path + ")\n");
    e.console = full_run(1, drives, {{"fwtermlog", 0}});
    e.records = collector_record(six_collectors()[0]) + " File Write Error(" + path + ")\n";
    for (int k = 0; k < id; ++k) e.files[disk(k).file()] = disk_part(k, {}).log;
    if (log) e.files[disk(id).file()] = *log;
    return e;
}

void filled_rows(std::vector<Row>& rows) {
    // The third disk's section fills the file system half way through its
    // dump: the file keeps the lines that were whole.
    rows.push_back({"logdir-filled-mid-dump",
                    true,
                    kThirdDisk + "page 0 2 0x02 \"" + P02 + "\"\ninternal 0 2 1 200000\n" +
                        "delay 0 2 internal:1 nth 2 ms 4000\n" + kFirstRecord,
                    {},
                    [](Case& c, RunOptions& o) { filled_during(c, o, "tgt=2 .*cdb=fe01"); },
                    [](const Case&) {
                        Expect e = filled_expect(2, std::nullopt);
                        e.cut[disk(2).file()] =
                            kThirdIdentity + page_block("02", bytes_of(P02)) + section_block(1, 200000);
                        return e;
                    }});
}

void tempfile_rows(std::vector<Row>& rows) {
    // A non-empty directory where the file must go cannot be replaced.
    auto blocked = [](const std::string& name) {
        return [name](Case& c, RunOptions&) { std::filesystem::create_directories(c.host("/tmp/" + name + "/keep")); };
    };
    rows.push_back({"tmp-pwd", false, "", {}, blocked("pwd_out.txt"), [](const Case& c) {
                        Expect e;
                        const std::string bind = "File Open Error(" + c.tool.lib_name + ").\n";
                        e.console = title() + red(bind) + red(kNotFound) + kReset;
                        e.records = bind + kNotFound;
                        return e;
                    }});
    rows.push_back({"tmp-ldd", false, "", {}, blocked("ldd_out.txt"), [](const Case&) {
                        // The library stays unbound: no drive logs.
                        Expect e;
                        e.console =
                            title() + red("File Open Error(/tmp/ldd_out.txt).\n") + full_run(1).substr(title().size());
                        e.records = "File Open Error(/tmp/ldd_out.txt).\n";
                        e.files["MA0000.log"] = std::nullopt;
                        return e;
                    }});
    rows.push_back({"tmp-adpconf", false, "", {}, blocked("adpconf.txt"), [](const Case&) {
                        Expect e;
                        e.console = title() + red(kNotFound) + kReset;
                        e.records = kNotFound;
                        return e;
                    }});
}

std::vector<Row> all_rows() {
    std::vector<Row> rows;
    rows.push_back({"none", false, "", {}, nullptr, [](const Case&) { return full({}, {}); }});
    storage_rows(rows);
    cli_rows(rows);
    logdir_rows(rows);
    rows.push_back(small_filesystem_row());
    filled_rows(rows);
    tempfile_rows(rows);
    return rows;
}

}  // namespace

const std::vector<std::string> kGroups = {"cli-", "logdir-", "tmp-"};

void FaultMatrix::run_rows(const std::vector<std::string>& prefixes, bool others) {
    for (const Row& row : all_rows()) {
        bool in = false;
        for (const auto& p : prefixes) in = in || row.name.rfind(p, 0) == 0;
        if (in == others) continue;
        SCOPED_TRACE(row.name);
        Tool shortTool = T();
        shortTool.program = T().short_program;
        auto c = row.short_limits
                     ? std::make_unique<Case>(shortTool, "FaultMatrix." + row.name + "-" + std::to_string(T().bits))
                     : make_case(row.name);
        c->scenario(row.own_scenario ? row.scenario : base_scenario() + row.scenario);
        RunOptions o;
        o.args = row.args;
        if (row.setup) row.setup(*c, o);
        auto r = c->run(o);
        Expect e = row.expect(*c);
        EXPECT_EQ(r.status, e.status) << "signal " << r.signal;
        EXPECT_EQ(r.out, e.console) << show(r.out);
        EXPECT_RESET_LAST(r);
        // What the run left in the log directory.
        auto dir = [&](const std::string& name) {
            return row.tmpfs ? c->tmpfs_copy(0) + "/" + name : c->logdir() + "/" + name;
        };
        if (e.records) {
            EXPECT_EQ(c->read(dir("logdperr.txt")), *e.records);
        } else if (!e.files.count("logdperr.txt")) {
            EXPECT_FALSE(c->exists(dir("logdperr.txt")));
        }
        for (const auto& [name, content] : e.files) {
            if (content) {
                EXPECT_EQ(c->read(dir(name)), *content) << name;
            } else {
                EXPECT_FALSE(c->exists(dir(name))) << name;
            }
        }
        for (const auto& [name, whole] : e.cut) {
            std::string log = c->read(dir(name));
            EXPECT_TRUE(log.size() > 1000 && log.size() < whole.size()) << name << ": " << log.size() << " bytes";
            EXPECT_EQ(whole.compare(0, log.size(), log), 0) << name << " is not the beginning of its content";
        }
        // Drive logs hold whole lines only.
        for (const auto& name : c->list(row.tmpfs ? c->tmpfs_copy(0) : c->logdir())) {
            if (name.rfind("MA", 0) != 0) continue;
            std::string log = c->read(dir(name));
            EXPECT_TRUE(log.empty() || log.compare(log.size() - 2, 2, "\r\n") == 0)
                << name << " ends in a cut line: ..." << show(log.substr(log.size() > 60 ? log.size() - 60 : 0));
        }
    }
}

// The table in parts, so that the parts can run side by side.
TEST_P(FaultMatrix, StorageCommandFails) { run_rows(kGroups, true); }
TEST_P(FaultMatrix, CliFaults) { run_rows({"cli-"}); }
TEST_P(FaultMatrix, LogDirectoryFaults) { run_rows({"logdir-"}); }
TEST_P(FaultMatrix, TemporaryFileFaults) { run_rows({"tmp-"}); }

INSTANTIATE_TEST_SUITE_P(Both, FaultMatrix, ::testing::ValuesIn(tools()), tool_param_name);
