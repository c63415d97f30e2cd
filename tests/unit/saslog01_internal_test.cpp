// The internal log of the drive family: model test, sections and their
// failures.
#include "test_sas_support.h"

namespace {

using sastest::logsense;
using sastest::SasTest;
using sastest::scsi;

TEST(SasModel, OnlyTheListedModelsInTheirOwnLetterCaseMatch) {
    const struct {
        const char* code;
        int want;
    } cases[] = {
        {"NIMBUSD KZA4036TX       0104", 0},  {"NIMBUSD KZA4072TX       0104", 0},
        {"NIMBUSD KZA4144TX       0104", 0},  {"NIMBUSD KZB3036TX       0104", 0},
        {"NIMBUSD KZB3072TX       0104", 0},  {"KZB3072TX", 0},                      // anywhere in the code
        {"NIMBUSD kza4036tx       0104", -1},                                        // letter case counts
        {"NIMBUSD KZA4036tX       0104", -1}, {"NIMBUSD KZA4036T        0104", -1},  // cut short
        {"NIMBUSD KZA4036 TX      0104", -1}, {"NIMBUSD KZB3144TX       0104", -1},  // not in the family
        {"ACMEDRV DK600SA0006     0004", -1}, {"", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(Chk_RQ50_HDD(c.code), c.want) << c.code;
}

const char kFamilyDisk[] = R"(
controller 0 count 1
device 0 0 sas vendor NIMBUSD product KZA4036TX rev 0104 serial INT1
page 0 0 0x02 "02 00 00 0c 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
internal 0 0 1 3
internal 0 0 2 16
internal 0 0 4 20
internal 0 0 8 5
)";

const char kIdentity[] =
    "Device code   : NIMBUSD KZA4036TX       0104\r\n"
    "Serial number : INT1                \r\n";
const char kPage02[] = "<Page02>\r\n 02 00 00 0c 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a\r\n";
// Sections of length 3 (one short line of three values), 16 (exactly one
// full line), 20 and 5.
const char kSection1[] = "<Drive Status Log>\r\n 01 00 00\r\n";
const char kSection2[] = "<Drive Interna Log>\r\n 02 00 00 0d 00 01 02 03 04 05 06 07 08 09 0a 0b\r\n";
const char kSection4[] = "<Command Log>\r\n 04 00 00 11 00 01 02 03 04 05 06 07 08 09 0a 0b\r\n 0c 0d 0e 0f\r\n";
const char kSection8[] = "<Controller Internal Information>\r\n 08 00 00 02 00\r\n";

std::string fe(const char* cdb, unsigned len) { return scsi(0, 0, 2, 10, cdb, len); }

const std::vector<std::string> kSectionRequests = {
    fe("fe010000000000000400", 4),  fe("fe010000000000000300", 3), fe("fe020000000000000400", 4),
    fe("fe020000000000001000", 16), fe("fe040000000000000400", 4), fe("fe040000000000001400", 20),
    fe("fe080000000000000400", 4),  fe("fe080000000000000500", 5),
};

std::vector<std::string> internal_requests() {
    std::vector<std::string> out;
    for (const auto& line : sim::trace())
        if (line.find(" cdb=fe") != std::string::npos) out.push_back(line);
    return out;
}

using InternalLog = SasTest;

TEST_F(InternalLog, AFamilyDiskGetsItsFourSectionsAfterThePages) {
    std::string console = scan(kFamilyDisk, 1);
    EXPECT_EQ(drive_log("MA0000.log"),
              std::string(kIdentity) + kPage02 + kSection1 + kSection2 + kSection4 + kSection8);
    EXPECT_EQ(internal_requests(), kSectionRequests);
    EXPECT_EQ(console, "Controller 0/ Target 0 : HardDisk Log saving...\n");
    EXPECT_EQ(error_log(), "");
}

struct Variant {
    const char* name;
    std::string extra;   // appended to the scenario
    int internalFlag;    // iInternalLogFlg
    std::string log;     // after the identity lines
    size_t requests;     // internal-log requests sent
    std::string errors;  // error log
};

TEST_F(InternalLog, FailuresAndSwitchesEndTheSectionsWhereTheyShould) {
    const std::string all = std::string(kPage02) + kSection1 + kSection2 + kSection4 + kSection8;
    const Variant cases[] = {
        {"all four", "", 1, all, 8, ""},
        {"-n: the pages only", "", 0, kPage02, 0, ""},
        {"the third section fails: two sections in full, no header, no fourth request", "fault 0 0 internal:4 code 5\n",
         1, std::string(kPage02) + kSection1 + kSection2, 5,
         "H00T00 Command error , fe 04 00 00 00 00 00 00 04 00 , 00000005, "
         "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \r\n"},
        {"the whole read of the second section fails", "fault 0 0 internal:2 nth 2 code 0x8003 sense \"70 00 04\"\n", 1,
         std::string(kPage02) + kSection1, 4,
         "H00T00 Command error , fe 02 00 00 00 00 00 00 10 00 , 00008003, "
         "70 00 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \r\n"},
        {"a failed log page does not stop the internal log", "fault 0 0 logsense:02 nth 1 code 4\n", 1,
         std::string("<Page02>\r\n") + kSection1 + kSection2 + kSection4 + kSection8, 8,
         "H00T00 Command error , 4d 00 42 00 00 00 00 00 04 00 , 00000004, "
         "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \r\n"},
    };
    for (const Variant& c : cases) {
        iInternalLogFlg = c.internalFlag;
        fclose(gfpErrLog);
        gfpErrLog = fopen(errPath.c_str(), "w");
        scan(kFamilyDisk + c.extra, 1);
        EXPECT_EQ(drive_log("MA0000.log"), kIdentity + c.log) << c.name;
        EXPECT_EQ(internal_requests().size(), c.requests) << c.name;
        EXPECT_EQ(error_log(), c.errors) << c.name;
    }
}

// The largest section the 24-bit length allows fills the data area of the
// pass-through buffer; nothing is cut and nothing is overrun.
TEST_F(InternalLog, TheLargestSectionFitsTheBuffer) {
    scan(
        "controller 0 count 1\ndevice 0 0 sas product KZA4144TX\ninternal 0 0 1 3\n"
        "internal 0 0 2 16777218\ninternal 0 0 4 3\ninternal 0 0 8 3\n",
        1);
    std::string log = drive_log("MA0000.log");
    const std::string head = "<Drive Interna Log>\r\n 02 ff ff ff 00 01 02";
    const std::string next = "<Command Log>\r\n";
    size_t at = log.find(head), end = log.find(next);
    ASSERT_NE(at, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    // The length does not fit the CDB's 24 bits: the section is asked for
    // with the largest length it can carry, and the shortfall reported.
    EXPECT_EQ(end - at, strlen("<Drive Interna Log>\r\n") + 1048575u * 50 + 15 * 3 + 2);
    EXPECT_EQ(log.substr(end - 8, 8), " f9 fa\r\n");
    EXPECT_EQ(internal_requests()[3], fe("fe0200000000ffffff00", 16777215));
    EXPECT_EQ(error_log(), " Length Capped(H00T00 Section02: 16777218 bytes needed, 16777215 asked)\n");
}

TEST_F(InternalLog, AWriteFailureStopsTheSections) {
    sim::load_scenario(kFamilyDisk);
    pstStorPassThr = static_cast<SCSI_PASSTHRU_T*>(malloc(SCSI_PASSTHRU_BUFFER_SIZE));
    fpLog = fopen("/dev/full", "w");
    ASSERT_NE(fpLog, nullptr);
    EXPECT_EQ(RQ50LogDump(0, 0), DUMP_WRITE_FAILED);
    fclose(fpLog);
    fpLog = nullptr;
    // The first section was read; its header line could not be written.
    EXPECT_EQ(internal_requests(), std::vector<std::string>(kSectionRequests.begin(), kSectionRequests.begin() + 2));
}

}  // namespace
