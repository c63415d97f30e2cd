// logdump-report: reads log directories (or .tar/.tar.gz archives of them)
// written by logdump and says, disk by disk, what is wrong.
#include <CLI/CLI.hpp>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "drive_stats.h"
#include "drivedb.h"
#include "html.h"
#include "input.h"
#include "json.h"
#include "metrics.h"
#include "report.h"
#include "risk_check.h"
#include "text.h"

namespace {

struct Options {
    std::vector<std::string> inputs;
    bool as_json = false;
    std::string html, disk, metrics, drivedb, risk_check, drive_stats;
};

void describe(CLI::App& app, Options& o) {
    auto* positional = app.add_option("inputs", o.inputs, "log directories or .tar/.tar.gz archives of them");
    app.add_flag("--json", o.as_json, "print the report as one JSON document");
    app.add_option("--html", o.html, "also write the report as a web page to FILE");
    app.add_option("--metrics", o.metrics, "also write the report as metrics for Prometheus to FILE (atomically)");
    app.add_option("--drive-stats", o.drive_stats,
                   "also write every disk of every collection as a row of the public drive-stats layout to FILE "
                   "(CSV, atomically)");
    app.add_option("--disk", o.disk, "print the full decode of one disk (serial number or drive log file name)");
    app.add_option("--drivedb", o.drivedb,
                   "read SATA drives' attributes by this drive database (smartmontools' drivedb.h format); "
                   "default: the newer of /usr/share/smartmontools/drivedb.h and "
                   "/var/lib/smartmontools/drivedb/drivedb.h");
    app.add_option("--risk-check", o.risk_check,
                   "hold the risk bands against a CSV file of the public drive-stats layout (plain or gzip) "
                   "instead of reading log directories")
        ->excludes(positional)
        ->excludes("--html")
        ->excludes("--metrics")
        ->excludes("--drive-stats")
        ->excludes("--disk")
        ->excludes("--drivedb");
    // The release of the collector it belongs to (its title's version).
    app.set_version_flag("--version", "logdump-report Ver01-10-00");
}

void print(const std::string& text) { fwrite(text.data(), 1, text.size(), stdout); }

int run_risk_check(const Options& o) {
    const rpt::RiskCheck c = rpt::risk_check(o.risk_check);
    if (!c.error.empty())
        std::cerr << "logdump-report: " << c.error << "\n";
    else if (o.as_json)
        rpt::write_risk_check_json(c, stdout);
    else
        print(rpt::render_risk_check(c, o.risk_check));
    return rpt::risk_check_status(c);
}

// The web page and the metrics, where they were asked for; false when one
// could not be written.
bool write_files(const rpt::Report& report, const std::vector<rpt::DiskDay>& days, const Options& o) {
    bool ok = true;
    if (!o.drive_stats.empty()) {
        const std::string error = rpt::write_atomically(o.drive_stats, rpt::render_drive_stats(days));
        if (!error.empty()) {
            std::cerr << "logdump-report: " << error << "\n";
            ok = false;
        }
    }
    if (!o.html.empty()) {
        std::ofstream f(o.html, std::ios::binary);
        f << rpt::render_html(report);
        f.close();
        if (!f) {
            std::cerr << "logdump-report: cannot write " << o.html << "\n";
            ok = false;
        }
    }
    if (!o.metrics.empty()) {
        const std::string error = rpt::write_atomically(
            o.metrics, rpt::render_metrics(report, std::filesystem::path(o.metrics).filename().string()));
        if (!error.empty()) {
            std::cerr << "logdump-report: " << error << "\n";
            ok = false;
        }
    }
    return ok;
}

// The full decode of the one disk --disk names; never one of several
// picked silently: they are all named.
int print_disk(const rpt::Report& report, const Options& o, int status) {
    const auto found = rpt::find_disks(report, o.disk);
    if (found.empty()) {
        std::cerr << "logdump-report: no disk " << o.disk << " in the report\n";
        return rpt::kUnreadable;
    }
    if (found.size() > 1) {
        std::cerr << "logdump-report: " << found.size() << " disks match " << o.disk << "; name one by host/file:\n";
        for (const rpt::Disk* x : found)
            std::cerr << "  " << x->host << "/" << x->file << " serial " << x->serial << "\n";
        return rpt::kUnreadable;
    }
    print(o.as_json ? rpt::json_text(*found.front()) : rpt::render_disk(*found.front()));
    return status;
}

// The inputs' collections, a host at a time on each processor: its files
// are let go once it is judged, and a fleet of thousands of hosts fits in
// memory (rpt::Gathered).
std::vector<rpt::Collection> collect_all(const Options& o, const rpt::DriveDb& db) {
    const size_t n = o.inputs.size();
    rpt::Gathered gathered(n, o.as_json || !o.disk.empty());
    std::vector<std::string> errors(n);
    std::atomic<size_t> next{0};
    const size_t threads = std::min<size_t>(n, std::max(1u, std::thread::hardware_concurrency()));
    // With a host on every processor, each reads its own controller logs.
    const std::optional<unsigned> helpers = threads > 1 ? std::optional<unsigned>(0) : std::nullopt;
    auto work = [&] {
        for (size_t i; (i = next++) < n;) {
            const rpt::Host h = rpt::read_input(o.inputs[i]);
            errors[i] = h.error;
            gathered.put(i, rpt::collect(h, &db, helpers));
        }
    };
    std::vector<std::thread> others;
    for (size_t t = 1; t < threads; ++t) others.emplace_back(work);
    work();
    for (auto& t : others) t.join();
    for (auto& e : errors)
        if (!e.empty()) std::cerr << "logdump-report: " << e << "\n";
    return gathered.take();
}

int run_report(const Options& o) {
    // One database for the whole run. One named on the command line must be
    // read; the installed ones may be missing or damaged (the built-in
    // defaults apply, and each SATA drive says so).
    const rpt::DriveDb db = rpt::load_drivedb(rpt::pick_drivedb(o.drivedb));
    if (!o.drivedb.empty() && !db.error.empty()) {
        std::cerr << "logdump-report: " << db.error << "\n";
        return rpt::kUnreadable;
    }
    std::vector<rpt::DiskDay> days;
    const rpt::Report report = rpt::build_report(collect_all(o, db), o.drive_stats.empty() ? nullptr : &days);
    const int status = write_files(report, days, o) ? report.exit_status : rpt::kUnreadable;
    if (!o.disk.empty()) return print_disk(report, o, status);
    if (o.as_json)
        rpt::write_json(report, stdout);
    else
        print(rpt::render_text(report));
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"logdump-report: per-disk health from logdump's log directories"};
    Options o;
    describe(app, o);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : rpt::kUnreadable;
    }
    if (!o.risk_check.empty()) return run_risk_check(o);
    if (o.inputs.empty()) {
        std::cerr << "logdump-report: no input: name log directories or archives (or --risk-check FILE)\n";
        return rpt::kUnreadable;
    }
    return run_report(o);
}
