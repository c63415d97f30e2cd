// The rules both protocols share: counters and their thresholds, the
// temperature, the endurance used, the self-tests.
#include "health.h"

namespace rpt {
namespace {

std::string str(uint64_t v) { return std::to_string(v); }

}  // namespace

int64_t clamp64(uint64_t v) { return v > uint64_t(kNever - 1) ? kNever - 1 : static_cast<int64_t>(v); }

void set_counter(Disk& d, Counter c, uint64_t value, std::optional<unsigned> phy) {
    d.counters.push_back({c, value, phy});
}

void count(Disk& d, Counter c, uint64_t value, const std::string& text, const std::string& page,
           std::optional<uint64_t> parameter, std::optional<unsigned> phy) {
    set_counter(d, c, value, phy);
    if (auto limit = counter_def(c).limit) judge(d.findings, *limit, clamp64(value), text, page, parameter);
}

SelfTest::Outcome self_test_outcome(unsigned code, unsigned last_failure) {
    using O = SelfTest::Outcome;
    return code == 0              ? O::Passed
           : code <= 2            ? O::Aborted
           : code == 3            ? O::Incomplete
           : code <= last_failure ? O::Failed
           : code == 15           ? O::Running
                                  : O::Other;
}

void judge_temperature(Disk& d, const std::string& page) {
    if (!d.temperature) return;
    const std::string t = "temperature " + std::to_string(*d.temperature) + " C";
    if (d.reference_temperature)
        judge(d.findings, Limit::Temperature, *d.temperature,
              t + ", reference " + std::to_string(*d.reference_temperature) + " C", page, {}, *d.reference_temperature);
    else
        judge(d.findings, Limit::TemperatureAbsolute, *d.temperature, t + " (no reference)", page);
}

void judge_endurance(Disk& d, uint64_t percent, const std::string& page, std::optional<uint64_t> parameter) {
    count(d, Counter::EnduranceUsedPercent, percent, str(percent) + " % of the rated endurance used", page, parameter);
}

const SelfTest* newest_ended(const std::vector<SelfTest>& tests) {
    for (auto& t : tests)
        if (t.outcome != SelfTest::Outcome::Running) return &t;
    return nullptr;
}

void judge_self_tests(Disk& d, const std::string& page, bool log_read) {
    using O = SelfTest::Outcome;
    auto describe = [](const SelfTest& t) {
        std::string s = t.type + " self-test";
        if (t.segment) s += ", segment " + str(*t.segment);
        if (t.hours) s += ", at " + str(*t.hours) + " hours";
        s += ": " + t.status;
        s += t.lba ? ", LBA 0x" + hex(*t.lba, 1) : ", no LBA";
        if (t.sense_key)
            s += ", sense " + hex(*t.sense_key) + "/" + hex(t.asc.value_or(0)) + "/" + hex(t.ascq.value_or(0));
        return s;
    };
    const SelfTest* newest = newest_ended(d.self_tests);
    uint64_t failed = 0;
    const SelfTest *older = nullptr, *incomplete = nullptr;
    size_t older_count = 0, incomplete_count = 0;
    for (auto& t : d.self_tests) {
        if (t.outcome == O::Failed) ++failed;
        if (t.outcome == O::Failed && &t != newest && !older_count++) older = &t;
        if (t.outcome == O::Incomplete && !incomplete_count++) incomplete = &t;
    }
    if (log_read) set_counter(d, Counter::SelftestFailures, failed);
    if (newest && newest->outcome == O::Failed)
        d.findings.push_back(
            finding(Rule::SelfTest, "the newest self-test failed: " + describe(*newest), page, newest->slot));
    if (older)
        d.findings.push_back(
            finding(Rule::SelfTestOlder,
                    str(older_count) + " older self-test(s) failed, the newest of them: " + describe(*older), page,
                    older->slot));
    if (incomplete)
        d.findings.push_back(
            finding(Rule::SelfTestIncomplete,
                    str(incomplete_count) + " self-test(s) could not complete, the newest: " + describe(*incomplete),
                    page, incomplete->slot));
}

}  // namespace rpt
