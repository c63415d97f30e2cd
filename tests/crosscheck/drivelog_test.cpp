// The collector and the report agree on the drive logs: every kind of block
// the collectors write (log pages, subpages, the grown defect count and its
// refusal, internal-log sections, each ATA block), failed commands and
// capped lengths among them, is written by the extended drive scan against
// the simulated library and read back by the report's drive-log reader,
// which must find each block with the bytes the drive sent, and name what
// went wrong with the finding the report gives for it.
#include <gtest/gtest.h>

#include "bytes.h"
#include "drivelog.h"
#include "run_state.h"
#include "test_sas_support.h"

namespace {

using testbytes::Bytes;
using testbytes::hex;
using testbytes::pattern;
using testbytes::put_word;
using testbytes::sector;

// One block as the reader must see it: its tag, the bytes, the text line of
// a block that has one; no bytes and no text: the command failed.
struct Want {
    std::string tag;
    Bytes bytes = {};
    std::string text = "";
};
// A block as one line: tag, byte count, a digest of the bytes (FNV-1a),
// its text, whether it stands unread.
std::string show(const std::string& tag, const Bytes& bytes, const std::string& text, bool unread) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (unsigned char b : bytes) h = (h ^ b) * 0x100000001b3ULL;
    return tag + " " + std::to_string(bytes.size()) + " " + hex(&h, sizeof h) +
           (text.empty() ? "" : " \"" + text + "\"") + (unread ? " unread" : "");
}

Bytes page(unsigned code, const Bytes& params) {
    Bytes p(4 + params.size());
    p[0] = static_cast<unsigned char>(code);
    p[2] = static_cast<unsigned char>(params.size() >> 8);
    p[3] = static_cast<unsigned char>(params.size());
    std::copy(params.begin(), params.end(), p.begin() + 4);
    return p;
}
Bytes subpage(unsigned code, unsigned sub, const Bytes& params) {
    Bytes p = page(code, params);
    p[0] |= 0x40;
    p[1] = static_cast<unsigned char>(sub);
    return p;
}
Bytes first(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + static_cast<long>(n)); }

const std::string kCheckCondition = " code 4 sense \"70 00 04 00 00 00 00 0a 00 00 00 00 44 00\"\n";
const std::string kAbort = " error 0x04 status 0x51\n";

// A SAS disk: a page, a page longer than LOG SENSE can ask for (65,535
// bytes read of its 65,536), a page that fails; the list of subpages, a
// subpage, a subpage that fails; the grown defect count.
struct SasDisk {
    Bytes p02 = page(0x02, pattern(2, 12)), p03 = page(0x03, pattern(3, 65532)), p0d = page(0x0d, pattern(0xd, 8));
    Bytes list = subpage(0x00, 0xff, testbytes::bytes_of("00 00 00 ff 02 00 03 00 0d 00 0d 01 15 01"));
    Bytes s0d01 = subpage(0x0d, 0x01, pattern(0xd1, 16)), s1501 = subpage(0x15, 0x01, pattern(0x51, 4));

    std::string statements() const {
        std::string s = "device 0 0 sas\npage 0 0 0x02 " + hex(p02) + "\npage 0 0 0x03 " + hex(p03) +
                        "\npage 0 0 0x0d " + hex(p0d) + "\nfault 0 0 logsense:0d" + kCheckCondition;
        return s + "subpage 0 0 0 0xff " + hex(list) + "\nsubpage 0 0 0x0d 0x01 " + hex(s0d01) +
               "\nsubpage 0 0 0x15 0x01 " + hex(s1501) + "\nfault 0 0 logsense:15.01" + kCheckCondition +
               "defects 0 0 5 format 5\n";
    }
    std::vector<Want> blocks() const {
        return {{"Page02", p02},
                {"Page03", first(p03, 65535)},
                {"Page0d"},
                {"Subpage00.ff", list},
                {"Subpage0d.01", s0d01},
                {"Subpage15.01"},
                {"Grown Defects", testbytes::bytes_of("00 0d 00 28")}};  // format 5, 5 x 8 bytes
    }
};

// A SATA drive with every block: IDENTIFY (general-purpose and SMART logs
// supported), SMART data, thresholds and status, the SMART log directory,
// error log and a self-test log longer than one read can take (64 of its
// 70 sectors); the general-purpose directory, device statistics page 0 and
// the page it lists, the extended self-test log's page 0 and newest page,
// an error log cut short (100 bytes), a log that fails and one capped at
// 256 of its 300 pages.
struct SataDrive {
    Bytes identify = [] {
        Bytes b(512, 0);
        testbytes::put_ata_string(b, 10, "CC-SER-0001         ");
        testbytes::put_ata_string(b, 23, "CC01    ");
        testbytes::put_ata_string(b, 27, "CROSSCHECK SSD 1                        ");
        put_word(b, 84, 0x4023);
        return b;
    }();
    Bytes data = pattern(0xd0, 512), thresholds = pattern(0xd1, 512);
    Bytes smart01 = pattern(0x01, 512), smart06 = pattern(0x06, 70 * 512);
    Bytes gpl03 = pattern(0x03, 512), gpl04 = pattern(0x04, 3 * 512), gpl07 = pattern(0x07, 2 * 512);
    Bytes gpl10 = pattern(0x10, 512), gpl11 = pattern(0x11, 300 * 512);
    Bytes smartDir = Bytes(512, 0), gplDir = Bytes(512, 0);

    SataDrive() {
        gpl04[8] = 1;  // page 0 lists page 2
        gpl04[9] = 0x02;
        put_word(gpl07, 1, 20);  // the newest of 19 a page is on page 1
        for (auto [w, v] : {std::pair{0, 1}, {0x01, 1}, {0x06, 70}}) put_word(smartDir, w, v);
        for (auto [w, v] : {std::pair{0, 1}, {0x03, 1}, {0x04, 3}, {0x07, 2}, {0x10, 1}, {0x11, 300}})
            put_word(gplDir, w, v);
    }
    std::string statements() const {
        std::string s = "device 0 1 sata\nidentify 0 1 " + hex(identify) + "\nsmart 0 1 " + hex(data) +
                        "\nsmart-thresholds 0 1 " + hex(thresholds) + "\nsmart-log 0 1 0x01 " + hex(smart01) +
                        "\nsmart-log 0 1 0x06 " + hex(smart06) + "\n";
        for (auto& [address, log] : {std::pair{3, &gpl03}, {4, &gpl04}, {7, &gpl07}, {0x10, &gpl10}, {0x11, &gpl11}})
            s += "gpl-log 0 1 " + std::to_string(address) + " " + hex(*log) + "\n";
        return s + "transfer 0 1 gpl:03 bytes 100 datalen sent\nata-error 0 1 gpl:10" + kAbort;
    }
    std::vector<Want> blocks() const {
        return {{"ATA IDENTIFY DEVICE", identify},
                {"ATA SMART READ DATA", data},
                {"ATA SMART READ THRESHOLDS", thresholds},
                {"ATA SMART RETURN STATUS", {}, "passed (4f c2)"},
                {"ATA SMART LOG 00", smartDir},
                {"ATA SMART LOG 01", smart01},
                {"ATA SMART LOG 06", first(smart06, 64 * 512)},
                {"ATA GPL LOG 00 PAGE 0000", gplDir},
                {"ATA GPL LOG 04 PAGE 0000", sector(gpl04, 0)},
                {"ATA GPL LOG 04 PAGE 0002", sector(gpl04, 2)},
                {"ATA GPL LOG 07 PAGE 0000", sector(gpl07, 0)},
                {"ATA GPL LOG 07 PAGE 0001", sector(gpl07, 1)},
                {"ATA GPL LOG 03 PAGE 0000", first(gpl03, 100)},
                {"ATA GPL LOG 10 PAGE 0000"},
                {"ATA GPL LOG 11 PAGE 0000", first(gpl11, 256 * 512)}};
    }
};

// A disk of the internal-log family: no pages, the grown defect list
// refused, and its four sections, the second cut short.
const std::string kFamily =
    "device 0 2 sas product \"DSK KZA4036TX   \"\ndefects 0 2 unsupported\n"
    "internal 0 2 1 40\ninternal 0 2 2 300\ninternal 0 2 4 20\ninternal 0 2 8 17\n"
    "transfer 0 2 internal:2 nth 2 bytes 100 datalen sent\n";

class DriveLogs : public sastest::SasTest {
protected:
    void SetUp() override {
        SasTest::SetUp();
        iExtendedFlg = 1;
    }
    void TearDown() override {
        iExtendedFlg = 0;
        SasTest::TearDown();
    }
};

}  // namespace

TEST_F(DriveLogs, EveryBlockIsReadBackWithItsBytes) {
    const SasDisk sas;
    const SataDrive sata;
    struct Row {
        const char* file;
        std::vector<Want> blocks;
        std::vector<std::string> sections;  // name, length, bytes present
        std::vector<std::string>
            findings;  // the reader's codes, in order (a block left unread is judged with the disk)
    };
    const Row rows[] = {
        {"MA0000.log", sas.blocks(), {}, {"page-length"}},
        {"MA0001.log", sata.blocks(), {}, {"block-length"}},
        {"MA0002.log",
         {{"Grown Defects", {}, "Not supported (ILLEGAL REQUEST)"}},
         {"Drive Status Log 40 40", "Drive Interna Log 300 100", "Command Log 20 20",
          "Controller Internal Information 17 17"},
         {"section-cut"}},
    };
    scan("controller 0 count 3\n" + sas.statements() + sata.statements() + kFamily, 1);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const rpt::DriveLog log = rpt::read_drive_log(drive_log(row.file));
        EXPECT_TRUE(log.identity);
        std::vector<std::string> got, want, sections, findings;
        for (const rpt::Block& b : log.blocks) got.push_back(show(b.tag, b.bytes, b.text, b.unread));
        for (const Want& w : row.blocks)
            want.push_back(show(w.tag, w.bytes, w.text, w.bytes.empty() && w.text.empty()));
        EXPECT_EQ(got, want);
        for (const rpt::SectionBlock& s : log.sections)
            sections.push_back(s.name + " " + std::to_string(s.length) + " " + std::to_string(s.present));
        EXPECT_EQ(sections, row.sections);
        for (const rpt::Finding& f : log.findings) findings.push_back(f.code());
        EXPECT_EQ(findings, row.findings);
    }
}
