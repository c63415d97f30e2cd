// One disk from the text of its drive log: identity, decoded pages and
// blocks, figures, counters and findings.
#include <cstdio>

#include "health.h"

namespace rpt {

std::optional<uint64_t> Disk::counter(Counter id) const {
    for (auto& c : counters)
        if (c.id == id && !c.phy) return c.value;
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
