// Help, version and long options the tool does not know, answered before a
// run starts. Any argument at all selects the drive-log run, and getopt
// splits "--version" into letters (among them "-o n", which creates a
// directory "n"): a word meant as a question must not start a collection on
// a production server. So these are decided before any shell command, any
// library load and any file write.
#include <cstdio>
#include <cstring>

#include "Kestra02.h"
#include "console_colour.h"

#ifndef LOGDUMP_DEFAULT_LIB
#error "LOGDUMP_DEFAULT_LIB must name the build's default raidstor file"
#endif
#ifndef LOGDUMP_DEFAULT_CLI
#error "LOGDUMP_DEFAULT_CLI must name the build's default vendor CLI"
#endif

namespace {

constexpr int kBits = sizeof(void*) * 8;
constexpr const char* kProgram = kBits == 64 ? "logdump64" : "logdump";

bool is_help(const char* arg) { return strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0; }
bool is_version(const char* arg) { return strcmp(arg, "--version") == 0; }
bool is_long(const char* arg) { return strncmp(arg, "--", 2) == 0 && arg[2] != '\0'; }

}  // namespace

void print_usage(FILE* out) {
    fprintf(out,
            "Usage: %s [-o DIR] [-w DIR] [-l FILE] [-c FILE] [-n] [-e]\n"
            "       %s -h | --help | --version\n"
            "\n"
            "Collects the logs of every RAID controller (through the vendor CLI) and of\n"
            "every SAS disk (through the storage library) into one log directory.\n"
            "Run it as root in the directory that holds the vendor CLI and library.\n"
            "\n"
            "Without any argument: a full run into /o_tmp/TMP/KESTRA (it must exist):\n"
            "error log logdperr.txt, controller logs and drive logs.\n"
            "With any argument but -e: the drive logs only; no error log, no controller\n"
            "logs.\n"
            "\n"
            "  -o DIR      log directory, created when missing (default /o_tmp/TMP/KESTRA)\n"
            "  -w DIR      work directory for the temporary files, created when missing\n"
            "              (default /tmp)\n"
            "  -l FILE     storage library in the working directory\n"
            "              (default %s)\n"
            "  -c FILE     vendor CLI in the working directory, at most 31 characters\n"
            "              (default %s)\n"
            "  -n          leave out the drive internal logs\n"
            "  -e          extended collection: SATA drives too (IDENTIFY, SMART data,\n"
            "              thresholds and status, SMART and general-purpose logs), and\n"
            "              of SAS disks their log subpages and grown defect count\n"
            "  -h, --help  show this text\n"
            "  --version   show the program name, version and build width\n"
            "\n"
            "Exit status: 0 the run ended (failures are on the console and in the error\n"
            "log), 1 the error log could not be created or the run was interrupted,\n"
            "2 unknown option.\n"
            "\n"
            "Manual page: logdump(1). README: /usr/share/doc/logdump/\n",
            kProgram, kProgram, LOGDUMP_DEFAULT_LIB, LOGDUMP_DEFAULT_CLI);
}

int answer_query(int argc, char** argv) {
    // Help wins wherever it stands, even as the value of another option:
    // whoever typed it wants to read before anything happens.
    for (int i = 1; i < argc; ++i)
        if (is_help(argv[i])) {
            print_usage(stdout);
            return 0;
        }
    // A long option we do not know may be a misspelt question too; it is
    // refused even beside --version, so that a typing error never passes.
    for (int i = 1; i < argc; ++i)
        if (is_long(argv[i]) && !is_version(argv[i])) {
            fprintf(stderr, "%sUnknown Option(%s).\n%s", colour::kRed, argv[i], colour::kReset);
            print_usage(stderr);
            return 2;
        }
    for (int i = 1; i < argc; ++i)
        if (is_version(argv[i])) {
            printf("%s %s (%d-bit build)\n", kProgram, LOGDUMP_TOOL_VERSION, kBits);
            return 0;
        }
    return -1;
}
