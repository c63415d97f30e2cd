// The CLI's virtual drive blocks (the virtual drive, members and
// configuration logs), each a table of fields, with the drive blocks
// listed under them (read as the drive list's, controller_drives.cpp).
#include <algorithm>
#include <map>

#include "cli_text.h"
#include "controller_read.h"
#include "helpers.h"
#include "textmatch.h"

namespace rpt {
namespace {

using cli::Field;
using cli::Line;
using cli::Reader;

// ---------------------------------------------------------------- virtual drive fields

// "0 (Target Id: 0)", older "0 (target id: 0)"
bool virtual_drive_id(VirtualDrive& vd, std::string_view v) {
    Caps c;
    std::string lower(v);
    for (char& ch : lower) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    if (!match("%u (target id: %u)", lower, c) && !match("%u", lower, c)) return false;
    vd.id = place_number(c[0]);
    if (c.size() > 1) vd.target = place_number(c[1]);
    return vd.id && (c.size() == 1 || vd.target);
}

// "Primary-1, Secondary-0, RAID Level Qualifier-0"
bool raid_level(VirtualDrive& vd, std::string_view v) {
    auto after = [&](std::string_view word) -> std::optional<unsigned> {
        const size_t at = v.find(word);
        if (at == std::string_view::npos) return std::nullopt;
        std::string_view rest = v.substr(at + word.size());
        size_t n = 0;
        while (n < rest.size() && rest[n] >= '0' && rest[n] <= '9') ++n;
        if (n > 4) return std::nullopt;  // no level, and never cut to one
        auto d = cli::decimal(rest.substr(0, n));
        return d ? std::optional<unsigned>(static_cast<unsigned>(*d)) : std::nullopt;
    };
    vd.primary = after("Primary-");
    vd.secondary = after("Secondary-");
    vd.qualifier = after("Qualifier-");
    return vd.primary.has_value();
}

bool virtual_drive_state(VirtualDrive& vd, std::string_view v) {
    vd.state = std::string(v);
    vd.state_kind = virtual_drive_state_of(v);
    return true;
}

bool drives_per_span(VirtualDrive& vd, std::string_view v) {
    vd.drives_per_span = true;
    return cli::number<&VirtualDrive::drives>(vd, v);
}

constexpr Field<VirtualDrive> kVirtualDriveFields[] = {
    {"Virtual Drive|Virtual Disk", virtual_drive_id},
    {"Name", cli::text<&VirtualDrive::name>},
    {"RAID Level", raid_level},
    {"Size", cli::text<&VirtualDrive::size>},
    {"State", virtual_drive_state},
    {"Number Of Drives", cli::number<&VirtualDrive::drives>},
    {"Number Of Drives per span", drives_per_span},
    {"Span Depth", cli::number<&VirtualDrive::span_depth>},
    {"Default Cache Policy", cli::text<&VirtualDrive::cache_default>},
    {"Current Cache Policy", cli::text<&VirtualDrive::cache_current>},
    {"Bad Blocks Exist", cli::yes<&VirtualDrive::bad_blocks>},
};

// RAID 0/1/5/6 and their spanned forms 00/10/50/60.
std::string level_name(const VirtualDrive& vd) {
    if (!vd.primary) return "";
    const bool spanned = vd.secondary == 3u || vd.span_depth.value_or(1) > 1;
    switch (*vd.primary) {
    case 0: return spanned ? "RAID 00" : "RAID 0";
    case 1: return spanned ? "RAID 10" : "RAID 1";
    case 5: return spanned ? "RAID 50" : "RAID 5";
    case 6: return spanned ? "RAID 60" : "RAID 6";
    }
    return "Primary-" + std::to_string(*vd.primary);
}

// The lines of the members and configuration logs around the blocks: the
// counts they announce, the disk group and span they open, and others.
enum class Heading : uint8_t { VirtualDrives, DiskGroups, DiskGroup, Span, SpanDrives, Other };
constexpr std::string_view kHeadingKeys[] = {
    "Number of Virtual Disks|Number of Virtual Drives",
    "Number of DISK GROUPS",
    "DISK GROUP|DISK GROUPS",
    "Span",  // "Span: 0 - Number of PDs: 2"; "SPAN: 0" (the configuration log)
    "Number of PDs",
    "Number of Spans|Span Reference|Number of VDs|Number of dedicated Hotspares|Virtual Drive Information|"
    "Virtual Disk Information|Physical Disk Information|Product Name|Memory|BBU|Serial No",
};

// No span holds more arms than this; a count above it is not a count.
constexpr uint64_t kMostArms = 256;

// A listing of virtual drives with the drive blocks under them, as it is
// read: where its headings stand (disk group, span), which arm each block
// fills, and what the headings announce. An arm that a span announces and
// no block fills gets an entry of its own (empty_slot); a listing that
// ends before what it announced is said to be cut short, and nothing is
// made up for what is missing there.
class Listing {
public:
    // `spans_first`: the configuration log, whose span headings stand
    // before the virtual drive they repeat; the members log lists a
    // virtual drive, then its spans.
    Listing(std::vector<VirtualDrive>& out, Reader& r, bool spans_first)
        : out_(out), r_(r), first_(out.size()), spans_first_(spans_first) {}

    // A heading's line; false for a line that is none.
    bool heading(const Line& l) {
        static const cli::KeyIndex index(kHeadingKeys);
        const int h = l.key.empty() ? -1 : index.find(l);
        if (h < 0) return false;
        Caps c;
        switch (static_cast<Heading>(h)) {
        case Heading::VirtualDrives:
            if (!spans_first_) announce(l, "virtual drives");
            break;
        case Heading::DiskGroups:
            if (spans_first_) announce(l, "disk groups");
            break;
        case Heading::DiskGroup:
            close_span(false);
            group_ = place_number(l.value);
            if (spans_first_ && counts_.count(r_.adapter)) ++counts_[r_.adapter].read;
            break;
        case Heading::Span:
            close_span(false);
            if (match("%u - Number of PDs: %u", l.value, c) || match("%u", l.value, c)) {
                span_ = Span{};
                span_.open = true;
                span_.adapter = r_.adapter;
                span_.number = place_number(c[0]);
                span_.first_vd = out_.size();
                span_seen_ = true;
                if (!spans_first_ && out_.size() > first_) span_.vd = out_.size() - 1;
                if (c.size() > 1) span_drives(l, c[1]);
            }
            break;
        case Heading::SpanDrives:
            if (span_.open) span_drives(l, l.value);
            break;
        case Heading::Other: break;
        }
        return true;
    }

    // A virtual drive block opened at this line.
    void virtual_drive_opened() {
        if (spans_first_) return;
        close_span(false);
        if (out_.size() >= first_ + 2 && !span_seen_) single_span(out_[out_.size() - 2], false);
        span_seen_ = false;
        if (counts_.count(r_.adapter)) ++counts_[r_.adapter].read;
    }

    // A drive block opened under virtual drive out[vd]: its place by the
    // headings (its own "Drive's position" later overrides it).
    void block_opened(size_t vd) {
        PhysicalDrive& m = out_[vd].members.back();
        if (span_.open && span_.adapter == r_.adapter) {
            if (span_.vd == kNone) span_.vd = vd;
            m.span = span_.number;
            m.arm = static_cast<unsigned>(span_.blocks++);
        } else {
            m.arm = static_cast<unsigned>(out_[vd].members.size() - 1);
        }
        if (group_) m.disk_group = group_;
    }

    // Before each line: blocks of another adapter end the open span.
    void next_line() {
        if (span_.open && span_.adapter != r_.adapter) close_span(false);
    }
    // A line that was of the listing.
    void content(const Line& l) { last_ = l.number; }

    // At the end: the last span, and the counts announced against those read.
    void end() {
        const bool cut = r_.exit_line <= last_;  // no closing exit code after the last content
        close_span(cut);
        if (!spans_first_ && out_.size() > first_ && !span_seen_) single_span(out_.back(), cut);
        for (auto& [adapter, n] : counts_)
            if (n.read < n.announced)
                cut_short(n.line, "it announces " + std::to_string(n.announced) + " " + n.what + ", " + follow(n.read));
    }

private:
    static constexpr size_t kNone = ~size_t{0};
    struct Span {
        bool open = false;
        unsigned adapter = 0;
        std::optional<unsigned> number;
        std::optional<uint64_t> drives;  // announced
        size_t line = 0;                 // of the line that announces them
        size_t first_vd = kNone, vd = kNone;
        size_t blocks = 0;
    };
    struct Count {
        uint64_t announced = 0;
        size_t line = 0, read = 0;
        const char* what = "";
    };

    void announce(const Line& l, const char* what) {
        auto n = cli::decimal(l.value);
        if (!n) return r_.bad_value(l);
        counts_[r_.adapter] = {*n, l.number, 0, what};
    }

    void span_drives(const Line& l, std::string_view v) {
        auto n = cli::decimal(v);
        if (!n || *n > kMostArms) return r_.bad_value(l);
        span_.drives = n;
        span_.line = l.number;
    }

    void cut_short(size_t line, const std::string& what) {
        r_.problems.push_back({"truncated", r_.file, line, r_.file + " is cut short: " + what});
    }

    // The disk group of `vd`: its heading's, else that of a member's
    // position.
    std::optional<unsigned> group_of(const VirtualDrive& vd) const {
        std::optional<unsigned> group = group_;
        for (const auto& m : vd.members)
            if (!group) group = m.disk_group;
        return group;
    }

    // The arms of span `span` of `vd` that `want` names and no block fills.
    void fill_arms(VirtualDrive& vd, std::optional<unsigned> span, uint64_t want, size_t line) {
        std::vector<bool> taken(want, false);
        const std::optional<unsigned> group = group_of(vd);
        for (const auto& m : vd.members)
            if ((m.span == span || !m.span) && m.arm && *m.arm < want && !empty_slot(m)) taken[*m.arm] = true;
        bool added = false;
        for (unsigned arm = 0; arm < want; ++arm) {
            if (taken[arm]) continue;
            // An empty block of that arm stands for it already.
            if (std::any_of(vd.members.begin(), vd.members.end(),
                            [&](const PhysicalDrive& m) { return m.span == span && m.arm == arm; }))
                continue;
            PhysicalDrive slot;
            slot.adapter = vd.adapter;
            slot.line = line;
            slot.source = r_.file;
            slot.disk_group = group;
            slot.span = span;
            slot.arm = arm;
            vd.members.push_back(std::move(slot));
            added = true;
        }
        if (added)
            std::stable_sort(vd.members.begin(), vd.members.end(), [](const PhysicalDrive& a, const PhysicalDrive& b) {
                return std::pair(a.span.value_or(~0u), a.arm.value_or(~0u)) <
                       std::pair(b.span.value_or(~0u), b.arm.value_or(~0u));
            });
    }

    void close_span(bool cut) {
        if (!span_.open) return;
        Span s = span_;
        span_ = Span{};
        if (s.vd == kNone) s.vd = out_.size() > first_ ? out_.size() - 1 : kNone;
        if (s.vd == kNone || s.vd < first_) return;
        if (s.drives && s.blocks < *s.drives) {
            if (cut)
                return cut_short(s.line, "span " + shown(s.number, kMissingPart) + " of virtual drive " +
                                             shown(out_[s.vd].id, kMissingPart) + " announces " +
                                             std::to_string(*s.drives) + " drives, " + follow(s.blocks));
            fill_arms(out_[s.vd], s.number, *s.drives, s.line);
        }
        // An empty block is of the disk group its span is in.
        for (auto& m : out_[s.vd].members)
            if (empty_slot(m) && !m.disk_group) m.disk_group = group_of(out_[s.vd]);
        // The configuration log: the drives of a span are those of every
        // virtual drive it lists.
        if (spans_first_)
            for (size_t i = s.first_vd; i < s.vd && i < out_.size(); ++i)
                for (const auto& m : out_[s.vd].members)
                    if (m.span == s.number) out_[i].members.push_back(m);
    }

    // A virtual drive of one span listed with its drives but without span
    // headings: the arms its number of drives names.
    void single_span(VirtualDrive& vd, bool cut) {
        if (cut || vd.members.empty() || !vd.drives || *vd.drives > kMostArms || vd.span_depth.value_or(1) != 1 ||
            vd.members.size() >= *vd.drives)
            return;
        fill_arms(vd, 0u, *vd.drives, vd.line);
    }

    static std::string follow(size_t n) { return std::to_string(n) + (n == 1 ? " follows" : " follow"); }

    std::vector<VirtualDrive>& out_;
    Reader& r_;
    const size_t first_;
    const bool spans_first_;
    std::optional<unsigned> group_;
    Span span_;
    bool span_seen_ = false;
    std::map<unsigned, Count> counts_;  // by adapter
    size_t last_ = 0;
};

// The configuration log lists a virtual drive again for each of its spans:
// one virtual drive from `first` on, its members in the order read.
void one_per_virtual_drive(std::vector<VirtualDrive>& out, size_t first) {
    for (size_t i = first; i < out.size(); ++i) {
        for (size_t j = i + 1; j < out.size();) {
            if (out[j].id && out[j].id == out[i].id && out[j].adapter == out[i].adapter) {
                for (auto& m : out[j].members) out[i].members.push_back(std::move(m));
                out.erase(out.begin() + static_cast<std::ptrdiff_t>(j));
            } else {
                ++j;
            }
        }
        out[i].raid_level = level_name(out[i]);
        for (auto& m : out[i].members) split_inquiry(m);
    }
}

}  // namespace

std::vector<ControllerProblem> read_virtual_drives(std::string_view text, Reader& r, std::vector<VirtualDrive>& out,
                                                   bool spans_first) {
    cli::Blocks<VirtualDrive> vds(&out);
    cli::Blocks<PhysicalDrive> members;
    Listing listing(out, r, spans_first);
    bool in_member = false;
    const size_t first = out.size();
    auto member_of_open = [&](const Line& l) {
        if (out.size() == first) vds.open(r, l);  // members before any virtual drive
        members.out = &out.back().members;
        members.seen.reset();
        in_member = true;
    };
    // A line applied to the open drive block, which may open a new one.
    auto to_member = [&](const Line& l) {
        const size_t before = members.out->size();
        if (!drive_line(members, r, l)) return false;
        if (members.out->size() > before) listing.block_opened(out.size() - 1);
        return true;
    };
    auto line = [&](const Line& l) {
        Caps c;
        if ((l.text.starts_with("PD: ") && match("PD: %u Information", l.text, c)) ||
            (l.text.starts_with("Physical Disk: ") && match("Physical Disk: %u", l.text, c))) {
            member_of_open(l);
            members.open(r, l);
            listing.block_opened(out.size() - 1);
            return true;
        }
        if (in_member && to_member(l)) return true;
        const size_t before = out.size();
        if (vds.apply(kVirtualDriveFields, r, l)) {
            if (out.size() > before) listing.virtual_drive_opened();
            in_member = false;
            return true;
        }
        if (!in_member && out.size() > first && drive_field(l)) {
            member_of_open(l);
            return to_member(l);
        }
        return listing.heading(l) || cli::separator(l.text);
    };
    auto problems = cli::walk(text, r, [&](const Line& l) {
        listing.next_line();
        const bool of_listing = line(l);
        if (of_listing) listing.content(l);
        return of_listing;
    });
    // What the end says (a listing cut short) joins what the lines said.
    r.problems.clear();
    listing.end();
    if (r.recognised) problems.insert(problems.end(), r.problems.begin(), r.problems.end());
    one_per_virtual_drive(out, first);
    return problems;
}

}  // namespace rpt
