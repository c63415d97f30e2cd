// One disk from the text of its drive log: identity, decoded pages and
// blocks, figures, counters and findings, judged once with the error log's
// records of the disk.
#include <cstdio>
#include <map>
#include <set>

#include "ata_decode.h"
#include "health.h"

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

}  // namespace

std::optional<uint64_t> Disk::counter(Counter id) const {
    for (auto& c : counters)
        if (c.id == id && !c.phy) return c.value;
    return std::nullopt;
}

Disk build_disk(const std::string& host, const std::string& file, std::string_view text, const Attached& attached,
                const DriveDb* db) {
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
    const auto commands = unread_blocks(d, log, attached);
    d.sections = log.sections;
    bool judged = false;
    if (log.ata()) {
        d.protocol = Protocol::Ata;
        d.ata = decode_ata(log, db);
        d.findings.insert(d.findings.end(), d.ata->findings.begin(), d.ata->findings.end());
        judged = judge_ata(d);
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
