// Error reporting: every failure class has one reporter. Each writes a
// flushed record to the error log (only in runs without arguments) and a
// console message framed by red and reset.
#pragma once

#include "libstoresata.h"
#include "raidstor.h"

struct ERRINFO;

void file_open_err(const char* path);
void file_write_err(const char* path);
void controller_none_err();
void mem_err();
void sys_cmnd_err(const char* text);
void sas_cmnd_err(int iCtrl, int iTgtId, const ERRINFO* ptErrInfo);
void sata_cmnd_err(int iCtrl, int iTgtId, const ERRINFOSTP* ptErrInfo);

// The common pattern: log text (when iCommandFlg is 0, then flushed), then
// "\033[31m", console text, "\033[0m". Either text may be null.
void report(const char* logText, const char* consoleText);
