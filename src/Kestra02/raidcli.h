// The vendor CLI: runner, controller count and the controller logs.
#pragma once

#include <cstdio>

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
