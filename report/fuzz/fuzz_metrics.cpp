// libFuzzer target: any bytes as a disk's serial, model and host in the
// metrics, and as a controller's drive serial and virtual drive RAID level. Every line written must read back with a parser of the text
// format (below), the labels must come back as given (bytes that are not
// UTF-8 as U+FFFD), and a line feed must never end a sample early.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "metrics.h"

namespace {

// A sample line: NAME{LABEL="VALUE",...} NUMBER; the labels unescaped.
bool parse_sample(std::string_view line, std::map<std::string, std::string>& labels) {
    size_t i = line.find_first_of("{ ");
    if (i == std::string_view::npos || i == 0) return false;
    if (line[i] == '{') {
        ++i;
        while (i < line.size() && line[i] != '}') {
            const size_t eq = line.find("=\"", i);
            if (eq == std::string_view::npos) return false;
            std::string name(line.substr(i, eq - i)), value;
            for (i = eq + 2; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] != '\\') {
                    value += line[i];
                    continue;
                }
                if (++i == line.size()) return false;
                if (line[i] == 'n')
                    value += '\n';
                else if (line[i] == '\\' || line[i] == '"')
                    value += line[i];
                else
                    return false;
            }
            if (i == line.size()) return false;
            labels[name] = value;
            if (++i < line.size() && line[i] == ',') ++i;
        }
        if (i == line.size() || line.substr(i, 2) != "} ") return false;
        ++i;
    }
    return line[i] == ' ' && i + 1 < line.size();
}

// The bytes as the metrics must give them back: invalid UTF-8 as U+FFFD.
std::string expected(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const size_t n = rpt::utf8_length(s, i);
        out += n ? std::string(s.substr(i, n)) : "\xef\xbf\xbd";
        i += n ? n : 1;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    rpt::Report report;
    report.collections.emplace_back();
    rpt::Collection& c = report.collections.back();
    c.host = bytes;
    c.collected = 1700000000;
    rpt::Disk d;
    d.host = bytes;
    d.serial = bytes;
    d.protocol = rpt::Protocol::Ata;
    d.product = bytes;
    d.controller = 0;
    d.device = 1;
    c.disks.push_back(d);
    rpt::Controller& ctl = c.controllers.emplace_back();
    rpt::VirtualDrive vd;
    vd.id = 0;
    vd.raid_level = bytes;
    vd.state_kind = rpt::VirtualDriveState::Degraded;
    ctl.virtual_drives.push_back(vd);
    rpt::PhysicalDrive pd;
    pd.serial = bytes;
    pd.state = rpt::DriveState::Offline;
    pd.media_errors = 22;
    ctl.physical_drives.push_back(pd);

    const std::string text = rpt::render_metrics(report);
    size_t samples = 0;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) abort();  // the last line ends too
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (line.starts_with("# HELP ") || line.starts_with("# TYPE ")) continue;
        std::map<std::string, std::string> labels;
        if (!parse_sample(line, labels)) abort();
        ++samples;
        if (labels.count("serial") && (labels["serial"] != expected(bytes) || labels["host"] != expected(bytes)))
            abort();
        if (labels.count("raid_level") && labels["raid_level"] != expected(bytes)) abort();
        // The model is trimmed of blanks and zero bytes at either end.
        if (labels.count("model") && labels["model"] != expected(rpt::trim(bytes))) abort();
    }
    // Success, collection time, the disk's info, its four verdict states,
    // its five risk bands, and four findings for the host and for the disk;
    // the virtual drive's state, the drive's state and its media errors.
    if (samples != 23) abort();
    return 0;
}
