#include "scenario.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <stdexcept>

#include "util.h"

namespace sim {

namespace {

constexpr uint32_t kMaxSectionLen = 0xFFFFFF + 3;

struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& what) { throw Error(what); }

// Splits one line into tokens: blanks separate, double quotes group, '#'
// outside quotes ends the line.
std::vector<std::string> tokenize(const std::string& line) {
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#') break;
        std::string tok;
        if (c == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos) fail("unterminated quote");
            tok = line.substr(i + 1, end - i - 1);
            i = end + 1;
            if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#')
                fail("text right after a closing quote");
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#' &&
                   line[i] != '"')
                tok += line[i++];
            if (i < line.size() && line[i] == '"') fail("quote inside a token");
        }
        tokens.push_back(tok);
    }
    return tokens;
}

// Decimal or 0x hex, optionally negative.
long long parse_number(const std::string& tok, long long lo, long long hi, const char* what) {
    if (tok.empty()) fail(std::string("missing ") + what);
    const char* s = tok.c_str();
    bool neg = false;
    if (*s == '-') {
        neg = true;
        ++s;
    }
    int base = 10;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s += 2;
    }
    if (*s == '\0') fail(std::string("bad ") + what + " '" + tok + "'");
    for (const char* p = s; *p; ++p)
        if (base == 10 ? !isdigit(static_cast<unsigned char>(*p)) : !isxdigit(static_cast<unsigned char>(*p)))
            fail(std::string("bad ") + what + " '" + tok + "'");
    errno = 0;
    unsigned long long v = strtoull(s, nullptr, base);
    if (errno == ERANGE || v > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
        fail(std::string(what) + " out of range: " + tok);
    long long r = neg ? -static_cast<long long>(v) : static_cast<long long>(v);
    if (r < lo || r > hi) fail(std::string(what) + " out of range: " + tok);
    return r;
}

// A raidstor result code: signed decimal or a 32-bit hex value.
int32_t parse_code(const std::string& tok) {
    long long v = parse_number(tok, std::numeric_limits<int32_t>::min(), 0xFFFFFFFFLL, "code");
    if (v == 0) fail("a failure code must not be 0");
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

// A plain hex number as in "logsense:0d" (an optional 0x is accepted).
unsigned parse_hex_number(const std::string& tok, unsigned hi, const std::string& whole) {
    std::string s = tok;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = s.substr(2);
    if (s.empty() || s.size() > 8 || !std::all_of(s.begin(), s.end(), [](char c) { return isxdigit(static_cast<unsigned char>(c)); }))
        fail("bad WHAT '" + whole + "'");
    unsigned long v = strtoul(s.c_str(), nullptr, 16);
    if (v > hi) fail("bad WHAT '" + whole + "'");
    return static_cast<unsigned>(v);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot read " + path);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string resolve(const std::string& base_dir, const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    return (base_dir.empty() ? std::string(".") : base_dir) + "/" + name;
}

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

const std::set<std::string> kCliCommands = {"fwtermlog", "cfgdsply", "adpallinfo", "pdlist",
                                            "ldinfo",    "ldpdinfo", "adpeventlog", "adpcount"};

void default_identity(Device& d) {
    char serial[32];
    switch (d.kind) {
    case DeviceKind::Sas:
        d.vendor = "ACMEDRV";
        d.product = "DK600SA0006";
        d.rev = "0004";
        snprintf(serial, sizeof serial, "S0M%02u%04uK", d.ctrl % 100, d.id);
        d.ptype = 0x00;
        d.interface = 2;
        d.blocks = 1172123568ULL;
        break;
    case DeviceKind::Sata:
        d.vendor = "ATA";
        d.product = "DK1000SB0033-ABC";
        d.rev = "SN04";
        snprintf(serial, sizeof serial, "Z1W%02u%04uA", d.ctrl % 100, d.id);
        d.ptype = 0x00;
        d.interface = 1;
        d.blocks = 1953525168ULL;
        break;
    case DeviceKind::Enclosure:
        d.vendor = "SIMENCL";
        d.product = "SIM 28-port Encl";
        d.rev = "0601";
        snprintf(serial, sizeof serial, "500605B0%02u%04u", d.ctrl % 100, d.id);
        d.ptype = 0x0D;
        d.interface = 2;
        d.blocks = 0;
        break;
    case DeviceKind::Silent:
        d.vendor = "";
        d.product = "";
        d.rev = "";
        snprintf(serial, sizeof serial, "-");
        d.ptype = 0x00;
        d.interface = 0;
        d.blocks = 0;
        break;
    }
    d.serial = serial;
}

class Parser {
public:
    Parser(Scenario& sc, std::string base_dir) : sc_(sc), base_(std::move(base_dir)) {}

    void statement(const std::vector<std::string>& t, int line) {
        line_ = line;
        const std::string& s = t[0];
        if (s == "controller") controller(t);
        else if (s == "controller-info-error") controller_info_error(t);
        else if (s == "cli") cli(t);
        else if (s == "device") device(t);
        else if (s == "page") page(t, false);
        else if (s == "page-file") page(t, true);
        else if (s == "captured-pages") captured(t);
        else if (s == "internal") internal(t);
        else if (s == "smart") smart(t, false);
        else if (s == "smart-file") smart(t, true);
        else if (s == "fault") rule(t, RuleAction::Fault);
        else if (s == "ata-error") rule(t, RuleAction::AtaError);
        else if (s == "delay") rule(t, RuleAction::Delay);
        else if (s == "transfer") rule(t, RuleAction::Transfer);
        else fail("unknown statement '" + s + "'");
    }

private:
    Scenario& sc_;
    std::string base_;
    int line_ = 0;

    static void need(const std::vector<std::string>& t, size_t n, const char* usage) {
        if (t.size() < n) fail(std::string("too few tokens; usage: ") + usage);
    }
    static void exactly(const std::vector<std::string>& t, size_t n, const char* usage) {
        if (t.size() != n) fail(std::string(t.size() < n ? "too few" : "too many") + " tokens; usage: " + usage);
    }

    static unsigned ctrl_index(const std::string& tok) {
        return static_cast<unsigned>(parse_number(tok, 0, 255, "controller index"));
    }
    static uint16_t device_id(const std::string& tok) {
        return static_cast<uint16_t>(parse_number(tok, 0, 0xFFFF, "device id"));
    }

    Controller& ensure_controller(unsigned c) {
        auto [it, added] = sc_.controllers.try_emplace(c);
        if (added) it->second.index = c;
        return it->second;
    }

    Device& existing_device(const std::string& ctok, const std::string& itok) {
        unsigned c = ctrl_index(ctok);
        uint16_t id = device_id(itok);
        auto it = sc_.devices.find({c, id});
        if (it == sc_.devices.end())
            fail("device " + std::to_string(c) + " " + std::to_string(id) + " is not declared before this line");
        return it->second;
    }

    void controller(const std::vector<std::string>& t) {
        const char* usage = "controller c [count N] [lds N]";
        need(t, 2, usage);
        unsigned c = ctrl_index(t[1]);
        if (declared_.count(c)) fail("controller " + std::to_string(c) + " declared twice");
        declared_.insert(c);
        Controller& ctl = ensure_controller(c);
        for (size_t i = 2; i < t.size(); i += 2) {
            if (i + 1 >= t.size()) fail(std::string("key '") + t[i] + "' without a value; usage: " + usage);
            if (t[i] == "count") ctl.count = static_cast<unsigned>(parse_number(t[i + 1], 0, 255, "count"));
            else if (t[i] == "lds") ctl.logicalDrives = static_cast<unsigned>(parse_number(t[i + 1], 0, 64, "lds"));
            else fail("unknown controller key '" + t[i] + "'");
        }
    }
    std::set<unsigned> declared_;

    void controller_info_error(const std::vector<std::string>& t) {
        exactly(t, 3, "controller-info-error c CODE");
        ensure_controller(ctrl_index(t[1])).infoError = parse_code(t[2]);
    }

    void cli(const std::vector<std::string>& t) {
        need(t, 2, "cli count N | cli count-line TEXT | cli exit CMD c|* STATUS | cli sleep CMD c|* MS");
        const std::string& what = t[1];
        if (what == "count") {
            exactly(t, 3, "cli count N");
            sc_.cliCount = static_cast<long>(parse_number(t[2], -2147483647LL - 1, 2147483647LL, "count"));
        } else if (what == "count-line") {
            exactly(t, 3, "cli count-line \"TEXT\"");
            sc_.countLines.push_back(t[2]);
        } else if (what == "exit" || what == "sleep") {
            exactly(t, 5, what == "exit" ? "cli exit CMD c|* STATUS" : "cli sleep CMD c|* MS");
            CliRule r;
            r.exit = what == "exit";
            r.cmd = lower(t[2]);
            if (!r.cmd.empty() && r.cmd[0] == '-') r.cmd.erase(0, 1);
            if (!kCliCommands.count(r.cmd)) fail("unknown CLI command '" + t[2] + "'");
            r.ctrl = t[3] == "*" ? kAny : static_cast<int>(ctrl_index(t[3]));
            r.value = r.exit ? static_cast<int>(parse_number(t[4], 0, 255, "exit status"))
                             : static_cast<int>(parse_number(t[4], 0, 3600000, "milliseconds"));
            sc_.cliRules.push_back(r);
        } else {
            fail("unknown cli statement '" + what + "'");
        }
    }

    void device(const std::vector<std::string>& t) {
        const char* usage = "device c id KIND [key value]...";
        need(t, 4, usage);
        Device d;
        d.ctrl = ctrl_index(t[1]);
        d.id = device_id(t[2]);
        if (t[3] == "sas") d.kind = DeviceKind::Sas;
        else if (t[3] == "sata") d.kind = DeviceKind::Sata;
        else if (t[3] == "enclosure") d.kind = DeviceKind::Enclosure;
        else if (t[3] == "silent") d.kind = DeviceKind::Silent;
        else fail("unknown device kind '" + t[3] + "' (sas, sata, enclosure, silent)");
        default_identity(d);
        for (size_t i = 4; i < t.size(); i += 2) {
            if (i + 1 >= t.size()) fail("key '" + t[i] + "' without a value");
            const std::string& k = t[i];
            const std::string& v = t[i + 1];
            auto text = [&](size_t max) {
                if (v.size() > max) fail(k + " longer than " + std::to_string(max) + " characters");
                return v;
            };
            if (k == "vendor") d.vendor = text(8);
            else if (k == "product") d.product = text(16);
            else if (k == "rev") d.rev = text(4);
            else if (k == "serial") d.serial = text(20);
            else if (k == "ptype") d.ptype = static_cast<uint8_t>(parse_number(v, 0, 0x1F, "ptype"));
            else if (k == "interface") d.interface = static_cast<uint8_t>(parse_number(v, 0, 15, "interface"));
            else if (k == "pdinfo-error") d.pdinfoError = parse_code(v);
            else if (k == "blocks") d.blocks = static_cast<uint64_t>(parse_number(v, 0, 0xFFFFFFFFFFFFLL, "blocks"));
            else fail("unknown device key '" + k + "'");
        }
        ensure_controller(d.ctrl);
        if (!sc_.devices.emplace(std::make_pair(d.ctrl, d.id), d).second)
            fail("device " + t[1] + " " + t[2] + " declared twice");
    }

    static void set_page(Device& d, uint8_t code, std::vector<uint8_t> bytes) {
        for (auto& p : d.pages) {
            if (p.code == code) {
                p.bytes = std::move(bytes);
                return;
            }
        }
        d.pages.push_back(LogPage{code, std::move(bytes)});
    }

    void page(const std::vector<std::string>& t, bool from_file) {
        exactly(t, 5, from_file ? "page-file c id CODE FILE" : "page c id CODE HEX");
        Device& d = existing_device(t[1], t[2]);
        auto code = static_cast<uint8_t>(parse_number(t[3], 0, 0x3F, "page code"));
        std::string hex = from_file ? read_file(resolve(base_, t[4])) : t[4];
        try {
            set_page(d, code, parse_hex(hex));
        } catch (const Error&) {
            throw;
        } catch (const std::runtime_error& e) {
            fail(e.what());
        }
    }

    void captured(const std::vector<std::string>& t) {
        exactly(t, 3, "captured-pages c id");
        Device& d = existing_device(t[1], t[2]);
        const auto& cap = captured_pages();
        for (const auto& p : cap) set_page(d, p.code, p.bytes);
        // Pages that page 00 lists but that were not captured answer with an
        // empty page.
        const std::vector<uint8_t> list = d.page(0) ? d.page(0)->bytes : std::vector<uint8_t>();
        for (size_t i = 4; i < list.size(); ++i) {
            uint8_t code = list[i] & 0x3F;
            if (!d.page(code)) set_page(d, code, {code, 0, 0, 0});
        }
    }

    void internal(const std::vector<std::string>& t) {
        exactly(t, 5, "internal c id TYPE LEN");
        Device& d = existing_device(t[1], t[2]);
        auto type = static_cast<uint8_t>(parse_number(t[3], 0, 255, "section type"));
        if (type != 1 && type != 2 && type != 4 && type != 8) fail("section type must be 1, 2, 4 or 8");
        auto len = static_cast<uint32_t>(parse_number(t[4], 3, kMaxSectionLen, "section length"));
        for (auto& s : d.sections) {
            if (s.type == type) {
                s.len = len;
                return;
            }
        }
        d.sections.push_back(InternalSection{type, len});
    }

    void smart(const std::vector<std::string>& t, bool from_file) {
        exactly(t, 4, from_file ? "smart-file c id FILE" : "smart c id HEX");
        Device& d = existing_device(t[1], t[2]);
        std::vector<uint8_t> bytes;
        try {
            bytes = parse_hex(from_file ? read_file(resolve(base_, t[3])) : t[3]);
        } catch (const Error&) {
            throw;
        } catch (const std::runtime_error& e) {
            fail(e.what());
        }
        if (bytes.size() != 512) fail("SMART data must be 512 bytes, not " + std::to_string(bytes.size()));
        std::array<uint8_t, 512> a{};
        std::copy(bytes.begin(), bytes.end(), a.begin());
        d.smart = a;
    }

    void rule(const std::vector<std::string>& t, RuleAction action) {
        const char* usage = action == RuleAction::Fault      ? "fault c id WHAT [nth N] code CODE [sense HEX] [status S]"
                            : action == RuleAction::AtaError ? "ata-error c id WHAT [nth N] error E status S"
                            : action == RuleAction::Transfer
                                ? "transfer c id WHAT [nth N] [bytes N] [datalen sent|asked] [page CODE] [length cdb|host]"
                                : "delay c id WHAT [nth N] ms MS";
        need(t, 4, usage);
        Rule r;
        r.action = action;
        r.line = line_;
        r.ctrl = t[1] == "*" ? kAny : static_cast<int>(ctrl_index(t[1]));
        r.id = t[2] == "*" ? kAny : static_cast<int>(device_id(t[2]));
        r.what = canonical_what(t[3]);
        bool has_code = false, has_error = false, has_status = false, has_ms = false;
        for (size_t i = 4; i < t.size(); i += 2) {
            if (i + 1 >= t.size()) fail("key '" + t[i] + "' without a value; usage: " + usage);
            const std::string& k = t[i];
            const std::string& v = t[i + 1];
            if (k == "nth") {
                r.nth = static_cast<unsigned>(parse_number(v, 1, 0xFFFFFFFFLL, "nth"));
            } else if (action == RuleAction::Fault && k == "code") {
                r.code = parse_code(v);
                has_code = true;
            } else if (action == RuleAction::Fault && k == "sense") {
                try {
                    r.sense = parse_hex(v);
                } catch (const std::runtime_error& e) {
                    fail(std::string("sense: ") + e.what());
                }
                if (r.sense.size() > 32) fail("sense data longer than 32 bytes");
            } else if (action == RuleAction::Fault && k == "status") {
                r.scsiStatus = static_cast<uint8_t>(parse_number(v, 0, 255, "status"));
            } else if (action == RuleAction::AtaError && k == "error") {
                r.ataError = static_cast<uint8_t>(parse_number(v, 0, 255, "error"));
                has_error = true;
            } else if (action == RuleAction::AtaError && k == "status") {
                r.ataStatus = static_cast<uint8_t>(parse_number(v, 0, 255, "status"));
                has_status = true;
            } else if (action == RuleAction::Transfer && k == "bytes") {
                r.bytes = static_cast<uint32_t>(parse_number(v, 0, 0xFFFFFFFFLL, "bytes"));
            } else if (action == RuleAction::Transfer && k == "datalen") {
                if (v != "sent" && v != "asked") fail("datalen must be sent or asked");
                r.setDataLen = v == "sent";
            } else if (action == RuleAction::Transfer && k == "page") {
                r.asPage = static_cast<uint8_t>(parse_number(v, 0, 0x3F, "page code"));
            } else if (action == RuleAction::Transfer && k == "length") {
                if (v != "cdb" && v != "host") fail("length must be cdb or host");
                r.cdbLength = v == "cdb";
            } else if (action == RuleAction::Delay && k == "ms") {
                r.ms = static_cast<unsigned>(parse_number(v, 0, 3600000, "milliseconds"));
                has_ms = true;
            } else {
                fail("unknown key '" + k + "'; usage: " + usage);
            }
        }
        if (action == RuleAction::Fault && !has_code) fail(std::string("missing code; usage: ") + usage);
        if (action == RuleAction::AtaError) {
            if (!has_error || !has_status) fail(std::string("missing error or status; usage: ") + usage);
            if (r.what != "stp" && r.what.rfind("stp:", 0) != 0 && r.what.rfind("smart:", 0) != 0)
                fail("ata-error applies to stp, stp:CMD or smart:SUB only");
        }
        if (action == RuleAction::Delay && !has_ms) fail(std::string("missing ms; usage: ") + usage);
        if (action == RuleAction::Transfer && r.what.rfind("logsense", 0) != 0 && r.what.rfind("internal", 0) != 0 &&
            r.what != "inquiry" && r.what.rfind("scsi:", 0) != 0)
            fail("transfer applies to SCSI commands only");
        sc_.rules.push_back(r);
    }
};

}  // namespace

uint8_t internal_section_byte(uint8_t type, uint32_t len, uint32_t i) {
    const uint32_t l = len - 3;
    switch (i) {
    case 0: return type;
    case 1: return static_cast<uint8_t>(l >> 16);
    case 2: return static_cast<uint8_t>(l >> 8);
    case 3: return static_cast<uint8_t>(l);
    default: return static_cast<uint8_t>(i - 4);
    }
}

const LogPage* Device::page(uint8_t code) const {
    for (const auto& p : pages)
        if (p.code == code) return &p;
    return nullptr;
}

const LogPage* Device::subpage(uint8_t code, uint8_t sub) const {
    for (const auto& p : subpages)
        if (p.code == code && p.subpage == sub) return &p;
    return nullptr;
}

const InternalSection* Device::section(uint8_t type) const {
    for (const auto& s : sections)
        if (s.type == type) return &s;
    return nullptr;
}

Scenario Scenario::standard() {
    Scenario sc;
    sc.controllers[0].index = 0;
    return sc;
}

const Device* Scenario::device(unsigned ctrl, uint16_t id) const {
    auto it = devices.find({ctrl, id});
    return it == devices.end() ? nullptr : &it->second;
}

unsigned Scenario::device_id_count(unsigned ctrl) const {
    auto c = controllers.find(ctrl);
    if (c != controllers.end() && c->second.count) return *c->second.count;
    unsigned n = 0;
    for (const auto& [key, d] : devices)
        if (key.first == ctrl) n = std::max(n, static_cast<unsigned>(key.second) + 1);
    return std::min(n, 255u);
}

std::vector<const Device*> Scenario::devices_of(unsigned ctrl) const {
    std::vector<const Device*> out;
    for (const auto& [key, d] : devices)
        if (key.first == ctrl) out.push_back(&d);
    return out;
}

std::string canonical_what(const std::string& tok) {
    char buf[32];
    auto colon = tok.find(':');
    std::string head = tok.substr(0, colon);
    std::string arg = colon == std::string::npos ? std::string() : tok.substr(colon + 1);
    bool has_arg = colon != std::string::npos;
    if (!has_arg && (head == "inquiry" || head == "logsense" || head == "internal" || head == "pdinfo" || head == "stp"))
        return head;
    if (has_arg && head == "logsense") {
        snprintf(buf, sizeof buf, "logsense:%02x", parse_hex_number(arg, 0x3F, tok));
        return buf;
    }
    if (has_arg && head == "internal") {
        snprintf(buf, sizeof buf, "internal:%x", parse_hex_number(arg, 0xFF, tok));
        return buf;
    }
    if (has_arg && (head == "scsi" || head == "stp" || head == "smart")) {
        snprintf(buf, sizeof buf, "%s:%02x", head.c_str(), parse_hex_number(arg, 0xFF, tok));
        return buf;
    }
    if (has_arg && head == "mgmt") {
        auto slash = arg.find('/');
        if (slash == std::string::npos) fail("bad WHAT '" + tok + "' (mgmt:T/C)");
        auto type = parse_number(arg.substr(0, slash), 0, 255, "management command type");
        auto cmd = parse_number(arg.substr(slash + 1), 0, 255, "management command");
        snprintf(buf, sizeof buf, "mgmt:%u/%u", static_cast<unsigned>(type), static_cast<unsigned>(cmd));
        return buf;
    }
    fail("unknown WHAT '" + tok + "'");
}

Scenario parse_scenario(const std::string& text, const std::string& base_dir) {
    Scenario sc;
    Parser parser(sc, base_dir);
    std::istringstream in(text);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        try {
            auto tokens = tokenize(line);
            if (tokens.empty()) continue;
            parser.statement(tokens, n);
        } catch (const std::runtime_error& e) {
            throw std::runtime_error("line " + std::to_string(n) + ": " + e.what());
        }
    }
    return sc;
}

Scenario read_scenario_file(const std::string& path) {
    std::string text;
    try {
        text = read_file(path);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string("scenario: ") + e.what());
    }
    auto slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    try {
        return parse_scenario(text, dir);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

}  // namespace sim
