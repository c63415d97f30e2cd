// The ATA command FIS and transfer parameters, checked byte for byte without
// sending anything.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "atafis.h"

namespace {

// The FIS as it travels: byte 2k is the low byte of word k.
std::string fis_hex(const AtaFis& w) {
    std::string s;
    char b[3];
    for (U16 word : w) {
        std::snprintf(b, sizeof b, "%02x", word & 0xFF);
        s += b;
        std::snprintf(b, sizeof b, "%02x", word >> 8);
        s += b;
    }
    return s;
}

std::string without_blanks(std::string s) {
    std::erase(s, ' ');
    return s;
}

struct PackCase {
    const char* name;
    AtaRegs regs;
    const char* fis;
};

// Each register alone, so that a value landing in the wrong byte shows.
const PackCase kPackCases[] = {
    {"nothing", {0, 0, 0, 0, 0}, "27 80 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    {"command", {0xEC, 0, 0, 0, 0}, "27 80 ec 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    {"features", {0, 0xD8, 0, 0, 0}, "27 80 00 d8 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    {"lba 7:0", {0, 0, 0xBC, 0, 0}, "27 80 00 00 bc 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    {"lba 15:8", {0, 0, 0x9A00, 0, 0}, "27 80 00 00 00 9a 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    {"lba 23:16", {0, 0, 0x780000, 0, 0}, "27 80 00 00 00 00 78 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    {"device", {0, 0, 0, 0xE0, 0}, "27 80 00 00 00 00 00 e0 00 00 00 00 00 00 00 00 00 00 00 00"},
    {"lba 31:24", {0, 0, 0x56000000, 0, 0}, "27 80 00 00 00 00 00 00 56 00 00 00 00 00 00 00 00 00 00 00"},
    {"lba 39:32", {0, 0, 0x3400000000, 0, 0}, "27 80 00 00 00 00 00 00 00 34 00 00 00 00 00 00 00 00 00 00"},
    {"lba 47:40", {0, 0, 0x120000000000, 0, 0}, "27 80 00 00 00 00 00 00 00 00 12 00 00 00 00 00 00 00 00 00"},
    {"lba 63:48 dropped",
     {0, 0, 0xFFFF000000000000, 0, 0},
     "27 80 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    {"count 7:0", {0, 0, 0, 0, 0x08}, "27 80 00 00 00 00 00 00 00 00 00 00 08 00 00 00 00 00 00 00"},
    {"count 15:8", {0, 0, 0, 0, 0x0100}, "27 80 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 00 00 00"},
    {"all at once",
     {0x24, 0x5A, 0xFFFF123456789ABC, 0xE0, 0xBEEF},
     "27 80 24 5a bc 9a 78 e0 56 34 12 00 ef be 00 00 00 00 00 00"},
};

TEST(SataFis, PackerPutsEachRegisterInItsByte) {
    for (const PackCase& c : kPackCases) {
        EXPECT_EQ(fis_hex(pack_h2d_fis(c.regs)), without_blanks(c.fis)) << c.name;
    }
}

struct BuilderCase {
    const char* name;
    AtaFis fis;
    const char* expected;
};

// What the trace of the sends cannot show: the sector count cut to 16 bits.
const BuilderCase kBuilderCases[] = {
    {"count above bit 15", ReadSectorExtCom(0, 0x12345), "27 80 24 00 00 00 00 e0 00 00 00 00 45 23 00 00 00 00 00 00"},
    {"count of -1", RVerifySectorExtCom(0, -1), "27 80 42 00 00 00 00 e0 00 00 00 00 ff ff 00 00 00 00 00 00"},
    {"write dma", WriteDmaExtCom(0x0000FFFFFFFFFFFF, 0xFFFF),
     "27 80 35 00 ff ff ff e0 ff ff ff 00 ff ff 00 00 00 00 00 00"},
    // Log address in LBA 7:0 beside the SMART signature, sectors in Count.
    {"smart read log", SmartReadLogCom(0x06, 1), "27 80 b0 d5 06 4f c2 a0 00 00 00 00 01 00 00 00 00 00 00 00"},
    {"smart read log, 64 sectors", SmartReadLogCom(0xA1, 64),
     "27 80 b0 d5 a1 4f c2 a0 00 00 00 00 40 00 00 00 00 00 00 00"},
    // Page 15:8 in LBA 39:32, page 7:0 in LBA 15:8; nothing in LBA 23:16 or 47:40.
    {"read log ext", ReadLogExtCom(0x04, 0x0105, 2), "27 80 2f 00 04 05 00 e0 00 01 00 00 02 00 00 00 00 00 00 00"},
    {"read log ext, all ones", ReadLogExtCom(0xFF, 0xFFFF, 0xFFFF),
     "27 80 2f 00 ff ff 00 e0 00 ff 00 00 ff ff 00 00 00 00 00 00"},
};

TEST(SataFis, BuildersLayOutTheirCommands) {
    for (const BuilderCase& c : kBuilderCases) {
        EXPECT_EQ(fis_hex(c.fis), without_blanks(c.expected)) << c.name;
    }
}

struct LengthCase {
    int16_t sBlockSize;
    int iAcsBlocks;
    int iTransLen;
};

// A negative block size is sign-extended, and a product beyond 32 bits keeps
// its low 32 bits (evaluated at compile time too, where overflow would be an
// error).
constexpr LengthCase kLengthCases[] = {
    {512, 8, 4096},
    {512, 64, 32768},
    {512, 0, 0},
    {-1, 1, -1},
    {-512, 8, -4096},
    {0x7FFF, 0x10000, 0x7FFF0000},
    {0x7FFF, 0x20000, -131072},  // 0xFFFE0000
    {512, 0x800000, 0},          // 2^32
    {-32768, -65536, static_cast<int>(0x80000000u)},
};

static_assert(transfer_length(0x7FFF, 0x20000) == -131072);
static_assert(transfer_length(-32768, -65536) == static_cast<int>(0x80000000u));

TEST(SataFis, TransferLengthIsSignExtendedAndWraps) {
    for (const LengthCase& c : kLengthCases) {
        EXPECT_EQ(transfer_length(c.sBlockSize, c.iAcsBlocks), c.iTransLen) << c.sBlockSize << " x " << c.iAcsBlocks;
    }
}

struct SmartCase {
    U8 ucSubCmd;
    int iDirection;
    U32 ulStpFlag;
};

const SmartCase kSmartCases[] = {
    {0xD0, 2, 0x11},        {0xD1, 2, 0x11},        {0xD5, 2, 0x11},        {0xD2, 0, 0x10},
    {0xD3, 0, 0x10},        {0xD4, 0, 0x10},        {0xD8, 0, 0x10},        {0xD9, 0, 0x10},
    {0xDA, 0, 0x10},        {0xDB, 0, 0x10},        {0xD6, 1, 0x12},        {0xD7, -1, 0xFFFFFFFF},
    {0xC0, -1, 0xFFFFFFFF}, {0xE0, -1, 0xFFFFFFFF}, {0xCF, -1, 0xFFFFFFFF}, {0xDC, -1, 0xFFFFFFFF},
    {0x00, -1, 0xFFFFFFFF}, {0xFF, -1, 0xFFFFFFFF},
};

// The verdict of SMART RETURN STATUS from the response FIS's LBA 15:8 and
// 23:16 (bytes 5 and 6); every other byte plays no part.
TEST(SataFis, SmartStatusComesFromLbaMidAndHigh) {
    struct Case {
        U8 at5, at6, around;
        SmartVerdict verdict;
    };
    const Case cases[] = {
        {0x4F, 0xC2, 0x00, SmartVerdict::Passed},  {0xF4, 0x2C, 0x00, SmartVerdict::ThresholdExceeded},
        {0x4F, 0xC2, 0xF4, SmartVerdict::Passed},  {0x4F, 0x2C, 0x00, SmartVerdict::Unknown},
        {0xF4, 0xC2, 0x00, SmartVerdict::Unknown}, {0xC2, 0x4F, 0x00, SmartVerdict::Unknown},
        {0x00, 0x00, 0x00, SmartVerdict::Unknown},
    };
    for (const Case& c : cases) {
        U8 fis[20];
        std::memset(fis, c.around, sizeof fis);
        fis[5] = c.at5;
        fis[6] = c.at6;
        const SmartStatus s = smart_status(fis);
        EXPECT_EQ(s.verdict, c.verdict) << std::hex << int{c.at5} << " " << int{c.at6};
        EXPECT_EQ(s.lbaMid, c.at5);
        EXPECT_EQ(s.lbaHigh, c.at6);
    }
}

TEST(SataFis, SmartSubCommandChoosesDirectionAndProtocol) {
    for (const SmartCase& c : kSmartCases) {
        const StpProtocol p = smart_protocol(c.ucSubCmd);
        EXPECT_EQ(p.iDirection, c.iDirection) << std::hex << int{c.ucSubCmd};
        EXPECT_EQ(p.ulStpFlag, c.ulStpFlag) << std::hex << int{c.ucSubCmd};
    }
}

}  // namespace
