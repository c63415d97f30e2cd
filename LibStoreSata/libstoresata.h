// STP (SATA tunnelled) pass-through and the ATA command builders.
#pragma once

#include "raidstor.h"
#include "types.h"

// Error detail of one STP command.
struct ERRINFOSTP {
    int32_t iApiErr;      // 0   raidstor's result (0 = accepted)
    U16 usAtaCom[10];     // 4   command FIS of a command the drive failed
    U8 ucfisResBuff[20];  // 24  the drive's response FIS for it
};
static_assert(offsetof(ERRINFOSTP, iApiErr) == 0);
static_assert(offsetof(ERRINFOSTP, usAtaCom) == 4);
static_assert(offsetof(ERRINFOSTP, ucfisResBuff) == 24);
static_assert(sizeof(ERRINFOSTP) == 44);

extern ERRINFOSTP gtErrInfStp;
extern SL_LIB_CMD_PARAM_T tCmdParam;

int SendStorSTP(int iCtrl, int16_t sTgtId, const U16* pusComAta, int iLen, int iDirection, U16 usTimeOut, U32 ulStpFlag,
                SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo);
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
// SMART READ LOG of ucCount sectors of one log, from its first sector.
int StoreSmartReadLog(int iCtrl, int16_t sTgtId, U8 ucLogAddr, U8 ucCount, SL_STP_PASSTHRU_T* ptStorPassThrStp,
                      ERRINFOSTP* ptErrInfo);
// READ LOG EXT of usCount pages of one log, from page usPage on.
int StoreReadLogExt(int iCtrl, int16_t sTgtId, U8 ucLogAddr, U16 usPage, U16 usCount,
                    SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo);

// Bytes of a data-in answer that arrived: the transfer length asked, or
// fewer when the library hands back a smaller dataLen. A larger one is never
// believed.
inline U32 stp_arrived(const SL_STP_PASSTHRU_T* pt, U32 asked) { return pt->dataLen < asked ? pt->dataLen : asked; }
