// The simulated library reads requests at the byte offsets of the library's
// interface, not through the tool's record declarations: a request laid out
// by hand, byte by byte, is understood and answered in place.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sim.h"

namespace {

// Request record: cmdType 0, cmd 1, ctrlId 4, device id 8, dataSize 28,
// pData 32 (4 or 8 bytes).
std::vector<U8> request(U8 type, U8 cmd, U32 ctrl, U16 id, void* data, U32 size) {
    std::vector<U8> r(32 + sizeof(void*), 0);
    r[0] = type;
    r[1] = cmd;
    memcpy(&r[4], &ctrl, 4);
    memcpy(&r[8], &id, 2);
    memcpy(&r[28], &size, 4);
    memcpy(&r[32], &data, sizeof data);
    return r;
}

int send(std::vector<U8>& r) { return sim::ProcessLibCommand(reinterpret_cast<SL_LIB_CMD_PARAM_T*>(r.data())); }

}  // namespace

TEST(SimWire, HandMadeRecordsAreReadAtTheirOffsets) {
    sim::load_scenario("device 0 1 sas\npage 0 1 0x03 \"03 00 00 04 aa bb cc dd\"\n");
    struct Row {
        U8 page;
        int rc;
        U8 status;  // byte 10
        U8 sense0;  // byte 28
        U8 data0;   // byte 64
    };
    for (const Row& row : {Row{0x03, 0, 0x00, 0x00, 0x03}, Row{0x05, 4, 0x02, 0x70, 0xEE}}) {
        SCOPED_TRACE(row.page);
        std::vector<U8> pt(64 + 8, 0xEE);
        memset(pt.data(), 0, 64);
        pt[0] = 1;      // target id
        pt[2] = 1;      // fixed one
        pt[4] = 2;      // data in
        pt[8] = 10;     // time-out
        pt[10] = 0xEE;  // status, to be written
        pt[11] = 10;    // CDB length
        const U8 cdb[10] = {0x4D, 0, static_cast<U8>(0x40 | row.page), 0, 0, 0, 0, 0, 8, 0};
        memcpy(&pt[12], cdb, 10);
        pt[60] = 8;  // data length
        auto r = request(6, 0, 0, 1, pt.data(), 72);
        EXPECT_EQ(send(r), row.rc);
        EXPECT_EQ(pt[10], row.status);
        EXPECT_EQ(pt[28], row.sense0);
        EXPECT_EQ(pt[64], row.data0);
    }
    // Controller information: deviceIdCount at byte 111 of 2048.
    std::vector<U8> info(2048, 0xEE);
    auto r = request(1, 0, 0, 0, info.data(), 2048);
    ASSERT_EQ(send(r), 0);
    EXPECT_EQ(info[111], 2);
    EXPECT_EQ(sim::trace().back(),
              "lib type=1 cmd=0 ctrl=0 ref=0000000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=2048 rc=0");
}
