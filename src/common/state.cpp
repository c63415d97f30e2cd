// Process-wide state of the tool that the modules share (run_state.h,
// error_log.h, passthru_buffers.h, lib_binding.h). Everything starts zero or
// null; the defaults of the names are set by Analys_Option at the start of
// every run.
#include <cstdlib>

#include "error_log.h"
#include "lib_binding.h"
#include "passthru_buffers.h"
#include "run_state.h"

int iCommandFlg = 0;
int iLogPassFlg = 0;
int iTmpPassFlg = 0;
int iInternalLogFlg = 0;
int iExtendedFlg = 0;

char cLogFilePass[256];
char cTmpFilePass[256];
char cLibFileName[256];
char cRaidCliName[32];

FILE* gfpErrLog = nullptr;

SCSI_PASSTHRU_T* pstStorPassThr = nullptr;
SL_STP_PASSTHRU_T* pstStorPassThrStp = nullptr;
U8* InqData = nullptr;

void* hLib = nullptr;
ProcessLibCommand_t ProcessLibCommandF = nullptr;
int LibFlg = 0;

void Mem_Free() {
    if (pstStorPassThr != nullptr) {
        free(pstStorPassThr);
        pstStorPassThr = nullptr;
    }
    if (pstStorPassThrStp != nullptr) {
        free(pstStorPassThrStp);
        pstStorPassThrStp = nullptr;
    }
}
