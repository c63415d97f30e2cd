// The command line, the path rule, the working-directory query and the
// temporary files the driver reads back.
#pragma once

#include <cstdio>

// Temporary files while their reader has them open, else null.
extern FILE* fpTmp;  // the controller count
extern FILE* fpPwd;  // pwd's answer
extern FILE* fpLdd;  // ldd's list

void Analys_Option(int argc, char** argv);
// 1: the directory may be used; 0: no shell could be run for mkdir;
// -1: the mkdir command line would not fit its buffer (nothing was run).
int Dir_Check(const char* path);
// The default path itself when iFlg is not 1, else the directory joined with
// the default's file name. Null when the joined path would not fit 255
// characters.
const char* Get_Command_FileName(const char* dir, const char* defaultPath, int iFlg);
// The current working directory as pwd printed it, less its trailing newline.
// ("Pass" means path: the system's own name, kept on purpose.)
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
