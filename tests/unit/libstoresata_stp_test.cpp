// The STP sender and the ATA builders against the simulated storage library:
// what reaches raidstor, byte for byte, and what comes back in ERRINFOSTP.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Kestra02.h"
#include "atafis.h"
#include "libstoresata.h"
#include "sim.h"

namespace {

using Lines = std::vector<std::string>;
using Send = std::function<int(SL_STP_PASSTHRU_T*, ERRINFOSTP*)>;

class SataStp : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = ProcessLibCommandF;
        ProcessLibCommandF = sim::ProcessLibCommand;
    }
    void TearDown() override { ProcessLibCommandF = saved_; }

    // A 48-bit medium, so that any LBA that travels can be read.
    static void load(const std::string& extra) {
        sim::load_scenario(
            "controller 0\ncontroller 1\ndevice 0 5 sata blocks 0xffffffffffff\n"
            "device 0 261 sata\ndevice 1 7 sata\n" +
            extra);
    }

    SL_STP_PASSTHRU_T* stp() { return reinterpret_cast<SL_STP_PASSTHRU_T*>(buf_.data()); }
    U8* response() { return buf_.data() + 40; }
    U8* data() { return buf_.data() + 60; }

    static bool zero(const void* p, size_t n) {
        const auto* b = static_cast<const U8*>(p);
        return std::all_of(b, b + n, [](U8 v) { return v == 0; });
    }

    std::vector<U8> buf_ = std::vector<U8>(STP_PASSTHRU_BUFFER_SIZE);
    ERRINFOSTP err_{};
    ProcessLibCommand_t saved_ = nullptr;
};

struct SendCase {
    const char* name;
    Send send;
    const char* line;  // the trace line from "ctrl="
};

const SendCase kSendCases[] = {
    {"smart enable operations", [](auto* p, auto* e) { return StoreSmart(0, 5, 0xD8, 0, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=60 tgt=5 dir=0 timeout=10 "
     "flags=00000010 resplen=20 datalen=0 fis=2780b0d8004fc2a0000000000000000000000000 rc=0"},
    {"smart read data", [](auto* p, auto* e) { return StoreSmart(0, 5, 0xD0, 512, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=572 tgt=5 dir=2 timeout=10 "
     "flags=00000011 resplen=20 datalen=512 fis=2780b0d0004fc2a0000000000000000000000000 rc=0"},
    {"smart unlisted d7", [](auto* p, auto* e) { return StoreSmart(0, 5, 0xD7, 0, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=60 tgt=5 dir=255 timeout=10 "
     "flags=ffffffff resplen=20 datalen=0 fis=2780b0d7004fc2a0000000000000000000000000 rc=0"},
    {"smart unlisted c0", [](auto* p, auto* e) { return StoreSmart(0, 5, 0xC0, 0, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=60 tgt=5 dir=255 timeout=10 "
     "flags=ffffffff resplen=20 datalen=0 fis=2780b0c0004fc2a0000000000000000000000000 rc=0"},
    {"smart unlisted e0", [](auto* p, auto* e) { return StoreSmart(0, 5, 0xE0, 0, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=60 tgt=5 dir=255 timeout=10 "
     "flags=ffffffff resplen=20 datalen=0 fis=2780b0e0004fc2a0000000000000000000000000 rc=0"},
    {"identify", [](auto* p, auto* e) { return StoreIdentify(0, 5, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=572 tgt=5 dir=2 timeout=10 "
     "flags=00000011 resplen=20 datalen=512 fis=2780ec0000000000000000000000000000000000 rc=0"},
    {"read sectors", [](auto* p, auto* e) { return StoreRSector_Ext(0, 5, 0x123456789ABC, 512, 8, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=4156 tgt=5 dir=2 timeout=10 "
     "flags=00000011 resplen=20 datalen=4096 fis=27802400bc9a78e0563412000800000000000000 rc=0"},
    {"read sectors, lba bits above 47",
     [](auto* p, auto* e) { return StoreRSector_Ext(0, 5, 0xFEDC123456789ABC, 512, 8, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=4156 tgt=5 dir=2 timeout=10 "
     "flags=00000011 resplen=20 datalen=4096 fis=27802400bc9a78e0563412000800000000000000 rc=0"},
    {"read dma", [](auto* p, auto* e) { return StoreRDma_Ext(0, 5, 0x10, 4096, 8, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=32828 tgt=5 dir=2 timeout=10 "
     "flags=00000021 resplen=20 datalen=32768 fis=27802500100000e0000000000800000000000000 rc=0"},
    {"write sectors", [](auto* p, auto* e) { return StoreWSector_Ext(0, 5, 0x123456789ABC, 512, 8, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=4156 tgt=5 dir=1 timeout=10 "
     "flags=00000012 resplen=20 datalen=4096 fis=27803400bc9a78e0563412000800000000000000 rc=0"},
    {"write dma", [](auto* p, auto* e) { return StoreWDma_Ext(0, 5, 0x123456789ABC, 512, 1, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=572 tgt=5 dir=1 timeout=10 "
     "flags=00000022 resplen=20 datalen=512 fis=27803500bc9a78e0563412000100000000000000 rc=0"},
    {"read verify", [](auto* p, auto* e) { return StoreRVSector_Ext(0, 5, 0x123456789ABC, 4096, 8, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=60 tgt=5 dir=0 timeout=10 "
     "flags=00000010 resplen=20 datalen=0 fis=27804200bc9a78e0563412000800000000000000 rc=0"},
    {"smart read log", [](auto* p, auto* e) { return StoreSmartReadLog(0, 5, 0x06, 1, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=572 tgt=5 dir=2 timeout=10 "
     "flags=00000011 resplen=20 datalen=512 fis=2780b0d5064fc2a0000000000100000000000000 rc=0"},
    {"read log ext", [](auto* p, auto* e) { return StoreReadLogExt(0, 5, 0x04, 0x0001, 2, p, e); },
     "ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=1084 tgt=5 dir=2 timeout=10 "
     "flags=00000011 resplen=20 datalen=1024 fis=27802f00040100e0000000000200000000000000 rc=0"},
    {"target id above 255", [](auto* p, auto* e) { return StoreSmart(0, 261, 0xD8, 0, p, e); },
     "ctrl=0 ref=0501000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=60 tgt=5 dir=0 timeout=10 "
     "flags=00000010 resplen=20 datalen=0 fis=2780b0d8004fc2a0000000000000000000000000 rc=0"},
    {"second controller", [](auto* p, auto* e) { return StoreSmart(1, 7, 0xD8, 0, p, e); },
     "ctrl=1 ref=0700000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=60 tgt=7 dir=0 timeout=10 "
     "flags=00000010 resplen=20 datalen=0 fis=2780b0d8004fc2a0000000000000000000000000 rc=0"},
};

TEST_F(SataStp, EachCommandReachesRaidstorAsLaidOut) {
    for (const SendCase& c : kSendCases) {
        load("");
        c.send(stp(), &err_);
        EXPECT_EQ(sim::trace(), Lines{std::string("lib type=6 cmd=2 ") + c.line}) << c.name;
    }
}

TEST_F(SataStp, ReadDataLandsBehindTheResponseArea) {
    load("");
    ASSERT_EQ(StoreSmart(0, 5, 0xD0, 512, stp(), &err_), 1);
    // A SMART data structure sums to zero over its 512 bytes; read from the
    // wrong offset it would not.
    unsigned sum = 0;
    for (int i = 0; i < 512; ++i) sum += data()[i];
    EXPECT_EQ(sum % 256, 0u);
    EXPECT_FALSE(zero(data(), 512));
}

TEST_F(SataStp, WrittenSectorsReadBack) {
    load("");
    for (int i = 0; i < 1024; ++i) data()[i] = static_cast<U8>(i * 13 + 1);
    ASSERT_EQ(StoreWSector_Ext(0, 5, 100, 512, 2, stp(), &err_), 1);
    std::memset(data(), 0, 1024);
    ASSERT_EQ(StoreRDma_Ext(0, 5, 100, 512, 2, stp(), &err_), 1);
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(data()[i], static_cast<U8>(i * 13 + 1)) << i;
}

struct AnswerCase {
    const char* fault;
    int result;
    int32_t code;  // iApiErr
    U8 status, error;
};

// A good answer, then answers that differ from it in one field.
const AnswerCase kAnswerCases[] = {
    {"", 1, 0, 0, 0},
    {"ata-error 0 5 stp error 0x00 status 0x50\n", 1, 0, 0x50, 0x00},
    {"ata-error 0 5 stp error 0x04 status 0x50\n", 1, 0, 0x50, 0x04},  // Error register alone
    {"ata-error 0 5 stp error 0x04 status 0x51\n", 0, 0, 0x51, 0x04},
    {"ata-error 0 5 smart:d0 error 0x00 status 0x01\n", 0, 0, 0x01, 0x00},
    {"ata-error 0 5 stp:b0 error 0x10 status 0x41\n", 0, 0, 0x41, 0x10},
    {"fault 0 5 stp code 0x1234\n", 0, 0x1234, 0, 0},
    {"fault 0 5 smart:d0 code 0xffffffff\n", 0, -1, 0, 0},
    {"fault 0 5 stp:b0 code 0x80000001\n", 0, static_cast<int32_t>(0x80000001u), 0, 0},
};

TEST_F(SataStp, ErrInfoDescribesTheLastCommand) {
    for (const AnswerCase& c : kAnswerCases) {
        load(c.fault);
        // A failed answer left in the buffer and detail left from before must
        // not show through.
        std::memset(response(), 0xFF, 20);
        std::memset(&err_, 0xAA, sizeof err_);
        EXPECT_EQ(StoreSmart(0, 5, 0xD0, 512, stp(), &err_), c.result) << c.fault;
        EXPECT_EQ(err_.iApiErr, c.code) << c.fault;
        if (c.code == 0 && c.status != 0) {
            // The drive really answered with these registers.
            EXPECT_EQ(response()[2], c.status) << c.fault;
            EXPECT_EQ(response()[3], c.error) << c.fault;
        }
        if (c.result == 1 || c.code != 0) {
            EXPECT_TRUE(zero(reinterpret_cast<U8*>(&err_) + 4, 40)) << c.fault;
            continue;
        }
        const AtaFis sent = SmartCom(0xD0);
        EXPECT_EQ(std::memcmp(err_.usAtaCom, sent.data(), 20), 0) << c.fault;
        EXPECT_EQ(std::memcmp(err_.ucfisResBuff, response(), 20), 0) << c.fault;
    }
}

// A library that accepts a command and writes nothing: what the drive did
// not send reads as zeros, never as the answer of the command before.
int writes_nothing(SL_LIB_CMD_PARAM_T*) { return 0; }

TEST_F(SataStp, WhatIsNotWrittenReadsAsZeros) {
    std::memset(response(), 0xFF, 20);
    std::memset(data(), 0xEE, 1024);
    ProcessLibCommandF = writes_nothing;
    EXPECT_EQ(StoreSmart(0, 5, 0xDA, 0, stp(), &err_), 1);
    EXPECT_TRUE(zero(response(), 20));
    EXPECT_EQ(smart_status(response()).verdict, SmartVerdict::Unknown);
    EXPECT_EQ(StoreReadLogExt(0, 5, 0x04, 0, 1, stp(), &err_), 1);
    EXPECT_TRUE(zero(data(), 512));
    EXPECT_EQ(data()[512], 0xEE);  // beyond the transfer: not the command's
}

}  // namespace
