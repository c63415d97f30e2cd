// Helpers shared by the report's tests.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ata_format.h"
#include "bytes.h"
#include "drivelog.h"

namespace rpt::test {

inline std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// How often `what` stands in `s` (overlaps counted).
inline size_t count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

// The section `name` of logdump-report(1), with its escaped hyphens plain.
inline std::string man_section(const std::string& name) {
    std::string man = slurp(std::string(REPORT_SOURCE_DIR) + "/../man/logdump-report.1");
    for (size_t at; (at = man.find("\\-")) != std::string::npos;) man.replace(at, 2, "-");
    const size_t from = man.find("\n.SH " + name + "\n");
    return from == std::string::npos ? "" : man.substr(from, man.find("\n.SH ", from + 1) + 1 - from);
}

// Bytes of hex text ("0d00000c...", blanks allowed): the harness's reader.
inline std::vector<uint8_t> unhex(const std::string& h) { return testbytes::bytes_of(h); }

// The collector's hex dump: " %02x" per byte, 16 a line, CR LF.
inline std::string dump(const std::vector<uint8_t>& b) { return testbytes::hex_lines(b); }

// The bytes of a file in the collector's hex dump format.
inline std::vector<uint8_t> read_dump(const std::string& path) {
    std::vector<uint8_t> out;
    std::istringstream in(slurp(path));
    std::string line;
    uint8_t b[16];
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        int n = parse_hex_line(line, b);
        if (n > 0) out.insert(out.end(), b, b + n);
    }
    return out;
}

}  // namespace rpt::test

namespace rpt::test {

// A log page from its code and parameters, each "cccc" code then data hex.
inline std::vector<uint8_t> param(uint16_t code, const std::string& data, uint8_t control = 0x03) {
    auto d = unhex(data);
    std::vector<uint8_t> p = {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code), control,
                              static_cast<uint8_t>(d.size())};
    p.insert(p.end(), d.begin(), d.end());
    return p;
}

// A page; with a subpage, its SPF bit is set.
inline std::vector<uint8_t> page(uint8_t code, const std::vector<std::vector<uint8_t>>& params, uint8_t subpage = 0) {
    std::vector<uint8_t> body;
    for (auto& p : params) body.insert(body.end(), p.begin(), p.end());
    std::vector<uint8_t> out = {static_cast<uint8_t>(code | (subpage ? 0x40 : 0)), subpage,
                                static_cast<uint8_t>(body.size() >> 8), static_cast<uint8_t>(body.size())};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

}  // namespace rpt::test

namespace rpt::test {

// What promtool says against a metrics file: "" when it accepts it (the
// format and the naming guide's lint both), else its messages.
inline std::string promtool_check(const std::string& file) {
    const std::string out = file + ".promtool";
    const int rc = system(("promtool check metrics < '" + file + "' > '" + out + "' 2>&1").c_str());
    std::string said = slurp(out);
    std::remove(out.c_str());
    if (rc == 0) return "";
    return said.empty() ? "promtool failed (is the Debian package prometheus installed?)" : said;
}

}  // namespace rpt::test

namespace rpt::test {

// "format:byte order:name:kind", and ":increasing" where so, of a preset.
inline std::string shown(const AttributeFormat& f) {
    const char* kind = f.kind == DriveKind::Hdd ? "hdd" : f.kind == DriveKind::Ssd ? "ssd" : "any";
    return std::string(format_name(f.format)) + ":" + f.byte_order + ":" + f.name + ":" + kind +
           (f.increasing ? ":increasing" : "");
}

}  // namespace rpt::test
