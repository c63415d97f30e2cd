// The drive scan and the log-page dump: what each disk's file holds, what the
// console and the error log show, and what was asked of the library.
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include "interrupt.h"
#include "test_sas_support.h"

namespace {

using sastest::inquiry;
using sastest::logsense;
using sastest::mgmt;
using sastest::SasTest;

const std::string kZero = "0000000000000000";

// One disk with a page of 12 parameter bytes and a page of length 0.
const char kDisk[] = "device 0 0 sas vendor ORBITEK product DSK109060SAS600 rev A440 serial KZG1ABCD";
const char kPages[] = R"(
page 0 0 0x02 "02 00 00 0c 00 00 80 08 00 00 00 00 00 00 12 34"
page 0 0 0x2f "2f 00 00 00"
)";

const char kDiskLog[] =
    "Device code   : ORBITEK DSK109060SAS600 A440\r\n"
    "Serial number : KZG1ABCD            \r\n"
    "<Page02>\r\n"
    " 02 00 00 0c 00 00 80 08 00 00 00 00 00 00 12 34\r\n"
    "<Page2f>\r\n"
    " 2f 00 00 00\r\n";

const char kSaving[] = "Controller 0/ Target 0 : HardDisk Log saving...\n";
const char kRedHdd[] = "\033[31m HDD Log Dump Error\n\033[0m";

std::vector<std::string> disk_trace() {
    return {
        inquiry(0, 0),
        mgmt(2, 0, 0, kZero, 512),
        logsense(0, 0, "4d004000000000000400", 4),
        logsense(0, 0, "4d004000000000000600", 6),
        logsense(0, 0, "4d004200000000000400", 4),
        logsense(0, 0, "4d004200000000001000", 16),
        logsense(0, 0, "4d006f00000000000400", 4),
        logsense(0, 0, "4d006f00000000000400", 4),
    };
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using DriveLog = SasTest;

TEST_F(DriveLog, ADiskGetsItsIdentityAndEveryListedPage) {
    std::string console = scan(std::string("controller 0 count 1\n") + kDisk + kPages, 1);
    EXPECT_EQ(console, kSaving);
    EXPECT_EQ(drive_log("MA0000.log"), kDiskLog);
    EXPECT_EQ(trace(), sastest::join(std::vector<std::string>{mgmt(0, 0, 0, kZero, 68), mgmt(1, 0, 0, kZero, 2048)} +
                                     disk_trace()));
    EXPECT_EQ(error_log(), "");
    EXPECT_EQ(fpLog, nullptr);
    EXPECT_EQ(pstStorPassThr, nullptr);
}

// The same disk, each time with one thing wrong.
struct Variant {
    const char* name;
    std::string scenario;
    std::string console;
    bool file;
    size_t calls;             // library calls in all
    std::string record = "";  // the error log
};

TEST_F(DriveLog, EachKindOfDeviceIdIsHandledAsItShouldBe) {
    const std::string disk = kDisk;
    const std::string ok = std::string("controller 0 count 1\n") + disk + kPages;
    const Variant cases[] = {
        {"a SAS disk", ok, kSaving, true, 10},
        {"an enclosure: no output at all", "controller 0 count 1\ndevice 0 0 enclosure\n", "", false, 3},
        {"a disk with a non-disk peripheral type", "controller 0 count 1\n" + disk + " ptype 0x0d" + kPages, "", false,
         3},
        {"a silent device id", "controller 0 count 1\ndevice 0 0 silent\n", "", false, 3},
        {"an INQUIRY that fails", ok + "fault 0 0 inquiry code 0x8003\n", "", false, 3},
        {"a SATA disk", "controller 0 count 1\n" + disk + " interface 1" + kPages,
         std::string(kSaving) + " This HDD type is Not Support. HardDisk Log save skip\n", false, 4},
        {"physical information that fails", "controller 0 count 1\n" + disk + " pdinfo-error 0x800a" + kPages,
         "\033[31mController 0 : Physical Information Get Error. 0000800a\n\033[0m", false, 4,
         "Controller 0 : Physical Information Get Error. 0000800a\n"},
        {"controller information that fails", ok + "controller-info-error 0 0x8002\n",
         "\033[31mController 0 : Controller Information Get Error. 00008002\n\033[0m", false, 2,
         "Controller 0 : Controller Information Get Error. 00008002\n"},
        {"a controller with deviceIdCount 0", std::string("controller 0 count 0\n") + disk + kPages, "", false, 2},
        {"no device id below the count", std::string("controller 0 count 0\n"), "", false, 2},
    };
    for (const Variant& c : cases) {
        std::filesystem::remove(log_dir() + "/MA0000.log");
        ASSERT_EQ(ftruncate(fileno(gfpErrLog), 0), 0);
        rewind(gfpErrLog);
        std::string console = scan(c.scenario, 1);
        EXPECT_EQ(console, c.console) << c.name;
        EXPECT_EQ(sastest::exists(log_dir() + "/MA0000.log"), c.file) << c.name;
        if (c.file) {
            EXPECT_EQ(drive_log("MA0000.log"), kDiskLog) << c.name;
        }
        EXPECT_EQ(sim::trace().size(), c.calls) << c.name;
        EXPECT_EQ(error_log(), c.record) << c.name;
        EXPECT_EQ(pstStorPassThr, nullptr) << c.name;
    }
}

TEST_F(DriveLog, AFailedControllerIsPassedOverForTheNext) {
    std::string console = scan(
        "controller 0 count 1\ncontroller-info-error 0 -1\ncontroller 1 count 11\n"
        "device 1 10 sas serial S1\npage 1 10 0x06 \"06 00 00 08 00 00 02 04 00 00 02 44\"\n",
        2);
    EXPECT_EQ(console,
              "\033[31mController 0 : Controller Information Get Error. ffffffff\n\033[0m"
              "Controller 1/ Target 10 : HardDisk Log saving...\n");
    EXPECT_EQ(error_log(), "Controller 0 : Controller Information Get Error. ffffffff\n");
    // The file name carries the controller and the device id in hex.
    EXPECT_EQ(drive_log("MA010a.log"),
              "Device code   : ACMEDRV DK600SA0006     0004\r\n"
              "Serial number : S1                  \r\n"
              "<Page06>\r\n"
              " 06 00 00 08 00 00 02 04 00 00 02 44\r\n");
}

// A log directory far longer than a 128-character path buffer would hold
// still gets its files, under their full names.
TEST_F(DriveLog, ALongLogDirectoryIsNotCut) {
    const std::string deep = dir + "/" + std::string(120, 'd') + "/" + std::string(100, 'e');
    ASSERT_LE(deep.size(), 255u);
    std::filesystem::create_directories(deep);
    set_log_dir(deep);
    scan("controller 0 count 1\ndevice 0 0 sas serial LONG\n", 1);
    EXPECT_EQ(sastest::read_file(deep + "/MA0000.log"),
              "Device code   : ACMEDRV DK600SA0006     0004\r\nSerial number : LONG                \r\n");
    EXPECT_EQ(error_log(), "");
}

TEST_F(DriveLog, ADiskListingNoPagesGetsItsIdentityOnly) {
    scan("controller 0 count 1\ndevice 0 0 sas serial X\n", 1);
    EXPECT_EQ(drive_log("MA0000.log"),
              "Device code   : ACMEDRV DK600SA0006     0004\r\n"
              "Serial number : X                   \r\n");
}

// A page length of 65,532 or more does not fit the 16-bit allocation length:
// the page is asked for with 65,535 bytes and the shortfall reported.
TEST_F(DriveLog, PageLength65532IsCapped) {
    std::string big = "0d 00 ff fc";
    for (int i = 0; i < 65532; ++i) big += " 5a";
    std::string console = scan(std::string("controller 0 count 1\n") + kDisk + "\npage 0 0 0x0d \"" + big +
                                   "\"\npage 0 0 0x2f \"2f 00 00 00\"\n",
                               1);
    const std::string record = " Length Capped(H00T00 Page0d: 65536 bytes needed, 65535 asked)\n";
    EXPECT_EQ(console, std::string(kSaving) + "\033[31m" + record + "\033[0m");
    EXPECT_EQ(error_log(), record);
    std::string log = drive_log("MA0000.log");
    const std::string head = "<Page0d>\r\n 0d 00 ff fc 5a", tail = " 5a 5a\r\n<Page2f>\r\n 2f 00 00 00\r\n";
    ASSERT_NE(log.find(head), std::string::npos);
    EXPECT_EQ(log.size() - log.find(head),
              strlen("<Page0d>\r\n") + 4095u * 50 + 15 * 3 + 2 + strlen("<Page2f>\r\n 2f 00 00 00\r\n"));
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
    const auto& t = sim::trace();
    ASSERT_GE(t.size(), 8u);
    EXPECT_EQ(t[6], logsense(0, 0, "4d004d00000000000400", 4));
    EXPECT_EQ(t[7], logsense(0, 0, "4d004d00000000ffff00", 65535));
}

// Codes are written as the disk lists them; the request carries the low six
// bits. A list longer than the table keeps its first 64 entries, in order.
TEST_F(DriveLog, ALongPageListKeepsTheEntriesThatFit) {
    std::string list = "00 00 00 46";
    for (int i = 0; i < 64; ++i) list += i % 2 ? " ef" : " 02";
    for (int i = 0; i < 6; ++i) list += " 0d";
    scan(std::string("controller 0 count 1\n") + kDisk + "\npage 0 0 0x00 \"" + list + "\"" + kPages, 1);

    std::string want = "Device code   : ORBITEK DSK109060SAS600 A440\r\nSerial number : KZG1ABCD            \r\n";
    for (int i = 0; i < 64; ++i) {
        want +=
            i % 2 ? "<Pageef>\r\n 2f 00 00 00\r\n" : "<Page02>\r\n 02 00 00 0c 00 00 80 08 00 00 00 00 00 00 12 34\r\n";
    }
    EXPECT_EQ(drive_log("MA0000.log"), want);
    const auto& t = sim::trace();
    ASSERT_EQ(t.size(), 2u + 2 + 2 + 128);
    EXPECT_EQ(t[5], logsense(0, 0, "4d004000000000004a00", 74));
    EXPECT_EQ(t.back(), logsense(0, 0, "4d006f00000000000400", 4));
    for (const auto& line : t) EXPECT_EQ(line.find("cdb=4d004d"), std::string::npos) << line;
}

// A failed LOG SENSE leaves its header line and is reported. A drive that
// answered CHECK CONDITION (sense data) goes on with the next page; a
// request that got no answer (rejected, no sense data) ends the walk.
TEST_F(DriveLog, AFailedLogSenseEndsTheWalkOnlyWithoutAnAnswer) {
    struct Row {
        const char* name;
        const char* fault;  // on page 2f
        const char* sense;  // in the record
        bool goesOn;
    };
    const char* kSense = "70 00 05 00 00 00 00 0a 00 00 00 00 24 00 00 00 00 00 00 00";
    const char* kNone = "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
    const Row rows[] = {
        {"check condition", "code 4 sense \"70 00 05 00 00 00 00 0a 00 00 00 00 24\"", kSense, true},
        {"descriptor sense", "code 4 sense \"72 05 24 00\"",
         "72 05 24 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", true},
        {"rejected", "code 4 status 0 sense \"70 00 05 00 00 00 00 0a 00 00 00 00 24\"", kSense, false},
        {"no sense data", "code 4", kNone, false},
    };
    for (const Row& row : rows) {
        gfpErrLog = freopen(errPath.c_str(), "w", gfpErrLog);
        std::string console = scan(std::string("controller 0 count 2\n") + kDisk + kPages +
                                       "page 0 0 0x0d \"0d 00 00 00\"\n"
                                       "fault 0 0 logsense:2f " +
                                       row.fault +
                                       "\n"
                                       "device 0 1 sas serial NEXT\n",
                                   1);
        EXPECT_EQ(drive_log("MA0000.log"), std::string("Device code   : ORBITEK DSK109060SAS600 A440\r\n"
                                                       "Serial number : KZG1ABCD            \r\n"
                                                       "<Page02>\r\n"
                                                       " 02 00 00 0c 00 00 80 08 00 00 00 00 00 00 12 34\r\n"
                                                       "<Page2f>\r\n") +
                                               (row.goesOn ? "<Page0d>\r\n 0d 00 00 00\r\n" : ""))
            << row.name;
        EXPECT_EQ(error_log(), "H00T00 Command error , 4d 00 6f 00 00 00 00 00 04 00 , 00000004, " +
                                   std::string(row.sense) + " \r\n")
            << row.name;
        EXPECT_EQ(console, std::string(kSaving) + kRedHdd + "Controller 0/ Target 1 : HardDisk Log saving...\n")
            << row.name;
        size_t asked = 0;
        for (const auto& line : sim::trace())
            asked += line.find("tgt=0 one=1 zero=0 dir=2 timeout=10 cdblen=10 cdb=4d004d") != std::string::npos;
        EXPECT_EQ(asked, row.goesOn ? 2u : 0u) << row.name;
        EXPECT_TRUE(sastest::exists(log_dir() + "/MA0001.log")) << row.name;
    }
}

TEST_F(DriveLog, AFailedSupportedPagesListLeavesTheIdentityOnly) {
    scan(std::string("controller 0 count 1\n") + kDisk + kPages + "fault 0 0 logsense:00 nth 2 code 0x8003\n", 1);
    EXPECT_EQ(drive_log("MA0000.log"),
              "Device code   : ORBITEK DSK109060SAS600 A440\r\nSerial number : KZG1ABCD            \r\n");
    EXPECT_EQ(error_log(),
              "H00T00 Command error , 4d 00 40 00 00 00 00 00 06 00 , 00008003, "
              "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \r\n");
}

TEST_F(DriveLog, ALogFileThatCannotBeOpenedEndsTheScan) {
    set_log_dir(dir + "/missing");
    std::string console = scan(std::string("controller 0 count 2\n") + kDisk + kPages + "device 0 1 sas\n", 1);
    const std::string path = dir + "/missing/MA0000.log";
    EXPECT_EQ(console, std::string(kSaving) + "\033[31m File Open Error(" + path + ")\n\033[0m");
    EXPECT_EQ(error_log(), " File Open Error(" + path + ")\n");
    // Device id 1 is never probed.
    EXPECT_EQ(trace(), sastest::join({mgmt(0, 0, 0, kZero, 68), mgmt(1, 0, 0, kZero, 2048), inquiry(0, 0),
                                      mgmt(2, 0, 0, kZero, 512)}));
}

// A link planted at a drive log's path is not followed: the drive log is a
// fresh file of ours and the link's target stays as it was.
TEST_F(DriveLog, ALinkAtTheDriveLogIsReplaced) {
    const std::string path = log_dir() + "/MA0000.log", victim = dir + "/victim";
    { std::ofstream(victim) << "keep\n"; }
    ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
    scan(std::string("controller 0 count 1\n") + kDisk + kPages, 1);
    EXPECT_EQ(sastest::read_file(victim), "keep\n");
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(drive_log("MA0000.log"), kDiskLog);
    EXPECT_EQ(error_log(), "");
}

// Ctrl-C while a LOG SENSE is in the library: the signal arrives during the
// call, the run ends with status 1 once the call has returned, and the drive
// log holds everything written before.
int interrupted_library(SL_LIB_CMD_PARAM_T* req) {
    int rc = sim::ProcessLibCommand(req);
    const auto* pt = static_cast<const SCSI_PASSTHRU_T*>(req->pData);
    if (req->cmdType == SL_CMD_TYPE_PASSTHRU && pt->cdb[0] == 0x4D && pt->cdb[2] == 0x6F) raise(SIGINT);
    return rc;
}

void interrupted_scan() {
    // The console of the run is not what this test is about.
    if (freopen("/dev/null", "w", stdout) == nullptr) _exit(3);
    install_interrupt_handler(Stop_Tm);
    atexit(End_Test);
    ProcessLibCommandF = interrupted_library;
    Get_SHdd_Log(1);
    _exit(0);
}

TEST_F(DriveLog, AnInterruptDuringALogSenseLeavesAClosedPartialLog) {
    sim::load_scenario(std::string("controller 0 count 1\n") + kDisk + kPages);
    EXPECT_EXIT(interrupted_scan(), ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(drive_log("MA0000.log"),
              "Device code   : ORBITEK DSK109060SAS600 A440\r\n"
              "Serial number : KZG1ABCD            \r\n"
              "<Page02>\r\n"
              " 02 00 00 0c 00 00 80 08 00 00 00 00 00 00 12 34\r\n"
              "<Page2f>\r\n");
}

// The pairs read from the answer to LOG SENSE 00h/FFh: those with a real
// subpage, within what arrived and what the header claims; a plain page
// 00h (SPF clear) or another page gives none.
TEST(SubpageList, PairsWithinTheAnswer) {
    const std::string list = "40 ff 00 0a 00 00 00 ff 0d 00 0d 01 15 01";
    struct Row {
        const char* name;
        std::string answer;
        U32 got;  // 0: all of it
        std::string want;
    };
    const Row rows[] = {
        {"the list", list, 0, "0d.01 15.01 "},
        {"the header claims less", "40 ff 00 08 00 00 00 ff 0d 00 0d 01 15 01", 0, "0d.01 "},
        {"cut short", list, 11, ""},
        {"a pair cut in half", list, 13, "0d.01 "},
        {"page bits above 5 dropped", "40 ff 00 02 cd 02", 0, "0d.02 "},
        {"spf clear", "00 ff 00 0a 00 00 00 ff 0d 00 0d 01 15 01", 0, ""},
        {"another subpage", "40 01 00 02 0d 01", 0, ""},
        {"another page", "4d ff 00 02 0d 01", 0, ""},
        {"header only", "40 ff 00 00", 0, ""},
        {"less than a header", "40 ff 00", 0, ""},
    };
    for (const Row& r : rows) {
        std::vector<U8> b;
        for (size_t i = 0; i + 1 < r.answer.size(); i += 3)
            b.push_back(static_cast<U8>(std::stoi(r.answer.substr(i, 2), nullptr, 16)));
        LogSubpage out[LOG_SUBPAGE_TABLE_SIZE];
        const size_t n =
            subpage_list(b.data(), r.got ? r.got : static_cast<U32>(b.size()), out, LOG_SUBPAGE_TABLE_SIZE);
        std::string got;
        char t[8];
        for (size_t k = 0; k < n; ++k) {
            snprintf(t, sizeof t, "%02x.%02x ", out[k].page, out[k].subpage);
            got += t;
        }
        EXPECT_EQ(got, r.want) << r.name;
    }
}

}  // namespace
