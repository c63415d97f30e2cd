#include "drivelog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "rules.h"
#include "textmatch.h"

namespace rpt {
namespace {

constexpr size_t kFullLine = 50;  // 16 × " xx" and CR LF

struct Line {
    std::string_view text;  // without its line end
    size_t start = 0;
    size_t next = 0;  // offset after the line end
    bool crlf = false;
    bool terminated = false;
};

Line line_at(std::string_view s, size_t pos) {
    Line l;
    l.start = pos;
    const void* nl = memchr(s.data() + pos, '\n', s.size() - pos);
    size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - s.data()) : s.size();
    l.terminated = nl != nullptr;
    l.next = nl ? end + 1 : end;
    if (end > pos && s[end - 1] == '\r') {
        l.crlf = l.terminated;
        --end;
    }
    l.text = s.substr(pos, end - pos);
    return l;
}

int hexval(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct SectionName {
    const char* name;
    int type;
};
// The header lines of the internal-log sections, as the collector writes them.
constexpr SectionName kSections[] = {
    {"Drive Status Log", 1}, {"Drive Interna Log", 2}, {"Command Log", 4}, {"Controller Internal Information", 8}};

// The block tags the collector writes, each field of hexadecimal digits
// of the width given.
struct TagDef {
    const char* pattern;
    BlockKind kind;
    size_t widths[2] = {};
};
constexpr TagDef kTags[] = {
    {"Page%x", BlockKind::ScsiPage, {2}},
    {"Subpage%x.%x", BlockKind::ScsiPage, {2, 2}},
    {"Grown Defects", BlockKind::GrownDefects},
    {"ATA IDENTIFY DEVICE", BlockKind::AtaIdentify},
    {"ATA SMART READ DATA", BlockKind::AtaSmartData},
    {"ATA SMART READ THRESHOLDS", BlockKind::AtaSmartThresholds},
    {"ATA SMART RETURN STATUS", BlockKind::AtaSmartStatus},
    {"ATA SMART LOG %x", BlockKind::AtaSmartLog, {2}},
    {"ATA GPL LOG %x PAGE %x", BlockKind::AtaGplLog, {2, 4}},
};

// The text a <Grown Defects> block holds when the drive rejected the
// command, and the three forms of the RETURN STATUS line.
constexpr std::string_view kDefectsUnsupported = "Not supported (ILLEGAL REQUEST)";

bool status_line(std::string_view t) {
    uint8_t b[2];
    auto pair = [&](std::string_view p) {
        return p.size() == 7 && p[0] == '(' && p[6] == ')' && parse_hex_line(" " + std::string(p.substr(1, 5)), b) == 2;
    };
    for (std::string_view word : {"passed ", "threshold exceeded ", "unknown "})
        if (t.starts_with(word)) return pair(t.substr(word.size()));
    return false;
}

bool block_tag(std::string_view line, Block& b) {
    if (line.size() < 3 || line.front() != '<' || line.back() != '>') return false;
    const std::string_view t = line.substr(1, line.size() - 2);
    for (auto& d : kTags) {
        Caps caps;
        if (!match(d.pattern, t, caps)) continue;
        std::vector<unsigned> n;
        for (size_t i = 0; i < caps.size(); ++i) {
            if (caps[i].size() != d.widths[i]) return false;
            n.push_back(static_cast<unsigned>(std::stoul(std::string(caps[i]), nullptr, 16)));
        }
        b.kind = d.kind;
        b.tag = std::string(t);
        if (!n.empty()) b.page = static_cast<uint8_t>(n[0]);
        if (n.size() > 1 && d.kind == BlockKind::ScsiPage) b.subpage = static_cast<uint8_t>(n[1]);
        if (n.size() > 1 && d.kind == BlockKind::AtaGplLog) b.log_page = static_cast<uint16_t>(n[1]);
        return true;
    }
    return false;
}

class Reader {
public:
    explicit Reader(std::string_view s) : s_(s) {}

    DriveLog run() {
        if (s_.empty()) {
            add(Rule::EmptyFile);
            return std::move(log_);
        }
        identity();
        while (pos_ < s_.size()) {
            Line l = next();
            if (l.text.empty()) {
                add(Rule::JunkLine, "empty line at byte " + std::to_string(l.start));
            } else if (Block b; block_tag(l.text, b)) {
                block(std::move(b));
            } else if (l.text.front() == '<' && l.text.back() == '>') {
                section(l);
            } else {
                add(Rule::JunkLine, "unexpected line at byte " + std::to_string(l.start));
            }
        }
        if (junk_ > kJunkListed)
            log_.findings.push_back(finding(
                Rule::JunkLine, std::to_string(junk_ - kJunkListed) + " more line(s) of junk, not listed one by one"));
        if (lf_only_ > 0) add(Rule::LineEnds, std::to_string(lf_only_) + " line(s) end in LF alone instead of CR LF");
        return std::move(log_);
    }

private:
    // A damaged file can be megabytes of junk: the first lines of it are
    // named, the rest counted, so that the report stays readable and small.
    static constexpr size_t kJunkListed = 20;
    void add(Rule rule, std::string text = "") {
        if (rule == Rule::JunkLine && ++junk_ > kJunkListed) return;
        log_.findings.push_back(finding(rule, std::move(text)));
    }

    // The next line, with its end checked: a torn last line (no line end)
    // means the file was cut while it was written.
    Line next() {
        Line l = line_at(s_, pos_);
        pos_ = l.next;
        if (!l.terminated)
            add(Rule::TornLine, "the last line has no line end: the file was cut at byte " + std::to_string(s_.size()));
        else if (!l.crlf)
            ++lf_only_;
        return l;
    }

    bool peek_hex(Line& l) {
        if (pos_ >= s_.size()) return false;
        l = line_at(s_, pos_);
        return !l.text.empty() && l.text.front() == ' ';
    }

    void identity() {
        static constexpr std::string_view kCode = "Device code   : ", kSerial = "Serial number : ";
        Line a = line_at(s_, 0), b = line_at(s_, a.next);
        if (a.text.substr(0, kCode.size()) != kCode || b.text.substr(0, kSerial.size()) != kSerial) {
            add(Rule::Identity, "the identity lines are missing or damaged");
            return;
        }
        next();
        next();
        log_.identity = true;
        log_.device_code = std::string(a.text.substr(kCode.size()));
        log_.serial = std::string(b.text.substr(kSerial.size()));
    }

    // Hex lines that follow a block header, read one by one. Returns false
    // when a line is not a hex line (junk inside the block).
    bool hex_block(std::vector<uint8_t>* out, uint64_t& count, const std::string& what) {
        bool ok = true, short_seen = false;
        Line l;
        uint8_t buf[16];
        while (peek_hex(l)) {
            next();
            int n = parse_hex_line(l.text, buf);
            if (n < 0) {
                add(Rule::JunkLine, what + ": line at byte " + std::to_string(l.start) + " is not a hex dump line");
                ok = false;
                continue;
            }
            if (short_seen) {
                add(Rule::JunkLine, what + ": a short line stands before byte " + std::to_string(l.start));
                ok = false;
            }
            short_seen = n < 16;
            if (out) out->insert(out->end(), buf, buf + n);
            count += static_cast<uint64_t>(n);
        }
        return ok;
    }

    void block(Block b) {
        uint64_t count = 0;
        const bool page = b.kind == BlockKind::ScsiPage;
        const std::string what = block_name(b);
        Line l;
        const bool has_text = b.kind == BlockKind::AtaSmartStatus || b.kind == BlockKind::GrownDefects;
        if (has_text && pos_ < s_.size() && (l = line_at(s_, pos_), !l.text.empty()) && l.text[0] != ' ' &&
            l.text[0] != '<') {
            next();
            b.text = std::string(l.text);
            const bool known =
                b.kind == BlockKind::AtaSmartStatus ? status_line(b.text) : b.text == kDefectsUnsupported;
            if (!known) {
                add(Rule::BlockText, what + ": its line \"" + b.text + "\" is not one the collector writes");
                b.damaged = true;
            }
            b.damaged |= !hex_block(nullptr, count, what);
            log_.blocks.push_back(std::move(b));
            return;
        }
        b.damaged = !hex_block(&b.bytes, count, what);
        const size_t n = b.bytes.size();
        if (n == 0) {
            b.unread = true;  // judged with the error log's records of the disk
        } else if (page) {
            check_page(b, what);
        } else {
            size_t want = 512;
            switch (b.kind) {
            case BlockKind::GrownDefects: want = 4; break;
            case BlockKind::AtaSmartStatus: want = 0; break;
            default: break;
            }
            const bool logs = b.kind == BlockKind::AtaSmartLog || b.kind == BlockKind::AtaGplLog;
            if (logs ? n % 512 != 0 : n != want) {
                add(Rule::BlockLength, what + " holds " + std::to_string(n) + " bytes, not " +
                                           (logs ? "whole 512-byte sectors" : std::to_string(want)));
                b.damaged = true;
            }
        }
        log_.blocks.push_back(std::move(b));
    }

    // A page must be the page (and subpage) its tag names, and its length
    // field must give the bytes present.
    void check_page(Block& b, const std::string& what) {
        const size_t n = b.bytes.size();
        if (n < 4) {
            add(Rule::PageLength, what + " holds " + std::to_string(n) + " bytes, less than its header");
            b.damaged = true;
            return;
        }
        const bool sub = b.tag[0] == 'S';
        const size_t claimed = (size_t{b.bytes[2]} << 8 | b.bytes[3]) + 4;
        const bool spf = b.bytes[0] & 0x40;
        if ((b.bytes[0] & 0x3f) != (b.page & 0x3f) || (sub && (!spf || b.bytes[1] != b.subpage))) {
            add(Rule::PageCode, what + " holds page " + hex_bytes(b.bytes.data(), sub ? 2 : 1));
            b.damaged = true;
        }
        if (claimed != n) {
            add(Rule::PageLength, what + ": its length field gives " + std::to_string(claimed) + " bytes, " +
                                      std::to_string(n) + " are present");
            b.damaged = true;
        }
    }

    void section(const Line& header) {
        SectionBlock sec;
        sec.name = std::string(header.text.substr(1, header.text.size() - 2));
        for (auto& k : kSections)
            if (sec.name == k.name) sec.type = k.type;
        const std::string what = "section \"" + sec.name + "\"";
        if (sec.type == 0) {
            add(Rule::JunkLine, "unknown block " + std::string(header.text));
            uint64_t ignored = 0;
            hex_block(nullptr, ignored, what);
            return;
        }

        Line first;
        uint8_t b[16];
        int n = peek_hex(first) ? parse_hex_line(first.text, b) : -1;
        if (n >= 3) {
            // A section of 3 bytes (length field 0) shows only the first two
            // bytes of its field; a longer one shows it whole.
            sec.length = (uint64_t{b[1]} << 16 | uint64_t{b[2]} << 8 | (n > 3 ? b[3] : 0)) + 3;
            // The jump assumes full lines from the first one on.
            const bool first_whole = static_cast<uint64_t>(n) == std::min<uint64_t>(16, sec.length);
            if (first_whole && land(sec.length)) {
                sec.present = sec.length;
                log_.sections.push_back(std::move(sec));
                return;
            }
        }
        // The landing point does not have the expected shape: read the block
        // line by line to find out what is wrong.
        uint64_t count = 0;
        hex_block(nullptr, count, what);
        sec.present = count;
        if (n < 3) {
            add(Rule::SectionLength, what + " has no length field");
        } else if (count < sec.length) {
            add(Rule::SectionCut,
                what + " is cut: " + std::to_string(count) + " of " + std::to_string(sec.length) + " bytes present");
        } else if (count > sec.length) {
            add(Rule::SectionLength, what + " holds " + std::to_string(count) + " bytes, its length field gives " +
                                         std::to_string(sec.length));
        }
        log_.sections.push_back(std::move(sec));
    }

    // Jumps over a section of `len` bytes dumped from pos_ when the end lands
    // on the expected shape: the last line complete with the right number of
    // bytes, followed by the end of the file or another block header.
    bool land(uint64_t len) {
        const uint64_t full = len / 16, rest = len % 16;
        const uint64_t last_bytes = rest ? rest : 16;
        const uint64_t size = full * kFullLine + (rest ? rest * 3 + 2 : 0);
        if (size > s_.size() - pos_) return false;
        const size_t end = pos_ + static_cast<size_t>(size);
        if (end < s_.size() && s_[end] != '<') return false;
        const size_t last_len = static_cast<size_t>(last_bytes * 3 + 2);
        const size_t last = end - last_len;
        if (last > pos_ && s_[last - 1] != '\n') return false;
        if (s_[end - 2] != '\r' || s_[end - 1] != '\n') return false;
        uint8_t b[16];
        if (parse_hex_line(s_.substr(last, last_len - 2), b) != static_cast<int>(last_bytes)) return false;
        pos_ = end;
        return true;
    }

    std::string_view s_;
    size_t pos_ = 0;
    size_t lf_only_ = 0, junk_ = 0;
    DriveLog log_;
};

}  // namespace

int parse_hex_line(std::string_view line, uint8_t* out) {
    if (line.empty() || line.size() % 3 != 0 || line.size() > 48) return -1;
    int n = 0;
    for (size_t i = 0; i < line.size(); i += 3) {
        int hi = hexval(line[i + 1]), lo = hexval(line[i + 2]);
        if (line[i] != ' ' || hi < 0 || lo < 0) return -1;
        out[n++] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return n;
}

DriveLog read_drive_log(std::string_view text) { return Reader(text).run(); }

std::string block_name(const Block& b) {
    if (b.kind != BlockKind::ScsiPage) return "block <" + b.tag + ">";
    return b.tag[0] == 'P' ? "page " + b.tag.substr(4) : "subpage " + b.tag.substr(7);
}

bool DriveLog::ata() const {
    for (auto& b : blocks)
        if (b.kind != BlockKind::ScsiPage && b.kind != BlockKind::GrownDefects) return true;
    return false;
}

const Block* DriveLog::find(BlockKind kind, uint8_t page, uint16_t log_page) const {
    for (auto& b : blocks)
        if (b.kind == kind && b.page == page && b.log_page == log_page) return &b;
    return nullptr;
}

}  // namespace rpt
