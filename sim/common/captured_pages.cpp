// LOG SENSE pages captured from real SAS hard disks (page control 01b), one
// per page code, header included. The data bytes come from the test cases of
// the public project libscsicmd (afl/testcase/log_sense_*.csv, Apache License
// 2.0, Copyright Baruch Even).
#include "scenario.h"
#include "util.h"

namespace sim {

const std::vector<LogPage>& captured_pages() {
    static const std::vector<LogPage> pages = [] {
        static const char* const hex[] = {
            "0000000f00020305060d0e0f101115181a2f31",
            "0300005400000008000000000000000000010008000000000000000000020008000000000000000000030008000000000000000000"
            "04000800000000000000000005000800016953905e4400000600080000000000000000",
            "060000080000020400000244",
            "0e00003400010106323031333437000201063230313334370003030400002710000403040000055300050304000493e00006030400"
            "000553",
            "1900005c00010240000000051d7416f0000000046222c58d000000439800042c00000053be7d554d00000000000000000000000000"
            "00000000000000000000000000000000000000000202080000000001b4c1aa000303080000000200000005",
            "2f00003c000003080000195521000000000103045d530000000203045d540000000303045d280000000403040b060000000503045d"
            "550000000603045d560000",
            "3e000024000002040010c8200008020400000010000902040000003c000e020800003c0424098b7d",
        };
        std::vector<LogPage> out;
        for (const char* h : hex) {
            LogPage p;
            p.bytes = parse_hex(h);
            p.code = static_cast<uint8_t>(p.bytes[0] & 0x3F);
            out.push_back(std::move(p));
        }
        return out;
    }();
    return pages;
}

}  // namespace sim
