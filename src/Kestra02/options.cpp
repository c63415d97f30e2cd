// Command line, defaults, the path rule, the working-directory query and
// the temporary files.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "options.h"

#include "KstErr01.h"
#include "command.h"
#include "interrupt.h"
#include "run_state.h"
#include "shell.h"

#ifndef LOGDUMP_DEFAULT_LIB
#error "LOGDUMP_DEFAULT_LIB must name the build's default raidstor file"
#endif
#ifndef LOGDUMP_DEFAULT_CLI
#error "LOGDUMP_DEFAULT_CLI must name the build's default vendor CLI"
#endif
// A packager's default name that did not fit its buffer would be cut, and the
// tool would look for another file than the one it was built for.
static_assert(sizeof(LOGDUMP_DEFAULT_LIB) <= sizeof cLibFileName, "the default library name exceeds 255 characters");
static_assert(sizeof(LOGDUMP_DEFAULT_CLI) <= sizeof cRaidCliName, "the default CLI name exceeds 31 characters");

FILE* fpTmp = nullptr;
FILE* fpPwd = nullptr;
FILE* fpLdd = nullptr;

namespace {

char cWork[256];
char sWork[256];

// Callers have made sure that the value fits. memcpy rather than strncpy: the
// compiler sees a default name that fills the buffer exactly (31 characters
// for the CLI) as a cut string and would fail the build.
template <size_t N>
void set_name(char (&buf)[N], const char* value) {
    static_assert(N > 1);
    memset(buf, 0, N);
    memcpy(buf, value, strnlen(value, N - 1));
}

// A value that does not fit is refused as a whole: a cut directory or file
// name would make the tool write or run something the user did not name.
template <size_t N>
bool fits(const char (&)[N], const char* value, char option) {
    if (strlen(value) < N) return true;
    char text[64];
    snprintf(text, sizeof text, "Option Value Too Long(-%c).\n", option);
    report(nullptr, text);
    return false;
}

// -o and -w: the directory is created when missing; one trailing '/' goes.
void set_directory(char (&buf)[256], int& flag, const char* value, char option) {
    if (!fits(buf, value, option)) return;
    int rc = Dir_Check(value);
    if (rc < 0) {
        char text[64];
        snprintf(text, sizeof text, "Option Value Too Long(-%c).\n", option);
        report(nullptr, text);
        return;
    }
    if (rc != 1) return;
    flag = 1;
    set_name(buf, value);
    size_t len = strlen(buf);
    if (len > 0 && buf[len - 1] == '/') buf[len - 1] = '\0';
}

// "-e" (or "-ee"...): the extended collection alone, which keeps the full
// run; any other argument makes it a drive-log run.
bool only_extended(const char* arg) {
    if (arg[0] != '-' || arg[1] == '\0') return false;
    for (const char* p = arg + 1; *p != '\0'; ++p)
        if (*p != 'e') return false;
    return true;
}

}  // namespace

void Analys_Option(int argc, char** argv) {
    iLogPassFlg = 0;
    iTmpPassFlg = 0;
    iInternalLogFlg = 1;
    iExtendedFlg = 0;
    set_name(cLogFilePass, "/o_tmp/TMP/KESTRA");
    set_name(cLibFileName, LOGDUMP_DEFAULT_LIB);
    set_name(cRaidCliName, LOGDUMP_DEFAULT_CLI);
    iCommandFlg = 0;
    for (int i = 1; i < argc; ++i)
        if (!only_extended(argv[i])) iCommandFlg = 1;
    if (argc <= 1) return;
    int c;
    while ((c = getopt(argc, argv, "o:w:l:c:ne")) != -1) {
        switch (c) {
        case 'o': set_directory(cLogFilePass, iLogPassFlg, optarg, 'o'); break;
        case 'w': set_directory(cTmpFilePass, iTmpPassFlg, optarg, 'w'); break;
        case 'l':
            if (fits(cLibFileName, optarg, 'l')) set_name(cLibFileName, optarg);
            break;
        case 'c':
            if (fits(cRaidCliName, optarg, 'c')) set_name(cRaidCliName, optarg);
            break;
        case 'n': iInternalLogFlg = 0; break;
        case 'e': iExtendedFlg = 1; break;
        default:
            // getopt has already said what was wrong.
            break;
        }
    }
}

int Dir_Check(const char* path) {
    if (access(path, F_OK) == 0) return 1;
    char command[256];
    if (!format_into(command, sizeof command, "mkdir -p %s", shell_quote(path).c_str())) return -1;
    if (run_command(command, kHostTimeLimitS) == -1) return 0;
    // mkdir speaks for itself when it fails; the later opens in that
    // directory report their own failures.
    return 1;
}

const char* Get_Command_FileName(const char* dir, const char* defaultPath, int iFlg) {
    if (iFlg != 1) return defaultPath;
    memset(cWork, 0, sizeof cWork);
    const char* tail = strrchr(defaultPath, '/');
    if (tail == nullptr) tail = defaultPath;
    if (strlen(dir) + strlen(tail) >= sizeof cWork) return nullptr;
    strcpy(cWork, dir);
    strcat(cWork, tail);
    return cWork;
}

int open_fresh_file(const char* path) {
    // We run as root and /tmp (like a log directory that a user made) belongs
    // to others: a link or a file planted there would make us, or the shell's
    // ">", truncate whatever it points at. Only a plain file of ours with no
    // other name is written as it stands.
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct stat st;
        if (lstat(path, &st) == 0) {
            if (S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_nlink == 1) {
                int fd = open(path, O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
                if (fd < 0) {
                    if (errno != ELOOP && errno != ENOENT) return -1;
                    continue;
                }
                // The file we looked at may have been swapped since: only the
                // same plain file of ours is emptied.
                struct stat now;
                if (fstat(fd, &now) == 0 && S_ISREG(now.st_mode) && now.st_uid == geteuid() && now.st_nlink == 1 &&
                    now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
                    // Emptied now, so that a command we end up not running
                    // leaves no answer of an earlier run behind.
                    if (ftruncate(fd, 0) == 0) return fd;
                    close(fd);
                    return -1;
                }
                close(fd);
                continue;
            }
            int rc = S_ISDIR(st.st_mode) ? rmdir(path) : unlink(path);
            if (rc != 0 && errno != ENOENT) return -1;
        } else if (errno != ENOENT) {
            return -1;
        }
        int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) return fd;
        // Somebody put something there between our look and our create:
        // look again.
        if (errno != EEXIST) return -1;
    }
    return -1;
}

bool prepare_temp_file(const char* path) {
    int fd = open_fresh_file(path);
    if (fd < 0) return false;
    close(fd);
    return true;
}

FILE* create_log_file(const char* path) {
    int fd = open_fresh_file(path);
    if (fd < 0) return nullptr;
    FILE* fp = fdopen(fd, "w");
    if (fp == nullptr) close(fd);
    return fp;
}

const char* Get_Current_Pass() {
    memset(sWork, 0, sizeof sWork);
    const char* p = Get_Command_FileName(cTmpFilePass, "/tmp/pwd_out.txt", iTmpPassFlg);
    if (p == nullptr) return nullptr;
    char path[256];
    memset(path, 0, sizeof path);
    strcpy(path, p);
    if (!prepare_temp_file(path)) return nullptr;
    char command[256];
    if (!format_into(command, sizeof command, "pwd > %s", shell_quote(path).c_str())) return nullptr;
    if (run_command(command, kHostTimeLimitS) == -1) return nullptr;

    fpPwd = fopen(path, "r");
    if (fpPwd == nullptr) return nullptr;
    bool ok = read_working_directory(fpPwd, sWork);
    fclose(fpPwd);
    fpPwd = nullptr;
    interrupt_point();
    return ok ? sWork : nullptr;
}

bool read_working_directory(FILE* fp, char* out) {
    memset(out, 0, sizeof sWork);
    // pwd prints the name and one newline; a name may itself hold a newline,
    // so the whole output is the name, less only its final newline. A name
    // that does not fit 255 characters is refused rather than cut.
    char text[sizeof sWork + 1];
    size_t len = fread(text, 1, sizeof text, fp);
    if (ferror(fp) != 0) return false;
    if (len > 0 && text[len - 1] == '\n') --len;
    // No name at all (pwd could not write its answer, e.g. on a full file
    // system) is no directory: "" would put every vendor component at "/".
    if (len == 0 || len >= sizeof sWork) return false;
    memcpy(out, text, len);
    return true;
}
