// raidstor records: command codes, the SCSI and STP pass-through records and
// the management result records. None of them holds a pointer, so they are
// the same in the 32-bit and the 64-bit build.
#pragma once

#include "types.h"

// Command classes and commands (cmdType, cmd).
enum : U8 {
    SL_CMD_TYPE_SYSTEM = 0,      // 0/0 controller list
    SL_CMD_TYPE_CONTROLLER = 1,  // 1/0 info, 1/14..18 patrol read
    SL_CMD_TYPE_PD = 2,          // 2/0 info, 1 online, 2 offline, 10..13 spares
    SL_CMD_TYPE_LD = 3,          // 3/0 info
    SL_CMD_TYPE_PASSTHRU = 6,    // 6/0 SCSI, 6/2 STP
};
enum : U8 {
    SL_CMD_PASSTHRU_SCSI = 0,
    SL_CMD_PASSTHRU_STP = 2,
};

// SCSI pass-through: a 64-byte header followed by the data area.
typedef struct {
    U16 targetId;      // 0
    U8 fixedOne;       // 2
    U8 fixedZero;      // 3
    U8 dir;            // 4   0 none, 1 out (host to drive), 2 in (drive to host)
    U8 reserved[3];    // 5
    U16 timeout;       // 8
    U8 scsiStatus;     // 10
    U8 cdbLen;         // 11
    U8 cdb[16];        // 12
    U8 senseData[32];  // 28
    U32 dataLen;       // 60
    U8 data[1];        // 64  the data area really holds dataLen bytes
} SCSI_PASSTHRU_T;

static_assert(offsetof(SCSI_PASSTHRU_T, targetId) == 0);
static_assert(offsetof(SCSI_PASSTHRU_T, fixedOne) == 2);
static_assert(offsetof(SCSI_PASSTHRU_T, fixedZero) == 3);
static_assert(offsetof(SCSI_PASSTHRU_T, dir) == 4);
static_assert(offsetof(SCSI_PASSTHRU_T, reserved) == 5);
static_assert(offsetof(SCSI_PASSTHRU_T, timeout) == 8);
static_assert(offsetof(SCSI_PASSTHRU_T, scsiStatus) == 10);
static_assert(offsetof(SCSI_PASSTHRU_T, cdbLen) == 11);
static_assert(offsetof(SCSI_PASSTHRU_T, cdb) == 12);
static_assert(offsetof(SCSI_PASSTHRU_T, senseData) == 28);
static_assert(offsetof(SCSI_PASSTHRU_T, dataLen) == 60);
static_assert(offsetof(SCSI_PASSTHRU_T, data) == 64);

inline constexpr U32 SCSI_PASSTHRU_HEADER_SIZE = 64;
// Header plus the largest internal-log section (24-bit length + 3) and slack.
inline constexpr U32 SCSI_PASSTHRU_BUFFER_SIZE = 0x100005F;  // 16,777,311

// The data area, reached through the byte address so that no array bound is
// stretched.
inline U8* passthru_data(SCSI_PASSTHRU_T* p) { return reinterpret_cast<U8*>(p) + SCSI_PASSTHRU_HEADER_SIZE; }
inline const U8* passthru_data(const SCSI_PASSTHRU_T* p) {
    return reinterpret_cast<const U8*>(p) + SCSI_PASSTHRU_HEADER_SIZE;
}

// STP (SATA tunnelled) pass-through. The declared record is 42 bytes; the
// response area really holds fisResponseLen (20) bytes and the data area
// begins right behind it, at byte 60.
#pragma pack(push, 1)
typedef struct {
    U8 targetId;              // 0
    U8 dir;                   // 1   0 none, 1 out, 2 in, 0xFF unlisted SMART sub-command
    U16 timeout;              // 2
    U32 stpFlags;             // 4
    U16 fis[10];              // 8   Register Host-to-Device FIS, word by word
    U8 connectionStatus;      // 28
    U8 reserved[3];           // 29
    U32 fisResponseLen;       // 32
    U32 dataLen;              // 36
    U8 fisResponseBuffer[1];  // 40  really 20 bytes: the Device-to-Host FIS
    U8 data[1];               // 41  declared place only; data lies at byte 60
} SL_STP_PASSTHRU_T;
#pragma pack(pop)

static_assert(sizeof(SL_STP_PASSTHRU_T) == 42);
static_assert(offsetof(SL_STP_PASSTHRU_T, targetId) == 0);
static_assert(offsetof(SL_STP_PASSTHRU_T, dir) == 1);
static_assert(offsetof(SL_STP_PASSTHRU_T, timeout) == 2);
static_assert(offsetof(SL_STP_PASSTHRU_T, stpFlags) == 4);
static_assert(offsetof(SL_STP_PASSTHRU_T, fis) == 8);
static_assert(offsetof(SL_STP_PASSTHRU_T, connectionStatus) == 28);
static_assert(offsetof(SL_STP_PASSTHRU_T, reserved) == 29);
static_assert(offsetof(SL_STP_PASSTHRU_T, fisResponseLen) == 32);
static_assert(offsetof(SL_STP_PASSTHRU_T, dataLen) == 36);
static_assert(offsetof(SL_STP_PASSTHRU_T, fisResponseBuffer) == 40);
static_assert(offsetof(SL_STP_PASSTHRU_T, data) == 41);

inline constexpr U32 STP_FIS_RESPONSE_LEN = 20;
inline constexpr U32 STP_RESPONSE_OFFSET = 40;
inline constexpr U32 STP_DATA_OFFSET = 60;               // 40 + fisResponseLen
inline constexpr U32 STP_PASSTHRU_BUFFER_SIZE = 0x803C;  // 60 + 32768

inline U8* stp_response(SL_STP_PASSTHRU_T* p) { return reinterpret_cast<U8*>(p) + STP_RESPONSE_OFFSET; }
inline U8* stp_data(SL_STP_PASSTHRU_T* p) { return reinterpret_cast<U8*>(p) + STP_DATA_OFFSET; }
inline const U8* stp_response(const SL_STP_PASSTHRU_T* p) {
    return reinterpret_cast<const U8*>(p) + STP_RESPONSE_OFFSET;
}
inline const U8* stp_data(const SL_STP_PASSTHRU_T* p) { return reinterpret_cast<const U8*>(p) + STP_DATA_OFFSET; }

// Management result records. Their contents are raidstor's; the tool reads
// only the fields named here.
typedef struct {
    U8 raw[68];
} SL_CTRL_LIST_T;

typedef struct {
    U8 rsvd0[111];     // 0
    U8 deviceIdCount;  // 111 device ids 0..deviceIdCount-1 are probed
    U8 rsvd1[1936];    // 112
} SL_CTRL_INFO_T;

typedef struct {
    U8 rsvd0[189];     // 0
    U8 interfaceByte;  // 189 bits 7..4: interface type (2 = SAS)
    U8 rsvd1[322];     // 190
} SL_PD_INFO_T;

typedef struct {
    U8 raw[384];
} SL_LD_INFO_T;

typedef struct {
    U8 raw[40];
} SL_DEDICATED_SPARE_INFO_T;

typedef struct {
    U8 arrayCount;     // 0
    U8 arrayRefs[32];  // 1   first 16 bytes from the caller, the rest zero
} SL_ARRAY_LIST_T;

typedef struct {
    U8 raw[208];
} SL_PATROL_READ_PROPERTIES_T;

typedef struct {
    U8 raw[16];
} SL_PATROL_READ_STATUS_T;

static_assert(sizeof(SL_CTRL_LIST_T) == 68);
static_assert(sizeof(SL_CTRL_INFO_T) == 2048 && offsetof(SL_CTRL_INFO_T, deviceIdCount) == 111);
static_assert(sizeof(SL_PD_INFO_T) == 512 && offsetof(SL_PD_INFO_T, interfaceByte) == 189);
static_assert(sizeof(SL_LD_INFO_T) == 384);
static_assert(sizeof(SL_DEDICATED_SPARE_INFO_T) == 40);
static_assert(sizeof(SL_ARRAY_LIST_T) == 33 && offsetof(SL_ARRAY_LIST_T, arrayRefs) == 1);
static_assert(sizeof(SL_PATROL_READ_PROPERTIES_T) == 208);
static_assert(sizeof(SL_PATROL_READ_STATUS_T) == 16);

inline constexpr U8 INTERFACE_TYPE_SAS = 2;
inline U8 interfaceType(const SL_PD_INFO_T& info) { return static_cast<U8>(info.interfaceByte >> 4); }
