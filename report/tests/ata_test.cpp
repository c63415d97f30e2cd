// Verdicts of one SATA drive: the healthy disk of the test data, then one
// byte (or line) of one of its blocks changed; the other sample drives as
// they stand.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>

#include "ata_fields.h"
#include "disk.h"
#include "drivedb.h"
#include "json.h"
#include "report.h"
#include "util.h"

namespace {

using namespace rpt;

// A change to the block with this tag: bytes written at an offset (the
// sector's checksum kept right), a new text line, or no bytes at all (the
// command failed).
struct Edit {
    std::string tag;
    size_t offset = 0;
    std::vector<uint8_t> bytes;
    std::string text;
    bool keep_sum = true;
};

Edit put(const std::string& tag, size_t offset, std::vector<uint8_t> bytes) {
    return {tag, offset, std::move(bytes), ""};
}
// Bytes written with the sector's checksum left as it was.
Edit unsummed(const std::string& tag, size_t offset, std::vector<uint8_t> bytes) {
    return {tag, offset, std::move(bytes), "", false};
}
Edit line(const std::string& tag, const std::string& text) { return {tag, 0, {}, text}; }
Edit failed(const std::string& tag) { return {tag, 0, {}, ""}; }
// The identity lines above the blocks, replaced whole.
Edit identity(const std::string& lines) { return {"", 0, {}, lines}; }

std::string edited(const std::string& log_text, const std::vector<Edit>& edits) {
    const DriveLog log = read_drive_log(log_text);
    std::string s = log_text.substr(0, log_text.find('<'));
    for (auto& e : edits)
        if (e.tag.empty()) s = e.text;
    for (auto& b : log.blocks) {
        std::vector<uint8_t> bytes = b.bytes;
        std::string line = b.text;
        for (auto& e : edits) {
            if (e.tag != b.tag) continue;
            if (!e.text.empty()) line = e.text;
            if (e.bytes.empty() && e.text.empty()) {
                bytes.clear();
                line.clear();
            }
            if (e.bytes.empty()) continue;
            uint8_t* sector = &bytes[e.offset / 512 * 512];
            uint8_t sum = 0;
            for (size_t i = 0; i < 512; ++i) sum = static_cast<uint8_t>(sum + sector[i]);
            std::copy(e.bytes.begin(), e.bytes.end(), bytes.begin() + static_cast<ptrdiff_t>(e.offset));
            if (sum == 0 && e.keep_sum) {
                sector[511] = 0;
                for (size_t i = 0; i < 511; ++i) sector[511] = static_cast<uint8_t>(sector[511] - sector[i]);
            }
        }
        s += "<" + b.tag + ">\r\n" + (line.empty() ? test::dump(bytes) : line + "\r\n");
    }
    return s;
}

// Offsets in the healthy disk's blocks: attribute entry i of SMART data and
// thresholds at 2 + 12 i (id, flags, value, worst, six raw bytes).
constexpr size_t attr(size_t i) { return 2 + 12 * i; }
constexpr size_t kAttr5 = attr(3), kAttr9 = attr(5), kAttr10 = attr(6), kAttr197 = attr(12), kAttr198 = attr(13),
                 kAttr199 = attr(14), kAttr200 = attr(15);
const std::string kData = "ATA SMART READ DATA", kThresholds = "ATA SMART READ THRESHOLDS",
                  kStatus = "ATA SMART RETURN STATUS", kExtSelfTests = "ATA GPL LOG 07 PAGE 0000",
                  kTemperatures = "ATA GPL LOG 04 PAGE 0005";

TEST(Ata, OneChangeGivesItsFinding) {
    struct Row {
        const char* name;
        std::string sample;  // sata_<sample>.log
        std::vector<Edit> edits;
        const char* verdict;
        std::vector<std::string> findings;          // severity and code, in order
        std::map<Counter, uint64_t> counters = {};  // counters read exactly
        std::string presets = "";                   // a drive database entry for the drive, with a warning
        std::optional<int64_t> power_on_hours = {};
    };
    const Edit no_hours = put("ATA GPL LOG 04 PAGE 0001", 16 + 7, {0});  // statistic not supported
    const std::vector<Row> rows = {
        {"healthy", "hdd", {}, "OK", {}, {{Counter::AtaReallocatedSectors, 0}, {Counter::AtaUdmaCrcErrors, 0}}},
        {"SMART status failed",
         "hdd",
         {line(kStatus, "threshold exceeded (f4 2c)")},
         "FAIL",
         {"FAIL ata-smart-failed"}},
        {"SMART status of no known form", "hdd", {line(kStatus, "unknown (00 00)")}, "WARN", {"WARN ata-smart-status"}},
        {"pre-failure attribute at its threshold",
         "hdd",
         {put(kData, kAttr5 + 3, {140})},
         "FAIL",
         {"FAIL ata-prefail-threshold"}},
        {"pre-failure attribute at its threshold in the past",
         "hdd",
         {put(kData, kAttr5 + 4, {140})},
         "WARN",
         {"WARN ata-threshold"}},
        {"old-age attribute at its threshold",
         "hdd",
         {put(kThresholds, kAttr9 + 1, {72})},
         "WARN",
         {"WARN ata-threshold"}},
        // IDENTIFY pads a short serial with leading blanks; the collector
        // writes it so. The word after its 20 bytes is not of it.
        {"a short serial number padded with blanks",
         "hdd",
         {put("ATA IDENTIFY DEVICE", 20,
              test::unhex("20202020202020202020"
                          "4b583231334135343736"
                          "5a5a")),
          identity("Device code   : ACME DH4000SA-1000                      AC01R007\r\n"
                   "Serial number :           XK12A34567\r\n")},
         "OK",
         {}},
        {"identity lines of another drive",
         "hdd",
         {identity("Device code   : ACME DH4000SA-1000                      AC01R007\r\nSerial number : OTHER\r\n")},
         "WARN",
         {"WARN identity-mismatch"}},
        {"a zero threshold is never reached", "hdd", {put(kData, kAttr10 + 3, {0, 0})}, "OK", {}},
        {"reallocated sectors",
         "hdd",
         {put(kData, kAttr5 + 5, {3})},
         "WARN",
         {"WARN ata-reallocated"},
         {{Counter::AtaReallocatedSectors, 3}}},
        {"a count in the low word, other data above it (raw16(raw16))",
         "hdd",
         {put(kData, kAttr5 + 5, {2, 0, 1, 0, 7})},
         "WARN",
         {"WARN ata-reallocated"},
         {{Counter::AtaReallocatedSectors, 2}}},
        {"a sector count of the drive's own size is a count",
         "hdd",
         {put(kData, kAttr197 + 5, {0xb0, 0xbe, 0xc0, 0xd1, 0x01})},
         "FAIL",
         {"FAIL ata-pending"}},
        {"IDENTIFY's checksum off by one",
         "hdd",
         {unsummed("ATA IDENTIFY DEVICE", 500, {1})},
         "OK",
         {"INFO ata-checksum"}},
        {"a sector count larger than the drive holds other data",
         "hdd",
         {put(kData, kAttr197 + 5, {2, 0, 1, 0, 7})},
         "OK",
         {"INFO ata-raw-packed"}},
        {"... of the off-line uncorrectable sectors too",
         "hdd",
         {put(kData, kAttr198 + 5, {2, 0, 1, 0, 7})},
         "OK",
         {"INFO ata-raw-packed"}},
        // Attribute 9 counts where the device statistics give no power-on hours.
        {"power-on time in a unit unknown for the drive",
         "hdd",
         {no_hours, put(kData, kAttr9 + 5, {0x40, 0x42, 0x0f})},
         "OK",
         {"INFO ata-power-on-unit"}},
        {"the database's unit and warning for this model",
         "hdd",
         {no_hours, put(kData, kAttr9 + 5, {0x40, 0x42, 0x0f})},
         "OK",
         {"INFO ata-database-warning"},
         {},
         "-v 9,min2hour",
         16666},
        {"uncorrectable errors reported",
         "hdd",
         {put(kData, kAttr200, {187}), put(kThresholds, kAttr200, {187}), put(kData, kAttr200 + 5, {1})},
         "WARN",
         {"WARN ata-reported-uncorrect"},
         {{Counter::AtaReportedUncorrect, 1}}},
        {"sectors pending", "hdd", {put(kData, kAttr197 + 5, {1})}, "WARN", {"WARN ata-pending"}},
        {"100 sectors pending: a drive to replace",
         "hdd",
         {put(kData, kAttr197 + 5, {100})},
         "FAIL",
         {"FAIL ata-pending"}},
        {"sectors uncorrectable off-line",
         "hdd",
         {put(kData, kAttr198 + 5, {1})},
         "WARN",
         {"WARN ata-offline-uncorrectable"}},
        {"CRC errors: cable or backplane",
         "hdd",
         {put(kData, kAttr199 + 5, {1, 1})},
         "WARN",
         {"WARN ata-crc"},
         {{Counter::AtaUdmaCrcErrors, 257}}},
        {"warm against the specified maximum", "hdd", {put(kTemperatures, 8, {52})}, "WARN", {"WARN temperature"}},
        {"at the specified maximum", "hdd", {put(kTemperatures, 8, {60})}, "FAIL", {"FAIL temperature"}},
        // 1-99 C is a temperature the drive measured; 100 C is none.
        {"99 C, the hottest reading taken", "hdd", {put(kTemperatures, 8, {99})}, "FAIL", {"FAIL temperature"}},
        {"100 C is no reading", "hdd", {put(kTemperatures, 8, {100})}, "OK", {}},
        {"the newest self-test failed",
         "hdd",
         {put(kExtSelfTests, 4 + 26 + 1, {0x79})},
         "FAIL",
         {"FAIL selftest"},
         {{Counter::SelftestFailures, 1}}},
        {"an older self-test failed", "hdd", {put(kExtSelfTests, 4 + 1, {0x79})}, "WARN", {"WARN selftest-older"}},
        {"a running self-test is no failure", "hdd", {put(kExtSelfTests, 4 + 26 + 1, {0xf3})}, "OK", {}},
        // The SMART data's self-test execution status, newer than any log.
        {"a self-test in progress", "hdd", {put(kData, 363, {0xf7})}, "OK", {"INFO selftest-execution"}},
        {"a self-test aborted by the host", "hdd", {put(kData, 363, {0x10})}, "OK", {"INFO selftest-execution"}},
        {"the last self-test failed in its read element", "hdd", {put(kData, 363, {0x70})}, "FAIL", {"FAIL selftest"}},
        {"neither SMART data nor status",
         "hdd",
         {failed(kData), failed(kThresholds), failed(kStatus)},
         "WARN",
         {"WARN block-unread", "WARN block-unread", "WARN block-unread", "UNKNOWN no-health"}},
        {"worn solid state drive",
         "ssd",
         {},
         "WARN",
         {"WARN ata-reallocated", "WARN ssd-endurance", "WARN selftest-older", "INFO ata-errors-logged"},
         {{Counter::EnduranceUsedPercent, 93}, {Counter::SelftestFailures, 1}}},
        {"failing disk",
         "failing",
         {},
         "FAIL",
         {"FAIL ata-smart-failed", "FAIL ata-prefail-threshold", "WARN ata-threshold", "FAIL ata-reallocated",
          "WARN ata-reported-uncorrect", "WARN ata-pending", "WARN ata-offline-uncorrectable", "WARN ata-crc",
          "WARN temperature-absolute", "INFO power-on-hours", "FAIL selftest", "INFO ata-errors-logged"},
         {{Counter::AtaReallocatedSectors, 3280}, {Counter::AtaPendingSectors, 12}}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string text = test::slurp(std::string(LOGPAGES_DIR) + "/sata_" + r.sample + ".log");
        const DriveDb db = parse_drivedb(
            "{\"DEFAULT\", \"-\", \"-\", \"\", \"\"},\n"
            "{\"Acme DH\", \"ACME DH4000SA-1000\", \"\", \"firmware AC01 counts minutes\", \"" +
                r.presets + "\"}",
            "test");
        const Disk d = build_disk("h", "MA0000.log", edited(text, r.edits), {}, r.presets.empty() ? nullptr : &db);
        if (r.power_on_hours) {
            EXPECT_EQ(d.power_on_hours, r.power_on_hours);
        }
        std::vector<std::string> findings;
        for (auto& f : d.findings) findings.push_back(std::string(severity_name(f.severity)) + " " + f.code());
        EXPECT_EQ(findings, r.findings);
        EXPECT_STREQ(verdict_name(worst(d.findings)), r.verdict);
        for (auto& [k, v] : r.counters) EXPECT_EQ(d.counter(k), v) << counter_def(k).name;
    }
    // What IDENTIFY, the logs and the statistics of the healthy disk give.
    const Disk d = build_disk("h", "MA0000.log", test::slurp(std::string(LOGPAGES_DIR) + "/sata_hdd.log"));
    ASSERT_TRUE(d.ata);
    EXPECT_EQ(d.vendor + "|" + d.product + "|" + d.revision + "|" + d.serial,
              "ATA|ACME DH4000SA-1000|AC01R007|AC1H0000000000004711");
    EXPECT_EQ(d.ata->sectors, 7814037168u);
    EXPECT_EQ(d.ata->rotation_rate, 7200u);
    EXPECT_EQ(d.ata->ata_version, "ACS-3");
    EXPECT_TRUE(d.ata->gpl);
    EXPECT_EQ(d.ata->smart_passed, true);
    EXPECT_EQ(d.ata->errors_logged, 0u);
    EXPECT_EQ(d.temperature, 35);
    EXPECT_EQ(d.reference_temperature, 60);
    EXPECT_EQ(d.power_on_hours, 21034);
    ASSERT_EQ(d.self_tests.size(), 2u);
    EXPECT_EQ(d.self_tests[0].type, "extended off-line");
    EXPECT_EQ(d.self_tests[0].hours, 21000u);
    ASSERT_EQ(d.ata->phy_events.size(), 3u);
    EXPECT_EQ(d.ata->phy_events[1].value, 3u);

    // Without IDENTIFY the identity lines name the drive, firmware in full;
    // phy events that fill the sector to its checksum are all read.
    const std::string hdd = test::slurp(std::string(LOGPAGES_DIR) + "/sata_hdd.log");
    const Disk bare = build_disk("h", "MA0000.log", edited(hdd, {failed("ATA IDENTIFY DEVICE")}));
    EXPECT_EQ(bare.product + "|" + bare.revision + "|" + bare.serial,
              "ACME DH4000SA-1000|AC01R007|AC1H0000000000004711");
    std::vector<uint8_t> events;
    for (uint8_t id = 1; id <= 125; ++id) events.insert(events.end(), {id, 0x10, 1, 0});  // one word each
    events.insert(events.end(), {0x7e, 0x20, 2, 0, 0, 0});  // two words, ending at byte 510
    const Disk full = build_disk("h", "MA0000.log", edited(hdd, {put("ATA GPL LOG 11 PAGE 0000", 4, events)}));
    ASSERT_EQ(full.ata->phy_events.size(), 126u);
    EXPECT_EQ(full.ata->phy_events.back().value, 2u);
    EXPECT_EQ(full.ata->phy_events[5].name, "R_ERR response for device-to-host non-data FIS");  // 006h

    // The JSON of the worn drive: identity as IDENTIFY gives it, and the
    // attribute without a threshold entry, the packed raw value and the
    // endurance statistic as they are.
    const auto j = nlohmann::json::parse(
        json_text(build_disk("h", "MA0000.log", test::slurp(std::string(LOGPAGES_DIR) + "/sata_ssd.log"))));
    EXPECT_EQ(
        j["protocol"].dump() + j["vendor"].dump() + j["product"].dump() + j["revision"].dump() + j["serial"].dump(),
        R"("ATA""ATA""ZEPHYRA ZS960-SSD""ZS1.0.4""ZPH0000000000000960A")");
    const auto& a = j["ata"];
    EXPECT_EQ(a["smart_status"], "passed");
    EXPECT_EQ(a["rotation_rate"], 1);
    EXPECT_EQ(a["attributes"][0], nlohmann::json::parse(R"({"id":5,"name":"Reallocated_Sector_Ct","prefailure":true,)"
                                                        R"("value":100,"worst":100,"threshold":10,"raw":30064771074,)"
                                                        R"j("format":"raw16(raw16)","raw_text":"2 (7 0)",)j"
                                                        R"("raw_value":2,"unit":"count","failing":null})"));
    EXPECT_TRUE(a["database"].is_null());
    EXPECT_TRUE(a["attributes"].back()["threshold"].is_null()) << a["attributes"].back();
    EXPECT_EQ(a["statistics"]["percentage_used_endurance"]["value"], 93);
    EXPECT_EQ(a["statistics"]["percentage_used_endurance"]["valid"], true);
    EXPECT_EQ(a["errors_logged"], 3);
    EXPECT_EQ(a["self_tests"].size(), 2u);
}

// The names an attribute has without a drive database are the field's: those
// of smartmontools' database's defaults. Every id is tried, 30 to a SMART
// data block; an id we leave to its maker keeps its number.
TEST(Ata, AttributeNamesAreTheDatabaseDefaults) {
    const std::string db = test::slurp(kDriveDbPaths[0]);
    if (db.empty()) GTEST_SKIP() << kDriveDbPaths[0] << " missing";
    const size_t from = db.find("\"DEFAULT\"");
    ASSERT_NE(from, std::string::npos);
    const std::string defaults = db.substr(from, db.find("},", from) - from);
    const std::regex preset("-v ([0-9]+),[^,\" ]+,([A-Za-z0-9_-]+)");
    std::map<unsigned, std::string> want;
    for (std::sregex_iterator m(defaults.begin(), defaults.end(), preset), end; m != end; ++m)
        want.emplace(std::stoul((*m)[1]), (*m)[2]);
    ASSERT_GT(want.size(), 30u);
    const std::string text = test::slurp(std::string(LOGPAGES_DIR) + "/sata_hdd.log");
    size_t named = 0;
    for (unsigned id = 1; id < 256;) {
        std::vector<uint8_t> entries(12 * 30, 0);
        for (size_t i = 0; i < 30 && id < 256; ++i, ++id) entries[12 * i] = static_cast<uint8_t>(id);
        const Disk d = build_disk("h", "MA0000.log", edited(text, {put(kData, attr(0), entries)}));
        ASSERT_TRUE(d.ata);
        for (const AtaAttribute& a : d.ata->attributes) {
            if (a.name == std::to_string(a.id)) continue;
            EXPECT_EQ(a.name, want[a.id]) << unsigned{a.id};
            ++named;
        }
    }
    EXPECT_GT(named, 30u);
}

// The device statistics of a page are quadwords one after another from byte
// 8, in the table as in the log (a mistyped offset reads its neighbour).
TEST(Ata, StatisticsFollowEachOtherInTheirPage) {
    std::map<unsigned, unsigned> next;
    for (const StatisticDef& s : kAtaStatistics) {
        unsigned& at = next.try_emplace(s.page, 8).first->second;
        EXPECT_EQ(s.offset, at) << s.key;
        at = s.offset + 8u;
    }
    EXPECT_EQ(next.size(), 7u);
}

// The field tables reach what the drive database and the self-test rules
// read: capacity and the SMART logs IDENTIFY lists, the self-test execution
// status, and an attribute's whole entry (raw formats read its last byte).
TEST(Ata, TablesReachEveryFieldTheRulesRead) {
    struct Row {
        const char* name;
        std::vector<Edit> edits;
        std::function<uint64_t(const AtaInfo&)> read;
        uint64_t value;
    };
    const std::string kIdentify = "ATA IDENTIFY DEVICE";
    auto in = [](FieldValues AtaInfo::*fields, const char* key) {
        return [=](const AtaInfo& a) {
            for (auto& f : a.*fields)
                if (std::string_view(f.def->key) == key) return f.value;
            return ~uint64_t{0};
        };
    };
    const std::vector<Row> rows = {
        {"48-bit capacity (words 100-103)", {}, in(&AtaInfo::identify, "sectors_48"), 7814037168u},
        {"28-bit capacity (words 60-61)", {}, in(&AtaInfo::identify, "sectors_28"), 0x0fffffffu},
        {"SMART logs supported (word 84)",
         {put(kIdentify, 2 * 84, {0x43, 0x41})},
         in(&AtaInfo::identify, "supported_84"),
         0x4143u},
        {"self-test in progress (byte 363)",
         {put(kData, 363, {0xf3})},
         in(&AtaInfo::smart_data, "self_test_status"),
         15u},
        {"self-test 30 % to go (byte 363)",
         {put(kData, 363, {0xf3})},
         in(&AtaInfo::smart_data, "self_test_remaining"),
         3u},
        {"logical sectors of 2048 words (words 106, 117-118): 4096 bytes",
         {put(kIdentify, 2 * 106, {0x00, 0x50}), put(kIdentify, 2 * 117, {0x00, 0x08})},
         [](const AtaInfo& a) { return uint64_t{a.logical_sector_size}; },
         4096u},
        {"an attribute's last byte",
         {put(kData, kAttr5 + 11, {0x5a})},
         [](const AtaInfo& a) { return uint64_t{a.attributes[3].entry[11]}; },
         0x5au},
    };
    const std::string text = test::slurp(std::string(LOGPAGES_DIR) + "/sata_hdd.log");
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        const Disk d = build_disk("h", "MA0000.log", edited(text, r.edits));
        ASSERT_TRUE(d.ata);
        EXPECT_EQ(r.read(*d.ata), r.value);
    }
}

}  // namespace
