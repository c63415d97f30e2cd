#include "drivelog.h"

#include <algorithm>
#include <cstring>

namespace rpt {
namespace {

constexpr size_t kFullLine = 50;  // 16 × " xx" and CR LF

struct Line {
    std::string_view text;  // without its line end
    size_t start = 0;
    size_t next = 0;        // offset after the line end
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
constexpr SectionName kSections[] = {{"Drive Status Log", 1},
                                     {"Drive Interna Log", 2},
                                     {"Command Log", 4},
                                     {"Controller Internal Information", 8}};

bool is_page_tag(std::string_view t) {
    return t.size() == 8 && t.substr(0, 5) == "<Page" && t[7] == '>' && hexval(t[5]) >= 0 && hexval(t[6]) >= 0;
}

class Reader {
public:
    explicit Reader(std::string_view s) : s_(s) {}

    DriveLog run() {
        if (s_.empty()) {
            add(Severity::Warn, "empty-file", "the drive log is empty");
            return std::move(log_);
        }
        identity();
        while (pos_ < s_.size()) {
            Line l = next();
            if (l.text.empty()) {
                add(Severity::Warn, "junk-line", "empty line at byte " + std::to_string(l.start));
            } else if (is_page_tag(l.text)) {
                page(l);
            } else if (l.text.front() == '<' && l.text.back() == '>') {
                section(l);
            } else {
                add(Severity::Warn, "junk-line", "unexpected line at byte " + std::to_string(l.start));
            }
        }
        if (lf_only_ > 0)
            add(Severity::Warn, "line-ends",
                std::to_string(lf_only_) + " line(s) end in LF alone instead of CR LF");
        return std::move(log_);
    }

private:
    void add(Severity sev, std::string code, std::string text) {
        log_.findings.push_back({sev, std::move(code), std::move(text)});
    }

    // The next line, with its end checked: a torn last line (no line end)
    // means the file was cut while it was written.
    Line next() {
        Line l = line_at(s_, pos_);
        pos_ = l.next;
        if (!l.terminated)
            add(Severity::Warn, "torn-line", "the last line has no line end: the file was cut at byte " +
                                                 std::to_string(s_.size()));
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
            add(Severity::Warn, "identity", "the identity lines are missing or damaged");
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
                add(Severity::Warn, "junk-line", what + ": line at byte " + std::to_string(l.start) +
                                                     " is not a hex dump line");
                ok = false;
                continue;
            }
            if (short_seen) {
                add(Severity::Warn, "junk-line", what + ": a short line stands before byte " +
                                                     std::to_string(l.start));
                ok = false;
            }
            short_seen = n < 16;
            if (out) out->insert(out->end(), buf, buf + n);
            count += static_cast<uint64_t>(n);
        }
        return ok;
    }

    void page(const Line& header) {
        PageBlock p;
        p.tag = std::string(header.text.substr(5, 2));
        uint64_t count = 0;
        const std::string what = "page " + p.tag;
        p.damaged = !hex_block(&p.bytes, count, what);
        const size_t n = p.bytes.size();
        if (n == 0) {
            if (!p.damaged) add(Severity::Warn, "page-unread", what + " has no bytes: the drive did not answer it");
        } else if (n < 4) {
            add(Severity::Warn, "page-length", what + " holds " + std::to_string(n) + " bytes, less than its header");
            p.damaged = true;
        } else {
            const unsigned listed = static_cast<unsigned>(hexval(p.tag[0]) * 16 + hexval(p.tag[1])) & 0x3f;
            const size_t claimed = (size_t{p.bytes[2]} << 8 | p.bytes[3]) + 4;
            if ((p.bytes[0] & 0x3f) != listed) {
                add(Severity::Warn, "page-code", what + " holds page " + hex_bytes(p.bytes.data(), 1));
                p.damaged = true;
            }
            if (claimed != n) {
                add(Severity::Warn, "page-length", what + ": its length field gives " + std::to_string(claimed) +
                                                       " bytes, " + std::to_string(n) + " are present");
                p.damaged = true;
            }
        }
        log_.pages.push_back(std::move(p));
    }

    void section(const Line& header) {
        SectionBlock sec;
        sec.name = std::string(header.text.substr(1, header.text.size() - 2));
        for (auto& k : kSections)
            if (sec.name == k.name) sec.type = k.type;
        const std::string what = "section \"" + sec.name + "\"";
        if (sec.type == 0) {
            add(Severity::Warn, "junk-line", "unknown block " + std::string(header.text));
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
            add(Severity::Warn, "section-length", what + " has no length field");
        } else if (count < sec.length) {
            add(Severity::Warn, "section-cut", what + " is cut: " + std::to_string(count) + " of " +
                                                   std::to_string(sec.length) + " bytes present");
        } else if (count > sec.length) {
            add(Severity::Warn, "section-length", what + " holds " + std::to_string(count) +
                                                      " bytes, its length field gives " + std::to_string(sec.length));
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
    size_t lf_only_ = 0;
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

}  // namespace rpt
