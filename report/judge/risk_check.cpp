#include "risk_check.h"

#include <archive.h>

#include <charconv>
#include <memory>
#include <unordered_map>

#include "model.h"

namespace rpt {
namespace {

using S = Signal;

constexpr StatsColumn kColumns[] = {
    {"smart_5_raw", S::ReallocatedSectors, 48},
    {"smart_187_raw", S::ReportedUncorrect, 48},
    {"smart_197_raw", S::PendingSectors, 48},
    {"smart_198_raw", S::OfflineUncorrectable, 48},
    {"grown_defects", S::GrownDefects, 64},
    {"uncorrected_read_errors", S::ReadUncorrected, 64},
    {"uncorrected_write_errors", S::WriteUncorrected, 64},
    {"uncorrected_verify_errors", S::VerifyUncorrected, 64},
    {"background_scan_medium_errors", S::ScanMediumErrors, 64},
    {"failed_self_tests", S::FailedSelfTests, 64},
    {"non_medium_errors", {}, 64},
    {"power_on_hours", {}, 64},
    {"controller_media_errors", S::ControllerMediaErrors, 64},
    {"controller_predictive_failures", S::PredictiveFailure, 64},
    // The drive's own prediction of its failure (--drive-stats): imminent
    // from 1, as the prediction it counts.
    {"failure_predicted", S::SelfAssessmentFailed, 64},
};
constexpr const char* kRequired[] = {"date", "serial_number", "failure"};

// A value as a reason quotes it: at most 40 bytes, control bytes as '?'.
std::string shown(std::string_view v) {
    std::string s(v.substr(0, 40));
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return "\"" + s + (v.size() > 40 ? "...\"" : "\"");
}

// "YYYY-MM-DD" as YYYYMMDD, or none.
std::optional<uint32_t> date_of(std::string_view d) {
    if (d.size() != 10 || d[4] != '-' || d[7] != '-') return std::nullopt;
    uint32_t v = 0;
    for (size_t i = 0; i < d.size(); ++i) {
        if (i == 4 || i == 7) continue;
        if (d[i] < '0' || d[i] > '9') return std::nullopt;
        v = v * 10 + static_cast<uint32_t>(d[i] - '0');
    }
    const uint32_t month = v / 100 % 100, day = v % 100;
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    return v;
}

// The drives with a band of elevated or worse: failed and working.
struct Drive {
    uint32_t date = 0;
    RiskBand band = RiskBand::Unknown;
    bool failed = false;
};

// Serial numbers looked up without a copy.
struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
struct Equal {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return a == b; }
};

class Checker {
public:
    explicit Checker(RiskCheck& out) : out_(out) {}

    // The header: false (with the error set) when it lacks a column.
    bool header(const CsvRecord& r) {
        if (!r.error.empty()) {
            out_.error = "line " + std::to_string(r.line) + ", the header: " + r.error;
            return false;
        }
        width_ = r.fields.size();
        std::vector<std::string_view> seen;
        for (size_t i = 0; i < r.fields.size(); ++i) {
            const std::string_view name = r.fields[i];
            auto take = [&](std::optional<size_t>& at) {
                if (at) out_.error = "the header names " + std::string(name) + " twice";
                at = i;
            };
            for (size_t k = 0; k < std::size(kRequired); ++k)
                if (name == kRequired[k]) take(required_[k]);
            for (size_t k = 0; k < std::size(kColumns); ++k)
                if (name == kColumns[k].name) take(columns_[k]);
        }
        for (size_t k = 0; k < std::size(kRequired) && out_.error.empty(); ++k)
            if (!required_[k])
                out_.error = std::string("the header names no ") + kRequired[k] +
                             " column: not the drive-stats layout (date, serial_number, model, capacity_bytes, "
                             "failure, smart_N_raw...)";
        return out_.error.empty();
    }

    void row(const CsvRecord& r) {
        ++out_.rows;
        const std::string why = read(r);
        if (why.empty()) return;
        if (out_.malformed++ < RiskCheck::kMalformedShown) out_.malformed_lines.push_back({r.line, why});
    }

    void finish() {
        for (auto& [serial, d] : drives_) {
            auto& b = out_.bands[static_cast<size_t>(d.band)];
            ++b.drives;
            b.failed += d.failed;
            out_.failed += d.failed;
        }
        out_.drives = drives_.size();
        const RiskCheck::Flagged f = flagged(out_);
        const uint64_t working = out_.drives - out_.failed;
        if (out_.failed) out_.recall = static_cast<double>(f.failed) / static_cast<double>(out_.failed);
        if (working) out_.flagged_working = static_cast<double>(f.working) / static_cast<double>(working);
    }

private:
    // Why the row is malformed, "" when it was taken.
    std::string read(const CsvRecord& r) {
        if (!r.error.empty()) return r.error;
        if (r.fields.size() != width_)
            return std::to_string(r.fields.size()) + " fields where the header names " + std::to_string(width_);
        const std::string_view date = r.fields[*required_[0]], serial = r.fields[*required_[1]],
                               failure = r.fields[*required_[2]];
        const auto day = date_of(date);
        if (!day) return "date " + shown(date) + " is not YYYY-MM-DD";
        if (serial.empty()) return "no serial_number";
        if (failure != "0" && failure != "1") return "failure " + shown(failure) + " is neither 0 nor 1";
        Signals s;
        for (size_t k = 0; k < std::size(kColumns); ++k) {
            if (!columns_[k]) continue;
            const std::string_view v = r.fields[*columns_[k]];
            if (v.empty()) continue;  // not read for this drive
            uint64_t n = 0;
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
            if (ec != std::errc() || end != v.data() + v.size() || (kColumns[k].bits < 64 && n >> kColumns[k].bits))
                return std::string(kColumns[k].name) + " " + shown(v) + " is not a count of " +
                       std::to_string(kColumns[k].bits) + " bits";
            if (kColumns[k].signal) s[*kColumns[k].signal] = n;
        }
        const RiskBand band = classify_risk(s).band;
        auto it = drives_.find(serial);
        if (it == drives_.end()) it = drives_.emplace(std::string(serial), Drive{}).first;
        Drive& d = it->second;
        if (*day >= d.date) {
            d.date = *day;
            d.band = band;
        }
        d.failed = d.failed || failure == "1";
        return "";
    }

    RiskCheck& out_;
    size_t width_ = 0;
    std::array<std::optional<size_t>, std::size(kRequired)> required_{};
    std::array<std::optional<size_t>, std::size(kColumns)> columns_{};
    std::unordered_map<std::string, Drive, Hash, Equal> drives_;
};

}  // namespace

std::span<const StatsColumn> drive_stats_columns() { return kColumns; }

RiskCheck::Flagged flagged(const RiskCheck& c) {
    RiskCheck::Flagged f;
    for (size_t b = static_cast<size_t>(RiskBand::Elevated); b < c.bands.size(); ++b) {
        f.failed += c.bands[b].failed;
        f.working += c.bands[b].drives - c.bands[b].failed;
    }
    return f;
}

RiskCheck risk_check(ByteSource source, size_t longest) {
    RiskCheck out;
    CsvReader in(std::move(source), longest);
    Checker check(out);
    CsvRecord r;
    if (!in.next(r)) {
        out.error = in.error().empty() ? "empty: no header" : in.error();
        return out;
    }
    if (!check.header(r)) return out;
    while (in.next(r)) check.row(r);
    if (!in.error().empty()) {
        out.error = in.error();
        return out;
    }
    check.finish();
    return out;
}

RiskCheck risk_check(const std::string& path) {
    std::unique_ptr<archive, int (*)(archive*)> a(archive_read_new(), archive_read_free);
    archive_read_support_filter_gzip(a.get());
    archive_read_support_format_raw(a.get());
    archive_read_support_format_empty(a.get());  // raw takes no empty stream
    archive_entry* entry = nullptr;
    auto why = [&] {
        const char* e = archive_error_string(a.get());
        return "cannot read " + path + ": " + (e ? e : "unknown error");
    };
    RiskCheck out;
    int r = archive_read_open_filename(a.get(), path.c_str(), 1 << 20);
    if (r == ARCHIVE_OK) r = archive_read_next_header(a.get(), &entry);
    if (r == ARCHIVE_EOF) {
        out.error = path + ": empty: no header";
        return out;
    }
    if (r != ARCHIVE_OK) {
        out.error = why();
        return out;
    }
    out = risk_check([&](char* into, size_t room, std::string& error) -> long {
        const la_ssize_t n = archive_read_data(a.get(), into, room);
        if (n < 0) error = why();
        return n < 0 ? -1 : static_cast<long>(n);
    });
    if (!out.error.empty() && !out.error.starts_with("cannot read ")) out.error = path + ": " + out.error;
    return out;
}

int risk_check_status(const RiskCheck& c) { return !c.error.empty() ? kUnreadable : c.malformed ? kAnyWarn : kAllOk; }

}  // namespace rpt
