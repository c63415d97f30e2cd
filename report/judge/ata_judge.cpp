// A SATA drive judged from its decoded blocks: each rule from its row of
// the catalogue, each limit from the thresholds table (health.h).
#include "ata_judge.h"

#include "health.h"

namespace rpt {
namespace {

// Sector counts read from the raw value, with the counter of each.
struct CountAttribute {
    uint8_t id;
    Counter counter;
    const char* what;
    bool sectors;  // a count of sectors: never more than the drive has
};
constexpr CountAttribute kCountAttributes[] = {
    {5, Counter::AtaReallocatedSectors, "reallocated sectors", true},
    {187, Counter::AtaReportedUncorrect, "uncorrectable errors reported to the host", false},
    {197, Counter::AtaPendingSectors, "sectors pending reallocation", true},
    {198, Counter::AtaOfflineUncorrectable, "sectors found uncorrectable off-line", true},
    {199, Counter::AtaUdmaCrcErrors, "interface CRC errors (cable or backplane)", false},
};

constexpr uint64_t kMostPowerOnHours = 100000;

// Where the findings of the SMART data and status are.
constexpr const char* kSmart = "ATA SMART";

// The device statistics that count towards health.
struct CountStatistic {
    StatisticKey key;
    Counter counter;
};
constexpr CountStatistic kCountStatistics[] = {
    {{kAtaStatistics, "pending_error_count"}, Counter::AtaPendingErrors},
    {{kAtaStatistics, "reallocated_logical_sectors"}, Counter::AtaReallocatedLogicalSectors},
    {{kAtaStatistics, "mechanical_start_failures"}, Counter::AtaMechanicalStartFailures},
    {{kAtaStatistics, "reallocation_candidates"}, Counter::AtaReallocationCandidates},
    {{kAtaStatistics, "reported_uncorrectable_errors"}, Counter::AtaReportedUncorrectableErrors},
    {{kAtaStatistics, "resets_during_commands"}, Counter::AtaResetsDuringCommands},
    {{kAtaStatistics, "interface_crc_errors"}, Counter::AtaInterfaceCrcErrors},
};

std::string test_type(uint64_t t) {
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

// The self-tests of the log's entries, newest first; a failed one names its
// first failing LBA unless the log gives none.
void self_tests(Disk& d, const AtaInfo& a) {
    for (size_t i = 0; i < a.self_test_log.size(); ++i) {
        const FieldValues& e = a.self_test_log[i];
        SelfTest t;
        t.slot = static_cast<unsigned>(i + 1);
        t.type = test_type(field(e, {kAtaSelfTest, "type"}).value_or(0));
        t.status_code = static_cast<unsigned>(field(e, {kAtaSelfTest, "status"}).value_or(0));
        t.status = self_test_status_text(t.status_code);
        t.remaining_percent = static_cast<unsigned>(field(e, {kAtaSelfTest, "remaining"}).value_or(0)) * 10u;
        t.hours = field(e, {kAtaSelfTest, "hours"}).value_or(0);
        t.outcome = self_test_outcome(t.status_code, 8);
        for (auto& f : e)
            if (f.def->format == Format::Lba && t.outcome == SelfTest::Outcome::Failed &&
                !field_text(*f.def, f.value).empty())
                t.lba = f.value;
        d.self_tests.push_back(std::move(t));
    }
}

Finding with_value(Finding f, std::optional<int64_t> value) {
    f.value = value;
    return f;
}

// The SMART data's status of the last self-test is newer than any log: a
// test running, aborted or interrupted is said; one that failed is judged
// as a failed newest entry of the log would be, unless the log says so.
void self_test_execution(Disk& d, const AtaInfo& a) {
    if (!a.self_test_status) return;
    const unsigned code = *a.self_test_status;
    const std::string status = self_test_status_text(code);
    using O = SelfTest::Outcome;
    switch (self_test_outcome(code, 8)) {
    case O::Running:
    case O::Aborted:
        d.findings.push_back(
            finding(Rule::SelfTestExecution,
                    "self-test " + status +
                        (code == 15 ? ", " + std::to_string(a.self_test_remaining.value_or(0)) + "% remaining" : ""),
                    kSmart, code));
        break;
    case O::Failed: {
        const SelfTest* newest = newest_ended(d.self_tests);
        if (!newest || newest->outcome != O::Failed || newest->status_code != code)
            d.findings.push_back(
                finding(Rule::SelfTest, "the newest self-test failed (SMART data): " + status, kSmart, code));
        break;
    }
    default: break;
    }
}

// The SMART status, the drive database's warning and the attributes at or
// below their thresholds.
void smart(Disk& d, const AtaInfo& a) {
    if (!a.database_warning.empty())
        d.findings.push_back(finding(Rule::AtaDatabaseWarning,
                                     "the drive database warns of " + a.family + ": " + a.database_warning, kSmart));
    if (a.smart_passed == false) d.findings.push_back(finding(Rule::AtaSmartFailed, "", kSmart));
    for (auto& x : a.attributes) {
        if (x.failing.empty()) continue;
        // A normalized value is no count and no temperature: the raw value
        // stands beside it.
        const bool now = x.failing == "now";
        Finding f = with_value(
            finding(now && x.prefailure ? Rule::AtaPrefailThreshold : Rule::AtaThreshold,
                    std::string(x.prefailure ? "pre-failure" : "old-age") + " attribute " + std::to_string(x.id) + " " +
                        x.name + ": normalized value " +
                        (now ? std::to_string(x.value) + " is at" : "fell to " + std::to_string(x.worst) + ",") +
                        " or below its threshold " + std::to_string(*x.threshold) + " (raw " + x.raw_text + ")",
                    kSmart, x.id),
            now ? x.value : x.worst);
        f.threshold = *x.threshold;
        d.findings.push_back(std::move(f));
    }
}

void count_attributes(Disk& d, const AtaInfo& a) {
    for (auto& c : kCountAttributes) {
        const AtaAttribute* x = attribute(a, c.id);
        // A format the report does not know, or one that gives no count:
        // shown, not judged.
        if (!x || !x->raw_value || x->unit != Unit::Count) continue;
        const uint64_t n = *x->raw_value;
        // More sectors than the drive has is no count of sectors.
        if (c.sectors && a.sectors && n > *a.sectors) {
            d.findings.push_back(finding(Rule::AtaRawPacked,
                                         "attribute " + std::to_string(c.id) + " " + x->name + ": raw value " +
                                             x->raw_text + " (0x" + hex(x->raw, 12) +
                                             ") holds other data: more than the drive's " + std::to_string(*a.sectors) +
                                             " sectors",
                                         kSmart, c.id));
            continue;
        }
        count(d, c.counter, n, std::to_string(n) + " " + c.what, kSmart, c.id);
    }
}

// Temperature and its limit from the device statistics, else from the
// attributes (the low byte of the raw value). A temperature outside 1-99 C
// is none the drive measured (an unused attribute reads 0).
void temperature(Disk& d, const AtaInfo& a) {
    const AtaStatistic* now = statistic(a, {kAtaStatistics, "current_temperature"});
    auto celsius = [&](uint8_t id) -> const AtaAttribute* {
        const AtaAttribute* x = attribute(a, id);
        return x && x->raw_value && x->unit == Unit::Celsius ? x : nullptr;
    };
    if (now)
        d.temperature = static_cast<int64_t>(now->value);
    else if (auto* x = celsius(194))
        d.temperature = static_cast<int64_t>(*x->raw_value);
    else if (auto* y = celsius(190))
        d.temperature = static_cast<int64_t>(*y->raw_value);
    if (d.temperature && (*d.temperature < 1 || *d.temperature > 99)) d.temperature.reset();
    if (auto* m = statistic(a, {kAtaStatistics, "specified_maximum_temperature"}))
        d.reference_temperature = static_cast<int64_t>(m->value);
    judge_temperature(d, now ? "ATA statistics 05h" : kSmart);
}

// Power-on hours from the device statistics, else from attribute 9.
void power_on(Disk& d, const AtaInfo& a) {
    if (auto* h = statistic(a, {kAtaStatistics, "power_on_hours"}))
        d.power_on_hours = static_cast<int64_t>(h->value);
    else if (auto* x = attribute(a, 9); x && x->raw_value && (x->unit == Unit::Hours || x->unit == Unit::Count)) {
        // More than 100,000 hours (11.4 years) is a count in a unit the
        // database does not know for this drive: minutes, half-minutes...
        if (*x->raw_value <= kMostPowerOnHours)
            d.power_on_hours = static_cast<int64_t>(*x->raw_value);
        else
            d.findings.push_back(
                with_value(finding(Rule::AtaPowerOnUnit,
                                   "attribute 9 " + x->name + " reads " + x->raw_text + " (raw 0x" + hex(x->raw, 12) +
                                       "): more than 100000 hours, so in a unit unknown for this drive",
                                   kSmart, 9),
                           static_cast<int64_t>(*x->raw_value)));
    }
    if (d.power_on_hours)
        judge(d.findings, Limit::PowerOnHours, *d.power_on_hours,
              std::to_string(*d.power_on_hours) + " hours powered on", kSmart);
}

}  // namespace

bool judge_ata(Disk& d) {
    const AtaInfo& a = *d.ata;
    d.vendor = "ATA";
    d.product = a.model;
    d.revision = a.firmware;
    d.serial = a.serial;
    smart(d, a);
    count_attributes(d, a);
    temperature(d, a);
    power_on(d, a);
    for (auto& s : kCountStatistics)
        if (auto* st = statistic(a, s.key)) set_counter(d, s.counter, st->value);
    if (auto* e = statistic(a, {kAtaStatistics, "percentage_used_endurance"}))
        judge_endurance(d, e->value, "ATA statistics 07h", 0x08);
    self_tests(d, a);
    judge_self_tests(d, "ATA self-test log", a.self_test_log_read);
    self_test_execution(d, a);
    if (a.errors_logged && *a.errors_logged)
        d.findings.push_back(with_value(
            finding(Rule::AtaErrorsLogged,
                    "the drive's error log counts " + std::to_string(*a.errors_logged) + " error(s)", "ATA error log"),
            static_cast<int64_t>(*a.errors_logged)));
    return a.smart_data_read || a.smart_passed.has_value();
}

}  // namespace rpt
