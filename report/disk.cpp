// One disk from the text of its drive log: identity, decoded pages and
// blocks, figures, counters and findings.
#include <cstdio>

#include "health.h"

namespace rpt {

const std::vector<CounterDef> kCounterDefs = {
    {"read_uncorrected", "uncorrected read errors (page 03h)", Protocol::Scsi},
    {"write_uncorrected", "uncorrected write errors (page 02h)", Protocol::Scsi},
    {"verify_uncorrected", "uncorrected verify errors (page 05h)", Protocol::Scsi},
    {"non_medium", "non-medium errors (page 06h)", Protocol::Scsi},
    {"selftest_failures", "failed self-tests in the log", Protocol::Scsi},
    {"bms_medium_errors", "medium and hardware errors found by the background scan (page 15h)", Protocol::Scsi},
    {"bms_reassigns", "blocks reassigned after the background scan (page 15h)", Protocol::Scsi},
    {"pending_defects", "pending defects (page 15h/01h)", Protocol::Scsi},
    {"grown_defects", "grown defects (READ DEFECT DATA)", Protocol::Scsi},
    {"endurance_used_percent", "percentage used endurance indicator (page 11h)", Protocol::Scsi},
    {"phy_invalid_dword", "invalid dwords (page 18h)", Protocol::Scsi, true},
    {"phy_disparity", "running disparity errors (page 18h)", Protocol::Scsi, true},
    {"phy_loss_of_sync", "losses of dword synchronization (page 18h)", Protocol::Scsi, true},
    {"phy_reset_problem", "phy reset problems (page 18h)", Protocol::Scsi, true},
    {"ata_reallocated_sectors", "reallocated sectors (attribute 5)", Protocol::Ata},
    {"ata_reported_uncorrect", "uncorrectable errors reported to the host (attribute 187)", Protocol::Ata},
    {"ata_pending_sectors", "sectors pending reallocation (attribute 197)", Protocol::Ata},
    {"ata_offline_uncorrectable", "sectors found uncorrectable off-line (attribute 198)", Protocol::Ata},
    {"ata_udma_crc_errors", "interface CRC errors (attribute 199)", Protocol::Ata},
    {"selftest_failures", "failed self-tests in the log", Protocol::Ata},
    {"endurance_used_percent", "percentage used endurance indicator (device statistics)", Protocol::Ata},
    {"ata_pending_errors", "pending error count (device statistics)", Protocol::Ata},
    {"ata_reallocated_logical_sectors", "reallocated logical sectors (device statistics)", Protocol::Ata},
    {"ata_reallocation_candidates", "reallocation candidate logical sectors (device statistics)", Protocol::Ata},
    {"ata_mechanical_start_failures", "mechanical start failures (device statistics)", Protocol::Ata},
    {"ata_reported_uncorrectable_errors", "reported uncorrectable errors (device statistics)", Protocol::Ata},
    {"ata_resets_during_commands", "resets between command acceptance and completion (device statistics)",
     Protocol::Ata},
    {"ata_interface_crc_errors", "interface CRC errors (device statistics)", Protocol::Ata},
};

std::optional<uint64_t> Disk::counter(std::string_view name) const {
    for (auto& c : counters)
        if (c.name == name && !c.phy) return c.value;
    return std::nullopt;
}

Disk build_disk(const std::string& host, const std::string& file, std::string_view text) {
    DriveLog log = read_drive_log(text);
    Disk d;
    d.host = host;
    d.file = file;
    unsigned c = 0, dev = 0;
    if (file.size() == 10 && sscanf(file.c_str(), "MA%2x%2x.log", &c, &dev) == 2) {
        d.controller = c;
        d.device = dev;
    }
    d.findings = log.findings;
    d.sections = log.sections;
    bool judged = false;
    if (log.ata()) {
        d.protocol = Protocol::Ata;
        judged = assess_ata(d, log);
    } else {
        std::string_view code = log.device_code;
        auto part = [&](size_t at, size_t n) { return at < code.size() ? trim(code.substr(at, n)) : std::string(); };
        d.vendor = part(0, 8);
        d.product = part(8, 16);
        d.revision = part(24, 4);
        d.serial = trim(log.serial);
        for (auto& b : log.blocks) {
            if (b.kind != BlockKind::ScsiPage) continue;
            PageRecord r;
            r.listed_as = b.tag.substr(b.tag[0] == 'P' ? 4 : 7);
            r.bytes = b.bytes.size();
            r.trusted = !b.damaged && !b.bytes.empty();
            if (b.bytes.empty()) {
                r.page.page = b.page & 0x3f;
                r.page.subpage = b.subpage;
                r.page.name = page_name(r.page.page, r.page.subpage);
            } else {
                r.page = decode_page(b.bytes);
            }
            if (b.bytes.size() >= 4)
                for (auto& f : r.page.findings) {
                    Finding x = f;
                    x.text = "page " + r.listed_as + ": " + f.text;
                    x.page = page_ref(r.page.page, r.page.subpage);
                    d.findings.push_back(std::move(x));
                }
            d.pages.push_back(std::move(r));
        }
        judged = assess_scsi(d, log);
    }
    if (!judged)
        d.findings.push_back(
            finding(Rule::NoHealth, "no health page or block was read whole: the disk's health cannot be judged"));
    return d;
}

}  // namespace rpt
