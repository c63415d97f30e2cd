// The drive-log reader: a valid log, then the same log with one fault.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>

#include "drivelog.h"
#include "util.h"

namespace {

using namespace rpt;

// A section as the drive sends it: bytes 1..3 hold its length less 3.
std::vector<uint8_t> section(uint8_t type, size_t len) {
    std::vector<uint8_t> b(len);
    b[0] = type;
    b[1] = static_cast<uint8_t>((len - 3) >> 16);
    b[2] = static_cast<uint8_t>((len - 3) >> 8);
    if (len > 3) b[3] = static_cast<uint8_t>(len - 3);
    for (size_t i = 4; i < len; ++i) b[i] = static_cast<uint8_t>(i);
    return b;
}

const std::string kIdentity =
    "Device code   : ACME    DSK KZA4072TX   A1B2\r\nSerial number : KZSER000000000000001\r\n";
const std::string kPage06 = "<Page06>\r\n" + test::dump(test::unhex("060000080000020400000244"));
const std::string kPage0d = "<Page0d>\r\n" + test::dump(test::unhex("0d00000c000003020024000103020044"));
const std::string kSections = "<Drive Status Log>\r\n" + test::dump(section(1, 3)) + "<Drive Interna Log>\r\n" +
                              test::dump(section(2, 5000)) + "<Command Log>\r\n" + test::dump(section(4, 32)) +
                              "<Controller Internal Information>\r\n" + test::dump(section(8, 35));
const std::string kSubpage = "<Subpage15.01>\r\n" + test::dump(test::unhex("550100080000030400000000"));
const std::string kGrown = "<Grown Defects>\r\n 00 0b 00 08\r\n";
const std::string kValid = kIdentity + kPage06 + kPage0d + kSubpage + kGrown + kSections;

// A SATA drive's blocks, as the collector writes them with -e.
const std::string kSector = test::dump(std::vector<uint8_t>(512, 0x11));
const std::string kAtaIdentity =
    "Device code   : ACME DH4000SA-1000                      AC01R007\r\n"
    "Serial number : AC1H0000000000004711\r\n";
const std::string kAta = kAtaIdentity + "<ATA IDENTIFY DEVICE>\r\n" + kSector + "<ATA SMART READ DATA>\r\n" + kSector +
                         "<ATA SMART READ THRESHOLDS>\r\n" + kSector +
                         "<ATA SMART RETURN STATUS>\r\npassed (4f c2)\r\n" + "<ATA SMART LOG 00>\r\n" + kSector +
                         "<ATA GPL LOG 04 PAGE 0001>\r\n" + kSector + kSector;

std::string replace(std::string s, const std::string& from, const std::string& to) {
    size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

std::vector<std::string> codes_of(const DriveLog& log) {
    std::vector<std::string> codes;
    for (auto& f : log.findings) codes.push_back(f.code());
    return codes;
}

TEST(DriveLog, FaultsBecomeFindings) {
    struct Row {
        const char* name;
        std::string text;
        std::vector<std::string> codes;  // findings, in order
        std::vector<uint64_t> present;   // bytes found per section
        bool page_damaged = false;       // of the first page
    };
    const std::vector<uint64_t> whole = {3, 5000, 32, 35};
    const std::string page06_16 = "<Page06>\r\n" + test::dump(test::unhex("060000080000020400000244deadbeef"));
    const std::vector<Row> rows = {
        {"valid", kValid, {}, whole},
        {"page longer than its length field", replace(kValid, kPage06, page06_16), {"page-length"}, whole, true},
        {"subpage that is another", replace(kValid, " 55 01 00 08", " 55 02 00 08"), {"page-code"}, whole},
        {"subpage without its SPF bit", replace(kValid, " 55 01 00 08", " 15 01 00 08"), {"page-code"}, whole},
        {"grown defects unsupported",
         replace(kValid, " 00 0b 00 08\r\n", "Not supported (ILLEGAL REQUEST)\r\n"),
         {},
         whole},
        {"grown defects, text of another kind",
         replace(kValid, " 00 0b 00 08\r\n", "Not supported\r\n"),
         {"block-text"},
         whole},
        {"grown defects, a byte short", replace(kValid, " 00 0b 00 08\r\n", " 00 0b 00\r\n"), {"block-length"}, whole},
        {"torn last line", kValid.substr(0, kValid.size() - 2), {"torn-line"}, whole},
        {"a section's last line with junk for its line end, at the file's end: not jumped",
         kValid.substr(0, kValid.size() - 2) + "zz",
         {"torn-line", "junk-line", "section-cut"},
         {3, 5000, 32, 32}},
        {"cut inside a section", kValid.substr(0, kValid.size() - 55), {"torn-line", "section-cut"}, {3, 5000, 32, 18}},
        {"section cut, next block follows",
         replace(kValid, test::dump(section(2, 5000)), test::dump(section(2, 5000)).substr(0, 4000)),
         {"section-cut"},
         {3, 1280, 32, 35}},
        {"section longer than its field",
         replace(kValid, test::dump(section(4, 32)), test::dump(section(4, 32)) + " 00\r\n"),
         {"section-length"},
         {3, 5000, 33, 35}},
        {"page length field disagrees", replace(kValid, " 06 00 00 08", " 06 00 00 09"), {"page-length"}, whole, true},
        {"page code disagrees", replace(kValid, " 06 00 00 08", " 07 00 00 08"), {"page-code"}, whole, true},
        {"junk in a page", replace(kValid, " 06 00 00 08", " 06 00 0g 08"), {"junk-line"}, whole, true},
        {"LF alone", replace(kValid, "<Page0d>\r\n", "<Page0d>\n"), {"line-ends"}, whole},
        {"LF alone in a section", replace(kValid, "<Command Log>\r\n", "<Command Log>\n"), {"line-ends"}, whole},
        {"no identity", kValid.substr(kIdentity.size()), {"identity"}, whole},
        // Judged with the error log's records of the disk, not by the reader.
        {"page that failed", replace(kValid, kPage0d, "<Page0d>\r\n"), {}, whole},
        {"junk line", replace(kValid, kPage0d, kPage0d + "garbage\r\n"), {"junk-line"}, whole},
        {"thirty junk lines: twenty named, the rest counted in one",
         replace(
             kValid, kPage0d,
             kPage0d +
                 [] {
                     std::string junk;
                     for (int i = 0; i < 30; ++i) junk += "garbage\r\n";
                     return junk;
                 }()),
         std::vector<std::string>(21, "junk-line"), whole},
        {"empty file", "", {"empty-file"}, {}},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        DriveLog log = read_drive_log(row.text);
        EXPECT_EQ(codes_of(log), row.codes);
        std::vector<uint64_t> present;
        for (auto& s : log.sections) present.push_back(s.present);
        EXPECT_EQ(present, row.present);
        if (row.text.empty()) continue;
        EXPECT_EQ(log.identity, row.codes != std::vector<std::string>{"identity"});
        ASSERT_EQ(log.blocks.size(), 4u);
        EXPECT_EQ(log.blocks[0].damaged, row.page_damaged);
        EXPECT_FALSE(log.ata());
        ASSERT_EQ(log.sections.size(), 4u);
        EXPECT_EQ(log.sections[1].length, 5000u);
        EXPECT_EQ(log.sections[3].type, 8);
    }
    EXPECT_TRUE(read_drive_log(replace(kValid, kPage0d, "<Page0d>\r\n")).blocks[1].unread);
    DriveLog v = read_drive_log(kValid);
    std::string upper = test::dump(test::unhex("0d00000c000003020024000103020044"));  // the hex digits in capitals
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(read_drive_log(replace(kValid, kPage0d, "<Page0d>\r\n" + upper)).blocks[1].bytes, v.blocks[1].bytes);
    EXPECT_EQ(v.device_code, "ACME    DSK KZA4072TX   A1B2");
    EXPECT_EQ(v.serial, "KZSER000000000000001");
    EXPECT_EQ(v.blocks[1].bytes, test::unhex("0d00000c000003020024000103020044"));
    EXPECT_EQ(v.blocks[2].page, 0x15);
    EXPECT_EQ(v.blocks[2].subpage, 0x01);
    EXPECT_EQ(v.blocks[3].kind, BlockKind::GrownDefects);
}

TEST(DriveLog, AtaBlocksAndTheirFaults) {
    struct Row {
        const char* name;
        std::string text;
        std::vector<std::string> codes;
    };
    const std::vector<Row> rows = {
        {"valid", kAta, {}},
        {"IDENTIFY a line short",
         replace(kAta, kSector + "<ATA SMART READ DATA>", kSector.substr(50) + "<ATA SMART READ DATA>"),
         {"block-length"}},
        {"a log of part of a sector", replace(kAta, kSector + kSector, kSector + kSector.substr(50)), {"block-length"}},
        {"status of no known form", replace(kAta, "passed (4f c2)", "passed (4f)"), {"block-text"}},
        {"status unknown", replace(kAta, "passed (4f c2)", "unknown (00 00)"), {}},
        {"a command that failed",
         replace(kAta, "<ATA SMART READ THRESHOLDS>\r\n" + kSector, "<ATA SMART READ THRESHOLDS>\r\n"),
         {}},
        {"a tag of no known form", replace(kAta, "<ATA SMART LOG 00>", "<ATA SMART LOG 0>"), {"junk-line"}},
        {"status of no known word", replace(kAta, "passed (4f c2)", "failing (4f c2)"), {"block-text"}},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        DriveLog log = read_drive_log(row.text);
        EXPECT_EQ(codes_of(log), row.codes);
        EXPECT_TRUE(log.ata());
    }
    EXPECT_TRUE(read_drive_log(rows[5].text).blocks[2].unread) << rows[5].name;
    DriveLog v = read_drive_log(kAta);
    ASSERT_EQ(v.blocks.size(), 6u);
    EXPECT_EQ(v.blocks[3].text, "passed (4f c2)");
    EXPECT_EQ(v.blocks[5].kind, BlockKind::AtaGplLog);
    EXPECT_EQ(v.blocks[5].page, 0x04);
    EXPECT_EQ(v.blocks[5].log_page, 0x0001);
    EXPECT_EQ(v.blocks[5].bytes.size(), 1024u);
}

}  // namespace
