#include "report.h"

#include <algorithm>
#include <map>

#include "health.h"
#include "history.h"

namespace rpt {
namespace {

Collection collect(const Host& h) {
    Collection c;
    c.host = h.host;
    c.source = h.source;
    auto add = [&](Rule rule, std::string text) { c.findings.push_back(finding(rule, std::move(text))); };
    if (!h.error.empty()) add(Rule::Unreadable, h.error);
    for (auto& f : h.files) c.newest = std::max(c.newest, f.mtime);

    const InputFile* errlog = nullptr;
    for (auto& f : h.files)
        if (f.name == "logdperr.txt") errlog = &f;
    if (errlog && errlog->loaded) c.errors = read_error_log(errlog->data);
    if (!errlog)
        add(Rule::NoErrorLog, "no error log: the run was started with arguments, or this is not a whole log directory");

    // Files older than the error log were left by an earlier run.
    std::map<std::string, bool> stale;
    if (errlog) {
        c.collected = errlog->mtime;
        const time_t limit = errlog->mtime - (c.errors.empty() ? 0 : kStaleSlackSeconds);
        for (auto& f : h.files)
            if (&f != errlog && f.mtime < limit) {
                stale[f.name] = true;
                if (!f.name.starts_with("MA"))
                    add(Rule::StaleFile, f.name + " is older than the error log: left from an earlier run");
            }
    }

    if (!errlog && std::none_of(h.files.begin(), h.files.end(), [](auto& f) { return f.loaded; }) && h.error.empty())
        add(Rule::EmptyInput, "neither drive logs nor an error log: not a log directory");

    for (auto& f : h.files) {
        if (!f.loaded || &f == errlog) continue;
        if (!errlog && (!c.collected || f.mtime > *c.collected)) c.collected = f.mtime;
        c.disks.push_back(build_disk(h.host, f.name, f.data));
        if (stale.count(f.name))
            c.disks.back().findings.push_back(
                finding(Rule::StaleFile, "the drive log is older than the error log: left from an earlier run"));
    }

    for (auto& r : c.errors) {
        if (r.disk_finding) {
            auto d = std::find_if(c.disks.begin(), c.disks.end(), [&](const Disk& x) { return x.file == r.disk; });
            if (d != c.disks.end()) {
                d->findings.push_back(*r.disk_finding);
                // A page (or, for SATA, a log) the drive lists but rejects as
                // not supported is no gap in the collection. A SATA answer
                // does not name its log: each rejection excuses one log.
                if (r.disk_finding->rule == Rule::CommandRejected && r.decoded.contains("page")) {
                    const std::string page =
                        page_ref(r.decoded["page"].get<uint8_t>(), r.decoded["subpage"].get<uint8_t>());
                    for (auto& f : d->findings)
                        if (f.rule == Rule::PageUnread && f.page == page) f.severity = Severity::Info;
                }
                if (r.disk_finding->rule == Rule::CommandRejected && r.kind == "sata_command_error") {
                    auto f = std::find_if(d->findings.begin(), d->findings.end(), [](const Finding& x) {
                        return x.rule == Rule::BlockUnread && x.page == kAtaLog && x.severity == Severity::Warn;
                    });
                    if (f != d->findings.end()) f->severity = Severity::Info;
                }
            } else if (r.disk_finding->severity > Severity::Info) {
                Finding f = *r.disk_finding;
                f.text = r.disk + ": " + f.text;
                c.findings.push_back(std::move(f));
            }
        } else if (r.kind == "unrecognised") {
            add(Rule::ErrlogUnrecognised, "error log record not recognised: " + r.text);
        } else if (r.disk.empty()) {
            add(record_rule(r.kind), "the collection failed: " + trim(r.text));
        }
    }
    for (auto& d : c.disks) d.verdict = worst(d.findings);
    return c;
}

}  // namespace

Report build_report(const std::vector<Host>& hosts) {
    Report r;
    Severity all = Severity::Info;
    bool unreadable = false;
    for (auto& h : hosts) {
        r.collections.push_back(collect(h));
        unreadable |= !h.error.empty();
    }
    apply_history(r.collections);
    for (auto& c : r.collections) {
        for (auto& d : c.disks) {
            ++r.disks;
            r.ok += d.verdict == Severity::Info;
            r.warn += d.verdict == Severity::Warn;
            r.fail += d.verdict == Severity::Fail;
            r.unknown += d.verdict == Severity::Unknown;
            all = std::max(all, d.verdict);
        }
        for (auto& f : c.findings)
            if (f.rule != Rule::Unreadable) all = std::max(all, f.severity);
    }
    r.exit_status = unreadable              ? kUnreadable
                    : all == Severity::Fail ? kAnyFail
                    : all == Severity::Info ? kAllOk
                                            : kAnyWarn;
    return r;
}

const Disk* find_disk(const Report& r, const std::string& key) {
    for (auto& c : r.collections)
        for (auto& d : c.disks)
            if (key == d.serial || key == d.file || key == d.host + "/" + d.file) return &d;
    return nullptr;
}

std::vector<FindingRef> sorted_findings(const Report& r) {
    std::vector<FindingRef> out;
    for (auto& c : r.collections) {
        for (auto& f : c.findings) out.push_back({&c, nullptr, &f});
        for (auto& d : c.disks)
            for (auto& f : d.findings) out.push_back({&c, &d, &f});
    }
    // Stable: within one severity, hosts in input order, a host's own
    // findings before its disks', disks by controller and device.
    auto where = [](const FindingRef& x) {
        return std::tuple(x.disk != nullptr, x.disk && x.disk->controller ? *x.disk->controller : ~0u,
                          x.disk && x.disk->device ? *x.disk->device : ~0u);
    };
    std::stable_sort(out.begin(), out.end(), [&](const FindingRef& a, const FindingRef& b) {
        if (a.finding->severity != b.finding->severity) return a.finding->severity > b.finding->severity;
        if (a.collection != b.collection) return a.collection < b.collection;
        return where(a) < where(b);
    });
    return out;
}

}  // namespace rpt
