#include "drive_stats.h"

#include <ctime>
#include <set>

namespace rpt {
namespace {

constexpr const char* kPlace[] = {"host", "controller", "target", "verdict", "risk_band"};

// One record of the file, its fields separated as they are added.
class Record {
public:
    explicit Record(std::string& out) : out_(out) {}
    ~Record() { out_ += "\r\n"; }

    // A field as RFC 4180 writes it: in double quotes, doubled inside,
    // where it holds a comma, a quote, a line end or blanks at either end.
    Record& text(std::string_view v) {
        next();
        const bool quoted = v.find_first_of(",\"\r\n") != std::string_view::npos ||
                            (!v.empty() && (v.front() == ' ' || v.back() == ' '));
        if (!quoted) {
            out_ += v;
            return *this;
        }
        out_ += '"';
        for (char c : v) {
            if (c == '"') out_ += '"';
            out_ += c;
        }
        out_ += '"';
        return *this;
    }
    // A number, or an empty field for one not read.
    template <class N>
    Record& number(const std::optional<N>& n) {
        next();
        if (n) out_ += std::to_string(*n);
        return *this;
    }

private:
    void next() {
        if (!first_) out_ += ',';
        first_ = false;
    }
    std::string& out_;
    bool first_ = true;
};

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
    std::string out;
    {
        Record header(out);
        for (const char* c : {"date", "serial_number", "model", "capacity_bytes", "failure"}) header.text(c);
        for (uint8_t id : ids) {
            const std::string n = std::to_string(id);
            header.text("smart_" + n + "_normalized").text("smart_" + n + "_raw");
        }
        for (const std::string& c : drive_stats_own_columns()) header.text(c);
    }
    for (const DiskDay& d : days) {
        Record r(out);
        r.text(date(d.date)).text(d.serial).text(d.model).number(d.capacity_bytes).text(d.failure ? "1" : "0");
        auto a = d.attributes.begin();
        for (uint8_t id : ids) {
            while (a != d.attributes.end() && a->id < id) ++a;
            const bool met = a != d.attributes.end() && a->id == id;
            r.number(met ? std::optional<unsigned>(a->normalized) : std::nullopt);
            r.number(met ? std::optional<uint64_t>(a->raw) : std::nullopt);
        }
        for (auto& n : d.counts) r.number(n);
        r.text(d.host).number(d.controller).number(d.target).text(verdict_name(d.verdict)).text(band_name(d.band));
    }
    return out;
}

}  // namespace rpt
