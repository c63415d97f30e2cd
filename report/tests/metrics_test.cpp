// The metrics: label values escaped as the text format asks, and UTF-8;
// counters in the units of the naming guide.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "controller_texts.h"
#include "disk.h"
#include "metrics.h"
#include "util.h"

TEST(Metrics, LabelValues) {
    const std::pair<std::string, std::string> rows[] = {
        {"S0M1H000000000000001", "S0M1H000000000000001"},
        {"a\"b", "a\\\"b"},
        {"a\\b", "a\\\\b"},
        {"a\nb", "a\\nb"},
        {"\\\"\n", "\\\\\\\"\\n"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
        {"S\xff", "S\xef\xbf\xbd"},                                                  // not UTF-8
        {"S\xc3", "S\xef\xbf\xbd"},                                                  // cut short
        {"\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},                    // a surrogate
        {"a\xf0\x9f\x98\x80", "a\xf0\x9f\x98\x80"},                                  // four bytes
        {"a\xf0\x8f\xbf\xbf", "a\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},  // four, overlong
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (auto& [in, out] : rows) EXPECT_EQ(rpt::label_value(in), out) << in;
}

namespace {

using namespace rpt;
using test::page;
using test::param;

// A counter's sample as the metrics give it: a count as it stands, a
// percentage as a ratio.
TEST(Metrics, CounterSamples) {
    struct Row {
        const char* name;
        std::string block;  // a page of a SAS disk
        std::string family, value;
    };
    const std::vector<Row> rows = {
        {"uncorrected read errors", "<Page03>\r\n" + test::dump(page(0x03, {param(6, "03")})),
         "logdump_disk_read_uncorrected", "3"},
        {"42 % of the endurance used", "<Page11>\r\n" + test::dump(page(0x11, {param(1, "0000002a")})),
         "logdump_disk_endurance_used_ratio", "0.42"},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        Report report;
        report.collections.emplace_back().disks.push_back(build_disk(
            "h", "MA0000.log", "Device code   : ACMEDRV DK600SA0006     0004\r\nSerial number : S1\r\n" + r.block));
        const std::string text = render_metrics(report);
        const size_t at = text.find("\n" + r.family + "{");
        ASSERT_NE(at, std::string::npos) << text;
        const std::string line = text.substr(at + 1, text.find('\n', at + 1) - at - 1);
        EXPECT_EQ(line.substr(line.rfind(' ') + 1), r.value) << line;
    }
}

// The controller's view: a state series per virtual drive and drive (older
// spellings as the newer name), the drives' counts, the adapter's memory
// errors and the events of each class within 30 days of the controller's
// clock, else of the collection time. A drive listed twice gives one series.
TEST(Metrics, ControllerSamples) {
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        time_t collected;
        std::vector<std::string> once, absent;  // lines written once; texts not written
    };
    const std::string c = "host=\"h\",controller=\"0\"";
    const std::string offline = c + ",enclosure=\"32\",slot=\"4\",target=\"14\",serial=\"Z1X2Y3W4\"";
    const std::string rebuild = c + ",enclosure=\"32\",slot=\"5\",target=\"15\",serial=\"Z9P4Q1RX\"";
    const std::vector<std::pair<std::string, std::string>> all = {
        {"Controller_0_pdlist.log", test::kDriveList}, {"Controller_0_ldinfo.log", test::kVirtualDrives},
        {"Controller_0_ldpdinfo.log", test::kMembers}, {"Controller_0_adpallinfo.log", test::kAdapter},
        {"controller_0_Flashrom.log", test::kEvents},
    };
    auto with = [&](const std::string& file, const std::string& text) {
        auto files = all;
        for (auto& f : files)
            if (f.first == file) f.second = text;
        return files;
    };
    auto without = [&](const std::string& file) {
        auto files = all;
        std::erase_if(files, [&](auto& f) { return f.first == file; });
        return files;
    };
    std::string hot_spare = test::kDriveList, twice = test::kDriveList;
    hot_spare.replace(hot_spare.find("Firmware state: Rebuild"), 23, "Firmware state: Hot Spare");
    const size_t slot5 = twice.find("Enclosure Device ID: 32\nSlot Number: 5");
    twice.insert(twice.find("Exit Code"), twice.substr(slot5, twice.find("Exit Code") - slot5));
    const std::vector<Row> rows = {
        {"the degraded RAID-1",
         all,
         1700000000,
         {"logdump_virtual_drive_state{" + c + ",virtual_drive=\"0\",raid_level=\"RAID 1\",state=\"Degraded\"} 1",
          "logdump_virtual_drive_state{" + c + ",virtual_drive=\"1\",raid_level=\"RAID 10\",state=\"Optimal\"} 1",
          "logdump_physical_drive_state{" + offline + ",state=\"Offline\"} 1",
          "logdump_physical_drive_state{" + rebuild + ",state=\"Rebuild\"} 1",
          "logdump_physical_drive_media_errors{" + offline + "} 22",
          "logdump_physical_drive_other_errors{" + offline + "} 3",
          "logdump_physical_drive_predictive_failures{" + offline + "} 1",
          "logdump_physical_drive_smart_alert{" + offline + "} 1",
          "logdump_physical_drive_smart_alert{" + rebuild + "} 0",
          "logdump_controller_memory_uncorrectable_errors{" + c + "} 1",
          "logdump_controller_events{" + c + ",class=\"critical\"} 1",
          "logdump_controller_events{" + c + ",class=\"info\"} 1",
          "logdump_controller_events{" + c + ",class=\"progress\"} 1",
          "logdump_controller_events{" + c + ",class=\"dead\"} 0"},
         {}},
        {"an older CLI's Hot Spare",
         with("Controller_0_pdlist.log", hot_spare),
         1700000000,
         {"logdump_physical_drive_state{" + rebuild + ",state=\"Hotspare\"} 1"},
         {}},
        {"a drive listed twice",
         with("Controller_0_pdlist.log", twice),
         1700000000,
         {"logdump_physical_drive_state{" + rebuild + ",state=\"Rebuild\"} 1",
          "logdump_physical_drive_media_errors{" + rebuild + "} 0"},
         {}},
        // 2024-08-01: the dated events are older than 30 days, the one
        // dated by the time since boot cannot be shown old.
        {"no adapter log: the collection's time, two months on",
         without("Controller_0_adpallinfo.log"),
         1722470400,
         {"logdump_controller_events{" + c + ",class=\"critical\"} 1"},
         {"class=\"info\"", "logdump_controller_memory_uncorrectable_errors"}},
        {"no event log", without("controller_0_Flashrom.log"), 1700000000, {}, {"logdump_controller_events"}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<InputFile> inputs;
        for (auto& [name, text] : r.files) inputs.push_back({name, text, 0, true});
        Report report;
        Collection& col = report.collections.emplace_back();
        col.host = "h";
        col.collected = r.collected;
        col.controllers = read_controllers(inputs);
        const std::string text = render_metrics(report);
        for (auto& l : r.once) {
            const size_t at = text.find("\n" + l + "\n");
            EXPECT_NE(at, std::string::npos) << l << "\n" << text;
            EXPECT_EQ(text.find("\n" + l + "\n", at + 1), std::string::npos) << l;
        }
        for (auto& a : r.absent) EXPECT_EQ(text.find(a), std::string::npos) << a << "\n" << text;
        const std::string prom = (std::filesystem::temp_directory_path() / "metrics_test_controller.prom").string();
        std::ofstream(prom) << text;
        EXPECT_EQ(test::promtool_check(prom), "");
        std::remove(prom.c_str());
    }
}

}  // namespace
