#include "errlog.h"

#include <scsi/sg_lib.h>

#include <cstdio>
#include <cstdlib>

#include "helpers.h"
#include "rules.h"
#include "textmatch.h"

namespace rpt {
namespace {

using json = nlohmann::json;

unsigned long long num(std::string_view v, int base) {
    std::string s(v);
    return strtoull(s.c_str(), nullptr, base);
}

std::string str(std::string_view v) { return std::string(v); }

std::string basename_of(std::string_view path) {
    size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

struct Pattern {
    const char* kind;
    const char* pattern;
    const char* keys;  // names of the captured fields, blank separated
    Rule rule;         // of the finding the record gives its disk, or the collection
    const char* disk_text = nullptr;
};

// Every record the collector writes, one line each. Records of failed CLI
// commands (a blank, the text, an empty line) and the SCSI and SATA detail
// lines are read apart.
constexpr Pattern kPatterns[] = {
    {"file_open_error", " File Open Error(%s)", "path", Rule::ErrlogFileOpenError},
    {"file_write_error", " File Write Error(%s)", "path", Rule::ErrlogFileWriteError,
     "a write to this drive log failed; it is cut"},
    {"controller_not_found", " RAID Contoroller is not Found", "", Rule::ErrlogControllerNotFound},
    {"memory_allocation_error", " Memory Allocation Error", "", Rule::ErrlogMemoryAllocationError},
    {"ldd_error", "ldd Command Error.", "", Rule::ErrlogLddError},
    {"bind_file_open_error", "File Open Error(%s).", "path", Rule::ErrlogBindFileOpenError},
    {"bind_file_not_found", "File is not Found(%s).", "path", Rule::ErrlogBindFileNotFound},
    {"library_load_error", "Library Load Error(%s).", "path", Rule::ErrlogLibraryLoadError},
    {"controller_info_error", "Controller %d : Controller Information Get Error. %x", "controller result",
     Rule::ErrlogControllerInfoError},
    {"physical_info_error", "Controller %d : Physical Information Get Error. %x", "controller result",
     Rule::ErrlogPhysicalInfoError},
    {"inconsistent_answer", " Inconsistent Answer(H%xT%x Page%x: page %x, %u bytes claimed, %u arrived)",
     "controller target page answered claimed arrived", Rule::ErrlogInconsistentAnswer,
     "the drive answered a page inconsistently; the page in the file is not to be trusted"},
    {"short_transfer", " Short Transfer(H%xT%x %s: %u of %u bytes)", "controller target what arrived asked",
     Rule::ErrlogShortTransfer, "the drive sent fewer bytes than asked; the file holds a short block"},
    {"length_capped", " Length Capped(H%xT%x %s: %u bytes needed, %u asked)", "controller target what needed asked",
     Rule::ErrlogLengthCapped, "a block was longer than the collector could ask for and was read in part"},
    {"empty_log", " Empty Log(%s)", "path", Rule::ErrlogEmptyLog},
    {"space_reserve_skipped", " Space Reserve(%s: skipped)", "path", Rule::ErrlogSpaceReserveSkipped,
     "the drive log was not written, to keep the disk's space reserve free"},
    {"space_reserve", " Space Reserve(%s: %u bytes needed, %u free, %u kept)", "path needed free kept",
     Rule::ErrlogSpaceReserve, "the drive log is short: a part was not written to keep the disk's space reserve free"},
    {"controller_count_too_large", " Controller Count Too Large(%d)", "count", Rule::ErrlogControllerCountTooLarge},
    {"file_interrupted", " File Interrupted(%s)", "path", Rule::ErrlogFileInterrupted,
     "the run was interrupted while this drive log was written; it is cut"},
    {"time_limit_exceeded", " Time Limit Exceeded(%u s: %s)", "seconds command", Rule::ErrlogTimeLimitExceeded},
};

json decode_fields(const char* keys, const Caps& caps, bool hex_controller) {
    json d = json::object();
    std::string_view k(keys);
    for (size_t i = 0; !k.empty() && i < caps.size(); ++i) {
        size_t sp = k.find(' ');
        std::string key(k.substr(0, sp));
        k = sp == std::string_view::npos ? std::string_view{} : k.substr(sp + 1);
        if (key == "path" || key == "what" || key == "command")
            d[key] = str(caps[i]);
        else if (key == "count" || (key == "controller" && !hex_controller))
            d[key] = std::strtoll(str(caps[i]).c_str(), nullptr, 10);
        else if (key == "controller" || key == "target" || key == "page" || key == "answered" || key == "result")
            d[key] = num(caps[i], 16);
        else
            d[key] = num(caps[i], 10);
    }
    return d;
}

std::string opcode_name(uint8_t op) {
    char b[80] = {};
    sg_get_opcode_name(op, 0 /* direct-access block device */, sizeof b, b);
    return b;
}

// The sense data's key and codes, or null when they are not sense data.
json decode_sense(const std::vector<uint8_t>& sense) {
    struct sg_scsi_sense_hdr h {};
    if (!sg_scsi_normalize_sense(sense.data(), static_cast<int>(sense.size()), &h)) return nullptr;
    char k[80] = {}, a[160] = {};
    sg_get_sense_key_str(h.sense_key, sizeof k, k);
    sg_get_asc_ascq_str(h.asc, h.ascq, sizeof a, a);
    std::string name = a;
    constexpr std::string_view kPrefix = "Additional sense: ";
    if (name.starts_with(kPrefix)) name.erase(0, kPrefix.size());
    return {
        {"sense_key", h.sense_key}, {"sense_key_name", k}, {"asc", h.asc}, {"ascq", h.ascq}, {"asc_ascq_name", name}};
}

// "HhhTtt Command error , " followed by the SCSI part (10 CDB bytes, the
// result, 20 sense bytes, each byte followed by a blank) or the SATA part
// (20 bytes of the response FIS, each byte preceded by a blank).
bool command_error(std::string_view line, ErrRecord& r) {
    Caps caps;
    std::string_view rest;
    const std::string_view marker = " Command error , ";
    size_t at = line.find(marker);
    if (at == std::string_view::npos || !match("H%xT%x", line.substr(0, at), caps)) return false;
    rest = line.substr(at + marker.size());
    const unsigned ctrl = static_cast<unsigned>(num(caps[0], 16)), tgt = static_cast<unsigned>(num(caps[1], 16));
    // n bytes of two hex digits, each followed (or, for SATA, preceded) by
    // a blank; what is left of the line, or nothing when they do not fit.
    auto bytes = [](std::string_view s, size_t n, bool lead,
                    std::vector<uint8_t>& out) -> std::optional<std::string_view> {
        for (size_t i = 0; i < n; ++i) {
            const size_t d = lead ? 1 : 0;
            if (s.size() < 3 || s[lead ? 0 : 2] != ' ' || !is_hex(s[d]) || !is_hex(s[d + 1])) return std::nullopt;
            out.push_back(static_cast<uint8_t>(num(s.substr(d, 2), 16)));
            s.remove_prefix(3);
        }
        return s;
    };
    std::vector<uint8_t> cdb, sense, fis;
    auto s = bytes(rest, 10, false, cdb);
    std::optional<std::string_view> tail;
    Caps rc;
    if (s && s->size() == 2 + 10 + 60 && s->substr(0, 2) == ", " && match("%x, ", s->substr(2, 10), rc))
        tail = bytes(s->substr(12), 20, false, sense);
    if (tail && tail->empty()) {
        const uint8_t op = cdb[0];
        json d = {{"controller", ctrl},
                  {"target", tgt},
                  {"cdb", hex_bytes(cdb.data(), cdb.size())},
                  {"opcode", op},
                  {"opcode_name", opcode_name(op)},
                  {"result", num(rc[0], 16)},
                  {"sense", hex_bytes(sense.data(), sense.size())}};
        if (op == 0x4d) {
            d["page"] = cdb[2] & 0x3f;
            d["subpage"] = cdb[3];
        }
        if (op == 0xfe) d["section_type"] = cdb[1];
        json sd = decode_sense(sense);
        if (sd.is_object()) d.update(sd);
        r.kind = "scsi_command_error";
        const uint8_t page = cdb[2] & 0x3f;
        std::string what = op == 0x4d ? "LOG SENSE of page " + page_ref(page, cdb[3])
                                      : opcode_name(op) + " (" + hex_bytes(&op, 1) + ")";
        if (sd.is_object()) {
            char codes[16];
            snprintf(codes, sizeof codes, " (%02x/%02x)", sd["asc"].get<unsigned>(), sd["ascq"].get<unsigned>());
            what +=
                ": " + sd["sense_key_name"].get<std::string>() + ", " + sd["asc_ascq_name"].get<std::string>() + codes;
        }
        d["summary"] = "target " + std::to_string(tgt) + " of controller " + std::to_string(ctrl) + ", " + what +
                       ", result " + std::string(rc[0]);
        r.decoded = d;
        // What the drive's answer says about the disk: a medium or hardware
        // error is about its health; a command it does not support is no
        // fault; anything else left the log incomplete.
        const int key = sd.is_object() ? sd["sense_key"].get<int>() : -1;
        if (key == 3)
            r.disk_finding = finding(Rule::CommandMediumError, "the drive failed " + what);
        else if (key == 4)
            r.disk_finding = finding(Rule::CommandHardwareError, "the drive failed " + what);
        else if (key == 5)
            r.disk_finding = finding(Rule::CommandRejected, "the drive does not support " + what);
        else
            r.disk_finding = finding(Rule::CommandError, "a command failed, the log is incomplete: " + what);
    } else if (auto t = bytes(rest, 20, true, fis); t && t->empty()) {
        json d = {{"controller", ctrl}, {"target", tgt}, {"fis", hex_bytes(fis.data(), fis.size())}};
        if (fis[0] == 0x34) {
            d["status"] = fis[2];
            d["error"] = fis[3];
        }
        r.kind = "sata_command_error";
        r.decoded = d;
        // The response FIS's error register: UNC (uncorrectable data) and
        // IDNF (address not found) are about the medium, ICRC about the
        // link; ABRT alone is a command the drive does not support; a FIS
        // of zeros means the library rejected the request.
        const uint8_t err = fis[0] == 0x34 ? fis[3] : 0;
        const std::string regs = "status " + hex(fis[2]) + ", error " + hex(err);
        if (err & 0x50)
            r.disk_finding = finding(Rule::CommandMediumError, "a SATA command failed on the medium (" + regs + ")");
        else if (err & 0x80)
            r.disk_finding =
                finding(Rule::CommandLinkError, "a SATA command failed with an interface CRC error (" + regs + ")");
        else if (err == 0x04)
            r.disk_finding = finding(Rule::CommandRejected, "the drive does not support a SATA command (" + regs + ")");
        else
            r.disk_finding = finding(Rule::CommandError, "a SATA command failed, the log is incomplete" +
                                                             (fis[0] == 0x34 ? " (" + regs + ")" : std::string()));
    } else {
        return false;
    }
    r.disk = drive_log_name(ctrl, tgt);
    return true;
}

void by_pattern(std::string_view line, ErrRecord& r) {
    for (auto& p : kPatterns) {
        Caps caps;
        if (!match(p.pattern, line, caps)) continue;
        const bool hex_ctrl = std::string_view(p.pattern).find("H%xT%x") != std::string_view::npos;
        r.kind = p.kind;
        r.decoded = caps.empty() ? json(nullptr) : decode_fields(p.keys, caps, hex_ctrl);
        if (p.disk_text) {
            if (hex_ctrl)
                r.disk = drive_log_name(r.decoded["controller"].get<unsigned>(), r.decoded["target"].get<unsigned>());
            else
                r.disk = basename_of(caps[0]);
            r.disk_finding = finding(p.rule, p.disk_text);
        }
        return;
    }
}

}  // namespace

Rule record_rule(std::string_view kind) {
    for (auto& p : kPatterns)
        if (kind == p.kind) return p.rule;
    return kind == "cli_failure" ? Rule::ErrlogCliFailure : Rule::ErrlogUnrecognised;
}

std::string drive_log_name(unsigned controller, unsigned device) {
    char b[40];
    snprintf(b, sizeof b, "MA%02x%02x.log", controller, device);
    return b;
}

std::vector<ErrRecord> read_error_log(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t nl = text.find('\n');
        std::string_view l = text.substr(0, nl);
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        lines.push_back(l);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    }
    std::vector<ErrRecord> out;
    // Lines longer than any record the collector writes are not matched:
    // they are shown as they stand.
    constexpr size_t kLongest = 4096;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view l = lines[i];
        if (l.empty()) continue;
        ErrRecord r;
        r.kind = "unrecognised";
        r.text = std::string(l);
        if (l.size() <= kLongest && !command_error(l, r)) by_pattern(l, r);
        const bool blank_follows = i + 1 < lines.size() && lines[i + 1].empty();
        if (r.kind == "unrecognised" && l[0] == ' ' && blank_follows) {
            r.kind = "cli_failure";
            r.decoded = {{"text", std::string(l.substr(1))}};
        }
        if (r.kind == "cli_failure") ++i;
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace rpt
