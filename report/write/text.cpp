// The report as text: the summary, the findings by weight, one line per
// disk, the error log; and the full decode of one disk (--disk).
#include <algorithm>
#include <cstdio>

#include "ata_decode.h"
#include "fleet_section.h"
#include "layout.h"
#include "scsi_fields.h"
#include "text.h"
#include "text_parts.h"

namespace rpt {

std::string pad(std::string s, size_t w) {
    if (s.size() < w) s.append(w - s.size(), ' ');
    return s;
}

std::string format_table(const std::vector<std::vector<std::string>>& rows, const std::string& indent) {
    // A row's last cell is not padded, so it does not widen its column (a
    // row of one cell runs across the others).
    std::vector<size_t> w;
    for (auto& r : rows)
        for (size_t i = 0; i + 1 < r.size(); ++i) {
            if (w.size() <= i) w.push_back(0);
            w[i] = std::max(w[i], r[i].size());
        }
    std::string out;
    for (auto& r : rows) {
        std::string line = indent;
        for (size_t i = 0; i < r.size(); ++i) line += (i ? "  " : "") + (i + 1 < r.size() ? pad(r[i], w[i]) : r[i]);
        out += line + "\n";
    }
    return out;
}

namespace {

// "srv01 controller 0 device 3 serial S0M1...": where a finding is.
std::string place(const Collection& c, const Disk* d) {
    if (!d) return c.host;
    return c.host + " " + (d->controller && d->device ? disk_place(*d) : d->file) + " serial " +
           shown(d->serial, kMissingText);
}

std::string self_test_line(const SelfTest& t) {
    std::string s = "  #" + std::to_string(t.slot) + "  " + t.type;
    if (t.segment) s += ", segment " + std::to_string(*t.segment);
    if (t.hours) s += ", " + std::to_string(*t.hours) + " hours";
    s += ": " + t.status;
    if (t.remaining_percent && t.outcome == SelfTest::Outcome::Running)
        s += ", " + std::to_string(*t.remaining_percent) + " % remaining";
    if (t.lba) s += ", LBA 0x" + hex(*t.lba, 1);
    if (t.sense_key) s += ", sense " + hex(*t.sense_key) + "/" + hex(t.asc.value_or(0)) + "/" + hex(t.ascq.value_or(0));
    return s + "\n";
}

std::string fields_lines(const FieldValues& fv, const std::string& indent) {
    std::string out;
    for (auto& f : fv) {
        std::string v = field_text(*f.def, f.value);
        if (v.empty()) v = f.def->format == Format::Lba ? "none" : "not available";
        out += indent + f.def->name + " = " + v + "\n";
    }
    return out;
}

std::string ata_lines(const Disk& d, const AtaInfo& a) {
    std::string out;
    out += "  Model " + a.model + ", serial " + a.serial + ", firmware " + a.firmware + "\n";
    if (a.sectors)
        out += "  Capacity " + std::to_string(*a.sectors) + " sectors of " + std::to_string(a.logical_sector_size) +
               " bytes\n";
    if (a.rotation_rate)
        out += *a.rotation_rate == 1 ? "  Solid state device\n"
                                     : "  Rotation rate " + std::to_string(*a.rotation_rate) + " rpm\n";
    if (!a.ata_version.empty()) out += "  ATA version " + a.ata_version + "\n";
    out += "  Drive database " + (a.database ? *a.database : std::string("none: the built-in defaults")) + "\n";
    if (!a.family.empty()) out += "  Family " + a.family + "\n";
    if (!a.database_warning.empty()) out += "  Database warning: " + a.database_warning + "\n";
    if (!a.database_note.empty()) out += "  INFO " + a.database_note + "\n";
    out += "  SMART status " + std::string(!a.smart_passed ? "unknown" : *a.smart_passed ? "passed" : "failed") + "\n";
    if (a.self_test_status)
        out += "  Self-test execution: " + self_test_status_text(*a.self_test_status) + ", " +
               std::to_string(a.self_test_remaining.value_or(0)) + "% remaining\n";
    if (a.errors_logged) out += "  Errors logged " + std::to_string(*a.errors_logged) + "\n";
    std::vector<std::vector<std::string>> rows = {
        {"ID", "NAME", "FLAG", "VALUE", "WORST", "THRESH", "RAW", "FORMAT", "FAILING"}};
    for (auto& x : a.attributes)
        rows.push_back({std::to_string(x.id), x.name, (x.prefailure ? "P " : "O ") + hex(x.flags, 4),
                        std::to_string(x.value), std::to_string(x.worst),
                        x.threshold ? std::to_string(*x.threshold) : "-", x.raw_text, x.format,
                        x.failing.empty() ? "-" : x.failing});
    out += "\nSMART attributes:\n" + format_table(rows, "  ");
    if (!d.self_tests.empty()) out += "\nSelf-tests (newest first):\n";
    for (auto& t : d.self_tests) out += self_test_line(t);
    if (!a.statistics.empty()) out += "\nDevice statistics:\n";
    for (auto& s : a.statistics)
        out += "  " + hex(s.page) + "h/" + hex(s.offset, 3) + "h " + s.name + " = " +
               std::to_string(static_cast<int64_t>(s.value)) + (s.valid ? "" : " (not valid)") + "\n";
    if (!a.phy_events.empty()) out += "\nSATA phy event counters:\n";
    for (auto& e : a.phy_events) out += "  " + hex(e.id, 3) + "h " + e.name + " = " + std::to_string(e.value) + "\n";
    return out;
}

std::string page_lines(const PageRecord& r) {
    std::string out = "\nPage " + page_ref(r.page.page, r.page.subpage) + " " + std::string(r.page.name()) +
                      (r.trusted ? "" : " (not trusted)") + "\n";
    for (auto& x : r.page.params) {
        // Unused self-test slots (all zero) are left out.
        if (r.page.page == 0x10 && std::all_of(x.raw.begin(), x.raw.end(), [](uint8_t c) { return c == 0; })) continue;
        out += "  " + hex(x.code, 4) + " " + std::string(x.name());
        if (x.value && x.fields.empty()) out += " = " + std::to_string(*x.value);
        if (!x.text.empty()) out += " = \"" + x.text + "\"";
        if (x.fields.empty() && x.phys.empty() && !x.value && x.text.empty() && !x.raw.empty())
            out += "  [" + hex_bytes(x.raw.data(), x.raw.size()) + "]";
        out += "\n" + fields_lines(x.fields, "      ");
        for (auto& ph : x.phys) out += "      Phy\n" + fields_lines(ph, "        ");
    }
    return out;
}

}  // namespace

// A record's detail in one line: its summary, else "key value, ...".
std::string decoded_text(const RecordDetail& detail) {
    if (auto* scsi = std::get_if<ScsiDetail>(&detail)) return scsi->summary;
    if (auto* sata = std::get_if<SataDetail>(&detail))
        return "target " + std::to_string(sata->target) + " of controller " + std::to_string(sata->controller) +
               sata_registers(*sata) + ", FIS " + hex_bytes(sata->fis.data(), sata->fis.size());
    std::string s;
    each_field(detail, [&](const char* key, const auto& v) {
        if (!s.empty()) s += ", ";
        s += std::string(key) + " ";
        if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>)
            s += v;
        else
            s += std::to_string(v);
    });
    return s;
}

std::string render_text(const Report& r) {
    const bool many = r.collections.size() > 1;
    std::string out;
    char b[200];
    snprintf(b, sizeof b, "logdump-report: %zu disk(s): %zu OK, %zu WARN, %zu FAIL, %zu UNKNOWN\n", r.disks, r.ok,
             r.warn, r.fail, r.unknown);
    out += b;

    out += "\nFindings:\n";
    const auto findings = sorted_findings(r);
    if (findings.empty()) out += "  none\n";
    for (auto& f : findings)
        out += "  " + pad(severity_name(f.finding->severity), 8) + place(*f.collection, f.disk) + ": " +
               f.finding->code() + ": " + f.finding->text + "\n";

    // Where the controllers' logs were read, a LOG column says which drive
    // log each row comes from: a drive the controller lists may have left none.
    const bool logs = std::any_of(r.collections.begin(), r.collections.end(),
                                  [](const Collection& c) { return !c.controllers.empty(); });
    std::vector<DiskColumn> columns;
    for (DiskColumn c : text_columns())
        if ((c != DiskColumn::Host || many) && (c != DiskColumn::File || logs)) columns.push_back(c);
    std::vector<std::vector<std::string>> rows(1);
    for (DiskColumn c : columns) rows[0].push_back(disk_column(c).text);
    for (auto& c : r.collections)
        for (auto& d : c.disks) {
            auto& cells = rows.emplace_back();
            for (DiskColumn col : columns) cells.push_back(text_cell(col, d));
        }
    out += "\nDisks:\n" + format_table(rows, "  ");
    out += controllers_text(r);
    if (auto fleet = fleet_view(r)) out += fleet_text(*fleet, r.turnover);

    // The run's own record, where the fleet role wrote one.
    std::string runs;
    for (auto& c : r.collections)
        if (c.run) runs += "  " + (many ? c.host + ": " : "") + run_summary(*c.run) + "\n";
    if (!runs.empty()) out += "\nRun:\n" + runs;

    out += "\nError log:\n";
    size_t records = 0;
    for (auto& c : r.collections)
        for (auto& e : c.errors) {
            ++records;
            out += "  " + (many ? c.host + ": " : "") + record_name(e.kind) + ": " + e.text + "\n";
            if (auto s = decoded_text(e.detail); !s.empty() && e.kind != RecordKind::CliFailure)
                out += "      " + s + "\n";
        }
    if (!records) out += "  no records\n";
    return out;
}

std::string render_disk(const Disk& d) {
    // A drive that left no drive log is named by its place on the controller.
    const std::string where = d.logged ? d.host + "/" + d.file : d.host + " " + disk_place(d);
    std::string out = where + ": " + d.vendor + " " + d.product + " rev " + d.revision + ", serial " + d.serial + ", " +
                      protocol_name(d.protocol) + ", verdict " + verdict_name(d.verdict) + "\n";
    if (d.logged)
        out += "  temperature " + shown(d.temperature, kMissingText, " C") + ", reference " +
               shown(d.reference_temperature, kMissingText, " C") + ", power-on hours " +
               shown(d.power_on_hours, kMissingText) + "\n";
    else
        out += "  no drive log: what follows is the controller's view alone\n";
    // The risk beside the verdict, never changing it.
    out += "  risk " + std::string(band_name(d.risk.band)) + ": " + d.risk.statement + "\n";
    out += "\nFindings:\n";
    if (d.findings.empty()) out += "  none\n";
    for (const Finding* f : by_weight(d.findings))
        out += "  " + pad(severity_name(f->severity), 8) + pad(kind_name(f->kind()), 11) + f->code() + ": " + f->text +
               "\n";
    out += controller_view_text(d);
    if (!d.phys.empty()) out += "\nPhys:\n";
    for (auto& p : d.phys)
        out += "  port " + std::to_string(p.port) + " phy " + std::to_string(p.id) + ": " +
               word(kLinkRates, p.link_rate) + ", SAS address " + hex(p.sas_address, 16) + ", attached " +
               hex(p.attached_sas_address, 16) + " phy " + std::to_string(p.attached_phy) + " (" +
               word(kAttachedDeviceTypes, p.attached_device_type) + "), reason " + word(kPhyReasons, p.reason) + "\n";
    if (d.ata)
        out += "\n" + ata_lines(d, *d.ata);
    else if (!d.self_tests.empty()) {
        out += "\nSelf-tests (newest first):\n";
        for (auto& t : d.self_tests) out += self_test_line(t);
    }
    for (auto& p : d.pages) out += page_lines(p);
    if (!d.sections.empty()) out += "\nInternal log sections:\n";
    for (auto& s : d.sections)
        out += "  " + s.name + " (type " + std::to_string(s.type) + "): " + std::to_string(s.length) + " bytes, " +
               std::to_string(s.present) + " present\n";
    return out;
}

}  // namespace rpt
