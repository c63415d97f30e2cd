// The command descriptor blocks of the SCSI commands the tool can send. Pure
// functions: they only lay out bytes, so that every layout can be checked on
// its own; the Store... functions hand the result to SendStor. Multi-byte
// fields are big-endian; where a field is narrower than its argument the
// higher bits are dropped on purpose (the drive would refuse nothing else).
#pragma once

#include <array>
#include <cstdint>

#include "be.h"
#include "types.h"

namespace cdb {

using Cdb6 = std::array<U8, 6>;
using Cdb10 = std::array<U8, 10>;

// 12 00 00 00 60 00 : INQUIRY, standard data, 96 bytes
constexpr Cdb6 inquiry() { return {0x12, 0x00, 0x00, 0x00, 0x60, 0x00}; }

// 00 00 00 00 00 00 : TEST UNIT READY
constexpr Cdb6 test_unit_ready() { return {}; }

// 03 00 00 00 20 00 : REQUEST SENSE, 32 bytes
constexpr Cdb6 request_sense() { return {0x03, 0x00, 0x00, 0x00, 0x20, 0x00}; }

// 25 00 00 00 00 00 00 00 00 00 : READ CAPACITY(10)
constexpr Cdb10 read_capacity10() { return {0x25}; }

// op 00 [lba 31..0] 00 [blocks 15..0] 00 : the READ(10) family
constexpr Cdb10 rw10(U8 opcode, U32 lba, U32 blocks) {
    Cdb10 c{};
    c[0] = opcode;
    be::put32(&c[2], lba);
    be::put16(&c[7], blocks);
    return c;
}
constexpr Cdb10 read10(U32 lba, U32 blocks) { return rw10(0x28, lba, blocks); }
constexpr Cdb10 write10(U32 lba, U32 blocks) { return rw10(0x2A, lba, blocks); }
constexpr Cdb10 write_same10(U32 lba, U32 blocks) { return rw10(0x41, lba, blocks); }
// byte 1 stays 0: no byte-by-byte compare
constexpr Cdb10 verify10(U32 lba, U32 blocks) { return rw10(0x2F, lba, blocks); }

// 1A 00 [page] [subpage] [alloc 7..0] 00 : MODE SENSE(6); the page byte
// carries page control and page code as the caller set them
constexpr Cdb6 mode_sense6(U8 ucPageCode, U8 ucSubPage, U16 usAllocLen) {
    return {0x1A, 0x00, ucPageCode, ucSubPage, static_cast<U8>(usAllocLen), 0x00};
}

// 15 [flags] 00 00 [len 7..0] 00 : MODE SELECT(6); flags hold PF and SP
constexpr Cdb6 mode_select6(U8 ucFlags, U16 usParamLen) {
    return {0x15, ucFlags, 0x00, 0x00, static_cast<U8>(usParamLen), 0x00};
}

// 1B 00 00 00 [condition] 00 : START STOP UNIT
constexpr Cdb6 start_stop_unit(U8 ucCondition) { return {0x1B, 0x00, 0x00, 0x00, ucCondition, 0x00}; }

// 1D [(code & 3) << 5] 00 00 00 00 : SEND DIAGNOSTIC, self-test code in bits 6..5
constexpr Cdb6 send_diagnostic(U8 ucSelfTest) {
    return {0x1D, static_cast<U8>((ucSelfTest & 0x03u) << 5), 0x00, 0x00, 0x00, 0x00};
}

// 3B [mode & 7] 00 [offset 23..0] [length 23..0] 00 : WRITE BUFFER, buffer id 0
constexpr Cdb10 write_buffer(U8 ucMode, U32 offset, U32 length) {
    Cdb10 c{};
    c[0] = 0x3B;
    c[1] = static_cast<U8>(ucMode & 0x07u);
    be::put24(&c[3], offset);
    be::put24(&c[6], length);
    return c;
}

// 4D 00 [01b << 6 | page 5..0] [subpage] 00 [param ptr] [alloc] 00 : LOG
// SENSE, cumulative values
constexpr Cdb10 log_sense_subpage(U8 ucPageCode, U8 ucSubPage, U16 usParamPtr, U16 usAllocLen) {
    Cdb10 c{};
    c[0] = 0x4D;
    c[2] = static_cast<U8>((ucPageCode & 0x3Fu) | 0x40u);
    c[3] = ucSubPage;
    be::put16(&c[5], usParamPtr);
    be::put16(&c[7], usAllocLen);
    return c;
}
constexpr Cdb10 log_sense(U8 ucPageCode, U16 usParamPtr, U16 usAllocLen) {
    return log_sense_subpage(ucPageCode, 0, usParamPtr, usAllocLen);
}

// 37 00 [P << 4 | G << 3 | format 2..0] 00 00 00 00 [alloc] 00 : READ DEFECT
// DATA(10); the format is the one asked for, the header says the one sent
constexpr Cdb10 read_defect_data10(bool bPList, bool bGList, U8 ucFormat, U16 usAllocLen) {
    Cdb10 c{};
    c[0] = 0x37;
    c[2] = static_cast<U8>((bPList ? 0x10u : 0u) | (bGList ? 0x08u : 0u) | (ucFormat & 0x07u));
    be::put16(&c[7], usAllocLen);
    return c;
}

// FE [type] 00 [offset 23..0] [length 23..0] 00 : vendor internal-log read
constexpr Cdb10 internal_log(U8 ucLogType, U32 offset, U32 length) {
    Cdb10 c{};
    c[0] = 0xFE;
    c[1] = ucLogType;
    be::put24(&c[3], offset);
    be::put24(&c[6], length);
    return c;
}

// Transfer length of the READ(10) family: the block size widened with its
// sign, times the block count, wrapping at 32 bits as the record field does.
constexpr U32 block_transfer_length(int16_t sBlockSize, int32_t iAcsBlocks) {
    return static_cast<U32>(static_cast<int32_t>(sBlockSize)) * static_cast<U32>(iAcsBlocks);
}

}  // namespace cdb
