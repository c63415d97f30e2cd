// A collection's disks judged once with what its error log says of each:
// a command the drive rejected excuses the block it left empty, a record
// of a drive log that is missing is the collection's, and a record goes to
// one disk only.
#include <gtest/gtest.h>

#include "report.h"
#include "util.h"

namespace {

using namespace rpt;
using test::page;
using test::param;

const std::string kSas = "Device code   : ACMEDRV DK600SA0006     0004\r\nSerial number : S1\r\n<Page03>\r\n" +
                         test::dump(page(0x03, {param(6, "00")})) + "<Page2f>\r\n<Page15>\r\n";
const std::string kRejected2f =
    "H00T00 Command error , 4d 00 6f 00 00 00 00 00 04 00 , 00000000, "
    "70 00 05 00 00 00 00 0a 00 00 00 00 24 00 00 00 00 00 00 00 \r\n";
const std::string kSataAbort =
    "H00T00 Command error ,  34 40 51 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n";

std::vector<std::string> codes(const Findings& fs) {
    std::vector<std::string> out;
    for (auto& f : fs) out.push_back(std::string(severity_name(f.severity)) + " " + f.code());
    return out;
}

TEST(Attach, EachDiskJudgedWithItsRecords) {
    struct Row {
        const char* name;
        std::string errlog;
        std::vector<std::pair<std::string, std::string>> files;  // name, text
        std::vector<std::vector<std::string>> disks;             // each disk's findings, in order
        std::vector<std::string> host;                           // the collection's findings
    };
    const std::string sata = test::slurp(std::string(LOGPAGES_DIR) + "/sata_hdd.log") +
                             "<ATA GPL LOG 10 PAGE 0001>\r\n<ATA GPL LOG 11 PAGE 0001>\r\n";
    const std::vector<Row> rows = {
        {"a rejected page is no gap, another page is",
         kRejected2f,
         {{"MA0000.log", kSas}},
         {{"WARN page-unread", "INFO command-rejected"}},
         {}},
        {"each SATA rejection excuses one log",
         kSataAbort,
         {{"MA0000.log", sata}},
         {{"WARN block-unread", "INFO command-rejected"}},
         {}},
        {"a record of a drive log that is missing",
         " Short Transfer(H00T05 Page0d: 12 of 16 bytes)\n",
         {{"MA0000.log", kSas}},
         {{"WARN page-unread", "WARN page-unread"}},
         {"WARN errlog-short_transfer"}},
        {"an INFO record of a missing drive log says nothing",
         " Length Capped(H00T07 Page30: 65536 bytes needed, 65532 asked)\n",
         {{"MA0000.log", kSas}},
         {{"WARN page-unread", "WARN page-unread"}},
         {}},
        {"two drive logs of one name: the first takes the record",
         kRejected2f,
         {{"MA0000.log", kSas}, {"MA0000.log", kSas}},
         {{"WARN page-unread", "INFO command-rejected"}, {"WARN page-unread", "WARN page-unread"}},
         {}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        Host h{"srv01", "srv01", {}, {}, {}};
        h.files.push_back({"logdperr.txt", r.errlog, 1767225600, true});
        for (auto& [name, text] : r.files) h.files.push_back({name, text, 1767225600, true});
        const Report rep = build_report({h});
        ASSERT_EQ(rep.collections.size(), 1u);
        const Collection& c = rep.collections[0];
        std::vector<std::vector<std::string>> disks;
        for (auto& d : c.disks) disks.push_back(codes(d.findings));
        EXPECT_EQ(disks, r.disks);
        EXPECT_EQ(codes(c.findings), r.host);
        // A SATA rejection names the command of the log it excuses.
        for (auto& d : c.disks)
            for (auto& f : d.findings)
                if (f.code() == std::string("command-rejected") && d.protocol == Protocol::Ata) {
                    EXPECT_NE(f.text.find("READ LOG"), std::string::npos) << f.text;
                }
        if (!r.host.empty()) {
            EXPECT_EQ(c.findings[0].text.rfind("MA0005.log: ", 0), 0u) << c.findings[0].text;
        }
    }
}

}  // namespace
