// The scenario parser: one line at a time, each statement read through the
// table below. A new statement is one row there and one function that reads
// its tokens into the model.
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "cli_variants.h"
#include "parser.h"
#include "util.h"

namespace sim {

namespace {

constexpr uint32_t kMaxSectionLen = 0xFFFFFF + 3;

// The CLI commands that "cli exit" and "cli sleep" may name.
const char* const kCliCommands[] = {"fwtermlog", "cfgdsply", "adpallinfo",  "pdlist",
                                    "ldinfo",    "ldpdinfo", "adpeventlog", "adpcount"};

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

// The bytes of a HEX token; for a statement whose name ends in "-file"
// ("page-file"), of the hex in the file that its FILE token names.
std::vector<uint8_t> hex_bytes(const ParseState& ps, const Statement& st, const std::string& tok) {
    const std::string_view name = st.name;
    const bool from_file = name.size() > 5 && name.substr(name.size() - 5) == "-file";
    return parse_hex(from_file ? read_file(resolve(ps.baseDir, tok)) : tok);
}

// ---------------------------------------------------------------- controllers and the CLI

const Key<Controller> kControllerKeys[] = {
    {"count", [](Controller& c, const std::string& v) { c.count = parse_as<unsigned>(v, 0, 255, "count"); }},
    {"lds", [](Controller& c, const std::string& v) { c.logicalDrives = parse_as<unsigned>(v, 0, 64, "lds"); }},
};

void read_controller(ParseState& ps, const Tokens& t, const Statement& st) {
    unsigned c = ctrl_index(t[1]);
    if (!ps.declaredControllers.insert(c).second) fail("controller " + std::to_string(c) + " declared twice");
    read_keys<Controller>(ensure_controller(ps, c), t, 2, kControllerKeys, st, "controller ");
}

void read_controller_info_error(ParseState& ps, const Tokens& t, const Statement&) {
    ensure_controller(ps, ctrl_index(t[1])).infoError = parse_code(t[2]);
}

void read_cli_count(ParseState& ps, const Tokens& t, const Statement&) {
    ps.sc.cliCount = parse_as<long>(t[2], -2147483647LL - 1, 2147483647LL, "count");
}

void read_cli_count_line(ParseState& ps, const Tokens& t, const Statement&) { ps.sc.countLines.push_back(t[2]); }

// "cli exit" and "cli sleep".
void read_cli_rule(ParseState& ps, const Tokens& t, const Statement&) {
    CliRule r;
    r.exit = t[1] == "exit";
    r.cmd = lower(t[2]);
    if (!r.cmd.empty() && r.cmd[0] == '-') r.cmd.erase(0, 1);
    if (std::find(std::begin(kCliCommands), std::end(kCliCommands), r.cmd) == std::end(kCliCommands))
        fail("unknown CLI command '" + t[2] + "'");
    r.ctrl = t[3] == "*" ? kAny : static_cast<int>(ctrl_index(t[3]));
    r.value = r.exit ? parse_as<int>(t[4], 0, 255, "exit status") : parse_as<int>(t[4], 0, 3600000, "milliseconds");
    ps.sc.cliRules.push_back(r);
}

// "cli text c|* VARIANT...".
void read_cli_text(ParseState& ps, const Tokens& t, const Statement&) {
    const int ctrl = t[2] == "*" ? kAny : static_cast<int>(ctrl_index(t[2]));
    for (size_t i = 3; i < t.size(); ++i) {
        if (!cli_text_variant(t[i])) fail("unknown CLI text variant '" + t[i] + "' (" + cli_text_variants() + ")");
        ps.sc.cliTexts.push_back({ctrl, t[i]});
    }
}

// The second token of a "cli" statement names what it sets.
const Statement kCliStatements[] = {
    {"count", "cli count N", 3, false, read_cli_count},
    {"count-line", "cli count-line \"TEXT\"", 3, false, read_cli_count_line},
    {"exit", "cli exit CMD c|* STATUS", 5, false, read_cli_rule},
    {"sleep", "cli sleep CMD c|* MS", 5, false, read_cli_rule},
    {"text", "cli text c|* VARIANT...", 4, true, read_cli_text},
};

void read_cli(ParseState& ps, const Tokens& t, const Statement&) {
    dispatch(kCliStatements, "cli statement", 1, ps, t);
}

// ---------------------------------------------------------------- devices and their data

std::string text_value(const std::string& v, size_t max, const char* key) {
    if (v.size() > max) fail(std::string(key) + " longer than " + std::to_string(max) + " characters");
    return v;
}

const Key<Device> kDeviceKeys[] = {
    {"vendor", [](Device& d, const std::string& v) { d.vendor = text_value(v, 8, "vendor"); }},
    {"product", [](Device& d, const std::string& v) { d.product = text_value(v, 16, "product"); }},
    {"rev", [](Device& d, const std::string& v) { d.rev = text_value(v, 4, "rev"); }},
    {"serial", [](Device& d, const std::string& v) { d.serial = text_value(v, 20, "serial"); }},
    {"ptype", [](Device& d, const std::string& v) { d.ptype = parse_as<uint8_t>(v, 0, 0x1F, "ptype"); }},
    {"interface", [](Device& d, const std::string& v) { d.interface = parse_as<uint8_t>(v, 0, 15, "interface"); }},
    {"pdinfo-error", [](Device& d, const std::string& v) { d.pdinfoError = parse_code(v); }},
    {"blocks",
     [](Device& d, const std::string& v) { d.blocks = parse_as<uint64_t>(v, 0, 0xFFFFFFFFFFFFLL, "blocks"); }},
    {"model", [](Device& d, const std::string& v) { d.ata.model = text_value(v, 40, "model"); }},
    {"firmware", [](Device& d, const std::string& v) { d.ata.firmware = text_value(v, 8, "firmware"); }},
    {"gpl",
     [](Device& d, const std::string& v) {
         if (v != "yes" && v != "no") fail("gpl must be yes or no");
         d.ata.gpl = v == "yes";
     }},
};

void read_device(ParseState& ps, const Tokens& t, const Statement& st) {
    unsigned c = ctrl_index(t[1]);
    uint16_t id = device_id(t[2]);
    const DeviceDefaults* kind = nullptr;
    std::string names;
    for (const auto& k : device_defaults()) {
        if (t[3] == k.name) kind = &k;
        names += (names.empty() ? "" : ", ") + std::string(k.name);
    }
    if (kind == nullptr) fail("unknown device kind '" + t[3] + "' (" + names + ")");
    Device d = default_device(*kind, c, id);
    read_keys<Device>(d, t, 4, kDeviceKeys, st, "device ");
    ensure_controller(ps, c);
    if (!ps.sc.devices.emplace(std::make_pair(c, id), d).second)
        fail("device " + t[1] + " " + t[2] + " declared twice");
}

// Declaring a page (or page and subpage) again replaces its bytes; it keeps
// its place.
void set_page(std::vector<LogPage>& pages, LogPage page) {
    for (auto& p : pages) {
        if (p.code == page.code && p.subpage == page.subpage) {
            p.bytes = std::move(page.bytes);
            return;
        }
    }
    pages.push_back(std::move(page));
}

void set_page(Device& d, uint8_t code, std::vector<uint8_t> bytes) {
    set_page(d.pages, LogPage{code, std::move(bytes)});
}

// "page" and "page-file".
void read_page(ParseState& ps, const Tokens& t, const Statement& st) {
    Device& d = existing_device(ps, t[1], t[2]);
    auto code = parse_as<uint8_t>(t[3], 0, 0x3F, "page code");
    set_page(d, code, hex_bytes(ps, st, t[4]));
}

void read_captured_pages(ParseState& ps, const Tokens& t, const Statement&) {
    Device& d = existing_device(ps, t[1], t[2]);
    for (const auto& p : captured_pages()) set_page(d, p.code, p.bytes);
    // Pages that page 00 lists but that were not captured answer with an
    // empty page.
    const std::vector<uint8_t> list = d.page(0) ? d.page(0)->bytes : std::vector<uint8_t>();
    for (size_t i = 4; i < list.size(); ++i) {
        uint8_t code = list[i] & 0x3F;
        if (!d.page(code)) set_page(d, code, {code, 0, 0, 0});
    }
}

void read_internal(ParseState& ps, const Tokens& t, const Statement&) {
    Device& d = existing_device(ps, t[1], t[2]);
    auto type = parse_as<uint8_t>(t[3], 0, 255, "section type");
    if (type != 1 && type != 2 && type != 4 && type != 8) fail("section type must be 1, 2, 4 or 8");
    auto len = parse_as<uint32_t>(t[4], 3, kMaxSectionLen, "section length");
    for (auto& s : d.sections) {
        if (s.type == type) {
            s.len = len;
            return;
        }
    }
    d.sections.push_back(InternalSection{type, len});
}

// The 512 bytes of one ATA data structure; `what` names it in the refusal.
std::array<uint8_t, 512> sector(const ParseState& ps, const Statement& st, const std::string& tok, const char* what) {
    std::vector<uint8_t> bytes = hex_bytes(ps, st, tok);
    if (bytes.size() != 512) fail(std::string(what) + " must be 512 bytes, not " + std::to_string(bytes.size()));
    std::array<uint8_t, 512> a{};
    std::copy(bytes.begin(), bytes.end(), a.begin());
    return a;
}

// "smart" and "smart-file".
void read_smart(ParseState& ps, const Tokens& t, const Statement& st) {
    existing_device(ps, t[1], t[2]).smart = sector(ps, st, t[3], "SMART data");
}

// "subpage" and "subpage-file": subpage 01..FE of a page, or the list of
// pages and subpages itself (page 00, subpage FF).
void read_subpage(ParseState& ps, const Tokens& t, const Statement& st) {
    Device& d = existing_device(ps, t[1], t[2]);
    auto code = parse_as<uint8_t>(t[3], 0, 0x3F, "page code");
    auto sub = parse_as<uint8_t>(t[4], 1, 0xFF, "subpage code");
    if (sub == 0xFF && code != 0) fail("subpage FF is declared for page 0 only");
    set_page(d.subpages, LogPage{code, hex_bytes(ps, st, t[5]), sub});
}

const Key<Defects> kDefectKeys[] = {
    {"format", [](Defects& r, const std::string& v) { r.format = parse_as<uint8_t>(v, 0, 7, "defect list format"); }},
};

// "defects c id N [format F]" or "defects c id unsupported".
void read_defects(ParseState& ps, const Tokens& t, const Statement& st) {
    Device& d = existing_device(ps, t[1], t[2]);
    d.defects = Defects{};
    if (t[3] == "unsupported") {
        if (t.size() > 4) fail(std::string("too many tokens; usage: ") + st.usage);
        d.defects.supported = false;
        return;
    }
    d.defects.count = parse_as<uint32_t>(t[3], 0, 0xFFFFFFFFLL, "defect count");
    read_keys<Defects>(d.defects, t, 4, kDefectKeys, st, "defects ");
}

// "identify" and "identify-file".
void read_identify(ParseState& ps, const Tokens& t, const Statement& st) {
    existing_device(ps, t[1], t[2]).ata.identify = sector(ps, st, t[3], "IDENTIFY data");
}

// "smart-thresholds" and "smart-thresholds-file".
void read_thresholds(ParseState& ps, const Tokens& t, const Statement& st) {
    existing_device(ps, t[1], t[2]).ata.thresholds = sector(ps, st, t[3], "SMART thresholds");
}

void read_smart_status(ParseState& ps, const Tokens& t, const Statement&) {
    Device& d = existing_device(ps, t[1], t[2]);
    if (t[3] != "passed" && t[3] != "failed") fail("smart-status is passed or failed");
    d.ata.smartFailed = t[3] == "failed";
}

// "smart-log", "gpl-log" and their -file forms: a log by address, padded
// to whole 512-byte sectors.
void read_ata_log(ParseState& ps, const Tokens& t, const Statement& st) {
    Device& d = existing_device(ps, t[1], t[2]);
    auto address = parse_as<uint8_t>(t[3], 0, 0xFF, "log address");
    std::vector<uint8_t> bytes = hex_bytes(ps, st, t[4]);
    if (bytes.empty()) fail("a log holds at least one byte");
    bytes.resize((bytes.size() + 511) / 512 * 512, 0);
    const bool smart = std::string_view(st.name).starts_with("smart");
    (smart ? d.ata.smartLogs : d.ata.gplLogs)[address] = std::move(bytes);
}

// ---------------------------------------------------------------- the statements

const Statement kStatements[] = {
    {"controller", "controller c [count N] [lds N]", 2, true, read_controller},
    {"controller-info-error", "controller-info-error c CODE", 3, false, read_controller_info_error},
    {"cli",
     "cli count N | cli count-line TEXT | cli exit CMD c|* STATUS | cli sleep CMD c|* MS | cli text c|* VARIANT...", 2,
     true, read_cli},
    {"device", "device c id KIND [key value]...", 4, true, read_device},
    {"page", "page c id CODE HEX", 5, false, read_page},
    {"page-file", "page-file c id CODE FILE", 5, false, read_page},
    {"captured-pages", "captured-pages c id", 3, false, read_captured_pages},
    {"internal", "internal c id TYPE LEN", 5, false, read_internal},
    {"smart", "smart c id HEX", 4, false, read_smart},
    {"smart-file", "smart-file c id FILE", 4, false, read_smart},
    {"subpage", "subpage c id PAGE SUB HEX", 6, false, read_subpage},
    {"subpage-file", "subpage-file c id PAGE SUB FILE", 6, false, read_subpage},
    {"defects", "defects c id N [format F] | defects c id unsupported", 4, true, read_defects},
    {"identify", "identify c id HEX", 4, false, read_identify},
    {"identify-file", "identify-file c id FILE", 4, false, read_identify},
    {"smart-thresholds", "smart-thresholds c id HEX", 4, false, read_thresholds},
    {"smart-thresholds-file", "smart-thresholds-file c id FILE", 4, false, read_thresholds},
    {"smart-status", "smart-status c id passed|failed", 4, false, read_smart_status},
    {"smart-log", "smart-log c id ADDR HEX", 5, false, read_ata_log},
    {"smart-log-file", "smart-log-file c id ADDR FILE", 5, false, read_ata_log},
    {"gpl-log", "gpl-log c id ADDR HEX", 5, false, read_ata_log},
    {"gpl-log-file", "gpl-log-file c id ADDR FILE", 5, false, read_ata_log},
    {"vd",
     "vd c ID drives \"ID...\" [raid 0|1|5|6|10|50|60] [spans N] [state S] [name T] [cache WriteBack|WriteThrough] "
     "[cache-now WriteBack|WriteThrough] [bad-blocks yes|no]",
     3, true, read_virtual_drive},
    {"pd",
     "pd c id [state S] [progress N] [foreign yes|no] [media-errors N] [other-errors N] [predictive-failures N] "
     "[smart-alert yes|no] [device-speed T] [link-speed T] [temperature N] [enclosure N] [slot N] [answers yes|no] "
     "[listed yes|no] [vanished yes|no]",
     3, true, read_drive_view},
    {"adapter",
     "adapter c [memory-correctable N] [memory-uncorrectable N] [bbu present|absent] [alarm present|absent] "
     "[degraded N] [offline N] [critical-disks N] [failed-disks N]",
     2, true, read_adapter},
    {"event",
     "event c TIME [text T] [code C] [class N] [locale L] [pd ID] [cdb HEX sense K/ASC/ASCQ] [repeat N] [every S]", 3,
     true, read_event},
    {"fault", "fault c id WHAT [nth N] code CODE [sense HEX] [status S]", 4, true, read_rule},
    {"ata-error", "ata-error c id WHAT [nth N] error E status S", 4, true, read_rule},
    {"delay", "delay c id WHAT [nth N] ms MS", 4, true, read_rule},
    {"transfer", "transfer c id WHAT [nth N] [bytes N] [datalen sent|asked] [page CODE] [length cdb|host]", 4, true,
     read_rule},
};

}  // namespace

Controller& ensure_controller(ParseState& ps, unsigned c) {
    auto [it, added] = ps.sc.controllers.try_emplace(c);
    if (added) it->second.index = c;
    return it->second;
}

Device& existing_device(ParseState& ps, const std::string& ctok, const std::string& itok) {
    unsigned c = ctrl_index(ctok);
    uint16_t id = device_id(itok);
    auto it = ps.sc.devices.find({c, id});
    if (it == ps.sc.devices.end())
        fail("device " + std::to_string(c) + " " + std::to_string(id) + " is not declared before this line");
    return it->second;
}

unsigned ctrl_index(const std::string& tok) { return parse_as<unsigned>(tok, 0, 255, "controller index"); }

uint16_t device_id(const std::string& tok) { return parse_as<uint16_t>(tok, 0, 0xFFFF, "device id"); }

void dispatch(std::span<const Statement> table, const char* what, size_t pos, ParseState& ps, const Tokens& t) {
    for (const auto& st : table) {
        if (t[pos] != st.name) continue;
        if (t.size() < st.tokens || (!st.keyed && t.size() > st.tokens))
            fail(std::string(t.size() < st.tokens ? "too few" : "too many") + " tokens; usage: " + st.usage);
        st.read(ps, t, st);
        return;
    }
    fail("unknown " + std::string(what) + " '" + t[pos] + "'");
}

Scenario parse_scenario(const std::string& text, const std::string& base_dir) {
    Scenario sc;
    ParseState ps{sc, base_dir};
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        ++ps.line;
        try {
            Tokens tokens = tokenize(line);
            if (!tokens.empty()) dispatch(kStatements, "statement", 0, ps, tokens);
        } catch (const std::runtime_error& e) {
            throw std::runtime_error("line " + std::to_string(ps.line) + ": " + e.what());
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
