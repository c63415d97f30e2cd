// The controller's event log: one record per event (seqNum, Time, Code,
// Class, Locale, Event Description, Event Data), the drive it names and, for
// an "Unexpected sense" event, the command and the sense the drive returned.
#include <array>
#include <cctype>

#include "cli_text.h"
#include "controller_read.h"
#include "finding.h"
#include "helpers.h"
#include "sense.h"
#include "textmatch.h"

namespace rpt {
namespace {

using cli::Field;
using cli::Line;

// "Thu Jun  6 09:00:07 2024", or "Boot + 23 seconds" before the
// controller's clock was set.
bool event_time(ControllerEvent& e, std::string_view v) {
    e.time_text = std::string(v);
    if (v.starts_with("Boot")) {
        Caps c;
        if (!match("Boot + %u seconds", v, c) && !match("Boot + %u secs", v, c)) return false;
        e.boot_seconds = cli::decimal(c[0]);
        return e.boot_seconds.has_value();
    }
    std::string_view w[5];  // weekday, month, day, hh:mm:ss, year
    size_t n = 0;
    for (size_t i = 0; i < v.size();) {  // the blank-separated words, as cli::words
        if (v[i] == ' ') {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < v.size() && v[end] != ' ') ++end;
        if (n == 5) return false;
        w[n++] = v.substr(i, end - i);
        i = end;
    }
    if (n != 5 || w[1].size() != 3) return false;
    static constexpr std::string_view kMonths = "janfebmaraprmayjunjulaugsepoctnovdec";
    const char name[3] = {static_cast<char>(tolower(static_cast<unsigned char>(w[1][0]))),
                          static_cast<char>(tolower(static_cast<unsigned char>(w[1][1]))),
                          static_cast<char>(tolower(static_cast<unsigned char>(w[1][2])))};
    const size_t at = kMonths.find(std::string_view(name, 3));
    const size_t c1 = w[3].find(':'), c2 = w[3].find(':', c1 + 1);
    if (at == std::string_view::npos || at % 3 != 0 || c2 == std::string_view::npos) return false;
    auto day = cli::decimal(w[2]), year = cli::decimal(w[4]);
    auto h = cli::decimal(w[3].substr(0, c1)), m = cli::decimal(w[3].substr(c1 + 1, c2 - c1 - 1)),
         s = cli::decimal(w[3].substr(c2 + 1));
    if (!day || !year || !h || !m || !s || *day < 1 || *day > 31 || *year < 1970 || *year > 9999 || *h > 23 ||
        *m > 59 || *s > 60)
        return false;
    e.time = cli::civil_seconds(static_cast<int>(*year), static_cast<unsigned>(at / 3 + 1), static_cast<unsigned>(*day),
                                static_cast<unsigned>(*h), static_cast<unsigned>(*m), static_cast<unsigned>(*s));
    return true;
}

template <auto M>
bool hex_field(cli::owner_t<M>& r, std::string_view v) {
    auto n = cli::hexadecimal(v);
    if (!n || *n > 0xFFFFFFFFu) return false;
    r.*M = static_cast<uint32_t>(*n);
    return true;
}

bool event_class(ControllerEvent& e, std::string_view v) {
    auto n = cli::signed_decimal(v);
    if (!n || *n < -128 || *n > 127) return false;
    e.cls = static_cast<int>(*n);
    return true;
}

constexpr Field<ControllerEvent> kEventFields[] = {
    {"seqNum", hex_field<&ControllerEvent::seq>},    {"Time", event_time},
    {"Code", hex_field<&ControllerEvent::code>},     {"Class", event_class},
    {"Locale", cli::text<&ControllerEvent::locale>}, {"Event Description", cli::text<&ControllerEvent::description>},
};

// The lines of an event's data that name its drive.
constexpr Field<ControllerEvent> kEventDataFields[] = {
    {"Device ID", cli::number<&ControllerEvent::device_id>},
    {"Enclosure Index|Enclosure Device ID", cli::number<&ControllerEvent::enclosure>},
    {"Slot Number", cli::number<&ControllerEvent::slot>},
};

// Hex digits at the start of s, as a number; s goes past them.
std::optional<uint64_t> take_hex(std::string_view& s, size_t max_digits) {
    size_t n = 0;
    while (n < s.size() && n < max_digits && is_hex(s[n])) ++n;
    auto v = cli::hexadecimal(s.substr(0, n));
    s.remove_prefix(n);
    return v;
}

bool take(std::string_view& s, std::string_view word) {
    if (!s.starts_with(word)) return false;
    s.remove_prefix(word.size());
    return true;
}

// "PD 05(e0x06/s1)": device 5 (hex) at enclosure 6, slot 1. The event's
// data, where it names them, is taken first.
void drive_of_description(ControllerEvent& e) {
    const std::string_view d = e.description;
    for (size_t at = 0; (at = d.find("PD ", at)) != std::string_view::npos; at += 3) {
        std::string_view s = d.substr(at + 3);
        auto device = take_hex(s, 4);
        if (!device || !take(s, "(e0x")) continue;
        auto enclosure = take_hex(s, 4);
        if (!enclosure || !take(s, "/s")) continue;
        size_t n = 0;
        while (n < s.size() && n < 5 && s[n] >= '0' && s[n] <= '9') ++n;
        auto slot = cli::decimal(s.substr(0, n));
        if (!slot || !s.substr(n).starts_with(")")) continue;
        if (!e.device_id) e.device_id = static_cast<unsigned>(*device);
        if (!e.enclosure) e.enclosure = static_cast<unsigned>(*enclosure);
        if (!e.slot) e.slot = static_cast<unsigned>(*slot);
        return;
    }
}

// Where a command of each operation code holds its LBA: offset and length
// in the CDB (READ(6) and WRITE(6): 21 bits of bytes 1..3).
struct LbaField {
    uint8_t opcode, offset, length;
};
constexpr LbaField kLbaFields[] = {
    {0x08, 1, 3}, {0x0a, 1, 3}, {0x28, 2, 4}, {0x2a, 2, 4}, {0x2e, 2, 4}, {0x2f, 2, 4},
    {0x35, 2, 4}, {0x41, 2, 4}, {0xa8, 2, 4}, {0xaa, 2, 4}, {0xae, 2, 4}, {0xaf, 2, 4},
    {0x88, 2, 8}, {0x8a, 2, 8}, {0x8e, 2, 8}, {0x8f, 2, 8}, {0x91, 2, 8}, {0x93, 2, 8},
};

// "... CDB: 28 00 0a 1b 2c 30 00 00 08 00, Sense: 3/11/00"
void sense_of_description(ControllerEvent& e) {
    const std::string_view d = e.description;
    if (d.find("Unexpected sense") == std::string_view::npos) return;
    EventSense s;
    if (size_t at = d.find("CDB:"); at != std::string_view::npos) {
        s.cdb.reserve(16);
        std::string_view rest = d.substr(at + 4);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        while (s.cdb.size() < 32 && rest.size() >= 2 && is_hex(rest[0]) && is_hex(rest[1]) &&
               (rest.size() == 2 || rest[2] == ' ' || rest[2] == ',')) {
            s.cdb.push_back(static_cast<uint8_t>(*cli::hexadecimal(rest.substr(0, 2))));
            rest.remove_prefix(rest.size() > 2 && rest[2] == ' ' ? 3 : 2);
        }
    }
    if (!s.cdb.empty()) {
        s.opcode = s.cdb[0];
        s.operation = operation_name(s.cdb[0]);
        for (const auto& f : kLbaFields) {
            if (f.opcode != s.cdb[0] || s.cdb.size() < size_t{f.offset} + f.length) continue;
            uint64_t lba = be_value(s.cdb.data() + f.offset, f.length);
            if (f.length == 3) lba &= 0x1FFFFF;
            s.lba = lba;
        }
    }
    if (size_t at = d.find("Sense:"); at != std::string_view::npos) {
        std::string_view rest = d.substr(at + 6);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        auto key = take_hex(rest, 1);
        std::optional<uint64_t> asc, ascq;
        if (key && take(rest, "/")) asc = take_hex(rest, 2);
        if (asc && take(rest, "/")) ascq = take_hex(rest, 2);
        if (ascq) {
            s.key = static_cast<uint8_t>(*key);
            s.asc = static_cast<uint8_t>(*asc);
            s.ascq = static_cast<uint8_t>(*ascq);
            s.key_name = sense_key_name(*s.key);
            s.asc_name = asc_name(*s.asc, *s.ascq);
        }
    }
    if (!s.cdb.empty() || s.key) e.sense = std::move(s);
}

}  // namespace

const char* event_class_name(int cls) {
    static constexpr const char* kNames[] = {"debug", "progress", "info", "warning", "critical", "fatal", "dead"};
    return cls >= -2 && cls <= 4 ? kNames[cls + 2] : "";
}

std::vector<ControllerProblem> read_events(std::string_view text, cli::Reader& r, std::vector<ControllerEvent>& out) {
    cli::Blocks<ControllerEvent> events(&out);
    const size_t first = out.size();
    out.reserve(first + text.size() / 200);  // an event takes some 250 bytes of text
    // An event's fields and the line that opens its data, looked up once
    // per line.
    constexpr size_t kData = std::size(kEventFields);
    static const cli::KeyIndex keys = [] {
        std::array<std::string_view, kData + 1> k;
        for (size_t i = 0; i < kData; ++i) k[i] = kEventFields[i].key;
        k[kData] = "Event Data";
        return cli::KeyIndex(k);
    }();
    bool in_data = false;
    auto problems = cli::walk(text, r, [&](const Line& l) {
        const int k = l.key.empty() ? -1 : keys.find(l);
        if (k == 0) in_data = false;  // seqNum: the next event
        if (!in_data) {
            if (k == static_cast<int>(kData)) {
                if (out.size() == first) return false;
                in_data = true;
                return true;
            }
            return events.apply(kEventFields, r, l, k);
        }
        if (cli::separator(l.text)) return true;
        ControllerEvent& e = out.back();
        if (e.data.empty()) {
            e.data.reserve(64);  // a few lines, mostly
        } else {
            e.data += '\n';
        }
        e.data += l.text;
        if (const int i = l.key.empty() ? -1 : cli::find_field<ControllerEvent>(kEventDataFields, l); i >= 0)
            if (!kEventDataFields[i].read(e, l.value)) r.bad_value(l);
        return true;
    });
    for (size_t i = first; i < out.size(); ++i) {
        drive_of_description(out[i]);
        sense_of_description(out[i]);
    }
    return problems;
}

}  // namespace rpt
