#include "health.h"

#include <scsi/sg_lib.h>

#include <cstdio>
#include <tuple>

namespace rpt {
namespace {

// The thresholds of the report: one table, also printed in the README.
constexpr Threshold kThresholds[] = {
    {"temperature", "temperature minus the reference temperature (page 0D), degrees C", -10, 0},
    {"temperature-absolute", "temperature when the disk gives no reference, degrees C", 55, 65},
    {"power-on-hours", "hours powered on (page 15)", 43800, kNever},
    {"start-stop", "start-stop cycles, percent of the specified lifetime (page 0E)", 80, 100},
    {"load-unload", "load-unload cycles, percent of the specified lifetime (page 0E)", 80, 100},
    {"read-uncorrected", "uncorrected read errors (page 03)", 1, 10},
    {"write-uncorrected", "uncorrected write errors (page 02)", 1, 10},
    {"verify-uncorrected", "uncorrected verify errors (page 05)", 1, 10},
    {"non-medium", "non-medium errors (page 06)", 1000, kNever},
    {"selftest", "failed self-tests among the last 20 (page 10)", 1, 1},
    {"bms-medium", "medium errors found by the background scan (page 15)", 1, 50},
    {"bms-reassign", "blocks reassigned after the background scan (page 15)", 10, 100},
    {"phy-invalid-dword", "invalid dwords, all phys (page 18)", 100, kNever},
    {"phy-disparity", "running disparity errors, all phys (page 18)", 100, kNever},
    {"phy-loss-of-sync", "losses of dword synchronization, all phys (page 18)", 10, kNever},
    {"phy-reset-problem", "phy reset problems, all phys (page 18)", 1, kNever},
};

const Threshold& threshold(std::string_view code) {
    for (auto& t : kThresholds)
        if (code == t.code) return t;
    return kThresholds[0];  // not reached: every caller names a row
}

// A finding when `value` reaches the row's WARN or FAIL limit.
void judge(Findings& f, const char* code, int64_t value, const std::string& text) {
    const Threshold& t = threshold(code);
    if (value >= t.fail)
        f.push_back({Severity::Fail, code, text});
    else if (value >= t.warn)
        f.push_back({Severity::Warn, code, text});
}

const Param* param(const Page* p, uint16_t code) {
    if (!p) return nullptr;
    for (auto& x : p->params)
        if (x.code == code) return &x;
    return nullptr;
}

std::optional<uint64_t> field(const Param* p, std::string_view key) {
    if (!p) return std::nullopt;
    for (auto& [k, v] : p->fields)
        if (k == key) return v;
    return std::nullopt;
}

std::optional<uint64_t> counter(const Page* p, uint16_t code) {
    const Param* x = param(p, code);
    return x ? x->value : std::nullopt;
}

std::string str(uint64_t v) { return std::to_string(v); }

}  // namespace

std::span<const Threshold> thresholds() { return kThresholds; }

Health assess(const DriveLog& log, const std::vector<Page>& pages) {
    Health h;
    h.findings = log.findings;
    // Figures are taken only from pages read whole; the first block of a
    // page counts when the disk's log holds it twice.
    auto sound = [&](uint8_t code) -> const Page* {
        for (size_t i = 0; i < pages.size() && i < log.pages.size(); ++i)
            if (pages[i].page == code && pages[i].subpage == 0 && !log.pages[i].bytes.empty())
                return log.pages[i].damaged ? nullptr : &pages[i];
        return nullptr;
    };
    for (size_t i = 0; i < pages.size() && i < log.pages.size(); ++i)
        if (log.pages[i].bytes.size() >= 4)
            for (auto& f : pages[i].findings)
            h.findings.push_back({f.severity, f.code, "page " + hex_bytes(&pages[i].page, 1) + ": " + f.text});

    const Page *p02 = sound(0x02), *p03 = sound(0x03), *p05 = sound(0x05), *p06 = sound(0x06), *p0d = sound(0x0d),
               *p0e = sound(0x0e), *p10 = sound(0x10), *p15 = sound(0x15), *p18 = sound(0x18), *p2f = sound(0x2f);
    auto& c = h.counters;

    // Informational exception: any ASC/ASCQ but 0/0; a failure prediction
    // (ASC 5D) is a FAIL.
    if (const Param* ie = param(p2f, 0)) {
        auto asc = field(ie, "asc"), ascq = field(ie, "ascq");
        if (asc && ascq && (*asc || *ascq)) {
            char name[160] = {};
            sg_get_asc_ascq_str(static_cast<int>(*asc), static_cast<int>(*ascq), sizeof name, name);
            char b[240];
            snprintf(b, sizeof b, "informational exception %02x/%02x: %s", static_cast<unsigned>(*asc),
                     static_cast<unsigned>(*ascq), name);
            h.findings.push_back({*asc == 0x5d ? Severity::Fail : Severity::Warn, "exception", b});
        }
    }

    // Temperature: page 0D; the informational-exception page's reading when
    // page 0D is absent.
    if (auto t = counter(p0d, 0)) h.temperature = static_cast<int64_t>(*t);
    else if (auto t2 = field(param(p2f, 0), "temperature")) h.temperature = static_cast<int64_t>(*t2);
    if (auto r = counter(p0d, 1)) h.reference_temperature = static_cast<int64_t>(*r);
    if (h.temperature) {
        const std::string t = std::to_string(*h.temperature) + " C";
        if (h.reference_temperature)
            judge(h.findings, "temperature", *h.temperature - *h.reference_temperature,
                  "temperature " + t + ", reference " + std::to_string(*h.reference_temperature) + " C");
        else
            judge(h.findings, "temperature-absolute", *h.temperature, "temperature " + t + " (no reference)");
    }

    if (auto m = field(param(p15, 0), "power_on_minutes")) {
        h.power_on_hours = static_cast<int64_t>(*m / 60);
        judge(h.findings, "power-on-hours", *h.power_on_hours, str(*m / 60) + " hours powered on");
    }

    for (auto [code, rated, acc] : {std::tuple{"start-stop", 3, 4}, std::tuple{"load-unload", 5, 6}}) {
        auto s = counter(p0e, static_cast<uint16_t>(rated)), a = counter(p0e, static_cast<uint16_t>(acc));
        if (s && a && *s > 0 && *a < (uint64_t{1} << 56))
            judge(h.findings, code, static_cast<int64_t>(*a * 100 / *s),
                  std::string(code) + " cycles " + str(*a) + " of " + str(*s) + " specified");
    }

    struct Count {
        size_t index;
        const char* code;
        const char* what;
    };
    auto count = [&](const Count& k, std::optional<uint64_t> v) {
        c[k.index] = v;
        if (v) judge(h.findings, k.code, *v > uint64_t(kNever - 1) ? kNever - 1 : static_cast<int64_t>(*v),
                     str(*v) + " " + k.what);
    };
    count({0, "read-uncorrected", "uncorrected read errors"}, counter(p03, 6));
    count({1, "write-uncorrected", "uncorrected write errors"}, counter(p02, 6));
    count({2, "verify-uncorrected", "uncorrected verify errors"}, counter(p05, 6));
    count({3, "non-medium", "non-medium errors"}, counter(p06, 0));

    if (p10) {
        uint64_t failed = 0;
        for (auto& x : p10->params)
            if (auto r = field(&x, "result"); x.code >= 1 && x.code <= 20 && r && *r >= 3 && *r <= 7) ++failed;
        count({4, "selftest", "failed self-test(s) among the last 20"}, failed);
    }
    if (p15) {
        uint64_t medium = 0, reassigned = 0;
        for (auto& x : p15->params) {
            if (x.code < 1 || x.code > 0x800) continue;
            ++medium;
            // Reassign status: 2 reassigned by the drive, 5 recovered by
            // rewriting, 6 reassigned on the host's request.
            if (auto r = field(&x, "reassign_status"); r && (*r == 2 || *r == 5 || *r == 6)) ++reassigned;
        }
        count({5, "bms-medium", "medium errors found by the background scan"}, medium);
        count({6, "bms-reassign", "blocks reassigned after the background scan"}, reassigned);
    }
    if (p18) {
        const char* keys[] = {"invalid_dword", "disparity", "loss_of_sync", "reset_problem"};
        const Count rows[] = {{7, "phy-invalid-dword", "invalid dwords on the SAS phys"},
                              {8, "phy-disparity", "running disparity errors on the SAS phys"},
                              {9, "phy-loss-of-sync", "losses of dword synchronization on the SAS phys"},
                              {10, "phy-reset-problem", "phy reset problems on the SAS phys"}};
        for (size_t k = 0; k < 4; ++k) {
            uint64_t sum = 0;
            for (auto& port : p18->params)
                for (auto& phy : port.phys)
                    for (auto& [key, v] : phy)
                        if (key == keys[k]) sum += v;
            count(rows[k], sum);
        }
    }
    return h;
}

}  // namespace rpt
