// raidstor management commands and their result records.
#include <cstring>

#include "SasLog01.h"
#include "lib_request.h"

SL_CTRL_LIST_T tCtrlList;
SL_CTRL_INFO_T tCtrlInfo;
SL_PD_INFO_T tPhysInfo;
SL_LD_INFO_T tLogiInfo;
SL_DEDICATED_SPARE_INFO_T tDediSpareInfo;
SL_ARRAY_LIST_T tArrayList;
SL_PATROL_READ_PROPERTIES_T tPatrolReadProperties;
SL_PATROL_READ_STATUS_T tPatrolReadStatus;

namespace {

// Number of array reference bytes the caller hands to SetDedicatedSpare; the
// rest of the list goes out as zero.
constexpr size_t kArrayRefsGiven = 16;

// Device ids, sequence numbers and the patrol read value travel as 16 bits;
// higher bits are dropped, as the record has no room for them.
U16 low16(int v) { return static_cast<U16>(static_cast<unsigned>(v)); }

int mgmt(U8 cmdType, U8 cmd, int iCtrl, int iRef, int iSeq, U32 size, void* data, int32_t* piErr) {
    SL_LIB_CMD_PARAM_T req = make_lib_request({.cmdType = cmdType,
                                               .cmd = cmd,
                                               .ctrlId = static_cast<U32>(iCtrl),
                                               .deviceId = low16(iRef),
                                               .seqNum = low16(iSeq),
                                               .dataSize = size,
                                               .pData = data});
    *piErr = send_lib_request(&req);
    return *piErr == 0 ? 1 : 0;
}

// A query clears its record first, so that a failed call never leaves the
// answer of an earlier one behind.
template <typename T>
int query(U8 cmdType, U8 cmd, int iCtrl, int iRef, T& record, int32_t* piErr) {
    memset(&record, 0, sizeof record);
    return mgmt(cmdType, cmd, iCtrl, iRef, 0, sizeof record, &record, piErr);
}

}  // namespace

int CorvidSearch(int32_t* piErr) { return query(SL_CMD_TYPE_SYSTEM, 0, 0, 0, tCtrlList, piErr); }

int GetControllerInfo(int iCtrl, int32_t* piErr) {
    return query(SL_CMD_TYPE_CONTROLLER, 0, iCtrl, 0, tCtrlInfo, piErr);
}

int GetLogiInfo(int iCtrl, int iLogiDrv, int32_t* piErr) {
    return query(SL_CMD_TYPE_LD, 0, iCtrl, iLogiDrv, tLogiInfo, piErr);
}

int GetPhysInfo(int iCtrl, int iDevId, int32_t* piErr) {
    return query(SL_CMD_TYPE_PD, 0, iCtrl, iDevId, tPhysInfo, piErr);
}

int GetDediSpareInfo(int iCtrl, int iDevId, int32_t* piErr) {
    return query(SL_CMD_TYPE_PD, 12, iCtrl, iDevId, tDediSpareInfo, piErr);
}

int SetGlobalSpare(int iCtrl, int iDevId, int iSeqNum, int32_t* piErr) {
    return mgmt(SL_CMD_TYPE_PD, 10, iCtrl, iDevId, iSeqNum, 0, nullptr, piErr);
}

int SetDedicatedSpare(int iCtrl, int iDevId, int iSeqNum, int iArrayCount, const U8* pArrayList, int32_t* piErr) {
    memset(&tArrayList, 0, sizeof tArrayList);
    tArrayList.arrayCount = static_cast<U8>(static_cast<unsigned>(iArrayCount));
    memcpy(tArrayList.arrayRefs, pArrayList, kArrayRefsGiven);
    return mgmt(SL_CMD_TYPE_PD, 11, iCtrl, iDevId, iSeqNum, sizeof tArrayList, &tArrayList, piErr);
}

int RemoveSpare(int iCtrl, int iDevId, int iSeqNum, int32_t* piErr) {
    return mgmt(SL_CMD_TYPE_PD, 13, iCtrl, iDevId, iSeqNum, 0, nullptr, piErr);
}

int GetPatrolReadStatus(int iCtrl, int32_t* piErr) {
    return query(SL_CMD_TYPE_CONTROLLER, 14, iCtrl, 0, tPatrolReadStatus, piErr);
}

int GetPatrolReadProperties(int iCtrl, int32_t* piErr) {
    return query(SL_CMD_TYPE_CONTROLLER, 15, iCtrl, 0, tPatrolReadProperties, piErr);
}

int SetPatrolReadProperties(int iCtrl, int iValue, int32_t* piErr) {
    // Sends the record as it stands: the caller read it and changed what it
    // wanted.
    return mgmt(SL_CMD_TYPE_CONTROLLER, 16, iCtrl, iValue, 0, sizeof tPatrolReadProperties, &tPatrolReadProperties,
                piErr);
}

int PatrolReadStart(int iCtrl, int32_t* piErr) {
    return mgmt(SL_CMD_TYPE_CONTROLLER, 17, iCtrl, 0, 0, 0, nullptr, piErr);
}

int PatrolReadStop(int iCtrl, int32_t* piErr) {
    return mgmt(SL_CMD_TYPE_CONTROLLER, 18, iCtrl, 0, 0, 0, nullptr, piErr);
}

int MakeOffline(int iCtrl, int iDevId, int iSeqNum, int32_t* piErr) {
    return mgmt(SL_CMD_TYPE_PD, 2, iCtrl, iDevId, iSeqNum, 0, nullptr, piErr);
}

int MakeOnline(int iCtrl, int iDevId, int iSeqNum, int32_t* piErr) {
    return mgmt(SL_CMD_TYPE_PD, 1, iCtrl, iDevId, iSeqNum, 0, nullptr, piErr);
}
