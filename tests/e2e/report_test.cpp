// From collection to diagnosis: logdump64 collects the disks of
// sim/scenarios/health.scn, and logdump-report --json on the log directory
// finds exactly the faults that the scenario put into each disk's pages.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "harness.h"

using namespace e2e;
namespace fs = std::filesystem;

namespace {

// The report program of this build, "" when it has not been built.
std::string report_program() {
    for (const char* rel : {"/logdump-report", "/report/logdump-report"}) {
        std::string p = std::string(LOGDUMP_BINARY_DIR) + rel;
        if (::access(p.c_str(), X_OK) == 0) return p;
    }
    return "";
}

struct Expected {
    const char* file;
    const char* verdict;
    std::set<std::string> codes;                // every WARN and FAIL finding
    std::map<std::string, long long> counters;  // figures that must be read exactly
};

const Expected kDisks[] = {
    {"MA0000.log", "OK", {}, {{"read_uncorrected", 0}, {"selftest_failures", 0}, {"phy_invalid_dword", 0}}},
    {"MA0001.log", "FAIL", {"temperature"}, {}},
    {"MA0002.log", "FAIL", {"exception"}, {}},
    {"MA0003.log", "FAIL", {"selftest", "selftest-older"}, {{"selftest_failures", 2}}},
    {"MA0004.log",
     "WARN",
     {"phy-invalid-dword", "phy-disparity", "phy-loss-of-sync", "phy-reset-problem"},
     {{"phy_invalid_dword", 1234}, {"phy_disparity", 156}, {"phy_loss_of_sync", 12}, {"phy_reset_problem", 2}}},
    {"MA0005.log", "WARN", {"read-uncorrected"}, {{"read_uncorrected", 5}}},
};

TEST(Report, HealthScenarioFaultsFoundPerDisk) {
    Case c(tools().front(), "Report.HealthScenario-64");
    fs::copy_file(std::string(LOGDUMP_SOURCE_DIR) + "/sim/scenarios/health.scn", c.scenario_path(),
                  fs::copy_options::overwrite_existing);
    // The page files are named relative to the scenario (copied: a source
    // tree under /tmp is hidden from the run).
    fs::copy(std::string(LOGDUMP_SOURCE_DIR) + "/sim/scenarios/pages", c.dir + "/pages");
    RunResult r = c.run();
    ASSERT_EQ(r.status, 0) << show(r.out);
    std::vector<std::string> logs;
    for (auto& n : c.logs())
        if (n.rfind("MA", 0) == 0) logs.push_back(n);
    ASSERT_EQ(logs.size(), std::size(kDisks)) << show(r.out);
    EXPECT_EQ(c.log("logdperr.txt"), "") << "the scenario injects no command failure";

    std::string prog = report_program();
    ASSERT_FALSE(prog.empty()) << "logdump-report is not built in " << LOGDUMP_BINARY_DIR;

    const RunResult report = run_program({prog, "--json", c.host(c.logdir())});
    EXPECT_EQ(report.status, 2) << "some disk FAILs";
    nlohmann::json j = nlohmann::json::parse(report.out, nullptr, false);
    ASSERT_FALSE(j.is_discarded()) << "not JSON:\n" << report.out;
    ASSERT_TRUE(j["disks"].is_array());
    // Besides the drive logs, a row of the SATA drive the run skips: the
    // controller's view alone, with nothing against it.
    ASSERT_EQ(j["disks"].size(), std::size(kDisks) + 1) << j.dump(1);
    size_t unlogged = 0;
    for (auto& x : j["disks"])
        if (!x.value("logged", true)) {
            ++unlogged;
            EXPECT_EQ(x["protocol"], "ATA") << x.dump(1);
            EXPECT_EQ(x["verdict"], "OK") << x.dump(1);
        }
    EXPECT_EQ(unlogged, 1u);
    EXPECT_EQ(j["errors"].size(), 0u) << j["errors"].dump(1);
    EXPECT_EQ(j["summary"], nlohmann::json({{"disks", 7}, {"ok", 2}, {"warn", 2}, {"fail", 3}, {"unknown", 0}}));
    for (const Expected& e : kDisks) {
        const nlohmann::json* d = nullptr;
        for (auto& x : j["disks"])
            if (x.value("file", "") == e.file) d = &x;
        ASSERT_NE(d, nullptr) << e.file << " missing from the report";
        EXPECT_EQ((*d)["verdict"], e.verdict) << e.file;
        std::set<std::string> codes;
        for (auto& f : (*d)["findings"])
            if (f.value("severity", "") != "INFO") codes.insert(f.value("code", ""));
        EXPECT_EQ(codes, e.codes) << e.file << ": " << (*d)["findings"].dump(1);
        // Phy counters are per phy: phy 0 of the disk's port.
        for (auto& [k, v] : e.counters)
            EXPECT_EQ(k.rfind("phy_", 0) ? (*d)["counters"][k] : (*d)["phys"][0][k.substr(4)], v) << e.file << " " << k;
        EXPECT_EQ((*d)["temperature"], std::string(e.file) == "MA0001.log" ? 71 : 36) << e.file;
        EXPECT_EQ((*d)["reference_temperature"], 60) << e.file;
        EXPECT_EQ((*d)["power_on_hours"], 13120) << e.file;
    }
}

}  // namespace
