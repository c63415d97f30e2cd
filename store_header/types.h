// Basic integer types and the request record that crosses to the vendor
// storage library (raidstor). All records are little-endian; the layouts are
// fixed by the library and checked below for the build's own width.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t U8;
typedef uint16_t U16;
typedef uint32_t U32;
typedef uint64_t U64;

// Device references: an 8-byte union inside the request record.
typedef struct {
    U16 deviceId;  // 0
    U16 seqNum;    // 2
    U8 rsvd[4];    // 4
} SL_PD_REF_T;

typedef struct {
    U16 deviceId;     // 0
    U8 elementIndex;  // 2
    U8 rsvd[3];       // 3
} SL_ENCL_REF_T;

typedef struct {
    U16 seqNum;  // 0
    U16 ref;     // 2
    U8 rsvd[4];  // 4
} SL_ARRAY_REF_T;

typedef struct {
    U16 seqNum;   // 0
    U8 targetId;  // 2
    U8 rsvd[5];   // 3
} SL_LD_REF_T;

typedef struct {
    U32 seqNum;      // 0
    U8 reserved[4];  // 4
} SL_EVT_REF_T;

typedef struct {
    U8 GUIDIndex;    // 0
    U8 reserved[7];  // 1
} SL_CONFIG_GUID_REF_T;

typedef union {
    U8 ref_1b[8];
    U16 ref_2b[4];
    U32 ref_4b[2];
    U64 ref_8b;
} SL_GEN_REF_T;

typedef union {
    SL_PD_REF_T pdRef;
    SL_ENCL_REF_T enclRef;
    SL_ARRAY_REF_T arrayRef;
    SL_LD_REF_T ldRef;
    SL_EVT_REF_T evtRef;
    SL_CONFIG_GUID_REF_T configGUIDRef;
    SL_GEN_REF_T genRef;
} SL_DEV_REF_T;

typedef union {
    U8 cmdParam_1b[8];
    U16 cmdParam_2b[4];
    U32 cmdParam_4b[2];
    U64 cmdParam_8b;
    void* pCmdParam;
} SL_CMD_PARAM_T;

// The request record of every raidstor call: 40 bytes in the 64-bit build,
// 36 in the 32-bit build (only pData differs).
typedef struct {
    U8 cmdType;            // 0
    U8 cmd;                // 1
    U8 reserved0[2];       // 2
    U32 ctrlId;            // 4
    SL_DEV_REF_T devRef;   // 8   (pdRef, enclRef, ... )
    SL_CMD_PARAM_T param;  // 16
    U32 reserved1;         // 24
    U32 dataSize;          // 28
    void* pData;           // 32
} SL_LIB_CMD_PARAM_T;

// enclRef is 2 + 1 + 3 bytes; the union is 8 all the same.
static_assert(sizeof(SL_PD_REF_T) == 8 && sizeof(SL_ENCL_REF_T) == 6 && sizeof(SL_ARRAY_REF_T) == 8);
static_assert(sizeof(SL_LD_REF_T) == 8 && sizeof(SL_EVT_REF_T) == 8 && sizeof(SL_CONFIG_GUID_REF_T) == 8);
static_assert(sizeof(SL_DEV_REF_T) == 8 && sizeof(SL_CMD_PARAM_T) == 8);
static_assert(offsetof(SL_LIB_CMD_PARAM_T, cmdType) == 0);
static_assert(offsetof(SL_LIB_CMD_PARAM_T, cmd) == 1);
static_assert(offsetof(SL_LIB_CMD_PARAM_T, reserved0) == 2);
static_assert(offsetof(SL_LIB_CMD_PARAM_T, ctrlId) == 4);
static_assert(offsetof(SL_LIB_CMD_PARAM_T, devRef) == 8);
static_assert(offsetof(SL_LIB_CMD_PARAM_T, param) == 16);
static_assert(offsetof(SL_LIB_CMD_PARAM_T, reserved1) == 24);
static_assert(offsetof(SL_LIB_CMD_PARAM_T, dataSize) == 28);
static_assert(offsetof(SL_LIB_CMD_PARAM_T, pData) == 32);
#if defined(__x86_64__)
static_assert(sizeof(void*) == 8 && sizeof(SL_LIB_CMD_PARAM_T) == 40, "64-bit request record is 40 bytes");
#elif defined(__i386__)
static_assert(sizeof(void*) == 4 && sizeof(SL_LIB_CMD_PARAM_T) == 36, "32-bit request record is 36 bytes");
#else
#error "logdump is built for x86 (32-bit) and x86-64 only"
#endif

// The library's single entry point.
typedef int (*ProcessLibCommand_t)(SL_LIB_CMD_PARAM_T*);
