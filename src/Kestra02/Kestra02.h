// Tool driver: the run sequence and its clean-up, on top of every module.
// Includes the driver's other headers and the shared state, so that the
// program's entry and the tests see the whole driver through this one.
#pragma once

#include <cstdio>

#include "SasLog01.h"
#include "drive_log.h"
#include "error_log.h"
#include "hdd_scan.h"
#include "lib_binding.h"
#include "libbind.h"
#include "libstoresata.h"
#include "options.h"
#include "passthru_buffers.h"
#include "raidcli.h"
#include "raidstor.h"
#include "run_state.h"
#include "types.h"

// The tool version, shown in the title and by --version.
#define LOGDUMP_TOOL_VERSION "Ver01-10-00"

// ---- help and version ----
// Answers -h/--help, --version and refuses unknown long options before a run
// starts. -1 when the command line asks for a run; otherwise the exit status,
// after the text has been printed.
int answer_query(int argc, char** argv);
void print_usage(FILE* out);

// ---- lifecycle ----
void Init_Data();
void Disp_Title();
void End_Test();
void Stop_Tm(int sig);
int Get_SAS_SATA_Log(int iCtrlCount);
int logdump_main(int argc, char** argv);  // the whole run; main() calls it
