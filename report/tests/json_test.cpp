// The JSON document's strings, escaped as any JSON reader takes them; its
// values of decoded fields: a value that means "none" (an LBA of all ones,
// a temperature not available) is null, not a number. The controllers'
// view: each controller with its own findings, each drive with the drive
// log it was joined with.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "controller_texts.h"
#include "disk.h"
#include "json.h"
#include "report.h"
#include "util.h"

namespace {

using namespace rpt;
using test::page;
using test::param;

TEST(Json, FieldsThatMeanNoneAreNull) {
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;  // one page of one parameter
        std::string field, value;    // as JSON
    };
    // A failed self-test: result 7, number 1, 240 hours, its first failing LBA.
    auto self_test = [](const std::string& lba) { return page(0x10, {param(1, "170100f0" + lba + "031100" + "00")}); };
    const std::vector<Row> rows = {
        {"a first failure's LBA", self_test("000000000000abcd"), "first_failure", "43981"},
        {"no first failure: all ones", self_test("ffffffffffffffff"), "first_failure", "null"},
        {"a temperature", page(0x0d, {param(0, "0024")}), "celsius", "36"},
        {"no temperature: FFh", page(0x0d, {param(0, "00ff")}), "celsius", "null"},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        char tag[16];
        snprintf(tag, sizeof tag, "<Page%02x>\r\n", r.bytes[0]);
        const Disk d = build_disk("h", "MA0000.log",
                                  "Device code   : ACMEDRV DK600SA0006     0004\r\nSerial number : S1\r\n" +
                                      std::string(tag) + test::dump(r.bytes));
        const auto j = nlohmann::json::parse(json_text(d));
        EXPECT_EQ(j["pages"][0]["parameters"][0]["fields"][r.field].dump(), r.value) << j["pages"][0];
    }
}

// Strings as any JSON reader takes them: every control character escaped,
// bytes that are no UTF-8 replaced.
TEST(Json, StringsAreEscaped) {
    struct Row {
        const char* name;
        std::string text, json;
    };
    const std::vector<Row> rows = {
        {"quote and backslash", "a\"b\\c", R"("a\"b\\c")"},
        {"line ends and tab", "\r\n\t", R"("\r\n\t")"},
        {"the lowest control character", "\x01", R"("\u0001")"},
        {"the highest control character", "\x1f", R"("\u001f")"},
        {"a byte that is no UTF-8", "\xff", R"("\ufffd")"},
        {"plain runs between escapes",
         "ab\"cd\x01"
         "ef\\",
         R"("ab\"cd\u0001ef\\")"},
        {"DEL and UTF-8 kept as they are", "x\x7f\xc3\xa9y", "\"x\x7f\xc3\xa9y\""},
        {"a sequence cut at the end", "ok\xc3", R"("ok\ufffd")"},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        Disk d;
        d.serial = r.text;
        const std::string text = json_text(d);
        EXPECT_NE(text.find("\"serial\": " + r.json + ","), std::string::npos) << text;
        EXPECT_TRUE(nlohmann::json::accept(text));
    }
}

// The sample controller logs (a degraded RAID-1, its member at target 14
// offline) with one change each; values read at JSON pointers ("absent":
// no such key or element).
TEST(Json, ControllersAndTheirDrives) {
    using Files = std::vector<std::pair<std::string, std::string>>;
    const Files sample = {{"Controller_0_adpallinfo.log", test::kAdapter},
                          {"Controller_0_ldinfo.log", test::kVirtualDrives},
                          {"Controller_0_ldpdinfo.log", test::kMembers},
                          {"Controller_0_pdlist.log", test::kDriveList},
                          {"controller_0_Flashrom.log", test::kEvents}};
    auto drive_log = [](const std::string& serial) {
        return "Device code   : OKAPIHD KZA1200TX       A440\r\nSerial number : " + serial + "\r\n";
    };
    std::string adapter1 = test::kAdapter;
    adapter1.replace(adapter1.find("Adapter #0"), 10, "Adapter #1");
    struct Row {
        const char* name;
        Files files;
        std::vector<std::pair<std::string, std::string>> want;  // pointer, value as JSON
    } rows[] = {
        {"the sample: the offline drive left no drive log",
         sample,
         {{"/controllers/0/firmware", R"({"package":"24.21.0-0097","version":"4.680.00-8527"})"},
          {"/controllers/0/virtual_drives/0/members/1",
           R"({"arm":1,"enclosure":32,"no_drive":false,"slot":4,"span":0,"target":14})"},
          {"/controllers/0/virtual_drives/1/name", "null"},
          {"/controllers/0/physical_drives/0/state", R"("Offline")"},
          {"/controllers/0/physical_drives/0/drive_log", "null"},
          {"/controllers/0/physical_drives/0/source", R"("Controller_0_pdlist.log")"},
          {"/controllers/0/physical_drives/0/raw_sectors", "2344225968"},
          {"/controllers/0/physical_drives/1/vendor", "null"},
          // Target 13 is in no drive list, only among the members.
          {"/controllers/0/physical_drives/2/target", "13"},
          {"/controllers/0/physical_drives/2/source", R"("Controller_0_ldpdinfo.log")"},
          {"/controllers/0/events/0/time", R"("2024-06-05T22:41:07")"},
          {"/controllers/0/events/0/sense/asc_name", R"("Unrecovered read error")"},
          {"/controllers/0/events/1/time", R"("Boot + 23 seconds")"},
          {"/controllers/0/events/1/class", R"("critical")"},
          {"/controllers/0/findings/0/code", R"("virtual-drive-state")"},
          {"/disks/0/device", "13"},
          {"/disks/1/logged", "false"},
          {"/disks/1/controller_view/virtual_drives", "[0]"},
          {"/disks/1/controller_view/events/0/seq", "7722"}}},
        {"its drive log of the same serial: joined",
         [&] {
             Files f = sample;
             f.push_back({"MA000e.log", drive_log("Z1X2Y3W4")});
             return f;
         }(),
         {{"/controllers/0/physical_drives/0/drive_log", R"("MA000e.log")"},
          {"/disks/1/logged", "true"},
          {"/disks/1/controller_view/state", R"("Offline")"}}},
        {"a drive log of another serial: not joined",
         [&] {
             Files f = sample;
             f.push_back({"MA000e.log", drive_log("OTHER123")});
             return f;
         }(),
         {{"/controllers/0/physical_drives/0/drive_log", "null"}, {"/disks/1/controller_view", "null"}}},
        {"no adapter log: product, serial and firmware unknown",
         Files(sample.begin() + 1, sample.end()),
         {{"/controllers/0/product", "null"}, {"/controllers/0/serial", "null"}, {"/controllers/0/firmware", "null"}}},
        {"a second controller's findings are its own",
         [&] {
             Files f = sample;
             f.push_back({"Controller_1_adpallinfo.log", adapter1});
             return f;
         }(),
         {{"/controllers/1/controller", "1"},
          {"/controllers/1/findings/0/text", R"("controller 1: memory uncorrectable errors: 1")"},
          {"/controllers/1/findings/1/code", R"("memory-correctable")"},
          {"/controllers/1/findings/2", "absent"}}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        Host h{"srv01", "srv01", {}, {}, {}};
        for (auto& [name, text] : r.files) h.files.push_back({name, text, 1718892309, wanted(name)});
        char* buf = nullptr;
        size_t size = 0;
        FILE* f = open_memstream(&buf, &size);
        write_json(build_report({h}), f);
        fclose(f);
        const auto j = nlohmann::json::parse(std::string(buf, size));
        free(buf);
        for (auto& [pointer, value] : r.want) {
            const nlohmann::json::json_pointer at(pointer);
            EXPECT_EQ(j.contains(at) ? j[at].dump() : "absent", value) << pointer;
        }
    }
}

}  // namespace
