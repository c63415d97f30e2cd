// A SAS disk judged from its decoded pages: each rule from its row of the
// catalogue, each limit from the thresholds table (health.h).
#include "scsi_judge.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "health.h"
#include "scsi_fields.h"
#include "sense.h"

namespace rpt {
namespace {

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

std::optional<uint64_t> field_of(const Param* p, FieldKey key) { return p ? field(p->fields, key) : std::nullopt; }

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
    auto asc = field_of(ie, {kException, "asc"}), ascq = field_of(ie, {kException, "ascq"});
    if (!asc || !ascq || (!*asc && !*ascq)) return;
    char codes[8];
    snprintf(codes, sizeof codes, "%02x/%02x", static_cast<unsigned>(*asc), static_cast<unsigned>(*ascq));
    const std::string b = std::string("informational exception ") + codes + ": " +
                          asc_sentence(static_cast<uint8_t>(*asc), static_cast<uint8_t>(*ascq));
    // 5D/FF is the drive's test trigger (set on request, nothing predicted);
    // any other 5D is a failure prediction.
    if (*asc == 0x5d && *ascq == 0xff)
        d.findings.push_back(finding(Rule::ExceptionTest, b + " (a test)", page_ref(0x2f), 0));
    else
        d.findings.push_back(finding(Rule::Exception, b, page_ref(0x2f), 0, *asc == 0x5d ? Case::Other : Case::Usual));
}

void background_scan(Disk& d, const PageRecord* p15) {
    if (!p15) return;
    const std::string where = page_ref(0x15);
    if (auto st = field_of(param(p15, 0), {kScanStatus, "status"}); st && (*st == 3 || *st == 4 || *st == 7)) {
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
        const uint64_t lba = field(x.fields, {kScanEntry, "lba"}).value_or(~uint64_t{0});
        const auto sk = field(x.fields, {kScanEntry, "sense_key"}),
                   rs = field(x.fields, {kScanEntry, "reassign_status"});
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
            if (auto lba = field(x.fields, {kPendingDefect, "lba"})) lbas.push_back(*lba);
    const uint64_t n = counter(p, 0).value_or(lbas.size());
    count(d, Counter::PendingDefects, n,
          str(n) + " pending defect(s)" + (lbas.empty() ? "" : ": LBA " + lba_list(lbas)), page_ref(0x15, 1));
}

void judge_phys(Disk& d) {
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

void grown_defects(Disk& d, const std::optional<DefectListHeader>& h) {
    if (!h) return;
    // Descriptor size of each list format: short block 4 bytes, the others 8;
    // the vendor's format gives no count.
    if (h->format >= 6) {
        d.findings.push_back(finding(Rule::GrownDefectsFormat, "", "grown defects"));
        return;
    }
    const uint64_t n = h->length / (h->format == 0 ? 4 : 8);
    count(d, Counter::GrownDefects, n, str(n) + " grown defect(s)", "grown defects");
}

// Temperature: page 0Dh, else the environmental report (0Dh/01h), else
// the informational-exception page's reading.
void temperature(Disk& d, const ScsiInfo& s) {
    const PageRecord *p0d = s.sound(0x0d), *p0d1 = s.sound(0x0d, 1), *p2f = s.sound(0x2f);
    std::string tpage = page_ref(0x0d);
    if (auto t = counter(p0d, 0)) {
        d.temperature = static_cast<int64_t>(*t);
    } else if (auto e = counter(p0d1, 0)) {
        d.temperature = static_cast<int8_t>(static_cast<uint8_t>(*e));
        tpage = page_ref(0x0d, 1);
    } else if (auto t2 = field_of(param(p2f, 0), {kException, "temperature"}); t2 && *t2 != 0xff) {
        d.temperature = static_cast<int64_t>(*t2);
        tpage = page_ref(0x2f);
    }
    if (auto r = counter(p0d, 1)) d.reference_temperature = static_cast<int64_t>(*r);
    judge_temperature(d, tpage);
}

void power_on(Disk& d, const PageRecord* p15) {
    if (auto m = field_of(param(p15, 0), {kScanStatus, "power_on_minutes"})) {
        d.power_on_hours = static_cast<int64_t>(*m / 60);
        judge(d.findings, Limit::PowerOnHours, *d.power_on_hours, str(*m / 60) + " hours powered on", page_ref(0x15));
    }
}

// Start-stop and load-unload cycles against those specified (page 0Eh).
void cycles(Disk& d, const PageRecord* p0e) {
    for (auto [limit, what, rated, acc] :
         {std::tuple{Limit::StartStop, "start-stop", 3, 4}, std::tuple{Limit::LoadUnload, "load-unload", 5, 6}}) {
        auto s = counter(p0e, static_cast<uint16_t>(rated)), a = counter(p0e, static_cast<uint16_t>(acc));
        if (s && a && *s > 0 && *a < (uint64_t{1} << 56))
            judge(d.findings, limit, static_cast<int64_t>(*a * 100 / *s),
                  std::string(what) + " cycles " + str(*a) + " of " + str(*s) + " specified", page_ref(0x0e),
                  static_cast<uint64_t>(acc));
    }
}

void uncorrected(Disk& d, const ScsiInfo& s) {
    for (auto [p, c] :
         {std::pair{s.sound(0x03), Counter::ReadUncorrected}, std::pair{s.sound(0x02), Counter::WriteUncorrected},
          std::pair{s.sound(0x05), Counter::VerifyUncorrected}})
        if (auto v = counter(p, 6)) count(d, c, *v, str(*v) + " " + counter_def(c).what, page_ref(p->page.page), 6);
}

// Non-medium errors by their rate per 1000 power-on hours.
void non_medium(Disk& d, const PageRecord* p06) {
    auto v = counter(p06, 0);
    if (!v) return;
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

// The used slots of the self-test page (10h), newest first.
void self_tests(Disk& d, const PageRecord* p10) {
    if (!p10) return;
    for (auto& x : p10->page.params) {
        if (x.code < 1 || x.code > 20 || x.fields.size() < 5 ||
            std::all_of(x.raw.begin(), x.raw.end(), [](uint8_t c) { return c == 0; }))
            continue;
        SelfTest t;
        t.slot = x.code;
        auto get = [&](FieldKey k) { return field(x.fields, k); };
        const FieldKey code{kSelfTestResult, "code"}, result{kSelfTestResult, "result"};
        t.status_code = static_cast<unsigned>(get(result).value_or(0));
        if (auto v = get(code)) t.type = word(code.row->words, *v);
        if (auto v = get(result)) t.status = word(result.row->words, *v);
        if (auto v = get({kSelfTestResult, "number"})) t.segment = static_cast<unsigned>(*v);
        t.hours = get({kSelfTestResult, "power_on_hours"});
        const FieldKey lba{kSelfTestResult, "first_failure"};
        if (auto v = get(lba); v && !field_text(*lba.row, *v).empty()) t.lba = *v;
        if (auto v = get({kSelfTestResult, "sense_key"})) t.sense_key = static_cast<uint8_t>(*v);
        if (auto v = get({kSelfTestResult, "asc"})) t.asc = static_cast<uint8_t>(*v);
        if (auto v = get({kSelfTestResult, "ascq"})) t.ascq = static_cast<uint8_t>(*v);
        t.outcome = self_test_outcome(t.status_code, 7);
        if (t.sense_key == 0 && t.asc == 0 && t.ascq == 0) t.sense_key = t.asc = t.ascq = std::nullopt;
        d.self_tests.push_back(std::move(t));
    }
    judge_self_tests(d, page_ref(0x10));
}

}  // namespace

bool judge_scsi(Disk& d, const ScsiInfo& s) {
    informational_exception(d, s.sound(0x2f));
    temperature(d, s);
    power_on(d, s.sound(0x15));
    cycles(d, s.sound(0x0e));
    uncorrected(d, s);
    non_medium(d, s.sound(0x06));
    self_tests(d, s.sound(0x10));
    background_scan(d, s.sound(0x15));
    pending_defects(d, s.sound(0x15, 1));
    if (auto e = counter(s.sound(0x11), 1)) judge_endurance(d, *e, page_ref(0x11), 1);
    judge_phys(d);
    grown_defects(d, s.grown_defects);

    // A health page tells something only with a parameter in it: drives
    // answer pages they keep nothing in with a header alone.
    bool told = false;
    for (auto [page, subpage] :
         {std::pair{0x02, 0}, {0x03, 0}, {0x05, 0}, {0x06, 0}, {0x10, 0}, {0x11, 0}, {0x15, 0}, {0x15, 1}, {0x2f, 0}}) {
        const PageRecord* p = s.sound(static_cast<uint8_t>(page), static_cast<uint8_t>(subpage));
        told |= p && !p->page.params.empty();
    }
    return told || d.counter(Counter::GrownDefects).has_value();
}

}  // namespace rpt
