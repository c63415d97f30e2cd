// STP (SATA tunnelled) pass-through and the ATA command builders.
#pragma once

#include "raidstor.h"
#include "types.h"

// Error detail of one STP command.
struct ERRINFOSTP {
    int32_t iApiErr;        // 0   raidstor's result (0 = accepted)
    U16 usAtaCom[10];       // 4   command FIS of a command the drive failed
    U8 ucfisResBuff[20];    // 24  the drive's response FIS for it
};
static_assert(offsetof(ERRINFOSTP, iApiErr) == 0);
static_assert(offsetof(ERRINFOSTP, usAtaCom) == 4);
static_assert(offsetof(ERRINFOSTP, ucfisResBuff) == 24);
static_assert(sizeof(ERRINFOSTP) == 44);

extern ERRINFOSTP gtErrInfStp;
extern SL_LIB_CMD_PARAM_T tCmdParam;

int SendStorSTP(int iCtrl, int16_t sTgtId, const U16* pusComAta, int iLen, int iDirection, U16 usTimeOut,
                U32 ulStpFlag, SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo);
int StoreIdentify(int iCtrl, int16_t sTgtId, SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo);
int StoreRSector_Ext(int iCtrl, int16_t sTgtId, U64 qwStartLba, int16_t sBlockSize, int iAcsBlocks,
                     SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo);
int StoreRDma_Ext(int iCtrl, int16_t sTgtId, U64 qwStartLba, int16_t sBlockSize, int iAcsBlocks,
                  SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo);
int StoreWSector_Ext(int iCtrl, int16_t sTgtId, U64 qwStartLba, int16_t sBlockSize, int iAcsBlocks,
                     SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo);
int StoreWDma_Ext(int iCtrl, int16_t sTgtId, U64 qwStartLba, int16_t sBlockSize, int iAcsBlocks,
                  SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo);
int StoreRVSector_Ext(int iCtrl, int16_t sTgtId, U64 qwStartLba, int16_t sBlockSize, int iAcsBlocks,
                      SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo);
int StoreSmart(int iCtrl, int16_t sTgtId, U8 ucSubCmd, int iLen, SL_STP_PASSTHRU_T* ptStorPassThrStp,
               ERRINFOSTP* ptErrInfo);
