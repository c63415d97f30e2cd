// The report as one JSON document (--json); its schema is in
// logdump-report(1).
#include <ctime>

#include "report.h"

namespace rpt {
namespace {

using json = nlohmann::json;

template <class T>
json opt(const std::optional<T>& v) {
    return v ? json(*v) : json(nullptr);
}

json str_or_null(const std::string& s) { return s.empty() ? json(nullptr) : json(s); }

// Field values: numbers, SAS addresses as 16 hexadecimal digits, an LBA of
// all ones (none) as null, and the word beside the code of an enumeration.
json fields_json(const FieldValues& fv) {
    json o = json::object();
    for (auto& f : fv) {
        const std::string shown = field_text(*f.def, f.value);
        if (f.def->format == Format::Address)
            o[f.def->key] = shown;
        else if (shown.empty())
            o[f.def->key] = nullptr;
        else
            o[f.def->key] = f.value;
        if (f.def->format == Format::Word) o[std::string(f.def->key) + "_text"] = shown;
    }
    return o;
}

json page_json(const PageRecord& r) {
    json params = json::array();
    for (auto& x : r.page.params) {
        json j = {{"code", x.code}, {"name", x.name}, {"value", opt(x.value)},
                  {"raw", hex_bytes(x.raw.data(), x.raw.size())}, {"control", x.control}};
        if (!x.fields.empty()) j["fields"] = fields_json(x.fields);
        if (!x.phys.empty()) {
            j["phys"] = json::array();
            for (auto& ph : x.phys) j["phys"].push_back(fields_json(ph));
        }
        if (!x.text.empty()) j["text"] = x.text;
        params.push_back(std::move(j));
    }
    return {{"page", r.page.page},       {"subpage", r.page.subpage}, {"name", r.page.name}, {"parameters", params},
            {"listed_as", r.listed_as}, {"bytes", r.bytes},          {"trusted", r.trusted}};
}

json self_test_json(const SelfTest& t) {
    return {{"type", t.type},          {"status", t.status},     {"status_code", t.status_code},
            {"remaining", opt(t.remaining_percent)}, {"lba", opt(t.lba)}, {"hours", opt(t.hours)},
            {"segment", opt(t.segment)}, {"sense_key", opt(t.sense_key)}, {"asc", opt(t.asc)}, {"ascq", opt(t.ascq)}};
}

json ata_json(const AtaInfo& a) {
    json attrs = json::array();
    for (auto& x : a.attributes)
        attrs.push_back({{"id", x.id},
                         {"name", x.name},
                         {"prefailure", x.prefailure},
                         {"value", x.value},
                         {"worst", x.worst},
                         {"threshold", opt(x.threshold)},
                         {"raw", x.raw},
                         {"failing", str_or_null(x.failing)}});
    json stats = json::object();
    for (auto& s : a.statistics)
        stats[s.key] = {{"name", s.name}, {"value", s.value}, {"valid", s.valid}, {"page", s.page}, {"offset", s.offset}};
    json events = json::array();
    for (auto& e : a.phy_events) events.push_back({{"id", e.id}, {"name", e.name}, {"value", e.value}});
    return {{"smart_status", a.smart_passed ? json(*a.smart_passed ? "passed" : "failed") : json(nullptr)},
            {"sectors", opt(a.sectors)},
            {"logical_sector_size", a.logical_sector_size},
            {"capacity_bytes", a.sectors ? json(*a.sectors * a.logical_sector_size) : json(nullptr)},
            {"rotation_rate", opt(a.rotation_rate)},
            {"solid_state", a.rotation_rate ? json(*a.rotation_rate == 1) : json(nullptr)},
            {"ata_version", str_or_null(a.ata_version)},
            {"general_purpose_logging", a.gpl},
            {"attributes", attrs},
            {"self_tests", json::array()},
            {"errors_logged", opt(a.errors_logged)},
            {"statistics", stats},
            {"phy_events", events}};
}

std::string iso_time(time_t t) {
    struct tm tm {};
    gmtime_r(&t, &tm);
    char b[32];
    strftime(b, sizeof b, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return b;
}

}  // namespace

json to_json(const Finding& f) {
    return {{"severity", severity_name(f.severity)}, {"kind", kind_name(f.kind)}, {"code", f.code},
            {"text", f.text},       {"page", str_or_null(f.page)},  {"parameter", opt(f.parameter)},
            {"value", opt(f.value)}, {"threshold", opt(f.threshold)}};
}

json to_json(const Disk& d) {
    json j;
    j["host"] = d.host;
    j["file"] = d.file;
    j["controller"] = opt(d.controller);
    j["device"] = opt(d.device);
    j["protocol"] = protocol_name(d.protocol);
    j["vendor"] = d.vendor;
    j["product"] = d.product;
    j["revision"] = d.revision;
    j["serial"] = d.serial;
    j["verdict"] = verdict_name(d.verdict);
    j["temperature"] = opt(d.temperature);
    j["reference_temperature"] = opt(d.reference_temperature);
    j["power_on_hours"] = opt(d.power_on_hours);
    json counters = json::object();
    for (auto& c : kCounterDefs)
        if (c.protocol == d.protocol && !c.per_phy) counters[c.name] = opt(d.counter(c.name));
    j["counters"] = counters;
    j["phys"] = json::array();
    for (auto& p : d.phys)
        j["phys"].push_back({{"port", p.port},
                             {"phy", p.id},
                             {"sas_address", hex(p.sas_address, 16)},
                             {"attached_sas_address", hex(p.attached_sas_address, 16)},
                             {"attached_phy", p.attached_phy},
                             {"attached_device_type", word(kAttachedDeviceTypes, p.attached_device_type)},
                             {"attached_reason", word(kPhyReasons, p.attached_reason)},
                             {"reason", word(kPhyReasons, p.reason)},
                             {"link_rate", word(kLinkRates, p.link_rate)},
                             {"invalid_dword", opt(p.invalid_dword)},
                             {"disparity", opt(p.disparity)},
                             {"loss_of_sync", opt(p.loss_of_sync)},
                             {"reset_problem", opt(p.reset_problem)}});
    json tests = json::array();
    for (auto& t : d.self_tests) tests.push_back(self_test_json(t));
    if (d.ata) {
        j["ata"] = ata_json(*d.ata);
        j["ata"]["self_tests"] = tests;
    } else {
        j["self_tests"] = tests;
    }
    j["findings"] = json::array();
    for (auto& f : d.findings) j["findings"].push_back(to_json(f));
    j["pages"] = json::array();
    for (auto& p : d.pages) j["pages"].push_back(page_json(p));
    j["sections"] = json::array();
    for (auto& s : d.sections)
        j["sections"].push_back({{"name", s.name}, {"type", s.type}, {"length", s.length}, {"present", s.present}});
    return j;
}

json to_json(const Report& r) {
    json j = {{"tool", "logdump-report"}, {"hosts", json::array()}, {"disks", json::array()}, {"errors", json::array()}};
    for (auto& c : r.collections) {
        json h = {{"host", c.host},
                  {"source", c.source},
                  {"collected", c.collected ? json(iso_time(*c.collected)) : json(nullptr)},
                  {"findings", json::array()}};
        for (auto& f : c.findings) h["findings"].push_back(to_json(f));
        j["hosts"].push_back(std::move(h));
        for (auto& d : c.disks) j["disks"].push_back(to_json(d));
        for (auto& e : c.errors) {
            json x = {{"host", c.host}, {"kind", e.kind}, {"text", e.text}, {"decoded", e.decoded}};
            if (!e.disk.empty()) x["file"] = e.disk;
            j["errors"].push_back(std::move(x));
        }
    }
    j["summary"] = {{"disks", r.disks}, {"ok", r.ok}, {"warn", r.warn}, {"fail", r.fail}, {"unknown", r.unknown}};
    j["exit_status"] = r.exit_status;
    return j;
}

}  // namespace rpt
