#include "errlog.h"

#include <scsi/sg_lib.h>

#include <cstdio>
#include <cstdlib>

#include "input.h"
#include "rules.h"
#include "sense.h"
#include "textmatch.h"

namespace rpt {
namespace {

using K = RecordKind;

unsigned long long num(std::string_view v, int base) {
    std::string s(v);
    return strtoull(s.c_str(), nullptr, base);
}

uint64_t hx(std::string_view v) { return num(v, 16); }
uint64_t dec(std::string_view v) { return num(v, 10); }
int64_t sdec(std::string_view v) { return std::strtoll(std::string(v).c_str(), nullptr, 10); }
std::string str(std::string_view v) { return std::string(v); }

std::string basename_of(std::string_view path) {
    size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Every kind, in the order of RecordKind: its name, the rule of the finding
// it gives, and what a record that names a drive log means for that disk.
struct KindDef {
    RecordKind kind;
    const char* name;
    Rule rule;
    const char* disk_text = nullptr;  // its drive log's finding: null for none
};
// A drive log's finding that says what its rule's description says.
constexpr char kRuleText[] = "";
constexpr KindDef kKinds[] = {
    {K::Unrecognised, "unrecognised", Rule::ErrlogUnrecognised},
    {K::FileOpenError, "file_open_error", Rule::ErrlogFileOpenError},
    {K::FileWriteError, "file_write_error", Rule::ErrlogFileWriteError, "a write to this drive log failed; it is cut"},
    {K::ControllerNotFound, "controller_not_found", Rule::ErrlogControllerNotFound},
    {K::MemoryAllocationError, "memory_allocation_error", Rule::ErrlogMemoryAllocationError},
    {K::LddError, "ldd_error", Rule::ErrlogLddError},
    {K::BindFileOpenError, "bind_file_open_error", Rule::ErrlogBindFileOpenError},
    {K::BindFileNotFound, "bind_file_not_found", Rule::ErrlogBindFileNotFound},
    {K::LibraryLoadError, "library_load_error", Rule::ErrlogLibraryLoadError},
    {K::ControllerInfoError, "controller_info_error", Rule::ErrlogControllerInfoError},
    {K::PhysicalInfoError, "physical_info_error", Rule::ErrlogPhysicalInfoError},
    {K::InconsistentAnswer, "inconsistent_answer", Rule::ErrlogInconsistentAnswer, kRuleText},
    {K::ShortTransfer, "short_transfer", Rule::ErrlogShortTransfer, kRuleText},
    {K::LengthCapped, "length_capped", Rule::ErrlogLengthCapped, kRuleText},
    {K::EmptyLog, "empty_log", Rule::ErrlogEmptyLog},
    {K::SpaceReserveSkipped, "space_reserve_skipped", Rule::ErrlogSpaceReserveSkipped, kRuleText},
    {K::SpaceReserve, "space_reserve", Rule::ErrlogSpaceReserve,
     "the drive log is short: a part was not written to keep the disk's space reserve free"},
    {K::ControllerCountTooLarge, "controller_count_too_large", Rule::ErrlogControllerCountTooLarge},
    {K::FileInterrupted, "file_interrupted", Rule::ErrlogFileInterrupted,
     "the run was interrupted while this drive log was written; it is cut"},
    {K::TimeLimitExceeded, "time_limit_exceeded", Rule::ErrlogTimeLimitExceeded},
    {K::CliFailure, "cli_failure", Rule::ErrlogCliFailure},
    // A failed command's finding depends on the drive's answer (below).
    {K::ScsiCommandError, "scsi_command_error", Rule::CommandError},
    {K::SataCommandError, "sata_command_error", Rule::CommandError},
};

static_assert(indexed_by(kKinds, &KindDef::kind));

const KindDef& kind_def(RecordKind k) { return kKinds[static_cast<size_t>(k)]; }

struct Pattern {
    RecordKind kind;
    const char* pattern;
    RecordDetail (*read)(const Caps&);  // the detail from the captured fields
};

RecordDetail none(const Caps&) { return {}; }
RecordDetail path(const Caps& c) { return PathDetail{str(c[0])}; }
RecordDetail query(const Caps& c) { return QueryDetail{sdec(c[0]), hx(c[1])}; }

// Every record the collector writes, one line each. Records of failed CLI
// commands (a blank, the text, an empty line) and the SCSI and SATA detail
// lines are read apart.
constexpr Pattern kPatterns[] = {
    {K::FileOpenError, " File Open Error(%s)", path},
    {K::FileWriteError, " File Write Error(%s)", path},
    {K::ControllerNotFound, " RAID Contoroller is not Found", none},
    {K::MemoryAllocationError, " Memory Allocation Error", none},
    {K::LddError, "ldd Command Error.", none},
    {K::BindFileOpenError, "File Open Error(%s).", path},
    {K::BindFileNotFound, "File is not Found(%s).", path},
    {K::LibraryLoadError, "Library Load Error(%s).", path},
    {K::ControllerInfoError, "Controller %d : Controller Information Get Error. %x", query},
    {K::PhysicalInfoError, "Controller %d : Physical Information Get Error. %x", query},
    {K::InconsistentAnswer, " Inconsistent Answer(H%xT%x Page%x: page %x, %u bytes claimed, %u arrived)",
     [](const Caps& c) -> RecordDetail {
         return AnswerDetail{hx(c[0]), hx(c[1]), hx(c[2]), hx(c[3]), dec(c[4]), dec(c[5])};
     }},
    {K::ShortTransfer, " Short Transfer(H%xT%x %s: %u of %u bytes)",
     [](const Caps& c) -> RecordDetail {
         return TransferDetail{hx(c[0]), hx(c[1]), str(c[2]), dec(c[3]), dec(c[4])};
     }},
    {K::LengthCapped, " Length Capped(H%xT%x %s: %u bytes needed, %u asked)",
     [](const Caps& c) -> RecordDetail {
         return CappedDetail{hx(c[0]), hx(c[1]), str(c[2]), dec(c[3]), dec(c[4])};
     }},
    {K::EmptyLog, " Empty Log(%s)", path},
    {K::SpaceReserveSkipped, " Space Reserve(%s: skipped)", path},
    {K::SpaceReserve, " Space Reserve(%s: %u bytes needed, %u free, %u kept)",
     [](const Caps& c) -> RecordDetail {
         return ReserveDetail{str(c[0]), dec(c[1]), dec(c[2]), dec(c[3])};
     }},
    {K::ControllerCountTooLarge, " Controller Count Too Large(%d)",
     [](const Caps& c) -> RecordDetail { return CountDetail{sdec(c[0])}; }},
    {K::FileInterrupted, " File Interrupted(%s)", path},
    {K::TimeLimitExceeded, " Time Limit Exceeded(%u s: %s)",
     [](const Caps& c) -> RecordDetail {
         return TimeLimitDetail{dec(c[0]), str(c[1])};
     }},
};

// The drive log a record names: the file of its path, or the drive log of
// its controller and target.
std::string disk_of(const RecordDetail& detail) {
    if (auto* p = std::get_if<PathDetail>(&detail)) return basename_of(p->path);
    if (auto* r = std::get_if<ReserveDetail>(&detail)) return basename_of(r->path);
    std::string disk;
    std::visit(
        [&](const auto& d) {
            if constexpr (requires { d.target; })
                disk = drive_log_name(static_cast<unsigned>(d.controller), static_cast<unsigned>(d.target));
        },
        detail);
    return disk;
}

// The sense data's key and codes, or none when they are not sense data.
std::optional<Sense> decode_sense(const std::array<uint8_t, 20>& sense) {
    struct sg_scsi_sense_hdr h {};
    if (!sg_scsi_normalize_sense(sense.data(), static_cast<int>(sense.size()), &h)) return std::nullopt;
    return Sense{h.sense_key, h.asc, h.ascq, sense_key_name(h.sense_key), asc_name(h.asc, h.ascq)};
}

// What a failed command means for its disk, by the sense key of the drive's
// answer: a medium or hardware error is about its health; a command it does
// not support is no fault; anything else left the log incomplete.
struct SenseRule {
    uint8_t key;
    Rule rule;
    const char* words;
};
constexpr SenseRule kSenseRules[] = {
    {3, Rule::CommandMediumError, "the drive failed "},
    {4, Rule::CommandHardwareError, "the drive failed "},
    {5, Rule::CommandRejected, "the drive does not support "},
};

// The same for SATA, by the bits of the response FIS's error register: UNC
// (uncorrectable data) and IDNF (address not found) are about the medium,
// ICRC about the link; ABRT alone is a command the drive does not support.
struct ErrorBits {
    uint8_t mask, value;
    Rule rule;
    const char* words;
};
constexpr ErrorBits kSataErrors[] = {
    {0x40, 0x40, Rule::CommandMediumError, "a SATA command failed on the medium"},
    {0x10, 0x10, Rule::CommandMediumError, "a SATA command failed on the medium"},
    {0x80, 0x80, Rule::CommandLinkError, "a SATA command failed with an interface CRC error"},
    {0xff, 0x04, Rule::CommandRejected, "the drive does not support a SATA command"},
};

// n bytes of two hex digits, each followed (or, for SATA, preceded) by a
// blank; what is left of the line, or nothing when they do not fit.
std::optional<std::string_view> spaced_bytes(std::string_view s, uint8_t* out, size_t n, bool lead) {
    for (size_t i = 0; i < n; ++i) {
        const size_t d = lead ? 1 : 0;
        if (s.size() < 3 || s[lead ? 0 : 2] != ' ' || !is_hex(s[d]) || !is_hex(s[d + 1])) return std::nullopt;
        out[i] = static_cast<uint8_t>(hx(s.substr(d, 2)));
        s.remove_prefix(3);
    }
    return s;
}

// A failed SCSI command: what failed in words, its finding by the sense
// key (`result`: the library's result, as printed).
void scsi_error(ScsiDetail scsi, std::string_view result, ErrRecord& r) {
    const uint8_t op = scsi.cdb[0];
    scsi.result = hx(result);
    scsi.opcode_name = operation_name(op);
    scsi.decoded = decode_sense(scsi.sense);
    std::string what = op == 0x4d ? "LOG SENSE of page " + page_ref(*scsi.page(), *scsi.subpage())
                                  : scsi.opcode_name + " (" + hex_bytes(&op, 1) + ")";
    if (const auto& d = scsi.decoded) {
        char codes[16];
        snprintf(codes, sizeof codes, " (%02x/%02x)", d->asc, d->ascq);
        what += ": " + d->key_name + ", " + d->asc_ascq_name + codes;
    }
    scsi.summary = "target " + std::to_string(scsi.target) + " of controller " + std::to_string(scsi.controller) +
                   ", " + what + ", result " + std::string(result);
    r.disk_finding = finding(Rule::CommandError, "a command failed, the log is incomplete: " + what);
    for (auto& k : kSenseRules)
        if (scsi.decoded && scsi.decoded->key == k.key) r.disk_finding = finding(k.rule, k.words + what);
    r.kind = K::ScsiCommandError;
    r.detail = std::move(scsi);
}

// A failed SATA command: its finding by the error register. A FIS of zeros
// means the library rejected the request.
void sata_error(const SataDetail& sata, ErrRecord& r) {
    const uint8_t err = sata.error().value_or(0);
    const std::string regs = sata_registers(sata);
    r.disk_finding = finding(Rule::CommandError,
                             "a SATA command failed, the log is incomplete" + (sata.error() ? regs : std::string()));
    for (auto& e : kSataErrors)
        if ((err & e.mask) == e.value) {
            r.disk_finding = finding(e.rule, e.words + regs);
            break;
        }
    r.kind = K::SataCommandError;
    r.detail = sata;
}

// "HhhTtt Command error , " followed by the SCSI part (10 CDB bytes, the
// result, 20 sense bytes, each byte followed by a blank) or the SATA part
// (20 bytes of the response FIS, each byte preceded by a blank).
bool command_error(std::string_view line, ErrRecord& r) {
    Caps caps;
    const std::string_view marker = " Command error , ";
    size_t at = line.find(marker);
    if (at == std::string_view::npos || !match("H%xT%x", line.substr(0, at), caps)) return false;
    const std::string_view rest = line.substr(at + marker.size());
    const unsigned ctrl = static_cast<unsigned>(hx(caps[0])), tgt = static_cast<unsigned>(hx(caps[1]));
    ScsiDetail scsi;
    SataDetail sata;
    scsi.controller = sata.controller = ctrl;
    scsi.target = sata.target = tgt;
    auto s = spaced_bytes(rest, scsi.cdb.data(), scsi.cdb.size(), false);
    std::optional<std::string_view> tail;
    Caps rc;
    if (s && s->size() == 2 + 10 + 60 && s->substr(0, 2) == ", " && match("%x, ", s->substr(2, 10), rc))
        tail = spaced_bytes(s->substr(12), scsi.sense.data(), scsi.sense.size(), false);
    if (tail && tail->empty())
        scsi_error(std::move(scsi), rc[0], r);
    else if (auto t = spaced_bytes(rest, sata.fis.data(), sata.fis.size(), true); t && t->empty())
        sata_error(sata, r);
    else
        return false;
    r.disk = drive_log_name(ctrl, tgt);
    return true;
}

void by_pattern(std::string_view line, ErrRecord& r) {
    for (auto& p : kPatterns) {
        Caps caps;
        if (!match(p.pattern, line, caps)) continue;
        r.kind = p.kind;
        r.detail = p.read(caps);
        if (const char* text = kind_def(p.kind).disk_text) {
            r.disk = disk_of(r.detail);
            r.disk_finding = finding(kind_def(p.kind).rule, text);
        }
        return;
    }
}

}  // namespace

const char* record_name(RecordKind k) { return kind_def(k).name; }
Rule record_rule(RecordKind k) { return kind_def(k).rule; }

std::optional<uint8_t> ScsiDetail::page() const {
    return cdb[0] == 0x4d ? std::optional<uint8_t>(cdb[2] & 0x3f) : std::nullopt;
}
std::optional<uint8_t> ScsiDetail::subpage() const { return cdb[0] == 0x4d ? std::optional(cdb[3]) : std::nullopt; }
std::optional<uint8_t> ScsiDetail::section_type() const {
    return cdb[0] == 0xfe ? std::optional(cdb[1]) : std::nullopt;
}
std::string sata_registers(const SataDetail& s) {
    return " (status " + hex(s.fis[2]) + "h, error " + hex(s.error().value_or(0)) + "h)";
}

std::optional<uint8_t> SataDetail::status() const { return fis[0] == 0x34 ? std::optional(fis[2]) : std::nullopt; }
std::optional<uint8_t> SataDetail::error() const { return fis[0] == 0x34 ? std::optional(fis[3]) : std::nullopt; }

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
        r.text = std::string(l);
        if (l.size() <= kLongest && !command_error(l, r)) by_pattern(l, r);
        const bool blank_follows = i + 1 < lines.size() && lines[i + 1].empty();
        if (r.kind == K::Unrecognised && l[0] == ' ' && blank_follows) {
            r.kind = K::CliFailure;
            r.detail = CliDetail{std::string(l.substr(1))};
            ++i;
        }
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace rpt
