// The program on whole log directories and archives: exit statuses, files
// left from an earlier run, drive logs the error log names as cut, the
// fleet view, the JSON document's keys and the metrics for Prometheus.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "harness.h"
#include "run_facts.h"
#include "util.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using rpt::test::page;
using rpt::test::param;

struct Outcome {
    int status;
    std::string out;
};

// The program with arguments separated by blanks (no argument holds one),
// through the end-to-end harness's runner; standard error is not looked at.
Outcome run(const std::string& args) {
    std::vector<std::string> argv{REPORT_BIN};
    for (const std::string& a : testbytes::split(args, ' '))
        if (!a.empty()) argv.push_back(a);
    const e2e::RunResult r = e2e::run_program(argv);
    return {r.status, r.out};
}

// A disk with a temperature page and a health page (read errors).
std::string disk(const std::string& serial, const std::string& temp, const std::string& read_errors = "00") {
    return "Device code   : ACMEDRV DK600SA0006     0004\r\nSerial number : " + serial + "\r\n<Page0d>\r\n" +
           rpt::test::dump(page(0x0d, {param(0, "00" + temp), param(1, "0044")})) + "<Page03>\r\n" +
           rpt::test::dump(page(0x03, {param(6, read_errors)}));
}

class Dir {
public:
    explicit Dir(const std::string& name)
        : path_(fs::temp_directory_path() / ("report-test-" + std::to_string(getpid())) / name) {
        fs::create_directories(path_);
    }
    ~Dir() { fs::remove_all(path_.parent_path()); }
    void put(const std::string& name, const std::string& text, time_t age = 0) {
        const fs::path f = path_ / name;
        FILE* fp = fopen(f.c_str(), "wb");
        fwrite(text.data(), 1, text.size(), fp);
        fclose(fp);
        const time_t t = 1700000000 - age;
        struct timeval tv[2] = {{t, 0}, {t, 0}};
        utimes(f.c_str(), tv);
    }
    std::string str() const { return path_.string(); }

private:
    fs::path path_;
};

TEST(Program, StatusesAndFlags) {
    struct Row {
        const char* name;
        std::vector<std::tuple<std::string, std::string, time_t>> files;  // name, text, age in seconds
        int status;
        std::string file, code;  // a finding expected on that disk (or "" for the host)
        std::string text = "";   // a part of its text, where it says why
    };
    const std::string ok = disk("S1", "24"), hot = disk("S2", "44");
    const std::string hw_error =
        "H00T00 Command error , 4d 00 4d 00 00 00 00 00 00 00 , 00000000, "
        "70 00 04 00 00 00 00 0a 00 00 00 00 44 00 00 00 00 00 00 00 \r\n";
    const std::string rejected =
        "H00T00 Command error , 4d 00 6f 00 00 00 00 00 04 00 , 00000000, "
        "70 00 05 00 00 00 00 0a 00 00 00 00 24 00 00 00 00 00 00 00 \r\n";
    const std::string rejected_0d = "H00T00 Command error , 4d 00 4d" + rejected.substr(31);
    const std::string aborted =
        "H00T00 Command error ,  34 40 51 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n";
    const std::string sata =
        rpt::test::slurp(std::string(LOGPAGES_DIR) + "/sata_hdd.log") + "<ATA GPL LOG 11 PAGE 0001>\r\n";
    const std::string sata_smart =
        rpt::test::slurp(std::string(LOGPAGES_DIR) + "/sata_hdd.log") + "<ATA SMART LOG 06>\r\n";
    // The fleet role's record: the run started 3 s before the files' time.
    auto run_json = [](const std::string& red) {
        return "{\"arguments\": [\"-e\"], \"end\": \"2023-11-14T22:13:21+00:00\", \"exit_status\": 0, "
               "\"program\": \"logdump64\", \"red_lines\": [" +
               red + "], \"start\": \"2023-11-14T22:13:17+00:00\", \"version\": \"1.10.0\", \"width\": 64}";
    };
    const std::string capped = " Length Capped(H00T07 Page30: 65536 bytes needed, 65532 asked)";
    const std::vector<Row> rows = {
        {"all OK", {{"logdperr.txt", "", 0}, {"MA0000.log", ok, 0}}, 0, "", ""},
        {"run.json: every file of this run",
         {{"logdperr.txt", "", 0}, {"MA0000.log", ok, 0}, {"run.json", run_json(""), 0}, {"console.txt", "", 0}},
         0,
         "",
         ""},
        {"run.json: older than the run's start, though newer than the error log",
         {{"logdperr.txt", "", 10}, {"MA0000.log", ok, 5}, {"run.json", run_json(""), 0}},
         1,
         "MA0000.log",
         "stale-file"},
        {"run.json: a red console line the error log does not hold",
         {{"MA0000.log", ok, 0}, {"run.json", run_json("2"), 0}, {"console.txt", "title\n LibLoad Error\n", 0}},
         1,
         "",
         "console-error"},
        {"run.json: a red console line the error log holds",
         {{"logdperr.txt", capped + "\n", 0},
          {"MA0000.log", ok, 0},
          {"run.json", run_json("1"), 0},
          {"console.txt", capped + "\n", 0}},
         0,
         "",
         ""},
        {"... or a part of one: the console's line cut short",
         {{"logdperr.txt", capped + "\n", 0},
          {"MA0000.log", ok, 0},
          {"run.json", run_json("1"), 0},
          {"console.txt", capped.substr(0, 30) + "\n", 0}},
         0,
         "",
         ""},
        {"run.json over 1 MiB, though the role's",
         {{"logdperr.txt", "", 0}, {"MA0000.log", ok, 0}, {"run.json", run_json("") + std::string(1 << 20, ' '), 0}},
         0,
         "",
         "run-record-unreadable",
         "larger than 1 MiB"},
        {"run.json that is not the role's",
         {{"logdperr.txt", "", 0}, {"MA0000.log", ok, 0}, {"run.json", "[1, 2", 0}},
         0,
         "",
         "run-record-unreadable",
         "not a JSON object"},
        {"bytes that are not text",
         {{"logdperr.txt", "\xff\xfe\n", 0}, {"MA0000.log", disk("S\xff\xc3", "24"), 0}},
         0,
         "",
         ""},
        {"a hot disk",
         {{"logdperr.txt", "", 0}, {"MA0000.log", ok, 0}, {"MA0001.log", hot, 0}},
         2,
         "MA0001.log",
         "temperature"},
        {"left from an earlier run", {{"logdperr.txt", "", 0}, {"MA0000.log", ok, 5}}, 1, "MA0000.log", "stale-file"},
        {"older, error log with records",
         {{"logdperr.txt", " Memory Allocation Error\n", 0}, {"MA0000.log", ok, 5}},
         1,
         "",
         "errlog-memory_allocation_error"},
        {"not a log directory", {}, 1, "", "empty-input"},
        {"one serial number on two disks",
         {{"logdperr.txt", "", 0}, {"MA0000.log", ok, 0}, {"MA0001.log", disk("S1", "25"), 0}},
         1,
         "MA0001.log",
         "duplicate-serial"},
        {"interrupted",
         {{"logdperr.txt", " File Interrupted(/o_tmp/TMP/KESTRA/MA0000.log)\n", 0}, {"MA0000.log", ok, 0}},
         1,
         "MA0000.log",
         "errlog-file_interrupted"},
        {"short",
         {{"logdperr.txt", " Short Transfer(H00T00 Page0d: 12 of 16 bytes)\n", 0}, {"MA0000.log", ok, 0}},
         1,
         "MA0000.log",
         "errlog-short_transfer"},
        {"a disk that cannot be judged",
         {{"logdperr.txt", "", 0}, {"MA0000.log", ok.substr(0, ok.find("<Page03>")), 0}},
         1,
         "MA0000.log",
         "no-health"},
        {"capped, of a disk without a drive log: INFO only",
         {{"logdperr.txt", " Length Capped(H00T07 Page30: 65536 bytes needed, 65532 asked)\n", 0},
          {"MA0000.log", ok, 0}},
         0,
         "",
         ""},
        {"the drive's hardware error",
         {{"logdperr.txt", hw_error, 0}, {"MA0000.log", ok, 0}},
         2,
         "MA0000.log",
         "command-hardware-error"},
        {"a listed page the drive does not support",
         {{"logdperr.txt", rejected, 0}, {"MA0000.log", ok + "<Page2f>\r\n", 0}},
         0,
         "MA0000.log",
         "command-rejected"},
        {"another page not supported",
         {{"logdperr.txt", rejected_0d, 0}, {"MA0000.log", ok + "<Page2f>\r\n", 0}},
         1,
         "MA0000.log",
         "page-unread"},
        {"a listed SATA log the drive aborts",
         {{"logdperr.txt", aborted, 0}, {"MA0000.log", sata, 0}},
         0,
         "MA0000.log",
         "command-rejected"},
        {"a listed SMART log the drive aborts",
         {{"logdperr.txt", aborted, 0}, {"MA0000.log", sata_smart, 0}},
         0,
         "MA0000.log",
         "command-rejected"},
        {"a SATA log not read, no abort recorded",
         {{"logdperr.txt", "", 0}, {"MA0000.log", sata, 0}},
         1,
         "MA0000.log",
         "block-unread"},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        Dir d("KESTRA");
        for (auto& [n, t, age] : r.files) d.put(n, t, age);
        // Every case's metrics too: promtool accepts them.
        const std::string prom = d.str() + ".prom";
        Outcome res = run("--json --metrics " + prom + " " + d.str());
        EXPECT_EQ(res.status, r.status);
        EXPECT_EQ(rpt::test::promtool_check(prom), "");
        json j = json::parse(res.out);
        EXPECT_EQ(j["exit_status"], r.status);
        const bool has_run = std::any_of(r.files.begin(), r.files.end(), [](auto& f) {
            return std::get<0>(f) == "run.json" && std::get<1>(f)[0] == '{' && std::get<1>(f).size() <= 1u << 20;
        });
        EXPECT_EQ(j["hosts"][0]["run"].is_object(), has_run);
        for (auto& f : j["hosts"][0]["findings"]) EXPECT_TRUE(r.status || f["severity"] == "INFO") << f;
        // --disk never picks one of several disks silently.
        if (r.code == "duplicate-serial") {
            EXPECT_EQ(run("--disk S1 " + d.str()).status, 3);
        }
        if (r.code.empty()) continue;
        bool found = false;
        for (auto& disk : j["disks"])
            if (disk["file"] == r.file)
                for (auto& f : disk["findings"]) {
                    found |= f["code"] == r.code;
                    for (const char* k :
                         {"severity", "kind", "code", "text", "page", "parameter", "value", "threshold"})
                        EXPECT_TRUE(f.contains(k)) << k;
                }
        if (r.file.empty())
            for (auto& f : j["hosts"][0]["findings"])
                found |= f["code"] == r.code && f["text"].get<std::string>().find(r.text) != std::string::npos;
        EXPECT_TRUE(found) << res.out;
    }
}

// run.json's times: UTC in ISO 8601, a leap second allowed, nothing else.
TEST(RunFacts, TimesAreUtc) {
    const struct {
        const char* text;
        std::optional<time_t> at;
    } rows[] = {
        {"2023-11-14T22:13:17+00:00", 1699999997}, {"2023-11-14T22:13:60Z", 1700000040},
        {"2023-11-14T22:13:61Z", std::nullopt},    {"2023-11-14T22:13:17+01:00", std::nullopt},
        {"2019-09-29T19:59:59Z", 1569787199},  // a nine in every field
    };
    for (auto& r : rows) EXPECT_EQ(rpt::parse_utc(r.text), r.at) << r.text;
}

TEST(Program, ArchivesAndFleet) {
    Dir a("srv01"), b("srv02");
    a.put("logdperr.txt", "");
    a.put("MA0000.log", disk("S1", "24"));
    b.put("MA0100.log", disk("S2", "26"));
    const std::string archive = fs::path(b.str()).parent_path() / "srv02.tar.gz";
    ASSERT_EQ(system(("tar -C " + fs::path(b.str()).parent_path().string() + " -czf " + archive + " srv02").c_str()),
              0);

    Outcome dir = run("--json " + b.str()), tgz = run("--json " + archive);
    json jd = json::parse(dir.out), jt = json::parse(tgz.out);
    EXPECT_EQ(jd["disks"], jt["disks"]);
    // Past 8 MiB a member is unpacked to a file of its own: the same disk.
    Dir c("srv03");
    c.put("MA0200.log", disk("S5", "26") + std::string(9 << 20, '\n'));
    const std::string big = fs::path(c.str()).parent_path() / "srv03.tar.gz";
    ASSERT_EQ(system(("tar -C " + fs::path(c.str()).parent_path().string() + " -czf " + big + " srv03").c_str()), 0);
    EXPECT_EQ(json::parse(run("--json " + c.str()).out)["disks"], json::parse(run("--json " + big).out)["disks"]);
    EXPECT_EQ(jt["hosts"][0]["host"], "srv02");

    Outcome fleet = run(a.str() + " " + archive);
    EXPECT_EQ(fleet.status, 0);
    EXPECT_NE(fleet.out.find("HOST"), std::string::npos);
    EXPECT_NE(fleet.out.find("srv01  0     0    SCSI"), std::string::npos) << fleet.out;
    EXPECT_NE(fleet.out.find("srv02  1     0    SCSI"), std::string::npos) << fleet.out;

    // Text: the summary, the findings by weight naming where they are, the
    // disks, the error log.
    b.put("MA0101.log", disk("S3", "44"));
    b.put("MA0102.log", disk("S4", "30").substr(0, disk("S4", "30").find("<Page03>")));
    const std::string text = run(b.str()).out;
    const size_t fail = text.find("  FAIL    srv02 controller 1 device 1 serial S3: temperature:"),
                 unknown = text.find("  UNKNOWN srv02 controller 1 device 2 serial S4: no-health:");
    EXPECT_EQ(text.find("logdump-report: 3 disk(s): 1 OK, 0 WARN, 1 FAIL, 1 UNKNOWN\n"), 0u) << text;
    EXPECT_LT(fail, unknown) << text;
    EXPECT_LT(unknown, text.find("Disks:")) << text;
    EXPECT_LT(text.find("Disks:"), text.find("Error log:")) << text;

    json j = json::parse(run("--json " + a.str()).out);
    for (const char* k : {"tool", "hosts", "disks", "errors", "summary", "exit_status"})
        EXPECT_TRUE(j.contains(k)) << k;
    for (const char* k : {"host", "file", "controller", "device", "protocol", "vendor", "product", "revision", "serial",
                          "verdict", "temperature", "reference_temperature", "power_on_hours", "counters", "phys",
                          "self_tests", "findings", "pages", "sections"})
        EXPECT_TRUE(j["disks"][0].contains(k)) << k;
    EXPECT_EQ(j["disks"][0]["temperature"], 36);
    EXPECT_EQ(j["disks"][0]["protocol"], "SCSI");
    EXPECT_EQ(j["disks"][0]["counters"]["read_uncorrected"], 0);
    EXPECT_TRUE(j["hosts"][0]["collected"].is_string());
    EXPECT_EQ(run("--version").out, "logdump-report Ver01-10-00\n");
    EXPECT_EQ(run("--help").status, 0);
    EXPECT_EQ(run("--no-such-option " + a.str()).status, 3);

    EXPECT_EQ(run("--disk S1 " + a.str()).status, 0);
    EXPECT_NE(run("--disk MA0000.log " + a.str()).out.find("0001 Reference temperature\n      Degrees Celsius = 68 C"),
              std::string::npos);
    EXPECT_EQ(run("--disk NOSUCH " + a.str()).status, 3);
    EXPECT_EQ(run("--drivedb " + a.str() + "/missing.h " + a.str()).status, 3);
    EXPECT_EQ(run(a.str() + "/missing").status, 3);
    EXPECT_EQ(run(archive + ".broken").status, 3);
}

TEST(Program, Metrics) {
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::string>> disks;  // file, text
        std::string extra;                                       // more arguments
        int status;
        std::vector<std::string> lines;  // in the metrics file
    };
    const std::string labels = "host=\"srv01\",controller=\"0\",target=\"0\",serial=\"";
    auto verdict = [&](const std::string& serial, const char* v) {
        return "logdump_disk_verdict{" + labels + serial + "\",verdict=\"" + v + "\"} 1";
    };
    const std::string scsi = "\"}";
    const std::vector<Row> rows = {
        {"healthy",
         {{"MA0000.log", disk("S1", "24")}},
         "",
         0,
         {"logdump_report_success{file=\"logdump.prom\"} 1",
          "logdump_collection_timestamp_seconds{host=\"srv01\"} 1700000000",
          "logdump_disk_info{" + labels +
              "S1\",model=\"ACMEDRV DK600SA0006\",firmware=\"0004\",protocol=\"SCSI\",family=\"\"} 1",
          verdict("S1", "OK"), "logdump_disk_verdict{" + labels + "S1\",verdict=\"FAIL\"} 0",
          "logdump_disk_temperature_celsius{" + labels + "S1" + scsi + " 36",
          "logdump_disk_read_uncorrected{" + labels + "S1" + scsi + " 0",
          "logdump_findings{" + labels + "S1\",severity=\"FAIL\"} 0"}},
        {"hot", {{"MA0000.log", disk("S1", "44")}}, "", 2, {verdict("S1", "FAIL")}},
        {"cannot be judged",
         {{"MA0000.log", disk("S1", "24").substr(0, disk("S1", "24").find("<Page03>"))}},
         "",
         1,
         {verdict("S1", "UNKNOWN")}},
        {"quote and backslash in the serial",
         {{"MA0000.log", disk("S\"1\\", "24")}},
         "",
         0,
         {verdict("S\\\"1\\\\", "OK")}},
        {"bytes that are not UTF-8",
         {{"MA0000.log", disk("S\xff\xc3", "24")}},
         "",
         0,
         {verdict("S\xef\xbf\xbd\xef\xbf\xbd", "OK")}},
        {"an input that cannot be read",
         {{"MA0000.log", disk("S1", "24")}},
         "missing",
         3,
         {"logdump_report_success{file=\"logdump.prom\"} 0", verdict("S1", "OK")}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        Dir d("srv01");
        d.put("logdperr.txt", "");
        for (auto& [file, text] : r.disks) d.put(file, text);
        const fs::path dir = fs::path(d.str()).parent_path(), prom = dir / "out" / "logdump.prom";
        fs::create_directories(prom.parent_path());
        // An older file is replaced whole.
        std::ofstream(prom) << "old\n";
        const std::string extra = r.extra.empty() ? "" : " " + (dir / r.extra).string();
        EXPECT_EQ(run("--metrics " + prom.string() + " " + d.str() + extra).status, r.status);
        const std::string text = rpt::test::slurp(prom);
        for (auto& l : r.lines) EXPECT_NE(text.find("\n" + l + "\n"), std::string::npos) << l << "\n" << text;
        EXPECT_EQ(rpt::test::promtool_check(prom), "");
        EXPECT_EQ(fs::status(prom).permissions() & fs::perms::others_read, fs::perms::others_read);
        EXPECT_EQ(std::distance(fs::directory_iterator(prom.parent_path()), fs::directory_iterator()), 1);
    }
    // Two collections of one host, 30 days apart: the newest tells the
    // present, one series per disk, with the growth of its counters.
    Dir d("srv01"), old("old/srv01");
    d.put("MA0000.log", disk("S1", "24", "0c"));
    d.put("MA0001.log", disk("S2", "24"));
    old.put("MA0000.log", disk("S1", "24"), 30 * 86400);
    old.put("MA0001.log", disk("S0", "24"), 30 * 86400);
    const std::string prom = d.str() + ".prom";
    EXPECT_EQ(run("--metrics " + prom + " " + d.str() + " " + old.str()).status, 2);
    const std::string text = rpt::test::slurp(prom);
    // 12 in 30 days, per second.
    EXPECT_NE(text.find("\nlogdump_disk_growth_per_second{" + labels + "S1" + scsi.substr(0, scsi.size() - 1) +
                        ",counter=\"read_uncorrected\"} 4.6296296296296296e-06\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("serial=\"S0\""), std::string::npos) << text;
    EXPECT_EQ(rpt::test::promtool_check(prom), "");
    // A file that cannot be written: status 3, no temporary file left.
    const fs::path ro = fs::path(d.str()).parent_path() / "ro";
    fs::create_directories(ro);
    EXPECT_EQ(run("--metrics " + (ro / "missing" / "x.prom").string() + " " + d.str()).status, 3);
    EXPECT_EQ(run("--metrics " + ro.string() + " " + d.str()).status, 3);  // a directory
    EXPECT_TRUE(fs::is_empty(ro));
}

}  // namespace
