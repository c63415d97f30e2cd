// SCSI pass-through, CDB builders, management wrappers, the per-disk log
// dump and the drive internal log.
#pragma once

#include "dump_result.h"
#include "errinfo.h"
#include "raidstor.h"
#include "types.h"

extern ERRINFO gtErrInf;  // of the most recent SCSI command

// Management result records.
extern SL_CTRL_LIST_T tCtrlList;
extern SL_CTRL_INFO_T tCtrlInfo;
extern SL_PD_INFO_T tPhysInfo;
extern SL_LD_INFO_T tLogiInfo;
extern SL_DEDICATED_SPARE_INFO_T tDediSpareInfo;
extern SL_ARRAY_LIST_T tArrayList;
extern SL_PATROL_READ_PROPERTIES_T tPatrolReadProperties;
extern SL_PATROL_READ_STATUS_T tPatrolReadStatus;

// ---- SCSI pass-through ----
// Bytes of a data-in answer that arrived: the transfer length asked, or
// fewer when the library hands back a smaller dataLen. A larger one is never
// believed.
inline U32 passthru_arrived(const SCSI_PASSTHRU_T* pt, U32 asked) { return pt->dataLen < asked ? pt->dataLen : asked; }

inline constexpr U8 SCSI_STATUS_CHECK_CONDITION = 0x02;
inline constexpr int SENSE_KEY_ILLEGAL_REQUEST = 0x05;
// The sense key of a failed command that the drive answered: CHECK
// CONDITION with sense data in fixed (70h, 71h) or descriptor (72h, 73h)
// form. -1 when the drive did not answer: the library rejected the request,
// a time-out, or no sense data came back.
inline int answered_sense_key(const ERRINFO& e) {
    if (e.iApiErr == 0 || e.ucScsiStatus != SCSI_STATUS_CHECK_CONDITION) return -1;
    const U8 code = e.ucSense[0] & 0x7F;
    if (code == 0x70 || code == 0x71) return e.ucSense[2] & 0x0F;
    if (code == 0x72 || code == 0x73) return e.ucSense[1] & 0x0F;
    return -1;
}

int SendStor(int iCtrl, int16_t sTgtId, const U8* pucCdb, U8 ucCdbLen, int32_t iLen, U8 iDirection, U16 usTimeOut,
             SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);

int StoreInq(int iCtrl, int16_t sTgtId, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
int StoreReady(int iCtrl, int16_t sTgtId, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
int StoreSense(int iCtrl, int16_t sTgtId, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
int StoreReadCapa(int iCtrl, int16_t sTgtId, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
int StoreRead(int iCtrl, int16_t sTgtId, int32_t iStartLba, int16_t sBlockSize, int32_t iAcsBlocks,
              SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
int StoreWrite(int iCtrl, int16_t sTgtId, int32_t iStartLba, int16_t sBlockSize, int32_t iAcsBlocks,
               SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
int StoreWriteSame(int iCtrl, int16_t sTgtId, int32_t iStartLba, int16_t sBlockSize, int32_t iAcsBlocks,
                   SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
int StoreVerify(int iCtrl, int16_t sTgtId, int32_t iStartLba, int32_t iAcsBlocks, SCSI_PASSTHRU_T* ptStorPassThr,
                ERRINFO* ptErrInfo);
int StoreModeSense(int iCtrl, int16_t sTgtId, U8 ucPageCode, U8 ucSubPage, U16 usAllocLen,
                   SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
int StoreModeSelect(int iCtrl, int16_t sTgtId, U16 usParamLen, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo,
                    U8 ucFlags);
int StoreStartStopUnit(int iCtrl, int16_t sTgtId, U8 ucCondition, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
int StoreDiag(int iCtrl, int16_t sTgtId, U8 ucSelfTest, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
int StoreWriteBuffer(int iCtrl, int16_t sTgtId, U8 ucMode, int32_t iBufOffset, int32_t iLen,
                     SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
int StoreLogSense(int iCtrl, int16_t sTgtId, U8 ucPageCode, U16 usParamPtr, U16 usAllocLen,
                  SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
// LOG SENSE of one page and subpage (subpage 0: the page itself).
int StoreLogSenseSubpage(int iCtrl, int16_t sTgtId, U8 ucPageCode, U8 ucSubPage, U16 usParamPtr, U16 usAllocLen,
                         SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
// READ DEFECT DATA(10) of the primary and/or grown list in the format asked.
int StoreReadDefect(int iCtrl, int16_t sTgtId, bool bPList, bool bGList, U8 ucFormat, U16 usAllocLen,
                    SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);
int StorRequestInternalLog(int iCtrl, int16_t sTgtId, U8 ucLogType, int32_t iBufOffset, int32_t iLen,
                           SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo);

// ---- management wrappers (1 = success; raidstor's code through piErr) ----
int CorvidSearch(int32_t* piErr);
int GetControllerInfo(int iCtrl, int32_t* piErr);
int GetLogiInfo(int iCtrl, int iLogiDrv, int32_t* piErr);
int GetPhysInfo(int iCtrl, int iDevId, int32_t* piErr);
int GetDediSpareInfo(int iCtrl, int iDevId, int32_t* piErr);
int SetGlobalSpare(int iCtrl, int iDevId, int iSeqNum, int32_t* piErr);
int SetDedicatedSpare(int iCtrl, int iDevId, int iSeqNum, int iArrayCount, const U8* pArrayList, int32_t* piErr);
int RemoveSpare(int iCtrl, int iDevId, int iSeqNum, int32_t* piErr);
int GetPatrolReadStatus(int iCtrl, int32_t* piErr);
int GetPatrolReadProperties(int iCtrl, int32_t* piErr);
int SetPatrolReadProperties(int iCtrl, int iValue, int32_t* piErr);
int PatrolReadStart(int iCtrl, int32_t* piErr);
int PatrolReadStop(int iCtrl, int32_t* piErr);
int MakeOffline(int iCtrl, int iDevId, int iSeqNum, int32_t* piErr);
int MakeOnline(int iCtrl, int iDevId, int iSeqNum, int32_t* piErr);

// ---- per-disk log dump and internal log ----

// Page codes kept from a disk's supported-pages list: one for every 6-bit
// code. A longer list (repeats, malformed data) keeps the first ones.
inline constexpr size_t LOG_PAGE_TABLE_SIZE = 64;

// A page and subpage of the list that LOG SENSE page 00h subpage FFh gives.
struct LogSubpage {
    U8 page;
    U8 subpage;
};
// Pairs kept from that list (a disk has a handful); a longer one keeps the
// first ones.
inline constexpr size_t LOG_SUBPAGE_TABLE_SIZE = 256;
// The pairs to read from an answer of `got` bytes to LOG SENSE 00h/FFh:
// those whose subpage is neither 00h nor FFh, in list order, at most
// `room`, within what arrived and what the header claims. None when the
// answer is not that list (a drive that ignores the subpage field sends its
// plain page 00h). Returns how many were stored.
size_t subpage_list(const U8* data, U32 got, LogSubpage* out, size_t room);

// Collects the log pages (and, for the internal-log family, the internal
// log) of one disk into the open fpLog. Returns DUMP_WRITE_FAILED when the
// file could not be written, else DUMP_DONE (command failures are reported
// and leave what was written).
int Get_SASHdd_Log(int iCtrl, int16_t sTgtId, const char* pcDevCode);
int SASHddLogDumpauto(int iCtrl, int16_t sTgtId);
// The blocks of the extended collection, after the page walk: the subpages
// and the grown defect count.
int SASHddExtLogDump(int iCtrl, int16_t sTgtId);
int Chk_RQ50_HDD(const char* pcDevCode);
int Get_Internal_Log(int iCtrl, int16_t sTgtId, U8 ucLogType, U32* puiLen);
int RQ50LogDump(int iCtrl, int16_t sTgtId);
