// The rule statements (fault, ata-error, delay, transfer) and the WHAT token
// that names the command a rule matches. A new rule kind is a row in
// kRuleKinds with a table of its keys, plus its row in the statement table of
// parser.cpp; a new WHAT is a row in kWhatForms.
#include <cstdio>
#include <stdexcept>

#include "parser.h"
#include "util.h"

namespace sim {

namespace {

// The side of the library that a WHAT names, as bits: a rule kind may apply
// to some only.
enum Channel : unsigned { Scsi = 1, Ata = 2, Management = 4, AnyChannel = 7 };

// One form of WHAT: "head" alone and/or "head:ARG". The canonical form (the
// one the library matches) keeps the head and writes ARG as `arg` does.
struct WhatForm {
    const char* head;
    bool bare;                                                             // "head" alone is a WHAT
    std::string (*arg)(const std::string& arg, const std::string& whole);  // nullptr: takes no ARG
    Channel channel;
};

std::string hex_arg(const char* format, unsigned hi, const std::string& arg, const std::string& whole) {
    char buf[16];
    snprintf(buf, sizeof buf, format, parse_hex_number(arg, hi, whole));
    return buf;
}

// "PP" or "PP.SS": a page, or a subpage (01..FF) of it.
std::string page_arg(const std::string& a, const std::string& w) {
    auto dot = a.find('.');
    if (dot == std::string::npos) return hex_arg("%02x", 0x3F, a, w);
    if (parse_hex_number(a.substr(dot + 1), 0xFF, w) == 0) fail("bad WHAT '" + w + "' (subpage 00 is the page itself)");
    return hex_arg("%02x", 0x3F, a.substr(0, dot), w) + "." + hex_arg("%02x", 0xFF, a.substr(dot + 1), w);
}
std::string section_arg(const std::string& a, const std::string& w) { return hex_arg("%x", 0xFF, a, w); }
std::string byte_arg(const std::string& a, const std::string& w) { return hex_arg("%02x", 0xFF, a, w); }

// "T/C": management command type and command, decimal or 0x hex.
std::string mgmt_arg(const std::string& arg, const std::string& whole) {
    auto slash = arg.find('/');
    if (slash == std::string::npos) fail("bad WHAT '" + whole + "' (mgmt:T/C)");
    auto type = parse_number(arg.substr(0, slash), 0, 255, "management command type");
    auto cmd = parse_number(arg.substr(slash + 1), 0, 255, "management command");
    return std::to_string(type) + "/" + std::to_string(cmd);
}

const WhatForm kWhatForms[] = {
    {"inquiry", true, nullptr, Channel::Scsi},      {"logsense", true, page_arg, Channel::Scsi},
    {"internal", true, section_arg, Channel::Scsi}, {"scsi", false, byte_arg, Channel::Scsi},
    {"pdinfo", true, nullptr, Channel::Management}, {"mgmt", false, mgmt_arg, Channel::Management},
    {"stp", true, byte_arg, Channel::Ata},          {"smart", false, byte_arg, Channel::Ata},
    {"smartlog", false, byte_arg, Channel::Ata},    {"gpl", false, byte_arg, Channel::Ata},
};

const WhatForm* what_form(const std::string& head) {
    for (const auto& f : kWhatForms)
        if (head == f.head) return &f;
    return nullptr;
}

using RuleKey = Key<Rule>;

void set_nth(Rule& r, const std::string& v) { r.nth = parse_as<unsigned>(v, 1, 0xFFFFFFFFLL, "nth"); }

const RuleKey kFaultKeys[] = {
    {"nth", set_nth},
    {"code", [](Rule& r, const std::string& v) { r.code = parse_code(v); }, true},
    {"sense",
     [](Rule& r, const std::string& v) {
         try {
             r.sense = parse_hex(v);
         } catch (const std::runtime_error& e) {
             fail(std::string("sense: ") + e.what());
         }
         if (r.sense.size() > 32) fail("sense data longer than 32 bytes");
     }},
    {"status", [](Rule& r, const std::string& v) { r.scsiStatus = parse_as<uint8_t>(v, 0, 255, "status"); }},
};

const RuleKey kAtaErrorKeys[] = {
    {"nth", set_nth},
    {"error", [](Rule& r, const std::string& v) { r.ataError = parse_as<uint8_t>(v, 0, 255, "error"); }, true},
    {"status", [](Rule& r, const std::string& v) { r.ataStatus = parse_as<uint8_t>(v, 0, 255, "status"); }, true},
};

const RuleKey kDelayKeys[] = {
    {"nth", set_nth},
    {"ms", [](Rule& r, const std::string& v) { r.ms = parse_as<unsigned>(v, 0, 3600000, "milliseconds"); }, true},
};

const RuleKey kTransferKeys[] = {
    {"nth", set_nth},
    {"bytes", [](Rule& r, const std::string& v) { r.bytes = parse_as<uint32_t>(v, 0, 0xFFFFFFFFLL, "bytes"); }},
    {"datalen",
     [](Rule& r, const std::string& v) {
         if (v != "sent" && v != "asked") fail("datalen must be sent or asked");
         r.setDataLen = v == "sent";
     }},
    {"page", [](Rule& r, const std::string& v) { r.asPage = parse_as<uint8_t>(v, 0, 0x3F, "page code"); }},
    {"length",
     [](Rule& r, const std::string& v) {
         if (v != "cdb" && v != "host") fail("length must be cdb or host");
         r.cdbLength = v == "cdb";
     }},
};

struct RuleKind {
    const char* name;  // the statement
    RuleAction action;
    std::span<const RuleKey> keys;
    unsigned only;            // the channels of the commands it may apply to
    const char* onlyMessage;  // the refusal of any other
};

const RuleKind kRuleKinds[] = {
    {"fault", RuleAction::Fault, kFaultKeys, AnyChannel, nullptr},
    {"ata-error", RuleAction::AtaError, kAtaErrorKeys, Ata,
     "ata-error applies to STP commands only (stp, stp:CMD, smart:SUB, smartlog:LL, gpl:LL)"},
    {"delay", RuleAction::Delay, kDelayKeys, AnyChannel, nullptr},
    {"transfer", RuleAction::Transfer, kTransferKeys, Scsi | Ata, "transfer applies to SCSI and STP commands only"},
};

}  // namespace

std::string canonical_what(const std::string& tok) {
    auto colon = tok.find(':');
    const WhatForm* f = what_form(tok.substr(0, colon));
    if (f != nullptr && colon == std::string::npos && f->bare) return f->head;
    if (f != nullptr && colon != std::string::npos && f->arg != nullptr)
        return std::string(f->head) + ":" + f->arg(tok.substr(colon + 1), tok);
    fail("unknown WHAT '" + tok + "'");
}

void read_rule(ParseState& ps, const Tokens& t, const Statement& st) {
    const RuleKind* kind = nullptr;
    for (const auto& k : kRuleKinds)
        if (t[0] == k.name) kind = &k;
    if (kind == nullptr) throw std::logic_error("statement '" + t[0] + "' has no row in the rule kinds");
    Rule r;
    r.action = kind->action;
    r.line = ps.line;
    r.ctrl = t[1] == "*" ? kAny : static_cast<int>(ctrl_index(t[1]));
    r.id = t[2] == "*" ? kAny : static_cast<int>(device_id(t[2]));
    r.what = canonical_what(t[3]);
    read_keys<Rule>(r, t, 4, kind->keys, st, "");
    const unsigned channel = what_form(r.what.substr(0, r.what.find(':')))->channel;
    if ((channel & kind->only) == 0) fail(kind->onlyMessage);
    // An ATA answer has no page to swap and no CDB length.
    if (channel == Ata && (r.asPage || r.cdbLength)) fail("page and length apply to SCSI commands only");
    ps.sc.rules.push_back(r);
}

}  // namespace sim
