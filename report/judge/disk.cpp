// One disk from the text of its drive log: identity, decoded pages and
// blocks, figures, counters and findings, judged once with the error log's
// records of the disk.
#include <cstdio>
#include <map>
#include <set>

#include "disk.h"

#include "ata_decode.h"
#include "ata_judge.h"
#include "rules.h"
#include "scsi_decode.h"
#include "scsi_judge.h"

namespace rpt {
namespace {

// The command that reads a SATA log block.
std::string log_command(const Block& b) {
    char s[48];
    if (b.kind == BlockKind::AtaSmartLog)
        snprintf(s, sizeof s, "SMART READ LOG %02Xh", b.page);
    else
        snprintf(s, sizeof s, "READ LOG EXT %02Xh page %02Xh", b.page, b.log_page);
    return s;
}

// Blocks the drive did not answer. A page (or, for SATA, a log) it lists
// but rejects as not supported is no gap in the collection: the error log's
// record of the rejection is then the one finding of it. A SATA answer does
// not name its log, so the rejections go to the unread logs in order, and
// each names its log's command. Returns those names by record.
std::map<const ErrRecord*, std::string> unread_blocks(Disk& d, const DriveLog& log, const Attached& attached) {
    std::set<std::string> rejected_pages;
    std::vector<const ErrRecord*> rejected_logs;
    for (const ErrRecord* r : attached.records) {
        if (!r->disk_finding || r->disk_finding->rule != Rule::CommandRejected) continue;
        if (auto* scsi = std::get_if<ScsiDetail>(&r->detail); scsi && scsi->page())
            rejected_pages.insert(page_ref(*scsi->page(), *scsi->subpage()));
        if (std::holds_alternative<SataDetail>(r->detail)) rejected_logs.push_back(r);
    }
    std::map<const ErrRecord*, std::string> commands;
    size_t next = 0;
    for (auto& b : log.blocks) {
        if (!b.unread || b.damaged) continue;
        const bool page = b.kind == BlockKind::ScsiPage;
        const bool ata_log = b.kind == BlockKind::AtaSmartLog || b.kind == BlockKind::AtaGplLog;
        const std::string where = page ? page_ref(b.page & 0x3f, b.subpage) : ata_log ? kAtaLog : "";
        if (page && rejected_pages.count(where)) continue;
        if (ata_log && next < rejected_logs.size()) {
            commands[rejected_logs[next++]] = log_command(b);
            continue;
        }
        d.findings.push_back(finding(page ? Rule::PageUnread : Rule::BlockUnread,
                                     block_name(b) + " has no bytes: the drive did not answer it", where));
    }
    return commands;
}

// The disk's figures and findings by its protocol; true when any of them
// tells about its health.
bool decode_and_judge(Disk& d, const DriveLog& log, const DriveDb* db) {
    if (log.ata()) {
        d.protocol = Protocol::Ata;
        d.ata = decode_ata(log, db);
        d.findings.insert(d.findings.end(), d.ata->findings.begin(), d.ata->findings.end());
        return judge_ata(d);
    }
    ScsiInfo s = decode_scsi(log);
    d.vendor = s.vendor;
    d.product = s.product;
    d.revision = s.revision;
    d.serial = s.serial;
    d.findings.insert(d.findings.end(), s.findings.begin(), s.findings.end());
    d.phys = s.phys;
    const bool judged = judge_scsi(d, s);
    d.pages = std::move(s.pages);
    return judged;
}

}  // namespace

std::optional<uint64_t> Disk::counter(Counter id) const {
    for (auto& c : counters)
        if (c.id == id && !c.phy) return c.value;
    return std::nullopt;
}

std::string disk_place(const Disk& d) { return disk_place(d.controller, d.device); }

std::string disk_place(std::optional<unsigned> controller, std::optional<unsigned> device) {
    return "controller " + shown(controller, kMissingText) + " device " + shown(device, kMissingText);
}

Disk build_disk(const std::string& host, const std::string& file, std::string_view text, const Attached& attached,
                const DriveDb* db) {
    DriveLog log = read_drive_log(text);
    Disk d;
    d.host = host;
    d.file = file;
    if (auto place = drive_log_place(file)) {
        d.controller = place->first;
        d.device = place->second;
    }
    d.findings = log.findings;
    const auto commands = unread_blocks(d, log, attached);
    d.sections = log.sections;
    const bool judged = decode_and_judge(d, log, db);
    if (!judged) d.findings.push_back(finding(Rule::NoHealth));
    if (attached.stale)
        d.findings.push_back(
            finding(Rule::StaleFile, "the drive log is older than the error log: left from an earlier run"));
    for (const ErrRecord* r : attached.records) {
        Finding f = *r->disk_finding;
        if (auto cmd = commands.find(r); cmd != commands.end())
            f.text = "the drive does not support " + cmd->second + sata_registers(std::get<SataDetail>(r->detail));
        d.findings.push_back(std::move(f));
    }
    return d;
}

}  // namespace rpt
