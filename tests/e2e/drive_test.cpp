// Whole runs that collect SAS drive logs through the simulated storage
// library: the drive scan, the drive log files byte for byte, the internal
// log of the drive family, failed commands, files that cannot be written and
// an interrupt during a blocked LOG SENSE.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "harness.h"

using namespace e2e;

namespace {

class Drive : public E2E {};

const Disk kDisk;  // the default disk

// The sections of a family disk declared with the lengths below, the first n.
const std::vector<size_t> kSectionLens = {3, 16, 20, 35};
std::string sections(int n = 4) {
    std::string s;
    for (int i = 0; i < n; ++i) s += section_block(kSectionTypes[i], kSectionLens[static_cast<size_t>(i)]);
    return s;
}

const std::string P00 = "00 00 00 06 00 02 0d 2f 42 30";
const std::string P02 = "02 00 00 0c 00 00 00 04 00 00 00 01 00 01 00 04";              // 12 parameter bytes
const std::string P0D = "0d 00 00 00";                                                  // length 0
const std::string P2F = "2f 00 00 10 00 00 03 02 00 00 00 01 03 00 00 08 de ad be ef";  // one line and a short one
const std::string P30 = "30 00 ff fc";  // 65,532 claimed, only the header sent: capped at 65,535

const std::string kScanScenario =
    "controller 0\n"
    "device 0 0 sas vendor \"ACMEDRV \" product \"DK300SA0006     \" rev \"0003\" serial \"S0M1ABCD0000C1234567\"\n"
    "page 0 0 0x00 \"" +
    P00 +
    "\"\n"
    "page 0 0 0x02 \"" +
    P02 +
    "\"\n"
    "page 0 0 0x0d \"" +
    P0D +
    "\"\n"
    "page 0 0 0x2f \"" +
    P2F +
    "\"\n"
    "page 0 0 0x30 \"" +
    P30 +
    "\"\n"
    "device 0 1 sas vendor \"ACME    \" product \"DSK KZA4072TX   \" rev \"A1B2\" serial \"KZSER000000000000001\"\n"
    "page 0 1 0x00 \"00 00 00 01 00\"\n" +
    section_statements(0, 1, kSectionLens) +
    "device 0 2 sata vendor \"ATA     \" product \"XYZ XD10ABCD    \" rev \"1A01\" serial \"XD-XCC000000000001  \"\n"
    "device 0 3 enclosure\n"
    "device 0 4 silent\n"
    "device 0 5 sas vendor \"ACMEDRV \" product \"DK600SA0006     \" rev \"0003\" serial \"S0M1ABCD0000C7654321\" "
    "pdinfo-error 0x8001\n"
    "controller 1 count 11\n"
    "device 1 10 sas vendor \"OKAPIHD \" product \"DK14SAB030N     \" rev \"0101\" serial \"X000000000000000000A\"\n"
    "page 1 10 0x00 \"00 00 00 00\"\n"
    "controller 2\n"
    "controller-info-error 2 0x22\n";

const std::string kCapped30 = " Length Capped(H00T00 Page30: 65536 bytes needed, 65535 asked)\n";
const std::string kPdInfo5 = "Controller 0 : Physical Information Get Error. 00008001\n";
const std::string kCtrlInfo2 = "Controller 2 : Controller Information Get Error. 00000022\n";
const std::string kScanConsole = "Controller 0/ Target 0 : HardDisk Log saving...\n" + red(kCapped30) +
                                 "Controller 0/ Target 1 : HardDisk Log saving...\n"
                                 "Controller 0/ Target 2 : HardDisk Log saving...\n"
                                 " This HDD type is Not Support. HardDisk Log save skip\n" +
                                 red(kPdInfo5) + "Controller 1/ Target 10 : HardDisk Log saving...\n" + red(kCtrlInfo2);

// Page 30 as it arrives: its header, then zeros (the cleared buffer) up to
// the capped length.
std::vector<unsigned char> page30() {
    std::vector<unsigned char> b(65535, 0);
    b[0] = 0x30;
    b[2] = 0xff;
    b[3] = 0xfc;
    return b;
}

const std::string kDisk0 = kDisk.identity() + page_block("00", bytes_of(P00)) + page_block("02", bytes_of(P02)) +
                           page_block("0d", bytes_of(P0D)) + page_block("2f", bytes_of(P2F)) +
                           page_block("42", bytes_of(P02)) + page_block("30", page30());
const std::string kDisk1Pages =
    identity("ACME    DSK KZA4072TX   A1B2", "KZSER000000000000001") + page_block("00", bytes_of("00 00 00 01 00"));
const std::string kDisk10 = identity("OKAPIHD DK14SAB030N     0101", "X000000000000000000A");

// Console or error-log text with the free byte count of every space reserve
// record written as N: it depends on the file system's own accounting.
std::string mask_free(const std::string& text) {
    std::string out;
    size_t from = 0, at = 0;
    while ((at = text.find(" bytes needed, ", from)) != std::string::npos) {
        at += 15;
        size_t end = text.find(" free, ", at);
        if (end == std::string::npos) break;
        out.append(text, from, at - from).append("N");
        from = end;
    }
    return out.append(text, from);
}

}  // namespace

// The scan of every controller: one file per SAS disk with identity lines,
// the pages as listed (header line, whole page as hex lines, CR LF), the
// four internal-log sections of the family disk; SATA disks, enclosures,
// silent ids and failed queries as they must appear; -n leaves out the
// internal log.
TEST_P(Drive, ScanWritesEverySasDisk) {
    for (bool internal : {true, false}) {
        SCOPED_TRACE(internal ? "without arguments" : "-n");
        auto c = make_case(internal ? "all" : "n");
        c->scenario(kScanScenario);
        auto r = internal ? c->run() : c->run({"-n"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, internal ? full_run(3, kScanConsole) : title() + kSaving + kScanConsole + kReset)
            << show(r.out);
        EXPECT_RESET_LAST(r);
        EXPECT_EQ(c->log("MA0000.log"), kDisk0);
        EXPECT_EQ(c->log("MA0001.log"), kDisk1Pages + (internal ? sections() : ""));
        EXPECT_EQ(c->log("MA010a.log"), kDisk10);
        for (auto name : {"MA0002.log", "MA0003.log", "MA0004.log", "MA0005.log", "MA0100.log", "MA0200.log"})
            EXPECT_FALSE(c->exists(c->logdir() + "/" + name)) << name;
        if (internal) {
            EXPECT_EQ(c->log("logdperr.txt"), kCapped30 + kPdInfo5 + kCtrlInfo2);
        } else {
            EXPECT_FALSE(c->exists(c->logdir() + "/logdperr.txt"));
        }
        EXPECT_EQ(c->sleeps(), std::vector<std::string>(internal ? 7 : 1, "sleep 1"));

        // What was sent to disk 0: INQUIRY, then each page header and page,
        // the code's low 6 bits with page control 01b, 16-bit lengths.
        EXPECT_EQ(cdbs(*c, 0, 0), (std::vector<std::string>{
                                      "120000006000",
                                      "4d004000000000000400",
                                      "4d004000000000000a00",
                                      "4d004000000000000400",
                                      "4d004000000000000a00",
                                      "4d004200000000000400",
                                      "4d004200000000001000",
                                      "4d004d00000000000400",
                                      "4d004d00000000000400",
                                      "4d006f00000000000400",
                                      "4d006f00000000001400",
                                      "4d004200000000000400",
                                      "4d004200000000001000",
                                      "4d007000000000000400",
                                      "4d007000000000ffff00",
                                  }));
        // The family disk: the internal log's requests only without -n.
        size_t fe = 0;
        for (auto& cdb : cdbs(*c, 0, 1)) fe += cdb.rfind("fe", 0) == 0;
        EXPECT_EQ(fe, internal ? 8u : 0u);
    }
}

// A failed LOG SENSE leaves the failed page's header line; a page the
// drive answered with CHECK CONDITION is passed over and the walk goes on,
// a request the library rejected ends it; the internal log still follows.
// A failed internal-log read leaves the sections before it complete. The detail line goes to the error log
// only in a run without arguments; the console shows the short red line.
TEST_P(Drive, FailedCommandsAreReported) {
    struct Row {
        const char* name;
        bool args;
        std::string fault;
        std::string file;    // expected MA0000.log after the identity lines
        std::string record;  // expected error log (without arguments)
    };
    const Bytes sense1 = bytes_of("70 00 05 00 00 00 00 0a 00 00 00 00 24 00");
    const Bytes sense2 = bytes_of("70 00 04 00 00 00 00 0a 00 00 00 00 44 00");
    const std::string pages_ok = page_block("02", bytes_of(P02));
    const std::string logsense_fault =
        "fault 0 0 logsense:2f code 0x4 sense \"70 00 05 00 00 00 00 0a 00 00 00 00 24 00\"\n";
    const std::string internal_fault =
        "fault 0 0 internal:4 code 0x10 sense \"70 00 04 00 00 00 00 0a 00 00 00 00 44 00\"\n";
    const std::string rejected_fault = "fault 0 0 logsense:2f code 0x800b status 0\n";
    const std::string ls_file = pages_ok + "<Page2f>\r\n" + page_block("0d", bytes_of(P0D)) + sections();
    const std::string rj_file = pages_ok + "<Page2f>\r\n" + sections();
    const std::string rj_record = scsi_detail(0, 0, bytes_of("4d 00 6f 00 00 00 00 00 04 00"), 0x800b, {});
    const std::string in_file =
        pages_ok + page_block("2f", bytes_of(P2F)) + page_block("0d", bytes_of(P0D)) + sections(2);
    const std::string ls_record = scsi_detail(0, 0, bytes_of("4d 00 6f 00 00 00 00 00 04 00"), 4, sense1);
    const std::string in_record = scsi_detail(0, 0, bytes_of("fe 04 00 00 00 00 00 00 04 00"), 0x10, sense2);
    const std::vector<Row> rows = {
        {"logsense", false, logsense_fault, ls_file, ls_record},
        {"logsense-args", true, logsense_fault, ls_file, ""},
        {"logsense-rejected", false, rejected_fault, rj_file, rj_record},
        {"internal", false, internal_fault, in_file, in_record},
        {"internal-args", true, internal_fault, in_file, ""},
    };
    ASSERT_EQ(ls_record.size(), 127u);  // 125 characters and CR LF
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        c->scenario(
            "controller 0\n"
            "device 0 0 sas vendor \"ACME    \" product \"DSX KZB3036TX   \" rev \"A1B2\" serial "
            "\"KZSER000000000000002\"\n"
            "page 0 0 0x00 \"00 00 00 03 02 2f 0d\"\n"
            "page 0 0 0x02 \"" +
            P02 +
            "\"\n"
            "page 0 0 0x2f \"" +
            P2F +
            "\"\n"
            "page 0 0 0x0d \"" +
            P0D + "\"\n" + section_statements(0, 0, kSectionLens) + row.fault +
            "device 0 1 sas vendor \"ACMEDRV \" product \"DK300SA0006     \" rev \"0003\" serial "
            "\"S0M1ABCD0000C1234567\"\n"
            "page 0 1 0x00 \"00 00 00 00\"\n");
        auto r = row.args ? c->run({"x"}) : c->run();
        EXPECT_EQ(r.status, 0);
        std::string drives = "Controller 0/ Target 0 : HardDisk Log saving...\n" + red(" HDD Log Dump Error\n") +
                             "Controller 0/ Target 1 : HardDisk Log saving...\n";
        EXPECT_EQ(r.out, row.args ? title() + kSaving + drives + kReset : full_run(1, drives)) << show(r.out);
        EXPECT_RESET_LAST(r);
        EXPECT_EQ(c->log("MA0000.log"), identity("ACME    DSX KZB3036TX   A1B2", "KZSER000000000000002") + row.file);
        EXPECT_EQ(c->log("MA0001.log"), kDisk.identity());
        if (row.args) {
            EXPECT_FALSE(c->exists(c->logdir() + "/logdperr.txt"));
        } else {
            EXPECT_EQ(c->log("logdperr.txt"), row.record);
        }
        // After a failed section no later section is asked for.
        size_t fe08 = 0;
        for (auto& cdb : cdbs(*c, 0, 0)) fe08 += cdb.rfind("fe08", 0) == 0;
        EXPECT_EQ(fe08, row.fault == internal_fault ? 0u : 2u);
    }
}

// A drive log that cannot be written (a full file system): " File Write
// Error(%s)\n" in red with the path, in the error log too when there is
// one; the file written before is complete, and the next drive log is not
// started on the full file system (its space reserve record).
TEST_P(Drive, DriveLogThatCannotBeWritten) {
    // Two pages of 60,000 bytes: about 190 KB of text each, on 256 KiB.
    std::string big10 = "10 00 ea 5c", big11 = "11 00 ea 5c";
    for (int i = 0; i < 59996; ++i) {
        big10 += " 10";
        big11 += " 11";
    }
    for (bool args : {true, false}) {
        SCOPED_TRACE(args ? "-o to a full file system" : "full log directory");
        auto c = make_case(args ? "args" : "noargs");
        std::string dir = args ? "/o_tmp/full" : c->logdir();
        std::filesystem::create_directories(c->host(dir));
        c->scenario(
            "controller 0\n"
            // In the run without arguments the error log gets a record (and
            // so its file system block) before the file system is full.
            "cli exit fwtermlog 0 1\n"
            "device 0 0 sas vendor \"ACMEDRV \" product \"DK300SA0006     \" rev \"0003\" serial "
            "\"S0M1ABCD0000C1234567\"\n"
            "page 0 0 0x00 \"00 00 00 01 02\"\n"
            "page 0 0 0x02 \"" +
            P02 +
            "\"\n"
            "device 0 1 sas vendor \"ACMEDRV \" product \"DK300SA0006     \" rev \"0003\" serial "
            "\"S0M1ABCD0000C0000001\"\n"
            "page 0 1 0x10 \"" +
            big10 + "\"\npage 0 1 0x11 \"" + big11 +
            "\"\n"
            "device 0 2 sas vendor \"ACMEDRV \" product \"DK300SA0006     \" rev \"0003\" serial "
            "\"S0M1ABCD0000C0000002\"\n"
            "page 0 2 0x00 \"00 00 00 01 02\"\n"
            "page 0 2 0x02 \"" +
            P02 + "\"\n");
        RunOptions o;
        if (args) o.args = {"-o", dir};
        o.tmpfs = {{dir, "size=256k"}};
        auto r = c->run(o);
        EXPECT_EQ(r.status, 0);
        const std::string reserve = " Space Reserve(" + dir + "/MA0002.log: 65536 bytes needed, N free, 13107 kept)\n";
        std::string drives =
            "Controller 0/ Target 0 : HardDisk Log saving...\n"
            "Controller 0/ Target 1 : HardDisk Log saving...\n" +
            red(" File Write Error(" + dir + "/MA0001.log)\n") + "Controller 0/ Target 2 : HardDisk Log saving...\n" +
            red(reserve);
        if (args) {
            EXPECT_EQ(mask_free(r.out), title() + kSaving + drives + kReset) << show(r.out);
        } else {
            // The event log may fail on the full file system too.
            std::string before = full_run(1, drives, {{"fwtermlog", 0}});
            before = before.substr(0, before.find(drives) + drives.size());
            EXPECT_EQ(mask_free(r.out).substr(0, before.size()), before) << show(r.out);
            std::string records =
                collector_record(six_collectors()[0]) + " File Write Error(" + dir + "/MA0001.log)\n" + reserve;
            EXPECT_EQ(mask_free(c->read(c->tmpfs_copy(0) + "/logdperr.txt")).substr(0, records.size()), records);
        }
        EXPECT_RESET_LAST(r);
        EXPECT_EQ(c->read(c->tmpfs_copy(0) + "/MA0000.log"), kDisk.identity() + page_block("02", bytes_of(P02)));
        EXPECT_FALSE(c->exists(c->tmpfs_copy(0) + "/MA0002.log"));
        // The tmpfs lived only in the tool's namespace: the case's own
        // directory under it stayed empty.
        EXPECT_TRUE(c->list(dir).empty());
    }
}

// The reserve of the log directory's file system (5%, at most 1 GiB) is
// never written into: an internal-log section whose text would cut into it
// is not read, nor (with -e) a block of subpages, a drive log is not
// started without room, and every later drive log is skipped; the
// controller logs still follow.
TEST_P(Drive, SpaceReserve) {
    struct Row {
        const char* name;
        std::string size;          // of the tmpfs log directory ("": no tmpfs)
        bool args;                 // -o to it, else the default directory
        std::string first;         // MA0000.log after its identity lines
        std::string records;       // drive part of the reserve records
        std::string statvfs = "";  // "TOTAL FREE" bytes that statvfs() tells instead
        bool extended = false;     // -e, and the disk has a subpage
    };
    const std::string d = "/o_tmp/small";
    const std::vector<Row> rows = {
        // 100,000 bytes of section become 312,500 characters of text and a header line.
        {"section", "size=256k", true, page_block("02", bytes_of(P02)) + sections(1),
         " Space Reserve(" + d + "/MA0000.log: 312521 bytes needed, N free, 13107 kept)\n"},
        {"drive-log", "size=64k", false, "*",
         " Space Reserve(/o_tmp/TMP/KESTRA/MA0000.log: 65536 bytes needed, N free, 3276 kept)\n"},
        // Large file systems: 5% of 10 GiB, and at most 1 GiB of 100 GiB; 100 KiB more is free.
        {"10-gib", "", true, page_block("02", bytes_of(P02)) + sections(1),
         " Space Reserve(" + d + "/MA0000.log: 312521 bytes needed, N free, 536870912 kept)\n",
         "10737418240 536973312"},
        {"100-gib", "", true, page_block("02", bytes_of(P02)) + sections(1),
         " Space Reserve(" + d + "/MA0000.log: 312521 bytes needed, N free, 1073741824 kept)\n",
         "107374182400 1073844224"},
        // The list of subpages may hold 65,535 bytes: a tag and 204,797 characters.
        {"subpages", "", true, page_block("02", bytes_of(P02)),
         " Space Reserve(" + d + "/MA0000.log: 204813 bytes needed, N free, 536870912 kept)\n", "10737418240 536973312",
         true},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        std::string dir = row.args ? d : c->logdir();
        std::filesystem::create_directories(c->host(dir));
        c->scenario(
            "controller 0\n"
            "device 0 0 sas vendor \"ACME    \" product \"DSK KZA4036TX   \" rev \"A1B2\" serial "
            "\"KZSER000000000000001\"\n"
            "page 0 0 0x00 \"00 00 00 01 02\"\npage 0 0 0x02 \"" +
            P02 +
            "\"\n"
            "internal 0 0 1 3\ninternal 0 0 2 100000\ninternal 0 0 4 3\ninternal 0 0 8 3\n" +
            std::string(row.extended ? "subpage 0 0 0x0d 0x01 \"4d 01 00 00\"\n" : "") +
            "device 0 1 sas vendor \"ACMEDRV \" product \"DK300SA0006     \" rev \"0003\" serial "
            "\"S0M1ABCD0000C1234567\"\n");
        RunOptions o;
        if (row.args) o.args = {"-o", dir};
        if (row.extended) o.args.push_back("-e");
        if (!row.size.empty()) o.tmpfs = {{dir, row.size}};
        if (!row.statvfs.empty()) o.env = {{"STATVFS_SHIM", row.statvfs}};
        const std::string where = row.size.empty() ? dir : c->tmpfs_copy(0);
        auto r = c->run(o);
        EXPECT_EQ(r.status, 0);
        std::string records = row.records + " Space Reserve(" + dir + "/MA0001.log: skipped)\n";
        std::string drives = "Controller 0/ Target 0 : HardDisk Log saving...\n" + red(row.records) +
                             "Controller 0/ Target 1 : HardDisk Log saving...\n" +
                             red(" Space Reserve(" + dir + "/MA0001.log: skipped)\n");
        EXPECT_EQ(mask_free(r.out), row.args ? title() + kSaving + drives + kReset : full_run(1, drives))
            << show(r.out);
        if (!row.args) {
            EXPECT_EQ(mask_free(c->read(where + "/logdperr.txt")), records);
        }
        const std::string id = identity("ACME    DSK KZA4036TX   A1B2", "KZSER000000000000001");
        if (row.first == "*") {
            EXPECT_FALSE(c->exists(where + "/MA0000.log"));
        } else {
            EXPECT_EQ(c->read(where + "/MA0000.log"), id + row.first);
        }
        EXPECT_FALSE(c->exists(where + "/MA0001.log"));
        // The internal section was never asked for whole.
        for (auto& cdb : cdbs(*c, 0, 0)) EXPECT_NE(cdb, "fe02000000000186a000") << "the section was read";
    }
}

// Answers that do not add up: nothing is dumped that the drive did not send
// (the data area is cleared, a smaller dataLen is believed), a page or list
// claiming more than arrived or being another page is reported, lengths
// that do not fit their fields are capped and reported, and the identity of
// a short INQUIRY holds only what arrived.
TEST_P(Drive, AnswersThatDoNotAddUp) {
    // Page 03 is read before page 0d: its bytes are what a buffer that is not
    // cleared would still hold.
    const std::string p03 = "03 00 00 3c" + [] {
        std::string t;
        for (int i = 0; i < 60; ++i) t += " aa";
        return t;
    }();
    const std::string p0d = "0d 00 01 00 11 22 33 44";  // claims 260 bytes, holds 8
    std::string p0d_big = "0d 00 ff fc";                // claims 65,536 bytes, holds 1,000
    for (int i = 0; i < 996; ++i) p0d_big += " 5a";
    auto zeros_after = [](const std::string& hex, size_t n) {
        Bytes b = bytes_of(hex);
        b.resize(n, 0);
        return b;
    };
    const std::string h = "H00T00 ";
    struct Row {
        const char* name;
        std::string scenario;  // after the device line
        std::string file;      // after the identity lines ("" keeps the default identity)
        std::string records;
        std::string identity = "";
    };
    const std::string pages = "page 0 0 0x00 \"00 00 00 02 03 0d\"\npage 0 0 0x03 \"" + p03 + "\"\n";
    const std::string p03_block = page_block("03", bytes_of(p03));
    const std::vector<Row> rows = {
        {"claimed-not-sent", pages + "page 0 0 0x0d \"" + p0d + "\"\n",
         p03_block + page_block("0d", zeros_after(p0d, 260)), ""},
        {"claimed-not-sent-datalen", pages + "page 0 0 0x0d \"" + p0d + "\"\ntransfer 0 0 logsense:0d datalen sent\n",
         p03_block + page_block("0d", bytes_of(p0d)),
         " Inconsistent Answer(" + h + "Page0d: page 0d, 260 bytes claimed, 8 arrived)\n"},
        // Capped at 65,535 and still short: the cap does not excuse it.
        {"capped-and-short", pages + "page 0 0 0x0d \"" + p0d_big + "\"\ntransfer 0 0 logsense:0d datalen sent\n",
         p03_block + page_block("0d", bytes_of(p0d_big)),
         " Length Capped(" + h + "Page0d: 65536 bytes needed, 65535 asked)\n Inconsistent Answer(" + h +
             "Page0d: page 0d, 65536 bytes claimed, 1000 arrived)\n"},
        {"other-page",
         pages + "page 0 0 0x0d \"" + p0d + "\"\npage 0 0 0x02 \"" + P02 + "\"\ntransfer 0 0 logsense:0d page 2\n",
         p03_block + page_block("0d", bytes_of(P02)),
         " Inconsistent Answer(" + h + "Page0d: page 02, 16 bytes claimed, 16 arrived)\n"},
        {"short-list",
         "page 0 0 0x00 \"00 00 00 40 02 0d\"\npage 0 0 0x02 \"" + P02 + "\"\npage 0 0 0x0d \"" + P0D + "\"\n",
         page_block("02", bytes_of(P02)) + page_block("0d", bytes_of(P0D)), ""},
        {"short-list-datalen",
         "page 0 0 0x00 \"00 00 00 40 02 0d\"\npage 0 0 0x02 \"" + P02 + "\"\npage 0 0 0x0d \"" + P0D +
             "\"\ntransfer 0 0 logsense:00 datalen sent\n",
         page_block("02", bytes_of(P02)) + page_block("0d", bytes_of(P0D)),
         " Inconsistent Answer(" + h + "Page00: page 00, 68 bytes claimed, 6 arrived)\n"},
        {"short-inquiry", "page 0 0 0x00 \"00 00 00 00\"\ntransfer 0 0 inquiry bytes 20 datalen sent\n", "",
         " Short Transfer(" + h + "Inquiry: 20 of 96 bytes)\n", identity("ACMEDRV DK30", "")},
        {"short-section",
         "page 0 0 0x00 \"00 00 00 00\"\ninternal 0 0 1 1048579\ninternal 0 0 2 16\n"
         "transfer 0 0 internal:1 nth 2 bytes 100 datalen sent\n",
         section_title(1) + hex_lines([] {
             Bytes b = section(1, 1048579);  // the first 100 bytes of it
             b.resize(100);
             return b;
         }()) +
             section_block(2, 16) + section_block(4, 3) + section_block(8, 3),
         " Short Transfer(" + h + "Section01: 100 of 1048579 bytes)\n"},
        {"section-beyond-cdb",
         "page 0 0 0x00 \"00 00 00 00\"\ninternal 0 0 1 3\ninternal 0 0 2 16777218\n"
         "transfer 0 0 internal length cdb\n",
         "*", " Length Capped(" + h + "Section02: 16777218 bytes needed, 16777215 asked)\n"},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        // Internal-log rows need a disk of the family.
        const bool family = row.scenario.find("internal") != std::string::npos;
        c->scenario(std::string("controller 0\ndevice 0 0 sas vendor \"ACMEDRV \" product \"") +
                    (family ? "DSK KZA4036TX   " : "DK300SA0006     ") +
                    "\" rev \"0003\" serial \"S0M1ABCD0000C1234567\"\n" + row.scenario +
                    (family ? "internal 0 0 4 3\ninternal 0 0 8 3\n" : ""));
        auto r = c->run();
        EXPECT_EQ(r.status, 0);
        const bool inquiry = row.name == std::string("short-inquiry");
        std::string drives =
            (inquiry ? red(row.records) : "") + kDisk.saving() + (inquiry ? "" : red_lines(row.records));
        EXPECT_EQ(r.out, full_run(1, drives)) << show(r.out);
        EXPECT_EQ(c->log("logdperr.txt"), row.records);
        std::string log = c->log("MA0000.log");
        std::string id = !row.identity.empty() ? row.identity
                         : family              ? identity("ACMEDRV DSK KZA4036TX   0003", "S0M1ABCD0000C1234567")
                                               : kDisk.identity();
        if (row.file != "*") {
            EXPECT_EQ(log, id + row.file);
            continue;
        }
        // The section as the drive sends it when the CDB asks for 0xFFFFFF
        // bytes: all of them, never 16 MiB of zeros.
        const std::string head = id + section_block(1, 3) + section_title(2) + " 02 ff ff ff 00 01 02";
        const std::string tail = section_block(4, 3) + section_block(8, 3);
        ASSERT_EQ(log.rfind(head, 0), 0u);
        EXPECT_EQ(log.size(), head.size() - 21 + 1048575u * 50 + 15 * 3 + 2 + tail.size());
        EXPECT_EQ(log.substr(log.size() - tail.size() - 8), " f9 fa\r\n" + tail);
    }
}

// Limits: a supported-pages list longer than any page table keeps the codes
// that fit, in order (at least one for every 6-bit code); an internal-log
// section longer than 65,535 bytes is dumped whole.
TEST_P(Drive, Limits) {
    auto c = make_case();
    std::string scn = "controller 0\n" + kDisk.device();
    // 200 codes: 01..3f over and over.
    Bytes p00{0, 0, 0, 200};
    for (int i = 0; i < 200; ++i) p00.push_back(static_cast<unsigned char>(1 + i % 63));
    std::string hex;
    for (auto b : p00) {
        char t[4];
        snprintf(t, sizeof t, "%02x", b);
        hex += t;
    }
    scn += "page 0 0 0x00 \"" + hex + "\"\n";
    for (int code = 1; code < 64; ++code) {
        char t[64];
        snprintf(t, sizeof t, "page 0 0 0x%02x \"%02x 00 00 02 00 %02x\"\n", code, code, code);
        scn += t;
    }
    scn +=
        "device 0 1 sas vendor \"ACME    \" product \"DSK KZB3072TX   \" rev \"A1B2\" serial \"KZSER000000000000004\"\n"
        "page 0 1 0x00 \"00 00 00 00\"\n"
        "internal 0 1 1 3\ninternal 0 1 2 70000\ninternal 0 1 4 3\ninternal 0 1 8 3\n";
    c->scenario(scn);
    auto r = c->run({"x"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, title() + kSaving + kDisk.saving() + "Controller 0/ Target 1 : HardDisk Log saving...\n" + kReset)
        << show(r.out);
    auto blocks = page_blocks(c->log("MA0000.log"));
    EXPECT_GE(blocks.size(), 64u);
    EXPECT_LE(blocks.size(), 200u);
    for (size_t i = 0; i < blocks.size(); ++i) {
        int code = 1 + static_cast<int>(i % 63);
        char t[4];
        snprintf(t, sizeof t, "%02x", code);
        EXPECT_EQ(blocks[i].first, t) << i;
        EXPECT_EQ(blocks[i].second,
                  (Bytes{static_cast<unsigned char>(code), 0, 0, 2, 0, static_cast<unsigned char>(code)}))
            << i;
    }
    std::string log = c->log("MA0001.log");
    std::string want = section_block(2, 70000);
    EXPECT_NE(log.find(want), std::string::npos) << "the 70,000-byte section is not dumped whole";
    EXPECT_EQ(log, identity("ACME    DSK KZB3072TX   A1B2", "KZSER000000000000004") + section_block(1, 3) + want +
                       section_block(4, 3) + section_block(8, 3));
}

// Ctrl-C while a LOG SENSE is blocked in the library: status 1 after the
// call returns, the drive log closed holding everything written before and
// recorded as cut, no further device and no event log.
TEST_P(Drive, InterruptDuringLogSense) {
    auto c = make_case();
    c->scenario(
        "controller 0\n" + kDisk.device() +
        "page 0 0 0x00 \"00 00 00 03 02 03 2f\"\n"
        "page 0 0 0x02 \"" +
        P02 +
        "\"\n"
        "page 0 0 0x03 \"03 00 00 08 00 00 02 04 00 00 00 05\"\n"
        "page 0 0 0x2f \"" +
        P2F +
        "\"\n"
        "delay 0 0 logsense:03 nth 1 ms 3000\n"
        "device 0 1 sas vendor \"ACMEDRV \" product \"DK300SA0006     \" rev \"0003\" serial \"S0M1ABCD0000C0000002\"\n"
        "page 0 1 0x00 \"00 00 00 00\"\n");
    RunOptions o;
    o.interrupt = Interrupt{c->logdir() + "/MA0000.log", "<Page03>", 300};
    auto r = c->run(o);
    EXPECT_TRUE(r.interrupt_sent);
    EXPECT_EQ(r.status, 1) << "signal " << r.signal;
    EXPECT_EQ(c->log("MA0000.log"), kDisk.identity() + page_block("02", bytes_of(P02)) + "<Page03>\r\n");
    EXPECT_FALSE(c->exists(c->logdir() + "/MA0001.log"));
    std::string before = full_run(1).substr(0, title().size() + kSaving.size());
    for (auto& col : six_collectors()) before += collector_ok(col, 0);
    before += kDisk.saving();
    EXPECT_EQ(r.out.substr(0, before.size()), before) << show(r.out);
    const std::string record = " File Interrupted(/o_tmp/TMP/KESTRA/MA0000.log)\n";
    EXPECT_EQ(r.out, before + red(record) + kReset) << show(r.out);
    EXPECT_RESET_LAST(r);
    for (auto& call : c->cli_calls()) EXPECT_NE(call.at(2), "-adpeventlog") << "the run went on";
    EXPECT_EQ(c->sleeps(), std::vector<std::string>(6, "sleep 1"));
    EXPECT_EQ(c->log("logdperr.txt"), record);
}

INSTANTIATE_TEST_SUITE_P(Both, Drive, ::testing::ValuesIn(tools()), tool_param_name);
