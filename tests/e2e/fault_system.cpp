#include "fault_system.h"

#include <cstdio>

namespace e2e::faults {

Disk disk(int id) { return {0, id, "KZA4036TX       ", "S0M1ABCD0000C000000" + std::to_string(id)}; }

std::string base_scenario() {
    std::string s = "controller 0\n";
    for (int id : {0, 1}) {
        std::string d = "0 " + std::to_string(id);
        s += disk(id).device() + "page " + d + " 0x02 \"" + P02 + "\"\npage " + d + " 0x0d \"" + P0D + "\"\n" +
             section_statements(0, id, kSectionLens);
    }
    return s;
}

DiskPart disk_part(int id, const DiskFault& f) {
    DiskPart p;
    char b[96];
    if (f.cmd == Cmd::Inquiry) return p;  // nothing answers: passed over in silence
    if (f.cmd == Cmd::PdInfo) {
        // Shown in red and recorded like every other failure.
        snprintf(b, sizeof b, "Controller 0 : Physical Information Get Error. %08x\n", f.rc);
        p.console = red(b);
        p.records = b;
        return p;
    }
    p.console = disk(id).saving();
    std::string log = disk(id).identity();
    // Log pages: requests 2k (header) and 2k+1 (whole page) read kPages[k].
    // A page the drive answered with CHECK CONDITION (sense data) is left
    // empty and the walk goes on; a failure without an answer ends it.
    const int pageFail = f.cmd == Cmd::LogSense ? f.index : 1000;
    const bool goesOn = !f.sense.empty() && pageFail >= 2;  // not when the list itself failed
    for (size_t k = 1; k < kPages.size() && (goesOn || static_cast<int>(2 * k) <= pageFail); ++k) {
        snprintf(b, sizeof b, "<Page%02x>\r\n", kPages[k].code);
        log += b;
        if (static_cast<int>(2 * k + 1) < pageFail || static_cast<int>(k) != pageFail / 2)
            log += hex_lines(bytes_of(kPages[k].hex));
    }
    const int secFail = f.cmd == Cmd::Internal ? f.index : 1000;
    for (size_t k = 0; k < kSectionLens.size() && static_cast<int>(2 * k + 1) < secFail; ++k)
        log += section_block(kSectionTypes[k], kSectionLens[k]);
    if (f.cmd == Cmd::LogSense || f.cmd == Cmd::Internal) {
        Bytes cdb;
        if (f.cmd == Cmd::LogSense) {
            const auto& pg = kPages[static_cast<size_t>(f.index / 2)];
            const size_t alloc = f.index % 2 == 0 ? 4 : bytes_of(pg.hex).size();
            cdb = {0x4d, 0, static_cast<unsigned char>(0x40 | pg.code), 0, 0, 0,
                   0,    0, static_cast<unsigned char>(alloc),          0};
        } else {
            const auto k = static_cast<size_t>(f.index / 2);
            const size_t len = f.index % 2 == 0 ? 4 : kSectionLens[k];
            cdb = {
                0xfe, static_cast<unsigned char>(kSectionTypes[k]), 0, 0, 0, 0, 0, 0, static_cast<unsigned char>(len),
                0};
        }
        p.console += red(" HDD Log Dump Error\n");
        p.records = scsi_detail(0, id, cdb, f.rc, f.sense);
    }
    p.log = log;
    return p;
}

}  // namespace e2e::faults
