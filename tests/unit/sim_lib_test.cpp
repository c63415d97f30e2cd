// The simulated storage library in process: answers cut as a drive cuts
// them, the fault rules' counting, SATA data integrity, the trace lines and
// the buffer limits it must never cross.
#include <gtest/gtest.h>

#include <sys/time.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "raidstor.h"
#include "sim.h"

namespace {

constexpr U8 kGuard = 0xEE;
constexpr size_t kSlack = 16;  // guard bytes behind dataSize

// One SCSI pass-through request with guard bytes behind the buffer.
struct Scsi {
    std::vector<U8> buf;
    SL_LIB_CMD_PARAM_T req{};

    Scsi(unsigned ctrl, U16 id, std::vector<U8> cdb, U32 dataLen, U32 dataSize = 0) {
        if (dataSize == 0) dataSize = 64 + dataLen;
        buf.assign(std::max<size_t>(dataSize, 64) + kSlack, kGuard);
        auto* pt = header();
        memset(buf.data(), 0, 64);
        pt->targetId = id;
        pt->fixedOne = 1;
        pt->dir = 2;
        pt->timeout = 10;
        pt->cdbLen = static_cast<U8>(cdb.size());
        memcpy(pt->cdb, cdb.data(), cdb.size());
        pt->dataLen = dataLen;
        req.cmdType = 6;
        req.cmd = 0;
        req.ctrlId = ctrl;
        req.devRef.pdRef.deviceId = id;
        req.dataSize = dataSize;
        req.pData = buf.data();
    }
    SCSI_PASSTHRU_T* header() { return reinterpret_cast<SCSI_PASSTHRU_T*>(buf.data()); }
    U8* data() { return buf.data() + 64; }
    int send() { return sim::ProcessLibCommand(&req); }
    // Bytes of the data area that the library wrote (not the guard value).
    size_t written() const {
        size_t n = buf.size();
        while (n > 64 && buf[n - 1] == kGuard) --n;
        return n - 64;
    }
};

std::vector<U8> log_sense(U8 page, U16 alloc) {
    return {0x4D, 0x00, static_cast<U8>(0x40 | page), 0, 0, 0, 0, static_cast<U8>(alloc >> 8), static_cast<U8>(alloc),
            0};
}

// One STP request: FIS words as the builders lay them out.
struct Stp {
    std::vector<U8> buf;
    SL_LIB_CMD_PARAM_T req{};

    Stp(unsigned ctrl, U16 id, std::vector<U8> fis, U32 dataLen, U8 dir, U32 flags) {
        buf.assign(60 + dataLen + kSlack, kGuard);
        memset(buf.data(), 0, 60);
        auto* p = reinterpret_cast<SL_STP_PASSTHRU_T*>(buf.data());
        p->targetId = static_cast<U8>(id);
        p->dir = dir;
        p->timeout = 10;
        p->stpFlags = flags;
        fis.resize(20);
        memcpy(buf.data() + 8, fis.data(), 20);
        p->fisResponseLen = 20;
        p->dataLen = dataLen;
        req.cmdType = 6;
        req.cmd = 2;
        req.ctrlId = ctrl;
        req.devRef.pdRef.deviceId = id;
        req.dataSize = 60 + dataLen;
        req.pData = buf.data();
    }
    int send() { return sim::ProcessLibCommand(&req); }
    const U8* response() const { return buf.data() + 40; }
    const U8* data() const { return buf.data() + 60; }
};

std::vector<U8> smart_fis(U8 sub) { return {0x27, 0x80, 0xB0, sub, 0x00, 0x4F, 0xC2, 0xA0}; }

const char kDisks[] = R"(
controller 0
device 0 1 sas
page 0 1 0x03 "03 00 00 10 00 00 00 08 11 22 33 44 55 66 77 88 99 aa bb cc"
internal 0 1 2 20
device 0 2 sata serial Z1SATA
device 0 3 silent
)";

TEST(SimLib, LogPagesAreCutToTheAllocationLengthAndTheDataArea) {
    sim::load_scenario(kDisks);
    const struct {
        U16 alloc;
        U32 dataLen;
        size_t delivered;
    } cases[] = {
        {4, 4, 4}, {4, 100, 4}, {100, 4, 4}, {20, 20, 20}, {300, 300, 20}, {0, 50, 0}, {19, 19, 19},
    };
    for (const auto& c : cases) {
        Scsi r(0, 1, log_sense(0x03, c.alloc), c.dataLen);
        ASSERT_EQ(r.send(), 0) << c.alloc << "/" << c.dataLen;
        EXPECT_EQ(r.written(), c.delivered) << c.alloc << "/" << c.dataLen;
        EXPECT_EQ(r.header()->scsiStatus, 0);
        if (c.delivered >= 4) {
            EXPECT_EQ(r.data()[3], 0x10);
        }
    }
}

TEST(SimLib, SupportedPagesAreGeneratedAndUnknownPagesFailLikeADrive) {
    sim::load_scenario(kDisks);
    Scsi list(0, 1, log_sense(0x00, 64), 64);
    ASSERT_EQ(list.send(), 0);
    ASSERT_EQ(list.written(), 5u);
    EXPECT_EQ(std::vector<U8>(list.data(), list.data() + 5), (std::vector<U8>{0x00, 0x00, 0x00, 0x01, 0x03}));

    Scsi unknown(0, 1, log_sense(0x2F, 64), 64);
    EXPECT_EQ(unknown.send(), 4);
    EXPECT_EQ(unknown.header()->scsiStatus, 0x02);
    const U8 sense[14] = {0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x24, 0};
    EXPECT_EQ(memcmp(unknown.header()->senseData, sense, sizeof sense), 0);
    EXPECT_EQ(unknown.written(), 0u);
}

TEST(SimLib, NothingAnswersAtSilentOrUndeclaredIds) {
    sim::load_scenario(kDisks);
    const std::vector<U8> inquiry = {0x12, 0, 0, 0, 0x60, 0};
    for (U16 id : {3, 4, 200}) {
        Scsi r(0, id, inquiry, 96);
        EXPECT_NE(r.send(), 0) << id;
        EXPECT_EQ(r.written(), 0u) << id;
    }
    Scsi other_controller(1, 1, inquiry, 96);
    EXPECT_NE(other_controller.send(), 0);
}

TEST(SimLib, TooSmallBuffersAreRefusedAndNeverWrittenPast) {
    sim::load_scenario(kDisks);
    // dataSize one short of the header plus dataLen.
    Scsi scsi(0, 1, log_sense(0x03, 20), 20, 64 + 19);
    EXPECT_NE(scsi.send(), 0);
    EXPECT_EQ(scsi.written(), 0u);

    Stp stp(0, 2, {0x27, 0x80, 0xEC}, 512, 2, 0x11);
    stp.req.dataSize = 60 + 511;
    stp.buf.resize(60 + 511 + kSlack);
    EXPECT_NE(stp.send(), 0);
    for (size_t i = 40; i < stp.buf.size(); ++i) ASSERT_EQ(stp.buf[i], i < 60 ? 0 : kGuard) << i;

    // A result record larger than the buffer offered.
    std::vector<U8> info(2047 + kSlack, kGuard);
    SL_LIB_CMD_PARAM_T req{};
    req.cmdType = 1;
    req.dataSize = 2047;
    req.pData = info.data();
    EXPECT_NE(sim::ProcessLibCommand(&req), 0);
    for (U8 b : info) ASSERT_EQ(b, kGuard);
}

TEST(SimLib, InternalSectionsAreCutToTheRequestAndTheDataArea) {
    sim::load_scenario("controller 0\ndevice 0 0 sas\ninternal 0 0 4 16777218\ninternal 0 0 1 20\n");
    const struct {
        U8 type;
        U32 len;  // CDB bytes 6..8 and dataLen
        size_t delivered;
    } cases[] = {{1, 4, 4}, {1, 23, 20}, {1, 8, 8}, {4, 4, 4}, {4, 16777218, 16777218}};
    for (const auto& c : cases) {
        std::vector<U8> cdb = {
            0xFE, c.type, 0, 0, 0, 0, static_cast<U8>(c.len >> 16), static_cast<U8>(c.len >> 8), static_cast<U8>(c.len),
            0};
        Scsi r(0, 0, cdb, c.len);
        ASSERT_EQ(r.send(), 0);
        EXPECT_EQ(r.written(), c.delivered);
        EXPECT_EQ(r.data()[0], c.type);
        if (c.delivered >= 4) {
            U32 l = static_cast<U32>(r.data()[1]) << 16 | r.data()[2] << 8 | r.data()[3];
            EXPECT_EQ(l + 3, c.type == 4 ? 16777218u : 20u);
        }
        if (c.delivered == 16777218) {
            EXPECT_EQ(r.data()[16777217], static_cast<U8>(16777213));
        }
    }
    // Type 2 is not declared.
    Scsi missing(0, 0, {0xFE, 2, 0, 0, 0, 0, 0, 0, 4, 0}, 4);
    EXPECT_EQ(missing.send(), 4);
}

// Each rule counts the sends of its own WHAT on its own device.
TEST(SimLib, NthFaultsCountPerDevicePerCommand) {
    const struct {
        const char* rule;
        std::vector<std::pair<U16, U8>> sends;  // (device, page)
        std::vector<int> rcs;
    } cases[] = {
        {"fault 0 1 logsense:03 nth 2 code 7", {{1, 3}, {1, 0}, {1, 3}, {1, 3}}, {0, 0, 7, 0}},
        {"fault 0 1 logsense nth 2 code 7", {{1, 3}, {1, 0}, {1, 3}}, {0, 7, 0}},
        {"fault 0 1 logsense:03 nth 2 code 7", {{2, 3}, {1, 3}, {2, 3}, {1, 3}}, {0, 0, 0, 7}},
        {"fault 0 * logsense:03 nth 2 code 7", {{2, 3}, {1, 3}, {2, 3}}, {0, 7, 0}},
        {"fault 0 1 logsense:03 code -2", {{1, 3}, {1, 0}, {1, 3}}, {-2, 0, -2}},
        {"fault 0 1 scsi:4d nth 3 code 0x80000001", {{1, 0}, {1, 0}, {1, 3}}, {0, 0, static_cast<int>(0x80000001)}},
        {"delay 0 1 logsense ms 1\nfault 0 1 logsense:03 nth 1 code 9\nfault 0 1 logsense nth 1 code 8", {{1, 3}}, {9}},
    };
    for (const auto& c : cases) {
        sim::load_scenario(std::string(kDisks) + "device 0 4 sas\npage 0 4 0x03 \"03 00 00 00\"\n" + c.rule);
        for (size_t i = 0; i < c.sends.size(); ++i) {
            U16 id = c.sends[i].first == 2 ? 4 : c.sends[i].first;  // 2 stands for the second SAS disk
            Scsi r(0, id, log_sense(c.sends[i].second, 4), 4);
            EXPECT_EQ(r.send(), c.rcs[i]) << c.rule << " send " << i + 1;
        }
    }
}

// A signal that cuts the wait short must not shorten the delay: the tool's
// interrupt tests rely on a call that really blocks.
TEST(SimLib, DelaysOutlastSignals) {
    sim::load_scenario(std::string(kDisks) + "delay 0 1 logsense:03 nth 2 ms 150\n");
    struct sigaction sa {
    }, old{};
    sa.sa_handler = [](int) {};
    sigemptyset(&sa.sa_mask);
    ASSERT_EQ(sigaction(SIGALRM, &sa, &old), 0);  // no SA_RESTART: poll() sees EINTR
    itimerval every_20ms{{0, 20000}, {0, 20000}}, off{};
    ASSERT_EQ(setitimer(ITIMER_REAL, &every_20ms, nullptr), 0);
    std::vector<long> ms;
    for (int i = 0; i < 3; ++i) {
        Scsi r(0, 1, log_sense(0x03, 4), 4);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(r.send(), 0);
        ms.push_back(static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()));
    }
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &old, nullptr);
    EXPECT_LT(ms[0], 100);
    EXPECT_GE(ms[1], 150);
    EXPECT_LT(ms[2], 100);
}

TEST(SimLib, FaultsCarryTheirSenseAndStatus) {
    sim::load_scenario(std::string(kDisks) + "fault 0 1 logsense:03 code 4 sense \"70 00 04 00\"\n");
    Scsi r(0, 1, log_sense(0x03, 4), 4);
    EXPECT_EQ(r.send(), 4);
    EXPECT_EQ(r.header()->scsiStatus, 0x02);
    const U8 want[32] = {0x70, 0x00, 0x04};
    EXPECT_EQ(memcmp(r.header()->senseData, want, 32), 0);
    EXPECT_EQ(r.written(), 0u);
}

TEST(SimLib, SmartAndIdentifyDataCarryValidChecksums) {
    sim::load_scenario(kDisks);
    Stp enable(0, 2, smart_fis(0xD8), 0, 0, 0x10);
    ASSERT_EQ(enable.send(), 0);
    EXPECT_EQ(enable.response()[0], 0x34);
    EXPECT_EQ(enable.response()[2], 0x50);

    for (U8 command : {0xB0, 0xEC}) {
        Stp r(0, 2, command == 0xB0 ? smart_fis(0xD0) : std::vector<U8>{0x27, 0x80, 0xEC}, 512, 2, 0x11);
        ASSERT_EQ(r.send(), 0);
        EXPECT_EQ(r.response()[2], 0x50);
        EXPECT_EQ(std::accumulate(r.data(), r.data() + 512, 0u) % 256, 0u) << int(command);
        EXPECT_NE(std::accumulate(r.data(), r.data() + 511, 0u), 0u);
        EXPECT_EQ(r.data()[512], kGuard);
    }
}

TEST(SimLib, AtaErrorsShowInTheResponseFis) {
    sim::load_scenario(std::string(kDisks) + "ata-error 0 2 smart:d0 nth 2 error 0x04 status 0x51\n");
    std::vector<std::pair<U8, U8>> seen;  // (status, error)
    for (int i = 0; i < 3; ++i) {
        Stp r(0, 2, smart_fis(0xD0), 512, 2, 0x11);
        EXPECT_EQ(r.send(), 0);
        seen.emplace_back(r.response()[2], r.response()[3]);
        if (i == 1) {
            EXPECT_EQ(r.data()[0], kGuard);  // no data with the error
        }
    }
    EXPECT_EQ(seen, (std::vector<std::pair<U8, U8>>{{0x50, 0}, {0x51, 0x04}, {0x50, 0}}));
    // STP to a SAS disk is refused by the library itself.
    Stp sas(0, 1, smart_fis(0xD0), 512, 2, 0x11);
    EXPECT_NE(sas.send(), 0);
}

// SMART READ LOG, READ LOG EXT and RETURN STATUS answer from the scenario;
// a log the drive does not keep, pages beyond its end and READ LOG EXT to a
// drive without general-purpose logs abort like a drive.
TEST(SimLib, AtaLogsAndStatusAnswerFromTheScenario) {
    sim::load_scenario(std::string(kDisks) +
                       "smart-log 0 2 6 \"01 02\"\ngpl-log 0 2 4 \"04 05\"\n"
                       "device 0 4 sata gpl no\nsmart-status 0 4 failed\n");
    auto read_log = [](U8 address, U8 count) {
        return std::vector<U8>{0x27, 0x80, 0xB0, 0xD5, address, 0x4F, 0xC2, 0xA0, 0, 0, 0, 0, count};
    };
    auto read_log_ext = [](U8 address, U16 page, U8 count) {
        return std::vector<U8>{
            0x27, 0x80, 0x2F, 0, address, static_cast<U8>(page), 0, 0xE0, 0, static_cast<U8>(page >> 8), 0, 0, count};
    };
    const struct {
        const char* name;
        U16 id;
        std::vector<U8> fis;
        U32 dataLen;
        U8 status, error;
        std::vector<U8> want;  // the data's first bytes, or response bytes 5..6 without data
    } cases[] = {
        {"smart log", 2, read_log(0x06, 1), 512, 0x50, 0, {0x01, 0x02, 0x00}},
        {"smart directory", 2, read_log(0x00, 1), 512, 0x50, 0, {0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0}},
        {"smart log not kept", 2, read_log(0x01, 1), 512, 0x51, 0x04, {}},
        {"smart log beyond its end", 2, read_log(0x06, 2), 1024, 0x51, 0x04, {}},
        {"gpl log", 2, read_log_ext(0x04, 0, 1), 512, 0x50, 0, {0x04, 0x05, 0x00}},
        {"gpl directory", 2, read_log_ext(0x00, 0, 1), 512, 0x50, 0, {0x01, 0, 0, 0, 0, 0, 0, 0, 1, 0}},
        {"gpl page beyond its end", 2, read_log_ext(0x04, 0x100, 1), 512, 0x51, 0x04, {}},
        {"gpl log not kept", 2, read_log_ext(0x03, 0, 1), 512, 0x51, 0x04, {}},
        {"no general-purpose logs", 4, read_log_ext(0x00, 0, 1), 512, 0x51, 0x04, {}},
        {"status passed", 2, smart_fis(0xDA), 0, 0x50, 0, {0x4F, 0xC2}},
        {"status failed", 4, smart_fis(0xDA), 0, 0x50, 0, {0xF4, 0x2C}},
    };
    for (const auto& c : cases) {
        Stp r(0, c.id, c.fis, c.dataLen, c.dataLen ? 2 : 0, c.dataLen ? 0x11 : 0x10);
        ASSERT_EQ(r.send(), 0) << c.name;
        EXPECT_EQ(r.response()[2], c.status) << c.name;
        EXPECT_EQ(r.response()[3], c.error) << c.name;
        const U8* got = c.dataLen && c.status == 0x50 ? r.data() : r.response() + 5;
        if (c.status == 0x51) {
            EXPECT_EQ(r.data()[0], kGuard) << c.name;  // nothing sent with the abort
        }
        EXPECT_EQ(std::vector<U8>(got, got + c.want.size()), c.want) << c.name;
    }
}

TEST(SimLib, WrittenBlocksReadBack) {
    sim::load_scenario(kDisks);
    Stp write(0, 2, {0x27, 0x80, 0x34, 0, 0x10, 0, 0, 0xE0, 0, 0, 0, 0, 2}, 1024, 1, 0x12);
    for (size_t i = 0; i < 1024; ++i) write.buf[60 + i] = static_cast<U8>(i * 7);
    ASSERT_EQ(write.send(), 0);
    Scsi read(0, 2, {0x28, 0, 0, 0, 0, 0x11, 0, 0, 1, 0}, 512);
    ASSERT_EQ(read.send(), 0);
    EXPECT_EQ(memcmp(read.data(), write.data() + 512, 512), 0);
}

// The trace lines, field by field, as the other tests and tools read them.
TEST(SimLib, TraceLinesAreExact) {
    sim::load_scenario(kDisks);
    Scsi scsi(0, 1, log_sense(0x03, 4), 4);
    scsi.req.devRef.pdRef.seqNum = 0x0102;
    scsi.req.param.cmdParam_1b[7] = 0xAB;
    scsi.req.reserved0[1] = 0xCD;
    scsi.req.reserved1 = 9;
    scsi.send();
    Stp stp(0, 0x0102, smart_fis(0xD0), 512, 2, 0x11);
    stp.send();
    std::vector<U8> props(208, 0);
    props[0] = 0x5A;
    SL_LIB_CMD_PARAM_T set{};
    set.cmdType = 1;
    set.cmd = 16;
    set.dataSize = 208;
    set.pData = props.data();
    set.devRef.genRef.ref_2b[0] = 3;
    ASSERT_EQ(sim::ProcessLibCommand(&set), 0);

    ASSERT_EQ(sim::trace().size(), 3u);
    EXPECT_EQ(sim::trace()[0],
              "lib type=6 cmd=0 ctrl=0 ref=0100020100000000 param=00000000000000ab rsv0=00cd rsv1=9 size=68 "
              "tgt=1 one=1 zero=0 dir=2 timeout=10 cdblen=10 cdb=4d004300000000000400 datalen=4 rc=0");
    EXPECT_EQ(sim::trace()[1],
              "lib type=6 cmd=2 ctrl=0 ref=0201000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=572 "
              "tgt=2 dir=2 timeout=10 flags=00000011 resplen=20 datalen=512 "
              "fis=2780b0d0004fc2a0000000000000000000000000 rc=32771");  // device 0x0102 is not there
    EXPECT_EQ(sim::trace()[2],
              "lib type=1 cmd=16 ctrl=0 ref=0300000000000000 param=0000000000000000 rsv0=0000 "
              "rsv1=0 size=208 data=5a" +
                  std::string(414, '0') + " rc=0");
    sim::clear_trace();
    EXPECT_TRUE(sim::trace().empty());
}

TEST(SimLib, ManagementRecordsCarryTheFieldsTheToolReads) {
    sim::load_scenario(std::string(kDisks) + "controller 1 count 9\ndevice 1 0 sas pdinfo-error 0x800a\n");
    auto send = [](U8 type, U8 cmd, unsigned ctrl, U16 id, std::vector<U8>& rec) {
        SL_LIB_CMD_PARAM_T req{};
        req.cmdType = type;
        req.cmd = cmd;
        req.ctrlId = ctrl;
        req.devRef.pdRef.deviceId = id;
        req.dataSize = static_cast<U32>(rec.size());
        req.pData = rec.data();
        return sim::ProcessLibCommand(&req);
    };
    std::vector<U8> info(2048), pd(512), props(208);
    ASSERT_EQ(send(1, 0, 0, 0, info), 0);
    EXPECT_EQ(info[111], 4);  // highest id 3, plus one
    ASSERT_EQ(send(1, 0, 1, 0, info), 0);
    EXPECT_EQ(info[111], 9);
    EXPECT_NE(send(1, 0, 2, 0, info), 0);

    ASSERT_EQ(send(2, 0, 0, 1, pd), 0);
    EXPECT_EQ(pd[189] >> 4, 2);
    ASSERT_EQ(send(2, 0, 0, 2, pd), 0);
    EXPECT_EQ(pd[189] >> 4, 1);
    EXPECT_EQ(send(2, 0, 1, 0, pd), 0x800a);
    EXPECT_NE(send(2, 0, 0, 3, pd), 0);

    // Patrol read properties: what is set comes back.
    ASSERT_EQ(send(1, 15, 0, 0, props), 0);
    props[100] = 0x42;
    ASSERT_EQ(send(1, 16, 0, 0, props), 0);
    std::vector<U8> again(208);
    ASSERT_EQ(send(1, 15, 0, 0, again), 0);
    EXPECT_EQ(again, props);
}

}  // namespace
