// The report as one JSON document (--json), written straight from the typed
// report (a document of a large fleet is never held twice in memory); its
// schema is in logdump-report(1).
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "ata_decode.h"
#include "fleet_section.h"
#include "json.h"
#include "json_writer.h"
#include "layout.h"
#include "risk_check.h"
#include "scsi_fields.h"

namespace rpt {
namespace {

using json::iso_time;
using json::Writer;

void fields(Writer& w, const FieldValues& fv) {
    w.open('{');
    for (auto& f : fv) {
        // SAS addresses as 16 hexadecimal digits, an LBA of all ones (none)
        // as null, and the word of an enumeration or the percentage of a
        // fraction beside its number.
        const std::string shown = field_text(*f.def, f.value);
        w.key(f.def->key);
        if (f.def->format == Format::Address)
            w.str(shown);
        else if (shown.empty())
            w.null();
        else
            w.num(f.value);
        if (f.def->format == Format::Word || f.def->format == Format::Percent)
            w.key(std::string(f.def->key) + "_text").str(shown);
    }
    w.close('}');
}

void page(Writer& w, const PageRecord& r) {
    w.open('{').key("page").num(unsigned{r.page.page}).key("subpage").num(unsigned{r.page.subpage});
    w.key("name").str(r.page.name()).key("listed_as").str(r.listed_as).key("bytes").num(uint64_t{r.bytes});
    w.key("trusted").flag(r.trusted).key("parameters").open('[');
    for (auto& x : r.page.params) {
        w.open('{').key("code").num(unsigned{x.code}).key("name").str(x.name()).key("value").opt(x.value);
        w.key("raw").str(hex_bytes(x.raw.data(), x.raw.size())).key("control").num(unsigned{x.control});
        if (!x.fields.empty()) fields(w.key("fields"), x.fields);
        if (!x.phys.empty()) {
            w.key("phys").open('[');
            for (auto& ph : x.phys) fields(w, ph);
            w.close(']');
        }
        if (!x.text.empty()) w.key("text").str(x.text);
        w.close('}');
    }
    w.close(']').close('}');
}

void self_tests(Writer& w, const std::vector<SelfTest>& tests) {
    w.open('[');
    for (auto& t : tests) {
        w.open('{').key("type").str(t.type).key("status").str(t.status).key("status_code").num(t.status_code);
        w.key("remaining").opt(t.remaining_percent).key("lba").opt(t.lba).key("hours").opt(t.hours);
        w.key("segment").opt(t.segment).key("sense_key").opt(t.sense_key).key("asc").opt(t.asc);
        w.key("ascq").opt(t.ascq).close('}');
    }
    w.close(']');
}

void ata(Writer& w, const AtaInfo& a, const std::vector<SelfTest>& tests) {
    w.open('{').key("smart_status");
    if (a.smart_passed)
        w.str(*a.smart_passed ? "passed" : "failed");
    else
        w.null();
    w.key("sectors").opt(a.sectors).key("logical_sector_size").num(a.logical_sector_size).key("capacity_bytes");
    if (a.sectors)
        w.num(*a.sectors * a.logical_sector_size);
    else
        w.null();
    w.key("rotation_rate").opt(a.rotation_rate).key("solid_state");
    w.opt_flag(a.rotation_rate ? std::optional<bool>(*a.rotation_rate == 1) : std::nullopt);
    w.key("ata_version").opt_str(a.ata_version).key("general_purpose_logging").flag(a.gpl);
    w.key("database").opt_str(a.database.value_or(""));
    w.key("family").opt_str(a.family).key("database_warning").opt_str(a.database_warning);
    w.key("self_test_execution");
    if (a.self_test_status)
        w.open('{')
            .key("status")
            .str(self_test_status_text(*a.self_test_status))
            .key("status_code")
            .num(*a.self_test_status)
            .key("percent_remaining")
            .opt(a.self_test_remaining)
            .close('}');
    else
        w.null();
    w.key("attributes").open('[');
    for (auto& x : a.attributes) {
        w.open('{').key("id").num(unsigned{x.id}).key("name").str(x.name).key("prefailure").flag(x.prefailure);
        w.key("value").num(unsigned{x.value}).key("worst").num(unsigned{x.worst}).key("threshold").opt(x.threshold);
        w.key("raw").num(x.raw).key("format").str(x.format).key("raw_text").str(x.raw_text);
        w.key("raw_value").opt(x.raw_value).key("unit").str(unit_name(x.unit));
        w.key("failing").opt_str(x.failing).close('}');
    }
    w.close(']');
    self_tests(w.key("self_tests"), tests);
    w.key("errors_logged").opt(a.errors_logged).key("statistics").open('{');
    for (auto& s : a.statistics) {
        w.key(s.key).open('{').key("name").str(s.name).key("value").num(s.value).key("valid").flag(s.valid);
        w.key("page").num(unsigned{s.page}).key("offset").num(unsigned{s.offset}).close('}');
    }
    w.close('}').key("phy_events").open('[');
    for (auto& e : a.phy_events)
        w.open('{').key("id").num(unsigned{e.id}).key("name").str(e.name).key("value").num(e.value).close('}');
    w.close(']').close('}');
}

void finding(Writer& w, const Finding& f) {
    w.open('{').key("severity").str(severity_name(f.severity)).key("kind").str(kind_name(f.kind()));
    w.key("code").str(f.code()).key("text").str(f.text).key("page").opt_str(f.page);
    w.key("parameter").opt(f.parameter).key("value").opt(f.value).key("threshold").opt(f.threshold).close('}');
}

// In the text's order: by weight, FAIL first, and as found within one.
void findings(Writer& w, const Findings& fs) {
    w.open('[');
    for (const Finding* f : by_weight(fs)) finding(w, *f);
    w.close(']');
}

// Where the disk was collected and what it counted each time; the change
// of every counter between the two newest collections and across all.
void history(Writer& w, const Disk& d) {
    w.key("history").open('[');
    for (size_t i = 0; i < d.history.size(); ++i) {
        const HistoryEntry& h = d.history[i];
        w.open('{').key("collected").str(iso_time(h.collected)).key("host").str(h.host);
        w.key("controller").opt(h.controller).key("device").opt(h.device).key("counters").open('{');
        for (auto& c : d.counters_at(i)) w.key(counter_key(c.id, c.phy)).num(c.value);
        w.close('}').close('}');
    }
    w.close(']');
    const std::pair<const char*, const std::vector<Growth>*> lists[] = {{"growth", &d.growth},
                                                                        {"growth_all", &d.growth_since_first()}};
    for (auto [name, list] : lists) {
        w.key(name).open('{');
        for (auto& g : *list) {
            w.key(g.key()).open('{').key("from").num(g.from).key("to").num(g.to).key("days").real(g.days);
            w.key("per_30_days");
            if (g.per_30_days)
                w.real(*g.per_30_days);
            else
                w.null();
            w.close('}');
        }
        w.close('}');
    }
}

// A drive as the controller's logs give it, with the log it comes from
// (`source`); the keys of a disk's controller view stop before the drive log
// it was joined with.
void physical_drive(Writer& w, const PhysicalDrive& p) {
    w.key("enclosure").opt(p.enclosure).key("slot").opt(p.slot).key("target").opt(p.device_id);
    w.key("state").opt_str(drive_state_text(p)).key("media_errors").opt(p.media_errors);
    w.key("other_errors").opt(p.other_errors).key("predictive_failures").opt(p.predictive_failures);
    w.key("smart_alert").opt_flag(p.smart_alert);
    w.key("sas_addresses").open('[');
    for (uint64_t a : p.sas_addresses) w.str(hex(a, 16));
    w.close(']').key("vendor").opt_str(trim(p.vendor)).key("product").opt_str(trim(p.product));
    w.key("serial").opt_str(trim(p.serial)).key("device_speed").opt_str(trim(p.device_speed));
    w.key("link_speed").opt_str(trim(p.link_speed)).key("temperature").opt(p.temperature);
    w.key("raw_size").opt_str(p.raw_size).key("raw_sectors").opt(p.raw_sectors).key("source").opt_str(p.source);
}

// An event of the controller's log. Its time is the controller's clock,
// which names no time zone: ISO 8601 without one, or the CLI's own words
// when it gives only the time since boot.
void event(Writer& w, const ControllerEvent& e) {
    w.open('{').key("seq").opt(e.seq).key("time");
    if (e.time)
        w.str(utc(static_cast<time_t>(*e.time), "%Y-%m-%dT%H:%M:%S"));
    else
        w.opt_str(trim(e.time_text));
    w.key("code").opt(e.code).key("class");
    if (!e.cls)
        w.null();
    else if (*event_class_name(*e.cls))
        w.str(event_class_name(*e.cls));
    else
        w.str(std::to_string(*e.cls));
    w.key("description").str(e.description).key("target").opt(e.device_id).key("sense");
    if (e.sense) {
        const EventSense& s = *e.sense;
        w.open('{').key("cdb").str(hex_bytes(s.cdb.data(), s.cdb.size())).key("operation").opt_str(s.operation);
        w.key("lba").opt(s.lba).key("key").opt(s.key).key("asc").opt(s.asc).key("ascq").opt(s.ascq);
        w.key("key_name").opt_str(s.key_name).key("asc_name").opt_str(s.asc_name).close('}');
    } else {
        w.null();
    }
    w.close('}');
}

// The controller's view of a disk, null when no controller lists it.
void controller_view(Writer& w, const std::optional<ControllerView>& v) {
    if (!v) {
        w.null();
        return;
    }
    w.open('{');
    physical_drive(w, *v->drive);
    w.key("virtual_drives").open('[');
    for (unsigned id : v->virtual_drives) w.num(id);
    w.close(']').key("events").open('[');
    for (const ControllerEvent* e : v->events) event(w, *e);
    w.close(']').close('}');
}

// A controller of collection `c`: its adapter, arrays, drives (each with
// the drive log it was joined with), events and findings.
void controller(Writer& w, const Collection& c, const Controller& ctl) {
    const AdapterInfo& a = ctl.adapter;
    w.open('{').key("host").str(c.host).key("controller").num(ctl.index);
    w.key("product").opt_str(trim(a.product)).key("serial").opt_str(trim(a.serial)).key("firmware");
    if (a.package.empty() && a.firmware.empty())
        w.null();
    else
        w.open('{').key("package").opt_str(trim(a.package)).key("version").opt_str(trim(a.firmware)).close('}');
    w.key("virtual_drives").open('[');
    for (auto& vd : ctl.virtual_drives) {
        w.open('{').key("id").opt(vd.id).key("target").opt(vd.target).key("name").opt_str(trim(vd.name));
        w.key("raid_level").opt_str(vd.raid_level).key("size").opt_str(trim(vd.size)).key("state");
        w.opt_str(trim(vd.state)).key("cache_default").opt_str(trim(vd.cache_default));
        w.key("cache_current").opt_str(trim(vd.cache_current)).key("members").open('[');
        for (auto& m : vd.members) {
            w.open('{').key("enclosure").opt(m.enclosure).key("slot").opt(m.slot).key("target").opt(m.device_id);
            w.key("span").opt(m.span).key("arm").opt(m.arm).key("no_drive").flag(empty_slot(m)).close('}');
        }
        w.close(']').close('}');
    }
    w.close(']').key("physical_drives").open('[');
    for (auto& p : ctl.physical_drives) {
        w.open('{');
        physical_drive(w, p);
        auto joined = std::find_if(c.disks.begin(), c.disks.end(), [&](const Disk& d) {
            return d.logged && d.view && d.controller == ctl.index && d.device == p.device_id;
        });
        w.key("drive_log");
        if (joined != c.disks.end())
            w.str(joined->file);
        else
            w.null();
        w.close('}');
    }
    w.close(']').key("events").open('[');
    for (auto& e : ctl.events) event(w, e);
    // Every finding of the controller's view, those that went to a disk too.
    Findings own;
    auto take = [&](const Findings& fs) {
        for (auto& f : fs)
            if (f.kind() == Kind::Controller && f.controller == ctl.index) own.push_back(f);
    };
    take(c.findings);
    for (auto& d : c.disks) take(d.findings);
    findings(w.close(']').key("findings"), own);
    w.close('}');
}

// A disk's risk, with null members where they do not apply: no signal in
// the bands base and unknown, no figure of unknown, no horizon where the
// source gives none, no growth without a history.
void risk(Writer& w, const Risk& r) {
    w.open('{').key("band").str(band_name(r.band)).key("signal");
    r.signal ? w.str(signal_name(*r.signal)) : w.null();
    w.key("value").opt(r.value).key("figure").opt_str(r.figure).key("horizon_days").opt(r.horizon_days);
    w.key("source").opt_str(r.source).key("statement").str(r.statement).key("grew");
    if (const auto& g = r.grew) {
        w.open('{').key("signal").str(signal_name(g->signal)).key("from").num(g->from).key("to").num(g->to);
        w.key("days").real(g->days).key("raised").flag(g->raised).close('}');
    } else {
        w.null();
    }
    w.close('}');
}

void disk(Writer& w, const Disk& d) {
    w.open('{');
    for (const DiskColumnDef& c : disk_columns()) {
        if (c.column == DiskColumn::Risk) risk(w.key(c.key), d.risk);
        if (!c.key || c.column == DiskColumn::Risk) continue;
        const ColumnValue v = c.value(d);
        if (auto* s = std::get_if<std::string>(&v))
            w.key(c.key).str(*s);
        else
            w.key(c.key).opt(std::get<std::optional<int64_t>>(v));
    }
    w.key("counters").open('{');
    for (auto& c : counter_defs())
        if (carried_by(c, d.protocol) && !c.per_phy) w.key(c.name).opt(d.counter(c.id));
    w.close('}').key("phys").open('[');
    for (auto& p : d.phys) {
        w.open('{').key("port").num(p.port).key("phy").num(p.id).key("sas_address").str(hex(p.sas_address, 16));
        w.key("attached_sas_address").str(hex(p.attached_sas_address, 16)).key("attached_phy").num(p.attached_phy);
        w.key("attached_device_type").str(word(kAttachedDeviceTypes, p.attached_device_type));
        w.key("attached_reason")
            .str(word(kPhyReasons, p.attached_reason))
            .key("reason")
            .str(word(kPhyReasons, p.reason));
        w.key("link_rate").str(word(kLinkRates, p.link_rate)).key("invalid_dword").opt(p.invalid_dword);
        w.key("disparity").opt(p.disparity).key("loss_of_sync").opt(p.loss_of_sync);
        w.key("reset_problem").opt(p.reset_problem).close('}');
    }
    w.close(']');
    if (d.ata)
        ata(w.key("ata"), *d.ata, d.self_tests);
    else
        self_tests(w.key("self_tests"), d.self_tests);
    findings(w.key("findings"), d.findings);
    w.key("pages").open('[');
    for (auto& p : d.pages) page(w, p);
    w.close(']').key("sections").open('[');
    for (auto& s : d.sections)
        w.open('{')
            .key("name")
            .str(s.name)
            .key("type")
            .num(int64_t{s.type})
            .key("length")
            .num(s.length)
            .key("present")
            .num(s.present)
            .close('}');
    w.close(']');
    history(w, d);
    w.key("logged").flag(d.logged);
    controller_view(w.key("controller_view"), d.view);
    w.close('}');
}

// The run's own record (run.json), as the fleet role wrote it.
void run(Writer& w, const std::optional<RunFacts>& r) {
    if (!r) {
        w.null();
        return;
    }
    w.open('{').key("program").opt_str(r->program).key("version").opt_str(r->version).key("width").opt(r->width);
    w.key("arguments").open('[');
    for (auto& a : r->arguments) w.str(a);
    w.close(']').key("exit_status");
    if (r->exit_status)
        w.num(int64_t{*r->exit_status});
    else
        w.null();
    w.key("time_limit_exceeded").flag(r->time_limit_exceeded).key("start").opt_str(r->start);
    w.key("end").opt_str(r->end).key("red_lines").open('[');
    for (auto& l : r->red_lines) w.str(l);
    w.close(']').close('}');
}

}  // namespace

std::string json_text(const Disk& d) {
    std::string out;
    Writer w(out);
    disk(w, d);
    out += '\n';
    return out;
}

void write_json(const Report& r, FILE* f) {
    std::string out;
    Writer w(out, f);
    w.open('{').key("tool").str("logdump-report").key("hosts").open('[');
    for (auto& c : r.collections) {
        w.open('{').key("host").str(c.host).key("source").str(c.source).key("collected");
        if (c.collected)
            w.str(iso_time(*c.collected));
        else
            w.null();
        run(w.key("run"), c.run);
        findings(w.key("findings"), c.findings);
        w.close('}');
    }
    w.close(']').key("disks").open('[');
    for (auto& c : r.collections)
        for (auto& d : c.disks) disk(w, d);
    w.close(']').key("errors").open('[');
    for (auto& c : r.collections)
        for (auto& e : c.errors) {
            w.open('{').key("host").str(c.host).key("kind").str(record_name(e.kind)).key("text").str(e.text);
            w.key("decoded").detail(e.detail);
            if (!e.disk.empty()) w.key("file").str(e.disk);
            w.close('}');
        }
    w.close(']').key("summary").open('{').key("disks").num(uint64_t{r.disks}).key("ok").num(uint64_t{r.ok});
    w.key("warn").num(uint64_t{r.warn}).key("fail").num(uint64_t{r.fail}).key("unknown").num(uint64_t{r.unknown});
    w.close('}').key("exit_status").num(int64_t{r.exit_status}).key("controllers").open('[');
    for (auto& c : r.collections)
        for (auto& ctl : c.controllers) controller(w, c, ctl);
    w.close(']');
    if (auto fleet = fleet_view(r)) fleet_json(w.key("fleet"), *fleet, r.turnover);
    w.close('}');
    out += '\n';
}

void write_risk_check_json(const RiskCheck& c, FILE* f) {
    std::string out;
    Writer w(out, f);
    w.open('{').key("rows").num(c.rows).key("drives").num(c.drives).key("failed").num(c.failed).key("bands").open('[');
    for (size_t b = 0; b < c.bands.size(); ++b)
        w.open('{')
            .key("band")
            .str(band_name(static_cast<RiskBand>(b)))
            .key("drives")
            .num(c.bands[b].drives)
            .key("failed")
            .num(c.bands[b].failed)
            .close('}');
    w.close(']').key("recall");
    c.recall ? w.fraction(*c.recall) : w.null();
    w.key("flagged_working");
    c.flagged_working ? w.fraction(*c.flagged_working) : w.null();
    w.key("malformed").open('{').key("rows").num(c.malformed).key("lines").open('[');
    for (auto& m : c.malformed_lines) w.open('{').key("line").num(m.line).key("reason").str(m.reason).close('}');
    w.close(']').close('}').close('}');
    out += '\n';
}

}  // namespace rpt
