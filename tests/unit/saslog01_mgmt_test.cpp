// Management wrappers: the exact request of each, and the result and error
// code they hand back.
#include <functional>

#include "bytes.h"
#include "test_sas_support.h"

namespace {

using sastest::SasTest;

const char kScenario[] = R"(
controller 0
controller 1 count 7 lds 2
device 1 261 sas
device 1 2 sas
)";

// The line less its " rc=N" and that code.
std::pair<std::string, int> split_rc(const std::string& line) {
    size_t at = line.rfind(" rc=");
    if (at == std::string::npos) return {line, 0};
    return {line.substr(0, at), std::stoi(line.substr(at + 4))};
}

using testbytes::hex;

const U8 kArrays[16] = {0x10, 0x00, 0x01, 0x00, 0x11, 0x00, 0x02, 0x00, 0x12, 0x00, 0x03, 0x00, 0x13, 0x00, 0x04, 0x00};

struct Wrapper {
    const char* name;
    std::function<int(int32_t*)> call;
    const char* line;  // without rc
};

class SasMgmt : public SasTest {
protected:
    void SetUp() override {
        SasTest::SetUp();
        sim::load_scenario(kScenario);
    }
};

// Device ids and sequence numbers above 65535 are sent as their low 16 bits,
// the array count as its low 8 bits.
TEST_F(SasMgmt, EveryWrapperSendsItsExactRequest) {
    const std::string arrays33 = "ff" + hex(kArrays, 16) + std::string(32, '0');
    const Wrapper cases[] = {
        {"controller list: always controller 0", [](int32_t* e) { return CorvidSearch(e); },
         "lib type=0 cmd=0 ctrl=0 ref=0000000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=68"},
        {"controller information", [](int32_t* e) { return GetControllerInfo(1, e); },
         "lib type=1 cmd=0 ctrl=1 ref=0000000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=2048"},
        {"logical drive 0x10001 goes out as 1", [](int32_t* e) { return GetLogiInfo(1, 0x10001, e); },
         "lib type=3 cmd=0 ctrl=1 ref=0100000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=384"},
        {"physical drive 0x10105 goes out as 0x0105", [](int32_t* e) { return GetPhysInfo(1, 0x10105, e); },
         "lib type=2 cmd=0 ctrl=1 ref=0501000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=512"},
        {"global spare, sequence 0x10002 as 2", [](int32_t* e) { return SetGlobalSpare(1, 261, 0x10002, e); },
         "lib type=2 cmd=10 ctrl=1 ref=0501020000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=0"},
        {"remove spare", [](int32_t* e) { return RemoveSpare(1, 261, 2, e); },
         "lib type=2 cmd=13 ctrl=1 ref=0501020000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=0"},
        {"dedicated spare: 33 bytes, count 0x1ff as 0xff, second half zero",
         [](int32_t* e) { return SetDedicatedSpare(1, 261, 2, 0x1FF, kArrays, e); },
         "lib type=2 cmd=11 ctrl=1 ref=0501020000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=33 data="},
        {"dedicated spare information", [](int32_t* e) { return GetDediSpareInfo(1, 261, e); },
         "lib type=2 cmd=12 ctrl=1 ref=0501000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=40"},
        {"patrol read status", [](int32_t* e) { return GetPatrolReadStatus(1, e); },
         "lib type=1 cmd=14 ctrl=1 ref=0000000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=16"},
        {"patrol read properties", [](int32_t* e) { return GetPatrolReadProperties(1, e); },
         "lib type=1 cmd=15 ctrl=1 ref=0000000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=208"},
        {"patrol read start", [](int32_t* e) { return PatrolReadStart(1, e); },
         "lib type=1 cmd=17 ctrl=1 ref=0000000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=0"},
        {"patrol read stop", [](int32_t* e) { return PatrolReadStop(1, e); },
         "lib type=1 cmd=18 ctrl=1 ref=0000000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=0"},
        {"offline", [](int32_t* e) { return MakeOffline(1, 2, 0x10003, e); },
         "lib type=2 cmd=2 ctrl=1 ref=0200030000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=0"},
        {"online", [](int32_t* e) { return MakeOnline(1, 2, 3, e); },
         "lib type=2 cmd=1 ctrl=1 ref=0200030000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=0"},
    };
    for (const Wrapper& c : cases) {
        sim::clear_trace();
        int32_t err = 12345;
        int result = c.call(&err);
        ASSERT_EQ(sim::trace().size(), 1u) << c.name;
        auto [line, rc] = split_rc(sim::trace()[0]);
        std::string want = c.line;
        if (want.ends_with("data=")) want += arrays33;
        EXPECT_EQ(line, want) << c.name;
        // The library's code comes back unchanged, 0 included.
        EXPECT_EQ(err, rc) << c.name;
        EXPECT_EQ(result, rc == 0 ? 1 : 0) << c.name;
    }
}

TEST_F(SasMgmt, SetPatrolReadPropertiesSendsBackWhatGetRead) {
    int32_t err = -1;
    ASSERT_EQ(GetPatrolReadProperties(1, &err), 1);
    EXPECT_EQ(err, 0);
    const std::string read = hex(&tPatrolReadProperties, sizeof tPatrolReadProperties);
    EXPECT_NE(read, std::string(416, '0')) << "the controller should report some properties";

    sim::clear_trace();
    SetPatrolReadProperties(1, 0x12345, &err);
    ASSERT_EQ(sim::trace().size(), 1u);
    EXPECT_EQ(
        split_rc(sim::trace()[0]).first,
        "lib type=1 cmd=16 ctrl=1 ref=4523000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=208 data=" + read);
}

TEST_F(SasMgmt, AFailedQueryLeavesTheCodeAndNoStaleAnswer) {
    sim::load_scenario(std::string(kScenario) + "controller-info-error 1 0x8002\n");
    memset(&tCtrlInfo, 0xFF, sizeof tCtrlInfo);
    int32_t err = 0;
    EXPECT_EQ(GetControllerInfo(1, &err), 0);
    EXPECT_EQ(err, 0x8002);
    EXPECT_EQ(tCtrlInfo.deviceIdCount, 0) << "an earlier answer must not survive a failed query";
}

}  // namespace
