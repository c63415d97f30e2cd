// Run sequence, exit clean-up and interrupts.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

#include "Kestra02.h"
#include "KstErr01.h"
#include "console_colour.h"
#include "interrupt.h"
#include "shell.h"

namespace {

const char kErrLogDefault[] = "/o_tmp/TMP/KESTRA/logdperr.txt";

void close_file(FILE*& fp) {
    if (fp != nullptr) {
        fclose(fp);
        fp = nullptr;
    }
}

// A console that went away (a closed pipe, a dropped serial session) must not
// kill the run half way: the logs still go to their files. A caught signal,
// unlike an ignored one, is reset for the commands we start.
void on_sigpipe(int) {}

void install_sigpipe_handler() {
    struct sigaction sa {};
    sa.sa_handler = on_sigpipe;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGPIPE, &sa, nullptr);
    // Started from a parent that ignores SIGCHLD, the shell runner could not
    // collect the CLI's status and every controller log would be reported as
    // failed.
    signal(SIGCHLD, SIG_DFL);
}

void open_error_log() {
    const char* p = Get_Command_FileName(cLogFilePass, kErrLogDefault, iLogPassFlg);
    char path[256];
    memset(path, 0, sizeof path);
    if (p == nullptr) {
        // Cannot happen while an error log is only opened in runs without
        // options, but a cut path would be a different file: refuse it.
        std::string full = std::string(cLogFilePass) + "/logdperr.txt";
        fputs(colour::kRed, stdout);
        printf(" File Open Error(%s)\n", full.c_str());
        fputs(colour::kReset, stdout);
        exit(1);
    }
    strcpy(path, p);
    // Created afresh like every file of ours in the log directory: a link
    // planted there must not make us truncate what it points at.
    gfpErrLog = create_log_file(path);
    if (gfpErrLog == nullptr) {
        fputs(colour::kRed, stdout);
        printf(" File Open Error(%s)\n", path);
        fputs(colour::kReset, stdout);
        exit(1);
    }
    error_log_opened(path);
    set_emergency_log_fd(fileno(gfpErrLog));
}

// Whether the exit clean-up ends the console output with a colour reset.
// Every run does, wherever its output goes. Only an answer given instead of
// a run (help, version, an unknown option) leaves it out when standard
// output is no terminal: a script that captures the version must get the
// text alone.
bool reset_at_exit = true;

// More controllers than any server holds: a count beyond it is a garbled
// answer, and believing it would mean hours of CLI calls and files.
constexpr int kMaxControllers = 128;

}  // namespace

void Init_Data() {
    gfpErrLog = nullptr;
    pstStorPassThr = nullptr;
    pstStorPassThrStp = nullptr;
    fpLog = nullptr;
    fpTmp = nullptr;
    fpPwd = nullptr;
    fpLdd = nullptr;
    hLib = nullptr;
    ProcessLibCommandF = nullptr;
}

void Disp_Title() {
    fputs(colour::kBlue, stdout);
    fputs("<<< RAID SAS/SATA KESTRA DUMP TOOL  " LOGDUMP_TOOL_VERSION " >>>\n", stdout);
    fputs(colour::kReset, stdout);
    fflush(stdout);
}

void End_Test() {
    interrupt_points_off();
    // A drive log still being written when an interrupt ends the run is cut
    // short: say so while the error log is open.
    if (g_interrupt_requested != 0) file_interrupted_err();
    set_emergency_log_fd(-1);
    close_file(gfpErrLog);
    close_file(fpLog);
    close_file(fpTmp);
    close_file(fpPwd);
    close_file(fpLdd);
    if (hLib != nullptr) {
        dlclose(hLib);
        hLib = nullptr;
    }
    Mem_Free();
    // Whatever was printed before (a library's own output included) is out
    // first, so that the reset is the last thing the console receives.
    fflush(stderr);
    if (reset_at_exit) fputs(colour::kReset, stdout);
    fflush(stdout);
}

void Stop_Tm(int sig) {
    (void)sig;
    // Only async-signal-safe work here: the run leaves at its next safe
    // point, never from inside a library call, malloc or stdio (but for a
    // second interrupt during a library call that does not return).
    int saved = errno;
    note_interrupt();
    install_interrupt_handler(Stop_Tm);
    errno = saved;
}

int Get_SAS_SATA_Log(int iCtrlCount) {
    fputs("RAID SAS/SATA Log Dump: Log Saving...\n", stdout);
    fputs("\n", stdout);
    fflush(stdout);
    interrupt_point();
    if (iCommandFlg == 0) {
        Get_SUart_Log(iCtrlCount);
        pause_seconds(1);
        Get_SConfig_Log(iCtrlCount);
        pause_seconds(1);
        Get_SAdpinfo_Log(iCtrlCount);
        pause_seconds(1);
        Get_SPdlist_Log(iCtrlCount);
        pause_seconds(1);
        Get_SLdinfo_Log(iCtrlCount);
        pause_seconds(1);
        Get_SPdldinfo_Log(iCtrlCount);
        pause_seconds(1);
    }
    if (LibFlg == 1) {
        Get_SHdd_Log(iCtrlCount);
        pause_seconds(1);
    }
    if (iCommandFlg == 0) {
        Get_SEvent_Log(iCtrlCount);
    }
    return 0;
}

int logdump_main(int argc, char** argv) {
    int iCtrlCount = 0;
    install_interrupt_handler(Stop_Tm);
    atexit(End_Test);
    install_sigpipe_handler();
    // Before the title: the answer is all that is printed (and, on a
    // terminal, the colour reset of the exit clean-up, last as always).
    int query = answer_query(argc, argv);
    if (query >= 0) {
        reset_at_exit = isatty(STDOUT_FILENO) != 0;
        exit(query);
    }
    Disp_Title();
    Init_Data();
    interrupt_point();
    Analys_Option(argc, argv);
    interrupt_point();
    LibFlg = Lib_Link();
    interrupt_point();
    if (iCommandFlg == 0) open_error_log();
    int rc = Get_SAS_SATA_Host(&iCtrlCount);
    interrupt_point();
    // A negative count is no controller, like 0 or no count at all.
    if (rc != 0)
        controller_none_err();
    else if (iCtrlCount > kMaxControllers)
        controller_count_err(iCtrlCount);
    else
        Get_SAS_SATA_Log(iCtrlCount);
    exit(0);
}
