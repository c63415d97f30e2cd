// Process-wide state of the tool. Everything starts zero or null; the
// defaults of the names are set by Analys_Option at the start of every run.
#include "Kestra02.h"

int iCommandFlg = 0;
int iLogPassFlg = 0;
int iTmpPassFlg = 0;
int iInternalLogFlg = 0;
int iExtendedFlg = 0;
int LibFlg = 0;

char cLogFilePass[256];
char cTmpFilePass[256];
char cLibFileName[256];
char cRaidCliName[32];

FILE* gfpErrLog = nullptr;
FILE* fpLog = nullptr;
FILE* fpTmp = nullptr;
FILE* fpPwd = nullptr;
FILE* fpLdd = nullptr;
void* hLib = nullptr;

SCSI_PASSTHRU_T* pstStorPassThr = nullptr;
SL_STP_PASSTHRU_T* pstStorPassThrStp = nullptr;
U8* InqData = nullptr;
