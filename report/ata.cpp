// SATA drives: IDENTIFY DEVICE, SMART data and thresholds, the RETURN STATUS
// line, the SMART and general-purpose logs (self-tests, error counts,
// device statistics, phy events), decoded from tables, and judged.
#include <algorithm>
#include <map>

#include "health.h"

namespace rpt {
namespace {

// Attribute names of the IDs that drives agree on; any other id keeps its
// number (its meaning is the maker's).
struct AttributeName {
    uint8_t id;
    const char* name;
};
constexpr AttributeName kAttributeNames[] = {
    {1, "Raw_Read_Error_Rate"},
    {2, "Throughput_Performance"},
    {3, "Spin_Up_Time"},
    {4, "Start_Stop_Count"},
    {5, "Reallocated_Sector_Ct"},
    {7, "Seek_Error_Rate"},
    {8, "Seek_Time_Performance"},
    {9, "Power_On_Hours"},
    {10, "Spin_Retry_Count"},
    {11, "Calibration_Retry_Count"},
    {12, "Power_Cycle_Count"},
    {13, "Read_Soft_Error_Rate"},
    {183, "Runtime_Bad_Block"},
    {184, "End-to-End_Error"},
    {187, "Reported_Uncorrect"},
    {188, "Command_Timeout"},
    {189, "High_Fly_Writes"},
    {190, "Airflow_Temperature_Cel"},
    {191, "G-Sense_Error_Rate"},
    {192, "Power-Off_Retract_Count"},
    {193, "Load_Cycle_Count"},
    {194, "Temperature_Celsius"},
    {195, "Hardware_ECC_Recovered"},
    {196, "Reallocated_Event_Count"},
    {197, "Current_Pending_Sector"},
    {198, "Offline_Uncorrectable"},
    {199, "UDMA_CRC_Error_Count"},
    {200, "Multi_Zone_Error_Rate"},
    {220, "Disk_Shift"},
    {222, "Loaded_Hours"},
    {223, "Load_Retry_Count"},
    {224, "Load_Friction"},
    {226, "Load-in_Time"},
    {240, "Head_Flying_Hours"},
    {241, "Total_LBAs_Written"},
    {242, "Total_LBAs_Read"},
    {254, "Free_Fall_Sensor"},
};

// Sector counts read from the raw value, with the counter of each.
struct CountAttribute {
    uint8_t id;
    Counter counter;
    const char* what;
};
constexpr CountAttribute kCountAttributes[] = {
    {5, Counter::AtaReallocatedSectors, "reallocated sectors"},
    {187, Counter::AtaReportedUncorrect, "uncorrectable errors reported to the host"},
    {197, Counter::AtaPendingSectors, "sectors pending reallocation"},
    {198, Counter::AtaOfflineUncorrectable, "sectors found uncorrectable off-line"},
    {199, Counter::AtaUdmaCrcErrors, "interface CRC errors (cable or backplane)"},
};

// Device statistics by page and byte offset; `counter` names those that
// count towards health.
struct StatisticDef {
    uint8_t page;
    uint16_t offset;
    const char* key;
    const char* name;
    std::optional<Counter> counter = {};
    bool is_signed = false;
};
constexpr StatisticDef kStatistics[] = {
    {1, 0x08, "lifetime_power_on_resets", "Lifetime power-on resets"},
    {1, 0x10, "power_on_hours", "Power-on hours"},
    {1, 0x18, "logical_sectors_written", "Logical sectors written"},
    {1, 0x20, "write_commands", "Number of write commands"},
    {1, 0x28, "logical_sectors_read", "Logical sectors read"},
    {1, 0x30, "read_commands", "Number of read commands"},
    {1, 0x38, "date_and_time", "Date and time timestamp"},
    {1, 0x40, "pending_error_count", "Pending error count", Counter::AtaPendingErrors},
    {1, 0x48, "workload_utilization", "Workload utilization"},
    {1, 0x50, "utilization_usage_rate", "Utilization usage rate"},
    {1, 0x58, "resource_availability", "Resource availability"},
    {1, 0x60, "random_write_resources_used", "Random write resources used"},
    {2, 0x08, "free_fall_events", "Number of free-fall events detected"},
    {2, 0x10, "overlimit_shock_events", "Overlimit shock events"},
    {3, 0x08, "spindle_motor_power_on_hours", "Spindle motor power-on hours"},
    {3, 0x10, "head_flying_hours", "Head flying hours"},
    {3, 0x18, "head_load_events", "Head load events"},
    {3, 0x20, "reallocated_logical_sectors", "Number of reallocated logical sectors",
     Counter::AtaReallocatedLogicalSectors},
    {3, 0x28, "read_recovery_attempts", "Read recovery attempts"},
    {3, 0x30, "mechanical_start_failures", "Number of mechanical start failures", Counter::AtaMechanicalStartFailures},
    {3, 0x38, "reallocation_candidates", "Number of reallocation candidate logical sectors",
     Counter::AtaReallocationCandidates},
    {3, 0x40, "high_priority_unloads", "Number of high priority unload events"},
    {4, 0x08, "reported_uncorrectable_errors", "Number of reported uncorrectable errors",
     Counter::AtaReportedUncorrectableErrors},
    {4, 0x10, "resets_during_commands", "Number of resets between command acceptance and command completion",
     Counter::AtaResetsDuringCommands},
    {4, 0x18, "physical_element_status_changed", "Physical element status changed"},
    {5, 0x08, "current_temperature", "Current temperature", {}, true},
    {5, 0x10, "average_short_term_temperature", "Average short term temperature", {}, true},
    {5, 0x18, "average_long_term_temperature", "Average long term temperature", {}, true},
    {5, 0x20, "highest_temperature", "Highest temperature", {}, true},
    {5, 0x28, "lowest_temperature", "Lowest temperature", {}, true},
    {5, 0x30, "highest_average_short_term_temperature", "Highest average short term temperature", {}, true},
    {5, 0x38, "lowest_average_short_term_temperature", "Lowest average short term temperature", {}, true},
    {5, 0x40, "highest_average_long_term_temperature", "Highest average long term temperature", {}, true},
    {5, 0x48, "lowest_average_long_term_temperature", "Lowest average long term temperature", {}, true},
    {5, 0x50, "time_over_temperature", "Time in over-temperature"},
    {5, 0x58, "specified_maximum_temperature", "Specified maximum operating temperature", {}, true},
    {5, 0x60, "time_under_temperature", "Time in under-temperature"},
    {5, 0x68, "specified_minimum_temperature", "Specified minimum operating temperature", {}, true},
    {6, 0x08, "hardware_resets", "Number of hardware resets"},
    {6, 0x10, "asr_events", "Number of ASR events"},
    {6, 0x18, "interface_crc_errors", "Number of interface CRC errors", Counter::AtaInterfaceCrcErrors},
    {7, 0x08, "percentage_used_endurance", "Percentage used endurance indicator"},
};

struct PhyEventName {
    uint16_t id;
    const char* name;
};
constexpr PhyEventName kPhyEvents[] = {
    {0x001, "Command failed and ICRC error bit set to one in Error register"},
    {0x002, "R_ERR response for data FIS"},
    {0x003, "R_ERR response for device-to-host data FIS"},
    {0x004, "R_ERR response for host-to-device data FIS"},
    {0x005, "R_ERR response for non-data FIS"},
    {0x006, "R_ERR response for device-to-host non-data FIS"},
    {0x007, "R_ERR response for host-to-device non-data FIS"},
    {0x008, "Device-to-host non-data FIS retries"},
    {0x009, "Transitions from drive PHYRDY to drive PHYRDYn"},
    {0x00a, "Signature device-to-host register FISes sent due to a COMRESET"},
    {0x00b, "CRC errors within a host-to-device FIS"},
    {0x00d, "Non-CRC errors within a host-to-device FIS"},
    {0x00f, "R_ERR response for host-to-device data FIS due to CRC errors"},
    {0x010, "R_ERR response for host-to-device data FIS due to non-CRC errors"},
    {0x012, "R_ERR response for host-to-device non-data FIS due to CRC errors"},
    {0x013, "R_ERR response for host-to-device non-data FIS due to non-CRC errors"},
};

constexpr const char* kMajorVersions[] = {nullptr,       nullptr,       nullptr,       nullptr,    "ATA/ATAPI-4",
                                          "ATA/ATAPI-5", "ATA/ATAPI-6", "ATA/ATAPI-7", "ATA8-ACS", "ACS-2",
                                          "ACS-3",       "ACS-4",       "ACS-5"};

constexpr const char* kSelfTestStatuses[] = {"completed without error",
                                             "aborted by the host",
                                             "interrupted by a host reset",
                                             "fatal or unknown error: could not complete",
                                             "completed with an unknown failing element",
                                             "failed in its electrical element",
                                             "failed in its servo or seek element",
                                             "failed in its read element",
                                             "failed: handling damage",
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             "in progress"};

std::string test_type(uint8_t t) {
    struct Type {
        uint8_t code;
        const char* name;
    };
    static constexpr Type kTypes[] = {{0x00, "off-line"},           {0x01, "short off-line"},
                                      {0x02, "extended off-line"},  {0x03, "conveyance off-line"},
                                      {0x04, "selective off-line"}, {0x7f, "abort"},
                                      {0x81, "short captive"},      {0x82, "extended captive"},
                                      {0x83, "conveyance captive"}, {0x84, "selective captive"}};
    for (auto& k : kTypes)
        if (k.code == t) return k.name;
    return "vendor [0x" + hex(t) + "]";
}

// An IDENTIFY string: each byte pair swapped, cut at a zero byte, blanks
// trimmed at both ends.
std::string ata_string(const std::vector<uint8_t>& id, size_t word, size_t words) {
    std::string s;
    for (size_t i = 0; i < words * 2; ++i) {
        const char c = static_cast<char>(id[word * 2 + (i ^ 1)]);
        if (!c) break;
        s += c;
    }
    return trim(s);
}

uint16_t word_at(const std::vector<uint8_t>& b, size_t w) { return static_cast<uint16_t>(le_value(&b[w * 2], 2)); }

// A block that can be decoded: read whole and of its size.
const Block* usable(const DriveLog& log, BlockKind kind, uint8_t page = 0, uint16_t log_page = 0) {
    const Block* b = log.find(kind, page, log_page);
    return b && !b->damaged && !b->unread && !b->bytes.empty() ? b : nullptr;
}

// Sectors of a general-purpose log by page number, from all its blocks.
std::map<uint16_t, const uint8_t*> gpl_pages(const DriveLog& log, uint8_t address) {
    std::map<uint16_t, const uint8_t*> out;
    for (auto& b : log.blocks)
        if (b.kind == BlockKind::AtaGplLog && b.page == address && !b.damaged)
            for (size_t i = 0; i + 512 <= b.bytes.size(); i += 512)
                out.emplace(static_cast<uint16_t>(b.log_page + i / 512), &b.bytes[i]);
    return out;
}

void checksum(Disk& d, const std::string& what, const uint8_t* p) {
    uint8_t sum = 0;
    for (size_t i = 0; i < 512; ++i) sum = static_cast<uint8_t>(sum + p[i]);
    if (sum)
        d.findings.push_back(finding(Rule::AtaChecksum, what + ": the checksum does not match (the values are used)"));
}

void identify(Disk& d, AtaInfo& a, const DriveLog& log) {
    const Block* b = usable(log, BlockKind::AtaIdentify);
    const std::string& code = log.device_code;
    if (!b) {  // the identity lines alone: model (40) and firmware (8)
        const std::string_view c = code;
        a.model = trim(c.substr(0, 40));
        a.firmware = c.size() > 40 ? trim(c.substr(40, 8)) : "";
        a.serial = trim(log.serial);
        return;
    }
    const auto& id = b->bytes;
    if (id[510] == 0xa5) checksum(d, "IDENTIFY DEVICE", id.data());
    a.serial = ata_string(id, 10, 10);
    a.firmware = ata_string(id, 23, 4);
    a.model = ata_string(id, 27, 20);
    auto valid = [&](size_t w) { return (word_at(id, w) & 0xc000) == 0x4000; };
    if (valid(83) && (word_at(id, 83) & 0x0400))
        a.sectors = le_value(&id[200], 8);
    else
        a.sectors = le_value(&id[120], 4);
    if (valid(106) && (word_at(id, 106) & 0x1000))
        a.logical_sector_size = static_cast<unsigned>(le_value(&id[234], 4)) * 2;
    if (word_at(id, 217)) a.rotation_rate = word_at(id, 217);
    const uint16_t major = word_at(id, 80);
    if (major && major != 0xffff)
        for (size_t bit = std::size(kMajorVersions); bit-- > 0;)
            if ((major >> bit & 1) && kMajorVersions[bit]) {
                a.ata_version = kMajorVersions[bit];
                break;
            }
    a.gpl = (valid(84) && (word_at(id, 84) & 0x20)) || (valid(87) && (word_at(id, 87) & 0x20));
    a.smart_supported = valid(83) && (word_at(id, 82) & 1);
    a.smart_enabled = valid(83) && (word_at(id, 85) & 1);
    // The identity lines must name the drive IDENTIFY describes.
    if (code.rfind(a.model, 0) != 0 || log.serial.rfind(a.serial, 0) != 0)
        d.findings.push_back(
            finding(Rule::IdentityMismatch, "the identity lines do not name the drive that IDENTIFY DEVICE describes"));
}

void attributes(Disk& d, AtaInfo& a, const DriveLog& log) {
    const Block* data = usable(log, BlockKind::AtaSmartData);
    const Block* thr = usable(log, BlockKind::AtaSmartThresholds);
    if (!data) return;
    checksum(d, "SMART READ DATA", data->bytes.data());
    if (thr) checksum(d, "SMART READ THRESHOLDS", thr->bytes.data());
    for (size_t i = 0; i < 30; ++i) {
        const uint8_t* e = &data->bytes[2 + 12 * i];
        if (!e[0]) continue;
        AtaAttribute at;
        at.id = e[0];
        at.flags = static_cast<uint16_t>(le_value(e + 1, 2));
        at.prefailure = at.flags & 1;
        at.value = e[3];
        at.worst = e[4];
        at.raw = le_value(e + 5, 6);
        at.name = std::to_string(at.id);
        for (auto& n : kAttributeNames)
            if (n.id == at.id) at.name = n.name;
        if (thr)
            for (size_t k = 0; k < 30; ++k)
                if (thr->bytes[2 + 12 * k] == at.id) at.threshold = thr->bytes[3 + 12 * k];
        if (at.threshold && *at.threshold) {
            if (at.value <= *at.threshold)
                at.failing = "now";
            else if (at.worst <= *at.threshold)
                at.failing = "past";
        }
        a.attributes.push_back(std::move(at));
    }
}

// Newest first, from the extended self-test log when there is one, else
// from the SMART self-test log.
void self_tests(Disk& d, const DriveLog& log) {
    struct Entry {
        const uint8_t* p;
        size_t lba_bytes;
    };
    std::vector<Entry> entries;
    auto ext = gpl_pages(log, 0x07);
    if (auto first = ext.find(0); first != ext.end()) {
        const size_t per_page = 19;
        size_t pages = ext.rbegin()->first + 1u;
        if (const Block* dir = usable(log, BlockKind::AtaGplLog, 0x00, 0); dir && dir->bytes.size() >= 512)
            pages = std::max<size_t>(pages, le_value(&dir->bytes[14], 2));
        const size_t slots = pages * per_page, index = le_value(first->second + 2, 2);
        for (size_t k = 0; index && index <= slots && k < slots; ++k) {
            const size_t n = (index - 1 + slots - k) % slots;
            auto page = ext.find(static_cast<uint16_t>(n / per_page));
            if (page == ext.end()) break;
            const uint8_t* p = page->second + 4 + 26 * (n % per_page);
            if (!p[0] && !p[1] && !p[2] && !p[3]) break;
            entries.push_back({p, 6});
        }
    } else if (const Block* b = usable(log, BlockKind::AtaSmartLog, 0x06); b && b->bytes.size() >= 512) {
        checksum(d, "SMART self-test log", b->bytes.data());
        const size_t index = b->bytes[508];
        for (size_t k = 0; index && index <= 21 && k < 21; ++k) {
            const uint8_t* p = &b->bytes[2 + 24 * ((index - 1 + 21 - k) % 21)];
            if (!p[0] && !p[1] && !p[2] && !p[3]) break;
            entries.push_back({p, 4});
        }
    }
    using O = SelfTest::Outcome;
    for (size_t i = 0; i < entries.size(); ++i) {
        const uint8_t* p = entries[i].p;
        SelfTest t;
        t.slot = static_cast<unsigned>(i + 1);
        t.type = test_type(p[0]);
        t.status_code = p[1] >> 4;
        t.status = word(kSelfTestStatuses, t.status_code);
        t.remaining_percent = (p[1] & 15) * 10u;
        t.hours = le_value(p + 2, 2);
        t.outcome = self_test_outcome(t.status_code, 8);
        const uint64_t lba = le_value(p + 5, entries[i].lba_bytes);
        const uint64_t none = entries[i].lba_bytes == 4 ? 0xffffffff : 0xffffffffffff;
        if (t.outcome == O::Failed && lba != none) t.lba = lba;
        d.self_tests.push_back(std::move(t));
    }
}

void statistics(AtaInfo& a, const DriveLog& log) {
    for (auto& [page, p] : gpl_pages(log, 0x04)) {
        if (page == 0 || p[2] != page) continue;  // the list, or a sector that is not the page it should be
        for (auto& s : kStatistics) {
            if (s.page != page) continue;
            const uint64_t q = le_value(p + s.offset, 8);
            if (!(q >> 63 & 1)) continue;  // not supported
            AtaStatistic st;
            st.page = s.page;
            st.offset = s.offset;
            st.key = s.key;
            st.name = s.name;
            st.valid = q >> 62 & 1;
            st.value = s.is_signed ? static_cast<uint64_t>(static_cast<int64_t>(static_cast<int8_t>(q & 0xff)))
                                   : q & 0xffffffffffff;
            a.statistics.push_back(std::move(st));
        }
    }
}

void phy_events(Disk& d, AtaInfo& a, const DriveLog& log) {
    auto pages = gpl_pages(log, 0x11);
    auto p = pages.find(0);
    if (p == pages.end()) return;
    checksum(d, "SATA phy event counters", p->second);
    for (size_t o = 4; o + 2 <= 510;) {
        const uint16_t id = static_cast<uint16_t>(le_value(p->second + o, 2));
        const size_t len = 2u * ((id >> 12) & 7);
        if (!id || !len || o + 2 + len > 510) break;
        AtaPhyEvent e;
        e.id = id & 0x0fff;
        e.value = le_value(p->second + o + 2, len);
        e.name = "Phy event " + hex(e.id, 3);
        for (auto& n : kPhyEvents)
            if (n.id == e.id) e.name = n.name;
        a.phy_events.push_back(std::move(e));
        o += 2 + len;
    }
}

const AtaStatistic* statistic(const AtaInfo& a, uint8_t page, uint16_t offset) {
    for (auto& s : a.statistics)
        if (s.page == page && s.offset == offset && s.valid) return &s;
    return nullptr;
}

const AtaAttribute* attribute(const AtaInfo& a, uint8_t id) {
    for (auto& x : a.attributes)
        if (x.id == id) return &x;
    return nullptr;
}

Finding about(Finding f, std::optional<int64_t> value) {
    f.value = value;
    return f;
}

}  // namespace

bool assess_ata(Disk& d, const DriveLog& log) {
    AtaInfo a;
    identify(d, a, log);
    attributes(d, a, log);
    self_tests(d, log);
    statistics(a, log);
    phy_events(d, a, log);
    if (const Block* s = log.find(BlockKind::AtaSmartStatus); s && !s->damaged && !s->text.empty()) {
        if (s->text.starts_with("passed"))
            a.smart_passed = true;
        else if (s->text.starts_with("threshold exceeded"))
            a.smart_passed = false;
        else
            d.findings.push_back(finding(Rule::AtaSmartStatus, "SMART RETURN STATUS gave no known answer: " + s->text));
    }
    if (auto p = gpl_pages(log, 0x03); p.count(0)) {
        checksum(d, "extended comprehensive error log", p[0]);
        a.errors_logged = le_value(p[0] + 500, 2);
    } else if (const Block* e = usable(log, BlockKind::AtaSmartLog, 0x01); e && e->bytes.size() >= 512) {
        checksum(d, "SMART summary error log", e->bytes.data());
        a.errors_logged = le_value(&e->bytes[452], 2);
    }
    d.vendor = "ATA";
    d.product = a.model;
    d.revision = a.firmware;
    d.serial = a.serial;

    const std::string smart = "ATA SMART";
    if (a.smart_passed == false)
        d.findings.push_back(finding(Rule::AtaSmartFailed,
                                     "SMART RETURN STATUS: threshold exceeded, the drive predicts its failure", smart));
    for (auto& x : a.attributes) {
        if (x.failing.empty()) continue;
        const bool now = x.failing == "now";
        Finding f = about(finding(now && x.prefailure ? Rule::AtaPrefailThreshold : Rule::AtaThreshold,
                                  std::string(x.prefailure ? "pre-failure" : "old-age") + " attribute " +
                                      std::to_string(x.id) + " " + x.name + " " +
                                      (now ? "is at " + std::to_string(x.value) : "was at " + std::to_string(x.worst)) +
                                      ", at or below its threshold " + std::to_string(*x.threshold),
                                  smart, x.id),
                          now ? x.value : x.worst);
        f.threshold = *x.threshold;
        d.findings.push_back(std::move(f));
    }
    for (auto& c : kCountAttributes) {
        const AtaAttribute* x = attribute(a, c.id);
        if (!x) continue;
        uint64_t n = x->raw & 0xffffffff;
        if (x->raw >> 32) {
            n = x->raw & 0xffff;
            d.findings.push_back(finding(Rule::AtaRawPacked,
                                         "attribute " + std::to_string(c.id) + " packs other data in its raw value 0x" +
                                             hex(x->raw, 12) + ": its low 16 bits count " + std::to_string(n),
                                         smart, c.id));
        }
        count(d, c.counter, n, std::to_string(n) + " " + c.what, smart, c.id);
    }

    // Temperature and its limit from the device statistics, else from the
    // attributes (the low byte of the raw value).
    if (auto* t = statistic(a, 5, 0x08))
        d.temperature = static_cast<int64_t>(t->value);
    else if (auto* x = attribute(a, 194))
        d.temperature = static_cast<int64_t>(x->raw & 0xff);
    else if (auto* y = attribute(a, 190))
        d.temperature = static_cast<int64_t>(y->raw & 0xff);
    if (auto* m = statistic(a, 5, 0x58)) d.reference_temperature = static_cast<int64_t>(m->value);
    judge_temperature(d, statistic(a, 5, 0x08) ? "ATA statistics 05h" : smart);

    if (auto* h = statistic(a, 1, 0x10))
        d.power_on_hours = static_cast<int64_t>(h->value);
    else if (auto* x = attribute(a, 9))
        d.power_on_hours = static_cast<int64_t>(x->raw & 0xffffffff);
    if (d.power_on_hours)
        judge(d.findings, Limit::PowerOnHours, *d.power_on_hours,
              std::to_string(*d.power_on_hours) + " hours powered on", smart);

    for (auto& s : kStatistics)
        if (s.counter)
            if (auto* st = statistic(a, s.page, s.offset)) set_counter(d, *s.counter, st->value);
    if (auto* e = statistic(a, 7, 0x08)) judge_endurance(d, e->value, "ATA statistics 07h", 0x08);

    judge_self_tests(d, "ATA self-test log");
    if (a.errors_logged && *a.errors_logged)
        d.findings.push_back(about(
            finding(Rule::AtaErrorsLogged,
                    "the drive's error log counts " + std::to_string(*a.errors_logged) + " error(s)", "ATA error log"),
            static_cast<int64_t>(*a.errors_logged)));
    const bool judged = usable(log, BlockKind::AtaSmartData) || a.smart_passed.has_value();
    d.ata = std::move(a);
    return judged;
}

}  // namespace rpt
