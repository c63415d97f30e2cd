// Tool driver: process-wide state, run sequence, command line and working
// paths, storage library binding, vendor CLI runner and controller logs.
#pragma once

#include <cstdio>

#include "libstoresata.h"
#include "raidstor.h"
#include "types.h"
#include "SasLog01.h"

// ---- flags ----
extern int iCommandFlg;      // 0: started without any argument, 1: with at least one
extern int iLogPassFlg;      // 1: -o gave the log directory
extern int iTmpPassFlg;      // 1: -w gave the work directory
extern int iInternalLogFlg;  // 1: collect drive internal logs (-n clears it)
extern int iExtendedFlg;     // 1: extended collection (-e): SATA drives, subpages, grown defects
extern int LibFlg;           // 1: raidstor bound and ProcessLibCommandF valid

// ---- names and paths ----
extern char cLogFilePass[256];
extern char cTmpFilePass[256];
extern char cLibFileName[256];
extern char cRaidCliName[32];

// ---- open files and the library binding ----
extern FILE* gfpErrLog;
extern FILE* fpLog;
extern FILE* fpTmp;
extern FILE* fpPwd;
extern FILE* fpLdd;
extern void* hLib;
extern ProcessLibCommand_t ProcessLibCommandF;

// ---- heap buffers ----
extern SCSI_PASSTHRU_T* pstStorPassThr;
extern SL_STP_PASSTHRU_T* pstStorPassThrStp;
extern U8* InqData;

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
void Mem_Free();
void End_Test();
void Stop_Tm(int sig);
int Get_SAS_SATA_Log(int iCtrlCount);
int logdump_main(int argc, char** argv);  // the whole run; main() calls it

// ---- command line and working paths ----
void Analys_Option(int argc, char** argv);
// 1: the directory may be used; 0: no shell could be run for mkdir;
// -1: the mkdir command line would not fit its buffer (nothing was run).
int Dir_Check(const char* path);
// The default path itself when iFlg is not 1, else the directory joined with
// the default's file name. Null when the joined path would not fit 255
// characters.
const char* Get_Command_FileName(const char* dir, const char* defaultPath, int iFlg);
// The current working directory as pwd printed it, less its trailing newline.
// Null when it cannot be read or does not fit.
const char* Get_Current_Pass();
// Makes a fixed temporary path safe to write as root: removes whatever stands
// there unless it is a regular file of the running user (with no second
// name), and creates it without following links. Either way the file is
// empty afterwards. False when that is not possible.
bool prepare_temp_file(const char* path);
// The same preparation, giving back the open descriptor (write only, empty)
// instead of closing it; -1 when not possible.
int open_fresh_file(const char* path);
// A file the tool writes itself in the log directory (a drive log, the error
// log), prepared as above and opened for writing; null when not possible.
FILE* create_log_file(const char* path);

// pwd's output as the working directory: the whole text less one final
// newline, into out (256 bytes, cleared first). False, with out empty, when it
// cannot be read or holds 256 characters or more.
bool read_working_directory(FILE* fp, char* out);

// ---- storage library binding ----
int Lib_Link();
// Reads ldd's list and names, in red, each listed dependency file that does
// not exist. Returns how many are missing.
int missing_dependencies(FILE* fp);

// ---- vendor CLI runner and controller logs ----
int send_raidcli(const char* args);
int Get_SAS_SATA_Host(int* count);
// The count query's reading of the CLI output: the first piece (line, or
// up to 63 characters of a longer line) that begins "Controller Count: "
// decides. False when none does.
bool find_controller_count(FILE* fp, int* count);
// Signed decimal after optional white space; stops at the first non-digit;
// no digits give 0; beyond the int range it saturates.
int convert_count(const char* text);
void Get_SUart_Log(int count);
void Get_SConfig_Log(int count);
void Get_SAdpinfo_Log(int count);
void Get_SPdlist_Log(int count);
void Get_SLdinfo_Log(int count);
void Get_SPdldinfo_Log(int count);
void Get_SEvent_Log(int count);

// ---- SAS drive scan ----
void Get_SHdd_Log(int iCtrlCount);
// The device code (INQUIRY bytes 8..35) and serial number (36..55) of the
// `got` INQUIRY bytes that arrived, each cut at its first zero byte and at
// the end of what arrived, into zero-filled buffers.
void inquiry_identity(const U8* inq, U32 got, char (&devCode)[64], char (&serial)[32]);
// Cuts a regular file back to its last complete line (a file without any
// line ends empty). False when the file could not be read or cut.
bool keep_whole_lines(const char* path);
// The drive log path of a device, "%s/MA%02x%02x.log"; false when it does not
// fit the buffer.
bool drive_log_path(char* buf, size_t size, int iCtrl, int iTgtId);

// ---- space reserve of the log directory ----
// Characters of the hex dump of so many bytes.
unsigned long long hex_text_size(unsigned long long bytes);
// True when `need` more bytes leave the reserve free (5% of the log
// directory's file system, at most 1 GiB). Otherwise reports the drive log
// `path` and marks the run: every later drive log is skipped.
bool space_for(const char* path, unsigned long long need);
bool space_exhausted();
void space_reset();  // at the start of a drive scan
