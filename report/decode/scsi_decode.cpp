#include "scsi_decode.h"

#include "scsi_fields.h"

namespace rpt {
namespace {

// A block of a SCSI page: its decode, or for a block with no bytes (the
// drive did not answer) the page it names. The structure problems of a
// page with a header go to the disk, naming the page.
PageRecord page_record(const Block& b, Findings& findings) {
    PageRecord r;
    r.listed_as = b.tag.substr(b.tag[0] == 'P' ? 4 : 7);
    r.bytes = b.bytes.size();
    r.trusted = !b.damaged && !b.bytes.empty();
    if (b.bytes.empty()) {
        r.page.page = b.page & 0x3f;
        r.page.subpage = b.subpage;
        name_page(r.page);
    } else {
        r.page = decode_page(b.bytes);
    }
    if (b.bytes.size() >= 4)
        for (auto& f : r.page.findings) {
            Finding x = f;
            x.text = "page " + r.listed_as + ": " + f.text;
            x.page = page_ref(r.page.page, r.page.subpage);
            findings.push_back(std::move(x));
        }
    return r;
}

// Every phy of every port of page 18h.
std::vector<Phy> phys(const PageRecord* p18) {
    std::vector<Phy> out;
    if (!p18) return out;
    for (auto& port : p18->page.params)
        for (auto& fv : port.phys) {
            Phy ph;
            ph.port = port.code;
            ph.id = static_cast<unsigned>(field(fv, {kPhy, "phy"}).value_or(0));
            ph.sas_address = field(fv, {kPhy, "sas_address"}).value_or(0);
            ph.attached_sas_address = field(fv, {kPhy, "attached_sas_address"}).value_or(0);
            ph.attached_phy = static_cast<unsigned>(field(fv, {kPhy, "attached_phy"}).value_or(0));
            ph.attached_device_type = static_cast<uint8_t>(field(fv, {kPhy, "attached_device_type"}).value_or(0));
            ph.attached_reason = static_cast<uint8_t>(field(fv, {kPhy, "attached_reason"}).value_or(0));
            ph.reason = static_cast<uint8_t>(field(fv, {kPhy, "reason"}).value_or(0));
            ph.link_rate = static_cast<uint8_t>(field(fv, {kPhy, "link_rate"}).value_or(0));
            ph.invalid_dword = field(fv, {kPhy, "invalid_dword"});
            ph.disparity = field(fv, {kPhy, "disparity"});
            ph.loss_of_sync = field(fv, {kPhy, "loss_of_sync"});
            ph.reset_problem = field(fv, {kPhy, "reset_problem"});
            out.push_back(ph);
        }
    return out;
}

}  // namespace

const PageRecord* ScsiInfo::sound(uint8_t page, uint8_t subpage) const {
    for (auto& p : pages)
        if (p.bytes > 0 && p.page.page == page && p.page.subpage == subpage) return p.trusted ? &p : nullptr;
    return nullptr;
}

ScsiInfo decode_scsi(const DriveLog& log) {
    ScsiInfo s;
    // The identity line: vendor (8), product (16), revision (4).
    const std::string_view code = log.device_code;
    auto part = [&](size_t at, size_t n) { return at < code.size() ? trim(code.substr(at, n)) : std::string(); };
    s.vendor = part(0, 8);
    s.product = part(8, 16);
    s.revision = part(24, 4);
    s.serial = trim(log.serial);
    for (auto& b : log.blocks)
        if (b.kind == BlockKind::ScsiPage) s.pages.push_back(page_record(b, s.findings));
    s.phys = phys(s.sound(0x18));
    const Block* g = log.find(BlockKind::GrownDefects);
    if (g && !g->damaged && g->bytes.size() == 4)
        s.grown_defects = DefectListHeader{static_cast<uint8_t>(g->bytes[1] & 7), be_value(&g->bytes[2], 2)};
    return s;
}

}  // namespace rpt
