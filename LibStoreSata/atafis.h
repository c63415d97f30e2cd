// The command FIS of each ATA command this module sends, and the transfer
// parameters that go with it. Everything here is pure so that the byte layout
// can be checked without a controller; SendStorSTP is the only sender.
#pragma once

#include <array>
#include <cstdint>

#include "types.h"

// Register Host-to-Device FIS as ten little-endian words: FIS byte 2k is the
// low byte of word k, which is how raidstor takes it in SL_STP_PASSTHRU_T.fis.
using AtaFis = std::array<U16, 10>;

// The ATA registers of one command. Only LBA bits 0..47 exist on the wire;
// Features (15:8), ICC and Control are always 0 for the commands we send.
struct AtaRegs {
    U8 command;
    U8 features;
    U64 lba;
    U8 device;
    U16 count;
};

inline constexpr U16 FIS_H2D_WORD0 = 0x8027;  // type 27h, C bit set, port 0

// Byte map: 0 type 27 | 1 C=80 | 2 command | 3 features | 4..6 LBA 7:0..23:16
// | 7 device | 8..10 LBA 31:24..47:40 | 11 features 15:8 | 12..13 count | 14..19 0
constexpr AtaFis pack_h2d_fis(const AtaRegs& r) {
    AtaFis w{};
    w[0] = FIS_H2D_WORD0;
    w[1] = static_cast<U16>(r.command | (r.features << 8));
    w[2] = static_cast<U16>(r.lba & 0xFFFF);
    w[3] = static_cast<U16>(((r.lba >> 16) & 0xFF) | (static_cast<U16>(r.device) << 8));
    w[4] = static_cast<U16>((r.lba >> 24) & 0xFFFF);
    w[5] = static_cast<U16>((r.lba >> 40) & 0xFF);
    w[6] = r.count;
    return w;
}

// ATA opcodes.
inline constexpr U8 ATA_IDENTIFY_DEVICE = 0xEC;
inline constexpr U8 ATA_READ_SECTORS_EXT = 0x24;
inline constexpr U8 ATA_READ_DMA_EXT = 0x25;
inline constexpr U8 ATA_WRITE_SECTORS_EXT = 0x34;
inline constexpr U8 ATA_WRITE_DMA_EXT = 0x35;
inline constexpr U8 ATA_READ_VERIFY_SECTORS_EXT = 0x42;
inline constexpr U8 ATA_READ_LOG_EXT = 0x2F;
inline constexpr U8 ATA_SMART = 0xB0;

// SMART sub-commands (Features).
inline constexpr U8 SMART_READ_DATA = 0xD0;
inline constexpr U8 SMART_READ_THRESHOLDS = 0xD1;
inline constexpr U8 SMART_AUTOSAVE = 0xD2;
inline constexpr U8 SMART_SAVE_ATTRIBUTES = 0xD3;
inline constexpr U8 SMART_OFFLINE_IMMEDIATE = 0xD4;
inline constexpr U8 SMART_READ_LOG = 0xD5;
inline constexpr U8 SMART_WRITE_LOG = 0xD6;
inline constexpr U8 SMART_ENABLE_OPERATIONS = 0xD8;
inline constexpr U8 SMART_DISABLE_OPERATIONS = 0xD9;
inline constexpr U8 SMART_RETURN_STATUS = 0xDA;
inline constexpr U8 SMART_AUTO_OFFLINE = 0xDB;

// Device byte of the 48-bit commands: bit 6 selects LBA addressing, bits 7
// and 5 are the obsolete ones that drives still expect set.
inline constexpr U8 ATA_DEVICE_LBA = 0xE0;
inline constexpr U8 ATA_DEVICE_SMART = 0xA0;

// raidstor's direction codes (dir) and protocol flags (stpFlags).
inline constexpr int STP_DIR_NONE = 0;
inline constexpr int STP_DIR_OUT = 1;
inline constexpr int STP_DIR_IN = 2;
inline constexpr int STP_DIR_UNKNOWN = -1;  // goes out as dir 0xFF
inline constexpr U32 STP_NON_DATA = 0x10;
inline constexpr U32 STP_PIO_IN = 0x11;
inline constexpr U32 STP_PIO_OUT = 0x12;
inline constexpr U32 STP_DMA_IN = 0x21;
inline constexpr U32 STP_DMA_OUT = 0x22;
inline constexpr U32 STP_UNKNOWN = 0xFFFFFFFF;
inline constexpr U16 STP_TIMEOUT = 10;

// Bytes moved by a 48-bit transfer: the block size sign-extended, times the
// sector count, as a 32-bit int. Done in unsigned arithmetic so that a product
// beyond INT_MAX wraps like the hardware register would instead of being
// undefined; keeping it within the data area is the caller's business.
constexpr int transfer_length(int16_t sBlockSize, int iAcsBlocks) {
    const U32 product = static_cast<U32>(static_cast<int32_t>(sBlockSize)) * static_cast<U32>(iAcsBlocks);
    return static_cast<int>(product);
}

// The count register holds the low 16 bits of the sector count.
constexpr U16 sector_count(int iAcsBlocks) { return static_cast<U16>(static_cast<U32>(iAcsBlocks) & 0xFFFF); }

// 27 80 EC 00 | 16 x 00
constexpr AtaFis IdentifyCom() { return pack_h2d_fis({ATA_IDENTIFY_DEVICE, 0, 0, 0x00, 0}); }

// 27 80 op 00 | LBA 7:0 15:8 23:16 | E0 | LBA 31:24 39:32 47:40 | 00 | count lo hi | 6 x 00
constexpr AtaFis Lba48Com(U8 ucOpCode, U64 qwStartLba, int iAcsBlocks) {
    return pack_h2d_fis({ucOpCode, 0, qwStartLba, ATA_DEVICE_LBA, sector_count(iAcsBlocks)});
}
constexpr AtaFis ReadSectorExtCom(U64 qwStartLba, int iAcsBlocks) {
    return Lba48Com(ATA_READ_SECTORS_EXT, qwStartLba, iAcsBlocks);
}
constexpr AtaFis ReadDmaExtCom(U64 qwStartLba, int iAcsBlocks) {
    return Lba48Com(ATA_READ_DMA_EXT, qwStartLba, iAcsBlocks);
}
constexpr AtaFis WriteSectorExtCom(U64 qwStartLba, int iAcsBlocks) {
    return Lba48Com(ATA_WRITE_SECTORS_EXT, qwStartLba, iAcsBlocks);
}
constexpr AtaFis WriteDmaExtCom(U64 qwStartLba, int iAcsBlocks) {
    return Lba48Com(ATA_WRITE_DMA_EXT, qwStartLba, iAcsBlocks);
}
constexpr AtaFis RVerifySectorExtCom(U64 qwStartLba, int iAcsBlocks) {
    return Lba48Com(ATA_READ_VERIFY_SECTORS_EXT, qwStartLba, iAcsBlocks);
}

// 27 80 B0 sub | 00 4F C2 (SMART signature in LBA 15:8 and 23:16) | A0 | 12 x 00
constexpr AtaFis SmartCom(U8 ucSubCmd) { return pack_h2d_fis({ATA_SMART, ucSubCmd, 0xC24F00, ATA_DEVICE_SMART, 0}); }

// 27 80 B0 D5 | addr 4F C2 | A0 | 00 00 00 00 | count 00 | 6 x 00 : SMART READ
// LOG, the log address in LBA 7:0 and the sectors in Count 7:0
constexpr AtaFis SmartReadLogCom(U8 ucLogAddr, U8 ucCount) {
    return pack_h2d_fis({ATA_SMART, SMART_READ_LOG, 0xC24F00u | ucLogAddr, ATA_DEVICE_SMART, ucCount});
}

// 27 80 2F 00 | addr page 7:0 00 | E0 | 00 page 15:8 00 | 00 | count lo hi |
// 6 x 00 : READ LOG EXT, the log address in LBA 7:0, the first page in LBA
// 15:8 and 39:32, the pages in Count
constexpr AtaFis ReadLogExtCom(U8 ucLogAddr, U16 usPage, U16 usCount) {
    const U64 lba = ucLogAddr | static_cast<U64>(usPage & 0xFF) << 8 | static_cast<U64>(usPage >> 8) << 32;
    return pack_h2d_fis({ATA_READ_LOG_EXT, 0, lba, ATA_DEVICE_LBA, usCount});
}

// IDENTIFY DEVICE answers with 256 words.
inline constexpr U32 ATA_IDENTIFY_LEN = 512;

// A log page (READ LOG EXT) and a SMART log sector are 512 bytes; the data
// area of the pass-through buffer holds 64 of them.
inline constexpr int ATA_LOG_PAGE_SIZE = 512;
inline constexpr int ATA_LOG_PAGES_PER_TRANSFER = 64;

// Direction and protocol of a SMART sub-command. One we do not know still
// goes out, marked so that raidstor decides what to make of it.
struct StpProtocol {
    int iDirection;
    U32 ulStpFlag;
};
constexpr StpProtocol smart_protocol(U8 ucSubCmd) {
    switch (ucSubCmd) {
    case SMART_READ_DATA:
    case SMART_READ_THRESHOLDS:
    case SMART_READ_LOG: return {STP_DIR_IN, STP_PIO_IN};
    case SMART_AUTOSAVE:
    case SMART_SAVE_ATTRIBUTES:
    case SMART_OFFLINE_IMMEDIATE:
    case SMART_ENABLE_OPERATIONS:
    case SMART_DISABLE_OPERATIONS:
    case SMART_RETURN_STATUS:
    case SMART_AUTO_OFFLINE: return {STP_DIR_NONE, STP_NON_DATA};
    case SMART_WRITE_LOG: return {STP_DIR_OUT, STP_PIO_OUT};
    default: return {STP_DIR_UNKNOWN, STP_UNKNOWN};
    }
}

// The answer of SMART RETURN STATUS: the drive leaves the signature 4F/C2 in
// LBA 15:8 and 23:16 of its response FIS while no threshold is exceeded,
// F4/2C once one is. The two bytes are kept whatever they hold.
enum class SmartVerdict { Passed, ThresholdExceeded, Unknown };
struct SmartStatus {
    SmartVerdict verdict;
    U8 lbaMid;
    U8 lbaHigh;
};
// Byte map of the Device-to-Host FIS read here: 5 LBA 15:8 | 6 LBA 23:16
constexpr SmartStatus smart_status(const U8* response) {
    const U8 mid = response[5];
    const U8 high = response[6];
    const SmartVerdict v = mid == 0x4F && high == 0xC2   ? SmartVerdict::Passed
                           : mid == 0xF4 && high == 0x2C ? SmartVerdict::ThresholdExceeded
                                                         : SmartVerdict::Unknown;
    return {v, mid, high};
}
