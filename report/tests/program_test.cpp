// The program on whole log directories and archives: exit statuses, files
// left from an earlier run, drive logs the error log names as cut, the
// fleet view and the JSON document's keys.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

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

Outcome run(const std::string& args) {
    FILE* p = popen((std::string(REPORT_BIN) + " " + args + " 2>/dev/null").c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int st = pclose(p);
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, out};
}

std::string disk(const std::string& serial, const std::string& temp) {
    return "Device code   : ACMEDRV DK600SA0006     0004\r\nSerial number : " + serial + "\r\n<Page0d>\r\n" +
           rpt::test::dump(page(0x0d, {param(0, "00" + temp), param(1, "0044")}));
}

class Dir {
public:
    explicit Dir(const std::string& name) : path_(fs::temp_directory_path() / ("report-test-" + std::to_string(getpid())) / name) {
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
    };
    const std::string ok = disk("S1", "24"), hot = disk("S2", "44");
    const std::vector<Row> rows = {
        {"all OK", {{"logdperr.txt", "", 0}, {"MA0000.log", ok, 0}}, 0, "", ""},
        {"bytes that are not text", {{"logdperr.txt", "\xff\xfe\n", 0}, {"MA0000.log", disk("S\xff\xc3", "24"), 0}}, 0, "", ""},
        {"a hot disk", {{"logdperr.txt", "", 0}, {"MA0000.log", ok, 0}, {"MA0001.log", hot, 0}}, 2, "MA0001.log", "temperature"},
        {"left from an earlier run", {{"logdperr.txt", "", 0}, {"MA0000.log", ok, 5}}, 1, "MA0000.log", "stale-file"},
        {"older, error log with records", {{"logdperr.txt", " Memory Allocation Error\n", 0}, {"MA0000.log", ok, 5}}, 1, "",
         "errlog-memory_allocation_error"},
        {"not a log directory", {}, 1, "", "empty-input"},
        {"interrupted", {{"logdperr.txt", " File Interrupted(/o_tmp/TMP/KESTRA/MA0000.log)\n", 0}, {"MA0000.log", ok, 0}}, 1,
         "MA0000.log", "errlog-file_interrupted"},
        {"short", {{"logdperr.txt", " Short Transfer(H00T00 Page0d: 12 of 16 bytes)\n", 0}, {"MA0000.log", ok, 0}}, 1,
         "MA0000.log", "errlog-short_transfer"},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        Dir d("KESTRA");
        for (auto& [n, t, age] : r.files) d.put(n, t, age);
        Outcome res = run("--json " + d.str());
        EXPECT_EQ(res.status, r.status);
        json j = json::parse(res.out);
        EXPECT_EQ(j["exit_status"], r.status);
        if (r.code.empty()) continue;
        bool found = false;
        for (auto& disk : j["disks"])
            if (disk["file"] == r.file)
                for (auto& f : disk["findings"]) found |= f["code"] == r.code;
        if (r.file.empty())
            for (auto& f : j["hosts"][0]["findings"]) found |= f["code"] == r.code;
        EXPECT_TRUE(found) << res.out;
    }
}

TEST(Program, ArchivesAndFleet) {
    Dir a("srv01"), b("srv02");
    a.put("logdperr.txt", "");
    a.put("MA0000.log", disk("S1", "24"));
    b.put("MA0100.log", disk("S2", "26"));
    const std::string archive = fs::path(b.str()).parent_path() / "srv02.tar.gz";
    ASSERT_EQ(system(("tar -C " + fs::path(b.str()).parent_path().string() + " -czf " + archive + " srv02").c_str()), 0);

    Outcome dir = run("--json " + b.str()), tgz = run("--json " + archive);
    json jd = json::parse(dir.out), jt = json::parse(tgz.out);
    EXPECT_EQ(jd["disks"], jt["disks"]);
    EXPECT_EQ(jt["hosts"][0]["host"], "srv02");

    Outcome fleet = run(a.str() + " " + archive);
    EXPECT_EQ(fleet.status, 0);
    EXPECT_NE(fleet.out.find("HOST"), std::string::npos);
    EXPECT_NE(fleet.out.find("srv01  MA0000.log"), std::string::npos) << fleet.out;
    EXPECT_NE(fleet.out.find("srv02  MA0100.log"), std::string::npos) << fleet.out;

    json j = json::parse(run("--json " + a.str()).out);
    for (const char* k : {"tool", "hosts", "disks", "errors", "summary", "exit_status"}) EXPECT_TRUE(j.contains(k)) << k;
    for (const char* k : {"host", "file", "controller", "device", "vendor", "product", "revision", "serial", "verdict",
                          "temperature", "reference_temperature", "power_on_hours", "counters", "findings", "pages",
                          "sections"})
        EXPECT_TRUE(j["disks"][0].contains(k)) << k;
    EXPECT_EQ(j["disks"][0]["temperature"], 36);
    EXPECT_EQ(j["disks"][0]["counters"].size(), 11u);

    EXPECT_EQ(run("--disk S1 " + a.str()).status, 0);
    EXPECT_NE(run("--disk MA0000.log " + a.str()).out.find("Reference temperature = 68"), std::string::npos);
    EXPECT_EQ(run("--disk NOSUCH " + a.str()).status, 3);
    EXPECT_EQ(run(a.str() + "/missing").status, 3);
    EXPECT_EQ(run(archive + ".broken").status, 3);
}

}  // namespace
