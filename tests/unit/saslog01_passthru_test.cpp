// SCSI pass-through: the exact request every builder sends, and the error
// detail it leaves.
#include <functional>

#include "test_sas_support.h"

namespace {

using sastest::SasTest;
using sastest::scsi;

// Controller 1, device id 0x0105: a target id above 255 must reach the
// library whole, in targetId and in pdRef.deviceId alike.
const char kScenario[] = R"(
controller 0
controller 1
device 1 261 sas
page 1 261 0x0d "0d 00 00 00"
internal 1 261 2 16
)";

class SasPassThru : public SasTest {
protected:
    SCSI_PASSTHRU_T* buf = nullptr;

    void SetUp() override {
        SasTest::SetUp();
        buf = static_cast<SCSI_PASSTHRU_T*>(calloc(1, SCSI_PASSTHRU_BUFFER_SIZE));
        ASSERT_NE(buf, nullptr);
        sim::load_scenario(kScenario);
    }
    void TearDown() override {
        free(buf);
        SasTest::TearDown();
    }
};

struct Builder {
    const char* name;
    std::function<int(SCSI_PASSTHRU_T*, ERRINFO*)> send;
    std::string line;
};

TEST_F(SasPassThru, EveryBuilderSendsItsExactRequest) {
    const int16_t t = 261;
    const Builder cases[] = {
        {"INQUIRY: 96 bytes in, dataSize 160", [&](auto* p, auto* e) { return StoreInq(1, t, p, e); },
         "lib type=6 cmd=0 ctrl=1 ref=0501000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=160 tgt=261 "
         "one=1 zero=0 dir=2 timeout=10 cdblen=6 cdb=120000006000 datalen=96 rc=0"},
        {"TEST UNIT READY: no data, dataSize 64", [&](auto* p, auto* e) { return StoreReady(1, t, p, e); },
         "lib type=6 cmd=0 ctrl=1 ref=0501000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=64 tgt=261 "
         "one=1 zero=0 dir=0 timeout=10 cdblen=6 cdb=000000000000 datalen=0 rc=0"},
        {"REQUEST SENSE", [&](auto* p, auto* e) { return StoreSense(1, t, p, e); },
         scsi(1, 261, 2, 10, "030000002000", 32)},
        {"READ CAPACITY(10)", [&](auto* p, auto* e) { return StoreReadCapa(1, t, p, e); },
         scsi(1, 261, 2, 10, "25000000000000000000", 8)},
        {"READ(10) 8 blocks of 512", [&](auto* p, auto* e) { return StoreRead(1, t, 0x100, 512, 8, p, e); },
         scsi(1, 261, 2, 10, "28000000010000000800", 4096)},
        {"WRITE(10) 8 blocks of 512", [&](auto* p, auto* e) { return StoreWrite(1, t, 0x100, 512, 8, p, e); },
         scsi(1, 261, 1, 10, "2a000000010000000800", 4096)},
        {"WRITE SAME(10) sends one block",
         [&](auto* p, auto* e) { return StoreWriteSame(1, t, 0x10, 512, 0x20, p, e); },
         scsi(1, 261, 1, 10, "41000000001000002000", 512)},
        {"VERIFY(10) moves no data", [&](auto* p, auto* e) { return StoreVerify(1, t, 0x10, 0x20, p, e); },
         scsi(1, 261, 0, 10, "2f000000001000002000", 0)},
        {"MODE SENSE(6) asks for all 300 bytes, CDB holds 0x2c",
         [&](auto* p, auto* e) { return StoreModeSense(1, t, 0x3F, 0x00, 300, p, e); },
         scsi(1, 261, 2, 10, "1a003f002c00", 300)},
        {"MODE SELECT(6): flags are the last argument",
         [&](auto* p, auto* e) { return StoreModeSelect(1, t, 0x18, p, e, 0x11); },
         scsi(1, 261, 1, 10, "151100001800", 24)},
        {"START STOP UNIT: direction out with no data",
         [&](auto* p, auto* e) { return StoreStartStopUnit(1, t, 0x01, p, e); },
         scsi(1, 261, 1, 10, "1b0000000100", 0)},
        {"SEND DIAGNOSTIC self-test 1", [&](auto* p, auto* e) { return StoreDiag(1, t, 1, p, e); },
         scsi(1, 261, 0, 10, "1d2000000000", 0)},
        {"WRITE BUFFER above 0xFFFFFF: 24 bits in the CDB, every byte transferred",
         [&](auto* p, auto* e) { return StoreWriteBuffer(1, t, 5, 0, 0x1000001, p, e); },
         "lib type=6 cmd=0 ctrl=1 ref=0501000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=16777281 "
         "tgt=261 one=1 zero=0 dir=1 timeout=90 cdblen=10 cdb=3b050000000000000100 datalen=16777217 rc=0"},
        {"LOG SENSE page 0x0d", [&](auto* p, auto* e) { return StoreLogSense(1, t, 0x0D, 0, 0x40, p, e); },
         scsi(1, 261, 2, 10, "4d004d00000000004000", 64)},
        {"internal log type 2, 4 bytes", [&](auto* p, auto* e) { return StorRequestInternalLog(1, t, 2, 0, 4, p, e); },
         scsi(1, 261, 2, 10, "fe020000000000000400", 4)},
    };
    // Past the first two, dataSize is taken as data length + 64 in scsi().
    for (const Builder& c : cases) {
        sim::clear_trace();
        memset(&gtErrInf, 0xAA, sizeof gtErrInf);
        EXPECT_EQ(c.send(buf, &gtErrInf), 1) << c.name;
        ASSERT_EQ(sim::trace().size(), 1u) << c.name;
        EXPECT_EQ(sim::trace()[0], c.line) << c.name;
        EXPECT_EQ(gtErrInf.iApiErr, 0) << c.name;
    }
}

std::vector<U8> bytes(const U8* p, size_t n) { return std::vector<U8>(p, p + n); }

// A failed 6-byte command: the detail holds its six bytes and four zero
// bytes, whatever the buffer holds behind the CDB; the next success clears
// every field again.
TEST_F(SasPassThru, ErrorDetailOfAFailureIsClearedByTheNextSuccess) {
    sim::load_scenario(std::string(kScenario) +
                       "fault 1 261 inquiry nth 1 code 0x8003 sense \"70 00 05 00 00 00 00 0a 00 00 00 00 24\" "
                       "status 2\n");
    memset(buf->cdb, 0xEE, sizeof buf->cdb);
    memset(buf->reserved, 0x5A, sizeof buf->reserved);
    memset(&gtErrInf, 0xAA, sizeof gtErrInf);

    EXPECT_EQ(StoreInq(1, 261, buf, &gtErrInf), 0);
    EXPECT_EQ(gtErrInf.iApiErr, 0x8003);
    EXPECT_EQ(bytes(gtErrInf.ucCdb, 10), (std::vector<U8>{0x12, 0, 0, 0, 0x60, 0, 0, 0, 0, 0}));
    std::vector<U8> sense(32, 0);
    const U8 given[] = {0x70, 0, 0x05, 0, 0, 0, 0, 0x0a, 0, 0, 0, 0, 0x24};
    std::copy(std::begin(given), std::end(given), sense.begin());
    EXPECT_EQ(bytes(gtErrInf.ucSense, 32), sense);
    EXPECT_EQ(gtErrInf.ucScsiStatus, 0x02);
    // What lies behind the CDB and in the reserved bytes is not ours.
    EXPECT_EQ(bytes(buf->cdb + 6, 10), std::vector<U8>(10, 0xEE));
    EXPECT_EQ(bytes(buf->reserved, 3), std::vector<U8>(3, 0x5A));

    EXPECT_EQ(StoreInq(1, 261, buf, &gtErrInf), 1);
    ERRINFO zero;
    memset(&zero, 0, sizeof zero);
    EXPECT_EQ(memcmp(&gtErrInf, &zero, sizeof zero), 0);
}

TEST_F(SasPassThru, AFailedTenByteCommandShowsAllTenBytes) {
    sim::load_scenario(std::string(kScenario) + "fault 1 261 logsense:0d code 4\n");
    EXPECT_EQ(StoreLogSense(1, 261, 0x4D, 0x0102, 0x0304, buf, &gtErrInf), 0);
    EXPECT_EQ(gtErrInf.iApiErr, 4);
    EXPECT_EQ(bytes(gtErrInf.ucCdb, 10), (std::vector<U8>{0x4d, 0, 0x4d, 0, 0, 0x01, 0x02, 0x03, 0x04, 0}));
}

TEST_F(SasPassThru, ANegativeLibraryCodeIsKeptUnchanged) {
    sim::load_scenario(std::string(kScenario) + "fault 1 261 scsi:00 code -1\n");
    EXPECT_EQ(StoreReady(1, 261, buf, &gtErrInf), 0);
    EXPECT_EQ(gtErrInf.iApiErr, -1);
}

TEST_F(SasPassThru, ACdbLongerThanTheRecordIsNeverSent) {
    U8 cdb17[17] = {0x12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(SendStor(1, 261, cdb17, 17, 0, 0, 10, buf, &gtErrInf), 0);
    EXPECT_TRUE(sim::trace().empty());
    EXPECT_NE(gtErrInf.iApiErr, 0);
    EXPECT_EQ(bytes(gtErrInf.ucCdb, 10), bytes(cdb17, 10));
}

}  // namespace
