// STP pass-through: one sender and the seven ATA command builders on top of it.
#include <cstring>

#include "atafis.h"
#include "lib_request.h"
#include "libstoresata.h"

ERRINFOSTP gtErrInfStp;
SL_LIB_CMD_PARAM_T tCmdParam;

// raidstor puts the 20-byte response FIS right behind the header and the data
// right behind that, not where the declared record ends.
static_assert(offsetof(SL_STP_PASSTHRU_T, fisResponseBuffer) == STP_RESPONSE_OFFSET);
static_assert(STP_RESPONSE_OFFSET + STP_FIS_RESPONSE_LEN == STP_DATA_OFFSET && STP_DATA_OFFSET == 60);
static_assert(sizeof(AtaFis) == 20 && sizeof(ERRINFOSTP::usAtaCom) == sizeof(AtaFis));

namespace {

// The drive's verdict: the ERR bit of the Status byte, byte 2 of the
// Device-to-Host FIS that raidstor leaves in the response area.
constexpr size_t D2H_STATUS = 2;
constexpr U8 ATA_STATUS_ERR = 0x01;

}  // namespace

int SendStorSTP(int iCtrl, int16_t sTgtId, const U16* pusComAta, int iLen, int iDirection, U16 usTimeOut, U32 ulStpFlag,
                SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo) {
    // raidstor wants the size of header, response area and data together. The
    // caller keeps iLen within its buffer; unsigned so a wild value wraps
    // rather than being undefined.
    const U32 iPasThrLen = static_cast<U32>(iLen) + STP_DATA_OFFSET;

    ptStorPassThrStp->targetId = static_cast<U8>(sTgtId);
    ptStorPassThrStp->dir = static_cast<U8>(iDirection);
    ptStorPassThrStp->timeout = usTimeOut;
    ptStorPassThrStp->stpFlags = ulStpFlag;
    ptStorPassThrStp->fisResponseLen = STP_FIS_RESPONSE_LEN;
    ptStorPassThrStp->dataLen = static_cast<U32>(iLen);
    for (int cCnt = 0; cCnt < 10; ++cCnt) {
        ptStorPassThrStp->fis[cCnt] = pusComAta[cCnt];
    }
    // Neither the answer of an earlier command nor its data may pass for
    // this one's: what raidstor and the drive do not write reads as zeros.
    std::memset(stp_response(ptStorPassThrStp), 0, STP_FIS_RESPONSE_LEN);
    if (iDirection == STP_DIR_IN && iLen > 0) std::memset(stp_data(ptStorPassThrStp), 0, static_cast<U32>(iLen));

    std::memset(ptErrInfo, 0, sizeof *ptErrInfo);
    // The reference carries the full device id; the record's own targetId
    // only has room for its low byte.
    tCmdParam = make_lib_request({.cmdType = SL_CMD_TYPE_PASSTHRU,
                                  .cmd = SL_CMD_PASSTHRU_STP,
                                  .ctrlId = static_cast<U32>(iCtrl),
                                  .deviceId = static_cast<U16>(sTgtId),
                                  .seqNum = 0,
                                  .dataSize = iPasThrLen,
                                  .pData = ptStorPassThrStp});
    // Returns only once raidstor has, so a Ctrl-C ends the run after the
    // command, never in the middle of it.
    ptErrInfo->iApiErr = send_lib_request(&tCmdParam);
    if (ptErrInfo->iApiErr != 0) {
        return 0;
    }

    const U8* pucResponse = stp_response(ptStorPassThrStp);
    if (pucResponse[D2H_STATUS] & ATA_STATUS_ERR) {
        std::memcpy(ptErrInfo->usAtaCom, pusComAta, sizeof ptErrInfo->usAtaCom);
        std::memcpy(ptErrInfo->ucfisResBuff, pucResponse, sizeof ptErrInfo->ucfisResBuff);
        return 0;
    }
    return 1;
}

namespace {

// Every builder sends with the same time-out.
int send_fis(int iCtrl, int16_t sTgtId, const AtaFis& fis, int iTransLen, int iDirection, U32 ulStpFlag,
             SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo) {
    return SendStorSTP(iCtrl, sTgtId, fis.data(), iTransLen, iDirection, STP_TIMEOUT, ulStpFlag, ptStorPassThrStp,
                       ptErrInfo);
}

}  // namespace

int StoreIdentify(int iCtrl, int16_t sTgtId, SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo) {
    return send_fis(iCtrl, sTgtId, IdentifyCom(), ATA_IDENTIFY_LEN, STP_DIR_IN, STP_PIO_IN, ptStorPassThrStp,
                    ptErrInfo);
}

int StoreRSector_Ext(int iCtrl, int16_t sTgtId, U64 qwStartLba, int16_t sBlockSize, int iAcsBlocks,
                     SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo) {
    return send_fis(iCtrl, sTgtId, ReadSectorExtCom(qwStartLba, iAcsBlocks), transfer_length(sBlockSize, iAcsBlocks),
                    STP_DIR_IN, STP_PIO_IN, ptStorPassThrStp, ptErrInfo);
}

int StoreRDma_Ext(int iCtrl, int16_t sTgtId, U64 qwStartLba, int16_t sBlockSize, int iAcsBlocks,
                  SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo) {
    return send_fis(iCtrl, sTgtId, ReadDmaExtCom(qwStartLba, iAcsBlocks), transfer_length(sBlockSize, iAcsBlocks),
                    STP_DIR_IN, STP_DMA_IN, ptStorPassThrStp, ptErrInfo);
}

int StoreWSector_Ext(int iCtrl, int16_t sTgtId, U64 qwStartLba, int16_t sBlockSize, int iAcsBlocks,
                     SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo) {
    return send_fis(iCtrl, sTgtId, WriteSectorExtCom(qwStartLba, iAcsBlocks), transfer_length(sBlockSize, iAcsBlocks),
                    STP_DIR_OUT, STP_PIO_OUT, ptStorPassThrStp, ptErrInfo);
}

int StoreWDma_Ext(int iCtrl, int16_t sTgtId, U64 qwStartLba, int16_t sBlockSize, int iAcsBlocks,
                  SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo) {
    return send_fis(iCtrl, sTgtId, WriteDmaExtCom(qwStartLba, iAcsBlocks), transfer_length(sBlockSize, iAcsBlocks),
                    STP_DIR_OUT, STP_DMA_OUT, ptStorPassThrStp, ptErrInfo);
}

// A verify moves no data, so the block size plays no part.
int StoreRVSector_Ext(int iCtrl, int16_t sTgtId, U64 qwStartLba, int16_t /*sBlockSize*/, int iAcsBlocks,
                      SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo) {
    return send_fis(iCtrl, sTgtId, RVerifySectorExtCom(qwStartLba, iAcsBlocks), 0, STP_DIR_NONE, STP_NON_DATA,
                    ptStorPassThrStp, ptErrInfo);
}

// The length is the caller's: only it knows how much a READ LOG or WRITE LOG
// moves. Direction and protocol follow from the sub-command alone.
int StoreSmart(int iCtrl, int16_t sTgtId, U8 ucSubCmd, int iLen, SL_STP_PASSTHRU_T* ptStorPassThrStp,
               ERRINFOSTP* ptErrInfo) {
    const StpProtocol protocol = smart_protocol(ucSubCmd);
    return send_fis(iCtrl, sTgtId, SmartCom(ucSubCmd), iLen, protocol.iDirection, protocol.ulStpFlag, ptStorPassThrStp,
                    ptErrInfo);
}

int StoreSmartReadLog(int iCtrl, int16_t sTgtId, U8 ucLogAddr, U8 ucCount, SL_STP_PASSTHRU_T* ptStorPassThrStp,
                      ERRINFOSTP* ptErrInfo) {
    const StpProtocol protocol = smart_protocol(SMART_READ_LOG);
    return send_fis(iCtrl, sTgtId, SmartReadLogCom(ucLogAddr, ucCount), ucCount * ATA_LOG_PAGE_SIZE,
                    protocol.iDirection, protocol.ulStpFlag, ptStorPassThrStp, ptErrInfo);
}

int StoreReadLogExt(int iCtrl, int16_t sTgtId, U8 ucLogAddr, U16 usPage, U16 usCount,
                    SL_STP_PASSTHRU_T* ptStorPassThrStp, ERRINFOSTP* ptErrInfo) {
    return send_fis(iCtrl, sTgtId, ReadLogExtCom(ucLogAddr, usPage, usCount), usCount * ATA_LOG_PAGE_SIZE, STP_DIR_IN,
                    STP_PIO_IN, ptStorPassThrStp, ptErrInfo);
}
