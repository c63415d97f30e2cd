// The builders of expected text: console lines, controller-log calls, disks,
// log pages, internal-log sections and error-log records.
#include "harness.h"

#include <cstdio>
#include <sstream>

#include "bytes.h"

namespace e2e {

std::string title() { return "\033[34m<<< RAID SAS/SATA KESTRA DUMP TOOL  Ver01-10-00 >>>\n\033[0m"; }

std::string red(const std::string& text) { return kRed + text + kReset; }

std::string red_lines(const std::string& text) {
    std::string s;
    for (auto& l : testbytes::lines(text)) s += red(l + "\n");
    return s;
}

std::vector<std::string> pauses(int n) { return std::vector<std::string>(static_cast<size_t>(n), "sleep 1"); }

std::string listing(const std::vector<std::string>& names) {
    std::string s;
    for (auto& n : names) s += n + " ";
    return s;
}

const std::vector<Collector>& six_collectors() {
    static const std::vector<Collector> c = {
        {"fwtermlog", "Uart Log", "Uart Log", "Controller_%d_fwtermlog.log"},
        {"cfgdsply", "RAID Configuration", "RAID Configuration", "Controller_%d_cfgdsply.log"},
        {"adpallinfo", "RAID Controller Information", "RAID Controller Information", "Controller_%d_adpallinfo.log"},
        {"pdlist", "Physical Drive List", "Physical Drive List", "Controller_%d_pdlist.log"},
        {"ldinfo", "Logical Drive Information", "Logical Drive Information", "Controller_%d_ldinfo.log"},
        {"ldpdinfo", "Logical/Physical Drive Information", "Logical/Physical Drive Information",
         "Controller_%d_ldpdinfo.log"},
    };
    return c;
}

const Collector& event_collector() {
    static const Collector c{"adpeventlog", "FlashROM Log", "FlashROM Log", "controller_%d_Flashrom.log"};
    return c;
}

static std::string fmt_i(const std::string& pattern, int i) {
    char buf[256];
    snprintf(buf, sizeof buf, pattern.c_str(), i);
    return buf;
}

std::string collector_ok(const Collector& c, int i) {
    return "Controller " + std::to_string(i) + " : " + c.progress + " saving...\n" + c.what + " save success.\n\n";
}

std::string collector_fail(const Collector& c, int i) {
    return "Controller " + std::to_string(i) + " : " + c.progress + " saving...\n" +
           red(" " + c.what + " save error !\n\n");
}

std::string collector_record(const Collector& c) { return " " + c.what + " save error !\n\n"; }

std::vector<std::string> collector_args(const Collector& c, int i, const std::string& logdir) {
    std::string a = "-a" + std::to_string(i);
    std::string file = logdir + "/" + fmt_i(c.file, i);
    if (c.cmd == "fwtermlog") return {"-fwtermlog", "-dsply", a};
    if (c.cmd == "ldinfo") return {"-ldinfo", "-Lall", a};
    if (c.cmd == "adpeventlog") return {"-adpeventlog", "-getevents", "-f", file, a};
    return {"-" + c.cmd, a};
}

std::string collector_stdout(const Collector& c, int i, const std::string& logdir) {
    if (c.cmd == "adpeventlog") return "/dev/null";
    return logdir + "/" + fmt_i(c.file, i);
}

std::string full_run(int n, const std::string& drives, const FailSet& fail) {
    std::string s = title() + kSaving;
    for (auto& c : six_collectors())
        for (int i = 0; i < n; ++i) s += fail.count({c.cmd, i}) ? collector_fail(c, i) : collector_ok(c, i);
    s += drives + "\n";
    for (int i = 0; i < n; ++i)
        s += fail.count({"adpeventlog", i}) ? collector_fail(event_collector(), i) : collector_ok(event_collector(), i);
    return s + kReset;
}

std::vector<std::string> cli_call(const Case& c, const std::string& out, const std::vector<std::string>& args,
                                  const std::string& cli) {
    std::vector<std::string> v{"stdout=" + out, c.work + "/" + (cli.empty() ? c.tool.cli_name : cli)};
    v.insert(v.end(), args.begin(), args.end());
    return v;
}

std::vector<std::string> count_call(const Case& c, const std::string& tmpdir, const std::string& cli) {
    return cli_call(c, tmpdir + "/adpconf.txt", {"-adpcount", "-NoLog"}, cli);
}

std::vector<std::vector<std::string>> full_run_calls(const Case& c, int n) {
    std::vector<std::vector<std::string>> v{count_call(c)};
    for (auto& col : six_collectors())
        for (int i = 0; i < n; ++i)
            v.push_back(cli_call(c, collector_stdout(col, i, c.logdir()), collector_args(col, i, c.logdir())));
    for (int i = 0; i < n; ++i)
        v.push_back(cli_call(c, collector_stdout(event_collector(), i, c.logdir()),
                             collector_args(event_collector(), i, c.logdir())));
    return v;
}

std::string Disk::device() const {
    return "device " + std::to_string(ctrl) + " " + std::to_string(tgt) + " sas vendor \"" + vendor + "\" product \"" +
           product + "\" rev \"" + rev + "\" serial \"" + serial + "\"\n";
}

std::string Disk::identity() const { return e2e::identity(vendor + product + rev, serial); }

std::string Disk::saving() const {
    return "Controller " + std::to_string(ctrl) + "/ Target " + std::to_string(tgt) + " : HardDisk Log saving...\n";
}

std::string Disk::file() const {
    char b[32];
    snprintf(b, sizeof b, "MA%02x%02x.log", static_cast<unsigned>(ctrl), static_cast<unsigned>(tgt));
    return b;
}

std::string identity(const std::string& code, const std::string& serial) {
    return "Device code   : " + code + "\r\nSerial number : " + serial + "\r\n";
}

std::string page_block(const std::string& code, const Bytes& data) {
    return "<Page" + code + ">\r\n" + hex_lines(data);
}

std::string section_title(int type) {
    switch (type) {
    case 1: return "<Drive Status Log>\r\n";
    case 2: return "<Drive Interna Log>\r\n";  // sic: the tool's own title
    case 4: return "<Command Log>\r\n";
    case 8: return "<Controller Internal Information>\r\n";
    }
    return "<no section " + std::to_string(type) + ">\r\n";
}

Bytes section(int type, size_t len) {
    Bytes b(std::max<size_t>(len, 4));
    const size_t l = len - 3;
    b[0] = static_cast<unsigned char>(type);
    b[1] = static_cast<unsigned char>(l >> 16);
    b[2] = static_cast<unsigned char>(l >> 8);
    b[3] = static_cast<unsigned char>(l);
    for (size_t i = 4; i < len; ++i) b[i] = static_cast<unsigned char>(i - 4);
    b.resize(len);  // a section of 3 bytes ends inside its length field
    return b;
}

std::string section_block(int type, size_t len) { return section_title(type) + hex_lines(section(type, len)); }

std::string section_statements(int ctrl, int tgt, const std::vector<size_t>& lens) {
    std::string s;
    for (size_t i = 0; i < lens.size() && i < std::size(kSectionTypes); ++i)
        s += "internal " + std::to_string(ctrl) + " " + std::to_string(tgt) + " " + std::to_string(kSectionTypes[i]) +
             " " + std::to_string(lens[i]) + "\n";
    return s;
}

std::string scsi_detail(int ctrl, int tgt, const std::vector<unsigned char>& cdb, unsigned rc,
                        const std::vector<unsigned char>& sense) {
    char b[64];
    snprintf(b, sizeof b, "H%02xT%02x Command error , ", ctrl, tgt);
    std::string s = b;
    for (size_t i = 0; i < 10; ++i) {
        snprintf(b, sizeof b, "%02x ", i < cdb.size() ? cdb[i] : 0);
        s += b;
    }
    snprintf(b, sizeof b, ", %08x, ", rc);
    s += b;
    for (size_t i = 0; i < 20; ++i) {
        snprintf(b, sizeof b, "%02x ", i < sense.size() ? sense[i] : 0);
        s += b;
    }
    return s + "\r\n";
}

std::string trace_field(const std::string& line, const std::string& key) {
    std::string k = " " + key + "=";
    size_t at = line.find(k);
    if (at == std::string::npos) return "";
    at += k.size();
    size_t end = line.find(' ', at);
    return line.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

std::vector<std::string> cdbs(const Case& c, int ctrl, int tgt) {
    std::vector<std::string> v;
    for (auto& l : c.lib_calls()) {
        if (trace_field(l, "type") != "6" || trace_field(l, "cmd") != "0") continue;
        if (trace_field(l, "ctrl") != std::to_string(ctrl) || trace_field(l, "tgt") != std::to_string(tgt)) continue;
        std::string cdb;
        for (char ch : trace_field(l, "cdb"))
            if (ch != ' ') cdb += static_cast<char>(tolower(static_cast<unsigned char>(ch)));
        v.push_back(cdb);
    }
    return v;
}

std::vector<std::pair<std::string, Bytes>> page_blocks(const std::string& log) {
    std::vector<std::pair<std::string, Bytes>> blocks;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("<Page", 0) == 0 && line.size() == 8 && line[7] == '>') {
            blocks.push_back({line.substr(5, 2), {}});
        } else if (!blocks.empty() && !line.empty() && line[0] == ' ') {
            auto b = bytes_of(line);
            blocks.back().second.insert(blocks.back().second.end(), b.begin(), b.end());
        } else if (!blocks.empty() && line[0] == '<') {
            break;
        }
    }
    return blocks;
}

}  // namespace e2e
