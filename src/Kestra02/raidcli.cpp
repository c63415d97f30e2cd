// The vendor CLI: runner, controller count and the controller logs.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "raidcli.h"

#include "KstErr01.h"
#include "command.h"
#include "interrupt.h"
#include "options.h"
#include "run_state.h"
#include "shell.h"

int send_raidcli(const char* args) {
    // Without a known working directory the CLI would be looked for in
    // the wrong place ("/RaidCli64"): that is a failed command, not a guess.
    const char* cwd = Get_Current_Pass();
    if (cwd == nullptr) return -1;
    char command[256];
    if (!format_into(command, sizeof command, "%s/%s %s", shell_quote(cwd).c_str(), shell_quote(cRaidCliName).c_str(),
                     args))
        return -1;
    return run_command(command, kCliTimeLimitS) == 0 ? 0 : -1;
}

int convert_count(const char* text) {
    const char* s = text;
    while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    // Accumulate towards the limit of the sign and stay there: any number of
    // digits is well defined, values beyond int saturate.
    long long value = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; *s >= '0' && *s <= '9'; ++s) {
        value = value * 10 + (*s - '0');
        if (value > limit) value = limit;
    }
    return static_cast<int>(negative ? -value : value);
}

bool find_controller_count(FILE* fp, int* count) {
    static const char kPrefix[] = "Controller Count: ";
    const size_t prefixLen = sizeof kPrefix - 1;
    // A line longer than 63 characters arrives in pieces, and each piece is
    // looked at as if it were a line of its own.
    char line[64];
    memset(line, 0, sizeof line);
    while (fgets(line, sizeof line, fp) != nullptr) {
        if (strncmp(line, kPrefix, prefixLen) == 0) {
            *count = convert_count(line + prefixLen);
            return true;
        }
        memset(line, 0, sizeof line);
    }
    return false;
}

int Get_SAS_SATA_Host(int* count) {
    const char* p = Get_Command_FileName(cTmpFilePass, "/tmp/adpconf.txt", iTmpPassFlg);
    if (p == nullptr) return -1;
    // Copied at once: the runner's directory query reuses the path rule's
    // buffer.
    char path[256];
    memset(path, 0, sizeof path);
    strcpy(path, p);
    if (!prepare_temp_file(path)) return -1;
    char args[256];
    if (!format_into(args, sizeof args, "-adpcount -NoLog > %s", shell_quote(path).c_str())) return -1;
    send_raidcli(args);

    fpTmp = fopen(path, "r");
    if (fpTmp == nullptr) return -1;
    int value = 0;
    if (!find_controller_count(fpTmp, &value)) return -1;  // the exit clean-up closes it
    *count = value;
    fclose(fpTmp);
    fpTmp = nullptr;
    interrupt_point();
    return value <= 0 ? -1 : 0;
}

namespace {

struct Collector {
    const char* progress;
    const char* pathFormat;
    const char* argsFormat;
    bool pathFirst;  // the event log names its file before the controller
    const char* success;
    const char* error;
};

// A CLI that said success has left a log with something in it; a full file
// system or a CLI that wrote nothing leaves none.
bool log_written(const char* path) {
    struct stat st;
    return lstat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

void collect(const Collector& c, int count) {
    for (int i = 0; i < count; ++i) {
        printf(c.progress, i);
        interrupt_point();
        // A path or command that does not fit is refused as this
        // controller's failure: a cut path would write somewhere else.
        char path[256];
        char args[256];
        bool ok = format_into(path, sizeof path, c.pathFormat, cLogFilePass, i);
        if (ok) {
            std::string quoted = shell_quote(path);
            ok = c.pathFirst ? format_into(args, sizeof args, c.argsFormat, quoted.c_str(), i)
                             : format_into(args, sizeof args, c.argsFormat, i, quoted.c_str());
        }
        // The CLI (or the shell's ">") writes into a file created afresh,
        // never through a link planted in the log directory.
        if (ok) ok = prepare_temp_file(path);
        const bool ran = ok && send_raidcli(args) == 0;
        const bool written = ran && log_written(path);
        // The CLI creates the file it names itself only when it has a log to
        // write: an empty one of ours is not left behind for it.
        if (ok && c.pathFirst && !written) unlink(path);
        if (written) {
            printf("%s\n", c.success);
            interrupt_point();
        } else if (ran) {
            empty_log_err(path);
        } else {
            sys_cmnd_err(c.error);
        }
    }
}

}  // namespace

// The controller logs' names and texts are the system's own, kept on purpose
// as the field's tools know them: the blank in "save error !", and the event
// log's "controller_%d_Flashrom.log" in lower case beside the others'
// "Controller_".
void Get_SUart_Log(int count) {
    collect({"Controller %d : Uart Log saving...\n", "%s/Controller_%d_fwtermlog.log", "-fwtermlog -dsply -a%d > %s",
             false, "Uart Log save success.\n", "Uart Log save error !"},
            count);
}

void Get_SConfig_Log(int count) {
    collect({"Controller %d : RAID Configuration saving...\n", "%s/Controller_%d_cfgdsply.log", "-cfgdsply -a%d > %s",
             false, "RAID Configuration save success.\n", "RAID Configuration save error !"},
            count);
}

void Get_SAdpinfo_Log(int count) {
    collect({"Controller %d : RAID Controller Information saving...\n", "%s/Controller_%d_adpallinfo.log",
             "-adpallinfo -a%d > %s", false, "RAID Controller Information save success.\n",
             "RAID Controller Information save error !"},
            count);
}

void Get_SPdlist_Log(int count) {
    collect({"Controller %d : Physical Drive List saving...\n", "%s/Controller_%d_pdlist.log", "-pdlist -a%d > %s",
             false, "Physical Drive List save success.\n", "Physical Drive List save error !"},
            count);
}

void Get_SLdinfo_Log(int count) {
    collect({"Controller %d : Logical Drive Information saving...\n", "%s/Controller_%d_ldinfo.log",
             "-ldinfo -Lall -a%d > %s", false, "Logical Drive Information save success.\n",
             "Logical Drive Information save error !"},
            count);
}

void Get_SPdldinfo_Log(int count) {
    collect({"Controller %d : Logical/Physical Drive Information saving...\n", "%s/Controller_%d_ldpdinfo.log",
             "-ldpdinfo -a%d > %s", false, "Logical/Physical Drive Information save success.\n",
             "Logical/Physical Drive Information save error !"},
            count);
}

void Get_SEvent_Log(int count) {
    fputs("\n", stdout);
    // Debian's sh rejects ">&", so the console output goes away the POSIX way.
    collect({"Controller %d : FlashROM Log saving...\n", "%s/controller_%d_Flashrom.log",
             "-adpeventlog -getevents -f %s -a%d > /dev/null 2>&1", true, "FlashROM Log save success.\n",
             "FlashROM Log save error !"},
            count);
}
