// SCSI pass-through (raidstor 6/0) and the builders of every SCSI command.
#include <cstring>

#include "SasCdb.h"
#include "SasLog01.h"
#include "lib_request.h"

ERRINFO gtErrInf;

namespace {

constexpr U16 kTimeOut = 10;
constexpr U16 kWriteBufferTimeOut = 90;  // a firmware download takes its time
constexpr U8 kCdbRoom = sizeof(SCSI_PASSTHRU_T::cdb);
constexpr U8 kDirNone = 0;
constexpr U8 kDirOut = 1;
constexpr U8 kDirIn = 2;
// Our own code for a command that never reached the library (CDB too long
// for the record); raidstor's codes are returned unchanged.
constexpr int32_t kRefused = -1;

template <size_t N>
int send(int iCtrl, int16_t sTgtId, const std::array<U8, N>& c, U32 uiLen, U8 ucDir, U16 usTimeOut,
         SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return SendStor(iCtrl, sTgtId, c.data(), static_cast<U8>(N), static_cast<int32_t>(uiLen), ucDir, usTimeOut,
                    ptStorPassThr, ptErrInfo);
}

}  // namespace

int SendStor(int iCtrl, int16_t sTgtId, const U8* pucCdb, U8 ucCdbLen, int32_t iLen, U8 iDirection, U16 usTimeOut,
             SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    memset(ptErrInfo, 0, sizeof *ptErrInfo);
    if (ucCdbLen > kCdbRoom) {
        // The record cannot carry it; sending a cut command to a disk would
        // be worse than not sending it.
        ptErrInfo->iApiErr = kRefused;
        memcpy(ptErrInfo->ucCdb, pucCdb, sizeof ptErrInfo->ucCdb);
        return 0;
    }

    const U32 uiLen = static_cast<U32>(iLen);
    ptStorPassThr->targetId = static_cast<U16>(sTgtId);
    ptStorPassThr->fixedOne = 1;
    ptStorPassThr->fixedZero = 0;
    ptStorPassThr->dir = iDirection;
    ptStorPassThr->cdbLen = ucCdbLen;
    ptStorPassThr->dataLen = uiLen;
    ptStorPassThr->timeout = usTimeOut;
    if (ucCdbLen > 0) memcpy(ptStorPassThr->cdb, pucCdb, ucCdbLen);
    // What the drive does not send must read as zeros, never as the answer
    // of an earlier command.
    if (iDirection == kDirIn && uiLen > 0) memset(passthru_data(ptStorPassThr), 0, uiLen);

    SL_LIB_CMD_PARAM_T req = make_lib_request({.cmdType = SL_CMD_TYPE_PASSTHRU,
                                               .cmd = SL_CMD_PASSTHRU_SCSI,
                                               .ctrlId = static_cast<U32>(iCtrl),
                                               .deviceId = static_cast<U16>(sTgtId),
                                               .seqNum = 0,
                                               .dataSize = uiLen + SCSI_PASSTHRU_HEADER_SIZE,
                                               .pData = ptStorPassThr});
    ptErrInfo->iApiErr = send_lib_request(&req);
    if (ptErrInfo->iApiErr == 0) return 1;

    ptErrInfo->ucScsiStatus = ptStorPassThr->scsiStatus;
    const size_t shown = ucCdbLen < sizeof ptErrInfo->ucCdb ? ucCdbLen : sizeof ptErrInfo->ucCdb;
    memcpy(ptErrInfo->ucCdb, ptStorPassThr->cdb, shown);
    memcpy(ptErrInfo->ucSense, ptStorPassThr->senseData, sizeof ptErrInfo->ucSense);
    return 0;
}

int StoreInq(int iCtrl, int16_t sTgtId, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::inquiry(), 96, kDirIn, kTimeOut, ptStorPassThr, ptErrInfo);
}

int StoreReady(int iCtrl, int16_t sTgtId, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::test_unit_ready(), 0, kDirNone, kTimeOut, ptStorPassThr, ptErrInfo);
}

int StoreSense(int iCtrl, int16_t sTgtId, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::request_sense(), 32, kDirIn, kTimeOut, ptStorPassThr, ptErrInfo);
}

int StoreReadCapa(int iCtrl, int16_t sTgtId, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::read_capacity10(), 8, kDirIn, kTimeOut, ptStorPassThr, ptErrInfo);
}

int StoreRead(int iCtrl, int16_t sTgtId, int32_t iStartLba, int16_t sBlockSize, int32_t iAcsBlocks,
              SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::read10(static_cast<U32>(iStartLba), static_cast<U32>(iAcsBlocks)),
                cdb::block_transfer_length(sBlockSize, iAcsBlocks), kDirIn, kTimeOut, ptStorPassThr, ptErrInfo);
}

int StoreWrite(int iCtrl, int16_t sTgtId, int32_t iStartLba, int16_t sBlockSize, int32_t iAcsBlocks,
               SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::write10(static_cast<U32>(iStartLba), static_cast<U32>(iAcsBlocks)),
                cdb::block_transfer_length(sBlockSize, iAcsBlocks), kDirOut, kTimeOut, ptStorPassThr, ptErrInfo);
}

int StoreWriteSame(int iCtrl, int16_t sTgtId, int32_t iStartLba, int16_t sBlockSize, int32_t iAcsBlocks,
                   SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    // One block goes out; the drive repeats it over the range.
    return send(iCtrl, sTgtId, cdb::write_same10(static_cast<U32>(iStartLba), static_cast<U32>(iAcsBlocks)),
                static_cast<U32>(static_cast<int32_t>(sBlockSize)), kDirOut, kTimeOut, ptStorPassThr, ptErrInfo);
}

int StoreVerify(int iCtrl, int16_t sTgtId, int32_t iStartLba, int32_t iAcsBlocks, SCSI_PASSTHRU_T* ptStorPassThr,
                ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::verify10(static_cast<U32>(iStartLba), static_cast<U32>(iAcsBlocks)), 0, kDirNone,
                kTimeOut, ptStorPassThr, ptErrInfo);
}

int StoreModeSense(int iCtrl, int16_t sTgtId, U8 ucPageCode, U8 ucSubPage, U16 usAllocLen,
                   SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::mode_sense6(ucPageCode, ucSubPage, usAllocLen), usAllocLen, kDirIn, kTimeOut,
                ptStorPassThr, ptErrInfo);
}

int StoreModeSelect(int iCtrl, int16_t sTgtId, U16 usParamLen, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo,
                    U8 ucFlags) {
    return send(iCtrl, sTgtId, cdb::mode_select6(ucFlags, usParamLen), usParamLen, kDirOut, kTimeOut, ptStorPassThr,
                ptErrInfo);
}

int StoreStartStopUnit(int iCtrl, int16_t sTgtId, U8 ucCondition, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::start_stop_unit(ucCondition), 0, kDirOut, kTimeOut, ptStorPassThr, ptErrInfo);
}

int StoreDiag(int iCtrl, int16_t sTgtId, U8 ucSelfTest, SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::send_diagnostic(ucSelfTest), 0, kDirNone, kTimeOut, ptStorPassThr, ptErrInfo);
}

int StoreWriteBuffer(int iCtrl, int16_t sTgtId, U8 ucMode, int32_t iBufOffset, int32_t iLen,
                     SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::write_buffer(ucMode, static_cast<U32>(iBufOffset), static_cast<U32>(iLen)),
                static_cast<U32>(iLen), kDirOut, kWriteBufferTimeOut, ptStorPassThr, ptErrInfo);
}

int StoreLogSense(int iCtrl, int16_t sTgtId, U8 ucPageCode, U16 usParamPtr, U16 usAllocLen,
                  SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::log_sense(ucPageCode, usParamPtr, usAllocLen), usAllocLen, kDirIn, kTimeOut,
                ptStorPassThr, ptErrInfo);
}

int StoreLogSenseSubpage(int iCtrl, int16_t sTgtId, U8 ucPageCode, U8 ucSubPage, U16 usParamPtr, U16 usAllocLen,
                         SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::log_sense_subpage(ucPageCode, ucSubPage, usParamPtr, usAllocLen), usAllocLen,
                kDirIn, kTimeOut, ptStorPassThr, ptErrInfo);
}

int StoreReadDefect(int iCtrl, int16_t sTgtId, bool bPList, bool bGList, U8 ucFormat, U16 usAllocLen,
                    SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::read_defect_data10(bPList, bGList, ucFormat, usAllocLen), usAllocLen, kDirIn,
                kTimeOut, ptStorPassThr, ptErrInfo);
}

int StorRequestInternalLog(int iCtrl, int16_t sTgtId, U8 ucLogType, int32_t iBufOffset, int32_t iLen,
                           SCSI_PASSTHRU_T* ptStorPassThr, ERRINFO* ptErrInfo) {
    return send(iCtrl, sTgtId, cdb::internal_log(ucLogType, static_cast<U32>(iBufOffset), static_cast<U32>(iLen)),
                static_cast<U32>(iLen), kDirIn, kTimeOut, ptStorPassThr, ptErrInfo);
}
