#include "history.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <tuple>

#include "controller.h"
#include "health.h"

namespace rpt {
namespace {

std::string what(const Disk& d, const Growth& g) {
    return counter_text(g.counter, d.protocol) + (g.phy ? " of phy " + std::to_string(*g.phy) : std::string());
}

struct Seen {
    const Collection* c;
    const Disk* d;
};

using Key = std::pair<Protocol, std::string>;

// The change of every followed counter that both collections hold.
// (Made at their size: a fleet keeps two lists of them for every disk.)
std::vector<Growth> changes(const Seen& newer, const Seen& older) {
    auto older_of = [&](const CounterValue& n) -> const CounterValue* {
        if (counter_def(n.id).followed == Followed::No) return nullptr;
        for (auto& o : older.d->counters)
            if (o.id == n.id && o.phy == n.phy) return &o;
        return nullptr;
    };
    std::vector<Growth> out;
    out.reserve(static_cast<size_t>(std::count_if(newer.d->counters.begin(), newer.d->counters.end(),
                                                  [&](const CounterValue& n) { return older_of(n) != nullptr; })));
    const double days = double(newer.c->newest - older.c->newest) / 86400.0;
    for (auto& n : newer.d->counters) {
        if (const CounterValue* o = older_of(n)) {
            Growth g{n.id, n.phy, o->value, n.value, days, {}};
            if (days > 0) g.per_30_days = (double(n.value) - double(o->value)) * 30.0 / days;
            out.push_back(std::move(g));
        }
    }
    return out;
}

bool same_slot(const Disk& a, const Disk& b) {
    return a.controller && a.device && a.controller == b.controller && a.device == b.device;
}

void judge_growth(Disk& d) {
    for (const Growth& g : d.growth) {
        if (g.change() > 0 && counter_def(g.counter).followed == Followed::Judged) {
            std::string text = what(d, g) + " grew by " + std::to_string(g.change()) + " in " + short_number(g.days) +
                               " days, from " + std::to_string(g.from) + " to " + std::to_string(g.to);
            if (g.per_30_days) text += " (" + short_number(*g.per_30_days) + " per 30 days)";
            judge(d.findings, Limit::CounterGrowth, g.change(), text, "", g.phy);
        } else if (g.to < g.from) {
            Finding f = finding(Rule::CounterWentDown, what(d, g) + " went down from " + std::to_string(g.from) +
                                                           " to " + std::to_string(g.to) + " in " +
                                                           short_number(g.days) + " days: the counter was reset");
            f.parameter = g.phy;
            f.value = g.change();
            d.findings.push_back(std::move(f));
        }
    }
}

// Only the state is compared, not what the CLI prints beside it ("Online,
// Spun Up").
std::string drive_state(const Disk& d) { return d.view ? state_label(*d.view->drive) : ""; }

std::string controller_prefix(std::optional<unsigned> index) {
    return "controller " + (index ? std::to_string(*index) : std::string("?")) + ": ";
}

// A drive whose state differs between its two newest collections: an INFO
// of the disk, so that the engineer sees when a drive left the array.
void drive_state_change(const Seen& newer, const Seen& older, Findings& out) {
    const std::string now = drive_state(*newer.d), was = drive_state(*older.d);
    if (now.empty() || was.empty() || now == was) return;
    const PhysicalDrive& pd = *newer.d->view->drive;
    Finding f = finding(Rule::ControllerStateChanged, controller_prefix(newer.d->controller) + "drive " +
                                                          drive_name(pd) + " was " + was + " on " +
                                                          utc(older.c->newest, "%Y-%m-%d") + ", now " + now);
    f.target = pd.device_id;
    f.controller = newer.d->controller;
    out.push_back(std::move(f));
}

// The virtual drives of the host's newest collection whose state differs
// from the collection before: INFOs of the collection. A virtual drive is
// the same one by its controller and number.
void virtual_drive_changes(const Collection& now, const Collection& before, Findings& out) {
    for (auto& ctl : now.controllers) {
        auto old = std::find_if(before.controllers.begin(), before.controllers.end(),
                                [&](const Controller& o) { return o.index == ctl.index; });
        if (old == before.controllers.end()) continue;
        for (auto& vd : ctl.virtual_drives) {
            auto o = std::find_if(old->virtual_drives.begin(), old->virtual_drives.end(),
                                  [&](const VirtualDrive& x) { return vd.id && x.id == vd.id; });
            if (o == old->virtual_drives.end()) continue;
            const std::string is = state_label(vd), was = state_label(*o);
            if (is.empty() || was.empty() || is == was) continue;
            Finding f = finding(Rule::ControllerStateChanged, controller_prefix(ctl.index) + virtual_drive_name(vd) +
                                                                  " was " + was + " on " +
                                                                  utc(before.newest, "%Y-%m-%d") + ", now " + is);
            f.controller = ctl.index;
            out.push_back(std::move(f));
        }
    }
}

// The inputs by host: each host's collections newest first (input order
// among equals), the hosts in the order of their first input, and the
// inputs that could not be read (kept as they are, so that the report
// says so).
struct Hosts {
    std::map<std::string, std::vector<size_t>> collections;
    std::vector<std::string> order;
    std::vector<size_t> unreadable;
};

Hosts group_by_host(const std::vector<Collection>& all) {
    Hosts h;
    for (size_t i = 0; i < all.size(); ++i) {
        if (unreadable(all[i])) {
            h.unreadable.push_back(i);
            continue;
        }
        if (!h.collections.count(all[i].host)) h.order.push_back(all[i].host);
        h.collections[all[i].host].push_back(i);
    }
    for (auto& [host, v] : h.collections)
        std::stable_sort(v.begin(), v.end(), [&](size_t a, size_t b) { return all[a].newest > all[b].newest; });
    return h;
}

// Every collection a disk is in, by serial number and protocol.
std::map<Key, std::vector<Seen>> by_serial(const std::vector<Collection>& all) {
    std::map<Key, std::vector<Seen>> seen;
    for (auto& c : all)
        for (auto& d : c.disks)
            if (!d.serial.empty()) {
                auto& s = seen[{d.protocol, d.serial}];
                if (std::none_of(s.begin(), s.end(), [&](const Seen& x) { return x.c == &c; })) s.push_back({&c, &d});
            }
    return seen;
}

// What the history gives a disk of a host's newest collection, until it is
// moved onto the disk; and the findings about each collection.
struct Result {
    std::vector<HistoryEntry> history;
    std::vector<Growth> growth, growth_all;
    Findings findings;
};
struct Results {
    std::map<const Disk*, Result> disks;
    std::map<const Collection*, Findings> collections;
};

// The history of each disk of `now`, the newest collection of its host.
void disk_histories(const Collection& now, std::map<Key, std::vector<Seen>>& seen, Results& out) {
    for (auto& d : now.disks) {
        if (d.serial.empty()) continue;
        std::vector<Seen> s = seen[{d.protocol, d.serial}];
        std::stable_sort(s.begin(), s.end(), [&](const Seen& a, const Seen& b) {
            return std::tuple(-a.c->newest, a.c != &now) < std::tuple(-b.c->newest, b.c != &now);
        });
        // Seen once, or seen later on another host: no history here.
        if (s.size() < 2 || s[0].c != &now) continue;
        Result& r = out.disks[&d];
        r.history.reserve(s.size());
        for (auto& x : s)
            r.history.push_back({x.c->newest, x.c->host, x.d->controller, x.d->device,
                                 x.d == &d ? std::vector<CounterValue>() : x.d->counters, x.d == &d});
        r.growth = changes(s[0], s[1]);
        drive_state_change(s[0], s[1], r.findings);
        if (s.size() > 2) r.growth_all = changes(s[0], s.back());
    }
}

// Disks of the host's previous collection that are in no host's newest
// collection: gone, or replaced by a new serial in their slot.
void gone_or_replaced(const std::vector<Collection>& all, const Hosts& hosts, const Collection& now,
                      const Collection& before, std::map<Key, std::vector<Seen>>& seen, Results& out) {
    for (auto& old : before.disks) {
        if (old.serial.empty()) continue;
        bool still = false;
        for (auto& x : seen[{old.protocol, old.serial}])
            still |= hosts.collections.at(x.c->host)[0] == size_t(x.c - all.data());
        if (still) continue;
        auto in_slot = std::find_if(now.disks.begin(), now.disks.end(),
                                    [&](const Disk& n) { return same_slot(n, old) && n.serial != old.serial; });
        if (in_slot != now.disks.end()) {
            out.disks[&*in_slot].findings.push_back(
                finding(Rule::DiskReplaced, "replaces serial " + old.serial + " (" + old.vendor + " " + old.product +
                                                "), in this slot on " + utc(before.newest, "%Y-%m-%d")));
        } else {
            out.collections[&now].push_back(finding(
                Rule::DiskGone, disk_place(old) + " serial " + old.serial + " (" + old.vendor + " " + old.product +
                                    "), present on " + utc(before.newest, "%Y-%m-%d") + ", is missing"));
        }
    }
}

// A newest collection with what its history gave it.
void take_results(Collection& c, Results& results) {
    auto hf = results.collections.find(&c);
    if (hf != results.collections.end()) c.findings.insert(c.findings.end(), hf->second.begin(), hf->second.end());
    for (auto& d : c.disks) {
        auto r = results.disks.find(&d);
        if (r == results.disks.end()) continue;
        d.history = std::move(r->second.history);
        d.growth = std::move(r->second.growth);
        d.growth_all = std::move(r->second.growth_all);
        d.findings.insert(d.findings.end(), r->second.findings.begin(), r->second.findings.end());
        judge_growth(d);
    }
}

}  // namespace

void apply_history(std::vector<Collection>& all) {
    const Hosts hosts = group_by_host(all);
    std::map<Key, std::vector<Seen>> seen = by_serial(all);
    Results results;
    for (auto& h : hosts.order) {
        const std::vector<size_t>& of_host = hosts.collections.at(h);
        const Collection& now = all[of_host[0]];
        disk_histories(now, seen, results);
        if (of_host.size() < 2) continue;
        const Collection& before = all[of_host[1]];
        virtual_drive_changes(now, before, results.collections[&now]);
        gone_or_replaced(all, hosts, now, before, seen, results);
    }
    // Results are keyed by where the collections are in `all`: taken before
    // the newest collections move.
    std::vector<Collection> kept;
    for (size_t i : hosts.unreadable) kept.push_back(std::move(all[i]));
    for (auto& h : hosts.order) {
        Collection& c = all[hosts.collections.at(h)[0]];
        take_results(c, results);
        kept.push_back(std::move(c));
    }
    all = std::move(kept);
}

}  // namespace rpt
