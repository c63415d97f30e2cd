// The extended collection (-e) on a mixed system: SATA drives through STP
// (IDENTIFY, SMART data, thresholds and status, SMART and general-purpose
// logs), the subpages and grown defect count of SAS disks; every request
// and every block byte for byte, each failure going on to the next item, an
// interrupt during an ATA command; and the same system without -e, which
// stays the classic run.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "harness.h"

using namespace e2e;

namespace {

class Extended : public E2E {};

// IDENTIFY DEVICE of the SATA drive: ATA strings (two characters a word,
// the first in the high byte) and word 84, valid, with the general-purpose
// logging bit and (smartLogs) the SMART error logging and self-test bits.
Bytes identify(bool gpl, bool smartLogs = false) {
    Bytes b(512, 0);
    put_word(b, 0, 0x0040);
    testbytes::put_ata_string(b, 10, "ZX-SER-0001         ");
    testbytes::put_ata_string(b, 23, "ZX01    ");
    testbytes::put_ata_string(b, 27, "OKAPI ZX2000-1TB                        ");
    put_word(b, 84, 0x4000 | (gpl ? 0x20 : 0) | (smartLogs ? 0x03 : 0));
    return b;
}

// The SATA drive's logs. Device statistics page 0 lists page 2 (not 1);
// the extended self-test log's newest entry (20) is on page 1; the error
// log's (2) on page 0; SMART log 80h is listed but not one we read.
struct AtaLogs {
    Bytes smartData = pattern(0xd0, 512), thresholds = pattern(0xd1, 512);
    Bytes smart01 = pattern(0x01, 512), smart06 = pattern(0x06, 512), smart80 = pattern(0x80, 512 * 2);
    Bytes gpl03 = pattern(0x03, 512), gpl04 = pattern(0x04, 512 * 3), gpl07 = pattern(0x07, 512 * 2);
    Bytes gpl10 = pattern(0x10, 512), gpl11 = pattern(0x11, 512);
    Bytes smartDir = Bytes(512, 0), gplDir = Bytes(512, 0);
    AtaLogs() {
        gpl04[8] = 2;
        gpl04[9] = 0x00;
        gpl04[10] = 0x02;
        put_word(gpl07, 1, 20);
        put_word(gpl03, 1, 2);
        // The directories the drive builds from its logs: version 1, word N
        // the pages of log N.
        for (auto [w, v] : {std::pair{0, 1}, {0x01, 1}, {0x06, 1}, {0x80, 2}}) put_word(smartDir, w, v);
        for (auto [w, v] : {std::pair{0, 1}, {0x03, 1}, {0x04, 3}, {0x07, 2}, {0x10, 1}, {0x11, 1}})
            put_word(gplDir, w, v);
    }
};

// A SMART log directory that lists log 80h alone.
const Bytes kSmartDirOf80 = [] {
    Bytes b(512, 0);
    put_word(b, 0, 1);
    put_word(b, 0x80, 2);
    return b;
}();

const std::string P02 = "02 00 00 04 00 00 01 07";
const std::string P0D = "0d 00 00 08 00 00 02 02 00 1e 00 00";
const std::string S0D01 = "4d 01 00 0c 00 00 01 08 00 24 2e 12 2a 1e 00 00";
const std::string S0E01 = "4e 01 00 06 00 00 03 02 00 42";
const std::string S1501 = "55 01 00 18 00 00 03 04 00 00 00 01 00 01 03 0c 00 00 52 08 00 00 00 00 00 12 34 56";
// The list of pages and subpages that disk 0 builds from its own.
const std::string kList0 = "40 ff 00 0c 00 00 00 ff 02 00 0d 00 0d 01 15 01";
const std::string kList2 = "40 ff 00 08 00 00 00 ff 02 00 0e 01";

std::string scenario() {
    AtaLogs a;
    std::string s =
        "controller 0\n"
        "device 0 0 sas vendor \"ACMEDRV \" product \"DK300SA0006     \" rev \"0003\" serial \"S0M1ABCD0000C1234567\"\n"
        "page 0 0 0x02 \"" +
        P02 + "\"\npage 0 0 0x0d \"" + P0D +
        "\"\n"
        "subpage 0 0 0x0d 0x01 \"" +
        S0D01 + "\"\nsubpage 0 0 0x15 0x01 \"" + S1501 +
        "\"\n"
        "defects 0 0 3\n"
        "device 0 1 sata\n"
        "identify 0 1 " +
        hex(identify(true)) +
        "\n"
        "smart 0 1 " +
        hex(a.smartData) + "\nsmart-thresholds 0 1 " + hex(a.thresholds) +
        "\n"
        "smart-log 0 1 0x01 " +
        hex(a.smart01) + "\nsmart-log 0 1 0x06 " + hex(a.smart06) +
        "\n"
        "smart-log 0 1 0x80 " +
        hex(a.smart80) +
        "\n"
        "gpl-log 0 1 0x03 " +
        hex(a.gpl03) + "\ngpl-log 0 1 0x04 " + hex(a.gpl04) +
        "\n"
        "gpl-log 0 1 0x07 " +
        hex(a.gpl07) + "\ngpl-log 0 1 0x10 " + hex(a.gpl10) +
        "\n"
        "gpl-log 0 1 0x11 " +
        hex(a.gpl11) +
        "\n"
        // A disk of the internal-log family: its sections stay last.
        "device 0 2 sas vendor \"ACME    \" product \"DSK KZA4036TX   \" rev \"A1B2\" serial \"KZSER000000000000001\"\n"
        "page 0 2 0x02 \"" +
        P02 + "\"\nsubpage 0 2 0x0e 0x01 \"" + S0E01 + "\"\n";
    for (int type : {1, 2, 4, 8}) s += "internal 0 2 " + std::to_string(type) + " 8\n";
    return s;
}

// A drive log as its blocks: tag line (without CR LF) and what follows it.
struct Block {
    std::string tag, body;
};
using Blocks = std::vector<Block>;

std::string text(const Blocks& blocks) {
    std::string s;
    for (const Block& b : blocks) s += b.tag.empty() ? b.body : b.tag + "\r\n" + b.body;
    return s;
}
Block block(const std::string& tag, const Bytes& bytes) { return {tag, hex_lines(bytes)}; }
Block* find(Blocks& blocks, const std::string& tag) {
    for (Block& b : blocks)
        if (b.tag == tag) return &b;
    ADD_FAILURE() << "no block " << tag;
    return &blocks.front();
}
void drop(Blocks& blocks, const std::string& tag) {
    std::erase_if(blocks, [&](const Block& b) { return b.tag == tag; });
}

const std::string kSasIdentity = identity("ACMEDRV DK300SA0006     0003", "S0M1ABCD0000C1234567");
const std::string kSataIdentity = identity("OKAPI ZX2000-1TB                        ZX01    ", "ZX-SER-0001         ");
const std::string kFamilyIdentity = identity("ACME    DSK KZA4036TX   A1B2", "KZSER000000000000001");

Blocks sas_classic() {
    return {{"", kSasIdentity}, block("<Page02>", bytes_of(P02)), block("<Page0d>", bytes_of(P0D))};
}
Blocks sas_extended() {
    Blocks b = sas_classic();
    b.push_back(block("<Subpage00.ff>", bytes_of(kList0)));
    b.push_back(block("<Subpage0d.01>", bytes_of(S0D01)));
    b.push_back(block("<Subpage15.01>", bytes_of(S1501)));
    b.push_back(block("<Grown Defects>", bytes_of("00 0c 00 18")));  // format 4, 3 x 8 bytes
    return b;
}
Blocks sata() {
    AtaLogs a;
    return {{"", kSataIdentity},
            block("<ATA IDENTIFY DEVICE>", identify(true)),
            block("<ATA SMART READ DATA>", a.smartData),
            block("<ATA SMART READ THRESHOLDS>", a.thresholds),
            {"<ATA SMART RETURN STATUS>", "passed (4f c2)\r\n"},
            block("<ATA SMART LOG 00>", a.smartDir),
            block("<ATA SMART LOG 01>", a.smart01),
            block("<ATA SMART LOG 06>", a.smart06),
            block("<ATA GPL LOG 00 PAGE 0000>", a.gplDir),
            block("<ATA GPL LOG 04 PAGE 0000>", testbytes::sector(a.gpl04, 0)),
            block("<ATA GPL LOG 04 PAGE 0002>", testbytes::sector(a.gpl04, 2)),
            block("<ATA GPL LOG 07 PAGE 0000>", testbytes::sector(a.gpl07, 0)),
            block("<ATA GPL LOG 07 PAGE 0001>", testbytes::sector(a.gpl07, 1)),
            block("<ATA GPL LOG 03 PAGE 0000>", a.gpl03),
            block("<ATA GPL LOG 10 PAGE 0000>", a.gpl10),
            block("<ATA GPL LOG 11 PAGE 0000>", a.gpl11)};
}
std::string family(bool extended) {
    std::string s = kFamilyIdentity + "<Page02>\r\n" + hex_lines(bytes_of(P02));
    if (extended)
        s += "<Subpage00.ff>\r\n" + hex_lines(bytes_of(kList2)) + "<Subpage0e.01>\r\n" + hex_lines(bytes_of(S0E01)) +
             "<Grown Defects>\r\n" + hex_lines(bytes_of("00 0c 00 00"));
    for (int type : kSectionTypes) s += section_block(type, 8);
    return s;
}

std::string saving(int id) { return "Controller 0/ Target " + std::to_string(id) + " : HardDisk Log saving...\n"; }
const std::string kSkip = " This HDD type is Not Support. HardDisk Log save skip\n";
const std::string kHdd = red(" HDD Log Dump Error\n");

// The SATA command record: the prefix and the 20 bytes of the response FIS,
// each after a blank.
std::string sata_detail(int tgt, const Bytes& fis) {
    char b[64];
    snprintf(b, sizeof b, "H00T%02x Command error , ", tgt);
    std::string s = b;
    for (size_t i = 0; i < 20; ++i) {
        snprintf(b, sizeof b, " %02x", i < fis.size() ? fis[i] : 0);
        s += b;
    }
    return s + "\r\n";
}
// The simulated drive's answer to a command it aborts: a Device-to-Host
// FIS with status 51h, error 04h, the command's LBA, device and count.
Bytes aborted(const std::string& fis) {
    Bytes f = bytes_of(fis), r(20, 0);
    r[0] = 0x34;
    r[1] = 0x40;
    r[2] = 0x51;
    r[3] = 0x04;
    for (int i : {4, 5, 6, 7, 8, 9, 10, 12, 13}) r[i] = f[i];
    return r;
}

// The command FIS of each ATA command, as 40 hex digits.
std::string smart_fis(int sub, int address = 0, int count = 0) {
    char b[48];
    snprintf(b, sizeof b, "2780b0%02x%02x4fc2a000000000%02x00000000000000", sub, address, count);
    return b;
}
std::string gpl_fis(int address, int page, int count) {
    char b[48];
    snprintf(b, sizeof b, "27802f00%02x%02x00e000%02x0000%02x%02x000000000000", address, page & 0xff, page >> 8,
             count & 0xff, count >> 8);
    return b;
}
const std::string kIdentifyFis = "2780ec0000000000000000000000000000000000";

// What was sent to the SATA drive: "FIS dir flags datalen" per command.
std::vector<std::string> stp_calls(const Case& c, int tgt) {
    std::vector<std::string> v;
    for (auto& l : c.lib_calls())
        if (trace_field(l, "cmd") == "2" && trace_field(l, "tgt") == std::to_string(tgt))
            v.push_back(trace_field(l, "fis") + " " + trace_field(l, "dir") + " " + trace_field(l, "flags") + " " +
                        trace_field(l, "datalen"));
    return v;
}
std::string in(const std::string& fis, int bytes) { return fis + " 2 00000011 " + std::to_string(bytes); }
std::string none(const std::string& fis) { return fis + " 0 00000010 0"; }
const std::vector<std::string> kSataCalls = {
    in(kIdentifyFis, 512),
    none(smart_fis(0xd8)),
    in(smart_fis(0xd0), 512),
    in(smart_fis(0xd1), 512),
    none(smart_fis(0xda)),
    in(smart_fis(0xd5, 0x00, 1), 512),
    in(smart_fis(0xd5, 0x01, 1), 512),
    in(smart_fis(0xd5, 0x06, 1), 512),
    in(gpl_fis(0x00, 0, 1), 512),
    in(gpl_fis(0x04, 0, 1), 512),
    in(gpl_fis(0x04, 2, 1), 512),
    in(gpl_fis(0x07, 0, 1), 512),
    in(gpl_fis(0x07, 1, 1), 512),
    in(gpl_fis(0x03, 0, 1), 512),
    in(gpl_fis(0x10, 0, 1), 512),
    in(gpl_fis(0x11, 0, 1), 512),
};

const std::vector<std::string> kClassicCdbs0 = {
    "120000006000",         "4d004000000000000400", "4d004000000000000600", "4d004200000000000400",
    "4d004200000000000800", "4d004d00000000000400", "4d004d00000000000c00",
};
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
const std::vector<std::string> kExtendedCdbs0 = {
    "4d0040ff000000000400", "4d0040ff000000001000", "4d004d01000000000400", "4d004d01000000001000",
    "4d005501000000000400", "4d005501000000001c00", "37000c00000000000400",
};

}  // namespace

// Without -e the mixed system gives the classic run: the SATA drive is
// skipped with its line, no STP command, subpage or defect list is asked
// for, and the SAS drive logs hold what they always held.
TEST_P(Extended, WithoutItTheRunIsTheClassicOne) {
    auto c = make_case();
    c->scenario(scenario());
    auto r = c->run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, full_run(1, saving(0) + saving(1) + kSkip + saving(2))) << show(r.out);
    EXPECT_EQ(c->log("MA0000.log"), text(sas_classic()));
    EXPECT_FALSE(c->exists(c->logdir() + "/MA0001.log"));
    EXPECT_EQ(c->log("MA0002.log"), family(false));
    EXPECT_EQ(c->log("logdperr.txt"), "");
    EXPECT_EQ(stp_calls(*c, 1), std::vector<std::string>{});
    EXPECT_EQ(cdbs(*c, 0, 0), kClassicCdbs0);
    for (auto& cdb : cdbs(*c, 0, 2)) EXPECT_TRUE(cdb.rfind("4d", 0) != 0 || cdb.substr(6, 2) == "00") << cdb;
}

// With -e alone (still the full run): every block byte for byte, in the
// agreed order, and every FIS and CDB sent.
TEST_P(Extended, CollectsEveryBlock) {
    auto c = make_case();
    c->scenario(scenario());
    auto r = c->run({"-e"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, full_run(1, saving(0) + saving(1) + saving(2))) << show(r.out);
    EXPECT_RESET_LAST(r);
    EXPECT_EQ(c->log("MA0000.log"), text(sas_extended()));
    EXPECT_EQ(c->log("MA0001.log"), text(sata()));
    EXPECT_EQ(c->log("MA0002.log"), family(true));
    EXPECT_EQ(c->log("logdperr.txt"), "");
    EXPECT_EQ(c->sleeps(), std::vector<std::string>(7, "sleep 1"));
    EXPECT_EQ(stp_calls(*c, 1), kSataCalls);
    EXPECT_EQ(cdbs(*c, 0, 0), kClassicCdbs0 + kExtendedCdbs0);
    // The SATA drive's INQUIRY is the only SCSI command it gets.
    EXPECT_EQ(cdbs(*c, 0, 1), std::vector<std::string>{"120000006000"});
}

// Each failure is recorded where it happens and the next item is tried; a
// drive's answers that are no failure (a threshold exceeded, no subpages,
// no defect list) are written as such.
TEST_P(Extended, FailuresGoOnToTheNextItem) {
    struct Row {
        const char* name;
        std::string statements;
        std::function<void(Blocks& sas, Blocks& sata)> edit;
        std::string sasRecords, sataRecords;  // console shows kHdd for each SCSI or SATA command record
        std::string sasConsole = "", sataConsole = "";
    };
    const Bytes sense4 = bytes_of("70 00 04 00 00 00 00 0a 00 00 00 00 44 00");
    const std::string hw = " code 4 sense \"70 00 04 00 00 00 00 0a 00 00 00 00 44 00\"";
    const std::string illegal = " code 4 sense \"70 00 05 00 00 00 00 0a 00 00 00 00 24 00\"";
    const std::string abort = " error 0x04 status 0x51\n";
    const std::string noRecord = "";
    const std::vector<Row> rows = {
        {"gpl log aborted", "ata-error 0 1 gpl:04" + abort,
         [](Blocks&, Blocks& s) {
             find(s, "<ATA GPL LOG 04 PAGE 0000>")->body = "";
             drop(s, "<ATA GPL LOG 04 PAGE 0002>");
         },
         "", sata_detail(1, aborted(gpl_fis(0x04, 0, 1)))},
        {"smart log aborted", "ata-error 0 1 smartlog:01" + abort,
         [](Blocks&, Blocks& s) { find(s, "<ATA SMART LOG 01>")->body = ""; }, "",
         sata_detail(1, aborted(smart_fis(0xd5, 0x01, 1)))},
        {"smart directory aborted", "ata-error 0 1 smartlog:00" + abort,
         [](Blocks&, Blocks& s) {
             find(s, "<ATA SMART LOG 00>")->body = "";
             drop(s, "<ATA SMART LOG 01>");
             drop(s, "<ATA SMART LOG 06>");
         },
         "", sata_detail(1, aborted(smart_fis(0xd5, 0x00, 1)))},
        {"smart directory aborted, IDENTIFY names logs 01h and 06h",
         "identify 0 1 " + hex(identify(true, true)) + "\nata-error 0 1 smartlog:00" + abort,
         [](Blocks&, Blocks& s) {
             *find(s, "<ATA IDENTIFY DEVICE>") = block("<ATA IDENTIFY DEVICE>", identify(true, true));
             find(s, "<ATA SMART LOG 00>")->body = "";
         },
         "", sata_detail(1, aborted(smart_fis(0xd5, 0x00, 1)))},
        {"smart directory without logs 01h and 06h that IDENTIFY names",
         "identify 0 1 " + hex(identify(true, true)) + "\nsmart-log 0 1 0x00 " + hex(kSmartDirOf80) + "\n",
         [](Blocks&, Blocks& s) {
             *find(s, "<ATA IDENTIFY DEVICE>") = block("<ATA IDENTIFY DEVICE>", identify(true, true));
             *find(s, "<ATA SMART LOG 00>") = block("<ATA SMART LOG 00>", kSmartDirOf80);
         },
         "", noRecord},
        {"thresholds rejected by the library", "fault 0 1 smart:d1 code 0x8010\n",
         [](Blocks&, Blocks& s) { find(s, "<ATA SMART READ THRESHOLDS>")->body = ""; }, "", sata_detail(1, {})},
        {"smart enable aborted", "ata-error 0 1 smart:d8" + abort,
         [](Blocks&, Blocks& s) { find(s, "<ATA SMART READ DATA>")->body = ""; }, "",
         sata_detail(1, aborted(smart_fis(0xd8)))},
        {"return status aborted", "ata-error 0 1 smart:da" + abort,
         [](Blocks&, Blocks& s) { find(s, "<ATA SMART RETURN STATUS>")->body = ""; }, "",
         sata_detail(1, aborted(smart_fis(0xda)))},
        {"threshold exceeded", "smart-status 0 1 failed\n",
         [](Blocks&, Blocks& s) { find(s, "<ATA SMART RETURN STATUS>")->body = "threshold exceeded (f4 2c)\r\n"; }, "",
         noRecord},
        {"no general-purpose logs", "identify 0 1 " + hex(identify(false)) + "\n",
         [](Blocks&, Blocks& s) {
             *find(s, "<ATA IDENTIFY DEVICE>") = block("<ATA IDENTIFY DEVICE>", identify(false));
             std::erase_if(s, [](const Block& b) { return b.tag.rfind("<ATA GPL", 0) == 0; });
         },
         "", noRecord},
        {"a short answer", "transfer 0 1 gpl:11 bytes 100 datalen sent\n",
         [](Blocks&, Blocks& s) {
             Bytes b = AtaLogs().gpl11;
             b.resize(100);
             *find(s, "<ATA GPL LOG 11 PAGE 0000>") = block("<ATA GPL LOG 11 PAGE 0000>", b);
         },
         "", " Short Transfer(H00T01 GplLog11.0000: 100 of 512 bytes)\n"},
        {"identify aborted", "ata-error 0 1 stp:ec" + abort, [](Blocks&, Blocks& s) { s.clear(); }, "", noRecord, "",
         kSkip},
        {"page check condition", "fault 0 0 logsense:0d" + hw + "\n",
         [](Blocks& d, Blocks&) { find(d, "<Page0d>")->body = ""; },
         scsi_detail(0, 0, bytes_of("4d 00 4d 00 00 00 00 00 04 00"), 4, sense4), ""},
        {"subpage check condition", "fault 0 0 logsense:0d.01" + hw + "\n",
         [](Blocks& d, Blocks&) { find(d, "<Subpage0d.01>")->body = ""; },
         scsi_detail(0, 0, bytes_of("4d 00 4d 01 00 00 00 00 04 00"), 4, sense4), ""},
        {"subpage rejected by the library", "fault 0 0 logsense:0d.01 code 0x8010 status 0\n",
         [](Blocks& d, Blocks&) {
             find(d, "<Subpage0d.01>")->body = "";
             drop(d, "<Subpage15.01>");
         },
         scsi_detail(0, 0, bytes_of("4d 00 4d 01 00 00 00 00 04 00"), 0x8010, {}), ""},
        {"no subpages", "fault 0 0 logsense:00.ff" + illegal + "\n",
         [](Blocks& d, Blocks&) {
             for (auto tag : {"<Subpage00.ff>", "<Subpage0d.01>", "<Subpage15.01>"}) drop(d, tag);
         },
         noRecord, ""},
        {"no defect list", "defects 0 0 unsupported\n",
         [](Blocks& d, Blocks&) { find(d, "<Grown Defects>")->body = "Not supported (ILLEGAL REQUEST)\r\n"; }, noRecord,
         ""},
        {"defect list failed", "fault 0 0 scsi:37" + hw + "\n",
         [](Blocks& d, Blocks&) { find(d, "<Grown Defects>")->body = ""; },
         scsi_detail(0, 0, bytes_of("37 00 0c 00 00 00 00 00 04 00"), 4, sense4), ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        c->scenario(scenario() + row.statements);
        auto r = c->run({"-e"});
        EXPECT_EQ(r.status, 0);
        Blocks sas = sas_extended(), sat = sata();
        row.edit(sas, sat);
        auto console = [](const std::string& records, const std::string& plain) {
            if (records.empty()) return plain;
            return records.find("Command error") != std::string::npos ? plain + kHdd : plain + red(records);
        };
        EXPECT_EQ(r.out, full_run(1, saving(0) + console(row.sasRecords, row.sasConsole) + saving(1) +
                                         console(row.sataRecords, row.sataConsole) + saving(2)))
            << show(r.out);
        EXPECT_EQ(c->log("MA0000.log"), text(sas));
        if (sat.empty()) {
            EXPECT_FALSE(c->exists(c->logdir() + "/MA0001.log"));
        } else {
            EXPECT_EQ(c->log("MA0001.log"), text(sat));
        }
        EXPECT_EQ(c->log("MA0002.log"), family(true));
        EXPECT_EQ(c->log("logdperr.txt"), row.sasRecords + row.sataRecords);
    }
}

// Ctrl-C while an ATA command is blocked in the library: status 1 once it
// returns, the SATA drive log closed on a whole line and recorded as cut.
TEST_P(Extended, InterruptDuringAnAtaCommand) {
    auto c = make_case();
    c->scenario(scenario() + "delay 0 1 gpl:07 nth 1 ms 3000\n");
    RunOptions o;
    o.args = {"-e"};
    o.interrupt = Interrupt{c->logdir() + "/MA0001.log", "<ATA GPL LOG 07 PAGE 0000>", 300};
    auto r = c->run(o);
    EXPECT_TRUE(r.interrupt_sent);
    EXPECT_EQ(r.status, 1) << "signal " << r.signal;
    Blocks s = sata();
    s.resize(12);  // up to the tag of the blocked command
    s.back().body = "";
    EXPECT_EQ(c->log("MA0001.log"), text(s));
    EXPECT_FALSE(c->exists(c->logdir() + "/MA0002.log"));
    const std::string record = " File Interrupted(/o_tmp/TMP/KESTRA/MA0001.log)\n";
    EXPECT_EQ(c->log("logdperr.txt"), record);
    EXPECT_EQ(r.out.substr(r.out.size() - red(record).size() - kReset.size()), red(record) + kReset) << show(r.out);
}

// The shipped scenarios with SATA drives, run with -e: each drive log's
// outline (every line but the hex lines, "|" between) is what the
// scenario's comment promises, and the error log holds its records.
TEST_P(Extended, ShippedScenarios) {
    const std::string sata =
        "<ATA IDENTIFY DEVICE>|<ATA SMART READ DATA>|<ATA SMART READ THRESHOLDS>|"
        "<ATA SMART RETURN STATUS>|";
    const std::string smartLogs = "|<ATA SMART LOG 00>|<ATA SMART LOG 01>|<ATA SMART LOG 06>";
    const std::string gplLogs =
        "|<ATA GPL LOG 00 PAGE 0000>|<ATA GPL LOG 04 PAGE 0000>|<ATA GPL LOG 04 PAGE 0001>|"
        "<ATA GPL LOG 04 PAGE 0005>|<ATA GPL LOG 07 PAGE 0000>|<ATA GPL LOG 03 PAGE 0000>|"
        "<ATA GPL LOG 10 PAGE 0000>|<ATA GPL LOG 11 PAGE 0000>";
    const std::string captured =
        "<Page00>|<Page02>|<Page03>|<Page05>|<Page06>|<Page0d>|<Page0e>|<Page0f>|<Page10>|"
        "<Page11>|<Page15>|<Page18>|<Page1a>|<Page2f>|<Page31>|";
    auto who = [](const char* code, const char* serial) {
        return std::string("Device code   : ") + code + "|Serial number : " + serial + "|";
    };
    const struct {
        const char* scenario;
        std::vector<std::pair<std::string, std::string>> outlines;  // file, outline
        size_t records;                                             // detail lines in the error log
    } rows[] = {
        {"mixed.scn",
         {{"MA0000.log", who("ACMEDRV DK600SA0006     0004", "S0M1A2B30000K101    ") + captured +
                             "<Subpage00.ff>|<Subpage0d.01>|<Subpage0e.01>|<Subpage15.01>|<Grown Defects>"},
          {"MA0001.log", who("ACME    DSK109060SAS600 A440", "KXG4R7YF            ") +
                             "<Page02>|<Page0d>|<Page2f>|<Grown Defects>|Not supported (ILLEGAL REQUEST)"},
          {"MA0002.log", who("OKAPI ZX2000-1TB                        ZX01    ", "ZX0A1B2C3D          ") + sata +
                             "passed (4f c2)" + smartLogs + gplLogs},
          {"MA0003.log", who("OKAPI ZX2000-2TB                        ZX01    ", "ZX0A1B2C3E          ") + sata +
                             "threshold exceeded (f4 2c)" + smartLogs + gplLogs},
          {"MA0100.log", who("LYNXDATA LD240S                         L1.2    ", "LX240000017         ") + sata +
                             "passed (4f c2)" + smartLogs},
          {"MA0101.log", who("OKAPI ZX2000-1TB                        ZX02    ", "ZX0A1B2C3F          ") + sata +
                             "passed (4f c2)" + smartLogs +
                             "|<ATA GPL LOG 00 PAGE 0000>|<ATA GPL LOG 04 PAGE 0000>|<ATA GPL LOG 07 PAGE 0000>|"
                             "<ATA GPL LOG 03 PAGE 0000>|<ATA GPL LOG 10 PAGE 0000>|<ATA GPL LOG 11 PAGE 0000>"},
          {"MA0102.log", who("OKAPIHD KZA4036TX       0103", "X3K0A00JTB01        ") + captured +
                             "<Subpage00.ff>|<Subpage0d.01>|<Grown Defects>|<Drive Status Log>|<Drive Interna Log>|"
                             "<Command Log>|<Controller Internal Information>"}},
         2},
        {"health.scn",
         {{"MA0006.log", who("OKAPI ZX2000-1TB                        ZX01    ", "ZX0H0000000000000007") + sata +
                             "threshold exceeded (f4 2c)" + smartLogs + gplLogs}},
         0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.scenario);
        auto c = make_case(row.scenario);
        const std::string dir = std::string(LOGDUMP_SOURCE_DIR) + "/sim/scenarios/";
        std::filesystem::copy_file(dir + row.scenario, c->scenario_path());
        std::filesystem::copy(dir + "pages", c->dir + "/pages");  // page files are named relative to it
        auto r = c->run({"-e"});
        EXPECT_EQ(r.status, 0) << show(r.out);
        for (const auto& [file, outline] : row.outlines) {
            std::string got, line;
            for (char ch : c->log(file)) {
                if (ch != '\n') {
                    line += ch;
                } else {
                    if (!line.empty() && line[0] != ' ')
                        got += (got.empty() ? "" : "|") + line.substr(0, line.size() - 1);
                    line.clear();
                }
            }
            EXPECT_EQ(got, outline) << file;
        }
        const std::string errors = c->log("logdperr.txt");
        EXPECT_EQ(static_cast<size_t>(std::count(errors.begin(), errors.end(), '\r')), row.records) << errors;
    }
}

INSTANTIATE_TEST_SUITE_P(Both, Extended, ::testing::ValuesIn(tools()), tool_param_name);
