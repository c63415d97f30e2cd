// The run's flags and the names and paths it works with. Set by the command
// line (Analys_Option) at the start of every run; read everywhere below the
// driver: the reporters (no error log in a run with arguments), the drive
// log writers (the log directory) and the drive scan (-n, -e).
#pragma once

extern int iCommandFlg;      // 0: started without any argument, 1: with at least one
extern int iLogPassFlg;      // 1: -o gave the log directory
extern int iTmpPassFlg;      // 1: -w gave the work directory
extern int iInternalLogFlg;  // 1: collect drive internal logs (-n clears it)
extern int iExtendedFlg;     // 1: extended collection (-e): SATA drives, subpages, grown defects

// "Pass" in these names (and in Get_Current_Pass) means path: the system's
// own names, kept on purpose.
extern char cLogFilePass[256];  // the log directory
extern char cTmpFilePass[256];  // the work directory (with -w)
extern char cLibFileName[256];  // raidstor's file name
extern char cRaidCliName[32];   // the vendor CLI's file name
