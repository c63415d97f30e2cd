#include "drive_stats.h"

#include <ctime>
#include <set>

namespace rpt {
namespace {

constexpr const char* kPlace[] = {"host", "controller", "target", "verdict", "risk_band"};

// A field as RFC 4180 writes it: in double quotes, doubled inside, where it
// holds a comma, a quote, a line end or blanks at either end.
void field(std::string& out, std::string_view v) {
    const bool quoted =
        v.find_first_of(",\"\r\n") != std::string_view::npos || (!v.empty() && (v.front() == ' ' || v.back() == ' '));
    if (!quoted) {
        out += v;
        return;
    }
    out += '"';
    for (char c : v) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

template <class N>
void number(std::string& out, const std::optional<N>& n) {
    if (n) out += std::to_string(*n);
}

std::string date(time_t t) {
    tm u{};
    gmtime_r(&t, &u);
    char b[16];
    strftime(b, sizeof b, "%Y-%m-%d", &u);
    return b;
}

}  // namespace

std::vector<std::string> drive_stats_own_columns() {
    std::vector<std::string> out;
    for (size_t i = 0; i < static_cast<size_t>(DayCount::kCount); ++i)
        out.push_back(day_count_name(static_cast<DayCount>(i)));
    for (const char* p : kPlace) out.push_back(p);
    return out;
}

std::string render_drive_stats(const std::vector<DiskDay>& days) {
    std::set<uint8_t> ids;  // every attribute met, each a pair of columns
    for (const DiskDay& d : days)
        for (auto& a : d.attributes) ids.insert(a.id);
    std::string out = "date,serial_number,model,capacity_bytes,failure";
    for (uint8_t id : ids) {
        const std::string n = std::to_string(id);
        out += ",smart_";
        out += n;
        out += "_normalized,smart_";
        out += n;
        out += "_raw";
    }
    for (const std::string& c : drive_stats_own_columns()) {
        out += ',';
        out += c;
    }
    out += "\r\n";
    for (const DiskDay& d : days) {
        out += date(d.date);
        out += ',';
        field(out, d.serial);
        out += ',';
        field(out, d.model);
        out += ',';
        number(out, d.capacity_bytes);
        out += d.failure ? ",1" : ",0";
        auto a = d.attributes.begin();
        for (uint8_t id : ids) {
            while (a != d.attributes.end() && a->id < id) ++a;
            out += ',';
            if (a != d.attributes.end() && a->id == id) number(out, std::optional<unsigned>(a->normalized));
            out += ',';
            if (a != d.attributes.end() && a->id == id) number(out, std::optional<uint64_t>(a->raw));
        }
        for (auto& n : d.counts) {
            out += ',';
            number(out, n);
        }
        out += ',';
        field(out, d.host);
        out += ',';
        number(out, d.controller);
        out += ',';
        number(out, d.target);
        out += ',';
        out += verdict_name(d.verdict);
        out += ',';
        out += band_name(d.band);
        out += "\r\n";
    }
    return out;
}

}  // namespace rpt
