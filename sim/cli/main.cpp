// raidcli_sim: a stand-in for the controller vendor's RAID CLI. It answers
// the command lines that logdump sends with log text drawn from the scenario
// (LOGDUMP_SIM_SCENARIO) and records every invocation in the trace file
// (LOGDUMP_SIM_TRACE).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/scenario.h"
#include "common/util.h"
#include "logtext.h"

namespace {

using sim::lower;
using sim::Scenario;

std::string stdout_target() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/fd/1", buf, sizeof buf - 1);
    if (n < 0) return "";
    return std::string(buf, static_cast<size_t>(n));
}

void record_invocation(int argc, char** argv) {
    const char* path = getenv("LOGDUMP_SIM_TRACE");
    if (path == nullptr || *path == '\0') return;
    std::string line = "cli\tstdout=" + stdout_target();
    for (int i = 0; i < argc; ++i) line += std::string("\t") + argv[i];
    sim::append_line(path, line);
}

// The command line as a shell echoes it: the program's own name, then its
// arguments.
std::string command_line(const std::vector<std::string>& args) {
    std::string s = "./" + args[0].substr(args[0].rfind('/') + 1);
    for (size_t i = 1; i < args.size(); ++i) s += " " + args[i];
    return s;
}

int invalid(const std::string& why) {
    fprintf(stderr, "\nInvalid input: %s\n\nExit Code: 0x01\n", why.c_str());
    return 1;
}

bool has_option(const std::vector<std::string>& args, const char* opt) {
    for (size_t i = 2; i < args.size(); ++i)
        if (lower(args[i]) == opt) return true;
    return false;
}

// The controllers named by "-aN" or "-aALL"; empty with an error text when
// the option is missing or malformed.
bool controllers_of(const std::vector<std::string>& args, const Scenario& sc, std::vector<unsigned>& out,
                    std::string& error) {
    for (size_t i = 2; i < args.size(); ++i) {
        std::string a = lower(args[i]);
        if (a.size() < 3 || a.compare(0, 2, "-a") != 0) continue;
        std::string v = a.substr(2);
        if (v == "all") {
            for (const auto& [index, c] : sc.controllers) out.push_back(index);
            return true;
        }
        if (v.find_first_not_of("0123456789") != std::string::npos || v.size() > 9) continue;
        out.push_back(static_cast<unsigned>(std::stoul(v)));
        return true;
    }
    error = "no controller given (-aN)";
    return false;
}

// Waits and exit status from the scenario's cli rules for one command and
// controller (kAny for the count query).
int apply_rules(const Scenario& sc, const std::string& cmd, int ctrl, bool& exits) {
    unsigned wait = 0;
    int status = 0;
    exits = false;
    for (const auto& r : sc.cliRules) {
        if (r.cmd != cmd) continue;
        if (r.ctrl != sim::kAny && ctrl != sim::kAny && r.ctrl != ctrl) continue;
        if (r.exit) {
            if (!exits) status = r.value;
            exits = true;
        } else {
            wait += static_cast<unsigned>(r.value);
        }
    }
    if (wait) sim::wait_ms(wait);
    return status;
}

int adpcount(const Scenario& sc) {
    bool exits;
    int status = apply_rules(sc, "adpcount", sim::kAny, exits);
    if (exits) return status;
    std::string out = sim::cli::adpcount_head();
    if (sc.countLines.empty()) {
        long n = sc.cliCount ? *sc.cliCount : static_cast<long>(sc.controllers.size());
        out += "Controller Count: " + std::to_string(n) + "\n";
    } else {
        for (const auto& l : sc.countLines) out += l + "\n";
    }
    out += sim::cli::exit_code_line();
    fputs(out.c_str(), stdout);
    return 0;
}

int run(const std::vector<std::string>& args, const Scenario& sc) {
    if (args.size() < 2) return invalid("no command");
    std::string cmd = lower(args[1]);
    if (cmd.empty() || cmd[0] != '-') return invalid("unknown command " + args[1]);
    cmd.erase(0, 1);
    if (cmd == "adpcount") return adpcount(sc);

    std::string (*text)(const Scenario&, unsigned) = nullptr;
    std::string event_file;
    if (cmd == "fwtermlog") {
        if (!has_option(args, "-dsply")) return invalid("-fwtermlog needs -Dsply");
        text = sim::cli::fwtermlog;
    } else if (cmd == "cfgdsply") {
        text = sim::cli::cfgdsply;
    } else if (cmd == "adpallinfo") {
        text = sim::cli::adpallinfo;
    } else if (cmd == "pdlist") {
        text = sim::cli::pdlist;
    } else if (cmd == "ldinfo") {
        bool lopt = false;
        for (size_t i = 2; i < args.size(); ++i)
            lopt = lopt || (args[i].size() > 2 && lower(args[i]).compare(0, 2, "-l") == 0);
        if (!lopt) return invalid("-LdInfo needs -Lx or -Lall");
        text = sim::cli::ldinfo;
    } else if (cmd == "ldpdinfo") {
        text = sim::cli::ldpdinfo;
    } else if (cmd == "adpeventlog") {
        if (!has_option(args, "-getevents")) return invalid("-AdpEventLog needs -GetEvents");
        for (size_t i = 2; i + 1 < args.size(); ++i)
            if (lower(args[i]) == "-f") event_file = args[i + 1];
        if (event_file.empty()) return invalid("-GetEvents needs -f FILE");
        text = sim::cli::eventlog;
    } else {
        return invalid("unknown command " + args[1]);
    }

    std::vector<unsigned> ctrls;
    std::string error;
    if (!controllers_of(args, sc, ctrls, error)) return invalid(error);

    std::string out;
    for (unsigned c : ctrls) {
        bool exits;
        int status = apply_rules(sc, cmd, static_cast<int>(c), exits);
        if (exits) return status;
        if (!sc.controllers.count(c)) {
            fprintf(stderr, "\nAdapter %u: No such adapter. Controller count is %zu.\n\nExit Code: 0x01\n", c,
                    sc.controllers.size());
            return 1;
        }
        // The variants change what the CLI prints, not the event log's file.
        out += event_file.empty() ? sim::cli::with_variants(sc, c, text(sc, c), command_line(args)) : text(sc, c);
    }
    if (event_file.empty()) {
        fputs(out.c_str(), stdout);
        return 0;
    }
    FILE* fp = fopen(event_file.c_str(), "w");
    if (fp == nullptr) {
        fprintf(stderr, "\nFailed to open file %s\n\nExit Code: 0x01\n", event_file.c_str());
        return 1;
    }
    bool ok = fputs(out.c_str(), fp) >= 0;
    ok = fclose(fp) == 0 && ok;
    if (!ok) {
        fprintf(stderr, "\nFailed to write file %s\n\nExit Code: 0x01\n", event_file.c_str());
        return 1;
    }
    printf("\nSuccess in AdpEventLog\n");
    fputs(sim::cli::exit_code_line().c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    record_invocation(argc, argv);
    Scenario sc = Scenario::standard();
    const char* path = getenv("LOGDUMP_SIM_SCENARIO");
    if (path != nullptr && *path != '\0') {
        try {
            sc = sim::read_scenario_file(path);
        } catch (const std::exception& e) {
            fprintf(stderr, "RAID CLI (simulated): %s\n", e.what());
            return 2;
        }
    }
    std::vector<std::string> args(argv, argv + argc);
    int status = run(args, sc);
    if (fflush(stdout) != 0 && status == 0) status = 1;
    return status;
}
