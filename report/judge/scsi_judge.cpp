#include "health.h"

#include <scsi/sg_lib.h>

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace rpt {
namespace {

int64_t clamp64(uint64_t v) { return v > uint64_t(kNever - 1) ? kNever - 1 : static_cast<int64_t>(v); }

const PageRecord* sound(const Disk& d, uint8_t page, uint8_t subpage = 0) {
    // The first block of a page counts when the log holds it twice; a page
    // not read whole gives no figure.
    for (auto& p : d.pages)
        if (p.bytes > 0 && p.page.page == page && p.page.subpage == subpage) return p.trusted ? &p : nullptr;
    return nullptr;
}

const Param* param(const PageRecord* p, uint16_t code) {
    if (!p) return nullptr;
    for (auto& x : p->page.params)
        if (x.code == code) return &x;
    return nullptr;
}

std::optional<uint64_t> counter(const PageRecord* p, uint16_t code) {
    const Param* x = param(p, code);
    return x ? x->value : std::nullopt;
}

std::optional<uint64_t> field_of(const Param* p, std::string_view key) {
    return p ? field(p->fields, key) : std::nullopt;
}

std::string str(uint64_t v) { return std::to_string(v); }

// LBAs as a short list: the first few, then how many more.
std::string lba_list(const std::vector<uint64_t>& lbas) {
    std::string s;
    for (size_t i = 0; i < lbas.size() && i < 8; ++i) s += (i ? ", 0x" : "0x") + hex(lbas[i], 1);
    if (lbas.size() > 8) s += " and " + str(lbas.size() - 8) + " more";
    return s;
}

void informational_exception(Disk& d, const PageRecord* p2f) {
    const Param* ie = param(p2f, 0);
    auto asc = field_of(ie, "asc"), ascq = field_of(ie, "ascq");
    if (!asc || !ascq || (!*asc && !*ascq)) return;
    char name[160] = {};
    sg_get_asc_ascq_str(static_cast<int>(*asc), static_cast<int>(*ascq), sizeof name, name);
    char b[240];
    snprintf(b, sizeof b, "informational exception %02x/%02x: %s", static_cast<unsigned>(*asc),
             static_cast<unsigned>(*ascq), name);
    // 5D/FF is the drive's test trigger (set on request, nothing predicted);
    // any other 5D is a failure prediction.
    if (*asc == 0x5d && *ascq == 0xff)
        d.findings.push_back(finding(Rule::ExceptionTest, std::string(b) + " (a test)", page_ref(0x2f), 0));
    else
        d.findings.push_back(finding(Rule::Exception, b, page_ref(0x2f), 0, *asc == 0x5d ? Case::Other : Case::Usual));
}

void background_scan(Disk& d, const PageRecord* p15) {
    if (!p15) return;
    const std::string where = page_ref(0x15);
    if (auto st = field_of(param(p15, 0), "status"); st && (*st == 3 || *st == 4 || *st == 7)) {
        Finding f = finding(Rule::BmsStatus,
                            "the background scan " + std::string(*st == 3   ? "halted on a fatal error"
                                                                 : *st == 4 ? "halted on a vendor pattern of errors"
                                                                            : "halted on temperature"),
                            where, 0);
        f.value = static_cast<int64_t>(*st);
        d.findings.push_back(std::move(f));
    }
    uint64_t medium = 0, reassigned = 0;
    // LBAs of each reassign status, and of recovered errors.
    std::vector<uint64_t> by_status[16], recovered;
    for (auto& x : p15->page.params) {
        if (x.code < 1 || x.code > 0x800) continue;
        const uint64_t lba = field(x.fields, "lba").value_or(~uint64_t{0});
        const auto sk = field(x.fields, "sense_key"), rs = field(x.fields, "reassign_status");
        if (sk && (*sk == 3 || *sk == 4)) ++medium;
        if (sk && *sk == 1) recovered.push_back(lba);
        if (rs) by_status[*rs & 15].push_back(lba);
        if (rs && (*rs == 2 || *rs == 6)) ++reassigned;
    }
    count(d, Counter::BmsMediumErrors, medium, str(medium) + " medium or hardware errors found by the background scan",
          where);
    count(d, Counter::BmsReassigns, reassigned, str(reassigned) + " blocks reassigned after the background scan",
          where);
    if (!recovered.empty())
        d.findings.push_back(finding(
            Rule::BmsRecovered,
            str(recovered.size()) + " recovered error(s) found by the background scan at LBA " + lba_list(recovered),
            where));
    struct ByStatus {
        unsigned status;
        Rule rule;
        const char* what;
    };
    static constexpr ByStatus kByStatus[] = {
        {1, Rule::ReassignPending, "block(s) waiting to be reassigned"},
        {4, Rule::ReassignFailed, "block(s) the drive failed to reassign"},
        {5, Rule::Rewritten, "block(s) recovered by rewriting in place"},
        {7, Rule::ReassignLostData, "block(s) reassigned without valid data: their data was lost"},
        {8, Rule::ReassignFailed, "block(s) the host failed to reassign"},
    };
    for (auto& r : kByStatus)
        if (!by_status[r.status].empty()) {
            Finding f = finding(
                r.rule, str(by_status[r.status].size()) + " " + r.what + ": LBA " + lba_list(by_status[r.status]),
                where);
            f.value = static_cast<int64_t>(by_status[r.status].size());
            d.findings.push_back(std::move(f));
        }
}

void pending_defects(Disk& d, const PageRecord* p) {
    if (!p) return;
    std::vector<uint64_t> lbas;
    for (auto& x : p->page.params)
        if (x.code >= 1 && x.code <= 0xf000)
            if (auto lba = field(x.fields, "lba")) lbas.push_back(*lba);
    const uint64_t n = counter(p, 0).value_or(lbas.size());
    count(d, Counter::PendingDefects, n,
          str(n) + " pending defect(s)" + (lbas.empty() ? "" : ": LBA " + lba_list(lbas)), page_ref(0x15, 1));
}

void phys(Disk& d, const PageRecord* p18) {
    if (!p18) return;
    for (auto& port : p18->page.params)
        for (auto& fv : port.phys) {
            Phy ph;
            ph.port = port.code;
            ph.id = static_cast<unsigned>(field(fv, "phy").value_or(0));
            ph.sas_address = field(fv, "sas_address").value_or(0);
            ph.attached_sas_address = field(fv, "attached_sas_address").value_or(0);
            ph.attached_phy = static_cast<unsigned>(field(fv, "attached_phy").value_or(0));
            ph.attached_device_type = static_cast<uint8_t>(field(fv, "attached_device_type").value_or(0));
            ph.attached_reason = static_cast<uint8_t>(field(fv, "attached_reason").value_or(0));
            ph.reason = static_cast<uint8_t>(field(fv, "reason").value_or(0));
            ph.link_rate = static_cast<uint8_t>(field(fv, "link_rate").value_or(0));
            ph.invalid_dword = field(fv, "invalid_dword");
            ph.disparity = field(fv, "disparity");
            ph.loss_of_sync = field(fv, "loss_of_sync");
            ph.reset_problem = field(fv, "reset_problem");
            d.phys.push_back(ph);
        }
    // The fastest rate any phy of the disk negotiated: a phy below it runs
    // slower than the disk can (a bad cable, connector or expander port).
    uint8_t fastest = 0;
    for (auto& ph : d.phys)
        if (ph.link_rate >= 8) fastest = std::max(fastest, ph.link_rate);
    const std::string where = page_ref(0x18);
    for (auto& ph : d.phys) {
        const std::string name =
            "phy " + str(ph.id) + " (port " + str(ph.port) + ", attached to " + hex(ph.attached_sas_address, 16) + ")";
        auto flag = [&](Rule rule, const std::string& what) {
            Finding f = finding(rule, name + ": " + what, where, ph.id);
            f.value = ph.link_rate;
            d.findings.push_back(std::move(f));
        };
        if (ph.link_rate == 1) flag(Rule::PhyDisabled, "disabled");
        if (ph.link_rate == 2) flag(Rule::PhyNegotiationFailed, "speed negotiation failed");
        if (ph.link_rate >= 8 && ph.link_rate < fastest)
            flag(Rule::PhySlow, "runs at " + word(kLinkRates, ph.link_rate) + ", below the " +
                                    word(kLinkRates, fastest) + " of its other phy");
        const std::pair<Counter, std::optional<uint64_t>> counts[] = {{Counter::PhyInvalidDword, ph.invalid_dword},
                                                                      {Counter::PhyDisparity, ph.disparity},
                                                                      {Counter::PhyLossOfSync, ph.loss_of_sync},
                                                                      {Counter::PhyResetProblem, ph.reset_problem}};
        for (auto& [c, v] : counts)
            if (v) count(d, c, *v, name + ": " + str(*v) + " " + counter_def(c).what, where, ph.id, ph.id);
    }
}

void grown_defects(Disk& d, const DriveLog& log) {
    const Block* b = log.find(BlockKind::GrownDefects);
    if (!b || b->damaged || b->bytes.size() != 4) return;
    // Descriptor size of each list format: short block 4 bytes, the others 8;
    // the vendor's format gives no count.
    const uint8_t format = b->bytes[1] & 7;
    const uint64_t length = be_value(&b->bytes[2], 2);
    if (format >= 6) {
        d.findings.push_back(finding(Rule::GrownDefectsFormat, "the grown defect list is in a vendor format: no count",
                                     "grown defects"));
        return;
    }
    const uint64_t n = length / (format == 0 ? 4 : 8);
    count(d, Counter::GrownDefects, n, str(n) + " grown defect(s)", "grown defects");
}

}  // namespace

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

bool assess_scsi(Disk& d, const DriveLog& log) {
    const PageRecord *p02 = sound(d, 0x02), *p03 = sound(d, 0x03), *p05 = sound(d, 0x05), *p06 = sound(d, 0x06),
                     *p0d = sound(d, 0x0d), *p0d1 = sound(d, 0x0d, 1), *p0e = sound(d, 0x0e), *p10 = sound(d, 0x10),
                     *p11 = sound(d, 0x11), *p15 = sound(d, 0x15), *p151 = sound(d, 0x15, 1), *p18 = sound(d, 0x18),
                     *p2f = sound(d, 0x2f);
    informational_exception(d, p2f);

    // Temperature: page 0Dh, else the environmental report (0Dh/01h), else
    // the informational-exception page's reading.
    std::string tpage = page_ref(0x0d);
    if (auto t = counter(p0d, 0)) {
        d.temperature = static_cast<int64_t>(*t);
    } else if (auto e = counter(p0d1, 0)) {
        d.temperature = static_cast<int8_t>(static_cast<uint8_t>(*e));
        tpage = page_ref(0x0d, 1);
    } else if (auto t2 = field_of(param(p2f, 0), "temperature"); t2 && *t2 != 0xff) {
        d.temperature = static_cast<int64_t>(*t2);
        tpage = page_ref(0x2f);
    }
    if (auto r = counter(p0d, 1)) d.reference_temperature = static_cast<int64_t>(*r);
    judge_temperature(d, tpage);

    if (auto m = field_of(param(p15, 0), "power_on_minutes")) {
        d.power_on_hours = static_cast<int64_t>(*m / 60);
        judge(d.findings, Limit::PowerOnHours, *d.power_on_hours, str(*m / 60) + " hours powered on", page_ref(0x15));
    }

    for (auto [limit, what, rated, acc] :
         {std::tuple{Limit::StartStop, "start-stop", 3, 4}, std::tuple{Limit::LoadUnload, "load-unload", 5, 6}}) {
        auto s = counter(p0e, static_cast<uint16_t>(rated)), a = counter(p0e, static_cast<uint16_t>(acc));
        if (s && a && *s > 0 && *a < (uint64_t{1} << 56))
            judge(d.findings, limit, static_cast<int64_t>(*a * 100 / *s),
                  std::string(what) + " cycles " + str(*a) + " of " + str(*s) + " specified", page_ref(0x0e),
                  static_cast<uint64_t>(acc));
    }

    for (auto [p, c] : {std::pair{p03, Counter::ReadUncorrected}, std::pair{p02, Counter::WriteUncorrected},
                        std::pair{p05, Counter::VerifyUncorrected}})
        if (auto v = counter(p, 6)) count(d, c, *v, str(*v) + " " + counter_def(c).what, page_ref(p->page.page), 6);

    if (auto v = counter(p06, 0)) {
        set_counter(d, Counter::NonMedium, *v);
        if (d.power_on_hours) {
            const uint64_t hours = std::max<uint64_t>(static_cast<uint64_t>(*d.power_on_hours), 1000);
            const uint64_t rate = *v > (uint64_t{1} << 40) ? *v : *v * 1000 / hours;
            judge(d.findings, Limit::NonMedium, clamp64(rate),
                  str(*v) + " non-medium errors in " + str(static_cast<uint64_t>(*d.power_on_hours)) +
                      " hours: " + str(rate) + " per 1000 hours",
                  page_ref(0x06), 0);
        } else if (*v > 0) {
            d.findings.push_back(finding(Rule::NonMedium,
                                         str(*v) + " non-medium errors; no power-on hours to judge their rate",
                                         page_ref(0x06), 0, Case::Other));
        }
    }

    if (p10) {
        for (auto& x : p10->page.params) {
            if (x.code < 1 || x.code > 20 || x.fields.size() < 5 ||
                std::all_of(x.raw.begin(), x.raw.end(), [](uint8_t c) { return c == 0; }))
                continue;
            SelfTest t;
            t.slot = x.code;
            t.status_code = static_cast<unsigned>(field(x.fields, "result").value_or(0));
            for (auto& f : x.fields) {
                const std::string k = f.def->key;
                if (k == "code") t.type = word(f.def->words, f.value);
                if (k == "result") t.status = word(f.def->words, f.value);
                if (k == "number") t.segment = static_cast<unsigned>(f.value);
                if (k == "power_on_hours") t.hours = f.value;
                if (k == "first_failure" && !field_text(*f.def, f.value).empty()) t.lba = f.value;
                if (k == "sense_key") t.sense_key = static_cast<uint8_t>(f.value);
                if (k == "asc") t.asc = static_cast<uint8_t>(f.value);
                if (k == "ascq") t.ascq = static_cast<uint8_t>(f.value);
            }
            t.outcome = self_test_outcome(t.status_code, 7);
            if (t.sense_key == 0 && t.asc == 0 && t.ascq == 0) t.sense_key = t.asc = t.ascq = std::nullopt;
            d.self_tests.push_back(std::move(t));
        }
        judge_self_tests(d, page_ref(0x10));
    }

    background_scan(d, p15);
    pending_defects(d, p151);
    if (auto e = counter(p11, 1)) judge_endurance(d, *e, page_ref(0x11), 1);
    phys(d, p18);
    grown_defects(d, log);

    // A health page tells something only with a parameter in it: drives
    // answer pages they keep nothing in with a header alone.
    bool told = false;
    for (const PageRecord* p : {p02, p03, p05, p06, p10, p11, p15, p151, p2f}) told |= p && !p->page.params.empty();
    return told || d.counter(Counter::GrownDefects).has_value();
}

}  // namespace rpt
